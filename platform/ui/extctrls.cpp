#include "extctrls.h"

#include <algorithm>

#include "platform/ui/forms.h"

namespace ui {

CLS_IMPLEMENT_COMPONENT(TScrollingWinControl)
CLS_IMPLEMENT_COMPONENT(TScrollBox)
CLS_IMPLEMENT_COMPONENT(TPaintBox)
CLS_IMPLEMENT_COMPONENT(TCheckBox)
CLS_IMPLEMENT_COMPONENT(TRadioGroup)
CLS_IMPLEMENT_COMPONENT(TRadioButton)
CLS_IMPLEMENT_COMPONENT(TComboBox)
CLS_IMPLEMENT_COMPONENT(TGroupBox)
CLS_IMPLEMENT_COMPONENT(TMaskEdit)
CLS_IMPLEMENT_COMPONENT(TSplitter)
CLS_IMPLEMENT_COMPONENT(TBevel)
CLS_IMPLEMENT_COMPONENT(TShape)

// ---- TControlScrollBar

int TControlScrollBar::ControlSize() const {
  return kind_ == TScrollBarKind::sbHorizontal ? control_.ClientWidth() : control_.ClientHeight();
}

int TControlScrollBar::MaxPosition() const { return std::max(0, range_ - ControlSize()); }

void TControlScrollBar::SetPosition(int v) {
  v = std::clamp(v, 0, MaxPosition());
  if (v == position_) return;
  position_ = v;
  control_.Invalidate();
}

void TControlScrollBar::SetRange(int v) {
  control_.AutoScroll = false;
  SetCalcRange(v);
  control_.Realign();
}

void TControlScrollBar::SetCalcRange(int v) {
  range_ = std::max(0, v);
  SetPosition(position_);
}

void TControlScrollBar::ScrollMessage(int code, int pos) {
  switch (code) {
    case SB_LINEUP: SetPosition(position_ - Increment); break;
    case SB_LINEDOWN: SetPosition(position_ + Increment); break;
    case SB_PAGEUP: SetPosition(position_ - ControlSize()); break;
    case SB_PAGEDOWN: SetPosition(position_ + ControlSize()); break;
    case SB_THUMBPOSITION: SetPosition(pos); break;
    case SB_THUMBTRACK:
      if (Tracking) SetPosition(pos);
      break;
    case SB_TOP: SetPosition(0); break;
    case SB_BOTTOM: SetPosition(MaxPosition()); break;
    default: break;
  }
}

// ---- TScrollingWinControl

TScrollingWinControl::TScrollingWinControl(TComponent* AOwner)
    : TWinControl(AOwner), horz_(*this, TScrollBarKind::sbHorizontal), vert_(*this, TScrollBarKind::sbVertical) {}

win::RECT TScrollingWinControl::AlignArea() const {
  return {0, 0, std::max(horz_.Range(), ClientWidth()), std::max(vert_.Range(), ClientHeight())};
}

void TScrollingWinControl::UpdateScrollBars() {
  if (AutoScroll) {
    // As far as the children reach; right- and bottom-aligned ones add their size.
    int h = 0, v = 0, hMargin = 0, vMargin = 0;
    for (TControl* c : Controls()) {
      if (!c->Visible()) continue;
      switch (c->Align()) {
        case TAlign::alNone:
          h = std::max(h, c->Left() + c->Width());
          v = std::max(v, c->Top() + c->Height());
          break;
        case TAlign::alLeft: h = std::max(h, c->Left() + c->Width()); break;
        case TAlign::alTop: v = std::max(v, c->Top() + c->Height()); break;
        case TAlign::alRight: hMargin += c->Width(); break;
        case TAlign::alBottom: vMargin += c->Height(); break;
        case TAlign::alClient: break;
      }
    }
    horz_.SetCalcRange(h + hMargin);
    vert_.SetCalcRange(v + vMargin);
  } else {
    horz_.SetPosition(horz_.Position());
    vert_.SetPosition(vert_.Position());
  }
}

void TScrollingWinControl::Realigned() {
  if (updating_) return;
  updating_ = true;
  const int h = horz_.Range(), v = vert_.Range();
  UpdateScrollBars();
  if (h != horz_.Range() || v != vert_.Range()) Realign();
  updating_ = false;
}

void TScrollingWinControl::WndProc(TMessage& m) {
  if (m.Msg == WM_HSCROLL || m.Msg == WM_VSCROLL) {
    (m.Msg == WM_HSCROLL ? horz_ : vert_).ScrollMessage(static_cast<int>(m.WParam), static_cast<int>(m.LParam));
    m.Result = 0;
    return;
  }
  TWinControl::WndProc(m);
}

bool TScrollingWinControl::MouseWheelDefault(TShiftState shift, int delta, win::PT pos) {
  const bool horizontal = (shift & ssShift) != 0;
  TControlScrollBar& bar = horizontal ? horz_ : vert_;
  if (!bar.IsScrollBarVisible()) {
    wheel_ = 0;
    return TWinControl::MouseWheelDefault(shift, delta, pos);
  }
  wheel_ += delta;
  const int notches = wheel_ / WHEEL_DELTA;
  wheel_ %= WHEEL_DELTA;
  const unsigned msg = horizontal ? WM_HSCROLL : WM_VSCROLL;
  for (int n = 0; n < std::abs(notches); ++n)
    for (int line = 0; line < 3; ++line) Perform(msg, notches > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
  return true;
}

void TScrollingWinControl::PaintOver() {
  const bool h = horz_.IsScrollBarVisible(), v = vert_.IsScrollBarVisible();
  if (!h && !v) return;
  gdi::TCanvas& c = Canvas();
  const win::PT o = ClientOffset();
  const int right = o.x + ClientWidth(), bottom = o.y + ClientHeight();
  // One bar: its arrows at the ends, the thumb in proportion between them.
  auto bar = [&](const TControlScrollBar& b, win::RECT r) {
    const bool horizontal = b.Kind() == TScrollBarKind::sbHorizontal;
    Fill(c, r, static_cast<gdi::TColor>(0xE0E0E0));
    const int len = horizontal ? r.right - r.left : r.bottom - r.top;
    const int arrow = std::min(kBarSize, len / 2);
    auto button = [&](int from, int size) {
      win::RECT k = horizontal ? win::RECT{r.left + from, r.top, r.left + from + size, r.bottom}
                               : win::RECT{r.left, r.top + from, r.right, r.top + from + size};
      Fill(c, k, gdi::clBtnFace);
      Frame3D(c, k, TBevelCut::bvRaised, 1);
    };
    button(0, arrow);
    button(len - arrow, arrow);
    const int track = len - 2 * arrow;
    if (track <= 0 || b.Range() <= 0) return;
    const int thumb = std::clamp(static_cast<int>(static_cast<long long>(track) * b.ControlSize() / b.Range()), 8, track);
    const int max = b.MaxPosition();
    const int at = max > 0 ? static_cast<int>(static_cast<long long>(track - thumb) * b.Position() / max) : 0;
    button(arrow + at, thumb);
  };
  if (v) bar(vert_, {right - kBarSize, o.y, right, bottom - (h ? kBarSize : 0)});
  if (h) bar(horz_, {o.x, bottom - kBarSize, right - (v ? kBarSize : 0), bottom});
  if (h && v) Fill(c, {right - kBarSize, bottom - kBarSize, right, bottom}, gdi::clBtnFace);
}

// ---- TScrollBox

TScrollBox::TScrollBox(TComponent* AOwner) : TScrollingWinControl(AOwner) { SetBounds(0, 0, 185, 41); }

int TScrollBox::ClientWidth() const {
  return std::max(0, Width() - (BorderStyle == TBorderStyle::bsSingle ? 4 : 0));
}

int TScrollBox::ClientHeight() const {
  return std::max(0, Height() - (BorderStyle == TBorderStyle::bsSingle ? 4 : 0));
}

win::PT TScrollBox::ClientOffset() const {
  return BorderStyle == TBorderStyle::bsSingle ? win::PT{2, 2} : win::PT{0, 0};
}

void TScrollBox::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, Color);
  if (BorderStyle == TBorderStyle::bsSingle) Frame3D(c, r, TBevelCut::bvLowered, 2);
}

