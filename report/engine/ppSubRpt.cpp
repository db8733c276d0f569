#include "report/engine/ppSubRpt.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/classes/filer.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/model/ppForms.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrnDev.h"

CLS_IMPLEMENT_COMPONENT(TppSubReport)

TppBandTypes ppSubReportBandTypes(TppPrintBehaviorType behavior) {
  using T = TppBandType;
  if (behavior == pbChild) return {T::btTitle, T::btDetail, T::btSummary};
  return ppDefaultBandTypes;
}

TppSubReport::TppSubReport(cls::TComponent* owner) : TppStretchable(owner) {
  SetCacheRecordSize(ppSubReportRecordSize);
  EventMask().Include(ciEngineGenerationEnd);
  EventMask().Include(ciProducerPrintJobEnd);
  SetParentWidth(true);
  SetspHeight(19);
  SetStretch(true);
}

void TppSubReport::BeforeDestruction() {
  FreeSectionDevice(false);
  if (TppCustomEngine* engine = ParentEngine()) engine->RemoveEventNotify(this);
  if (TppCustomReport* main = GetMainReport()) main->RemoveEventNotify(this);
  if (drillDownComponent_) {
    BindDrillDownHandlers(false);
    RemoveNotify(drillDownComponent_);
    drillDownComponent_ = nullptr;
  }
  expansions_.Clear();
  commandKeys_.clear();
  if (TppChildReport* child = child_) {
    child_ = nullptr;
    RemoveNotify(child);
    child->SetParentSubReport(nullptr);
    child->Free();
  }
  TppStretchable::BeforeDestruction();
}

// ---- relations ----

TppCustomReport* TppSubReport::BandReport() const { return GetReport(); }

TppCustomEngine* TppSubReport::ChildEngine() const { return child_ ? child_->Engine() : nullptr; }

TppCustomEngine* TppSubReport::ParentEngine() const {
  TppCustomReport* r = BandReport();
  return r ? r->Engine() : nullptr;
}

void TppSubReport::CreateChildReport(TppCustomReport* ownerReport) {
  if (child_ || !ownerReport) return;
  auto* child = new TppChildReport(ownerReport->Owner());
  child_ = child;
  AddNotify(child);
  child->SetParentSubReport(this);
  child->SetParentReport(ownerReport);
  child->SetPrinterSetup(ownerReport->PrinterSetup());
  child->SetReportDesigner(ownerReport->ReportDesigner());
  child->SetUnits(Units());
  child->SetDataPipeline(DataPipeline());
  child->SetDefaultBandTypes(ppSubReportBandTypes(printBehavior_));
}

void TppSubReport::AdoptChildReport(TppChildReport* child) {
  if (!child || child == child_) return;
  if (TppChildReport* old = child_) {
    child_ = nullptr;
    RemoveNotify(old);
    old->SetParentSubReport(nullptr);
    old->Free();
  }
  child_ = child;
  AddNotify(child);
  child->SetParentSubReport(this);
  if (TppCustomReport* report = BandReport()) child->SetParentReport(report);
}

void TppSubReport::GetChildren(const std::function<void(cls::TComponent*)>& proc, cls::TComponent*) {
  if (child_) proc(child_);
}

void TppSubReport::UpdateChildBandTypes() {
  if (child_) child_->SetDefaultBandTypes(ppSubReportBandTypes(printBehavior_));
}

void TppSubReport::GetCaption(std::string& text) {
  TppDataPipeline* p = DataPipeline();
  text = UserName() + ": " + (p ? p->UserName() : std::string("No Data Pipeline Assigned"));
}

// ---- setters ----

void TppSubReport::SetPrintBehavior(TppPrintBehaviorType value) {
  if (value == pbSection && InRegion()) return;
  printBehavior_ = value;
  SetStretch(value == pbChild);
  if (value == pbFixed) SetKeepTogether(false);
  if (!Streaming()) {
    if (value == pbFixed) SetmmStopPosition(0);
    if (value == pbSection) SetDrillDownComponent(nullptr);
    if (value != pbSection) {
      newPrintJob_ = false;
      resetPageNo_ = false;
    } else {
      SetParentWidth(true);
      SetShiftRelativeTo(nullptr);
    }
    UpdateChildBandTypes();
  }
  InvalidateDesign();
  Changed();
}

void TppSubReport::SetNewPrintJob(bool value) {
  // Never inside a region: there is no section there.
  if (value && InRegion()) return;
  newPrintJob_ = value;
  if (value && printBehavior_ != pbSection) printBehavior_ = pbSection;
  InvalidateDesign();
  Changed();
}

void TppSubReport::SetResetPageNo(bool value) {
  // A stream gives back what was written, whatever the behaviour.
  if (printBehavior_ != pbSection && !Streaming()) return;
  resetPageNo_ = value;
  InvalidateDesign();
  Changed();
}

