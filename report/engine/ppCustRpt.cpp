#include "report/engine/ppCustRpt.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <utility>

#include "platform/classes/datamodule.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppCustomReport)

TppCustomReport::TppCustomReport(cls::TComponent* owner) : TppProducer(owner) {
  EventMask().Include(ciPipelineBeforeClose);
  if (TppEngineCreator create = ppGetEngineClass()) {
    engine_.reset(create(this));
    engine_->OnEndPage = cls::TNotifyEvent(this, &TppCustomReport::CheckPageLimit);
    engine_->OnSendPage = cls::TNotifyEvent(this, &TppCustomReport::SendPage);
  }
  PrinterSetup()->SetDocumentName(UserName());
  template_.reset(new TppReportTemplate(this));
  // The template's table pipeline is linked, so its freeing clears it.
  template_->DatabaseSettings()->OnPipelineChanging = [this](TppCommunicator* pipeline) {
    if (TppCommunicator* old = template_->DatabaseSettings()->DataPipeline()) RemoveNotify(old);
    if (pipeline) AddNotify(pipeline);
  };
}

void TppCustomReport::BeforeDestruction() {
  destroying_ = true;
  // Cache managers first: they must not reach bands, groups or the engine
  // while those go.
  while (cacheManagers_.Count() > 0) {
    TppCacheManager* manager = cacheManagers_.Last();
    cacheManagers_.Remove(manager);
    manager->Clear();
    manager->Notify(this, ppopRemove);
    RemoveNotify(manager);
  }
  if (dataPipeline_) {
    dataPipeline_->RemoveEventNotify(this);
    RemoveNotify(dataPipeline_);
    dataPipeline_ = nullptr;
  }
  if (engine_ && engine_->Generating()) engine_->SetCancelled(true);
  ClearBandsAndGroups();
  engine_.reset();
  template_->DatabaseSettings()->SetDataPipeline(nullptr);
  TppProducer::BeforeDestruction();
  template_.reset();
}

void TppCustomReport::FreeContents() {
  for (;;) {
    TppComponent* last = nullptr;
    for (TppBand* b : bands_)
      if (b->ObjectCount() > 0) last = b->Objects(b->ObjectCount() - 1);
    if (!last) break;
    auto* sub = cls::ObjectAs<TppSubReport>(last);
    if (sub && sub->Report()) sub->Report()->FreeContents();
    last->Free();
  }
  ClearBandsAndGroups();
}

void TppCustomReport::ClearBandsAndGroups() {
  // Group bands go with their groups.
  while (groups_.Count() > 0) groups_.Last()->Free();
  while (bands_.Count() > 0) bands_.Last()->Free();
}

// ---- page geometry ----

int32_t TppCustomReport::PrintableWidth() const {
  return const_cast<TppCustomReport*>(this)->PrinterSetup()->PageDef()->GetPrintableWidth();
}
int32_t TppCustomReport::PrintableHeight() const {
  return const_cast<TppCustomReport*>(this)->PrinterSetup()->PageDef()->GetPrintableHeight();
}

// ---- engine values ----

int32_t TppCustomReport::AbsolutePageNo() const { return engine_ ? engine_->AbsolutePageNo() : 0; }
int32_t TppCustomReport::AbsolutePageCount() const { return engine_ ? engine_->AbsolutePageCount() : 0; }
int32_t TppCustomReport::PageNo() const { return engine_ ? engine_->GetPageNo() : 0; }
int32_t TppCustomReport::PageCount() const { return engine_ ? engine_->GetPageCount() : 0; }
int32_t TppCustomReport::CurrentColumn() const { return engine_ ? engine_->CurrentColumn() : 0; }
bool TppCustomReport::FirstPass() const { return engine_ && engine_->Flags().Contains(TppEngineFlag::efFirstPass); }
bool TppCustomReport::SecondPass() const {
  return engine_ && engine_->Flags().Contains(TppEngineFlag::efSecondPass);
}

// ---- settings ----

void TppCustomReport::SetColumns(int value) {
  int oldCount = columns_;
  int32_t oldWidth = mmColumnWidth_;
  columns_ = std::max(value, 1);
  if (LoadingOrReading()) return;
  if (columns_ >= 2) {
    mmColumnWidth_ = PrintableWidth() / columns_;
    // Column bands are made once, only where missing.
    if (!Designing() && oldCount == 1 && bands_.Count() > 0) {
      if (!GetBand(TppBandType::btColumnHeader, 0)) NewBandOfClass(&TppColumnHeaderBand::StaticClass());
      if (!GetBand(TppBandType::btColumnFooter, 0)) NewBandOfClass(&TppColumnFooterBand::StaticClass());
    }
  } else if (ReportDesigner()) {
    mmColumnWidth_ = PrintableWidth();
  }
  (void)oldWidth;
  ApplyPageLayout();
}

TppBand* TppCustomReport::NewBandOfClass(cls::TClass c) {
  cls::TComponent* owner = Owner();
  auto* band = static_cast<TppBand*>(c->Create(owner));
  if (owner) {
    std::string name = GetUniqueName(owner, ClassNameWithoutT(band), band);
    band->SetName(name);
  }
  band->SetReport(this);
  return band;
}

float TppCustomReport::ColumnWidth() const {
  return ConvertFromMMThousandths(mmColumnWidth_, units_, ppHorizontal, const_cast<TppCustomReport*>(this)->GetPrinter());
}

