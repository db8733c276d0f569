// Scroll boxes, paint boxes, check boxes, bevels and shapes.
#pragma once
#include "platform/ui/controls.h"

namespace ui {

enum class TScrollBarKind { sbHorizontal, sbVertical };

class TScrollingWinControl;

// One scroll bar of a scrolling control. Positions run from 0 to Range
// less the client size; the bar shows only when Range exceeds the client
// size (and Visible allows it), drawn inside the client area.
class TControlScrollBar {
 public:
  TControlScrollBar(TScrollingWinControl& control, TScrollBarKind kind) : control_(control), kind_(kind) {}
  TControlScrollBar(const TControlScrollBar&) = delete;
  TControlScrollBar& operator=(const TControlScrollBar&) = delete;

  TScrollBarKind Kind() const { return kind_; }
  int Position() const { return position_; }
  // Kept within 0 .. Range - client size.
  void SetPosition(int v);
  int Range() const { return range_; }
  // Setting it by hand stops the control computing it (AutoScroll off).
  void SetRange(int v);
  // The line step.
  int Increment = 8;
  // Thumb tracking moves the position while the thumb is dragged.
  bool Tracking = false;
  bool Visible = true;
  // The client size along the bar.
  int ControlSize() const;
  bool IsScrollBarVisible() const { return Visible && range_ > ControlSize(); }
  // The largest position.
  int MaxPosition() const;
  // Moves as a scroll message with CODE (SB_...) and thumb position POS does.
  void ScrollMessage(int code, int pos);

 private:
  friend class TScrollingWinControl;
  void SetCalcRange(int v);  // AutoScroll's range; leaves AutoScroll on
  TScrollingWinControl& control_;
  TScrollBarKind kind_;
  int position_ = 0;
  int range_ = 0;
};

// A control whose contents scroll: children keep their places and are
// painted and hit shifted by the bars' positions. Aligned children share
// the larger of the range and the client size.
class TScrollingWinControl : public TWinControl {
  CLS_DECLARE_CLASS(TScrollingWinControl, TWinControl)

 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  TControlScrollBar& HorzScrollBar() { return horz_; }
  TControlScrollBar& VertScrollBar() { return vert_; }
  const TControlScrollBar& HorzScrollBar() const { return horz_; }
  const TControlScrollBar& VertScrollBar() const { return vert_; }
  // The ranges follow the children's extent while set.
  bool AutoScroll = true;
  // The thickness of a shown bar.
  static constexpr int kBarSize = 17;

  win::PT ScrollOffset() const override { return {horz_.Position(), vert_.Position()}; }
  win::RECT AlignArea() const override;
  // Recomputes AutoScroll ranges and keeps the positions in range.
  void UpdateScrollBars();

 protected:
  void WndProc(TMessage& message) override;
  // The ranges follow the new layout (and the layout the new ranges).
  void Realigned() override;
  // A wheel notch scrolls three lines of the vertical bar (the horizontal
  // one with Shift), through scroll messages.
  bool MouseWheelDefault(TShiftState shift, int delta, win::PT pos) override;
  void PaintOver() override;

 private:
  TControlScrollBar horz_, vert_;
  int wheel_ = 0;  // turned but not yet a whole notch
  bool updating_ = false;
};

class TScrollBox : public TScrollingWinControl {
  CLS_DECLARE_CLASS(TScrollBox, TScrollingWinControl)

 public:
  explicit TScrollBox(TComponent* AOwner);
  // A single border takes two pixels each side from the client area.
  TBorderStyle BorderStyle = TBorderStyle::bsSingle;
  int ClientWidth() const override;
  int ClientHeight() const override;
  win::PT ClientOffset() const override;

 protected:
  void Paint() override;
};

// A control that paints what its OnPaint handler draws on its Canvas.
class TPaintBox : public TGraphicControl {
  CLS_DECLARE_CLASS(TPaintBox, TGraphicControl)

