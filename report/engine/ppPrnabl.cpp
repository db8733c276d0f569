#include "report/engine/ppPrnabl.h"

#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <map>

#include "report/engine/ppDB.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"
#include "report/output/ppPrintr.h"

CLS_IMPLEMENT_CLASS(TppPrintable)

namespace {

// A pixel count held as a float, as an integer; out-of-range values are
// clamped and NaN gives 0.
int32_t PixelsToInt(float v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
  if (v <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

int32_t ClampInt32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(v);
}

}  // namespace

TppPrintable::TppPrintable(cls::TComponent* owner) : TppCacheable(owner) {
  mmHeight_ = ConvertToMMThousandths(17, utScreenPixels, ppVertical);
  mmWidth_ = ConvertToMMThousandths(65, utScreenPixels, ppHorizontal);
  font_.OnChange = [this] { FontChanged(); };
}

void TppPrintable::BeforeDestruction() {
  if (dataPipeline_) {
    TppDataPipeline* p = dataPipeline_;
    dataPipeline_ = nullptr;
    RemoveNotify(p);
  }
  FreeDesignObjects();
  font_.OnChange = nullptr;
  inherited::BeforeDestruction();
}

// ---- geometry ----

float TppPrintable::FromMMThousandths(int32_t value, TppUnitType units, TppDirection direction) const {
  return ConvertFromMMThousandths(value, units, direction, units == utPrinterPixels ? GetPrinter() : nullptr);
}

int32_t TppPrintable::ToMMThousandths(float value, TppUnitType units, TppDirection direction) const {
  return ConvertToMMThousandths(value, units, direction, units == utPrinterPixels ? GetPrinter() : nullptr);
}

float TppPrintable::Left() const { return FromMMThousandths(mmLeft_, units_, ppHorizontal); }
float TppPrintable::Top() const { return FromMMThousandths(mmTop_, units_, ppVertical); }
float TppPrintable::Width() const { return FromMMThousandths(mmWidth_, units_, ppHorizontal); }
float TppPrintable::Height() const { return FromMMThousandths(mmHeight_, units_, ppVertical); }

void TppPrintable::SetGeometry(float value, TppDirection direction, int32_t& field,
                               void (TppPrintable::*setter)(int32_t)) {
  if (Reading()) {
    field = ConvertToMMThousandths(value, utMMThousandths);  // truncated, clamped
    return;
  }
  (this->*setter)(ToMMThousandths(value, units_, direction));
}

void TppPrintable::SetLeft(float v) { SetGeometry(v, ppHorizontal, mmLeft_, &TppPrintable::SetmmLeft); }
void TppPrintable::SetTop(float v) { SetGeometry(v, ppVertical, mmTop_, &TppPrintable::SetmmTop); }
void TppPrintable::SetWidth(float v) { SetGeometry(v, ppHorizontal, mmWidth_, &TppPrintable::SetmmWidth); }
void TppPrintable::SetHeight(float v) { SetGeometry(v, ppVertical, mmHeight_, &TppPrintable::SetmmHeight); }

int32_t TppPrintable::spLeft() const {
  return PixelsToInt(ConvertFromMMThousandths(mmLeft_, utScreenPixels, ppHorizontal));
}
int32_t TppPrintable::spTop() const { return PixelsToInt(ConvertFromMMThousandths(mmTop_, utScreenPixels, ppVertical)); }
int32_t TppPrintable::spWidth() const {
  return PixelsToInt(ConvertFromMMThousandths(mmWidth_, utScreenPixels, ppHorizontal));
}
int32_t TppPrintable::spHeight() const {
  return PixelsToInt(ConvertFromMMThousandths(mmHeight_, utScreenPixels, ppVertical));
}

namespace {
int32_t FromScreen(int32_t pixels, TppDirection direction) {
  return ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, direction);
}
}  // namespace

void TppPrintable::SetspLeft(int32_t v) { SetmmLeft(FromScreen(v, ppHorizontal)); }
void TppPrintable::SetspTop(int32_t v) { SetmmTop(FromScreen(v, ppVertical)); }
void TppPrintable::SetspWidth(int32_t v) { SetmmWidth(FromScreen(v, ppHorizontal)); }
void TppPrintable::SetspHeight(int32_t v) { SetmmHeight(FromScreen(v, ppVertical)); }

