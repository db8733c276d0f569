// TppReport's outline: made on demand, reset when a generation starts,
// updated at each page end and freed with the job state.
#include "report/engine/ppReport.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppResMgr.h"

TppOutline* TppReport::CreateOutline() {
  if (!outline_) {
    outline_.reset(new TppOutline(nullptr));
    outline_->SetReport(this);
    outline_->OnNodeCreate = [this](cls::TComponent* component, TppOutlineNode* node, bool& accept) {
      OutlineNodeCreate(component, node, accept);
    };
  }
  return outline_.get();
}

void TppReport::PrepareOutline() {
  TppCustomEngine* engine = Engine();
  if (!engine || engine->Flags().Contains(TppEngineFlag::efInitialised)) return;
  // Disabled, the outline makes no nodes.
  if (!outlineSettings_.Enabled()) {
    outline_.reset();
    return;
  }
  CreateOutline()->Initialize();
}

void TppReport::UpdateOutline() {
  if (outline_ && outlineSettings_.Enabled()) outline_->CreateOutlineDrawCommand();
}

void TppReport::OutlineNodeCreate(cls::TComponent*, TppOutlineNode* node, bool& accept) {
  if (HasEventNotify(ciReportOutlineNodeCreate)) {
    cls::Owned<TraParamList> params(raGetParams(this, "OnOutlineNodeCreate"));
    TppOutlineNode* nodeVariable = node;
    if (params) {
      params->SetParamAddress(0, &nodeVariable);
      params->SetParamAddress(1, &accept);
    }
    SendEventNotify(this, ciReportOutlineNodeCreate, params.get());
  }
  if (OnOutlineNodeCreate) OnOutlineNodeCreate(this, node, accept);
}

void TppReport::ResetJobState() {
  TppBandedReport::ResetJobState();
  if (!Printing()) outline_.reset();
}

void TppReport::Convert(int64_t versionNo) {
  TppBandedReport::Convert(versionNo);
  if (versionNo < 6100) outlineSettings_.SetEnabled(false);
}

void TppReport::Transfer(TppCommunicator* other) {
  auto* r = cls::ObjectAs<TppReport>(other);
  if (!r || r == this) {
    TppBandedReport::Transfer(other);
    return;
  }
  TransferParameters(r, [&] { TppBandedReport::Transfer(other); });
  outlineSettings_.Assign(&r->outlineSettings_);
  // The rest of what the report publishes.
  SetCachePages(r->CachePages());
  SetSavePrinterSetup(r->SavePrinterSetup());
  SetShowAutoSearchDialog(r->ShowAutoSearchDialog());
  AfterAutoSearchDialogCreate = r->AfterAutoSearchDialogCreate;
  BeforeAutoSearchDialogCreate = r->BeforeAutoSearchDialogCreate;
  OnAutoSearchDialogClose = r->OnAutoSearchDialogClose;
  OnGetAutoSearchValues = r->OnGetAutoSearchValues;
  OnOutlineNodeCreate = r->OnOutlineNodeCreate;
}

std::string TppReport::GetDescriptionText() {
  TppDataPipeline* p = DataPipeline();
  return ppLoadStr(374) + ": " + (p ? p->UserName() : std::string("No Data Pipeline Assigned"));
}

void TppReport::RegisterOutlineProperties() {
  using R = TppReport;
  auto& c = R::StaticClass();
  cls::PublishProperty(c, cls::MethodProperty<R>("OnOutlineNodeCreate", &R::OnOutlineNodeCreate));
  cls::PublishProperty(c, ppOutlineSettingsProperty<R, TppOutlineReportSettings>("TppOutlineReportSettings"));
}

cls::TClass TppReport::OutlineNodeCreatorClass() { return &TppOutlineReportNodeCreator::StaticClass(); }

std::string TppChildReport::GetDescriptionText() {
  if (!parentSubReport_) return TppBandedReport::GetDescriptionText();
  std::string caption;
  parentSubReport_->GetCaption(caption);
  return caption;
}
