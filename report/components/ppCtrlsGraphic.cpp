// Shapes, lines and pictures: the drawn components of ppCtrls and the
// draw commands they fill.
#include <algorithm>
#include <cmath>

#include "platform/classes/streams.h"
#include "platform/sysroot/files.h"
#include "report/components/ppCtrls.h"
#include "report/engine/ppDB.h"
#include "report/model/ppComm.h"
#include "report/model/ppRTTI.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppDrwCmdProps.h"

CLS_IMPLEMENT_CLASS(TppCustomGraphic)
CLS_IMPLEMENT_COMPONENT(TppShape)
CLS_IMPLEMENT_COMPONENT(TppLine)
CLS_IMPLEMENT_CLASS(TppCustomImage)
CLS_IMPLEMENT_COMPONENT(TppImage)
CLS_IMPLEMENT_COMPONENT(TppDBImage)

namespace {

int32_t FromScreen(int pixels) { return ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, ppVertical); }

int ToScreen(int32_t mm, TppDirection direction) {
  float v = ConvertFromMMThousandths(mm, utScreenPixels, direction);
  return std::isfinite(v) ? static_cast<int>(std::clamp(v, -1e9f, 1e9f)) : 0;
}

int ScreenPPI() { return std::max(1, cls::Screen().PixelsPerInch); }

// The graphic types a data-aware picture reads, sorted by name. The class
// library has no GIF or JPEG class, so those types are not among them.
struct TppGraphicTypeRow {
  const char* Name;
  gdi::TGraphic* (*Make)();
};
constexpr TppGraphicTypeRow ppGraphicTypes[] = {
    {"Bitmap", []() -> gdi::TGraphic* { return new gdi::TBitmap; }},
    {"Icon", []() -> gdi::TGraphic* { return new gdi::TIcon; }},
    {"MetaFile", []() -> gdi::TGraphic* { return new gdi::TMetafile; }},
};

