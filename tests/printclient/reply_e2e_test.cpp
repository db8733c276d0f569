// Whole receipt requests against the real print-data server on 127.0.0.1:
// download, checks and the printing seam.
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "fixture.h"
#include "platform/inet/wininet.h"
#include "printclient/uuPrintData.h"
#include "server.h"

using printdata_test::PrintDataTest;
using printdata_test::ServerProcess;
using testing_support::WriteFile;

namespace {

const std::string kBadContent = "抱歉! 下載的單據內容有誤, 請關閉本視窗後, 重按列印.";
const std::string kDownloadFailed = "抱歉! 下載單據內容失敗.";

// Two keys, three receipts, log lines and a message. UTF-8 on disk; the
// server sends Big5.
const char* const kReceipts =
    "log \xE9\x96\x8B\xE5\xA7\x8B\n"  // 開始
    "key 2\n"
    "receipt 2000001000014\n"
    "\xE7\xAC\xAC\xE4\xB8\x80\xE5\xBC\xB5\n"  // 第一張
    "0123456789012345678901234567890123\n"
    ".\n"
    "receipt -\n"
    "second, no bar code\n"
    "\n"
    "..dotted\n"
    ".\n"
    "key 7\n"
    "log middle\n"
    "receipt 4006381333931\n"
    "third\n"
    ".\n"
    "show \xE5\xAE\x8C\xE6\x88\x90\n"  // 完成
    "log end\n";

class ReplyE2eTest : public PrintDataTest {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(std::filesystem::temp_directory_path() /
                              ("zolmet-reply-" + std::to_string(getpid())));
    std::filesystem::create_directories(*folder_);
    server_ = new ServerProcess(*folder_, "/Zolmet/");
  }
  static void TearDownTestSuite() {
    delete server_;
    std::filesystem::remove_all(*folder_);
    delete folder_;
  }
  void TearDown() override { win::ResetInternetTimeouts(); }

  static void Write(const std::string& name, const std::string& content) {
    WriteFile(*folder_ + "/" + name, content);
  }

  int Run(const std::string& id) {
    return printclient::ufMain::ProcessPrintData("10.1.1.1", server_->host(), "/Zolmet/", id, Printer());
  }

  // The reply the server sends for ID (the same every time: fixed seed),
  // fetched before the run; the logs are cleared afterwards.
  std::string ReplyOf(const std::string& id) {
    std::string R;
    EXPECT_TRUE(printclient::uuPrintData::GetPrintData("", server_->host(), "/Zolmet/", id, R));
    ClearLogs();
    return R;
  }
  void ClearLogs() {
    for (const char* kind : {"ZolmetPrint.err", "ZolmetPrint.debug"})
      std::remove(root_.Host(std::string("C:\\Zolmet\\Logs\\090831.") + kind + ".txt").c_str());
  }
  std::string Url(const std::string& id) const {
    return "http://" + server_->host() + "/Zolmet/PrintData.aspx?d=" + id;
  }
  // The debug log of a download of ID followed by ENTRIES.
  std::string DownloadThen(const std::string& id, std::vector<std::string> entries) const {
    std::vector<std::string> all = {"[GPD] 初始成功", "[GPD] 連線成功 " + Url(id),
                                    "[GPD] 成功取得列印資料 " + Url(id)};
    all.insert(all.end(), entries.begin(), entries.end());
    return Entries(all);
  }

  static std::string* folder_;
  static ServerProcess* server_;
};

std::string* ReplyE2eTest::folder_ = nullptr;
ServerProcess* ReplyE2eTest::server_ = nullptr;

}  // namespace

