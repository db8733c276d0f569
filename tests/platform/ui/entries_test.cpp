// Entries as scripts and the terminal give them: keys with their
// characters, masked edits, tree items, and one line typed at a real
// pseudo-terminal read the same way as a scripted entry.
#include <gtest/gtest.h>

#include <cstdio>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <iostream>

#include "platform/ui/comctrls.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "platform/ui/menus.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

// A form with one control of each kind an entry can work.
class EntryForm : public TForm {
  CLS_DECLARE_CLASS(EntryForm, TForm)

 public:
  explicit EntryForm(TComponent* owner) : TForm(owner) {
    Caption = "Entries";
    SetBounds(0, 0, 360, 240);
    btnGo = Make<TButton>("btnGo", 4, 4, 75, 23);
    btnGo->Caption = "Go";
    btnGo->Default = true;
    btnNext = Make<TSpeedButton>("btnNext", 84, 4, 23, 22);
    btnNext->Hint = "Next page";
    btnNext->ModalResult = mrOk;
    edtName = Make<TEdit>("edtName", 4, 32, 100, 21);
    edtPageNo = Make<TMaskEdit>("edtPageNo", 110, 32, 40, 21);
    edtPageNo->SetEditMask("99999;0; ");
    edtPageNo->MaxLength = 5;
    chkFlag = Make<TCheckBox>("chkFlag", 4, 60, 100, 17);
    cbxKind = Make<TComboBox>("cbxKind", 110, 60, 100, 21);
    cbxKind->Items.Add("Comma");
    cbxKind->Items.Add("Tab");
    tvOutline = Make<TTreeView>("tvOutline", 4, 90, 150, 100);
    TTreeNode* a = tvOutline->Items().AddObject(nullptr, "Alpha", 1);
    tvOutline->Items().AddChildObject(a, "Beta", 2);
    for (int i = 0; i < 20; ++i) tvOutline->Items().AddObject(nullptr, "Row " + std::to_string(i), 10 + i);
    Make<TEdit>("edtKeySink", 0, 0, 0, 0);
    sbStatus = Make<TStatusBar>("sbStatus", 0, 0, 360, 19);
    sbStatus->Panels.Add().Text = "Page 1";
    sbStatus->Panels.Add().Text = "Ready";
  }
  template <class T>
  T* Make(const char* name, int l, int t, int w, int h) {
    T* c = new T(this);
    c->SetName(name);
    c->SetParent(this);
    c->SetBounds(l, t, w, h);
    return c;
  }
  TButton* btnGo;
  TSpeedButton* btnNext;
  TEdit* edtName;
  TMaskEdit* edtPageNo;
  TCheckBox* chkFlag;
  TComboBox* cbxKind;
  TTreeView* tvOutline;
  TStatusBar* sbStatus;
};
CLS_IMPLEMENT_CLASS(EntryForm)

class EntriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    SetEchoDialogs(false);
    ClearScriptedClicks();
    form = NewForm<EntryForm>(nullptr);
  }
  void TearDown() override {
    Application().Shutdown();
    ClearScriptedClicks();
    SetEchoDialogs(true);
  }
  testing_support::TempRoot root;
  EntryForm* form = nullptr;
};

TEST_F(EntriesTest, EnterAndEscReachTheKeyPressBeforeTheDefaultButton) {
  std::vector<int> pressed;
  int go = 0;
  form->btnGo->OnClick = [&](TObject*) { ++go; };
  form->btnNext->Cancel = true;
  bool takeIt = true;
  form->edtPageNo->OnKeyPress = [&](TObject*, char& key) {
    pressed.push_back(static_cast<unsigned char>(key));
    if (takeIt && (key == '\r' || key == '\x1b')) key = 0;
  };
  form->Show();
  form->edtPageNo->SetFocus();
  SendFormKey(form, VK_RETURN);
  SendFormKey(form, VK_ESCAPE);
  EXPECT_EQ(pressed, (std::vector<int>{13, 27}));
  EXPECT_EQ(go, 0);
  EXPECT_EQ(form->ModalResult, 0);
  takeIt = false;  // not taken: the default button answers
  SendFormKey(form, VK_RETURN);
  EXPECT_EQ(go, 1);
  // Enter after a lone Big5 lead byte in a plain edit adds nothing to its text.
  form->edtName->SetFocus();
  SendText(form->edtName, "\xa4");
  SendFormKey(form, VK_RETURN);
  EXPECT_EQ(form->edtName->Text(), "\xa4");
  EXPECT_EQ(go, 2);
  form->edtPageNo->SetFocus();
  // A key-down handler that takes the key keeps the character back.
  form->edtPageNo->OnKeyDown = [](TObject*, unsigned short& key, TShiftState) { key = 0; };
  SendFormKey(form, VK_RETURN);
  EXPECT_EQ(pressed.size(), 3u);
  EXPECT_EQ(go, 2);
}

