#include "controls.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/sysroot/codepage.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/menus.h"

namespace ui {

// ---- TControl

CLS_IMPLEMENT_COMPONENT(TControl)
CLS_IMPLEMENT_COMPONENT(TGraphicControl)
CLS_IMPLEMENT_COMPONENT(TWinControl)
CLS_IMPLEMENT_COMPONENT(TCustomPanel)
CLS_IMPLEMENT_COMPONENT(TPanel)
CLS_IMPLEMENT_COMPONENT(TLabel)
CLS_IMPLEMENT_COMPONENT(TButton)
CLS_IMPLEMENT_COMPONENT(TSpeedButton)
CLS_IMPLEMENT_COMPONENT(TMemo)
CLS_IMPLEMENT_COMPONENT(TEdit)
CLS_IMPLEMENT_COMPONENT(TListBox)
CLS_IMPLEMENT_COMPONENT(THeaderControl)
CLS_IMPLEMENT_COMPONENT(TUpDown)

TControl::TControl(TComponent* AOwner) : TComponent(AOwner) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* p) {
  if (p == parent_) return;
  if (parent_) {
    auto& v = parent_->controls_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
    TWinControl* old = parent_;
    parent_ = nullptr;
    old->Realign();
  }
  parent_ = p;
  if (p) {
    p->controls_.push_back(this);
    p->Realign();
  }
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& v = parent_->controls_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
  v.push_back(this);
  Invalidate();
}

void TControl::SetBounds(int left, int top, int width, int height) {
  bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  if (parent_) parent_->Realign();
  if (resized)
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Resized();
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (parent_) parent_->Realign();
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_)
    if (!c->Visible()) return false;
  return true;
}

void TControl::Click() {
  if (!OnClick) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnClick(this);
}

void TControl::DblClick() {
  if (!OnDblClick) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnDblClick(this);
}

intptr_t TControl::Perform(unsigned msg, intptr_t wParam, intptr_t lParam) {
  TMessage m{msg, wParam, lParam, 0};
  TCustomForm::HandlerScope scope(GetParentForm(this));
  WndProc(m);
  return m.Result;
}

void TControl::WndProc(TMessage& m) {
  const win::PT p = ParamToPoint(m.LParam);
  const auto shift = static_cast<TShiftState>(static_cast<std::uint64_t>(m.WParam) & 0xFFFFFFFFu);
  switch (m.Msg) {
    case WM_MOUSEMOVE: MouseMove(shift, p.x, p.y); break;
    case WM_LBUTTONDOWN:
      leftDown_ = true;
      MouseDown(TMouseButton::mbLeft, shift | ssLeft, p.x, p.y);
      break;
    case WM_LBUTTONDBLCLK:
      leftDown_ = true;
      DblClick();
      MouseDown(TMouseButton::mbLeft, shift | ssLeft | ssDouble, p.x, p.y);
      break;
    case WM_LBUTTONUP: {
      // A press and release on the control clicks it.
      const bool click = leftDown_ && p.x >= 0 && p.y >= 0 && p.x < Width() && p.y < Height();
      leftDown_ = false;
      if (click) Click();
      MouseUp(TMouseButton::mbLeft, shift, p.x, p.y);
      break;
    }
    case WM_RBUTTONDOWN: MouseDown(TMouseButton::mbRight, shift | ssRight, p.x, p.y); break;
    case WM_RBUTTONUP: MouseUp(TMouseButton::mbRight, shift, p.x, p.y); break;
    case WM_MBUTTONDOWN: MouseDown(TMouseButton::mbMiddle, shift | ssMiddle, p.x, p.y); break;
    case WM_MBUTTONUP: MouseUp(TMouseButton::mbMiddle, shift, p.x, p.y); break;
    case WM_MOUSEWHEEL: {
      const auto delta = static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(m.WParam) >> 32));
      m.Result = DoMouseWheel(shift, delta, p) ? 1 : 0;
      break;
    }
    default: break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
  // A right click shows the popup menu.
  if (button == TMouseButton::mbRight && PopupMenu) PopupMenu->PopupAt(this, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int delta, win::PT pos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, delta, pos, handled);
  return handled || MouseWheelDefault(shift, delta, pos);
}

