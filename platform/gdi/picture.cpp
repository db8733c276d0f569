#include "platform/gdi/picture.h"

#include <algorithm>
#include <mutex>

#include "platform/classes/typinfo.h"

namespace gdi {

CLS_IMPLEMENT_CLASS(TMetafile)
CLS_IMPLEMENT_CLASS(TPicture)

// ---- metafiles

void TMetafile::SetSize(int w, int h) {
  width_ = std::max(0, w);
  height_ = std::max(0, h);
}

void TMetafile::Clear() {
  ops_.clear();
  bytes_.clear();
  width_ = height_ = 0;
}

void TMetafile::Draw(TCanvas& canvas, const win::RECT& r) {
  if (win::HDC dc = canvas.Handle()) PlayOperations(dc, ops_, {0, 0, width_, height_}, r);
}

TGraphic* TMetafile::NewCopy() const {
  auto* copy = new TMetafile;
  copy->width_ = width_;
  copy->height_ = height_;
  copy->ops_ = ops_;
  copy->bytes_ = bytes_;
  return copy;
}

void TMetafile::Assign(cls::TPersistent* source) {
  if (source == this) return;
  if (auto* m = cls::ObjectAs<TMetafile>(source)) {
    width_ = m->width_;
    height_ = m->height_;
    ops_ = m->ops_;
    bytes_ = m->bytes_;
    return;
  }
  inherited::Assign(source);
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, win::HDC reference)
    : metafile_(&metafile), dc_(CreateMetafileDC(reference)) {
  if (reference) Font.SetPixelsPerInch(win::GetDeviceCaps(reference, win::LOGPIXELSY));
  SetHandle(dc_);
}

TMetafileCanvas::~TMetafileCanvas() { Close(); }

void TMetafileCanvas::Close() {
  if (!dc_) return;
  SetHandle(nullptr);
  std::vector<Op> ops = CloseMetafileDC(dc_);
  dc_ = nullptr;
  if (metafile_->Width() <= 0 || metafile_->Height() <= 0) {
    win::RECT b = OperationBounds(ops);
    metafile_->SetSize(std::max(0, b.right), std::max(0, b.bottom));
  }
  metafile_->ops_ = std::move(ops);
  metafile_->bytes_.clear();
}

// ---- pictures

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == graphic_.get()) return;
  graphic_.reset(graphic ? graphic->NewCopy() : nullptr);
  Changed();
}

TBitmap& TPicture::Bitmap() {
  if (!HasBitmap()) {
    graphic_.reset(new TBitmap);
    Changed();
  }
  return static_cast<TBitmap&>(*graphic_);
}

TMetafile& TPicture::Metafile() {
  if (!HasMetafile()) {
    graphic_.reset(new TMetafile);
    Changed();
  }
  return static_cast<TMetafile&>(*graphic_);
}

void TPicture::Assign(cls::TPersistent* source) {
  if (source == this) return;
  if (!source) return SetGraphic(nullptr);
  if (auto* p = cls::ObjectAs<TPicture>(source)) return SetGraphic(p->Graphic());
  if (auto* g = cls::ObjectAs<TGraphic>(source)) return SetGraphic(g);
  inherited::Assign(source);
}

// ---- published properties

