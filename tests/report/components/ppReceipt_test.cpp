// The receipt's components generated on the demo printer "Zolmet" (203 dpi)
// through the report core's doubles: the title label, the text memo across
// pages, the bar code, and what the printer device draws of them.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppMemo.h"
#include "report/model/ppCache.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/engine/ppEngineDoubles.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/ppListPipeline.h"

namespace {

// The receipt's line: "收據明細第" + two digits + "行" + 16 letters, 30 columns.
std::string ReceiptLine(int i) {
  std::string digits{static_cast<char>('0' + i / 10 % 10), static_cast<char>('0' + i % 10)};
  return std::string("收據明細第") + digits + "行" + "ABCDEFGHIJKLMNOP";
}

std::string JoinedByCR(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? "\r" : "") + ReceiptLine(i);
  return text;
}

// The receipt report of the print program on "Zolmet": millimetres, top
// margin 3, left 5, a dynamic header of 180.182 mm.
class ReceiptReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    ui::ClearRecordedDialogs();
    spool::PrinterDef def = RecordingZolmet();
    def.backend = backend;
    Install(def, true);
    engines.emplace();
    report = new TPagesReport(nullptr);
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    SetPaperHeight(279000);
    header = new TppHeaderBand(nullptr);
    header->SetReport(report);
    header->SetPrintHeight(phDynamic);
    header->SetHeight(180.182f);
  }
  void TearDown() override {
    for (auto it = components.rbegin(); it != components.rend(); ++it) (*it)->Free();
    if (report) report->Free();
    engines.reset();
    Printers::TearDown();
  }
  void SetPaperHeight(int32_t mm) {
    TppPageDef* def = report->PrinterSetup()->PageDef();
    def->SetmmWidth(82000);
    def->SetmmHeight(mm);
    def->SetmmMarginTop(3000);
    def->SetmmMarginLeft(5000);
    def->SetmmMarginRight(0);
    def->SetmmMarginBottom(0);
  }
  template <class T>
  T* Add() {
    auto* c = new T(nullptr);
    components.push_back(c);
    c->SetBand(header);
    return c;
  }
  // lbData as designed: 細明體 12 pt black, transparent, stretching.
  TppMemo* AddDataMemo(const std::string& text) {
    auto* memo = Add<TppMemo>();
    memo->SetUserName("lbData");
    memo->Font()->SetName("細明體");
    memo->Font()->SetSize(12);
    memo->Font()->SetColor(gdi::clBlack);
    memo->SetTransparent(true);
    memo->SetStretch(true);
    memo->SetBoundsInUnits(0, 27.517f, 69.321f, 6.35f);
    memo->SetText(text);
    return memo;
  }
  TTestEngine* Engine() { return static_cast<TTestEngine*>(report->Engine()); }
  void Run() { report->Engine()->Generate(nullptr); }
  std::string RunFailing() {
    try {
      Run();
    } catch (const EPrintError& e) {
      return e.Message();
    }
    return std::string();
  }
  // The memo's lines on every page, in order.
  std::vector<std::vector<std::string>> MemoPages() const {
    std::vector<std::vector<std::string>> pages;
    for (size_t p = 0; p < report->copies.size(); ++p) {
      std::vector<std::string> lines;
      for (TppDrawText* t : report->Commands<TppDrawText>(p))
        if (t->IsMemo())
          for (int i = 0; i < t->WrappedText()->Count(); ++i) lines.push_back(t->WrappedText()->Strings(i));
      pages.push_back(lines);
    }
    return pages;
  }
  // Prints the kept pages through the printer device.
  void PrintPages() {
    cls::Owned<TppPrinterDevice> device(new TppPrinterDevice(nullptr));
    device->Printer()->SetPrinterSetup(report->PrinterSetup());
    device->StartJob();
    for (auto& page : report->copies) {
      page->SetFinal(true);
      device->ReceivePage(page.get());
    }
    device->EndJob();
  }

  spool::PrinterBackend backend = spool::PrinterBackend::Record;
  std::optional<TTestEngineClasses> engines;
  TPagesReport* report = nullptr;
  TppHeaderBand* header = nullptr;
  std::vector<cls::TObject*> components;
};

