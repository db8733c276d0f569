#include "report/model/ppForms.h"
#include "report/components/ppRichTx.h"

#include <algorithm>
#include <cstring>

#include "platform/sysroot/codepage.h"
#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppDB.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppCustomRichText)
CLS_IMPLEMENT_COMPONENT(TppRichText)
CLS_IMPLEMENT_COMPONENT(TppDBRichText)

namespace {

constexpr int32_t kRichTextRecordSize = TppStretchable::kRecordHeadSize + 8;

}  // namespace

// ---------------------------------------------------------------- TppCustomRichText

TppCustomRichText::TppCustomRichText(cls::TComponent* owner) : TppStretchable(owner) {
  SetAutoSize(false);
  SetWordWrap(true);
  SetspHeight(89);
  SetspWidth(185);
  SetDrawCommandClass(&TppDrawRichText::StaticClass());
  SetCacheRecordSize(kRichTextRecordSize);
  editor_ = CreateRichEdit(nullptr);
}

void TppCustomRichText::BeforeDestruction() {
  if (mergeEditor_) mergeEditor_->Free();
  mergeEditor_ = nullptr;
  if (editor_) editor_->Free();
  editor_ = nullptr;
  TppStretchable::BeforeDestruction();
}

void TppCustomRichText::SetMailMerge(bool value) {
  if (value == mailMerge_) return;
  mailMerge_ = value;
  InvalidateDesignControl();
  Changed();
}

// ---- text ----

void TppCustomRichText::LoadRTFStream(cls::TStream& stream) {
  int64_t size = stream.Size();
  if (editor_->MaxLength() > 0 && editor_->MaxLength() < size)
    editor_->SetMaxLength(static_cast<int>(std::min<int64_t>(size, INT32_MAX)));
  editor_->Lines()->LoadFromStream(stream);
}

void TppCustomRichText::LoadFromFile(const std::string& fileName) {
  editor_->Lines()->LoadFromFile(fileName);
  RichTextLoaded();
}

void TppCustomRichText::LoadFromRTFStream(cls::TStream& stream) {
  LoadRTFStream(stream);
  RichTextLoaded();
}

void TppCustomRichText::SaveToFile(const std::string& fileName) { editor_->Lines()->SaveToFile(fileName); }

void TppCustomRichText::SaveToRTFStream(cls::TStream& stream) { editor_->Lines()->SaveToStream(stream); }

int TppCustomRichText::FindText(const std::string& searchText, int start, int length, bool wholeWord,
                                bool matchCase) {
  return editor_->FindText(searchText, start, length,
                           (wholeWord ? ui::stWholeWord : 0u) | (matchCase ? ui::stMatchCase : 0u));
}

void TppCustomRichText::StoreEditor() {
  stream_.Clear();
  if (editor_->Lines()->Count() > 0) editor_->Lines()->SaveToStream(stream_);
  stream_.SetPosition(0);
}

std::string TppCustomRichText::GetRichText() {
  if (editor_->Lines()->Count() == 0) return std::string();
  return stream_.DataString();
}

cls::TMemoryStream* TppCustomRichText::GetRichTextStream() { return &stream_; }

void TppCustomRichText::SetRichText(const std::string& value) {
  stream_.Clear();
  if (!value.empty()) stream_.WriteBuffer(value.data(), static_cast<int64_t>(value.size()));
  stream_.SetPosition(0);
  LoadRTFStream(stream_);
  stream_.SetPosition(0);
}

void TppCustomRichText::PrepareMailMerge() {
  if (!mailMerge_) return;
  if (!mergeEditor_) mergeEditor_ = CreateRichEdit(nullptr);
  mergeEditor_->SetMaxLength(editor_->MaxLength());
  mergeEditor_->Document().Load(editor_->Document().SaveRtf());
}

void TppCustomRichText::MergeFields() {
  if (!mailMerge_ || !mergeEditor_) return;
  TppCustomReport* report = GetReport();
  TppDataPipeline* pipeline = report ? report->DataPipeline() : nullptr;
  if (!pipeline) return;
  auto fieldOf = [&](const std::string& name) -> std::string {
    for (int i = 0; i < pipeline->FieldCount(); ++i)
      if (cp::SameText(pipeline->Fields(i)->FieldName(), name)) return pipeline->Fields(i)->FieldName();
    for (int i = 0; i < pipeline->FieldCount(); ++i)
      if (!pipeline->Fields(i)->FieldAlias().empty() && cp::SameText(pipeline->Fields(i)->FieldAlias(), name))
        return pipeline->Fields(i)->FieldName();
    return std::string();
  };
  ui::TRichEdit* edit = mergeEditor_;
  const richedit::Document& doc = edit->Document();
  int pos = 0;
  for (;;) {
    int open = doc.Find("<", pos, -1, false, true), close = doc.Find(">", pos, -1, false, true);
    if (open < 0 || close < 0) break;
    if (close < open) {
      pos = close + 1;
      continue;
    }
    std::string field = fieldOf(doc.TextRange(open + 1, close - 1));
    if (field.empty()) {
      pos = open + 1;
      continue;
    }
    std::string value = pipeline->GetFieldAsString(field);
    int before = doc.Length();
    edit->SetSelStart(open);
    edit->SetSelLength(close - open + 1);
    edit->SetSelText(value);
    // The value is never searched again.
    pos = open + (doc.Length() - before) + (close - open + 1);
  }
}

