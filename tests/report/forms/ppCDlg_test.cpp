#include "report/forms/ppCDlg.h"

#include <string>
#include <vector>

#include "tests/report/forms/forms_fixture.h"

namespace {

// A print run as the producer drives it from the dialog's timer: a status
// text per page, the queue pumped after each, stopped by a cancel.
struct PrintRun {
  PrintRun(TppCustomCancelDialog* d, int n) : dialog(d), pages(n) {}
  TppCustomCancelDialog* dialog;
  int pages;
  int printed = 0;
  int cancels = 0;
  std::vector<bool> cancelEnabled;  // at each page

  void Print(cls::TObject*) {
    auto* cd = cls::ObjectAs<TppCancelDialog>(dialog);
    while (printed < pages && cancels == 0) {
      ++printed;
      dialog->SetStatusText("Printing page " + std::to_string(printed));
      if (cd) cancelEnabled.push_back(cd->btnCancel->Enabled);
      ui::Application().ProcessMessages();
    }
    if (cancels == 0) dialog->ModalResult = ui::mrOk;
  }
  void Cancel(cls::TObject*) { ++cancels; }

  int Start(bool allowCancel) {
    dialog->SetAllowPrintCancel(allowCancel);
    dialog->OnPrint = cls::TNotifyEvent(this, &PrintRun::Print);
    dialog->OnCancel = cls::TNotifyEvent(this, &PrintRun::Cancel);
    return dialog->StartDialog();
  }
};

}  // namespace

TEST_F(DialogTest, CancelDialogIsCentredWithItsTextsAndNoDefaultButton) {
  auto* d = Create<TppCustomCancelDialog>();
  ASSERT_NE(d, nullptr);
  auto* cd = cls::ObjectAs<TppCancelDialog>(d);
  ASSERT_NE(cd, nullptr);
  d->SetLanguageIndex(0);
  EXPECT_EQ(d->Caption, "Printing");
  EXPECT_EQ(cd->btnCancel->Caption, "Cancel");
  EXPECT_GE(cd->btnCancel->Width(), 75);
  EXPECT_EQ(cd->btnCancel->Left(), (270 - cd->btnCancel->Width()) / 2);
  EXPECT_FALSE(cd->btnCancel->Default);
  EXPECT_EQ(d->ClientWidth(), 270);
  EXPECT_EQ(d->ClientHeight(), 133);
  d->Show();
  EXPECT_EQ(d->Left(), 377);
  EXPECT_EQ(d->Top(), 318);
  d->Free();
}

TEST_F(DialogTest, UnattendedRunPrintsEveryPageAndShowsEachStatus) {
  auto* d = Create<TppCustomCancelDialog>();
  PrintRun run(d, 2);
  EXPECT_EQ(run.Start(true), ui::mrOk);
  EXPECT_EQ(run.printed, 2);
  EXPECT_EQ(run.cancels, 0);
  auto* cd = cls::ObjectAs<TppCancelDialog>(d);
  ASSERT_EQ(cd->memMessage->Lines.Count(), 1);
  EXPECT_EQ(cd->memMessage->Lines[0], "Printing page 2");
  EXPECT_FALSE(d->Visible());
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].kind, "TppCancelDialog");
  EXPECT_EQ(rec[0].text, "Printing page 2");
  EXPECT_EQ(rec[0].answer, ui::mrOk);
  d->Free();
}

TEST_F(DialogTest, CancelDuringTheRunCallsTheHandlerAndCloses) {
  auto* d = Create<TppCustomCancelDialog>();
  PrintRun run(d, 5);
  ui::ScriptClicks({"btnCancel"});  // the user presses Cancel while page 1 prints
  EXPECT_EQ(run.Start(true), ui::mrCancel);
  EXPECT_EQ(run.cancels, 1);
  EXPECT_EQ(run.printed, 1);
  EXPECT_EQ(run.cancelEnabled, (std::vector<bool>{true}));
  EXPECT_FALSE(d->Visible());
  EXPECT_FALSE(ui::HasScriptedClick());
  d->Free();
}

TEST_F(DialogTest, CancelStaysDisabledUnlessCancellingIsAllowed) {
  auto* d = Create<TppCustomCancelDialog>();
  PrintRun run(d, 2);
  ui::ScriptClicks({"btnCancel"});
  EXPECT_EQ(run.Start(false), ui::mrOk);
  EXPECT_EQ(run.cancels, 0);
  EXPECT_EQ(run.printed, 2);
  EXPECT_EQ(run.cancelEnabled, (std::vector<bool>{false, false}));
  EXPECT_TRUE(ui::HasScriptedClick());  // nobody could press it
  ui::ClearScriptedClicks();
  d->Free();
}
