// The report core, bands and band generation through test doubles: an
// engine that runs pages band by band, a report that keeps what it is
// sent and a band engine that runs the band generation on its own state
// (ppEngineDoubles.h), a fixed component and a stretchable of fixed-pitch
// lines.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppClass.h"
#include "report/engine/ppCustEng.h"
#include "report/engine/ppCustRpt.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppStrtch.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDevice.h"
#include "tests/report/engine/ppEngineDoubles.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"

namespace {

using engine_doubles::TFixed;
using engine_doubles::TLines;
using engine_doubles::TTestDrawCommand;

// A report in millimetres on a page of 82 x 83.452 mm, top margin 3, left 5.
struct Generation : engine_doubles::TReportTest<TTestReport> {
  std::optional<TTestEngineClasses> engines;
  void SetUp() override {
    engines.emplace();
    MakeReport(82000, 83452, 3000, 0, 5000, 0);
    componentWidth = 60000;
  }
  void TearDown() override {
    TReportTest::TearDown();
    engines.reset();
  }
  TLines* AddLines(TppCustomBand* band, int32_t top, int lines) {
    auto* c = Add<TLines>(band, top, 10000);
    c->lines = lines;
    c->SetStretch(true);
    return c;
  }
  TTestEngine* Engine() { return static_cast<TTestEngine*>(report->Engine()); }
  void Run() { report->Engine()->Generate(nullptr); }
  // The message of the EPrintError that generation ends with; empty when none.
  std::string RunFailing() {
    try {
      Run();
    } catch (const EPrintError& e) {
      return e.Message();
    }
    return std::string();
  }
  static const TSentCommand* Find(const std::vector<TSentCommand>& page, cls::TComponent* c) {
    for (const TSentCommand& s : page)
      if (s.component == c) return &s;
    return nullptr;
  }
};

// The receipt's header: label, lines, bar code.
struct Receipt : Generation {
  void SetUp() override {
    Generation::SetUp();
    header = AddBand<TppHeaderBand>(180.182f, phDynamic);
    label = Add<TFixed>(header, 0, 6879);
    lines = AddLines(header, 28202, 10);
    barcode = Add<TFixed>(header, 8202, 18000);
  }
  TppHeaderBand* header = nullptr;
  TFixed* label = nullptr;
  TLines* lines = nullptr;
  TFixed* barcode = nullptr;
};

}  // namespace

// ---- constants ----

TEST(BandConstants, SetsOfTheirOwnKind) {
  EXPECT_EQ(ppDefaultBandTypes.Bits(), 273);
  TppBandKinds kinds = TppBandKind::bkGroupHeader | TppBandKind::bkHeader;
  EXPECT_EQ(kinds.Bits(), 68);
  EXPECT_TRUE(kinds.Intersects(TppBandKind::bkHeader));
  EXPECT_FALSE(kinds.Contains(TppBandKind::bkHeader | TppBandKind::bkTitle));
  TppEngineFlags flags = TppEngineFlag::efFirstPass | TppEngineFlag::efSummary;
  EXPECT_EQ(flags.Bits(), 34);
  static_assert(!std::is_convertible_v<TppBandKinds, TppEngineFlags>);
  static_assert(!std::is_convertible_v<TppBandTypes, TppBandKinds>);
  static_assert(!std::is_convertible_v<TppBandKind, TppEngineFlags>);
}

// ---- band list ----

