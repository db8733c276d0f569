// The fixture of print runs with dialogs: a fresh system root with the
// demo "Zolmet" printer (and "Office" when asked), no terminal, dialogs
// recorded but not echoed, no scripted entries; what "Zolmet" printed.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/output/ppPrintr.h"
#include "tests/support/testroot.h"

namespace testing_support {

class PrintRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedClicks();
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    folder_ = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  }
  void TearDown() override {
    ui::Application().Shutdown();
    ui::ClearScriptedClicks();
    ppPrintrFinalize();
    ui::SetEchoDialogs(true);
  }
  // A second printer, "Office" (driver "Office Laser" on LPT1).
  void InstallOffice() {
    spool::PrinterDef office = spool::DemoReceiptPrinter();
    office.name = "Office";
    office.driver = "Office Laser";
    office.ports = {"LPT1"};
    office.output = "C:\\Zolmet\\Printed\\Office";
    ASSERT_TRUE(spool::InstallPrinter(office));
    ppPrintrFinalize();
  }
  // Job JOB of "Zolmet": its record (empty when there is none) and its PDF.
  std::string Record(int job) const {
    const std::string file = JobFile(job, "job");
    return std::filesystem::exists(file) ? ReadFile(file) : std::string();
  }
  std::string Pdf(int job) const { return JobFile(job, "pdf"); }
  // The page numbers of "Page n" in the reading order of the job's PDF.
  std::vector<int> PagesRead(int job) const {
    std::vector<int> out;
    const std::string text = Shell("pdftotext -enc UTF-8 '" + Pdf(job) + "' -");
    for (size_t at = text.find("Page "); at != std::string::npos; at = text.find("Page ", at + 5))
      out.push_back(std::atoi(text.c_str() + at + 5));
    return out;
  }
  static bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
  // The texts of the message and error boxes shown so far.
  static std::vector<std::string> Messages() {
    std::vector<std::string> out;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs())
      if (d.kind == "MessageDlg" || d.kind == "MessageBox" || d.kind == "ShowMessage") out.push_back(d.text);
    return out;
  }

  TempRoot tmp_;
  std::string root_, folder_;

 private:
  std::string JobFile(int job, const char* extension) const {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.%s", job, extension);
    return folder_ + name;
  }
};

}  // namespace testing_support
