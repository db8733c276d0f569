#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/uuCoding.h"
#include "fixture.h"
#include "printclient/ufMainReceipt.h"

using printdata_test::PrintDataTest;

namespace {

const std::string kBadContent = "抱歉! 下載的單據內容有誤, 請關閉本視窗後, 重按列印.";

std::string D(const std::string& plain, int key, int filler = 40) {
  std::string f;
  for (int i = 0; i < filler; ++i) f += static_cast<char>(i * 11 + 3);
  return "D" + uuCoding::EncodeData(plain, key, f);
}

class ReplyTest : public PrintDataTest {
 protected:
  // Processes R and expects exactly one error entry, one message and CODE,
  // with nothing printed and nothing on the debug log.
  void ExpectFault(const std::string& R, const std::string& log, const std::string& message,
                   int code = printclient::ufMain::prFault) {
    SCOPED_TRACE(R);
    EXPECT_EQ(printclient::ufMain::ProcessReply(R, Printer()), code);
    EXPECT_EQ(ErrLog(), Entries({log}));
    EXPECT_EQ(Messages(), std::vector<std::string>{message});
    EXPECT_TRUE(printed_.empty());
    EXPECT_EQ(DebugLog(), "");
  }
};

}  // namespace

TEST_F(ReplyTest, ExecutesRecordsInOrder) {
  const std::string text1 = std::string(31, 'x');
  const std::string R = "L\xB6\x7D\xA9\x6C\r" "K2\r" + D("2000001000014\n" + text1, 2) + "\r" +
                        D("\nno bar code", 2, 199) + "\r\r" + "S\xB0\x54\xAE\xA7\r" + "K5\r" +
                        D("4006381333931\nthird\nline", 5, 30) + "\r" + "Llast\r" + "END";
  EXPECT_EQ(printclient::ufMain::ProcessReply(R, Printer()), printclient::ufMain::prDone);
  ASSERT_EQ(printed_.size(), 3u);
  EXPECT_EQ(printed_[0], (Printed{2, "2000001000014", std::string(30, 'x') + "\rx"}));
  EXPECT_EQ(printed_[1], (Printed{1, "", "no bar code"}));
  EXPECT_EQ(printed_[2], (Printed{2, "4006381333931", "third\rline"}));
  EXPECT_EQ(DebugLog(), Entries({"[EXE][Print][L] \xB6\x7D\xA9\x6C", "[EXE][Print][L] last"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"\xB0\x54\xAE\xA7"});
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyTest, OnlyEndSucceedsWithNothingDone) {
  EXPECT_EQ(printclient::ufMain::ProcessReply("END\r", Printer()), printclient::ufMain::prDone);
  EXPECT_EQ(printclient::ufMain::ProcessReply("\r\rEND\r\r", Printer()), printclient::ufMain::prDone);
  EXPECT_TRUE(printed_.empty());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(ErrLog(), "");
}

TEST_F(ReplyTest, SplitFaults) {
  // A one-byte line; its number counts records, not empty lines.
  std::string R = "K1\r\r\rLok\rD\rEND";
  ExpectFault(R, "無效的訊息行(3)\r" + Shown(R), "抱歉! 下載的單據內容不完整, 請關閉本視窗後, 重按列印.");
}

TEST_F(ReplyTest, CrLfLineEndsFailAtTheSecondLine) {
  std::string R = "K1\r\nLx\r\nEND\r\n";
  ExpectFault(R, "未知的行首[\\n]\r" + Shown(R), kBadContent);
}

TEST_F(ReplyTest, UnknownKind) {
  std::string R = "K1\rkx\rEND";
  ExpectFault(R, "未知的行首[k]\r" + Shown(R), kBadContent);
}

TEST_F(ReplyTest, EmptyReply) {
  ExpectFault("", "內容空白\r", "抱歉! 下載單據內容失敗(空白), 請關閉本視窗後, 重按列印.");
}

TEST_F(ReplyTest, EmptyLinesOnly) {
  ExpectFault("\r\r\r", "內容空白\r\\r\\r\\r", "抱歉! 下載單據內容失敗(空白), 請關閉本視窗後, 重按列印.");
}

TEST_F(ReplyTest, MissingOrWrongEnd) {
  for (std::string R : {"K1\rLx\r", "K1\rLx\rEN", "K1\rENDX", "K1\rLEND"}) {
    ui::ClearRecordedDialogs();
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
    ExpectFault(R, "非END結尾\r" + Shown(R), "抱歉! 下載的單據內容不完整(缺後段), 請關閉本視窗後, 重按列印.");
  }
}

TEST_F(ReplyTest, BadKeyIndexes) {
  for (std::string k : {"0", "x", "-1", "1x", "+", "99999999999", "2147483648"}) {
    ui::ClearRecordedDialogs();
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
    std::string R = "Lnot logged\rK" + k + "\r" + D("\nx", 1) + "\rEND\r";
    ExpectFault(R, "密鑰索引有誤: " + k + "\r" + Shown(R), kBadContent);
  }
}

TEST_F(ReplyTest, LargeKeyIndexIsAccepted) {
  std::string R = "K2147483647\r" + D("\nx", 2147483647) + "\rEND\r";
  EXPECT_EQ(printclient::ufMain::ProcessReply(R, Printer()), printclient::ufMain::prDone);
  EXPECT_EQ(printed_.size(), 1u);
}

TEST_F(ReplyTest, ReceiptWithoutKey) {
  std::string R = "Lnot logged\r" + D("\nx", 1) + "\rK1\rEND\r";
  ExpectFault(R, "缺乏密鑰索引\r" + Shown(R), kBadContent);
}

TEST_F(ReplyTest, UndecodableReceipts) {
  std::string good = D("\nx", 1, 40);
  std::vector<std::string> bad = {
      D("\nx", 1, 29),                     // filler count 29
      D("\nx", 1, 200),                    // filler count 200
      "D" + good.substr(1, 2 * 20),        // shorter than its filler count
      "D" + good.substr(1, 2 * 41),        // exactly 1 + L pairs: no text
      good.substr(0, good.size() - 2) + "Zz",  // not hex
      good.substr(0, good.size() - 1),     // odd length
  };
  for (const std::string& d : bad) {
    ui::ClearRecordedDialogs();
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
    std::string R = "K1\rLnot logged\r" + d + "\rEND\r";
    ExpectFault(R, "明文空白\r" + Shown(R), kBadContent);
  }
}

TEST_F(ReplyTest, ReceiptWithoutLineFeed) {
  std::string R = "K3\r" + D("2000001000014 no line feed", 3) + "\rEND\r";
  ExpectFault(R, "明文內容有誤\r2000001000014 no line feed\r" + Shown(R), kBadContent);
}

TEST_F(ReplyTest, BadBarcode) {
  for (std::string code : {"2000001000015", "200000100001", "abc", "2000001000014 "}) {
    ui::ClearRecordedDialogs();
    std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
    std::string R = "K1\r" + D("\ngood first", 1) + "\r" + D(code + "\ntext", 1) + "\rEND\r";
    ExpectFault(R, "條碼有誤: " + code + "\r" + Shown(R),
                "抱歉! 下載的單據內容有誤(條碼), 請關閉本視窗後, 重按列印或與客服連繫");
  }
}

TEST_F(ReplyTest, SecondEnd) {
  std::string R = "K1\rEND\r" + D("\nx", 1) + "\rEND\r";
  ExpectFault(R, "多餘的END\r" + Shown(R), "抱歉! 下載的單據內容規格錯誤, 請關閉本視窗後, 重按列印.");
}

TEST_F(ReplyTest, FailedPrintStopsAtThatReceipt) {
  failAt_ = 1;
  std::string R = "K1\r" + D("\nfirst", 1) + "\rLbefore\r" + D("\nsecond\nline", 1) + "\rLafter\r" +
                  D("\nthird", 1) + "\rEND\r";
  EXPECT_EQ(printclient::ufMain::ProcessReply(R, Printer()), printclient::ufMain::prPrintFailed);
  ASSERT_EQ(printed_.size(), 1u);
  EXPECT_EQ(printed_[0].text, "first");
  EXPECT_EQ(ErrLog(), Entries({"列印失敗\rsecond\\rline"}));
  EXPECT_EQ(DebugLog(), Entries({"[EXE][Print][L] before"}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"抱歉! 列印失敗"});
}

// The printer's own account of the failure follows the receipt in the log.
TEST_F(ReplyTest, FailedPrintLogsItsCause) {
  failAt_ = 0;
  failCause_ = "The command \"lp -d receipt\" ended with exit code 1. Its output: lp: paper out";
  std::string R = "K1\r" + D("\nfirst", 1) + "\rEND\r";
  EXPECT_EQ(printclient::ufMain::ProcessReply(R, Printer()), printclient::ufMain::prPrintFailed);
  EXPECT_EQ(ErrLog(), Entries({"列印失敗\rfirst\r原因: " + failCause_}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"抱歉! 列印失敗"});
}

TEST_F(ReplyTest, ExceptionWhilePrinting) {
  std::string R = "K1\r" + D("\nfirst", 1) + "\rEND\r";
  auto thrower = [](int, const std::string&, const std::string&, std::string&) -> bool {
    throw std::runtime_error("printer on fire");
  };
  EXPECT_EQ(printclient::ufMain::ProcessReply(R, thrower), printclient::ufMain::prPrintFailed);
  EXPECT_EQ(ErrLog(), Entries({"[列印] 系統錯誤: printer on fire\r" + Shown(R)}));
  EXPECT_EQ(Messages(), std::vector<std::string>{"抱歉! 單據列印時發生意外, 請關閉本視窗後, 重按列印."});
}

TEST_F(ReplyTest, EmptyDataIdentifier) {
  EXPECT_EQ(printclient::ufMain::ProcessPrintData("1.2.3.4", "127.0.0.1:1", "/", "", Printer()), printclient::ufMain::prFault);
  EXPECT_EQ(Messages(), std::vector<std::string>{"單號空白,無法下載列印."});
  EXPECT_EQ(ErrLog(), "");
  EXPECT_EQ(DebugLog(), "");
}

// The shift report prints its wrapped text without a bar code; a failed
// print is logged and answered 0.
TEST_F(ReplyTest, ShiftReportPrintsWrappedTextWithoutBarCode) {
  std::string text(31, 'a');
  EXPECT_EQ(printclient::ufMain::PrintShiftReport("\r\n" + text, Printer()), 1);
  ASSERT_EQ(printed_.size(), 1u);
  EXPECT_EQ(printed_[0], (Printed{2, "", std::string(30, 'a') + "\r" + "a"}));
  EXPECT_EQ(ErrLog(), "");

  failAt_ = 1;
  EXPECT_EQ(printclient::ufMain::PrintShiftReport("x", Printer()), 0);
  EXPECT_EQ(ErrLog(), Entries({"[交班單]列印失敗"}));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(ReplyTest, ErrorLogHoldsAtMostTheFirst64KiBOfAReply) {
  const std::string incomplete = "抱歉! 下載的單據內容不完整(缺後段), 請關閉本視窗後, 重按列印.";
  const size_t kMax = 64 * 1024;
  // The whole entry (time stamp, text and closing lines) is 64 KiB at most:
  // a longer text keeps its beginning and its whole length.
  auto cut = [&](const std::string& text) {
    const size_t room = kMax - std::string("[12:00:00] \r\n\r\n").size();
    if (text.size() <= room) return text;
    const std::string mark = " ... (" + std::to_string(text.size()) + " bytes)";
    return text.substr(0, room - mark.size()) + mark;
  };
  // Up to the limit the reply is logged as it is.
  const std::string fits = "L" + std::string(kMax - 30, 'a');
  ExpectFault(fits, "非END結尾\r" + fits, incomplete);
  ui::ClearRecordedDialogs();
  std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
  // Past it: its beginning and its whole length.
  const std::string longer = "L" + std::string(kMax, 'a');
  ExpectFault(longer, cut("非END結尾\r" + uuCommon::ForLog(longer)), incomplete);
  ui::ClearRecordedDialogs();
  std::remove(root_.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt").c_str());
  // A long plain text and the reply after it make one entry of 64 KiB too.
  const std::string plain = std::string(kMax + 10, 'p');
  const std::string R = "K3\r" + D(plain, 3) + "\rEND";
  ExpectFault(R,
              cut("明文內容有誤\r" + plain.substr(0, kMax) + " ... (65546 bytes)\r" + Shown(R.substr(0, kMax)) +
                  " ... (" + std::to_string(R.size()) + " bytes)"),
              kBadContent);
}

// Every entry a hostile reply can cause, on either log, stays one entry:
// no line feed of the reply's own (so no forged "[hh:nn:ss]" line), and at
// most 64 KiB of each outside text, however large the reply's parts are.
TEST_F(ReplyTest, HostileRepliesGiveOneBoundedEntryEach) {
  // Inside a record only a line feed can come; texts of the program's own
  // making (an exception, a printer's cause) may hold anything.
  const std::string lf = "\n[12:00:00] forged\n";
  const std::string forged = "\r\n[12:00:00] forged\r\n\r\n[12:00:00] ";
  const std::string huge(1 << 20, '7');  // 1 MiB
  const std::string hugeLf = huge + "\n" + huge;
  struct Case {
    std::string name, R, log;  // the reply and the log it lands in
    printclient::ufMain::TPrintReceipt printer;
  };
  auto throwing = [&](int, const std::string&, const std::string&, std::string&) -> bool {
    throw std::runtime_error("fire" + forged + huge);
  };
  auto failing = [&](int, const std::string&, const std::string&, std::string& cause) {
    cause = "paper out" + forged + huge;
    return false;
  };
  const std::vector<Case> cases = {
      {"unknown kind", "K1\r" + lf + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"one-byte line", "L" + hugeLf + lf + "\rD\rEND", "ZolmetPrint.err", Printer()},
      {"no END", "L" + hugeLf + lf, "ZolmetPrint.err", Printer()},
      {"key index", "K" + huge + lf + "\r" + D("\nx", 1) + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"no key", "L" + lf + "\r" + D("\nx", 1) + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"bar code", "K1\r" + D(huge + forged + "\ntext", 1) + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"no line feed in plain", "K1\r" + D(huge + "\r[12:00:00] x\r", 1) + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"second END", "K1\rEND\rL" + lf + "\rEND\r", "ZolmetPrint.err", Printer()},
      {"print exception", "K1\r" + D("\n" + hugeLf + lf, 1) + "\rEND\r", "ZolmetPrint.err", throwing},
      {"failed print", "K1\r" + D("\n" + hugeLf + lf, 1) + "\rEND\r", "ZolmetPrint.err", failing},
      {"L record", "L" + hugeLf + lf + "\rEND\r", "ZolmetPrint.debug", Printer()},
  };
  const std::string header = uuCommon::kPrintLogHeader + "[12:00:00] ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    printclient::ufMain::ProcessReply(c.R, c.printer);
    const std::string file = Log(c.log);
    ASSERT_EQ(file.compare(0, header.size(), header), 0) << file.substr(0, 200);
    ASSERT_GE(file.size(), header.size() + 4);
    ASSERT_EQ(file.substr(file.size() - 4), "\r\n\r\n");
    const std::string entry = file.substr(header.size(), file.size() - header.size() - 4);
    EXPECT_EQ(entry.find('\n'), std::string::npos) << entry.substr(0, 200);
    EXPECT_LE(entry.size(), 4 * (64 * 1024 + 1024)) << entry.substr(0, 200);
    for (const char* kind : {"err", "debug"})
      std::remove(root_.Host(std::string("C:\\Zolmet\\Logs\\090831.ZolmetPrint.") + kind + ".txt").c_str());
    ui::ClearRecordedDialogs();
  }
}
