#include "report/forms/ppNoDataDlg.h"

#include "tests/report/forms/forms_fixture.h"

TEST_F(DialogTest, NoDataDialogTellsAndIsAnsweredByOK) {
  // Registered under an abstract class it does not descend from: callers
  // take it as a form and check its class before they use its members.
  ui::TCustomForm* made = ui::NewFormOfClass(FindFormClass(&TppCustomNoDataDialog::StaticClass()), nullptr);
  auto* d = cls::ObjectAs<TppNoDataDialog>(made);
  ASSERT_NE(d, nullptr);
  d->SetLanguageIndex(0);
  EXPECT_EQ(d->Caption, "No Data Found");
  EXPECT_EQ(d->memMessage->Lines.Text(), "No data found for this report.\r\n");
  EXPECT_EQ(d->btnOK->Caption, "OK");
  EXPECT_EQ(d->ClientWidth(), 270);
  EXPECT_EQ(d->ClientHeight(), 93);
  // Nobody there to answer: OK does.
  EXPECT_EQ(d->ShowModal(), ui::mrOk);
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].text, "No data found for this report.");
  d->Free();
}
