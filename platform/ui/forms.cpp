#include "forms.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>
#include <poll.h>
#include <unistd.h>

#include "platform/classes/threads.h"
#include "platform/gdi/gdi.h"
#include "platform/process/clock.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/topwindows.h"
#include "platform/ui/comctrls.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/input.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace ui {
namespace fs = std::filesystem;
namespace {

std::mutex g_mutex;  // posted messages and scripted clicks
std::condition_variable g_posted;
std::deque<std::function<void()>> g_messages;
std::deque<std::string> g_clicks;

std::optional<std::string> PopScriptedClick() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_clicks.empty()) return std::nullopt;
  std::string c = g_clicks.front();
  g_clicks.pop_front();
  return c;
}

// Pops the front click when it is NAME.
bool PopScriptedClickIf(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_clicks.empty() || g_clicks.front() != name) return false;
  g_clicks.pop_front();
  return true;
}

std::optional<std::string> PeekScriptedClick() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_clicks.empty()) return std::nullopt;
  return g_clicks.front();
}

bool HasPosted() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return !g_messages.empty();
}

constexpr int kCloseChoice = -1;

}  // namespace

void ScriptClicks(std::deque<std::string> clicks) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_clicks = std::move(clicks);
}

void ClearScriptedClicks() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_clicks.clear();
}

bool HasScriptedClick() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return !g_clicks.empty();
}

TApplication& Application() {
  static TApplication app;
  return app;
}

// ---- TIcon

void TIcon::SetImage(int w, int h, std::vector<std::uint32_t> pixels) {
  if (w <= 0 || h <= 0 || pixels.size() != static_cast<size_t>(w) * static_cast<size_t>(h)) {
    width_ = height_ = 0;
    pixels_.clear();
    return;
  }
  width_ = w;
  height_ = h;
  pixels_ = std::move(pixels);
}

// ---- TScreen

namespace {

int ScreenCaps(int index) {
  win::HDC dc = win::GetDC(nullptr);
  int v = win::GetDeviceCaps(dc, index);
  win::ReleaseDC(nullptr, dc);
  return v;
}

}  // namespace

int TScreen::Width() const { return ScreenCaps(win::HORZRES); }
int TScreen::Height() const { return ScreenCaps(win::VERTRES); }
int TScreen::PixelsPerInch() const { return gdi::ScreenPixelsPerInch(); }
TCustomForm* TScreen::ActiveForm() const { return Application().activeForm_; }

TWinControl* TScreen::ActiveControl() const {
  TCustomForm* f = ActiveForm();
  return f ? f->ActiveControl() : nullptr;
}

namespace {
std::atomic<TCursor> g_screenCursor{crDefault};
}  // namespace

TCursor TScreen::Cursor() const { return g_screenCursor.load(); }
void TScreen::SetCursor(TCursor cursor) { g_screenCursor.store(cursor); }

TScreen& Screen() {
  static TScreen screen;
  return screen;
}

TCustomForm* NewFormOfClass(cls::TClass formClass, TComponent* owner) {
  if (!formClass || !formClass->Create || !formClass->InheritsFrom(&TCustomForm::StaticClass()))
    throw EInvalidOperation("Not a form class: " + (formClass ? formClass->Name : std::string("nil")));
  TCustomForm* f;
  {
    cls::TGlobalNameSpaceWrite lock;
    f = static_cast<TCustomForm*>(formClass->Create(owner));
  }
  try {
    f->DoCreate();
  } catch (...) {
    f->Free();
    throw;
  }
  return f;
}

// ---- TCustomForm

TCustomForm::HandlerScope::HandlerScope(TCustomForm* f) : form_(f) {
  if (form_) ++form_->handlerDepth_;
}

TCustomForm::HandlerScope::~HandlerScope() {
  if (form_ && --form_->handlerDepth_ == 0 && form_->freePending_) form_->cls::TObject::Free();
}

CLS_IMPLEMENT_COMPONENT(TCustomForm)
CLS_IMPLEMENT_COMPONENT(TForm)

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  cls::TGlobalNameSpaceWrite lock;
  TControl::SetVisible(false);
  SetBounds(0, 0, 320, 240);
  Application().forms_.push_back(this);
}

void TCustomForm::BeforeDestruction() {
  SetStateFlag(cls::csDestroying, true);
  SetShown(false);
  Application().FormHidden(this);
  if (OnDestroy) {
    try {
      OnDestroy(this);
    } catch (...) {
    }
  }
  inherited::BeforeDestruction();
}

TCustomForm::~TCustomForm() {
  HideTopWindow(topWindow_);
  TApplication& app = Application();
  std::erase(app.forms_, this);
  std::erase(app.released_, this);
  std::erase(app.shown_, this);
  std::erase(app.modal_, this);
  if (app.activeForm_ == this) app.activeForm_ = nullptr;
  if (app.mainForm_ == this) app.mainForm_ = nullptr;
}

void TCustomForm::DoCreate() {
  if (!OnCreate) return;
  HandlerScope scope(this);
  OnCreate(this);
}

void TCustomForm::SetVisible(bool v) {
  if (v == Visible()) return;
  HandlerScope scope(this);
  ChangeShowing(v);
}

