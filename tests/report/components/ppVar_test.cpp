// System variables, variables, DB texts and DB calcs in whole runs over the
// list pipeline, printed on the recording "Zolmet": page texts completed at
// the page's end, sums and averages over the records, look-ahead values
// printed before they are final, and the value conversions of the calcs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/gdi.h"
#include "report/components/ppDBText.h"
#include "report/components/ppVar.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/model/ppCache.h"
#include "report/output/ppDrwCmd.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

using testing_support::TEventHook;

namespace {

using TValue = TppListPipeline::TValue;

class VarReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    ppRegisterEngineUnit();
    items.reset(new TppListPipeline(nullptr));
    items->AddField("Item");
    items->AddField("Amount", dtDouble);
    report.reset(new TppReport(nullptr));
    testing_support::PrintOnZolmet(report.get());
    TppPageDef* def = report->PrinterSetup()->PageDef();
    def->SetmmHeight(100000);
    def->SetmmMarginTop(0);
    def->SetmmMarginBottom(0);
    header = Band(new TppHeaderBand(nullptr), 10000);
    detail = Band(new TppDetailBand(nullptr), 10000);
    footer = Band(new TppFooterBand(nullptr), 10000);
    report->SetDataPipeline(items.get());
  }
  void TearDown() override {
    report.reset();
    items.reset();
    Printers::TearDown();
  }
  template <class B>
  B* Band(B* band, int32_t height) {
    band->SetReport(report.get());
    band->SetmmHeight(height);
    return band;
  }
  template <class C>
  C* Put(C* c, TppCustomBand* band, int32_t left) {
    c->SetBand(band);
    // Placing does not bind: the designer hands a dropped data-aware
    // component its band's pipeline.
    if (c->IsDataAware()) c->SetParentDataPipeline(true);
    c->SetAutoSize(false);
    c->SetBounds(left, 0, 30000, 5000);
    return c;
  }
  void AddAmounts(int n) {
    for (int i = 1; i <= n; ++i)
      items->AddRecord({{"Item", TValue("item " + std::to_string(i))}, {"Amount", TValue(double(i))}});
  }
  // The records (group, amount), grouped on "Group" with 10 mm group bands.
  TppGroup* Grouped(const std::vector<std::pair<const char*, double>>& rows) {
    items->AddField("Group");
    for (auto [g, a] : rows) items->AddRecord({{"Group", TValue(g)}, {"Amount", TValue(a)}});
    auto* group = new TppGroup(nullptr);
    group->SetReport(report.get());
    group->SetDataPipeline(items.get());
    group->SetBreakName("Group");
    for (TppGroupBand* band : {static_cast<TppGroupBand*>(new TppGroupHeaderBand(nullptr)),
                               static_cast<TppGroupBand*>(new TppGroupFooterBand(nullptr))}) {
      band->SetGroup(group);
      band->SetmmHeight(10000);
    }
    return group;
  }
  TppDBCalc* DBCalc(TppCustomBand* band, int32_t left, TppDBCalcType type) {
    auto* c = Put(new TppDBCalc(report.get()), band, left);
    c->SetDataField("Amount");
    c->SetDBCalcType(type);
    return c;
  }
  static bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
  }
  // Printed with the page cache in two passes, then in one: the texts of
  // every cached page of each run are those two passes printed, which are
  // given back.
  std::vector<std::vector<std::string>> ExpectCachedPagesShowWhatTwoPassesPrint() {
    report->SetCachePages(true);
    std::vector<std::vector<std::string>> printed;
    for (TppPassSettingType pass : {TppPassSettingType::psTwoPass, TppPassSettingType::psOnePass}) {
      gdi::ClearRecordedJobs();
      report->SetPassSetting(pass);
      report->Print();
      if (printed.empty()) printed = PrintedTexts();
      TppPublisher* publisher = report->Publisher();
      EXPECT_EQ(publisher->GetCachedPageCount(), static_cast<int>(printed.size()));
      for (int no = 1; no <= static_cast<int>(printed.size()); ++no) {
        TppPage* page = publisher->FindCachedPage(no);
        if (!page) {
          ADD_FAILURE() << "no cached page " << no;
          continue;
        }
        EXPECT_EQ(page->AbsolutePageCount(), static_cast<int32_t>(printed.size())) << no;
        std::vector<std::string> texts;
        for (int i = 0; i < page->GetDrawCommandCount(); ++i)
          if (auto* text = cls::ObjectAs<TppDrawText>(page->GetDrawCommand(i))) texts.push_back(text->Text());
        EXPECT_EQ(texts, printed[no - 1]) << static_cast<int>(pass) << " " << no;
      }
    }
    return printed;
  }
  cls::Owned<TppListPipeline> items;
  cls::Owned<TppReport> report;
  TppHeaderBand* header = nullptr;
  TppDetailBand* detail = nullptr;
  TppFooterBand* footer = nullptr;
};

}  // namespace

