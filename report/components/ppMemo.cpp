#include "report/model/ppForms.h"
#include "report/components/ppMemo.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPlainText.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCustomMemo)
CLS_IMPLEMENT_COMPONENT(TppMemo)
CLS_IMPLEMENT_COMPONENT(TppDBMemo)

namespace {

constexpr int32_t kMemoRecordSize = TppStretchable::kRecordHeadSize + 4;

}  // namespace

// ---------------------------------------------------------------- TppCustomMemo

TppCustomMemo::TppCustomMemo(cls::TComponent* owner) : TppStretchable(owner) {
  SetDrawCommandClass(&TppDrawText::StaticClass());
  SetCacheRecordSize(kMemoRecordSize);
}

// ---- properties ----

void TppCustomMemo::SetCharWrap(bool value) {
  if (IsPrinting()) return;
  charWrap_ = value;
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

float TppCustomMemo::Leading() const { return FromMMThousandths(mmLeading_, Units(), ppVertical); }

void TppCustomMemo::SetLeading(float value) {
  if (HasState(cls::csReading)) {
    mmLeading_ = ConvertToMMThousandths(value, utMMThousandths);  // truncated as it is
    return;
  }
  mmLeading_ = ToMMThousandths(value, Units(), ppVertical);
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

cls::TStringList* TppCustomMemo::TabStopPositions() {
  // Streams hold the thousandths as they are.
  if (HasState(cls::csLoading) || HasState(cls::csWriting)) return &tabStops_;
  tabStopsInUnits_.Assign(&tabStops_);
  ListFromMMThousandths(&tabStopsInUnits_, Units(), ppHorizontal, Units() == utPrinterPixels ? GetPrinter() : nullptr);
  return &tabStopsInUnits_;
}

void TppCustomMemo::SetTabStopPositions(const cls::TStringList* value) {
  cls::TStringList list;
  if (value) list.Assign(const_cast<cls::TStringList*>(value));
  if (!HasState(cls::csLoading) && !HasState(cls::csReading))
    ListToMMThousandths(&list, Units(), ppHorizontal, Units() == utPrinterPixels ? GetPrinter() : nullptr);
  tabStops_.Assign(&list);
  InvalidateDesignControl();
  Changed();
}

// ---- lines ----

cls::TStringList* TppCustomMemo::GetLines() {
  LinesChanged();
  return &lines_;
}

cls::TMemoryStream* TppCustomMemo::GetMemoStream() {
  LinesChanged();
  WriteMemoStream();
  return &memoStream_;
}

cls::TStringList* TppCustomMemo::GetPrintLines() { return &printLines_; }

void TppCustomMemo::LinesChanged() {
  // The stream is written when it is asked for: a page's text needs none.
  streamStale_ = true;
  InvalidateDesignControl();
}

void TppCustomMemo::WriteMemoStream() {
  if (!streamStale_) return;
  const std::string& text = *LinesText();
  memoStream_.Clear();
  memoStream_.Write(text.data(), static_cast<int64_t>(text.size()));
  streamStale_ = false;
}

const std::shared_ptr<const std::string>& TppCustomMemo::LinesText() {
  if (!linesText_ || linesTextChanges_ != lines_.Changes()) {
    auto text = std::make_shared<std::string>(lines_.Text());
    size_t end = text->find('\0');
    linesTextLength_ = static_cast<int32_t>(std::min<size_t>(end == std::string::npos ? text->size() : end, INT32_MAX));
    linesText_ = std::move(text);
    linesTextChanges_ = lines_.Changes();
  }
  return linesText_;
}

void TppCustomMemo::SetLines(const cls::TStringList* value) {
  if (value) lines_.Assign(const_cast<cls::TStringList*>(value));
  else lines_.Clear();
  LinesChanged();
}

std::string TppCustomMemo::GetMemoBuffer() {
  LinesChanged();
  WriteMemoStream();
  return memoStream_.DataString();
}

void TppCustomMemo::GetText(std::string& text) {
  GetLines();
  text = *LinesText();
}

void TppCustomMemo::SetText(const std::string& value) {
  lines_.SetText(value);
  LinesChanged();
}

// ---- changes ----

void TppCustomMemo::Convert(int64_t version) {
  TppStretchable::Convert(version);
  if (version < 3000) mmLeading_ = ConvertToMMThousandths(static_cast<float>(mmLeading_), utScreenPixels, ppHorizontal);
}

void TppCustomMemo::FontChanged() {
  TppStretchable::FontChanged();
  if (Stretch()) Changed();
}

void TppCustomMemo::InitGeneration() {
  TppStretchable::InitGeneration();
  charPos_ = 0;
  wraps_.clear();
}

// ---- generation ----

void TppCustomMemo::WrapToPrintRect(const std::shared_ptr<const std::string>& text) {
  const TppRect& r = PrintRect();
  const win::RECT rect{r.Left, r.Top, r.Right, r.Bottom};
  const int32_t width = r.Right - r.Left;
  auto same = [&](const TppWrappedText& w) {
    const TppTextWrapper& s = w.Settings();
    // A data memo's text is made anew for every page: equal bytes will do.
    const bool sameText = w.Text() == text || (w.Text()->size() == text->size() && *w.Text() == *text);
    if (!sameText || w.Width() != width || s.Leading != mmLeading_ || s.CharWrap != charWrap_ ||
        s.Alignment != TextAlignment() || !s.Font.Equals(*Font()) || s.Font.Height() != Font()->Height() ||
        s.Font.Orientation() != Font()->Orientation() || w.TabStops().Count() != tabStops_.Count())
      return false;
    for (int i = 0; i < tabStops_.Count(); ++i)
      if (w.TabStops().Strings(i) != tabStops_.Strings(i)) return false;
    return true;
  };
  auto it = std::find_if(wraps_.begin(), wraps_.end(), [&](const auto& w) { return same(*w); });
  if (it == wraps_.end()) {
    // A few kept: a memo whose text or width changes from record to record
    // wraps each anew.
    constexpr size_t kWraps = 8;
    if (wraps_.size() == kWraps) wraps_.erase(wraps_.begin());
    wraps_.push_back(std::make_unique<TppWrappedText>(text, width, *Font(), &tabStops_, mmLeading_, charWrap_,
                                                      TextAlignment(), false));
    it = std::prev(wraps_.end());
  }
  int pos = charPos_;
  (*it)->WrapText(rect, &printLines_, pos, GetPrinter());
  charPos_ = pos;
}

void TppCustomMemo::CalcPrintExtent() {
  GetLines();
  // Kept while the lines stay: a page costs what its own lines cost.
  const std::shared_ptr<const std::string> text = LinesText();
  if (!Stretch() || !ParentCanStretch()) {
    charPos_ = 0;
    WrapToPrintRect(text);
    SetSpaceUsed(mmHeight());
    SetOverFlow(false);
    return;
  }
  int32_t saved = charPos_;
  WrapToPrintRect(text);
  int lineHeight = 0;
  const TppRect& r = PrintRect();
  TppPlainText::CalcLinesThatFit(*Font(), mmLeading_, lineHeight, GetPrinter(), r.Bottom - r.Top);
  int64_t used = int64_t{printLines_.Count()} * lineHeight;
  int32_t spaceUsed = static_cast<int32_t>(std::min<int64_t>(used, INT32_MAX));
  // The text ends at a NUL, for this test as for the wrapper.
  if (charPos_ < linesTextLength_ && charPos_ != -1) {
    // Nothing placed: the next page goes on from where this one began, and
    // the band's never-fits guard sees a pass without progress.
    if (printLines_.Count() == 0) charPos_ = saved;
    SetOverFlow(true);
    SetSpaceUsed(spaceUsed);
    if (CheckKeepTogether()) {
      SetSpaceUsed(0);
      SetKeptTogether(true);
      charPos_ = saved;
      printLines_.Clear();
    }
  } else {
    SetOverFlow(false);
    if (printLines_.Count() > 0) SetSpaceUsed(spaceUsed);
    charPos_ = 0;
    if (KeptTogether()) SetKeptTogether(false);
  }
}

void TppCustomMemo::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppStretchable::PropertiesToDrawCommand(command);
  auto* text = cls::ObjectAs<TppDrawText>(command);
  if (!text) return;
  text->SetAlignment(Alignment());
  text->SetColor(Color());
  text->SetDataType(dtMemo);
  const TppRect& r = PrintRect();
  text->SetLeft(r.Left);
  text->SetTop(r.Top);
  text->SetHeight(r.Bottom - r.Top);
  text->SetWidth(r.Right - r.Left);
  text->SetFont(Font());
  text->SetTextAlignment(TextAlignment());
  text->SetForceJustifyLastLine(ForceJustifyLastLine());
  text->SetIsMemo(true);
  text->SetLeading(mmLeading_);
  text->SetTransparent(Transparent());
  text->SetWordWrap(true);
  text->SetTabStopPositions(&tabStops_);
  text->SetWrappedText(&printLines_);
}

// ---- page cache ----

void TppCustomMemo::SaveToCache(int32_t pageIndex) {
  uint8_t record[kMemoRecordSize] = {};
  std::memcpy(record + kRecordHeadSize, &charPos_, 4);
  WriteHeadedRecord(pageIndex, record);
}

void TppCustomMemo::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kMemoRecordSize] = {};
  if (ReadHeadedRecord(pageIndex, record)) std::memcpy(&charPos_, record + kRecordHeadSize, 4);
}

