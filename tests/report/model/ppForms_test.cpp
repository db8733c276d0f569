#include "report/model/ppForms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "tests/support/testroot.h"

namespace {

// These tests answer everything by script or by default: no terminal.
const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedClicks();
  }
  void TearDown() override {
    ui::Application().Shutdown();
    ui::ClearScriptedClicks();
    ui::SetEchoDialogs(true);
  }
  testing_support::TempRoot root;
};

// Records what the form's handlers and hooks saw, in order.
struct Journal {
  std::vector<std::string> lines;
  void Activated(cls::TObject*) { lines.push_back("handler activate"); }
  void Cancelled(cls::TObject*) { lines.push_back("handler cancel"); }
  void CloseQueried(cls::TObject*) { lines.push_back("handler close query"); }
  void Destroyed(cls::TObject*) { lines.push_back("handler destroy"); }
};

class TJournalForm : public TppForm {
  CLS_DECLARE_CLASS(TJournalForm, TppForm)

 public:
  explicit TJournalForm(cls::TComponent* owner) : TppForm(owner) {}
  Journal* journal = nullptr;
  void LanguageChanged() override { journal->lines.push_back("language " + std::to_string(LanguageIndex())); }
  void ReportAssigned() override { journal->lines.push_back(Report() ? "report set" : "report cleared"); }
};
CLS_IMPLEMENT_COMPONENT(TJournalForm)

class TStatusDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TStatusDialog, TppCustomCancelDialog)

 public:
  explicit TStatusDialog(cls::TComponent* owner) : TppCustomCancelDialog(owner) {}
  std::vector<std::string> seen;
  void StatusChanged() override { seen.push_back(StatusText()); }
};
CLS_IMPLEMENT_COMPONENT(TStatusDialog)

class TOtherCancelDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TOtherCancelDialog, TppCustomCancelDialog)

 public:
  using TppCustomCancelDialog::TppCustomCancelDialog;
};
CLS_IMPLEMENT_COMPONENT(TOtherCancelDialog)

}  // namespace

TEST_F(FormsTest, HandlersRunAroundTheFormsOwnSteps) {
  Journal j;
  auto* f = ui::NewForm<TJournalForm>(nullptr);
  f->journal = &j;
  f->OnFormActivate = cls::TNotifyEvent(&j, &Journal::Activated);
  f->OnCancel = cls::TNotifyEvent(&j, &Journal::Cancelled);
  f->OnFormCloseQuery = cls::TNotifyEvent(&j, &Journal::CloseQueried);
  f->OnFormDestroy = cls::TNotifyEvent(&j, &Journal::Destroyed);
  f->OnActivate = [&](cls::TObject*) { j.lines.push_back("form activate"); };
  f->OnCloseQuery = [&](cls::TObject*, bool& canClose) {
    j.lines.push_back("form close query");
    canClose = false;
  };
  f->OnDestroy = [&](cls::TObject*) { j.lines.push_back("form destroy"); };

  f->SetLanguageIndex(3);
  cls::TComponent report(nullptr);
  f->SetReport(&report);
  f->SetReport(nullptr);
  f->RequestCancel();
  f->Show();
  EXPECT_TRUE(f->Active());
  // The close query refuses: the form stays.
  f->Close();
  EXPECT_TRUE(f->Visible());
  f->Free();
  EXPECT_EQ(j.lines, (std::vector<std::string>{"language 3", "report set", "report cleared", "handler cancel",
                                                "form activate", "handler activate", "handler close query",
                                                "form close query", "handler destroy", "form destroy"}));
  // Without a cancel handler RequestCancel does nothing.
  auto* plain = ui::NewForm<TppForm>(nullptr);
  plain->RequestCancel();
  plain->Free();
}

