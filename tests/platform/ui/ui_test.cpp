#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <pty.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/topwindows.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

// These tests answer everything by script or by default: no terminal.
const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

class UiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    SetEchoDialogs(false);
    ClearRecordedDialogs();
    ClearScriptedAnswers();
    ClearScriptedClicks();
  }
  void TearDown() override {
    Application().Shutdown();
    ClearScriptedAnswers();
    ClearScriptedClicks();
    SetEchoDialogs(true);
  }
  // Shown forms register their windows in the system root.
  testing_support::TempRoot root;
};

// A notice-like form: a label, a memo and two buttons.
class TNotice : public TForm {
  CLS_DECLARE_CLASS(TNotice, TForm)

 public:
  explicit TNotice(TComponent* owner, int* destroyed = nullptr) : TForm(owner), destroyed_(destroyed) {
    Caption = "notice";
    lbNote = new TLabel(this);
    lbNote->SetParent(this);
    lbNote->Caption = "no printer";
    Memo1 = new TMemo(this);
    Memo1->SetParent(this);
    Memo1->Lines.Add("PDF");
    Memo1->Lines.Add("Fax");
    bnPrint = new TButton(this);
    bnPrint->SetName("bnPrint");
    bnPrint->Caption = "print";
    bnPrint->SetParent(this);
    bnPrint->OnClick = [this](TObject*) {
      if (MessageBox("use the default printer?", "note", MB_OKCANCEL) == IDOK) ModalResult = mrYes;
    };
    bnAbort = new TButton(this);
    bnAbort->SetName("bnAbort");
    bnAbort->Caption = "cancel";
    bnAbort->ModalResult = mrNo;
    bnAbort->SetParent(this);
  }
  ~TNotice() override {
    if (destroyed_) ++*destroyed_;
  }
  TLabel* lbNote;
  TMemo* Memo1;
  TButton* bnPrint;
  TButton* bnAbort;

 private:
  int* destroyed_;
};

CLS_IMPLEMENT_CLASS(TNotice)

}  // namespace

TEST_F(UiTest, TimerThatDisablesItselfFiresOnceAndRunEndsOnTerminate) {
  TApplication& app = Application();
  TTimer* t = new TTimer(&app);
  t->SetEnabled(false);
  t->SetInterval(20);
  int ticks = 0;
  std::uint64_t started = win::MonotonicMs();
  std::uint64_t firedAt = 0;
  t->OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, t);
    t->SetEnabled(false);
    ++ticks;
    firedAt = win::MonotonicMs();
    // A second timer ends the loop a little later: the first must not fire again.
    TTimer* end = new TTimer(&app);
    end->SetInterval(60);
    end->OnTimer = [&](TObject*) { app.Terminate(); };
  };
  t->SetEnabled(true);
  app.ShowMainForm = false;
  app.Run();
  EXPECT_EQ(ticks, 1);
  EXPECT_GE(firedAt - started, 20u);
}

TEST_F(UiTest, RepeatingTimerAndPostedMessagesRunFromTheLoop) {
  TApplication& app = Application();
  TTimer* t = new TTimer(&app);
  t->SetInterval(1);
  int ticks = 0;
  t->OnTimer = [&](TObject*) {
    if (++ticks == 3) app.PostMessage([&] { app.Terminate(); });
  };
  app.Run();
  EXPECT_EQ(ticks, 3);
  // A timer without a handler or with interval 0 does not run.
  TTimer idle(nullptr);
  EXPECT_FALSE(idle.Running());
  idle.OnTimer = [](TObject*) {};
  idle.SetInterval(0);
  EXPECT_FALSE(idle.Running());
}

// A due timer waits while a posted message is waiting, and a message a tick
// posts runs before the next tick.
TEST_F(UiTest, TimerTicksOnlyWhenNoMessageWaits) {
  TApplication& app = Application();
  TTimer* t = new TTimer(&app);
  t->SetInterval(1);
  std::vector<std::string> order;
  t->OnTimer = [&](TObject*) {
    order.push_back("tick");
    app.PostMessage([&] { order.push_back("posted by tick"); });
  };
  // Let it tick once and run what the tick posted.
  for (int i = 0; i < 1000 && order.empty(); ++i) {
    app.ProcessMessages();
    win::Sleep(1);
  }
  app.ProcessMessages();
  ASSERT_EQ(order, (std::vector<std::string>{"tick", "posted by tick"}));
  order.clear();
  win::Sleep(5);  // due again
  app.PostMessage([&] { order.push_back("message"); });
  app.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"message"}));
  app.ProcessMessages();
  app.ProcessMessages();
  EXPECT_EQ(order, (std::vector<std::string>{"message", "tick", "posted by tick"}));
  t->SetEnabled(false);
}

