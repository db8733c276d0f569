// Headless controls: class-library components with a parent/child tree
// with alignment, focus, and the design values forms need (captions, fonts,
// bevels, memo lines, edit texts, list items, header sections); fonts and
// colours are gdi's.
//
// Painting: a control paints itself on a gdi canvas with its top-left at
// the canvas's origin (PaintTo), then its children, each clipped to its
// parent's client area and shifted by the parent's scroll position; what
// Paint draws goes to Canvas(). A control renders to a bitmap or a PNG at
// the screen's resolution (PaintToBitmap, SaveToPng).
//
// Input: mouse, wheel, key and scroll messages reach a control through
// Perform, as the message loop hands them over; the drivers in input.h
// send them. Positions are 32-bit: a point travels in LParam (x in the low,
// y in the high 32 bits), a scroll message's thumb position in LParam.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
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

// Mouse pointer shapes.
using TCursor = int;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeAll = -22,
                  crHourGlass = -11, crDrag = -12, crNoDrop = -13, crHandPoint = -21;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
// Keys and buttons held (a set).
enum TShiftStateBit : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;
enum class TDragState { dsDragEnter, dsDragLeave, dsDragMove };

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TMouseWheelEvent =
    std::function<void(TObject* Sender, TShiftState Shift, int WheelDelta, win::PT MousePos, bool& Handled)>;
using TKeyEvent = std::function<void(TObject* Sender, unsigned short& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;
using TDragDropEvent = std::function<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TDragOverEvent =
    std::function<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;

// Messages the controls handle.
constexpr unsigned WM_KEYDOWN = 0x100, WM_KEYUP = 0x101, WM_CHAR = 0x102, WM_HSCROLL = 0x114,
                   WM_VSCROLL = 0x115, WM_MOUSEMOVE = 0x200, WM_LBUTTONDOWN = 0x201, WM_LBUTTONUP = 0x202,
                   WM_LBUTTONDBLCLK = 0x203, WM_RBUTTONDOWN = 0x204, WM_RBUTTONUP = 0x205,
                   WM_MBUTTONDOWN = 0x207, WM_MBUTTONUP = 0x208, WM_MOUSEWHEEL = 0x20A;
// Scroll codes (WParam of WM_HSCROLL and WM_VSCROLL).
constexpr int SB_LINEUP = 0, SB_LINEDOWN = 1, SB_PAGEUP = 2, SB_PAGEDOWN = 3, SB_THUMBPOSITION = 4,
              SB_THUMBTRACK = 5, SB_TOP = 6, SB_BOTTOM = 7, SB_ENDSCROLL = 8;
// Virtual keys.
constexpr unsigned short VK_BACK = 8, VK_TAB = 9, VK_RETURN = 13, VK_ESCAPE = 27, VK_SPACE = 32,
                         VK_PRIOR = 33, VK_NEXT = 34, VK_END = 35, VK_HOME = 36, VK_LEFT = 37, VK_UP = 38,
                         VK_RIGHT = 39, VK_DOWN = 40, VK_DELETE = 46;
// One notch of the wheel.
constexpr int WHEEL_DELTA = 120;

// A point in a message's LParam, 32 bits each way.
inline intptr_t PointToParam(int x, int y) {
  return static_cast<intptr_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 32) |
                               static_cast<std::uint32_t>(x));
}
inline win::PT ParamToPoint(intptr_t p) {
  const auto u = static_cast<std::uint64_t>(p);
  return {static_cast<std::int32_t>(static_cast<std::uint32_t>(u)), static_cast<std::int32_t>(static_cast<std::uint32_t>(u >> 32))};
}
// WM_MOUSEWHEEL's WParam: the shift state low, the signed delta high.
inline intptr_t WheelToParam(int delta, TShiftState shift) {
  return static_cast<intptr_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(delta)) << 32) | shift);
}

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
class TPopupMenu;

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
  // Moves the control to the end of its parent's controls: painted last,
  // hit first.
  void BringToFront();

  bool Enabled = true;
  std::string Caption;  // Big5
  TFont Font;
  TColor Color = gdi::clBtnFace;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TMouseWheelEvent OnMouseWheel;
  TDragDropEvent OnDragDrop;
  TDragOverEvent OnDragOver;
  // Shown on a right click (not owned).
  TPopupMenu* PopupMenu = nullptr;
  // The help text shown while the pointer rests on the control, when its
  // ShowHint is set (Big5).
  std::string Hint;
  bool ShowHint = false;

  // The pointer shape over the control.
  TCursor Cursor() const { return cursor_; }
  virtual void SetCursor(TCursor c) { cursor_ = c; }

  // Runs OnClick as the message loop would: a form freed inside waits
  // until the handler is done.
  virtual void Click();
  virtual void DblClick();

  // Handles the message at once, as SendMessage does; answers its Result.
  intptr_t Perform(unsigned msg, intptr_t wParam, intptr_t lParam);

  // Paints the control and its children on CANVAS with its top-left at
  // (X, Y) of the canvas, clipped to its bounds.
  void PaintTo(gdi::TCanvas& canvas, int x, int y);
  // BITMAP takes the control's size and its picture.
  void PaintToBitmap(gdi::TBitmap& bitmap);
  // The picture as a PNG file, by its Windows name under the system root.
  void SaveToPng(const std::string& fileName);
  // The canvas Paint draws on; outside painting one that draws nowhere
  // (for measuring), with the control's font.
  gdi::TCanvas& Canvas();
  // Asks for a repaint: headless, the next rendering paints what is there.
  // Held while the control's window updates are locked.
  virtual void Invalidate();
  void Repaint() { Invalidate(); }
  int InvalidateCount() const { return invalidated_; }

 protected:
  // A message sent to the control. Mouse, wheel and key messages go to
  // the handlers below; one it does not know changes nothing.
  virtual void WndProc(TMessage& message);
  // Draws the control on Canvas(), in its own coordinates.
  virtual void Paint() {}
  // Draws over the children once they are painted.
  virtual void PaintOver() {}

  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  // OnMouseWheel, then the control's own handling when the handler did not
  // take it; answers whether anything took it.
  bool DoMouseWheel(TShiftState shift, int delta, win::PT pos);
  // Unhandled wheel turns go to the parent.
  virtual bool MouseWheelDefault(TShiftState shift, int delta, win::PT pos);

 private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  TAlign align_ = TAlign::alNone;
  bool visible_ = true;
  TCursor cursor_ = crDefault;
  int invalidated_ = 0;
  bool leftDown_ = false;  // a left press began on the control
  gdi::TCanvas* painting_ = nullptr;
  std::unique_ptr<gdi::TBitmap> measure_;  // the canvas outside painting
};