void TppSubReport::SetParentPrinterSetup(bool value) {
  parentPrinterSetup_ = value;
  InvalidateDesign();
  TppCustomReport* parent = BandReport();
  if (value && child_ && parent && !child_->PrinterSetup()->IsEqual(parent->PrinterSetup()))
    child_->SetPrinterSetup(parent->PrinterSetup());
}

void TppSubReport::SetTraverseAllData(bool value) {
  traverseAllData_ = value;
  InvalidateDesign();
  Changed();
}

void TppSubReport::SetParentWidth(bool value) {
  if (!value && printBehavior_ == pbSection && !Streaming()) return;
  TppStretchable::SetParentWidth(value);
}

void TppSubReport::SetShiftRelativeTo(TppStretchable* target) {
  if (target && printBehavior_ == pbSection && !Streaming()) return;
  TppStretchable::SetShiftRelativeTo(target);
}

void TppSubReport::SetRegion(TppComponent* region) {
  TppStretchable::SetRegion(region);
  if (Region() && printBehavior_ == pbSection) SetPrintBehavior(pbFixed);
}

void TppSubReport::SetBand(TppCustomBand* band) {
  TppStretchable::SetBand(band);
  TppCustomReport* report = BandReport();
  if (!report) return;
  // A stretching subreport makes its band grow with it.
  if (Stretch() && band->PrintHeight() != phDynamic && !Streaming()) band->SetPrintHeight(phDynamic);
  if (!child_) CreateChildReport(report);
  child_->SetParentReport(report);
  child_->SetReportDesigner(report->MainReport()->ReportDesigner());
}

void TppSubReport::SetDataPipeline(TppDataPipeline* value) {
  if (value == DataPipeline()) return;
  TppStretchable::SetDataPipeline(value);
  PostDesignerMessage(1145, 5050, this);
  if (child_) child_->SetDataPipeline(value);
}

void TppSubReport::SetUserName(const std::string& name) {
  TppStretchable::SetUserName(name);
  PostDesignerMessage(1145, 5050, this);
}

void TppSubReport::UpdateDataFieldName(TppDataPipeline* pipeline, const std::string& oldName,
                                       const std::string& newName) {
  if (child_) child_->RenameDataField(pipeline, oldName, newName);
}

void TppSubReport::ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name) {
  if (child_) child_->ReplaceDataPipeline(pipeline, name);
}

void TppSubReport::ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) {
  if (!DataPipeline())
    if (TppDataPipeline* p = ppPipelineNamed(list, DataPipelineName())) SetDataPipeline(p);
  if (child_) child_->ResolvePipelineNames(list);
}

void TppSubReport::AddDataPipelineToList(std::vector<TppDataPipeline*>& list) {
  TppStretchable::AddDataPipelineToList(list);
  if (!child_) return;
  child_->IterateObjects([&](cls::TObject* o) {
    if (auto* p = cls::ObjectAs<TppPrintable>(o)) p->AddDataPipelineToList(list);
  });
}

void TppSubReport::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppStretchable::Notify(communicator, operation);
  if (operation != ppopRemove || !communicator) return;
  if (communicator == drillDownComponent_) drillDownComponent_ = nullptr;
  if (communicator == child_) child_ = nullptr;
}

// ---- drill-down ----

TppComponent* TppSubReport::DrillDownComponent() {
  if (drillDownComponent_ && !HasState(cls::csWriting) &&
      (!Band() || Band()->IndexOfObject(drillDownComponent_) < 0))
    SetDrillDownComponent(nullptr);
  return drillDownComponent_;
}

void TppSubReport::BindDrillDownHandlers(bool bind) {
  TppComponent* c = drillDownComponent_;
  if (!c) return;
  if (bind) {
    c->OnDrawCommandCreate = TppDrawCommandEvent(this, &TppSubReport::DrillDownCommandCreate);
    c->OnDrawCommandClick = TppDrawCommandEvent(this, &TppSubReport::DrillDownCommandClick);
  } else {
    c->OnDrawCommandCreate.Clear();
    c->OnDrawCommandClick.Clear();
  }
}

void TppSubReport::SetDrillDownComponent(TppComponent* component) {
  if (component && printBehavior_ == pbSection) return;
  if (component == drillDownComponent_) return;
  if (drillDownComponent_) {
    // The old component no longer answers for this subreport.
    BindDrillDownHandlers(false);
    RemoveNotify(drillDownComponent_);
  }
  drillDownComponent_ = component;
  if (component) {
    AddNotify(component);
    if (TppCustomBand* band = Band())
      for (int i = 0; i < band->ObjectCount(); ++i) {
        auto* other = cls::ObjectAs<TppSubReport>(band->Objects(i));
        if (other && other != this && other->drillDownComponent_ == component) {
          other->RemoveNotify(component);
          other->drillDownComponent_ = nullptr;
        }
      }
    BindDrillDownHandlers(!expandAll_);
  }
  InvalidateDesign();
  Changed();
}

