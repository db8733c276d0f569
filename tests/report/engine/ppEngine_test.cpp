// The page generation engine and the band engines through the report
// component: page requests, both passes, pages made again from the page
// cache, bands that can never fit, columns across the page and the job
// resets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/spool/printerdef.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppHorizontalBandEngine.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppVerticalBandEngine.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/testroot.h"

using namespace engine_doubles;

namespace {

struct TCommand {
  cls::TComponent* component;
  int32_t left, top, height;
  bool operator==(const TCommand&) const = default;
};

struct TSentPage {
  int32_t no;
  bool calculation, final;
  std::vector<TCommand> commands;
};

// Keeps what every sent page held, then hands it to the publisher.
class TRecordingReport : public TppReport {
  CLS_DECLARE_CLASS(TRecordingReport, TppReport)
 public:
  explicit TRecordingReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    TSentPage page{p->AbsolutePageNo(), p->Calculation(), p->Final(), {}};
    for (int i = 0; i < p->GetDrawCommandCount(); ++i) {
      TppDrawCommand* c = p->GetDrawCommand(i);
      if (c == p->GetOutlineDrawCommand()) continue;  // the report's outline, not a component's
      page.commands.push_back({c->Component(), c->Left(), c->Top(), c->Height()});
    }
    pages.push_back(page);
    TppReport::SendPage(sender);
  }
  // The numbers of the pages drawn (not calculation pages).
  std::vector<int32_t> Drawn() const {
    std::vector<int32_t> out;
    for (const TSentPage& p : pages)
      if (!p.calculation) out.push_back(p.no);
    return out;
  }
  std::vector<TSentPage> pages;
};
CLS_IMPLEMENT_COMPONENT(TRecordingReport)

// Counts the events it is sent.
class TListener : public TppCommunicator {
  CLS_DECLARE_CLASS(TListener, TppCommunicator)
 public:
  TListener() : TppCommunicator(nullptr) { EventMask().Include(ciEngineGenerationEnd); }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    TppCommunicator::EventNotify(sender, eventId, params);
    if (eventId == ciEngineGenerationEnd) ++generationEnds;
  }
  int generationEnds = 0;
};
CLS_IMPLEMENT_CLASS(TListener)

// A report in millimetres on a page of 82 x 83.452 mm, top margin 3, left 5:
// 80.452 mm for bands.
struct Engine : TReportTest<TRecordingReport> {
  void SetUp() override {
    ppRegisterEngineUnit();
    MakeReport(82000, 83452, 3000, 0, 5000, 0);
  }
  // A detail band of 10 mm with one fixed component: eight passes a page;
  // without AutoStop the page limit ends the report.
  TFixed* FixedDetail(int pageLimit) {
    auto* detail = AddBand<TppDetailBand>(10);
    Records();
    report->SetPageLimit(pageLimit);
    return Add<TFixed>(detail, 0, 10000);
  }
  // More records than any page limit here reaches (a report without data
  // prints its detail band once).
  void Records() {
    auto* pipeline = new TppListPipeline(nullptr);
    owned.push_back(pipeline);
    for (int i = 0; i < 1000; ++i) pipeline->AddRecord({});
    report->SetDataPipeline(pipeline);
  }
  // The message of the print error a run of every page raises; empty, and
  // a failure, when it raises none.
  std::string RunError() {
    try {
      Request(TppPageSettingType::psAll);
    } catch (const EPrintError& e) {
      return e.Message();
    }
    ADD_FAILURE() << "no error after " << report->pages.size() << " pages";
    return "";
  }
  // A detail band holding LINES lines that continue over the pages.
  TLines* LinesDetail(int lines) {
    auto* detail = AddBand<TppDetailBand>(10, phDynamic);
    auto* c = Add<TLines>(detail, 2000, 10000);
    c->SetStretch(true);
    c->lines = lines;
    return c;
  }
  TppEngine* Eng() { return static_cast<TppEngine*>(report->Engine()); }
  // 82 x 100 mm, margins 5, two columns down the page: a 12 mm title and
  // a detail band of DETAIL mm over 5 records; their components.
  std::pair<TFixed*, TFixed*> TitleAndColumns(float detail) {
    testing_support::SetPage(report, 82000, 100000, 5000);
    auto* data = new TppListPipeline(nullptr);
    owned.push_back(data);
    data->SetFieldNames({"N"});
    for (int i = 1; i <= 5; ++i) data->AddRecord({{"N", TppListPipeline::TValue(int64_t{i})}});
    report->SetDataPipeline(data);
    TFixed* title = Add<TFixed>(AddBand<TppTitleBand>(12), 0, 5000);
    TFixed* body = Add<TFixed>(AddBand<TppDetailBand>(detail), 0, 5000);
    report->SetColumns(2);
    return {title, body};
  }
};

}  // namespace