TEST_F(VarReport, PageTextsDBTextsAndLookAheadSumOverFivePages) {
  AddAmounts(40);  // 80 mm of page for 10 mm bands: eight a page
  auto* item = Put(new TppDBText(report.get()), detail, 0);
  item->SetDataField("Item");
  auto* pageSet = Put(new TppSystemVariable(report.get()), footer, 0);
  pageSet->SetVarType(vtPageSetDesc);
  EXPECT_EQ(report->PassSetting(), TppPassSettingType::psTwoPass);
  auto* calc = Put(new TppCalc(report.get()), footer, 40000);
  calc->SetCalcType(TppCalcType::ctPageSet);
  auto* total = Put(new TppDBCalc(report.get()), header, 0);
  total->SetDataField("Amount");
  total->SetLookAhead(true);
  auto* sum = Put(new TppVariable(report.get()), header, 40000);
  sum->SetDataType(dtDouble);
  struct Adder {
    TppListPipeline* items;
    void Calc(cls::TObject*, cls::Variant& v) { v = cls::Variant(v.AsDouble() + items->GetFieldAsDouble("Amount")); }
  } adder{items.get()};
  sum->OnCalc = TppVarCalcEvent(&adder, &Adder::Calc);
  sum->SetLookAhead(true);
  report->Print();
  auto pages = PrintedTexts();
  ASSERT_EQ(pages.size(), 5u);
  const char* pageEndSums[] = {"36", "136", "300", "528", "820"};
  for (int p = 0; p < 5; ++p) {
    std::string no = std::to_string(p + 1);
    EXPECT_TRUE(Has(pages[p], "Page " + no + " of 5")) << p;
    EXPECT_TRUE(Has(pages[p], no + " of 5")) << p;
    // The variable (reset at the report's end) prints the final sum on
    // every page; the DB calc without a reset group is keyed by page, so
    // its header shows the running sum at that page's end.
    EXPECT_TRUE(Has(pages[p], "820")) << p;
    EXPECT_TRUE(Has(pages[p], pageEndSums[p])) << p;
    for (int i = 1; i <= 8; ++i) EXPECT_TRUE(Has(pages[p], "item " + std::to_string(p * 8 + i))) << p << " " << i;
  }
}

// Page texts read from the page cache after a run, a new page for each
// group: the cached pages of one pass and of two passes show what two passes
// printed.
TEST_F(VarReport, CachedPagesReadAfterARunShowTheFinalPageTexts) {
  std::vector<std::pair<const char*, double>> rows;
  for (auto [group, n] : {std::pair{"A", 35}, {"B", 3}, {"C", 13}, {"D", 1}})
    for (int i = 0; i < n; ++i) rows.emplace_back(group, i);
  Grouped(rows)->SetNewPage(true);
  Put(new TppSystemVariable(report.get()), footer, 0)->SetVarType(vtPageSetDesc);
  Put(new TppSystemVariable(report.get()), header, 0)->SetVarType(vtPageCount);
  Put(new TppCalc(report.get()), footer, 40000)->SetCalcType(TppCalcType::ctPageSet);
  Put(new TppDBText(report.get()), detail, 0)->SetDataField("Group");
  auto printed = ExpectCachedPagesShowWhatTwoPassesPrint();
  ASSERT_GT(printed.size(), 8u);
  const std::string count = std::to_string(printed.size());
  EXPECT_TRUE(Has(printed[0], "Page 1 of " + count));
  EXPECT_TRUE(Has(printed.back(), "Page " + count + " of " + count));
}