void TppCustomReport::SetColumnWidth(float value) {
  // Read only from older definitions (streams carry mmColumnWidth): kept
  // for the conversion, which knows the units.
  if (HasState(cls::csReading)) {
    oldColumnWidth_ = value;
    return;
  }
  int32_t oldWidth = mmColumnWidth_;
  mmColumnWidth_ = ConvertToMMThousandths(value, units_, ppHorizontal, GetPrinter());
  if (!LoadingOrReading()) {
    int32_t printable = PrintableWidth();
    if (mmColumnWidth_ > printable) mmColumnWidth_ = printable;
    if (mmColumnWidth_ <= 0 && columns_ >= 2) {
      mmColumnWidth_ = 0;
      columns_ = 1;
    } else if (columns_ > 1 && mmColumnWidth_ > 0 && columns_ > printable / mmColumnWidth_) {
      columns_ = printable / mmColumnWidth_;
    }
  }
  (void)oldWidth;
  ApplyPageLayout();
}

void TppCustomReport::GetColumnPositions(cls::TStringList& lines) const {
  lines.Assign(const_cast<cls::TStringList*>(&storedColumnPositions_));
  ListFromMMThousandths(&lines, units_, ppHorizontal, const_cast<TppCustomReport*>(this)->GetPrinter());
}

void TppCustomReport::SetColumnPositions(const cls::TStringList& lines) {
  // Read only from older definitions: numbers in Units, converted by the
  // version conversion.
  if (HasState(cls::csReading)) {
    storedColumnPositions_.Assign(const_cast<cls::TStringList*>(&lines));
    return;
  }
  cls::TStringList converted;
  converted.Assign(const_cast<cls::TStringList*>(&lines));
  // Raises EConvertError on a line that is no number; nothing is stored then.
  ListToMMThousandths(&converted, units_, ppHorizontal, GetPrinter());
  storedColumnPositions_.Assign(&converted);
  ResetJobState();
}

cls::TStringList* TppCustomReport::ColumnPositionsView() const {
  GetColumnPositions(columnPositionsView_);
  return &columnPositionsView_;
}

void TppCustomReport::LinkDataPipeline(TppDataPipeline* pipeline) {
  if (TppDataPipeline* old = dataPipeline_) {
    old->RemoveEventNotify(this);
    RemoveNotify(old);
  }
  dataPipeline_ = pipeline;
  if (dataPipeline_) {
    AddNotify(dataPipeline_);
    dataPipeline_->AddEventNotify(this);
    dataPipelineName_ = dataPipeline_->Name();
  }
}

std::vector<TppDataPipeline*> TppCustomReport::OwnersPipelines() const {
  std::vector<TppDataPipeline*> pipelines;
  auto collect = [&](cls::TComponent* holder) {
    for (int i = 0; i < holder->ComponentCount(); ++i)
      if (auto* p = cls::ObjectAs<TppDataPipeline>(holder->Components(i))) pipelines.push_back(p);
  };
  if (cls::TComponent* owner = Owner()) collect(owner);
  // Then the data modules' pipelines: a name the owner does not answer.
  for (cls::TComponent* module : cls::GlobalComponents())
    if (module != Owner()) collect(module);
  return pipelines;
}

void TppCustomReport::ResolvePipelineNames(const std::vector<TppDataPipeline*>& pipelines) {
  ResolveDataPipelineName(pipelines);
  for (TppBand* b : bands_) {
    if (auto* detail = cls::ObjectAs<TppDetailBand>(b)) detail->ResolveDataPipeline(pipelines);
    for (int i = 0; i < b->ObjectCount(); ++i) b->Objects(i)->ResolveDataPipeline(pipelines);
  }
  for (TppGroup* g : groups_) g->ResolveDataPipeline(pipelines);
}

void TppCustomReport::ResolveDataPipelineName(const std::vector<TppDataPipeline*>& pipelines) {
  if (dataPipeline_) return;
  if (TppDataPipeline* p = ppPipelineNamed(pipelines, dataPipelineName_)) LinkDataPipeline(p);
}

void TppCustomReport::SetDataPipeline(TppDataPipeline* pipeline) {
  if (pipeline == dataPipeline_) return;
  TppDataPipeline* old = dataPipeline_;
  LinkDataPipeline(pipeline);
  if (!pipeline) dataPipelineName_.clear();
  if (!LoadingOrReading() && StateFlags() < pstReadingTemplate) {
    for (TppBand* b : bands_) {
      auto* detail = cls::ObjectAs<TppDetailBand>(b);
      if (detail && detail->DataPipeline()) continue;
      b->RebindDataPipeline(old, dataPipeline_);
    }
    autoStop_ = dataPipeline_ == nullptr;
    ResetJobState();
  }
}

void TppCustomReport::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppProducer::EventNotify(sender, eventId, params);
  if (eventId != ciPipelineBeforeClose || !sender || sender != dataPipeline_) return;
  TppCustomReport* main = MainReport();
  if (!(main ? main : this)->Printing()) ResetCaches();
}

void TppCustomReport::SetNoDataBehaviors(TppNoDataBehaviors value) {
  if (noDataBehaviors_.Contains(ndBlankPage) && value.Contains(ndBlankReport)) value.Exclude(ndBlankPage);
  if (noDataBehaviors_.Contains(ndBlankReport) && value.Contains(ndBlankPage)) value.Exclude(ndBlankReport);
  noDataBehaviors_ = value;
  if (!noDataBehaviors_.Contains(ndBlankPage) && !noDataBehaviors_.Contains(ndBlankReport))
    noDataBehaviors_.Include(ndBlankPage);
  if (noDataBehaviors_.Contains(ndBlankPage) && noDataBehaviors_.Contains(ndMessageOnPage))
    noDataBehaviors_.Exclude(ndMessageOnPage);
  ResetJobState();
}

void TppCustomReport::SetPageLimit(int v) {
  pageLimit_ = v;
  ResetJobState();
}

void TppCustomReport::SetPassSetting(TppPassSettingType v) {
  passSetting_ = v;
  SetModified(true);
  ResetJobState();
}

void TppCustomReport::SetUnits(TppUnitType value) {
  units_ = value;
  PrinterSetup()->SetUnits(value);
  for (TppGroup* g : groups_) g->SetUnits(value);
  for (TppBand* b : bands_) b->SetUnits(value);
}