void TppSubReport::SetExpandAll(bool value) {
  expandAll_ = value;
  if (!Streaming()) {
    expansions_.Clear();
    BindDrillDownHandlers(!value);
  }
  InvalidateDesign();
  Changed();
}

std::string TppSubReport::CurrentReportKey() const {
  TppCustomReport* r = BandReport();
  auto* child = cls::ObjectAs<TppChildReport>(r);
  if (!child || !child->ParentSubReport()) return std::string();
  return child->ParentSubReport()->CurrentExpansionKey();
}

std::string TppSubReport::CurrentExpansionKey() const {
  char counter[16];
  std::snprintf(counter, sizeof counter, "%8d", static_cast<int>(instanceCount_));
  return CurrentReportKey() + counter;
}

bool TppSubReport::DrillDownExpanded() const {
  return expandAll_ || expansions_.IndexOf(CurrentExpansionKey()) >= 0;
}

std::string TppSubReport::Expansions(int index) const {
  return index >= 0 && index < expansions_.Count() ? expansions_[index] : std::string();
}

bool TppSubReport::Collapsed() const {
  return drillDownComponent_ && printBehavior_ != pbSection && !DrillDownExpanded();
}

bool TppSubReport::IsDrillDown() { return DrillDownComponent() && printBehavior_ != pbSection; }

void TppSubReport::OutlineChildren(std::vector<cls::TObject*>& list) {
  if (child_) child_->GetOutlineChildren(list);
}

std::string TppSubReport::CommandExpansionKey(const TppDrawCommand* command) const {
  auto it = commandKeys_.find(command);
  return it == commandKeys_.end() ? std::string() : it->second;
}

void TppSubReport::DrillDownCommandCreate(cls::TObject*, cls::TObject* command) {
  if (auto* c = cls::ObjectAs<TppDrawCommand>(command)) {
    commandKeys_[c] = CurrentExpansionKey();
    c->SetClickable(true);
  }
}

void TppSubReport::DrillDownCommandClick(cls::TObject*, cls::TObject* command) {
  auto* c = cls::ObjectAs<TppDrawCommand>(command);
  TppCustomReport* main = GetMainReport();
  if (!c || !main || main->Printing()) return;
  c->SetRedrawPage(true);
  int32_t pageNo = c->Page() ? c->Page()->AbsolutePageNo() : 1;
  ToggleExpansion(CommandExpansionKey(c));
  if (main->PassSetting() == TppPassSettingType::psTwoPass) {
    main->ResetJobState();
  } else if (auto* report = cls::ObjectAs<TppReport>(main)) {
    report->CacheManager()->TruncateFrom(pageNo);
    report->Publisher()->Reset();
  }
}

void TppSubReport::ToggleExpansion(const std::string& key) {
  int at = expansions_.IndexOf(key);
  if (at >= 0) expansions_.Delete(at);
  else expansions_.Add(key);
}

// ---- per run ----

void TppSubReport::InitGeneration() {
  TppStretchable::InitGeneration();
  sectionFlag_ = false;
  childOverflowState_ = false;
  started_ = generated_ = false;
  savedPageNo_ = 0;
  recordedPageNo_ = 0;
  childPageNo_ = 1;
  instanceCount_ = 0;
  hasContent_ = false;
  restartDue_ = false;
  allSections_ = false;
  if (printBehavior_ == pbSection && Band()) {
    allSections_ = true;
    for (int i = 0; i < Band()->ObjectCount(); ++i) {
      auto* s = cls::ObjectAs<TppSubReport>(Band()->Objects(i));
      if (!s || s->printBehavior_ != pbSection) allSections_ = false;
    }
  }
  if (TppCustomEngine* engine = ChildEngine()) engine->Reset(0);
}

// The main report's current report is the child while it generates, and
// is put back however the generation ends. A failure in the child is the
// main report's generation failure.
void TppSubReport::CalcPrintExtent() {
  TppCustomReport* main = GetMainReport();
  if (!child_ || !main) {
    SetSpaceUsed(0);
    SetOverFlow(false);
    return;
  }
  TppCustomReport* previous = main->CurrentReport();
  main->SetCurrentReport(child_);
  try {
    if (printBehavior_ == pbChild) GenerateAsChild();
    else if (printBehavior_ == pbFixed) traverseAllData_ ? GenerateAsChild() : GenerateFixed();
    else GenerateSection();
  } catch (...) {
    main->SetCurrentReport(previous);
    std::exception_ptr failure = std::current_exception();
    std::string prefix = ppLoadStr(1023) + "\r\n\r\n";
    // The child's own failure already says that no report was made.
    try {
      throw;
    } catch (const EPrintError& e) {
      std::string message = e.Message();
      if (message.rfind(prefix, 0) == 0) failure = std::make_exception_ptr(EPrintError(message.substr(prefix.size())));
    } catch (...) {
    }
    main->CancelJob(failure);
    throw;
  }
  main->SetCurrentReport(previous);
}