TEST_F(Generation, BandsSortByKindWithGroupsNested) {
  auto* g0 = new TppGroup(nullptr);
  auto* g1 = new TppGroup(nullptr);
  g0->SetReport(report);
  g1->SetReport(report);
  g0->SetReprintOnSubsequentPage(true);
  g1->SetReprintOnSubsequentPage(true);
  // Added in an order of their own.
  TppBand* summary = AddBand<TppSummaryBand>();
  auto* f1 = new TppGroupFooterBand(nullptr);
  f1->SetGroup(g1);
  TppBand* style = AddBand<TppPageStyle>();
  TppBand* detail = AddBand<TppDetailBand>();
  auto* h1 = new TppGroupHeaderBand(nullptr);
  h1->SetGroup(g1);
  TppBand* footer = AddBand<TppFooterBand>();
  TppBand* colFooter = AddBand<TppColumnFooterBand>();
  auto* f0 = new TppGroupFooterBand(nullptr);
  f0->SetGroup(g0);
  TppBand* header = AddBand<TppHeaderBand>();
  auto* h0 = new TppGroupHeaderBand(nullptr);
  h0->SetGroup(g0);
  TppBand* colHeader = AddBand<TppColumnHeaderBand>();
  TppBand* title = AddBand<TppTitleBand>();

  std::vector<TppBand*> expected{title, header, colHeader, h0, h1, detail, f1, f0, colFooter, footer, summary, style};
  std::vector<int> kinds{1, 4, 16, 68, 68, 256, 128, 128, 32, 8, 2, 4};
  ASSERT_EQ(report->BandCount(), 12);
  for (int i = 0; i < 12; ++i) {
    EXPECT_EQ(report->Bands(i), expected[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(report->Bands(i)->GetKindFlag().Bits(), kinds[static_cast<size_t>(i)]) << i;
  }
  for (TppBand* b : {title, header, detail, footer, summary, style}) EXPECT_EQ(b->mmHeight(), 13229);
  for (TppBand* b : {colHeader, colFooter, static_cast<TppBand*>(h0), static_cast<TppBand*>(f1)})
    EXPECT_EQ(b->mmHeight(), 0);
  EXPECT_EQ(report->GetBand(TppBandType::btGroupHeader, 1), h1);
  EXPECT_EQ(report->GetBand(TppBandType::btGroupFooter, 0), f0);
  EXPECT_EQ(report->GetBand(TppBandType::btGroupHeader, 5), nullptr);
  EXPECT_EQ(report->GetBand(TppBandType::btSummary, 0), summary);
  EXPECT_EQ(detail->UserName(), "Detail");
  EXPECT_EQ(title->Caption(), "Title");

  // Freeing the outer group takes its bands; the inner group moves up.
  g0->Free();
  EXPECT_EQ(report->GroupCount(), 1);
  EXPECT_EQ(report->BandCount(), 10);
  EXPECT_EQ(report->GetBand(TppBandType::btGroupHeader, 0), h1);
  EXPECT_EQ(report->Bands(3), h1);
  EXPECT_EQ(report->Bands(5), f1);
}

TEST_F(Generation, ColumnsMakeColumnBandsOnceAndKeepAtLeastOne) {
  AddBand<TppDetailBand>();
  report->SetColumns(2);
  EXPECT_FLOAT_EQ(report->ColumnWidth(), 38.5f);
  EXPECT_EQ(report->BandCount(), 3);
  EXPECT_NE(report->GetBand(TppBandType::btColumnHeader, 0), nullptr);
  EXPECT_NE(report->GetBand(TppBandType::btColumnFooter, 0), nullptr);
  report->SetColumns(1);
  report->SetColumns(2);
  EXPECT_EQ(report->BandCount(), 3);
  report->SetColumns(0);
  EXPECT_EQ(report->Columns(), 1);
  report->SetColumns(-4);
  EXPECT_EQ(report->Columns(), 1);
}

TEST_F(Generation, DefaultBandsAndSettersRefuseBadValues) {
  report->CreateDefaultBands();
  ASSERT_EQ(report->BandCount(), 3);
  EXPECT_EQ(report->Bands(0)->BandType(), TppBandType::btHeader);
  EXPECT_EQ(report->Bands(1)->BandType(), TppBandType::btDetail);
  EXPECT_EQ(report->Bands(2)->BandType(), TppBandType::btFooter);
  report->CreateDefaultBands();
  EXPECT_EQ(report->BandCount(), 3);

  auto* detail = static_cast<TppDetailBand*>(report->GetBand(TppBandType::btDetail, 0));
  detail->SetBandsPerRecord(0);
  EXPECT_EQ(detail->BandsPerRecord(), 1);
  detail->SetPrintHeight(phDynamic);
  detail->SetColumnTraversal(ctLeftToRight);
  EXPECT_EQ(detail->PrintHeight(), phStatic);
  detail->SetPrintCount(-1);
  EXPECT_EQ(detail->PrintCount(), 0);
  EXPECT_EQ(detail->PrintCountMode(), ppPrintUnlimited);

  // A band holding objects keeps some height; an empty one may be 0.
  Add<TFixed>(detail, 0, 5000);
  detail->SetHeight(0);
  EXPECT_EQ(detail->mmHeight(), 13229);
  report->Bands(0)->SetHeight(0);
  EXPECT_EQ(report->Bands(0)->mmHeight(), 0);

  // The footer stays static, a header turns dynamic for a stretching object.
  TppBand* footer = report->GetBand(TppBandType::btFooter, 0);
  AddLines(static_cast<TppCustomBand*>(footer), 0, 1);
  EXPECT_EQ(footer->PrintHeight(), phStatic);
  TppBand* header = report->GetBand(TppBandType::btHeader, 0);
  AddLines(static_cast<TppCustomBand*>(header), 0, 1);
  EXPECT_EQ(header->PrintHeight(), phDynamic);

  report->SetNoDataBehaviors({});
  EXPECT_TRUE(report->NoDataBehaviors() == TppNoDataBehaviors({ndBlankPage}));
  report->SetNoDataBehaviors({ndBlankPage, ndBlankReport});
  EXPECT_TRUE(report->NoDataBehaviors() == TppNoDataBehaviors({ndBlankReport}));
}

TEST_F(Generation, ColumnPositionsThatAreNoNumberKeepTheStoredOnes) {
  cls::TStringList lines;
  lines.Add("5");
  lines.Add("43.5");
  report->SetColumnPositions(lines);
  ASSERT_EQ(report->StoredColumnPositions().Count(), 2);
  EXPECT_EQ(report->StoredColumnPositions()[1], "43500");
  cls::TStringList bad;
  bad.Add("10");
  bad.Add("ten");
  EXPECT_THROW(report->SetColumnPositions(bad), cls::EConvertError);
  EXPECT_EQ(report->StoredColumnPositions()[1], "43500");
  cls::TStringList shown;
  report->GetColumnPositions(shown);
  EXPECT_EQ(shown[1], "43.5");
}

TEST_F(Generation, ShiftRelativeToCycleIsRefusedAndKeepsTheTarget) {
  auto* band = AddBand<TppHeaderBand>(50, phDynamic);
  TLines* a = AddLines(band, 0, 1);
  TLines* b = AddLines(band, 10000, 1);
  TLines* c = AddLines(band, 20000, 1);
  b->SetShiftRelativeTo(a);
  c->SetShiftRelativeTo(b);
  EXPECT_THROW(a->SetShiftRelativeTo(c), EInvalidPropertyError);
  EXPECT_EQ(a->ShiftRelativeTo(), nullptr);
  EXPECT_THROW(c->SetShiftRelativeTo(c), EInvalidPropertyError);
  EXPECT_EQ(c->ShiftRelativeTo(), b);
  // An anchor with shifters stays stretching.
  a->SetStretch(false);
  EXPECT_TRUE(a->Stretch());
}

// ---- the receipt's dynamic header ----

TEST_F(Receipt, DynamicHeaderTakesWhatItsObjectsUse) {
  TppBand* next = AddBand<TppSummaryBand>(5);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  const auto& page = report->pages[0];
  ASSERT_EQ(page.size(), 3u);
  // Drawn in object order, not generation order.
  EXPECT_EQ(page[0].component, label);
  EXPECT_EQ(page[1].component, lines);
  EXPECT_EQ(page[2].component, barcode);
  EXPECT_EQ(page[0].top, 3000);
  EXPECT_EQ(page[0].left, 5000);
  EXPECT_EQ(page[1].top, 31202);
  EXPECT_EQ(page[1].height, 42550);
  EXPECT_EQ(page[2].top, 11202);
  EXPECT_EQ(header->GetSpaceUsed(), 70752);
  EXPECT_EQ(static_cast<TppCustomBand*>(next)->GetPrintRect().Top, 73752);
  EXPECT_TRUE(Engine()->notDue.empty());
  // Generated: the fixed objects first, then the lines.
  EXPECT_EQ(label->generated, 1);
  EXPECT_EQ(barcode->generated, 1);
}

TEST_F(Receipt, HiddenBarCodeIsNotDrawnAndTheBandKeepsItsHeight) {
  barcode->SetVisible(false);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  EXPECT_EQ(report->pages[0].size(), 2u);
  EXPECT_EQ(Find(report->pages[0], barcode), nullptr);
  EXPECT_EQ(header->GetSpaceUsed(), 70752);
}

TEST_F(Receipt, ShifterPrintsRightBelowItsAnchor) {
  TLines* more = AddLines(header, 60000, 2);
  more->SetShiftRelativeTo(lines);
  Run();
  ASSERT_EQ(report->pages.size(), 1u);
  const auto& page = report->pages[0];
  ASSERT_EQ(page.size(), 4u);
  EXPECT_EQ(page[1].component, lines);
  EXPECT_EQ(page[2].component, more);
  EXPECT_EQ(page[2].top, 73752);
  EXPECT_EQ(header->GetSpaceUsed(), 79262);
}

TEST_F(Receipt, LinesOverflowOntoTheNextPage) {
  lines->lines = 30;
  Run();
  ASSERT_EQ(report->pages.size(), 2u);
  const auto& first = report->pages[0];
  EXPECT_EQ(Find(first, lines)->height, 12 * 4255);
  const auto& second = report->pages[1];
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].component, lines);
  EXPECT_EQ(second[0].top, 3000);
  EXPECT_EQ(second[0].height, 18 * 4255);
  EXPECT_EQ(header->GetSpaceUsed(), 76590);
}

