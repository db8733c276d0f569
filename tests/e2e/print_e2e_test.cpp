// The real ZolmetPrint, started as the browser control starts it, against
// the real print-data server on 127.0.0.1: the receipts it prints (the jobs
// of the printer "Zolmet", read back with poppler and zbar), its logs, its
// messages and its exit code.
#include <sys/resource.h>

#include "tests/e2e/print_program.h"

using namespace print_e2e;

TEST_F(PrintProgram, ReceiptRequestPrintsEveryReceiptOfTheReply) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "");
  ExpectDemoJobs();
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
  EXPECT_EQ(Jobs(), 0u);
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
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Jobs(), 1u);
  // 8.879 + 3 x 4.255 + 12.7 mm
  EXPECT_EQ(PageLine(1).substr(0, 8), "820,343,") << Record(1);
  std::string text = PdfText(1);
  EXPECT_NE(text.find(std::string(30, 's') + "\ns\n" + U("第二行")), std::string::npos) << text;
  EXPECT_EQ(BarCode(1), "");
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
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(PdfText(1).find("shift"), std::string::npos) << PdfText(1);
  EXPECT_EQ(Log("ZolmetPrint.err"), "");
}

TEST_F(PrintProgram, ReceiptThatCannotBeWrittenFailsThePrintInsteadOfKillingTheProgram) {
  // The printer's output folder cannot be made: a file is in its place.
  testing_support::WriteFile(root_.Host("C:\\Zolmet\\Printed\\Zolmet"), "x");
  Outcome r = Start("shiftIS", true);
  EXPECT_EQ(r.code, 0u);
  EXPECT_NE(r.err.find(root_.path() + "/C/Zolmet/Printed/Zolmet"), std::string::npos) << r.err;
  EXPECT_EQ(Log("ZolmetPrint.err"), kHeader + "[12:00:00] [交班單]列印失敗\r\n\r\n");
  EXPECT_NE(r.err.find(U("發生不明錯誤")), std::string::npos) << r.err;

  // A receipt request: the cause, then the failed print logged with its
  // text and told, then the result; the second receipt is not tried.
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  r = Start("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ");
  EXPECT_EQ(r.code, 0u);
  size_t cause = r.err.find("Not a directory");
  size_t failed = r.err.find(U("抱歉! 列印失敗"));
  size_t result = r.err.find(U("抱歉! 系統失敗"));
  EXPECT_NE(cause, std::string::npos) << r.err;
  EXPECT_NE(result, std::string::npos) << r.err;
  EXPECT_LT(cause, failed);
  EXPECT_LT(failed, result);
  std::string log = Log("ZolmetPrint.err");
  EXPECT_NE(log.find("] 列印失敗\r" "Orvane "), std::string::npos) << U(log);
  EXPECT_EQ(log.find("交易序號"), std::string::npos) << U(log);
  EXPECT_EQ(Jobs(), 0u);
}

// On a terminal nothing is asked while the receipts print.
TEST_F(PrintProgram, OnATerminalTheReceiptsPrintWithoutAQuestion) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  Outcome r = StartOnTerminal("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ", {});
  EXPECT_EQ(r.code, 0u) << r.out;
  ExpectDemoJobs();
  EXPECT_EQ(Log("ZolmetPrint.err"), "");
}

// No printer at all: the user prints anyway on the notice; the print
// fails with the library's text, then the failure is logged and told.
TEST_F(PrintProgram, WithNoPrinterTheFailureIsShownLoggedAndTheProgramEnds) {
  ASSERT_TRUE(spool::RemovePrinter("Zolmet"));
  spool::WriteProfileString("windows", "device", "");
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  const auto start = std::chrono::steady_clock::now();
  Outcome r = StartOnTerminal("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ", {"繼續列印", "OK"});
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
  EXPECT_EQ(r.code, 0u) << r.out;
  size_t notice = r.out.find(U("將使用預設印表機列印 ?"));
  size_t cause = r.out.find("Screen printer does not support printing.");
  size_t failed = r.out.find(U("抱歉! 列印失敗"));
  size_t result = r.out.find(U("抱歉! 系統失敗"));
  EXPECT_NE(notice, std::string::npos) << r.out;
  EXPECT_NE(result, std::string::npos) << r.out;
  EXPECT_LT(notice, cause);
  EXPECT_LT(cause, failed);
  EXPECT_LT(failed, result);
  EXPECT_EQ(r.out.find("Screen printer does not support printing.", cause + 1), std::string::npos) << r.out;
  EXPECT_EQ(Log("ZolmetPrint.err").rfind(kHeader + "[12:00:00] 列印失敗\r" + "Orvane ", 0), 0u)
      << Log("ZolmetPrint.err");
  EXPECT_FALSE(fs::exists(root_.Host("C:\\Zolmet\\Printed")));
}

TEST_F(PrintProgram, EndlessReplyIsAReadFailureWithBoundedMemory) {
  std::string folder = root_.path() + "/replies";
  fs::create_directories(folder);
  testing_support::WriteFile(folder + "/endless.txt", "log never\nreceipt -\nnever\n.\nfault endless\n");
  testing_support::WriteFile(folder + "/short.txt", "log short\n");
  printdata_test::ServerProcess server(folder, "/Zolmet/");
  // The program's peak on a short reply first (the programs are the only
  // children waited for, and the peak is theirs), then on the endless one.
  Start("10.1.1.1," + server.host() + ",/Zolmet/,shortXJ");
  rusage base{};
  getrusage(RUSAGE_CHILDREN, &base);
  fs::remove_all(root_.Host("C:\\Zolmet\\Logs"));
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,endlessXJ");
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(U("抱歉! 網路通訊失敗")), std::string::npos) << r.err;
  EXPECT_EQ(Log("ZolmetPrint.err"), kHeader + "[12:00:00] [GPD] 讀取失敗: 資料超過 16777216 bytes\r\n\r\n" +
                                        "[12:00:00] 讀取失敗\r\n\r\n");
  EXPECT_EQ(Log("ZolmetPrint.debug").find("never"), std::string::npos);
  // The 16 MiB kept and its growing copies (held a while by the sanitizer's
  // quarantine) above the short run; a reader without a limit takes gigabytes.
  EXPECT_LT(u.ru_maxrss - base.ru_maxrss, 96 * 1024) << "KiB";
  std::printf("peak resident size of ZolmetPrint: %ld KiB on a short reply, %ld KiB on an endless one\n",
              base.ru_maxrss, u.ru_maxrss);
}