// ---- which pages ----

TEST_F(Engine, PageListGivesTheListedPagesThatExist) {
  FixedDetail(5);
  Request(TppPageSettingType::psPageList, 1, {"3", "1", "7"});
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{3, 1}));
  // Every page up to the end was made to learn the count, none twice but page 1.
  std::vector<int32_t> made;
  for (const TSentPage& p : report->pages) made.push_back(p.no);
  EXPECT_EQ(made, (std::vector<int32_t>{1, 2, 3, 1, 4, 5}));
  EXPECT_TRUE(Eng()->CountKnown());
  EXPECT_EQ(Eng()->AbsolutePageCount(), 5);
  // Calculation pages draw nothing; page 1 made again from the cache is
  // the page that a request for it alone makes.
  EXPECT_TRUE(report->pages[0].commands.empty());
  ASSERT_EQ(report->pages[3].commands.size(), 8u);
  EXPECT_EQ(report->pages[3].commands[0].top, 3000);
  std::vector<TCommand> again = report->pages[3].commands;
  report->pages.clear();
  report->StartJob();
  Request(TppPageSettingType::psSinglePage, 1);
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(report->pages[0].commands, again);
}

TEST_F(Engine, PageListEntriesThatAreNoPagesAreSkipped) {
  FixedDetail(3);
  Request(TppPageSettingType::psPageList, 1, {"0", "-2", "abc", "", "99999999999", "2", "2147483647"});
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{2}));
  EXPECT_EQ(report->pages.size(), 3u);
  // Nothing valid: nothing made.
  report->pages.clear();
  report->StartJob();
  Request(TppPageSettingType::psPageList, 1, {"x", "0"});
  EXPECT_TRUE(report->pages.empty());
}

TEST_F(Engine, SingleFirstAndLastPageRequests) {
  FixedDetail(4);
  Request(TppPageSettingType::psSinglePage, 0);
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{1}));
  report->pages.clear();
  Request(TppPageSettingType::psLastPage);
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{4}));
  report->pages.clear();
  // Beyond a known count: the last page.
  Request(TppPageSettingType::psSinglePage, 9);
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{4}));
  report->pages.clear();
  Request(TppPageSettingType::psFirstPage);
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{1}));
  EXPECT_EQ(report->pages.size(), 1u);
}

TEST_F(Engine, AutoStopPrintsTheDetailOnceOnOnePage) {
  auto* detail = AddBand<TppDetailBand>(10);
  TFixed* c = Add<TFixed>(detail, 0, 5000);
  auto* summary = AddBand<TppSummaryBand>(5);
  TFixed* total = Add<TFixed>(summary, 0, 5000);
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 1u);
  const auto& page = report->pages[0];
  ASSERT_EQ(page.commands.size(), 2u);
  EXPECT_EQ(page.commands[0].component, c);
  EXPECT_EQ(page.commands[0].top, 3000);
  EXPECT_EQ(page.commands[1].component, total);
  EXPECT_EQ(page.commands[1].top, 13000);
  EXPECT_TRUE(page.final);
  // The detail band ran on a vertical band engine.
  EXPECT_NE(cls::ObjectAs<TppVerticalBandEngine>(static_cast<TppDetailBand*>(detail)->BandEngineObject()), nullptr);
}

// ---- passes and events ----