// ---- generation ----

void TppCustomRichText::InitGeneration() {
  TppStretchable::InitGeneration();
  startCharPos_ = endCharPos_ = -1;
}

void TppCustomRichText::CalcPrintExtent() {
  TppPrinter* printer = GetPrinter();
  GetRichTextStream();
  PrepareMailMerge();
  MergeFields();
  ui::TRichEdit* edit = PrintEditor();
  const int32_t length = edit->GetTextLen();
  if (!Stretch() || !ParentCanStretch()) {
    startCharPos_ = 0;
    endCharPos_ = length;
    SetSpaceUsed(length > 0 ? mmHeight() : 0);
    SetOverFlow(false);
    return;
  }
  startCharPos_ = OverFlow() ? endCharPos_ + 1 : 0;
  endCharPos_ = length - 1;
  bool fits = true;
  int lastFitting = -1, used = 0;
  TppUnitType unit = utScreenPixels;
  if (length > 0 && startCharPos_ <= endCharPos_) {
    gdi::TCanvas* canvas = printer ? printer->GetCanvas() : nullptr;
    win::HDC dc = canvas ? canvas->Handle() : nullptr, screen = nullptr;
    cls::TObject* metrics = nullptr;
    if (dc) {
      unit = utPrinterPixels;
      metrics = printer;
    } else {
      dc = screen = win::GetDC(nullptr);
    }
    const TppRect& r = PrintRect();
    auto px = [&](int32_t v, TppDirection d) {
      return static_cast<int>(ConvertFromMMThousandths(v, unit, d, metrics));
    };
    win::RECT rect{px(r.Left, ppHorizontal), px(r.Top, ppVertical), px(r.Right, ppHorizontal),
                   px(r.Bottom, ppVertical)};
    fits = TppRTFEngine::FitRange(edit, dc, lastFitting, used, rect, startCharPos_, endCharPos_);
    if (screen) win::ReleaseDC(nullptr, screen);
  }
  auto toMM = [&](int pixels) {
    return ConvertToMMThousandths(static_cast<float>(pixels), unit, ppVertical,
                                  unit == utPrinterPixels ? printer : nullptr);
  };
  if (fits) {
    SetOverFlow(false);
    // An empty text, or one ended before this page, uses no space.
    SetSpaceUsed(startCharPos_ <= endCharPos_ ? toMM(used) : 0);
    SetKeptTogether(false);
    return;
  }
  endCharPos_ = lastFitting;
  SetOverFlow(true);
  if (endCharPos_ < startCharPos_) {
    // Nothing placed: the next page starts where this one began, and the
    // band's never-fits guard sees a pass without progress.
    SetSpaceUsed(0);
    endCharPos_ = startCharPos_ - 1;
    return;
  }
  SetSpaceUsed(toMM(used));
  if (CheckKeepTogether()) {
    SetSpaceUsed(0);
    SetKeptTogether(true);
    endCharPos_ = startCharPos_ - 1;
  }
}

void TppCustomRichText::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppStretchable::PropertiesToDrawCommand(command);
  auto* c = cls::ObjectAs<TppDrawRichText>(command);
  if (!c) return;
  c->SetColor(Color());
  const TppRect& r = PrintRect();
  c->SetLeft(r.Left);
  c->SetTop(r.Top);
  c->SetHeight(r.Bottom - r.Top);
  c->SetWidth(r.Right - r.Left);
  c->SetStartCharPos(startCharPos_);
  c->SetEndCharPos(endCharPos_);
  c->SetTransparent(Transparent());
  cls::TMemoryStream* s = c->RichTextStream();
  s->Clear();
  PrintEditor()->Lines()->SaveToStream(*s);
  s->SetPosition(0);
  printed_ = true;
}

// ---- page cache ----

