// Subreports through whole runs of the report component: child rows poured
// into the parent's page (pbChild), confined to the design box (pbFixed),
// printed as pages of their own (pbSection, also as a job of its own), the
// never-fits guard, failures inside the child, drill-down, and the report's
// subreport hooks.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/spool/printerdef.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppRegion.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppOutline.h"
#include "report/engine/ppSubRpt.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/testroot.h"

using namespace engine_doubles;

namespace {

// A row label: it prints the record its band's pipeline is on (1-based)
// into the command's Tag.
class TRow : public TFixed {
  CLS_DECLARE_CLASS(TRow, TFixed)
 public:
  explicit TRow(cls::TComponent* owner) : TFixed(owner) {}
  void Generate() override {
    record = pipeline ? pipeline->RecordIndex() + 1 : 0;
    if (failAt && record == failAt) throw std::runtime_error("row " + std::to_string(record) + " is broken");
    TFixed::Generate();
  }
  void PropertiesToDrawCommand(TppDrawCommand* c) override {
    TFixed::PropertiesToDrawCommand(c);
    c->SetTag(record);
  }
  TppListPipeline* pipeline = nullptr;
  int record = 0;
  int failAt = 0;
};
CLS_IMPLEMENT_COMPONENT(TRow)

struct TCommand {
  cls::TComponent* component;
  int32_t left, top;
  int64_t record;
};
struct TSentPage {
  int32_t no;
  std::vector<TCommand> commands;
  int32_t pageNo = 0, pageCount = 0;
};

class TRecordingReport : public TppReport {
  CLS_DECLARE_CLASS(TRecordingReport, TppReport)
 public:
  explicit TRecordingReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    if (!p->Calculation()) {
      TSentPage page{p->AbsolutePageNo(), {}, p->PageNo(), p->PageCount()};
      for (int i = 0; i < p->GetDrawCommandCount(); ++i) {
        TppDrawCommand* c = p->GetDrawCommand(i);
        if (c == p->GetOutlineDrawCommand()) continue;  // the report's outline, not a component's
        page.commands.push_back({c->Component(), c->Left(), c->Top(), c->Tag()});
      }
      pages.push_back(page);
    }
    TppReport::SendPage(sender);
  }
  std::vector<TSentPage> pages;
};
CLS_IMPLEMENT_COMPONENT(TRecordingReport)

// Millimetres, a page of 80 x 100 mm with 10 mm margins: the body runs
// from 10 to 90 mm.
struct SubReports : TReportTest<TRecordingReport> {
  void SetUp() override {
    ppRegisterEngineUnit();
    MakeReport(80000, 100000, 10000);
  }
  // The components go before the report here.
  void TearDown() override {
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) (*it)->Free();
    if (report) report->Free();
    for (auto* p : pipelines) p->Free();
  }
  TppListPipeline* Records(int count) {
    auto* p = new TppListPipeline(nullptr);
    pipelines.push_back(p);
    p->SetFieldNames({"No", "Kind"});
    for (int i = 1; i <= count; ++i)
      p->AddRecord(
          {{"No", TppListPipeline::TValue(int64_t{i})}, {"Kind", TppListPipeline::TValue(std::string("row"))}});
    return p;
  }
  template <class T>
  T* AddBand(TppCustomReport* r, float height) {
    auto* b = new T(nullptr);
    b->SetReport(r);
    b->SetHeight(height);
    return b;
  }
  // A subreport at top 5 mm of BAND whose child has a 10 mm detail band of
  // one row over CHILDROWS records.
  TppSubReport* SubReport(TppCustomBand* band, TppPrintBehaviorType behavior, int childRows) {
    auto* sub = Add<TppSubReport>(band, 5000, 25000);
    sub->SetPrintBehavior(behavior);
    TppListPipeline* records = Records(childRows);
    sub->SetDataPipeline(records);
    auto* detail = AddBand<TppDetailBand>(sub->Report(), 10);
    childRow = Add<TRow>(detail, 0, 10000);
    childRow->pipeline = records;
    return sub;
  }
  // The report's records, one per region given.
  TppListPipeline* Regions(std::initializer_list<const char*> regions) {
    auto* p = new TppListPipeline(nullptr);
    pipelines.push_back(p);
    p->SetFieldNames({"Region"});
    for (const char* region : regions) p->AddRecord({{"Region", TppListPipeline::TValue(std::string(region))}});
    report->SetDataPipeline(p);
    return p;
  }
  // A group of REPORT breaking on FIELD of PIPELINE, with empty bands.
  TppGroup* Group(TppCustomReport* r, TppDataPipeline* pipeline, const std::string& field) {
    auto* g = new TppGroup(nullptr);
    g->SetReport(r);
    g->SetDataPipeline(pipeline);
    g->SetBreakName(field);
    (new TppGroupHeaderBand(nullptr))->SetGroup(g);
    (new TppGroupFooterBand(nullptr))->SetGroup(g);
    return g;
  }
  // A parent detail band of 10 mm over PARENTROWS records.
  TppDetailBand* ParentDetail(int parentRows) {
    TppListPipeline* records = Records(parentRows);
    report->SetDataPipeline(records);
    parentPipeline = records;
    return AddBand<TppDetailBand>(report, 10);
  }
  void RequestAll() {
    TppPageRequest request;
    request.SetPageSetting(TppPageSettingType::psAll);
    report->PageRequest(report, &request);
  }
  // Tops (mm) and records of COMPONENT's commands on PAGE.
  static std::vector<std::pair<int32_t, int64_t>> RowsOf(const TSentPage& page, cls::TComponent* component) {
    std::vector<std::pair<int32_t, int64_t>> out;
    for (const TCommand& c : page.commands)
      if (c.component == component) out.emplace_back(c.top / 1000, c.record);
    return out;
  }
  std::vector<std::pair<int32_t, int64_t>> Rows(size_t index, cls::TComponent* component) const {
    return RowsOf(report->pages.at(index), component);
  }
  int CountOf(cls::TComponent* component) const {
    int n = 0;
    for (const TSentPage& p : report->pages)
      for (const TCommand& c : p.commands) n += c.component == component;
    return n;
  }
  using TRows = std::vector<std::pair<int32_t, int64_t>>;

  TppListPipeline* parentPipeline = nullptr;
  TRow* childRow = nullptr;
  std::vector<TppListPipeline*> pipelines;
};

}  // namespace

