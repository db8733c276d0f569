#include "report/model/ppDesignControls.h"

#include <cctype>
#include <cstdio>

#include "platform/ui/forms.h"
#include "report/model/ppForms.h"
#include "report/model/ppIntf.h"
#include "report/model/ppRTTI.h"
#include "report/model/ppResMgr.h"

CLS_IMPLEMENT_COMPONENT(TppDesignControl)
CLS_IMPLEMENT_COMPONENT(TppPopupMenu)
CLS_IMPLEMENT_COMPONENT(TppBoundsRect)
CLS_IMPLEMENT_CLASS(TppHandleSet)
CLS_IMPLEMENT_COMPONENT(TppSelectionHandles)
CLS_IMPLEMENT_COMPONENT(TppDesignHandles)
CLS_IMPLEMENT_COMPONENT(TppSelectionObject)

std::string ppMenuCaption(const std::string& name) {
  std::string text;
  for (size_t i = 0; i < name.size(); ++i) {
    if (i > 0 && std::isupper(static_cast<unsigned char>(name[i]))) text += ' ';
    text += name[i];
  }
  return text;
}

// ---------------------------------------------------------------- TppDesignControl

TppDesignControl::TppDesignControl(cls::TComponent* AOwner) : ui::TGraphicControl(AOwner) {}

void TppDesignControl::SetComponent(cls::TComponent* component) {
  if (component_ == component) return;
  if (component_) component_->RemoveFreeNotification(this);
  component_ = component;
  if (component_) component_->FreeNotification(this);
}

void TppDesignControl::SetDesignBounds(int left, int top, int width, int height) {
  lastBottomRight_ = {Left() + Width(), Top() + Height()};
  SetBounds(left, top, width, height);
}

void TppDesignControl::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c == component_) {
    component_ = nullptr;
    OnPaint = nullptr;
  }
}

void TppDesignControl::Paint() {
  if (OnPaint) OnPaint(this, &Canvas());
}

// ---------------------------------------------------------------- TppPopupMenu

TppPopupMenu::TppPopupMenu(cls::TComponent* AOwner) : ui::TPopupMenu(AOwner) {
  keys_.SetSorted(true);
  keys_.SetDuplicates(cls::TStringList::dupAccept);
}

ui::TMenuItem* TppPopupMenu::AddItem(int order, const std::string& name, int captionId, const std::string& caption) {
  if (FindComponent(name)) return nullptr;
  char key[16];
  std::snprintf(key, sizeof key, "%8d", order);
  const int index = keys_.Add(key + name);
  auto* item = new ui::TMenuItem(this);
  item->SetName(name);
  item->SetTag(captionId);
  item->Caption = !caption.empty() ? caption : captionId != 0 ? LoadLanguageString(captionId) : std::string();
  Items().Insert(index, item);
  return item;
}

ui::TMenuItem* TppPopupMenu::FindItem(const std::string& name) const {
  return dynamic_cast<ui::TMenuItem*>(FindComponent(name));
}

void TppPopupMenu::SetItemAction(const std::string& name, std::function<void(cls::TComponent*)> action) {
  ui::TMenuItem* item = FindItem(name);
  if (!item) return;
  item->OnClick = [this, action = std::move(action)](cls::TObject*) {
    if (component_) action(component_);
  };
}

void TppPopupMenu::SetComponent(cls::TComponent* component) {
  if (component_ == component) return;
  if (component_) component_->RemoveFreeNotification(this);
  component_ = component;
  if (component_) component_->FreeNotification(this);
}

