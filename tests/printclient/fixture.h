// A fresh system root, a fixed clock and recorded dialogs for one test of
// the print-data road; the logs of the day and the messages shown.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "common/uuCommon.h"
#include "platform/process/clock.h"
#include "platform/ui/dialogs.h"
#include "printclient/ufMainReceipt.h"
#include "tests/support/testroot.h"

namespace printdata_test {

// 2009-08-31 12:00:00: the logs are 090831.*.txt, every entry [12:00:00].
class PrintDataTest : public ::testing::Test {
 protected:
  PrintDataTest() {
    win::SetNowForTesting(win::EncodeDateTime({2009, 8, 31, 12, 0, 0}));
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
  }
  ~PrintDataTest() override { win::SetNowForTesting(std::nullopt); }

  std::string Log(const std::string& kind) const {
    return testing_support::ReadFile(root_.Host("C:\\Zolmet\\Logs\\090831." + kind + ".txt"));
  }
  std::string ErrLog() const { return Log("ZolmetPrint.err"); }
  std::string DebugLog() const { return Log("ZolmetPrint.debug"); }

  // A whole log file holding exactly these entries.
  static std::string Entries(const std::vector<std::string>& texts) {
    std::string s = uuCommon::kPrintLogHeader;
    for (const std::string& t : texts) s += "[12:00:00] " + t + "\r\n\r\n";
    return s;
  }

  // Outside text as the logs show it: CR and LF as \r and \n.
  static std::string Shown(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
  }

  static std::vector<std::string> Messages() {
    std::vector<std::string> v;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) v.push_back(d.text);
    return v;
  }

  // A recording stand-in for the receipt printer.
  struct Printed {
    int lines;
    std::string barcode, text;
    bool operator==(const Printed&) const = default;
  };
  std::vector<Printed> printed_;
  int failAt_ = -1;        // the receipt (0-based) whose print fails
  std::string failCause_;  // and the cause it gives
  printclient::ufMain::TPrintReceipt Printer() {
    return [this](int lines, const std::string& barcode, const std::string& text, std::string& cause) {
      if (static_cast<int>(printed_.size()) == failAt_) {
        cause = failCause_;
        return false;
      }
      printed_.push_back({lines, barcode, text});
      return true;
    };
  }

  testing_support::TempRoot root_;
};

}  // namespace printdata_test
