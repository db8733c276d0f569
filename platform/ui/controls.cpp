#include "controls.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "platform/ui/forms.h"

namespace ui {

// ---- TControl

CLS_IMPLEMENT_COMPONENT(TControl)
CLS_IMPLEMENT_COMPONENT(TWinControl)
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

void TControl::SetBounds(int left, int top, int width, int height) {
  bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = std::max(0, width);
  height_ = std::max(0, height);
  if (align_ != TAlign::alNone && parent_) parent_->Realign();
  if (resized)
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool v) {
  if (v == visible_) return;
  visible_ = v;
  if (parent_ && align_ != TAlign::alNone) parent_->Realign();
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

intptr_t TControl::Perform(unsigned msg, intptr_t wParam, intptr_t lParam) {
  TMessage m{msg, wParam, lParam, 0};
  TCustomForm::HandlerScope scope(GetParentForm(this));
  WndProc(m);
  return m.Result;
}

// ---- TWinControl

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
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
  form->activeControl_ = this;
  Application().ActivateForm(form);
}

bool TWinControl::Focused() const { return Screen().ActiveControl() == this; }

void TWinControl::Realign() {
  int left = BorderWidth, top = BorderWidth;
  int right = ClientWidth() - BorderWidth, bottom = ClientHeight() - BorderWidth;
  static const TAlign order[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft, TAlign::alRight,
                                 TAlign::alClient};
  // Placing a child must not realign this control again.
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
  for (auto& [c, r] : placed) {
    TAlign keep = c->align_;
    c->align_ = TAlign::alNone;
    c->SetBounds(r[0], r[1], r[2], r[3]);
    c->align_ = keep;
  }
}

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 41);
}

TLabel::TLabel(TComponent* AOwner) : TControl(AOwner) { SetBounds(0, 0, 65, 13); }

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 75, 25); }

void TButton::Click() {
  TCustomForm* form = GetParentForm(this);
  TCustomForm::HandlerScope scope(form);
  if (form && ModalResult != 0) form->ModalResult = ModalResult;
  if (OnClick) OnClick(this);
}

TSpeedButton::TSpeedButton(TComponent* AOwner) : TButton(AOwner) { SetBounds(0, 0, 23, 22); }

TMemo::TMemo(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 185, 89);
  Color = gdi::clWindow;
}

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(0, 0, 121, 21);
  Color = gdi::clWindow;
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

void TListBox::ClickItem(int i) {
  SetItemIndex(i);
  Click();
}

void TListBox::DblClickItem(int i) {
  ClickItem(i);
  if (!OnDblClick) return;
  TCustomForm::HandlerScope scope(GetParentForm(this));
  OnDblClick(this);
}

THeaderControl::THeaderControl(TComponent* AOwner) : TWinControl(AOwner) { SetBounds(0, 0, 185, 17); }

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
  Paint();
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

TCustomForm* GetParentForm(TControl* control) {
  for (TControl* c = control; c; c = c->Parent())
    if (auto* f = dynamic_cast<TCustomForm*>(c)) return f;
  return nullptr;
}

}  // namespace ui