void TCustomForm::ChangeShowing(bool v) {
  TApplication& app = Application();
  if (v) {
    if (!centred_ && (Position == TPosition::poScreenCenter || Position == TPosition::poDesktopCenter)) {
      centred_ = true;
      CenterOnScreen();
    }
    SetShown(true);
    DoShow();
    if (!Parent() && Visible()) app.ActivateForm(this);
  } else {
    DoHide();
    SetShown(false);
    app.FormHidden(this);
  }
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

bool TCustomForm::Active() const { return Application().activeForm_ == this; }

bool TCustomForm::CanFocus() const { return Visible() && Enabled && !HasState(cls::csDestroying); }

void TCustomForm::SetFocus() {
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  Application().ActivateForm(this);
}

void TCustomForm::Paint() {
  gdi::TCanvas& c = Canvas();
  c.Brush.Style = gdi::TBrushStyle::bsSolid;
  c.Brush.Color = Color;
  c.FillRect({0, 0, Width(), Height()});
}

void TCustomForm::CenterOnScreen() {
  const TScreen& screen = Screen();
  // Halves go to the even neighbour.
  auto half = [](int a, int b) { return static_cast<int>(std::nearbyint(a / 2.0 - b / 2.0)); };
  SetBounds(half(screen.Width(), Width()), half(screen.Height(), Height()), Width(), Height());
}

void TCustomForm::SetShown(bool v) {
  TControl::SetVisible(v);
  // A shown form without a parent is a top-level window others can find.
  if (v && !Parent() && !topWindow_) {
    topWindow_ = ShowTopWindow(ClassName(), Caption);
  } else if (!v && topWindow_) {
    HideTopWindow(topWindow_);
    topWindow_ = 0;
  }
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) {
    HandlerScope scope(this);
    OnCloseQuery(this, canClose);
  }
  return canClose;
}

void TCustomForm::Close() {
  if (Modal()) {
    ModalResult = mrCancel;
    return;
  }
  HandlerScope scope(this);  // a handler may free the form: it goes when Close is done
  if (!CloseQuery()) return;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (Application().MainForm() == this) {
    Hide();
    Application().Terminate();
  } else if (action == TCloseAction::caFree) {
    Release();
  } else {
    Hide();
  }
}

void TCustomForm::CloseModal() {
  try {
    TCloseAction action = TCloseAction::caNone;
    if (CloseQuery()) {
      action = TCloseAction::caHide;
      if (OnClose) {
        HandlerScope scope(this);
        OnClose(this, action);
      }
    }
    if (action == TCloseAction::caNone) ModalResult = 0;
    else if (action == TCloseAction::caFree) Release();
  } catch (...) {
    ModalResult = 0;
    Application().HandleException(this);
  }
}

int TCustomForm::ShowModal() {
  if (Visible() || Modal() || !Enabled)
    throw EInvalidOperation("Cannot make a visible window modal");
  HandlerScope scope(this);  // freed inside, the form goes when this returns
  TApplication& app = Application();
  ++modalDepth_;
  app.modal_.push_back(this);
  // The other shown forms take no input while the modal form runs.
  std::vector<TCustomForm*> disabled;
  for (TCustomForm* f : app.shown_)
    if (f != this && f->Enabled) {
      f->Enabled = false;
      disabled.push_back(f);
    }
  auto end = [&] {
    --modalDepth_;
    std::erase(app.modal_, this);
    try {
      if (Visible()) DoHide();
    } catch (...) {
      app.HandleException(this);
    }
    SetShown(false);
    for (TCustomForm* f : disabled)
      if (std::find(app.forms_.begin(), app.forms_.end(), f) != app.forms_.end()) f->Enabled = true;
    app.FormHidden(this);
  };
  ModalResult = 0;
  bool autoAnswered = false;
  try {
    Show();
    do {
      app.HandleMessage(this, autoAnswered);
      if (app.Terminated()) ModalResult = mrCancel;
      else if (ModalResult != 0) CloseModal();
    } while (ModalResult == 0);
  } catch (...) {
    end();
    throw;
  }
  end();
  std::vector<int> answers;
  for (TButton* b : Buttons()) answers.push_back(b->ModalResult);
  RecordDialog({ClassName(), Caption, VisibleText(), 0, answers, ModalResult});
  return ModalResult;
}

void TCustomForm::Release() {
  TApplication& app = Application();
  if (std::find(app.released_.begin(), app.released_.end(), this) != app.released_.end()) return;
  app.released_.push_back(this);
  app.PostMessage([this, &app] {
    if (std::find(app.released_.begin(), app.released_.end(), this) == app.released_.end()) return;
    std::erase(app.released_, this);
    Free();
  });
}

void TCustomForm::Free() {
  if (HasState(cls::csDestroying)) return;  // already going
  if (handlerDepth_ > 0) {
    freePending_ = true;
    SetShown(false);
    Application().FormHidden(this);
    return;
  }
  inherited::Free();
}

namespace {

// The enabled, visible controls of class T on the form, in creation order
// (not looking inside buttons).
template <class T>
std::vector<T*> UsableControls(const TWinControl* form) {
  std::vector<T*> out;
  std::function<void(const TWinControl*)> walk = [&](const TWinControl* w) {
    for (TControl* c : w->Controls()) {
      if (!c->Visible() || !c->Enabled) continue;
      if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
      if (dynamic_cast<TButton*>(c)) continue;
      if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(wc);
    }
  };
  walk(form);
  return out;
}

}  // namespace

std::vector<TButton*> TCustomForm::Buttons() const { return UsableControls<TButton>(this); }
std::vector<TEdit*> TCustomForm::Edits() const { return UsableControls<TEdit>(this); }
std::vector<TCheckBox*> TCustomForm::CheckBoxes() const { return UsableControls<TCheckBox>(this); }