// A control without a window of its own.
class TGraphicControl : public TControl {
  CLS_DECLARE_CLASS(TGraphicControl, TControl)

 public:
  using TControl::TControl;
};

class TWinControl : public TControl {
  CLS_DECLARE_CLASS(TWinControl, TControl)

 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  const std::vector<TControl*>& Controls() const { return controls_; }
  int ControlCount() const { return static_cast<int>(controls_.size()); }

  int BorderWidth = 0;
  bool DoubleBuffered = false;
  // The client area: children's coordinates count from its top-left,
  // which lies ClientOffset() inside the control.
  virtual int ClientWidth() const { return Width(); }
  virtual int ClientHeight() const { return Height(); }
  virtual win::PT ClientOffset() const { return {0, 0}; }
  // How far the client area's contents are scrolled.
  virtual win::PT ScrollOffset() const { return {0, 0}; }
  // Lays out the aligned children: top, bottom, left, right, then client.
  void Realign();
  // The area aligned children share, in client coordinates.
  virtual win::RECT AlignArea() const;
  // The deepest visible child under a point of the client area, or nullptr;
  // the point is made the child's own.
  TControl* ControlAtPos(int& x, int& y) const;

  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  // Focus moves: the control losing it gets OnExit, then the one taking it
  // OnEnter.
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Focus: a control can take it when it and every parent up to its form
  // are visible and enabled and the form is shown; a form when it is shown
  // and enabled. SetFocus raises EInvalidOperation when it cannot.
  virtual bool CanFocus() const;
  virtual void SetFocus();
  // The screen's focused control is this one.
  bool Focused() const;

 protected:
  void WndProc(TMessage& message) override;
  virtual void KeyDown(unsigned short& key, TShiftState shift);
  virtual void KeyUp(unsigned short& key, TShiftState shift);
  virtual void KeyPress(char& key);
  // Realigns after a change of size.
  virtual void Resized() { Realign(); }
  // Runs after each layout.
  virtual void Realigned() {}

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
  bool realigning_ = false;
};

// Draws a raised or lowered frame of WIDTH pixels just inside R and
// shrinks R by it (highlight on the lit sides, shadow on the others).
void Frame3D(gdi::TCanvas& canvas, win::RECT& r, TBevelCut cut, int width);
// Fills R with a solid brush of COLOR.
void Fill(gdi::TCanvas& c, const win::RECT& r, gdi::TColor color);
// A control's caption as the system draws it at (X, Y): "&" marks the
// next character, which is underlined, and is not drawn itself ("&&" draws
// one "&").
void CaptionOut(gdi::TCanvas& c, int x, int y, const std::string& caption);
// The size CaptionOut gives the caption.
win::SIZE CaptionExtent(gdi::TCanvas& c, const std::string& caption);

// A panel: the face colour, bevels and a centred caption.
class TCustomPanel : public TWinControl {
  CLS_DECLARE_CLASS(TCustomPanel, TWinControl)

 public:
  explicit TCustomPanel(TComponent* AOwner);
  TBevelCut BevelInner = TBevelCut::bvNone;
  TBevelCut BevelOuter = TBevelCut::bvRaised;
  int BevelWidth = 1;

 protected:
  void Paint() override;
};

class TPanel : public TCustomPanel {
  CLS_DECLARE_CLASS(TPanel, TCustomPanel)

 public:
  using TCustomPanel::TCustomPanel;
};

class TLabel : public TGraphicControl {
  CLS_DECLARE_CLASS(TLabel, TGraphicControl)

