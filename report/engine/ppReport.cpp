#include "report/engine/ppReport.h"

#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppSubRpt.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppForms.h"

CLS_IMPLEMENT_CLASS(TppBandedReport)
CLS_IMPLEMENT_COMPONENT(TppReport)
CLS_IMPLEMENT_COMPONENT(TppChildReport)

// ---- TppBandedReport ----

TppBand* TppBandedReport::CreateBand(TppBandType type, int groupIndex) {
  if (GetBand(type, groupIndex)) return nullptr;
  bool groupBand = type == TppBandType::btGroupHeader || type == TppBandType::btGroupFooter;
  if (groupBand && (groupIndex < 0 || groupIndex >= GroupCount())) return nullptr;
  cls::TComponent* owner = Owner();
  auto* band = static_cast<TppBand*>(ppBandClassOfType(type)->Create(owner));
  if (owner) band->SetName(GetUniqueName(owner, ClassNameWithoutT(band), band));
  if (groupBand) static_cast<TppGroupBand*>(band)->SetGroup(Groups(groupIndex));
  else band->SetReport(this);
  return band;
}

TppBand* TppBandedReport::DetailBand() {
  if (TppBand* band = GetBand(TppBandType::btDetail, 0)) return band;
  return CreateBand(TppBandType::btDetail, 0);
}

void TppBandedReport::CreateMissingBands() {
  if (BandCount() == 0) CreateDefaultBands();
  DetailBand();
  for (int i = 0; i < GroupCount(); ++i) {
    CreateBand(TppBandType::btGroupHeader, i);
    CreateBand(TppBandType::btGroupFooter, i);
  }
}

void TppBandedReport::StartJob() {
  CreateMissingBands();
  TppCustomReport::StartJob();
}

// ---- TppReport ----

TppReport::TppReport(cls::TComponent* owner) : TppBandedReport(owner), cacheManager_(new TppCacheManager(this)) {
  if (TppCustomEngine* engine = Engine()) {
    engine->OnStartGeneration = cls::TNotifyEvent(this, &TppReport::CacheStartGeneration);
    engine->OnStartPage = cls::TNotifyEvent(this, &TppReport::CacheStartPage);
    engine->OnPagePositionSaved = cls::TNotifyEvent(this, &TppReport::CachePagePositionSaved);
    engine->OnPageRequest = TppEnginePageRequestEvent(this, &TppReport::CachePageRequest);
  }
}

void TppReport::BeforeDestruction() {
  outline_.reset();
  FreeAutoSearchDialog();
  if (TppCustomEngine* engine = Engine()) {
    engine->OnStartGeneration.Clear();
    engine->OnStartPage.Clear();
    engine->OnPagePositionSaved.Clear();
    engine->OnPageRequest.Clear();
  }
  // The custom report lets its cache managers go first; this one is ours.
  TppCacheManager* manager = cacheManager_.release();
  TppBandedReport::BeforeDestruction();
  if (manager) manager->Free();
}

void TppReport::CacheStartGeneration(cls::TObject*) { cacheManager_->Reset(); }

void TppReport::CacheStartPage(cls::TObject*) { cacheManager_->RestorePage(AbsolutePageNo() - 1); }

void TppReport::CachePagePositionSaved(cls::TObject*) { cacheManager_->SavePage(AbsolutePageNo()); }

void TppReport::CachePageRequest(cls::TObject*, int32_t& availablePage) {
  availablePage = cacheManager_->HighWaterPage();
}

void TppReport::SetCachePages(bool v) {
  if (Printing() || v == cachePages_) return;
  cachePages_ = v;
  SetModified(true);
  ResetJobState();
}

void TppReport::Print() {
  if (PrePrint()) TppBandedReport::Print();
}

bool TppReport::PrePrint() {
  cls::TFlagScope busy(prePrinting_);
  bool go = true;
  try {
    go = ShowAutoSearchDialog() ? ExecuteAutoSearchDialog() : true;
    TppCustomEngine* engine = Engine();
    bool initialised = engine && engine->Flags().Contains(TppEngineFlag::efInitialised);
    if (go && !initialised && autoSearchFields_.Count() > 0) DoOnGetAutoSearchValues();
  } catch (...) {
    FreeAutoSearchDialog();
    throw;
  }
  FreeAutoSearchDialog();
  return go;
}

