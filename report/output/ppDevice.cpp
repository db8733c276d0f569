#include "report/output/ppDevice.h"

#include <mutex>

#include "platform/classes/typinfo.h"
#include "report/model/ppResMgr.h"

// ---- TppPage ----

CLS_IMPLEMENT_COMPONENT(TppPage)

TppPage::TppPage(cls::TComponent* owner) : TppRelative(owner), printerSetup_(new TppPrinterSetup(nullptr)) {}

TppPage::~TppPage() {
  // A page on the stack: its commands leave it while it is still a page.
  SetStateFlag(cls::csDestroying, true);
  FreeChildren();
}

void TppPage::BeforeDestruction() {
  SetStateFlag(cls::csDestroying, true);
  FreeChildren();
  clickable_.Clear();
  lateValues_.Clear();
  inherited::BeforeDestruction();
}

void TppPage::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppPage>(source);
  if (!from) {
    inherited::Assign(source);
    return;
  }
  if (from == this) return;
  absolutePageNo_ = from->absolutePageNo_;
  absolutePageCount_ = from->absolutePageCount_;
  calculation_ = from->calculation_;
  color_ = from->color_;
  controlGroupBreakNo_ = from->controlGroupBreakNo_;
  final_ = from->final_;
  firstPage_ = from->firstPage_;
  languageIndex_ = from->languageIndex_;
  lastPage_ = from->lastPage_;
  pageNo_ = from->pageNo_;
  pageCount_ = from->pageCount_;
  passSetting_ = from->passSetting_;
  printDateTime_ = from->printDateTime_;
  documentName_ = from->documentName_;
  SetPrinterSetup(from->PrinterSetup());
  FreeChildren();
  for (int i = 0; i < from->GetDrawCommandCount(); ++i) {
    TppDrawCommand* original = from->GetDrawCommand(i);
    if (!original) continue;
    cls::TClass c = original->ClassType();
    if (!c->Create) throw EPagewrightError("TppPage.Assign: cannot copy a draw command of class " + c->Name);
    auto* copy = cls::ObjectAs<TppDrawCommand>(c->Create(this));
    if (!copy) throw EPagewrightError("TppPage.Assign: cannot copy a draw command of class " + c->Name);
    try {
      copy->Assign(original);
      copy->SetPage(this);
    } catch (...) {
      copy->Free();
      throw;
    }
  }
}

void TppPage::Loaded() {
  inherited::Loaded();
  clickable_.Clear();
  lateValues_.Clear();
  for (int i = 0; i < GetDrawCommandCount(); ++i) {
    TppDrawCommand* command = GetDrawCommand(i);
    if (!command) continue;
    if (command->NeedsPageValues()) lateValues_.Add(command);
    if (command->Clickable()) clickable_.Add(command);
  }
}

void TppPage::RemoveChild(TppRelative* child) {
  inherited::RemoveChild(child);
  auto* command = cls::ObjectAs<TppDrawCommand>(child);
  if (!command) return;
  clickable_.Remove(command);
  lateValues_.Remove(command);
  if (command->page_ == this) command->page_ = nullptr;
}

void TppPage::Clear() {
  FreeChildren();
  absolutePageNo_ = 0;
  absolutePageCount_ = 0;
  calculation_ = false;
  controlGroupBreakNo_ = 0;
  final_ = false;
  firstPage_ = false;
  languageIndex_ = 0;
  lastPage_ = false;
  pageNo_ = 0;
  pageCount_ = 0;
  documentName_.clear();
}

namespace {

bool IsOutlineCommand(const cls::TObject* o) {
  for (cls::TClass c = o->ClassType(); c; c = c->Parent)
    if (c->Name == "TppOutlineDrawCommand") return true;
  return false;
}

}  // namespace

void TppPage::AddDrawCommand(TppDrawCommand* command) {
  if (!command || command->Parent() == this) return;
  if (IsOutlineCommand(command) && GetOutlineDrawCommand())
    throw EOutlineError("TppPage.AddDrawCommand: Cannot add more than one draw outline command per page.");
  AddChild(command);
  if (command->Parent() != this) return;
  if (command->NeedsPageValues()) lateValues_.Add(command);
  if (command->Clickable()) clickable_.Add(command);
  command->page_ = this;
  command->ChangeOwner(this);
}