TEST_F(EntriesTest, ScriptedEntriesWorkMaskedEditsTreesAndSpeedButtons) {
  std::vector<std::string> seen;
  form->edtPageNo->OnKeyPress = [&](TObject*, char& key) {
    if (key != '\r') return;
    seen.push_back("goto " + form->edtPageNo->Text());
    key = 0;
  };
  form->tvOutline->OnChange = [&](TObject*, TTreeNode* n) { seen.push_back("change " + n->Text); };
  form->tvOutline->OnClick = [&](TObject*) { seen.push_back("click"); };
  // A popup menu's items are reached through the components that own them.
  auto* menu = new TPopupMenu(form->tvOutline);
  auto* expand = new TMenuItem(menu);
  expand->SetName("mnuExpand");
  menu->Items().Add(expand);
  expand->OnClick = [&](TObject*) { seen.push_back("expand"); };
  ScriptClicks({"edtPageNo=abc", "<Enter>", "edtPageNo=0042x", "<Enter>", "tvOutline=beta", "tvOutline=Row 19",
                "mnuExpand", "btnNext"});
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(seen, (std::vector<std::string>{"goto ", "goto 0042", "change Beta", "click", "change Row 19", "click",
                                            "expand"}));
  EXPECT_TRUE(form->tvOutline->Items().GetFirstNode()->Expanded());  // opened to reach Beta
  EXPECT_EQ(form->tvOutline->Selected()->Data, 29);
  EXPECT_EQ(form->edtPageNo->EditText(), "0042 ");

  // Hidden or disabled buttons, unknown items and refused values stop a script, naming the entry.
  form->btnNext->Enabled = false;
  expand->Enabled = false;
  for (const char* entry : {"btnNext", "mnuExpand", "tvOutline=Gamma", "tvOutline", "btnGo=1", "edtName", "chkFlag=yes"}) {
    ScriptClicks({entry});
    try {
      form->ShowModal();
      ADD_FAILURE() << entry;
    } catch (const EStuckLoop& e) {
      EXPECT_NE(std::string(e.what()).find(entry), std::string::npos) << e.what();
    }
  }
  ScriptClicks({"<close>"});
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(form->VisibleText(), "Page 1\rReady");
  form->sbStatus->SimplePanel = true;
  form->sbStatus->SimpleText = "Searching";
  EXPECT_EQ(form->VisibleText(), "Searching");
}