// ---- TPaintBox

TPaintBox::TPaintBox(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 105, 105); }

void TPaintBox::Paint() {
  if (!OnPaint) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnPaint(this);
}

// ---- TCheckBox

TCheckBox::TCheckBox(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 97, 17); }

void TCheckBox::SetState(TCheckBoxState v) {
  if (v == state_) return;
  state_ = v;
  Invalidate();
  TControl::Click();
}

void TCheckBox::Click() { SetChecked(!Checked()); }

void TCheckBox::Paint() {
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, Color);
  const int top = (Height() - 13) / 2;
  win::RECT box{0, top, 13, top + 13};
  Fill(c, box, Enabled ? gdi::clWindow : gdi::clBtnFace);
  Frame3D(c, box, TBevelCut::bvLowered, 2);
  if (state_ != TCheckBoxState::cbUnchecked) {
    // A tick of three pixel columns' thickness.
    c.Brush.Color = state_ == TCheckBoxState::cbGrayed ? gdi::clBtnShadow : gdi::clBlack;
    for (int i = 0; i < 7; ++i) {
      const int x = 3 + i, y = top + (i < 3 ? 5 + i : 9 - i + 2);
      c.FillRect({x, y, x + 1, y + 3});
    }
  }
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  CaptionOut(c, 17, (Height() - c.TextHeight("Ag")) / 2, Caption);
}