void TppPopupMenu::UpdateChecks(cls::TComponent* component) {
  SetComponent(component);
  if (!component) return;
  for (int i = 0; i < ComponentCount(); ++i) {
    auto* item = dynamic_cast<ui::TMenuItem*>(Components(i));
    if (!item || item->Name().empty()) continue;
    const cls::TPropInfo* prop = cls::GetPropInfo(component, item->Name());
    if (!prop || prop->Type != cls::TypeInfoBoolean()) continue;
    TraValue value;
    if (!raGetPropValue(component, item->Name(), value) || !std::holds_alternative<bool>(value)) continue;
    item->Checked = std::get<bool>(value);
    item->OnClick = [this, name = item->Name()](cls::TObject*) {
      TraValue v;
      if (!component_ || !raGetPropValue(component_, name, v) || !std::holds_alternative<bool>(v)) return;
      raSetPropValue(component_, name, TraValue(!std::get<bool>(v)));
    };
  }
}

void TppPopupMenu::LanguageChanged() {
  for (int i = 0; i < ComponentCount(); ++i)
    if (auto* item = dynamic_cast<ui::TMenuItem*>(Components(i)); item && item->Tag() != 0) {
      std::string text = LoadLanguageString(static_cast<int>(item->Tag()));
      if (!text.empty()) item->Caption = text;
    }
}

void TppPopupMenu::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op == cls::opRemove && c == component_) component_ = nullptr;
}

// ---------------------------------------------------------------- TppBoundsRect

TppBoundsRect::TppBoundsRect(cls::TComponent* AOwner) : ui::TShape(AOwner) {
  Pen.Width = 2;
  Pen.Color = gdi::clBtnShadow;
  Pen.Mode = gdi::TPenMode::pmXor;
  Brush.Style = gdi::TBrushStyle::bsClear;
  SetVisible(false);
}

// ---------------------------------------------------------------- handles

TppHandleSet::TppHandleSet(cls::TComponent* AOwner, int count, gdi::TColor color) : cls::TComponent(AOwner) {
  for (int i = 0; i < count; ++i) {
    auto* h = new ui::TShape(this);
    h->SetTag(i);
    h->SetBounds(0, 0, kHandleSize, kHandleSize);
    h->Pen.Color = color;
    h->Brush.Color = color;
    h->SetVisible(false);
    handles_.push_back(h);
  }
}

void TppHandleSet::SetParent(ui::TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) parent_->RemoveFreeNotification(this);
  parent_ = parent;
  if (parent_) parent_->FreeNotification(this);
  for (ui::TShape* h : handles_) h->SetParent(parent);
}

void TppHandleSet::Hide() {
  for (ui::TShape* h : handles_)
    if (h->Visible()) h->SetVisible(false);
}

void TppHandleSet::PlaceHandle(int i, int x, int y) {
  ui::TShape* h = Handle(i);
  h->SetBounds(x, y, h->Width(), h->Height());
  h->BringToFront();
  h->SetVisible(true);
}

void TppHandleSet::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op != cls::opRemove) return;
  if (c == parent_) parent_ = nullptr;
  for (ui::TShape*& h : handles_)
    if (h == c) h = nullptr;
  std::erase(handles_, nullptr);
}

TppSelectionHandles::TppSelectionHandles(cls::TComponent* AOwner) : TppHandleSet(AOwner, 4, gdi::clSilver) {}

void TppSelectionHandles::Place(int left, int top, int width, int height) {
  if (Count() < 4) return;
  const int w = Handle(0)->Width(), h = Handle(0)->Height();
  PlaceHandle(0, left, top);
  PlaceHandle(1, left + width - w, top);
  PlaceHandle(2, left, top + height - h);
  PlaceHandle(3, left + width - w, top + height - h);
}

TppDesignHandles::TppDesignHandles(cls::TComponent* AOwner) : TppHandleSet(AOwner, 8, gdi::clBlack) {}

void TppDesignHandles::Place(int left, int top, int width, int height) {
  if (Count() < 8) return;
  const int xs[3] = {left, left + width / 2, left + width};
  const int ys[3] = {top, top + height / 2, top + height};
  int i = 0;
  for (int row = 0; row < 3; ++row)
    for (int col = 0; col < 3; ++col)
      if (row != 1 || col != 1) PlaceHandle(i++, xs[col] - 2, ys[row] - 2);
}

