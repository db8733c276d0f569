// The control as the browser meets it: a fresh system root laid out by the
// set-up command, the control registered by regsvr32 from the system
// folder, and a page (zolmet-page) creating and scripting it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "common/uuKeyTable.h"
#include "control/uuCoding.h"
#include "platform/registry/registry.h"
#include "platform/serial/serial.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "support.h"
#include "tests/printclient/server.h"
#include "tests/support/testroot.h"

using control_test::RunResult;

namespace {

const char kOcx[] = "C:\\Program Files\\Zolmet\\Zolmet.ocx";

std::string Utf8(const std::string& big5) { return cp::Big5ToUtf8(big5); }

class ControlE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    RunResult setup = control_test::Run("zolmet-sysroot", {root.path()});
    ASSERT_EQ(setup.exitCode, 0) << setup.err;
    regsvr32 = root.Host("C:\\Windows\\System32\\regsvr32.exe");
    control_test::Install("Zolmet.ocx", kOcx);
    control_test::Install("ZolmetPrint", "C:\\Program Files\\Zolmet\\ZolmetPrint.exe");
    emptyStore = reg::Load(reg::Hive::ClassesRoot).Dump();
    RunResult reg = control_test::Run(regsvr32, {"/s", kOcx});
    ASSERT_EQ(reg.exitCode, 0) << reg.err;
    EXPECT_EQ(reg.out + reg.err, "");  // silent
  }
  RunResult Page(const std::vector<std::string>& args, const std::map<std::string, std::string>& env = {}) {
    return control_test::Run("zolmet-page", args, env);
  }
  testing_support::TempRoot root;
  std::string regsvr32;
  std::vector<std::string> emptyStore;
};

// The server's partner routine for the identity text (its own code, not the control's).
std::string DecodeIdentity(const std::string& hex, int n) {
  const auto& key = uuKeyTable::CodingKeys[static_cast<size_t>(std::abs(n + control::uuCoding::kEncodeKeyOffset) % 10)];
  unsigned count = std::stoul(hex.substr(0, 2), nullptr, 16);
  unsigned prev = count ^ control::uuCoding::kEncodeStartByte;
  std::string out;
  for (size_t i = 2, k = 0; i + 1 < hex.size(); i += 2, k = (k + 1) % key.size()) {
    unsigned r = std::stoul(hex.substr(i, 2), nullptr, 16) ^ (((prev >> 2) ^ (prev << 5)) & 0xFF) ^
                 static_cast<unsigned char>(key[k]);
    prev = ((r << 3) | (r >> 5)) & 0xFF;
    if (i / 2 > count) out += static_cast<char>(prev);
  }
  return out;
}

}  // namespace