void TppReport::PrintToDevices() {
  TppCustomEngine* engine = Engine();
  if (engine && !engine->Flags().Contains(TppEngineFlag::efInitialised) && !engine->Cancelled()) {
    Publisher()->SetCachePages(cachePages_);
    ExpandSubReports(0);
  }
  TppBandedReport::PrintToDevices();
}

void TppReport::PageRequest(cls::TObject* Sender, TppPageRequest* aPageRequest) {
  TppBandedReport::PageRequest(Sender, aPageRequest);
  TppCustomEngine* engine = Engine();
  if (!engine) return;
  PrepareOutline();
  SetPrinting(true);
  TppPage* page = engine->Page();
  bool setupChanged = page->PrinterSetup() && !page->PrinterSetup()->IsEqual(PrinterSetup());
  page->SetPrinterSetup(PrinterSetup());
  if (setupChanged) {
    Publisher()->Reset();
    engine->ResetState();
  }
  try {
    engine->Generate(aPageRequest);
  } catch (...) {
    SetPrinting(false);
    engine->ResetState();
    throw;
  }
  SetPrinting(false);
  // Read before a cancel's reset empties the count: a run cancelled after
  // its last page made pages, and they stay.
  const bool noPage = engine->Done() && AbsolutePageCount() == 0;
  if (engine->Cancelled()) engine->ResetState();
  if (noPage && NoDataBehaviors().Contains(ndBlankPage)) {
    Cancel();
    ResetJobState();
    // No page is no job: a print run tells its caller.
    if (IsNonScreenDevice()) throw EPrintError("The report has no data: nothing was printed.");
  }
}

void TppReport::SendPage(cls::TObject*) {
  TppCustomEngine* engine = Engine();
  if (!engine) return;
  if (TppDevice* device = SectionDevice()) {
    if (!engine->Page()->Calculation()) device->ReceivePage(engine->Page());
    return;
  }
  Publisher()->PublishPage(engine->Page());
}

void TppReport::ExpandSubReports(int mode) {
  IterateObjects([mode](cls::TObject* o) {
    auto* s = cls::ObjectAs<TppSubReport>(o);
    if (!s) return;
    if (mode == 0) {
      if (s->Report() && s->Report()->Engine()) s->Report()->Engine()->Reset(0);
    } else if (mode == 1 || mode == 2) {
      s->SetExpandAll(mode == 1);
    }
  });
}

void TppReport::Cancel() {
  TppBandedReport::Cancel();
  if (TppCustomEngine* engine = Engine()) engine->SetCancelled(true);
}

// ---- TppChildReport ----

void TppChildReport::SetParentComponent(cls::TComponent* parent) {
  if (auto* sub = cls::ObjectAs<TppSubReport>(parent)) sub->AdoptChildReport(this);
}

TppCustomReport* TppChildReport::MainReport() {
  if (!parentReport_) return this;
  return parentReport_->MainReport();
}

void TppChildReport::SetModified(bool value) {
  TppBandedReport::SetModified(value);
  if (!SaveAsTemplate() && parentReport_) parentReport_->MainReport()->SetModified(value);
}

void TppChildReport::ResetJobState() {
  if (parentReport_) parentReport_->MainReport()->ResetJobState();
}

void TppChildReport::Cancel() {
  TppBandedReport::Cancel();
  if (TppCustomEngine* engine = Engine()) engine->SetCancelled(true);
  if (parentReport_ && !cls::ObjectIs<TppReport>(parentReport_)) parentReport_->Cancel();
}

void TppChildReport::IncludeFlags(TppEngineFlags flags) {
  TppBandedReport::IncludeFlags(flags);
  if (parentReport_) parentReport_->IncludeFlags(flags);
}

void TppChildReport::ExcludeFlags(TppEngineFlags flags) {
  TppBandedReport::ExcludeFlags(flags);
  if (parentReport_) parentReport_->ExcludeFlags(flags);
}

bool TppChildReport::JudgesPageProgress() {
  return !parentSubReport_ || parentSubReport_->ChildPagesArePages();
}

