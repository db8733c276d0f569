#include "report/output/ppDrwCmd.h"

#include <cfloat>
#include <cmath>
#include <mutex>

#include "report/model/ppUtils.h"
#include "report/output/ppDrwCmdProps.h"

CLS_IMPLEMENT_COMPONENT(TppDrawText)
CLS_IMPLEMENT_COMPONENT(TppDrawVariable)
CLS_IMPLEMENT_COMPONENT(TppDrawVar)
CLS_IMPLEMENT_COMPONENT(TppDrawCalc)
CLS_IMPLEMENT_COMPONENT(TppDrawLine)
CLS_IMPLEMENT_COMPONENT(TppDrawShape)
CLS_IMPLEMENT_COMPONENT(TppDrawImage)

namespace {

bool SamePen(const gdi::TPen& a, const gdi::TPen& b) {
  return a.Color == b.Color && a.Style == b.Style && a.Width == b.Width;
}

bool IsClock(TppVarType t) { return t == vtDate || t == vtDateTime || t == vtPrintDateTime || t == vtTime; }

bool IsPageValue(TppVarType t) { return t >= vtPageCount && t <= vtPageNoDesc; }

}  // namespace

// ---- TppDrawText ----

TppDrawText::TppDrawText(cls::TComponent* owner) : TppDrawCommand(owner) {}

void TppDrawText::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawText>(source);
  if (!from || from == this) return;
  alignment_ = from->alignment_;
  autoSize_ = from->autoSize_;
  color_ = from->color_;
  font_.Assign(from->font_);
  forceJustifyLastLine_ = from->forceJustifyLastLine_;
  isMemo_ = from->isMemo_;
  leading_ = from->leading_;
  tabStopPositions_.Assign(&from->tabStopPositions_);
  text_ = from->text_;
  textAlignment_ = from->textAlignment_;
  transparent_ = from->transparent_;
  wordWrap_ = from->wordWrap_;
  wrappedText_.Assign(&from->wrappedText_);
  bandSave_ = from->bandSave_;
  bandSaveNo_ = from->bandSaveNo_;
  componentSave_ = from->componentSave_;
  componentSaveNo_ = from->componentSaveNo_;
  saveLength_ = from->saveLength_;
}

bool TppDrawText::IsSameAs(TppDrawCommand* other) {
  if (!inherited::IsSameAs(other)) return false;
  auto* o = static_cast<TppDrawText*>(other);  // of this class: checked above
  return alignment_ == o->alignment_ && textAlignment_ == o->textAlignment_ &&
         forceJustifyLastLine_ == o->forceJustifyLastLine_ && autoSize_ == o->autoSize_ && color_ == o->color_ &&
         font_.Name() == o->font_.Name() && font_.Size() == o->font_.Size() && font_.Style() == o->font_.Style() &&
         isMemo_ == o->isMemo_ && leading_ == o->leading_ && saveLength_ == o->saveLength_ && text_ == o->text_ &&
         transparent_ == o->transparent_ && tabStopPositions_.Text() == o->tabStopPositions_.Text() &&
         wordWrap_ == o->wordWrap_ && wrappedText_.Text() == o->wrappedText_.Text();
}

void TppDrawText::DefineProperties(cls::TFiler* filer) {
  inherited::DefineProperties(filer);
  if (!filer) return;
  filer->DefineProperty(
      "Alignment",
      [this](cls::TReader& reader) {
        if (reader.NextValue() != cls::vkIdent) {
          reader.SkipValue();
          return;
        }
        std::string ident = reader.ReadIdent();
        for (cls::TAlignment a : {cls::taLeftJustify, cls::taCenter, cls::taRightJustify})
          if (ident == cls::EnumName(a)) SetAlignment(a);
      },
      nullptr, false);
}

std::string TppDrawText::SaveSortKey() const {
  return cls::Format("%8d", {bandSaveNo_}) + cls::Format("%8d", {componentSaveNo_});
}

void TppDrawText::SetAlignment(cls::TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  switch (v) {
    case cls::taLeftJustify: textAlignment_ = taLeftJustified; break;
    case cls::taRightJustify: textAlignment_ = taRightJustified; break;
    case cls::taCenter: textAlignment_ = taCentered; break;
  }
}

