// Groups through the page generation engine over the list pipeline: nested
// breaks with footers continued on the next page, keep-together, NewPage
// groups, page numbers within a run, columns down the page, master-detail
// stepping, break values from bad input, and runs that can never fit.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/testroot.h"

using namespace engine_doubles;

namespace {

using TValue = TppListPipeline::TValue;

// A box showing TAG and the current record's FIELDS of PIPELINE.
class TValueBox : public TFixed {
  CLS_DECLARE_CLASS(TValueBox, TFixed)
 public:
  explicit TValueBox(cls::TComponent* owner) : TFixed(owner) { SetDrawCommandClass(&TppDrawText::StaticClass()); }
  void PropertiesToDrawCommand(TppDrawCommand* c) override {
    TFixed::PropertiesToDrawCommand(c);
    std::string text = tag;
    for (const std::string& f : fields) text += " " + (pipeline ? pipeline->GetFieldAsString(f) : std::string());
    static_cast<TppDrawText*>(c)->SetText(text);
  }
  std::string tag;
  std::vector<std::string> fields;
  TppDataPipeline* pipeline = nullptr;
};
CLS_IMPLEMENT_COMPONENT(TValueBox)

struct TShown {
  std::string text;
  int32_t left, top;
};

struct TGroupPage {
  int32_t no, pageNo, pageCount;
  std::vector<TShown> shown;
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const TShown& s : shown) out.push_back(s.text);
    return out;
  }
  std::vector<int32_t> Tops() const {
    std::vector<int32_t> out;
    for (const TShown& s : shown) out.push_back(s.top / 1000);
    return out;
  }
};

// Keeps the texts of every final page.
class TGroupReport : public TppReport {
  CLS_DECLARE_CLASS(TGroupReport, TppReport)
 public:
  explicit TGroupReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    if (p->Final()) {
      TGroupPage page{p->AbsolutePageNo(), p->PageNo(), p->PageCount(), {}};
      for (int i = 0; i < p->GetDrawCommandCount(); ++i)
        if (auto* t = cls::ObjectAs<TppDrawText>(p->GetDrawCommand(i)))
          page.shown.push_back({t->Text(), t->Left(), t->Top()});
      pages.push_back(page);
    }
    TppReport::SendPage(sender);
  }
  void SetReading(bool on) { SetStateFlag(cls::csReading, on); }
  std::vector<TGroupPage> pages;
};
CLS_IMPLEMENT_COMPONENT(TGroupReport)

// Page 80 x 100 mm, 10 mm margins: the body runs from 10 to 90 mm. Bands
// are 10 mm with one box; a run of more than 50 pages is a hang.
struct Groups : TReportTest<TGroupReport> {
  void SetUp() override {
    ppRegisterEngineUnit();
    MakeReport(80000, 100000, 10000);
    report->SetPageLimit(50);
    data = new TppListPipeline(nullptr);
    data->SetFieldNames({"Region", "City", "No"});
    report->SetDataPipeline(data);
  }
  void TearDown() override {
    TReportTest::TearDown();
    data->Free();
  }
  void Rows(std::initializer_list<std::pair<const char*, const char*>> rows) {
    for (auto [region, city] : rows) Row(region, city);
  }
  void Row(const std::string& region, const std::string& city = "") {
    int no = data->RecordCount() + 1;
    data->AddRecord({{"Region", TValue(region)}, {"City", TValue(city)}, {"No", TValue(std::to_string(no))}});
  }
  TValueBox* Box(TppBand* band, const std::string& tag, std::vector<std::string> fields, float height = 10,
                 TppDataPipeline* pipeline = nullptr) {
    band->SetHeight(height);
    auto* c = new TValueBox(nullptr);
    owned.push_back(c);
    c->SetBand(static_cast<TppCustomBand*>(band));
    c->SetmmHeight(static_cast<int32_t>(height * 1000));
    c->SetmmWidth(20000);
    c->tag = tag;
    c->fields = std::move(fields);
    c->pipeline = pipeline ? pipeline : data;
    return c;
  }
  TppDetailBand* Detail(float height = 10) {
    auto* d = new TppDetailBand(nullptr);
    d->SetReport(report);
    Box(d, "D", {"No"}, height);
    return d;
  }
  // A group on FIELD with header tag H<n> and footer tag F<n>.
  TppGroup* Group(const std::string& field, float height = 10) {
    auto* g = new TppGroup(nullptr);
    int n = report->GroupCount();
    g->SetReport(report);
    g->SetDataPipeline(data);
    g->SetBreakName(field);
    auto* h = new TppGroupHeaderBand(nullptr);
    h->SetGroup(g);
    auto* f = new TppGroupFooterBand(nullptr);
    f->SetGroup(g);
    if (height > 0) {
      Box(h, "H" + std::to_string(n), {field}, height);
      Box(f, "F" + std::to_string(n), {field}, height);
    }
    return g;
  }
  void Run(TppPageSettingType setting = TppPageSettingType::psAll) {
    TppPageRequest request;
    request.SetPageSetting(setting);
    report->PageRequest(report, &request);
  }
  std::vector<std::vector<std::string>> Texts() const {
    std::vector<std::vector<std::string>> out;
    for (const TGroupPage& p : report->pages) out.push_back(p.Texts());
    return out;
  }
  using Pages = std::vector<std::vector<std::string>>;
  TppListPipeline* data = nullptr;
};

}  // namespace