// ---- TRadioGroup

TRadioGroup::TRadioGroup(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 105); }

int TRadioGroup::ItemIndex() const { return itemIndex_ < Items.Count() ? itemIndex_ : -1; }

void TRadioGroup::SetItemIndex(int i) {
  if (i < 0 || i >= Items.Count()) i = -1;
  if (i == ItemIndex()) return;
  itemIndex_ = i;
  Invalidate();
  TControl::Click();
}

win::RECT TRadioGroup::ButtonRect(int i) {
  const int count = Items.Count();
  if (i < 0 || i >= count) return {0, 0, 0, 0};
  const int columns = std::max(1, Columns);
  const int perColumn = (count + columns - 1) / columns;
  const int top = Canvas().TextHeight("Ag") + 2;
  const int rowHeight = std::max(1, (Height() - top - 4) / perColumn);
  const int columnWidth = std::max(1, (Width() - 16) / columns);
  const int x = 8 + (i / perColumn) * columnWidth, y = top + (i % perColumn) * rowHeight;
  return {x, y, x + columnWidth, y + rowHeight};
}

int TRadioGroup::ButtonAt(int x, int y) {
  for (int i = 0; i < Items.Count(); ++i) {
    const win::RECT r = ButtonRect(i);
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return i;
  }
  return -1;
}

void TRadioGroup::Paint() {
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, Color);
  const int th = c.TextHeight("Ag");
  win::RECT frame{0, th / 2, Width(), Height()};
  Frame3D(c, frame, TBevelCut::bvLowered, 1);
  Frame3D(c, frame, TBevelCut::bvRaised, 1);
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  if (!Caption.empty()) {
    Fill(c, {6, 0, 10 + CaptionExtent(c, Caption).cx, th}, Color);
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
    CaptionOut(c, 8, 0, Caption);
  }
  for (int i = 0; i < Items.Count(); ++i) {
    const win::RECT r = ButtonRect(i);
    const int cy = (r.top + r.bottom) / 2;
    c.Pen.Color = gdi::clBtnShadow;
    c.Brush.Style = gdi::TBrushStyle::bsSolid;
    c.Brush.Color = Enabled ? gdi::clWindow : gdi::clBtnFace;
    c.Ellipse(r.left, cy - 6, r.left + 12, cy + 6);
    if (i == ItemIndex()) {
      c.Pen.Color = gdi::clBlack;
      c.Brush.Color = gdi::clBlack;
      c.Ellipse(r.left + 4, cy - 2, r.left + 8, cy + 2);
    }
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.Font.SetColor(Enabled ? Font.Color() : gdi::clBtnShadow);
    CaptionOut(c, r.left + 17, cy - th / 2, Items[i]);
  }
}

void TRadioGroup::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft) pressed_ = Enabled ? ButtonAt(x, y) : -1;
  TWinControl::MouseDown(button, shift, x, y);
}

void TRadioGroup::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const int pressed = pressed_;
  if (button == TMouseButton::mbLeft) pressed_ = -1;
  if (button == TMouseButton::mbLeft && pressed >= 0 && ButtonAt(x, y) == pressed) SetItemIndex(pressed);
  TWinControl::MouseUp(button, shift, x, y);
}

// ---- TBevel

TBevel::TBevel(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 50, 50); }