void TppCustomMemo::DefineProperties(cls::TFiler* filer) {
  TppStretchable::DefineProperties(filer);
  filer->DefineProperty(
      "mmLeading", [this](cls::TReader& r) { mmLeading_ = static_cast<int32_t>(r.ReadInteger()); },
      [this](cls::TWriter& w) { w.WriteInteger(mmLeading_); }, true);
  filer->DefineProperty("Position", [](cls::TReader& r) { r.ReadInteger(); }, nullptr, false);
}

// ---------------------------------------------------------------- TppMemo

TppMemo::TppMemo(cls::TComponent* owner) : TppCustomMemo(owner) { SetDefaultPropName("Caption"); }

void TppMemo::SetLines(const cls::TStringList* value) {
  TppCustomMemo::SetLines(value);
  InvalidateDesign();
  Changed();
}

// ---------------------------------------------------------------- TppDBMemo

TppDBMemo::TppDBMemo(cls::TComponent* owner) : TppCustomMemo(owner) {
  SetDefaultPropEditType(ppPropEditDataField);
  SetDefaultPropName("DataField");
}

void TppDBMemo::SetAutoDisplay(bool value) {
  if (value == autoDisplay_) return;
  autoDisplay_ = value;
  InvalidateDesign();
  Changed();
}

