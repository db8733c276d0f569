// Activation, focus, the screen, pumping during modal runs and the input
// controls.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "tests/support/testroot.h"

using namespace ui;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

class FormsUiTest : public ::testing::Test {
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
  testing_support::TempRoot root;
};

TButton* AddButton(TCustomForm* f, const std::string& name, int modalResult = 0) {
  auto* b = new TButton(f);
  b->SetName(name);
  b->ModalResult = modalResult;
  b->SetParent(f);
  return b;
}

// A modal form that works in one long handler (a timer tick), pumping the
// queue between steps as a print run does.
struct LongRun {
  TForm* form;
  TTimer* timer;
  int steps = 0;
  bool cancelled = false;
  std::vector<std::string> clicksLeftAfterRun;

  explicit LongRun(int maxSteps) {
    form = NewForm<TForm>(nullptr);
    form->Caption = "run";
    TButton* cancel = AddButton(form, "btnCancel");
    cancel->OnClick = [this](TObject*) { cancelled = true; };
    timer = new TTimer(form);
    timer->SetEnabled(false);
    timer->SetInterval(1);
    timer->OnTimer = [this, maxSteps](TObject*) {
      timer->SetEnabled(false);
      while (steps < maxSteps && !cancelled) {
        ++steps;
        Application().ProcessMessages();
      }
      form->ModalResult = cancelled ? mrCancel : mrOk;
    };
  }
  int Run() {
    timer->SetEnabled(true);
    return form->ShowModal();
  }
};

}  // namespace

TEST_F(FormsUiTest, ShowingActivatesAndHidingGivesActivationBack) {
  std::vector<std::string> order;
  auto* a = NewForm<TForm>(nullptr);
  auto* b = NewForm<TForm>(nullptr);
  a->OnActivate = [&](TObject*) { order.push_back("a"); };
  b->OnActivate = [&](TObject*) { order.push_back("b"); };
  b->OnShow = [&](TObject*) { order.push_back("b shown"); };
  b->OnHide = [&](TObject*) {
    order.push_back("b hidden");
    EXPECT_TRUE(b->Visible());  // still shown while it hides
  };
  EXPECT_EQ(Screen().ActiveForm(), nullptr);
  a->Show();
  b->Show();
  EXPECT_EQ(Screen().ActiveForm(), b);
  EXPECT_TRUE(b->Active());
  b->Hide();
  EXPECT_EQ(Screen().ActiveForm(), a);
  // Showing the active form again activates nothing.
  a->SetFocus();
  b->Show();
  b->Free();
  EXPECT_EQ(Screen().ActiveForm(), a);
  a->Hide();
  EXPECT_EQ(Screen().ActiveForm(), nullptr);
  EXPECT_EQ(order, (std::vector<std::string>{"a", "b shown", "b", "b hidden", "a", "b shown", "b", "a"}));
  a->Free();
}

TEST_F(FormsUiTest, ModalFormDisablesTheOthersForItsRun) {
  auto* main = NewForm<TForm>(nullptr);
  auto* off = NewForm<TForm>(nullptr);
  main->Show();
  off->Show();
  off->Enabled = false;  // stays disabled after the run
  main->SetFocus();
  auto* dlg = NewForm<TForm>(nullptr);
  AddButton(dlg, "btnOK", mrOk);
  bool mainEnabledInside = true;
  dlg->OnActivate = [&](TObject*) { mainEnabledInside = main->Enabled; };
  ScriptClicks({"btnOK"});
  EXPECT_EQ(dlg->ShowModal(), mrOk);
  EXPECT_FALSE(mainEnabledInside);
  EXPECT_TRUE(main->Enabled);
  EXPECT_FALSE(off->Enabled);
  EXPECT_EQ(Screen().ActiveForm(), main);
  // A shown or disabled form cannot run modally.
  EXPECT_THROW(main->ShowModal(), EInvalidOperation);
  off->Hide();
  EXPECT_THROW(off->ShowModal(), EInvalidOperation);
}

TEST_F(FormsUiTest, CloseQueryIsOverridable) {
  struct TStubborn : TForm {
    using TForm::TForm;
    int asked = 0;
    bool CloseQuery() override { return ++asked > 1; }
  };
  auto* f = NewForm<TStubborn>(nullptr);
  AddButton(f, "btnOK", mrOk);
  ScriptClicks({"btnOK", "btnOK"});
  EXPECT_EQ(f->ShowModal(), mrOk);
  EXPECT_EQ(f->asked, 2);
}