TEST_F(Engine, TwoPassEventsFireOncePerGeneration) {
  FixedDetail(3);
  report->SetPassSetting(TppPassSettingType::psTwoPass);
  int events[4] = {};
  report->OnStartFirstPass = {&events[0], [](void* d, cls::TObject*) { ++*static_cast<int*>(d); }};
  report->OnEndFirstPass = {&events[1], [](void* d, cls::TObject*) { ++*static_cast<int*>(d); }};
  report->OnStartSecondPass = {&events[2], [](void* d, cls::TObject*) { ++*static_cast<int*>(d); }};
  report->OnEndSecondPass = {&events[3], [](void* d, cls::TObject*) { ++*static_cast<int*>(d); }};
  auto* listener = new TListener;
  owned.push_back(listener);
  report->Engine()->AddEventNotify(listener);

  Request(TppPageSettingType::psAll);
  for (int e : events) EXPECT_EQ(e, 1);
  // First pass: three pages not final, the first of them the one asked for;
  // second pass: three final pages.
  ASSERT_EQ(report->pages.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(report->pages[static_cast<size_t>(i)].final) << i;
    EXPECT_TRUE(report->pages[static_cast<size_t>(i + 3)].final) << i;
    EXPECT_FALSE(report->pages[static_cast<size_t>(i + 3)].calculation) << i;
  }
  EXPECT_TRUE(report->pages[1].calculation);
  // Event 90 follows every page sent.
  EXPECT_EQ(listener->generationEnds, 6);

  // A new job generates afresh and fires them again.
  report->StartJob();
  EXPECT_FALSE(report->Engine()->Flags().Contains(TppEngineFlag::efInitialised));
  Request(TppPageSettingType::psAll);
  for (int e : events) EXPECT_EQ(e, 2);
  EXPECT_EQ(listener->generationEnds, 12);
}

TEST_F(Engine, ChangesResetTheJobUnlessPrinting) {
  FixedDetail(2);
  Request(TppPageSettingType::psAll);
  EXPECT_TRUE(report->Engine()->Flags().Contains(TppEngineFlag::efInitialised));
  report->SetPageLimit(1);
  EXPECT_TRUE(report->Engine()->Flags().Empty());
  EXPECT_EQ(report->Engine()->AbsolutePageNo(), 0);
  report->pages.clear();
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(report->pages.size(), 1u);
}

// ---- pages made again from the cache ----

TEST_F(Engine, PageAskedAgainIsRebuiltFromTheCache) {
  auto* header = AddBand<TppHeaderBand>(5);
  TFixed* title = Add<TFixed>(header, 0, 4000);
  TLines* lines = LinesDetail(40);
  Request(TppPageSettingType::psAll);
  // 80.452 mm a page less the 5 mm header and the 2 mm gap: 17 lines.
  ASSERT_EQ(report->pages.size(), 3u);
  std::vector<int32_t> heights;
  for (const TSentPage& p : report->pages) {
    ASSERT_EQ(p.commands.size(), 2u);
    EXPECT_EQ(p.commands[0].component, title);
    EXPECT_EQ(p.commands[1].component, lines);
    heights.push_back(p.commands[1].height);
  }
  EXPECT_EQ(heights, (std::vector<int32_t>{17 * 4255, 17 * 4255, 6 * 4255}));
  // The memo continues at the top of the body on later pages.
  EXPECT_EQ(report->pages[1].commands[1].top, 8000);

  std::vector<TSentPage> first = report->pages;
  for (int32_t no : {2, 3, 1, 2}) {
    report->pages.clear();
    Request(TppPageSettingType::psSinglePage, no);
    ASSERT_EQ(report->pages.size(), 1u) << no;
    EXPECT_EQ(report->pages[0].no, no);
    EXPECT_EQ(report->pages[0].commands, first[static_cast<size_t>(no - 1)].commands) << no;
  }
  // Nothing lost: every line printed once over the run.
  int32_t total = 0;
  for (const TSentPage& p : first) total += p.commands[1].height;
  EXPECT_EQ(total, 40 * 4255);
}

// ---- what can never fit ----

TEST_F(Engine, BandTallerThanThePageEndsWithAnError) {
  // 70 mm of detail above a 20 mm footer on 80.452 mm.
  AddBand<TppHeaderBand>(10);
  auto* detail = AddBand<TppDetailBand>(70);
  Add<TFixed>(detail, 0, 5000);
  AddBand<TppFooterBand>(20);
  const std::string message = RunError();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("Detail"), std::string::npos) << message;
  // The job gave up on the second page; the engine starts afresh next time.
  EXPECT_EQ(report->pages.size(), 1u);
  EXPECT_FALSE(report->Engine()->Flags().Contains(TppEngineFlag::efInitialised));
}