TEST_F(UiTest, LoopThatNothingCanEndThrowsInsteadOfHanging) {
  TApplication& app = Application();
  app.ShowMainForm = false;
  app.CreateForm<TForm>();
  EXPECT_THROW(app.Run(), EStuckLoop);

  // A modal form whose default answer leaves it open.
  TForm* f = NewForm<TForm>(nullptr);
  f->Caption = "stubborn";
  f->OnClose = [](TObject*, TCloseAction& a) { a = TCloseAction::caNone; };
  try {
    f->ShowModal();
    FAIL() << "ShowModal returned";
  } catch (const EStuckLoop& e) {
    EXPECT_NE(std::string(e.what()).find("\"stubborn\""), std::string::npos) << e.what();
  }
  EXPECT_FALSE(f->Visible());
  EXPECT_FALSE(f->Modal());
  f->Free();

  // A scripted click on a button that is not there is a script error.
  TNotice* n = NewForm<TNotice>(nullptr);
  ScriptClicks({"bnNowhere"});
  EXPECT_THROW(n->ShowModal(), EStuckLoop);
  n->Free();
}

TEST_F(UiTest, ScriptedClicksAnswerModalForms) {
  TNotice* n = NewForm<TNotice>(nullptr);
  // Print, refuse the question (the form stays), print again and agree.
  ScriptClicks({"bnPrint", "bnPrint"});
  ScriptAnswers({IDCANCEL, IDOK});
  EXPECT_EQ(n->ShowModal(), mrYes);
  EXPECT_FALSE(HasScriptedClick());
  EXPECT_FALSE(n->Visible());

  ScriptClicks({"bnAbort"});
  EXPECT_EQ(n->ShowModal(), mrNo);
  ScriptClicks({"<close>"});
  EXPECT_EQ(n->ShowModal(), mrCancel);

  auto rec = RecordedDialogs();
  ASSERT_EQ(rec.size(), 5u);  // two questions, three forms
  EXPECT_EQ(rec[0].kind, "MessageBox");
  EXPECT_EQ(rec[0].answer, IDCANCEL);
  EXPECT_EQ(rec[2].kind, "TNotice");
  EXPECT_EQ(rec[2].caption, "notice");
  EXPECT_EQ(rec[2].text, "no printer\rPDF\rFax");
  EXPECT_EQ(rec[2].buttons, (std::vector<int>{0, mrNo}));
  EXPECT_EQ(rec[2].answer, mrYes);
  EXPECT_EQ(rec[3].answer, mrNo);
  EXPECT_EQ(rec[4].answer, mrCancel);
  n->Free();
}

TEST_F(UiTest, UnansweredModalFormTakesItsDefaultButtonElseCloses) {
  TNotice* n = NewForm<TNotice>(nullptr);
  EXPECT_EQ(n->ShowModal(), mrCancel);  // no default button: closed
  n->bnAbort->Default = true;
  EXPECT_EQ(n->ShowModal(), mrNo);
  // A disabled or hidden default button is not pressed.
  n->bnAbort->Enabled = false;
  EXPECT_EQ(n->ShowModal(), mrCancel);
  n->Free();
}

TEST_F(UiTest, TimerOrPostedMessageEndsModalLoop) {
  TForm* f = NewForm<TForm>(nullptr);
  TTimer* t = new TTimer(f);
  t->SetInterval(10);
  t->OnTimer = [&](TObject*) {
    t->SetEnabled(false);
    f->ModalResult = mrOk;
  };
  EXPECT_EQ(f->ShowModal(), mrOk);
  Application().PostMessage([&] { f->ModalResult = mrRetry; });
  EXPECT_EQ(f->ShowModal(), mrRetry);
  // Terminate ends a modal loop with mrCancel.
  Application().PostMessage([&] { Application().Terminate(); });
  EXPECT_EQ(f->ShowModal(), mrCancel);
  f->Free();
}