std::string TCustomForm::VisibleText() const {
  std::vector<std::string> lines;
  std::function<void(const TWinControl*)> walk = [&](const TWinControl* w) {
    for (TControl* c : w->Controls()) {
      if (!c->Visible()) continue;
      if (auto* m = dynamic_cast<TMemo*>(c)) {
        for (int i = 0; i < m->Lines.Count(); ++i) lines.push_back(m->Lines[i]);
      } else if (dynamic_cast<TButton*>(c)) {
        continue;
      } else if (auto* bar = dynamic_cast<TStatusBar*>(c)) {
        if (bar->SimplePanel) {
          if (!bar->SimpleText.empty()) lines.push_back(bar->SimpleText);
        } else {
          for (int i = 0; i < bar->Panels.Count(); ++i)
            if (!bar->Panels[i].Text.empty()) lines.push_back(bar->Panels[i].Text);
        }
      } else {
        if (!c->Caption.empty()) lines.push_back(StripAccelerator(c->Caption));
        if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(wc);
      }
    }
  };
  walk(this);
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? "\r" : "") + lines[i];
  return s;
}

// ---- TTimer

CLS_IMPLEMENT_COMPONENT(TTimer)

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {
  Application().timers_.push_back(this);
}

TTimer::~TTimer() { std::erase(Application().timers_, this); }

void TTimer::SetEnabled(bool on) {
  enabled_ = on;
  Restart();
}

void TTimer::SetInterval(unsigned ms) {
  interval_ = ms;
  Restart();
}

void TTimer::Restart() { due_ = enabled_ && interval_ > 0 ? win::MonotonicMs() + interval_ : 0; }

// ---- TApplication

CLS_IMPLEMENT_CLASS(TApplication)

TApplication::TApplication() : TComponent(nullptr) {
  // Work queued for the main thread arrives as a posted message.
  cls::SetWakeMainThread([this] { PostMessage([] { cls::CheckSynchronize(); }); });
}

TApplication::~TApplication() {
  cls::SetWakeMainThread(nullptr);
  Shutdown();
}

// The system's locale (its root's International settings) from here on.
void TApplication::Initialize() { cls::LoadFormatSettings(); }

std::string TApplication::Title() const { return ApplicationTitle(); }

void TApplication::SetTitle(const std::string& title) { SetApplicationTitle(title); }

void TApplication::Shutdown() {
  DestroyComponents();
  // Forms nobody owns; forms with another owner go with that owner.
  std::vector<TCustomForm*> unowned;
  for (TCustomForm* f : forms_)
    if (!f->Owner()) unowned.push_back(f);
  for (auto it = unowned.rbegin(); it != unowned.rend(); ++it)
    if (std::find(forms_.begin(), forms_.end(), *it) != forms_.end()) (*it)->Free();
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_messages.clear();
  }
  released_.clear();
  modal_.clear();
  shown_.clear();
  activeForm_ = nullptr;
  announced_ = nullptr;
  mainForm_ = nullptr;
  terminated_ = false;
  ShowMainForm = true;
  OnException = nullptr;
  SetApplicationTitle("");
}

int TApplication::MessageBox(const std::string& text, const std::string& caption,
                             unsigned flags) {
  return ui::MessageBox(text, caption.empty() ? Title() : caption, flags);
}

void TApplication::PostMessage(std::function<void()> msg) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_messages.push_back(std::move(msg));
  }
  g_posted.notify_all();
}

void TApplication::HandleException(TObject* Sender) {
  std::exception_ptr e = std::current_exception();
  if (!e) return;
  if (OnException) {
    try {
      OnException(Sender, e);
      return;
    } catch (...) {
      e = std::current_exception();
    }
  }
  ShowException(e);
}

void TApplication::ShowException(const std::exception_ptr& e) {
  std::string text;
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& ex) {
    text = ex.what();
  } catch (...) {
    text = "Unknown exception";
  }
  ui::MessageBox(text, Title(), MB_OK | MB_ICONERROR);
}

void TApplication::DispatchEntry(TCustomForm* form, const std::function<void()>& act) {
  // The form outlives every step of the entry, whichever of them frees it.
  Dispatch(form, [form, &act] {
    TCustomForm::HandlerScope scope(form);
    act();
  });
}

void TApplication::Dispatch(TObject* sender, const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    HandleException(sender);
  }
}

bool TApplication::RunDue() {
  bool ran = false;
  std::deque<std::function<void()>> msgs;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    msgs.swap(g_messages);
  }
  for (auto& m : msgs) {
    Dispatch(this, m);
    ran = true;
  }
  // Work queued for the main thread before a wake-up could reach the loop.
  Dispatch(this, [&ran] { ran = cls::CheckSynchronize() || ran; });
  // As on the system, a timer ticks only when no message is waiting.
  if (ran || HasPosted()) return ran;
  std::uint64_t now = win::MonotonicMs();
  std::vector<TTimer*> due;
  for (TTimer* t : timers_) {
    if (!t->Running()) continue;
    if (t->due_ == 0) t->due_ = now + t->interval_;
    if (t->due_ <= now) due.push_back(t);
  }
  for (TTimer* t : due) {
    // An earlier tick may have freed or stopped it.
    if (std::find(timers_.begin(), timers_.end(), t) == timers_.end() || !t->Running()) continue;
    t->due_ = now + t->interval_;
    TNotifyEvent handler = t->OnTimer;
    Dispatch(t, [&] { handler(t); });
    ran = true;
    if (HasPosted()) break;
  }
  return ran;
}

void TApplication::ProcessMessages() {
  RunDue();
  PressModalClick();
  TakeTerminalEntry();
}

void TApplication::ProcessMessagesWhileWorking() {
  static std::uint64_t last = 0;
  const std::uint64_t now = win::MonotonicMs();
  if (now - last < 50) return;
  last = now;
  ProcessMessages();
}

void TApplication::PressModalClick() {
  if (modal_.empty()) return;
  TCustomForm* form = modal_.back();
  std::optional<std::string> click = PeekScriptedClick();
  if (!click) return;
  std::function<void()> act = ScriptedAction(form, *click);
  if (act && PopScriptedClickIf(*click)) DispatchEntry(form, act);
}