// ---- pbChild ----

TEST_F(SubReports, ChildRowsFollowEachParentRecord) {
  TppDetailBand* detail = ParentDetail(2);
  SubReport(detail, pbChild, 3);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(Rows(0, childRow), (TRows{{15, 1}, {25, 2}, {35, 3}, {50, 1}, {60, 2}, {70, 3}}));
  for (const TCommand& c : report->pages[0].commands) EXPECT_EQ(c.left, 10000);
}

TEST_F(SubReports, ChildLongerThanTheRoomGoesOnOnTheNextPage) {
  TppDetailBand* detail = ParentDetail(2);
  SubReport(detail, pbChild, 10);
  RequestAll();
  ASSERT_GE(report->pages.size(), 3u);
  EXPECT_EQ(Rows(0, childRow), (TRows{{15, 1}, {25, 2}, {35, 3}, {45, 4}, {55, 5}, {65, 6}, {75, 7}}));
  // Rows 8-10 from the top, then the second parent record's child starts
  // 5 mm below them and goes on over a page.
  EXPECT_EQ(Rows(1, childRow), (TRows{{10, 8}, {20, 9}, {30, 10}, {45, 1}, {55, 2}, {65, 3}, {75, 4}}));
  EXPECT_EQ(Rows(2, childRow), (TRows{{10, 5}, {20, 6}, {30, 7}, {40, 8}, {50, 9}, {60, 10}}));
  EXPECT_EQ(CountOf(childRow), 20);
}

TEST_F(SubReports, TwoPassRunPrintsWhatTheFirstPassMade) {
  TppDetailBand* detail = ParentDetail(2);
  SubReport(detail, pbChild, 10);
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  RequestAll();
  // The second pass makes every page again from the page records.
  // The first pass draws the page asked for (page 1) and counts the rest.
  ASSERT_EQ(report->pages.size(), 4u);
  EXPECT_EQ(Rows(0, childRow), Rows(1, childRow));
  EXPECT_EQ(Rows(2, childRow), (TRows{{10, 8}, {20, 9}, {30, 10}, {45, 1}, {55, 2}, {65, 3}, {75, 4}}));
  EXPECT_EQ(Rows(3, childRow), (TRows{{10, 5}, {20, 6}, {30, 7}, {40, 8}, {50, 9}, {60, 10}}));
}

