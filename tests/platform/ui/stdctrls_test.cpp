// Radio buttons, combo boxes, group boxes and the save dialog; focus moves,
// keys to the focused control, and the scripted entries that set them.
#include <gtest/gtest.h>

#include <cstdio>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/ui/dialogs.h"
#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

class ChoiceForm : public TForm {
  CLS_DECLARE_CLASS(ChoiceForm, TForm)

 public:
  explicit ChoiceForm(TComponent* owner) : TForm(owner) {
    Caption = "choose";
    SetBounds(0, 0, 300, 200);
    group = Make<TGroupBox>("group", this, 4, 4, 200, 90);
    group->Caption = "Pages";
    rdbAll = Make<TRadioButton>("rdbAll", group, 8, 20, 100, 17);
    rdbSome = Make<TRadioButton>("rdbSome", group, 8, 40, 100, 17);
    edtA = Make<TEdit>("edtA", this, 4, 100, 80, 21);
    edtB = Make<TEdit>("edtB", this, 90, 100, 80, 21);
    cbxKind = Make<TComboBox>("cbxKind", this, 4, 130, 120, 21);
    cbxKind->Items.Add("Comma");
    cbxKind->Items.Add("Tab");
    cbxKind->Items.Add("Fixed");
    chkTotals = Make<TCheckBox>("chkTotals", this, 130, 130, 100, 17);
    btnOK = Make<TButton>("btnOK", this, 130, 160, 75, 23);
    btnOK->ModalResult = mrOk;
    btnOK->Default = true;
    btnCancel = Make<TButton>("btnCancel", this, 210, 160, 75, 23);
    btnCancel->ModalResult = mrCancel;
    btnCancel->Cancel = true;
  }
  template <class T>
  T* Make(const char* name, TWinControl* parent, int l, int t, int w, int h) {
    T* c = new T(this);
    c->SetName(name);
    c->SetParent(parent);
    c->SetBounds(l, t, w, h);
    return c;
  }
  TGroupBox* group;
  TRadioButton *rdbAll, *rdbSome;
  TEdit *edtA, *edtB;
  TComboBox* cbxKind;
  TCheckBox* chkTotals;
  TButton *btnOK, *btnCancel;
};
CLS_IMPLEMENT_CLASS(ChoiceForm)

class StdCtrlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    SetEchoDialogs(false);
    ClearScriptedClicks();
    form = NewForm<ChoiceForm>(nullptr);
  }
  void TearDown() override {
    Application().Shutdown();
    ClearScriptedClicks();
    SetEchoDialogs(true);
  }
  testing_support::TempRoot root;
  ChoiceForm* form = nullptr;
};

}  // namespace

TEST_F(StdCtrlsTest, RadioButtonsOfOneParentExcludeEachOther) {
  int clicks = 0;
  form->rdbSome->OnClick = [&](TObject*) { ++clicks; };
  form->rdbAll->SetChecked(true);
  form->rdbSome->Click();
  EXPECT_TRUE(form->rdbSome->Checked());
  EXPECT_FALSE(form->rdbAll->Checked());
  form->rdbSome->Click();  // already checked: no second OnClick
  EXPECT_EQ(clicks, 1);
}

TEST_F(StdCtrlsTest, ComboKeysStepWithinTheEntries) {
  std::vector<int> changes;
  form->cbxKind->OnChange = [&](TObject*) { changes.push_back(form->cbxKind->ItemIndex()); };
  form->Show();
  form->cbxKind->SetFocus();
  for (int i = 0; i < 4; ++i) SendFormKey(form, VK_DOWN);
  SendFormKey(form, VK_UP);
  EXPECT_EQ(changes, (std::vector<int>{0, 1, 2, 1}));
  EXPECT_EQ(form->cbxKind->Text(), "Tab");
  form->cbxKind->Items.Delete(2);
  form->cbxKind->Items.Delete(1);
  EXPECT_EQ(form->cbxKind->ItemIndex(), -1);  // the entry went away
}

TEST_F(StdCtrlsTest, KeysGoToTheFocusedControlElseTheFormNeverBoth) {
  std::vector<std::string> seen;
  form->OnKeyDown = [&](TObject*, unsigned short&, TShiftState) { seen.push_back("form"); };
  form->edtA->OnKeyDown = [&](TObject*, unsigned short& key, TShiftState shift) {
    seen.push_back("edtA " + std::to_string(key) + " " + std::to_string(shift));
  };
  form->Show();
  SendFormKey(form, VK_END, ssCtrl);
  form->edtA->SetFocus();
  SendFormKey(form, VK_END, ssCtrl);
  EXPECT_EQ(seen, (std::vector<std::string>{"form", "edtA 35 4"}));
  // A hidden focused control gives the key to the form.
  form->edtA->Hide();
  SendFormKey(form, 'X');
  EXPECT_EQ(seen.back(), "form");
}