void TppPage::RemoveDrawCommand(TppDrawCommand* command) {
  if (!command) return;
  RemoveChild(command);
  if (command->Owner() == this && !HasState(cls::csDestroying)) RemoveComponent(command);
}

TppDrawCommand* TppPage::GetDrawCommand(int index) const { return cls::ObjectAs<TppDrawCommand>(GetChild(index)); }

TppDrawCommand* TppPage::GetClickableCommand(int index) const {
  return index >= 0 && index < clickable_.Count() ? clickable_[index] : nullptr;
}

TppDrawCommand* TppPage::FindDrawCommandOfClass(cls::TClass c) const {
  for (int i = 0; i < ChildCount(); ++i)
    if (GetChild(i)->InheritsFrom(c)) return GetDrawCommand(i);
  return nullptr;
}

TppDrawCommand* TppPage::GetOutlineDrawCommand() const {
  for (int i = 0; i < ChildCount(); ++i)
    if (IsOutlineCommand(GetChild(i))) return GetDrawCommand(i);
  return nullptr;
}

std::string TppPage::GetPageNoText() const { return LoadLanguageString(18) + " " + std::to_string(absolutePageNo_); }

std::string TppPage::GetPageNoOfCountText() const {
  return LoadLanguageString(18) + " " + std::to_string(absolutePageNo_) + " " + LoadLanguageString(16) + " " +
         std::to_string(absolutePageCount_);
}

void TppPage::UpdatePageValues(TppDevice* device) {
  // A copy: a redraw may not change the list under the walk.
  std::vector<TppDrawCommand*> commands(lateValues_.begin(), lateValues_.end());
  for (TppDrawCommand* c : commands) {
    if (!lateValues_.Contains(c)) continue;
    if (c->UpdatePageValues() && device) device->RedrawCommand(c);
  }
}

void TppPage::SetPrinterSetup(TppPrinterSetup* setup) {
  if (setup && setup != printerSetup_.get()) printerSetup_->Assign(setup);
}

TppPageDef* TppPage::PageDef() const { return printerSetup_->PageDef(); }

// ---- TppDrawCommand ----

CLS_IMPLEMENT_COMPONENT(TppDrawCommand)

TppDrawCommand::TppDrawCommand(cls::TComponent* owner) : TppRelative(owner) {}

void TppDrawCommand::BeforeDestruction() {
  SetPage(nullptr);
  inherited::BeforeDestruction();
}

void TppDrawCommand::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppDrawCommand>(source);
  if (!from) {
    inherited::Assign(source);
    return;
  }
  if (from == this) return;
  SetBand(from->band_);
  SetComponent(from->component_);
  pageRect_ = from->pageRect_;
  clickable_ = from->clickable_;
  dataType_ = from->dataType_;
  drawRect_ = from->drawRect_;
  commandName_ = from->commandName_;
  height_ = from->height_;
  left_ = from->left_;
  OnClick = from->OnClick;
  SetTag(from->Tag());
  top_ = from->top_;
  width_ = from->width_;
}

void TppDrawCommand::Link(cls::TComponent*& field, cls::TComponent* value) {
  if (field == value) return;
  cls::TComponent* old = field;
  field = value;
  // Keep the free notice while the other reference still needs it.
  if (old && old != band_ && old != component_) RemoveFreeNotification(old);
  if (value) FreeNotification(value);
}

void TppDrawCommand::SetBand(cls::TComponent* band) { Link(band_, band); }

void TppDrawCommand::SetComponent(cls::TComponent* component) { Link(component_, component); }

void TppDrawCommand::SetParentComponent(cls::TComponent* parent) {
  if (auto* page = cls::ObjectAs<TppPage>(parent)) SetPage(page);
  else inherited::SetParentComponent(parent);
}

void TppDrawCommand::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op != cls::opRemove || !c) return;
  if (c == component_) {
    component_ = nullptr;
    OnClick.Clear();
  }
  if (c == band_) band_ = nullptr;
}