void TppDesignHandles::SetColor(gdi::TColor color) {
  color_ = color;
  for (int i = 0; i < Count(); ++i) {
    Handle(i)->Pen.Color = color;
    Handle(i)->Brush.Color = color;
    Handle(i)->Invalidate();
  }
}

// ---------------------------------------------------------------- TppSelectionObject

TppSelectionObject::TppSelectionObject(cls::TComponent* AOwner)
    : cls::TComponent(AOwner), boundsRect_(new TppBoundsRect(nullptr)), handles_(new TppSelectionHandles(nullptr)) {}

void TppSelectionObject::BeforeDestruction() {
  if (designHandles_ && parent_ && parent_->Visible()) designHandles_->Hide();
  SetDesignHandles(nullptr);
  SetComponent(nullptr, nullptr);
  SetParentControl(nullptr);
  inherited::BeforeDestruction();
}

void TppSelectionObject::SetDesignHandles(TppDesignHandles* handles) {
  if (designHandles_ == handles) return;
  if (designHandles_) designHandles_->RemoveFreeNotification(this);
  designHandles_ = handles;
  if (designHandles_) designHandles_->FreeNotification(this);
}

void TppSelectionObject::SetParentControl(ui::TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) parent_->RemoveFreeNotification(this);
  parent_ = parent;
  if (parent_) parent_->FreeNotification(this);
  boundsRect_->SetParent(parent);
  handles_->SetParent(parent);
}

void TppSelectionObject::SetComponent(cls::TComponent* component, ui::TControl* control) {
  if (component_ != component) {
    if (component_) component_->RemoveFreeNotification(this);
    component_ = component;
    if (component_) component_->FreeNotification(this);
  }
  if (control_ != control) {
    if (control_) control_->RemoveFreeNotification(this);
    control_ = control;
    if (control_) control_->FreeNotification(this);
  }
}

void TppSelectionObject::SetSelected(bool selected) {
  if (!component_) return;
  selected_ = selected;
  if (!selected) {
    handles_->Hide();
    if (designHandles_) designHandles_->Hide();
    return;
  }
  TppBoundsRect& r = *boundsRect_;
  r.SetVisible(false);
  if (designHandles_) {
    auto* source = dynamic_cast<IppDesignComponent*>(component_);
    const gdi::TColor color = source ? source->DesignColor() : gdi::clWhite;
    designHandles_->SetColor(color == gdi::clBlack || color == gdi::clNavy ? gdi::clWhite : gdi::clBlack);
    designHandles_->Place(r.Left(), r.Top(), r.Width(), r.Height());
  } else {
    handles_->Place(r.Left(), r.Top(), r.Width(), r.Height());
  }
}

void TppSelectionObject::UpdateBounds() {
  if (!Visible || !component_ || !control_) return;
  auto* source = dynamic_cast<IppDesignComponent*>(component_);
  if (!source) return;
  boundsRect_->SetBounds(source->DesignLeft(), source->DesignTop(), control_->Width(), control_->Height());
}

void TppSelectionObject::Notification(cls::TComponent* c, cls::TOperation op) {
  inherited::Notification(c, op);
  if (op != cls::opRemove) return;
  if (c == component_) component_ = nullptr;
  if (c == control_) control_ = nullptr;
  if (c == designHandles_) designHandles_ = nullptr;
  if (c == parent_) parent_ = nullptr;
}

// ---------------------------------------------------------------- dialogs

int ppShowDesignDialog(cls::TClass ancestor, int languageIndex, cls::TComponent* report,
                       const std::function<void(cls::TComponent*)>& fill,
                       const std::function<void(cls::TComponent*)>& apply) {
  cls::TClass c = FindFormClass(ancestor);
  auto* form = c ? cls::ObjectAs<TppForm>(ui::NewFormOfClass(c, nullptr)) : nullptr;
  if (!form) return 0;
  cls::Owned<TppForm> owned(form);
  form->SetLanguageIndex(languageIndex);
  form->SetReport(report);
  if (fill) fill(form);
  const int result = form->ShowModal();
  if (result == 1 && apply) apply(form);
  return result;
}