TEST_F(UiTest, ExceptionInDispatchedHandlerIsShownWithTheTitle) {
  TApplication& app = Application();
  app.SetTitle("Shop");
  EXPECT_EQ(ApplicationTitle(), "Shop");
  TTimer* t = new TTimer(&app);
  t->SetInterval(1);
  t->OnTimer = [&](TObject*) {
    t->SetEnabled(false);
    app.PostMessage([&] { app.Terminate(); });
    throw std::runtime_error("tick failed");
  };
  app.ShowMainForm = false;
  EXPECT_NO_THROW(app.Run());
  auto rec = RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].caption, "Shop");
  EXPECT_EQ(rec[0].text, "tick failed");
  EXPECT_EQ(rec[0].icon, MB_ICONERROR);

  // Raised in a click inside a modal loop: shown, and the modal caller goes on.
  app.Shutdown();  // Run left the application terminated
  app.SetTitle("Shop");
  ClearRecordedDialogs();
  TNotice* n = NewForm<TNotice>(nullptr);
  n->bnPrint->OnClick = [](TObject*) { throw std::runtime_error("click failed"); };
  ScriptClicks({"bnPrint", "bnAbort"});
  EXPECT_EQ(n->ShowModal(), mrNo);
  rec = RecordedDialogs();
  ASSERT_GE(rec.size(), 1u);
  EXPECT_EQ(rec[0].text, "click failed");
  EXPECT_EQ(rec[0].caption, "Shop");
  n->Free();

  // OnException takes over.
  std::string seen;
  app.OnException = [&](TObject*, const std::exception_ptr& e) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      seen = ex.what();
    }
  };
  app.PostMessage([] { throw std::runtime_error("posted failed"); });
  app.ProcessMessages();
  EXPECT_EQ(seen, "posted failed");
}

TEST_F(UiTest, FormFreedInsideItsOwnHandlerGoesWhenTheHandlerIsDone) {
  int destroyed = 0;
  TNotice* n = NewForm<TNotice>(nullptr, &destroyed);
  bool stillThere = false;
  n->bnAbort->OnClick = [&](TObject*) {
    n->Free();
    stillThere = destroyed == 0;
    n->Memo1->Lines.Add("touched after Free");  // must still be valid here
  };
  n->Show();
  n->bnAbort->Click();
  EXPECT_TRUE(stillThere);
  EXPECT_EQ(destroyed, 1);
  EXPECT_TRUE(Application().Forms().empty());

  // Freed by its own OnClose while it closes: Close finishes first.
  destroyed = 0;
  n = NewForm<TNotice>(nullptr, &destroyed);
  n->OnClose = [&](TObject*, TCloseAction&) { n->Free(); };
  n->Show();
  n->Close();
  EXPECT_EQ(destroyed, 1);

  // Close with caFree from a modal form: freed by the loop afterwards.
  destroyed = 0;
  n = NewForm<TNotice>(nullptr, &destroyed);
  n->OnClose = [](TObject*, TCloseAction& a) { a = TCloseAction::caFree; };
  ScriptClicks({"bnAbort"});
  EXPECT_EQ(n->ShowModal(), mrNo);
  EXPECT_EQ(destroyed, 0);
  Application().ProcessMessages();
  EXPECT_EQ(destroyed, 1);

  // Released and then freed by its owner first: freed once.
  destroyed = 0;
  TComponent* owner = new TComponent(nullptr);
  n = NewForm<TNotice>(owner, &destroyed);
  n->Release();
  owner->Free();
  Application().ProcessMessages();
  EXPECT_EQ(destroyed, 1);
}

TEST_F(UiTest, FormOwnsClassLibraryComponentsAndFreesThemAfterItsHandler) {
  int destroyed = 0;
  TNotice* n = NewForm<TNotice>(nullptr, &destroyed);
  TComponent* report = new TComponent(n);
  report->SetName("ppReport1");
  EXPECT_EQ(n->FindComponent("PPREPORT1"), report);
  EXPECT_EQ(n->FindComponent("bnAbort"), n->bnAbort);
  EXPECT_THROW(n->bnPrint->SetName("bnAbort"), cls::EComponentError);
  EXPECT_EQ(n->bnAbort->ClassName(), "TButton");
  EXPECT_TRUE(n->InheritsFrom(&TCustomForm::StaticClass()));

  struct TWatcher : TComponent {
    using TComponent::TComponent;
    std::vector<TComponent*> gone;
    void Notification(TComponent* c, cls::TOperation op) override {
      if (op == cls::opRemove) gone.push_back(c);
      TComponent::Notification(c, op);
    }
  } watcher(nullptr);
  report->FreeNotification(&watcher);
  // FreeAndNil inside the form's own handler: the form and what it owns
  // go when the handler is done.
  bool stillThere = false;
  n->bnAbort->OnClick = [&](TObject*) {
    TNotice* self = n;
    cls::FreeAndNil(self);
    stillThere = destroyed == 0 && watcher.gone.empty() && n->FindComponent("ppReport1") == report;
  };
  n->bnAbort->Click();
  EXPECT_TRUE(stillThere);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(watcher.gone, std::vector<TComponent*>{report});
}