void TppDrawText::SetTextAlignment(TppTextAlignment v) {
  if (v == textAlignment_) return;
  textAlignment_ = v;
  switch (v) {
    case taRightJustified: alignment_ = cls::taRightJustify; break;
    case taCentered: alignment_ = cls::taCenter; break;
    case taLeftJustified:
    case taFullJustified: alignment_ = cls::taLeftJustify; break;
  }
}

void TppDrawText::SetFont(const gdi::TFont* font) {
  if (font && font != &font_) font_.Assign(*font);
}

void TppDrawText::SetTabStopPositions(const cls::TStringList* list) {
  if (list == &tabStopPositions_) return;
  if (list) tabStopPositions_.Assign(const_cast<cls::TStringList*>(list));
  else tabStopPositions_.Clear();
}

void TppDrawText::SetWrappedText(const cls::TStringList* list) {
  if (list == &wrappedText_) return;
  if (list) wrappedText_.Assign(const_cast<cls::TStringList*>(list));
  else wrappedText_.Clear();
}

bool TppDrawText::PageValueText(TppVarType varType, std::string& text) const {
  TppPage* page = Page();
  if (!page) return false;
  text = BuildSystemVariableText(varType, page->PageNo(), page->PageCount(), true, page->PrintDateTime());
  return true;
}

// ---- TppDrawVariable ----

TppDrawVariable::TppDrawVariable(cls::TComponent* owner) : TppDrawText(owner) {}

void TppDrawVariable::BeforeDestruction() {
  listener_.reset();
  inherited::BeforeDestruction();
}

void TppDrawVariable::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawVariable>(source);
  if (!from || from == this) return;
  lookAheadKey_ = from->lookAheadKey_;
  // A copy must not take an older traversal's value over the one it has.
  traversalCount_ = from->traversalCount_;
  SetLookAhead(from->lookAhead_);
  if (listener_ && from->listener_) {
    listener_->EventMask() = from->listener_->EventMask();
    // A copy: the sources can change while subscribing.
    std::vector<TppCommunicator*> sources = from->listener_->EventSources();
    for (TppCommunicator* s : sources) s->AddEventNotify(listener_.get());
  }
}

bool TppDrawVariable::UpdatePageValues() { return lookAhead_ && listener_ && !listener_->EventMask().Empty(); }

void TppDrawVariable::SetLookAhead(bool v) {
  lookAhead_ = v;
  if (!v) {
    listener_.reset();
    return;
  }
  if (listener_) return;
  listener_.reset(new TppCommunicator(nullptr));
  listener_->EventMask().Include(ciLookAheadChange);
  listener_->SetOnEventNotify(TppEventNotifyEvent(this, &TppDrawVariable::ListenerEvent));
}

void TppDrawVariable::LookAheadChange(const std::string& key, int32_t traversalCount, const std::string& text) {
  if (!listener_ || listener_->EventMask().Empty()) return;  // final already
  if (key != lookAheadKey_) {
    listener_->EventMask().Clear();  // the value is final
    return;
  }
  if (traversalCount > traversalCount_) {
    SetText(text);
    traversalCount_ = traversalCount;
  }
}

void TppDrawVariable::ListenerEvent(cls::TObject*, TppCommunicator*, int eventId, TraParamList* params) {
  // The values travel in the event's parameter list; an event that lacks
  // one of the three carries nothing to take.
  if (eventId != ciLookAheadChange || !params) return;
  std::string key, text;
  int32_t traversalCount = 0;
  if (params->GetParam("aLookAheadKey", key) && params->GetParam("aTraversalCount", traversalCount) &&
      params->GetParam("aText", text))
    LookAheadChange(key, traversalCount, text);
}

// ---- TppDrawVar ----

void TppDrawVar::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  if (auto* from = cls::ObjectAs<TppDrawVar>(source)) varType_ = from->varType_;
}