bool TppDrawCommand::Draw(TppDevice* device) { return device ? device->DrawCommand(this) : false; }

bool TppDrawCommand::IsSameAs(TppDrawCommand* other) {
  return other && other->ClassType() == ClassType() && left_ == other->left_ && height_ == other->height_ &&
         top_ == other->top_ && width_ == other->width_;
}

void TppDrawCommand::DoClick() {
  if (OnClick) OnClick(this);
}

void TppDrawCommand::SetPage(TppPage* page) {
  if (page == page_) return;
  if (page_) page_->RemoveDrawCommand(this);
  page_ = nullptr;
  if (page) page->AddDrawCommand(this);
}

// ---- TppPageRequest ----

CLS_IMPLEMENT_CLASS(TppPageRequest)

TppPageRequest::TppPageRequest() = default;

void TppPageRequest::Assign(cls::TPersistent* source) {
  auto* from = cls::ObjectAs<TppPageRequest>(source);
  if (!from || from == this) return;
  pageList_.Assign(&from->pageList_);
  pageRequested_ = from->pageRequested_;
  pageSetting_ = from->pageSetting_;
  pageRange_ = from->pageRange_;
}

void TppPageRequest::Clear() {
  pageList_.Clear();
  pageRequested_ = 1;
  pageSetting_ = TppPageSettingType::psAll;
  pageRange_ = prAll;
}

void TppPageRequest::SetPageList(const cls::TStringList* list) {
  if (list && list != &pageList_) pageList_.Assign(const_cast<cls::TStringList*>(list));
}

bool TppPageRequest::IsPageRequested(TppPage* page) {
  if (!page) return false;
  bool requested = false;
  switch (pageSetting_) {
    case TppPageSettingType::psAll:
      requested = true;
      break;
    case TppPageSettingType::psPageList:
      requested = pageList_.IndexOf(std::to_string(page->AbsolutePageNo())) >= 0;
      break;
    case TppPageSettingType::psSinglePage:
      if (page->LastPage() && page->AbsolutePageCount() < pageRequested_)
        pageRequested_ = page->AbsolutePageCount();
      else if (pageRequested_ < 1 && page->AbsolutePageNo() == 1)
        pageRequested_ = 1;
      requested = page->AbsolutePageNo() == pageRequested_;
      break;
    case TppPageSettingType::psFirstPage:
      requested = page->FirstPage();
      break;
    case TppPageSettingType::psLastPage:
      requested = page->LastPage();
      break;
    case TppPageSettingType::psPageRange:
      requested = false;
      break;
  }
  if (pageRange_ == prOddPages) requested = requested && page->AbsolutePageNo() % 2 != 0;
  if (pageRange_ == prEvenPages) requested = requested && page->AbsolutePageNo() % 2 == 0;
  return requested;
}

bool TppPageRequest::IsRequestComplete(TppPage* page) {
  if (!page) return false;
  switch (pageSetting_) {
    case TppPageSettingType::psAll:
    case TppPageSettingType::psLastPage:
      return page->LastPage();
    case TppPageSettingType::psPageList: {
      int i = pageList_.IndexOf(std::to_string(page->AbsolutePageNo()));
      if (i >= 0) pageList_.Delete(i);
      return pageList_.Count() == 0;
    }
    case TppPageSettingType::psSinglePage:
      return page->AbsolutePageNo() == pageRequested_;
    case TppPageSettingType::psFirstPage:
      return page->FirstPage();
    case TppPageSettingType::psPageRange:
      return false;
  }
  return false;
}

void TppPageRequest::AddPageEntry(int32_t pageNo) {
  std::string key = std::to_string(pageNo);
  if (pageList_.IndexOf(key) < 0) pageList_.Add(key);
}

