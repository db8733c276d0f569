#include "report/engine/ppGroup.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/classes/filer.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"

CLS_IMPLEMENT_COMPONENT(TppGroup)

namespace {

void PutInt(uint8_t* at, int32_t v) { std::memcpy(at, &v, sizeof v); }
int32_t GetInt(const uint8_t* at) {
  int32_t v = 0;
  std::memcpy(&v, at, sizeof v);
  return v;
}

}  // namespace

TppGroup::TppGroup(cls::TComponent* owner) : TppCacheable(owner) { SetCacheRecordSize(ppGroupRecordSize); }

void TppGroup::BeforeDestruction() {
  LeaveBreakComponent();
  SetDataPipeline(nullptr);
  cacheManager_.reset();
  page_.reset();
  if (headerBand_) headerBand_->Free();
  if (footerBand_) footerBand_->Free();
  if (report_) SetReport(nullptr);
  TppCacheable::BeforeDestruction();
}

TppCustomEngine* TppGroup::Engine() const { return report_ ? report_->Engine() : nullptr; }

// ---- links ----

void TppGroup::SetReport(TppCustomReport* report) {
  if (report == report_) return;
  if (report_) {
    TppCustomReport* old = report_;
    report_ = nullptr;
    old->RemoveGroup(this);
  }
  report_ = report;
  if (report_) {
    report_->AddGroup(this);
    units_ = report_->Units();
  }
  if (headerBand_) headerBand_->SetReport(report_);
  if (footerBand_) footerBand_->SetReport(report_);
  RefreshCaptions();
  breakComponentStale_ = true;
  if (report_) report_->SortBands();
  Changed();
}

void TppGroup::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  if (dataPipeline_) {
    dataPipeline_->RemoveEventNotify(this);
    RemoveNotify(dataPipeline_);
  }
  dataPipeline_ = pipeline;
  if (dataPipeline_) {
    AddNotify(dataPipeline_);
    dataPipeline_->AddEventNotify(this);
    dataPipelineName_ = dataPipeline_->Name();
  }
  Changed();
  RefreshCaptions();
}

void TppGroup::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCacheable::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (communicator == dataPipeline_) {
    dataPipeline_->RemoveEventNotify(this);
    dataPipeline_ = nullptr;
  }
  if (communicator == breakComponent_) {
    breakComponent_ = nullptr;
    breakComponentStale_ = true;
  }
}

TppComponent* TppGroup::FindBreakComponent(const std::string& name) const {
  if (!report_ || name.empty()) return nullptr;
  for (int i = 0; i < report_->BandCount(); ++i) {
    TppBand* band = report_->Bands(i);
    for (int j = 0; j < band->ObjectCount(); ++j)
      if (band->Objects(j)->UserName() == name) return band->Objects(j);
  }
  return nullptr;
}

TppComponent* TppGroup::BreakComponent() {
  if (breakType_ != btCustomField) return nullptr;
  if (breakComponentStale_) {
    if (breakComponent_) RemoveNotify(breakComponent_);
    breakComponent_ = FindBreakComponent(breakName_);
    if (breakComponent_) AddNotify(breakComponent_);
    breakComponentStale_ = false;
  }
  return breakComponent_;
}

void TppGroup::LeaveBreakComponent() {
  if (breakComponent_) {
    breakComponent_->UnregisterResetGroup(this);
    RemoveNotify(breakComponent_);
  }
  breakComponent_ = nullptr;
  breakComponentStale_ = true;
}

int TppGroup::GroupNo() const { return report_ ? report_->IndexOfGroup(this) : -1; }

bool TppGroup::IsKeepTogetherGroup() const {
  TppCustomEngine* e = Engine();
  return e && e->KeepTogetherGroup() == this;
}

void TppGroup::Changed() {
  if (report_) report_->ResetJobState();
}

// ---- setters ----

void TppGroup::SetBreakType(TppBreakType v) {
  if (v == breakType_) return;
  if (report_ && report_->Printing()) return;
  breakType_ = v;
  breakComponentStale_ = true;
  Changed();
  RefreshCaptions();
}

