#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <stdexcept>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/ui/dialogs.h"
#include "printclient/ufMain.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

const std::string kTitle = "Orvane．Dravik購卡站";
const std::string kHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
// A request of 37 bytes: with a key of four bytes its "J" falls on the
// first key byte, the only one a neighbouring minute's key changes.
const std::string kReceipt = "10.0.0.1,shop.example,/card/,A1,B2cXJ";

struct PrintCall {
  std::string IP, WebName, WebPage, Data;
};

// The main form with its shift report taken by the test.
class TShiftRecordingMain : public printclient::TzfMain {
 public:
  using TzfMain::TzfMain;
  int PrintShiftReport(const std::string& Text) override { return OnShift(Text); }
  std::function<int(const std::string&)> OnShift;
};

class TzfMainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kNoTerminal);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    win::SetNowForTesting(now);
    ui::Application().SetTitle("Dravik列印器");
    auto* main = ui::Application().CreateForm<TShiftRecordingMain>();
    form = main;
    form->ProcessPrintData = [this](const std::string& ip, const std::string& name,
                                    const std::string& page, const std::string& data) {
      prints.push_back({ip, name, page, data});
      return printResult;
    };
    main->OnShift = [this](const std::string& text) {
      shifts.push_back(text);
      return shiftResult;
    };
    form->ExitProcess = [this](win::DWORD code) { exits.push_back(code); };
  }
  void TearDown() override {
    ui::Application().Shutdown();
    win::SetNowForTesting(std::nullopt);
    Args({});
    ui::SetEchoDialogs(true);
  }

  void Args(std::vector<std::string> args) {
    argStore = {"ZolmetPrint"};
    for (auto& a : args) argStore.push_back(a);
    std::vector<char*> argv;
    for (auto& a : argStore) argv.push_back(a.data());
    win::InitArguments(static_cast<int>(argv.size()), argv.data());
  }
  // Runs the handler once with ARGS, from a clean record.
  void Dispatch(std::vector<std::string> args) {
    Args(std::move(args));
    ui::ClearRecordedDialogs();
    form->Timer1Timer(form->Timer1);
  }
  std::string Hack() const { return ReadFile(root.Host("C:\\Zolmet\\Logs\\261208.ZolmetPrint.hack.txt")); }
  static std::string Entry(const std::string& text) { return "[10:30:10] " + text + "\r\n\r\n"; }
  std::string Scrambled(const std::string& text, int minutesAgo = 0) const {
    return uuCoding::EncodeWithMinutes(text, uuCoding::MinuteCount(now) - minutesAgo);
  }

  testing_support::TempRoot root;
  win::TDateTime now = win::EncodeDateTime({2026, 12, 8, 10, 30, 10});
  printclient::TzfMain* form = nullptr;
  std::vector<std::string> argStore;
  std::vector<PrintCall> prints;
  std::vector<std::string> shifts;
  std::vector<win::DWORD> exits;
  int printResult = 1, shiftResult = 1;
};

}  // namespace

TEST_F(TzfMainTest, DesignValuesAndFormCreate) {
  EXPECT_EQ(ui::Application().MainForm(), form);
  EXPECT_EQ(ui::Application().Title(), kTitle);
  EXPECT_EQ(form->Caption, kTitle + " v20090831a");
  EXPECT_TRUE(form->Timer1->Enabled());
  EXPECT_EQ(form->Timer1->Interval(), 500u);
  EXPECT_FALSE(form->Visible());
  EXPECT_EQ(form->BorderStyle, ui::TFormBorderStyle::bsDialog);
  EXPECT_EQ(form->ClientWidth(), 345);
  EXPECT_EQ(form->ClientHeight(), 112);
  EXPECT_EQ(form->Font.Name(), "細明體");
  EXPECT_EQ(form->Font.Charset(), win::CHINESEBIG5_CHARSET);
  EXPECT_EQ(form->pnHint->Caption, "單據列印處理中");
  EXPECT_EQ(form->pnHint->Align(), ui::TAlign::alClient);
  EXPECT_EQ(form->pnHint->Width(), 345);
  EXPECT_EQ(form->pnHint->Font.Name(), "標楷體");
  EXPECT_EQ(form->pnHint->BevelInner, ui::TBevelCut::bvLowered);
  EXPECT_EQ(form->pnHint->BorderWidth, 5);

  EXPECT_EQ(printclient::VersionExitCode("v20090831a"), 9083100u);
  EXPECT_EQ(printclient::VersionExitCode("V20101231C"), 10123102u);
}