TEST_F(Receipt, ReprintedLabelComesBackOnEveryContinuationPage) {
  lines->lines = 30;
  label->SetReprintOnOverFlow(true);
  Run();
  ASSERT_EQ(report->pages.size(), 3u);
  EXPECT_EQ(header->GetSpaceUsed(), 11134);
  const auto& second = report->pages[1];
  ASSERT_EQ(second.size(), 2u);
  EXPECT_EQ(Find(second, label)->top, 3000);
  EXPECT_EQ(Find(second, lines)->top, 9879);
  EXPECT_EQ(Find(second, lines)->height, 17 * 4255);
  EXPECT_EQ(Find(second, barcode), nullptr);
  const auto& third = report->pages[2];
  ASSERT_EQ(third.size(), 2u);
  EXPECT_EQ(Find(third, label)->top, 3000);
  EXPECT_EQ(Find(third, lines)->height, 4255);
}

// ---- what can never fit ----

TEST_F(Generation, StaticSummaryTooTallBelowTheHeaderEndsOnPageTwo) {
  AddBand<TppHeaderBand>(40);
  AddBand<TppSummaryBand>(60);
  std::string message = RunFailing();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("Summary"), std::string::npos) << message;
  EXPECT_EQ(Engine()->AbsolutePageNo(), 2);
  EXPECT_EQ(report->pages.size(), 1u);
}