void TBevel::Paint() {
  gdi::TCanvas& c = Canvas();
  const gdi::TColor dark = Style == TBevelStyle::bsLowered ? gdi::clBtnShadow : gdi::clBtnHighlight;
  const gdi::TColor lit = Style == TBevelStyle::bsLowered ? gdi::clBtnHighlight : gdi::clBtnShadow;
  const int w = Width(), h = Height();
  auto line = [&](gdi::TColor color, int l, int t, int r, int b) { Fill(c, {l, t, r, b}, color); };
  switch (Shape) {
    case TBevelShape::bsBox: {
      win::RECT r{0, 0, w, h};
      Frame3D(c, r, Style == TBevelStyle::bsLowered ? TBevelCut::bvLowered : TBevelCut::bvRaised, 1);
      break;
    }
    case TBevelShape::bsFrame: {
      win::RECT r{0, 0, w, h};
      Frame3D(c, r, Style == TBevelStyle::bsLowered ? TBevelCut::bvLowered : TBevelCut::bvRaised, 1);
      Frame3D(c, r, Style == TBevelStyle::bsLowered ? TBevelCut::bvRaised : TBevelCut::bvLowered, 1);
      break;
    }
    case TBevelShape::bsTopLine:
      line(dark, 0, 0, w, 1);
      line(lit, 0, 1, w, 2);
      break;
    case TBevelShape::bsBottomLine:
      line(dark, 0, h - 2, w, h - 1);
      line(lit, 0, h - 1, w, h);
      break;
    case TBevelShape::bsLeftLine:
      line(dark, 0, 0, 1, h);
      line(lit, 1, 0, 2, h);
      break;
    case TBevelShape::bsRightLine:
      line(dark, w - 2, 0, w - 1, h);
      line(lit, w - 1, 0, w, h);
      break;
    case TBevelShape::bsSpacer: break;
  }
}

// ---- TShape

TShape::TShape(TComponent* AOwner) : TGraphicControl(AOwner) { SetBounds(0, 0, 65, 65); }

void TShape::Paint() {
  gdi::TCanvas& c = Canvas();
  c.Pen.Assign(Pen);
  c.Brush.Assign(Brush);
  int x = Pen.Width / 2, y = x;
  int w = Width() - Pen.Width + 1, h = Height() - Pen.Width + 1;
  if (Pen.Width == 0) --w, --h;
  const int s = std::min(w, h);
  if (Shape == TShapeType::stSquare || Shape == TShapeType::stRoundSquare || Shape == TShapeType::stCircle) {
    x += (w - s) / 2;
    y += (h - s) / 2;
    w = h = s;
  }
  switch (Shape) {
    case TShapeType::stRectangle:
    case TShapeType::stSquare: c.Rectangle(x, y, x + w, y + h); break;
    case TShapeType::stRoundRect:
    case TShapeType::stRoundSquare: c.RoundRect(x, y, x + w, y + h, s / 4, s / 4); break;
    case TShapeType::stEllipse:
    case TShapeType::stCircle: c.Ellipse(x, y, x + w, y + h); break;
  }
}

// ---- TRadioButton

TRadioButton::TRadioButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 113, 17); }

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  Invalidate();
  if (!v) return;
  if (TWinControl* p = Parent())
    for (TControl* c : p->Controls())
      if (auto* r = dynamic_cast<TRadioButton*>(c); r && r != this && r->checked_) {
        r->checked_ = false;
        r->Invalidate();
      }
  TControl::Click();
}

void TRadioButton::Click() { SetChecked(true); }

void TRadioButton::Paint() {
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, Color);
  const int top = (Height() - 12) / 2;
  c.Pen.Color = gdi::clBtnShadow;
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = Enabled ? gdi::clWindow : gdi::clBtnFace;
  c.Ellipse(0, top, 12, top + 12);
  if (checked_) {
    c.Pen.Color = gdi::clBlack;
    c.Brush.Color = gdi::clBlack;
    c.Ellipse(4, top + 4, 8, top + 8);
  }
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  CaptionOut(c, 17, (Height() - c.TextHeight("Ag")) / 2, Caption);
}

// ---- TComboBox

TComboBox::TComboBox(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 145, 21);
  Color = gdi::clWindow;
}

void TComboBox::Sort() {
  const std::string selected = Text();
  Items.Sort();
  if (itemIndex_ >= 0) itemIndex_ = Items.IndexOf(selected);
}

int TComboBox::ItemIndex() const { return itemIndex_ < Items.Count() ? itemIndex_ : -1; }

void TComboBox::SetItemIndex(int i) {
  itemIndex_ = i >= 0 && i < Items.Count() ? i : -1;
  Invalidate();
}