TEST_F(ReplyE2eTest, ThreeReceiptsUnderTwoKeysReachThePrinterInOrder) {
  Write("good.txt", kReceipts);
  std::string R = ReplyOf("good");
  EXPECT_EQ(R.substr(0, 8), "L\xB6\x7D\xA9\x6C\rK2");
  EXPECT_EQ(Run("good"), printclient::ufMain::prDone);
  ASSERT_EQ(printed_.size(), 3u);
  EXPECT_EQ(printed_[0], (Printed{3, "2000001000014",
                                  "\xB2\xC4\xA4\x40\xB1\x69\r012345678901234567890123456789\r0123"}));
  EXPECT_EQ(printed_[1], (Printed{2, "", "second, no bar code\r.dotted"}));
  EXPECT_EQ(printed_[2], (Printed{1, "4006381333931", "third"}));
  EXPECT_EQ(DebugLog(), DownloadThen("good", {"[EXE][Print][L] \xB6\x7D\xA9\x6C", "[EXE][Print][L] middle",
                                              "[EXE][Print][L] end"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"\xA7\xB9\xA6\xA8"});
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyE2eTest, BrokenRepliesFailWithTheirLogLineAndMessage) {
  struct Case {
    std::string fault;
    std::function<std::string(const std::string& R)> log;
    std::string message;
  };
  const std::string incomplete = "抱歉! 下載的單據內容不完整(缺後段), 請關閉本視窗後, 重按列印.";
  std::vector<Case> cases = {
      {"crlf", [](const std::string& R) { return "未知的行首[\\n]\r" + Shown(R); }, kBadContent},
      {"no-end", [](const std::string& R) { return "非END結尾\r" + Shown(R); }, incomplete},
      {"truncate", [](const std::string& R) { return "非END結尾\r" + Shown(R); }, incomplete},
      {"extra-end", [](const std::string& R) { return "多餘的END\r" + Shown(R); },
       "抱歉! 下載的單據內容規格錯誤, 請關閉本視窗後, 重按列印."},
      {"bad-key", [](const std::string& R) { return "密鑰索引有誤: 0\r" + Shown(R); }, kBadContent},
      {"no-key", [](const std::string& R) { return "缺乏密鑰索引\r" + Shown(R); }, kBadContent},
      {"bad-barcode", [](const std::string& R) { return "條碼有誤: 2000001000015\r" + Shown(R); },
       "抱歉! 下載的單據內容有誤(條碼), 請關閉本視窗後, 重按列印或與客服連繫"},
      {"non-hex", [](const std::string& R) { return "明文空白\r" + Shown(R); }, kBadContent},
      {"filler-29", [](const std::string& R) { return "明文空白\r" + Shown(R); }, kBadContent},
      {"filler-200", [](const std::string& R) { return "明文空白\r" + Shown(R); }, kBadContent},
      {"short-stream", [](const std::string& R) { return "明文空白\r" + Shown(R); }, kBadContent},
      {"error-page", [](const std::string& R) { return "未知的行首[<]\r" + Shown(R); }, kBadContent},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::string id = "f-" + c.fault;
    Write(id + ".txt", std::string(kReceipts) + "fault " + c.fault + "\n");
    std::string R = ReplyOf(id);
    ui::ClearRecordedDialogs();
    printed_.clear();
    EXPECT_EQ(Run(id), printclient::ufMain::prFault);
    EXPECT_EQ(ErrLog(), Entries({c.log(R)}));
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
    EXPECT_TRUE(printed_.empty());
    // Only the download was logged: no L record ran.
    EXPECT_EQ(DebugLog(), DownloadThen(id, {}));
    ClearLogs();
  }
}

TEST_F(ReplyE2eTest, EmptyBodyAndUnknownId) {
  Write("empty.raw", "");
  EXPECT_EQ(Run("empty"), printclient::ufMain::prFault);
  EXPECT_EQ(ErrLog(), Entries({"內容空白\r"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"抱歉! 下載單據內容失敗(空白), 請關閉本視窗後, 重按列印."});
  ClearLogs();
  ui::ClearRecordedDialogs();
  std::string R = ReplyOf("unknown");
  EXPECT_EQ(Run("unknown"), printclient::ufMain::prFault);
  EXPECT_EQ(ErrLog(), Entries({"未知的行首[<]\r" + Shown(R)}));
  EXPECT_TRUE(printed_.empty());
}

TEST_F(ReplyE2eTest, ReplyOfExactlyOneChunk) {
  // K1, an L record padding the reply to exactly 1024 bytes, END.
  std::string R = "K1\rL" + std::string(1024 - 4 - 1 - 4, 'p') + "\rEND\r";
  ASSERT_EQ(R.size(), 1024u);
  Write("k1024.raw", R);
  EXPECT_EQ(Run("k1024"), printclient::ufMain::prDone);
  EXPECT_EQ(ErrLog(), "");
  EXPECT_EQ(DebugLog(), DownloadThen("k1024", {"[EXE][Print][L] " + std::string(1015, 'p')}));
}

TEST_F(ReplyE2eTest, MegabyteReplyWithHundredsOfReceipts) {
  std::string file = "key 3\n";
  const std::string text(1200, 'r');
  int n = 0;
  while (file.size() < 520 * 1024) {  // each receipt doubles in hex
    file += "receipt 2000001000014\n" + text + " " + std::to_string(n++) + "\n.\n";
  }
  Write("big.txt", file);
  std::string R = ReplyOf("big");
  EXPECT_GT(R.size(), 1000u * 1000u);
  EXPECT_EQ(Run("big"), printclient::ufMain::prDone);
  ASSERT_EQ(static_cast<int>(printed_.size()), n);
  EXPECT_GT(n, 300);
  EXPECT_EQ(printed_.back().text.substr(printed_.back().text.size() - 4), " " + std::to_string(n - 1));
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyE2eTest, SlowServerWithShortReadsStillSucceeds) {
  Write("slow.txt", std::string(kReceipts) + "fault dribble\n");
  EXPECT_EQ(Run("slow"), printclient::ufMain::prDone);
  EXPECT_EQ(printed_.size(), 3u);
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyE2eTest, DownloadFailures) {
  struct Case {
    std::string fault, gpdLog, error;
  };
  std::vector<Case> cases = {
      {"stall", "[GPD] 讀取失敗: The operation timed out.", "讀取失敗"},
      {"close-mid-body", "[GPD] 讀取失敗: The connection with the server was terminated abnormally.",
       "讀取失敗"},
      {"stall-headers", "[GPD] 開啟服務失敗(連線失敗):The operation timed out. " + Url("d-stall-headers"),
       "連線失敗"},
  };
  // Long enough for a loaded machine to send the headers: the stalls have
  // no end.
  win::SetInternetTimeouts(5000, 2000);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault);
    const std::string id = "d-" + c.fault;
    Write(id + ".txt", std::string(kReceipts) + "fault " + c.fault + "\n");
    ui::ClearRecordedDialogs();
    EXPECT_EQ(Run(id), printclient::ufMain::prDownloadFailed);
    EXPECT_EQ(ErrLog(), Entries({c.gpdLog, c.error}));
    EXPECT_EQ(Messages(), std::vector<std::string>{kDownloadFailed});
    EXPECT_TRUE(printed_.empty());
    ClearLogs();
  }
}