TEST_F(Generation, FixedComponentTallerThanThePageEndsOnPageTwo) {
  auto* band = AddBand<TppDetailBand>(10, phDynamic);
  TFixed* tall = Add<TFixed>(band, 0, 90000);
  tall->SetUserName("Tall");
  std::string message = RunFailing();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("Tall"), std::string::npos) << message;
  EXPECT_EQ(Engine()->AbsolutePageNo(), 2);
}

TEST_F(Receipt, ReprintedLabelIsNoProgressForLinesThatNeverFit) {
  lines->pitch = 90000;  // one line is taller than the page
  label->SetReprintOnOverFlow(true);
  report->SetPageLimit(20);
  lines->SetUserName("Lines");
  std::string message = RunFailing();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("Lines"), std::string::npos) << message;
  // Page one prints the label; the reprint on page two arms the guard.
  EXPECT_LE(report->pages.size(), 3u);
  EXPECT_EQ(lines->done, 0);
}

TEST_F(Generation, PrintPositionBelowThePageBottomEndsAtOnce) {
  TppBand* band = AddBand<TppSummaryBand>(10);
  band->SetPrintPosition(90);
  std::string message = RunFailing();
  EXPECT_EQ(message, ppLoadStr(1023) + "\r\n\r\n" + ppLoadStr(415) + ".");
  EXPECT_EQ(Engine()->AbsolutePageNo(), 1);
  EXPECT_TRUE(Engine()->Cancelled());
}

TEST_F(Generation, BandCrowdedOffByTheTitlePrintsOnPageTwo) {
  AddBand<TppTitleBand>(30);
  auto* summary = AddBand<TppSummaryBand>(60);
  EXPECT_EQ(RunFailing(), "");
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(summary->GetPrintRect().Top, 3000);
}

TEST_F(Generation, PrintPositionAboveForcesOneBreak) {
  AddBand<TppHeaderBand>(20);
  auto* summary = AddBand<TppSummaryBand>(10);
  summary->SetPrintPosition(10);
  Run();
  EXPECT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(summary->GetPrintRect().Top, 23000);
}

// ---- counts and limits ----