void TppSubReport::SetChildRoom(int32_t height, int32_t width) {
  TppPage* page = ChildEngine()->Page();
  TppCustomReport* parent = BandReport();
  page->SetPrinterSetup(parent->PrinterSetup());
  TppPageDef* def = page->PageDef();
  if (!def) return;
  def->SetmmHeight(height);
  def->SetmmWidth(width);
  def->SetmmMarginLeft(0);
  def->SetmmMarginTop(0);
  def->SetmmMarginRight(0);
  def->SetmmMarginBottom(0);
}

void TppSubReport::RestartChild() {
  childPageNo_ = 1;
  savedPageNo_ = 0;
  recordedPageNo_ = 0;
  childOverflowState_ = false;
  generated_ = false;
  if (TppCustomEngine* engine = ChildEngine()) engine->Reset(0);
}

void TppSubReport::ChildPageRequest(cls::TObject*, int32_t& availablePage) { availablePage = recordedPageNo_; }

void TppSubReport::RequestChildPage() {
  TppCustomEngine* engine = ChildEngine();
  TppEnginePageRequestEvent saved = engine->OnPageRequest;
  engine->OnPageRequest = TppEnginePageRequestEvent(this, &TppSubReport::ChildPageRequest);
  struct PutBack {
    TppCustomEngine* engine;
    TppEnginePageRequestEvent handler;
    ~PutBack() { engine->OnPageRequest = handler; }
  } putBack{engine, saved};
  TppPageRequest request;
  request.SetPageSetting(TppPageSettingType::psSinglePage);
  request.SetPageRequested(childPageNo_);
  engine->Generate(&request);
}

void TppSubReport::SavePageState() {
  if (SpaceUsed() >= 1) {
    ++childPageNo_;
    recordedPageNo_ = ChildEngine()->AbsolutePageNo();
    savedPageNo_ = childPageNo_;
  } else {
    recordedPageNo_ = 0;
  }
}

void TppSubReport::GenerateAsChild() {
  TppCustomEngine* engine = ChildEngine();
  if (Collapsed()) {
    engine->Reset(0);
    generated_ = true;
    generatedThisPass_ = true;
    SetOverFlow(false);
    SetSpaceUsed(0);
    return;
  }
  TppCustomReport* parent = BandReport();
  if (!child_->PrinterSetup()->IsEqual(parent->PrinterSetup())) child_->SetPrinterSetup(parent->PrinterSetup());
  // A pbFixed subreport that traverses all its data has its own print top
  // plus its height as room on every page.
  bool fixedRoom = printBehavior_ == pbFixed;
  const TppRect& rect = PrintRect();
  int32_t roomHeight = fixedRoom ? mmHeight() : rect.Bottom - rect.Top;
  SetChildRoom(roomHeight, rect.Right - rect.Left);
  if (started_) {
    if (childOverflowState_) {
      engine->SetDataExhausted(true);
      engine->SetReportFinished(true);
    }
  } else {
    started_ = true;
    generated_ = false;
    childPageNo_ = 1;
    savedPageNo_ = 1;
    recordedPageNo_ = 0;
    engine->Reset(0);
  }
  bool keep = CheckKeepTogether() && printBehavior_ != pbFixed;
  RequestChildPage();
  int32_t used = 0;
  if (IsStretching() || fixedRoom) {
    generated_ = engine->ReportFinished();
    SetOverFlow(!generated_);
    used = engine->PageRect().Top;
  } else {
    generated_ = true;
    SetOverFlow(false);
    used = mmHeight();
  }
  SetSpaceUsed(used);
  if (SpaceUsed() >= 1 && OverFlow() && keep) {
    SetKeptTogether(true);
    SetSpaceUsed(0);
    started_ = false;
  }
  SavePageState();
  childOverflowState_ = engine->DataExhausted() && engine->ReportFinished();
  if (generated_) started_ = false;
  if (!OverFlow() && KeepTogether()) SetKeptTogether(false);
  generatedThisPass_ = true;
  UpdateInstanceRecords();
}

