#include <gtest/gtest.h>

#include <atomic>
#include <poll.h>
#include <thread>
#include <unistd.h>

#include "control/uuInvoice.h"
#include "platform/serial/serial.h"
#include "support.h"
#include "tests/support/testroot.h"

namespace {

class InvoiceTest : public ::testing::Test {
 protected:
  void SetUp() override { testing_support::WriteFile(root.Host("C:\\Windows\\System32\\mode.com"), "mode"); }
  static control::uuInvoice::TInvoiceTiming Quick(unsigned deadlineMs = 2000) {
    control::uuInvoice::TInvoiceTiming t;
    t.deadlineMs = deadlineMs;
    t.pauseMs = 20;
    return t;
  }
  testing_support::TempRoot root;
};

}  // namespace

TEST_F(InvoiceTest, SendsExactlyTheBytesGiven) {
  control_test::Pty pty;
  EXPECT_EQ(control::uuInvoice::Invoice("1B40414243", Quick()), "OK");
  EXPECT_EQ(pty.Read(), "\x1B\x40\x41\x42\x43");
  // Line feeds and high bytes go out raw; lower-case hex is read too.
  EXPECT_EQ(control::uuInvoice::Invoice("0a0D00ffA4A4", Quick()), "OK");
  EXPECT_EQ(pty.Read(), std::string("\x0A\x0D\x00\xFF\xA4\xA4", 6));
}

TEST_F(InvoiceTest, EmptyAndOddLengthData) {
  control_test::Pty pty;
  EXPECT_EQ(control::uuInvoice::Invoice("", Quick()), "OK");
  EXPECT_EQ(pty.Read(), "");
  EXPECT_EQ(control::uuInvoice::Invoice("4142434", Quick()), "OK");  // the last odd digit is ignored
  EXPECT_EQ(pty.Read(), "ABC");
}

TEST_F(InvoiceTest, DataThatIsNotHexSendsNothing) {
  control_test::Pty pty;
  EXPECT_EQ(control::uuInvoice::Invoice("41424G", Quick()), "解碼失敗: '4G' is not a valid hex value");
  EXPECT_EQ(control::uuInvoice::Invoice("41 2", Quick()), "解碼失敗: ' 2' is not a valid hex value");
  EXPECT_EQ(pty.Read(), "");
  std::string bytes, message;
  EXPECT_FALSE(control::uuInvoice::HexToBytes("\xA4\xA4", bytes, message));  // a Big5 character
  EXPECT_TRUE(control::uuInvoice::HexToBytes("7", bytes, message));
  EXPECT_EQ(bytes, "");
}

TEST_F(InvoiceTest, PortThatCannotBeOpenedRaises) {
  control_test::Pty pty;
  serial::SetPortMapEntry("COM1", root.path() + "/no/such/tty");
  try {
    control::uuInvoice::Invoice("41", Quick());
    FAIL() << "no exception";
  } catch (const control::uuInvoice::EInvoicePortError& e) {
    EXPECT_STREQ(e.what(), "開檔失敗: 2");
  }
  // Data that is not hex is answered before the port is tried.
  EXPECT_EQ(control::uuInvoice::Invoice("ZZ", Quick()), "解碼失敗: 'ZZ' is not a valid hex value");
}

TEST_F(InvoiceTest, MissingModeCommand) {
  control_test::Pty pty;
  unlink(root.Host("C:\\Windows\\System32\\mode.com").c_str());
  EXPECT_EQ(control::uuInvoice::Invoice("41", Quick()), "COM Port 初始化失敗: 參數設定失敗(2)");
  EXPECT_EQ(pty.Read(), "");
}

TEST_F(InvoiceTest, StalledReaderEndsAtTheDeadline) {
  control_test::Pty pty;
  std::string hex;
  for (int i = 0; i < (1 << 20); ++i) hex += "55";  // far more than the line holds
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(control::uuInvoice::Invoice(hex, Quick(1500)), "列印逾時");
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(s, 1.5);
  EXPECT_LT(s, 3.5);
}

TEST_F(InvoiceTest, SlowReaderIsWrittenInPieces) {
  control_test::Pty pty;
  constexpr size_t kBytes = 300000;
  std::string hex, expected;
  for (size_t i = 0; i < kBytes; ++i) {
    static const char d[] = "0123456789ABCDEF";
    unsigned char b = static_cast<unsigned char>(i * 7);
    hex += d[b >> 4];
    hex += d[b & 15];
    expected += static_cast<char>(b);
  }
  std::atomic<bool> done{false};
  std::string got;
  std::thread reader([&] {
    char buf[8192];
    while (got.size() < kBytes) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      pollfd p{pty.Master(), POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) {
        if (done) break;
        continue;
      }
      ssize_t n = read(pty.Master(), buf, sizeof buf);
      if (n > 0) got.append(buf, static_cast<size_t>(n));
    }
  });
  EXPECT_EQ(control::uuInvoice::Invoice(hex, Quick(20000)), "OK");
  done = true;
  reader.join();
  EXPECT_EQ(got, expected);
}

TEST(InvoiceTiming, DefaultsAndShortening) {
  unsetenv("ZOLMET_INVOICE_DEADLINE_MS");
  unsetenv("ZOLMET_INVOICE_PAUSE_MS");
  auto t = control::uuInvoice::TInvoiceTiming::FromEnvironment();
  EXPECT_EQ(t.deadlineMs, 30000u);
  EXPECT_EQ(t.pauseMs, 500u);
  setenv("ZOLMET_INVOICE_DEADLINE_MS", "1200", 1);
  setenv("ZOLMET_INVOICE_PAUSE_MS", "junk", 1);
  t = control::uuInvoice::TInvoiceTiming::FromEnvironment();
  EXPECT_EQ(t.deadlineMs, 1200u);
  EXPECT_EQ(t.pauseMs, 500u);
  // Never longer: the browser waits no more than the fixed limits.
  setenv("ZOLMET_INVOICE_DEADLINE_MS", "600000", 1);
  setenv("ZOLMET_INVOICE_PAUSE_MS", "5000", 1);
  t = control::uuInvoice::TInvoiceTiming::FromEnvironment();
  EXPECT_EQ(t.deadlineMs, 30000u);
  EXPECT_EQ(t.pauseMs, 500u);
  unsetenv("ZOLMET_INVOICE_DEADLINE_MS");
  unsetenv("ZOLMET_INVOICE_PAUSE_MS");
}