TEST_F(Generation, PageLimitStopsAfterItsPage) {
  auto* detail = AddBand<TppDetailBand>(10);
  Add<TFixed>(detail, 0, 10000);
  int endPages = 0;
  report->OnEndPage = {&endPages, [](void* d, cls::TObject*) { ++*static_cast<int*>(d); }};
  report->SetPageLimit(3);
  Run();
  EXPECT_EQ(report->pages.size(), 3u);
  EXPECT_EQ(endPages, 3);
  // Eight passes of 10 mm fit on each page.
  EXPECT_EQ(report->pages[0].size(), 8u);
  // Without a limit the double gives up rather than run forever.
  report->pages.clear();
  report->SetPageLimit(0);
  EXPECT_THROW(Run(), std::runtime_error);
  EXPECT_EQ(report->pages.size(), 50u);
}

TEST_F(Generation, PrintCountRepeatsTheBand) {
  auto* summary = AddBand<TppSummaryBand>(10);
  summary->SetPrintCount(3);
  Run();
  EXPECT_EQ(Engine()->PageRect().Top, 33000);
  EXPECT_EQ(summary->GetCount(), 3);
  summary->SetPrintCount(-1);
  EXPECT_EQ(summary->PrintCount(), 0);
  Run();
  EXPECT_EQ(Engine()->PageRect().Top, 13000);
}

TEST_F(Generation, InvisibleBandCompletesWithoutMovingThePage) {
  auto* header = AddBand<TppHeaderBand>(20);
  Add<TFixed>(header, 0, 5000);
  header->SetVisible(false);
  auto* summary = AddBand<TppSummaryBand>(10);
  Run();
  EXPECT_EQ(summary->GetPrintRect().Top, 3000);
  EXPECT_TRUE(report->pages[0].empty() || Find(report->pages[0], header->Objects(0)) == nullptr);
}

TEST_F(Generation, DetailWithoutBandEngineAnswersTheDefaults) {
  ppSetDetailBandEngineClass(nullptr);
  auto* detail = AddBand<TppDetailBand>(10);
  detail->InitGeneration();
  EXPECT_TRUE(detail->GetGenerationComplete());
  EXPECT_EQ(detail->GetResumeListIndex(), -1);
  EXPECT_EQ(detail->GetResumeObjectIndex(), -1);
  EXPECT_EQ(detail->GetSpaceUsed(), 0);
  detail->Generate();  // nothing to run it on
}

// ---- report ----

TEST_F(Generation, ReportWithoutEngineClassHasNoEngine) {
  ppSetEngineClass(nullptr);
  auto* bare = new TTestReport(nullptr);
  EXPECT_EQ(bare->Engine(), nullptr);
  EXPECT_EQ(bare->AbsolutePageNo(), 0);
  bare->Stop();
  bare->Free();
}

TEST_F(Generation, JobStartsAndChangesResetTheEngine) {
  int before = Engine()->resets;
  report->StartJob();
  EXPECT_EQ(Engine()->resets, before + 1);
  auto* band = AddBand<TppHeaderBand>(10);
  TFixed* c = Add<TFixed>(band, 0, 1000);
  before = Engine()->resets;
  c->SetmmTop(2000);
  EXPECT_GT(Engine()->resets, before);
  EXPECT_EQ(c->BandType(), static_cast<uint8_t>(TppBandType::btHeader));
  c->SetmmTop(-5);
  EXPECT_EQ(c->mmTop(), 0);
}

TEST_F(Generation, FreedWithCacheManagersAndGroups) {
  auto* g = new TppGroup(nullptr);
  g->SetReport(report);
  auto* h = new TppGroupHeaderBand(nullptr);
  h->SetGroup(g);
  auto* band = AddBand<TppHeaderBand>(10);
  TFixed* c = Add<TFixed>(band, 0, 1000);
  auto* m1 = new TppCacheManager(report);
  auto* m2 = new TppCacheManager(report);
  m1->Reset();  // takes the engine, group, bands and objects
  EXPECT_GT(m1->CacheableCount(), 3);
  EXPECT_EQ(report->CacheManagerCount(), 2);
  report->Free();
  report = nullptr;
  EXPECT_EQ(m1->CacheableCount(), 0);
  EXPECT_EQ(m1->Report(), nullptr);
  EXPECT_EQ(c->Band(), nullptr);
  m1->Free();
  m2->Free();
}