std::string TComboBox::Text() const {
  const int i = ItemIndex();
  return i < 0 ? std::string() : Items[i];
}

int TComboBox::IndexOfText(const std::string& text) const { return Items.IndexOf(text); }

void TComboBox::SelectItem(int i) {
  SetItemIndex(i);
  if (OnChange) OnChange(this);
}

void TComboBox::KeyDown(unsigned short& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  const int i = ItemIndex();
  if (key == VK_DOWN && i + 1 < Items.Count()) {
    SelectItem(i + 1);
    key = 0;
  } else if (key == VK_UP && i > 0) {
    SelectItem(i - 1);
    key = 0;
  }
}

void TComboBox::Paint() {
  gdi::TCanvas& c = Canvas();
  win::RECT r{0, 0, Width(), Height()};
  Fill(c, r, gdi::clBtnFace);
  Frame3D(c, r, TBevelCut::bvLowered, 2);
  Fill(c, r, Enabled ? Color : gdi::clBtnFace);
  // The drop-down button at the right.
  const int bw = std::min(17, r.right - r.left);
  win::RECT button{r.right - bw, r.top, r.right, r.bottom};
  Fill(c, button, gdi::clBtnFace);
  Frame3D(c, button, TBevelCut::bvRaised, 1);
  c.Brush.Color = Enabled ? gdi::clBlack : gdi::clBtnShadow;
  const int ax = r.right - bw / 2 - 3, ay = (Height() - 4) / 2;
  for (int k = 0; k < 4; ++k) c.FillRect({ax + k, ay + k, ax + 7 - k, ay + k + 1});
  const int i = ItemIndex();
  if (i < 0) return;
  const win::RECT item{r.left + 1, r.top + 1, r.right - bw - 1, r.bottom - 1};
  if (Style == TComboBoxStyle::csOwnerDrawFixed && OnDrawItem) {
    OnDrawItem(this, i, item, Focused() ? odSelected | odFocused : 0);
    return;
  }
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  c.Font.SetColor(Enabled ? gdi::clWindowText : gdi::clBtnShadow);
  c.TextOut(item.left + 2, (Height() - c.TextHeight("Ag")) / 2, Items[i]);
}

// ---- TGroupBox

TGroupBox::TGroupBox(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 105); }

void TGroupBox::Paint() {
  gdi::TCanvas& c = Canvas();
  Fill(c, {0, 0, Width(), Height()}, Color);
  const int th = c.TextHeight("Ag");
  win::RECT frame{0, th / 2, Width(), Height()};
  Frame3D(c, frame, TBevelCut::bvLowered, 1);
  win::RECT inner = frame;
  Frame3D(c, inner, TBevelCut::bvRaised, 1);
  if (Caption.empty()) return;
  const int tw = CaptionExtent(c, Caption).cx;
  Fill(c, {6, 0, 8 + tw + 2, th}, Color);
  c.Brush.Style = gdi::TBrushStyle::bsClear;
  if (!Enabled) c.Font.SetColor(gdi::clBtnShadow);
  CaptionOut(c, 8, 0, Caption);
}

// ---- TMaskEdit

TMaskEdit::TMaskEdit(TComponent* AOwner) : TEdit(AOwner) {}

void TMaskEdit::SetEditMask(const std::string& mask) {
  editMask_ = mask;
  places_.clear();
  blank_ = '_';
  // "mask;save literals;blank": the mask ends at the first ';' not escaped.
  size_t i = 0;
  for (; i < mask.size() && mask[i] != ';'; ++i) {
    if (mask[i] == '\\' && i + 1 < mask.size()) places_.push_back({mask[++i], true});
    else places_.push_back({mask[i], mask[i] != '9' && mask[i] != '0'});
  }
  const size_t blank = mask.find(';', i + 1);
  if (i < mask.size() && blank != std::string::npos && blank + 1 < mask.size()) blank_ = mask[blank + 1];
  SetText(Text());
}

size_t TMaskEdit::Capacity() const {
  size_t n = 0;
  for (const Place& p : places_) n += p.literal ? 0 : 1;
  if (places_.empty()) n = std::string::npos;  // no mask: a plain edit
  if (MaxLength > 0) n = std::min(n, static_cast<size_t>(MaxLength));
  return n;
}

bool TMaskEdit::Takes(size_t count, char ch) const {
  if (count >= Capacity()) return false;
  if (places_.empty()) return static_cast<unsigned char>(ch) >= 0x20;
  return ch >= '0' && ch <= '9';  // every place of a mask takes digits
}