TEST_F(ControlE2E, RegisteredControlAnswersThePageAndUnregistersCleanly) {
  RunResult r = Page({"GetVer", ";", "GetInnerVer", ";", "GetFileName"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1,0,0,27\nv20090831a\nC:\\Program Files\\Zolmet\\Zolmet.ocx\n");
  r = Page({"--clsid", "{8070d7ab-9d3f-4eb9-9405-70447f713814}", "GetVer"});
  EXPECT_EQ(r.out, "1,0,0,27\n");

  r = control_test::Run(regsvr32, {"/u", kOcx});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("DllUnregisterServer"), std::string::npos);
  EXPECT_EQ(reg::Load(reg::Hive::ClassesRoot).Dump(), emptyStore);  // every entry it wrote is gone
  r = Page({"GetVer"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("class not registered"), std::string::npos);
}

TEST_F(ControlE2E, Regsvr32Failures) {
  EXPECT_EQ(control_test::Run(regsvr32, {}).exitCode, 1);
  EXPECT_EQ(control_test::Run(regsvr32, {"/s", "C:\\nothing.ocx"}).exitCode, 3);
  control_test::Install("IPHLPAPI.DLL", "C:\\Temp\\plain.dll");  // a library without the entry points
  RunResult r = control_test::Run(regsvr32, {"C:\\Temp\\plain.dll"});
  EXPECT_EQ(r.exitCode, 4);
  EXPECT_NE(r.err.find("DllRegisterServer"), std::string::npos);
}

TEST_F(ControlE2E, PrintProgramVersionAndRequest) {
  RunResult r = Page({"GetPrinterVer"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "v20090831a\n");

  r = Page({"Print", "127.0.0.1", "localhost:9", "/shop/", "E2E-7731"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_NE(control_test::ReadLog("Zolmet.debug").find(
                "[OCX][Print] IP=127.0.0.1 Web=localhost:9 Page=/shop/ Data=E2E-7731\r\n"),
            std::string::npos);
  // The print program read the request: its own log names the data, and
  // it did not report a damaged argument.
  bool seen = false;
  for (int i = 0; i < 300 && !seen; ++i) {
    seen = control_test::ReadLog("ZolmetPrint.debug").find("E2E-7731") != std::string::npos ||
           control_test::ReadLog("ZolmetPrint.err").find("E2E-7731") != std::string::npos;
    if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(seen);
  EXPECT_EQ(control_test::ReadLog("ZolmetPrint.hack"), "");
}

// The page's Print and PrintTurn start the installed print program, which
// prints on the demo printer "Zolmet": the demo reply's two receipts, then
// a shift report of three lines without a bar code.
TEST_F(ControlE2E, PrintAndPrintTurnEndAsPrintedJobs) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  const std::string folder = root.Host("C:\\Zolmet\\Printed\\Zolmet");
  auto record = [&](int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.job", n);
    return testing_support::ReadFile(folder + name);
  };
  // Waits until job N has ended (the program runs on after the call).
  auto waitFor = [&](int n) {
    auto open = [&] {
      std::string r = record(n);
      return r.find("Status=") == std::string::npos || r.find("Status=printing\r") != std::string::npos;
    };
    for (int i = 0; i < 600 && open(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return record(n);
  };
  RunResult r = Page({"Print", "127.0.0.1", server.host(), "/Zolmet/", "demo"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  std::string first = waitFor(1), second = waitFor(2);
  EXPECT_NE(first.find("Status=done\r\nCopies=1\r\nPages=1\r\nPage1=820,579,"), std::string::npos) << first;
  EXPECT_NE(second.find("Status=done\r\nCopies=1\r\nPages=1\r\nPage1=820,301,"), std::string::npos) << second;

  r = Page({"PrintTurn", "shift 1\nshift 2\nshift 3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::string shift = waitFor(3);
  EXPECT_NE(shift.find("Status=done\r\nCopies=1\r\nPages=1\r\nPage1=820,343,"), std::string::npos) << shift;
  EXPECT_EQ(control_test::ReadLog("ZolmetPrint.err"), "");
  EXPECT_EQ(control_test::ReadLog("ZolmetPrint.hack"), "");
}

TEST_F(ControlE2E, InvoiceReachesThePseudoTerminalStandingForCom1) {
  control_test::Pty pty;
  RunResult r = Page({"Invoice", "1B40414243"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "OK\n");
  EXPECT_EQ(pty.Read(), "\x1B\x40\x41\x42\x43");

  r = Page({"Invoice", "1B4X"});
  EXPECT_EQ(r.out, Utf8("解碼失敗: '4X' is not a valid hex value") + "\n");
  EXPECT_EQ(pty.Read(), "");

  // A port that cannot be opened is a script error.
  serial::SetPortMapEntry("COM1", root.path() + "/no/such/tty");
  r = Page({"Invoice", "41"}, {{"ZOLMET_INVOICE_PAUSE_MS", "10"}});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(Utf8("開檔失敗: 2")), std::string::npos) << r.err;
}

TEST_F(ControlE2E, StalledPrinterTimesOutAtTheDeadline) {
  control_test::Pty pty;
  std::string hex(100000, 'A');  // 50000 bytes; the page's argument limit allows no more
  auto start = std::chrono::steady_clock::now();
  // Fill the line first so that the page's bytes cannot all go.
  int fd = serial::OpenPort("COM1");
  ASSERT_GE(fd, 0);
  std::string filler(1 << 16, 'f');
  while (serial::WritePort(fd, filler.data(), filler.size()) > 0) {
  }
  RunResult r = Page({"Invoice", hex}, {{"ZOLMET_INVOICE_DEADLINE_MS", "1500"}, {"ZOLMET_INVOICE_PAUSE_MS", "100"}});
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  serial::ClosePort(fd);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, Utf8("列印逾時") + "\n");
  EXPECT_LT(s, 6.0);
}

TEST_F(ControlE2E, MachineIdentityScrambledTwiceDecodesToOneText) {
  control_test::InstallFakeAdapters(
      "adapter 00E04C680001 192.168.10.20/255.255.255.0 192.168.10.254\n"
      "adapter 00E04C680002 10.0.0.5/255.0.0.0 -\n");
  std::map<std::string, std::string> env = {{"ZOLMET_COMPUTERNAME", "COUNTER07"}};
  RunResult r = Page({"GetInfo", "3", ";", "GetInfo", "3", ";", "GetIPInfo", ";", "GetInfoSize"}, env);
  ASSERT_EQ(r.exitCode, 0) << r.err;
  std::vector<std::string> lines;
  for (size_t pos = 0, nl; (nl = r.out.find('\n', pos)) != std::string::npos; pos = nl + 1)
    lines.push_back(r.out.substr(pos, nl - pos));
  ASSERT_EQ(lines.size(), 5u) << r.out;  // the list's CR shows as a line break
  std::regex upperHex("[0-9A-F]+");
  EXPECT_TRUE(std::regex_match(lines[0], upperHex));
  EXPECT_TRUE(std::regex_match(lines[1], upperHex));
  EXPECT_NE(lines[0], lines[1]);
  EXPECT_EQ(lines[2], "00E04C680001C0A80A14");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(DecodeIdentity(lines[0], 3), "\rCOUNTER07\r00E04C680001C0A80A14\r");
  EXPECT_EQ(DecodeIdentity(lines[1], 3), DecodeIdentity(lines[0], 3));
  EXPECT_EQ(lines[4], "11");
}

TEST_F(ControlE2E, IdentityFromTheInstalledSystemLibrary) {
  RunResult r = Page({"GetIPInfo", ";", "GetInfoSize"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_TRUE(std::regex_match(r.out, std::regex("(([0-9A-F]{12}([0-9A-F]{8})+\n)*)\n(10|11)\n"))) << r.out;
  // Without the library: an answer, and one error line each.
  std::remove(root.Host("C:\\Windows\\System32\\IPHLPAPI.DLL").c_str());
  r = Page({"GetIPInfo", ";", "GetInfo", "1", ";", "GetInfoSize"});
  EXPECT_EQ(r.out, "ERROR\nERROR\n0\n");
  std::string log = control_test::ReadLog("Zolmet.err");
  EXPECT_NE(log.find("[GetIPInfo] GetMacIP: 載入函式庫失敗\r\n"), std::string::npos);
  EXPECT_NE(log.find("[GetInfo] GetMacIP: 載入函式庫失敗\r\n"), std::string::npos);
}

TEST_F(ControlE2E, PageTextsWithoutBig5FormAndFailingCalls) {
  control_test::InstallFakePrinter();  // records what it decodes
  // é and an emoji have no Big5 form; 台 has.
  RunResult r = Page({"PrintTurn", "\xC3\xA9\xF0\x9F\x98\x80\xE5\x8F\xB0", ";", "Print", "\xC3\xA9", "w", "p", "\xE5\x8F\xB0\xFF"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n1\n");
  std::string recorded;
  for (int i = 0; i < 300 && std::count(recorded.begin(), recorded.end(), '\n') < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    recorded = testing_support::ReadFile(root.Host("C:\\recorded.txt"));
  }
  // Each character without a Big5 form arrives as "?".
  EXPECT_TRUE(std::regex_search(recorded, std::regex("(^|\n)IS\\?+\xA5\x78\n"))) << Utf8(recorded);
  EXPECT_NE(recorded.find("XJ?,w,p,\xA5\x78?\n"), std::string::npos) << Utf8(recorded);
  std::string debug = control_test::ReadLog("Zolmet.debug");
  EXPECT_NE(debug.find("IP=? Web=w Page=p Data=台?"), std::string::npos) << Utf8(debug);

  r = Page({"GetInfo", "seven"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Type mismatch"), std::string::npos);
  r = Page({"NoSuchMethod"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("Unknown name"), std::string::npos);
  r = Page({"Caption=Counter", ";", "Caption"});
  EXPECT_EQ(r.out, "Counter\n");
  // Control characters of results and errors reach the terminal shown, not
  // obeyed, as the programs show them.
  r = Page({"Caption=\x1b[2J\x07\tx\ry", ";", "Caption", ";", "No\x1bSuch"});
  EXPECT_EQ(r.out, "^[[2J^G\tx\ny\n");
  EXPECT_NE(r.err.find("zolmet-page: No^[Such: Unknown name"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
}

// The print program comes to run late (350 ms, 1 s: a loaded machine, a
// scan of its file) after the page's Print, fired 1.8 s, 1 s and 0.3 s
// before the minute count turns: each time the server is asked for exactly
// the requested id, and its receipt is printed. The page's clock starts at
// its first reading (Print's) and the programs it starts share it; a
// script stands in front of the program, waits, and then becomes it.
TEST_F(ControlE2E, LateStartsNearTheMinuteTurnFetchExactlyTheRequestedId) {
  const std::string folder = root.path() + "/replies";
  std::filesystem::create_directories(folder);
  printdata_test::ServerProcess server(folder, "/Zolmet/");
  control_test::Install("ZolmetPrint", "C:\\Program Files\\Zolmet\\ZolmetPrint.bin");
  const std::string program = root.Host("C:\\Program Files\\Zolmet\\ZolmetPrint.exe");
  const std::string printed = root.Host("C:\\Zolmet\\Printed\\Zolmet");
  auto jobDone = [&](int n) {
    char name[32];
    std::snprintf(name, sizeof name, "/job-%04d.job", n);
    for (int i = 0; i < 600; ++i) {
      std::string r = testing_support::ReadFile(printed + name);
      if (r.find("Status=") != std::string::npos && r.find("Status=printing\r") == std::string::npos) return r;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return std::string();
  };
  int job = 0;
  for (const char* delay : {"0.35", "1"}) {
    testing_support::WriteFile(program, std::string("#!/bin/sh\nsleep ") + delay + "\nexec '" +
                                            root.Host("C:\\Program Files\\Zolmet\\ZolmetPrint.bin") + "' \"$@\"\n");
    std::filesystem::permissions(program, std::filesystem::perms::owner_all, std::filesystem::perm_options::add);
    for (int msBefore : {1800, 1000, 300}) {
      const std::string id = "Abc0De" + std::to_string(++job);
      SCOPED_TRACE(id + ": started " + delay + " s late, Print " + std::to_string(msBefore) + " ms before the turn");
      testing_support::WriteFile(folder + "/" + id + ".txt", "receipt -\nreceipt " + id + "\n.\n");
      // The minute count turns at 12:00:30.
      const int ms = 30000 - msBefore;
      char clock[64];
      std::snprintf(clock, sizeof clock, "2009-08-31 12:00:%02d.%03d@", ms / 1000, ms % 1000);
      RunResult r = Page({"Print", "127.0.0.1", server.host(), "/Zolmet/", id}, {{"ZOLMET_CLOCK", clock}});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      EXPECT_EQ(r.out, "1\n");
      // Print was called before the turn.
      char stamp[32];
      std::snprintf(stamp, sizeof stamp, "[12:00:%02d] [OCX][Print] ", ms / 1000);
      EXPECT_NE(control_test::ReadLog("Zolmet.debug").find(stamp + std::string("IP=127.0.0.1 Web=") + server.host() +
                                                           " Page=/Zolmet/ Data=" + id + "\r\n"),
                std::string::npos)
          << control_test::ReadLog("Zolmet.debug");
      const std::string record = jobDone(job);
      EXPECT_NE(record.find("Status=done\r"), std::string::npos) << record;
      char pdf[32];
      std::snprintf(pdf, sizeof pdf, "/job-%04d.pdf", job);
      EXPECT_NE(testing_support::Shell("pdftotext '" + printed + pdf + "' -").find("receipt " + id + "\n"),
                std::string::npos);
      EXPECT_NE(control_test::ReadLog("ZolmetPrint.debug")
                    .find("] [GPD] 成功取得列印資料 http://" + server.host() + "/Zolmet/PrintData.aspx?d=" + id + "\r\n"),
                std::string::npos)
          << control_test::ReadLog("ZolmetPrint.debug");
    }
  }
  EXPECT_EQ(control_test::ReadLog("ZolmetPrint.err"), "");
  EXPECT_EQ(control_test::ReadLog("ZolmetPrint.hack"), "");
  // No other id was fetched.
  const std::string debug = control_test::ReadLog("ZolmetPrint.debug");
  size_t fetched = 0;
  for (size_t at = debug.find("[GPD] 連線成功 "); at != std::string::npos; at = debug.find("[GPD] 連線成功 ", at + 1))
    ++fetched;
  EXPECT_EQ(fetched, 6u);
}
