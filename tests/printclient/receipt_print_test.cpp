// The main form's receipt report printed in process onto printers of a
// fresh system root: paper sized to the content, the printed jobs read back
// with poppler and zbar, the notice when "Zolmet" is missing, and failures
// that come back as a False answer with their cause shown once.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/codepage.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "printclient/ufMain.h"
#include "printclient/ufMainReceipt.h"
#include "printclient/ufShow.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/components/ppMemo.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/output/ppPrintr.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kTitle = "Orvane．Dravik購卡站";

std::string U(const std::string& big5) { return cp::Big5ToUtf8(big5); }

class ReceiptPrint : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::freopen("/dev/null", "r", stdin), nullptr);
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedAnswers();
    ui::ClearScriptedClicks();
    ASSERT_TRUE(spool::InstallPrinter(spool::DemoReceiptPrinter()));
    ASSERT_TRUE(spool::SetDefaultPrinter("Zolmet"));
    ppPrintrFinalize();
    ui::Application().SetTitle(kTitle);
    form = ui::Application().CreateForm<printclient::TzfMain>();
    form->Timer1->SetEnabled(false);  // no request to dispatch
  }
  void TearDown() override {
    ui::Application().Shutdown();
    ui::ClearScriptedAnswers();
    ui::ClearScriptedClicks();
    ppPrintrFinalize();
    ui::SetEchoDialogs(true);
  }

  // Only the printer "Office" (a copy of the demo printer), the default.
  void OnlyOffice() {
    spool::PrinterDef office = spool::DemoReceiptPrinter();
    office.name = "Office";
    office.output = "C:\\Zolmet\\Printed\\Office";
    ASSERT_TRUE(spool::InstallPrinter(office));
    ASSERT_TRUE(spool::RemovePrinter("Zolmet"));
    ASSERT_TRUE(spool::SetDefaultPrinter("Office"));
    ppPrintrFinalize();
  }
  void NoPrinter() {
    ASSERT_TRUE(spool::RemovePrinter("Zolmet"));
    spool::WriteProfileString("windows", "device", "");
    ppPrintrFinalize();
  }

  std::string Job(int n, const std::string& suffix, const std::string& printer = "Zolmet") const {
    char name[48];
    std::snprintf(name, sizeof name, "/job-%04d%s", n, suffix.c_str());
    return root.Host("C:\\Zolmet\\Printed\\" + printer) + name;
  }
  std::string Record(int n, const std::string& printer = "Zolmet") const {
    return fs::exists(Job(n, ".job", printer)) ? ReadFile(Job(n, ".job", printer)) : std::string();
  }
  // "Page1=" line of a job: width and height in tenths, then pixels.
  std::string PageLine(int n, int page = 1) const {
    std::smatch m;
    std::string record = Record(n);
    std::regex line("Page" + std::to_string(page) + "=([0-9,]+)\r");
    return std::regex_search(record, m, line) ? m[1].str() : std::string();
  }
  std::string PdfText(int n) const { return Shell("pdftotext -layout '" + Job(n, ".pdf") + "' - 2>/dev/null"); }
  std::string PdfPageSize(int n) const {
    std::smatch m;
    std::string info = Shell("pdfinfo '" + Job(n, ".pdf") + "' 2>/dev/null");
    if (!std::regex_search(info, m, std::regex("Page size: +([0-9.]+) x ([0-9.]+) pts"))) return "";
    char size[64];
    std::snprintf(size, sizeof size, "%.2f x %.2f", std::stod(m[1].str()), std::stod(m[2].str()));
    return size;
  }
  static std::string Lines(int n) {
    std::string text;
    for (int i = 1; i <= n; ++i) text += (i > 1 ? "\r" : "") + std::string("line ") + std::to_string(i);
    return text;
  }
  static int Shown(const std::string& text) {
    int n = 0;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) n += d.text == text;
    return n;
  }

  TempRoot root;
  printclient::TzfMain* form = nullptr;
};

}  // namespace