const TppGraphicTypeRow* FindGraphicType(const std::string& name) {
  for (const auto& row : ppGraphicTypes)
    if (cls::SameText(row.Name, name)) return &row;
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------- TppCustomGraphic

TppCustomGraphic::TppCustomGraphic(cls::TComponent* owner) : TppCustomComponent(owner) {
  brush_.OnChange = [this] { GraphicChanged(); };
  pen_.OnChange = [this] { GraphicChanged(); };
  SetBounds(mmLeft(), mmTop(), FromScreen(50), FromScreen(50));
}

void TppCustomGraphic::GetBrushColor(gdi::TColor& color, bool& clear) {
  color = brush_.Color;
  clear = brush_.Style == gdi::TBrushStyle::bsClear;
}

void TppCustomGraphic::GetPenColor(gdi::TColor& color, bool& clear) {
  color = pen_.Color;
  clear = pen_.Style == gdi::TPenStyle::psClear;
}

void TppCustomGraphic::SetBrushColor(gdi::TColor color, bool clear) {
  if (clear) {
    brush_.SetStyle(gdi::TBrushStyle::bsClear);
    return;
  }
  brush_.SetColor(color);
  if (brush_.Style == gdi::TBrushStyle::bsClear) brush_.SetStyle(gdi::TBrushStyle::bsSolid);
}

void TppCustomGraphic::SetPenColor(gdi::TColor color, bool clear) {
  if (clear) {
    pen_.SetStyle(gdi::TPenStyle::psClear);
    return;
  }
  pen_.SetColor(color);
  if (pen_.Style == gdi::TPenStyle::psClear) pen_.SetStyle(gdi::TPenStyle::psSolid);
}

void TppCustomGraphic::SetPenWidth(int width) { pen_.SetWidth(width); }

void TppCustomGraphic::SetBrush(const gdi::TBrush* value) {
  if (value && value != &brush_) brush_.Assign(*value);
}

void TppCustomGraphic::SetPen(const gdi::TPen* value) {
  if (value && value != &pen_) pen_.Assign(*value);
}

void TppCustomGraphic::GraphicChanged() {
  if (LoadingOrReading()) return;
  InvalidateDesignControl();
  InvalidateDesign();
  Changed();
}

// ---------------------------------------------------------------- TppShape

TppShape::TppShape(cls::TComponent* owner) : TppCustomGraphic(owner) {
  SetDefaultPropName("Shape");
  SetDrawCommandClass(&TppDrawShape::StaticClass());
}

void TppShape::SetShape(TShapeType value) {
  shape_ = value;
  GraphicChanged();
}

void TppShape::GraphicChanged() {
  TppCustomGraphic::GraphicChanged();
  bool clear = Brush()->Style == gdi::TBrushStyle::bsClear;
  if (Transparent() != clear) SetTransparent(clear);
}

void TppShape::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomGraphic::PropertiesToDrawCommand(command);
  auto* shape = cls::ObjectAs<TppDrawShape>(command);
  if (!shape) return;
  const TppRect& r = PrintRect();
  // In screen pixels, inside the pen's half width.
  int p = std::max(0, Pen()->Width) / 2;
  int x = p, y = p;
  int w, h;
  if (IsPrinting()) {
    w = ToScreen(r.Right - r.Left, ppHorizontal);
    h = ToScreen(r.Bottom - r.Top, ppVertical);
  } else {
    w = spWidth();
    h = spHeight();
  }
  w = std::max(0, w);
  h = std::max(0, h);
  int right = x + w - 2 * p, bottom = y + h - 2 * p;
  int s = std::min(w, h);
  TShapeType type = shape_;
  if (type == TShapeType::stSquare || type == TShapeType::stRoundSquare || type == TShapeType::stCircle) {
    x += (w - s) / 2;
    right -= (w - s) / 2;
    y += (h - s) / 2;
    bottom -= (h - s) / 2;
  }
  switch (type) {
    case TShapeType::stSquare: type = TShapeType::stRectangle; break;
    case TShapeType::stRoundSquare: type = TShapeType::stRoundRect; break;
    case TShapeType::stCircle: type = TShapeType::stEllipse; break;
    default: break;
  }
  shape->SetLeft(r.Left + FromScreen(x));
  shape->SetTop(r.Top + FromScreen(y));
  // A shape smaller than its pen has no size left.
  shape->SetWidth(FromScreen(std::max(0, right - x)));
  shape->SetHeight(FromScreen(std::max(0, bottom - y)));
  int32_t round = FromScreen(s / 4);
  shape->SetXCornerRound(round);
  shape->SetYCornerRound(round);
  shape->SetBrush(Brush());
  shape->SetPen(Pen());
  shape->SetShapeType(type);
}

// ---------------------------------------------------------------- TppLine

TppLine::TppLine(cls::TComponent* owner) : TppCustomGraphic(owner) {
  SetBounds(mmLeft(), mmTop(), FromScreen(50), FromScreen(15));
  SetTransparent(true);
  SetDefaultPropName("Position");
  SetDrawCommandClass(&TppDrawLine::StaticClass());
  SetWeight(0.75f);
}

void TppLine::SetPosition(TppLinePositionType value) {
  position_ = value;
  GraphicChanged();
}

void TppLine::SetStyle(TppLineStyleType value) {
  style_ = value;
  GraphicChanged();
}

void TppLine::SetWeight(float value) {
  if (!std::isfinite(value)) return;
  value = std::clamp(value, 0.0f, 1000.0f);
  settingWeight_ = true;
  weight_ = value;
  int width = static_cast<int>(ppNint(static_cast<double>(ScreenPPI()) * value / 72));
  Pen()->SetWidth(width);
  lastPenWidth_ = Pen()->Width;
  settingWeight_ = false;
}