TEST_F(Engine, ReprintedLabelAboveLinesThatNeverFitEndsWithAnError) {
  TLines* lines = LinesDetail(3);
  lines->pitch = 90000;  // one line is taller than the page
  lines->SetUserName("Lines");
  TFixed* label = Add<TFixed>(lines->Band(), 0, 1500);
  label->SetReprintOnOverFlow(true);
  report->SetPageLimit(20);
  const std::string message = RunError();
  EXPECT_NE(message.find("Lines does not fit"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 3u);
}

TEST_F(Engine, NamelessBandThatNeverFitsIsNamedByItsKind) {
  // A group band made in code has no name of its own; 70 mm of it never
  // fit below a 20 mm page header.
  AddBand<TppHeaderBand>(20);
  auto* group = new TppGroup(nullptr);  // the report's to free
  group->SetReport(report);
  auto* header = new TppGroupHeaderBand(nullptr);
  header->SetGroup(group);
  header->SetHeight(70);
  Add<TFixed>(header, 0, 5000);
  Add<TFixed>(AddBand<TppDetailBand>(10), 0, 5000);
  ASSERT_EQ(header->UserName(), "");
  const std::string message = RunError();
  EXPECT_NE(message.find("\r\n\r\nGroupHeaderBand does not fit on a page."), std::string::npos) << message;
}

TEST_F(Engine, ColumnsCrowdedOffTheTitlePageStartOnTheNextPage) {
  // A 12 mm title leaves no room for an 80 mm detail in either column of
  // page 1; from page 2 two fit a page.
  auto [title, body] = TitleAndColumns(80);
  Request(TppPageSettingType::psAll);
  std::vector<std::pair<int, int>> perPage;  // titles, details
  for (const TSentPage& p : report->pages) {
    int titles = 0, details = 0;
    for (const TCommand& c : p.commands) {
      titles += c.component == title;
      details += c.component == body;
    }
    perPage.emplace_back(titles, details);
  }
  EXPECT_EQ(perPage, (std::vector<std::pair<int, int>>{{1, 0}, {0, 2}, {0, 2}, {0, 1}}));
  EXPECT_EQ(report->Drawn(), (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST_F(Engine, ColumnsThatNeverFitEndWithAnErrorOnTheSecondPage) {
  // 85 mm of detail below a 10 mm column header: no column of any page
  // holds it.
  TitleAndColumns(85);
  TppBand* columnHeader = report->GetBand(TppBandType::btColumnHeader, 0);
  ASSERT_NE(columnHeader, nullptr);
  columnHeader->SetHeight(10);
  const std::string message = RunError();
  EXPECT_NE(message.find("Detail does not fit on a page."), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 2u);
}

TEST_F(Engine, ForcedPrintPositionBreakIsNoFailure) {
  AddBand<TppHeaderBand>(30);
  auto* detail = AddBand<TppDetailBand>(10);
  Add<TFixed>(detail, 0, 5000);
  auto* summary = AddBand<TppSummaryBand>(40);
  Add<TFixed>(summary, 0, 5000);
  summary->SetPrintPosition(10);  // above where it could start
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].commands.back().top, 33000);
  // Too tall below the header: the forced breaks do not hide it, the job
  // ends with an error instead of breaking pages forever.
  report->pages.clear();
  summary->SetHeight(60);
  const std::string message = RunError();
  EXPECT_NE(message.find("Summary does not fit"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 4u);
}

// ---- columns ----

TEST_F(Engine, ColumnsAcrossThePageFillRowByRow) {
  auto* detail = AddBand<TppDetailBand>(10);
  detail->SetColumnTraversal(ctLeftToRight);
  TFixed* c = Add<TFixed>(detail, 0, 5000);
  report->SetColumns(3);
  Records();
  report->SetPageLimit(1);
  int32_t width = report->mmColumnWidth();
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 1u);
  std::vector<std::pair<int32_t, int32_t>> at;
  for (const TCommand& cmd : report->pages[0].commands)
    if (cmd.component == c) at.emplace_back(cmd.left, cmd.top);
  ASSERT_GE(at.size(), 4u);
  EXPECT_EQ(at[0], std::make_pair(5000, 3000));
  EXPECT_EQ(at[1], std::make_pair(5000 + width, 3000));
  EXPECT_EQ(at[2], std::make_pair(5000 + 2 * width, 3000));
  EXPECT_EQ(at[3], std::make_pair(5000, 13000));
  EXPECT_NE(cls::ObjectAs<TppHorizontalBandEngine>(detail->BandEngineObject()), nullptr);
}

TEST_F(Engine, MissingColumnPositionGivesMessage43AndLeftZero) {
  auto* detail = AddBand<TppDetailBand>(10);
  detail->SetColumnTraversal(ctLeftToRight);
  report->SetColumns(3);
  cls::TStringList positions;
  positions.Add("5");
  positions.Add("30");
  report->SetColumnPositions(positions);
  auto* engine = new TppHorizontalBandEngine(detail);
  owned.push_back(engine);
  EXPECT_EQ(engine->GetColumnLeft(1), 30000);
  try {
    engine->GetColumnLeft(2);
    FAIL() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_NE(e.Message().find("Unable to find position for column 3.."), std::string::npos) << e.Message();
  }
  // With the engine's error flag the job goes on from left 0.
  report->Engine()->SetErrorFlag(true);
  EXPECT_EQ(engine->GetColumnLeft(2), 0);
  EXPECT_EQ(engine->GetColumnLeft(-1), 0);
  EXPECT_THROW(engine->SetBand(AddBand<TppSummaryBand>(5)), EPagewrightError);
  EXPECT_EQ(engine->Band(), detail);
}

// ---- a whole printer run ----

TEST_F(Engine, TallHeaderGoesOnOverPagesOfOnePrinterJob) {
  testing_support::TempRoot root;
  ASSERT_NO_FATAL_FAILURE(UseRecordingZolmet());
  TppPrinterSetup* s = report->PrinterSetup();
  s->SetPrinterName("Zolmet");
  s->SetPaperWidth(82);
  s->SetPaperHeight(83.452f);
  report->SetDeviceType("Printer");
  report->SetShowPrintDialog(false);
  report->SetShowCancelDialog(false);

  auto* header = AddBand<TppHeaderBand>(10, phDynamic);
  TFixed* label = Add<TFixed>(header, 0, 6879);
  auto* lines = Add<TLines>(header, 27517, 10000);
  lines->SetStretch(true);
  lines->lines = 29;
  AddBand<TppDetailBand>(0);  // else the job makes one of the default height
  auto* summary = AddBand<TppSummaryBand>(5);
  TFixed* end = Add<TFixed>(summary, 0, 5000);
  report->Print();

  std::vector<gdi::Job> jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 2u);
  // Every line once; the label on the first page only; the summary after
  // the last line.
  int32_t total = 0, labels = 0;
  for (const TSentPage& p : report->pages)
    for (const TCommand& c : p.commands) {
      if (c.component == lines) total += c.height;
      labels += c.component == label;
    }
  EXPECT_EQ(total, 29 * 4255);
  EXPECT_EQ(labels, 1);
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(report->pages[1].commands.back().component, end);
  ppPrintrFinalize();
}

TEST_F(Engine, ColumnsDownThePageFillTheFirstColumnFirst) {
  auto* detail = AddBand<TppDetailBand>(10);
  TFixed* c = Add<TFixed>(detail, 0, 5000);
  report->SetColumns(2);
  Records();
  report->SetPageLimit(2);
  int32_t width = report->mmColumnWidth();
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 2u);
  for (const TSentPage& p : report->pages) {
    std::vector<std::pair<int32_t, int32_t>> at;
    for (const TCommand& cmd : p.commands)
      if (cmd.component == c) at.emplace_back(cmd.left, cmd.top);
    // Eight a column: the column headers and footers made by SetColumns are empty.
    ASSERT_EQ(at.size(), 16u) << p.no;
    EXPECT_EQ(at[0], std::make_pair(5000, 3000));
    EXPECT_EQ(at[7], std::make_pair(5000, 73000));
    EXPECT_EQ(at[8], std::make_pair(5000 + width, 3000));
  }
  // The report classes are known by name.
  EXPECT_EQ(cls::FindClass("TppReport"), &TppReport::StaticClass());
  EXPECT_EQ(cls::FindClass("TppChildReport"), &TppChildReport::StaticClass());
}