namespace {

// What a user reads on a button: its caption, else its hint, else its name.
std::string ButtonLabel(const TButton* b) {
  if (!b->Caption.empty()) return b->Caption;
  return b->Hint.empty() ? b->Name() : b->Hint;
}

// A user's click on NODE's label: shown first (its parents expanded), then
// pressed where it is drawn; a node below the tree's client area is
// selected and the tree clicked instead.
void ClickTreeNode(TCustomTreeView* tree, TTreeNode* node) {
  for (TTreeNode* p = node->Parent(); p; p = p->Parent()) p->SetExpanded(true);
  const win::RECT r = tree->DisplayRect(node, true);
  const int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
  if (r.bottom > r.top && (tree->GetHitTestInfoAt(x, y) & htOnLabel)) return SendClick(tree, x, y);
  tree->SetSelected(node);
  tree->Click();
}

// The controls an entry can work.
bool Workable(const TControl* c) {
  return dynamic_cast<const TButton*>(c) || dynamic_cast<const TEdit*>(c) || dynamic_cast<const TCheckBox*>(c) ||
         dynamic_cast<const TRadioButton*>(c) || dynamic_cast<const TComboBox*>(c) ||
         dynamic_cast<const TCustomTreeView*>(c) || dynamic_cast<const TRadioGroup*>(c) ||
         dynamic_cast<const TListBox*>(c) || dynamic_cast<const TUpDown*>(c) || dynamic_cast<const TPageControl*>(c);
}

// The visible controls of class T on the form (within visible parents),
// disabled ones too, in creation order (not looking inside buttons).
template <class T>
std::vector<T*> ShownControls(const TWinControl* form) {
  std::vector<T*> out;
  std::function<void(const TWinControl*)> walk = [&](const TWinControl* w) {
    for (TControl* c : w->Controls()) {
      if (!c->Visible()) continue;
      if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
      if (dynamic_cast<TButton*>(c)) continue;
      if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(wc);
    }
  };
  walk(form);
  return out;
}

// A control and every parent of it are enabled.
bool EnabledWithParents(const TControl* c) {
  for (; c; c = c->Parent())
    if (!c->Enabled) return false;
  return true;
}

// The root item of ITEM's menu.
const TMenuItem* MenuRoot(const TMenuItem* item) {
  while (item->Parent()) item = item->Parent();
  return item;
}

// The enabled, visible menu items FORM owns (through its controls and
// menus), in creation order, but not those of a popup menu that only
// hidden controls show.
std::vector<TMenuItem*> MenuItems(const TCustomForm* form) {
  std::vector<const TMenuItem*> shown, attached;
  std::function<void(const TWinControl*, bool)> walk = [&](const TWinControl* w, bool visible) {
    for (TControl* c : w->Controls()) {
      const bool v = visible && c->Visible();
      if (c->PopupMenu) (v ? shown : attached).push_back(&c->PopupMenu->Items());
      if (auto* wc = dynamic_cast<TWinControl*>(c)) walk(wc, v);
    }
  };
  if (form->PopupMenu) shown.push_back(&form->PopupMenu->Items());
  walk(form, true);
  auto offered = [&](const TMenuItem* item) {
    const TMenuItem* root = MenuRoot(item);
    return std::find(shown.begin(), shown.end(), root) != shown.end() ||
           std::find(attached.begin(), attached.end(), root) == attached.end();
  };
  std::vector<TMenuItem*> out;
  std::function<void(const TComponent*)> collect = [&](const TComponent* owner) {
    for (int i = 0; i < owner->ComponentCount(); ++i) {
      TComponent* c = owner->Components(i);
      if (auto* item = dynamic_cast<TMenuItem*>(c); item && item->Enabled && item->Visible && offered(item))
        out.push_back(item);
      collect(c);
    }
  };
  collect(form);
  return out;
}

// A user's click or choice focuses the control first (its neighbour's OnExit runs).
void FocusFirst(TWinControl* c) {
  if (c->CanFocus()) c->SetFocus();
}

std::string Lines(const cls::TStringList& items) {
  std::string out;
  for (int i = 0; i < items.Count(); ++i) out += (i ? ", " : "") + StripAccelerator(items[i]);
  return out;
}

// The lines as a prompt lists them: "1 first, 2 second, ...".
std::string NumberedLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? ", " : "") + std::to_string(i + 1) + " " + lines[i];
  return out;
}

std::vector<std::string> LineTexts(const cls::TStringList& items) {
  std::vector<std::string> out;
  for (int i = 0; i < items.Count(); ++i) out.push_back(StripAccelerator(items[i]));
  return out;
}

// The index ENTRY names among LINES: the line itself (case and "&"
// ignored), else its number as listed (from 1); -1 when none.
int LineChosen(const std::vector<std::string>& lines, const std::string& entry) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (CaptionMatches(lines[i], entry)) return static_cast<int>(i);
  if (!entry.empty() && entry.size() <= 9 && entry.find_first_not_of("0123456789") == std::string::npos) {
    const size_t n = std::stoul(entry);
    if (n >= 1 && n <= lines.size()) return static_cast<int>(n - 1);
  }
  return -1;
}

// The captions of a page control's tabs, in their order.
std::vector<std::string> TabCaptions(const TPageControl* pc) {
  std::vector<std::string> out;
  for (int i = 0; i < pc->PageCount(); ++i) out.push_back(StripAccelerator(pc->Pages(i)->Caption));
  return out;
}

// The tree's item captions in their order (at most LIMIT, "..." after).
std::string TreeItems(TCustomTreeView* t, size_t limit = 30) {
  std::string out;
  size_t n = 0;
  for (TTreeNode* node = t->Items().GetFirstNode(); node; node = node->GetNext(), ++n) {
    if (n == limit) return out + ", ...";
    out += (n ? ", " : "") + node->Text;
  }
  return out;
}