void TppChildReport::PrinterSetupChanged() {
  TppBandedReport::PrinterSetupChanged();
  TppCustomReport* main = parentReport_ ? parentReport_->MainReport() : nullptr;
  if (parentSubReport_ && main && parentSubReport_->ParentPrinterSetup() &&
      !PrinterSetup()->IsEqual(main->PrinterSetup()))
    parentSubReport_->SetParentPrinterSetup(false);
}

TppCacheManager* ppPageCache(TppCustomReport* report) {
  auto* main = report ? cls::ObjectAs<TppReport>(report->MainReport()) : nullptr;
  return main ? main->CacheManager() : nullptr;
}

void ppRegisterReportUnit() {
  ppRegisterAutoSearchFieldUnit();
  using R = TppReport;
  const std::pair<const char*, cls::TNotifyEvent R::*> events[] = {
      {"AfterAutoSearchDialogCreate", &R::AfterAutoSearchDialogCreate},
      {"BeforeAutoSearchDialogCreate", &R::BeforeAutoSearchDialogCreate},
      {"OnAutoSearchDialogClose", &R::OnAutoSearchDialogClose},
      {"OnGetAutoSearchValues", &R::OnGetAutoSearchValues}};
  for (const auto& [name, field] : events) cls::PublishProperty(R::StaticClass(), cls::MethodProperty<R>(name, field));
  cls::RegisterClass(&TppReport::StaticClass());
  cls::RegisterClass(&TppChildReport::StaticClass());
  cls::RegisterClass(&TppReportTemplate::StaticClass());
  TppCustomReport::RegisterProperties();
  // The producer's print settings, published on the report.
  using R = TppReport;
  auto& c = R::StaticClass();
  auto boolean = [&](const char* name, bool (TppProducer::*get)() const, void (TppProducer::*set)(bool), bool def) {
    cls::TPropInfo p = cls::OrdProperty<TppProducer, bool>(name, cls::TypeInfoBoolean(), get, set);
    p.HasDefault = true;
    p.Default = def;
    cls::PublishProperty(c, p);
  };
  boolean("AllowPrintToArchive", &R::AllowPrintToArchive, &R::SetAllowPrintToArchive, false);
  boolean("AllowPrintToFile", &R::AllowPrintToFile, &R::SetAllowPrintToFile, false);
  cls::PublishProperty(c, cls::StrProperty<TppProducer>("ArchiveFileName", &R::ArchiveFileName, &R::SetArchiveFileName));
  cls::TPropInfo cache = cls::OrdProperty<R, bool>("CachePages", cls::TypeInfoBoolean(), &R::CachePages, &R::SetCachePages);
  cache.HasDefault = true;
  cls::PublishProperty(c, cache);
  cls::TPropInfo device;
  device.Name = "DeviceType";
  device.Type = cls::TypeInfoString();
  device.GetStr = [](cls::TObject* o) { return static_cast<R*>(o)->DeviceType(); };
  device.SetStr = [](cls::TObject* o, const std::string& v) { static_cast<R*>(o)->SetDeviceType(v); };
  device.Stored = [](cls::TObject* o) { return static_cast<R*>(o)->DeviceType() != "Screen"; };
  cls::PublishProperty(c, device);
  boolean("ModalCancelDialog", &R::ModalCancelDialog, &R::SetModalCancelDialog, true);
  boolean("ModalPreview", &R::ModalPreview, &R::SetModalPreview, true);
  boolean("SavePrinterSetup", &R::SavePrinterSetup, &R::SetSavePrinterSetup, false);
  boolean("ShowAutoSearchDialog", &R::ShowAutoSearchDialog, &R::SetShowAutoSearchDialog, false);
  boolean("ShowCancelDialog", &R::ShowCancelDialog, &R::SetShowCancelDialog, true);
  boolean("ShowPrintDialog", &R::ShowPrintDialog, &R::SetShowPrintDialog, true);
  cls::PublishProperty(c, cls::StrProperty<TppProducer>("TextFileName", &R::TextFileName, &R::SetTextFileName));
  R::RegisterOutlineProperties();
  auto settings = [&](const char* name, cls::TClass type, cls::TObject* (*get)(R*)) {
    cls::TPropInfo p;
    p.Name = name;
    p.Type = cls::MakeClassTypeInfo(type->Name, type);
    p.GetObj = [get](cls::TObject* o) { return get(static_cast<R*>(o)); };
    cls::PublishProperty(c, p);
  };
  settings("PreviewFormSettings", &TppPreviewFormSettings::StaticClass(),
           [](R* r) -> cls::TObject* { return r->PreviewFormSettings(); });
  settings("TextSearchSettings", &TppTextSearchSettings::StaticClass(),
           [](R* r) -> cls::TObject* { return r->TextSearchSettings(); });
}