TEST_F(TzfMainTest, WrongArgumentCountLogsAndShowsFileAndVersion) {
  for (auto args : {std::vector<std::string>{}, std::vector<std::string>{"VER", "x"}}) {
    Dispatch(args);
    EXPECT_FALSE(form->Timer1->Enabled());
    EXPECT_FALSE(form->Visible());
    EXPECT_TRUE(ui::Application().Terminated());
    auto rec = ui::RecordedDialogs();
    ASSERT_EQ(rec.size(), 1u);
    EXPECT_EQ(rec[0].kind, "ShowMessage");
    EXPECT_EQ(rec[0].caption, kTitle);
    EXPECT_EQ(rec[0].text,
              "ZolmetPrint\r檔名: " + win::GetModuleFileName() + "\r版本: v20090831a");
  }
  EXPECT_EQ(Hack(), kHeader + Entry("參數數量錯誤: 0") + Entry("參數數量錯誤: 2"));
  EXPECT_TRUE(prints.empty());
  EXPECT_TRUE(exits.empty());
}

TEST_F(TzfMainTest, VersionQueryExitsWithTheVersionAndNothingElse) {
  Dispatch({"VER"});
  EXPECT_EQ(exits, std::vector<win::DWORD>{9083100});
  EXPECT_FALSE(ui::Application().Terminated());
  EXPECT_FALSE(form->Visible());
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_FALSE(win::DirectoryExists("C:\\Zolmet\\Logs"));
}

TEST_F(TzfMainTest, UnreadableArgumentsAreLoggedAndRefused) {
  std::string stale = Scrambled(kReceipt, 2);
  std::string expected = kHeader;
  for (std::string arg : {std::string("ver"), std::string("ABC"), std::string("ZZZZ"),
                          Scrambled(kReceipt).substr(0, 20), stale}) {
    Dispatch({arg});
    EXPECT_TRUE(form->Visible()) << arg;
    EXPECT_TRUE(ui::Application().Terminated());
    auto rec = ui::RecordedDialogs();
    ASSERT_EQ(rec.size(), 1u) << arg;
    EXPECT_EQ(rec[0].kind, "ShowMessage");
    EXPECT_EQ(rec[0].caption, kTitle);
    EXPECT_EQ(rec[0].text, "參數內容有誤");
    expected += Entry("參數內容有誤: " + arg);
  }
  EXPECT_EQ(Hack(), expected);
  EXPECT_TRUE(prints.empty());
  EXPECT_TRUE(exits.empty());
}

TEST_F(TzfMainTest, ReceiptRequestOfThisOrTheLastMinuteIsSplitAndPrinted) {
  std::uint32_t m = uuCoding::MinuteCount(now);
  for (std::uint32_t k : {m, m - 1, m - 2})
    for (int b = 0; b < 4; ++b) ASSERT_NE((k >> (8 * b)) & 0xFF, 0u);
  Dispatch({Scrambled(kReceipt)});
  Dispatch({Scrambled(kReceipt, 1)});
  // Data keeps its commas; the fields may be empty.
  Dispatch({Scrambled("1.2.3.4,web,/p/,d1,d2,,d3XJ")});
  Dispatch({Scrambled(",,,XJ")});
  ASSERT_EQ(prints.size(), 4u);
  for (int i : {0, 1}) {
    EXPECT_EQ(prints[i].IP, "10.0.0.1");
    EXPECT_EQ(prints[i].WebName, "shop.example");
    EXPECT_EQ(prints[i].WebPage, "/card/");
    EXPECT_EQ(prints[i].Data, "A1,B2c");
  }
  EXPECT_EQ(prints[2].Data, "d1,d2,,d3");
  EXPECT_EQ(prints[3].IP + prints[3].WebName + prints[3].WebPage + prints[3].Data, "");
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(ui::Application().Terminated());
  EXPECT_EQ(Hack(), "");
}

