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

void TMenuItem::Click() {
  if (!Enabled || !OnClick) return;
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