TEST_F(UiTest, ShownFormsAreTopLevelWindowsByTheirClassName) {
  TNotice* n = NewForm<TNotice>(nullptr);
  EXPECT_EQ(FindWindow("TNotice"), 0u);
  n->Show();
  TopWindowHandle w = FindWindow("TNotice", "notice");
  EXPECT_NE(w, 0u);
  n->Hide();
  EXPECT_EQ(FindWindow("TNotice"), 0u);
  // Shown while its modal loop runs.
  TopWindowHandle during = 0;
  n->bnAbort->OnClick = [&](TObject*) { during = FindWindow("TNotice"); };
  ScriptClicks({"bnAbort"});
  EXPECT_EQ(n->ShowModal(), mrNo);
  EXPECT_NE(during, 0u);
  EXPECT_EQ(FindWindow("TNotice"), 0u);
  // Freed while shown, also from inside its own handler.
  n->Show();
  n->Free();
  EXPECT_TRUE(TopWindows().empty());
  n = NewForm<TNotice>(nullptr);
  n->Show();
  bool goneInHandler = false;
  n->bnAbort->OnClick = [&](TObject*) {
    n->Free();
    goneInHandler = FindWindow("TNotice") == 0;
  };
  n->bnAbort->Click();
  EXPECT_TRUE(goneInHandler);
  // A form placed inside another is no top-level window.
  TForm* outer = NewForm<TForm>(nullptr);
  TNotice* inner = NewForm<TNotice>(outer);
  inner->SetParent(outer);
  inner->Show();
  outer->Show();
  ASSERT_EQ(TopWindows().size(), 1u);
  EXPECT_EQ(TopWindows()[0].className, "TForm");
  outer->Free();
  EXPECT_TRUE(TopWindows().empty());
}

TEST_F(UiTest, MainFormClosingEndsRunAndOwnerFreesItsForms) {
  TApplication& app = Application();
  int destroyed = 0;
  TNotice* main = app.CreateForm<TNotice>();
  EXPECT_EQ(app.MainForm(), main);
  NewForm<TNotice>(main, &destroyed);
  main->bnAbort->ModalResult = mrNone;
  main->bnAbort->OnClick = [&](TObject*) { main->Close(); };
  ScriptClicks({"bnAbort"});
  app.Run();  // shows the main form; the scripted click closes it
  EXPECT_TRUE(app.Terminated());
  app.Shutdown();
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(app.MainForm(), nullptr);
  EXPECT_FALSE(app.Terminated());
}

TEST_F(UiTest, AlignedPanelsShareTheClientArea) {
  TForm* f = NewForm<TForm>(nullptr);
  f->SetClientWidth(345);
  f->SetClientHeight(112);
  TPanel* top = new TPanel(f);
  top->SetParent(f);
  top->SetHeight(30);
  top->SetAlign(TAlign::alTop);
  TPanel* client = new TPanel(f);
  client->SetParent(f);
  client->SetAlign(TAlign::alClient);
  client->BorderWidth = 5;
  TMemo* m = new TMemo(f);
  m->SetParent(client);
  m->SetAlign(TAlign::alClient);
  EXPECT_EQ(top->Width(), 345);
  EXPECT_EQ(client->Top(), 30);
  EXPECT_EQ(client->Height(), 82);
  EXPECT_EQ(m->Left(), 5);
  EXPECT_EQ(m->Width(), 335);
  f->SetClientHeight(200);
  EXPECT_EQ(client->Height(), 170);
  EXPECT_EQ(m->Height(), 160);
  top->Hide();
  EXPECT_EQ(client->Top(), 0);
  f->Free();

  TFont font;
  font.SetSize(12);
  EXPECT_EQ(font.Height(), -16);
  EXPECT_EQ(font.Size(), 12);
  cls::TStringList lines;
  lines.SetText("a\r\nb\rc\n\nd");
  EXPECT_EQ(lines.Count(), 5);
  EXPECT_EQ(lines.Text(), "a\r\nb\r\nc\r\n\r\nd\r\n");
}