void TppPrintable::SetspBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  SetBounds(FromScreen(left, ppHorizontal), FromScreen(top, ppVertical), FromScreen(width, ppHorizontal),
            FromScreen(height, ppVertical));
}

void TppPrintable::SetBoundsInUnits(float left, float top, float width, float height) {
  SetBounds(ToMMThousandths(left, units_, ppHorizontal), ToMMThousandths(top, units_, ppVertical),
            ToMMThousandths(width, units_, ppHorizontal), ToMMThousandths(height, units_, ppVertical));
}

void TppPrintable::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  mmLeft_ = left;
  mmTop_ = top;
  mmWidth_ = width;
  mmHeight_ = height;
  BoundsChange();
  Changed();
}

void TppPrintable::SetmmLeft(int32_t v) {
  mmLeft_ = v;
  BoundsChange();
  Changed();
}
void TppPrintable::SetmmTop(int32_t v) {
  mmTop_ = v;
  BoundsChange();
  Changed();
}
void TppPrintable::SetmmWidth(int32_t v) {
  mmWidth_ = v;
  BoundsChange();
  Changed();
}
void TppPrintable::SetmmHeight(int32_t v) {
  mmHeight_ = v;
  BoundsChange();
  Changed();
}

void TppPrintable::GetDesignRect(TppRect& rect) { rect = TppRect{0, 0, spWidth(), spHeight()}; }

// ---- events and designer ----

void TppPrintable::DoOnPrint() {
  if (OnPrint) OnPrint(this);
  SendEventNotify(this, ciComponentPrint, nullptr);
}

intptr_t TppPrintable::PerformDesignerMessage(uint32_t message, uint32_t wParam, cls::TObject* lParam) {
  auto* designer = dynamic_cast<ui::TControl*>(GetDesigner());
  return designer ? designer->Perform(message, wParam & 0xFFFF, reinterpret_cast<intptr_t>(lParam)) : 0;
}
void TppPrintable::PostDesignerMessage(uint32_t, uint32_t, cls::TObject*) {}

// ---- setters ----

void TppPrintable::SetAlignment(cls::TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  switch (v) {
    case cls::taLeftJustify: textAlignment_ = taLeftJustified; break;
    case cls::taRightJustify: textAlignment_ = taRightJustified; break;
    case cls::taCenter: textAlignment_ = taCentered; break;
  }
  InvalidateDesignControl();
  InvalidateDesign();
}

void TppPrintable::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
  InvalidateDesign();
}

