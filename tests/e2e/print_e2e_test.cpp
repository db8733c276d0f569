// The real ZolmetPrint, started as the browser control starts it, against
// the real print-data server on 127.0.0.1: the receipts it prints (on
// standard output for now), its logs, its messages and its exit code.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/sysroot/codepage.h"
#include "tests/printclient/server.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

const std::string kProgram = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
const std::string kHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
const std::string kClock = "2009-08-31 12:00:00";

// The program writes receipts and messages in UTF-8; our literals are Big5.
std::string U(const std::string& big5) { return cp::Big5ToUtf8(big5); }

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
  }

  // Starts the program through the process layer with the scrambled
  // REQUEST as its one argument, standard output and error caught.
  // With BROKENOUT its standard output is a pipe that nobody reads.
  Outcome Start(const std::string& request, bool brokenOut = false) {
    win::DateTimeParts p{2009, 8, 31, 12, 0, 0};
    std::string arg = uuCoding::EncodeWithMinutes(request, uuCoding::MinuteCount(win::EncodeDateTime(p)));
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
  std::string Log(const std::string& kind) const {
    return ReadFile(root_.Host("C:\\Zolmet\\Logs\\090831." + kind + ".txt"));
  }

  testing_support::TempRoot root_;
};

}  // namespace

TEST_F(PrintProgram, ReceiptRequestPrintsEveryReceiptOfTheReply) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out,
            U("--- receipt (4 lines) 2000001000014\n"
              "Orvane 購卡站 收據\n點數卡 300 點          NT$ 300\n合計                   NT$ 300\n謝謝光臨\n"
              "--- receipt (2 lines) no bar code\n"
              "交易序號 20090831-0001\n本收據無條碼\n"));
  // The S record was shown; nothing failed.
  EXPECT_NE(r.err.find(U("列印完成")), std::string::npos) << r.err;
  EXPECT_EQ(Log("ZolmetPrint.err"), "");
  EXPECT_EQ(Log("ZolmetPrint.hack"), "");
  const std::string url = "http://" + server.host() + "/Zolmet/PrintData.aspx?d=demo";
  EXPECT_EQ(Log("ZolmetPrint.debug"),
            kHeader + "[12:00:00] [GPD] 初始成功\r\n\r\n" + "[12:00:00] [GPD] 連線成功 " + url +
                "\r\n\r\n" + "[12:00:00] [GPD] 成功取得列印資料 " + url + "\r\n\r\n" +
                "[12:00:00] [EXE][Print][L] 示範單據開始\r\n\r\n");
}

TEST_F(PrintProgram, RefusedReplyPrintsNothingAndShowsBothMessages) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,broken-barcodeXJ");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "");
  size_t specific = r.err.find(U("抱歉! 下載的單據內容有誤(條碼), 請關閉本視窗後, 重按列印或與客服連繫"));
  size_t result = r.err.find(U("發生不明錯誤"));
  EXPECT_NE(specific, std::string::npos) << r.err;
  EXPECT_NE(result, std::string::npos) << r.err;
  EXPECT_LT(specific, result);
  EXPECT_EQ(Log("ZolmetPrint.err").rfind(kHeader + "[12:00:00] 條碼有誤: 2000001000015\r", 0), 0u);
}

TEST_F(PrintProgram, ShiftReportPrintsWithoutBarCode) {
  Outcome r = Start(std::string(31, 's') + "\r\n第二行IS");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "--- receipt (3 lines) no bar code\n" + std::string(30, 's') + "\ns\n" + U("第二行") + "\n");
  EXPECT_EQ(Log("ZolmetPrint.err"), "");
}

// Server texts reach the terminal with their control bytes shown, not
// obeyed; the log keeps the bytes.
TEST_F(PrintProgram, ControlBytesFromTheServerAreShownAsText) {
  const std::string folder = root_.path() + "/replies";
  fs::create_directories(folder);
  testing_support::WriteFile(folder + "/esc.raw", "S\x1b[2Jcleared\rL\x1b[31mred\rEND");
  printdata_test::ServerProcess server(folder, "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,escXJ");
  EXPECT_EQ(r.code, 0u);
  EXPECT_NE(r.err.find("^[[2Jcleared"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(Log("ZolmetPrint.debug").find("[EXE][Print][L] \x1b[31mred\r\n"), std::string::npos);

  r = Start("shift\x1b[2J\x7fIS");
  EXPECT_EQ(r.out, "--- receipt (1 lines) no bar code\nshift^[[2J^?\n");
}

TEST_F(PrintProgram, ReceiptThatCannotBeWrittenFailsThePrintInsteadOfKillingTheProgram) {
  Outcome r = Start("shiftIS", true);
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(Log("ZolmetPrint.err"), kHeader + "[12:00:00] [交班單]列印失敗\r\n\r\n");
  EXPECT_NE(r.err.find(U("發生不明錯誤")), std::string::npos) << r.err;
}

TEST_F(PrintProgram, EndlessReplyIsAReadFailureWithBoundedMemory) {
  std::string folder = root_.path() + "/replies";
  fs::create_directories(folder);
  testing_support::WriteFile(folder + "/endless.txt", "log never\nreceipt -\nnever\n.\nfault endless\n");
  printdata_test::ServerProcess server(folder, "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,endlessXJ");
  // The program is the only child waited for so far.
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(U("抱歉! 網路通訊失敗")), std::string::npos) << r.err;
  EXPECT_EQ(Log("ZolmetPrint.err"), kHeader + "[12:00:00] [GPD] 讀取失敗: 資料超過 16777216 bytes\r\n\r\n" +
                                        "[12:00:00] 讀取失敗\r\n\r\n");
  EXPECT_EQ(Log("ZolmetPrint.debug").find("never"), std::string::npos);
  EXPECT_LT(u.ru_maxrss, 256 * 1024) << "KiB";
  std::printf("peak resident size of ZolmetPrint on an endless reply: %ld KiB\n", u.ru_maxrss);
}
