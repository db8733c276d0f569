// Menus: items with captions, check marks, radio groups and click
// handlers, and the popup menu a control shows on a right click. Headless,
// a popup shown is remembered (PopupComponent, ShownAt); it paints as a
// box of rows, and a click at a point of that picture reaches the item.
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
  // A radio item shows a bullet when checked; checking one through
  // SetChecked unchecks the radio items of its GroupIndex beside it.
  bool RadioItem = false;
  int GroupIndex = 0;
  // A click checks the item first (a check item toggles, a radio item is
  // checked).
  bool AutoCheck = false;
  TNotifyEvent OnClick;

  void SetChecked(bool v);

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

  // The menu as it shows: a raised box with a row for each visible item
  // (separators a thin line), a tick or a bullet left of a checked one,
  // grey captions for disabled ones.
  void PaintToBitmap(gdi::TBitmap& bitmap);
  // Item I's row in that picture (empty for a hidden item).
  win::RECT ItemRect(int i);
  // The item whose row holds the point of the picture; nullptr on a
  // separator or outside.
  TMenuItem* ItemAt(int x, int y);
  static constexpr int kSeparatorHeight = 8;

 private:
  // The rows of the visible items and the box's size.
  struct Layout {
    std::vector<win::RECT> rows;  // by item index
    int width = 0, height = 0;
  };
  Layout Measure(gdi::TCanvas& canvas);
  gdi::TFont font_;

  cls::Owned<TMenuItem> items_;
  win::PT shownAt_{};
};

}  // namespace ui
