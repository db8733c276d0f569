#include "report/engine/ppBands.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <tuple>

#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppStrtch.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"
#include "report/model/ppUtils.h"
#include "report/output/ppDevice.h"

CLS_IMPLEMENT_CLASS(TppBand)
CLS_IMPLEMENT_CLASS(TppCustomBand)
CLS_IMPLEMENT_CLASS(TppBasicBand)
CLS_IMPLEMENT_CLASS(TppPageBand)
CLS_IMPLEMENT_CLASS(TppReportBand)
CLS_IMPLEMENT_CLASS(TppGroupBand)
CLS_IMPLEMENT_COMPONENT(TppHeaderBand)
CLS_IMPLEMENT_COMPONENT(TppFooterBand)
CLS_IMPLEMENT_COMPONENT(TppTitleBand)
CLS_IMPLEMENT_COMPONENT(TppSummaryBand)
CLS_IMPLEMENT_COMPONENT(TppColumnHeaderBand)
CLS_IMPLEMENT_COMPONENT(TppColumnFooterBand)
CLS_IMPLEMENT_COMPONENT(TppDetailBand)
CLS_IMPLEMENT_COMPONENT(TppPageStyle)
CLS_IMPLEMENT_COMPONENT(TppGroupHeaderBand)
CLS_IMPLEMENT_COMPONENT(TppGroupFooterBand)

namespace {

std::string Key(int64_t value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%8lld", static_cast<long long>(value));
  return buf;
}

// 50 screen pixels, the height of a new band.
int32_t DefaultBandHeight() { return ConvertToMMThousandths(50, utScreenPixels, ppVertical); }

std::atomic<TppDetailBandEngineCreator> detailBandEngineClass{nullptr};

}  // namespace

// ---- TppBand ----

TppBand::TppBand(cls::TComponent* owner) : TppCacheable(owner), mmHeight_(DefaultBandHeight()) {}

void TppBand::BeforeDestruction() {
  while (objects_.Count() > 0) {
    TppComponent* c = objects_.Last();
    c->SetBand(nullptr);
    objects_.Remove(c);  // in case the component kept it
  }
  if (report_) SetReport(nullptr);
  TppCacheable::BeforeDestruction();
}

std::string TppBand::GetUserName() const {
  std::string fixed = FixedUserName();
  return fixed.empty() ? TppCacheable::GetUserName() : fixed;
}

void TppBand::Notify(TppCommunicator* communicator, uint8_t operation) { TppCacheable::Notify(communicator, operation); }

void TppBand::ReportChanged() {
  if (report_) report_->ResetJobState();
}

float TppBand::ToUnits(int32_t value) const {
  cls::TObject* printer = report_ ? report_->GetPrinter() : nullptr;
  return ConvertFromMMThousandths(value, units_, ppVertical, printer);
}

int32_t TppBand::FromUnits(float value) const {
  cls::TObject* printer = report_ ? report_->GetPrinter() : nullptr;
  return ConvertToMMThousandths(value, units_, ppVertical, printer);
}

void TppBand::SetUnits(TppUnitType units) {
  units_ = units;
  for (TppComponent* c : objects_) c->SetUnits(units);
}

float TppBand::Height() const { return ToUnits(mmHeight_); }
void TppBand::SetHeight(float value) {
  if (Reading()) {
    mmHeight_ = static_cast<int32_t>(value);
    return;
  }
  SetmmHeight(FromUnits(value));
}

void TppBand::SetmmHeight(int32_t value) {
  if (Reading()) {
    mmHeight_ = value;
    return;
  }
  // A band holding objects keeps at least some height.
  if (value < 1 && objects_.Count() > 0 && report_) return;
  if (value != mmHeight_ && printHeight_ == phStatic && report_) {
    int32_t pageHeight = report_->PrintableHeight();
    if (pageHeight > 0 && value > pageHeight) return;
  }
  mmHeight_ = std::max<int32_t>(value, 0);
  for (TppComponent* c : objects_)
    if (c->mmTop() + c->mmHeight() > mmHeight_)
      c->SetmmTop(c->mmHeight() > mmHeight_ ? 0 : mmHeight_ - c->mmHeight());
  ReportChanged();
}

float TppBand::BottomOffset() const { return ToUnits(mmBottomOffset_); }
void TppBand::SetBottomOffset(float value) { SetmmBottomOffset(FromUnits(value)); }
void TppBand::SetmmBottomOffset(int32_t value) {
  mmBottomOffset_ = value;
  ReportChanged();
}

float TppBand::PrintPosition() const { return ToUnits(mmPrintPosition_); }
void TppBand::SetPrintPosition(float value) { SetmmPrintPosition(FromUnits(value)); }
void TppBand::SetmmPrintPosition(int32_t value) {
  mmPrintPosition_ = value;
  ReportChanged();
}

void TppBand::SetPrintCount(int32_t value) {
  // Below 0 counts as 0: the kind's default mode.
  printCount_ = std::max<int32_t>(value, 0);
  printCountMode_ = printCount_ == 0 ? GetDefaultPrintMode() : ppPrintCountTimes;
  if (!Reading()) ReportChanged();
}

void TppBand::SetVisible(bool value) {
  visible_ = value;
  if (!Reading()) ReportChanged();
}

void TppBand::SetSave(bool value) {
  save_ = value;
  if (!Reading()) ReportChanged();
}

int32_t TppBand::mmWidth() const {
  if (!report_) return 0;
  if (report_->Columns() > 1 && const_cast<TppBand*>(this)->IsInsideColumns()) return report_->mmColumnWidth();
  return report_->PrintableWidth();
}

int TppBand::Index() const { return report_ ? report_->IndexOfBand(this) : -1; }

void TppBand::AddObject(TppComponent* c) {
  if (!c || objects_.Contains(c)) return;
  objects_.Add(c);
  if (Owner() && c->Owner() != Owner()) c->ChangeOwner(Owner());
  bool loading = HasState(cls::csLoading) || Reading();
  if (!loading) {
    auto* s = cls::ObjectAs<TppStretchable>(c);
    if (s && s->Stretch() && printHeight_ == phStatic) SetPrintHeight(phDynamic);
    if (c->UserName().empty()) {
      std::string name = ClassNameWithoutPrefix(c);
      if (report_) report_->MakeUniqueUserName(c, name);
      c->SetUserName(name);
    }
  }
}

void TppBand::RemoveObject(TppComponent* c) {
  objects_.Remove(c);
  saveList_.erase(std::remove(saveList_.begin(), saveList_.end(), c), saveList_.end());
}