// A user's click on the tab of page I: the page shows, OnChange follows.
void ChooseTab(TPageControl* pc, int i) {
  if (pc->ActivePageIndex() == i) return;
  pc->SetActivePageIndex(i);
  if (pc->OnChange) {
    TCustomForm::HandlerScope scope(GetParentForm(pc));
    pc->OnChange(pc);
  }
}

// One numbered offer of the terminal: a button to press, a field to set
// or click, a menu item, or (all empty) closing the form.
struct Offer {
  std::string label;
  TControl* control = nullptr;
  TMenuItem* item = nullptr;
  bool disabled = false;
};

// What the terminal offers on FORM, numbered from 1 in this order: the
// buttons, the menu items, the fields with their values (kind by kind),
// closing. Disabled
// controls keep their place (marked), so numbers stay as they were while
// buttons come and go out of use.
std::vector<Offer> TerminalOffers(const TCustomForm* form) {
  std::vector<Offer> offers;
  for (TButton* b : ShownControls<TButton>(form)) {
    auto* speed = dynamic_cast<TSpeedButton*>(b);
    const bool off = !EnabledWithParents(b);
    offers.push_back({StripAccelerator(ButtonLabel(b)) + (speed && speed->Down() ? " [down]" : "") +
                          (off ? " (disabled)" : ""),
                      b, nullptr, off});
  }
  for (TMenuItem* item : MenuItems(form))
    if (!item->Caption.empty() && item->Caption != "-")
      offers.push_back({"menu: " + StripAccelerator(item->Caption) + (item->Checked ? " [x]" : ""), nullptr, item});
  auto named = [](const TControl* c) {
    return c->Caption.empty() ? c->Name() : StripAccelerator(c->Caption) + " (" + c->Name() + ")";
  };
  // Fields of no size (a hidden key sink) show nothing a user could work.
  auto field = [&](TControl* c, const std::string& label) {
    if (c->Width() <= 0 || c->Height() <= 0) return;
    const bool off = !EnabledWithParents(c);
    offers.push_back({label + (off ? " (disabled)" : ""), c, nullptr, off});
  };
  for (TCheckBox* c : ShownControls<TCheckBox>(form)) field(c, (c->Checked() ? "[x] " : "[ ] ") + named(c));
  for (TEdit* e : ShownControls<TEdit>(form)) {
    auto* m = dynamic_cast<TMaskEdit*>(e);
    field(e, e->Name() + ": " + (m ? m->EditText() : e->Text()));
  }
  for (TRadioButton* r : ShownControls<TRadioButton>(form)) field(r, (r->Checked() ? "(o) " : "( ) ") + named(r));
  for (TComboBox* c : ShownControls<TComboBox>(form)) field(c, c->Name() + ": " + c->Text());
  for (TCustomTreeView* t : ShownControls<TCustomTreeView>(form))
    field(t, t->Name() + ": " + (t->Selected() ? t->Selected()->Text : std::string()));
  for (TRadioGroup* g : ShownControls<TRadioGroup>(form)) {
    const int i = g->ItemIndex();
    field(g, named(g) + ": " + (i >= 0 ? StripAccelerator(g->Items[i]) : std::string()));
  }
  for (TListBox* l : ShownControls<TListBox>(form)) {
    const int i = l->ItemIndex();
    field(l, l->Name() + ": " + (i >= 0 ? l->Items[i] : std::string()));
  }
  for (TUpDown* u : ShownControls<TUpDown>(form)) field(u, u->Name() + ": up or down");
  for (TPageControl* pc : ShownControls<TPageControl>(form))
    field(pc, pc->Name() + ": tab " + (pc->ActivePage() ? StripAccelerator(pc->ActivePage()->Caption) : std::string()));
  offers.push_back({"(close)"});
  return offers;
}

// The offer marked * (the first enabled default button), or none.
std::optional<size_t> DefaultOffer(const std::vector<Offer>& offers) {
  for (size_t i = 0; i < offers.size(); ++i)
    if (auto* b = dynamic_cast<TButton*>(offers[i].control); b && b->Default && !offers[i].disabled) return i;
  return std::nullopt;
}

}  // namespace