float TppLine::WeightOfPen() const { return static_cast<float>(Pen()->Width) / ScreenPPI() * 72; }

void TppLine::GraphicChanged() {
  TppCustomGraphic::GraphicChanged();
  if (settingWeight_ || Pen()->Width == lastPenWidth_) return;
  lastPenWidth_ = Pen()->Width;
  weight_ = WeightOfPen();
}

void TppLine::Convert(int64_t version) {
  TppCustomGraphic::Convert(version);
  if (version >= 3000) return;
  weight_ = WeightOfPen();
  lastPenWidth_ = Pen()->Width;
}

void TppLine::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomGraphic::PropertiesToDrawCommand(command);
  auto* line = cls::ObjectAs<TppDrawLine>(command);
  if (!line) return;
  line->SetLineStyle(style_);
  line->SetLinePosition(position_);
  const TppRect& r = PrintRect();
  line->SetLeft(r.Left);
  line->SetTop(r.Top);
  line->SetWidth(r.Right - r.Left);
  line->SetHeight(r.Bottom - r.Top);
  line->SetPen(Pen());
  line->SetWeight(weight_);
}

// ---------------------------------------------------------------- TppCustomImage

TppCustomImage::TppCustomImage(cls::TComponent* owner) : TppCustomComponent(owner) {
  SetBounds(mmLeft(), mmTop(), FromScreen(50), FromScreen(50));
  SetDrawCommandClass(&TppDrawImage::StaticClass());
  picture_.OnChange = [this] { PictureChanged(); };
}

void TppCustomImage::SetPicture(gdi::TPicture* value) {
  if (value != &picture_) picture_.Assign(value);
}

void TppCustomImage::SetCenter(bool value) {
  center_ = value;
  PictureChanged();
  InvalidateDesignControl();
}

void TppCustomImage::SetMaintainAspectRatio(bool value) {
  if (value == maintainAspectRatio_) return;
  maintainAspectRatio_ = value;
  PictureChanged();
  InvalidateDesignControl();
}

void TppCustomImage::SetStretch(bool value) {
  stretch_ = value;
  PictureChanged();
  InvalidateDesignControl();
}

void TppCustomImage::SetDirectDraw(bool value) {
  directDraw_ = value;
  PictureChanged();
  InvalidateDesignControl();
}

void TppCustomImage::SetTransparent(bool value) {
  TppCustomComponent::SetTransparent(value);
  PictureChanged();
  InvalidateDesignControl();
}

void TppCustomImage::InitGeneration() {
  TppCustomComponent::InitGeneration();
  imageCount_ = 0;
}

void TppCustomImage::PictureChanged() {
  if (LoadingOrReading()) return;
  if (AutoSize() && picture_.Width() > 0 && picture_.Height() > 0)
    SetBounds(mmLeft(), mmTop(), ConvertToMMThousandths(static_cast<float>(picture_.Width()), utScreenPixels),
              ConvertToMMThousandths(static_cast<float>(picture_.Height()), utScreenPixels, ppVertical));
  InvalidateDesignControl();
  if (IsPrinting()) CountImage();
}

void TppCustomImage::GetCaption(std::string& text) {
  if (IsDataAware() && !DataField().empty())
    text = DataPipeline() ? DataPipeline()->GetFieldDisplayName(DataField()) : DataField();
  else
    text = UserName();
}

std::string TppCustomImage::ImageName() { return Name() + std::to_string(imageCount_); }

void TppCustomImage::PropertiesToDrawCommand(TppDrawCommand* command) {
  TppCustomComponent::PropertiesToDrawCommand(command);
  auto* image = cls::ObjectAs<TppDrawImage>(command);
  if (!image) return;
  const TppRect& r = PrintRect();
  image->SetLeft(r.Left);
  image->SetTop(r.Top);
  image->SetWidth(r.Right - r.Left);
  image->SetHeight(r.Bottom - r.Top);
  image->SetStretch(stretch_);
  image->SetCenter(center_);
  image->SetMaintainAspectRatio(maintainAspectRatio_);
  image->SetDirectDraw(directDraw_);
  if (Name().empty()) {
    std::string name;
    MakeUniqueName(this, name);
    SetName(name);
  }
  image->SetImageName(ImageName());
  image->SetPicture(&picture_);
  image->SetTransparent(Transparent());
}

