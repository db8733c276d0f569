// Headless forms, timers and the application object with its message loop.
//
// The loop runs posted messages and due timers. When it has nothing to do
// and a form is waiting for an answer (a modal form, or the visible main
// form under Run), the answer comes from the scripted clicks (tests), else
// from the terminal when standard input is one, else the form's default
// button is pressed, or the form is closed when it has none. A loop that
// nothing can end any more throws EStuckLoop instead of hanging.
//
// The terminal is shown the form's caption, its visible text and the path
// of a fresh PNG of it (under the system root, Platform/Screens), then
// numbered: its buttons (caption, else hint, else name), its menu items,
// its fields with their values and names (check boxes, edits, radio
// buttons and groups, combo boxes, lists, tree views, spin buttons), and
// closing; disabled ones are marked but keep their number. One line is
// read: a number picks its offer (a field's value is asked next), an empty
// line the default button marked * (nothing without one), anything else is
// an entry as scripted (ScriptClicks), where a button's, box's or menu
// item's caption serves as its name. An entry the form cannot take is
// answered with one line saying why and the form is asked again.
//
// A form shown without a parent is registered as a shown top-level window
// of its class name (FindWindow finds it) until it is hidden or freed.
// Showing such a form makes it the screen's active form (Activate runs);
// when it is hidden or freed the form shown before it is activated again.
// A modal form disables the other shown forms for its run.
//
// ProcessMessages, called from a long handler, also runs the next
// scripted entry when the innermost modal form can take it (a control of
// that name, a key or <close>: what a user does during the run); other
// entries stay queued for the loop that waits for their form. With nothing
// scripted it looks, without waiting, for a line typed at the terminal and
// hands it to the form in front (the innermost modal form, else the active
// one), so that Cancel, Esc or <close> reach work under way.
//
// Exceptions raised in handlers the loop runs (timer ticks, clicks, posted
// messages) are shown by the application's exception handler in a message
// box captioned with the application title; they do not reach the code
// that opened the loop.
#pragma once
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "platform/ui/controls.h"
#include "platform/ui/topwindows.h"