std::function<void()> TApplication::ControlAction(TControl* control, const std::optional<std::string>& value,
                                                  std::string& why) {
  const std::string name = control->Name();
  if (auto* b = dynamic_cast<TButton*>(control)) {
    if (value) return why = name + " is a button: it takes no value", nullptr;
    return [b] { b->Click(); };
  }
  if (auto* e = dynamic_cast<TEdit*>(control)) {
    if (!value) return why = name + " is an edit: give it a text (" + name + "=text)", nullptr;
    if (e->ReadOnly) return why = name + " is read-only", nullptr;
    return [e, text = *value] { TypeInto(e, text); };
  }
  if (auto* c = dynamic_cast<TCheckBox*>(control)) {
    if (value && *value != "1" && *value != "0")
      return why = "refuses value \"" + *value + "\" for the check box " + name + " (1 or 0)", nullptr;
    const int v = !value ? -1 : *value == "1" ? 1 : 0;  // -1: a bare click
    return [c, v] {
      FocusFirst(c);
      if (v < 0 || c->Checked() != (v == 1)) c->Click();
    };
  }
  if (auto* r = dynamic_cast<TRadioButton*>(control)) {
    if (value && *value != "1")
      return why = "refuses value \"" + *value + "\" for the radio button " + name + " (1)", nullptr;
    return [r] {
      FocusFirst(r);
      r->Click();
    };
  }
  if (auto* c = dynamic_cast<TComboBox*>(control)) {
    if (!value) return why = name + " is a list: choose an entry (" + name + "=entry)", nullptr;
    const int i = c->IndexOfText(*value);
    if (i < 0) return why = name + ": no entry \"" + *value + "\"", nullptr;
    return [c, i] {
      FocusFirst(c);
      c->SelectItem(i);
    };
  }
  if (auto* t = dynamic_cast<TCustomTreeView*>(control)) {
    if (!value) return why = name + " is a tree: choose an item (" + name + "=caption)", nullptr;
    TTreeNode* node = t->Items().GetFirstNode();
    while (node && cls::AnsiCompareText(node->Text, *value) != 0) node = node->GetNext();
    if (!node) return why = name + ": no item \"" + *value + "\" (" + TreeItems(t) + ")", nullptr;
    return [t, node] {
      FocusFirst(t);
      ClickTreeNode(t, node);
    };
  }
  if (auto* g = dynamic_cast<TRadioGroup*>(control)) {
    if (!value) return why = name + " is a group: choose a button (" + name + "=caption)", nullptr;
    const int i = LineChosen(LineTexts(g->Items), *value);
    if (i < 0) return why = name + ": no button \"" + *value + "\" (" + NumberedLines(LineTexts(g->Items)) + ")", nullptr;
    return [g, i] {
      FocusFirst(g);
      g->SetItemIndex(i);
    };
  }
  if (auto* l = dynamic_cast<TListBox*>(control)) {
    if (!value) return why = name + " is a list: choose a line (" + name + "=line)", nullptr;
    const int i = LineChosen(LineTexts(l->Items), *value);
    if (i < 0) return why = name + ": no line \"" + *value + "\" (" + NumberedLines(LineTexts(l->Items)) + ")", nullptr;
    return [l, i] {
      FocusFirst(l);
      l->ClickItem(i);
    };
  }
  if (auto* pc = dynamic_cast<TPageControl*>(control)) {
    if (!value) return why = name + " holds tabs: choose one (" + name + "=caption)", nullptr;
    const int i = LineChosen(TabCaptions(pc), *value);
    if (i < 0) return why = name + ": no tab \"" + *value + "\" (" + NumberedLines(TabCaptions(pc)) + ")", nullptr;
    return [pc, i] { ChooseTab(pc, i); };
  }
  if (auto* u = dynamic_cast<TUpDown*>(control)) {
    const bool up = value && cls::AnsiCompareText(*value, "up") == 0;
    if (!value || (!up && cls::AnsiCompareText(*value, "down") != 0))
      return why = name + " is a spin button: " + name + "=up or " + name + "=down", nullptr;
    return [u, up] { u->ClickButton(up ? TUDBtnType::btNext : TUDBtnType::btPrev); };
  }
  why = name + " cannot be worked from here";
  return nullptr;
}

std::function<void()> TApplication::InterpretEntry(TCustomForm* form, const std::string& entry, std::string& why,
                                                   bool& refused) {
  why.clear();
  refused = false;
  unsigned short key = 0;
  TShiftState shift = 0;
  if (entry == "<close>") return [form] { form->Close(); };
  if (ParseKeyEntry(entry, key, shift)) return [form, key, shift] { SendFormKey(form, key, shift); };
  const size_t eq = entry.find('=');
  const std::string name = entry.substr(0, eq);
  std::optional<std::string> value;
  if (eq != std::string::npos) value = entry.substr(eq + 1);
  if (!name.empty())
    for (TControl* c : UsableControls<TControl>(form)) {
      if (c->Name() != name || !Workable(c)) continue;
      if (std::function<void()> act = ControlAction(c, value, why)) return act;
      refused = true;
      return nullptr;
    }
  if (!name.empty() && !value) {
    for (TMenuItem* item : MenuItems(form))
      if (item->Name() == name) return [item] { item->Click(); };
    // A caption as the user reads it: a button, a check box or radio
    // button, a menu item.
    for (TControl* c : UsableControls<TControl>(form)) {
      auto* b = dynamic_cast<TButton*>(c);
      const bool box = dynamic_cast<TCheckBox*>(c) || dynamic_cast<TRadioButton*>(c);
      if ((b && CaptionMatches(ButtonLabel(b), name)) || (box && CaptionMatches(c->Caption, name)))
        return ControlAction(c, std::nullopt, why);
    }
    for (TMenuItem* item : MenuItems(form))
      if (CaptionMatches(item->Caption, name)) return [item] { item->Click(); };
    for (TPageControl* pc : UsableControls<TPageControl>(form))
      for (int i = 0; i < pc->PageCount(); ++i)
        if (CaptionMatches(pc->Pages(i)->Caption, name)) return [pc, i] { ChooseTab(pc, i); };
  }
  why = "no enabled, visible control \"" + name + "\" on the form";
  return nullptr;
}

std::function<void()> TApplication::ScriptedAction(TCustomForm* form, const std::string& entry) {
  std::string why;
  bool refused = false;
  std::function<void()> act = InterpretEntry(form, entry, why, refused);
  if (refused)
    throw EStuckLoop("scripted entry \"" + entry + "\": form \"" + form->Caption + "\" (" + form->ClassName() +
                     ") " + why);
  return act;
}

void TApplication::ActivateForm(TCustomForm* form) {
  if (!form || form->HasState(cls::csDestroying)) return;
  std::erase(shown_, form);
  shown_.push_back(form);
  if (activeForm_ == form) return;
  activeForm_ = form;
  Dispatch(form, [form] {
    TCustomForm::HandlerScope scope(form);
    form->Activate();
  });
}

void TApplication::FormHidden(TCustomForm* form) {
  std::erase(shown_, form);
  if (activeForm_ != form) return;
  activeForm_ = nullptr;
  // The form shown last before it takes over.
  for (auto it = shown_.rbegin(); it != shown_.rend(); ++it)
    if ((*it)->Showing() && !(*it)->HasState(cls::csDestroying)) return ActivateForm(*it);
}