void TppGroup::SetBreakName(const std::string& v) {
  if (v == breakName_) return;
  bool loading = HasState(cls::csLoading) || HasState(cls::csReading);
  if (breakType_ == btCustomField && !loading) {
    TppComponent* old = FindBreakComponent(breakName_);
    if (old) old->UnregisterResetGroup(this);
    LeaveBreakComponent();
    // Only a text component takes the group (and so can be its break).
    TppComponent* next = FindBreakComponent(v);
    if (next && next->RegisterResetGroup(this)) breakName_ = v;
    else breakName_.clear();
  } else {
    breakName_ = v;
  }
  breakComponentStale_ = true;
  Changed();
  RefreshCaptions();
}

void TppGroup::SetHeaderForOrphanedFooter(bool v) {
  headerForOrphanedFooter_ = v;
  Changed();
}

void TppGroup::SetKeepTogether(bool v) {
  keepTogether_ = v;
  if (v) newPage_ = newColumn_ = false;
  Changed();
}

void TppGroup::SetNewPage(bool v) {
  newPage_ = v;
  if (v) keepTogether_ = false;
  Changed();
}

void TppGroup::SetNewColumn(bool v) {
  newColumn_ = v;
  if (v) keepTogether_ = false;
  Changed();
}

float TppGroup::NewPageThreshold() const {
  return ConvertFromMMThousandths(mmNewPageThreshold_, units_, ppVertical);
}

void TppGroup::SetNewPageThreshold(float v) {
  if (HasState(cls::csReading)) oldThreshold_ = v;  // kept raw for the version conversion
  SetmmNewPageThreshold(ConvertToMMThousandths(v, units_, ppVertical));
}

float TppGroup::NewColumnThreshold() const {
  return ConvertFromMMThousandths(mmNewColumnThreshold_, units_, ppVertical);
}

void TppGroup::SetNewColumnThreshold(float v) {
  SetmmNewColumnThreshold(ConvertToMMThousandths(v, units_, ppVertical));
}

void TppGroup::SetmmNewPageThreshold(int32_t v) {
  mmNewPageThreshold_ = v;
  Changed();
}

void TppGroup::SetmmNewColumnThreshold(int32_t v) {
  mmNewColumnThreshold_ = v;
  Changed();
}

void TppGroup::SetResetPageNo(bool v) {
  resetPageNo_ = v;
  Changed();
}

void TppGroup::SetReprintOnSubsequentPage(bool v) {
  reprintOnSubsequentPage_ = v;
  Changed();
}

void TppGroup::SetReprintOnSubsequentColumn(bool v) {
  reprintOnSubsequentColumn_ = v;
  Changed();
}

void TppGroup::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent*) {
  if (headerBand_) proc(headerBand_);
  if (footerBand_) proc(footerBand_);
}

void TppGroup::SetParentComponent(cls::TComponent* parent) {
  if (auto* report = cls::ObjectAs<TppCustomReport>(parent)) SetReport(report);
}

void TppGroup::RefreshBands() {
  if (report_) report_->SortBands();
  RefreshCaptions();
}

void TppGroup::RefreshCaptions() {
  for (TppGroupBand* band : {static_cast<TppGroupBand*>(headerBand_), static_cast<TppGroupBand*>(footerBand_)}) {
    if (!band) continue;
    band->RefreshCaption();
    band->InvalidateDesign();
  }
}

// ---- page numbers within a run ----

int32_t TppGroup::PageNo() const {
  TppCustomEngine* e = Engine();
  return e ? e->AbsolutePageNo() - firstPageNo_ + 1 : 0;
}

int32_t TppGroup::PageCount() const { return lastPageNo_ - firstPageNo_ + 1; }

bool TppGroup::FirstPage() const {
  TppCustomEngine* e = Engine();
  return e && e->AbsolutePageNo() == firstPageNo_;
}

// ---- descriptions ----

std::string TppGroup::BreakText() {
  if (breakType_ == btDataField && dataPipeline_ && !breakName_.empty())
    return dataPipeline_->GetFieldDisplayName(breakName_);
  if (!breakName_.empty()) return breakName_;
  return ppLoadStr(breakType_ == btCustomField ? 300 : 301);
}