bool TppDrawVar::IsSameAs(TppDrawCommand* other) {
  if (IsClock(varType_)) {
    auto* o = cls::ObjectAs<TppDrawVar>(other);
    return o && IsClock(o->varType_);
  }
  return inherited::IsSameAs(other) && static_cast<TppDrawVar*>(other)->varType_ == varType_;
}

bool TppDrawVar::NeedsPageValues() { return IsPageValue(varType_); }

bool TppDrawVar::UpdatePageValues() {
  if (!IsPageValue(varType_)) return false;
  std::string text;
  if (!PageValueText(varType_, text)) return false;
  SetText(text);
  return true;
}

// ---- TppDrawCalc ----

void TppDrawCalc::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  if (auto* from = cls::ObjectAs<TppDrawCalc>(source)) calcType_ = from->calcType_;
}

bool TppDrawCalc::UpdatePageValues() {
  TppVarType varType;
  switch (calcType_) {
    case TppCalcType::ctPageCount: varType = vtPageCount; break;
    case TppCalcType::ctPageSet: varType = vtPageSet; break;
    case TppCalcType::ctPageSetDesc: varType = vtPageSetDesc; break;
    default: return false;
  }
  std::string text;
  if (!PageValueText(varType, text)) return false;
  SetText(text);
  return true;
}

// ---- TppDrawLine ----

TppDrawLine::TppDrawLine(cls::TComponent* owner) : TppDrawCommand(owner) { SetDataType(dtGraphic); }

void TppDrawLine::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawLine>(source);
  if (!from || from == this) return;
  linePosition_ = from->linePosition_;
  lineStyle_ = from->lineStyle_;
  pen_.Assign(from->pen_);
  weight_ = from->weight_;
}

bool TppDrawLine::IsSameAs(TppDrawCommand* other) {
  if (!inherited::IsSameAs(other)) return false;
  auto* o = static_cast<TppDrawLine*>(other);
  return linePosition_ == o->linePosition_ && lineStyle_ == o->lineStyle_ && SamePen(pen_, o->pen_);
}

void TppDrawLine::SetPen(const gdi::TPen* pen) {
  if (pen && pen != &pen_) pen_.Assign(*pen);
}

// ---- TppDrawShape ----

TppDrawShape::TppDrawShape(cls::TComponent* owner) : TppDrawCommand(owner) { SetDataType(dtGraphic); }

void TppDrawShape::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawShape>(source);
  if (!from || from == this) return;
  brush_.Assign(from->brush_);
  pen_.Assign(from->pen_);
  shapeType_ = from->shapeType_;
  xCornerRound_ = from->xCornerRound_;
  yCornerRound_ = from->yCornerRound_;
}

bool TppDrawShape::IsSameAs(TppDrawCommand* other) {
  if (!inherited::IsSameAs(other)) return false;
  auto* o = static_cast<TppDrawShape*>(other);
  return brush_.Color == o->brush_.Color && brush_.Style == o->brush_.Style && SamePen(pen_, o->pen_) &&
         shapeType_ == o->shapeType_ && xCornerRound_ == o->xCornerRound_ && yCornerRound_ == o->yCornerRound_;
}

void TppDrawShape::SetBrush(const gdi::TBrush* brush) {
  if (brush && brush != &brush_) brush_.Assign(*brush);
}

void TppDrawShape::SetPen(const gdi::TPen* pen) {
  if (pen && pen != &pen_) pen_.Assign(*pen);
}

// ---- TppDrawImage ----

TppDrawImage::TppDrawImage(cls::TComponent* owner) : TppDrawCommand(owner) {
  SetDataType(dtGraphic);
  // A bitmap made from the old picture is of no use any more.
  picture_.OnChange = [this] { bitmap_.reset(); };
}

void TppDrawImage::Assign(cls::TPersistent* source) {
  inherited::Assign(source);
  auto* from = cls::ObjectAs<TppDrawImage>(source);
  if (!from || from == this) return;
  center_ = from->center_;
  maintainAspectRatio_ = from->maintainAspectRatio_;
  scale_ = from->scale_;
  stretch_ = from->stretch_;
  transparent_ = from->transparent_;
  directDraw_ = from->directDraw_;
  picture_.Assign(&from->picture_);
  imageName_ = from->imageName_;
}