bool TControl::MouseWheelDefault(TShiftState shift, int delta, win::PT pos) {
  if (!parent_) return false;
  const win::PT o = parent_->ClientOffset(), s = parent_->ScrollOffset();
  return parent_->DoMouseWheel(shift, delta, {pos.x + left_ - s.x + o.x, pos.y + top_ - s.y + o.y});
}

// ---- window-update lock

namespace {
TWinControl* lockedWindow = nullptr;
bool lockedRepaint = false;  // a repaint was asked for while locked
}  // namespace

bool LockWindowUpdate(TWinControl* control) {
  if (!control) {
    TWinControl* was = lockedWindow;
    const bool repaint = lockedRepaint;
    lockedWindow = nullptr;
    lockedRepaint = false;
    if (was && repaint) was->Invalidate();
    return was != nullptr;
  }
  if (lockedWindow) return false;
  lockedWindow = control;
  lockedRepaint = false;
  return true;
}

TWinControl* LockedWindow() { return lockedWindow; }

bool UpdatesLocked(const TControl* control) {
  if (!lockedWindow) return false;
  for (const TControl* c = control; c; c = c->Parent())
    if (c == lockedWindow) return true;
  return false;
}

void TControl::Invalidate() {
  if (UpdatesLocked(this)) {
    lockedRepaint = true;
    return;
  }
  ++invalidated_;
}

// ---- painting

gdi::TCanvas& TControl::Canvas() {
  if (painting_) return *painting_;
  if (!measure_) {
    measure_ = std::make_unique<gdi::TBitmap>();
    measure_->SetSize(1, 1);
  }
  gdi::TCanvas& c = measure_->Canvas();
  c.Font.Assign(Font);
  return c;
}

void TControl::PaintTo(gdi::TCanvas& canvas, int x, int y) {
  win::HDC dc = canvas.Handle();
  const int saved = win::SaveDC(dc);
  win::OffsetViewportOrgEx(dc, x, y, nullptr);
  win::IntersectClipRect(dc, 0, 0, width_, height_);
  // Each control starts from plain drawing tools.
  auto reset = [&] {
    canvas.Font.Assign(Font);
    canvas.Pen.Assign(gdi::TPen());
    canvas.Brush.Assign(gdi::TBrush());
    canvas.Brush.Color = Color;
  };
  gdi::TCanvas* outer = painting_;
  painting_ = &canvas;
  struct Restore {
    TControl* c;
    gdi::TCanvas* outer;
    win::HDC dc;
    int saved;
    ~Restore() {
      c->painting_ = outer;
      win::RestoreDC(dc, saved);
    }
  } restore{this, outer, dc, saved};
  reset();
  Paint();
  if (auto* w = dynamic_cast<TWinControl*>(this)) {
    const win::PT o = w->ClientOffset(), s = w->ScrollOffset();
    const int inner = win::SaveDC(dc);
    win::IntersectClipRect(dc, o.x, o.y, o.x + w->ClientWidth(), o.y + w->ClientHeight());
    for (TControl* c : w->Controls())
      if (c->Visible()) c->PaintTo(canvas, o.x + c->Left() - s.x, o.y + c->Top() - s.y);
    win::RestoreDC(dc, inner);
  }
  reset();
  PaintOver();
}

void TControl::PaintToBitmap(gdi::TBitmap& bitmap) {
  bitmap.SetSize(width_, height_);
  PaintTo(bitmap.Canvas(), 0, 0);
}