void TppBand::MoveObject(int from, int to) {
  if (from < 0 || from >= objects_.Count() || objects_.Count() == 0) return;
  if (to >= objects_.Count()) to = objects_.Count() - 1;
  if (to < 0) to = 0;
  objects_.Move(from, to);
  ReportChanged();
}

void TppBand::BringObjectToFront(TppComponent* c) { MoveObject(objects_.IndexOf(c), objects_.Count() - 1); }
void TppBand::SendObjectToBack(TppComponent* c) { MoveObject(objects_.IndexOf(c), 0); }

void TppBand::DoAfterGenerate() {
  if (AfterGenerate) AfterGenerate(this);
  SendEventNotify(this, ciBandAfterGenerate, nullptr);
}
void TppBand::DoAfterPrint() {
  if (AfterPrint) AfterPrint(this);
  SendEventNotify(this, ciBandAfterPrint, nullptr);
}
void TppBand::DoBeforeGenerate() {
  if (BeforeGenerate) BeforeGenerate(this);
  SendEventNotify(this, ciBandBeforeGenerate, nullptr);
}
void TppBand::DoBeforePrint() {
  if (BeforePrint) BeforePrint(this);
  SendEventNotify(this, ciBandBeforePrint, nullptr);
}

void TppBand::SetCaption(const std::string& text) { caption_ = text; }

void TppBand::SetPrintHeight(TppPrintHeightType value) {
  if (value == printHeight_) return;
  printHeight_ = value;
  if (!Reading()) ReportChanged();
}

void TppBand::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  if (report_) {
    TppCustomReport* old = report_;
    report_ = nullptr;
    old->RemoveBand(this);
  }
  report_ = report;
  if (!report_) return;
  report_->AddBand(this);
  captionIndex_ = CaptionMessage();
  SetCaption(ppLoadStr(captionIndex_));
  SetUnits(report_->Units());
  report_->SetModified(true);
}

void TppBand::NotifyObjectsBeforeGeneration() {}

void TppBand::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent*) {
  std::vector<TppComponent*> objects(objects_.begin(), objects_.end());
  for (TppComponent* c : objects)
    if (c->GetParent() == this) proc(c);
}

void TppBand::SetParentComponent(cls::TComponent* parent) {
  if (auto* report = cls::ObjectAs<TppCustomReport>(parent)) SetReport(report);
}

namespace {
int32_t ReadInt32(cls::TReader& r) {
  int64_t v = r.ReadInteger();
  if (v < INT32_MIN || v > INT32_MAX) throw cls::EReadError("Invalid property value");
  return static_cast<int32_t>(v);
}
}  // namespace

void TppBand::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  filer->DefineProperty(
      "mmBottomOffset", [this](cls::TReader& r) { mmBottomOffset_ = ReadInt32(r); },
      [this](cls::TWriter& w) { w.WriteInteger(mmBottomOffset_); }, mmBottomOffset_ != 0);
  filer->DefineProperty(
      "mmHeight", [this](cls::TReader& r) { mmHeight_ = ReadInt32(r); },
      [this](cls::TWriter& w) { w.WriteInteger(mmHeight_); }, true);
  filer->DefineProperty(
      "mmPrintPosition", [this](cls::TReader& r) { mmPrintPosition_ = ReadInt32(r); },
      [this](cls::TWriter& w) { w.WriteInteger(mmPrintPosition_); }, mmPrintPosition_ != 0);
  // Older definitions'.
  filer->DefineProperty("OnPrint", [this](cls::TReader& r) { oldOnPrint_ = r.ReadIdent(); }, nullptr, false);
  for (const char* dropped : {"OnSaveLineEnd", "OnSaveLineStart", "Left", "Top"})
    filer->DefineProperty(dropped, [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
}

void TppBand::Convert(int64_t version) {
  if (version < 1270 && !oldOnPrint_.empty())
    BeforePrint = cls::TNotifyEvent::FromMethod(GetMethodByName(Owner(), oldOnPrint_));
  for (TppComponent* c : objects_) c->Convert(version);
  if (version < 2097) mmHeight_ = ConvertToMMThousandths(static_cast<float>(mmHeight_), utScreenPixels, ppVertical);
  if (version < 3000 && printHeight_ == phDynamic) {
    int32_t lowest = 0;
    for (TppComponent* c : objects_) lowest = std::max(lowest, c->mmTop() + c->mmHeight());
    if (lowest != 0) mmBottomOffset_ = std::max<int32_t>(0, mmHeight_ - lowest);
  }
}

void TppBand::ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name) {
  for (TppComponent* c : objects_) c->ReplaceDataPipeline(pipeline, name);
}

void TppBand::RebindDataPipeline(TppDataPipeline* oldPipeline, TppDataPipeline* newPipeline) {
  if (oldPipeline == newPipeline) return;
  for (TppComponent* c : objects_) {
    if (!c->IsDataAware() || !c->ParentDataPipeline()) continue;
    if (c->DataPipeline()) {
      if (c->DataPipeline() == oldPipeline) c->SetDataPipeline(newPipeline);
    } else if (newPipeline && (c->DataField().empty() || newPipeline->IndexOfFieldName(c->DataField()) >= 0)) {
      c->SetDataPipeline(newPipeline);
    }
  }
}

TppDataPipeline* TppBand::GetDataPipeline() { return report_ ? report_->DataPipeline() : nullptr; }

void TppBand::InitGeneration() {
  for (TppComponent* c : objects_) c->InitGeneration();
}

void TppBand::LanguageChanged() {
  if (captionIndex_) SetCaption(ppLoadStr(captionIndex_));
}

// ---- TppCustomBand ----

TppCustomBand::TppCustomBand(cls::TComponent* owner) : TppBand(owner), TppBandGeneration(this) {
  SetCacheRecordSize(ppBandRecordSize);
}

void TppCustomBand::InitGeneration() { InitBandGeneration(); }

namespace {
void PutInt(uint8_t* at, int32_t v) { std::memcpy(at, &v, sizeof v); }
int32_t GetInt(const uint8_t* at) {
  int32_t v = 0;
  std::memcpy(&v, at, sizeof v);
  return v;
}
constexpr size_t ppMaxBandRecord = 24;
}  // namespace

void TppCustomBand::SaveToCache(int32_t pageIndex) {
  uint8_t record[ppMaxBandRecord] = {};
  PutInt(record, GetResumeObjectIndex());
  PutInt(record + 4, GetResumeListIndex());
  PutInt(record + 8, GetPartialAdjustment());
  record[12] = GetOverFlow();
  record[13] = GetPartialGeneration();
  record[14] = GetPrintPositionBreak();
  record[15] = GetPrintingSection();
  WriteKindState(record + 16);
  WriteCacheRecord(pageIndex, record);
}