// The argument is read with the minute the program started in, even when
// the minute turns before the timer fires. This request (39 bytes) keeps its
// tag and its three commas under the next minute's key, garbled.
TEST_F(TzfMainTest, ArgumentIsReadWithTheMinuteTheProgramStartedIn) {
  const std::string receipt = "10.0.0.12,shop.example,/card/,A12,BCDXJ";
  const std::string arg = Scrambled(receipt);
  win::SetNowForTesting(now + 40.0 / 86400.0);  // the timer fires at 10:30:50
  Dispatch({arg});
  ASSERT_EQ(prints.size(), 1u);
  EXPECT_EQ(prints[0].IP, "10.0.0.12");
  EXPECT_EQ(prints[0].WebName, "shop.example");
  EXPECT_EQ(prints[0].WebPage, "/card/");
  EXPECT_EQ(prints[0].Data, "A12,BCD");
}

TEST_F(TzfMainTest, ReceiptRequestWithoutThreeCommasIsLogged) {
  Dispatch({Scrambled("10.0.0.1XJ")});
  Dispatch({Scrambled("a,b,c 中文XJ")});
  EXPECT_TRUE(prints.empty());
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_TRUE(ui::Application().Terminated());
  EXPECT_EQ(Hack(), kHeader + Entry("[收據]參數內容有誤: 10.0.0.1") +
                        Entry("[收據]參數內容有誤: a,b,c 中文"));
}

TEST_F(TzfMainTest, EveryResultCodeHasItsMessage) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, "發生不明錯誤"},         {1, ""},
      {2, "列印代碼無效或已失效"}, {3, "抱歉! 網路通訊失敗"},
      {4, "抱歉! 系統失敗"},       {5, "抱歉! 封包接收不完整"},
      {6, "抱歉! 未知狀況"},       {-1, "抱歉! 未知狀況"}};
  for (auto& [code, text] : cases) {
    printResult = code;
    Dispatch({Scrambled(kReceipt)});
    auto rec = ui::RecordedDialogs();
    if (text.empty()) {
      EXPECT_TRUE(rec.empty()) << code;
      continue;
    }
    ASSERT_EQ(rec.size(), 1u) << code;
    EXPECT_EQ(rec[0].kind, "MessageBox");
    EXPECT_EQ(rec[0].caption, kTitle);
    EXPECT_EQ(rec[0].text, text);
    EXPECT_EQ(rec[0].icon, ui::MB_ICONINFORMATION);
    EXPECT_EQ(rec[0].buttons, std::vector<int>{ui::IDOK});
  }
  EXPECT_EQ(prints.size(), cases.size());
  EXPECT_EQ(Hack(), "");
}

TEST_F(TzfMainTest, ShiftReportAndUnknownTags) {
  Dispatch({Scrambled("交班 A,B\rtotal 3IS")});
  ASSERT_EQ(shifts, std::vector<std::string>{"交班 A,B\rtotal 3"});
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  shiftResult = 0;
  Dispatch({Scrambled("xIS")});
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].text, "發生不明錯誤");
  EXPECT_EQ(rec[0].caption, kTitle);
  EXPECT_EQ(rec[0].icon, ui::MB_ICONINFORMATION);
  EXPECT_EQ(shifts.back(), "x");

  // The reader only lets "XJ" and "IS" through; any other tag is logged.
  form->DecodeParam = [](const std::string&) { return std::string("QQ1,2,3,4"); };
  Dispatch({"00"});
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_TRUE(ui::Application().Terminated());
  EXPECT_EQ(Hack(), kHeader + Entry("不明參數: QQ1,2,3,4"));
  EXPECT_TRUE(prints.empty());
}

TEST_F(TzfMainTest, TimerDrivesTheDispatchAndExceptionsAreShownWithTheTitle) {
  // The whole road through the message loop: one tick, then the loop ends.
  Args({Scrambled(kReceipt)});
  form->ProcessPrintData = [](const std::string&, const std::string&, const std::string&,
                              const std::string&) -> int { throw std::runtime_error("boom"); };
  ui::Application().Run();
  EXPECT_TRUE(ui::Application().Terminated());
  EXPECT_FALSE(form->Timer1->Enabled());
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].caption, kTitle);
  EXPECT_EQ(rec[0].text, "boom");
  EXPECT_EQ(rec[0].icon, ui::MB_ICONERROR);
}