void TControl::SaveToPng(const std::string& fileName) {
  gdi::TBitmap bitmap;
  PaintToBitmap(bitmap);
  bitmap.SaveToPngFile(fileName);
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
  if (lockedWindow == this) {
    lockedWindow = nullptr;
    lockedRepaint = false;
  }
  // Children owned elsewhere stay alive but lose their parent.
  while (!controls_.empty()) controls_.back()->SetParent(nullptr);
  // No form keeps the focus on a control that is gone.
  for (TCustomForm* f : Application().Forms())
    if (f->activeControl_ == this) f->activeControl_ = nullptr;
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm(const_cast<TWinControl*>(this));
  if (!form) return false;
  for (const TControl* c = this; c && c != form; c = c->Parent())
    if (!c->Visible() || !c->Enabled) return false;
  return form->CanFocus();
}

void TWinControl::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  TCustomForm* form = GetParentForm(this);
  TWinControl* old = form->activeControl_;
  if (old != this) {
    if (old && old->OnExit) old->OnExit(old);
    form->activeControl_ = this;
    if (OnEnter) OnEnter(this);
  }
  Application().ActivateForm(form);
}

bool TWinControl::Focused() const { return Screen().ActiveControl() == this; }

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
    case WM_KEYUP: {
      auto key = static_cast<unsigned short>(m.WParam);
      const auto shift = static_cast<TShiftState>(m.LParam);
      if (m.Msg == WM_KEYDOWN) KeyDown(key, shift);
      else KeyUp(key, shift);
      m.Result = key;
      break;
    }
    case WM_CHAR: {
      char key = static_cast<char>(m.WParam);
      KeyPress(key);
      m.Result = static_cast<unsigned char>(key);
      break;
    }
    default: TControl::WndProc(m);
  }
}

void TWinControl::KeyDown(unsigned short& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(unsigned short& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}

win::RECT TWinControl::AlignArea() const { return {0, 0, ClientWidth(), ClientHeight()}; }

TControl* TWinControl::ControlAtPos(int& x, int& y) const {
  const win::PT s = ScrollOffset(), o = ClientOffset();
  const int cx = x - o.x, cy = y - o.y;
  if (cx < 0 || cy < 0 || cx >= ClientWidth() || cy >= ClientHeight()) return nullptr;
  // The front-most child: the last painted.
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible()) continue;
    const int lx = cx + s.x - c->Left(), ly = cy + s.y - c->Top();
    if (lx < 0 || ly < 0 || lx >= c->Width() || ly >= c->Height()) continue;
    x = lx;
    y = ly;
    if (auto* w = dynamic_cast<TWinControl*>(c)) {
      int ix = lx, iy = ly;
      if (TControl* deeper = w->ControlAtPos(ix, iy)) {
        x = ix;
        y = iy;
        return deeper;
      }
    }
    return c;
  }
  return nullptr;
}

void TWinControl::Realign() {
  if (realigning_) return;  // placing a child comes back here
  cls::TFlagScope realigning(realigning_);
  const win::RECT area = AlignArea();
  int left = area.left + BorderWidth, top = area.top + BorderWidth;
  int right = area.right - BorderWidth, bottom = area.bottom - BorderWidth;
  static const TAlign order[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                                 TAlign::alClient};
  std::vector<std::pair<TControl*, std::array<int, 4>>> placed;
  for (TAlign a : order)
    for (TControl* c : controls_) {
      if (c->Align() != a || !c->Visible()) continue;
      int w = std::max(0, right - left), h = std::max(0, bottom - top);
      std::array<int, 4> r{};
      switch (a) {
        case TAlign::alTop: r = {left, top, w, c->Height()}; top += c->Height(); break;
        case TAlign::alBottom: r = {left, bottom - c->Height(), w, c->Height()}; bottom -= c->Height(); break;
        case TAlign::alLeft: r = {left, top, c->Width(), h}; left += c->Width(); break;
        case TAlign::alRight: r = {right - c->Width(), top, c->Width(), h}; right -= c->Width(); break;
        case TAlign::alClient: r = {left, top, w, h}; break;
        case TAlign::alNone: break;
      }
      placed.emplace_back(c, r);
    }
  for (auto& [c, r] : placed) c->SetBounds(r[0], r[1], r[2], r[3]);
  realigning_ = false;
  Realigned();
}

