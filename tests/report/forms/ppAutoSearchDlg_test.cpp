// The auto search dialog run by a report: a typed value filters what the
// recording printer prints, Cancel prints nothing, invalid values keep the
// dialog open with their message and mark, an empty mandatory value marks
// its tab; the panels' own controls; the tab menu.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/forms/ppAutoSearchDlg.h"
#include "report/output/ppPrintr.h"
#include "tests/report/forms/forms_fixture.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

using testing_support::TEventHook;
using TValue = TppListPipeline::TValue;

namespace {

class AutoSearch : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    gdi::SetDeterministicMetrics(true);
    UseRecordingZolmet();
    form.reset(new cls::TComponent(nullptr));
    customers = new TppListPipeline(form.get());
    customers->SetName("plCustomer");
    customers->AddField("Name");
    customers->AddField("City");
    const char* rows[][2] = {{"Chen", "Kaohsiung"}, {"Lin", "Taipei"},     {"Wang", "Kaohsiung"},
                             {"Lee", "Tainan"},     {"Chang", "Kaohsiung"}, {"Huang", "Taipei"}};
    for (auto& r : rows) all.push_back({{"Name", TValue(std::string(r[0]))}, {"City", TValue(std::string(r[1]))}});
    for (auto& r : all) customers->AddRecord(r);
    report = new TppReport(form.get());
    testing_support::PrintOnZolmet(report);
    report->SetShowAutoSearchDialog(true);
    report->SetDataPipeline(customers);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report);
    detail->SetHeight(6);
    name = new TppDBText(form.get());
    name->SetBand(detail);
    name->SetDataPipeline(customers);
    name->SetDataField("Name");
    name->SetBounds(0, 0, 40000, 5000);
    report->OnGetAutoSearchValues = cls::TNotifyEvent(this, &AutoSearch::Filter);
    hook.reset(new TEventHook(report, {10, 11, 12, 72}, [this](TppCommunicator*, int id, TraParamList*) {
      events.push_back(id);
    }));
  }
  void TearDown() override {
    hook.reset();
    form.reset();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(false);
    DialogTest::TearDown();
  }
  // The pipeline keeps the records of the criterion's city.
  void Filter(cls::TObject*) {
    TppAutoSearchField* f = report->AutoSearchCriteriaByName("plCustomer", "City");
    customers->ClearRecords();
    for (auto& r : all)
      if (!f || f->ShowAllValues() || std::get<std::string>(r.at("City")) == f->Value().AsString())
        customers->AddRecord(r);
  }
  static std::vector<std::string> Printed() {
    std::vector<std::string> texts;
    for (const gdi::Job& job : gdi::RecordedJobs())
      for (const gdi::Page& page : job.pages)
        for (const gdi::Op& op : page.ops)
          if (auto* t = op.As<gdi::TextOp>()) texts.push_back(t->text);
    return texts;
  }
  TppAutoSearchDialog* Dialog() const { return static_cast<TppAutoSearchDialog*>(report->AutoSearchDialog()); }

  cls::Owned<cls::TComponent> form;
  TppListPipeline* customers = nullptr;
  std::vector<TppListPipeline::TRecord> all;
  TppReport* report = nullptr;
  TppDBText* name = nullptr;
  cls::Owned<TEventHook> hook;
  std::vector<int> events;
};

TEST_F(AutoSearch, ATypedCityPrintsItsCustomersOnly) {
  TppAutoSearchField* city =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  ui::ScriptClicks({"edtValue1=Kaohsiung", "btnOK"});
  report->Print();
  EXPECT_EQ(Printed(), (std::vector<std::string>{"Chen", "Wang", "Chang"}));
  EXPECT_EQ(events, (std::vector<int>{72, 10, 11, 12}));
  EXPECT_EQ(city->SearchExpression(), "Kaohsiung");
  EXPECT_EQ(report->AutoSearchDescription(), "Show all data where the City is equal to Kaohsiung");
  EXPECT_EQ(report->AutoSearchDialog(), nullptr);
}

TEST_F(AutoSearch, CancelPrintsNothingAndChangesNothing) {
  TppAutoSearchField* city =
      report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  ui::ScriptClicks({"edtValue1=Kaohsiung", "btnCancel"});
  report->Print();
  EXPECT_TRUE(gdi::RecordedJobs().empty());
  EXPECT_EQ(events, (std::vector<int>{72, 10, 11}));
  EXPECT_EQ(city->SearchExpression(), "Taipei");
}