TEST_F(StdCtrlsTest, EnterAndEscNobodyTookPressTheDefaultAndCancelButtons) {
  ScriptClicks({"<Enter>"});
  EXPECT_EQ(form->ShowModal(), mrOk);
  ScriptClicks({"<Esc>"});
  EXPECT_EQ(form->ShowModal(), mrCancel);
  // A control that takes Enter keeps the dialog open.
  form->edtA->OnKeyDown = [](TObject*, unsigned short& key, TShiftState) {
    if (key == VK_RETURN) key = 0;
  };
  ScriptClicks({"edtA=7", "<Enter>", "btnCancel"});
  EXPECT_EQ(form->ShowModal(), mrCancel);
  EXPECT_EQ(form->edtA->Text(), "7");
}

TEST_F(StdCtrlsTest, FocusMovesRunExitThenEnter) {
  std::vector<std::string> seen;
  for (TEdit* e : {form->edtA, form->edtB}) {
    e->OnEnter = [&seen, e](TObject*) { seen.push_back("enter " + e->Name()); };
    e->OnExit = [&seen, e](TObject*) { seen.push_back("exit " + e->Name()); };
  }
  form->Show();
  form->edtA->SetFocus();
  form->edtA->SetFocus();  // no move
  form->edtB->SetFocus();
  form->cbxKind->SetFocus();
  EXPECT_EQ(seen, (std::vector<std::string>{"enter edtA", "exit edtA", "enter edtB", "exit edtB"}));
}

TEST_F(StdCtrlsTest, ScriptedValuesSetControlsAsAUserWould) {
  std::string left;
  form->edtA->OnExit = [&](TObject*) { left = form->edtA->Text(); };
  ScriptClicks({"edtA=12", "cbxKind=tab", "chkTotals=1", "chkTotals=1", "rdbSome=1", "btnOK"});
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_EQ(form->cbxKind->Text(), "Tab");  // case ignored
  EXPECT_TRUE(form->chkTotals->Checked());  // 1 twice stays ticked
  EXPECT_TRUE(form->rdbSome->Checked());
  EXPECT_EQ(left, "12");  // choosing in the combo left the edit
  ScriptClicks({"chkTotals=0", "chkTotals", "rdbAll", "btnOK"});
  EXPECT_EQ(form->ShowModal(), mrOk);
  EXPECT_TRUE(form->chkTotals->Checked());  // cleared, then the bare name clicked it
  EXPECT_TRUE(form->rdbAll->Checked());
}

TEST_F(StdCtrlsTest, UnknownNamesAndRefusedValuesStopTheScriptNamingTheEntry) {
  for (const char* entry : {"chkTotals=2", "rdbSome=0", "cbxKind=Pipe", "nowhere=1", "<Hyper>"}) {
    ClearScriptedClicks();
    ScriptClicks({entry});
    try {
      form->ShowModal();
      ADD_FAILURE() << entry;
    } catch (const EStuckLoop& e) {
      EXPECT_NE(std::string(e.what()).find(entry), std::string::npos) << e.what();
    }
    form->Hide();
  }
}

TEST_F(StdCtrlsTest, ParsesKeyEntries) {
  unsigned short key = 0;
  TShiftState shift = 0;
  ASSERT_TRUE(ParseKeyEntry("<Ctrl+End>", key, shift));
  EXPECT_EQ(key, VK_END);
  EXPECT_EQ(shift, ssCtrl);
  ASSERT_TRUE(ParseKeyEntry("<ctrl+shift+pgup>", key, shift));
  EXPECT_EQ(key, VK_PRIOR);
  EXPECT_EQ(shift, ssCtrl | ssShift);
  ASSERT_TRUE(ParseKeyEntry("<Alt+f>", key, shift));
  EXPECT_EQ(key, 'F');
  for (const char* bad : {"<>", "<Ctrl+>", "<Meta+End>", "Enter", "<close>", "<Enter"})
    EXPECT_FALSE(ParseKeyEntry(bad, key, shift)) << bad;
}