void TApplication::HandleMessage(TCustomForm* waitingFor, bool& autoAnswered) {
  if (RunDue()) {
    autoAnswered = false;
    return;
  }
  if (terminated_) return;
  std::uint64_t next = 0;
  for (TTimer* t : timers_)
    if (t->Running() && (next == 0 || t->due_ < next)) next = t->due_;
  if (next != 0 || HasPosted()) {
    std::unique_lock<std::mutex> lock(g_mutex);
    if (!g_messages.empty()) return;
    std::uint64_t now = win::MonotonicMs();
    if (next > now)
      g_posted.wait_for(lock, std::chrono::milliseconds(next - now),
                        [] { return !g_messages.empty(); });
    return;
  }
  AnswerIdle(waitingFor, autoAnswered);
}

namespace {

// The form's picture as a PNG under the system root, for a terminal user
// to look at; its host path, or empty when it could not be written.
std::string WriteFormPicture(TCustomForm* form) {
  static int shots = 0;
  try {
    const fs::path dir = fs::path(sysroot::Root()) / "Platform" / "Screens";
    fs::create_directories(dir);
    const fs::path file =
        dir / (form->ClassName() + "-" + std::to_string(getpid()) + "-" + std::to_string(++shots) + ".png");
    form->SaveToPng(sysroot::WinPath(file.string()));
    return file.string();
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace

void TApplication::AnswerIdle(TCustomForm* form, bool& autoAnswered) {
  if (!form)
    throw EStuckLoop("message loop cannot end: no form waits for an answer, "
                     "no timer runs and no message is posted");
  std::string name = "\"" + form->Caption + "\" (" + form->ClassName() + ")";
  const std::vector<TButton*> buttons = form->Buttons();
  auto press = [&](int choice) {
    if (choice == kCloseChoice) {
      DispatchEntry(form, [form] { form->Close(); });
    } else {
      TButton* b = buttons.at(static_cast<size_t>(choice));
      Dispatch(b, [b] { b->Click(); });
    }
  };
  if (std::optional<std::string> click = PopScriptedClick()) {
    autoAnswered = false;
    if (std::function<void()> act = ScriptedAction(form, *click)) return DispatchEntry(form, act);
    throw EStuckLoop("scripted entry \"" + *click + "\": form " + name +
                     " has no enabled, visible control of that name");
  }
  int defaultChoice = kCloseChoice;
  for (size_t i = 0; i < buttons.size(); ++i)
    if (buttons[i]->Default) {
      defaultChoice = static_cast<int>(i);
      break;
    }
  if (TerminalAvailable() && AskTerminal(form)) {
    autoAnswered = false;
    return;
  }
  if (TerminalInputEnded()) {
    // The end of input closes the window, as its close box would.
    if (autoAnswered)
      throw EStuckLoop("message loop of form " + name + " cannot end: the input has ended and closing did not end it");
    autoAnswered = true;
    std::cerr << "[" << ForTerminal(form->Caption) << "] " << ForTerminal(form->VisibleText())
              << "\n  -> (close: end of input)\n";
    return press(kCloseChoice);
  }
  if (autoAnswered)
    throw EStuckLoop("message loop of form " + name +
                     " cannot end: its default answer did not end it, no timer runs, no message "
                     "is posted, no click is scripted and there is no terminal to ask");
  autoAnswered = true;
  if (EchoDialogs()) {
    std::string label = "(close)";
    if (defaultChoice != kCloseChoice) label = ButtonLabel(buttons[static_cast<size_t>(defaultChoice)]);
    std::cerr << "[" << ForTerminal(form->Caption) << "] " << ForTerminal(form->VisibleText()) << "\n  -> "
              << ForTerminal(label) << "\n";
  }
  press(defaultChoice);
}

std::function<void()> TApplication::TerminalAction(TCustomForm* form, const std::string& entry, std::string& why,
                                                   bool& ended) {
  ended = false;
  why.clear();
  if (entry.find_first_not_of("0123456789") != std::string::npos) {
    bool refused = false;
    return InterpretEntry(form, entry, why, refused);
  }
  const std::vector<Offer> offers = TerminalOffers(form);
  const size_t n = entry.size() <= 9 ? std::stoul(entry) : 0;
  if (n < 1 || n > offers.size()) return why = "no choice " + entry + " (1 to " + std::to_string(offers.size()) + ")", nullptr;
  const Offer& offer = offers[n - 1];
  if (offer.disabled) return why = offer.label, nullptr;
  if (offer.item) return [item = offer.item] { item->Click(); };
  TControl* c = offer.control;
  if (!c) return [form] { form->Close(); };
  std::optional<std::string> value;
  if (!dynamic_cast<TButton*>(c) && !dynamic_cast<TCheckBox*>(c) && !dynamic_cast<TRadioButton*>(c)) {
    std::string prompt = c->Name();
    if (auto* combo = dynamic_cast<TComboBox*>(c)) prompt += " [" + Lines(combo->Items) + "]";
    if (auto* g = dynamic_cast<TRadioGroup*>(c)) prompt += " [" + NumberedLines(LineTexts(g->Items)) + "]";
    if (auto* l = dynamic_cast<TListBox*>(c)) prompt += " [" + NumberedLines(LineTexts(l->Items)) + "]";
    if (auto* t = dynamic_cast<TCustomTreeView*>(c)) prompt += " [" + TreeItems(t) + "]";
    if (auto* pc = dynamic_cast<TPageControl*>(c)) prompt += " [" + NumberedLines(TabCaptions(pc)) + "]";
    if (dynamic_cast<TUpDown*>(c)) prompt += " [up, down]";
    value = ReadTerminalLine(prompt + "> ");
    if (!value) return ended = true, nullptr;
  }
  return ControlAction(c, value, why);
}

bool TApplication::AskTerminal(TCustomForm* form) {
  DropTypedAhead();
  if (!TerminalAvailable()) return false;
  shownWhileWorking_.clear();
  const std::vector<Offer> offers = TerminalOffers(form);
  const std::optional<size_t> defaultOffer = DefaultOffer(offers);
  std::string text = form->VisibleText();
  const std::string picture = WriteFormPicture(form);
  if (!picture.empty()) text += (text.empty() ? "" : "\r") + ("Picture: " + cp::Utf8ToBig5(picture));
  std::cerr << "[" << ForTerminal(form->Caption) << "] " << ForTerminal(text) << "\n"
            << "Type a number, a button's name or caption, name=value, a key (<Enter>, <Esc>, <PgDn>, <PgUp>, "
               "<Ctrl+End>, ...) or <close>"
            << (defaultOffer ? "; an empty line takes the one marked *" : "") << ".\n";
  for (size_t i = 0; i < offers.size(); ++i)
    std::cerr << "  " << (i + 1) << ") " << ForTerminal(offers[i].label) << (i == defaultOffer ? " *" : "") << "\n";
  std::optional<std::string> line = ReadTerminalLine("> ");
  if (!line) return false;  // the input ended: the form is closed
  // Work the answer starts is announced again once it lasts.
  announced_ = nullptr;
  answeredAt_ = win::MonotonicMs();
  std::string entry = TrimmedEntry(*line);
  if (entry.empty()) {
    if (!defaultOffer) return true;  // nothing to take: asked again
    entry = std::to_string(*defaultOffer + 1);
  }
  std::string why;
  bool ended = false;
  std::function<void()> act = TerminalAction(form, entry, why, ended);
  if (ended) return false;
  if (!act) {
    // Answered once; the prompt comes again.
    std::cerr << ForTerminal(entry + ": " + why) << "\n";
    return true;
  }
  DispatchEntry(form, act);
  return true;
}

TCustomForm* TApplication::FrontForm() const {
  if (!modal_.empty()) return modal_.back();
  return activeForm_ && activeForm_->Showing() ? activeForm_ : nullptr;
}

void TApplication::TakeTerminalEntry() {
  // A line typed while work runs is taken at once (the terminal gives whole
  // lines); looked for at most every 10 ms, so that busy loops stay cheap.
  static std::uint64_t lastLook = 0;
  if (HasScriptedClick()) return;
  TCustomForm* form = FrontForm();
  if (!form) return;
  const std::uint64_t now = win::MonotonicMs();
  if (now - lastLook < 10) return;
  lastLook = now;
  if (!TerminalAvailable()) return;
  if (form != announced_ && now - answeredAt_ >= 200) {
    // A form up while work runs is shown once the work lasts, so that a
    // person knows what to type.
    announced_ = form;
    shownWhileWorking_ = form->VisibleText();
    shownAt_ = now;
    std::cerr << "[" << ForTerminal(form->Caption) << "] " << ForTerminal(shownWhileWorking_) << "\n"
              << "Working: type a button's name or caption, <Esc> or <close> to act on it now.\n";
  } else if (form == announced_ && now - shownAt_ >= 1000) {
    // What the form shows now (progress), at most once a second.
    std::string text = form->VisibleText();
    if (text != shownWhileWorking_) {
      shownWhileWorking_ = std::move(text);
      shownAt_ = now;
      std::cerr << "[" << ForTerminal(form->Caption) << "] " << ForTerminal(shownWhileWorking_) << "\n";
    }
  }
  pollfd p{STDIN_FILENO, POLLIN, 0};
  if (poll(&p, 1, 0) <= 0 || !(p.revents & (POLLIN | POLLHUP))) return;
  std::optional<std::string> line = ReadTerminalLine("");
  // The end of input closes the window in front, as its close box would.
  if (!line) {
    if (TerminalInputEnded()) DispatchEntry(form, [form] { form->Close(); });
    return;
  }
  const std::string entry = TrimmedEntry(*line);
  if (entry.empty()) return;
  std::string why;
  bool ended = false;
  std::function<void()> act = TerminalAction(form, entry, why, ended);
  if (act) return DispatchEntry(form, act);
  if (!ended) std::cerr << ForTerminal(entry + ": " + why) << "\n";
}

void TApplication::Run() {
  if (ShowMainForm && mainForm_) mainForm_->Show();
  bool autoAnswered = false;
  while (!terminated_) {
    TCustomForm* waiting = mainForm_ && mainForm_->Showing() ? mainForm_ : nullptr;
    HandleMessage(waiting, autoAnswered);
  }
}

// ---- TSaveDialog

CLS_IMPLEMENT_COMPONENT(TSaveDialog)

bool TSaveDialog::Execute() {
  std::optional<std::string> chosen;
  if (std::optional<std::string> entry = PeekScriptedClick()) {
    const std::string prefix = Name() + "=";
    if (entry->compare(0, prefix.size(), prefix) != 0)
      throw EStuckLoop("scripted entry \"" + *entry + "\": the save dialog " + Name() + " waits for \"" + prefix +
                       "file\"");
    PopScriptedClickIf(*entry);
    chosen = entry->substr(prefix.size());
  } else if (TerminalAvailable()) {
    chosen = ReadTerminalLine((Title.empty() ? Name() : Title) + " (file name, empty cancels)> ");
  }
  if (!chosen || chosen->empty()) return false;
  std::string file = *chosen;
  const size_t slash = file.find_last_of("\\/");
  const size_t dot = file.find('.', slash == std::string::npos ? 0 : slash + 1);
  if (dot == std::string::npos && !DefaultExt.empty()) file += "." + DefaultExt;
  FileName = file;
  return true;
}

}  // namespace ui