TEST_F(SubReports, PagesRebuiltFromTheCacheGoOnWithTheChild) {
  TppDetailBand* detail = ParentDetail(2);
  TppSubReport* sub = SubReport(detail, pbChild, 10);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 3u);
  const std::vector<TSentPage> first = report->pages;
  // Each page again, alone, from the state cached for the page before it:
  // the child goes on where that page left it.
  for (int page : {2, 3, 1, 3}) {
    report->pages.clear();
    TppPageRequest request;
    request.SetPageSetting(TppPageSettingType::psSinglePage);
    request.SetPageRequested(page);
    report->PageRequest(report, &request);
    ASSERT_EQ(report->pages.size(), 1u) << page;
    EXPECT_EQ(Rows(0, childRow), RowsOf(first[static_cast<size_t>(page - 1)], childRow)) << "page " << page;
  }
  // Pages 1 and 2 end inside a child (after its page 1); once that child
  // ended they hold its last page number (2), learnt on the report's last
  // page.
  std::vector<int32_t> recorded;
  report->CacheManager()->WalkRecordsBack(sub, [&](uint8_t* record) {
    int32_t no = 0;
    std::memcpy(&no, record + 16, 4);
    recorded.insert(recorded.begin(), no);
    return true;
  });
  ASSERT_EQ(recorded.size(), 4u);  // page 0 (the start) to page 3
  EXPECT_EQ(recorded[1], 2);
  EXPECT_EQ(recorded[2], 2);
}

TEST_F(SubReports, ChildNewPageGroupStartsOnAFreshPage) {
  TppDetailBand* detail = ParentDetail(2);
  TppSubReport* sub = SubReport(detail, pbChild, 3);
  Group(sub->Report(), sub->Report()->DataPipeline(), "Kind")->SetNewPage(true);
  RequestAll();
  // The first record's child starts the page; under the second record the
  // parent's page is no longer fresh, so its child's first run takes the
  // next page, and the band with it.
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(Rows(0, childRow), (TRows{{15, 1}, {25, 2}, {35, 3}}));
  EXPECT_EQ(Rows(1, childRow), (TRows{{15, 1}, {25, 2}, {35, 3}}));
}

TEST_F(SubReports, ChildRowsAskForANewPageUnlessThePageHeaderHoldsThem) {
  // A subreport in the page header and one in the detail band; after each
  // band the parent's flag tells whether the child's rows asked for a new
  // page (the parent's own test of the band comes after that).
  auto* header = AddBand<TppHeaderBand>(report, 20);
  SubReport(header, pbChild, 1)->SetmmTop(0);
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* inDetail = SubReport(detail, pbChild, 1);
  static std::vector<bool> asked;
  asked.clear();
  struct TProbe {
    static void AfterGenerate(void* report, cls::TObject*) {
      asked.push_back(static_cast<TppCustomReport*>(report)->Engine()->GetNewPageRequested());
    }
  };
  header->AfterGenerate = cls::TNotifyEvent(report, &TProbe::AfterGenerate);
  detail->AfterGenerate = cls::TNotifyEvent(report, &TProbe::AfterGenerate);
  RequestAll();
  EXPECT_EQ(asked, (std::vector<bool>{false, true}));
  // A child engine asks its parent's when its own flag is clear.
  TppCustomEngine* child = inDetail->Report()->Engine();
  child->TppCustomEngine::SetNewPageRequested(false);
  report->Engine()->SetNewPageRequested(true);
  EXPECT_TRUE(child->GetNewPageRequested());
  report->Engine()->SetNewPageRequested(false);
  EXPECT_FALSE(child->GetNewPageRequested());
}

// ---- pbFixed ----

TEST_F(SubReports, FixedSubReportShowsWhatFitsItsBoxOnly) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbFixed, 5);
  EXPECT_FALSE(sub->Stretch());
  RequestAll();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(Rows(0, childRow), (TRows{{15, 1}, {25, 2}}));
}

TEST_F(SubReports, FixedSubReportTraversingAllDataGoesOnPageByPage) {
  AddBand<TppHeaderBand>(report, 30);
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbFixed, 5);
  sub->SetTraverseAllData(true);
  report->SetPageLimit(10);  // a runaway stops here rather than hang
  RequestAll();
  ASSERT_EQ(report->pages.size(), 3u);
  EXPECT_EQ(Rows(0, childRow), (TRows{{45, 1}, {55, 2}}));
  EXPECT_EQ(Rows(1, childRow), (TRows{{40, 3}, {50, 4}}));
  EXPECT_EQ(Rows(2, childRow), (TRows{{40, 5}}));
  EXPECT_EQ(sub->mmStopPosition(), 0);
}