void TppCustomReport::SetModified(bool value) { modified_ = value; }

void TppCustomReport::ApplyPageLayout() { ResetJobState(); }

// ---- bands and groups ----

TppBand* TppCustomReport::GetBand(TppBandType bandType, int groupIndex) const {
  if (bandType == TppBandType::btGroupHeader || bandType == TppBandType::btGroupFooter) {
    if (groupIndex < 0 || groupIndex >= groups_.Count()) return nullptr;
    TppGroup* g = groups_[groupIndex];
    if (bandType == TppBandType::btGroupHeader) return g->HeaderBand();
    return g->FooterBand();
  }
  cls::TClass c = ppBandClassOfType(bandType);
  for (TppBand* b : bands_)
    if (b->ClassType() == c && b->InheritsFrom(&TppBasicBand::StaticClass())) return b;
  return nullptr;
}

void TppCustomReport::AddBand(TppBand* band) {
  if (!band || bands_.Contains(band)) return;
  bands_.Add(band);
  if (Owner() && band->Owner() != Owner()) band->ChangeOwner(Owner());
  SortBands();
  ResetJobState();
}

void TppCustomReport::RemoveBand(TppBand* band) {
  if (bands_.Remove(band) < 0) return;
  SortBands();
  if (!destroying_) ResetJobState();
}

void TppCustomReport::AddGroup(TppGroup* group) {
  if (!group || groups_.Contains(group)) return;
  groups_.Add(group);
  if (Owner() && group->Owner() != Owner()) group->ChangeOwner(Owner());
  ResetJobState();
}

void TppCustomReport::RemoveGroup(TppGroup* group) {
  if (groups_.Remove(group) < 0) return;
  if (destroying_) return;
  for (TppGroup* g : groups_) g->RefreshBands();
  SortBands();
  ResetJobState();
}

void TppCustomReport::SortBands() {
  std::vector<std::pair<std::string, TppBand*>> keyed;
  for (TppBand* b : bands_) keyed.emplace_back(b->GetSortKey(), b);
  std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  bands_.Clear();
  for (auto& k : keyed) bands_.Add(k.second);
}

void TppCustomReport::CreateDefaultBands() {
  if (bands_.Count() > 0) return;
  if (columns_ > 1) {
    defaultBandTypes_.Include(TppBandType::btColumnHeader);
    defaultBandTypes_.Include(TppBandType::btColumnFooter);
  } else {
    defaultBandTypes_.Exclude(TppBandType::btColumnHeader);
    defaultBandTypes_.Exclude(TppBandType::btColumnFooter);
  }
  for (int t = 0; t < ppBandTypeCount; ++t) {
    auto type = static_cast<TppBandType>(t);
    if (type == TppBandType::btGroupHeader || type == TppBandType::btGroupFooter) continue;
    if (defaultBandTypes_.Contains(type) && !GetBand(type, 0)) NewBandOfClass(ppBandClassOfType(type));
  }
  SetModified(true);
}

// ---- generation ----

void TppCustomReport::Stop() {
  if (engine_) engine_->Stop();
}

void TppCustomReport::PageLimitReached() {
  if (engine_) engine_->PageLimitReached();
}

void TppCustomReport::CheckPageLimit(cls::TObject*) {
  DoOnEndPage();
  if (pageLimit_ >= 1 && AbsolutePageNo() >= pageLimit_) PageLimitReached();
}

void TppCustomReport::FailGeneration(const std::string& cause) {
  CancelJob(std::make_exception_ptr(EPrintError(cause)));
  // Only an engine error flag keeps CancelJob from raising.
  throw EPrintError(cause);
}

void TppCustomReport::CancelJob(const std::exception_ptr& failure) {
  TppProducer::CancelJob(failure);
  if (engine_ && engine_->Generating()) engine_->SetCancelled(true);
  if (engine_ && engine_->ErrorFlag()) return;
  std::string message;
  try {
    if (failure) std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    message = e.what();
  } catch (...) {
  }
  throw EPrintError(ppLoadStr(1023) + "\r\n\r\n" + message);
}

void TppCustomReport::StartJob() {
  // Pipelines named by a template that were not there when it loaded.
  ResolvePipelineNames(OwnersPipelines());
  if (engine_) engine_->ResetState();
  TppProducer::StartJob();
}

void TppCustomReport::ResetJobState() {
  TppProducer::ResetJobState();
  if (Printing() || destroying_) return;
  if (engine_) engine_->ResetState();
  Publisher()->Reset();
}

void TppCustomReport::ResetCaches() {
  TppCustomReport* main = MainReport();
  if (main && main != this) main->ResetCaches();
  for (TppCacheManager* m : cacheManagers_) m->Clear();
}

void TppCustomReport::NotifyBandsBeforeGeneration() {
  for (TppBand* b : bands_) b->NotifyObjectsBeforeGeneration();
}

void TppCustomReport::IncludeFlags(TppEngineFlags flags) {
  if (engine_) engine_->IncludeFlags(flags);
}

void TppCustomReport::ExcludeFlags(TppEngineFlags flags) {
  if (engine_) engine_->ExcludeFlags(flags);
}

void TppCustomReport::PrepareBandsAndGroups() {
  for (TppBand* b : bands_) b->PrepareObjects();
}

void TppCustomReport::FinishBandsAndGroups() {
  for (TppBand* b : bands_) b->FinishObjects();
}

// ---- events ----

namespace {
void Fire(TppCustomReport* report, const cls::TNotifyEvent& handler, int eventId) {
  if (handler) handler(report);
  report->SendEventNotify(report, eventId, nullptr);
}
}  // namespace

