// The text search tests' report: page 80 x 100 mm with 10 mm margins, in
// millimetres; a new page for each region of the list pipeline (Region,
// Text), its 10 mm header showing the region, a 0 mm footer, and a 10 mm
// detail showing the text. Pages: 台北 rows 1-7 and 8-10, 台中 11-13, 高雄
// 14-20 and 21, each page's rows from 20 mm down.
#pragma once
#include <string>
#include <vector>

#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace testing_support {

class TSearchReport {
 public:
  TSearchReport() {
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"Region", "Text"});
    for (const char* t : {"the cat sat", "Cats and a CAT.", "concatenate", "文中", "一cat", "兀乙", "scat", "(cat)",
                          "cat cat", "catcat cat"})
      Row("台北", t);
    for (const char* t : {"dog", "功能", "bird"}) Row("台中", t);
    Row("高雄", "憭");
    for (int i = 0; i < 6; ++i) Row("高雄", "-");
    Row("高雄", "CAT");
    report.reset(new TppReport(nullptr));
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Screen");
    SetPage(report.get(), 80000, 100000, 10000);
    report->SetDataPipeline(data.get());
    auto* group = new TppGroup(nullptr);  // the report's to free
    group->SetReport(report.get());
    group->SetDataPipeline(data.get());
    group->SetBreakName("Region");
    group->SetNewPage(true);
    auto* header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    header->SetHeight(10);
    auto* footer = new TppGroupFooterBand(nullptr);
    footer->SetGroup(group);
    footer->SetHeight(0);
    Field(header, "Region");
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetHeight(10);
    Field(detail, "Text");
  }
  ~TSearchReport() {
    fields.clear();
    report.reset();
    data.reset();
  }
  TSearchReport(const TSearchReport&) = delete;
  TSearchReport& operator=(const TSearchReport&) = delete;

  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  std::vector<cls::Owned<TppDBText>> fields;

 private:
  void Row(const std::string& region, const std::string& text) {
    data->AddRecord({{"Region", TppListPipeline::TValue(region)}, {"Text", TppListPipeline::TValue(text)}});
  }
  void Field(TppBand* band, const std::string& field) {
    auto* t = new TppDBText(nullptr);
    fields.emplace_back(t);
    t->SetBand(static_cast<TppCustomBand*>(band));
    t->SetDataPipeline(data.get());
    t->SetDataField(field);
    t->SetBoundsInUnits(0, 0, 60, 8);
  }
};

}  // namespace testing_support