std::string TppGroup::Description() {
  std::string text;
  if (breakType_ == btCustomField) {
    if (TppComponent* c = BreakComponent()) c->GetDescription(text);
  } else if (dataPipeline_ && !breakName_.empty()) {
    text = dataPipeline_->GetFieldDisplayName(breakName_);
  }
  if (report_) text = ppLoadStr(331) + " [" + cls::IntToStr(GroupNo()) + "]: " + text;
  return text;
}

// ---- break values ----

std::string TppGroup::CurrentValue() {
  std::string value;
  if (breakType_ == btDataField) {
    // A missing field or a closed pipeline has no value.
    if (dataPipeline_ && dataPipeline_->GetActive() && !breakName_.empty() &&
        dataPipeline_->CheckFieldName(breakName_))
      value = dataPipeline_->GetFieldAsString(breakName_);
  } else if (TppComponent* c = BreakComponent()) {
    c->GetText(value);
  }
  if (OnGetBreakValue) OnGetBreakValue(this, value);
  if (HasEventNotify(ciGroupGetBreakValue)) {
    cls::Owned<TraParamList> params(raGetParams(this, "OnGetBreakValue"));
    if (params) params->SetParamAddress(0, &value);
    SendEventNotify(this, ciGroupGetBreakValue, params.get());
  }
  return value;
}

bool TppGroup::CheckForBreak() {
  priorValue_ = breakValue_;
  breakValue_ = CurrentValue();
  if (priorValue_ != breakValue_) return true;
  return dataPipeline_ && dataPipeline_->NoRecords();
}

void TppGroup::TriggerBreak() {
  breaking_ = true;
  if (headerBand_) headerBand_->SetGeneration(true);
  if (footerBand_) footerBand_->SetGeneration(true);
  SendEventNotify(this, ciGroupBreakReset, nullptr);
}

void TppGroup::Reset() {
  breakNo_ = 0;
  firstPageNo_ = lastPageNo_ = firstColumn_ = 1;
  breakValue_ = priorValue_ = CurrentValue();
  breaking_ = false;
  PrepareKeepTogether();
  SendEventNotify(this, ciGroupBreakReset, nullptr);
}

void TppGroup::ResetBreakValue() { breakValue_ = priorValue_ = CurrentValue(); }

void TppGroup::StartState() {
  firstPageNo_ = lastPageNo_ = firstColumn_ = 1;
  breakValue_.clear();
  priorValue_.clear();
}

void TppGroup::UpdateLastPageNo() {
  TppCustomEngine* e = Engine();
  if (!e) return;
  lastPageNo_ = e->AbsolutePageNo();
  TppCacheManager* pages = ppPageCache(report_);
  if (!pages) return;
  pages->WalkRecordsBack(this, [this](uint8_t* record) {
    if (GetInt(record + 12) != breakNo_) return false;
    PutInt(record, firstPageNo_);
    PutInt(record + 4, lastPageNo_);
    return true;
  });
}

// ---- events ----

void TppGroup::DoBeforeGroupBreak() {
  if (BeforeGroupBreak) BeforeGroupBreak(this);
  SendEventNotify(this, ciGroupBeforeGroupBreak, nullptr);
}

void TppGroup::DoAfterGroupBreak() {
  if (AfterGroupBreak) AfterGroupBreak(this);
  SendEventNotify(this, ciGroupAfterGroupBreak, nullptr);
  if (IsKeepTogetherGroup()) keptTogether_ = false;
  ++breakNo_;
}

void TppGroup::DoBeforeHeader() {
  if (BeforeHeader) BeforeHeader(this);
  SendEventNotify(this, ciGroupBeforeHeader, nullptr);
}

void TppGroup::DoBeforeFooter() {
  if (BeforeFooter) BeforeFooter(this);
  SendEventNotify(this, ciGroupBeforeFooter, nullptr);
}

// ---- keep together ----

