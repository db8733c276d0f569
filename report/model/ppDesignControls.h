// Design-time controls: what a report designer shows for a component on
// its design surface. The printable, the bands and the components create
// and drive them; a program without a designer never makes any.
//
// TppDesignControl paints a component; TppPopupMenu is its right-click menu
// with property check items; TppBoundsRect, TppSelectionHandles and the
// designer's eight-handle set (TppDesignHandles) mark a selection, which
// TppSelectionObject places around its component.
#pragma once
#include <functional>
#include <string>

#include "platform/classes/classes.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/menus.h"

// The caption of a menu item without a message: its name with a blank
// before each inner capital ("AutoSize" -> "Auto Size").
std::string ppMenuCaption(const std::string& name);

// Paints the design control on CANVAS.
using TppDesignPaintEvent = cls::TMethodPointer<void(cls::TObject* Sender, gdi::TCanvas* Canvas)>;

class TppDesignControl : public ui::TGraphicControl {
  CLS_DECLARE_CLASS(TppDesignControl, ui::TGraphicControl)

 public:
  explicit TppDesignControl(cls::TComponent* AOwner);
  // The designer may copy the control (control style).
  bool Replicatable = true;
  TppDesignPaintEvent OnPaint;
  // The component shown; dropped when it is freed.
  cls::TComponent* Component() const { return component_; }
  void SetComponent(cls::TComponent* component);
  // Places the control, remembering the bottom-right point of the bounds
  // it had before.
  void SetDesignBounds(int left, int top, int width, int height);
  win::PT LastBottomRight() const { return lastBottomRight_; }

  void Notification(cls::TComponent* c, cls::TOperation op) override;

 protected:
  void Paint() override;

 private:
  cls::TComponent* component_ = nullptr;
  win::PT lastBottomRight_{};
};

// A component's design popup menu. Items are kept in the order of their
// keys (Format("%8d", order) + name); one that names a published Boolean
// property of the bound component is a check item toggling it.
class TppPopupMenu : public ui::TPopupMenu {
  CLS_DECLARE_CLASS(TppPopupMenu, ui::TPopupMenu)

 public:
  explicit TppPopupMenu(cls::TComponent* AOwner);

  // A new item NAME (owned by the menu) at the place of its key. Its Tag is
  // CAPTIONID; its caption CAPTION, or message CAPTIONID when CAPTION is
  // empty. Nothing (nullptr) when the menu already owns a component NAME.
  ui::TMenuItem* AddItem(int order, const std::string& name, int captionId, const std::string& caption);
  // The item NAME, nullptr when none.
  ui::TMenuItem* FindItem(const std::string& name) const;
  // Clicking item NAME runs ACTION on the bound component (nothing once
  // none is bound).
  void SetItemAction(const std::string& name, std::function<void(cls::TComponent*)> action);
  // AddItem with the caption of message CAPTIONID, or NAME spaced when
  // CAPTIONID is 0; a click runs ACTION on the bound component when it is
  // a C. A separator is AddItem(order, name, 0, "-").
  template <class C>
  ui::TMenuItem* AddAction(int order, const std::string& name, int captionId, std::function<void(C&)> action = {}) {
    ui::TMenuItem* item = AddItem(order, name, captionId, captionId ? std::string() : ppMenuCaption(name));
    if (item && action)
      SetItemAction(name, [action = std::move(action)](cls::TComponent* c) {
        if (auto* o = cls::ObjectAs<C>(c)) action(*o);
      });
    return item;
  }
  // Binds COMPONENT; every item naming a published Boolean property of it
  // is checked from the property and toggles it when clicked (both through
  // the scripting layer).
  void UpdateChecks(cls::TComponent* component);
  // Re-captions the items whose Tag is a message number.
  void LanguageChanged();

  cls::TComponent* Component() const { return component_; }
  void SetComponent(cls::TComponent* component);
  int LanguageIndex = 0;
  const cls::TStringList& Keys() const { return keys_; }

  void Notification(cls::TComponent* c, cls::TOperation op) override;

 private:
  cls::TStringList keys_;  // sorted, duplicates accepted
  cls::TComponent* component_ = nullptr;
};

// The outline of a component being dragged: a 2-pixel XOR frame.
class TppBoundsRect : public ui::TShape {
  CLS_DECLARE_CLASS(TppBoundsRect, ui::TShape)

 public:
  explicit TppBoundsRect(cls::TComponent* AOwner);
};

