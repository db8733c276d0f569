// Menus: items with captions, check marks and click handlers, and the
// popup menu a control shows on a right click. Headless, a popup shown is
// remembered (PopupComponent, ShownAt) and its items are clicked by code.
#pragma once
#include <string>
#include <vector>

#include "platform/ui/controls.h"

namespace ui {

class TMenuItem : public TComponent {
  CLS_DECLARE_CLASS(TMenuItem, TComponent)

 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;

  std::string Caption;  // Big5; "-" is a separator
  bool Enabled = true;
  bool Checked = false;
  bool Visible = true;
  TNotifyEvent OnClick;

  // The items under this one, in order (not owned: their owner frees them).
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int i) const { return items_.at(static_cast<size_t>(i)); }
  TMenuItem* Parent() const { return parent_; }
  int IndexOf(const TMenuItem* item) const;
  void Add(TMenuItem* item) { Insert(Count(), item); }
  // Places ITEM at INDEX (clamped), taking it from its former parent.
  void Insert(int index, TMenuItem* item);
  void Remove(TMenuItem* item);
  // Runs OnClick when the item is enabled, as the message loop would.
  void Click();

 private:
  TMenuItem* parent_ = nullptr;
  std::vector<TMenuItem*> items_;
};

class TPopupMenu : public TComponent {
  CLS_DECLARE_CLASS(TPopupMenu, TComponent)

 public:
  explicit TPopupMenu(TComponent* AOwner);
  // The root of the items (owned).
  TMenuItem& Items() { return *items_; }
  // Runs before the menu shows.
  TNotifyEvent OnPopup;
  // The control the menu was last shown for, and where (screen pixels).
  TComponent* PopupComponent = nullptr;
  win::PT ShownAt() const { return shownAt_; }
  virtual void Popup(int x, int y);
  // Shown for CONTROL at its point (X, Y).
  void PopupAt(TControl* control, int x, int y);

 private:
  cls::Owned<TMenuItem> items_;
  win::PT shownAt_{};
};

}  // namespace ui