// The design values survive loading: the bar code type's and the data's
// setters would have replaced the bar width, the data and the size.
TEST_F(ReceiptPrint, TheReportKeepsItsDesignValues) {
  TppPrinterSetup* setup = form->ppReport1->PrinterSetup();
  EXPECT_EQ(setup->PrinterName(), "Screen");
  EXPECT_EQ(setup->PaperName(), "Custom");
  EXPECT_EQ(setup->PageDef()->mmWidth(), 82000);
  EXPECT_EQ(setup->PageDef()->mmHeight(), 279000);
  EXPECT_EQ(setup->PageDef()->mmMarginTop(), 6350);
  EXPECT_EQ(form->ppReport1->DeviceType(), "Screen");
  EXPECT_TRUE(form->ppReport1->ShowCancelDialog());
  EXPECT_EQ(form->ppReport1->Units(), utMillimeters);
  EXPECT_EQ(form->ppHeaderBand1->PrintHeight(), phDynamic);
  EXPECT_EQ(form->ppHeaderBand1->mmHeight(), 180182);
  EXPECT_EQ(form->ppHeaderBand1->Report(), form->ppReport1);
  EXPECT_EQ(form->ppDetailBand1->Report(), form->ppReport1);
  EXPECT_EQ(form->ppHeaderBand1->ObjectCount(), 3);

  EXPECT_EQ(form->ppBarCode->Data(), "2000001000014");
  EXPECT_FALSE(form->ppBarCode->AutoSize());
  EXPECT_EQ(form->ppBarCode->mmBarWidth(), 400);
  EXPECT_EQ(form->ppBarCode->mmWidth(), 42917);
  EXPECT_EQ(form->ppBarCode->mmHeight(), 18000);
  EXPECT_FLOAT_EQ(form->ppBarCode->Top(), 8.202f);
  EXPECT_FALSE(form->lbTitle->AutoSize());
  EXPECT_EQ(form->lbTitle->mmWidth(), 61383);
  EXPECT_FLOAT_EQ(form->lbTitle->Height(), 6.879f);
  EXPECT_EQ(form->lbData->mmTop(), 27517);
  EXPECT_TRUE(form->lbData->Stretch());

  // Setting the data moves neither the memo nor the size.
  form->ppBarCode->SetData("4006381333931");
  EXPECT_EQ(form->ppBarCode->mmHeight(), 18000);
  EXPECT_EQ(form->ppBarCode->mmWidth(), 42917);
}

// Paper height: memo top + lines x 4.255 + 12.7 mm, in rounded tenths; the
// PDF keeps the tenths (83.5 mm, not the whole millimetres read back).
TEST_F(ReceiptPrint, PaperIsSizedToTheTextAndTheBarCode) {
  ASSERT_TRUE(form->PrintReceipt(10, "2000001000014", Lines(10)));
  EXPECT_EQ(PageLine(1).substr(0, 8), "820,835,") << Record(1);
  EXPECT_EQ(PdfPageSize(1), "232.44 x 236.69");
  EXPECT_EQ(Shell("zbarimg -q --raw '" + Job(1, "-p1.png") + "' 2>/dev/null"), "2000001000014\n");
  std::string text = PdfText(1);
  EXPECT_NE(text.find(U("Orvane Dravik購卡站")), std::string::npos) << text;
  EXPECT_NE(text.find("line 10"), std::string::npos) << text;
  EXPECT_NE(Record(1).find("Pages=1\r"), std::string::npos);

  // A check digit that fails: no bar code, the memo under the title.
  ASSERT_TRUE(form->PrintReceipt(10, "2000001000015", Lines(10)));
  EXPECT_EQ(PageLine(2).substr(0, 8), "820,641,") << Record(2);
  EXPECT_FALSE(form->ppBarCode->Visible());
  EXPECT_EQ(Shell("zbarimg -q --raw '" + Job(2, "-p1.png") + "' 2>/dev/null"), "");

  // The shift report: never a bar code.
  EXPECT_EQ(form->PrintShiftReport(std::string(31, 's') + "\r\n" + "第二行"), 1);
  EXPECT_EQ(PageLine(3).substr(0, 8), "820,343,") << Record(3);
  // Only the cancel dialog of each run was shown.
  for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) EXPECT_EQ(d.kind, "TppCancelDialog") << U(d.text);
}