void TppCustomReport::DoOnEndColumn() { Fire(this, OnEndColumn, ciReportEndColumn); }
void TppCustomReport::DoOnEndFirstPass() { Fire(this, OnEndFirstPass, ciReportEndFirstPass); }
void TppCustomReport::DoOnEndPage() { Fire(this, OnEndPage, ciReportEndPage); }
void TppCustomReport::DoOnEndSecondPass() { Fire(this, OnEndSecondPass, ciReportEndSecondPass); }
void TppCustomReport::DoOnStartColumn() { Fire(this, OnStartColumn, ciReportStartColumn); }
void TppCustomReport::DoOnStartFirstPass() { Fire(this, OnStartFirstPass, ciReportStartFirstPass); }
void TppCustomReport::DoOnStartPage() { Fire(this, OnStartPage, ciReportStartPage); }
void TppCustomReport::DoOnStartSecondPass() { Fire(this, OnStartSecondPass, ciReportStartSecondPass); }

void TppCustomReport::DoOnNoData(cls::TObject* dialog, bool& showDialog, cls::TObject* drawCommand,
                                 bool& addDrawCommand) {
  if (OnNoData) OnNoData(this, dialog, showDialog, drawCommand, addDrawCommand);
  if (!HasEventNotify(ciReportNoData)) return;
  cls::Owned<TraParamList> params(raGetParams(this, "OnNoData"));
  bool show = showDialog, add = addDrawCommand;
  if (params) {
    params->SetParamAddress("aDialog", &dialog);
    params->SetParamAddress("aShowDialog", &show);
    params->SetParamAddress("aDrawCommand", &drawCommand);
    params->SetParamAddress("aAddDrawCommand", &add);
  }
  SendEventNotify(this, ciReportNoData, params.get());
  if (!params) return;
  params->GetParam("aShowDialog", showDialog);
  params->GetParam("aAddDrawCommand", addDrawCommand);
}

void TppCustomReport::NotifyGenerationStart() { SendEventNotify(this, ciReportGenerationStart, nullptr); }

// ---- caches ----

void TppCustomReport::AddCacheManager(TppCacheManager* manager) {
  if (manager && !cacheManagers_.Contains(manager)) cacheManagers_.Add(manager);
}

void TppCustomReport::RemoveCacheManager(TppCacheManager* manager) { cacheManagers_.Remove(manager); }

IppCacheEngine* TppCustomReport::CacheEngine() { return engine_.get(); }

// Child reports are generated page by page inside their subreports: their
// state goes into the same page records.
void TppCustomReport::ForEachCacheObject(const std::function<void(cls::TObject*)>& proc) { IterateObjects(proc); }

// ---- subreports ----

void TppCustomReport::IterateObjects(const std::function<void(cls::TObject*)>& callback) {
  if (engine_) callback(engine_.get());
  for (TppGroup* g : groups_) callback(g);
  std::vector<TppChildReport*> children;
  for (TppBand* b : bands_) {
    callback(b);
    for (int i = 0; i < b->ObjectCount(); ++i) {
      TppComponent* c = b->Objects(i);
      callback(c);
      if (auto* s = cls::ObjectAs<TppSubReport>(c); s && s->Report()) children.push_back(s->Report());
    }
  }
  for (TppChildReport* child : children) child->IterateObjects(callback);
}

void TppCustomReport::GetSubReports(TppSubReportList& list) {
  for (TppBand* b : bands_)
    for (int i = 0; i < b->ObjectCount(); ++i)
      if (auto* s = cls::ObjectAs<TppSubReport>(b->Objects(i)); s && s->Report())
        list.emplace_back(s->UserName(), s->Report());
}

void TppCustomReport::GetAllSubReports(TppSubReportList& list) {
  TppSubReportList own;
  GetSubReports(own);
  for (auto& entry : own) {
    list.push_back(entry);
    entry.second->GetAllSubReports(list);
  }
}

void TppCustomReport::GetOutlineChildren(std::vector<cls::TObject*>& list) {
  auto subReportsOf = [&](TppBand* b) {
    for (int i = 0; i < b->ObjectCount(); ++i)
      if (auto* s = cls::ObjectAs<TppSubReport>(b->Objects(i))) list.push_back(s);
  };
  TppBand* detail = GetBand(TppBandType::btDetail, 0);
  int at = detail ? bands_.IndexOf(detail) : bands_.Count();
  for (int i = 0; i < at; ++i)
    if (bands_[i]->BandType() != TppBandType::btGroupHeader) subReportsOf(bands_[i]);
  if (groups_.Count() > 0) list.push_back(groups_[0]);
  else if (detail) subReportsOf(detail);
  for (int i = at + 1; i < bands_.Count(); ++i)
    if (bands_[i]->BandType() != TppBandType::btGroupFooter) subReportsOf(bands_[i]);
}

void TppCustomReport::RenameDataField(TppDataPipeline* pipeline, const std::string& oldName,
                                      const std::string& newName) {
  for (TppBand* b : bands_)
    for (int i = 0; i < b->ObjectCount(); ++i) b->Objects(i)->UpdateDataFieldName(pipeline, oldName, newName);
}

void TppCustomReport::ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name) {
  if (dataPipeline_ && dataPipeline_->UserName() == name) SetDataPipeline(pipeline);
  for (TppBand* b : bands_) b->ReplaceDataPipeline(pipeline, name);
}

void TppCustomReport::NotifyBeforePrint() {
  TppProducer::NotifyBeforePrint();
  TppSubReportList children;
  GetSubReports(children);
  for (auto& entry : children) entry.second->NotifyBeforePrint();
}

void TppCustomReport::NotifyAfterPrint() {
  TppSubReportList children;
  GetSubReports(children);
  for (auto& entry : children) entry.second->NotifyAfterPrint();
  TppProducer::NotifyAfterPrint();
}

