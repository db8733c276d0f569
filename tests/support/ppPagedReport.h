// A report of one page a row for the preview's runs: units mm, 82 x 100 mm
// on "Zolmet", CachePages; page k reads "Page k", and the pages listed in
// DRAVIK also read "Dravik".
#pragma once
#include <algorithm>
#include <string>
#include <vector>

#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace testing_support {

class TPagedReport {
 public:
  explicit TPagedReport(int pages, std::vector<int> dravik = {2, 4}) {
    data.reset(new TppListPipeline(nullptr));
    data->SetFieldNames({"N", "Text", "Extra"});
    for (int k = 1; k <= pages; ++k) {
      bool hit = std::find(dravik.begin(), dravik.end(), k) != dravik.end();
      data->AddRecord({{"N", TppListPipeline::TValue(std::to_string(k))},
                       {"Text", TppListPipeline::TValue("Page " + std::to_string(k))},
                       {"Extra", TppListPipeline::TValue(std::string(hit ? "Dravik" : ""))}});
    }
    report.reset(new TppReport(nullptr));
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    report->PrinterSetup()->SetDocumentName("Pages");
    SetPage(report.get(), 82000, 100000, 5000);
    report->SetCachePages(true);
    report->SetShowCancelDialog(false);
    report->SetDataPipeline(data.get());
    auto* group = new TppGroup(nullptr);  // the report's to free
    group->SetReport(report.get());
    group->SetDataPipeline(data.get());
    group->SetBreakName("N");
    group->SetNewPage(true);
    auto* header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    header->SetHeight(0);
    auto* footer = new TppGroupFooterBand(nullptr);
    footer->SetGroup(group);
    footer->SetHeight(0);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetHeight(20);
    Field(detail, "Text", 0);
    Field(detail, "Extra", 10);
  }
  ~TPagedReport() {
    fields.clear();
    report.reset();
    data.reset();
  }
  TPagedReport(const TPagedReport&) = delete;
  TPagedReport& operator=(const TPagedReport&) = delete;

  cls::Owned<TppListPipeline> data;
  cls::Owned<TppReport> report;
  std::vector<cls::Owned<TppDBText>> fields;

 private:
  void Field(TppBand* band, const std::string& field, int top) {
    auto* t = new TppDBText(nullptr);
    fields.emplace_back(t);
    t->SetBand(static_cast<TppCustomBand*>(band));
    t->SetDataPipeline(data.get());
    t->SetDataField(field);
    t->SetBoundsInUnits(0, top, 60, 8);
  }
};

}  // namespace testing_support