gdi::TBitmap* TppDrawImage::GetBitmapHandle() {
  gdi::TGraphic* g = picture_.Graphic();
  if (!g || picture_.HasMetafile()) return nullptr;
  if (picture_.HasBitmap()) return &picture_.Bitmap();
  if (!bitmap_) {
    if (g->Empty() || static_cast<int64_t>(g->Width()) * g->Height() > kMaxBitmapPixels) return nullptr;
    auto bitmap = cls::MakeOwned<gdi::TBitmap>();
    bitmap->Assign(g);
    if (bitmap->Empty()) return nullptr;
    bitmap_ = std::move(bitmap);
  }
  return bitmap_.get();
}

void TppDrawImage::SetPicture(gdi::TPicture* picture) {
  if (picture && picture != &picture_) picture_.Assign(picture);
}

// ---- registration ----

namespace {

using namespace ppDrwCmdProps;


void PublishText() {
  using D = TppDrawText;
  auto& c = D::StaticClass();
  static const cls::TTypeInfo* font = cls::MakeClassTypeInfo("TFont", &gdi::TFont::StaticClass());
  static const cls::TTypeInfo* strings = cls::MakeClassTypeInfo("TStrings", &cls::TStringList::StaticClass());
  cls::PublishProperty(c, Bool("AutoSize", &D::AutoSize, &D::SetAutoSize));
  cls::TPropInfo color = cls::OrdProperty("Color", cls::TypeInfoInteger(), &D::Color, &D::SetColor);
  color.HasDefault = true;
  color.Default = gdi::clWhite;
  cls::PublishProperty(c, color);
  cls::TPropInfo f;
  f.Name = "Font";
  f.Type = font;
  f.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<D*>(o)->Font(); };
  f.SetObj = [](cls::TObject* o, cls::TObject* v) { static_cast<D*>(o)->SetFont(cls::ObjectAs<gdi::TFont>(v)); };
  cls::PublishProperty(c, f);
  cls::PublishProperty(c, Bool("ForceJustifyLastLine", &D::ForceJustifyLastLine, &D::SetForceJustifyLastLine));
  cls::PublishProperty(c, Bool("IsMemo", &D::IsMemo, &D::SetIsMemo));
  cls::PublishProperty(c, Int("Leading", &D::Leading, &D::SetLeading));
  cls::PublishProperty(c, Object<D, cls::TStringList>("TabStopPositions", strings, &D::TabStopPositions,
                                                      &D::SetTabStopPositions));
  cls::PublishProperty(c, cls::StrProperty<D>("Text", &D::Text, &D::SetText));
  cls::PublishProperty(c, Enum("TextAlignment", &D::TextAlignment, &D::SetTextAlignment, taLeftJustified));
  cls::PublishProperty(c, Bool("Transparent", &D::Transparent, &D::SetTransparent));
  cls::PublishProperty(c, Bool("WordWrap", &D::WordWrap, &D::SetWordWrap));
  cls::PublishProperty(
      c, Object<D, cls::TStringList>("WrappedText", strings, &D::WrappedText, &D::SetWrappedText));
  cls::PublishProperty(c, Bool("BandSave", &D::BandSave, &D::SetBandSave));
  cls::PublishProperty(c, Int("BandSaveNo", &D::BandSaveNo, &D::SetBandSaveNo));
  cls::PublishProperty(c, Bool("ComponentSave", &D::ComponentSave, &D::SetComponentSave));
  cls::PublishProperty(c, Int("ComponentSaveNo", &D::ComponentSaveNo, &D::SetComponentSaveNo));
  cls::PublishProperty(c, Int("SaveLength", &D::SaveLength, &D::SetSaveLength));

  cls::PublishProperty(TppDrawVar::StaticClass(),
                       Enum("VarType", &TppDrawVar::VarType, &TppDrawVar::SetVarType, vtDate));
  cls::PublishProperty(TppDrawCalc::StaticClass(), Enum("CalcType", &TppDrawCalc::CalcType, &TppDrawCalc::SetCalcType,
                                                        TppCalcType::ctDate));
}

