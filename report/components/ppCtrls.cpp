#include "report/components/ppCtrls.h"

#include <algorithm>
#include <cstring>

#include "platform/gdi/canvas.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppStrtch.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPlainText.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCustomComponent)
CLS_IMPLEMENT_CLASS(TppCustomText)
CLS_IMPLEMENT_COMPONENT(TppLabel)

// ---------------------------------------------------------------- TppCustomComponent

TppCustomComponent::TppCustomComponent(cls::TComponent* owner) : TppComponent(owner) { SetCacheRecordSize(1); }

void TppCustomComponent::Generate() {
  auto* region = cls::ObjectAs<TppStretchable>(Region());
  bool parentOverFlow = region ? region->OverFlow() : Band() && Band()->GetOverFlow();
  if (ReprintOnOverFlow() && parentOverFlow) SetDrawComponent(Visible());
  bool shownBefore = Visible() || DrawComponent();
  DoOnPrint();
  if (!shownBefore && Visible()) SetDrawComponent(true);
  if (DrawComponent() && Visible()) {
    PlaceOnPage();
    if (!OutOfSpace()) SetGenerationComplete(true);
  } else {
    SetGenerationComplete(true);
  }
}

void TppCustomComponent::PlaceOnPage() {
  TppCustomBand* band = Band();
  if (!band) return;
  auto* region = cls::ObjectAs<TppStretchable>(Region());
  int32_t left = band->GetPrintRect().Left + mmLeft();
  int32_t top, parentSpace, parentHeight, current, bottom;
  bool partial, canStretch;
  int32_t adjustment;
  TppStretchable* last;
  if (region) {
    top = region->PrintRect().Top + (mmTop() - region->mmTop());
    partial = region->PartialGeneration();
    adjustment = region->PartialAdjustment();
    parentSpace = region->SpaceUsed();
    parentHeight = region->mmHeight();
    last = region->LastStretchable();
    current = region->CurrentPosition();
    bottom = region->PageBottom();
    canStretch = region->Stretch() && band->PrintHeight() == phDynamic;
  } else {
    top = band->GetPrintRect().Top + mmTop();
    partial = band->GetPartialGeneration();
    adjustment = band->GetPartialAdjustment();
    parentSpace = band->GetSpaceUsed();
    parentHeight = band->mmHeight();
    last = band->GetMaxStretchable();
    current = band->GetCurrentPosition();
    bottom = band->GetPageBottom();
    canStretch = band->PrintHeight() == phDynamic;
  }
  if (partial) top -= adjustment;
  if (ShiftWithParent() && parentSpace > 0) {
    // The design gap below the lowest stretchable stays the same.
    if (last) top = last->PrintRect().Top + last->SpaceUsed() + (mmTop() - (last->mmTop() + last->mmHeight()));
    else top += parentSpace - parentHeight;
  }
  int32_t height = mmHeight();
  if (StretchWithParent()) {
    if (top < current) height = current - top;
    if (top < bottom && int64_t{top} + height > bottom) height = bottom - top;
  }
  if (canStretch && int64_t{top} + height > int64_t{bottom} + 1) {
    SetOutOfSpace(true);
    return;
  }
  SetPrintRect(MakeRect(left, top, left + mmWidth(), top + height));
  SetSpaceUsed(height);
  DecidePrinting();
  SetPrintRect(MakeRect(left, top, left + mmWidth(), top + SpaceUsed()));
}

void TppCustomComponent::DefineProperties(cls::TFiler* filer) {
  TppComponent::DefineProperties(filer);
  filer->DefineProperty("ShiftWithBand", [this](cls::TReader& r) { SetShiftWithParent(r.ReadBoolean()); }, nullptr,
                        false);
  filer->DefineProperty("StretchWithBand", [this](cls::TReader& r) { SetStretchWithParent(r.ReadBoolean()); },
                        nullptr, false);
}