void TppGroup::PrepareKeepTogether() {
  if (keepTogether_ && report_) {
    if (!cacheManager_) cacheManager_.reset(new TppCacheManager(report_));
    if (!page_) page_.reset(new TppPage(nullptr));
    busy_ = true;
    cacheManager_->Clear();
    busy_ = false;
  }
  keptTogether_ = false;
}

void TppGroup::StartKeepTogether() {
  TppCustomEngine* e = Engine();
  if (!e || e->KeepTogetherGroup() != this) return;
  if (!e->GetNewPageRequested()) keptTogether_ = true;
  if (!keepTogether_ || keptTogether_) return;
  PrepareKeepTogether();
  if (!cacheManager_) return;
  busy_ = true;
  cacheManager_->Reset();
  cacheManager_->SavePage(0);
  busy_ = false;
  page_->Assign(e->Page());
}

void TppGroup::RollbackKeepTogether() {
  TppCustomEngine* e = Engine();
  if (!e || e->KeepTogetherGroup() != this || !keepTogether_ || keptTogether_ || !cacheManager_) return;
  busy_ = true;
  cacheManager_->RestorePage(0);
  busy_ = false;
  e->RestorePagePosition();
  keptTogether_ = true;
  e->Page()->Assign(page_.get());
}

// ---- cache ----

void TppGroup::ResetCache(int32_t) {
  if (!busy_) keptTogether_ = false;
}

void TppGroup::SaveToCache(int32_t pageIndex) {
  uint8_t record[ppGroupRecordSize] = {};
  PutInt(record, firstPageNo_);
  PutInt(record + 4, lastPageNo_);
  record[8] = breaking_;
  PutInt(record + 12, breakNo_);
  PutInt(record + 16, firstColumn_);
  record[20] = keptTogether_;
  WriteCacheRecord(pageIndex, record);
}

void TppGroup::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[ppGroupRecordSize];
  std::memset(record, 0xFF, sizeof record);
  ReadCacheRecord(pageIndex, record);
  if (record[8] == 0xFF) return;  // no record of that page
  firstPageNo_ = GetInt(record);
  lastPageNo_ = GetInt(record + 4);
  breaking_ = record[8] != 0;
  breakNo_ = GetInt(record + 12);
  firstColumn_ = GetInt(record + 16);
  keptTogether_ = record[20] != 0;
}

// ---- streaming ----