void TppDBMemo::LinesChanged() {
  bool wanted = OnGetMemo.Assigned() || HasEventNotify(ciMemoGetMemo);
  if (!autoDisplay_ && !wanted) return;
  LinesList().Clear();
  if (wanted) DoOnGetMemo(&LinesList());
  else if (IsDataAvailable()) LinesList().SetText(DataPipeline()->GetFieldAsString(DataField()));
  TppCustomMemo::LinesChanged();
}

void TppDBMemo::DoOnGetMemo(cls::TStringList* lines) {
  if (!IsPrinting()) return;
  if (OnGetMemo) OnGetMemo(this, lines);
  if (!HasEventNotify(ciMemoGetMemo)) return;
  cls::Owned<TraParamList> params(raGetParams(this, "OnGetMemo"));
  if (params) params->SetParamAddress("Lines", &lines);
  SendEventNotify(this, ciMemoGetMemo, params.get());
}

void TppDBMemo::SetDataField(const std::string& value) {
  TppCustomMemo::SetDataField(value);
  LinesChanged();
}

void TppDBMemo::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCustomMemo::Notify(communicator, operation);
  if (operation != ppopRemove && operation != ppopDataChange && DesignerOpen()) LinesChanged();
}

void TppDBMemo::SetSuppressRepeatedValues(bool value) {
  if (value == suppressRepeatedValues_) return;
  suppressRepeatedValues_ = value;
  Changed();
  InvalidateDesign();
  if (value) EventMask().Include(ciEngineTraversal);
  else EventMask().Exclude(ciEngineTraversal);
}

void TppDBMemo::InitGeneration() {
  TppCustomMemo::InitGeneration();
  repeatPrinted_ = false;
  lastText_.clear();
  isRepeated_ = false;
  if (!suppressRepeatedValues_) return;
  TppCustomReport* report = GetReport();
  if (TppCustomEngine* engine = report ? report->Engine() : nullptr) engine->AddEventNotify(this);
}