void TppPrintable::SetColor(gdi::TColor v) {
  if (v == color_ || !HasColor()) return;
  color_ = v;
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetCaption(const std::string& v) {
  bool changed = v != caption_;
  caption_ = v;
  text_ = caption_;
  if (autoSize_ && changed) AdjustBounds();
  InvalidateDesignControl();
  if (!IsDataAware()) InvalidateDesign();
}

void TppPrintable::SetDataField(const std::string& v) {
  if (!IsDataAware()) return;
  dataField_ = v;
  if (dataField_.empty()) {
    caption_ = Name();
  } else if (!IsDataAvailable()) {
    caption_ = dataPipeline_ ? dataPipeline_->GetFieldDisplayName(dataField_) : dataField_;
  }
  Changed();
}

void TppPrintable::SetDataPipeline(TppDataPipeline* v) {
  if (dataPipeline_) RemoveNotify(dataPipeline_);
  dataPipeline_ = v;
  if (v) dataPipelineName_ = v->Name();
  else if (!HasState(cls::csLoading) && !Reading()) dataPipelineName_.clear();
  if (v) AddNotify(v);
  Notify(v, ppopDataChange);
  if (!HasState(cls::csLoading) && !Reading()) Changed();
}

void TppPrintable::SetFont(const gdi::TFont* v) {
  if (!v) return;
  font_.Assign(*v);  // the font's change handler runs FontChanged
  InvalidateDesign();
}

void TppPrintable::SetForceJustifyLastLine(bool v) {
  if (v == forceJustifyLastLine_) return;
  forceJustifyLastLine_ = v;
  InvalidateDesignControl();
  InvalidateDesign();
}

void TppPrintable::SetReprintOnOverFlow(bool v) {
  if (v == reprintOnOverFlow_) return;
  reprintOnOverFlow_ = v;
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetShiftWithParent(bool v) {
  if (v == shiftWithParent_) return;
  shiftWithParent_ = v;
  if (v) stretchWithParent_ = false;
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetStretchWithParent(bool v) {
  if (v == stretchWithParent_) return;
  stretchWithParent_ = v;
  if (v) shiftWithParent_ = false;
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetTextAlignment(TppTextAlignment v) {
  if (v == textAlignment_) return;
  if (v == taFullJustified && !CanJustify()) return;
  textAlignment_ = v;
  alignment_ = v == taRightJustified ? cls::taRightJustify : v == taCentered ? cls::taCenter : cls::taLeftJustify;
  InvalidateDesignControl();
  InvalidateDesign();
}

void TppPrintable::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
  InvalidateDesign();
  Changed();
}

void TppPrintable::SetText(const std::string& v) {
  text_ = v;
  if (!IsDataAware()) InvalidateDesign();
}

void TppPrintable::SetParentHeight(bool v) { parentHeight_ = v; }
void TppPrintable::SetParentWidth(bool v) { parentWidth_ = v; }
void TppPrintable::SetResetOnCompute(bool v) { resetOnCompute_ = v; }
void TppPrintable::SetSpaceUsed(int32_t v) { spaceUsed_ = v; }
void TppPrintable::SetUnits(TppUnitType v) { units_ = v; }

void TppPrintable::SetColorAndTransparency(gdi::TColor color, bool transparent) {
  SetTransparent(transparent);
  if (!transparent) SetColor(color);
}

// ---- queries ----

bool TppPrintable::IsDataAvailable() {
  bool available = false;
  try {
    available = IsDataAware() && !dataField_.empty() && dataPipeline_ && dataPipeline_->Active() &&
                (!HasState(cls::csDesigning) || dataPipeline_->CheckFieldName(dataField_));
  } catch (const std::exception&) {
    return false;
  }
  // While a report designer shows the object, data counts only when printing.
  if ((StateFlags() & pstDesignerOpen) && !(StateFlags() & pstDesignUpdate)) available = available && IsPrinting();
  return available;
}

void TppPrintable::GetCaption(std::string& text) {
  if (caption_.empty() && (StateFlags() & pstDesignerOpen) && !IsPrinting()) GetText(caption_);
  if (IsDataAware() && !IsDataAvailable())
    caption_ = dataPipeline_ ? dataPipeline_->GetFieldDisplayName(dataField_) : dataField_;
  text = caption_;
}

TppDataPipeline* TppPrintable::GetDataPipeline() { return dataPipeline_; }

void TppPrintable::GetDefaultPropHint(std::string& text) {
  if (IsDataAware()) text = ppLoadStr(203);
  else if (defaultPropName_ == "Caption") text = ppLoadStr(154);
  else text.clear();
}

std::string TppPrintable::GetUserNameForDisplay() { return UserName(); }
TppPrinter* TppPrintable::GetPrinter() const { return nullptr; }
void TppPrintable::GetDescription(std::string& text) { text = ClassName(); }
bool TppPrintable::CanJustify() { return false; }
bool TppPrintable::HasColor() { return true; }
bool TppPrintable::HasFont() { return true; }
bool TppPrintable::NeedsResetAtStart() { return false; }
bool TppPrintable::IsDataAware() { return false; }
bool TppPrintable::IsPrinting() { return false; }
void TppPrintable::GetText(std::string& text) { text = text_; }

void TppPrintable::GetFontColorAndTransparency(gdi::TColor& color, bool& transparent) {
  if (HasFont()) {
    color = font_.Color();
    transparent = transparent_;
  } else {
    transparent = true;
  }
}

void TppPrintable::SetFontColor(gdi::TColor color) {
  if (HasFont()) font_.SetColor(color);
}

void TppPrintable::GetColorAndTransparency(gdi::TColor& color, bool& transparent) {
  if (HasColor()) {
    color = color_;
    transparent = transparent_;
  } else {
    transparent = true;
  }
}

// ---- design time ----

void TppPrintable::AdjustBounds() {}

void TppPrintable::BoundsChange() {
  PlaceDesignControl();
  if (selectionObject_) {
    selectionObject_->UpdateBounds();
    if (selectionObject_->Selected()) selectionObject_->SetSelected(true);
  }
  InvalidateDesign();
  if (designControl_ && (mmHeight_ != drawnHeight_ || mmWidth_ != drawnWidth_)) {
    drawnHeight_ = mmHeight_;
    drawnWidth_ = mmWidth_;
    designPainted_ = false;
    designControl_->Invalidate();
  }
}

void TppPrintable::CreatePopupMenu(TppPopupMenu*&) {}
void TppPrintable::FontChanged() { AdjustBounds(); }

void TppPrintable::InvalidateDesignControl() {
  designPainted_ = false;
  if (designControl_ && (StateFlags() & pstDesignerOpen) && !IsPrinting()) designControl_->Invalidate();
}

void TppPrintable::PaintDesignControl(gdi::TCanvas*) {}
void TppPrintable::UpdateDesignControl() {}

void TppPrintable::CreateDesignControl() {
  if (designControl_ || IsPrinting() || !GetDesigner()) return;
  SetStateFlags(pstDesignerOpen);
  // The designer answers a control it made on its surface; it is ours now.
  auto* control =
      cls::ObjectAs<TppDesignControl>(reinterpret_cast<cls::TObject*>(PerformDesignerMessage(1136, 5050, this)));
  if (!control) return;
  designControl_ = control;
  control->SetComponent(this);
  control->OnPaint = TppDesignPaintEvent(this, &TppPrintable::PaintDesignBitmap);
  selectionObject_ = new TppSelectionObject(nullptr);
  selectionObject_->SetParentControl(control->Parent());
  selectionObject_->SetComponent(this, control);
  if (IsDataAware()) Notify(dataPipeline_, ppopDataChange);
  BoundsChange();
  Changed();
  InvalidateDesignControl();
}

void TppPrintable::PlaceDesignControl() {
  if (!designControl_) return;
  TppRect r;
  GetDesignRect(r);
  designControl_->SetDesignBounds(spLeft() + r.Left, spTop() + r.Top, r.Right - r.Left, r.Bottom - r.Top);
}

gdi::TCanvas& TppPrintable::GetBitmapCanvas() {
  if (!bitmap_) bitmap_ = std::make_unique<gdi::TBitmap>();
  if (bitmap_->Width() != spWidth() || bitmap_->Height() != spHeight()) bitmap_->SetSize(spWidth(), spHeight());
  return bitmap_->Canvas();
}

void TppPrintable::PaintDesignBitmap(cls::TObject*, gdi::TCanvas* canvas) {
  if (!designPainted_ || !bitmap_ || bitmap_->Width() != spWidth() || bitmap_->Height() != spHeight()) {
    PaintDesignControl(&GetBitmapCanvas());
    designPainted_ = true;
  }
  if (canvas) canvas->Draw(0, 0, *bitmap_);
}

void TppPrintable::UpdatePopupMenu(TppPopupMenu*) {}

void TppPrintable::InvalidateDesign() {
  if (!GetDesigner() || IsPrinting() || (StateFlags() & 64) || StateFlags() >= 128) return;
  PerformDesignerMessage(1131, 5050, this);
}

void TppPrintable::FreeDesignObjects() {
  ClearStateFlags(pstDesignerOpen | pstDesignUpdate);
  cls::FreeAndNil(selectionObject_);
  bitmap_.reset();
  if (TppDesignControl* c = designControl_) {
    designControl_ = nullptr;
    c->SetComponent(nullptr);
    c->Free();
  }
}

void TppPrintable::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c == designControl_) designControl_ = nullptr;
}
void TppPrintable::Changed() {}

// ---- generation ----

void TppPrintable::InitGeneration() {
  overFlow_ = false;
  if (NeedsResetAtStart()) Reset();
}

void TppPrintable::InitDrawComponent() {
  if (visible_) drawComponent_ = true;
}

void TppPrintable::UpdateDrawComponent() {
  if (generationComplete_) drawComponent_ = false;
}

void TppPrintable::ClearPrintState() {
  generationComplete_ = false;
  spaceUsed_ = 0;
  outOfSpace_ = false;
}

void TppPrintable::Reset() { resetOnCompute_ = true; }

namespace {
// Event 84 or 85 with its "aDrawCommand", when a subscriber wants it.
void SendDrawCommandEvent(TppPrintable* sender, int eventId, const std::string& eventName, TppDrawCommand* command) {
  if (!sender->HasEventNotify(eventId)) return;
  cls::Owned<TraParamList> params(raGetParams(sender, eventName));
  cls::TObject* drawCommand = command;
  if (params) params->SetParamAddress("aDrawCommand", &drawCommand);
  sender->SendEventNotify(sender, eventId, params.get());
}
}  // namespace

void TppPrintable::CreateDrawCommand(TppPage* page) {
  if (!drawCommandClass_ || !drawCommandClass_->Create || !page) return;
  cls::Owned<cls::TComponent> made(drawCommandClass_->Create(nullptr));
  auto* command = cls::ObjectAs<TppDrawCommand>(made.get());
  if (!command) return;  // not a draw command class: freed by MADE
  PropertiesToDrawCommand(command);
  command->SetClickable(OnDrawCommandClick.Assigned() || HasEventNotify(ciComponentDrawCommandClick));
  command->SetComponent(this);
  command->OnClick = cls::TNotifyEvent(this, &TppPrintable::DoOnDrawCommandClick);
  if (TppPageDef* def = page->PageDef()) command->SetPageRect(def->GetPrintableRect());
  if (OnDrawCommandCreate) OnDrawCommandCreate(this, command);
  command->SetPage(page);  // the page owns it from now on
  made.release();
  SendDrawCommandEvent(this, ciComponentDrawCommandCreate, "OnDrawCommandCreate", command);
}

void TppPrintable::PropertiesToDrawCommand(TppDrawCommand* command) {
  command->SetTag(Tag());
  if (IsDataAvailable()) command->SetDataType(dataPipeline_->GetFieldDataType(dataField_));
}

void TppPrintable::DoOnDrawCommandClick(cls::TObject* drawCommand) {
  auto* command = cls::ObjectAs<TppDrawCommand>(drawCommand);
  if (!command) return;
  if (OnDrawCommandClick) OnDrawCommandClick(this, command);
  SendDrawCommandEvent(this, ciComponentDrawCommandClick, "OnDrawCommandClick", command);
}

void TppPrintable::PrintToPage(TppPage* page) {
  if (drawComponent_ && visible_) CreateDrawCommand(page);
}

// ---- data pipeline ----

void TppPrintable::UpdateDataFieldName(TppDataPipeline* pipeline, const std::string& oldName,
                                       const std::string& newName) {
  if (IsDataAware() && pipeline && pipeline == dataPipeline_ && SameTextNoCase(dataField_, oldName))
    dataField_ = newName;
}

void TppPrintable::ReplaceDataPipeline(TppDataPipeline* pipeline, const std::string& name) {
  if (IsDataAware() && dataPipeline_ && dataPipeline_->UserName() == name) SetDataPipeline(pipeline);
}

void TppPrintable::AddDataPipelineToList(std::vector<TppDataPipeline*>& list) {
  if (!IsDataAware() || !dataPipeline_) return;
  for (TppDataPipeline* p : list)
    if (p == dataPipeline_) return;
  list.push_back(dataPipeline_);
}

void TppPrintable::ResolveDataPipeline(const std::vector<TppDataPipeline*>& list) {
  if (!IsDataAware() || dataPipeline_) return;
  if (TppDataPipeline* p = ppPipelineNamed(list, dataPipelineName_)) SetDataPipeline(p);
}

void TppPrintable::Notify(TppCommunicator* communicator, uint8_t operation) {
  inherited::Notify(communicator, operation);
  if (operation == ppopRemove && communicator && communicator == dataPipeline_) {
    dataPipeline_ = nullptr;
    Changed();
  }
}

void TppPrintable::StateChanged(uint16_t flags) {
  inherited::StateChanged(flags);
  if (IsDataAware() && (flags & pstDesignUpdate)) Notify(dataPipeline_, ppopDataChange);
}

void TppPrintable::Loaded() {
  ClearStateFlags(pstRenameWhileReading);
  inherited::Loaded();
}

// ---- streams ----

void TppPrintable::ReadOldAlignment(cls::TReader& reader) {
  std::string ident = reader.ReadIdent();
  int v = cls::EnumValue<cls::TAlignment>(ident);
  if (v >= 0) SetAlignment(static_cast<cls::TAlignment>(v));
}

void TppPrintable::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  ppDefinePipelineName(filer, dataPipeline_, dataPipelineName_);
  auto integer = [filer](const char* name, int32_t& field) {
    filer->DefineProperty(
        name, [&field](cls::TReader& r) { field = ClampInt32(r.ReadInteger()); },
        [&field](cls::TWriter& w) { w.WriteInteger(field); }, true);
  };
  integer("mmHeight", mmHeight_);
  integer("mmLeft", mmLeft_);
  integer("mmTop", mmTop_);
  integer("mmWidth", mmWidth_);
  // Names of older definitions, read and never written.
  filer->DefineProperty("DataSource", [this](cls::TReader& r) { oldDataSourceName_ = r.ReadIdent(); }, nullptr, false);
  filer->DefineProperty("OnFormatText", [](cls::TReader& r) { r.ReadIdent(); }, nullptr, false);
  filer->DefineProperty("Region", [](cls::TReader& r) { r.ReadIdent(); }, nullptr, false);
  filer->DefineProperty("ReportField", [this](cls::TReader& r) { oldDataFieldName_ = r.ReadString(); }, nullptr,
                        false);
  filer->DefineProperty("ParentDataSource", [](cls::TReader& r) { r.ReadBoolean(); }, nullptr, false);
  if (!cls::GetPropInfo(ClassType(), "Alignment"))
    filer->DefineProperty("Alignment", [this](cls::TReader& r) { ReadOldAlignment(r); }, nullptr, false);
}