// ---------------------------------------------------------------- TppImage

TppImage::TppImage(cls::TComponent* owner) : TppCustomImage(owner) {}

void TppImage::SetAutoSize(bool value) {
  TppCustomImage::SetAutoSize(value);
  PictureChanged();
}

void TppImage::Convert(int64_t version) {
  TppCustomImage::Convert(version);
  if (version < 4201 && !Picture()->Empty()) SetDirectDraw(Picture()->HasMetafile());
}

// ---------------------------------------------------------------- TppDBImage

TppDBImage::TppDBImage(cls::TComponent* owner) : TppCustomImage(owner) {
  SetDefaultPropEditType(ppPropEditDataField);
  SetDefaultPropName("DataField");
}

void TppDBImage::SetAutoDisplay(bool value) {
  if (value == autoDisplay_) return;
  autoDisplay_ = value;
  if (value) LoadPicture();
}

void TppDBImage::SetGraphicType(const std::string& value) {
  const TppGraphicTypeRow* row = FindGraphicType(value);
  if (!row) return;
  graphicType_ = row->Name;
  if (LoadingOrReading()) return;
  SetDirectDraw(graphicType_ == "MetaFile");
  InvalidateDesignControl();
  Changed();
}

void TppDBImage::SetDataField(const std::string& value) {
  TppCustomImage::SetDataField(value);
  if (HasState(cls::csDesigning) && !LoadingOrReading()) LoadPicture();
}

void TppDBImage::SetDataPipeline(TppDataPipeline* value) {
  TppCustomImage::SetDataPipeline(value);
  if (HasState(cls::csDesigning) && !LoadingOrReading()) LoadPicture();
}

void TppDBImage::PictureChanged() { InvalidateDesignControl(); }

void TppDBImage::GetDescription(std::string& text) {
  text = DataField().empty() ? UserName() : UserName() + ": " + DataField();
}

void TppDBImage::LoadPicture() {
  gdi::TPicture* picture = Picture();
  picture->Adopt(nullptr);
  if (IsPrinting()) ++loads_;
  if (!OnGetPicture && !HasEventNotify(ciImageGetPicture)) {
    if (!autoDisplay_ || !IsDataAvailable()) return;
    TppDataPipeline* pipeline = DataPipeline();
    try {
      TppDataType type = pipeline->GetFieldDataType(DataField());
      if (type == dtBLOB || type == dtGraphic) {
        // The pipeline gives a blob's bytes as its text.
        std::string bytes = pipeline->GetFieldAsString(DataField());
        if (bytes.empty()) return;
        const TppGraphicTypeRow* row = FindGraphicType(graphicType_);
        cls::Owned<gdi::TGraphic> graphic(row ? row->Make() : new gdi::TBitmap);
        cls::TMemoryStream stream;
        stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        stream.SetPosition(0);
        graphic->LoadFromStream(stream);
        picture->Adopt(graphic.release());
      } else if (type == dtString) {
        std::string file = pipeline->GetFieldAsString(DataField());
        if (!file.empty() && win::FileExists(file)) picture->LoadFromFile(file);
      }
    } catch (const cls::Exception&) {
      picture->Adopt(nullptr);  // a picture that cannot be read prints as none
    }
    return;
  }
  if (OnGetPicture) OnGetPicture(this, picture);
  TraParamList params;
  params.AddParam("aPicture", daObject, false, false, {}, &gdi::TPicture::StaticClass());
  params.SetParamAddress(0, &picture);
  SendEventNotify(this, ciImageGetPicture, &params);
}

