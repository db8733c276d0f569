#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "control/Zolmet_TLB.h"
#include "control/uuPrintMethods.h"
#include "platform/resources/resources.h"
#include "platform/sysroot/sysroot.h"
#include "support.h"
#include "tests/support/testroot.h"

namespace {

class PrintMethods : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("ZOLMET_TEST_VER_CODE");
    unsetenv("ZOLMET_TEST_VER_HANG");
  }
  // What the stand-in print program decoded, once it has written it.
  std::string Recorded() {
    std::string file = root.Host("C:\\recorded.txt");
    for (int i = 0; i < 500; ++i) {
      std::string s = testing_support::ReadFile(file);
      if (!s.empty() && s.back() == '\n') return s;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return "";
  }
  testing_support::TempRoot root;
};

// Children of this process in the state given ('Z': ended, never
// collected), or in any other state when OTHERS is set.
std::vector<pid_t> Children(char wanted, bool others = false) {
  std::vector<pid_t> found;
  DIR* proc = opendir("/proc");
  if (!proc) {
    ADD_FAILURE() << "/proc cannot be read";
    return found;
  }
  while (dirent* e = readdir(proc)) {
    if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
    std::ifstream f(std::string("/proc/") + e->d_name + "/stat");
    std::string stat;
    if (!std::getline(f, stat)) continue;
    size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    long ppid = 0;
    if (std::sscanf(stat.c_str() + close + 1, " %c %ld", &state, &ppid) == 2 && ppid == getpid() &&
        (state == wanted) != others)
      found.push_back(static_cast<pid_t>(std::atol(e->d_name)));
  }
  closedir(proc);
  return found;
}

// Children that have ended but were never collected.
int ZombieChildren() { return static_cast<int>(Children('Z').size()); }

}  // namespace

TEST_F(PrintMethods, PrintHandsTheRequestOverScrambled) {
  control_test::InstallFakePrinter();
  EXPECT_EQ(control::uuPrintMethods::Print("1.2.3.4", "shop.example", "/pos/", "D1,with,commas"), 1);
  EXPECT_EQ(Recorded(), "XJ1.2.3.4,shop.example,/pos/,D1,with,commas\n");
  std::string debug = control_test::ReadLog("Zolmet.debug");
  EXPECT_EQ(debug.rfind("ZolmetOCX v20090831a\r\n[", 0), 0u);
  EXPECT_NE(debug.find("] [OCX][Print] IP=1.2.3.4 Web=shop.example Page=/pos/ Data=D1,with,commas\r\n\r\n"),
            std::string::npos);
  EXPECT_EQ(control_test::ReadLog("Zolmet.err"), "");
}

// The program's folder has a space in it: an unquoted command line would
// start a "C:\Program.exe" first, handing it the scrambled request.
TEST_F(PrintMethods, APlantedProgramOnTheWayToThePrintProgramIsNeverStarted) {
  control_test::InstallFakePrinter();
  control_test::Install("zolmet-test-planted", "C:\\Program.exe");
  EXPECT_EQ(control::uuPrintMethods::Print("1.2.3.4", "shop.example", "/pos/", "D 1"), 1);
  EXPECT_EQ(Recorded(), "XJ1.2.3.4,shop.example,/pos/,D 1\n");
  std::filesystem::remove(root.Host("C:\\recorded.txt"));
  EXPECT_EQ(control::uuPrintMethods::PrintTurn("shift \"A\""), 1);
  EXPECT_EQ(Recorded(), "ISshift \"A\"\n");
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "v20090831a");
  EXPECT_FALSE(std::filesystem::exists(root.Host("C:\\planted.txt")));
}

TEST_F(PrintMethods, PrintTurnWithEmptyDataStillStarts) {
  control_test::InstallFakePrinter();
  EXPECT_EQ(control::uuPrintMethods::PrintTurn(""), 1);
  EXPECT_EQ(Recorded(), "IS\n");
  EXPECT_EQ(control_test::ReadLog("Zolmet.debug"), "");  // PrintTurn does not log
}

TEST_F(PrintMethods, MissingProgramAnswers13) {
  EXPECT_EQ(control::uuPrintMethods::Print("1.2.3.4", "w", "p", "d"), 13);
  std::string err = control_test::ReadLog("Zolmet.err");
  EXPECT_EQ(err.rfind("ZolmetOCX v20090831a\r\n[", 0), 0u);
  EXPECT_NE(err.find("] [OCX][Print] 執行Printer失敗,Err=2\r\n\r\n"), std::string::npos) << err;
  std::error_code ec;
  std::filesystem::remove_all(sysroot::HostPath("C:\\Zolmet\\Logs\\"), ec);
  EXPECT_EQ(control::uuPrintMethods::PrintTurn("x"), 13);
  EXPECT_EQ(control_test::ReadLog("Zolmet.err"), "");
}

TEST_F(PrintMethods, VersionFromTheExitCode) {
  EXPECT_EQ(control::uuPrintMethods::VersionFromExitCode(9083100), "v20090831a");
  EXPECT_EQ(control::uuPrintMethods::VersionFromExitCode(9083125), "v20090831z");
  EXPECT_EQ(control::uuPrintMethods::VersionFromExitCode(12312001), "v20123120b");
}