// An entry's steps outlive a handler that frees the form; a read-only edit
// refuses a value; an edit without a mask keeps Big5 pairs whole within
// MaxLength.
TEST_F(EntriesTest, EntriesSurviveAFreedFormAndRespectReadOnlyAndPairs) {
  form->Free();
  form = Application().CreateForm<EntryForm>();  // the main form Run waits for
  form->edtName->OnKeyDown = [this](TObject*, unsigned short& key, TShiftState) {
    if (key != VK_ESCAPE) return;
    form->Free();  // the key's character and key-up still come
    form = nullptr;
    Application().Terminate();
  };
  form->Show();
  form->edtName->SetFocus();
  ScriptClicks({"<Esc>"});
  Application().Run();
  EXPECT_EQ(form, nullptr);
  EXPECT_TRUE(Application().Forms().empty());
  Application().Shutdown();  // the loop ended by Terminate starts over

  form = NewForm<EntryForm>(nullptr);
  form->edtName->SetText("keep");
  form->edtName->ReadOnly = true;
  ScriptClicks({"edtName=x"});
  EXPECT_THROW(form->ShowModal(), EStuckLoop);
  EXPECT_EQ(form->edtName->Text(), "keep");

  auto* plain = new TMaskEdit(form);
  plain->SetParent(form);
  plain->SetBounds(200, 32, 60, 21);
  plain->MaxLength = 3;
  TypeInto(plain, "\xa4\xa4\xa4\xe5");  // two characters, four bytes
  EXPECT_EQ(plain->Text(), "\xa4\xa4");
  SendText(plain, "a");
  EXPECT_EQ(plain->Text(), "\xa4\xa4" "a");
  SendKey(plain, VK_BACK);
  SendKey(plain, VK_BACK);
  EXPECT_EQ(plain->Text(), "");
}

// What the pseudo-terminal has shown up to MARKER (false when it ended or
// nothing came for ten seconds).
bool ReadUntil(int master, const std::string& marker, std::string& out) {
  out.clear();
  char buf[1024];
  while (out.find(marker) == std::string::npos) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) return false;
    const ssize_t k = read(master, buf, sizeof buf);
    if (k <= 0) return false;
    out.append(buf, static_cast<size_t>(k));
  }
  return true;
}

// The form on a terminal: caption, status texts, numbered buttons and
// fields, the picture; each typed line read as an entry, a bad one answered
// and asked again.
TEST_F(EntriesTest, TerminalLinesAreEntriesAndBadOnesAreAskedAgain) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    form->btnGo->OnClick = [&](TObject*) { std::cerr << "EFFECT go\n"; };
    form->edtPageNo->OnKeyPress = [&](TObject*, char& key) {
      if (key != '\r') return;
      std::cerr << "EFFECT enter " << form->edtPageNo->Text() << "\n";
      key = 0;
    };
    const int r = form->ShowModal();
    std::cerr << "EFFECT result " << r << " " << form->edtName->Text() << " " << form->edtPageNo->Text() << " "
              << form->chkFlag->Checked() << " " << form->cbxKind->Text() << " END\n";
    _exit(0);
  }
  std::string out;
  auto send = [&](const std::string& line) {
    const std::string l = line + "\n";
    ASSERT_EQ(write(master, l.data(), l.size()), static_cast<ssize_t>(l.size()));
  };
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  for (const char* shown : {"[Entries] Page 1\r\nReady", "Picture: ", "/Platform/Screens/EntryForm-", "  1) Go *",
                            "  2) Next page\r\n", "[ ] chkFlag", "edtName: \r\n", "edtPageNo:      \r\n",
                            "cbxKind: \r\n", "tvOutline: \r\n", "(close)"})
    EXPECT_NE(out.find(shown), std::string::npos) << shown << "\n" << out;
  EXPECT_EQ(out.find("edtKeySink"), std::string::npos) << out;  // of no size: not offered
  send("edtName=abc");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("edtName: abc\r\n"), std::string::npos) << out;
  send("edtPageNo=12ab");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("edtPageNo: 12   \r\n"), std::string::npos) << out;
  send("<Enter>");  // the focused page box takes it
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("EFFECT enter 12"), std::string::npos) << out;
  EXPECT_EQ(out.find("EFFECT go"), std::string::npos) << out;
  for (const auto& [line, why] : std::vector<std::pair<std::string, std::string>>{
           {"bogus", "bogus: no enabled, visible control \"bogus\""},
           {"chkFlag=2", "chkFlag=2: refuses value \"2\""},
           {" 99 ", "99: no choice 99"},
           {"\x1b[2Jx=1", "^[[2Jx=1: no enabled, visible control \"^[[2Jx\""}}) {
    send(line);
    ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
    EXPECT_NE(out.find(why), std::string::npos) << out;
    EXPECT_NE(out.find("[Entries]"), std::string::npos) << out;  // asked again
    EXPECT_EQ(out.find('\x1b'), std::string::npos) << out;     // shown, never obeyed
  }
  send("chkFlag=1");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("[x] chkFlag"), std::string::npos) << out;
  send("cbxKind=tab");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  send("tvOutline=Beta");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("tvOutline: Beta"), std::string::npos) << out;
  send("");  // the default button
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("EFFECT go"), std::string::npos) << out;
  send("2");
  ASSERT_TRUE(ReadUntil(master, " END", out)) << out;
  EXPECT_NE(out.find("EFFECT result 1 abc 12 1 Tab END"), std::string::npos) << out;
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace

// Tabs, groups and lists at the terminal: a tab by its caption or number
// (its fields then offered), a group's or list's line by the number its
// prompt shows; a line typed before a question is dropped, not taken by
// it; the end of input closes the form and answers later questions as
// their windows' closing, and the program goes on.
TEST_F(EntriesTest, TabsAndNumberedLinesAtTheTerminalAndTheEndOfInput) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    TForm* f = NewForm<TForm>(nullptr);
    f->Caption = "Tabs";
    f->SetBounds(0, 0, 400, 300);
    auto* pc = new TPageControl(f);
    pc->SetName("pgcTabs");
    pc->SetParent(f);
    pc->SetBounds(0, 0, 200, 120);
    TEdit* edits[2] = {};
    for (int i = 0; i < 2; ++i) {
      auto* sheet = new TTabSheet(f);
      sheet->SetPageControl(pc);
      sheet->Caption = i == 0 ? "&First" : "Second";
      edits[i] = new TEdit(f);
      edits[i]->SetName(i == 0 ? "edtA" : "edtB");
      edits[i]->SetParent(sheet);
      edits[i]->SetBounds(4, 4, 80, 21);
    }
    pc->SetActivePageIndex(0);
    auto* group = new TRadioGroup(f);
    group->SetName("rgpKind");
    group->SetParent(f);
    group->SetBounds(210, 0, 150, 80);
    group->Items.Add("&Comma");
    group->Items.Add("Tab");
    auto* list = new TListBox(f);
    list->SetName("lbxNames");
    list->SetParent(f);
    list->SetBounds(210, 90, 150, 80);
    list->Items.Add("Chen");
    list->Items.Add("Lin");
    const int r = f->ShowModal();
    const int answer = MessageDlg("Replace it?", TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
    std::cerr << "EFFECT " << r << " " << pc->ActivePageIndex() << " " << edits[1]->Text() << " " << group->ItemIndex()
              << " " << list->ItemIndex() << " " << answer << " END\n";
    _exit(0);
  }
  std::string out;
  auto send = [&](const std::string& line) {
    ASSERT_EQ(write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
  };
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("pgcTabs: tab First\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("edtA: "), std::string::npos) << out;
  EXPECT_EQ(out.find("edtB"), std::string::npos) << out;
  EXPECT_EQ(out.find("&"), std::string::npos) << out;
  send("second\nbogus\n");  // the second line typed before the next question
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("bogus: typed while the program worked, not taken here"), std::string::npos) << out;
  EXPECT_NE(out.find("pgcTabs: tab Second"), std::string::npos) << out;
  EXPECT_NE(out.find("edtB: "), std::string::npos) << out;
  send("edtB=x\n");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  send("pgcTabs=3\n");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("pgcTabs: no tab \"3\" (1 First, 2 Second)"), std::string::npos) << out;
  send("pgcTabs=1\n");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  EXPECT_NE(out.find("pgcTabs: tab First"), std::string::npos) << out;
  send("rgpKind=2\n");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  send("lbxNames=2\n");
  ASSERT_TRUE(ReadUntil(master, "\n> ", out)) << out;
  send("\x04");  // Ctrl-D
  ASSERT_TRUE(ReadUntil(master, " END", out)) << out;
  EXPECT_NE(out.find("(close: end of input)"), std::string::npos) << out;
  EXPECT_NE(out.find("EFFECT " + std::to_string(mrCancel) + " 0 x 1 1 " + std::to_string(mrCancel) + " END"), std::string::npos)
      << out;
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