void TppCustomBand::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[ppMaxBandRecord];
  std::memset(record, 0xFF, sizeof record);
  ReadCacheRecord(pageIndex, record);
  if (record[12] == 0xFF) return;  // no record of that page (flags are 0 or 1)
  SetResumeObjectIndex(GetInt(record));
  SetResumeListIndex(GetInt(record + 4));
  SetPartialAdjustment(GetInt(record + 8));
  SetOverFlow(record[12] != 0);
  SetPartialGeneration(record[13] != 0);
  SetPrintPositionBreak(record[14] != 0);
  SetPrintingSection(record[15] != 0);
  ReadKindState(record + 16);
}

// ---- page bands ----

void TppPageBand::SetPrintOnFirstPage(bool v) {
  if (!Report() || v == printOnFirstPage_) return;
  printOnFirstPage_ = v;
  ReportChanged();
}

void TppPageBand::SetPrintOnLastPage(bool v) {
  if (!Report() || v == printOnLastPage_) return;
  printOnLastPage_ = v;
  ReportChanged();
}

void TppPageBand::BeforeGeneration() {
  TppCustomEngine* engine = Report() ? Report()->Engine() : nullptr;
  if (!engine) {
    SetGenerationComplete(true);
    return;
  }
  if (!printOnFirstPage_ && engine->AbsolutePageNo() == 1) SetGenerationComplete(true);
  if (!printOnLastPage_) {
    if (engine->Flags().Contains(TppEngineFlag::efFirstPass)) {
      if (engine->DataExhausted() || engine->Flags().Contains(TppEngineFlag::efSummary)) SetGenerationComplete(true);
    } else if (engine->Flags().Contains(TppEngineFlag::efSecondPass)) {
      if (engine->AbsolutePageNo() == engine->AbsolutePageCount()) SetGenerationComplete(true);
    }
  }
}

TppHeaderBand::TppHeaderBand(cls::TComponent* owner) : TppPageBand(owner) {}
std::string TppHeaderBand::GetSortKey() { return Key(2); }

TppFooterBand::TppFooterBand(cls::TComponent* owner) : TppPageBand(owner) {}
std::string TppFooterBand::GetSortKey() { return Key(8); }

void TppFooterBand::PlaceBand() {
  TppCustomEngine* engine = Report()->Engine();
  TppPageDef* def = engine->Page()->PageDef();
  int32_t bottom = def ? def->mmHeight() - def->mmMarginBottom() : engine->GetPageBottom();
  SetPageBottom(bottom);
  int32_t start = bottom - mmHeight();
  SetStartingPosition(start);
  const TppRect& page = engine->PageRect();
  SetPrintRect(MakeRect(page.Left, start, page.Right, start + mmHeight()));
  SetCurrentPosition(start);
}

// ---- report bands ----

void TppReportBand::SetNewPage(bool v) {
  if (!Report() || v == newPage_) return;
  newPage_ = v;
  ReportChanged();
}

void TppReportBand::InitGeneration() {
  TppBasicBand::InitGeneration();
  printed_ = false;
}

TppTitleBand::TppTitleBand(cls::TComponent* owner) : TppReportBand(owner) {}
std::string TppTitleBand::GetSortKey() { return Key(1); }

void TppTitleBand::BeforeGeneration() {
  TppCustomEngine* engine = Report() ? Report()->Engine() : nullptr;
  if (!engine) return;
  if (NewPage() && Printed()) {
    SetGenerationComplete(true);
    engine->ExcludeFlags(TppEngineFlag::efTitle);
  } else {
    engine->IncludeFlags(TppEngineFlag::efTitle);
  }
}

void TppTitleBand::EndGeneration() {
  TppCustomEngine* engine = Report() ? Report()->Engine() : nullptr;
  if (!engine) return;
  if (NewPage() && !Printed()) {
    SetPrinted(true);
    if (Visible()) SetOutOfSpace(true);
  } else {
    engine->ExcludeFlags(TppEngineFlag::efTitle);
  }
}

TppSummaryBand::TppSummaryBand(cls::TComponent* owner) : TppReportBand(owner) {}
std::string TppSummaryBand::GetSortKey() { return Key(9); }

void TppSummaryBand::BeforeGeneration() {
  if (TppCustomEngine* engine = Report() ? Report()->Engine() : nullptr)
    engine->IncludeFlags(TppEngineFlag::efSummary);
}

void TppSummaryBand::PlaceBand() {
  TppCustomEngine* engine = Report()->Engine();
  if (NewPage() && !Printed()) {
    SetPrinted(true);
    if (Visible()) {
      SetOutOfSpace(true);
      return;
    }
  }
  if (Report()->Columns() != 1) {
    TppPageDef* def = engine->Page()->PageDef();
    int32_t leftMargin = def ? def->mmMarginLeft() : 0;
    auto* detail = cls::ObjectAs<TppDetailBand>(Report()->GetBand(TppBandType::btDetail, 0));
    if (detail && detail->ColumnTraversal() == ctLeftToRight) {
      engine->ResetColumnLeft();
    } else if (engine->PageRect().Left != leftMargin) {
      SetOutOfSpace(true);
      return;
    }
  }
  TppBasicBand::PlaceBand();
}

void TppSummaryBand::EndPage() {
  if (TppCustomEngine* engine = Report() ? Report()->Engine() : nullptr)
    engine->ExcludeFlags(TppEngineFlag::efSummary);
}

// ---- column bands ----

TppColumnHeaderBand::TppColumnHeaderBand(cls::TComponent* owner) : TppBasicBand(owner) { StoreHeight(0); }
std::string TppColumnHeaderBand::GetSortKey() { return Key(3); }

TppColumnFooterBand::TppColumnFooterBand(cls::TComponent* owner) : TppBasicBand(owner) { StoreHeight(0); }
std::string TppColumnFooterBand::GetSortKey() { return Key(7); }

void TppColumnFooterBand::PlaceBand() {
  TppCustomEngine* engine = Report()->Engine();
  TppPageDef* def = engine->Page()->PageDef();
  SetPageBottom(def ? def->mmHeight() - def->mmMarginBottom() : engine->GetPageBottom());
  int32_t start = engine->GetPageBottom();
  SetStartingPosition(start);
  const TppRect& page = engine->PageRect();
  SetPrintRect(MakeRect(page.Left, start, page.Right, start + mmHeight()));
  SetCurrentPosition(start);
}

// ---- detail band ----

TppDetailBand::TppDetailBand(cls::TComponent* owner) : TppBasicBand(owner) {
  SetPrintCount(0);  // the detail band's own default mode
  SetCacheRecordSize(ppBandRecordSize + 4);
}