// ---- pbSection ----

TEST_F(SubReports, SectionPrintsWholePagesAfterTheParentRows) {
  TppDetailBand* detail = ParentDetail(2);
  TRow* parentRow = Add<TRow>(detail, 0, 10000);
  parentRow->pipeline = parentPipeline;
  auto* summary = AddBand<TppSummaryBand>(report, 10);
  TppSubReport* sub = SubReport(summary, pbSection, 12);
  sub->SetmmTop(0);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 3u);
  EXPECT_EQ(Rows(0, parentRow), (TRows{{10, 1}, {20, 2}}));
  EXPECT_TRUE(Rows(0, childRow).empty());
  TRows first, second;
  for (int i = 1; i <= 8; ++i) first.emplace_back(10 * i, i);
  for (int i = 9; i <= 12; ++i) second.emplace_back(10 * (i - 8), i);
  EXPECT_EQ(Rows(1, childRow), first);
  EXPECT_EQ(Rows(2, childRow), second);
  EXPECT_TRUE(Rows(1, parentRow).empty());
  // The section's flags are gone once its last page was sent.
  EXPECT_FALSE(report->Engine()->Flags().Intersects(TppEngineFlag::efSectionPending |
                                                    TppEngineFlag::efSectionGenerating |
                                                    TppEngineFlag::efSectionFinished));
}

TEST_F(SubReports, SectionWithANewPageGroupTakesNoBlankPage) {
  ParentDetail(2);
  auto* summary = AddBand<TppSummaryBand>(report, 10);
  TppSubReport* sub = SubReport(summary, pbSection, 3);
  sub->SetmmTop(0);
  Group(sub->Report(), sub->Report()->DataPipeline(), "No")->SetNewPage(true);
  report->SetPageLimit(20);
  RequestAll();
  // A page for the parent rows, then one per child record.
  ASSERT_EQ(report->pages.size(), 4u);
  EXPECT_TRUE(Rows(0, childRow).empty());
  for (size_t i = 1; i < 4; ++i) EXPECT_EQ(Rows(i, childRow), (TRows{{10, static_cast<int64_t>(i)}})) << i;
}

TEST_F(SubReports, ASectionHasItsOwnOutlineNodeWithItsGroups) {
  ParentDetail(2);
  auto* summary = AddBand<TppSummaryBand>(report, 10);
  TppSubReport* sub = SubReport(summary, pbSection, 3);
  sub->SetmmTop(0);
  sub->SetUserName("Orders");
  Group(sub->Report(), sub->Report()->DataPipeline(), "No")->SetNewPage(true);
  report->SetPageLimit(20);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 4u);
  // Main > Page 1, then the section's node (its caption the subreport's
  // name) holding a node per group break with its page.
  std::function<std::string(const TppOutlineNode*)> describe = [&](const TppOutlineNode* n) {
    std::string s = n->Caption() + "(" + std::to_string(n->PageReference()) + ")";
    for (int i = 0; i < n->ChildCount(); ++i) s += (i ? ", " : " > [") + describe(n->OutlineChild(i));
    return n->ChildCount() ? s + "]" : s;
  };
  ASSERT_NE(report->Outline(), nullptr);
  EXPECT_EQ(describe(report->Outline()->RootNode()),
            "(-1) > [Main(1) > [Page 1(1), Orders(2) > [1(2) > [Page 2(2)], 2(3) > [Page 3(3)], 3(4) > [Page 4(4)]]]]");
  EXPECT_EQ(report->Outline()->RootNode()->OutlineChild(0)->OutlineChild(1)->NodeType(), ntSubReport);
}