class ReceiptOnPaper : public ReceiptReport {
 protected:
  void SetUp() override {
    backend = spool::PrinterBackend::Cairo;
    gdi::SetDeterministicMetrics(false);
    ReceiptReport::SetUp();
    gdi::SetDeterministicMetrics(false);
  }
};

}  // namespace

// ---- the title ----

TEST_F(ReceiptReport, TitleLabelGivesOneTextCommandAtTheMargins) {
  auto* title = Add<TppLabel>();
  title->SetUserName("lbTitle");
  title->Font()->SetName("標楷體");
  title->Font()->SetSize(16);
  title->Font()->SetColor(gdi::clBlack);
  title->SetTransparent(true);
  title->SetAutoSize(false);
  title->SetCaption("Orvane Dravik購卡站");
  title->SetBoundsInUnits(0, 0, 61.383f, 6.879f);
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  auto texts = report->Commands<TppDrawText>(0);
  ASSERT_EQ(texts.size(), 1u);
  TppDrawText* t = texts[0];
  EXPECT_EQ(t->Left(), 5000);
  EXPECT_EQ(t->Top(), 3000);
  EXPECT_EQ(t->Width(), 61383);
  EXPECT_EQ(t->Height(), 6879);
  EXPECT_EQ(t->Font()->Name(), "標楷體");
  EXPECT_EQ(t->Font()->Size(), 16);
  EXPECT_EQ(t->Font()->Color(), gdi::clBlack);
  EXPECT_TRUE(t->Transparent());
  EXPECT_FALSE(t->IsMemo());
  EXPECT_EQ(t->Text(), "Orvane Dravik購卡站");
  EXPECT_EQ(t->Text().size(), 19u);
  EXPECT_EQ(header->GetSpaceUsed(), 6879);
}

TEST_F(ReceiptReport, OnGetTextChangesWhatIsPrinted) {
  auto* label = Add<TppLabel>();
  label->SetCaption("before");
  std::string seen;
  struct Handler {
    std::string* seen;
    void Get(cls::TObject*, std::string& text) {
      *seen = text;
      text = "after";
    }
  } handler{&seen};
  label->OnGetText = TppGetTextEvent(&handler, &Handler::Get);
  Run();
  EXPECT_EQ(seen, "before");
  ASSERT_EQ(report->Commands<TppDrawText>(0).size(), 1u);
  EXPECT_EQ(report->Commands<TppDrawText>(0)[0]->Text(), "after");
}

// ---- the text memo ----

TEST_F(ReceiptReport, EachReceiptLineIsOneMemoLineAThirtyFourPixelPitch) {
  TppMemo* memo = AddDataMemo(JoinedByCR(6));
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  auto pages = MemoPages();
  ASSERT_EQ(pages[0].size(), 6u);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(pages[0][static_cast<size_t>(i)], ReceiptLine(i));
  auto texts = report->Commands<TppDrawText>(0);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->Height(), 6 * 4254);
  EXPECT_EQ(texts[0]->Top(), 30517);
  EXPECT_EQ(texts[0]->Width(), 69321);
  EXPECT_EQ(texts[0]->DataType(), dtMemo);
  EXPECT_EQ(memo->CharPos(), 0);

  PrintPages();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  std::vector<const gdi::TextOp*> ops;
  for (const gdi::Op& op : jobs.back().pages[0].ops)
    if (auto* t = op.As<gdi::TextOp>()) ops.push_back(t);
  ASSERT_EQ(ops.size(), 6u);
  for (size_t i = 0; i < ops.size(); ++i) {
    EXPECT_EQ(ops[i]->text, ReceiptLine(static_cast<int>(i)));
    EXPECT_EQ(ops[i]->origin.y - ops[0]->origin.y, 34 * static_cast<int>(i));
    EXPECT_EQ(ops[i]->em, 34);
  }
}

