#include "canvas.h"

#include <cstdlib>
#include <cstring>

namespace gdi {
namespace {

// a * b / c rounded half away from zero, as the platform's MulDiv.
int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  long long p = static_cast<long long>(a) * b;
  long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
  return static_cast<int>((p < 0) != (c < 0) ? -q : q);
}

}  // namespace

win::COLORREF ColorToRGB(TColor c) {
  if (IsSystemColor(c)) {
    switch (c & 0xFF) {
      case COLOR_WINDOW: return 0xFFFFFF;
      case COLOR_WINDOWTEXT: return 0x000000;
      case COLOR_HIGHLIGHT: return 0x800000;
      case COLOR_HIGHLIGHTTEXT: return 0xFFFFFF;
      case COLOR_BTNFACE: return 0xC0C0C0;
      case COLOR_BTNSHADOW: return 0x808080;
      case COLOR_BTNHIGHLIGHT: return 0xFFFFFF;
      default: return 0x000000;
    }
  }
  return static_cast<win::COLORREF>(c) & 0xFFFFFF;
}

TFont::TFont() : ppi_(ScreenPixelsPerInch()) {}

CLS_IMPLEMENT_CLASS(TFont)
CLS_IMPLEMENT_CLASS(TPen)
CLS_IMPLEMENT_CLASS(TBrush)
CLS_IMPLEMENT_CLASS(TGraphic)
CLS_IMPLEMENT_CLASS(TBitmap)

TFont::TFont(const TFont& o)
    : TPersistent(),
      name_(o.name_),
      height_(o.height_),
      style_(o.style_),
      color_(o.color_),
      charset_(o.charset_),
      pitch_(o.pitch_),
      ppi_(o.ppi_),
      orientation_(o.orientation_) {}

TFont& TFont::operator=(const TFont& o) {
  if (this != &o) Assign(o);
  return *this;
}

void TFont::Changed() {
  if (OnChange) OnChange();
}
void TFont::SetName(const std::string& v) {
  if (v != name_ && !v.empty()) name_ = v, Changed();
}
int TFont::Size() const { return -MulDiv(height_, 72, ppi_); }
void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ppi_, 72)); }
void TFont::SetHeight(int v) {
  if (v != height_) height_ = v, Changed();
}
void TFont::SetStyle(TFontStyles v) {
  if (v != style_) style_ = v, Changed();
}
void TFont::SetColor(TColor v) {
  if (v != color_) color_ = v, Changed();
}
void TFont::SetCharset(int v) {
  if (v != charset_) charset_ = v, Changed();
}
void TFont::SetPitch(TFontPitch v) {
  if (v != pitch_) pitch_ = v, Changed();
}
void TFont::SetOrientation(int v) {
  if (v != orientation_) orientation_ = v, Changed();
}

void TFont::Assign(const TFont& o) {
  // Keeps the point size under this font's resolution.
  name_ = o.name_;
  height_ = o.ppi_ == ppi_ ? o.height_ : -MulDiv(o.Size(), ppi_, 72);
  style_ = o.style_;
  color_ = o.color_;
  charset_ = o.charset_;
  pitch_ = o.pitch_;
  orientation_ = o.orientation_;
  Changed();
}

void TFont::Assign(cls::TPersistent* source) {
  if (auto* f = cls::ObjectAs<TFont>(source)) return Assign(*f);
  inherited::Assign(source);
}

bool TFont::Equals(const TFont& o) const {
  return name_ == o.name_ && Size() == o.Size() && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_;
}