void TppCustomComponent::SaveToCache(int32_t pageIndex) {
  uint8_t record = DrawComponent();
  WriteCacheRecord(pageIndex, &record);
}

void TppCustomComponent::RestoreFromCache(int32_t pageIndex) {
  uint8_t record = DrawComponent();
  ReadCacheRecord(pageIndex, &record);
  SetDrawComponent(record != 0);
}

// ---------------------------------------------------------------- TppCustomText

TppCustomText::TppCustomText(cls::TComponent* owner) : TppCustomComponent(owner) {
  SetAutoSize(true);  // no sizing while constructing
  SetColor(gdi::clWhite);
  SetDrawCommandClass(&TppDrawText::StaticClass());
  constructing_ = false;
}

void TppCustomText::BeforeDestruction() {
  std::vector<TppGroup*> groups;
  groups.swap(resetGroups_);
  for (TppGroup* g : groups) g->SetBreakName(std::string());
  LeaveSaveList();
  TppCustomComponent::BeforeDestruction();
}

bool TppCustomText::RegisterResetGroup(TppGroup* group) {
  if (group && std::find(resetGroups_.begin(), resetGroups_.end(), group) == resetGroups_.end())
    resetGroups_.push_back(group);
  return group != nullptr;
}

void TppCustomText::UnregisterResetGroup(TppGroup* group) {
  resetGroups_.erase(std::remove(resetGroups_.begin(), resetGroups_.end(), group), resetGroups_.end());
}

bool TppCustomText::HasVisibleContent() const { return !Transparent() || Font()->Color() != gdi::clWhite; }

// ---- setters ----