TEST_F(SubReports, TwoPassSectionPagesAreNumbered) {
  TppDetailBand* detail = ParentDetail(2);
  Add<TFixed>(detail, 0, 10000);
  auto* summary = AddBand<TppSummaryBand>(report, 10);
  TppSubReport* sub = SubReport(summary, pbSection, 12);
  sub->SetmmTop(0);
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  auto numbers = [this] {
    std::vector<std::pair<int32_t, int32_t>> out;
    for (const TSentPage& p : report->pages) out.emplace_back(p.pageNo, p.pageCount);
    return out;
  };
  using TNumbers = std::vector<std::pair<int32_t, int32_t>>;
  // Numbered by the section: its own pages from 1.
  RequestAll();
  ASSERT_EQ(report->pages.size(), 4u);  // page 1 of the first pass, then all three
  EXPECT_EQ(CountOf(childRow), 12);
  EXPECT_EQ(numbers(), (TNumbers{{1, 1}, {1, 3}, {1, 1}, {2, 2}}));
  // Going on with the report's numbers.
  report->pages.clear();
  sub->SetResetPageNo(false);
  report->StartJob();
  RequestAll();
  ASSERT_EQ(report->pages.size(), 4u);
  EXPECT_EQ(numbers(), (TNumbers{{1, 1}, {1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(SubReports, SectionGoingOnWithTheNumbersOfItsGroupsRun) {
  // Runs A (2 records) and B (1 record), each on pages of its own and
  // numbered from 1; the footer of each holds a section of 12 rows.
  TppListPipeline* parent = Regions({"A", "A", "B"});
  TppGroup* group = Group(report, parent, "Region");
  group->SetNewPage(true);
  group->SetResetPageNo(true);
  auto* parentRow = Add<TRow>(AddBand<TppDetailBand>(report, 10), 0, 10000);
  parentRow->pipeline = parent;
  TppSubReport* sub = SubReport(group->FooterBand(), pbSection, 12);
  sub->SetmmTop(0);
  sub->SetResetPageNo(false);
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  report->SetPageLimit(20);
  RequestAll();
  std::vector<std::pair<int32_t, int32_t>> numbers;
  for (size_t i = 1; i < report->pages.size(); ++i)  // the first pass drew page 1
    numbers.emplace_back(report->pages[i].pageNo, report->pages[i].pageCount);
  EXPECT_EQ(numbers, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}, {3, 3}, {1, 3}, {2, 3}, {3, 3}}));
  EXPECT_EQ(CountOf(childRow), 24);
}

// ---- what never fits ----

TEST_F(SubReports, SubReportsThatCanNeverFitEndWithAnError) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbFixed, 3);
  sub->SetmmHeight(100000);
  report->SetPageLimit(20);
  EXPECT_THROW(RequestAll(), EPrintError);
  EXPECT_LE(report->pages.size(), 3u);

  // A child whose first band is taller than any room the subreport gets
  // (75 mm below its top).
  report->pages.clear();
  sub->SetPrintBehavior(pbChild);
  sub->SetmmHeight(25000);
  childRow->Band()->SetmmHeight(78000);
  childRow->SetmmHeight(78000);
  ASSERT_EQ(childRow->Band()->mmHeight(), 78000);
  try {
    RequestAll();
    FAIL() << "no error after " << report->pages.size() << " pages";
  } catch (const EPrintError& e) {
    EXPECT_EQ(e.Message().rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << e.Message();
  }
  EXPECT_LE(report->pages.size(), 3u);
}

TEST_F(SubReports, ChildNearThePageBottomGoesOnToTheNextPage) {
  AddBand<TppTitleBand>(report, 75);  // 10 to 85: 5 mm left under it
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbChild, 3);
  sub->SetmmTop(0);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_TRUE(Rows(0, childRow).empty());
  EXPECT_EQ(Rows(1, childRow), (TRows{{10, 1}, {20, 2}, {30, 3}}));
}

// ---- failures inside the child ----

TEST_F(SubReports, FailureInTheChildIsTheReportsGenerationFailure) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbChild, 3);
  childRow->failAt = 2;
  try {
    RequestAll();
    FAIL() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_EQ(e.Message(), ppLoadStr(1023) + "\r\n\r\nrow 2 is broken");
  }
  EXPECT_EQ(report->CurrentReport(), report);
  EXPECT_FALSE(sub->Report()->Engine()->OnPageRequest);
  EXPECT_FALSE(report->Engine()->Flags().Contains(TppEngineFlag::efInitialised));
  // The report prints again once the fault is gone.
  childRow->failAt = 0;
  report->pages.clear();
  RequestAll();
  EXPECT_EQ(CountOf(childRow), 3);
}

// ---- settings ----

