#include "report/forms/ppTmDlg.h"

#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
#include "tests/report/forms/forms_fixture.h"
#include "tests/support/memtable.h"

using testing_support::TMemTable;

namespace {

class TemplateDialogTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    table.rows = {{{"Name", "Receipt"}, {"Id", "1"}}, {{"Name", "Invoice"}, {"Id", "2"}}};
    dialog = cls::ObjectAs<TppTemplateDialog>(ui::NewFormOfClass(
        FindFormClass(&TppCustomTemplateDialog::StaticClass()), nullptr));
    ASSERT_NE(dialog, nullptr);
    // Handed in by name, as the library does.
    cls::SetObjectProp(dialog, "DataPipeline", &table);
    cls::SetStrProp(dialog, "NameField", "Name");
  }
  void TearDown() override {
    dialog->Free();
    DialogTest::TearDown();
  }
  std::vector<std::string> Listed() const {
    std::vector<std::string> v;
    for (int i = 0; i < dialog->lbxTemplates->Items.Count(); ++i) v.push_back(dialog->lbxTemplates->Items[i]);
    return v;
  }
  std::vector<std::string> ShownTexts() const {
    std::vector<std::string> v;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs())
      if (d.kind == "MessageDlg") v.push_back(d.caption + ": " + d.text);
    return v;
  }

  TMemTable table;
  TppTemplateDialog* dialog = nullptr;
};

}  // namespace

TEST_F(TemplateDialogTest, ActivationListsTheTableAndSetsTheCaptionsOfTheMode) {
  dialog->Show();
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Receipt", "Invoice"}));
  EXPECT_EQ(table.opens, 1);  // opened because it was not
  EXPECT_EQ(dialog->Caption, "Open Template");
  EXPECT_EQ(dialog->btnOK->Caption, "&Open");
  EXPECT_EQ(dialog->btnCancel->Caption, "Cancel");
  EXPECT_EQ(dialog->lblTemplateName->Caption, "Name");
  EXPECT_EQ(dialog->hdrList->Sections.at(0).Text, "Name");
  EXPECT_TRUE(dialog->edtTemplateName->Focused());
  dialog->Hide();

  // Save mode names the template; an open table is walked, not reopened.
  dialog->SetMode(1);
  cls::SetStrProp(dialog, "TemplateName", "Receipt");
  table.rows.push_back({{"Name", "Label"}});
  dialog->Show();
  EXPECT_EQ(dialog->Caption, "Save Template As Receipt");
  EXPECT_EQ(dialog->btnOK->Caption, "&Save");
  EXPECT_EQ(Listed(), (std::vector<std::string>{"Receipt", "Invoice", "Label"}));
  EXPECT_EQ(table.opens, 1);
  EXPECT_EQ(table.firsts, 2);

  // Clicking or double-clicking an entry takes its name.
  dialog->lbxTemplates->ClickItem(1);
  EXPECT_EQ(cls::GetStrProp(dialog, "TemplateName"), "Invoice");
  dialog->lbxTemplates->DblClickItem(2);
  EXPECT_EQ(dialog->TemplateName(), "Label");
}

TEST_F(TemplateDialogTest, OpenModeTakesOnlyANameTheTableHas) {
  // Empty: stays open, silently. Unknown: an error names it. Cancel closes.
  ui::ScriptClicks({"btnOK", "btnCancel"});
  EXPECT_EQ(dialog->ShowModal(), ui::mrCancel);
  EXPECT_TRUE(ShownTexts().empty());

  dialog->SetTemplateName("Receipts");
  ui::ScriptClicks({"btnOK", "btnCancel"});
  EXPECT_EQ(dialog->ShowModal(), ui::mrCancel);
  EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"Error: Record not found: Receipts"}));

  // The list is worked as a user would: a click on the line.
  ui::ClearRecordedDialogs();
  ui::ScriptClicks({"lbxTemplates=invoice", "btnOK"});
  EXPECT_EQ(dialog->ShowModal(), ui::mrOk);
  EXPECT_EQ(dialog->TemplateName(), "Invoice");
  EXPECT_TRUE(ShownTexts().empty());
}

TEST_F(TemplateDialogTest, SaveModeOverwritesOnlyAfterYes) {
  dialog->SetMode(1);
  dialog->SetTemplateName("Receipt");
  ui::ScriptClicks({"btnOK", "btnOK", "btnOK"});
  ui::ScriptAnswers({ui::mrNo, ui::mrCancel, ui::mrYes});
  EXPECT_EQ(dialog->ShowModal(), ui::mrOk);
  std::vector<std::string> asked = ShownTexts();
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[0], "Confirm: A template of this name already exists: Receipt\r\n\r\nDo you want to replace it?");

  // A new name is saved without a question.
  ui::ClearRecordedDialogs();
  dialog->SetTemplateName("Voucher");
  ui::ScriptClicks({"btnOK"});
  EXPECT_EQ(dialog->ShowModal(), ui::mrOk);
  EXPECT_TRUE(ShownTexts().empty());
}

TEST_F(TemplateDialogTest, UnansweredItFailsInsteadOfHanging) {
  // OK answers by default; with no acceptable name the dialog cannot end.
  EXPECT_THROW(dialog->ShowModal(), ui::EStuckLoop);
  EXPECT_FALSE(dialog->Visible());
  dialog->SetTemplateName("Nowhere");
  EXPECT_THROW(dialog->ShowModal(), ui::EStuckLoop);
  EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"Error: Record not found: Nowhere"}));
  // An acceptable name lets the default answer end it.
  dialog->SetTemplateName("Receipt");
  EXPECT_EQ(dialog->ShowModal(), ui::mrOk);
}

TEST_F(TemplateDialogTest, WithoutATableNothingIsListedOrFound) {
  auto* gone = new TMemTable;
  gone->rows = {{{"Name", "Receipt"}}};
  dialog->SetDataPipeline(gone);
  gone->Free();  // the dialog hears of it and lets go
  EXPECT_EQ(cls::GetObjectProp(dialog, "DataPipeline"), nullptr);
  dialog->SetTemplateName("Receipt");
  ui::ScriptClicks({"btnOK", "btnCancel"});
  EXPECT_EQ(dialog->ShowModal(), ui::mrCancel);
  EXPECT_TRUE(Listed().empty());
  EXPECT_EQ(ShownTexts(), (std::vector<std::string>{"Error: Record not found: Receipt"}));
}
