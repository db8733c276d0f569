// Data-aware texts in whole reports printed on the recording "Zolmet": a
// name column over runs of repeated values that cross page and group
// breaks, in every combination of SuppressRepeatedValues,
// ReprintOnSubsequent, ResetGroup, one pass or two, cached pages or not and
// a reprinted group header, against a plain model of which records show
// their value; the group footers' counts, with and without a field.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/output/ppDrwCmd.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace {

using TValue = TppListPipeline::TValue;
using TPages = std::vector<std::vector<std::string>>;

struct TRow {
  const char* region;
  const char* name;
};

// Runs of a name across pages (three to five records a page), a run that
// goes on over a region break, and a region break at a page break.
const TRow kRows[] = {
    {"North", "Acme"}, {"North", "Acme"}, {"North", "Acme"}, {"North", "Acme"}, {"North", "Bolt"},
    {"North", "Bolt"}, {"North", "Cyan"}, {"North", "Cyan"}, {"North", "Cyan"}, {"North", "Cyan"},
    {"North", "Cyan"}, {"North", "Acme"}, {"South", "Acme"}, {"South", "Acme"}, {"South", "Dyne"},
    {"South", "Dyne"}, {"South", "Dyne"}, {"South", "Dyne"}, {"South", "Dyne"}, {"South", "Dyne"},
    {"West", "Dyne"},  {"West", "Dyne"},  {"West", "Acme"},
};
constexpr int kRowCount = static_cast<int>(std::size(kRows));

struct TCase {
  bool suppress, reprint, reset, twoPass, cached, header;
  std::string Name() const {
    std::string n;
    for (auto [on, word] : {std::pair{suppress, "Suppress"}, {reprint, "Reprint"}, {reset, "ResetGroup"},
                            {twoPass, "TwoPass"}, {cached, "Cached"}, {header, "ReprintedHeader"}})
      if (on) n += std::string(n.empty() ? "" : "+") + word;
    return n.empty() ? "plain" : n;
  }
};

// What a page shows of the detail: "#n" for each record, followed by its
// name where the name prints; and the group footers' texts, in order.
struct TSeen {
  TPages details;
  std::vector<std::string> footers;
};

bool IsFooterText(const std::string& t) { return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos; }

TSeen Sort(const TPages& pages) {
  TSeen seen;
  for (const auto& page : pages) {
    seen.details.emplace_back();
    for (const std::string& t : page) {
      if (t.rfind("Region ", 0) == 0) continue;  // group headers
      if (IsFooterText(t)) seen.footers.push_back(t);
      else seen.details.back().push_back(t);
    }
  }
  return seen;
}

// The model: with the records laid out as PAGES shows them, which names
// print. A name prints at the first record, where it differs from the
// record before, after a group reset, and at a page's first record when
// reprinted; without suppression, always.
TPages Expected(const TCase& c, const TPages& pages) {
  TPages expected;
  int previous = -1, previousPage = -1;
  for (size_t p = 0; p < pages.size(); ++p) {
    expected.emplace_back();
    for (const std::string& t : pages[p]) {
      if (t.empty() || t[0] != '#') continue;
      int i = std::stoi(t.substr(1)) - 1;
      expected.back().push_back(t);
      if (i < 0 || i >= kRowCount) continue;
      bool prints = !c.suppress || previous < 0 || std::string(kRows[i].name) != kRows[previous].name ||
                    (c.reset && std::string(kRows[i].region) != kRows[previous].region) ||
                    (c.reprint && static_cast<int>(p) != previousPage);
      if (prints) expected.back().push_back(kRows[i].name);
      previous = i;
      previousPage = static_cast<int>(p);
    }
  }
  return expected;
}

// Each region's record count, twice: counted with the field and without.
std::vector<std::string> ExpectedFooters() {
  std::vector<std::string> footers;
  int run = 0;
  for (int i = 0; i < kRowCount; ++i) {
    ++run;
    if (i + 1 == kRowCount || std::string(kRows[i + 1].region) != kRows[i].region) {
      footers.insert(footers.end(), 2, std::to_string(run));
      run = 0;
    }
  }
  return footers;
}

class DBTextReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
    ppRegisterEngineUnit();
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"No", "Region", "Name"});
    for (int i = 0; i < kRowCount; ++i)
      data->AddRecord({{"No", TValue("#" + std::to_string(i + 1))},
                       {"Region", TValue(std::string(kRows[i].region))},
                       {"Name", TValue(std::string(kRows[i].name))}});
    report.reset(new TppReport(nullptr));
    testing_support::PrintOnZolmet(report.get());
    testing_support::SetPage(report.get(), 82000, 41000, 3000, 0, 0, 0);
    report->SetDataPipeline(data.get());
    group = new TppGroup(nullptr);  // the report's to free
    group->SetReport(report.get());
    group->SetDataPipeline(data.get());
    group->SetBreakName("Region");
    auto* header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    header->SetHeight(7);
    Text(header, "Region", 0)->OnFormat = TppFormatEvent(this, &DBTextReport::RegionText);
    footer = new TppGroupFooterBand(nullptr);
    footer->SetGroup(group);
    footer->SetHeight(6);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetHeight(7);
    Text(detail, "No", 0);
    name = Text(detail, "Name", 1);
  }
  void TearDown() override {
    texts.clear();
    report.reset();
    data.reset();
    Printers::TearDown();
  }
  void RegionText(cls::TObject*, const std::string&, TppDataType, const cls::Variant& value, std::string& text) {
    text = "Region " + value.AsString();
  }
  template <class T = TppDBText>
  T* Text(TppBand* band, const std::string& field, int top) {
    auto* t = new T(nullptr);
    texts.emplace_back(t);
    t->SetBand(static_cast<TppCustomBand*>(band));
    t->SetDataPipeline(data.get());
    t->SetDataField(field);
    t->SetBoundsInUnits(0, static_cast<float>(top), 60, 5);
    return t;
  }
  // The group footer's record counts: one over a field, one over none.
  void AddCounts() {
    for (const char* field : {"Name", ""}) {
      auto* count = Text<TppDBCalc>(footer, field, 0);
      count->SetDBCalcType(dcCount);
      count->SetResetGroup(group);
      count->SetBoundsInUnits(field[0] ? 0.0f : 40.0f, 0, 30, 5);
    }
  }
  void Apply(const TCase& c) {
    name->SetSuppressRepeatedValues(c.suppress);
    name->SetReprintOnSubsequent(c.reprint);
    name->SetResetGroup(c.reset ? group : nullptr);
    report->SetPassSetting(c.twoPass ? TppPassSettingType::psTwoPass : TppPassSettingType::psOnePass);
    report->SetCachePages(c.cached);
    group->SetReprintOnSubsequentPage(c.header);
  }
  // The texts of the page the engine has just made, in drawing order.
  void KeepPage(cls::TObject*) {
    std::vector<std::string> page;
    TppPage* p = report->Engine()->Page();
    for (int i = 0; i < p->GetDrawCommandCount(); ++i)
      if (auto* t = cls::ObjectAs<TppDrawText>(p->GetDrawCommand(i))) page.push_back(t->Text());
    made.push_back(page);
  }
  // Page NO (0 for every page) made again through a page request.
  TPages Make(int no) {
    made.clear();
    report->OnEndPage = cls::TNotifyEvent(this, &DBTextReport::KeepPage);
    TppPageRequest request;
    request.SetPageSetting(no == 0 ? TppPageSettingType::psAll : TppPageSettingType::psSinglePage);
    request.SetPageRequested(no);
    report->PageRequest(report.get(), &request);
    report->OnEndPage = cls::TNotifyEvent();
    return made;
  }

  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  TppGroup* group = nullptr;
  TppGroupFooterBand* footer = nullptr;
  TppDBText* name = nullptr;
  std::vector<cls::Owned<TppDBText>> texts;
  TPages made;
};

}  // namespace

TEST_F(DBTextReport, EveryCombinationPrintsWhatTheModelSaysOnEveryPageAndEveryPageMadeAgain) {
  AddCounts();
  std::vector<std::string> numbers;
  for (int i = 1; i <= kRowCount; ++i) numbers.push_back("#" + std::to_string(i));
  for (int bits = 0; bits < 64; ++bits) {
    const TCase c{(bits & 1) != 0,  (bits & 2) != 0,  (bits & 4) != 0,
                  (bits & 8) != 0, (bits & 16) != 0, (bits & 32) != 0};
    SCOPED_TRACE(c.Name());
    Apply(c);
    gdi::ClearRecordedJobs();
    report->Print();
    TPages printed = PrintedTexts();
    ASSERT_GE(printed.size(), 5u);
    TSeen seen = Sort(printed);
    // Every record once, in order.
    std::vector<std::string> records;
    for (const auto& page : seen.details)
      for (const std::string& t : page)
        if (!t.empty() && t[0] == '#') records.push_back(t);
    ASSERT_EQ(records, numbers);
    EXPECT_EQ(seen.details, Expected(c, seen.details));
    EXPECT_EQ(seen.footers, ExpectedFooters());

    // Made again, whole and page by page from the last.
    TPages again = Make(0);
    ASSERT_EQ(again.size(), printed.size());
    EXPECT_EQ(again, printed);
    for (int no = static_cast<int>(printed.size()); no >= 1; --no) {
      TPages one = Make(no);
      ASSERT_EQ(one.size(), 1u) << "page " << no;
      EXPECT_EQ(one[0], printed[static_cast<size_t>(no) - 1]) << "page " << no;
    }
  }
}
