// A report on "Zolmet" (82 x 100 mm, margins 0, no pipeline, AutoStop)
// holding a stretching rich text in a dynamic detail band: the rich-text
// commands of every page as the engine made them.
#pragma once
#include <string>
#include <vector>

#include "report/components/ppRichTx.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppReport.h"
#include "report/output/ppDrwCmd.h"
#include "tests/support/ppTestReport.h"

namespace {

struct TRichPage {
  int32_t start = 0, end = 0, top = 0, height = 0;
  bool hasRichText = false;
};

// "Line 01" ... "Line N" in 細明體 12 pt, no paragraph end after the last.
[[maybe_unused]] std::string NumberedLines(int n, int halfPoints = 24) {
  std::string rtf = "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0\\fcharset136 \\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}}"
                    "\\f0\\fs" + std::to_string(halfPoints) + " ";
  for (int i = 1; i <= n; ++i) {
    char line[16];
    std::snprintf(line, sizeof line, "Line %02d", i);
    rtf += line;
    if (i < n) rtf += "\\par ";
  }
  return rtf + "}";
}

class TRichTextReport {
 public:
  TRichTextReport() {
    ppRegisterEngineUnit();
    report.reset(new TppReport(nullptr));
    testing_support::PrintOnZolmet(report.get());
    report->SetAutoStop(true);
    testing_support::SetPage(report.get(), 82000, 100000, 0);
    detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetPrintHeight(phDynamic);
    detail->SetHeight(10);
    rich.reset(new TppRichText(nullptr));
    rich->SetUserName("rtReceipt");
    rich->SetBand(detail);
    rich->SetmmLeft(5000);
    rich->SetmmTop(0);
    rich->SetmmWidth(72000);
    rich->SetmmHeight(10000);
    rich->SetStretch(true);
    report->OnEndPage = cls::TNotifyEvent(this, &TRichTextReport::EndPage);
  }
  ~TRichTextReport() {
    report.reset();
    rich.reset();
  }
  void AddTitle(int32_t mmHeight) {
    auto* title = new TppTitleBand(nullptr);
    title->SetReport(report.get());
    title->SetPrintHeight(phStatic);
    title->SetmmHeight(mmHeight);
  }
  void EndPage(cls::TObject*) {
    TRichPage page;
    TppPage* p = report->Engine()->Page();
    for (int i = 0; i < p->GetDrawCommandCount(); ++i)
      if (auto* c = cls::ObjectAs<TppDrawRichText>(p->GetDrawCommand(i))) {
        page = {c->StartCharPos(), c->EndCharPos(), c->Top(), c->Height(), true};
        if (c->RichTextStream()->Size() == 0) page.hasRichText = false;
      }
    pages.push_back(page);
  }

  cls::Owned<TppReport> report;
  TppDetailBand* detail = nullptr;
  cls::Owned<TppRichText> rich;
  std::vector<TRichPage> pages;
};

}  // namespace