TEST_F(FormsTest, ADialogClosesWhenItsReportIsFreed) {
  auto* f = ui::NewForm<TppForm>(nullptr);
  f->Show();
  // Other messages, or the number without the report's parameter, change nothing.
  EXPECT_EQ(f->Perform(ppWMReportDestroyed, 0, 0), 0);
  EXPECT_EQ(f->Perform(1125, ppReportMessageParam, 0), 0);
  EXPECT_TRUE(f->Visible());
  f->Perform(ppWMReportDestroyed, ppReportMessageParam, 0);
  EXPECT_FALSE(f->Visible());
  f->Free();
}

TEST_F(FormsTest, RegistryKeepsOneFormClassPerAncestor) {
  cls::TClass ancestor = &TppCustomCancelDialog::StaticClass();
  EXPECT_EQ(FindFormClass(ancestor), nullptr);
  UnregisterFormClass(ancestor);  // never registered: nothing happens

  RegisterFormClass(ancestor, &TStatusDialog::StaticClass());
  RegisterFormClass(ancestor, &TOtherCancelDialog::StaticClass());
  EXPECT_EQ(FindFormClass(ancestor), &TOtherCancelDialog::StaticClass());
  // The replaced class left the class registry; the new one streams by name.
  EXPECT_EQ(cls::FindClass("TStatusDialog"), nullptr);
  EXPECT_EQ(cls::FindClass("TOtherCancelDialog"), &TOtherCancelDialog::StaticClass());
  // Ancestors are found by name without regard to case.
  cls::TClassInfo sameName{"TPPCUSTOMCANCELDIALOG", &TppForm::StaticClass()};
  EXPECT_EQ(FindFormClass(&sameName), &TOtherCancelDialog::StaticClass());
  EXPECT_EQ(FindFormClass(&TppForm::StaticClass()), nullptr);

  // A registered class is created by reference and driven as a form.
  ui::TCustomForm* made = ui::NewFormOfClass(FindFormClass(ancestor), nullptr);
  EXPECT_TRUE(made->InheritsFrom(ancestor));
  made->Free();

  UnregisterFormClass(ancestor);
  EXPECT_EQ(FindFormClass(ancestor), nullptr);
  EXPECT_EQ(cls::FindClass("TOtherCancelDialog"), nullptr);
}

TEST_F(FormsTest, CancelDialogPrintsOncePerStartAfterItIsShown) {
  auto* d = ui::NewForm<TStatusDialog>(nullptr);
  EXPECT_FALSE(d->Printing());
  EXPECT_FALSE(d->AllowPrintCancel());
  EXPECT_FALSE(d->Timer()->Enabled());
  EXPECT_EQ(d->Timer()->Interval(), 10u);

  struct Run {
    TStatusDialog* dialog;
    int prints = 0;
    void Print(cls::TObject* sender) {
      ++prints;
      EXPECT_EQ(sender, dialog);
      EXPECT_TRUE(dialog->Visible());
      EXPECT_TRUE(dialog->Active());
      EXPECT_FALSE(dialog->Timer()->Enabled());
      dialog->SetStatusText("page " + std::to_string(prints));
      dialog->ModalResult = ui::mrOk;
    }
  } run{d};
  d->OnPrint = cls::TNotifyEvent(&run, &Run::Print);
  EXPECT_EQ(d->StartDialog(), ui::mrOk);
  EXPECT_TRUE(d->Printing());
  EXPECT_EQ(run.prints, 1);
  EXPECT_EQ(d->StartDialog(), ui::mrOk);
  EXPECT_EQ(run.prints, 2);
  EXPECT_EQ(d->seen, (std::vector<std::string>{"page 1", "page 2"}));
  EXPECT_EQ(d->StatusText(), "page 2");
  d->Free();
}