int32_t TppDetailBand::GetRecordCounter() { return bandEngine_ ? bandEngine_->GetRecordCounter() : 0; }
void TppDetailBand::SetRecordCounter(int32_t v) {
  if (bandEngine_) bandEngine_->SetRecordCounter(v);
}
void TppDetailBand::WriteKindState(uint8_t* kindBytes) { PutInt(kindBytes + 4, GetRecordCounter()); }
void TppDetailBand::ReadKindState(const uint8_t* kindBytes) { SetRecordCounter(GetInt(kindBytes + 4)); }

void TppDetailBand::BeforeDestruction() {
  FreeBandEngine();
  if (dataPipeline_) RemoveNotify(dataPipeline_);
  dataPipeline_ = nullptr;
  TppBasicBand::BeforeDestruction();
}

void TppDetailBand::FreeBandEngine() {
  bandEngine_ = nullptr;
  bandEngineObject_.reset();
}

void TppDetailBand::SetBandsPerRecord(int32_t v) {
  bandsPerRecord_ = std::max<int32_t>(v, 1);
  ReportChanged();
}

void TppDetailBand::SetColumnTraversal(TppColumnTraversalType v) {
  columnTraversal_ = v;
  if (PrintHeight() == phDynamic && v == ctLeftToRight) StorePrintHeight(phStatic);
  ReportChanged();
}

void TppDetailBand::SetPrintHeight(TppPrintHeightType value) {
  if (value == phDynamic && columnTraversal_ == ctLeftToRight) return;
  TppBasicBand::SetPrintHeight(value);
}

void TppDetailBand::SetDataPipeline(TppDataPipeline* pipeline) {
  if (Report() && pipeline == Report()->DataPipeline()) return;
  if (pipeline == dataPipeline_) return;
  TppDataPipeline* old = GetDataPipeline();
  if (dataPipeline_) RemoveNotify(dataPipeline_);
  dataPipeline_ = pipeline;
  if (dataPipeline_) AddNotify(dataPipeline_);
  if (dataPipeline_) dataPipelineName_ = dataPipeline_->Name();
  else if (!HasState(cls::csLoading) && !HasState(cls::csReading)) dataPipelineName_.clear();
  if (!HasState(cls::csLoading) && !HasState(cls::csReading)) RebindDataPipeline(old, GetDataPipeline());
  ReportChanged();
}

void TppDetailBand::DefineProperties(cls::TFiler* filer) {
  TppBasicBand::DefineProperties(filer);
  ppDefinePipelineName(filer, dataPipeline_, dataPipelineName_);
  filer->DefineProperty("DataSource", [this](cls::TReader& r) { dataPipelineName_ = r.ReadIdent(); }, nullptr, false);
  for (const char* dropped : {"NoRecordsAction", "SkipWhenNoRecords"})
    filer->DefineProperty(dropped, [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
}

void TppDetailBand::Convert(int64_t version) {
  TppBasicBand::Convert(version);
  if (version < 3000 && Report() && Report()->OldRowSpacing() != 0)
    SetmmBottomOffset(ConvertToMMThousandths(Report()->OldRowSpacing(), Report()->Units(), ppVertical));
}

void TppDetailBand::ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) {
  if (dataPipeline_) return;
  // Taken as it was saved, even when it is the report's pipeline too.
  if (TppDataPipeline* p = ppPipelineNamed(list, dataPipelineName_)) {
    dataPipeline_ = p;
    AddNotify(p);
  }
}

TppDataPipeline* TppDetailBand::GetDataPipeline() { return dataPipeline_ ? dataPipeline_ : TppBasicBand::GetDataPipeline(); }

void TppDetailBand::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppBasicBand::Notify(communicator, operation);
  if (operation == ppopRemove && communicator && communicator == dataPipeline_) {
    if (Report()) Report()->ResetCaches();
    dataPipeline_ = nullptr;
  }
}

void TppDetailBand::InitGeneration() {
  FreeBandEngine();
  if (TppDetailBandEngineCreator create = ppGetDetailBandEngineClass()) {
    TppBandEngineRef made = create(this);
    bandEngineObject_.reset(made.Object);
    bandEngine_ = made.Generation;
  }
  if (bandEngine_) bandEngine_->InitBandGeneration();
}

void TppDetailBand::Generate() {
  if (bandEngine_) bandEngine_->GenerateBand();
}

void TppDetailBand::EndPage() {
  if (bandEngine_) bandEngine_->EndOfPage();
}

template <class T>
struct ppParam {
  using type = T;
};
template <>
struct ppParam<TppRect> {
  using type = const TppRect&;
};
#define PP_PARAM(Type) typename ppParam<Type>::type
#define PP_DETAIL_GET(Type, Name, Default) \
  Type TppDetailBand::Get##Name() { return bandEngine_ ? bandEngine_->Get##Name() : Default; }
#define PP_DETAIL_SET(Type, Name) \
  void TppDetailBand::Set##Name(PP_PARAM(Type) v) {      \
    if (bandEngine_) bandEngine_->Set##Name(v);          \
  }
#define PP_DETAIL_STATE(X)                                       \
  X(bool, AllObjectsPrinted, false)                              \
  X(int32_t, Count, 0)                                           \
  X(int32_t, CurrentPosition, 0)                                 \
  X(int32_t, CumulativeCurrentPosition, 0)                       \
  X(bool, Generating, false)                                     \
  X(bool, GenerationComplete, true)                              \
  X(TppStretchable*, MaxStretchable, nullptr)                    \
  X(int32_t, ResumeListIndex, -1)                                \
  X(int32_t, ResumeObjectIndex, -1)                              \
  X(bool, OutOfSpace, false)                                     \
  X(bool, OverFlow, false)                                       \
  X(int32_t, PageBottom, 0)                                      \
  X(bool, PartialGeneration, false)                              \
  X(int32_t, PartialAdjustment, 0)                               \
  X(bool, PrintingSection, false)                                \
  X(bool, PrintPositionBreak, false)                             \
  X(TppRect, PrintRect, TppRect())                               \
  X(int32_t, SpaceUsed, 0)                                       \
  X(int32_t, StartingPosition, 0)
#define PP_DETAIL_ACCESSORS(Type, Name, Default) PP_DETAIL_GET(Type, Name, Default)
PP_DETAIL_STATE(PP_DETAIL_ACCESSORS)
#undef PP_DETAIL_ACCESSORS
#define PP_DETAIL_SETTERS(Type, Name, Default) PP_DETAIL_SET(Type, Name)
PP_DETAIL_STATE(PP_DETAIL_SETTERS)
#undef PP_DETAIL_SETTERS

std::string TppDetailBand::GetSortKey() { return Key(5); }

void ppSetDetailBandEngineClass(TppDetailBandEngineCreator creator) { detailBandEngineClass.store(creator); }
TppDetailBandEngineCreator ppGetDetailBandEngineClass() { return detailBandEngineClass.load(); }