void Fill(gdi::TCanvas& c, const win::RECT& r, gdi::TColor color) {
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = color;
  c.FillRect(r);
}

void Frame3D(gdi::TCanvas& canvas, win::RECT& r, TBevelCut cut, int width) {
  if (cut == TBevelCut::bvNone) return;
  const gdi::TColor lit = cut == TBevelCut::bvLowered ? gdi::clBtnShadow : gdi::clBtnHighlight;
  const gdi::TColor dark = cut == TBevelCut::bvLowered ? gdi::clBtnHighlight : gdi::clBtnShadow;
  canvas.Brush.Style = gdi::TBrushStyle::bsSolid;
  for (int i = 0; i < width && r.right - r.left > 1 && r.bottom - r.top > 1; ++i) {
    if (cut != TBevelCut::bvSpace) {
      canvas.Brush.Color = lit;
      canvas.FillRect({r.left, r.top, r.right - 1, r.top + 1});
      canvas.FillRect({r.left, r.top, r.left + 1, r.bottom - 1});
      canvas.Brush.Color = dark;
      canvas.FillRect({r.left, r.bottom - 1, r.right, r.bottom});
      canvas.FillRect({r.right - 1, r.top, r.right, r.bottom});
    }
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
}

void CaptionOut(gdi::TCanvas& c, int x, int y, const std::string& caption) {
  const std::string shown = StripAccelerator(caption);
  c.TextOut(x, y, shown);
  // Where the marked character lands in what is shown.
  size_t mark = std::string::npos, n = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 == caption.size()) break;
      if (caption[++i] != '&' && mark == std::string::npos) mark = n;
    }
    ++n;
  }
  if (mark == std::string::npos || mark >= shown.size()) return;
  const size_t len = cp::IsBig5Lead(static_cast<unsigned char>(shown[mark])) && mark + 1 < shown.size() ? 2 : 1;
  const gdi::TFontStyles style = c.Font.Style();
  const int dx = c.TextWidth(shown.substr(0, mark));
  c.Font.SetStyle(style | gdi::fsUnderline);
  c.TextOut(x + dx, y, shown.substr(mark, len));
  c.Font.SetStyle(style);
}

win::SIZE CaptionExtent(gdi::TCanvas& c, const std::string& caption) {
  return c.TextExtent(StripAccelerator(caption));
}

namespace {

// A caption centred in R, in the canvas's font, without a background.
void CentredText(gdi::TCanvas& c, const win::RECT& r, const std::string& text) {
  if (text.empty()) return;
  const win::SIZE e = CaptionExtent(c, text);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  CaptionOut(c, r.left + (r.right - r.left - e.cx) / 2, r.top + (r.bottom - r.top - e.cy) / 2, text);
}

}  // namespace

TCustomPanel::TCustomPanel(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 41); }

void TCustomPanel::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, Color);
  Frame3D(c, r, BevelOuter, BevelWidth);
  r = {r.left + BorderWidth, r.top + BorderWidth, r.right - BorderWidth, r.bottom - BorderWidth};
  Frame3D(c, r, BevelInner, BevelWidth);
  CentredText(c, r, Caption);
}

TLabel::TLabel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 65, 13); }

namespace {

// TEXT broken into lines no wider than WIDTH at spaces and between Big5
// characters (a word wider than WIDTH keeps a line of its own).
std::vector<std::string> Wrapped(gdi::TCanvas& c, const std::string& text, int width) {
  // Units a line may not split: a word, a space, or one Big5 character.
  std::vector<std::string> units;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t n = 1;
    if (cp::IsBig5Lead(b) && i + 1 < text.size()) n = 2;
    else if (b != ' ')
      while (i + n < text.size() && text[i + n] != ' ' && !cp::IsBig5Lead(static_cast<unsigned char>(text[i + n])))
        ++n;
    units.push_back(text.substr(i, n));
    i += n;
  }
  std::vector<std::string> lines(1);
  for (const std::string& u : units) {
    std::string& line = lines.back();
    if (line.empty() && u == " ") continue;
    if (!line.empty() && c.TextWidth(line + u) > width) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      lines.push_back(u == " " ? "" : u);
    } else {
      line += u;
    }
  }
  return lines;
}

}  // namespace