void TppPageRequest::MergeRequest(const TppPageRequest* other) {
  if (!other || other == this) return;
  using enum TppPageSettingType;
  if (other->pageSetting_ != psSinglePage && other->pageSetting_ != psFirstPage) {
    pageSetting_ = psAll;
    return;
  }
  // A first-page request wants page 1, whatever its PageRequested says.
  auto wanted = [](const TppPageRequest* r) { return r->pageSetting_ == psFirstPage ? 1 : r->pageRequested_; };
  // Neither the last page nor a range tells which pages they hold.
  if (pageSetting_ == psLastPage || pageSetting_ == psPageRange) {
    pageSetting_ = psAll;
    return;
  }
  bool covered = (pageSetting_ != psSinglePage || pageRequested_ == wanted(other)) &&
                 (pageSetting_ != psFirstPage || wanted(other) == 1);
  if (covered) {
    if (pageSetting_ == psPageList) AddPageEntry(wanted(other));
    return;
  }
  int32_t own = wanted(this);
  pageSetting_ = psPageList;
  pageList_.Clear();
  AddPageEntry(own);
  AddPageEntry(wanted(other));
}

// ---- registration ----

namespace {

template <class C>
cls::TPropInfo BoolProperty(const std::string& name, bool (C::*get)() const, void (C::*set)(bool),
                            bool withDefault) {
  cls::TPropInfo p = cls::OrdProperty(name, cls::TypeInfoBoolean(), get, set);
  p.HasDefault = withDefault;
  return p;
}

template <class C>
cls::TPropInfo IntProperty(const std::string& name, int32_t (C::*get)() const, void (C::*set)(int32_t)) {
  return cls::OrdProperty(name, cls::TypeInfoInteger(), get, set);
}

}  // namespace

void TppPage::RegisterProperties() {
  using P = TppPage;
  auto& c = P::StaticClass();
  cls::PublishProperty(c, IntProperty("AbsolutePageNo", &P::AbsolutePageNo, &P::SetAbsolutePageNo));
  cls::PublishProperty(c, IntProperty("AbsolutePageCount", &P::AbsolutePageCount, &P::SetAbsolutePageCount));
  cls::PublishProperty(c, BoolProperty("Calculation", &P::Calculation, &P::SetCalculation, true));
  cls::TPropInfo color = IntProperty("Color", &P::Color, &P::SetColor);
  color.HasDefault = true;
  color.Default = 0xFFFFFF;
  cls::PublishProperty(c, color);
  cls::PublishProperty(c, IntProperty("ControlGroupBreakNo", &P::ControlGroupBreakNo, &P::SetControlGroupBreakNo));
  cls::PublishProperty(c, cls::StrProperty<P>("DocumentName", &P::DocumentName, &P::SetDocumentName));
  cls::PublishProperty(c, BoolProperty("Final", &P::Final, &P::SetFinal, true));
  cls::PublishProperty(c, BoolProperty("FirstPage", &P::FirstPage, &P::SetFirstPage, true));
  cls::PublishProperty(c, IntProperty("LanguageIndex", &P::LanguageIndex, &P::SetLanguageIndex));
  cls::PublishProperty(c, BoolProperty("LastPage", &P::LastPage, &P::SetLastPage, true));
  cls::PublishProperty(c, IntProperty("PageNo", &P::PageNo, &P::SetPageNo));
  cls::PublishProperty(c, IntProperty("PageCount", &P::PageCount, &P::SetPageCount));
  cls::TPropInfo pass = cls::OrdProperty("PassSetting", ppEnumTypeInfo<TppPassSettingType>(), &P::PassSetting,
                                         &P::SetPassSetting);
  pass.HasDefault = true;
  cls::PublishProperty(c, pass);
  cls::TPropInfo printed = cls::FloatProperty("PrintDateTime", &P::PrintDateTime, &P::SetPrintDateTime);
  printed.Type = cls::TypeInfoDateTime();
  cls::PublishProperty(c, printed);
  cls::TPropInfo setup;
  setup.Name = "PrinterSetup";
  setup.Type = cls::MakeClassTypeInfo("TppPrinterSetup", &TppPrinterSetup::StaticClass());
  setup.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<P*>(o)->PrinterSetup(); };
  setup.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<P*>(o)->SetPrinterSetup(cls::ObjectAs<TppPrinterSetup>(v));
  };
  cls::PublishProperty(c, setup);
  cls::TPropInfo pageDef;
  pageDef.Name = "PageDef";
  pageDef.Type = cls::MakeClassTypeInfo("TppPageDef", &TppPageDef::StaticClass());
  pageDef.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<P*>(o)->PageDef(); };
  cls::PublishProperty(c, pageDef);
}