void TppCustomReport::PrinterSetupChanged() {
  TppProducer::PrinterSetupChanged();
  PrinterSetup()->SetUnits(units_);
  for (TppBand* b : bands_)
    for (int i = 0; i < b->ObjectCount(); ++i) {
      auto* s = cls::ObjectAs<TppSubReport>(b->Objects(i));
      if (s && s->ParentPrinterSetup() && s->Report() && !s->Report()->PrinterSetup()->IsEqual(PrinterSetup()))
        s->Report()->SetPrinterSetup(PrinterSetup());
    }
}

void TppCustomReport::PageDefChanged() {
  TppProducer::PageDefChanged();
  ApplyPageLayout();
}

TppCommunicator* TppCustomReport::FindUserName(const std::string& name) {
  if (SameTextNoCase(UserName(), name)) return this;
  for (TppBand* b : bands_) {
    if (SameTextNoCase(b->UserName(), name)) return b;
    for (int i = 0; i < b->ObjectCount(); ++i)
      if (SameTextNoCase(b->Objects(i)->UserName(), name)) return b->Objects(i);
  }
  for (TppGroup* g : groups_)
    if (SameTextNoCase(g->UserName(), name)) return g;
  TppCommunicator* found = TppProducer::FindUserName(name);
  if (cls::ObjectIs<TppBand>(found) || cls::ObjectIs<TppComponent>(found) || cls::ObjectIs<TppGroup>(found))
    return nullptr;
  return found;
}

namespace {
// The numbers after BASE that objects of class C use in REPORT's bands.
void CollectUsedNumbers(TppCustomReport* report, cls::TClass c, const std::string& base, cls::TComponent* self,
                        std::vector<std::string>& used) {
  for (int b = 0; b < report->BandCount(); ++b) {
    TppBand* band = report->Bands(b);
    for (int i = 0; i < band->ObjectCount(); ++i) {
      TppComponent* o = band->Objects(i);
      int64_t n = 0;
      if (o != self && o->ClassType() == c && ppNumberAfterBase(base, o->UserName(), n))
        used.push_back(cls::Format("%8d", {n}));
    }
  }
}
}  // namespace

void TppCustomReport::MakeUniqueUserName(cls::TComponent* component, std::string& name) {
  if (!component || cls::ObjectIs<TppBand>(component)) {
    TppProducer::MakeUniqueUserName(component, name);
    return;
  }
  const std::string& cn = component->ClassName();
  std::string base = cn.size() > 3 ? cn.substr(3) : cn;
  std::vector<std::string> used;
  if (cls::ObjectIs<TppSubReport>(component)) {
    TppCustomReport* main = MainReport();
    CollectUsedNumbers(main, component->ClassType(), base, component, used);
    TppSubReportList children;
    main->GetAllSubReports(children);
    for (auto& entry : children) CollectUsedNumbers(entry.second, component->ClassType(), base, component, used);
  } else {
    CollectUsedNumbers(this, component->ClassType(), base, component, used);
  }
  for (int64_t n = 1;; ++n)
    if (std::find(used.begin(), used.end(), cls::Format("%8d", {n})) == used.end()) {
      name = base + cls::IntToStr(n);
      return;
    }
}

void TppCustomReport::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppProducer::Notify(communicator, operation);
  if (operation == ppopDataChange && communicator && communicator == dataPipeline_) ResetJobState();
  if (operation != ppopRemove || !communicator) return;
  if (communicator == dataPipeline_) {
    ResetCaches();
    dataPipeline_ = nullptr;
    dataPipelineName_.clear();
    autoStop_ = true;
    ResetJobState();
  }
  if (auto* m = cls::ObjectAs<TppCacheManager>(communicator)) cacheManagers_.Remove(m);
  if (template_ && communicator == template_->DatabaseSettings()->DataPipeline())
    template_->DatabaseSettings()->SetDataPipeline(nullptr);
}

// ---- scripting ----