TEST_F(SubReports, BehaviourSettingsAndRegions) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* sub = SubReport(detail, pbChild, 1);
  EXPECT_EQ(sub->Report()->DefaultBandTypes().Bits(), 146);
  // NewPrintJob on a pbChild subreport: pbSection without the rest.
  sub->SetNewPrintJob(true);
  EXPECT_EQ(sub->PrintBehavior(), pbSection);
  EXPECT_TRUE(sub->Stretch());
  sub->SetPrintBehavior(pbSection);
  EXPECT_FALSE(sub->Stretch());
  EXPECT_EQ(sub->Report()->DefaultBandTypes().Bits(), 273);
  sub->SetParentWidth(false);
  EXPECT_TRUE(sub->ParentWidth());
  // Into a region: pbFixed, and no way back to a section there.
  auto* region = Add<TppRegion>(detail, 0, 30000);
  sub->SetRegion(region);
  EXPECT_EQ(sub->PrintBehavior(), pbFixed);
  EXPECT_FALSE(sub->NewPrintJob());
  sub->SetPrintBehavior(pbSection);
  EXPECT_EQ(sub->PrintBehavior(), pbFixed);
  sub->SetNewPrintJob(true);
  EXPECT_FALSE(sub->NewPrintJob());
  EXPECT_EQ(sub->PrintBehavior(), pbFixed);
  sub->SetRegion(nullptr);  // the fixture frees it, not the region
  // Known by name to streams and scripts.
  EXPECT_EQ(cls::FindClass("TppSubReport"), &TppSubReport::StaticClass());
  EXPECT_EQ(raGetRTTIClass(&TppSubReport::StaticClass()), &TraTppSubReportRTTI::Instance());
}

TEST_F(SubReports, DrillDownComponentBelongsToOneSubReport) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* first = SubReport(detail, pbChild, 1);
  TppSubReport* second = SubReport(detail, pbChild, 1);
  auto* label = Add<TFixed>(detail, 0, 5000);
  first->SetDrillDownComponent(label);
  second->SetDrillDownComponent(label);
  EXPECT_EQ(first->DrillDownComponent(), nullptr);
  EXPECT_EQ(second->DrillDownComponent(), label);
  // A section has none.
  second->SetPrintBehavior(pbSection);
  EXPECT_EQ(second->DrillDownComponent(), nullptr);
  second->SetDrillDownComponent(label);
  EXPECT_EQ(second->DrillDownComponent(), nullptr);
}

TEST_F(SubReports, PublishedForStreams) {
  std::vector<std::string> names;
  for (const cls::TPropInfo* p : cls::GetPropList(&TppSubReport::StaticClass())) names.push_back(p->Name);
  const std::vector<std::string> published = {
      "BottomOffset",  "DataPipeline",    "DrillDownComponent", "ExpandAll",       "KeepTogether",
      "Height",        "Left",            "NewPrintJob",        "OverFlowOffset",  "OutlineSettings",  "ParentPrinterSetup",
      "ParentWidth",   "PrintBehavior",   "ResetPageNo",        "ShiftRelativeTo", "StopPosition",
      "TraverseAllData", "Top",           "Visible",            "Width"};
  // In this order, after what the base classes publish.
  ASSERT_GE(names.size(), published.size());
  EXPECT_EQ(std::vector<std::string>(names.end() - static_cast<std::ptrdiff_t>(published.size()), names.end()),
            published);

  // References go through the setters, and are stored only when set.
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* first = SubReport(detail, pbChild, 1);
  TppSubReport* second = SubReport(detail, pbChild, 1);
  auto* label = Add<TFixed>(detail, 0, 5000);
  const cls::TPropInfo* drillDown = cls::GetPropInfo(first, "DrillDownComponent");
  ASSERT_NE(drillDown, nullptr);
  EXPECT_FALSE(drillDown->IsStored(first));
  cls::SetObjectProp(first, "DrillDownComponent", label);
  cls::SetObjectProp(second, "DrillDownComponent", label);
  EXPECT_EQ(cls::GetObjectProp(first, "DrillDownComponent"), nullptr);
  EXPECT_EQ(cls::GetObjectProp(second, "DrillDownComponent"), label);
  EXPECT_TRUE(drillDown->IsStored(second));
  auto* memo = Add<TppStretchable>(detail, 0, 5000);
  cls::SetObjectProp(first, "ShiftRelativeTo", memo);
  EXPECT_EQ(first->ShiftRelativeTo(), memo);
  second->SetPrintBehavior(pbSection);
  cls::SetObjectProp(second, "ShiftRelativeTo", memo);  // a section shifts with nothing
  EXPECT_EQ(second->ShiftRelativeTo(), nullptr);
  cls::SetFloatProp(first, "StopPosition", 12.5);
  EXPECT_EQ(first->mmStopPosition(), 12500);

  // An older stream's caption is read and dropped, never written.
  struct TCaptionFiler : cls::TFiler {
    std::map<std::string, std::pair<ReadProc, bool>> defined;
    void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
      defined[name] = {read, write && hasData};
    }
  } filer;
  first->DefineProperties(&filer);
  ASSERT_TRUE(filer.defined.count("Caption"));
  EXPECT_TRUE(filer.defined["Caption"].first);
  EXPECT_FALSE(filer.defined["Caption"].second);
}