// On the main report's last page the cached pages of this instance learn
// its final child page numbers. Their started flag and child overflow
// state stay: a page rebuilt from the cache goes on with the child from
// them, and the final ones would start it over or end it.
void TppSubReport::UpdateInstanceRecords() {
  TppCustomEngine* mainEngine = GetMainReport()->Engine();
  if (mainEngine->AbsolutePageNo() < mainEngine->AbsolutePageCount()) return;
  TppCacheManager* pages = ppPageCache(GetMainReport());
  if (!pages) return;
  pages->WalkRecordsBack(this, [this](uint8_t* record) {
    int32_t instance = 0;
    std::memcpy(&instance, record + 24, 4);
    if (instance != instanceCount_) return false;
    std::memcpy(record + 16, &recordedPageNo_, 4);
    std::memcpy(record + 20, &savedPageNo_, 4);
    return true;
  });
}

void TppSubReport::GenerateFixed() {
  if (Collapsed()) {
    ChildEngine()->Reset(0);
    generated_ = true;
    generatedThisPass_ = true;
    SetOverFlow(false);
    SetSpaceUsed(0);
    return;
  }
  const TppRect& rect = PrintRect();
  if (rect.Bottom - rect.Top < mmHeight()) {
    SetSpaceUsed(0);
    SetOverFlow(true);
    return;
  }
  SetChildRoom(mmHeight(), mmWidth());
  childPageNo_ = 1;
  recordedPageNo_ = 0;
  ChildEngine()->Reset(0);
  RequestChildPage();
  generated_ = true;
  SetOverFlow(false);
  SetSpaceUsed(mmHeight());
  generatedThisPass_ = true;
}

// The first step of a section in the run.
void TppSubReport::StartSection() {
  sectionFlag_ = true;
  SetOverFlow(true);
  // The section starts on a page of its own: no NewPage group of the child
  // takes another for its first run.
  for (int i = 0; i < child_->GroupCount(); ++i)
    if (TppGroup* g = child_->Groups(i); g->NewPage() && g->HeaderBand()) g->HeaderBand()->SetAlreadyPageBreak(true);
  TppCustomEngine* mainEngine = GetMainReport()->Engine();
  restartDue_ = mainEngine->AbsolutePageNo() == 0 || mainEngine->AbsolutePageNo() > mainEngine->AbsolutePageCount();
  generated_ = false;
  BandReport()->IncludeFlags(TppEngineFlag::efSectionPending);
  Band()->SetPrintingSection(true);
}

void TppSubReport::GenerateSection() {
  SetSpaceUsed(0);
  TppCustomReport* report = BandReport();
  TppCustomEngine* parentEngine = ParentEngine();
  TppCustomEngine* mainEngine = GetMainReport()->Engine();
  TppCustomEngine* engine = ChildEngine();
  if (!sectionFlag_) {
    StartSection();
    bool waits = Band()->GetSpaceUsed() > 0 || parentEngine->UsedHeight() > 0 || !allSections_;
    if (mainEngine->AbsolutePageNo() == 1 && mainEngine->AbsolutePageCount() > 1) restartDue_ = false;
    if (waits) return;
  }
  if (restartDue_) {
    RestartChild();
    restartDue_ = false;
  } else if (childOverflowState_) {
    engine->SetDataExhausted(true);
    engine->SetReportFinished(true);
  }
  report->ExcludeFlags(TppEngineFlag::efSectionPending);
  report->IncludeFlags(TppEngineFlag::efSectionGenerating);
  Band()->SetPrintingSection(true);
  TppPage* childPage = engine->Page();
  if (!childPage->PrinterSetup() || !childPage->PrinterSetup()->IsEqual(child_->PrinterSetup()))
    childPage->SetPrinterSetup(child_->PrinterSetup());
  RequestChildPage();
  hasContent_ = childPage->GetDrawCommandCount() > 0;
  SetOverFlow(!engine->ReportFinished());
  SetSpaceUsed(engine->PageRect().Top);
  generated_ = !OverFlow();
  if (generated_) {
    report->ExcludeFlags(TppEngineFlag::efSectionGenerating);
    report->IncludeFlags(TppEngineFlag::efSectionFinished);
  }
  SavePageState();
  childOverflowState_ = engine->DataExhausted() && engine->ReportFinished();
  UpdateInstanceRecords();
  if (!subscribed_) {
    parentEngine->AddEventNotify(this);
    GetMainReport()->AddEventNotify(this);
    subscribed_ = true;
  }
  TppPage* page = parentEngine->Page();
  if (hasContent_) {
    page->Assign(childPage);
    CreateSectionDevice();
  }
  if (!resetPageNo_) {
    page->SetPageNo(parentEngine->GetPageNo());
    page->SetPageCount(parentEngine->GetPageCount());
    page->UpdatePageValues(nullptr);
  }
  if (generated_) {
    ++instanceCount_;
    sectionFlag_ = false;
    RestartChild();
  }
}

// ---- the section's own job ----