namespace {

template <class B>
int32_t CountBands(const TppCustomReport* r) {
  int32_t n = 0;
  for (int i = 0; i < r->BandCount(); ++i) n += cls::ObjectIs<B>(r->Bands(i));
  return n;
}

std::string ColumnPositionsText(const TppCustomReport* r) {
  cls::TStringList lines;
  r->GetColumnPositions(lines);
  return lines.Text();
}

void SetColumnPositionsText(TppCustomReport* r, const std::string& text) {
  cls::TStringList lines;
  lines.SetText(text);
  r->SetColumnPositions(lines);
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppCustomReportRTTI)

const TraMembers* TraTppCustomReportRTTI::Members() const {
  using C = TppCustomReport;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnEndColumn", ciReportEndColumn), raEvent("OnEndFirstPass", ciReportEndFirstPass),
       raEvent("OnEndPage", ciReportEndPage), raEvent("OnEndSecondPass", ciReportEndSecondPass),
       raEvent("OnNoData", ciReportNoData,
               {raParam("aDialog", daObject), raParam("aShowDialog", daBoolean, nullptr, true),
                raParam("aDrawCommand", daObject), raParam("aAddDrawCommand", daBoolean, nullptr, true)}),
       raEvent("OnStartColumn", ciReportStartColumn), raEvent("OnStartFirstPass", ciReportStartFirstPass),
       raEvent("OnStartPage", ciReportStartPage), raEvent("OnStartSecondPass", ciReportStartSecondPass),
       raProperty<C, daInteger>("AbsolutePage", &C::AbsolutePageNo),
       raProperty<C, daInteger>("AbsolutePageNo", &C::AbsolutePageNo),
       raProperty<C, daInteger>("AbsolutePageCount", &C::AbsolutePageCount),
       raProperty<C, daInteger>("BandCount", &C::BandCount),
       raIndexed(
           "Bands", daObject, &TppBand::StaticClass(), [](cls::TObject* o) { return static_cast<C*>(o)->BandCount(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->Bands(i))); }),
       raProperty<C, daInteger>("CurrentColumn", &C::CurrentColumn),
       raProperty<C, daBoolean>("DonePrinting", [](C* r) { return r->Engine() && r->Engine()->Done(); }),
       raObjectProperty<C, TppCustomEngine>("Engine", &C::Engine),
       raProperty<C, daBoolean>("FirstPass", &C::FirstPass),
       raMethod("GetBand",
                {raEnumParam("BandType", "TppBandType"), raParam("GroupIndex", daInteger),
                 raParam("Result", daObject, &TppBand::StaticClass())},
                [](cls::TObject* o, TraParamList* params, bool) {
                  TraEnumValue type;
                  int32_t group = 0;
                  if (!params || !params->GetParam("BandType", type) || type.Ordinal < 0 ||
                      type.Ordinal >= ppBandTypeCount)
                    return false;
                  params->GetParam("GroupIndex", group);
                  TppBand* band = static_cast<C*>(o)->GetBand(static_cast<TppBandType>(type.Ordinal), group);
                  return params->SetParamValue("Result", static_cast<cls::TObject*>(band));
                }),
       raProperty<C, daInteger>("GroupCount", &C::GroupCount),
       raIndexed(
           "Groups", daObject, &TppGroup::StaticClass(),
           [](cls::TObject* o) { return static_cast<C*>(o)->GroupCount(); },
           [](cls::TObject* o, int i) { return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->Groups(i))); }),
       raObjectProperty<C, TppCustomReport>("MainReport", &C::MainReport),
       raProperty<C, daInteger>("mmColumnWidth", &C::mmColumnWidth),
       raProperty<C, daBoolean>("Modified", &C::Modified),
       raObjectProperty<C, TppPage>("Page", [](C* r) { return r->Engine() ? r->Engine()->Page() : nullptr; }),
       raProperty<C, daInteger>("PageNo", &C::PageNo),
       raProperty<C, daInteger>("PageBandCount", [](C* r) { return CountBands<TppPageBand>(r); }),
       raProperty<C, daInteger>("PageCount", &C::PageCount),
       raMethod("PageLimitReached", {},
                [](cls::TObject* o, TraParamList*, bool) {
                  static_cast<C*>(o)->PageLimitReached();
                  return true;
                }),
       raObjectProperty<C, TppCustomReport>("ParentReport",
                                            [](C* r) -> TppCustomReport* {
                                              auto* child = cls::ObjectAs<TppChildReport>(r);
                                              return child ? child->ParentReport() : nullptr;
                                            }),
       raObjectProperty<C, cls::TObject>("ReportDesigner", &C::ReportDesigner),
       raProperty<C, daDateTime>("PrintDateTime",
                                 [](C* r) { return r->Engine() ? r->Engine()->PrintDateTime() : 0.0; }),
       raProperty<C, daBoolean>("PrintingAsSubReport",
                                [](C* r) {
                                  TppCustomReport* main = r->MainReport();
                                  return main && main != r && main->Printing();
                                }),
       raProperty<C, daInteger>("ReportBandCount", [](C* r) { return CountBands<TppReportBand>(r); }),
       raProperty<C, daBoolean>("SecondPass", &C::SecondPass),
       raProperty<C, daInteger>("spColumnWidth",
                                [](C* r) {
                                  return ConvertToScreenPixels(static_cast<float>(r->mmColumnWidth()),
                                                               utMMThousandths, ppHorizontal);
                                }),
       raMethod("Stop", {},
                [](cls::TObject* o, TraParamList*, bool) {
                  static_cast<C*>(o)->Stop();
                  return true;
                }),
       raProperty<C, daBoolean>("AutoStop", &C::AutoStop, &C::SetAutoStop),
       raProperty<C, daInteger>("Columns", &C::Columns, &C::SetColumns),
       raProperty<C, daString>("ColumnPositions", &ColumnPositionsText, &SetColumnPositionsText),
       raProperty<C, daSingle>("ColumnWidth", &C::ColumnWidth, &C::SetColumnWidth),
       raObjectProperty<C, TppDataPipeline>("DataPipeline", &C::DataPipeline, &C::SetDataPipeline),
       raProperty<C, daInteger>("PageLimit", &C::PageLimit, &C::SetPageLimit),
       raEnumProperty<C, TppPassSettingType>("PassSetting", &C::PassSetting, &C::SetPassSetting),
       raProperty<C, daBoolean>("SaveAsTemplate", &C::SaveAsTemplate, &C::SetSaveAsTemplate),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits)});
  return &members;
}

// ---- streams ----

void TppCustomReport::Transfer(TppCommunicator* other) {
  TppProducer::Transfer(other);
  auto* s = cls::ObjectAs<TppCustomReport>(other);
  if (!s || s == this) return;
  columns_ = s->columns_;
  storedColumnPositions_.Assign(&s->storedColumnPositions_);
  mmColumnWidth_ = s->mmColumnWidth_;
  SetDataPipeline(s->dataPipeline_);
  dataPipelineName_ = s->dataPipelineName_;
  autoStop_ = s->autoStop_;
  noDataBehaviors_ = s->noDataBehaviors_;
  pageLimit_ = s->pageLimit_;
  passSetting_ = s->passSetting_;
  saveAsTemplate_ = s->saveAsTemplate_;
  OnEndColumn = s->OnEndColumn;
  OnEndFirstPass = s->OnEndFirstPass;
  OnEndPage = s->OnEndPage;
  OnEndSecondPass = s->OnEndSecondPass;
  OnNoData = s->OnNoData;
  OnPrintingComplete = s->OnPrintingComplete;
  OnStartColumn = s->OnStartColumn;
  OnStartFirstPass = s->OnStartFirstPass;
  OnStartPage = s->OnStartPage;
  OnStartSecondPass = s->OnStartSecondPass;
  FreeContents();
  std::vector<TppGroup*> groups(s->groups_.begin(), s->groups_.end());
  for (TppGroup* g : groups) g->SetReport(this);
  std::vector<TppBand*> bands(s->bands_.begin(), s->bands_.end());
  for (TppBand* b : bands)
    if (!cls::ObjectIs<TppGroupBand>(b)) b->SetReport(this);
  // Subreports that came with the bands report to this report now.
  for (TppBand* b : bands_)
    for (int i = 0; i < b->ObjectCount(); ++i)
      if (auto* sub = cls::ObjectAs<TppSubReport>(b->Objects(i)); sub && sub->Report())
        sub->Report()->SetParentReport(this);
  SetUnits(s->units_);
  ResetJobState();
}