std::vector<std::string> TLabel::Lines() {
  if (!WordWrap) return {Caption};
  return Wrapped(Canvas(), Caption, Width());
}

int TLabel::LinesHeight() { return static_cast<int>(Lines().size()) * Canvas().TextHeight("Wg"); }

void TLabel::Paint() {
  const std::vector<std::string> lines = Lines();
  gdi::TCanvas& c = Canvas();
  if (!Transparent) Fill(c, {0, 0, Width(), Height()}, Color);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  const int h = c.TextHeight("Wg");
  for (size_t i = 0; i < lines.size(); ++i) CaptionOut(c, 0, static_cast<int>(i) * h, lines[i]);
}

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
  TCustomForm* form = GetParentForm(this);
  TCustomForm::HandlerScope scope(form);
  if (form && ModalResult != 0) form->ModalResult = ModalResult;
  if (OnClick) OnClick(this);
}

void TButton::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, Color);
  if (Default) {
    c.Brush.Color = gdi::clBlack;
    c.FrameRect(r);
    r = {r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
  }
  Frame3D(c, r, TBevelCut::bvRaised, 1);
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  CentredText(c, r, Caption);
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TButton(AOwner) { SetBounds(0, 0, 23, 22); }

void TSpeedButton::SetGlyph(const gdi::TBitmap& glyph) {
  glyph_.Assign(const_cast<gdi::TBitmap*>(&glyph));
  Invalidate();
}

void TSpeedButton::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  Invalidate();
}

int TSpeedButton::GlyphIndex() const { return !Enabled && numGlyphs_ >= 2 ? 1 : 0; }

void TSpeedButton::SetDown(bool v) {
  if (GroupIndex == 0) v = false;
  if (v == down_) return;
  down_ = v;
  if (v && Parent())
    for (TControl* c : Parent()->Controls())
      if (auto* b = dynamic_cast<TSpeedButton*>(c); b && b != this && b->GroupIndex == GroupIndex && b->down_) {
        b->down_ = false;
        b->Invalidate();
      }
  Invalidate();
}

void TSpeedButton::Click() {
  // A click on the down button of a group puts it up only when all may be up.
  if (GroupIndex != 0 && (!down_ || AllowAllUp)) SetDown(!down_);
  TButton::Click();
}

void TSpeedButton::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, Color);
  if (down_) Frame3D(c, r, TBevelCut::bvLowered, 1);
  else if (!Flat) Frame3D(c, r, TBevelCut::bvRaised, 1);
  // A button that is down shows its face pressed in by a pixel.
  const int shift = down_ ? 1 : 0;
  const int gw = glyph_.Width() / numGlyphs_, gh = glyph_.Height();
  const bool glyph = gw > 0 && gh > 0;
  const win::SIZE te = Caption.empty() ? win::SIZE{0, 0} : CaptionExtent(c, Caption);
  const int gap = glyph && te.cx > 0 ? 4 : 0;
  const bool across = Layout == TButtonLayout::blGlyphLeft || Layout == TButtonLayout::blGlyphRight;
  const int bw = r.right - r.left, bh = r.bottom - r.top;
  // The picture's and the caption's top-left corners.
  int gx, gy, tx, ty;
  if (across) {
    const int x = r.left + (bw - gw - gap - te.cx) / 2;
    const bool left = Layout == TButtonLayout::blGlyphLeft;
    gx = left ? x : x + te.cx + gap;
    tx = left ? x + gw + gap : x;
    gy = r.top + (bh - gh) / 2;
    ty = r.top + (bh - te.cy) / 2;
  } else {
    const int y = r.top + (bh - gh - gap - te.cy) / 2;
    const bool top = Layout == TButtonLayout::blGlyphTop;
    gy = top ? y : y + te.cy + gap;
    ty = top ? y + gh + gap : y;
    gx = r.left + (bw - gw) / 2;
    tx = r.left + (bw - te.cx) / 2;
  }
  if (glyph) {
    // The bottom-left pixel's colour is the transparent one.
    const std::uint32_t corner = glyph_.Pixels()[static_cast<size_t>(gh - 1) * static_cast<size_t>(glyph_.Width())];
    const auto mask = static_cast<gdi::TColor>(((corner >> 16) & 0xFF) | (corner & 0xFF00) | ((corner & 0xFF) << 16));
    gdi::TBitmap part;
    part.SetPixels(gw, gh, MaskedPixels(glyph_, GlyphIndex() * gw, gw, gh, mask));
    c.Draw(gx + shift, gy + shift, part);
  }
  if (te.cx > 0) {
    if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    CaptionOut(c, tx + shift, ty + shift, Caption);
  }
}