void TppDrawCommand::RegisterProperties() {
  using D = TppDrawCommand;
  auto& c = D::StaticClass();
  cls::PublishProperty(c, IntProperty("Left", &D::Left, &D::SetLeft));
  cls::PublishProperty(c, IntProperty("Top", &D::Top, &D::SetTop));
  cls::PublishProperty(c, IntProperty("Width", &D::Width, &D::SetWidth));
  cls::PublishProperty(c, IntProperty("Height", &D::Height, &D::SetHeight));
  cls::PublishProperty(c, BoolProperty("Clickable", &D::Clickable, &D::SetClickable, true));
  cls::TPropInfo type = cls::OrdProperty("DataType", ppEnumTypeInfo<TppDataType>(), &D::DataType, &D::SetDataType);
  type.HasDefault = true;
  type.Default = dtString;
  cls::PublishProperty(c, type);
}

void TppPageRequest::RegisterProperties() {
  using R = TppPageRequest;
  auto& c = R::StaticClass();
  cls::TPropInfo list;
  list.Name = "PageList";
  list.Type = cls::MakeClassTypeInfo("TStrings", &cls::TStringList::StaticClass());
  list.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<R*>(o)->PageList(); };
  list.SetObj = [](cls::TObject* o, cls::TObject* v) {
    static_cast<R*>(o)->SetPageList(cls::ObjectAs<cls::TStringList>(v));
  };
  cls::PublishProperty(c, list);
  cls::TPropInfo requested = IntProperty("PageRequested", &R::PageRequested, &R::SetPageRequested);
  requested.HasDefault = true;
  requested.Default = 1;
  cls::PublishProperty(c, requested);
  cls::TPropInfo setting =
      cls::OrdProperty("PageSetting", ppEnumTypeInfo<TppPageSettingType>(), &R::PageSetting, &R::SetPageSetting);
  setting.HasDefault = true;
  cls::PublishProperty(c, setting);
  cls::TPropInfo range = cls::OrdProperty("PageRange", ppEnumTypeInfo<TppPageRangeType>(), &R::PageRange, &R::SetPageRange);
  range.HasDefault = true;
  cls::PublishProperty(c, range);
}

void ppRegisterDeviceUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    cls::RegisterClass(&TppPage::StaticClass());
    cls::RegisterClass(&TppPageRequest::StaticClass());
    TppPage::RegisterProperties();
    TppDrawCommand::RegisterProperties();
    TppPageRequest::RegisterProperties();
  });
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppPageRTTI)

const TraMembers* TraTppPageRTTI::Members() const {
  static const TraMembers members(
      inherited::Members(),
      {raMethod("RemoveDrawCommand", {raParam("aDrawCommand", daObject, &TppDrawCommand::StaticClass())},
                [](cls::TObject* o, TraParamList* params, bool) {
                  cls::TObject* command = nullptr;
                  if (!params || !params->GetParam("aDrawCommand", command) || !command) return false;
                  static_cast<TppPage*>(o)->RemoveDrawCommand(static_cast<TppDrawCommand*>(command));
                  return true;
                })});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppDrawCommandRTTI)

const TraMembers* TraTppDrawCommandRTTI::Members() const {
  using C = TppDrawCommand;
  static const TraMembers members(inherited::Members(),
                                  {raProperty<C, daBoolean>("Clickable", &C::Clickable),
                                   raObjectProperty<C, TppPage>("Page", &C::Page, &C::SetPage),
                                   raProperty<C, daBoolean>("RedrawPage", &C::RedrawPage, &C::SetRedrawPage)});
  return &members;
}

void ppSendPageEvent(TppCommunicator* sender, int eventId, TppPage* page) {
  if (!sender->HasEventNotify(eventId)) return;
  TraParamList params;
  params.AddParam("Page", daObject, false, false, {}, &TppPage::StaticClass());
  params.SetParamAddress(0, &page);
  sender->SendEventNotify(sender, eventId, &params);
}