// ---- drill-down ----

TEST_F(SubReports, CollapsedInstancesPrintNothingUntilExpanded) {
  TppDetailBand* detail = ParentDetail(2);
  TppSubReport* sub = SubReport(detail, pbChild, 2);
  auto* label = Add<TFixed>(detail, 0, 5000);
  sub->SetDrillDownComponent(label);
  RequestAll();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_TRUE(Rows(0, childRow).empty());
  EXPECT_EQ(Rows(0, label).size(), 2u);
  // The second instance is expanded: only its child prints.
  char key[16];
  std::snprintf(key, sizeof key, "%8d", 1);
  sub->ToggleExpansion(key);
  EXPECT_EQ(sub->ExpansionCount(), 1);
  report->pages.clear();
  report->ResetJobState();
  RequestAll();
  EXPECT_EQ(Rows(0, childRow), (TRows{{20, 1}, {30, 2}}));
  // ExpandAll shows every instance; the report's expand control clears it.
  report->ExpandSubReports(1);
  EXPECT_TRUE(sub->ExpandAll());
  EXPECT_EQ(sub->ExpansionCount(), 0);
  report->pages.clear();
  report->ResetJobState();
  RequestAll();
  EXPECT_EQ(CountOf(childRow), 4);
  report->ExpandSubReports(2);
  EXPECT_FALSE(sub->ExpandAll());
}

// ---- the report's subreport hooks ----

TEST_F(SubReports, ReportReachesObjectsAndNamesAcrossChildReports) {
  TppDetailBand* detail = ParentDetail(1);
  TppSubReport* outer = SubReport(detail, pbChild, 1);
  outer->SetUserName("SubReport1");
  TppCustomBand* childDetail = childRow->Band();
  TRow* outerRow = childRow;
  TppSubReport* inner = SubReport(childDetail, pbChild, 1);
  inner->SetUserName("SubReport2");
  auto* header = AddBand<TppHeaderBand>(report, 10);
  TppSubReport* top = Add<TppSubReport>(header, 0, 5000);
  top->SetUserName("SubReport4");
  auto* summary = AddBand<TppSummaryBand>(report, 10);
  TppSubReport* last = Add<TppSubReport>(summary, 0, 5000);
  last->SetUserName("SubReport5");

  std::vector<cls::TObject*> seen;
  report->IterateObjects([&](cls::TObject* o) { seen.push_back(o); });
  EXPECT_EQ(seen.front(), report->Engine());
  for (cls::TObject* o : {static_cast<cls::TObject*>(outerRow), static_cast<cls::TObject*>(childRow),
                          static_cast<cls::TObject*>(inner->Report()->Engine())})
    EXPECT_NE(std::find(seen.begin(), seen.end(), o), seen.end());

  TppCustomReport::TppSubReportList direct, all;
  report->GetSubReports(direct);
  report->GetAllSubReports(all);
  EXPECT_EQ(direct.size(), 3u);
  ASSERT_EQ(all.size(), 4u);
  // Band order, each child report's own right after its subreport.
  EXPECT_EQ(all[1].first, "SubReport1");
  EXPECT_EQ(all[2].second, inner->Report());
  EXPECT_EQ(all[3].first, "SubReport5");

  // Numbers used in any child report are taken.
  std::string name;
  report->MakeUniqueUserName(Add<TppSubReport>(nullptr, 0, 5000), name);
  EXPECT_EQ(name, "SubReport3");
  EXPECT_EQ(report->FindUserName("subreport5"), last);

  // Outline: header subreports, then the detail band's, then the summary's.
  std::vector<cls::TObject*> outline;
  report->GetOutlineChildren(outline);
  EXPECT_EQ(outline, (std::vector<cls::TObject*>{top, outer, last}));
}

// ---- printing ----