// ---- page style ----

TppPageStyle::TppPageStyle(cls::TComponent* owner) : TppBasicBand(owner) {}

bool TppPageStyle::PrintingReport() const { return Report() && Report()->MainReport()->Printing(); }

std::string TppPageStyle::GetSortKey() { return Key(PrintingReport() ? 0 : 10); }

void TppPageStyle::SetPageSetting(TppPageSettingType v) {
  if (PrintingReport() || v == pageSetting_) return;
  pageSetting_ = v;
  ReportChanged();
}
void TppPageStyle::SetStartPage(int32_t v) {
  if (PrintingReport() || v == startPage_) return;
  startPage_ = v;
  ReportChanged();
}
void TppPageStyle::SetEndPage(int32_t v) {
  if (PrintingReport() || v == endPage_) return;
  endPage_ = v;
  ReportChanged();
}
void TppPageStyle::SetSinglePage(int32_t v) {
  if (PrintingReport() || v == singlePage_) return;
  singlePage_ = v;
  ReportChanged();
}
void TppPageStyle::SetPageList(const cls::TStringList& list) {
  if (PrintingReport()) return;
  pageList_.Assign(const_cast<cls::TStringList*>(&list));
  ReportChanged();
}
void TppPageStyle::SetValidPages(const std::string& text) {
  if (PrintingReport() || text == validPages_) return;
  validPages_ = text;
  ParsePageList(text, &pageList_, true);
  pageSetting_ = TppPageSettingType::psPageList;
  ReportChanged();
}

bool TppPageStyle::ShowsOnPage(int32_t n, bool countKnown, int32_t count) {
  switch (pageSetting_) {
    case TppPageSettingType::psAll:
      return Visible();
    case TppPageSettingType::psPageList:
      // ValidPages lists plain numbers, a list set in code may hold keys
      // ("%8d"): the numbers are compared.
      for (int i = 0; i < pageList_.Count(); ++i) {
        int64_t listed = 0;
        if (cls::TryStrToInt(cls::Trim(pageList_.Strings(i)), listed) && listed == n) return true;
      }
      return false;
    case TppPageSettingType::psSinglePage:
      return n == singlePage_;
    case TppPageSettingType::psFirstPage:
      return n == 1;
    case TppPageSettingType::psLastPage:
      return countKnown && n == count;
    case TppPageSettingType::psPageRange:
      return n >= startPage_ && (endPage_ == 0 || n <= endPage_);
  }
  return false;
}

void TppPageStyle::BeforeGeneration() {
  TppCustomReport* main = Report() ? Report()->MainReport() : nullptr;
  TppCustomEngine* engine = main ? main->Engine() : nullptr;
  if (!engine) return;
  bool shown = ShowsOnPage(engine->AbsolutePageNo(), engine->CountKnown(), engine->AbsolutePageCount());
  // With psAll the band's own Visible stands.
  if (pageSetting_ != TppPageSettingType::psAll) StoreVisible(shown);
}

void TppPageStyle::PlaceBand() {
  TppCustomEngine* engine = Report()->Engine();
  savedRect_ = engine->PageRect();
  TppPageDef* def = engine->Page()->PageDef();
  int32_t top = def ? def->mmMarginTop() : 0;
  SetPageBottom(def ? def->mmHeight() - def->mmMarginBottom() : engine->GetPageBottom());
  SetStartingPosition(top);
  SetPrintRect(MakeRect(savedRect_.Left, top, savedRect_.Right, top + mmHeight()));
  SetCurrentPosition(top);
}

void TppPageStyle::AdvancePage() {
  TppCustomEngine* engine = Report()->Engine();
  SetGenerationComplete(true);
  // The body starts where it would have without the page style.
  engine->SetPageRect(savedRect_.Left, savedRect_.Top, savedRect_.Right, GetPrintRect().Bottom);
}

// ---- group bands ----

TppGroupBand::TppGroupBand(cls::TComponent* owner) : TppCustomBand(owner) { StoreHeight(0); }

void TppGroupBand::BeforeDestruction() {
  if (group_) SetGroup(nullptr);
  TppCustomBand::BeforeDestruction();
}

void TppGroupBand::SetGroup(TppGroup* group) {
  if (group == group_) return;
  // A stream holds one band of each kind in a group.
  if (group && HasState(cls::csReading))
    if (TppGroupBand* other = KindBandOf(group); other && other != this)
      throw cls::EReadError("A group holds one " + std::string(ClassName()));
  if (group_ && KindBandOf(group_) == this) AttachToGroup(group_, false);
  group_ = group;
  if (group_) {
    AttachToGroup(group_, true);
    SetReport(group_->Report());
  } else {
    SetReport(nullptr);
  }
  RefreshCaption();
}

int TppGroupBand::GroupIndex() const { return group_ ? group_->GroupNo() : -1; }

void TppGroupBand::SetParentComponent(cls::TComponent* parent) {
  if (auto* group = cls::ObjectAs<TppGroup>(parent)) SetGroup(group);
}

void TppGroupBand::RefreshCaption() {
  std::string caption = ppLoadStr(CaptionMessage());
  if (group_) caption += "[" + cls::IntToStr(GroupIndex()) + "]: " + group_->BreakText();
  SetCaption(caption);
}

void TppGroupBand::LanguageChanged() { RefreshCaption(); }

std::string TppGroupHeaderBand::GetSortKey() { return Key(4) + Key(GroupIndex()); }

TppBandKinds TppGroupHeaderBand::GetKindFlag() {
  TppBandKinds kinds = TppBandKind::bkGroupHeader;
  if (TppGroup* g = Group()) {
    if (g->ReprintOnSubsequentPage()) kinds.Include(TppBandKind::bkHeader);
    if (ppColumnCount(Report()) >= 2 && g->ReprintOnSubsequentColumn())
      kinds.Include(TppBandKind::bkColumnHeader);
  }
  return kinds;
}

void TppGroupHeaderBand::WriteKindState(uint8_t* kindBytes) {
  TppGroupBand::WriteKindState(kindBytes);
  kindBytes[1] = alreadyPageBreak_;
  kindBytes[2] = newColumnTaken_;
}

void TppGroupHeaderBand::ReadKindState(const uint8_t* kindBytes) {
  TppGroupBand::ReadKindState(kindBytes);
  alreadyPageBreak_ = kindBytes[1] != 0;
  newColumnTaken_ = kindBytes[2] != 0;
}

void TppGroupHeaderBand::AttachToGroup(TppGroup* group, bool attach) {
  group->headerBand_ = attach ? this : nullptr;
}