void TppCustomText::SetCharWrap(bool value) {
  if (IsPrinting()) return;
  charWrap_ = value;
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

void TppCustomText::SetSaveLength(int32_t value) {
  if (value == saveLength_) return;
  saveLength_ = value;
  Changed();
}

std::vector<TppComponent*>* TppCustomText::BandSaveList() const { return Band() ? &Band()->SaveList() : nullptr; }

void TppCustomText::EnterSaveList() {
  auto* list = BandSaveList();
  if (list && std::find(list->begin(), list->end(), this) == list->end()) list->push_back(this);
}

void TppCustomText::LeaveSaveList() {
  if (auto* list = BandSaveList()) list->erase(std::remove(list->begin(), list->end(), this), list->end());
}

void TppCustomText::SetSave(bool value) {
  if (value == save_) return;
  save_ = value;
  if (HasState(cls::csReading)) return;
  if (value) EnterSaveList();
  else LeaveSaveList();
  InvalidateDesign();
  Changed();
}

int16_t TppCustomText::SaveOrder() const {
  auto* list = BandSaveList();
  if (!list) return -1;
  auto it = std::find(list->begin(), list->end(), this);
  return it == list->end() ? -1 : static_cast<int16_t>(it - list->begin());
}

void TppCustomText::SetSaveOrder(int16_t value) {
  if (HasState(cls::csReading)) {
    streamedSaveOrder_ = value;
    return;
  }
  MoveToSaveOrder(value);
  Changed();
}

void TppCustomText::MoveToSaveOrder(int order) {
  auto* list = BandSaveList();
  if (!save_ || !list) return;
  if (order < 0) order = 0;
  int n = static_cast<int>(list->size());
  if (n > 0 && order >= n) order = n - 1;
  int current = SaveOrder();
  if (order == current) return;
  if (current >= 0) list->erase(list->begin() + current);
  order = std::min(order, static_cast<int>(list->size()));
  list->insert(list->begin() + order, this);
}

void TppCustomText::Loaded() {
  TppCustomComponent::Loaded();
  if (!save_ || !Band()) return;
  // Components come in any order: each takes its place among those
  // already back with a stored order.
  auto* list = BandSaveList();
  LeaveSaveList();
  auto at = list->begin();
  if (streamedSaveOrder_ >= 0) {
    while (at != list->end()) {
      auto* other = cls::ObjectAs<TppCustomText>(*at);
      if (other && other->streamedSaveOrder_ > streamedSaveOrder_) break;
      ++at;
    }
  } else {
    at = list->end();
  }
  list->insert(at, this);
}

void TppCustomText::SetBand(TppCustomBand* band) {
  LeaveSaveList();
  TppCustomComponent::SetBand(band);
  if (save_ && !HasState(cls::csReading)) EnterSaveList();
}

void TppCustomText::SetName(const std::string& name) {
  std::string old = Name();
  TppCustomComponent::SetName(name);
  if (HasState(cls::csLoading) || HasState(cls::csReading)) return;
  for (TppGroup* g : resetGroups_)
    if (g->BreakName() == old) g->SetBreakName(Name());
}

void TppCustomText::SetDisplayFormat(const std::string& value) {
  if (value == displayFormat_) return;
  displayFormat_ = value;
  InvalidateDesignControl();
}

void TppCustomText::SetFont(const gdi::TFont* value) {
  TppCustomComponent::SetFont(value);
  AdjustBounds();
}

void TppCustomText::SetTextAlignment(TppTextAlignment value) {
  if (value == taFullJustified) return;
  TppCustomComponent::SetTextAlignment(value);
}

// ---- text ----

std::string TppCustomText::GetDisplayText() {
  std::string text;
  TppCustomComponent::GetText(text);
  return text;
}

void TppCustomText::GetText(std::string& text) {
  text = GetDisplayText();
  if (HasState(cls::csLoading) || HasState(cls::csReading)) return;
  if ((StateFlags() & pstDesignerOpen) && !IsPrinting()) return;
  if (OnGetText) OnGetText(this, text);
  if (!HasEventNotify(ciComponentGetText)) return;
  cls::Owned<TraParamList> params(raGetParams(this, "OnGetText"));
  std::string value = text;
  if (params) params->SetParamAddress("Text", &value);
  SendEventNotify(this, ciComponentGetText, params.get());
  if (params) params->GetParam("Text", text);
}

void TppCustomText::GetDescription(std::string& text) { text = UserName() + ": " + Caption(); }

// ---- sizing ----

void TppCustomText::AdjustBounds() {
  if (constructing_ || HasState(cls::csReading) || IsPrinting()) return;
  if (!AutoSize() && WordWrap()) return;
  TppPrinter* printer = GetPrinter();
  if (printer && !printer->OpenPrinterDC()) printer = nullptr;
  const TppUnitType units = printer ? utPrinterPixels : utScreenPixels;
  gdi::TBitmap screen;
  gdi::TCanvas* canvas;
  if (printer) {
    canvas = printer->GetCanvas();
  } else {
    screen.SetSize(1, 1);
    canvas = &screen.Canvas();
  }
  win::RECT rect{0, 0, static_cast<int>(ConvertFromMMThousandths(mmWidth(), units, ppHorizontal, printer)),
                 static_cast<int>(ConvertFromMMThousandths(mmHeight(), units, ppVertical, printer))};
  canvas->Font.Assign(*Font());
  canvas->RequireState();
  unsigned flags = win::DT_CALCRECT | win::DT_EXPANDTABS | win::DT_NOPREFIX | win::DT_EXTERNALLEADING;
  switch (Alignment()) {
    case cls::taLeftJustify: flags |= win::DT_LEFT; break;
    case cls::taRightJustify: flags |= win::DT_RIGHT; break;
    case cls::taCenter: flags |= win::DT_CENTER; break;
  }
  if (WordWrap()) flags |= win::DT_WORDBREAK;
  std::string caption = Caption();
  win::DrawTextA(canvas->Handle(), caption.c_str(), -1, &rect, flags);
  int32_t width = ConvertToMMThousandths(static_cast<float>(rect.right - rect.left), units, ppHorizontal, printer);
  int32_t height = ConvertToMMThousandths(static_cast<float>(rect.bottom - rect.top), units, ppVertical, printer);
  if (!AutoSize()) {
    SetBounds(mmLeft(), mmTop(), mmWidth(), height);
    return;
  }
  int32_t delta = mmWidth() - width;
  int32_t left = mmLeft();
  switch (Alignment()) {
    case cls::taLeftJustify: break;
    case cls::taRightJustify: left += delta; break;
    case cls::taCenter: left += delta / 2; break;  // truncated toward zero
    default: throw EDesignError("TppCustomText.AdjustBounds: Unknown alignment type.");
  }
  SetBounds(left, mmTop(), width, height);
}

// ---- the draw command ----

void TppCustomText::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomComponent::PropertiesToDrawCommand(command);
  auto* text = cls::ObjectAs<TppDrawText>(command);
  if (!text) return;
  text->SetAlignment(Alignment());
  text->SetAutoSize(AutoSize());
  text->SetColor(Color());
  text->SetForceJustifyLastLine(ForceJustifyLastLine());
  const TppRect& r = PrintRect();
  text->SetLeft(r.Left);
  text->SetTop(r.Top);
  text->SetWidth(r.Right - r.Left);
  text->SetHeight(r.Bottom - r.Top);
  std::string value;
  GetText(value);
  text->SetText(value);
  text->SetTextAlignment(TextAlignment());
  text->SetTransparent(Transparent());
  text->SetWordWrap(WordWrap());
  text->SetFont(Font());
  if (WordWrap()) {
    int charPos = 0;
    win::RECT rect{r.Left, r.Top, r.Right, r.Bottom};
    TppPlainText::WrapText(value, rect, text->WrappedText(), charPos, GetPrinter(), nullptr, 0, charWrap_, *Font(),
                           text->AutoSize(), TextAlignment());
  }
  text->SetBandSave(Band() && Band()->Save());
  TppCustomReport* report = GetReport();
  TppCustomEngine* engine = report ? report->Engine() : nullptr;
  text->SetBandSaveNo(engine ? engine->ReportBandCount() : 0);
  text->SetComponent(this);
  text->SetComponentSave(save_);
  text->SetComponentSaveNo(SaveOrder());
  text->SetSaveLength(saveLength_);
}