void TppCustomReport::Loaded() {
  // At least a whole millimetre a column.
  if (columns_ > std::max(1, PrintableWidth() / 1000))
    throw cls::EReadError("Invalid property value: Columns = " + std::to_string(columns_));
  // And no more bands a record than millimetre strips in a page's columns.
  const int64_t strips = std::max<int64_t>(1, int64_t{PrintableHeight() / 1000} * columns_);
  for (TppBand* b : bands_)
    if (auto* detail = cls::ObjectAs<TppDetailBand>(b); detail && detail->BandsPerRecord() > strips)
      throw cls::EReadError("Invalid property value: BandsPerRecord = " + std::to_string(detail->BandsPerRecord()));
  // Pipelines named by the stream are the owner's.
  ResolvePipelineNames(OwnersPipelines());
  TppProducer::Loaded();
  if (!saveAsTemplate_ || StateFlags() >= pstReadingTemplate) return;
  TppCustomReport* main = MainReport();
  if (main && main != this) main->ChildTemplateLoaded(this);
  if (main == this && HasState(cls::csDesigning)) return;
  template_->Load();
}

void TppCustomReport::DefineProperties(cls::TFiler* filer) {
  TppProducer::DefineProperties(filer);
  filer->DefineProperty(
      "mmColumnWidth",
      [this](cls::TReader& r) {
        int64_t v = r.ReadInteger();
        if (v < INT32_MIN || v > INT32_MAX) throw cls::EReadError("Invalid property value");
        mmColumnWidth_ = static_cast<int32_t>(v);
      },
      [this](cls::TWriter& w) { w.WriteInteger(mmColumnWidth_); }, mmColumnWidth_ != 0);
  // The stored positions, whole thousandths of a millimetre, one a line.
  filer->DefineProperty(
      "mmColumnPositions",
      [this](cls::TReader& r) {
        cls::TStringList lines;
        lines.SetText(r.ReadString());
        for (int i = 0; i < lines.Count(); ++i) {
          int64_t v = 0;
          if (!cls::TryStrToInt(cls::Trim(lines.Strings(i)), v) || v < INT32_MIN || v > INT32_MAX)
            throw cls::EReadError("Invalid property value");
          lines.Put(i, std::to_string(v));
        }
        storedColumnPositions_.Assign(&lines);
      },
      [this](cls::TWriter& w) { w.WriteString(storedColumnPositions_.Text()); }, storedColumnPositions_.Count() > 0);
  filer->DefineProperty(
      "DataPipelineName", [this](cls::TReader& r) { dataPipelineName_ = r.ReadString(); },
      [this](cls::TWriter& w) { w.WriteString(dataPipeline_ ? dataPipeline_->Name() : dataPipelineName_); },
      dataPipeline_ || !dataPipelineName_.empty());
  filer->DefineProperty(
      "DataPipeline",
      [this](cls::TReader& r) {
        std::string name = r.ReadIdent();
        dataPipelineName_ = cls::SameText(name, "nil") ? std::string() : name;
      },
      nullptr, false);
  // Older definitions'.
  if (!cls::GetPropInfo(ClassType(), "UserName"))
    filer->DefineProperty("UserName", [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
  filer->DefineProperty(
      "RulerUnits",
      [this](cls::TReader& r) {
        std::string ident = r.ReadIdent();
        if (ident == "utPixels") units_ = utScreenPixels;
        else if (ident == "utInches") units_ = utInches;
        else if (ident == "utMillimeters") units_ = utMillimeters;
      },
      nullptr, false);
  filer->DefineProperty(
      "RowSpacing",
      [this](cls::TReader& r) {
        double v = r.ReadFloat();
        if (!std::isfinite(v) || std::fabs(v) > 1e6) throw cls::EReadError("Invalid property value: RowSpacing");
        oldRowSpacing_ = static_cast<float>(v);
      },
      nullptr, false);
}

void TppCustomReport::Convert(int64_t versionNo) {
  TppProducer::Convert(versionNo);
  if (versionNo < 4100) autoStop_ = false;
  if (versionNo < 3000) {
    PrinterSetup()->SetUnits(units_);
    // Column positions and width were numbers in Units.
    cls::TObject* printer = GetPrinter();
    for (int i = 0; i < storedColumnPositions_.Count(); ++i) {
      double v = 0;
      if (!cls::TryStrToFloat(cls::Trim(storedColumnPositions_.Strings(i)), v)) v = 0;
      storedColumnPositions_.Put(
          i, std::to_string(ConvertToMMThousandths(static_cast<float>(v), units_, ppHorizontal, printer)));
    }
    if (oldColumnWidth_ != 0) mmColumnWidth_ = ConvertToMMThousandths(oldColumnWidth_, units_, ppHorizontal, printer);
    const int32_t printable = PrintableWidth();
    if (storedColumnPositions_.Count() == 0 && columns_ >= 2 &&
        printable < static_cast<int64_t>(mmColumnWidth_) * columns_)
      mmColumnWidth_ = printable / columns_;
    passSetting_ = TppPassSettingType::psTwoPass;
  }
  for (TppBand* b : bands_) b->Convert(versionNo);
  for (TppGroup* g : groups_) g->Convert(versionNo);
  modified_ = true;
}

void TppCustomReport::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent* root) {
  std::vector<TppBand*> bands(bands_.begin(), bands_.end());
  for (TppBand* b : bands)
    if (!cls::ObjectIs<TppGroupBand>(b)) proc(b);
  std::vector<TppGroup*> groups(groups_.begin(), groups_.end());
  for (TppGroup* g : groups) proc(g);
  TppProducer::GetChildren(proc, root);
}

void TppCustomReport::RegisterProperties() {
  using C = TppCustomReport;
  auto& c = StaticClass();
  auto boolean = [&](const char* name, bool (C::*get)() const, void (C::*set)(bool), bool def) {
    cls::TPropInfo p = cls::OrdProperty<C, bool>(name, cls::TypeInfoBoolean(), get, set);
    p.HasDefault = true;
    p.Default = def;
    cls::PublishProperty(c, p);
  };
  boolean("AutoStop", &C::AutoStop, &C::SetAutoStop, true);
  cls::TPropInfo columns = cls::OrdProperty<C, int>("Columns", cls::TypeInfoInteger(), &C::Columns, &C::SetColumns);
  columns.HasDefault = true;
  columns.Default = 1;
  cls::PublishProperty(c, columns);
  cls::TPropInfo positions;
  positions.Name = "ColumnPositions";
  positions.Type = cls::MakeClassTypeInfo("TStringList", &cls::TStringList::StaticClass());
  positions.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->ColumnPositionsView(); };
  positions.SetObj = [](cls::TObject* o, cls::TObject* v) {
    if (auto* lines = cls::ObjectAs<cls::TStringList>(v)) static_cast<C*>(o)->SetColumnPositions(*lines);
  };
  positions.Stored = [](cls::TObject*) { return false; };  // streamed as mmColumnPositions
  cls::PublishProperty(c, positions);
  cls::PublishProperty(c, cls::FloatProperty<C>("ColumnWidth", &C::ColumnWidth, &C::SetColumnWidth)).Stored =
      [](cls::TObject*) { return false; };  // streamed as mmColumnWidth
  cls::PublishProperty(c, ppDataPipelineProperty<C>(&C::DataPipeline, &C::SetDataPipeline));
  static const cls::TTypeInfo* behaviors =
      cls::MakeSetTypeInfo("TppNoDataBehaviors", cls::EnumTypeInfo<TppNoDataBehaviorType>());
  cls::TPropInfo noData;
  noData.Name = "NoDataBehaviors";
  noData.Type = behaviors;
  noData.GetOrd = [](cls::TObject* o) { return static_cast<int64_t>(static_cast<C*>(o)->NoDataBehaviors().Bits()); };
  noData.SetOrd = [](cls::TObject* o, int64_t v) {
    static_cast<C*>(o)->SetNoDataBehaviors(TppNoDataBehaviors::FromBits(static_cast<uint64_t>(v)));
  };
  noData.HasDefault = true;
  noData.Default = static_cast<int64_t>(TppNoDataBehaviors{ndBlankPage}.Bits());
  cls::PublishProperty(c, noData);
  using Events = std::initializer_list<std::pair<const char*, cls::TNotifyEvent C::*>>;
  auto notices = [&](Events events) {
    for (auto [name, field] : events) cls::PublishProperty(c, cls::MethodProperty<C>(name, field));
  };
  notices({{"OnEndColumn", &C::OnEndColumn}, {"OnEndFirstPass", &C::OnEndFirstPass}, {"OnEndPage", &C::OnEndPage},
           {"OnEndSecondPass", &C::OnEndSecondPass}});
  cls::PublishProperty(c, cls::MethodProperty<C>("OnNoData", &C::OnNoData));
  notices({{"OnPrintingComplete", &C::OnPrintingComplete}});
  cls::PublishProperty(c, cls::MethodProperty<TppProducer>("OnSaveText", &TppProducer::OnSaveText));
  notices({{"OnStartColumn", &C::OnStartColumn}, {"OnStartFirstPass", &C::OnStartFirstPass},
           {"OnStartPage", &C::OnStartPage}, {"OnStartSecondPass", &C::OnStartSecondPass}});
  cls::TPropInfo limit = cls::OrdProperty<C, int>("PageLimit", cls::TypeInfoInteger(), &C::PageLimit, &C::SetPageLimit);
  limit.HasDefault = true;
  cls::PublishProperty(c, limit);
  cls::TPropInfo pass = cls::OrdProperty<C, TppPassSettingType>(
      "PassSetting", cls::EnumTypeInfo<TppPassSettingType>(), &C::PassSetting, &C::SetPassSetting);
  pass.HasDefault = true;
  cls::PublishProperty(c, pass);
  cls::TPropInfo setup;
  setup.Name = "PrinterSetup";
  setup.Type = cls::MakeClassTypeInfo("TppPrinterSetup", &TppPrinterSetup::StaticClass());
  setup.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->PrinterSetup(); };
  cls::PublishProperty(c, setup);
  boolean("SaveAsTemplate", &C::SaveAsTemplate, &C::SetSaveAsTemplate, false);
  cls::TPropInfo tmpl;
  tmpl.Name = "Template";
  tmpl.Type = cls::MakeClassTypeInfo("TppReportTemplate", &TppReportTemplate::StaticClass());
  tmpl.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<C*>(o)->Template(); };
  tmpl.SetObj = [](cls::TObject* o, cls::TObject* v) {
    if (auto* t = cls::ObjectAs<TppReportTemplate>(v)) static_cast<C*>(o)->SetTemplate(t);
  };
  cls::PublishProperty(c, tmpl);
  cls::TPropInfo units =
      cls::OrdProperty<C, TppUnitType>("Units", cls::EnumTypeInfo<TppUnitType>(), &C::Units, &C::SetUnits);
  units.HasDefault = true;
  units.Default = utInches;
  cls::PublishProperty(c, units);
}