TEST_F(FormsUiTest, FocusNeedsAShownEnabledControlOnAShownForm) {
  auto* f = NewForm<TForm>(nullptr);
  auto* panel = new TPanel(f);
  panel->SetParent(f);
  auto* edit = new TEdit(f);
  edit->SetParent(panel);
  auto* other = new TEdit(f);
  other->SetParent(f);
  EXPECT_FALSE(edit->CanFocus());  // the form is hidden
  EXPECT_THROW(edit->SetFocus(), EInvalidOperation);
  f->Show();
  edit->SetFocus();
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(Screen().ActiveControl(), edit);
  EXPECT_EQ(f->ActiveControl(), edit);
  panel->Hide();
  EXPECT_FALSE(edit->CanFocus());
  EXPECT_THROW(edit->SetFocus(), EInvalidOperation);
  other->Enabled = false;
  EXPECT_THROW(other->SetFocus(), EInvalidOperation);
  f->Enabled = false;
  EXPECT_FALSE(f->CanFocus());
  f->Enabled = true;
  // A control that goes leaves no focus behind.
  edit->Free();
  EXPECT_EQ(f->ActiveControl(), nullptr);
  EXPECT_EQ(Screen().ActiveControl(), nullptr);
  f->Free();
}

TEST_F(FormsUiTest, ScreenIsTheScreenContextsSizeAndCentresForms) {
  win::HDC dc = win::GetDC(nullptr);
  EXPECT_EQ(Screen().Width(), win::GetDeviceCaps(dc, win::HORZRES));
  EXPECT_EQ(Screen().Height(), win::GetDeviceCaps(dc, win::VERTRES));
  EXPECT_EQ(Screen().PixelsPerInch(), win::GetDeviceCaps(dc, win::LOGPIXELSX));
  win::ReleaseDC(nullptr, dc);
  ASSERT_EQ(Screen().Width(), 1024);
  ASSERT_EQ(Screen().Height(), 768);

  auto* f = NewForm<TForm>(nullptr);
  f->SetBounds(5, 5, 270, 133);
  f->Position = TPosition::poScreenCenter;
  f->Show();
  // 384 - 66.5 rounds to the even 318.
  EXPECT_EQ(f->Left(), 377);
  EXPECT_EQ(f->Top(), 318);
  f->SetBounds(0, 0, 271, 135);  // 384 - 67.5 -> 316; 512 - 135.5 -> 376
  f->CenterOnScreen();
  EXPECT_EQ(f->Left(), 376);
  EXPECT_EQ(f->Top(), 316);
  // Placed once: moving it afterwards sticks across showings.
  f->Hide();
  f->SetLeft(3);
  f->Show();
  EXPECT_EQ(f->Left(), 3);
  f->Free();
}

TEST_F(FormsUiTest, PumpInAModalRunPressesOnlyItsOwnButtons) {
  // A click for the running form is pressed from the pump, mid-run.
  LongRun run(1000);
  ScriptClicks({"btnCancel"});
  EXPECT_EQ(run.Run(), mrCancel);
  EXPECT_TRUE(run.cancelled);
  EXPECT_EQ(run.steps, 1);
  EXPECT_FALSE(HasScriptedClick());
  run.form->Free();

  // A click naming no button of the running form stays queued for the form
  // that waits next; the run finishes.
  LongRun run2(5);
  auto* next = NewForm<TForm>(nullptr);
  AddButton(next, "btnLater", mrYes);
  ScriptClicks({"btnLater"});
  EXPECT_EQ(run2.Run(), mrOk);
  EXPECT_EQ(run2.steps, 5);
  EXPECT_TRUE(HasScriptedClick());
  EXPECT_EQ(next->ShowModal(), mrYes);
  run2.form->Free();

  // A disabled button is not pressed by the pump.
  LongRun run3(3);
  static_cast<TButton*>(run3.form->FindComponent("btnCancel"))->Enabled = false;
  ScriptClicks({"btnCancel"});
  EXPECT_EQ(run3.Run(), mrOk);
  EXPECT_FALSE(run3.cancelled);
  EXPECT_TRUE(HasScriptedClick());
  ClearScriptedClicks();
  run3.form->Free();

  // Outside a modal run the pump presses nothing.
  ScriptClicks({"btnLater"});
  Application().ProcessMessages();
  EXPECT_TRUE(HasScriptedClick());
}

