// A report printed on the demo printer of a fresh system root while a
// subscriber stands in for a scripted handler: what it writes into the
// event's parameters is what the report does.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class ScriptedReport : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    report_ = new TppReport(nullptr);
    report_->SetUnits(utMillimeters);
    report_->PrinterSetup()->SetPrinterName("Zolmet");
    report_->SetDeviceType("Printer");
    report_->SetShowPrintDialog(false);
    auto* detail = static_cast<TppCustomBand*>(report_->DetailBand());
    detail->SetHeight(20);
    label_ = new TppLabel(nullptr);
    label_->SetBand(detail);
    label_->Font()->SetName("Arial");
    label_->Font()->SetSize(12);
    label_->SetCaption("Before");
    label_->SetBoundsInUnits(5, 2, 40, 6);
  }
  void TearDown() override {
    label_->Free();
    report_->Free();
    ui::Application().Shutdown();
    ppPrintrFinalize();
    ui::SetEchoDialogs(true);
  }
  std::string PdfText(int job) const {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.pdf", job);
    std::string pdf = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet") + name;
    if (!fs::exists(pdf)) return std::string();
    return Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
  }

  TempRoot tmp_;
  std::string root_;
  TppReport* report_ = nullptr;
  TppLabel* label_ = nullptr;
};

}  // namespace

TEST_F(ScriptedReport, ATextSubscriberPutsItsTextOnThePrintedPage) {
  if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
  report_->Print();
  std::string before = PdfText(1);
  EXPECT_NE(before.find("Before"), std::string::npos) << before;

  int calls = 0;
  TEventHook hook(label_, {ciComponentGetText}, [&](TppCommunicator*, int, TraParamList* params) {
    ++calls;
    ASSERT_NE(params, nullptr);
    EXPECT_TRUE(params->SetParamValue("Text", std::string("After")));
  });
  report_->Print();
  EXPECT_GE(calls, 1);
  std::string after = PdfText(2);
  EXPECT_NE(after.find("After"), std::string::npos) << after;
  EXPECT_EQ(after.find("Before"), std::string::npos) << after;
}

TEST_F(ScriptedReport, ANoDataSubscriberKeepsTheNoDataDialogAway) {
  cls::Owned<TppListPipeline> empty(new TppListPipeline(nullptr));
  empty->AddField("Item");
  report_->SetDataPipeline(empty.get());
  report_->SetNoDataBehaviors(TppNoDataBehaviors{ndMessageDialog, ndBlankPage});
  report_->SetShowCancelDialog(false);
  auto noDataDialogs = [] {
    int n = 0;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) n += d.text == "No data found for this report.";
    return n;
  };
  // No data prints no page, which is no job: the caller is told.
  EXPECT_THROW(report_->Print(), EPrintError);
  EXPECT_EQ(noDataDialogs(), 1);

  ui::ClearRecordedDialogs();
  int calls = 0;
  TEventHook hook(report_, {ciReportNoData}, [&](TppCommunicator*, int, TraParamList* params) {
    ++calls;
    bool show = false;
    ASSERT_TRUE(params && params->GetParam("aShowDialog", show));
    EXPECT_TRUE(show);
    EXPECT_TRUE(params->SetParamValue("aShowDialog", false));
  });
  EXPECT_THROW(report_->Print(), EPrintError);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(noDataDialogs(), 0);
  report_->SetDataPipeline(nullptr);
}
