#include "report/forms/ppTextSearchSettingsDlg.h"

#include "report/engine/ppProd.h"
#include "report/model/ppIniStorage.h"
#include "tests/report/forms/forms_fixture.h"

namespace {

class TextSearchSettingsDialog : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    producer.reset(new TppProducer(nullptr));
    settings()->SetShowAll(true);
    settings()->SetDefaultString("尋找");
  }
  void TearDown() override {
    producer.reset();
    DialogTest::TearDown();
  }
  TppTextSearchSettings* settings() { return producer->TextSearchSettings(); }
  TppTextSearchSettingsDialog* Open() {
    auto* d = cls::ObjectAs<TppTextSearchSettingsDialog>(Create<TppCustomTextSearchSettingsDialog>());
    EXPECT_NE(d, nullptr);
    if (d) d->SetReport(producer.get());
    return d;
  }
  std::string Ini() { return testing_support::ReadFile(root.path() + "/C/Windows/Pagewright.ini"); }
  cls::Owned<TppProducer> producer;
};

}  // namespace

TEST_F(TextSearchSettingsDialog, ShowsTheSettingsAndCancelChangesNothing) {
  TppTextSearchSettingsDialog* d = Open();
  ASSERT_TRUE(d);
  EXPECT_EQ(d->Caption, "Text Search Settings");
  EXPECT_EQ(d->cbxEnabled->Caption, "Enabled");
  EXPECT_EQ(d->rdgStartingPage->Items.Strings(1), "Start Search on Current Page");
  EXPECT_EQ(d->Settings(), settings());
  EXPECT_TRUE(d->cbxEnabled->Checked());
  EXPECT_TRUE(d->cbxShowAll->Checked());
  EXPECT_FALSE(d->cbxWholeWord->Checked());
  EXPECT_EQ(d->rdgStartingPage->ItemIndex(), 0);
  EXPECT_EQ(d->edtSearchString->Text(), "尋找");
  d->cbxWholeWord->SetChecked(true);
  d->cbxEnabled->Click();
  EXPECT_FALSE(d->cbxShowAll->Enabled);
  ui::ScriptClicks({"btnCancel"});
  d->ShowModal();
  EXPECT_FALSE(d->OK());
  EXPECT_TRUE(settings()->Enabled());
  EXPECT_FALSE(settings()->WholeWord());
  EXPECT_TRUE(settings()->ShowAll());
  d->Free();
}

TEST_F(TextSearchSettingsDialog, OKStoresTheControlsAndTheBoundsAreKept) {
  settings()->SetVisible(true);
  TppTextSearchSettingsDialog* d = Open();
  ASSERT_TRUE(d);
  d->cbxCaseSensitive->SetChecked(true);
  d->edtSearchString->SetText("find");
  d->SetBounds(40, 50, 300, 400);
  // The radio group is worked as a user would, before Enabled goes off
  // (then Visible cannot stay on); OK answers OK.
  ui::ScriptClicks({"rdgStartingPage=Start Search on &Current Page", "cbxEnabled=0", "btnOK"});
  EXPECT_EQ(d->ShowModal(), ui::mrOk);
  EXPECT_FALSE(ui::HasScriptedClick());
  d->Free();
  EXPECT_FALSE(settings()->Enabled());
  EXPECT_FALSE(settings()->Visible());
  EXPECT_TRUE(settings()->CaseSensitive());
  EXPECT_TRUE(settings()->SearchFromCurrentPage());
  EXPECT_EQ(settings()->DefaultString(), "find");
  std::string ini = Ini();
  EXPECT_NE(ini.find("[TextSearchSettingsDialog]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FormTop=50"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FormLeft=40"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FormWidth=300"), std::string::npos) << ini;
  EXPECT_NE(ini.find("FormHeight=400"), std::string::npos) << ini;

  // The next dialog comes back there, its size within the form's limits.
  TppTextSearchSettingsDialog* again = Open();
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Left(), 40);
  EXPECT_EQ(again->Top(), 50);
  EXPECT_EQ(again->Width(), 300);
  EXPECT_EQ(again->Height(), 327);
  again->Free();
  cls::Owned<TppIniStorage> store = CreateIniStorage();
  store->WriteInteger("TextSearchSettingsDialog", "FormWidth", 5000);
  TppTextSearchSettingsDialog* wide = Open();
  EXPECT_EQ(wide->Width(), 436);
  wide->Free();
}