namespace {

// The white field of an edit, memo or list, sunken in its frame; answers
// the inside.
win::RECT Field(TControl& control, gdi::TCanvas& c, bool framed) {
  win::RECT r{0, 0, control.Width(), control.Height()};
  Fill(c, r, control.Color);
  if (framed) Frame3D(c, r, TBevelCut::bvLowered, 2);
  return {r.left + 2, r.top + 1, r.right - 2, r.bottom - 1};
}

}  // namespace

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 89);
  Color = gdi::clWindow;
}

void TMemo::Paint() {
  gdi::TCanvas& c = Canvas();
  const win::RECT r = Field(*this, c, BorderStyle == TBorderStyle::bsSingle);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  const int h = c.TextHeight("Ag");
  int y = r.top;
  for (int i = 0; i < Lines.Count() && y < r.bottom; ++i) {
    const std::vector<std::string> shown =
        WordWrap ? Wrapped(c, Lines[i], r.right - r.left) : std::vector<std::string>{Lines[i]};
    for (size_t k = 0; k < shown.size() && y < r.bottom; ++k, y += h) {
      int x = r.left;
      const int w = c.TextWidth(shown[k]);
      if (Alignment == TAlignment::taCenter) x = r.left + (r.right - r.left - w) / 2;
      else if (Alignment == TAlignment::taRightJustify) x = r.right - w;
      c.TextRect(r, x, y, shown[k]);
    }
  }
}

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 21);
  Color = gdi::clWindow;
}

void TEdit::Paint() {
  gdi::TCanvas& c = Canvas();
  const win::RECT r = Field(*this, c, true);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  c.TextRect(r, r.left, r.top + (r.bottom - r.top - c.TextHeight("Ag")) / 2, ShownText());
}

void TEdit::KeyPress(char& key) {
  TWinControl::KeyPress(key);
  const auto k = static_cast<unsigned char>(key);
  if (ReadOnly || k == 0) return;
  if (k == VK_BACK) {
    lead_ = false;
    if (text_.empty()) return;
    // The last character may be a Big5 pair.
    size_t i = 0, last = 0;
    while (i < text_.size()) {
      last = i;
      i += cp::IsBig5Lead(static_cast<unsigned char>(text_[i])) && i + 1 < text_.size() ? 2 : 1;
    }
    SetText(text_.substr(0, last));
    return;
  }
  // Other control characters (Enter, Esc) edit nothing; no Big5 trail byte is one.
  if (k < 0x20) {
    lead_ = false;
    return;
  }
  // Within MaxLength a Big5 character comes whole or not at all.
  const bool lead = !lead_ && cp::IsBig5Lead(k);
  const size_t need = lead ? 2 : 1;
  if (MaxLength > 0 && text_.size() + need > static_cast<size_t>(MaxLength)) return;
  lead_ = lead;
  SetText(text_ + static_cast<char>(k));
}

void TEdit::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  if (OnChange) {
    TCustomForm::HandlerScope scope(GetParentForm(this));
    OnChange(this);
  }
}

TListBox::TListBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 97);
  Color = gdi::clWindow;
}