TEST_F(ReceiptReport, WithRoomForKLinesTheNextPageStartsAtLineKPlusOne) {
  // Three lines fit below the memo's top on the first page.
  SetPaperHeight(30517 + 3 * 4254 + 1000);
  AddDataMemo(JoinedByCR(10));
  Run();
  auto pages = MemoPages();
  ASSERT_GE(pages.size(), 2u);
  ASSERT_EQ(pages[0].size(), 3u);
  EXPECT_EQ(pages[1].front(), ReceiptLine(3));
  // The continuation starts at the top margin.
  EXPECT_EQ(report->Commands<TppDrawText>(1)[0]->Top(), 3000);
  std::vector<std::string> all;
  for (auto& p : pages) all.insert(all.end(), p.begin(), p.end());
  ASSERT_EQ(all.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(all[static_cast<size_t>(i)], ReceiptLine(i));
}

TEST_F(ReceiptReport, BigFiveRunWiderThanTheMemoBreaksBetweenCharacters) {
  std::string run;
  for (int i = 0; i < 40; ++i) run += "測";
  run[40] = '\xB8';  // another character in the middle (測 is B4 FA, 試 is B8 D5)
  run[41] = '\xD5';
  AddDataMemo(run);
  Run();
  auto lines = MemoPages()[0];
  ASSERT_EQ(lines.size(), 3u);  // 16 characters of 34 px fit 554 px
  std::string joined;
  for (const std::string& l : lines) {
    EXPECT_EQ(l.size() % 2, 0u) << l;
    EXPECT_LE(l.size(), 32u);
    joined += l;
  }
  EXPECT_EQ(joined, run);
  EXPECT_EQ(lines[0].size(), 32u);
}

TEST_F(ReceiptReport, KeepTogetherMovesTheMemoWholeOnceThenSplits) {
  SetPaperHeight(30517 + 3 * 4254 + 1000);
  auto* title = Add<TppLabel>();
  title->SetAutoSize(false);
  title->SetBoundsInUnits(0, 0, 60, 5);
  TppMemo* memo = AddDataMemo(JoinedByCR(20));
  memo->SetKeepTogether(true);
  Run();
  auto pages = MemoPages();
  ASSERT_GE(pages.size(), 3u);
  // Page one holds the title only; the memo starts at the top of page two.
  EXPECT_TRUE(pages[0].empty());
  ASSERT_FALSE(pages[1].empty());
  EXPECT_EQ(pages[1].front(), ReceiptLine(0));
  std::vector<std::string> all;
  for (auto& p : pages) all.insert(all.end(), p.begin(), p.end());
  ASSERT_EQ(all.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(all[static_cast<size_t>(i)], ReceiptLine(i));
}

TEST_F(ReceiptReport, TextEndsAtANulAndTheMemoCompletes) {
  std::string text = ReceiptLine(0) + "\r\n" + ReceiptLine(1) + std::string(1, '\0') + std::string(4000, 'x');
  TppMemo* memo = AddDataMemo(text);
  SetPaperHeight(30517 + 5 * 4254 + 1000);
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  auto pages = MemoPages();
  EXPECT_EQ(pages[0], (std::vector<std::string>{ReceiptLine(0), ReceiptLine(1)}));
  EXPECT_FALSE(memo->OverFlow());
  EXPECT_EQ(memo->CharPos(), 0);
}

TEST_F(ReceiptReport, MemoWhoseLineCanNeverFitEndsGenerationNamingIt) {
  TppMemo* memo = AddDataMemo(JoinedByCR(3));
  memo->Font()->SetSize(1000);  // one line is taller than the page
  std::string message = RunFailing();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("lbData"), std::string::npos) << message;
  EXPECT_EQ(Engine()->AbsolutePageNo(), 2);
  EXPECT_EQ(memo->CharPos(), 0);
}

TEST_F(ReceiptReport, ReprintedTitleAboveAMemoThatNeverFitsEndsGeneration) {
  auto* title = Add<TppLabel>();
  title->SetUserName("lbTitle");
  title->SetCaption("收據");
  title->SetBoundsInUnits(0, 0, 60, 5);
  title->SetReprintOnOverFlow(true);
  TppMemo* memo = AddDataMemo(JoinedByCR(3));
  memo->Font()->SetSize(1000);
  report->SetPageLimit(20);
  std::string message = RunFailing();
  EXPECT_EQ(message.rfind(ppLoadStr(1023) + "\r\n\r\n", 0), 0u) << message;
  EXPECT_NE(message.find("lbData"), std::string::npos) << message;
  EXPECT_LE(report->copies.size(), 3u);
  EXPECT_EQ(memo->CharPos(), 0);
}

TEST_F(ReceiptReport, NoLineOnAContinuationPageKeepsTheContinuationPoint) {
  TppMemo* memo = AddDataMemo(JoinedByCR(5));
  memo->InitGeneration();
  memo->SetDrawComponent(true);
  memo->SetPageBottom(100000);
  // Room for two lines, then for none.
  memo->SetPrintRect(MakeRect(5000, 30517, 74321, 30517 + 2 * 4254 + 100));
  memo->CalcPrintExtent();
  ASSERT_TRUE(memo->OverFlow());
  int32_t after = memo->CharPos();
  EXPECT_EQ(after, static_cast<int32_t>(2 * (ReceiptLine(0).size() + 2)));
  memo->ClearPrintState();
  memo->SetPrintRect(MakeRect(5000, 3000, 74321, 3000 + 4000));
  memo->CalcPrintExtent();
  EXPECT_TRUE(memo->OverFlow());
  EXPECT_EQ(memo->SpaceUsed(), 0);
  EXPECT_EQ(memo->CharPos(), after);
  EXPECT_EQ(memo->GetPrintLines()->Count(), 0);
}

TEST_F(ReceiptReport, PageCacheKeepsTheContinuationPoint) {
  SetPaperHeight(30517 + 3 * 4254 + 1000);
  TppMemo* memo = AddDataMemo(JoinedByCR(10));
  cls::Owned<TppCacheManager> cache(new TppCacheManager(report));
  cache->SetCacheables({memo});
  struct Saver {
    TppCacheManager* cache;
    TppCustomReport* report;
    void EndPage(cls::TObject*) { cache->SavePage(report->AbsolutePageNo() - 1); }
  } saver{cache.get(), report};
  report->OnEndPage = cls::TNotifyEvent(&saver, &Saver::EndPage);
  Run();
  ASSERT_GE(report->copies.size(), 2u);
  cache->RestorePage(0);
  EXPECT_EQ(memo->CharPos(), static_cast<int32_t>(3 * (ReceiptLine(0).size() + 2)));
  EXPECT_TRUE(memo->OverFlow());
  cache->RestorePage(static_cast<int32_t>(report->copies.size()) - 1);
  EXPECT_EQ(memo->CharPos(), 0);
  EXPECT_FALSE(memo->OverFlow());
  report->OnEndPage = cls::TNotifyEvent();
}

TEST_F(ReceiptReport, MemoThatDoesNotStretchPrintsWhatFitsItsHeight) {
  TppMemo* memo = AddDataMemo(JoinedByCR(5));
  memo->SetStretch(false);
  memo->SetmmHeight(2 * 4254 + 500);
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  EXPECT_EQ(MemoPages()[0], (std::vector<std::string>{ReceiptLine(0), ReceiptLine(1)}));
  EXPECT_EQ(report->Commands<TppDrawText>(0)[0]->Height(), 2 * 4254 + 500);
  EXPECT_FALSE(memo->OverFlow());
}

TEST_F(ReceiptReport, DataMemoTakesItsLinesFromTheField) {
  cls::Owned<TppListPipeline> data(new TppListPipeline(nullptr));
  data->SetFieldNames({"Body"});
  data->AddRecord({{"Body", JoinedByCR(3)}});
  data->Open();
  auto* memo = Add<TppDBMemo>();
  memo->Font()->SetName("細明體");
  memo->Font()->SetSize(12);
  memo->SetStretch(true);
  memo->SetBoundsInUnits(0, 0, 69.321f, 6.35f);
  memo->SetDataPipeline(data.get());
  memo->SetDataField("body");
  Run();
  EXPECT_EQ(MemoPages()[0], (std::vector<std::string>{ReceiptLine(0), ReceiptLine(1), ReceiptLine(2)}));
  // Without data nothing prints, and OnGetMemo is asked only while printing.
  data->Close();
  int asked = 0;
  struct Handler {
    int* asked;
    void Get(cls::TObject*, cls::TStringList*) { ++*asked; }
  } handler{&asked};
  memo->OnGetMemo = TppGetMemoEvent(&handler, &Handler::Get);
  report->copies.clear();
  Run();
  EXPECT_TRUE(MemoPages()[0].empty());
  EXPECT_EQ(asked, 0);
  memo->SetDataPipeline(nullptr);
}

// ---- the bar code ----

TEST_F(ReceiptReport, ReceiptBarCodeWithoutAutoSizeKeepsItsDesignSize) {
  auto* bar = Add<TppBarCode>();
  bar->SetBarCodeType(bcEAN_13);
  bar->SetAutoEncode(true);
  bar->SetAlignment(cls::taCenter);
  bar->Font()->SetName("Courier New");
  bar->Font()->SetSize(8);
  bar->SetBarWidth(0.4f);
  bar->SetWideBarRatio(1.0f);
  bar->SetBoundsInUnits(0.265f, 8.202f, 42.917f, 18.0f);
  bar->SetAutoSize(false);
  bar->SetData("2000001000014");
  EXPECT_EQ(bar->mmWidth(), 42917);
  EXPECT_EQ(bar->mmHeight(), 18000);
  EXPECT_TRUE(bar->CodeOK());
  EXPECT_EQ(bar->mmBarWidth(), 400);
  EXPECT_EQ(bar->mmWideBarRatio(), 25400);
  EXPECT_FALSE(bar->AutoEncode());  // EAN-13 does not encode automatically
  EXPECT_TRUE(ui::RecordedDialogs().empty());

  Run();
  TppDrawBarCode* command = nullptr;
  for (int i = 0; i < report->copies[0]->GetDrawCommandCount(); ++i)
    if (auto* b = cls::ObjectAs<TppDrawBarCode>(report->copies[0]->GetDrawCommand(i))) command = b;
  ASSERT_NE(command, nullptr);
  EXPECT_EQ(command->Data(), "2000001000014");
  EXPECT_TRUE(command->CodeOK());
  EXPECT_EQ(command->Left(), 5265);
  EXPECT_EQ(command->Top(), 11202);
  // The command carries the symbol's extent: 343 px of 203 dpi across.
  EXPECT_EQ(command->Width(), 42917);
  // and the design height's 144 px (nint(0.7087 in x 203)), text line included.
  EXPECT_EQ(command->Height(), 18018);
}

TEST_F(ReceiptReport, AutoSizedBarCodeTakesTheSymbolsExtent) {
  auto* bar = Add<TppBarCode>();
  bar->SetBarCodeType(bcEAN_13);
  bar->Font()->SetName("Courier New");
  bar->Font()->SetSize(8);
  bar->SetBarWidth(0.4f);
  bar->SetData("2000001000014");
  EXPECT_EQ(bar->mmWidth(), 42917);
  int32_t height = bar->mmHeight();
  EXPECT_GT(height, 18000);
  bar->SetOrientation(orTopToBottom);
  EXPECT_EQ(bar->mmHeight(), 42917);
  EXPECT_EQ(bar->mmWidth(), height);
}

// ---- on paper ----

TEST_F(ReceiptOnPaper, PdfTextReadsTheMemoLinesBack) {
  if (std::system("command -v pdftotext > /dev/null 2>&1") != 0) GTEST_SKIP() << "pdftotext is not installed";
  SetPaperHeight(30517 + 3 * 4254 + 1000);
  AddDataMemo(JoinedByCR(5));
  Run();
  ASSERT_EQ(report->copies.size(), 2u);
  PrintPages();
  std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  std::string pdf;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".pdf") pdf = e.path().string();
  ASSERT_FALSE(pdf.empty());
  std::string text = testing_support::Shell("pdftotext -layout '" + pdf + "' -");
  size_t at = 0;
  for (int i = 0; i < 5; ++i) {
    std::string line = cp::Big5ToUtf8(ReceiptLine(i));
    size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos) << "line " << i << " in:\n" << text;
    at = found + line.size();
    EXPECT_EQ(text.find(line, at), std::string::npos) << "line " << i << " twice";
  }
}