void PublishGraphics() {
  static const cls::TTypeInfo* pen = cls::MakeClassTypeInfo("TPen", &gdi::TPen::StaticClass());
  static const cls::TTypeInfo* brush = cls::MakeClassTypeInfo("TBrush", &gdi::TBrush::StaticClass());
  static const cls::TTypeInfo* picture = cls::MakeClassTypeInfo("TPicture", &gdi::TPicture::StaticClass());
  {
    using D = TppDrawLine;
    auto& c = D::StaticClass();
    cls::PublishProperty(c, Enum("LinePosition", &D::LinePosition, &D::SetLinePosition, lpTop));
    cls::PublishProperty(c, Enum("LineStyle", &D::LineStyle, &D::SetLineStyle, lsSingle));
    cls::PublishProperty(c, Object<D, gdi::TPen>("Pen", pen, &D::Pen, &D::SetPen));
    cls::TPropInfo weight = cls::FloatProperty("Weight", &D::Weight, &D::SetWeight);
    // A stream's double is brought into single range first.
    weight.SetFloat = [](cls::TObject* o, double v) {
      if (!std::isnan(v)) v = std::clamp(v, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX));
      static_cast<D*>(o)->SetWeight(static_cast<float>(v));
    };
    cls::PublishProperty(c, weight);
  }
  {
    using D = TppDrawShape;
    auto& c = D::StaticClass();
    cls::PublishProperty(c, Object<D, gdi::TBrush>("Brush", brush, &D::Brush, &D::SetBrush));
    cls::PublishProperty(c, Object<D, gdi::TPen>("Pen", pen, &D::Pen, &D::SetPen));
    cls::PublishProperty(c, Enum("ShapeType", &D::ShapeType, &D::SetShapeType, TShapeType::stRectangle));
    cls::PublishProperty(c, Int("XCornerRound", &D::XCornerRound, &D::SetXCornerRound));
    cls::PublishProperty(c, Int("YCornerRound", &D::YCornerRound, &D::SetYCornerRound));
  }
  {
    using D = TppDrawImage;
    auto& c = D::StaticClass();
    cls::PublishProperty(c, Bool("Center", &D::Center, &D::SetCenter));
    cls::PublishProperty(c, Bool("MaintainAspectRatio", &D::MaintainAspectRatio, &D::SetMaintainAspectRatio));
    cls::PublishProperty(c, Bool("Scale", &D::Scale, &D::SetScale));
    cls::PublishProperty(c, Bool("Stretch", &D::Stretch, &D::SetStretch));
    cls::PublishProperty(c, Bool("Transparent", &D::Transparent, &D::SetTransparent));
    cls::PublishProperty(c, Bool("DirectDraw", &D::DirectDraw, &D::SetDirectDraw));
    cls::TPropInfo p;
    p.Name = "Picture";
    p.Type = picture;
    p.GetObj = [](cls::TObject* o) -> cls::TObject* { return static_cast<D*>(o)->Picture(); };
    p.SetObj = [](cls::TObject* o, cls::TObject* v) {
      static_cast<D*>(o)->SetPicture(cls::ObjectAs<gdi::TPicture>(v));
    };
    cls::PublishProperty(c, p);
    cls::PublishProperty(c, cls::StrProperty<D>("ImageName", &D::ImageName, &D::SetImageName));
  }
}

}  // namespace

void ppRegisterDrawCommandUnit() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (cls::TClass c : {&TppDrawText::StaticClass(), &TppDrawVar::StaticClass(), &TppDrawCalc::StaticClass(),
                          &TppDrawShape::StaticClass(), &TppDrawLine::StaticClass(), &TppDrawImage::StaticClass(),
                          &TppDrawVariable::StaticClass(), &TppDrawBarCode::StaticClass()})
      cls::RegisterClass(c);
    PublishText();
    PublishGraphics();
    PublishBarCode();
  });
}

// ---- scripting ----

RA_IMPLEMENT_RTTI(TraTppDrawTextRTTI)

const TraMembers* TraTppDrawTextRTTI::Members() const { return inherited::Members(); }