// ---- TppReport: parameters ----

TppParameterList* TppReport::Parameters() {
  if (!parameters_) {
    auto* list = new TppParameterList(Owner());
    list->SetParent(this);
    if (parameters_ != list) list->Free();  // refused as a child: cannot happen
  }
  return parameters_;
}

void TppReport::InsertChild(int index, TppRelative* child) {
  if (auto* field = cls::ObjectAs<TppAutoSearchField>(child)) {
    TppBandedReport::InsertChild(index, field);
    if (field->Parent() == this && !autoSearchFields_.Contains(field)) {
      autoSearchFields_.Add(field);
      AddNotify(field);
      ResetJobState();
    }
    return;
  }
  if (auto* list = cls::ObjectAs<TppParameterList>(child); list && list != parameters_) {
    // A stream holds one list: a second is refused before anything changes.
    if (parameters_ && (HasState(cls::csReading) || list->HasState(cls::csReading)))
      throw cls::EReadError("A report holds one parameter list");
    TppParameterList* old = parameters_;
    parameters_ = nullptr;
    if (old) old->Free();
    TppBandedReport::InsertChild(index, list);
    if (list->Parent() == this) parameters_ = list;
    return;
  }
  TppBandedReport::InsertChild(index, child);
}

void TppReport::RemoveChild(TppRelative* child) {
  if (child && child == parameters_) parameters_ = nullptr;
  if (auto* field = cls::ObjectAs<TppAutoSearchField>(child); field && autoSearchFields_.Remove(field) >= 0) {
    RemoveNotify(field);
    TppBandedReport::RemoveChild(child);
    ResetJobState();
    return;
  }
  TppBandedReport::RemoveChild(child);
}

TppReport::TDetachedParameters TppReport::DetachParameters() {
  TDetachedParameters d{parameters_, parameters_ ? parameters_->Position() : -1};
  if (d.List) d.List->SetParent(nullptr);
  return d;
}

void TppReport::TransferParameters(TppReport* from, const std::function<void()>& transfer) {
  // Each report keeps its own list object; the parameters move.
  TDetachedParameters mine = DetachParameters();
  TDetachedParameters theirs = from->DetachParameters();
  auto reattach = [](TppReport* report, const TDetachedParameters& d, int position) {
    if (d.List) report->InsertChild(position < 0 ? report->ChildCount() : position, d.List);
  };
  try {
    transfer();
  } catch (...) {
    reattach(from, theirs, theirs.Position);
    reattach(this, mine, mine.Position);
    throw;
  }
  if (!mine.List && theirs.List && theirs.List->Count() > 0) mine.List = new TppParameterList(Owner());
  if (mine.List) {
    mine.List->Clear();
    while (theirs.List && theirs.List->Count() > 0) theirs.List->Items(0)->SetParent(mine.List);
  }
  reattach(from, theirs, theirs.Position);
  reattach(this, mine, theirs.List ? theirs.Position : mine.Position);
}

// ---- TppReport: auto search ----

void TppReport::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppBandedReport::Notify(communicator, operation);
  if (operation == ppopRemove && communicator)
    if (auto* field = cls::ObjectAs<TppAutoSearchField>(communicator)) autoSearchFields_.Remove(field);
}

void TppReport::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppBandedReport::EventNotify(sender, eventId, params);
  if (eventId == ciReportGetAutoSearchValues && OnGetAutoSearchValues) OnGetAutoSearchValues(this);
  else if (eventId == ciReportBeforeAutoSearchDialogCreate && BeforeAutoSearchDialogCreate)
    BeforeAutoSearchDialogCreate(this);
}

void TppReport::DoBeforeAutoSearchDialogCreate() {
  if (BeforeAutoSearchDialogCreate) BeforeAutoSearchDialogCreate(this);
  SendEventNotify(this, ciReportBeforeAutoSearchDialogCreate, nullptr);
}