// ---- breaks ----

TEST_F(Groups, NestedBreaksContinueTheOuterFooterUnderItsHeader) {
  Group("Region");
  Group("City");
  Detail();
  Rows({{"A", "x"}, {"A", "x"}, {"A", "y"}, {"B", "z"}});
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[0].Texts(),
            (std::vector<std::string>{"H0 A", "H1 x", "D 1", "D 2", "F1 x", "H1 y", "D 3", "F1 y"}));
  EXPECT_EQ(report->pages[0].Tops(), (std::vector<int32_t>{10, 20, 30, 40, 50, 60, 70, 80}));
  // The footer that found no room comes under its reprinted header.
  EXPECT_EQ(report->pages[1].Texts(),
            (std::vector<std::string>{"H0 A", "F0 A", "H0 B", "H1 z", "D 4", "F1 z", "F0 B"}));
  EXPECT_EQ(report->pages[1].Tops(), (std::vector<int32_t>{10, 20, 30, 40, 50, 60, 70}));
}

TEST_F(Groups, WithoutHeaderForOrphanedFooterTheFooterStandsAlone) {
  TppGroup* outer = Group("Region");
  Group("City");
  Detail();
  Rows({{"A", "x"}, {"A", "x"}, {"A", "y"}, {"B", "z"}});
  outer->SetHeaderForOrphanedFooter(false);
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"F0 A", "H0 B", "H1 z", "D 4", "F1 z", "F0 B"}));
}

TEST_F(Groups, HeadersReprintOnContinuationPagesOnlyWhenAsked) {
  TppGroup* g = Group("Region");
  Detail();
  for (int i = 0; i < 10; ++i) Row("A");
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"H0 A", "D 8", "D 9", "D 10", "F0 A"}));
  report->pages.clear();
  g->SetReprintOnSubsequentPage(false);
  report->StartJob();
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"D 8", "D 9", "D 10", "F0 A"}));
}

TEST_F(Groups, NewPageGroupInsideNewPageGroupTakesOnePage) {
  Group("Region")->SetNewPage(true);
  Group("City")->SetNewPage(true);
  Detail();
  Rows({{"A", "x"}, {"A", "y"}, {"B", "z"}});
  Run();
  // Only the inner break on page 2, both breaks on page 3: one new page each.
  EXPECT_EQ(Texts(), (Pages{{"H0 A", "H1 x", "D 1", "F1 x"},
                            {"H0 A", "H1 y", "D 2", "F1 y", "F0 A"},
                            {"H0 B", "H1 z", "D 3", "F1 z", "F0 B"}}));
}

TEST_F(Groups, PageFooterShowsTheLastRecordPrintedOnItsPage) {
  Group("Region");
  Detail();
  auto* footer = new TppFooterBand(nullptr);
  footer->SetReport(report);
  Box(footer, "PF", {"No"});
  // 70 mm of body: a header and six details on page 1.
  for (int i = 0; i < 9; ++i) Row("A");
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[0].Texts().back(), "PF 6");
  EXPECT_EQ(report->pages[0].Texts()[6], "D 6");
  EXPECT_EQ(report->pages[1].Texts().back(), "PF 9");
}