// What the dialog showed when it closed.
struct Seen {
  explicit Seen(TppReport* r) : report(r) {}
  TppReport* report;
  std::string error;
  bool markShown = false;
  int markLeft = 0, editRight = 0;
  int activeTab = -1, tabImage = -1, firstTabImage = -1;
  bool stillOpen = false;
  void Closed(cls::TObject*) {
    auto* d = static_cast<TppAutoSearchDialog*>(report->AutoSearchDialog());
    if (!d) return;
    stillOpen = true;
    TppAutoSearchPanel* p = d->Panels(0);
    error = p->ErrorText();
    markShown = p->ErrorMark()->Visible();
    markLeft = p->ErrorMark()->Left();
    editRight = p->ValueControl()->Left() + p->ValueControl()->Width();
    if (ui::TPageControl* pc = d->PageControl()) {
      activeTab = pc->ActivePageIndex();
      tabImage = pc->Pages(1)->ImageIndex;
      firstTabImage = pc->Pages(0)->ImageIndex;
    }
  }
};

TEST_F(AutoSearch, AnInvalidNumberKeepsTheDialogOpenWithItsMessage) {
  TppAutoSearchField* amount =
      report->CreateAutoSearchCriteria("plCustomer", "Amount", TppSearchOperatorType::soEqual, "1", false);
  amount->SetDataType(dtInteger);
  Seen seen(report);
  report->OnAutoSearchDialogClose = cls::TNotifyEvent(&seen, &Seen::Closed);
  ui::ScriptClicks({"edtValue1=abc", "btnOK", "btnCancel"});
  report->Print();
  EXPECT_TRUE(seen.stillOpen);
  EXPECT_EQ(seen.error, "abc is not a valid number.");
  EXPECT_TRUE(seen.markShown);
  EXPECT_EQ(seen.markLeft, seen.editRight + 3);
  EXPECT_EQ(amount->SearchExpression(), "1");
  EXPECT_TRUE(gdi::RecordedJobs().empty());
  // Unattended, a dialog that stays invalid stops the loop.
  ui::ScriptClicks({"edtValue1=abc"});
  EXPECT_THROW(report->Print(), ui::EStuckLoop);
}

TEST_F(AutoSearch, AnEmptyMandatoryValueMarksItsTabAndShowsIt) {
  auto* orders = new TppListPipeline(form.get());
  orders->SetName("plOrders");
  orders->SetDescription("Orders");
  orders->SetAutoSearchTabOrder(2);
  customers->SetDescription("Customers");
  customers->SetAutoSearchTabOrder(1);
  report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "Taipei", false);
  report->CreateAutoSearchCriteria("plOrders", "OrderNo", TppSearchOperatorType::soEqual, "", true);
  Seen seen(report);
  report->OnAutoSearchDialogClose = cls::TNotifyEvent(&seen, &Seen::Closed);
  ui::ScriptClicks({"btnOK", "btnCancel"});
  report->Print();
  EXPECT_EQ(seen.activeTab, 1);
  EXPECT_EQ(seen.tabImage, 0);
  EXPECT_EQ(seen.firstTabImage, -1);
  EXPECT_TRUE(gdi::RecordedJobs().empty());
}

// ---- the dialog on its own ----

class AutoSearchDialog : public AutoSearch {
 protected:
  TppAutoSearchDialog* Open(std::vector<TppAutoSearchField*> fields) {
    dialog.reset(Create<TppCustomAutoSearchDialog>());
    std::vector<cls::TComponent*> list(fields.begin(), fields.end());
    dialog->SetAutoSearchFields(list);
    dialog->Init();
    return static_cast<TppAutoSearchDialog*>(dialog.get());
  }
  void TearDown() override {
    dialog.reset();
    AutoSearch::TearDown();
  }
  cls::Owned<TppCustomAutoSearchDialog> dialog;
};