namespace {

template <class C>
cls::TPropInfo Ord(const std::string& name, const cls::TTypeInfo* type, std::function<int64_t(C&)> get,
                   std::function<void(C&, int64_t)> set, bool hasDefault = false, int64_t def = 0) {
  cls::TPropInfo p;
  p.Name = name;
  p.Type = type;
  p.GetOrd = [get](cls::TObject* o) { return get(*static_cast<C*>(o)); };
  p.SetOrd = [set](cls::TObject* o, int64_t v) { set(*static_cast<C*>(o), v); };
  p.HasDefault = hasDefault;
  p.Default = def;
  return p;
}

template <class E>
E ToEnum(int64_t v) {
  return v >= 0 && v < cls::EnumCount<E>() ? static_cast<E>(v) : E{};
}

int ToInt32(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

void PublishFont() {
  auto& c = TFont::StaticClass();
  const cls::TTypeInfo* i = cls::TypeInfoInteger();
  static const cls::TTypeInfo* styles = cls::MakeSetTypeInfo(
      "TFontStyles", cls::MakeEnumTypeInfo("TFontStyle", {"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"}));
  cls::PublishProperty(c, Ord<TFont>(
                              "Charset", i, [](TFont& f) { return f.Charset(); },
                              [](TFont& f, int64_t v) { f.SetCharset(static_cast<int>(std::clamp<int64_t>(v, 0, 255))); },
                              true, win::DEFAULT_CHARSET));
  cls::PublishProperty(c, Ord<TFont>(
                              "Color", i, [](TFont& f) { return f.Color(); },
                              [](TFont& f, int64_t v) { f.SetColor(static_cast<TColor>(ToInt32(v))); }, true,
                              clWindowText));
  cls::PublishProperty(c, Ord<TFont>(
                              "Height", i, [](TFont& f) { return f.Height(); },
                              [](TFont& f, int64_t v) { f.SetHeight(std::clamp<int>(ToInt32(v), -32767, 32767)); }));
  cls::PublishProperty(c, cls::StrProperty<TFont>("Name", &TFont::Name, &TFont::SetName));
  cls::PublishProperty(c, Ord<TFont>(
                              "Pitch", cls::EnumTypeInfo<TFontPitch>(), [](TFont& f) { return static_cast<int64_t>(f.Pitch()); },
                              [](TFont& f, int64_t v) { f.SetPitch(ToEnum<TFontPitch>(v)); }, true, 0));
  // Size follows Height, which is what streams keep.
  cls::TPropInfo& size = cls::PublishProperty(
      c, Ord<TFont>(
             "Size", i, [](TFont& f) { return f.Size(); },
             [](TFont& f, int64_t v) { f.SetSize(std::clamp<int>(ToInt32(v), -32767, 32767)); }));
  size.Stored = [](cls::TObject*) { return false; };
  cls::PublishProperty(c, Ord<TFont>(
                              "Style", styles, [](TFont& f) { return static_cast<int64_t>(f.Style()); },
                              [](TFont& f, int64_t v) { f.SetStyle(static_cast<TFontStyles>(v & 0xF)); }, true, 0));
}

void PublishPenAndBrush() {
  const cls::TTypeInfo* i = cls::TypeInfoInteger();
  auto& pen = TPen::StaticClass();
  cls::PublishProperty(pen, Ord<TPen>(
                                "Color", i, [](TPen& p) { return p.Color; },
                                [](TPen& p, int64_t v) { p.SetColor(static_cast<TColor>(ToInt32(v))); }, true, clBlack));
  cls::PublishProperty(pen, Ord<TPen>(
                                "Mode", cls::EnumTypeInfo<TPenMode>(), [](TPen& p) { return static_cast<int64_t>(p.Mode); },
                                [](TPen& p, int64_t v) { p.SetMode(ToEnum<TPenMode>(v)); }, true, 0));
  cls::PublishProperty(pen, Ord<TPen>(
                                "Style", cls::EnumTypeInfo<TPenStyle>(), [](TPen& p) { return static_cast<int64_t>(p.Style); },
                                [](TPen& p, int64_t v) { p.SetStyle(ToEnum<TPenStyle>(v)); }, true, 0));
  // Widths from streams stay within what a device can draw.
  cls::PublishProperty(pen, Ord<TPen>(
                                "Width", i, [](TPen& p) { return p.Width; },
                                [](TPen& p, int64_t v) { p.SetWidth(static_cast<int>(std::clamp<int64_t>(v, 0, 32767))); },
                                true, 1));
  auto& brush = TBrush::StaticClass();
  cls::PublishProperty(brush, Ord<TBrush>(
                                  "Color", i, [](TBrush& b) { return b.Color; },
                                  [](TBrush& b, int64_t v) { b.SetColor(static_cast<TColor>(ToInt32(v))); }, true,
                                  clWhite));
  cls::PublishProperty(brush, Ord<TBrush>(
                                  "Style", cls::EnumTypeInfo<TBrushStyle>(),
                                  [](TBrush& b) { return static_cast<int64_t>(b.Style); },
                                  [](TBrush& b, int64_t v) { b.SetStyle(ToEnum<TBrushStyle>(v)); }, true, 0));
}

}  // namespace

void RegisterGraphicsClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    PublishFont();
    PublishPenAndBrush();
  });
}

}  // namespace gdi