namespace ui {

class TCheckBox;

// A message loop that nothing could end any more.
class EStuckLoop : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum class TPosition { poDesigned, poDefault, poScreenCenter, poDesktopCenter, poMainFormCenter };
CLS_ENUM(TWindowState, wsNormal, wsMinimized, wsMaximized)

using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

// A form's icon: a small picture (0x00RRGGBB pixels, rows top down), empty
// when none was given.
class TIcon {
 public:
  bool Empty() const { return pixels_.empty(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  const std::vector<std::uint32_t>& Pixels() const { return pixels_; }
  // W x H pixels; a size that does not match the pixels makes it empty.
  void SetImage(int w, int h, std::vector<std::uint32_t> pixels);
  void Clear() { SetImage(0, 0, {}); }
  void Assign(const TIcon& other) { *this = other; }
  bool operator==(const TIcon& o) const = default;

 private:
  int width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;
};

class TCustomForm : public TWinControl {
  CLS_DECLARE_CLASS(TCustomForm, TWinControl)

 public:
  // Takes the global name-space write lock while it registers the form.
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  // Runs OnDestroy, then frees what the form owns while it is still whole.
  void BeforeDestruction() override;
  // A form shows its client area in its colour.
  void Paint() override;

  TFormBorderStyle BorderStyle = TFormBorderStyle::bsSizeable;
  unsigned BorderIcons = biSystemMenu | biMinimize | biMaximize;
  TPosition Position = TPosition::poDesigned;
  bool AutoSize = false;

  TIcon Icon;
  // The resolution the form was designed at.
  int PixelsPerInch = 96;
  // How the form is shown (headless: kept, not acted on).
  TWindowState WindowState = wsNormal;

  // The client area; the frame is not modelled, so it is the form's size.
  void SetClientWidth(int w) { SetWidth(w); }
  void SetClientHeight(int h) { SetHeight(h); }
  // Places the form in the middle of the screen: left := screen width / 2 -
  // width / 2 and top likewise, each rounded (halves to even). Forms with
  // Position poScreenCenter or poDesktopCenter get it when shown.
  void CenterOnScreen();

  int ModalResult = 0;
  bool Modal() const { return modalDepth_ > 0; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  // Whether the form may close now: OnCloseQuery decides (true without one).
  virtual bool CloseQuery();
  // The form became the screen's active form: runs OnActivate.
  virtual void Activate();
  // Showing and hiding: run OnShow (before activation) and OnHide (while
  // the form is still shown).
  virtual void DoShow();
  virtual void DoHide();

  // The screen's active form is this one.
  bool Active() const;
  // The control that has the focus when the form is active, or nullptr.
  TWinControl* ActiveControl() const { return activeControl_; }
  // A form activates itself and focuses its active control.
  bool CanFocus() const override;
  void SetFocus() override;

  void SetVisible(bool v) override;
  // Shows the form and runs a message loop until ModalResult is set (by a
  // button, Close or the code) and the form agrees to close.
  int ShowModal();
  // Asks the form to close: modal forms get mrCancel; others run OnCloseQuery
  // and OnClose and then hide, free themselves or end the application.
  virtual void Close();
  // Frees the form from the message loop, after the current handler.
  void Release();
  // Frees the form; inside one of its own handlers, once that handler is done.
  void Free() override;

  // Runs OnCreate; forms made with NewForm or CreateForm get it once built.
  void DoCreate();

  // Enabled and visible buttons, edits and check boxes on the form (within
  // enabled, visible parents), in creation order.
  std::vector<TButton*> Buttons() const;
  std::vector<TEdit*> Edits() const;
  std::vector<TCheckBox*> CheckBoxes() const;
  // The texts a user would read on it: captions of visible panels and
  // labels, memo lines and status bar panels (its simple text when it
  // shows one panel), one a line (CR between them).
  std::string VisibleText() const;

  // Keeps the form alive while one of its handlers runs.
  class HandlerScope {
   public:
    explicit HandlerScope(TCustomForm* f);
    ~HandlerScope();
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

   private:
    TCustomForm* form_;
  };

 private:
  friend class TApplication;
  friend class TWinControl;
  void CloseModal();
  // Shows or hides without OnShow, registering the shown top-level window.
  void SetShown(bool v);
  // Shows (DoShow, then activation) or hides (DoHide, then the form shown
  // before is activated).
  void ChangeShowing(bool v);

  int handlerDepth_ = 0;
  int modalDepth_ = 0;
  bool freePending_ = false;
  bool centred_ = false;                  // placed by Position once
  TWinControl* activeControl_ = nullptr;  // the focus inside the form
  TopWindowHandle topWindow_ = 0;         // registered while shown without a parent
};

class TForm : public TCustomForm {
  CLS_DECLARE_CLASS(TForm, TCustomForm)

 public:
  using TCustomForm::TCustomForm;
};

// Creates a form of class T and runs its OnCreate. The global name-space
// write lock is held while the form is built, not while OnCreate runs.
template <class T, class... Args>
T* NewForm(TComponent* owner, Args&&... args) {
  T* f;
  {
    cls::TGlobalNameSpaceWrite lock;
    f = new T(owner, std::forward<Args>(args)...);
  }
  try {
    f->DoCreate();
  } catch (...) {
    f->Free();
    throw;
  }
  return f;
}

// The same for a form class given by reference (it must be a form class
// with a virtual constructor; EInvalidOperation otherwise).
TCustomForm* NewFormOfClass(cls::TClass formClass, TComponent* owner);

// The screen cursor's shapes are the controls' (controls.h), and this one.
constexpr TCursor crSQLWait = -17;

// The screen: its size is the screen device context's (one value), its
// resolution the class library's; which form and control are active; and
// the cursor shown over every form (crDefault lets each control choose).
class TScreen {
 public:
  TCursor Cursor() const;
  void SetCursor(TCursor cursor);
  int Width() const;
  int Height() const;
  int PixelsPerInch() const;
  TCustomForm* ActiveForm() const;
  TWinControl* ActiveControl() const;
};
TScreen& Screen();

class TTimer : public TComponent {
  CLS_DECLARE_CLASS(TTimer, TComponent)

 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;

  // Running: enabled, an interval above 0 and a handler.
  bool Running() const { return enabled_ && interval_ > 0 && OnTimer != nullptr; }

 private:
  friend class TApplication;
  void Restart();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  std::uint64_t due_ = 0;  // monotonic ms; 0 when not running
};

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception_ptr& E)>;

class TApplication : public TComponent {
  CLS_DECLARE_CLASS(TApplication, TComponent)

 public:
  TApplication();
  ~TApplication() override;

  void Initialize();
  // The title is the caption of ShowMessage and of the exception handler.
  std::string Title() const;
  void SetTitle(const std::string& title);
  bool ShowMainForm = true;
  TCustomForm* MainForm() const { return mainForm_; }

  // Creates a form owned by the application; the first one is the main form.
  template <class T>
  T* CreateForm() {
    T* f = NewForm<T>(this);
    if (!mainForm_) mainForm_ = f;
    return f;
  }

  // Shows the main form (when ShowMainForm) and runs the message loop until
  // Terminate. Throws EStuckLoop when nothing could end it.
  void Run();
  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  // Runs every posted message and due timer, without waiting; during a
  // modal run also a scripted click meant for the innermost modal form
  // (see the file comment).
  void ProcessMessages();
  // ProcessMessages when 50 ms have passed since it last ran from here:
  // a long step calls it often, so that a line typed at the terminal is
  // heard while it works.
  void ProcessMessagesWhileWorking();
  // Runs MSG from the loop (any thread may post).
  void PostMessage(std::function<void()> msg);

  // A message box with the title as caption when CAPTION is empty.
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

  TExceptionEvent OnException;
  // Shows the current exception (call inside a catch): OnException when set,
  // else a message box with the exception's text and the title as caption.
  void HandleException(TObject* Sender);
  void ShowException(const std::exception_ptr& e);

  // Frees every form and component of the application, drops timers and
  // messages and starts over (end of a program, and between tests).
  void Shutdown();

  // Forms alive, in creation order.
  const std::vector<TCustomForm*>& Forms() const { return forms_; }
  // The modal forms running, innermost last.
  const std::vector<TCustomForm*>& ModalForms() const { return modal_; }

 private:
  friend class TCustomForm;
  friend class TTimer;
  friend class TScreen;
  friend class TWinControl;
  // Makes FORM the active form (Activate runs when it was not).
  void ActivateForm(TCustomForm* form);
  // FORM is hidden or going: the form shown last before it becomes active.
  void FormHidden(TCustomForm* form);
  // Presses the front scripted click when it names a button, check box or
  // edit of the innermost modal form.
  void PressModalClick();
  // What a scripted entry does on FORM; nullptr when the form has no such
  // enabled, visible control; EStuckLoop when the control refuses the value.
  static std::function<void()> ScriptedAction(TCustomForm* form, const std::string& entry);
  // The one reading of an entry, for scripts and the terminal alike:
  // nullptr with WHY when the form has no such control (REFUSED false) or
  // its control refuses the value (REFUSED true).
  static std::function<void()> InterpretEntry(TCustomForm* form, const std::string& entry, std::string& why,
                                              bool& refused);
  // What a user does to CONTROL: with VALUE sets it, without clicks it;
  // nullptr with WHY when the control refuses.
  static std::function<void()> ControlAction(TControl* control, const std::optional<std::string>& value,
                                             std::string& why);
  // What an ENTRY typed at the terminal does on FORM: a number picks its
  // offer (a field's value is read next; ENDED when the terminal ends
  // there), anything else is read as a scripted entry. nullptr with WHY
  // when it cannot be done.
  static std::function<void()> TerminalAction(TCustomForm* form, const std::string& entry, std::string& why,
                                              bool& ended);
  // Shows FORM on the terminal and does the one line typed there; false
  // when the terminal ended.
  bool AskTerminal(TCustomForm* form);
  // The innermost modal form, else the active form.
  TCustomForm* FrontForm() const;
  // Does a line typed at the terminal while work runs, on the front form.
  void TakeTerminalEntry();
  // One turn of a loop that waits for FORM (nullptr: the main loop):
  // run what is due, else wait for it, else answer the form.
  void HandleMessage(TCustomForm* waitingFor, bool& autoAnswered);
  bool RunDue();
  void AnswerIdle(TCustomForm* form, bool& autoAnswered);
  void Dispatch(TObject* sender, const std::function<void()>& fn);
  // Runs an entry's action on FORM, the form kept whole until it is done.
  void DispatchEntry(TCustomForm* form, const std::function<void()>& act);

  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  std::vector<TCustomForm*> forms_;
  std::vector<TTimer*> timers_;
  std::vector<TCustomForm*> released_;
  std::vector<TCustomForm*> modal_;
  std::vector<TCustomForm*> shown_;  // shown top-level forms, last activated last
  TCustomForm* activeForm_ = nullptr;
  const TCustomForm* announced_ = nullptr;  // the form last shown on the terminal while work ran
  std::string shownWhileWorking_;  // what it showed then
  std::uint64_t shownAt_ = 0;      // and when
  std::uint64_t answeredAt_ = 0;   // when the terminal's last answer was read
};

// The process's application object.
TApplication& Application();

// Scripted clicks for forms waiting for an answer: each entry names an
// enabled, visible button (speed buttons too) on the waiting form, which
// presses it, or a check box or radio button or a menu item the form owns,
// which clicks it. "name=value" sets a control as a user would: types
// VALUE into an edit (a masked one takes what its mask takes), ticks a
// check box (1) or clears it (0), checks a radio button (1), chooses a
// combo box's entry by its text, clicks a tree view's first item of that
// caption (case ignored).
// "<Enter>", "<Esc>", "<PgDn>", "<Ctrl+End>" and the like press a key
// (SendFormKey); "<close>" closes the form. A name that is not there, or a
// value its control refuses, throws EStuckLoop naming the entry.
void ScriptClicks(std::deque<std::string> clicks);
void ClearScriptedClicks();
bool HasScriptedClick();

// The save-file dialog. Execute answers from the front scripted entry,
// which must read "Name=file" (an empty file cancels), else from the
// terminal, else it is cancelled. A name without an extension gets
// DefaultExt.
class TSaveDialog : public TComponent {
  CLS_DECLARE_CLASS(TSaveDialog, TComponent)

 public:
  using TComponent::TComponent;
  std::string FileName;  // Big5
  std::string DefaultExt;
  std::string Filter;  // "Text files|*.TXT|All files|*.*"
  std::string Title;
  // Whether the user chose a file (then in FileName).
  bool Execute();
};

}  // namespace ui