TppGroupBand* TppGroupHeaderBand::KindBandOf(TppGroup* group) { return group->headerBand_; }

namespace {
TppCustomEngine* EngineOf(TppBand* band) { return band->Report() ? band->Report()->Engine() : nullptr; }
}  // namespace

int ppColumnCount(TppCustomReport* report) {
  if (!report || report->Columns() < 2 || report->mmColumnWidth() <= 0) return 1;
  return report->Columns();
}

void TppGroupHeaderBand::InitGeneration() {
  TppGroupBand::InitGeneration();
  SetGeneration(true);
  SetSaveGeneration(true);
  newColumnTaken_ = true;
  TppCustomEngine* engine = EngineOf(this);
  alreadyPageBreak_ = !(engine && engine->GetNewPageRequested());
}

void TppGroupHeaderBand::BeforeGeneration() {
  TppCustomEngine* engine = EngineOf(this);
  TppGroup* group = Group();
  if (!engine || !group) return;
  bool pending = Generation();
  bool overflow = GetOverFlow();
  bool columns = ppColumnCount(Report()) >= 2;
  bool complete = false;
  if (pending) {
    group->StartKeepTogether();
  } else if (engine->State().Contains(TppBandKind::bkHeader) && group->ReprintOnSubsequentPage()) {
    complete = engine->AbsolutePageNo() < group->FirstPageNo();
  } else if (engine->State().Contains(TppBandKind::bkColumnHeader) && group->ReprintOnSubsequentColumn()) {
    bool later = engine->AbsolutePageNo() > group->FirstPageNo() ||
                 (engine->AbsolutePageNo() == group->FirstPageNo() && engine->CurrentColumn() > group->FirstColumn());
    complete = !later;
  } else if (engine->Flags().Intersects(TppEngineFlag::efTitle | TppEngineFlag::efSummary)) {
    complete = true;
  } else {
    complete = !overflow;
  }
  if (complete) {
    SetGenerationComplete(true);
    return;
  }
  // Placed only to learn the room left; fitting is the pass's own test.
  PlaceBand();
  SetOutOfSpace(false);
  int32_t spaceLeft = GetPageBottom() - GetStartingPosition();
  bool outOfSpace = false;
  if (!alreadyPageBreak_ && !(columns && newColumnTaken_)) {
    if (columns && pending && group->NewColumn()) {
      newColumnTaken_ = outOfSpace = true;
    } else if (pending && group->NewPage()) {
      alreadyPageBreak_ = outOfSpace = true;
    } else if (columns && spaceLeft < group->mmNewColumnThreshold()) {
      newColumnTaken_ = outOfSpace = true;
    } else if (spaceLeft < group->mmNewPageThreshold()) {
      alreadyPageBreak_ = outOfSpace = true;
    }
  }
  if (outOfSpace) {
    SetOutOfSpace(true);
    return;
  }
  if ((pending || engine->State().Contains(TppBandKind::bkTitle)) && !overflow) {
    group->SetFirstPageNo(engine->AbsolutePageNo());
    group->SetFirstColumn(engine->CurrentColumn());
    engine->DeferredBreakStep();
  }
}

void TppGroupHeaderBand::StartGeneration() {
  if (TppGroup* group = Group(); group && !GetOverFlow() && !GetPartialGeneration()) {
    if (Generation()) group->DoBeforeGroupBreak();
    group->DoBeforeHeader();
  }
  TppGroupBand::StartGeneration();
}

void TppGroupHeaderBand::EndGeneration() {
  if (!Generation() || GetOutOfSpace() || GetOverFlow()) return;
  SetGeneration(false);
  if (TppGroup* group = Group()) group->breaking_ = false;
  alreadyPageBreak_ = newColumnTaken_ = false;
}

void TppGroupFooterBand::InitGeneration() {
  TppGroupBand::InitGeneration();
  SetGeneration(false);
}

void TppGroupFooterBand::BeforeGeneration() {
  TppCustomEngine* engine = EngineOf(this);
  if (!engine || Generation()) return;
  if (!engine->State().Contains(TppBandKind::bkSummary) && !GetOverFlow()) SetGenerationComplete(true);
}

void TppGroupFooterBand::StartGeneration() {
  if (TppGroup* group = Group(); group && !GetOverFlow() && !GetPartialGeneration()) group->DoBeforeFooter();
  TppGroupBand::StartGeneration();
}

void TppGroupFooterBand::EndGeneration() {
  TppGroup* group = Group();
  if (group && Generation() && !GetOutOfSpace() && !GetOverFlow()) {
    SetGeneration(false);
    group->DoAfterGroupBreak();
  }
  TppCustomEngine* engine = EngineOf(this);
  // The outermost footer done: the next deferred step moves the data on.
  if (engine && GroupIndex() == 0 && !GetOutOfSpace() && !engine->DataExhausted() &&
      engine->State().Contains(TppBandKind::bkGroupFooter))
    engine->SetOuterBreakDone(true);
}

std::string TppGroupFooterBand::GetSortKey() { return Key(6) + Key(99999999 - (GroupIndex() + 1)); }

void TppGroupFooterBand::AttachToGroup(TppGroup* group, bool attach) {
  group->footerBand_ = attach ? this : nullptr;
}

TppGroupBand* TppGroupFooterBand::KindBandOf(TppGroup* group) { return group->footerBand_; }

// ---- classes ----

cls::TClass ppBandClassOfType(TppBandType type) {
  switch (type) {
    case TppBandType::btHeader: return &TppHeaderBand::StaticClass();
    case TppBandType::btTitle: return &TppTitleBand::StaticClass();
    case TppBandType::btColumnHeader: return &TppColumnHeaderBand::StaticClass();
    case TppBandType::btGroupHeader: return &TppGroupHeaderBand::StaticClass();
    case TppBandType::btDetail: return &TppDetailBand::StaticClass();
    case TppBandType::btGroupFooter: return &TppGroupFooterBand::StaticClass();
    case TppBandType::btColumnFooter: return &TppColumnFooterBand::StaticClass();
    case TppBandType::btSummary: return &TppSummaryBand::StaticClass();
    case TppBandType::btFooter: return &TppFooterBand::StaticClass();
    case TppBandType::btPageStyle: return &TppPageStyle::StaticClass();
  }
  return nullptr;
}