TEST_F(PrintMethods, PrinterVersionAnswers) {
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "檔案不存在");
  control_test::InstallFakePrinter();
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "v20090831a");
  setenv("ZOLMET_TEST_VER_CODE", "9083125", 1);
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "v20090831z");
  setenv("ZOLMET_TEST_VER_CODE", "0", 1);  // a program that does not know "VER"
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "取回傳值失敗");
  // A file that cannot be run.
  testing_support::WriteFile(root.Host(control::uuPrintMethods::kPrintProgram), "not a program");
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "執行失敗");
}

TEST_F(PrintMethods, PrinterThatHangsIsLeftAfterTenSeconds) {
  control_test::InstallFakePrinter();
  setenv("ZOLMET_TEST_VER_HANG", "1", 1);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "等待失敗");
  double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(s, 9.9);
  EXPECT_LT(s, 14.0);
  // The program left running ends a second later; the browser must not keep
  // it as a zombie for the rest of its life.
  unsetenv("ZOLMET_TEST_VER_HANG");
  // Until the program left running has ended, leaving it to be collected.
  const std::vector<pid_t> running = Children('Z', true);
  ASSERT_FALSE(running.empty() && Children('Z').empty()) << "the program left running is not a child";
  for (pid_t pid : running) {
    siginfo_t info{};
    while (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
    }
  }
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "v20090831a");
  EXPECT_EQ(ZombieChildren(), 0);
}

TEST_F(PrintMethods, ControlVersionFromTheVersionBlock) {
  control_test::Install("Zolmet.ocx", "C:\\Program Files\\Zolmet\\Zolmet.ocx");
  EXPECT_EQ(control::uuPrintMethods::GetVer("C:\\Program Files\\Zolmet\\Zolmet.ocx"), "1,0,0,27");
  control_test::InstallFakePrinter();  // a program without a version block
  EXPECT_EQ(control::uuPrintMethods::GetVer(control::uuPrintMethods::kPrintProgram), "");
  EXPECT_EQ(control::uuPrintMethods::GetVer("C:\\missing.ocx"), "");
  EXPECT_EQ(control::uuPrintMethods::GetVer(""), "");
}

TEST_F(PrintMethods, ControlFileCarriesItsTypeLibraryAndToolboxBitmap) {
  control_test::Install("Zolmet.ocx", "C:\\Program Files\\Zolmet\\Zolmet.ocx");
  com::TypeLib lib;
  ASSERT_TRUE(com::LoadTypeLibFromFile("C:\\Program Files\\Zolmet\\Zolmet.ocx", lib));
  EXPECT_EQ(com::SaveTypeLib(lib), com::SaveTypeLib(control::Zolmet_TLB::ZolmetTypeLib()));
  win::HMODULE file = win::LoadLibraryAsDataFile("C:\\Program Files\\Zolmet\\Zolmet.ocx");
  win::HRSRC bitmap = win::FindResource(file, "1", "BITMAP");
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(std::string(static_cast<const char*>(win::LockResource(win::LoadResource(file, bitmap))), 2), "BM");
}

// The page's strings are outside text: their line breaks cannot forge a log
// entry, and a 10 MB Data leaves one entry of at most 64 KiB in the log.
TEST_F(PrintMethods, PrintLogsThePagesStringsAsOneBoundedEntry) {
  control_test::InstallFakePrinter();
  EXPECT_EQ(control::uuPrintMethods::Print("1.2.3.4\r\n[10:00:00] [OCX][Print] IP=forged", "w", "p\n", "d"), 1);
  std::string debug = control_test::ReadLog("Zolmet.debug");
  EXPECT_NE(debug.find("] [OCX][Print] IP=1.2.3.4\\r\\n[10:00:00] [OCX][Print] IP=forged Web=w Page=p\\n Data=d\r\n\r\n"),
            std::string::npos)
      << debug;
  std::filesystem::remove_all(sysroot::HostPath("C:\\Zolmet\\Logs\\"));
  const std::string data(10 * 1000 * 1000, 'D');
  control::uuPrintMethods::Print("1.2.3.4", "w", "p", data);
  debug = control_test::ReadLog("Zolmet.debug");
  const size_t entry = debug.find("[");
  ASSERT_NE(entry, std::string::npos);
  EXPECT_LE(debug.size() - entry, 64u * 1024);
  EXPECT_NE(debug.find(" Data=" + std::string(60 * 1024, 'D')), std::string::npos);
  EXPECT_EQ(debug.substr(debug.size() - 11), " bytes)\r\n\r\n");
}

// A print program that a signal ends (here a truncated file, which crashes
// as it is loaded) answers no version: it is told as a program that gave
// none, and logged.
TEST_F(PrintMethods, PrinterKilledByASignalHasNoVersion) {
  control_test::InstallFakePrinter();
  const std::string program = root.Host(control::uuPrintMethods::kPrintProgram);
  std::filesystem::resize_file(program, 8192);
  EXPECT_EQ(control::uuPrintMethods::GetPrinterVer(), "取回傳值失敗");
  std::string err = control_test::ReadLog("Zolmet.err");
  EXPECT_NE(err.find("] [OCX][GetPrinterVer] 列印程式被訊號 "), std::string::npos) << err;
  EXPECT_NE(err.find(" 終止, 沒有版本\r\n\r\n"), std::string::npos) << err;
}