TEST_F(Groups, BreakValuesAndTheirHandlers) {
  TppGroup* g = Group("Region");
  Detail();
  Rows({{"A", "x"}, {"a", "y"}, {"a", "z"}});
  Run();
  // Letter case breaks; equal values do not.
  EXPECT_EQ(report->pages[0].Texts(), (std::vector<std::string>{"H0 A", "D 1", "F0 A", "H0 a", "D 2", "D 3", "F0 a"}));
  EXPECT_EQ(g->BreakNo(), 2);
  // A handler that folds the case makes one run.
  struct TFold {
    void Fold(cls::TObject*, std::string& v) {
      for (char& c : v) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
  } fold;
  g->OnGetBreakValue = cls::TMethodPointer<void(cls::TObject*, std::string&)>(&fold, &TFold::Fold);
  report->pages.clear();
  report->StartJob();
  Run();
  EXPECT_EQ(report->pages[0].Texts(), (std::vector<std::string>{"H0 A", "D 1", "D 2", "D 3", "F0 a"}));
}

TEST_F(Groups, BandCaptionsNameTheGroupAndItsBreak) {
  TppGroup* outer = Group("Region");
  TppGroup* inner = Group("City");
  EXPECT_EQ(outer->HeaderBand()->Description(), "Group Header[0]: Region");
  EXPECT_EQ(inner->FooterBand()->Description(), "Group Footer[1]: City");
  inner->SetBreakName("No");
  EXPECT_EQ(inner->HeaderBand()->Caption(), "Group Header[1]: No");
  // The outer group goes: the inner one is group 0 now.
  outer->SetReport(nullptr);
  EXPECT_EQ(inner->HeaderBand()->Caption(), "Group Header[0]: No");
  // No break name yet.
  inner->SetBreakName("");
  EXPECT_EQ(inner->HeaderBand()->Caption(), "Group Header[0]: " + ppLoadStr(301));
  inner->SetBreakType(btCustomField);
  EXPECT_EQ(inner->FooterBand()->Caption(), "Group Footer[0]: " + ppLoadStr(300));
  inner->HeaderBand()->LanguageChanged();
  EXPECT_EQ(inner->HeaderBand()->Caption(), "Group Header[0]: " + ppLoadStr(300));
  outer->Free();
}

TEST_F(Groups, BadBreakSourcesGiveAnEmptyValue) {
  TppGroup* g = Group("Missing");
  Detail();
  Rows({{"A", "x"}, {"B", "y"}});
  data->Open();
  data->TraverseFirst();
  EXPECT_EQ(g->CurrentValue(), "");
  g->SetDataPipeline(nullptr);
  EXPECT_EQ(g->CurrentValue(), "");
  // A component that is no text cannot be a break; the name is dropped.
  g->SetBreakType(btCustomField);
  g->SetBreakName("D");
  EXPECT_EQ(g->BreakName(), "");
  EXPECT_EQ(g->BreakComponent(), nullptr);
  EXPECT_EQ(g->CurrentValue(), "");
  data->Close();
  // One run, no crash.
  g->SetBreakType(btDataField);
  g->SetBreakName("Missing");
  g->SetDataPipeline(data);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(report->pages[0].Texts().size(), 4u);
}

TEST_F(Groups, ThresholdMovesARunThatWouldStartLow) {
  TppGroup* g = Group("Region");
  Detail();
  Rows({{"A", ""}, {"A", ""}, {"A", ""}, {"B", ""}});
  // The second run's header would start at 60 mm with 30 mm left.
  g->SetNewPageThreshold(31);
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"H0 B", "D 4", "F0 B"}));
  report->pages.clear();
  g->SetNewPageThreshold(30);
  report->StartJob();
  Run();
  EXPECT_EQ(report->pages.size(), 1u);
}

// ---- keep together ----

TEST_F(Groups, KeepTogetherMovesARunThatDoesNotFitOnce) {
  TppGroup* g = Group("Region");
  Detail();
  Rows({{"x", ""}, {"x", ""}, {"x", ""}, {"y", ""}, {"y", ""}, {"y", ""}});
  g->SetKeepTogether(true);
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[0].Texts(), (std::vector<std::string>{"H0 x", "D 1", "D 2", "D 3", "F0 x"}));
  EXPECT_EQ(report->pages[0].Tops(), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"H0 y", "D 4", "D 5", "D 6", "F0 y"}));
  EXPECT_EQ(report->pages[1].Tops(), (std::vector<int32_t>{10, 20, 30, 40, 50}));
  report->pages.clear();
  g->SetKeepTogether(false);
  report->StartJob();
  Run();
  EXPECT_EQ(Texts(), (Pages{{"H0 x", "D 1", "D 2", "D 3", "F0 x", "H0 y", "D 4", "D 5"}, {"H0 y", "D 6", "F0 y"}}));
}