void ppRegisterBands() {
  for (int t = 0; t < ppBandTypeCount; ++t) cls::RegisterClass(ppBandClassOfType(static_cast<TppBandType>(t)));
  using B = TppBand;
  auto& band = B::StaticClass();
  for (auto [name, field] : std::initializer_list<std::pair<const char*, cls::TNotifyEvent B::*>>{
           {"AfterGenerate", &B::AfterGenerate}, {"AfterPrint", &B::AfterPrint},
           {"BeforeGenerate", &B::BeforeGenerate}, {"BeforePrint", &B::BeforePrint}})
    cls::PublishProperty(band, cls::MethodProperty<B>(name, field));
  cls::TPropInfo printHeight = cls::OrdProperty<B, TppPrintHeightType>(
      "PrintHeight", cls::EnumTypeInfo<TppPrintHeightType>(), &B::PrintHeight, &B::SetPrintHeight);
  printHeight.HasDefault = true;
  printHeight.Default = phStatic;
  cls::PublishProperty(band, printHeight);
  cls::TPropInfo visible = cls::OrdProperty<B, bool>("Visible", cls::TypeInfoBoolean(), &B::Visible, &B::SetVisible);
  visible.HasDefault = true;
  visible.Default = 1;
  cls::PublishProperty(band, visible);
  // Heights and offsets stream as their mm values.
  auto notStored = [](cls::TObject*) { return false; };
  cls::PublishProperty(band, cls::FloatProperty<B>("Height", &B::Height, &B::SetHeight)).Stored = notStored;
  cls::PublishProperty(band, cls::FloatProperty<B>("BottomOffset", &B::BottomOffset, &B::SetBottomOffset)).Stored =
      notStored;
  cls::PublishProperty(band, cls::FloatProperty<B>("PrintPosition", &B::PrintPosition, &B::SetPrintPosition))
      .Stored = notStored;
  auto withDefault = [](cls::TClassInfo& c, cls::TPropInfo p, int64_t def) {
    p.HasDefault = true;
    p.Default = def;
    cls::PublishProperty(c, std::move(p));
  };
  withDefault(band, cls::OrdProperty<B, bool>("Save", cls::TypeInfoBoolean(), &B::Save, &B::SetSave), 0);
  {
    using P = TppPageBand;
    withDefault(P::StaticClass(),
                cls::OrdProperty<P, bool>("PrintOnFirstPage", cls::TypeInfoBoolean(), &P::PrintOnFirstPage,
                                          &P::SetPrintOnFirstPage),
                1);
    withDefault(P::StaticClass(),
                cls::OrdProperty<P, bool>("PrintOnLastPage", cls::TypeInfoBoolean(), &P::PrintOnLastPage,
                                          &P::SetPrintOnLastPage),
                1);
  }
  {
    using R = TppReportBand;
    withDefault(R::StaticClass(),
                cls::OrdProperty<R, bool>("NewPage", cls::TypeInfoBoolean(), &R::NewPage, &R::SetNewPage), 0);
  }
  {
    using D = TppDetailBand;
    auto& detail = D::StaticClass();
    withDefault(detail,
                cls::OrdProperty<D, int32_t>("BandsPerRecord", cls::TypeInfoInteger(), &D::BandsPerRecord,
                                             &D::SetBandsPerRecord),
                1);
    withDefault(detail,
                cls::OrdProperty<D, TppColumnTraversalType>("ColumnTraversal",
                                                            cls::EnumTypeInfo<TppColumnTraversalType>(),
                                                            &D::ColumnTraversal, &D::SetColumnTraversal),
                ctTopToBottom);
    cls::PublishProperty(detail, ppDataPipelineProperty<D>(&D::DataPipeline, &D::SetDataPipeline));
    withDefault(detail,
                cls::OrdProperty<B, int32_t>("PrintCount", cls::TypeInfoInteger(), &B::PrintCount, &B::SetPrintCount),
                0);
  }
  {
    using S = TppPageStyle;
    auto& style = S::StaticClass();
    withDefault(style,
                cls::OrdProperty<S, TppPageSettingType>("PageSetting", cls::EnumTypeInfo<TppPageSettingType>(),
                                                        &S::PageSetting, &S::SetPageSetting),
                static_cast<int64_t>(TppPageSettingType::psAll));
    cls::TPropInfo list;
    list.Name = "PageList";
    list.Type = cls::MakeClassTypeInfo("TStringList", &cls::TStringList::StaticClass());
    list.GetObj = [](cls::TObject* o) -> cls::TObject* {
      return const_cast<cls::TStringList*>(&static_cast<S*>(o)->PageList());
    };
    list.SetObj = [](cls::TObject* o, cls::TObject* v) {
      if (auto* l = cls::ObjectAs<cls::TStringList>(v)) static_cast<S*>(o)->SetPageList(*l);
    };
    cls::PublishProperty(style, std::move(list));
    for (auto [name, get, set] :
         std::initializer_list<std::tuple<const char*, int32_t (S::*)() const, void (S::*)(int32_t)>>{
             {"StartPage", &S::StartPage, &S::SetStartPage},
             {"EndPage", &S::EndPage_, &S::SetEndPage},
             {"SinglePage", &S::SinglePage, &S::SetSinglePage}})
      withDefault(style, cls::OrdProperty<S, int32_t>(name, cls::TypeInfoInteger(), get, set), 0);
    cls::PublishProperty(style, cls::StrProperty<S>("ValidPages", &S::ValidPages, &S::SetValidPages));
  }
  RegisterEnumType("TppColumnTraversalType", ppEnumTypeInfo<TppColumnTraversalType>());
}

// ---- scripting ----