TEST_F(StdCtrlsTest, SaveDialogTakesItsScriptedFileName) {
  auto* save = new TSaveDialog(form);
  save->SetName("SaveDialog1");
  save->DefaultExt = "txt";
  ScriptClicks({"SaveDialog1=C:\\Out\\sales", "SaveDialog1=C:\\Out\\sales.csv", "SaveDialog1="});
  ASSERT_TRUE(save->Execute());
  EXPECT_EQ(save->FileName, "C:\\Out\\sales.txt");
  ASSERT_TRUE(save->Execute());
  EXPECT_EQ(save->FileName, "C:\\Out\\sales.csv");
  EXPECT_FALSE(save->Execute());  // empty cancels
  EXPECT_EQ(save->FileName, "C:\\Out\\sales.csv");
  EXPECT_FALSE(save->Execute());  // nothing scripted, no terminal: cancelled
  ScriptClicks({"btnOK"});
  EXPECT_THROW(save->Execute(), EStuckLoop);
}

TEST_F(StdCtrlsTest, NewControlsPaintTheirState) {
  form->rdbSome->SetChecked(true);
  form->cbxKind->SetItemIndex(1);
  gdi::TBitmap b;
  form->PaintToBitmap(b);
  const std::vector<std::uint32_t> px = b.Pixels();
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y * b.Width() + x)] & 0xFFFFFF; };
  // The checked radio button's dot (group at 4,4; button at 8,40 within it).
  const int top = 4 + 40 + (17 - 12) / 2;
  EXPECT_EQ(at(4 + 8 + 6, top + 6), 0u);
  EXPECT_NE(at(4 + 8 + 6, 4 + 20 + (17 - 12) / 2 + 6), 0u);  // the other one is empty
  // An owner-drawn combo paints its entry through OnDrawItem.
  int drawn = -1;
  form->cbxKind->Style = TComboBoxStyle::csOwnerDrawFixed;
  form->cbxKind->OnDrawItem = [&](TWinControl*, int index, win::RECT, TOwnerDrawState) { drawn = index; };
  form->PaintToBitmap(b);
  EXPECT_EQ(drawn, 1);
}

// On a terminal radio buttons and combo boxes are offered too; a combo's
// entry is typed by its text, and one it lacks is answered and asked again.
TEST_F(StdCtrlsTest, TerminalOffersRadioButtonsAndComboEntries) {
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetEchoDialogs(true);
    auto* f = NewForm<ChoiceForm>(nullptr);
    const bool ok = f->ShowModal() == mrOk && f->cbxKind->Text() == "Tab" && f->rdbSome->Checked();
    _exit(ok ? 0 : 1);
  }
  std::string out;
  char buf[512];
  auto readUntil = [&](const std::string& end) {
    out.clear();
    while (out.find(end) == std::string::npos) {
      ssize_t k = read(master, buf, sizeof buf);
      if (k <= 0) return false;
      out.append(buf, static_cast<size_t>(k));
    }
    return true;
  };
  // The number offered for the line reading LABEL.
  auto number = [&](const std::string& label) {
    const size_t at = out.find(") " + label);
    if (at == std::string::npos) return std::string("?");
    const size_t start = out.find_last_not_of("0123456789", at - 1) + 1;
    return out.substr(start, at - start);
  };
  auto send = [&](const std::string& line) { ASSERT_EQ(write(master, (line + "\n").c_str(), line.size() + 1), static_cast<ssize_t>(line.size() + 1)); };
  ASSERT_TRUE(readUntil("> "));
  EXPECT_NE(out.find("( ) rdbSome"), std::string::npos) << out;
  const std::string combo = number("cbxKind: "), radio = number("( ) rdbSome"), ok = number("btnOK");
  send(combo);
  ASSERT_TRUE(readUntil("cbxKind [Comma, Tab, Fixed]> ")) << out;
  send("Pipe");
  ASSERT_TRUE(readUntil("> ")) << out;
  EXPECT_NE(out.find("no entry"), std::string::npos) << out;
  send(combo);
  ASSERT_TRUE(readUntil("]> ")) << out;
  send("tab");
  ASSERT_TRUE(readUntil("> ")) << out;
  EXPECT_NE(out.find("cbxKind: Tab"), std::string::npos) << out;
  send(radio);
  ASSERT_TRUE(readUntil("> ")) << out;
  EXPECT_NE(out.find("(o) rdbSome"), std::string::npos) << out;
  send(ok);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}