// A modal form on a real terminal offers its buttons and takes the answer.
TEST_F(UiTest, ModalFormOnTerminalOffersItsButtons) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    TNotice* n = NewForm<TNotice>(nullptr);
    int r = n->ShowModal();  // "2" picks bnAbort
    _exit(r == mrNo ? 0 : 10 + r);
  }
  std::string out;
  char buf[256];
  while (out.find("> ") == std::string::npos) {
    ssize_t k = read(master, buf, sizeof buf);
    ASSERT_GT(k, 0) << out;
    out.append(buf, static_cast<size_t>(k));
  }
  EXPECT_NE(out.find("1) print"), std::string::npos) << out;
  EXPECT_NE(out.find("2) cancel"), std::string::npos) << out;
  EXPECT_NE(out.find("(close)"), std::string::npos) << out;
  EXPECT_NE(out.find("no printer"), std::string::npos) << out;
  ASSERT_EQ(write(master, "2\n", 2), 2);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// What a terminal is given: control bytes shown, never obeyed.
TEST(ForTerminal, ShowsControlBytesInCaretNotation) {
  EXPECT_EQ(ForTerminal("\x1b[2J"), "^[[2J");
  EXPECT_EQ(ForTerminal(std::string("a\0b", 3) + "\x07\x7f\x1f"), "a^@b^G^?^_");
  EXPECT_EQ(ForTerminal("one\r\ntwo\tthree\r"), "one\ntwo\tthree\n");  // CR LF is one break
  EXPECT_EQ(ForTerminal("\x80x"), "M-^@x");  // a C1 control (U+0080)
  EXPECT_EQ(ForTerminal("中文 ~"), "\xe4\xb8\xad\xe6\x96\x87 ~");
}

// Messages and form texts on standard error show ESC[2J as text; the
// recorded dialog keeps the bytes.
TEST_F(UiTest, EchoedMessagesShowControlBytesAndRecordThemRaw) {
  std::string errFile = root.path() + "/err.txt";
  std::fflush(stderr);
  int saved = dup(2), file = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  dup2(file, 2);
  SetEchoDialogs(true);
  ShowMessage("\x1b[2Jcleared");
  TNotice* n = NewForm<TNotice>(nullptr);
  n->Memo1->Lines.Add("\x1b]0;title\x07");
  n->ShowModal();  // no terminal, no script: closed, and echoed
  std::cerr << std::flush;
  dup2(saved, 2);
  close(saved);
  close(file);
  std::string err = testing_support::ReadFile(errFile);
  EXPECT_NE(err.find("^[[2Jcleared"), std::string::npos) << err;
  EXPECT_NE(err.find("^[]0;title^G"), std::string::npos) << err;
  EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
  ASSERT_FALSE(RecordedDialogs().empty());
  EXPECT_EQ(RecordedDialogs()[0].text, "\x1b[2Jcleared");
}

// A form asked on a real terminal (the installer's memo, say) shows its
// texts the same way.
TEST_F(UiTest, FormOnTerminalShowsControlBytesAsText) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    TNotice* n = NewForm<TNotice>(nullptr);
    n->Memo1->Lines.Add("\x1b[2J\x1b[31mred");
    _exit(n->ShowModal() == mrNo ? 0 : 1);
  }
  std::string out;
  char buf[256];
  while (out.find("> ") == std::string::npos) {
    ssize_t k = read(master, buf, sizeof buf);
    ASSERT_GT(k, 0) << out;
    out.append(buf, static_cast<size_t>(k));
  }
  EXPECT_NE(out.find("^[[2J^[[31mred"), std::string::npos) << out;
  EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;
  ASSERT_EQ(write(master, "2\n", 2), 2);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

namespace {

// A search form: a value edit, a show-all box and OK.
class TSearchForm : public TForm {
  CLS_DECLARE_CLASS(TSearchForm, TForm)

 public:
  explicit TSearchForm(TComponent* owner) : TForm(owner) {
    Caption = "Search";
    edtValue1 = new TEdit(this);
    edtValue1->SetName("edtValue1");
    edtValue1->SetParent(this);
    edtValue1->SetText("Taipei");
    cbxShowAll1 = new TCheckBox(this);
    cbxShowAll1->SetName("cbxShowAll1");
    cbxShowAll1->Caption = "Show all";
    cbxShowAll1->SetParent(this);
    cbxShowAll1->SetTop(30);
    btnOK = new TButton(this);
    btnOK->SetName("btnOK");
    btnOK->Caption = "OK";
    btnOK->ModalResult = mrOk;
    btnOK->SetParent(this);
    btnOK->SetTop(60);
    // Typing checks the box exactly when the edit ends empty.
    edtValue1->OnKeyUp = [this](TObject*, unsigned short&, TShiftState) {
      cbxShowAll1->SetChecked(edtValue1->Text().empty());
    };
  }
  TEdit* edtValue1;
  TCheckBox* cbxShowAll1;
  TButton* btnOK;
};
CLS_IMPLEMENT_COMPONENT(TSearchForm)

}  // namespace

