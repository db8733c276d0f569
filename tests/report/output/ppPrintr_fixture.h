// Printers for the printer tests: a fresh root with the printer list, the
// recorded jobs and the metrics reset around each case.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/gdi/gdi.h"
#include "platform/spool/osversion.h"
#include "report/output/ppPrintr.h"
#include "tests/support/testroot.h"

namespace {

[[maybe_unused]] spool::PrinterDef Office(const std::string& name) {
  spool::PrinterDef d;
  d.name = name;
  d.ports = {"LPT1:", "LPT2:"};
  d.dpiX = d.dpiY = 600;
  d.color = true;
  d.papers = {{9, 2100, 2970, "A4"}, {1, 2159, 2794, "Letter"}, {20, 0, 0, "Envelope #10"}};
  d.bins = {{7, "Automatic"}, {4, "Manual Feed"}};
  d.backend = spool::PrinterBackend::Record;
  return d;
}

[[maybe_unused]] spool::PrinterDef RecordingZolmet() {
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.backend = spool::PrinterBackend::Record;
  return d;
}

// "Zolmet" recording its jobs as the default printer, the printer list read
// afresh and no job recorded yet.
[[maybe_unused]] void UseRecordingZolmet() {
  ppPrintrFinalize();
  gdi::ClearRecordedJobs();
  ASSERT_TRUE(spool::InstallPrinter(RecordingZolmet()));
  ASSERT_TRUE(spool::SetDefaultPrinter("Zolmet"));
}

// SETUP in millimetres on "Zolmet": paper 82 mm wide and HEIGHT high, no
// margins.
[[maybe_unused]] void ZolmetPaper(TppPrinterSetup& setup, float height = 100) {
  setup.SetUnits(utMillimeters);
  setup.SetPrinterName("Zolmet");
  setup.SetPaperWidth(82);
  setup.SetPaperHeight(height);
  for (auto set : {&TppPrinterSetup::SetMarginLeft, &TppPrinterSetup::SetMarginTop, &TppPrinterSetup::SetMarginRight,
                   &TppPrinterSetup::SetMarginBottom})
    (setup.*set)(0);
}

class Printers : public ::testing::Test {
 protected:
  void SetUp() override {
    ppPrintrFinalize();
    gdi::ClearRecordedJobs();
    gdi::SetDeterministicMetrics(true);
  }
  void TearDown() override {
    ppPrintrFinalize();
    spool::SetPropertiesPrompt(nullptr);
    win::SetVersionForTesting(win::VER_PLATFORM_WIN32_NT, 5);
    gdi::SetDeterministicMetrics(false);
  }
  void Install(const spool::PrinterDef& d, bool makeDefault = false) {
    ASSERT_TRUE(spool::InstallPrinter(d));
    if (makeDefault) {
      ASSERT_TRUE(spool::SetDefaultPrinter(d.name));
    }
  }
  // The texts of every printed page, page by page.
  static std::vector<std::vector<std::string>> PrintedTexts() {
    std::vector<std::vector<std::string>> pages;
    for (const gdi::Job& job : gdi::RecordedJobs())
      for (const gdi::Page& page : job.pages) {
        std::vector<std::string> texts;
        for (const gdi::Op& op : page.ops)
          if (auto* t = op.As<gdi::TextOp>()) texts.push_back(t->text);
        pages.push_back(texts);
      }
    return pages;
  }
  testing_support::TempRoot root_;
};

}  // namespace