void TppPrintable::Convert(int64_t version) {
  if (version < 1270 && !oldDataFieldName_.empty()) dataField_ = oldDataFieldName_;
  if (version < 2097) {
    mmLeft_ = FromScreen(mmLeft_, ppHorizontal);
    mmTop_ = FromScreen(mmTop_, ppVertical);
    mmWidth_ = FromScreen(mmWidth_, ppHorizontal);
    mmHeight_ = FromScreen(mmHeight_, ppVertical);
  }
  if (version < 3530) SetUserName(Name());
}

// ---- published properties ----

namespace {

using P = TppPrintable;

cls::TPropInfo BoolProperty(const char* name, bool (P::*get)() const, void (P::*set)(bool), bool def) {
  cls::TPropInfo p = cls::OrdProperty<P, bool>(name, cls::TypeInfoBoolean(), get, set);
  p.HasDefault = true;
  p.Default = def ? 1 : 0;
  return p;
}

// Left, Top, Width and Height are shown in Units; streams carry the
// thousandths (mmLeft ...), so these are not stored.
cls::TPropInfo UnitProperty(const char* name, float (P::*get)() const, void (P::*set)(float)) {
  cls::TPropInfo p = cls::FloatProperty<P, float>(name, get, set);
  p.Stored = [](cls::TObject*) { return false; };
  return p;
}

cls::TPropInfo MakeProperty(const std::string& name) {
  if (name == "Alignment") {
    cls::TPropInfo p =
        cls::OrdProperty<P, cls::TAlignment>(name, cls::EnumTypeInfo<cls::TAlignment>(), &P::Alignment, &P::SetAlignment);
    p.HasDefault = true;
    return p;
  }
  if (name == "AutoSize") return BoolProperty("AutoSize", &P::AutoSize, &P::SetAutoSize, false);
  if (name == "Caption") {
    cls::TPropInfo p;
    p.Name = name;
    p.Type = cls::TypeInfoString();
    p.GetStr = [](cls::TObject* o) {
      std::string s;
      static_cast<P*>(o)->GetCaption(s);
      return s;
    };
    p.SetStr = [](cls::TObject* o, const std::string& v) { static_cast<P*>(o)->SetCaption(v); };
    return p;
  }
  if (name == "Color") {
    cls::TPropInfo p = cls::OrdProperty<P, gdi::TColor>(name, cls::TypeInfoInteger(), &P::Color, &P::SetColor);
    p.HasDefault = true;
    p.Default = 0xFFFFFF;
    return p;
  }
  if (name == "DataField") return cls::StrProperty<P>(name, &P::DataField, &P::SetDataField);
  if (name == "DataPipeline") {
    cls::TPropInfo p;
    p.Name = name;
    static const cls::TTypeInfo* type = cls::MakeClassTypeInfo("TppDataPipeline", &TppDataPipeline::StaticClass());
    p.Type = type;
    p.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<P*>(o)->DataPipeline(); };
    p.SetObj = [](cls::TObject* o, cls::TObject* v) {
      static_cast<P*>(o)->SetDataPipeline(cls::ObjectAs<TppDataPipeline>(v));
    };
    p.Stored = [](cls::TObject*) { return false; };  // streamed as DataPipelineName
    return p;
  }
  if (name == "Font") {
    cls::TPropInfo p;
    p.Name = name;
    static const cls::TTypeInfo* type = cls::MakeClassTypeInfo("TppFont", &TppFont::StaticClass());
    p.Type = type;
    p.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<P*>(o)->Font(); };
    p.SetObj = [](cls::TObject* o, cls::TObject* v) { static_cast<P*>(o)->SetFont(cls::ObjectAs<gdi::TFont>(v)); };
    return p;
  }
  if (name == "ForceJustifyLastLine")
    return BoolProperty("ForceJustifyLastLine", &P::ForceJustifyLastLine, &P::SetForceJustifyLastLine, false);
  if (name == "Height") return UnitProperty("Height", &P::Height, &P::SetHeight);
  if (name == "Left") return UnitProperty("Left", &P::Left, &P::SetLeft);
  if (name == "OnDrawCommandClick") return cls::MethodProperty<P>(name, &P::OnDrawCommandClick);
  if (name == "OnDrawCommandCreate") return cls::MethodProperty<P>(name, &P::OnDrawCommandCreate);
  if (name == "OnPrint") return cls::MethodProperty<P>(name, &P::OnPrint);
  if (name == "ParentHeight") return BoolProperty("ParentHeight", &P::ParentHeight, &P::SetParentHeight, false);
  if (name == "ParentWidth") return BoolProperty("ParentWidth", &P::ParentWidth, &P::SetParentWidth, false);
  if (name == "ReprintOnOverFlow")
    return BoolProperty("ReprintOnOverFlow", &P::ReprintOnOverFlow, &P::SetReprintOnOverFlow, false);
  if (name == "ShiftWithParent")
    return BoolProperty("ShiftWithParent", &P::ShiftWithParent, &P::SetShiftWithParent, false);
  if (name == "StretchWithParent")
    return BoolProperty("StretchWithParent", &P::StretchWithParent, &P::SetStretchWithParent, false);
  if (name == "TextAlignment") {
    cls::TPropInfo p = cls::OrdProperty<P, TppTextAlignment>(name, cls::EnumTypeInfo<TppTextAlignment>(),
                                                              &P::TextAlignment, &P::SetTextAlignment);
    p.HasDefault = true;
    return p;
  }
  if (name == "Top") return UnitProperty("Top", &P::Top, &P::SetTop);
  if (name == "Transparent") return BoolProperty("Transparent", &P::Transparent, &P::SetTransparent, false);
  if (name == "Visible") return BoolProperty("Visible", &P::Visible, &P::SetVisible, true);
  if (name == "Width") return UnitProperty("Width", &P::Width, &P::SetWidth);
  if (name == "WordWrap") return BoolProperty("WordWrap", &P::WordWrap, &P::SetWordWrap, false);
  throw EPagewrightError("TppPrintable has no property " + name);
}

}  // namespace