void TppReport::DoAfterAutoSearchDialogCreate() {
  if (AfterAutoSearchDialogCreate) AfterAutoSearchDialogCreate(this);
  SendEventNotify(this, ciReportAfterAutoSearchDialogCreate, nullptr);
}

void TppReport::DoOnAutoSearchDialogClose() {
  if (OnAutoSearchDialogClose) OnAutoSearchDialogClose(this);
  SendEventNotify(this, ciReportAutoSearchDialogClose, nullptr);
}

void TppReport::DoOnGetAutoSearchValues() {
  if (OnGetAutoSearchValues) OnGetAutoSearchValues(this);
  SendEventNotify(this, ciReportGetAutoSearchValues, nullptr);
}

void TppReport::FreeAutoSearchDialog() {
  if (TppCustomAutoSearchDialog* dialog = autoSearchDialog_) {
    autoSearchDialog_ = nullptr;
    dialog->OnClose = nullptr;
    dialog->Free();
  }
}

bool TppReport::ExecuteAutoSearchDialog() {
  DoBeforeAutoSearchDialogCreate();
  if (!ShowAutoSearchDialog()) return true;
  cls::TClass c = FindFormClass(&TppCustomAutoSearchDialog::StaticClass());
  // Nothing to ask: the report prints.
  if (!c) return true;
  FreeAutoSearchDialog();
  auto* dialog = cls::ObjectAs<TppCustomAutoSearchDialog>(ui::NewFormOfClass(c, nullptr));
  if (!dialog) return true;
  autoSearchDialog_ = dialog;
  bool ok = true;
  try {
    dialog->SetReport(this);
    dialog->SetLanguageIndex(LanguageIndex());
    DoAfterAutoSearchDialogCreate();
    if (autoSearchFields_.Count() > 0 && autoSearchDialog_ == dialog) {
      std::vector<cls::TComponent*> fields(autoSearchFields_.begin(), autoSearchFields_.end());
      dialog->SetAutoSearchFields(fields);
      dialog->Init();
      dialog->OnClose = [this](cls::TObject*, ui::TCloseAction&) { DoOnAutoSearchDialogClose(); };
      ok = dialog->ShowModal() == ui::mrOk;
      if (ok) {
        ResetJobState();
        if (TppCustomEngine* engine = Engine(); engine && !Printing()) engine->ResetState();
        if (!prePrinting_) DoOnGetAutoSearchValues();
      }
    }
  } catch (...) {
    FreeAutoSearchDialog();
    throw;
  }
  if (!prePrinting_) FreeAutoSearchDialog();
  return ok;
}

TppAutoSearchField* TppReport::CreateAutoSearchCriteria(const std::string& dataPipelineName,
                                                        const std::string& fieldName, TppSearchOperatorType op,
                                                        const std::string& expression, bool mandatory) {
  cls::Owned<TppAutoSearchField> field(new TppAutoSearchField(this));
  field->SetName(GetUniqueName(this, ClassNameWithoutT(field.get()), field.get()));
  field->SetDataPipelineName(dataPipelineName);
  field->SetFieldName(fieldName);
  field->SetSearchOperator(op);
  field->SetSearchExpression(expression);
  field->SetMandatory(mandatory);
  field->SetParent(this);
  TppAutoSearchField* made = field.release();
  if (HasEventNotify(ciReportAutoSearchFieldChange)) {
    TraParamList params;
    params.AddParam("aAutoSearchField", daObject, false, false, {}, &TppAutoSearchField::StaticClass());
    params.SetParamAddress(0, &made);
    SendEventNotify(this, ciReportAutoSearchFieldChange, &params);
  }
  return made;
}

cls::TObject* TppReport::CopyAutoSearchFields() {
  if (AutoSearchFieldCount() == 0) return nullptr;
  cls::Owned<TppAutoSearchGroups> copy(new TppAutoSearchGroups(nullptr));
  copy->AddFields(AutoSearchFieldList());
  return copy.release();
}

