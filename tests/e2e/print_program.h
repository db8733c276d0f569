// The real ZolmetPrint, started as the browser control starts it, on a
// fresh system root with the printer "Zolmet": its receipts (the jobs of
// "Zolmet", read back with poppler and zbar), its logs, its messages and its
// exit code. Shared by the end-to-end tests of the print program.
#pragma once
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/codepage.h"
#include "tests/printclient/server.h"
#include "tests/support/testroot.h"

namespace print_e2e {

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::Shell;

inline const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

inline const std::string kProgram = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
inline const std::string kHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
inline const std::string kClock = "2009-08-31 12:00:00";

// The program writes receipts and messages in UTF-8; our literals are Big5.
inline std::string U(const std::string& big5) { return cp::Big5ToUtf8(big5); }

struct Outcome {
  win::DWORD code = 0xFFFFFFFF;
  std::string out, err;
};

class PrintProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    std::string target = root_.Host(kProgram);
    fs::create_directories(fs::path(target).parent_path());
    fs::copy_file(testing_support::BinPath("ZolmetPrint"), target);
    fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
    ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
    ASSERT_TRUE(spool::SetDefaultPrinter("Zolmet"));
  }

  // Starts the program through the process layer with the scrambled
  // REQUEST as its one argument, standard output and error caught.
  // With BROKENOUT its standard output is a pipe that nobody reads.
  static std::string Argument(const std::string& request) {
    win::DateTimeParts p{2009, 8, 31, 12, 0, 0};
    return uuCoding::EncodeWithMinutes(request, uuCoding::MinuteCount(win::EncodeDateTime(p)));
  }
  Outcome Start(const std::string& request, bool brokenOut = false) {
    std::string arg = Argument(request);
    std::string outFile = root_.path() + "/out.txt", errFile = root_.path() + "/err.txt";
    std::fflush(stdout);
    std::fflush(stderr);
    int savedOut = dup(1), savedErr = dup(2);
    int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (brokenOut) {
      int fds[2];
      EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
      close(fds[0]);
      close(o);
      o = fds[1];
    }
    int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    dup2(o, 1);
    dup2(e, 2);
    setenv("ZOLMET_CLOCK", kClock.c_str(), 1);
    win::HPROCESS proc = win::CreateProcess("\"" + kProgram + "\" " + arg);
    unsetenv("ZOLMET_CLOCK");
    dup2(savedOut, 1);
    dup2(savedErr, 2);
    close(savedOut);
    close(savedErr);
    close(o);
    close(e);
    Outcome r;
    EXPECT_TRUE(proc);
    if (!proc) return r;
    EXPECT_EQ(win::WaitForSingleObject(proc, 60000), win::WAIT_OBJECT_0);
    win::GetExitCodeProcess(proc, r.code);
    r.out = ReadFile(outFile);
    r.err = ReadFile(errFile);
    return r;
  }
  // The program on a pseudo-terminal of its own, answering by PRESSES;
  // what it showed (UTF-8) and its exit code.
  Outcome StartOnTerminal(const std::string& request, const std::vector<std::string>& presses) {
    std::string cmd = "ZOLMET_ROOT='" + root_.path() + "' ZOLMET_CLOCK='" + kClock + "' '" +
                      testing_support::BinPath("zolmet-test-terminal") + "' --timeout 30";
    for (const std::string& p : presses) cmd += " --press '" + U(p) + "'";
    cmd += " -- '" + root_.Host(kProgram) + "' " + Argument(request) + " </dev/null; echo \"exit $?\"";
    Outcome r;
    r.out = Shell(cmd);
    std::smatch m;
    if (std::regex_search(r.out, m, std::regex("exit ([0-9]+)\n$"))) r.code = std::stoul(m[1].str());
    return r;
  }
  std::string Log(const std::string& kind) const {
    return ReadFile(root_.Host("C:\\Zolmet\\Logs\\090831." + kind + ".txt"));
  }
  // Files of job N of the demo printer.
  std::string Job(int n, const std::string& suffix) const {
    char name[48];
    std::snprintf(name, sizeof name, "/job-%04d%s", n, suffix.c_str());
    return root_.Host("C:\\Zolmet\\Printed\\Zolmet") + name;
  }
  std::string Record(int n) const { return fs::exists(Job(n, ".job")) ? ReadFile(Job(n, ".job")) : ""; }
  // Width and height of page 1 in tenths of a millimetre, then in pixels.
  std::string PageLine(int n) const {
    std::smatch m;
    std::string record = Record(n);
    return std::regex_search(record, m, std::regex("Page1=([0-9,]+)\r")) ? m[1].str() : "";
  }
  std::string PdfPageSize(int n) const { return PdfPageSizeOf(Job(n, ".pdf")); }
  // "width x height" in points of page 1 of a PDF file, as pdfinfo tells it.
  static std::string PdfPageSizeOf(const std::string& pdf) {
    std::smatch m;
    std::string info = Shell("pdfinfo '" + pdf + "' 2>/dev/null");
    if (!std::regex_search(info, m, std::regex("Page size: +([0-9.]+) x ([0-9.]+) pts"))) return "";
    char size[64];
    std::snprintf(size, sizeof size, "%.2f x %.2f", std::stod(m[1].str()), std::stod(m[2].str()));
    return size;
  }
  // The PDF's text, runs of blanks made one (the layout mode spaces by position).
  std::string PdfText(int n) const { return PdfTextOf(Job(n, ".pdf")); }
  static std::string PdfTextOf(const std::string& pdf) {
    return Shell("pdftotext -layout '" + pdf + "' - 2>/dev/null | tr -s ' '");
  }
  std::string BarCode(int n) const { return Shell("zbarimg -q --raw '" + Job(n, "-p1.png") + "' 2>/dev/null"); }
  // Top of the first word WORD on page 1 below the page top, millimetres.
  double WordTopMM(int n, const std::string& word) const {
    std::string bbox = Shell("pdftotext -bbox '" + Job(n, ".pdf") + "' - 2>/dev/null");
    std::smatch m;
    if (!std::regex_search(bbox, m, std::regex("yMin=\"([0-9.]+)\"[^>]*>" + word + "<"))) return -1;
    return std::stod(m[1].str()) * 25.4 / 72;
  }
  size_t Jobs() const {
    size_t n = 0;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(root_.Host("C:\\Zolmet\\Printed\\Zolmet"), ec))
      n += e.path().extension() == ".job";
    return n;
  }
  // The two jobs of the demo reply.
  void ExpectDemoJobs() {
    EXPECT_EQ(Jobs(), 2u);
    EXPECT_NE(Record(1).find("Status=done\r\nCopies=1\r\nPages=1\r"), std::string::npos) << Record(1);
    EXPECT_EQ(PageLine(1).substr(0, 12), "820,579,655,") << Record(1);
    EXPECT_EQ(PdfPageSize(1), "232.44 x 164.13");
    std::string text = PdfText(1);
    for (const char* line : {"Orvane Dravik購卡站", "Orvane 購卡站 收據", "點數卡 300 點 NT$ 300", "合計 NT$ 300",
                             "謝謝光臨"})
      EXPECT_NE(text.find(U(line)), std::string::npos) << U(line) << "\n" << text;
    EXPECT_EQ(BarCode(1), "2000001000014\n");

    EXPECT_NE(Record(2).find("Pages=1\r"), std::string::npos) << Record(2);
    EXPECT_EQ(PageLine(2).substr(0, 8), "820,301,") << Record(2);
    EXPECT_EQ(PdfPageSize(2), "232.44 x 85.32");
    text = PdfText(2);
    EXPECT_NE(text.find(U("交易序號 20090831-0001")), std::string::npos) << text;
    EXPECT_NE(text.find(U("本收據無條碼")), std::string::npos) << text;
    EXPECT_EQ(BarCode(2), "");
    // The first memo line: under the bar code, or right under the title.
    EXPECT_NEAR(WordTopMM(1, U("收據")), 31.2, 0.6);
    EXPECT_NEAR(WordTopMM(2, U("交易序號")), 11.9, 0.6);
  }

  testing_support::TempRoot root_;
};

}  // namespace print_e2e
