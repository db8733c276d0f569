#include "report/forms/ppTmEDlg.h"

#include "platform/classes/typinfo.h"
#include "tests/report/forms/forms_fixture.h"

TEST_F(DialogTest, TemplateErrorDialogAnswersIgnoreIgnoreAllOrCancel) {
  auto* d = cls::ObjectAs<TppTemplateErrorDialog>(
      ui::NewFormOfClass(FindFormClass(&TppCustomTemplateErrorDialog::StaticClass()), nullptr));
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Caption, "Error Reading Template");
  d->SetLanguageIndex(0);
  EXPECT_EQ(d->Caption, "Error Reading Template");
  EXPECT_EQ(d->btnIgnore->Caption, "&Ignore");
  EXPECT_EQ(d->btnIgnoreAll->Caption, "Ignore &All");
  EXPECT_EQ(d->btnCancel->Caption, "Cancel");

  cls::SetStrProp(d, "MessageText", "Ignore the error and continue?\r\nProperty Foo does not exist");
  EXPECT_EQ(d->MessageText(), "Ignore the error and continue?\r\nProperty Foo does not exist");
  // Buttons by name or by the caption a user reads.
  ui::ScriptClicks({"btnIgnore"});
  EXPECT_EQ(d->ShowModal(), ui::mrIgnore);
  ui::ScriptClicks({"ignore all"});
  EXPECT_EQ(d->ShowModal(), ui::mrAll);
  ui::ScriptClicks({"btnCancel"});
  EXPECT_EQ(d->ShowModal(), ui::mrCancel);
  // Nobody there: Cancel, the load fails rather than going on unasked.
  EXPECT_EQ(d->ShowModal(), ui::mrCancel);
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 4u);
  EXPECT_EQ(rec[3].text, "Ignore the error and continue?\r\nProperty Foo does not exist");
  d->Free();
}