TEST_F(Groups, KeepTogetherRunLongerThanAPageMovesOnceThenSplits) {
  TppGroup* g = Group("Region");
  Detail();
  Rows({{"x", ""}, {"x", ""}, {"x", ""}});
  for (int i = 0; i < 9; ++i) Row("y");
  g->SetKeepTogether(true);
  Run();
  ASSERT_EQ(report->pages.size(), 3u);
  EXPECT_EQ(report->pages[0].Texts().back(), "F0 x");
  EXPECT_EQ(report->pages[1].Texts(),
            (std::vector<std::string>{"H0 y", "D 4", "D 5", "D 6", "D 7", "D 8", "D 9", "D 10"}));
  EXPECT_EQ(report->pages[2].Texts(), (std::vector<std::string>{"H0 y", "D 11", "D 12", "F0 y"}));
}

TEST_F(Groups, KeepTogetherAndNewPageExcludeEachOther) {
  TppGroup* g = Group("Region");
  g->SetNewPage(true);
  g->SetNewColumn(true);
  g->SetKeepTogether(true);
  EXPECT_FALSE(g->NewPage());
  EXPECT_FALSE(g->NewColumn());
  g->SetNewPage(true);
  EXPECT_FALSE(g->KeepTogether());
  auto* loose = new TppGroup(nullptr);
  EXPECT_EQ(loose->GroupNo(), -1);
  loose->Free();
}

// ---- page numbers ----

TEST_F(Groups, ResetPageNoNumbersThePagesOfEachRun) {
  TppGroup* g = Group("Region", 0);
  g->SetNewPage(true);
  g->SetResetPageNo(true);
  Detail();
  for (int i = 0; i < 20; ++i) Row("A");
  for (int i = 0; i < 5; ++i) Row("B");
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  Run();
  ASSERT_EQ(report->pages.size(), 4u);
  std::vector<int32_t> no, count;
  for (const TGroupPage& p : report->pages) {
    no.push_back(p.pageNo);
    count.push_back(p.pageCount);
  }
  EXPECT_EQ(no, (std::vector<int32_t>{1, 2, 3, 1}));
  EXPECT_EQ(count, (std::vector<int32_t>{3, 3, 3, 1}));
  EXPECT_EQ(report->pages[3].Texts().front(), "D 21");
}

namespace {
// Groups on a system root of their own, where the page cache can move to files.
struct GroupsOnDisk : Groups {
  testing_support::TempRoot root;
};
}  // namespace

TEST_F(GroupsOnDisk, RunPageNumbersArePatchedIntoCacheFiles) {
  TppGroup* g = Group("Region", 0);
  g->SetNewPage(true);
  g->SetResetPageNo(true);
  Detail();
  for (int i = 0; i < 20; ++i) Row("A");
  for (int i = 0; i < 5; ++i) Row("B");
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  // Memory is full after a few pages: the caches move to files.
  report->CacheManager()->SetMemoryStreamLimit(200);
  Run();
  ASSERT_TRUE(report->CacheManager()->FileMode());
  std::vector<int32_t> no, count;
  for (const TGroupPage& p : report->pages) {
    no.push_back(p.pageNo);
    count.push_back(p.pageCount);
  }
  EXPECT_EQ(no, (std::vector<int32_t>{1, 2, 3, 1}));
  EXPECT_EQ(count, (std::vector<int32_t>{3, 3, 3, 1}));
}

// ---- columns ----

TEST_F(Groups, TwoColumnsDownThePage) {
  Detail();
  for (int i = 0; i < 10; ++i) Row("A");
  report->SetColumns(2);
  report->SetColumnWidth(30);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  const auto& shown = report->pages[0].shown;
  ASSERT_EQ(shown.size(), 10u);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(shown[i].text, "D " + std::to_string(i + 1));
    EXPECT_EQ(shown[i].left, i < 8 ? 10000 : 40000) << i;
    EXPECT_EQ(shown[i].top, (i < 8 ? 10000 + i * 10000 : 10000 + (i - 8) * 10000)) << i;
  }
}

TEST_F(Groups, ColumnsWithoutAWidthPrintOneColumn) {
  Detail();
  for (int i = 0; i < 10; ++i) Row("A");
  report->SetReading(true);
  report->SetColumns(2);
  report->SetReading(false);
  ASSERT_EQ(report->Columns(), 2);
  ASSERT_LE(report->mmColumnWidth(), 0);
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  for (const TShown& s : report->pages[0].shown) EXPECT_EQ(s.left, 10000);
  EXPECT_EQ(report->pages[1].Texts(), (std::vector<std::string>{"D 9", "D 10"}));
}