// ---- streams ----

void TppCustomText::DefineProperties(cls::TFiler* filer) {
  TppCustomComponent::DefineProperties(filer);
  filer->DefineProperty("OnSave", [this](cls::TReader& r) { legacyOnSave_ = r.ReadIdent(); }, nullptr, false);
}

void TppCustomText::Convert(int64_t version) {
  TppCustomComponent::Convert(version);
  if (version >= 3100 || legacyOnSave_.empty()) return;
  if (TppCustomReport* report = GetReport()) report->AssignOnSaveTextMethod(legacyOnSave_);
}

// ---------------------------------------------------------------- TppLabel

TppLabel::TppLabel(cls::TComponent* owner) : TppCustomText(owner) { SetDefaultPropName("Caption"); }

void TppLabel::SetUserName(const std::string& name) {
  std::string old = UserName();
  TppCustomText::SetUserName(name);
  if (UserName() == old || HasState(cls::csReading)) return;
  if (HasState(cls::csLoading) && !(StateFlags() & pstRenameWhileReading)) return;
  if (Caption() == old) SetCaption(UserName());
}

// ---------------------------------------------------------------- registration

namespace {

using T = TppCustomText;

cls::TPropInfo Bool(const char* name, bool (T::*get)() const, void (T::*set)(bool)) {
  cls::TPropInfo p = cls::OrdProperty<T, bool>(name, cls::TypeInfoBoolean(), get, set);
  p.HasDefault = true;
  return p;
}

}  // namespace

cls::TPropInfo ppUserNameProperty() {
  return cls::StrProperty<TppCommunicator>("UserName", &TppCommunicator::UserName, &TppCommunicator::SetUserName);
}