void TppDBMemo::Reset() {
  TppCustomMemo::Reset();
  repeatPrinted_ = false;
  lastText_.clear();
  isRepeated_ = false;
}

void TppDBMemo::EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) {
  TppCustomMemo::EventNotify(sender, eventId, params);
  if (eventId != ciEngineTraversal) return;
  TppCustomReport* report = GetReport();
  if (!report || sender != report->Engine()) return;
  CheckRepeated();
  SetResetOnCompute(false);
}

void TppDBMemo::CheckRepeated() {
  std::string text;
  GetText(text);
  isRepeated_ = !ResetOnCompute() && text == lastText_;
  lastText_ = text;
}

void TppDBMemo::CalcPrintExtent() {
  if (!suppressRepeatedValues_) {
    TppCustomMemo::CalcPrintExtent();
    return;
  }
  // A repeat prints at the first record of its pipeline's range while it
  // has not printed yet.
  bool print = !isRepeated_ || (DataPipeline() && DataPipeline()->FirstRecord() && !repeatPrinted_);
  if (print) {
    repeatPrinted_ = true;
  } else {
    SetSpaceUsed(0);
    SetDrawComponent(false);
  }
  CheckRepeated();
  if (print) TppCustomMemo::CalcPrintExtent();
}

// ---------------------------------------------------------------- registration

void ppRegisterMemoUnit() {
  using namespace ppDrwCmdProps;
  using M = TppCustomMemo;
  static const cls::TTypeInfo* strings = cls::MakeClassTypeInfo("TStrings", &cls::TStringList::StaticClass());
  for (cls::TClassInfo* c : {&TppMemo::StaticClass(), &TppDBMemo::StaticClass()}) {
    cls::TClassInfo& info = *c;
    if (c == &TppMemo::StaticClass()) TppPrintable::PublishProperties(info, {"Caption"});
    cls::PublishProperty(info, Bool<M>("CharWrap", &M::CharWrap, &M::SetCharWrap));
    TppPrintable::PublishProperties(info, {"Color", "Font", "ForceJustifyLastLine"});
    cls::TPropInfo keep = cls::OrdProperty<TppStretchable, bool>("KeepTogether", cls::TypeInfoBoolean(),
                                                                 &TppStretchable::KeepTogether,
                                                                 &TppStretchable::SetKeepTogether);
    keep.HasDefault = true;
    cls::PublishProperty(info, keep);
    cls::TPropInfo leading = cls::FloatProperty<M, float>("Leading", &M::Leading, &M::SetLeading);
    leading.Stored = [](cls::TObject*) { return false; };  // streamed as mmLeading
    cls::PublishProperty(info, leading);
    if (c == &TppMemo::StaticClass()) {
      cls::TPropInfo lines;
      lines.Name = "Lines";
      lines.Type = strings;
      lines.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<M*>(o)->GetLines(); };
      lines.SetObj = [](cls::TObject* o, cls::TObject* v) {
        static_cast<M*>(o)->SetLines(cls::ObjectAs<cls::TStringList>(v));
      };
      cls::PublishProperty(info, lines);
    }
    TppPrintable::PublishProperties(info, {"OnDrawCommandClick", "OnDrawCommandCreate", "ReprintOnOverFlow"});
    cls::PublishProperty(info, Object<M, cls::TStringList>("TabStopPositions", strings, &M::TabStopPositions,
                                                           &M::SetTabStopPositions));
    TppPrintable::PublishProperties(info, {"ShiftWithParent"});
    cls::TPropInfo shift;
    shift.Name = "ShiftRelativeTo";
    shift.Type = cls::MakeClassTypeInfo("TppStretchable", &TppStretchable::StaticClass());
    shift.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<TppStretchable*>(o)->ShiftRelativeTo(); };
    shift.SetObj = [](cls::TObject* o, cls::TObject* v) {
      static_cast<TppStretchable*>(o)->SetShiftRelativeTo(cls::ObjectAs<TppStretchable>(v));
    };
    cls::PublishProperty(info, shift);
    cls::TPropInfo stretch = cls::OrdProperty<TppStretchable, bool>("Stretch", cls::TypeInfoBoolean(),
                                                                    &TppStretchable::Stretch,
                                                                    &TppStretchable::SetStretch);
    stretch.HasDefault = true;
    cls::PublishProperty(info, stretch);
    TppPrintable::PublishProperties(info, {"TextAlignment", "Transparent"});
    cls::PublishProperty(info, ppUserNameProperty());
    TppPrintable::PublishProperties(info, {"Visible"});
    using S = TppStretchable;
    cls::PublishProperty(info, cls::FloatProperty<S, float>("BottomOffset", &S::BottomOffset, &S::SetBottomOffset));
    TppPrintable::PublishProperties(info, {"Height", "Left"});
    cls::PublishProperty(info,
                         cls::FloatProperty<S, float>("OverFlowOffset", &S::OverFlowOffset, &S::SetOverFlowOffset));
    TppPrintable::PublishProperties(info, {"Top", "Width"});
  }
  using D = TppDBMemo;
  auto& db = D::StaticClass();
  cls::TPropInfo autoDisplay = Bool<D>("AutoDisplay", &D::AutoDisplay, &D::SetAutoDisplay);
  autoDisplay.Default = 1;
  cls::PublishProperty(db, autoDisplay);
  cls::PublishProperty(db, cls::MethodProperty<D>("OnGetMemo", &D::OnGetMemo));
  TppPrintable::PublishProperties(db, {"DataField", "DataPipeline"});
  cls::TPropInfo parent = cls::OrdProperty<TppComponent, bool>(
      "ParentDataPipeline", cls::TypeInfoBoolean(), &TppComponent::ParentDataPipeline,
      &TppComponent::SetParentDataPipeline);
  parent.HasDefault = true;
  parent.Default = 1;
  cls::PublishProperty(db, parent);
  cls::PublishProperty(db, Bool<D>("SuppressRepeatedValues", &D::SuppressRepeatedValues, &D::SetSuppressRepeatedValues));
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCustomMemoRTTI)