void TppSubReport::CreateSectionDevice() {
  TppCustomReport* main = GetMainReport();
  if (!newPrintJob_ || sectionDevice_ || !main || main->DeviceType() != "Printer") return;
  TppPrinterDevice* mainDevice = main->PrinterDevice();
  if (!mainDevice || !mainDevice->Busy()) return;
  auto* device = new TppPrinterDevice(nullptr);
  device->Printer()->SetPrinterSetup(child_->PrinterSetup());
  TppPageRequest all;
  all.SetPageSetting(TppPageSettingType::psAll);
  device->SetPageRequest(&all);
  try {
    device->StartJob();
  } catch (...) {
    device->Free();
    throw;
  }
  sectionDevice_ = device;
  main->SetSectionDevice(device);
}

void TppSubReport::FreeSectionDevice(bool finished) {
  TppPrinterDevice* device = sectionDevice_;
  if (!device) return;
  sectionDevice_ = nullptr;
  if (TppCustomReport* main = GetMainReport())
    if (main->SectionDevice() == device) main->SetSectionDevice(nullptr);
  try {
    if (finished) {
      device->EndJob();
    } else {
      if (device->Printer()) device->Printer()->AbortDoc();
      device->CancelJob();
    }
  } catch (...) {
    device->Free();
    throw;
  }
  device->Free();
}

void TppSubReport::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppStretchable::EventNotify(sender, eventId, params);
  if (eventId == ciProducerPrintJobEnd && sender && sender == GetMainReport()) {
    // The main job ended first: the section's job is given up.
    FreeSectionDevice(false);
    return;
  }
  TppCustomEngine* parentEngine = ParentEngine();
  if (eventId != ciEngineGenerationEnd || !sender || sender != parentEngine) return;
  bool finished = parentEngine->Flags().Contains(TppEngineFlag::efSectionFinished);
  if (finished) BandReport()->ExcludeFlags(TppEngineFlag::efSectionFinished);
  hasContent_ = false;
  TppCustomEngine* mainEngine = GetMainReport()->Engine();
  if (finished || mainEngine->Done() || mainEngine->Cancelled()) FreeSectionDevice(finished);
  TppCustomReport* report = BandReport();
  if (report == GetMainReport()) parentEngine->Page()->SetPrinterSetup(report->PrinterSetup());
}

// ---- pages ----

void TppSubReport::UpdateDrawComponent() {
  TppStretchable::UpdateDrawComponent();
  // One more instance printed: the next gets a key of its own.
  if (generatedThisPass_ && generated_ && printBehavior_ != pbSection) ++instanceCount_;
  generatedThisPass_ = false;
}

void TppSubReport::PrintToPage(TppPage* page) {
  if (!DrawComponent() || !Visible() || !page) return;
  if (printBehavior_ == pbSection || Collapsed()) return;
  MoveChildDrawCommands(page);
}

void TppSubReport::MoveChildDrawCommands(TppPage* page) {
  TppCustomEngine* engine = ChildEngine();
  if (!engine) return;
  TppPage* childPage = engine->Page();
  TppPageDef* def = childPage->PageDef();
  const TppRect& rect = PrintRect();
  int32_t right = printBehavior_ == pbFixed ? rect.Left + mmWidth() : rect.Right;
  int32_t bottom = printBehavior_ == pbFixed ? rect.Top + mmHeight() : rect.Bottom;
  TppRect pageRect = MakeRect(rect.Left + (def ? def->mmMarginLeft() : 0), rect.Top + (def ? def->mmMarginTop() : 0),
                              right - (def ? def->mmMarginRight() : 0), bottom - (def ? def->mmMarginBottom() : 0));
  while (childPage->GetDrawCommandCount() > 0) {
    TppDrawCommand* c = childPage->GetDrawCommand(0);
    c->SetLeft(c->Left() + rect.Left);
    c->SetTop(c->Top() + rect.Top);
    c->SetPageRect(pageRect);
    c->SetPage(page);
  }
}

// ---- page cache ----

void TppSubReport::SaveToCache(int32_t pageIndex) {
  uint8_t record[ppSubReportRecordSize] = {};
  record[0] = DrawComponent();
  record[1] = ShiftersStarted();
  int32_t resume = ShifterResumeIndex();
  std::memcpy(record + 2, &resume, 4);
  record[6] = OverFlow();
  record[7] = PartialGeneration();
  record[8] = started_;
  record[9] = generated_;
  record[10] = childOverflowState_;
  record[11] = sectionFlag_;
  std::memcpy(record + 12, &childPageNo_, 4);
  std::memcpy(record + 16, &recordedPageNo_, 4);
  std::memcpy(record + 20, &savedPageNo_, 4);
  std::memcpy(record + 24, &instanceCount_, 4);
  WriteCacheRecord(pageIndex, record);
}