void TppPrintable::PublishProperties(cls::TClassInfo& c, std::initializer_list<const char*> names) {
  for (const char* name : names) cls::PublishProperty(c, MakeProperty(name));
}

void TppPrintable::RegisterProperties() { PublishProperties(StaticClass(), {"OnPrint"}); }

// ---- scripting ----

namespace {

// A text read through one of the printable's out-parameter getters.
template <void (TppPrintable::*Getter)(std::string&)>
std::string TextOf(TppPrintable* p) {
  std::string text;
  (p->*Getter)(text);
  return text;
}

}  // namespace

RA_IMPLEMENT_RTTI(TraTppPrintableRTTI)

const TraMembers* TraTppPrintableRTTI::Members() const {
  using C = TppPrintable;
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnPrint", ciComponentPrint),
       raEvent("OnDrawCommandCreate", ciComponentDrawCommandCreate,
               {raParam("aDrawCommand", daObject, &cls::TObject::StaticClass())}),
       raEvent("OnDrawCommandClick", ciComponentDrawCommandClick,
               {raParam("aDrawCommand", daObject, &cls::TObject::StaticClass())}),
       raEnumProperty<C, cls::TAlignment>("Alignment", &C::Alignment, &C::SetAlignment),
       raProperty<C, daBoolean>("AutoSize", &C::AutoSize, &C::SetAutoSize),
       raProperty<C, daString>("Caption", &TextOf<&C::GetCaption>, &C::SetCaption),
       raProperty<C, daString>("DataField", &C::DataField, &C::SetDataField),
       raObjectProperty<C, TppDataPipeline>("DataPipeline", &C::DataPipeline, &C::SetDataPipeline),
       raProperty<C, daString>("DefaultPropHint", &TextOf<&C::GetDefaultPropHint>),
       raProperty<C, daString>("DefaultPropName", &C::DefaultPropName),
       raProperty<C, daInteger>("DefaultPropEditType", &C::DefaultPropEditType),
       raProperty<C, daString>("Description", &TextOf<&C::GetDescription>),
       raObjectProperty<C, cls::TObject>("DesignControl", &C::DesignControl),
       raProperty<C, daBoolean>("DrawComponent", &C::DrawComponent),
       raObjectProperty<C, gdi::TFont>(
           "Font", [](C* p) { return p->Font(); }, [](C* p, gdi::TFont* f) { p->SetFont(f); }),
       raProperty<C, daBoolean>("GenerationComplete", &C::GenerationComplete),
       raProperty<C, daSingle>("Height", &C::Height, &C::SetHeight),
       raProperty<C, daSingle>("Left", &C::Left, &C::SetLeft),
       raObjectProperty<C, cls::TObject>("LookupPipeline", &C::LookupPipeline),
       raProperty<C, daInteger>("mmLeft", &C::mmLeft), raProperty<C, daInteger>("mmHeight", &C::mmHeight),
       raProperty<C, daInteger>("mmTop", &C::mmTop), raProperty<C, daInteger>("mmWidth", &C::mmWidth),
       raProperty<C, daBoolean>("OutOfSpace", &C::OutOfSpace), raProperty<C, daBoolean>("OverFlow", &C::OverFlow),
       raProperty<C, daBoolean>("ParentHeight", &C::ParentHeight, &C::SetParentHeight),
       raProperty<C, daBoolean>("ParentWidth", &C::ParentWidth, &C::SetParentWidth),
       raProperty<C, daBoolean>("ReprintOnOverFlow", &C::ReprintOnOverFlow, &C::SetReprintOnOverFlow),
       raProperty<C, daBoolean>("ResetOnCompute", &C::ResetOnCompute),
       raObjectProperty<C, cls::TObject>("SelectionObject", &C::SelectionObject),
       raProperty<C, daBoolean>("ShiftWithParent", &C::ShiftWithParent, &C::SetShiftWithParent),
       raProperty<C, daInteger>("SpaceUsed", &C::SpaceUsed),
       raProperty<C, daInteger>("spLeft", &C::spLeft, &C::SetspLeft),
       raProperty<C, daInteger>("spHeight", &C::spHeight, &C::SetspHeight),
       raProperty<C, daInteger>("spTop", &C::spTop, &C::SetspTop),
       raProperty<C, daInteger>("spWidth", &C::spWidth, &C::SetspWidth),
       raProperty<C, daBoolean>("StretchWithParent", &C::StretchWithParent, &C::SetStretchWithParent),
       raProperty<C, daString>("Text", &TextOf<&C::GetText>, &C::SetText),
       raProperty<C, daSingle>("Top", &C::Top, &C::SetTop),
       raEnumProperty<C, TppUnitType>("Units", &C::Units, &C::SetUnits),
       raProperty<C, daBoolean>("Visible", &C::Visible, &C::SetVisible),
       raProperty<C, daSingle>("Width", &C::Width, &C::SetWidth),
       raProperty<C, daBoolean>("WordWrap", &C::WordWrap, &C::SetWordWrap),
       raProperty<C, daInteger>("ZOrder", &C::ZOrder)});
  return &members;
}