std::string TppDBImage::ImageName() {
  // The load count stands for the record: every record's picture is loaded
  // once while the report generates.
  TppDataPipeline* pipeline = DataPipeline();
  return Name() + (pipeline ? pipeline->Name() : std::string()) + DataField() + std::to_string(loads_);
}

void TppDBImage::PropertiesToDrawCommand(TppDrawCommand* command) {
  LoadPicture();
  TppCustomImage::PropertiesToDrawCommand(command);
}

// ---------------------------------------------------------------- registration

namespace {

using namespace ppDrwCmdProps;

const cls::TTypeInfo* PenType() {
  static const cls::TTypeInfo* type = cls::MakeClassTypeInfo("TPen", &gdi::TPen::StaticClass());
  return type;
}

const cls::TTypeInfo* BrushType() {
  static const cls::TTypeInfo* type = cls::MakeClassTypeInfo("TBrush", &gdi::TBrush::StaticClass());
  return type;
}

template <class C, class T>
cls::TPropInfo Owned(const char* name, const cls::TTypeInfo* type, T* (C::*get)(), void (C::*set)(const T*)) {
  return Object<C, T>(name, type, get, set);
}

// The properties shapes and lines share, in the order they are published.
void PublishGraphicCommon(cls::TClassInfo& c) {
  TppPrintable::PublishProperties(c, {"OnDrawCommandClick", "OnDrawCommandCreate", "ParentHeight", "ParentWidth"});
  cls::PublishProperty(c, Owned<TppCustomGraphic, gdi::TPen>("Pen", PenType(), &TppCustomGraphic::Pen,
                                                             &TppCustomGraphic::SetPen));
  TppPrintable::PublishProperties(c, {"ReprintOnOverFlow", "ShiftWithParent", "StretchWithParent"});
  cls::PublishProperty(c, ppUserNameProperty());
  TppPrintable::PublishProperties(c, {"Visible", "Height", "Left", "Top", "Width"});
}

void PublishImageCommon(cls::TClassInfo& c) {
  using I = TppCustomImage;
  static const cls::TTypeInfo* picture = cls::MakeClassTypeInfo("TPicture", &gdi::TPicture::StaticClass());
  cls::TPropInfo center = Bool<I>("Center", &I::Center, &I::SetCenter);
  center.Default = 1;
  cls::PublishProperty(c, center);
  cls::PublishProperty(c, Bool<I>("DirectDraw", &I::DirectDraw, &I::SetDirectDraw));
  cls::PublishProperty(c, Bool<I>("MaintainAspectRatio", &I::MaintainAspectRatio, &I::SetMaintainAspectRatio));
  TppPrintable::PublishProperties(c, {"OnDrawCommandClick", "OnDrawCommandCreate", "ParentHeight", "ParentWidth"});
  cls::TPropInfo p;
  p.Name = "Picture";
  p.Type = picture;
  p.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<I*>(o)->Picture(); };
  p.SetObj = [](cls::TObject* o, cls::TObject* v) { static_cast<I*>(o)->SetPicture(cls::ObjectAs<gdi::TPicture>(v)); };
  cls::PublishProperty(c, p);
  TppPrintable::PublishProperties(c, {"ReprintOnOverFlow", "ShiftWithParent"});
  cls::PublishProperty(c, Bool<I>("Stretch", &I::Stretch, &I::SetStretch));
  TppPrintable::PublishProperties(c, {"StretchWithParent", "Transparent"});
  cls::PublishProperty(c, ppUserNameProperty());
  TppPrintable::PublishProperties(c, {"Visible", "Height", "Left", "Top", "Width"});
}

}  // namespace