// Page numbers restarted by each run of a group: one pass read from the
// cache counts each run's pages as two passes do, "Page 1 of n" to "Page n
// of n" on the n pages of the run.
TEST_F(VarReport, CachedPagesOfOnePassCountEachRunsPagesAsTwoPassesDo) {
  std::vector<std::pair<const char*, double>> rows;
  for (auto [group, n] : {std::pair{"A", 30}, {"B", 10}, {"C", 2}})
    for (int i = 0; i < n; ++i) rows.emplace_back(group, i);
  TppGroup* group = Grouped(rows);
  group->SetNewPage(true);
  group->SetResetPageNo(true);
  Put(new TppSystemVariable(report.get()), footer, 0)->SetVarType(vtPageSetDesc);
  Put(new TppDBText(report.get()), detail, 0)->SetDataField("Group");
  auto printed = ExpectCachedPagesShowWhatTwoPassesPrint();
  // The runs' page numbers as printed: each run counts 1 to its length.
  std::vector<std::pair<int, int>> numbers;
  for (const auto& page : printed)
    for (const std::string& text : page) {
      int no = 0, count = 0;
      if (std::sscanf(text.c_str(), "Page %d of %d", &no, &count) == 2) numbers.emplace_back(no, count);
    }
  ASSERT_EQ(numbers.size(), printed.size());
  std::vector<int> runs;
  for (size_t i = 0; i < numbers.size(); i += static_cast<size_t>(numbers[i].second)) {
    ASSERT_GT(numbers[i].second, 0) << i;
    runs.push_back(numbers[i].second);
    for (int k = 0; k < numbers[i].second; ++k) {
      ASSERT_LT(i + static_cast<size_t>(k), numbers.size());
      EXPECT_EQ(numbers[i + static_cast<size_t>(k)], std::make_pair(k + 1, numbers[i].second)) << i + k;
    }
  }
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_GT(runs[0], 2);
  EXPECT_GT(runs[1], 1);
}

TEST_F(VarReport, CalcKindsOverTheRecordsWithNullsAndText) {
  items->AddRecord({{"Amount", TValue(5.0)}});
  items->AddRecord({{"Amount", TValue()}});  // null
  items->AddRecord({{"Amount", TValue(3.0)}});
  items->AddRecord({{"Amount", TValue(7.0)}});
  auto* summary = Band(new TppSummaryBand(nullptr), 10000);
  std::vector<TppDBCalc*> calcs;
  int left = 0;
  for (TppDBCalcType t : {dcSum, dcCount, dcAverage, dcMinimum, dcMaximum}) {
    auto* c = Put(new TppDBCalc(report.get()), summary, left);
    left += 32000;
    c->SetDataField("Amount");
    c->SetDBCalcType(t);
    calcs.push_back(c);
  }
  calcs[0]->SetDisplayFormat("#,0.00");
  report->Print();
  auto pages = PrintedTexts();
  ASSERT_EQ(pages.size(), 1u);
  // The null counts as a record of 0 for the sum, count and average; the
  // minimum and maximum skip it.
  for (const char* want : {"15.00", "4", "3.75", "3", "7"}) EXPECT_TRUE(Has(pages[0], want)) << want;
}

TEST(DBCalcValue, FieldValuesAsNumbers) {
  bool isNull = false;
  EXPECT_EQ(ppFieldValueAsDouble(cls::Variant("12.5"), isNull), 12.5);
  EXPECT_EQ(ppFieldValueAsDouble(cls::Variant("abc"), isNull), 0);
  EXPECT_FALSE(isNull);
  EXPECT_EQ(ppFieldValueAsDouble(cls::Variant::Null(), isNull), 0);
  EXPECT_TRUE(isNull);
  EXPECT_EQ(ppFieldValueAsDouble(cls::Variant(cls::Currency{25000}), isNull), 2.5);
  EXPECT_EQ(ppFieldValueAsDouble(cls::Variant::DateTime(36000.5), isNull), 36000.5);
}