TEST_F(ReplyE2eTest, RefusedConnection) {
  const std::string host = "127.0.0.1:" + std::to_string(printdata_test::UnusedPort());
  EXPECT_EQ(printclient::ufMain::ProcessPrintData("", host, "/Zolmet/", "x", Printer()), printclient::ufMain::prDownloadFailed);
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 開啟服務失敗(連線失敗):The attempt to connect to the server failed. http://" +
                                   host + "/Zolmet/PrintData.aspx?d=x",
                               "連線失敗"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{kDownloadFailed});
}

TEST_F(ReplyE2eTest, ExampleReceiptFiles) {
  const std::string dir = std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts/";
  Write("demo.txt", testing_support::ReadFile(dir + "demo.txt"));
  Write("broken-barcode.txt", testing_support::ReadFile(dir + "broken-barcode.txt"));
  EXPECT_EQ(Run("demo"), printclient::ufMain::prDone);
  ASSERT_EQ(printed_.size(), 2u);
  EXPECT_EQ(printed_[0].barcode, "2000001000014");
  EXPECT_EQ(printed_[1].barcode, "");
  EXPECT_EQ(ErrLog(), "");
  EXPECT_EQ(Run("broken-barcode"), printclient::ufMain::prFault);
  EXPECT_EQ(printed_.size(), 2u);
}

TEST_F(ReplyE2eTest, OversizeAndEndlessRepliesExecuteNothing) {
  // Valid replies whose L records would be logged and receipts printed.
  for (const char* fault : {"oversize", "endless"}) {
    SCOPED_TRACE(fault);
    const std::string id = std::string("big-") + fault;
    Write(id + ".txt", std::string(kReceipts) + "fault " + fault + "\n");
    ui::ClearRecordedDialogs();
    EXPECT_EQ(Run(id), printclient::ufMain::prDownloadFailed);
    EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: 資料超過 16777216 bytes", "讀取失敗"}));
    EXPECT_EQ(Messages(), std::vector<std::string>{kDownloadFailed});
    EXPECT_TRUE(printed_.empty());
    EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 連線成功 " + Url(id)}));
    ClearLogs();
  }
}

TEST_F(ReplyE2eTest, RedirectedRequestPrintsTheTargetsReceiptsAndLogsWhereFrom) {
  Write("moved-to.txt", kReceipts);
  Write("moved.txt", "redirect moved-to\n");
  EXPECT_EQ(Run("moved"), printclient::ufMain::prDone);
  EXPECT_EQ(printed_.size(), 3u);
  EXPECT_EQ(DebugLog(), Entries({"[GPD] 初始成功", "[GPD] 重新導向 " + Url("moved-to"), "[GPD] 連線成功 " + Url("moved"),
                                 "[GPD] 成功取得列印資料 " + Url("moved"), "[EXE][Print][L] \xB6\x7D\xA9\x6C",
                                 "[EXE][Print][L] middle", "[EXE][Print][L] end"}));
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyE2eTest, TrickledReplyEndsAtTheOverallLimit) {
  Write("trickled.txt", std::string(kReceipts) + "fault trickle\n");
  win::SetInternetTimeouts(5000, 1000, 1200);
  std::uint64_t start = win::MonotonicMs();
  EXPECT_EQ(Run("trickled"), printclient::ufMain::prDownloadFailed);
  const std::uint64_t took = win::MonotonicMs() - start;
  EXPECT_EQ(ErrLog(), Entries({"[GPD] 讀取失敗: The operation timed out.", "讀取失敗"}));
  EXPECT_TRUE(printed_.empty());
  // Below what the same reply's body alone takes at a byte every 100 ms.
  Write("untrickled.txt", kReceipts);
  EXPECT_LT(took, ReplyOf("untrickled").size() * 100);
}