TEST_F(FormsUiTest, PumpPressesTheInnermostModalFormsButtonOnly) {
  auto* outer = NewForm<TForm>(nullptr);
  bool outerPressed = false;
  AddButton(outer, "btnOuter")->OnClick = [&](TObject*) { outerPressed = true; };
  LongRun inner(3);
  TTimer* t = new TTimer(outer);
  t->SetInterval(1);
  t->OnTimer = [&](TObject*) {
    t->SetEnabled(false);
    ScriptClicks({"btnOuter"});
    inner.Run();  // its pump must not press the outer form's button
    outer->ModalResult = mrOk;
  };
  EXPECT_EQ(outer->ShowModal(), mrOk);
  EXPECT_EQ(inner.steps, 3);
  EXPECT_FALSE(outerPressed);
  EXPECT_TRUE(HasScriptedClick());
  inner.form->Free();
}

TEST_F(FormsUiTest, EditListAndUpDownBehaveAsAUserDrivesThem) {
  auto* f = NewForm<TForm>(nullptr);
  auto* edit = new TEdit(f);
  edit->SetParent(f);
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->SetText("a");
  edit->SetText("a");
  EXPECT_EQ(changes, 1);

  auto* list = new TListBox(f);
  list->SetParent(f);
  list->Items.Add("one");
  list->Items.Add("two");
  std::vector<std::string> picked;
  list->OnClick = [&](TObject*) { picked.push_back("click " + list->Items[list->ItemIndex()]); };
  list->OnDblClick = [&](TObject*) { picked.push_back("double " + list->Items[list->ItemIndex()]); };
  list->ClickItem(1);
  list->DblClickItem(0);
  EXPECT_EQ(picked, (std::vector<std::string>{"click two", "click one", "double one"}));
  list->SetItemIndex(5);
  EXPECT_EQ(list->ItemIndex(), -1);
  list->SetItemIndex(1);
  list->Items.Delete(1);  // the selection went with its line
  EXPECT_EQ(list->ItemIndex(), -1);

  auto* ud = new TUpDown(f);
  ud->SetParent(f);
  ud->Min = -2;
  ud->Max = 2;
  std::vector<int> seen;
  ud->OnButtonClick = [&](TObject*, TUDBtnType b) { seen.push_back(ud->Position() * (b == TUDBtnType::btNext ? 1 : 10)); };
  for (int i = 0; i < 3; ++i) ud->ClickButton(TUDBtnType::btNext);
  for (int i = 0; i < 5; ++i) ud->ClickButton(TUDBtnType::btPrev);
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 2, 10, 0, -10, -20, -20}));
  ud->Wrap = true;
  ud->ClickButton(TUDBtnType::btPrev);
  EXPECT_EQ(ud->Position(), 2);
  f->Free();
}

TEST_F(FormsUiTest, UpDownPaintsItsFaceAtItsSizeThroughAnOverridablePaint) {
  struct TMarked : TUpDown {
    using TUpDown::TUpDown;
    void Paint() override {
      TUpDown::Paint();
      Canvas().Brush.Color = gdi::clRed;
      Canvas().FillRect({1, 1, 3, 3});
    }
  };
  TMarked ud(nullptr);
  ud.SetBounds(0, 0, 16, 24);
  ud.Repaint();
  ASSERT_EQ(ud.Face().Width(), 16);
  ASSERT_EQ(ud.Face().Height(), 24);
  std::vector<std::uint32_t> px = ud.Face().Pixels();
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y) * 16 + static_cast<size_t>(x)] & 0xFFFFFF; };
  // Frames of both halves, the face inside, the descendant's mark on top.
  const std::uint32_t face = at(8, 6);
  EXPECT_EQ(at(14, 20), face);
  EXPECT_NE(at(0, 0), face);
  EXPECT_NE(at(8, 12), face);  // the lower half's top frame line
  EXPECT_NE(at(1, 1), face);
  EXPECT_NE(at(1, 1), at(0, 0));
}

TEST_F(FormsUiTest, IconIsEmptyUnlessItsPixelsFitItsSize) {
  auto* f = NewForm<TForm>(nullptr);
  EXPECT_TRUE(f->Icon.Empty());
  TIcon icon;
  icon.SetImage(2, 2, {1, 2, 3});
  EXPECT_TRUE(icon.Empty());
  icon.SetImage(2, 2, {1, 2, 3, 4});
  f->Icon.Assign(icon);
  EXPECT_FALSE(f->Icon.Empty());
  EXPECT_EQ(f->Icon, icon);
  f->Icon.Clear();
  EXPECT_TRUE(f->Icon.Empty());
  f->Free();
}