void ppRegisterCtrlsGraphicUnit() {
  for (cls::TClass c : {&TppShape::StaticClass(), &TppLine::StaticClass(), &TppImage::StaticClass(),
                        &TppDBImage::StaticClass()})
    cls::RegisterClass(c);

  auto& shape = TppShape::StaticClass();
  cls::PublishProperty(shape, Owned<TppCustomGraphic, gdi::TBrush>("Brush", BrushType(), &TppCustomGraphic::Brush,
                                                                   &TppCustomGraphic::SetBrush));
  PublishGraphicCommon(shape);
  cls::PublishProperty(shape, Enum<TppShape, TShapeType>("Shape", &TppShape::Shape, &TppShape::SetShape,
                                                         TShapeType::stRectangle));

  auto& line = TppLine::StaticClass();
  PublishGraphicCommon(line);
  cls::PublishProperty(line, Enum<TppLine, TppLinePositionType>("Position", &TppLine::Position,
                                                                &TppLine::SetPosition, lpTop));
  cls::PublishProperty(line, Enum<TppLine, TppLineStyleType>("Style", &TppLine::Style, &TppLine::SetStyle, lsSingle));
  cls::TPropInfo weight = cls::FloatProperty<TppLine, float>("Weight", &TppLine::Weight, &TppLine::SetWeight);
  weight.SetFloat = [](cls::TObject* o, double v) {
    if (std::isfinite(v)) static_cast<TppLine*>(o)->SetWeight(static_cast<float>(std::clamp(v, 0.0, 1000.0)));
  };
  cls::PublishProperty(line, weight);

  auto& image = TppImage::StaticClass();
  cls::PublishProperty(image, ppAutoSizeProperty(false));
  PublishImageCommon(image);

  using D = TppDBImage;
  auto& db = D::StaticClass();
  cls::TPropInfo autoDisplay = Bool<D>("AutoDisplay", &D::AutoDisplay, &D::SetAutoDisplay);
  autoDisplay.Default = 1;
  cls::PublishProperty(db, autoDisplay);
  TppPrintable::PublishProperties(db, {"DataField", "DataPipeline"});
  cls::TPropInfo graphicType = cls::StrProperty<D>("GraphicType", &D::GraphicType, &D::SetGraphicType);
  cls::PublishProperty(db, graphicType);
  cls::PublishProperty(db, cls::MethodProperty<D>("OnGetPicture", &D::OnGetPicture));
  cls::TPropInfo parent = cls::OrdProperty<TppComponent, bool>(
      "ParentDataPipeline", cls::TypeInfoBoolean(), &TppComponent::ParentDataPipeline,
      &TppComponent::SetParentDataPipeline);
  parent.HasDefault = true;
  parent.Default = 1;
  cls::PublishProperty(db, parent);
  PublishImageCommon(db);
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppCustomImageRTTI)
RA_IMPLEMENT_RTTI(TraTppDBImageRTTI)
RA_IMPLEMENT_RTTI(TraTppCustomGraphicRTTI)
RA_IMPLEMENT_RTTI(TraTppLineRTTI)
RA_IMPLEMENT_RTTI(TraTppShapeRTTI)

const TraMembers* TraTppCustomImageRTTI::Members() const {
  using C = TppCustomImage;
  static const TraMembers members(
      inherited::Members(),
      {raProperty<C, daBoolean>("Center", &C::Center, &C::SetCenter),
       raProperty<C, daBoolean>("DirectDraw", &C::DirectDraw, &C::SetDirectDraw),
       raProperty<C, daBoolean>("MaintainAspectRatio", &C::MaintainAspectRatio, &C::SetMaintainAspectRatio),
       raProperty<C, daBoolean>("Stretch", &C::Stretch, &C::SetStretch),
       raProperty<C, daBoolean>("Transparent", &C::Transparent, &C::SetTransparent)});
  return &members;
}

const TraMembers* TraTppDBImageRTTI::Members() const {
  static const TraMembers members(
      inherited::Members(),
      {raEvent("OnGetPicture", ciImageGetPicture, {raParam("aPicture", daObject, &gdi::TPicture::StaticClass())})});
  return &members;
}