TEST_F(ReceiptPrint, AnEmptyTextPrintsTitleAndBarCodeOnOneLinesPaper) {
  int lines = 0;
  std::string wrapped = printclient::ufMain::WrapReceiptText("", lines);
  ASSERT_TRUE(form->PrintReceipt(lines, "2000001000014", wrapped));
  // 28.202 + 4.255 + 12.7 mm
  EXPECT_EQ(PageLine(1).substr(0, 8), "820,452,") << Record(1);
  EXPECT_NE(PdfText(1).find(U("Orvane Dravik購卡站")), std::string::npos);
  EXPECT_EQ(Shell("zbarimg -q --raw '" + Job(1, "-p1.png") + "' 2>/dev/null"), "2000001000014\n");
}

// Bytes that are no Big5 character print as "?"; the rest of the line and
// the lines after it are all there.
TEST_F(ReceiptPrint, BytesWithoutBig5FormPrintAsQuestionMarks) {
  const std::string text = std::string("A\xFF") + "B" + "\xA4\xA4" + "\r" + "\xFF\xFF" + "\rlast\xA4";
  ASSERT_TRUE(form->PrintReceipt(3, "", text));
  std::string printed = PdfText(1);
  EXPECT_NE(printed.find("A?B" + U("\xA4\xA4") + "\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("\n?"), std::string::npos) << printed;
  EXPECT_NE(printed.find("last?"), std::string::npos) << printed;
}

// Taller than a device mode can say (32,767 tenths): the text goes on over
// more pages, every line printed once.
TEST_F(ReceiptPrint, AReceiptTallerThanTheDeviceModeGoesOnOverMorePages) {
  const int n = 800;
  ASSERT_TRUE(form->PrintReceipt(n, "2000001000014", Lines(n)));
  std::string record = Record(1);
  ASSERT_NE(record.find("Status=done\r"), std::string::npos) << record;
  EXPECT_EQ(record.find("Pages=1\r"), std::string::npos) << record;
  std::string text = PdfText(1);
  for (int i : {1, 2, 399, 400, 401, 799, 800}) {
    const std::string line = "line " + std::to_string(i) + "\n";
    size_t at = text.find(line);
    EXPECT_NE(at, std::string::npos) << line;
    EXPECT_EQ(text.find(line, at + 1), std::string::npos) << line << " twice";
  }
}

TEST_F(ReceiptPrint, WithoutZolmetTheNoticeListsTheInstalledPrinters) {
  OnlyOffice();
  // Nobody answers: the notice is closed, which declines.
  EXPECT_TRUE(form->PrintReceipt(1, "", "x"));
  auto rec = ui::RecordedDialogs();
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].kind, "TzfShow");
  EXPECT_FALSE(fs::exists(Job(1, ".job", "Office")));

  printclient::TzfShow* show = ui::NewForm<printclient::TzfShow>(form);
  EXPECT_EQ(show->Caption, "[Dravik] 列表機設定訊息");
  EXPECT_EQ(show->Memo1->Lines.Text(), "Office\r\n");
  EXPECT_EQ(show->lbNote->Caption, "您的電腦目前尚未安裝名為 \"Zolmet\" 的列表機");
  EXPECT_EQ(show->lbNote->Font.Color(), gdi::clRed);
  EXPECT_EQ(show->BorderIcons, unsigned{ui::biMaximize});
  show->Free();

  ui::ClearRecordedDialogs();
  ui::ScriptClicks({"bnAbort"});
  EXPECT_TRUE(form->PrintReceipt(1, "", "x"));
  EXPECT_FALSE(fs::exists(Job(1, ".job", "Office")));

  // Cancel on the question leaves the notice open: the next click reaches it.
  ui::ClearRecordedDialogs();
  ui::ScriptClicks({"bnPrint", "bnAbort"});
  ui::ScriptAnswers({ui::IDCANCEL});
  EXPECT_TRUE(form->PrintReceipt(1, "", "x"));
  rec = ui::RecordedDialogs();
  ASSERT_GE(rec.size(), 2u);
  EXPECT_EQ(rec[0].text, "將使用預設印表機列印 ?");
  EXPECT_EQ(rec[0].caption, "注意");
  EXPECT_EQ(rec[0].buttons, (std::vector<int>{ui::IDOK, ui::IDCANCEL}));
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_FALSE(fs::exists(Job(1, ".job", "Office")));

  // OK: the receipt goes to the default printer.
  ui::ScriptClicks({"bnPrint"});
  ui::ScriptAnswers({ui::IDOK});
  EXPECT_TRUE(form->PrintReceipt(1, "", "office receipt"));
  std::string record = Record(1, "Office");
  EXPECT_NE(record.find("Printer=Office\r"), std::string::npos) << record;
  EXPECT_NE(record.find("Status=done\r"), std::string::npos) << record;
}