TEST_F(Groups, ColumnPositionThatIsNoNumberIsAMissingPosition) {
  Detail();
  for (int i = 0; i < 10; ++i) Row("A");
  report->SetColumns(2);
  report->SetColumnWidth(30);
  cls::TStringList positions;
  positions.Add("10");
  positions.Add("40");
  report->SetColumnPositions(positions);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(report->pages[0].shown.back().left, 40000);
  // As a stream may leave it: the second entry is no number.
  const_cast<cls::TStringList&>(report->StoredColumnPositions()).Put(1, "4O000");
  report->pages.clear();
  report->StartJob();
  try {
    Run();
    FAIL() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_NE(e.Message().find("Unable to find position for column 2.."), std::string::npos) << e.Message();
  }
}

TEST_F(Groups, KeepTogetherAndNewColumnInColumns) {
  // Region starts each run in a new column, City keeps its runs together.
  Group("Region", 0)->SetNewColumn(true);
  Group("City")->SetKeepTogether(true);
  Detail();
  Rows({{"A", "p"}, {"A", "p"}, {"A", "p"}, {"A", "q"}, {"A", "q"}, {"A", "q"}, {"B", "r"}, {"B", "r"}});
  report->SetColumns(2);
  report->SetColumnWidth(30);
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  auto column = [this](size_t page, int32_t left) {
    std::vector<std::string> out;
    for (const TShown& s : report->pages[page].shown)
      if (s.left == left) out.push_back(s.text + "@" + std::to_string(s.top / 1000));
    return out;
  };
  using V = std::vector<std::string>;
  // Run q does not fit under run p: it moves whole to the next column.
  EXPECT_EQ(column(0, 10000), (V{"H1 p@10", "D 1@20", "D 2@30", "D 3@40", "F1 p@50"}));
  EXPECT_EQ(column(0, 40000), (V{"H1 q@10", "D 4@20", "D 5@30", "D 6@40", "F1 q@50"}));
  // Region B takes a new column: the next page's first.
  EXPECT_EQ(column(1, 10000), (V{"H1 r@10", "D 7@20", "D 8@30", "F1 r@40"}));
  EXPECT_TRUE(column(1, 40000).empty());
}

// ---- master and detail ----

TEST_F(Groups, MasterDetailEndsWithTheMastersLastDetail) {
  auto* details = new TppListPipeline(nullptr);
  owned.push_back(details);
  details->SetFieldNames({"Item"});
  details->AddRecord({{"Item", TValue(std::string("d1"))}});
  details->AddRecord({{"Item", TValue(std::string("d2"))}});
  Row("M1");
  Row("M2");
  auto* detail = new TppDetailBand(nullptr);
  detail->SetReport(report);
  detail->SetDataPipeline(details);
  Box(detail, "D", {"Item"}, 10, details)->fields = {"Item"};
  auto* summary = new TppSummaryBand(nullptr);
  summary->SetReport(report);
  Box(summary, "S", {});
  Run();
  EXPECT_EQ(Texts(), (Pages{{"D d1", "D d2", "D d1", "D d2", "S"}}));
  // Pipelines that flag their last record while on it: when neither has
  // a record left, the master reaches its end (nothing moving would print
  // the last detail again and again).
  struct TFlagLast {
    static void OnNext(void*, cls::TObject* sender) {
      auto* p = static_cast<TppListPipeline*>(sender);
      if (!p->Eof() && p->RecordIndex() == p->RecordCount() - 1) p->SetRecordFlags(ppLastRecord);
    }
  };
  details->OnNext = cls::TNotifyEvent(nullptr, &TFlagLast::OnNext);
  data->OnNext = cls::TNotifyEvent(nullptr, &TFlagLast::OnNext);
  report->pages.clear();
  report->StartJob();
  Run();
  EXPECT_EQ(Texts(), (Pages{{"D d1", "D d2", "D d1", "D d2", "S"}}));
}

// ---- what can never fit ----

TEST_F(Groups, ReprintedHeaderLeavingNoRoomEndsTheReport) {
  Group("Region", 60);
  Detail(30);
  Rows({{"A", ""}, {"A", ""}});
  report->SetPageLimit(0);
  try {
    Run();
    FAIL() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_NE(e.Message().find("does not fit"), std::string::npos) << e.Message();
  }
  EXPECT_LE(report->pages.size(), 3u);
}

TEST_F(Groups, ReprintedHeaderLeavingNoRoomForTheFooterEndsTheReport) {
  TppGroup* g = Group("Region");
  Detail();
  Rows({{"A", ""}, {"A", ""}});
  // The footer does not fit under the two rows, and never under the 60 mm
  // header that comes back with it.
  g->HeaderBand()->SetHeight(60);
  g->FooterBand()->SetHeight(30);
  report->SetPageLimit(0);
  EXPECT_THROW(Run(), EPrintError);
  EXPECT_LE(report->pages.size(), 3u);
}