void TppReport::TransferAutoSearchFields(cls::TObject* fields) {
  auto* groups = cls::ObjectAs<TppAutoSearchGroups>(fields);
  if (!groups) return;
  std::vector<TppAutoSearchField*> sources = groups->FieldList();
  if (AutoSearchFieldCount() == 0) {
    for (TppAutoSearchField* source : sources) {
      TppAutoSearchField* made =
          CreateAutoSearchCriteria(source->DataPipelineName(), source->FieldName(), source->SearchOperator(),
                                   source->SearchExpression(), source->Mandatory());
      made->Assign(source);
      made->AssignSearchValues(source);
    }
    return;
  }
  if (static_cast<size_t>(AutoSearchFieldCount()) != sources.size())
    throw EBackgroundPrintError(
        "TppAutoSearchRTTI.CopyAutoSearchFields: The report in the background thread has different autosearch "
        "fields than the request.");
  for (int i = 0; i < AutoSearchFieldCount(); ++i) AutoSearchFields(i)->AssignSearchValues(sources[static_cast<size_t>(i)]);
}

TppAutoSearchField* TppReport::AutoSearchCriteriaByName(const std::string& dataPipelineName,
                                                        const std::string& fieldName) const {
  for (TppAutoSearchField* f : autoSearchFields_)
    if (cls::SameText(f->DataPipelineName(), dataPipelineName) && cls::SameText(f->FieldName(), fieldName))
      return f;
  return nullptr;
}

TppAutoSearchField* TppReport::AutoSearchFields(int index) const {
  return index >= 0 && index < autoSearchFields_.Count() ? autoSearchFields_[index] : nullptr;
}

std::vector<TppAutoSearchField*> TppReport::AutoSearchFieldList() const {
  return std::vector<TppAutoSearchField*>(autoSearchFields_.begin(), autoSearchFields_.end());
}

std::string TppReport::AutoSearchDescription() {
  std::string text;
  for (int i = 0; i < autoSearchFields_.Count(); ++i) {
    TppAutoSearchField* f = autoSearchFields_[i];
    f->SetFirstCriterion(i == 0);
    if (i > 0) text += " ";
    text += f->Description();
  }
  return text;
}

void TppReport::GetAutoSearchDescriptionLines(cls::TStringList* lines) {
  if (!lines) return;
  for (int i = 0; i < autoSearchFields_.Count(); ++i) {
    TppAutoSearchField* f = autoSearchFields_[i];
    f->SetFirstCriterion(i == 0);
    if (std::string d = f->Description(); !d.empty()) lines->Add(d);
  }
}

// ---- scripting ----