void TppCustomRichText::SaveToCache(int32_t pageIndex) {
  uint8_t record[kRichTextRecordSize] = {};
  std::memcpy(record + kRecordHeadSize, &startCharPos_, 4);
  std::memcpy(record + kRecordHeadSize + 4, &endCharPos_, 4);
  WriteHeadedRecord(pageIndex, record);
}

void TppCustomRichText::RestoreFromCache(int32_t pageIndex) {
  uint8_t record[kRichTextRecordSize] = {};
  if (!ReadHeadedRecord(pageIndex, record)) return;
  std::memcpy(&startCharPos_, record + kRecordHeadSize, 4);
  std::memcpy(&endCharPos_, record + kRecordHeadSize + 4, 4);
}

// ---------------------------------------------------------------- TppRichText

TppRichText::TppRichText(cls::TComponent* owner) : TppCustomRichText(owner) { SetDefaultPropName("Caption"); }

void TppRichText::SetRichText(const std::string& value) {
  TppCustomRichText::SetRichText(value);
  if (HasState(cls::csReading) || HasState(cls::csLoading)) return;
  InvalidateDesignControl();
  Changed();
}

void TppRichText::RichTextLoaded() {
  StoreEditor();
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

// ---------------------------------------------------------------- TppDBRichText

TppDBRichText::TppDBRichText(cls::TComponent* owner) : TppCustomRichText(owner) {
  SetDefaultPropEditType(ppPropEditDataField);
  SetDefaultPropName("DataField");
}

void TppDBRichText::SetAutoDisplay(bool value) {
  if (value == autoDisplay_) return;
  autoDisplay_ = value;
  if (value) {
    RichTextChanged();
  } else {
    SetRichText(std::string());
  }
  InvalidateDesignControl();
}

void TppDBRichText::RichTextChanged() {
  if (!autoDisplay_ || !IsDataAvailable()) return;
  SetRichText(DataPipeline()->GetFieldAsString(DataField()));
  InvalidateDesignControl();
}

cls::TMemoryStream* TppDBRichText::GetRichTextStream() {
  if (OnGetRichText) {
    std::string text;
    OnGetRichText(this, text);
    SetRichText(text);
  } else {
    std::string text;
    if (HasEventNotify(ciComponentGetText)) {
      cls::Owned<TraParamList> params(raGetParams(this, "OnGetRichText"));
      if (params) params->SetParamAddress("Text", &text);
      SendEventNotify(this, ciComponentGetText, params.get());
    }
    if (!text.empty()) SetRichText(text);
    else RichTextChanged();
  }
  return TppCustomRichText::GetRichTextStream();
}

void TppDBRichText::SetDataField(const std::string& value) {
  TppCustomRichText::SetDataField(value);
  RichTextChanged();
}

void TppDBRichText::Notify(TppCommunicator* communicator, uint8_t operation) {
  TppCustomRichText::Notify(communicator, operation);
  if (operation != ppopRemove && operation != ppopDataChange && DesignerOpen() && !IsPrinting()) RichTextChanged();
}

// ---------------------------------------------------------------- registration

void ppRegisterRichTextUnit() {
  using namespace ppDrwCmdProps;
  using S = TppStretchable;
  for (cls::TClassInfo* c : {&TppRichText::StaticClass(), &TppDBRichText::StaticClass()}) {
    cls::TClassInfo& info = *c;
    const bool plain = c == &TppRichText::StaticClass();
    if (plain) TppPrintable::PublishProperties(info, {"Caption"});
    cls::PublishProperty(info, cls::FloatProperty<S, float>("BottomOffset", &S::BottomOffset, &S::SetBottomOffset));
    TppPrintable::PublishProperties(info, {"Color", "Height", "Left"});
    if (plain) {
      using R = TppCustomRichText;
      cls::PublishProperty(info, Bool<R>("MailMerge", &R::MailMerge, &R::SetMailMerge));
    }
    TppPrintable::PublishProperties(info, {"OnDrawCommandClick", "OnDrawCommandCreate"});
    cls::PublishProperty(info,
                         cls::FloatProperty<S, float>("OverFlowOffset", &S::OverFlowOffset, &S::SetOverFlowOffset));
    if (plain) {
      cls::TPropInfo rich;
      rich.Name = "RichText";
      rich.Type = cls::TypeInfoString();
      rich.GetStr = [](cls::TObject* o) { return static_cast<TppRichText*>(o)->RichText(); };
      rich.SetStr = [](cls::TObject* o, const std::string& v) { static_cast<TppRichText*>(o)->SetRichText(v); };
      cls::PublishProperty(info, rich);
    }
    TppPrintable::PublishProperties(info, {"ReprintOnOverFlow", "ShiftWithParent"});
    cls::TPropInfo stretch = cls::OrdProperty<S, bool>("Stretch", cls::TypeInfoBoolean(), &S::Stretch, &S::SetStretch);
    stretch.HasDefault = true;
    cls::PublishProperty(info, stretch);
    TppPrintable::PublishProperties(info, {"Transparent", "Top"});
    cls::PublishProperty(info, ppUserNameProperty());
    TppPrintable::PublishProperties(info, {"Visible", "Width"});
  }
  using D = TppDBRichText;
  auto& db = D::StaticClass();
  cls::TPropInfo autoDisplay = Bool<D>("AutoDisplay", &D::AutoDisplay, &D::SetAutoDisplay);
  autoDisplay.Default = 1;
  cls::PublishProperty(db, autoDisplay);
  TppPrintable::PublishProperties(db, {"DataField", "DataPipeline"});
  cls::PublishProperty(db, cls::MethodProperty<D>("OnGetRichText", &D::OnGetRichText));
  cls::TPropInfo parent = cls::OrdProperty<TppComponent, bool>(
      "ParentDataPipeline", cls::TypeInfoBoolean(), &TppComponent::ParentDataPipeline,
      &TppComponent::SetParentDataPipeline);
  parent.HasDefault = true;
  parent.Default = 1;
  cls::PublishProperty(db, parent);
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCustomRichTextRTTI)

const TraMembers* TraTppCustomRichTextRTTI::Members() const {
  using C = TppCustomRichText;
  auto streamOf = [](TraParamList* list) -> cls::TStream* {
    cls::TObject* o = nullptr;
    if (list) list->GetParam("aStream", o);
    return cls::ObjectAs<cls::TStream>(o);
  };
  static const TraMembers members(
      inherited::Members(),
      {raMethod("LoadFromFile", {raParam("aFileName", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  if (!list || !list->GetParam("aFileName", name)) return false;
                  static_cast<C*>(o)->LoadFromFile(name);
                  return true;
                }),
       raMethod("LoadFromRTFStream", {raParam("aStream", daObject, &cls::TStream::StaticClass())},
                [streamOf](cls::TObject* o, TraParamList* list, bool) {
                  cls::TStream* s = streamOf(list);
                  if (!s) return false;
                  static_cast<C*>(o)->LoadFromRTFStream(*s);
                  return true;
                }),
       raMethod("SaveToFile", {raParam("aFileName", daString)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string name;
                  if (!list || !list->GetParam("aFileName", name)) return false;
                  static_cast<C*>(o)->SaveToFile(name);
                  return true;
                }),
       raMethod("SaveToRTFStream", {raParam("aStream", daObject, &cls::TStream::StaticClass())},
                [streamOf](cls::TObject* o, TraParamList* list, bool) {
                  cls::TStream* s = streamOf(list);
                  if (!s) return false;
                  static_cast<C*>(o)->SaveToRTFStream(*s);
                  return true;
                }),
       raMethod("FindText",
                {raParam("aSearchText", daString), raParam("aStartPos", daInteger), raParam("aLength", daInteger),
                 raParam("aWholeWord", daBoolean), raParam("aMatchCase", daBoolean), raParam("Result", daInteger)},
                [](cls::TObject* o, TraParamList* list, bool) {
                  std::string text;
                  int32_t start = 0, length = -1;
                  bool whole = false, match = false;
                  if (!list || !list->GetParam("aSearchText", text)) return false;
                  list->GetParam("aStartPos", start);
                  list->GetParam("aLength", length);
                  list->GetParam("aWholeWord", whole);
                  list->GetParam("aMatchCase", match);
                  int found = static_cast<C*>(o)->FindText(text, static_cast<int>(start), static_cast<int>(length),
                                                            whole, match);
                  return list->SetParamValue("Result", int32_t{found});
                })});
  return &members;
}

RA_IMPLEMENT_RTTI(TraTppDBRichTextRTTI)

const TraMembers* TraTppDBRichTextRTTI::Members() const {
  using C = TppDBRichText;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnGetRichText", ciComponentGetText, {raParam("Text", daString, nullptr, true)}),
       raProperty<C, daBoolean>("AutoDisplay", &C::AutoDisplay, &C::SetAutoDisplay)});
  return &members;
}

// ---- design popup menu ----

void TppRichText::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomRichText::CreatePopupMenu(menu);
  menu->AddAction<TppRichText>(10, "Edit", 0, [](TppRichText& r) {
    r.ShowDesignDialog(&TppCustomRTFEditor::StaticClass());
  });
  menu->AddAction<TppRichText>(11, "MailMerge", 0);
}