void TppGroup::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  auto integer = [filer](const char* name, int32_t& field) {
    filer->DefineProperty(
        name, [&field](cls::TReader& r) { field = static_cast<int32_t>(std::clamp<int64_t>(r.ReadInteger(), INT32_MIN, INT32_MAX)); },
        [&field](cls::TWriter& w) { w.WriteInteger(field); }, true);
  };
  integer("mmNewColumnThreshold", mmNewColumnThreshold_);
  integer("mmNewPageThreshold", mmNewPageThreshold_);
  ppDefinePipelineName(filer, dataPipeline_, dataPipelineName_);
  // A pipeline named where an object was expected keeps the name.
  filer->DefineProperty("DataPipeline", [this](cls::TReader& r) { dataPipelineName_ = r.ReadIdent(); }, nullptr,
                        false);
  // Older definitions, read only.
  filer->DefineProperty("FieldName", [this](cls::TReader& r) { oldFieldName_ = r.ReadString(); }, nullptr, false);
  filer->DefineProperty(
      "ReprintOnSubsequent",
      [this](cls::TReader& r) {
        oldReprint_ = r.ReadBoolean();
        oldReprintRead_ = true;
      },
      nullptr, false);
  filer->DefineProperty("Left", [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
  filer->DefineProperty("Top", [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
}

void TppGroup::Loaded() {
  inherited::Loaded();
  if (breakType_ == btCustomField && !breakName_.empty())
    if (TppComponent* c = FindBreakComponent(breakName_)) c->RegisterResetGroup(this);
  breakComponentStale_ = true;
}

void TppGroup::ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) {
  if (dataPipeline_ || breakType_ != btDataField) return;
  if (TppDataPipeline* p = ppPipelineNamed(list, dataPipelineName_)) SetDataPipeline(p);
}

void TppGroup::Convert(int64_t version) {
  if (version < 1270 && !oldFieldName_.empty()) breakName_ = oldFieldName_;
  if (version < 2097 && report_) {
    newColumn_ = newPage_;
    if (oldReprintRead_) reprintOnSubsequentPage_ = reprintOnSubsequentColumn_ = oldReprint_;
    int32_t threshold = ConvertToMMThousandths(oldThreshold_, report_->Units(), ppVertical);
    mmNewPageThreshold_ = mmNewColumnThreshold_ = threshold;
  }
}

namespace {

using G = TppGroup;

cls::TPropInfo BoolProp(const char* name, bool (G::*get)() const, void (G::*set)(bool), bool def) {
  cls::TPropInfo p = cls::OrdProperty<G, bool>(name, cls::TypeInfoBoolean(), get, set);
  p.HasDefault = true;
  p.Default = def ? 1 : 0;
  return p;
}

// Shown in Units; the stream carries the thousandths.
cls::TPropInfo UnitProp(const char* name, float (G::*get)() const, void (G::*set)(float)) {
  cls::TPropInfo p = cls::FloatProperty<G, float>(name, get, set);
  p.Stored = [](cls::TObject*) { return false; };
  return p;
}

}  // namespace

void TppGroup::RegisterProperties() {
  cls::TClassInfo& c = StaticClass();
  cls::TPropInfo breakType = cls::OrdProperty<G, TppBreakType>("BreakType", cls::EnumTypeInfo<TppBreakType>(),
                                                              &G::BreakType, &G::SetBreakType);
  breakType.HasDefault = true;
  breakType.Default = btDataField;
  cls::TPropInfo pipeline = ppDataPipelineProperty<G>(&G::DataPipeline, &G::SetDataPipeline);
  cls::TPropInfo tag = cls::OrdProperty<G, int32_t>("Tag", cls::TypeInfoInteger(), &G::Tag, &G::SetTag);
  tag.HasDefault = true;
  tag.Default = 0;
  for (cls::TPropInfo p : {
           cls::MethodProperty<G>("AfterGroupBreak", &G::AfterGroupBreak),
           cls::MethodProperty<G>("BeforeGroupBreak", &G::BeforeGroupBreak),
           cls::StrProperty<G>("BreakName", &G::BreakName, &G::SetBreakName),
           breakType,
           pipeline,
           BoolProp("HeaderForOrphanedFooter", &G::HeaderForOrphanedFooter, &G::SetHeaderForOrphanedFooter, true),
           BoolProp("KeepTogether", &G::KeepTogether, &G::SetKeepTogether, false),
           cls::MethodProperty<G>("OnGetBreakValue", &G::OnGetBreakValue),
           ppOutlineSettingsProperty<G, TppOutlineSettings>("TppOutlineSettings"),
           BoolProp("NewColumn", &G::NewColumn, &G::SetNewColumn, false),
           UnitProp("NewColumnThreshold", &G::NewColumnThreshold, &G::SetNewColumnThreshold),
           BoolProp("NewPage", &G::NewPage, &G::SetNewPage, false),
           UnitProp("NewPageThreshold", &G::NewPageThreshold, &G::SetNewPageThreshold),
           BoolProp("ReprintOnSubsequentColumn", &G::ReprintOnSubsequentColumn, &G::SetReprintOnSubsequentColumn,
                    true),
           BoolProp("ReprintOnSubsequentPage", &G::ReprintOnSubsequentPage, &G::SetReprintOnSubsequentPage, true),
           BoolProp("ResetPageNo", &G::ResetPageNo, &G::SetResetPageNo, false),
           tag,
       })
    cls::PublishProperty(c, std::move(p));
}

void TppGroup::OutlineChildren(std::vector<cls::TObject*>& list) {
  if (!report_) return;
  const int next = GroupNo() + 1;
  if (next > 0 && next < report_->GroupCount()) {
    list.push_back(report_->Groups(next));
    return;
  }
  if (TppBand* detail = report_->GetBand(TppBandType::btDetail, 0))
    for (int i = 0; i < detail->ObjectCount(); ++i)
      if (auto* s = cls::ObjectAs<TppSubReport>(detail->Objects(i))) list.push_back(s);
}

void ppRegisterGroups() {
  cls::RegisterClass(&TppGroup::StaticClass());
  RegisterEnumType("TppBreakType", ppEnumTypeInfo<TppBreakType>());
  TppGroup::RegisterProperties();
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppGroupRTTI)

const TraMembers* TraTppGroupRTTI::Members() const {
  using C = TppGroup;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("AfterGroupBreak", ciGroupAfterGroupBreak), raEvent("BeforeGroupBreak", ciGroupBeforeGroupBreak),
       raEvent("BeforeHeader", ciGroupBeforeHeader), raEvent("BeforeFooter", ciGroupBeforeFooter),
       raEvent("OnGetBreakValue", ciGroupGetBreakValue, {raParam("BreakValue", daString, nullptr, true)}),
       raObjectProperty<C, TppComponent>("BreakComponent", &C::BreakComponent),
       raProperty<C, daBoolean>("Breaking", &C::Breaking),
       raProperty<C, daString>("BreakName", &C::BreakName, &C::SetBreakName),
       raProperty<C, daInteger>("BreakNo", &C::BreakNo),
       raEnumProperty<C, TppBreakType>("BreakType", &C::BreakType, &C::SetBreakType),
       raProperty<C, daString>("BreakValue", &C::BreakValue),
       raProperty<C, daString>("CurrentValue", &C::CurrentValue),
       raObjectProperty<C, TppDataPipeline>("DataPipeline", &C::DataPipeline, &C::SetDataPipeline),
       raProperty<C, daString>("Description", &C::Description),
       raProperty<C, daInteger>("FirstColumn", &C::FirstColumn),
       raProperty<C, daBoolean>("FirstPage", &C::FirstPage),
       raProperty<C, daInteger>("FirstPageNo", &C::FirstPageNo),
       raObjectProperty<C, TppGroupFooterBand>("FooterBand", &C::FooterBand),
       raProperty<C, daInteger>("GroupNo", &C::GroupNo),
       raObjectProperty<C, TppGroupHeaderBand>("HeaderBand", &C::HeaderBand),
       raProperty<C, daBoolean>("HeaderForOrphanedFooter", &C::HeaderForOrphanedFooter,
                                &C::SetHeaderForOrphanedFooter),
       raProperty<C, daInteger>("Index", &C::GroupNo),
       raProperty<C, daBoolean>("KeepTogether", &C::KeepTogether, &C::SetKeepTogether),
       raProperty<C, daBoolean>("KeptTogether", &C::KeptTogether),
       raProperty<C, daInteger>("LastPageNo", &C::LastPageNo),
       raProperty<C, daBoolean>("NewColumn", &C::NewColumn, &C::SetNewColumn),
       raProperty<C, daSingle>("NewColumnThreshold", &C::NewColumnThreshold, &C::SetNewColumnThreshold),
       raProperty<C, daBoolean>("NewPage", &C::NewPage, &C::SetNewPage),
       raProperty<C, daSingle>("NewPageThreshold", &C::NewPageThreshold, &C::SetNewPageThreshold),
       raProperty<C, daInteger>("PageCount", &C::PageCount),
       raProperty<C, daInteger>("PageNo", &C::PageNo),
       raProperty<C, daString>("PriorValue", &C::PriorValue),
       raObjectProperty<C, TppCustomReport>("Report", &C::Report),
       raProperty<C, daBoolean>("ReprintOnSubsequentColumn", &C::ReprintOnSubsequentColumn,
                                &C::SetReprintOnSubsequentColumn),
       raProperty<C, daBoolean>("ReprintOnSubsequentPage", &C::ReprintOnSubsequentPage,
                                &C::SetReprintOnSubsequentPage),
       raProperty<C, daBoolean>("ResetPageNo", &C::ResetPageNo, &C::SetResetPageNo),
       raProperty<C, daInteger>("Tag", &C::Tag, &C::SetTag),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits)});
  return &members;
}