TEST_F(UiTest, ScriptedEntriesTypeIntoEditsAndClickCheckBoxes) {
  auto* f = NewForm<TSearchForm>(nullptr);
  int keys = 0;
  f->edtValue1->OnKeyPress = [&](TObject*, char&) { ++keys; };
  ScriptClicks({"edtValue1=", "edtValue1=Kaohsiung", "cbxShowAll1", "btnOK"});
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_EQ(f->edtValue1->Text(), "Kaohsiung");
  EXPECT_EQ(keys, 2 + 9);  // a Backspace each time, then the letters
  EXPECT_TRUE(f->cbxShowAll1->Checked());  // typing cleared it, the click set it

  // A name the form lacks (or a hidden edit) stops the loop loudly.
  f->edtValue1->Hide();
  ScriptClicks({"edtValue1=x"});
  EXPECT_THROW(f->ShowModal(), EStuckLoop);
  f->Free();
}

TEST_F(UiTest, ScriptedEntryDuringALongHandlerReachesTheModalForm) {
  auto* f = NewForm<TSearchForm>(nullptr);
  auto* t = new TTimer(f);
  t->SetInterval(1);
  t->OnTimer = [&](TObject*) {
    t->SetEnabled(false);
    Application().ProcessMessages();  // runs the entry for the modal form
    EXPECT_EQ(f->edtValue1->Text(), "abc");
    f->ModalResult = mrOk;
  };
  ScriptClicks({"edtValue1=abc"});
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_FALSE(HasScriptedClick());
  f->Free();
}

// On a terminal the form's edits and check boxes are offered beside its
// buttons, each offer naming a fresh picture of the form.
TEST_F(UiTest, TerminalOffersEditsAndCheckBoxesWithThePicture) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    auto* f = NewForm<TSearchForm>(nullptr);
    const int r = f->ShowModal();
    const bool ok = r == mrOk && f->edtValue1->Text() == "Kaohsiung" && !f->cbxShowAll1->Checked();
    _exit(ok ? 0 : 1);
  }
  std::string out;
  char buf[512];
  auto readOffer = [&] {
    out.clear();
    while (out.find("> ") == std::string::npos) {
      ssize_t k = read(master, buf, sizeof buf);
      if (k <= 0) return false;
      out.append(buf, static_cast<size_t>(k));
    }
    return true;
  };
  ASSERT_TRUE(readOffer());
  EXPECT_NE(out.find("1) OK\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("4) (close)\r\n"), std::string::npos) << out;  // no default: an empty line does nothing
  EXPECT_NE(out.find("2) [ ] Show all"), std::string::npos) << out;
  EXPECT_NE(out.find("3) edtValue1: Taipei"), std::string::npos) << out;
  const size_t at = out.find("Picture: ");
  ASSERT_NE(at, std::string::npos) << out;
  std::string picture = out.substr(at + 9, out.find_first_of("\r\n", at) - at - 9);
  EXPECT_NE(picture.find("/Platform/Screens/TSearchForm-"), std::string::npos) << picture;
  ASSERT_EQ(write(master, "3\n", 2), 2);  // the edit: its text is asked next
  std::string prompt;
  while (prompt.find("edtValue1> ") == std::string::npos) {
    ssize_t k = read(master, buf, sizeof buf);
    ASSERT_GT(k, 0) << prompt;
    prompt.append(buf, static_cast<size_t>(k));
  }
  ASSERT_EQ(write(master, "Kaohsiung\n", 10), 10);
  ASSERT_TRUE(readOffer());
  EXPECT_NE(out.find("edtValue1: Kaohsiung"), std::string::npos) << out;
  ASSERT_EQ(write(master, "1\n", 2), 2);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  // The picture is a PNG of the form's size.
  std::string png = testing_support::ReadFile(picture);
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(static_cast<unsigned char>(png[18]) * 256 + static_cast<unsigned char>(png[19]), 320);
}