void TppSubReport::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[ppSubReportRecordSize];
  std::memset(record, 0xFF, sizeof record);
  ReadCacheRecord(pageIndex, record);
  if (record[0] == 0xFF) return;  // no record of that page
  SetDrawComponent(record[0] != 0);
  SetShiftersStarted(record[1] != 0);
  int32_t resume = 0;
  std::memcpy(&resume, record + 2, 4);
  SetShifterResumeIndex(resume);
  SetOverFlow(record[6] != 0);
  SetPartialGeneration(record[7] != 0);
  started_ = record[8] != 0;
  generated_ = record[9] != 0;
  childOverflowState_ = record[10] != 0;
  sectionFlag_ = record[11] != 0;
  std::memcpy(&childPageNo_, record + 12, 4);
  std::memcpy(&recordedPageNo_, record + 16, 4);
  std::memcpy(&savedPageNo_, record + 20, 4);
  std::memcpy(&instanceCount_, record + 24, 4);
}

// ---- registration ----

namespace {

// A reference to another component of the report (streamed by name).
template <class T>
cls::TPropInfo Reference(const std::string& name, const char* typeName, T* (TppSubReport::*get)(),
                         void (TppSubReport::*set)(T*)) {
  cls::TPropInfo p;
  p.Name = name;
  p.Type = cls::MakeClassTypeInfo(typeName, &T::StaticClass());
  p.GetObj = [get](cls::TObject* o) -> cls::TObject* { return (static_cast<TppSubReport*>(o)->*get)(); };
  p.SetObj = [set](cls::TObject* o, cls::TObject* v) { (static_cast<TppSubReport*>(o)->*set)(cls::ObjectAs<T>(v)); };
  p.Stored = [get](cls::TObject* o) { return (static_cast<TppSubReport*>(o)->*get)() != nullptr; };
  return p;
}

}  // namespace

void TppSubReport::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  // Older streams hold a caption; it is made from the names now.
  filer->DefineProperty("Caption", [](cls::TReader& r) { r.SkipValue(); }, nullptr, false);
}

void ppRegisterSubReportUnit() {
  using namespace ppDrwCmdProps;
  using S = TppSubReport;
  using T = TppStretchable;
  cls::TClassInfo& info = TppSubReport::StaticClass();
  cls::RegisterClass(&info);
  RegisterEnumType("TppPrintBehaviorType", ppEnumTypeInfo<TppPrintBehaviorType>());
  cls::PublishProperty(info, cls::FloatProperty<T, float>("BottomOffset", &T::BottomOffset, &T::SetBottomOffset));
  TppPrintable::PublishProperties(info, {"DataPipeline"});
  cls::PublishProperty(info, Reference<TppComponent>("DrillDownComponent", "TppComponent", &S::DrillDownComponent,
                                                     &S::SetDrillDownComponent));
  cls::PublishProperty(info, Bool<S>("ExpandAll", &S::ExpandAll, &S::SetExpandAll));
  cls::TPropInfo keep = cls::OrdProperty<TppStretchable, bool>("KeepTogether", cls::TypeInfoBoolean(),
                                                               &TppStretchable::KeepTogether,
                                                               &TppStretchable::SetKeepTogether);
  keep.HasDefault = true;
  cls::PublishProperty(info, keep);
  TppPrintable::PublishProperties(info, {"Height", "Left"});
  cls::PublishProperty(info, Bool<S>("NewPrintJob", &S::NewPrintJob, &S::SetNewPrintJob));
  cls::PublishProperty(info,
                       cls::FloatProperty<T, float>("OverFlowOffset", &T::OverFlowOffset, &T::SetOverFlowOffset));
  cls::PublishProperty(info, ppOutlineSettingsProperty<S, TppOutlineSettings>("TppOutlineSettings"));
  cls::TPropInfo parentSetup = Bool<S>("ParentPrinterSetup", &S::ParentPrinterSetup, &S::SetParentPrinterSetup);
  parentSetup.Default = 1;
  cls::PublishProperty(info, parentSetup);
  TppPrintable::PublishProperties(info, {"ParentWidth"});
  // A subreport takes its parent's width unless told otherwise.
  info.Props->back().HasDefault = true;
  info.Props->back().Default = 1;
  cls::PublishProperty(info, Enum<S, TppPrintBehaviorType>("PrintBehavior", &S::PrintBehavior,
                                                           &S::SetPrintBehavior, pbChild));
  cls::TPropInfo resetPageNo = Bool<S>("ResetPageNo", &S::ResetPageNo, &S::SetResetPageNo);
  resetPageNo.Default = 1;
  cls::PublishProperty(info, resetPageNo);
  cls::PublishProperty(info, Reference<TppStretchable>("ShiftRelativeTo", "TppStretchable", &T::ShiftRelativeTo,
                                                       &S::SetShiftRelativeTo));
  cls::PublishProperty(info, cls::FloatProperty<T, float>("StopPosition", &T::StopPosition, &T::SetStopPosition));
  cls::PublishProperty(info, Bool<S>("TraverseAllData", &S::TraverseAllData, &S::SetTraverseAllData));
  TppPrintable::PublishProperties(info, {"Top", "Visible", "Width"});
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppSubReportRTTI)

