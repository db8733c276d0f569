// Headless controls: class-library components with a parent/child tree
// with alignment, focus, and the design values forms need (captions, fonts,
// bevels, memo lines, edit texts, list items, header sections). Only the
// up-down control paints (on its own face); fonts and colours are gdi's.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/classes/typinfo.h"
#include "platform/gdi/canvas.h"

namespace ui {

// Controls and forms are components of the class library: an owner frees
// what it owns, and a form can own any other component (a report).
using TObject = cls::TObject;
using TComponent = cls::TComponent;

using TNotifyEvent = std::function<void(TObject* Sender)>;

// Fonts and colours are gdi's: one vocabulary for what is drawn.
using gdi::TColor;
using gdi::TFont;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum class TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum class TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum class TBorderStyle { bsNone, bsSingle };
using cls::TAlignment;

// An operation the control's state does not allow (focusing a hidden or
// disabled control, making a visible form modal).
CLS_DECLARE_EXCEPTION(EInvalidOperation, cls::Exception);

class TWinControl;
class TCustomForm;

// A window message: its number, its two parameters and the answer.
struct TMessage {
  unsigned Msg = 0;
  intptr_t WParam = 0;
  intptr_t LParam = 0;
  intptr_t Result = 0;
};

class TControl : public TComponent {
  CLS_DECLARE_CLASS(TControl, TComponent)

 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* p);

  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetBounds(int left, int top, int width, int height);
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);

  // Visible as set; Showing also needs every parent to be visible.
  virtual bool Visible() const { return visible_; }
  virtual void SetVisible(bool v);
  bool Showing() const;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }

  bool Enabled = true;
  std::string Caption;  // Big5
  TFont Font;
  TColor Color = gdi::clBtnFace;
  TNotifyEvent OnClick;

  // Runs OnClick as the message loop would: a form freed inside waits
  // until the handler is done.
  virtual void Click();

  // Handles the message at once, as SendMessage does; answers its Result.
  intptr_t Perform(unsigned msg, intptr_t wParam, intptr_t lParam);

 protected:
  // A message sent to the control; one it does not know changes nothing.
  virtual void WndProc(TMessage&) {}

 private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
};

class TWinControl : public TControl {
  CLS_DECLARE_CLASS(TWinControl, TControl)

 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  const std::vector<TControl*>& Controls() const { return controls_; }
  int ControlCount() const { return static_cast<int>(controls_.size()); }

  int BorderWidth = 0;
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }
  // Lays out the aligned children: top, bottom, left, right, then client.
  void Realign();

  // Focus: a control can take it when it and every parent up to its form
  // are visible and enabled and the form is shown; a form when it is shown
  // and enabled. SetFocus raises EInvalidOperation when it cannot.
  virtual bool CanFocus() const;
  virtual void SetFocus();
  // The screen's focused control is this one.
  bool Focused() const;

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

class TPanel : public TWinControl {
  CLS_DECLARE_CLASS(TPanel, TWinControl)

 public:
  explicit TPanel(TComponent* AOwner);
  TBevelCut BevelInner = TBevelCut::bvNone;
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  int BevelWidth = 1;
};

class TLabel : public TControl {
  CLS_DECLARE_CLASS(TLabel, TControl)

 public:
  explicit TLabel(TComponent* AOwner);
  bool AutoSize = true;
  bool WordWrap = false;
  bool Transparent = false;
};

class TButton : public TWinControl {
  CLS_DECLARE_CLASS(TButton, TWinControl)

 public:
  explicit TButton(TComponent* AOwner);
  int ModalResult = 0;   // given to the form when clicked
  bool Default = false;  // answers a modal form nobody is there to answer
  bool Cancel = false;
  void Click() override;
};

// A flat tool button; clicks like a button.
class TSpeedButton : public TButton {
  CLS_DECLARE_CLASS(TSpeedButton, TButton)

 public:
  explicit TSpeedButton(TComponent* AOwner);
  bool Flat = false;
};

class TMemo : public TWinControl {
  CLS_DECLARE_CLASS(TMemo, TWinControl)

 public:
  explicit TMemo(TComponent* AOwner);
  // Big5 lines; Text joins them with CR LF, SetText splits at CR LF, CR or LF.
  cls::TStringList Lines;
  bool ReadOnly = false;
  bool WordWrap = true;
  TAlignment Alignment = TAlignment::taLeftJustify;
  TScrollStyle ScrollBars = TScrollStyle::ssNone;
  TBorderStyle BorderStyle = TBorderStyle::bsSingle;
};

// A one-line edit field.
class TEdit : public TWinControl {
  CLS_DECLARE_CLASS(TEdit, TWinControl)

 public:
  explicit TEdit(TComponent* AOwner);
  const std::string& Text() const { return text_; }
  // Runs OnChange when the text differs, as typing does.
  void SetText(const std::string& text);
  bool ReadOnly = false;
  TNotifyEvent OnChange;

 private:
  std::string text_;
};

// A list of lines of which one may be selected.
class TListBox : public TWinControl {
  CLS_DECLARE_CLASS(TListBox, TWinControl)

 public:
  explicit TListBox(TComponent* AOwner);
  cls::TStringList Items;  // Big5
  // The selected line, -1 for none (also when the lines got fewer).
  int ItemIndex() const;
  // A line outside the list selects none.
  void SetItemIndex(int i);
  TNotifyEvent OnDblClick;

  // A user's click and double click on line I: select it, then OnClick
  // (and OnDblClick), run as the message loop would.
  void ClickItem(int i);
  void DblClickItem(int i);

 private:
  int itemIndex_ = -1;
};

// One column title of a header control.
struct THeaderSection {
  std::string Text;  // Big5
  int Width = 50;
};

// Column titles over a list.
class THeaderControl : public TWinControl {
  CLS_DECLARE_CLASS(THeaderControl, TWinControl)

 public:
  explicit THeaderControl(TComponent* AOwner);
  std::vector<THeaderSection> Sections;
};

enum class TUDBtnType { btNext, btPrev };
using TUDClickEvent = std::function<void(TObject* Sender, TUDBtnType Button)>;

// A spin button: an up and a down arrow that step Position between Min and
// Max. It paints itself on a face of its own size; descendants draw over
// the standard face in Paint.
class TUpDown : public TWinControl {
  CLS_DECLARE_CLASS(TUpDown, TWinControl)

 public:
  explicit TUpDown(TComponent* AOwner);
  int Min = 0;
  int Max = 100;
  int Increment = 1;
  bool Wrap = false;
  int Position() const { return position_; }
  // Kept within Min..Max.
  void SetPosition(int v);
  // Runs after a press of one of the arrows, once Position has moved.
  TUDClickEvent OnButtonClick;

  // A user's press of an arrow (btNext: up), run as the message loop would.
  void ClickButton(TUDBtnType button);

  // The canvas on the control's face, and the face itself.
  gdi::TCanvas& Canvas() { return face_.Canvas(); }
  gdi::TBitmap& Face() { return face_; }
  // Sizes the face to the control and paints it.
  void Repaint();

 protected:
  // The standard face: two framed halves on the button face colour.
  virtual void Paint();

 private:
  int position_ = 0;
  gdi::TBitmap face_;
};

// The form a control sits on, or nullptr.
TCustomForm* GetParentForm(TControl* control);

}  // namespace ui