namespace {

// The band's variables: its objects of the class registered as "TppVariable".
std::vector<TppComponent*> BandVariables(const TppBand* band) {
  std::vector<TppComponent*> out;
  cls::TClass variable = cls::FindClass("TppVariable");
  if (!variable) return out;
  for (int i = 0; i < band->ObjectCount(); ++i)
    if (band->Objects(i)->InheritsFrom(variable)) out.push_back(band->Objects(i));
  return out;
}

// The top of the band's print rectangle while it generates.
int32_t BandPrintTop(TppBand* band) {
  auto* custom = cls::ObjectAs<TppCustomBand>(band);
  return custom ? custom->GetPrintRect().Top : 0;
}

int32_t ScreenPixels(int32_t mm, TppDirection direction) {
  return ConvertToScreenPixels(static_cast<float>(mm), utMMThousandths, direction);
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppBandRTTI)

const TraMembers* TraTppBandRTTI::Members() const {
  using C = TppBand;
  cls::TClass component = &TppComponent::StaticClass();
  static const TraMembers members(
      inherited::Members(),
      {raEvent("AfterPrint", ciBandAfterPrint), raEvent("BeforePrint", ciBandBeforePrint),
       raEvent("AfterGenerate", ciBandAfterGenerate), raEvent("BeforeGenerate", ciBandBeforeGenerate),
       raProperty<C, daString>("Caption", &C::Caption, &C::SetCaption),
       raProperty<C, daInteger>("CaptionIndex", &C::CaptionIndex),
       raProperty<C, daBoolean>("DrawPage", &C::DrawPage),
       raProperty<C, daSingle>("Height", &C::Height, &C::SetHeight),
       raProperty<C, daInteger>("Index", &C::Index),
       raProperty<C, daInteger>("mmBottomOffset", &C::mmBottomOffset, &C::SetmmBottomOffset),
       raProperty<C, daInteger>("mmHeight", &C::mmHeight, &C::SetmmHeight),
       raProperty<C, daInteger>("mmPrintPosition", &C::mmPrintPosition, &C::SetmmPrintPosition),
       raProperty<C, daInteger>("mmTop", &BandPrintTop), raProperty<C, daInteger>("mmWidth", &C::mmWidth),
       raProperty<C, daInteger>("ObjectCount", &C::ObjectCount),
       raIndexed(
           "Objects", daObject, component, [](cls::TObject* o) { return static_cast<C*>(o)->ObjectCount(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->Objects(i))); }),
       raEnumProperty<C, TppPrintHeightType>("PrintHeight", &C::PrintHeight, &C::SetPrintHeight),
       raObjectProperty<C, TppCustomReport>("Report", &C::Report),
       raProperty<C, daBoolean>("Save", &C::Save, &C::SetSave),
       raProperty<C, daInteger>("SaveCount", [](C* b) { return static_cast<int32_t>(b->SaveList().size()); }),
       raIndexed(
           "Saves", daObject, component,
           [](cls::TObject* o) { return static_cast<int>(static_cast<C*>(o)->SaveList().size()); },
           [](cls::TObject* o, int i) {
             return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->SaveList()[static_cast<size_t>(i)]));
           }),
       raProperty<C, daInteger>("spHeight", [](C* b) { return ScreenPixels(b->mmHeight(), ppVertical); }),
       raProperty<C, daInteger>("spTop", [](C* b) { return ScreenPixels(BandPrintTop(b), ppVertical); }),
       raProperty<C, daInteger>("spWidth", [](C* b) { return ScreenPixels(b->mmWidth(), ppHorizontal); }),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits),
       raProperty<C, daInteger>("VariableCount", [](C* b) { return static_cast<int32_t>(BandVariables(b).size()); }),
       raIndexed(
           "Variables", daObject, component,
           [](cls::TObject* o) { return static_cast<int>(BandVariables(static_cast<C*>(o)).size()); },
           [](cls::TObject* o, int i) {
             return TraValue(static_cast<cls::TObject*>(BandVariables(static_cast<C*>(o))[static_cast<size_t>(i)]));
           }),
       raProperty<C, daBoolean>("Visible", &C::Visible, &C::SetVisible)});
  return &members;
}

// ---- design popup menus ----

namespace {

int BandLanguageIndex(TppBand& band) { return band.Report() ? band.Report()->LanguageIndex() : 0; }

}  // namespace

void TppBand::CreatePopupMenu(TppPopupMenu*& menu) {
  if (!menu) menu = new TppPopupMenu(nullptr);
  menu->AddAction<TppBand>(1, "DynamicHeight", 0, [](TppBand& b) { b.SetPrintHeight(phDynamic); });
  menu->AddAction<TppBand>(2, "StaticHeight", 0, [](TppBand& b) { b.SetPrintHeight(phStatic); });
  menu->AddItem(3, "mniLine1", 0, "-");
  menu->AddAction<TppBand>(4, "CalcOrder", 0, [](TppBand& b) {
    ppShowDesignDialog(&TppCustomCalcOrderDialog::StaticClass(), BandLanguageIndex(b), b.Report());
  });
  menu->AddAction<TppBand>(5, "Position", 0, [](TppBand& b) {
    ppShowDesignDialog(&TppCustomBandPositionDialog::StaticClass(), BandLanguageIndex(b), b.Report());
  });
  menu->AddAction<TppBand>(6, "Visible", 0);
}

void TppBand::UpdatePopupMenu(TppPopupMenu* menu) {
  if (!menu) return;
  menu->LanguageIndex = BandLanguageIndex(*this);
  menu->UpdateChecks(this);
  if (ui::TMenuItem* i = menu->FindItem("DynamicHeight")) i->Checked = printHeight_ == phDynamic;
  if (ui::TMenuItem* i = menu->FindItem("StaticHeight")) i->Checked = printHeight_ == phStatic;
}

void TppPageBand::CreatePopupMenu(TppPopupMenu*& menu) {
  TppBasicBand::CreatePopupMenu(menu);
  menu->AddAction<TppPageBand>(7, "PrintOnFirstPage", 0,
                               [](TppPageBand& b) { b.SetPrintOnFirstPage(!b.PrintOnFirstPage()); });
  menu->AddAction<TppPageBand>(8, "PrintOnLastPage", 0,
                               [](TppPageBand& b) { b.SetPrintOnLastPage(!b.PrintOnLastPage()); });
}

void TppPageBand::UpdatePopupMenu(TppPopupMenu* menu) {
  TppBasicBand::UpdatePopupMenu(menu);
  if (!menu) return;
  if (ui::TMenuItem* i = menu->FindItem("PrintOnFirstPage")) i->Checked = PrintOnFirstPage();
  if (ui::TMenuItem* i = menu->FindItem("PrintOnLastPage")) i->Checked = PrintOnLastPage();
}

void TppReportBand::CreatePopupMenu(TppPopupMenu*& menu) {
  TppBasicBand::CreatePopupMenu(menu);
  menu->AddAction<TppReportBand>(7, "NewPage", 0, [](TppReportBand& b) { b.SetNewPage(!b.NewPage()); });
}

void TppReportBand::UpdatePopupMenu(TppPopupMenu* menu) {
  TppBasicBand::UpdatePopupMenu(menu);
  if (ui::TMenuItem* i = menu ? menu->FindItem("NewPage") : nullptr) i->Checked = NewPage();
}

void TppGroupBand::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomBand::CreatePopupMenu(menu);
  menu->AddAction<TppGroupBand>(7, "Groups", 0, [](TppGroupBand& b) {
    if (auto* designer = dynamic_cast<ui::TControl*>(b.Report() ? b.Report()->ReportDesigner() : nullptr))
      designer->Perform(1130, 5050, reinterpret_cast<intptr_t>(static_cast<cls::TObject*>(&b)));
  });
}

void TppPageStyle::CreatePopupMenu(TppPopupMenu*& menu) {
  TppBasicBand::CreatePopupMenu(menu);
  menu->AddAction<TppPageStyle>(7, "PageSetting", 0, [](TppPageStyle& b) {
    ppShowDesignDialog(&TppCustomPageSettingDialog::StaticClass(), BandLanguageIndex(b), b.Report());
  });
}