const TraMembers* TraTppSubReportRTTI::Members() const {
  using C = TppSubReport;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daInteger>("Count", &C::Count),
       raProperty<C, daString>("CurrentExpansionKey", &C::CurrentExpansionKey),
       raProperty<C, daString>("CurrentReportKey", &C::CurrentReportKey),
       raObjectProperty<C, TppComponent>("DrillDownComponent", &C::DrillDownComponent, &C::SetDrillDownComponent),
       raProperty<C, daBoolean>("DrillDownExpanded", &C::DrillDownExpanded),
       raProperty<C, daBoolean>("ExpandAll", &C::ExpandAll, &C::SetExpandAll),
       raProperty<C, daInteger>("ExpansionCount", &C::ExpansionCount),
       raProperty<C, daBoolean>("NewPrintJob", &C::NewPrintJob, &C::SetNewPrintJob),
       raProperty<C, daBoolean>("ParentPrinterSetup", &C::ParentPrinterSetup, &C::SetParentPrinterSetup),
       raEnumProperty<C, TppPrintBehaviorType>("PrintBehavior", &C::PrintBehavior, &C::SetPrintBehavior),
       raObjectProperty<C, TppChildReport>("Report", &C::Report),
       raProperty<C, daBoolean>("ResetPageNo", &C::ResetPageNo, &C::SetResetPageNo),
       raProperty<C, daBoolean>("TraverseAllData", &C::TraverseAllData, &C::SetTraverseAllData),
       raMethod("CreateReport", {},
                [](cls::TObject* o, TraParamList*, bool) {
                  auto* s = static_cast<C*>(o);
                  s->CreateChildReport(s->GetReport());
                  return true;
                }),
       raMethod("Expansions", {raParam("Index", daInteger), raParam("Result", daString)},
                [](cls::TObject* o, TraParamList* params, bool) {
                  int32_t index = 0;
                  if (!params || !params->GetParam("Index", index)) return false;
                  return params->SetParamValue("Result", static_cast<C*>(o)->Expansions(index));
                })});
  return &members;
}

// ---- design time ----

void TppSubReport::CreatePopupMenu(TppPopupMenu*& menu) {
  TppStretchable::CreatePopupMenu(menu);
  const auto behavior = [](TppPrintBehaviorType b) {
    return [b](TppSubReport& s) { s.SetPrintBehavior(b); };
  };
  menu->AddAction<TppSubReport>(10, "Child", 0, behavior(pbChild));
  menu->AddAction<TppSubReport>(11, "Section", 0, behavior(pbSection));
  menu->AddAction<TppSubReport>(12, "Fixed", 0, behavior(pbFixed));
  menu->AddItem(13, "PrintBehaviorLine1", 0, "-");
  menu->AddAction<TppSubReport>(14, "DrillDown", 0, [](TppSubReport& s) {
    ppShowDesignDialog(&TppCustomDrillDownDialog::StaticClass(), s.GetLanguageIndex(), s.Report());
  });
  int order = 15;
  for (const char* name : {"ExpandAll", "KeepTogether", "NewPrintJob", "ParentPrinterSetup", "ParentWidth",
                           "ResetPageNo", "TraverseAllData"})
    menu->AddAction<TppSubReport>(order++, name, 0);
}

void TppSubReport::UpdatePopupMenu(TppPopupMenu* menu) {
  TppStretchable::UpdatePopupMenu(menu);
  if (!menu) return;
  const auto item = [menu](const char* name, bool enabled) {
    ui::TMenuItem* i = menu->FindItem(name);
    if (i) i->Enabled = enabled;
    return i;
  };
  const TppPrintBehaviorType b = PrintBehavior();
  const bool drillDown = DrillDownComponent() != nullptr;
  if (ui::TMenuItem* i = menu->FindItem("Stretch")) i->Visible = false;
  const std::pair<const char*, TppPrintBehaviorType> behaviors[] = {
      {"Child", pbChild}, {"Section", pbSection}, {"Fixed", pbFixed}};
  for (const auto& [name, value] : behaviors)
    if (ui::TMenuItem* i = menu->FindItem(name)) i->Checked = b == value;
  if (ui::TMenuItem* i = item("DrillDown", b == pbChild)) i->Checked = drillDown;
  item("KeepTogether", b == pbChild);
  item("ExpandAll", drillDown);
  item("NewPrintJob", b == pbSection);
  item("ParentPrinterSetup", b == pbSection);
  item("ResetPageNo", b == pbSection);
  item("ParentWidth", b != pbSection);
  item("ShiftRelativeTo", !Region() && b != pbSection);
  item("TraverseAllData", b == pbFixed);
}