TEST(LookAheadList, LaterCountsWinAndLowerOnesChangeNothing) {
  TppCommunicator owner(nullptr);
  TppLookAheadList list(&owner);
  // A first-pass command made before its span had a value.
  TppDrawVariable early(nullptr);
  early.SetLookAhead(true);
  early.SetLookAheadKey("k1");
  early.SetTraversalCount(-1);
  owner.AddEventNotify(early.Listener());
  list.Update("k1", 0, "5");  // one calculation, the first record counting 0
  EXPECT_EQ(early.Text(), "5");
  list.Update("k1", 2, "8");
  list.Update("k1", 1, "6");  // lower: nothing changes
  EXPECT_EQ(early.Text(), "8");
  ASSERT_NE(list.Lookup("k1"), nullptr);
  EXPECT_EQ(list.Lookup("k1")->Text(), "8");
  // Another span's value closes the first: no later change reaches it.
  list.Update("k2", 3, "1");
  list.Update("k1", 9, "99");
  EXPECT_EQ(early.Text(), "8");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Lookup("nope"), nullptr);
}

TEST(Variable, DataTypesAndAccessors) {
  TppVariable v(nullptr);
  v.SetDataType(dtInteger);
  v.SetDataType(dtVariant);  // out of range: unchanged
  EXPECT_EQ(v.DataType(), dtInteger);
  v.SetAsCurrency(cls::Currency{12345});
  EXPECT_EQ(v.DataType(), dtCurrency);
  EXPECT_DOUBLE_EQ(v.AsDouble(), 1.2345);
  v.SetAsString("abc");
  EXPECT_EQ(v.AsDouble(), 0);  // text that is no number
  v.SetDataType(dtInteger);  // converting text that is no number: empty
  EXPECT_EQ(v.AsInteger(), 0);
  EXPECT_EQ(ppVarTypeName(vtDocumentName), "Document Name");
  EXPECT_EQ(ppVarTypeName(vtTime), "Time");
}

TEST(SystemVariable, OutsidePrintingPageValuesAreOne) {
  TppSystemVariable v(nullptr);
  v.SetVarType(vtPageNo);
  EXPECT_EQ(v.GetDisplayText(), "1");
  v.SetVarType(vtPageSetDesc);
  EXPECT_EQ(v.GetDisplayText(), "Page 1 of 1");
}

// A page generated again starts from the DB text's saved repeat state; a
// page never saved leaves the state as it is.
TEST_F(VarReport, DBTextRepeatStateComesBackFromThePageCache) {
  items->AddRecord({{"Item", TValue("a")}});
  items->AddRecord({{"Item", TValue("a")}});
  auto* item = Put(new TppDBText(report.get()), detail, 0);
  item->SetDataField("Item");
  item->SetSuppressRepeatedValues(true);
  report->Print();
  EXPECT_EQ(PrintedTexts().at(0).size(), 1u);  // the repeat is left out
  ASSERT_TRUE(item->Repeated());
  ASSERT_TRUE(item->Printed());
  cls::Owned<TppCacheManager> cache(new TppCacheManager(nullptr));
  cache->SetCacheables({item});
  item->SaveToCache(3);
  item->Reset();
  EXPECT_FALSE(item->Repeated());
  EXPECT_FALSE(item->Printed());
  item->RestoreFromCache(3);
  EXPECT_TRUE(item->Repeated());
  EXPECT_TRUE(item->Printed());
  item->Reset();
  item->RestoreFromCache(9);
  EXPECT_FALSE(item->Repeated());
}

// Event 33 and 34 subscribers read and change the variable's value
// through the parameter bound to it.
TEST_F(VarReport, SubscribersChangeTheValueThroughItsParameter) {
  for (double a : {5.0, 3.0, 7.0}) items->AddRecord({{"Amount", TValue(a)}});
  auto* var = Put(new TppVariable(report.get()), detail, 0);
  var->SetDataType(dtDouble);
  std::vector<double> seen;
  TEventHook calc(var, {ciComponentCalc}, [&](TppCommunicator*, int, TraParamList* params) {
    cls::Variant v;
    ASSERT_TRUE(params && params->GetParam("Value", v));
    seen.push_back(v.AsDouble());
    EXPECT_TRUE(params->SetParamValue("Value", cls::Variant(v.AsDouble() + items->GetFieldAsDouble("Amount"))));
  });
  TEventHook reset(var, {ciVariableReset}, [&](TppCommunicator*, int, TraParamList* params) {
    EXPECT_TRUE(params && params->SetParamValue("Value", cls::Variant(100.0)));
  });
  std::vector<std::string> reads;
  // A second subscriber sees what the first wrote.
  TEventHook after(var, {ciComponentCalc}, [&](TppCommunicator*, int, TraParamList* params) {
    cls::Variant v;
    ASSERT_TRUE(params && params->GetParam("Value", v));
    reads.push_back(cls::VarToStr(v));
  });
  report->Print();
  EXPECT_EQ(seen, (std::vector<double>{0, 5, 8}));
  EXPECT_EQ(reads, (std::vector<std::string>{"5", "8", "15"}));
  // The report's end resets it, and the reset subscriber has its say.
  EXPECT_EQ(var->AsDouble(), 100);
  EXPECT_TRUE(Has(PrintedTexts().at(0), "15"));
}