 public:
  explicit TLabel(TComponent* AOwner);
  bool AutoSize = true;
  bool WordWrap = false;
  bool Transparent = false;
  // The caption's lines as painted: with WordWrap broken to the label's
  // width at spaces and around Big5 characters (a word wider than the
  // label keeps a line of its own), else one line.
  std::vector<std::string> Lines();
  // The height those lines take in the label's font.
  int LinesHeight();

 protected:
  void Paint() override;
};

class TButton : public TWinControl {
  CLS_DECLARE_CLASS(TButton, TWinControl)

 public:
  explicit TButton(TComponent* AOwner);
  int ModalResult = 0;   // given to the form when clicked
  bool Default = false;  // answers a modal form nobody is there to answer
  bool Cancel = false;
  void Click() override;

 protected:
  void Paint() override;
};

// A flat tool button; clicks like a button. Its Glyph holds NumGlyphs
// pictures side by side (the first for the enabled button, the second
// for the disabled one); the glyph's bottom-left pixel colour is
// transparent. Picture and caption are centred together, the picture on
// the side Layout names. A button that is down is drawn lowered.
class TSpeedButton : public TButton {
  CLS_DECLARE_CLASS(TSpeedButton, TButton)

 public:
  explicit TSpeedButton(TComponent* AOwner);
  bool Flat = false;
  gdi::TBitmap& Glyph() { return glyph_; }
  void SetGlyph(const gdi::TBitmap& glyph);
  // 1 to 4.
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);
  // The picture shown now: 0 enabled, 1 disabled (when there is one).
  int GlyphIndex() const;
  enum class TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
  TButtonLayout Layout = TButtonLayout::blGlyphLeft;
  // Speed buttons of one GroupIndex above 0 under one parent are down one
  // at a time: a click puts the button down and its group's others up;
  // clicking the down one puts it up only when AllowAllUp.
  int GroupIndex = 0;
  bool AllowAllUp = false;
  bool Down() const { return down_; }
  // Putting one down puts its group's others up. The code may put any
  // button up (so a group can show none down); without a group a button
  // is never down.
  void SetDown(bool v);
  void Click() override;

 protected:
  void Paint() override;

 private:
  gdi::TBitmap glyph_;
  int numGlyphs_ = 1;
  bool down_ = false;
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

 protected:
  void Paint() override;
};

// A one-line edit field.
class TEdit : public TWinControl {
  CLS_DECLARE_CLASS(TEdit, TWinControl)

 public:
  explicit TEdit(TComponent* AOwner);
  const std::string& Text() const { return text_; }
  // Runs OnChange when the text differs, as typing does.
  virtual void SetText(const std::string& text);
  bool ReadOnly = false;
  // The most bytes typing may give (0: no limit).
  int MaxLength = 0;
  TNotifyEvent OnChange;

 protected:
  void Paint() override;
  // What the field shows.
  virtual std::string ShownText() const { return text_; }
  // Typed characters edit the text at its end: a backspace takes the last
  // character (both bytes of a Big5 one), a printable one is appended.
  void KeyPress(char& key) override;

 private:
  std::string text_;
  bool lead_ = false;  // the last byte typed was a Big5 lead byte
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

  // A user's click and double click on line I: select it, then OnClick
  // (and OnDblClick), run as the message loop would.
  void ClickItem(int i);
  void DblClickItem(int i);

 protected:
  void Paint() override;

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

 protected:
  void Paint() override;
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

  // The control's own picture, made by Repaint.
  gdi::TBitmap& Face() { return face_; }
  // Sizes the face to the control and paints it there.
  void Repaint();

 protected:
  // The standard face: two framed halves on the button face colour.
  void Paint() override;

 private:
  int position_ = 0;
  gdi::TBitmap face_;
};

// The window whose updates are held: repaints asked for by it or its
// children wait until it is unlocked, which repaints it once. One window
// at a time: locking another while one is locked fails (false); nullptr
// unlocks. A locked window that is freed is unlocked.
bool LockWindowUpdate(TWinControl* control);
TWinControl* LockedWindow();
// Whether the control or one of its parents is the locked window.
bool UpdatesLocked(const TControl* control);

// Locks CONTROL's updates for a scope; unlocks only what it locked.
class TWindowUpdateLock {
 public:
  explicit TWindowUpdateLock(TWinControl* control) : locked_(control && LockWindowUpdate(control)) {}
  ~TWindowUpdateLock() {
    if (locked_) LockWindowUpdate(nullptr);
  }
  TWindowUpdateLock(const TWindowUpdateLock&) = delete;
  TWindowUpdateLock& operator=(const TWindowUpdateLock&) = delete;
  bool Locked() const { return locked_; }

 private:
  bool locked_;
};

// The pixels (0xAARRGGBB) of the W x H part of IMAGE whose left edge is
// LEFT, padded where the image ends; pixels of MASKCOLOR are transparent
// (alpha 0), the others opaque.
std::vector<std::uint32_t> MaskedPixels(const gdi::TBitmap& image, int left, int w, int h, gdi::TColor maskColor);

// The form a control sits on, or nullptr.
TCustomForm* GetParentForm(TControl* control);

}  // namespace ui