 public:
  explicit TPaintBox(TComponent* AOwner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TWinControl {
  CLS_DECLARE_CLASS(TCheckBox, TWinControl)

 public:
  explicit TCheckBox(TComponent* AOwner);
  bool Checked() const { return state_ == TCheckBoxState::cbChecked; }
  // A change runs OnClick, as the system's check box does.
  void SetChecked(bool v) { SetState(v ? TCheckBoxState::cbChecked : TCheckBoxState::cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState v);
  // A user's click toggles the box (which runs OnClick).
  void Click() override;

 protected:
  void Paint() override;

 private:
  TCheckBoxState state_ = TCheckBoxState::cbUnchecked;
};

// A framed group of radio buttons, one per line of Items, laid out in
// Columns (filled column by column); the caption sits on the frame.
// Choosing a button (a click on it, or ItemIndex set) runs OnClick.
class TRadioGroup : public TWinControl {
  CLS_DECLARE_CLASS(TRadioGroup, TWinControl)

 public:
  explicit TRadioGroup(TComponent* AOwner);
  cls::TStringList Items;  // Big5
  int Columns = 1;
  // The chosen line, -1 for none (also when the lines got fewer).
  int ItemIndex() const;
  // A line outside the list chooses none; a change runs OnClick.
  void SetItemIndex(int i);
  // Button I's area (its circle and caption), in the group's pixels.
  win::RECT ButtonRect(int i);
  // The button under the point, or -1.
  int ButtonAt(int x, int y);
  // Only choosing a button runs OnClick; a click elsewhere does nothing.
  void Click() override {}

 protected:
  void Paint() override;
  // A left press and release on one button chooses it.
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  int itemIndex_ = -1;
  int pressed_ = -1;
};

enum class TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };
enum class TBevelStyle { bsLowered, bsRaised };

class TBevel : public TGraphicControl {
  CLS_DECLARE_CLASS(TBevel, TGraphicControl)

 public:
  explicit TBevel(TComponent* AOwner);
  TBevelShape Shape = TBevelShape::bsBox;
  TBevelStyle Style = TBevelStyle::bsLowered;

 protected:
  void Paint() override;
};

enum class TShapeType { stRectangle, stSquare, stRoundRect, stRoundSquare, stEllipse, stCircle };

class TShape : public TGraphicControl {
  CLS_DECLARE_CLASS(TShape, TGraphicControl)

 public:
  explicit TShape(TComponent* AOwner);
  TShapeType Shape = TShapeType::stRectangle;
  gdi::TPen Pen;
  gdi::TBrush Brush;

 protected:
  void Paint() override;
};

// A round option button; checking one unchecks the other radio buttons of
// its parent.
class TRadioButton : public TWinControl {
  CLS_DECLARE_CLASS(TRadioButton, TWinControl)

 public:
  explicit TRadioButton(TComponent* AOwner);
  bool Checked() const { return checked_; }
  // Checking runs OnClick, as the system's radio button does.
  void SetChecked(bool v);
  // A user's click checks it.
  void Click() override;

 protected:
  void Paint() override;

 private:
  bool checked_ = false;
};

enum class TComboBoxStyle { csDropDown, csDropDownList, csOwnerDrawFixed };
enum TOwnerDrawStateBit : unsigned { odSelected = 1, odFocused = 2 };
using TOwnerDrawState = unsigned;
using TDrawItemEvent =
    std::function<void(TWinControl* Control, int Index, win::RECT Rect, TOwnerDrawState State)>;

// A drop-down list showing the selected entry; owner-drawn styles paint
// the entry through OnDrawItem.
class TComboBox : public TWinControl {
  CLS_DECLARE_CLASS(TComboBox, TWinControl)

 public:
  explicit TComboBox(TComponent* AOwner);
  cls::TStringList Items;  // Big5
  TComboBoxStyle Style = TComboBoxStyle::csDropDownList;
  bool Sorted = false;
  // Sorts Items (case ignored) keeping their objects.
  void Sort();
  // -1 for none (also when the entries got fewer).
  int ItemIndex() const;
  // Selects without OnChange; an index outside the list selects none.
  void SetItemIndex(int i);
  std::string Text() const;
  // The first entry reading TEXT (case ignored), -1 when none.
  int IndexOfText(const std::string& text) const;
  // A user's choice of entry I: selects it and runs OnChange.
  void SelectItem(int i);
  TNotifyEvent OnChange;
  TDrawItemEvent OnDrawItem;

 protected:
  void Paint() override;
  // Up and Down step through the entries as a user's choice.
  void KeyDown(unsigned short& key, TShiftState shift) override;

 private:
  int itemIndex_ = -1;
};

// A frame with its caption in the top edge.
class TGroupBox : public TWinControl {
  CLS_DECLARE_CLASS(TGroupBox, TWinControl)

 public:
  explicit TGroupBox(TComponent* AOwner);

 protected:
  void Paint() override;
};

// An edit whose text follows a mask "mask;save literals;blank": in the
// mask '9' takes a digit or stays blank, '0' takes a digit that must be
// there, '\\' makes the next character a literal, and other characters
// are literals shown in place. Text holds only the characters typed (save
// literals 0; other values are read the same); EditText is what the field
// shows, the blank character in empty places ('_' when the mask names
// none). Characters the mask refuses, and any past its places or
// MaxLength (0: no limit), are not taken; SetText keeps what fits.
class TMaskEdit : public TEdit {
  CLS_DECLARE_CLASS(TMaskEdit, TEdit)

 public:
  explicit TMaskEdit(TComponent* AOwner);
  const std::string& EditMask() const { return editMask_; }
  // Keeps what of the text fits the new mask.
  void SetEditMask(const std::string& mask);
  bool TabStop = true;
  std::string EditText() const;
  void SetText(const std::string& text) override;
  // Every place marked '0' is filled.
  bool MaskComplete() const;

 protected:
  std::string ShownText() const override { return EditText(); }
  // A Backspace takes the last character typed; a character goes to the
  // next free place when it takes it.
  void KeyPress(char& key) override;

 private:
  struct Place {
    char ch;       // the literal, or the mask character '9' or '0'
    bool literal;
  };
  // How many characters Text can hold.
  size_t Capacity() const;
  // Whether the place for the next character after COUNT typed ones takes CH.
  bool Takes(size_t count, char ch) const;
  // The characters of TEXT that fit, in order.
  std::string Fit(const std::string& text) const;
  std::string editMask_;
  std::vector<Place> places_;
  char blank_ = '_';
};

// A bar between an aligned control and the rest of its parent, aligned the
// same way (alLeft by default) just after it. Dragging it with the left
// button resizes that control when the button is released, never below
// MinSize nor so far that the parent's free area goes below nothing; with
// AutoSnap a drag below MinSize snaps the control shut (size 0). OnMoved
// runs after each drag.
class TSplitter : public TGraphicControl {
  CLS_DECLARE_CLASS(TSplitter, TGraphicControl)

 public:
  explicit TSplitter(TComponent* AOwner);
  bool AutoSnap = true;
  int MinSize = 30;
  TNotifyEvent OnMoved;
  // The control the splitter resizes: the visible sibling aligned the same
  // way whose edge touches it; nullptr when there is none.
  TControl* ResizedControl() const;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  // The size the control takes for a drag of DELTA pixels along the bar's axis.
  int DraggedSize(TControl* c, int delta) const;
  bool dragging_ = false;
  win::PT down_{0, 0};
};

}  // namespace ui