int TListBox::ItemIndex() const { return itemIndex_ < Items.Count() ? itemIndex_ : -1; }

void TListBox::SetItemIndex(int i) { itemIndex_ = i >= 0 && i < Items.Count() ? i : -1; }

void TListBox::Paint() {
  gdi::TCanvas& c = Canvas();
  const win::RECT r = Field(*this, c, true);
  const int h = c.TextHeight("Ag");
  for (int i = 0, y = r.top; i < Items.Count() && y < r.bottom; ++i, y += h) {
    c.Font.SetColor(Font.Color());
    if (i == ItemIndex()) {
      Fill(c, {r.left, y, r.right, std::min(y + h, static_cast<int>(r.bottom))}, gdi::clHighlight);
      c.Font.SetColor(gdi::clHighlightText);
    }
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.TextRect(r, r.left, y, Items[i]);
  }
}

void TListBox::ClickItem(int i) {
  SetItemIndex(i);
  Click();
}

void TListBox::DblClickItem(int i) {
  ClickItem(i);
  DblClick();
}

THeaderControl::THeaderControl(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 17); }

void THeaderControl::Paint() {
  // Each section a raised face with its text at the left; the last one
  // reaches the right edge.
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, gdi::clBtnFace);
  int x = 0;
  for (size_t i = 0; i < Sections.size() && x < Width(); ++i) {
    const int right = i + 1 == Sections.size() ? Width() : std::min(Width(), x + Sections[i].Width);
    win::RECT r{x, 0, right, Height()};
    Frame3D(c, r, TBevelCut::bvRaised, 1);
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.TextRect(r, r.left + 3, r.top + (r.bottom - r.top - c.TextHeight("Ag")) / 2, Sections[i].Text);
    x = right;
  }
}

TUpDown::TUpDown(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 16, 24); }

void TUpDown::SetPosition(int v) { position_ = std::clamp(v, Min, std::max(Min, Max)); }

void TUpDown::ClickButton(TUDBtnType button) {
  int step = button == TUDBtnType::btNext ? Increment : -Increment;
  int next = position_ + step;
  if (Wrap && next > Max) next = Min;
  else if (Wrap && next < Min) next = Max;
  SetPosition(next);
  if (!OnButtonClick) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnButtonClick(this, button);
}

void TUpDown::Repaint() {
  if (face_.Width() != Width() || face_.Height() != Height()) face_.SetSize(Width(), Height());
  PaintTo(face_.Canvas(), 0, 0);
}

void TUpDown::Paint() {
  gdi::TCanvas& c = Canvas();
  int w = face_.Width(), h = face_.Height();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clBtnFace;
  c.FillRect({0, 0, w, h});
  c.Brush.Color = gdi::clGray;
  c.FrameRect({0, 0, w, h / 2});
  c.FrameRect({0, h / 2, w, h});
}

std::vector<std::uint32_t> MaskedPixels(const gdi::TBitmap& image, int left, int w, int h, gdi::TColor maskColor) {
  const std::vector<std::uint32_t> src = image.Pixels();
  const win::COLORREF mask = gdi::ColorToRGB(maskColor);
  std::vector<std::uint32_t> out(static_cast<size_t>(std::max(0, w)) * static_cast<size_t>(std::max(0, h)), 0);
  for (int y = 0; y < std::min(h, image.Height()); ++y)
    for (int x = 0; x < w && left + x < image.Width(); ++x) {
      if (left + x < 0) continue;
      const std::uint32_t argb = src[static_cast<size_t>(y) * static_cast<size_t>(image.Width()) + static_cast<size_t>(left + x)];
      const win::COLORREF rgb = ((argb >> 16) & 0xFF) | (argb & 0xFF00) | ((argb & 0xFF) << 16);
      if (rgb != mask) out[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = argb | 0xFF000000u;
    }
  return out;
}

TCustomForm* GetParentForm(TControl* control) {
  for (TControl* c = control; c; c = c->Parent())
    if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
  return nullptr;
}

}  // namespace ui