std::string TMaskEdit::Fit(const std::string& text) const {
  std::string out;
  for (char ch : text)
    if (Takes(out.size(), ch)) out += ch;
  return out;
}

void TMaskEdit::SetText(const std::string& text) { TEdit::SetText(Fit(text)); }

std::string TMaskEdit::EditText() const {
  if (places_.empty()) return Text();
  std::string out;
  size_t next = 0;
  for (const Place& p : places_) {
    if (p.literal) out += p.ch;
    else out += next < Text().size() ? Text()[next++] : blank_;
  }
  return out;
}

bool TMaskEdit::MaskComplete() const {
  size_t n = 0;
  for (const Place& p : places_) {
    if (p.literal) continue;
    if (p.ch == '0' && n >= Text().size()) return false;
    ++n;
  }
  return true;
}

void TMaskEdit::KeyPress(char& key) {
  if (places_.empty()) return TEdit::KeyPress(key);  // no mask: a plain edit
  TWinControl::KeyPress(key);
  if (ReadOnly || key == 0) return;
  if (static_cast<unsigned char>(key) == VK_BACK) {
    if (!Text().empty()) TEdit::SetText(Text().substr(0, Text().size() - 1));
    return;
  }
  if (Takes(Text().size(), key)) TEdit::SetText(Text() + key);
}

// ---- TSplitter

TSplitter::TSplitter(TComponent* AOwner) : TGraphicControl(AOwner) {
  SetBounds(0, 0, 3, 100);
  SetAlign(TAlign::alLeft);
}

namespace {

bool Across(TAlign a) { return a == TAlign::alLeft || a == TAlign::alRight; }

}  // namespace

TControl* TSplitter::ResizedControl() const {
  if (!Parent()) return nullptr;
  for (TControl* c : Parent()->Controls()) {
    if (c == this || !c->Visible() || c->Align() != Align()) continue;
    bool touches = false;
    switch (Align()) {
      case TAlign::alLeft: touches = c->Left() + c->Width() == Left(); break;
      case TAlign::alRight: touches = c->Left() == Left() + Width(); break;
      case TAlign::alTop: touches = c->Top() + c->Height() == Top(); break;
      case TAlign::alBottom: touches = c->Top() == Top() + Height(); break;
      default: break;
    }
    if (touches) return c;
  }
  return nullptr;
}

int TSplitter::DraggedSize(TControl* c, int delta) const {
  const bool across = Across(Align());
  // Dragging away from the control's side makes it larger.
  const bool grows = Align() == TAlign::alLeft || Align() == TAlign::alTop;
  const int size = across ? c->Width() : c->Height();
  int wanted = size + (grows ? delta : -delta);
  // The free area (what an alClient control gets) is what it can take.
  const win::RECT area = Parent()->AlignArea();
  int free = across ? area.right - area.left : area.bottom - area.top;
  free -= 2 * Parent()->BorderWidth;
  for (TControl* o : Parent()->Controls()) {
    if (!o->Visible()) continue;
    if (across && (o->Align() == TAlign::alLeft || o->Align() == TAlign::alRight)) free -= o->Width();
    if (!across && (o->Align() == TAlign::alTop || o->Align() == TAlign::alBottom)) free -= o->Height();
  }
  wanted = std::min(wanted, size + std::max(0, free));
  if (wanted < MinSize) wanted = AutoSnap ? 0 : std::min(MinSize, std::max(size, wanted));
  return std::max(0, wanted);
}

void TSplitter::Paint() { Fill(Canvas(), {0, 0, Width(), Height()}, Color); }

void TSplitter::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == TMouseButton::mbLeft && Enabled) {
    dragging_ = true;
    down_ = {x, y};
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSplitter::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  const bool ended = button == TMouseButton::mbLeft && dragging_;
  if (ended) dragging_ = false;
  TGraphicControl::MouseUp(button, shift, x, y);
  if (!ended) return;
  TControl* c = ResizedControl();
  if (!c) return;
  const int size = DraggedSize(c, Across(Align()) ? x - down_.x : y - down_.y);
  if (Across(Align())) c->SetWidth(size);
  else c->SetHeight(size);
  if (OnMoved) {
    TCustomForm::HandlerScope scope(GetParentForm(this));
    OnMoved(this);
  }
}

}  // namespace ui