namespace {

TraMember BandOfType(const std::string& name, TppBandType type) {
  return raObjectProperty<TppBandedReport, TppBand>(name,
                                                     [type](TppBandedReport* r) { return r->GetBand(type, 0); });
}

// GroupHeader (Index) and the like: the band of group Index in "Result".
TraMember GroupBand(const std::string& name, TppBandType type) {
  return raMethod(name, {raParam("Index", daInteger), raParam("Result", daObject, &TppBand::StaticClass())},
                  [type](cls::TObject* o, TraParamList* params, bool) {
                    int32_t index = 0;
                    if (!params || !params->GetParam("Index", index)) return false;
                    TppBand* band = static_cast<TppBandedReport*>(o)->GetBand(type, index);
                    return params->SetParamValue("Result", static_cast<cls::TObject*>(band));
                  });
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppBandedReportRTTI)

const TraMembers* TraTppBandedReportRTTI::Members() const {
  using T = TppBandType;
  static const TraMembers members(
      inherited::Members(),
      {BandOfType("Title", T::btTitle), BandOfType("TitleBand", T::btTitle), BandOfType("Header", T::btHeader),
       BandOfType("HeaderBand", T::btHeader), BandOfType("ColumnHeader", T::btColumnHeader),
       BandOfType("ColumnHeaderBand", T::btColumnHeader), BandOfType("Detail", T::btDetail),
       BandOfType("DetailBand", T::btDetail), BandOfType("ColumnFooter", T::btColumnFooter),
       BandOfType("ColumnFooterBand", T::btColumnFooter), BandOfType("Footer", T::btFooter),
       BandOfType("FooterBand", T::btFooter), BandOfType("Summary", T::btSummary),
       BandOfType("SummaryBand", T::btSummary), GroupBand("GroupHeader", T::btGroupHeader),
       GroupBand("GroupHeaderBand", T::btGroupHeader), GroupBand("GroupFooter", T::btGroupFooter),
       GroupBand("GroupFooterBand", T::btGroupFooter)});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppReportRTTI)

const TraMembers* TraTppReportRTTI::Members() const {
  using C = TppReport;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, TppCacheManager>("CacheManager", &C::CacheManager),
       raProperty<C, daBoolean>("CachePages", &C::CachePages, &C::SetCachePages),
       // Another list is copied into the report's own.
       raObjectProperty<C, TppParameterList>("Parameters", &C::Parameters, &C::SetParameters),
       raObjectProperty<C, TppCustomAutoSearchDialog>("AutoSearchDialog", &C::AutoSearchDialog),
       raIndexed(
           "AutoSearchFields", daObject, &TppAutoSearchField::StaticClass(),
           [](cls::TObject* o) { return static_cast<C*>(o)->AutoSearchFieldCount(); },
           [](cls::TObject* o, int i) {
             return TraValue(static_cast<cls::TObject*>(static_cast<C*>(o)->AutoSearchFields(i)));
           }),
       raProperty<C, daInteger>("AutoSearchFieldCount", [](C* r) { return r->AutoSearchFieldCount(); }),
       raProperty<C, daString>("AutoSearchDescription", [](C* r) { return r->AutoSearchDescription(); }),
       raMethod("AutoSearchCriteriaByName",
                {raParam("aDataPipelineName", daString), raParam("aFieldName", daString),
                 raParam("Result", daObject, &TppAutoSearchField::StaticClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string pipeline, field;
                  if (!list || !list->GetParam("aDataPipelineName", pipeline) || !list->GetParam("aFieldName", field))
                    return false;
                  cls::TObject* found = static_cast<C*>(o)->AutoSearchCriteriaByName(pipeline, field);
                  return list->SetParamValue("Result", found);
                }),
       raMethod("CreateAutoSearchCriteria",
                {raParam("aDataPipelineName", daString), raParam("aFieldName", daString),
                 raEnumParam("aOperator", "TppSearchOperatorType"), raParam("aExpression", daString),
                 raParam("aMandatory", daBoolean), raParam("Result", daObject, &TppAutoSearchField::StaticClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string pipeline, field, expression;
                  TraEnumValue op;
                  bool mandatory = false;
                  if (!list || !list->GetParam("aDataPipelineName", pipeline) ||
                      !list->GetParam("aFieldName", field) || !list->GetParam("aOperator", op) ||
                      !list->GetParam("aExpression", expression) || !list->GetParam("aMandatory", mandatory))
                    return false;
                  if (op.Ordinal < 0 || op.Ordinal >= cls::EnumCount<TppSearchOperatorType>()) return false;
                  cls::TObject* made = static_cast<C*>(o)->CreateAutoSearchCriteria(
                      pipeline, field, static_cast<TppSearchOperatorType>(op.Ordinal), expression, mandatory);
                  return list->SetParamValue("Result", made);
                }),
       raMethod("GetAutoSearchDescriptionLines", {raParam("aLines", daObject, &cls::TStringList::StaticClass())},
                [](cls::TObject* o, TraParamList* list, bool) {
                  cls::TObject* lines = nullptr;
                  if (!list || !list->GetParam("aLines", lines)) return false;
                  static_cast<C*>(o)->GetAutoSearchDescriptionLines(cls::ObjectAs<cls::TStringList>(lines));
                  return true;
                }),
       raMethod("GetAutoSearchDescriptionAsString", {raParam("Result", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  return list && list->SetParamValue("Result", static_cast<C*>(o)->AutoSearchDescription());
                }),
       raEvent("AfterAutoSearchDialogCreate", ciReportAfterAutoSearchDialogCreate),
       raEvent("BeforeAutoSearchDialogCreate", ciReportBeforeAutoSearchDialogCreate),
       raEvent("OnAutoSearchDialogClose", ciReportAutoSearchDialogClose),
       raEvent("OnGetAutoSearchValues", ciReportGetAutoSearchValues),
       raEvent("OnOutlineNodeCreate", ciReportOutlineNodeCreate,
               {raParam("Node", daObject, &TppOutlineNode::StaticClass()), raParam("Accept", daBoolean, nullptr, true)})});
  return &members;
}