namespace {

// Adds the current record's amount to the value.
struct TAmountAdder {
  TppListPipeline* items;
  void Calc(cls::TObject*, cls::Variant& v) { v = cls::Variant(v.AsDouble() + items->GetFieldAsDouble("Amount")); }
};

}  // namespace

// Amounts A: 5, 3, 7 and B: 2.5, 4 grouped: the footer's DB calcs, a
// variable reset at each group's end, and the same totals printed ahead in
// the group header by look-ahead; the summary's totals over both. A group
// header takes its group's first record (the traversal) before it fires
// the group start, so a variable reset at the group's start misses that
// record.
TEST_F(VarReport, GroupTotalsInFootersAndAheadInHeaders) {
  report->PrinterSetup()->PageDef()->SetmmHeight(200000);  // one page
  TppGroup* group = Grouped({{"A", 5}, {"A", 3}, {"A", 7}, {"B", 2.5}, {"B", 4}});
  TppCustomBand* groupHeader = group->HeaderBand();
  TppCustomBand* groupFooter = group->FooterBand();
  auto* summary = Band(new TppSummaryBand(nullptr), 10000);

  TAmountAdder adder{items.get()};
  auto variable = [&](TppCustomBand* band, int32_t left, bool lookAhead, TppVarEventType reset = veGroupEnd) {
    auto* v = Put(new TppVariable(report.get()), band, left);
    v->SetDataType(dtDouble);
    v->OnCalc = TppVarCalcEvent(&adder, &TAmountAdder::Calc);
    v->SetResetType(reset);
    v->SetResetComponent(group);
    v->SetLookAhead(lookAhead);
    return v;
  };
  variable(groupHeader, 0, true);
  TppDBCalc* ahead = DBCalc(groupHeader, 32000, dcSum);
  ahead->SetLookAhead(true);
  EXPECT_EQ(ahead->ResetGroup(), group);  // placed in a group band
  int left = 0;
  for (TppDBCalcType t : {dcSum, dcCount, dcAverage, dcMinimum, dcMaximum}) {
    DBCalc(groupFooter, left, t);
    left += 32000;
  }
  variable(groupFooter, left, false);
  variable(groupFooter, left + 32000, false, veGroupStart);
  DBCalc(summary, 0, dcSum)->SetDisplayFormat("#,0.00");
  DBCalc(summary, 32000, dcAverage);
  EXPECT_EQ(report->PassSetting(), TppPassSettingType::psTwoPass);
  report->Print();
  auto pages = PrintedTexts();
  ASSERT_EQ(pages.size(), 1u);
  using V = std::vector<std::string>;
  EXPECT_EQ(pages[0], (V{"15", "15",                                  // group A's header, ahead
                         "15", "3", "5", "3", "7", "15", "10",        // its footer
                         "6.5", "6.5",                                // group B's header
                         "6.5", "2", "3.25", "2.5", "4", "6.5", "4",  // its footer
                         "21.50", "4.3"}));                           // the summary
}

// The minimum and maximum start afresh with each group; an average over no
// records is 0.
TEST_F(VarReport, MinimumAndMaximumStartAfreshAfterAGroupReset) {
  TppGroup* group = Grouped({{"A", 1}, {"A", 9}, {"B", 5}, {"B", 6}});
  DBCalc(group->FooterBand(), 0, dcMinimum);
  DBCalc(group->FooterBand(), 40000, dcMaximum);
  report->Print();
  auto pages = PrintedTexts();
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], (std::vector<std::string>{"1", "9", "5", "6"}));
  TppDBCalc none(nullptr);
  none.SetDBCalcType(dcAverage);
  EXPECT_EQ(none.Result(), 0);
}