// With no printer at all "Default" resolves to "Screen", which cannot
// print: the cause is shown once and the answer is False.
TEST_F(ReceiptPrint, WithNoPrinterThePrintFailsWithItsCauseShownOnce) {
  NoPrinter();
  ui::ScriptClicks({"bnPrint"});
  ui::ScriptAnswers({ui::IDOK});
  EXPECT_FALSE(form->PrintReceipt(1, "", "x"));
  EXPECT_EQ(Shown("Screen printer does not support printing."), 1);
  EXPECT_EQ(form->ppReport1->PrinterSetup()->PrinterName(), "Screen");
  EXPECT_EQ(ui::FindWindow("TppCancelDialog"), 0u);
  EXPECT_FALSE(form->ppReport1->Printing());
}

// A failure inside the cancel dialog's run (the output folder cannot be
// made): the dialog closes, the document is given up, the text is shown
// once and the reply processing logs the failure.
TEST_F(ReceiptPrint, AFailureInsideTheRunEndsAsAFailedPrint) {
  WriteFile(root.Host("C:\\Zolmet\\Printed\\Zolmet"), "a file where the folder should be");
  int lines = 0;
  std::string wrapped = printclient::ufMain::WrapReceiptText("one", lines);
  EXPECT_FALSE(form->PrintReceipt(lines, "", wrapped));
  std::vector<ui::TRecordedDialog> rec;
  for (const ui::TRecordedDialog& d : ui::RecordedDialogs())
    if (d.kind != "TppCancelDialog") rec.push_back(d);
  ASSERT_EQ(rec.size(), 1u);
  EXPECT_EQ(rec[0].caption, kTitle);
  EXPECT_NE(rec[0].text.find("Zolmet"), std::string::npos) << rec[0].text;
  EXPECT_EQ(ui::FindWindow("TppCancelDialog"), 0u);
  EXPECT_EQ(form->ppReport1->CancelDialog(), nullptr);
  EXPECT_FALSE(form->ppReport1->Producing());

  // The next receipt prints once the folder can be made.
  fs::remove(root.Host("C:\\Zolmet\\Printed\\Zolmet"));
  EXPECT_TRUE(form->PrintReceipt(lines, "", wrapped));
  EXPECT_NE(Record(1).find("Status=done\r"), std::string::npos) << Record(1);
}

// The receipt report, laid out for a receipt and saved as a template in
// either form, loaded into a report of its own prints the same PDF (dates
// aside), the same page images and the same job record page.
TEST_F(ReceiptPrint, TheLaidOutReceiptComesBackWholeFromItsTemplate) {
  ASSERT_TRUE(form->PrintReceipt(10, "2000001000014", Lines(10)));
  auto withoutDates = [](const std::string& pdf) {
    return std::regex_replace(pdf, std::regex("/(CreationDate|ModDate) \\([^)]*\\)"), "");
  };
  const std::string pdf = withoutDates(ReadFile(Job(1, ".pdf")));
  ASSERT_FALSE(pdf.empty());
  int job = 1;
  for (TppFormatType format : {TppFormatType::ftBinary, TppFormatType::ftASCII}) {
    SCOPED_TRACE(static_cast<int>(format));
    form->ppReport1->Template()->SetFormat(format);
    cls::TMemoryStream saved;
    form->ppReport1->Template()->SaveToStream(&saved);
    cls::Owned<cls::TComponent> other(new cls::TComponent(nullptr));
    auto* report = new TppReport(other.get());
    report->SetName("ppReport1");
    saved.SetPosition(0);
    report->Template()->LoadFromStream(&saved);
    report->Print();
    ++job;
    EXPECT_EQ(withoutDates(ReadFile(Job(job, ".pdf"))), pdf);
    EXPECT_EQ(ReadFile(Job(job, "-p1.png")), ReadFile(Job(1, "-p1.png")));
    EXPECT_EQ(PageLine(job), PageLine(1));
  }
}