cls::TPropInfo ppAutoSizeProperty(bool defaultValue) {
  cls::TPropInfo p = cls::OrdProperty<TppPrintable, bool>("AutoSize", cls::TypeInfoBoolean(), &TppPrintable::AutoSize,
                                                          &TppPrintable::SetAutoSize);
  p.HasDefault = true;
  p.Default = defaultValue ? 1 : 0;
  return p;
}

void ppRegisterCtrlsUnit() {
  auto& text = T::StaticClass();
  cls::PublishProperty(text, Bool("CharWrap", &T::CharWrap, &T::SetCharWrap));
  cls::PublishProperty(text, cls::MethodProperty<T>("OnGetText", &T::OnGetText));
  TppPrintable::PublishProperties(text, {"ReprintOnOverFlow"});
  cls::PublishProperty(text, Bool("Save", &T::Save, &T::SetSave));
  cls::TPropInfo length = cls::OrdProperty<T, int32_t>("SaveLength", cls::TypeInfoInteger(), &T::SaveLength,
                                                       &T::SetSaveLength);
  length.HasDefault = true;
  cls::PublishProperty(text, length);
  cls::TPropInfo order =
      cls::OrdProperty<T, int16_t>("SaveOrder", cls::TypeInfoInteger(), &T::SaveOrder, &T::SetSaveOrder);
  order.HasDefault = true;
  order.Default = -1;
  cls::PublishProperty(text, order);
  TppPrintable::PublishProperties(text, {"ShiftWithParent"});
  cls::PublishProperty(text, ppUserNameProperty());

  auto& label = TppLabel::StaticClass();
  cls::PublishProperty(label, ppAutoSizeProperty(true));
  TppPrintable::PublishProperties(label, {"Caption", "Color", "Font", "OnDrawCommandClick", "OnDrawCommandCreate",
                                          "TextAlignment", "Transparent", "Visible", "WordWrap", "Height", "Left",
                                          "Top", "Width"});
}

// ---- scripting ----

TraMember ppColorMember(const std::string& name, gdi::TColor (TppPrintable::*get)() const,
                        void (TppPrintable::*set)(gdi::TColor)) {
  return raProperty<TppPrintable, daInteger>(
      name, [get](TppPrintable* p) { return static_cast<int32_t>((p->*get)()); },
      [set](TppPrintable* p, int32_t v) { (p->*set)(static_cast<gdi::TColor>(v)); });
}

RA_IMPLEMENT_RTTI(TraTppCustomTextRTTI)

const TraMembers* TraTppCustomTextRTTI::Members() const {
  using C = TppCustomText;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnFormat", -1), raEvent("OnGetText", ciComponentGetText, {raParam("Text", daString, nullptr, true)}),
       raProperty<C, daBoolean>("CharWrap", &C::CharWrap, &C::SetCharWrap),
       ppColorMember("Color", &TppPrintable::Color, &TppPrintable::SetColor),
       raProperty<C, daInteger>("SaveOrder", &C::SaveOrder, &C::SetSaveOrder),
       raProperty<C, daBoolean>("Save", &C::Save, &C::SetSave),
       raProperty<C, daInteger>("SaveLength", &C::SaveLength, &C::SetSaveLength),
       // The text before OnGetText: reading it sends no event.
       raProperty<C, daString>("Text", &C::GetDisplayText, &C::SetText),
       raProperty<C, daBoolean>("Transparent", &C::Transparent, &C::SetTransparent)});
  return &members;
}

// ---- design popup menus ----

void TppCustomText::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomComponent::CreatePopupMenu(menu);
  menu->AddAction<TppCustomText>(30, "AutoSize", 226);
  menu->AddAction<TppCustomText>(30, "ReprintOnOverFlow", 238);
  menu->AddAction<TppCustomText>(30, "ShiftWithParent", 240);
  menu->AddAction<TppCustomText>(30, "Transparent", 246);
  menu->AddAction<TppCustomText>(30, "WordWrap", 248);
}