namespace {

struct PrintedSubReports : SubReports {
  void SetUp() override {
    SubReports::SetUp();
    ASSERT_NO_FATAL_FAILURE(UseRecordingZolmet());
    TppPrinterSetup* s = report->PrinterSetup();
    s->SetPrinterName("Zolmet");
    s->SetPaperWidth(80);
    s->SetPaperHeight(100);
    s->SetMarginTop(10);
    s->SetMarginBottom(10);
    s->SetMarginLeft(10);
    s->SetMarginRight(10);
    report->SetDeviceType("Printer");
    report->SetShowPrintDialog(false);
    report->SetShowCancelDialog(false);
  }
  void TearDown() override {
    SubReports::TearDown();
    report = nullptr;
    ppPrintrFinalize();
  }
  TppSubReport* SectionAfterTwoRows(int childRows) {
    TppDetailBand* detail = ParentDetail(2);
    Add<TFixed>(detail, 0, 10000);
    auto* summary = AddBand<TppSummaryBand>(report, 10);
    TppSubReport* sub = SubReport(summary, pbSection, childRows);
    sub->SetmmTop(0);
    return sub;
  }
  testing_support::TempRoot root;
};

}  // namespace

TEST_F(PrintedSubReports, ChildRowsReachThePrinter) {
  TppDetailBand* detail = ParentDetail(2);
  SubReport(detail, pbChild, 10);
  report->Print();
  std::vector<gdi::Job> jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 3u);
  EXPECT_EQ(CountOf(childRow), 20);
}

TEST_F(PrintedSubReports, ChildRowsUnderEachRecordOfABreakingGroup) {
  TppListPipeline* parent = Regions({"A", "A", "B"});
  TppGroup* group = Group(report, parent, "Region");
  group->HeaderBand()->SetHeight(10);
  group->FooterBand()->SetHeight(10);
  auto* header = Add<TRow>(group->HeaderBand(), 0, 10000);
  auto* footer = Add<TRow>(group->FooterBand(), 0, 10000);
  header->pipeline = footer->pipeline = parent;
  SubReport(AddBand<TppDetailBand>(report, 10), pbChild, 3);
  report->Print();
  std::vector<gdi::Job> jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  ASSERT_EQ(jobs[0].pages.size(), 2u);
  ASSERT_EQ(report->pages.size(), 2u);
  // Page 1: A's header, each A record's child rows 5 mm into its band;
  // A's footer does not fit under them.
  EXPECT_EQ(Rows(0, header), (TRows{{10, 1}}));
  EXPECT_EQ(Rows(0, childRow), (TRows{{25, 1}, {35, 2}, {45, 3}, {60, 1}, {70, 2}, {80, 3}}));
  EXPECT_TRUE(Rows(0, footer).empty());
  // Page 2: A's header again over its footer, then B with its record's rows.
  EXPECT_EQ(Rows(1, header), (TRows{{10, 2}, {30, 3}}));
  EXPECT_EQ(Rows(1, footer), (TRows{{20, 2}, {75, 3}}));
  EXPECT_EQ(Rows(1, childRow), (TRows{{45, 1}, {55, 2}, {65, 3}}));
}

TEST_F(PrintedSubReports, NewPrintJobSectionIsADocumentOfItsOwn) {
  TppSubReport* sub = SectionAfterTwoRows(12);
  sub->SetNewPrintJob(true);
  report->Print();
  std::vector<gdi::Job> jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 2u);
  // The section's job opened inside the main one and ended with the section.
  int main = jobs[0].pages.size() == 1 ? 0 : 1;
  EXPECT_EQ(jobs[static_cast<size_t>(main)].pages.size(), 1u);
  EXPECT_EQ(jobs[static_cast<size_t>(1 - main)].pages.size(), 2u);
  for (const gdi::Job& j : jobs) EXPECT_EQ(j.status, "done") << j.number;
  EXPECT_EQ(sub->SectionDevice(), nullptr);
  EXPECT_EQ(report->SectionDevice(), nullptr);
}

TEST_F(PrintedSubReports, SectionJobIsGivenUpWhenTheMainJobEndsFirst) {
  TppSubReport* sub = SectionAfterTwoRows(30);
  sub->SetNewPrintJob(true);
  report->SetPageLimit(2);
  report->Print();
  std::vector<gdi::Job> jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 2u);
  int aborted = 0;
  for (const gdi::Job& j : jobs) aborted += j.status == "aborted";
  EXPECT_EQ(aborted, 1);
  EXPECT_EQ(sub->SectionDevice(), nullptr);
}