TEST_F(AutoSearchDialog, PanelsByOperatorNumberedInOrder) {
  using O = TppSearchOperatorType;
  auto* a = report->CreateAutoSearchCriteria("plCustomer", "City", O::soBetween, "A,M", false);
  auto* b = report->CreateAutoSearchCriteria("plCustomer", "Name", O::soInList, "Chen,Lin", true);
  auto* c = report->CreateAutoSearchCriteria("plCustomer", "Note", O::soBlank, "", false);
  TppAutoSearchDialog* d = Open({a, b, c});
  ASSERT_EQ(d->PanelCount(), 3);
  EXPECT_TRUE(cls::ObjectIs<TppBetweenSearchPanel>(d->Panels(0)));
  EXPECT_TRUE(cls::ObjectIs<TppInListSearchPanel>(d->Panels(1)));
  EXPECT_TRUE(cls::ObjectIs<TppSimpleSearchPanel>(d->Panels(2)));
  EXPECT_EQ(d->PageControl(), nullptr);  // one group: no tabs
  auto* from = cls::ObjectAs<ui::TEdit>(d->FindComponent("edtValue1"));
  auto* to = cls::ObjectAs<ui::TEdit>(d->FindComponent("edtValue1b"));
  ASSERT_TRUE(from && to);
  EXPECT_EQ(from->Text(), "A");
  EXPECT_EQ(to->Text(), "M");
  EXPECT_NE(d->FindComponent("lbxValues2"), nullptr);
  EXPECT_NE(d->FindComponent("btnAdd2"), nullptr);
  EXPECT_NE(d->FindComponent("cbxShowAll3"), nullptr);
  // Mandatory: no show-all box; the blank operator: no edit.
  EXPECT_FALSE(d->Panels(1)->ShowAllBox()->Visible());
  EXPECT_FALSE(cls::ObjectAs<ui::TEdit>(d->FindComponent("edtValue3"))->Visible());
  // Sized to the widest panel, within limits.
  EXPECT_GE(d->ClientWidth(), 438);
  EXPECT_LE(d->ClientWidth(), 1000);
  // OK writes the values back; the report's fields keep their own names.
  to->SetText("Z");
  d->btnOKClick();
  EXPECT_EQ(d->ModalResult, ui::mrOk);
  EXPECT_EQ(a->SearchExpression(), "A,Z");
}

TEST_F(AutoSearchDialog, InListAddAndRemove) {
  auto* f = report->CreateAutoSearchCriteria("plCustomer", "No", TppSearchOperatorType::soInList, "1", false);
  f->SetDataType(dtInteger);
  TppAutoSearchDialog* d = Open({f});
  auto* panel = static_cast<TppInListSearchPanel*>(d->Panels(0));
  auto* edit = cls::ObjectAs<ui::TEdit>(d->FindComponent("edtValue1"));
  ui::TListBox* list = panel->List();
  // Nothing to remove, nothing to add: nothing happens.
  panel->RemoveValue();
  panel->AddValue();
  EXPECT_EQ(list->Items.Count(), 1);
  edit->SetText("x");
  panel->AddValue();
  EXPECT_EQ(panel->ErrorText(), "x is not a valid number.");
  EXPECT_EQ(list->Items.Count(), 1);
  for (const char* v : {"2", "3", "2"}) {
    edit->SetText(v);
    panel->AddValue();
  }
  EXPECT_EQ(list->Items.CommaText(), "1,2,3");
  EXPECT_EQ(edit->Text(), "");
  list->SetItemIndex(2);
  panel->RemoveValue();
  EXPECT_EQ(list->ItemIndex(), 1);
  list->SetItemIndex(0);
  panel->RemoveValue();
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_EQ(list->Items.CommaText(), "2");
  d->btnOKClick();
  EXPECT_EQ(f->SearchExpression(), "2");
}

TEST_F(AutoSearchDialog, TabsFollowTheirOrderAndTheMenuSwapsThem) {
  auto* orders = new TppListPipeline(form.get());
  orders->SetName("plOrders");
  orders->SetDescription("Orders");
  orders->SetAutoSearchTabOrder(1);
  customers->SetDescription("Customers");
  customers->SetAutoSearchTabOrder(2);
  auto* a = report->CreateAutoSearchCriteria("plCustomer", "City", TppSearchOperatorType::soEqual, "", false);
  auto* b = report->CreateAutoSearchCriteria("plOrders", "No", TppSearchOperatorType::soEqual, "", false);
  TppAutoSearchDialog* d = Open({a, b});
  ui::TPageControl* pc = d->PageControl();
  ASSERT_NE(pc, nullptr);
  ASSERT_EQ(pc->PageCount(), 2);
  EXPECT_EQ(pc->Pages(0)->Caption, "Orders");
  EXPECT_EQ(pc->Pages(1)->Caption, "Customers");
  ASSERT_NE(d->TabImages(), nullptr);
  EXPECT_EQ(d->TabImages()->Count(), 1);
  // The bullet: red, its corners transparent.
  const std::vector<std::uint32_t>& bullet = d->TabImages()->Pixels(0);
  EXPECT_EQ(bullet[2 * 5 + 2] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(bullet[0] >> 24, 0u);
  ui::TPopupMenu* menu = d->TabMenu();
  ASSERT_NE(menu, nullptr);
  menu->PopupAt(pc, 10, 5);
  EXPECT_FALSE(menu->Items().Items(0)->Enabled);
  EXPECT_TRUE(menu->Items().Items(1)->Enabled);
  menu->Items().Items(1)->Click();
  EXPECT_EQ(pc->Pages(1)->Caption, "Orders");
  dialog.reset();
  // The swapped orders went back to the pipelines.
  EXPECT_EQ(orders->AutoSearchTabOrder(), 2);
  EXPECT_EQ(customers->AutoSearchTabOrder(), 1);
}

}  // namespace