win::LOGFONTA TFont::LogFont() const {
  win::LOGFONTA lf;
  lf.lfHeight = height_;
  lf.lfEscapement = lf.lfOrientation = orientation_;
  lf.lfWeight = (style_ & fsBold) ? win::FW_BOLD : win::FW_NORMAL;
  lf.lfItalic = (style_ & fsItalic) ? 1 : 0;
  lf.lfUnderline = (style_ & fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = (style_ & fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = static_cast<win::BYTE>(charset_);
  lf.lfPitchAndFamily = static_cast<win::BYTE>(pitch_ == TFontPitch::fpFixed ? 1 : pitch_ == TFontPitch::fpVariable ? 2 : 0);
  std::strncpy(lf.lfFaceName, name_.c_str(), sizeof lf.lfFaceName - 1);
  return lf;
}

void TPen::SetColor(TColor v) {
  if (v != Color) Color = v, Changed();
}
void TPen::SetWidth(int v) {
  if (v != Width) Width = v, Changed();
}
void TPen::SetStyle(TPenStyle v) {
  if (v != Style) Style = v, Changed();
}
void TPen::SetMode(TPenMode v) {
  if (v != Mode) Mode = v, Changed();
}
void TPen::Assign(const TPen& o) {
  Color = o.Color, Width = o.Width, Style = o.Style, Mode = o.Mode;
  Changed();
}
void TPen::Assign(cls::TPersistent* source) {
  if (auto* p = cls::ObjectAs<TPen>(source)) return Assign(*p);
  inherited::Assign(source);
}

void TBrush::SetColor(TColor v) {
  if (v != Color) Color = v, Changed();
}
void TBrush::SetStyle(TBrushStyle v) {
  if (v != Style) Style = v, Changed();
}
void TBrush::Assign(const TBrush& o) {
  Color = o.Color, Style = o.Style;
  Changed();
}
void TBrush::Assign(cls::TPersistent* source) {
  if (auto* b = cls::ObjectAs<TBrush>(source)) return Assign(*b);
  inherited::Assign(source);
}

TCanvas::TCanvas() = default;

TCanvas::~TCanvas() { FreeObjects(); }

void TCanvas::FreeObjects() {
  if (dc_) {
    win::SelectObject(dc_, win::GetStockObject(win::SYSTEM_FONT));
    win::SelectObject(dc_, win::GetStockObject(win::BLACK_PEN));
    win::SelectObject(dc_, win::GetStockObject(win::WHITE_BRUSH));
  }
  win::DeleteObject(font_), font_ = nullptr;
  win::DeleteObject(pen_), pen_ = nullptr;
  win::DeleteObject(brush_), brush_ = nullptr;
}

win::HDC TCanvas::Handle() {
  if (!dc_) CreateHandle();
  return dc_;
}

void TCanvas::SetHandle(win::HDC dc) {
  if (dc == dc_) return;
  FreeObjects();
  dc_ = dc;
}

namespace {

bool SameFont(const win::LOGFONTA& a, const win::LOGFONTA& b) {
  return a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfEscapement == b.lfEscapement &&
         a.lfOrientation == b.lfOrientation && a.lfWeight == b.lfWeight && a.lfItalic == b.lfItalic &&
         a.lfUnderline == b.lfUnderline && a.lfStrikeOut == b.lfStrikeOut && a.lfCharSet == b.lfCharSet &&
         a.lfOutPrecision == b.lfOutPrecision && a.lfClipPrecision == b.lfClipPrecision &&
         a.lfQuality == b.lfQuality && a.lfPitchAndFamily == b.lfPitchAndFamily &&
         std::memcmp(a.lfFaceName, b.lfFaceName, sizeof a.lfFaceName) == 0;
}

}  // namespace

void TCanvas::RequireState() {
  win::HDC dc = Handle();
  if (!dc) return;
  Changing();
  // An object is made afresh only when what it stands for changed, or when
  // the context holds another one now (someone selected their own).
  win::LOGFONTA lf = Font.LogFont();
  if (!font_ || !SameFont(lf, fontSpec_) || win::GetCurrentObject(dc, win::OBJ_FONT) != font_) {
    win::HFONT f = win::CreateFontIndirectA(&lf);
    win::SelectObject(dc, f);
    win::DeleteObject(font_);
    font_ = f;
    fontSpec_ = lf;
  }
  static const int penStyles[] = {win::PS_SOLID, win::PS_DASH, win::PS_DOT, win::PS_DASHDOT,
                                  win::PS_DASHDOTDOT, win::PS_NULL, win::PS_INSIDEFRAME};
  PenSpec pen{penStyles[static_cast<int>(Pen.Style)], Pen.Width, ColorToRGB(Pen.Color)};
  if (!pen_ || pen.style != penSpec_.style || pen.width != penSpec_.width || pen.color != penSpec_.color ||
      win::GetCurrentObject(dc, win::OBJ_PEN) != pen_) {
    win::HPEN p = win::CreatePen(pen.style, pen.width, pen.color);
    win::SelectObject(dc, p);
    win::DeleteObject(pen_);
    pen_ = p;
    penSpec_ = pen;
  }
  BrushSpec brush{win::BS_SOLID, 0, ColorToRGB(Brush.Color)};
  if (Brush.Style == TBrushStyle::bsClear)
    brush = {win::BS_NULL, 0, 0};
  else if (Brush.Style != TBrushStyle::bsSolid)
    brush = {win::BS_HATCHED, static_cast<int>(Brush.Style) - 2, brush.color};
  if (!brush_ || brush.style != brushSpec_.style || brush.hatch != brushSpec_.hatch ||
      brush.color != brushSpec_.color || win::GetCurrentObject(dc, win::OBJ_BRUSH) != brush_) {
    win::HBRUSH b;
    switch (Brush.Style) {
      case TBrushStyle::bsSolid: b = win::CreateSolidBrush(brush.color); break;
      case TBrushStyle::bsClear: b = win::CreateBrushStyle(win::BS_NULL, 0); break;
      default: b = win::CreateHatchBrush(brush.hatch, brush.color);
    }
    win::SelectObject(dc, b);
    win::DeleteObject(brush_);
    brush_ = b;
    brushSpec_ = brush;
  }
  win::SetTextColor(dc, ColorToRGB(Font.Color()));
  win::SetBkColor(dc, ColorToRGB(Brush.Color));
  win::SetBkMode(dc, Brush.Style == TBrushStyle::bsClear ? win::TRANSPARENT : win::OPAQUE);
}

void TCanvas::MoveTo(int x, int y) {
  if (Handle()) win::MoveToEx(dc_, x, y, nullptr);
  penPos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  RequireState();
  if (dc_) {
    win::MoveToEx(dc_, penPos_.x, penPos_.y, nullptr);
    win::LineTo(dc_, x, y);
  }
  penPos_ = {x, y};
}

void TCanvas::Polyline(const std::vector<win::PT>& pts) {
  RequireState();
  if (dc_ && pts.size() >= 2) win::Polyline(dc_, pts.data(), static_cast<int>(pts.size()));
}

void TCanvas::Polygon(const std::vector<win::PT>& pts) {
  RequireState();
  if (dc_ && pts.size() >= 2) win::Polygon(dc_, pts.data(), static_cast<int>(pts.size()));
}

void TCanvas::Rectangle(int l, int t, int r, int b) {
  RequireState();
  if (dc_) win::Rectangle(dc_, l, t, r, b);
}

void TCanvas::RoundRect(int l, int t, int r, int b, int cw, int ch) {
  RequireState();
  if (dc_) win::RoundRect(dc_, l, t, r, b, cw, ch);
}

void TCanvas::Ellipse(int l, int t, int r, int b) {
  RequireState();
  if (dc_) win::Ellipse(dc_, l, t, r, b);
}

void TCanvas::FillRect(const win::RECT& r) {
  RequireState();
  if (dc_) win::FillRect(dc_, &r, brush_);
}

void TCanvas::FrameRect(const win::RECT& r) {
  RequireState();
  if (dc_) win::FrameRect(dc_, &r, brush_);
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  RequireState();
  if (dc_) win::ExtTextOutA(dc_, x, y, 0, nullptr, text.data(), static_cast<int>(text.size()), nullptr);
}

void TCanvas::TextRect(const win::RECT& r, int x, int y, const std::string& text) {
  RequireState();
  unsigned opts = win::ETO_CLIPPED | (Brush.Style != TBrushStyle::bsClear ? win::ETO_OPAQUE : 0);
  if (dc_) win::ExtTextOutA(dc_, x, y, opts, &r, text.data(), static_cast<int>(text.size()), nullptr);
}

win::SIZE TCanvas::TextExtent(const std::string& text) {
  win::SIZE s{};
  RequireState();
  if (dc_) win::GetTextExtentPoint32A(dc_, text.data(), static_cast<int>(text.size()), &s);
  return s;
}

int TCanvas::TextWidth(const std::string& text) { return TextExtent(text).cx; }
int TCanvas::TextHeight(const std::string& text) { return TextExtent(text).cy; }

void TCanvas::StretchDraw(const win::RECT& r, TGraphic& graphic) {
  RequireState();
  if (dc_ && !graphic.Empty()) graphic.Draw(*this, r);
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
  StretchDraw({x, y, x + graphic.Width(), y + graphic.Height()}, graphic);
}

win::RECT TCanvas::ClipRect() {
  win::RECT r{};
  if (Handle()) win::GetClipBox(dc_, &r);
  return r;
}

TBitmap::TBitmap() = default;

TBitmap::~TBitmap() {
  canvas_.reset();
  if (dc_) {
    if (old_) win::SelectObject(dc_, old_);
    win::DeleteDC(dc_);
  }
  win::DeleteObject(bitmap_);
}

void TBitmap::SetSize(int w, int h) {
  if (w == width_ && h == height_) return;
  Replace(win::CreateBitmap32(w, h, nullptr), w, h);
}

void TBitmap::Replace(win::HBITMAP bm, int w, int h) {
  // The context lets go of the old bitmap before it is freed: it takes the
  // new one, or the one it had at first.
  if (dc_) {
    win::HGDIOBJ prev = win::SelectObject(dc_, bm ? bm : old_);
    if (!old_) old_ = prev;
  }
  win::DeleteObject(bitmap_);
  bitmap_ = bm;
  width_ = bm ? w : 0;
  height_ = bm ? h : 0;
}

bool TBitmap::SetPixels(int w, int h, const std::vector<std::uint32_t>& pixels) {
  if (w <= 0 || h <= 0 || pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) return false;
  win::HBITMAP bm = win::CreateBitmap32(w, h, pixels.data());
  if (!bm) return false;
  Replace(bm, w, h);
  return true;
}

void TBitmap::Draw(TCanvas& canvas, const win::RECT& r) {
  win::HDC dc = canvas.Handle();
  if (dc && width_ > 0 && height_ > 0)
    win::StretchBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, DC(), 0, 0, width_, height_,
                    canvas.CopyMode);
}

TGraphic* TBitmap::NewCopy() const {
  auto* copy = new TBitmap;
  if (width_ > 0 && height_ > 0) copy->SetPixels(width_, height_, Pixels());
  return copy;
}

void TBitmap::Assign(cls::TPersistent* source) {
  if (source == this) return;
  if (auto* b = cls::ObjectAs<TBitmap>(source)) {
    if (b->Empty()) Replace(nullptr, 0, 0);
    else SetPixels(b->width_, b->height_, b->Pixels());
    return;
  }
  if (auto* g = cls::ObjectAs<TGraphic>(source)) {
    Replace(nullptr, 0, 0);
    SetSize(g->Width(), g->Height());
    if (!Empty()) g->Draw(Canvas(), {0, 0, width_, height_});
    return;
  }
  inherited::Assign(source);
}

win::HDC TBitmap::DC() {
  if (!dc_) {
    dc_ = win::CreateCompatibleDC(nullptr);
    if (bitmap_) old_ = win::SelectObject(dc_, bitmap_);
  }
  return dc_;
}

TCanvas& TBitmap::Canvas() {
  if (!canvas_) {
    canvas_ = std::make_unique<TCanvas>();
    canvas_->SetHandle(DC());
  }
  return *canvas_;
}

std::vector<std::uint32_t> TBitmap::Pixels() const {
  std::vector<std::uint32_t> p;
  win::GetBitmapPixels(bitmap_, p);
  return p;
}

}  // namespace gdi