// Small square handles (owned), hidden until placed.
class TppHandleSet : public cls::TComponent {
  CLS_DECLARE_CLASS(TppHandleSet, cls::TComponent)

 public:
  static constexpr int kHandleSize = 5;
  ui::TWinControl* Parent() const { return parent_; }
  // Inserts the handles into PARENT.
  void SetParent(ui::TWinControl* parent);
  // Hides the handles that show.
  void Hide();
  int Count() const { return static_cast<int>(handles_.size()); }
  ui::TShape* Handle(int i) const { return handles_.at(static_cast<size_t>(i)); }

  void Notification(cls::TComponent* c, cls::TOperation op) override;

 protected:
  TppHandleSet(cls::TComponent* AOwner, int count, gdi::TColor color);
  // Moves handle I to (X, Y), brings it to the front and shows it.
  void PlaceHandle(int i, int x, int y);

 private:
  std::vector<ui::TShape*> handles_;
  ui::TWinControl* parent_ = nullptr;
};

// The four corner handles (silver, Tag 0-3).
class TppSelectionHandles : public TppHandleSet {
  CLS_DECLARE_CLASS(TppSelectionHandles, TppHandleSet)

 public:
  explicit TppSelectionHandles(cls::TComponent* AOwner);
  // Handles inside the corners of the rectangle: top-left, top-right,
  // bottom-left, bottom-right.
  void Place(int left, int top, int width, int height);
};

// The designer's set of eight handles: corners and edge midpoints, each
// centred on its point (2 pixels up and left of it).
class TppDesignHandles : public TppHandleSet {
  CLS_DECLARE_CLASS(TppDesignHandles, TppHandleSet)

 public:
  explicit TppDesignHandles(cls::TComponent* AOwner);
  // Order: top-left, top, top-right, left, right, bottom-left, bottom,
  // bottom-right.
  void Place(int left, int top, int width, int height);
  // Pen and brush colour of every handle.
  void SetColor(gdi::TColor color);
  gdi::TColor Color() const { return color_; }

 private:
  gdi::TColor color_ = gdi::clBlack;
};

// The selection marks of one component: a bounds rectangle and four corner
// handles of its own, or the designer's eight-handle set when one is linked.
// The component is asked for its colour and place through
// IppDesignComponent (ppIntf.h).
class TppSelectionObject : public cls::TComponent {
  CLS_DECLARE_CLASS(TppSelectionObject, cls::TComponent)

 public:
  explicit TppSelectionObject(cls::TComponent* AOwner);
  // Hides the linked eight-handle set when the parent control is visible.
  void BeforeDestruction() override;

  bool Visible = true;
  TppBoundsRect* BoundsRect() const { return boundsRect_.get(); }
  TppSelectionHandles* Handles() const { return handles_.get(); }
  // The designer's set; cleared when it is freed.
  TppDesignHandles* DesignHandles() const { return designHandles_; }
  void SetDesignHandles(TppDesignHandles* handles);
  ui::TWinControl* ParentControl() const { return parent_; }
  // The rectangle and the corner handles go into PARENT.
  void SetParentControl(ui::TWinControl* parent);
  // The component marked and its control; each is dropped when freed.
  cls::TComponent* Component() const { return component_; }
  ui::TControl* Control() const { return control_; }
  void SetComponent(cls::TComponent* component, ui::TControl* control);

  // Only with a component: selected, the handles are placed around the
  // bounds rectangle (hidden); not selected, they are hidden.
  void SetSelected(bool selected);
  bool Selected() const { return selected_; }
  // While visible, with a component and its control: the bounds rectangle
  // takes the component's left and top and the control's size.
  void UpdateBounds();

  void Notification(cls::TComponent* c, cls::TOperation op) override;

 private:
  cls::Owned<TppBoundsRect> boundsRect_;
  cls::Owned<TppSelectionHandles> handles_;
  TppDesignHandles* designHandles_ = nullptr;
  ui::TWinControl* parent_ = nullptr;
  cls::TComponent* component_ = nullptr;
  ui::TControl* control_ = nullptr;
  bool selected_ = false;
};

// Shows the dialog registered under ANCESTOR with LANGUAGEINDEX and REPORT,
// after FILL has set it up, and answers its modal result; APPLY runs when it
// ends with OK. Nothing (0) when no form is registered.
int ppShowDesignDialog(cls::TClass ancestor, int languageIndex, cls::TComponent* report,
                       const std::function<void(cls::TComponent*)>& fill = {},
                       const std::function<void(cls::TComponent*)>& apply = {});