TEST_F(FormsTest, CancelDialogGivesTheActiveFormBackOrForgetsItWhenFreed) {
  ui::TApplication& app = ui::Application();
  auto* main = app.CreateForm<ui::TForm>();
  main->Show();
  ASSERT_EQ(ui::Screen().ActiveForm(), main);

  // Shown modally (not printing) the dialog remembers the main form and
  // gives it back enabled and focused when it hides.
  auto* d = ui::NewForm<TStatusDialog>(nullptr);
  struct Probe {
    ui::TForm* main;
    bool disabledMeanwhile = false;
    void Print(cls::TObject* sender) {
      disabledMeanwhile = !main->Enabled;
      static_cast<ui::TCustomForm*>(sender)->ModalResult = ui::mrOk;
    }
  } probe{main};
  d->OnFormActivate = cls::TNotifyEvent(&probe, &Probe::Print);
  d->ShowModal();
  EXPECT_TRUE(probe.disabledMeanwhile);
  EXPECT_TRUE(main->Enabled);
  EXPECT_EQ(ui::Screen().ActiveForm(), main);

  // The remembered form freed while the dialog is shown: dropped, not used.
  auto* other = ui::NewForm<ui::TForm>(nullptr);
  other->Show();
  d->Show();
  other->Free();
  d->Hide();
  EXPECT_EQ(ui::Screen().ActiveForm(), main);
  d->Free();
}

TEST_F(FormsTest, ScalingFollowsTheScreenAndTheFormResolutions) {
  auto* f = ui::NewForm<TppForm>(nullptr);
  int screen = ui::Screen().PixelsPerInch();
  f->PixelsPerInch = screen;
  EXPECT_EQ(f->ScaleToScreen(270), 270);
  // Designed at twice the screen's resolution: halves go to the even side.
  f->PixelsPerInch = screen * 2;
  EXPECT_EQ(f->ScaleToScreen(270), 135);
  EXPECT_EQ(f->ScaleToScreen(271), 136);
  EXPECT_EQ(f->ScaleToScreen(273), 136);
  EXPECT_EQ(f->ScaleFromScreen(135), 270);
  f->Free();
}

TEST_F(FormsTest, EveryAbstractDialogIsAFormTheRegistryCanServe) {
  const std::vector<cls::TClass> abstracts = {
      &TppCustomPreviewer::StaticClass(), &TppCustomRTFEditor::StaticClass(),
      &TppCustomAutoSearchDialog::StaticClass(), &TppCustomPageSettingDialog::StaticClass(),
      &TppCustomPrintDialog::StaticClass(), &TppCustomCancelDialog::StaticClass(),
      &TppCustomNoDataDialog::StaticClass(), &TppCustomTextSearchSettingsDialog::StaticClass(),
      &TppCustomFormatDialog::StaticClass(), &TppCustomPositionDialog::StaticClass(),
      &TppCustomBandPositionDialog::StaticClass(), &TppCustomMemoDialog::StaticClass(),
      &TppCustomDBTextDialog::StaticClass(), &TppCustomDBCalcDialog::StaticClass(),
      &TppCustomCalcTimingDialog::StaticClass(), &TppCustomCalcDialog::StaticClass(),
      &TppCustomShiftDialog::StaticClass(), &TppCustomDrillDownDialog::StaticClass(),
      &TppCustomTemplateDialog::StaticClass(), &TppCustomTemplateErrorDialog::StaticClass(),
      &TppCustomBarCodeDialog::StaticClass(), &TppCustomCalcOrderDialog::StaticClass()};
  ASSERT_EQ(abstracts.size(), 22u);
  for (cls::TClass c : abstracts) {
    SCOPED_TRACE(c->Name);
    EXPECT_EQ(c->Parent, &TppForm::StaticClass());
    EXPECT_EQ(c->Name.rfind("TppCustom", 0), 0u);
    // Each can stand under its own name; none takes another's place.
    RegisterFormClass(c, c);
  }
  for (cls::TClass c : abstracts) {
    EXPECT_EQ(FindFormClass(c), c) << c->Name;
    ui::TCustomForm* f = ui::NewFormOfClass(c, nullptr);
    EXPECT_EQ(f->ClassType(), c);
    f->Free();
    UnregisterFormClass(c);
  }
}

