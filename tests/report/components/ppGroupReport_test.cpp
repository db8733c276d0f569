// Grouped reports with labels printed on the recording "Zolmet": nested
// groups whose footers continue on the next page, a group breaking on a
// label's text, and a break label that goes away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace {

using TValue = TppListPipeline::TValue;

// A label that shows FIELD of the current record, taken before its band prints.
struct TFieldLabel {
  TppLabel* label;
  std::string prefix, field;
  TppDataPipeline* pipeline;
  void Take(cls::TObject*) { label->SetCaption(prefix + pipeline->GetFieldAsString(field)); }
};

// Page 100 mm high on the 82 mm roll, 10 mm margins: 80 mm of body.
class GroupReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    ppRegisterEngineUnit();
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"Region", "City", "No"});
    report.reset(new TppReport(nullptr));
    testing_support::PrintOnZolmet(report.get());
    report->SetPageLimit(50);
    TppPageDef* def = report->PrinterSetup()->PageDef();
    def->SetmmHeight(100000);
    def->SetmmMarginTop(10000);
    def->SetmmMarginBottom(10000);
    report->SetDataPipeline(data.get());
  }
  void TearDown() override {
    report.reset();
    labels.clear();
    data.reset();
    Printers::TearDown();
  }
  void Row(const std::string& region, const std::string& city) {
    std::string no = std::to_string(data->RecordCount() + 1);
    data->AddRecord({{"Region", TValue(region)}, {"City", TValue(city)}, {"No", TValue(no)}});
  }
  // A 10 mm band whose label shows PREFIX and FIELD.
  TppLabel* Label(TppBand* band, const std::string& prefix, const std::string& field) {
    band->SetHeight(10);
    auto* label = new TppLabel(nullptr);
    labels.emplace_back(label);
    label->SetBand(static_cast<TppCustomBand*>(band));
    label->SetUserName(prefix.substr(0, prefix.size() - 1) + "Label");
    takers.push_back({label, prefix, field, data.get()});
    return label;
  }
  // Binds the band events once every label is made (the list no longer moves).
  void Bind() {
    for (TFieldLabel& t : takers) t.label->Band()->BeforePrint = cls::TNotifyEvent(&t, &TFieldLabel::Take);
  }
  TppGroup* Group(const std::string& field, const std::string& tag) {
    auto* g = new TppGroup(nullptr);
    g->SetReport(report.get());
    g->SetDataPipeline(data.get());
    g->SetBreakName(field);
    auto* h = new TppGroupHeaderBand(nullptr);
    h->SetGroup(g);
    auto* f = new TppGroupFooterBand(nullptr);
    f->SetGroup(g);
    Label(h, "H" + tag + " ", field);
    Label(f, "F" + tag + " ", field);
    return g;
  }
  TppDetailBand* Detail() {
    auto* d = new TppDetailBand(nullptr);
    d->SetReport(report.get());
    Label(d, "D ", "No");
    return d;
  }
  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  std::vector<cls::Owned<TppLabel>> labels;
  std::vector<TFieldLabel> takers;
};

}  // namespace

TEST_F(GroupReport, NestedGroupsPrintedPageByPage) {
  Group("Region", "0");
  Group("City", "1");
  Detail();
  Bind();
  Row("A", "x");
  Row("A", "x");
  Row("A", "y");
  Row("B", "z");
  report->Print();
  using P = std::vector<std::vector<std::string>>;
  EXPECT_EQ(PrintedTexts(), (P{{"H0 A", "H1 x", "D 1", "D 2", "F1 x", "H1 y", "D 3", "F1 y"},
                               {"H0 A", "F0 A", "H0 B", "H1 z", "D 4", "F1 z", "F0 B"}}));
}

TEST_F(GroupReport, GroupBreaksOnALabelsTextUntilTheLabelGoes) {
  TppLabel* key = Label(Detail(), "K ", "Region");
  key->SetmmLeft(30000);
  takers.pop_back();  // the key label follows the record itself
  struct TFollow {
    TppLabel* label;
    TppListPipeline* data;
    void Moved(cls::TObject*) {
      if (!data->Eof()) label->SetCaption(data->GetFieldAsString("Region"));
    }
  } follow{key, data.get()};
  data->OnRecordPositionChange = cls::TNotifyEvent(&follow, &TFollow::Moved);
  auto* g = new TppGroup(nullptr);
  g->SetReport(report.get());
  g->SetBreakType(btCustomField);
  g->SetBreakName("KLabel");
  ASSERT_EQ(g->BreakName(), "KLabel");
  EXPECT_EQ(g->BreakComponent(), key);
  auto* f = new TppGroupFooterBand(nullptr);
  f->SetGroup(g);
  Label(f, "F ", "Region");
  Bind();
  Row("A", "");
  Row("A", "");
  Row("B", "");
  report->Print();
  using P = std::vector<std::vector<std::string>>;
  EXPECT_EQ(PrintedTexts(), (P{{"D 1", "A", "D 2", "A", "F A", "D 3", "B", "F B"}}));
  // The label goes: the group forgets it and breaks on nothing.
  for (auto& l : labels)
    if (l.get() == key) l.reset();
  EXPECT_EQ(g->BreakName(), "");
  EXPECT_EQ(g->BreakComponent(), nullptr);
  EXPECT_EQ(g->CurrentValue(), "");
  data->OnRecordPositionChange = cls::TNotifyEvent();
}