const TraMembers* TraTppCustomGraphicRTTI::Members() const {
  using C = TppCustomGraphic;
  static const TraMembers members(
      inherited::Members(),
      {raObjectProperty<C, gdi::TBrush>("Brush", [](C* c) { return c->Brush(); }, &C::SetBrush),
       raObjectProperty<C, gdi::TPen>("Pen", [](C* c) { return c->Pen(); }, &C::SetPen)});
  return &members;
}

const TraMembers* TraTppLineRTTI::Members() const {
  using C = TppLine;
  static const TraMembers members(
      inherited::Members(), {raEnumProperty<C, TppLinePositionType>("Position", &C::Position, &C::SetPosition),
                             raEnumProperty<C, TppLineStyleType>("Style", &C::Style, &C::SetStyle)});
  return &members;
}

const TraMembers* TraTppShapeRTTI::Members() const {
  using C = TppShape;
  static const TraMembers members(inherited::Members(),
                                  {raEnumProperty<C, TShapeType>("Shape", &C::Shape, &C::SetShape)});
  return &members;
}

// ---- design popup menus ----

namespace {

constexpr std::pair<const char*, TppLinePositionType> kLinePositionItems[] = {
    {"PositionTop", lpTop}, {"PositionBottom", lpBottom}, {"PositionLeft", lpLeft}, {"PositionRight", lpRight}};
constexpr std::pair<const char*, TppLineStyleType> kLineStyleItems[] = {{"StyleSingle", lsSingle},
                                                                       {"StyleDouble", lsDouble}};

}  // namespace

void TppLine::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomGraphic::CreatePopupMenu(menu);
  int order = 6;
  for (const auto& [name, style] : kLineStyleItems)
    menu->AddAction<TppLine>(order++, name, 0, [style = style](TppLine& l) { l.SetStyle(style); });
  for (const auto& [name, position] : kLinePositionItems)
    menu->AddAction<TppLine>(order++, name, 0, [position = position](TppLine& l) { l.SetPosition(position); });
}

void TppLine::UpdatePopupMenu(TppPopupMenu* menu) {
  TppCustomGraphic::UpdatePopupMenu(menu);
  if (!menu) return;
  for (const auto& [name, style] : kLineStyleItems)
    if (ui::TMenuItem* i = menu->FindItem(name)) i->Checked = style_ == style;
  for (const auto& [name, position] : kLinePositionItems)
    if (ui::TMenuItem* i = menu->FindItem(name)) i->Checked = position_ == position;
}

void TppImage::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomImage::CreatePopupMenu(menu);
  // Loading a chosen file needs a picture-open dialog, which the platform
  // does not have.
  menu->AddAction<TppImage>(6, "Picture", 0);
}

void TppDBImage::CreatePopupMenu(TppPopupMenu*& menu) {
  TppCustomImage::CreatePopupMenu(menu);
  ui::TMenuItem* parent = menu->AddAction<TppDBImage>(6, "GraphicType", 0);
  if (!parent) return;
  for (const auto& row : ppGraphicTypes) {
    auto* item = new ui::TMenuItem(menu);
    item->Caption = row.Name;
    item->OnClick = [menu, name = std::string(row.Name)](cls::TObject*) {
      if (auto* image = cls::ObjectAs<TppDBImage>(menu->Component())) image->SetGraphicType(name);
    };
    parent->Add(item);
  }
}

void TppDBImage::UpdatePopupMenu(TppPopupMenu* menu) {
  TppCustomImage::UpdatePopupMenu(menu);
  if (ui::TMenuItem* parent = menu ? menu->FindItem("GraphicType") : nullptr)
    for (int i = 0; i < parent->Count(); ++i)
      parent->Items(i)->Checked = cls::SameText(parent->Items(i)->Caption, graphicType_);
}