TEST_F(FormsTest, AbstractDialogsKeepWhatTheirCallersHandIn) {
  class TViewerPreview : public TppCustomPreviewer {
   public:
    using TppCustomPreviewer::TppCustomPreviewer;
    cls::TComponent viewer{nullptr};
    cls::TObject* GetViewer() override { return &viewer; }
  };
  auto* base = ui::NewForm<TppCustomPreviewer>(nullptr);
  EXPECT_EQ(cls::GetObjectProp(base, "Viewer"), nullptr);
  EXPECT_FALSE(base->DisplayDocumentName);
  auto* preview = ui::NewForm<TViewerPreview>(nullptr);
  EXPECT_EQ(cls::GetObjectProp(preview, "Viewer"), &preview->viewer);

  auto* timing = ui::NewForm<TppCustomCalcTimingDialog>(nullptr);
  EXPECT_EQ(timing->CalcOn, -1);
  EXPECT_EQ(timing->ResetOn, -1);
  cls::TComponent group(nullptr);
  EXPECT_EQ(timing->AddResetComponent("Group1", &group), 0);
  EXPECT_EQ(timing->ResetComponents.Objects(0), &group);
  EXPECT_EQ(timing->CalcComponents.Count(), 0);

  auto* print = ui::NewForm<TppCustomPrintDialog>(nullptr);
  EXPECT_TRUE(print->DeviceType.empty());
  EXPECT_FALSE(print->AllowPrintToFile);
  print->SetPrinter(&group);
  EXPECT_EQ(print->Printer(), &group);
  EXPECT_EQ(print->PageRequest(), nullptr);

  auto* templ = ui::NewForm<TppCustomTemplateDialog>(nullptr);
  templ->SetMode(1);
  EXPECT_EQ(templ->Mode(), 1);
  for (ui::TCustomForm* f : std::vector<ui::TCustomForm*>{base, preview, timing, print, templ}) f->Free();
}

TEST_F(FormsTest, UpDownSitsInsideItsEditAndMarksBothArrows) {
  auto* f = ui::NewForm<ui::TForm>(nullptr);
  auto* edit = new ui::TEdit(f);
  edit->SetParent(f);
  edit->SetBounds(100, 40, 60, 21);
  auto* ud = new TppUpDown(f, edit);
  EXPECT_EQ(ud->Parent(), f);
  EXPECT_EQ(ud->Left(), 100 + 60 - ud->Width() - 2);
  EXPECT_EQ(ud->Top(), 42);
  EXPECT_EQ(ud->Height(), 17);
  EXPECT_EQ(ud->Min, -100);
  ud->SetPosition(-150);
  EXPECT_EQ(ud->Position(), -100);

  ud->SetBounds(0, 0, 16, 24);
  ud->Repaint();
  std::vector<std::uint32_t> px = ud->Face().Pixels();
  auto dark = [&](int x, int y) { return (px[static_cast<size_t>(y) * 16 + static_cast<size_t>(x)] & 0xFFFFFF) == 0; };
  // Up mark: tip at (7, 5), rows of 1, 3, 5 pixels below it; the down mark
  // mirrored with its tip at (7, 19).
  std::vector<std::string> rows;
  for (int y = 0; y < 24; ++y) {
    std::string row;
    for (int x = 0; x < 16; ++x) row += dark(x, y) ? '#' : '.';
    rows.push_back(row);
  }
  EXPECT_EQ(rows[5], ".......#........");
  EXPECT_EQ(rows[6], "......###.......");
  EXPECT_EQ(rows[7], ".....#####......");
  EXPECT_EQ(rows[17], ".....#####......");
  EXPECT_EQ(rows[18], "......###.......");
  EXPECT_EQ(rows[19], ".......#........");
  int marked = 0;
  for (const std::string& r : rows) marked += static_cast<int>(std::count(r.begin(), r.end(), '#'));
  EXPECT_EQ(marked, 18);
  f->Free();
}
