#include "menus.h"

#include <algorithm>

#include "platform/ui/forms.h"

namespace ui {

CLS_IMPLEMENT_COMPONENT(TMenuItem)
CLS_IMPLEMENT_COMPONENT(TPopupMenu)

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner) {}

TMenuItem::~TMenuItem() {
  if (parent_) parent_->Remove(this);
  for (TMenuItem* i : items_) i->parent_ = nullptr;
}

int TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TMenuItem::Insert(int index, TMenuItem* item) {
  if (!item || item == this) return;
  if (item->parent_) item->parent_->Remove(item);
  index = std::clamp(index, 0, Count());
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
}

void TMenuItem::Remove(TMenuItem* item) {
  auto it = std::find(items_.begin(), items_.end(), item);
  if (it == items_.end()) return;
  items_.erase(it);
  item->parent_ = nullptr;
}

void TMenuItem::SetChecked(bool v) {
  Checked = v;
  if (!v || !RadioItem || !parent_) return;
  for (TMenuItem* i : parent_->items_)
    if (i != this && i->RadioItem && i->GroupIndex == GroupIndex) i->Checked = false;
}

void TMenuItem::Click() {
  if (!Enabled) return;
  if (AutoCheck) SetChecked(RadioItem || !Checked);
  if (!OnClick) return;
  TControl* control = nullptr;
  for (TComponent* o = Owner(); o && !control; o = o->Owner()) control = dynamic_cast<TControl*>(o);
  TCustomForm::HandlerScope scope(control ? GetParentForm(control) : nullptr);
  OnClick(this);
}

TPopupMenu::TPopupMenu(TComponent* AOwner) : TComponent(AOwner), items_(new TMenuItem(nullptr)) {}

void TPopupMenu::Popup(int x, int y) {
  shownAt_ = {x, y};
  if (OnPopup) OnPopup(this);
}

void TPopupMenu::PopupAt(TControl* control, int x, int y) {
  PopupComponent = control;
  // The control's point on the screen: its place within its form.
  for (TControl* c = control; c && c->Parent(); c = c->Parent()) {
    const win::PT o = c->Parent()->ClientOffset(), s = c->Parent()->ScrollOffset();
    x += c->Left() + o.x - s.x;
    y += c->Top() + o.y - s.y;
  }
  if (TCustomForm* f = GetParentForm(control)) x += f->Left(), y += f->Top();
  TCustomForm::HandlerScope scope(GetParentForm(control));
  Popup(x, y);
}

}  // namespace ui

namespace ui {

// ---- painting

namespace {
constexpr int kCheckColumn = 20, kRightMargin = 20, kFrame = 2;
}  // namespace

TPopupMenu::Layout TPopupMenu::Measure(gdi::TCanvas& canvas) {
  Layout l;
  canvas.Font.Assign(font_);
  const int rowHeight = canvas.TextHeight("Ag") + 5;
  int y = kFrame, w = 0;
  TMenuItem& root = *items_;
  for (int i = 0; i < root.Count(); ++i) {
    TMenuItem* item = root.Items(i);
    if (!item->Visible) {
      l.rows.push_back({0, 0, 0, 0});
      continue;
    }
    const int h = item->Caption == "-" ? kSeparatorHeight : rowHeight;
    l.rows.push_back({kFrame, y, 0, y + h});
    y += h;
    if (item->Caption != "-") w = std::max(w, canvas.TextWidth(item->Caption));
  }
  l.width = kFrame + kCheckColumn + w + kRightMargin + kFrame;
  l.height = y + kFrame;
  for (win::RECT& r : l.rows)
    if (r.bottom > r.top) r.right = l.width - kFrame;
  return l;
}

void TPopupMenu::PaintToBitmap(gdi::TBitmap& bitmap) {
  bitmap.SetSize(1, 1);
  const Layout l = Measure(bitmap.Canvas());
  bitmap.SetSize(l.width, l.height);
  gdi::TCanvas& c = bitmap.Canvas();
  c.Font.Assign(font_);
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = gdi::clBtnFace;
  win::RECT box{0, 0, l.width, l.height};
  c.FillRect(box);
  Frame3D(c, box, TBevelCut::bvRaised, kFrame);
  TMenuItem& root = *items_;
  for (int i = 0; i < root.Count(); ++i) {
    const TMenuItem* item = root.Items(i);
    const win::RECT& r = l.rows[static_cast<size_t>(i)];
    if (r.bottom <= r.top) continue;
    c.Brush.Style = gdi::TBrushStyle::bsSolid;
    if (item->Caption == "-") {
      const int mid = (r.top + r.bottom) / 2;
      c.Brush.Color = gdi::clBtnShadow;
      c.FillRect({r.left + 1, mid - 1, r.right - 1, mid});
      c.Brush.Color = gdi::clBtnHighlight;
      c.FillRect({r.left + 1, mid, r.right - 1, mid + 1});
      continue;
    }
    const gdi::TColor ink = item->Enabled ? gdi::clBlack : gdi::clBtnShadow;
    const int cy = (r.top + r.bottom) / 2;
    if (item->Checked && item->RadioItem) {
      c.Brush.Color = ink;
      c.Pen.Color = ink;
      c.Ellipse(r.left + 7, cy - 3, r.left + 13, cy + 3);
    } else if (item->Checked) {
      // The check box's tick.
      c.Brush.Color = ink;
      for (int k = 0; k < 7; ++k) {
        const int x = r.left + 6 + k, y = cy - 3 + (k < 3 ? k : 4 - k + 2) - 1;
        c.FillRect({x, y, x + 1, y + 3});
      }
    }
    c.Brush.Style = gdi::TBrushStyle::bsClear;
    c.Font.SetColor(ink);
    CaptionOut(c, r.left + kCheckColumn, r.top + 2, item->Caption);
  }
}

win::RECT TPopupMenu::ItemRect(int i) {
  gdi::TBitmap measure;
  measure.SetSize(1, 1);
  const Layout l = Measure(measure.Canvas());
  if (i < 0 || i >= static_cast<int>(l.rows.size())) return {0, 0, 0, 0};
  return l.rows[static_cast<size_t>(i)];
}

TMenuItem* TPopupMenu::ItemAt(int x, int y) {
  gdi::TBitmap measure;
  measure.SetSize(1, 1);
  const Layout l = Measure(measure.Canvas());
  for (size_t i = 0; i < l.rows.size(); ++i) {
    const win::RECT& r = l.rows[i];
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) {
      TMenuItem* item = items_->Items(static_cast<int>(i));
      return item->Caption == "-" ? nullptr : item;
    }
  }
  return nullptr;
}

}  // namespace ui