const TraMembers* TraTppCustomMemoRTTI::Members() const {
  using C = TppCustomMemo;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daBoolean>("CharWrap", &C::CharWrap, &C::SetCharWrap),
       ppColorMember("Color", &TppPrintable::Color, &TppPrintable::SetColor),
       raProperty<C, daSingle>("Leading", &C::Leading, &C::SetLeading),
       raObjectProperty<C, cls::TStringList>("Lines", &C::GetLines, &C::SetLines),
       raObjectProperty<C, cls::TMemoryStream>("MemoStream", &C::GetMemoStream),
       raProperty<C, daInteger>("mmLeading", &C::mmLeading),
       raObjectProperty<C, cls::TStringList>("PrintLines", &C::GetPrintLines),
       raProperty<C, daInteger>("spLeading",
                                [](C* m) {
                                  return ConvertToScreenPixels(static_cast<float>(m->mmLeading()), utMMThousandths,
                                                               ppVertical);
                                }),
       raObjectProperty<C, cls::TStringList>("TabStopPositions", &C::TabStopPositions,
                                             &C::SetTabStopPositions)});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppDBMemoRTTI)

const TraMembers* TraTppDBMemoRTTI::Members() const {
  using C = TppDBMemo;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnGetMemo", ciMemoGetMemo, {raParam("Lines", daObject, &cls::TStringList::StaticClass())}),
       raProperty<C, daBoolean>("AutoDisplay", &C::AutoDisplay, &C::SetAutoDisplay)});
  return &members;
}

// ---- design popup menus ----

void TppCustomMemo::CreatePopupMenu(TppPopupMenu*& menu) {
  TppStretchable::CreatePopupMenu(menu);
  menu->AddAction<TppCustomMemo>(10, "CharWrap", 0);
  menu->AddAction<TppCustomMemo>(11, "KeepTogether", 0);
  menu->AddAction<TppCustomMemo>(12, "ForceJustifyLastLine", 0);
  menu->AddAction<TppCustomMemo>(13, "Transparent", 246);
}

void TppMemo::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomMemo::CreatePopupMenu(menu);
  menu->AddAction<TppMemo>(14, "Lines", 0, [](TppMemo& m) {
    m.ShowDesignDialog(&TppCustomMemoDialog::StaticClass());
  });
}

void TppDBMemo::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomMemo::CreatePopupMenu(menu);
  menu->AddAction<TppDBMemo>(14, "AutoDisplay", 0);
  menu->AddAction<TppDBMemo>(15, "SuppressRepeatedValues", 245);
}
