// The print dialog worked by script: on its own against the demo printers
// of a fresh system root, and inside a report's print run (printer choice,
// pages, copies, file output), with the OKs it refuses.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/forms/ppPDlg.h"
#include "report/output/ppFilDev.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppPrintr.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppPagedReport.h"
#include "tests/support/ppPrintRun.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Writes the number of each page it receives, one a line.
class TPageFileDevice : public TppFileDevice {
  CLS_DECLARE_CLASS(TPageFileDevice, TppFileDevice)
 public:
  using TppFileDevice::TppFileDevice;
  static std::string ClassDeviceName() { return "PageFile"; }
  std::string DeviceName() const override { return ClassDeviceName(); }
  std::string DefaultExtension() const override { return "pag"; }
  std::string FileFilter() const override { return "Page files|*.PAG"; }
  std::string Description() const override { return "Page numbers"; }

 protected:
  void WritePage(TppPage* page) override { WriteString(std::to_string(page->AbsolutePageNo()) + "\n"); }
};
CLS_IMPLEMENT_COMPONENT(TPageFileDevice)

class PrintDialogRun : public PrintRunTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PrintRunTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(InstallOffice());
    fs::create_directories(sysroot::HostPath("C:\\Out"));
    report_.reset(new TPageSource(nullptr));
    report_->Pages = 5;
    report_->PrinterSetup()->SetPrinterName("Zolmet");
    report_->PrinterSetup()->SetDocumentName("Report");
    report_->SetDeviceType("Printer");
    report_->SetShowPrintDialog(true);
    report_->SetShowCancelDialog(false);
  }
  void TearDown() override {
    report_.reset();
    UnregisterDevice(&TPageFileDevice::StaticClass());
    PrintRunTest::TearDown();
  }

  cls::Owned<TPageSource> report_;
};

// The dialog on its own, editing a printer of its own.
class PrintDialogAlone : public PrintDialogRun {
 protected:
  void SetUp() override {
    PrintDialogRun::SetUp();
    printer_.reset(new TppPrinter());
    printer_->GetPrinterSetup()->SetPrinterName("Zolmet");
    cls::TClass c = FindFormClass(&TppCustomPrintDialog::StaticClass());
    ASSERT_EQ(c, &TppPrintDialog::StaticClass());
    dialog_ = cls::ObjectAs<TppPrintDialog>(ui::NewFormOfClass(c, nullptr));
    ASSERT_NE(dialog_, nullptr);
    dialog_->SetPrinter(printer_.get());
  }
  void TearDown() override {
    if (dialog_) dialog_->Free();
    dialog_ = nullptr;
    printer_.reset();
    PrintDialogRun::TearDown();
  }
  TppPageRequest* Request() { return cls::ObjectAs<TppPageRequest>(dialog_->PageRequest()); }
  cls::Owned<TppPrinter> printer_;
  TppPrintDialog* dialog_ = nullptr;
};

}  // namespace

TEST_F(PrintDialogAlone, ListsThePrintersWithTheSelectedOnesTypeAndPort) {
  ui::ScriptClicks({"btnCancel"});
  EXPECT_EQ(dialog_->ShowModal(), ui::mrCancel);
  std::vector<std::string> names;
  for (int i = 0; i < dialog_->cbxPrinters->Items.Count(); ++i) names.push_back(dialog_->cbxPrinters->Items[i]);
  EXPECT_EQ(names, (std::vector<std::string>{"Default", "Office", "Zolmet"}));
  EXPECT_EQ(dialog_->cbxPrinters->Text(), "Zolmet");
  EXPECT_EQ(dialog_->lblPrinterType->Caption, "Zolmet Receipt");
  EXPECT_EQ(dialog_->lblPrinterLocation->Caption, "USB001");
  EXPECT_FALSE(dialog_->lblNoPrinters->Visible());
  EXPECT_FALSE(dialog_->pnlPrintToFile->Visible());
  EXPECT_FALSE(dialog_->cbxBackgroundPrinting->Visible());
  // Without file output the form is shorter by that panel; it renders to PNG.
  EXPECT_EQ(dialog_->Height(), 392 - dialog_->pnlPrintToFile->Height());
  dialog_->SaveToPng("C:\\Out\\print.png");
  std::string png = ReadFile(sysroot::HostPath("C:\\Out\\print.png"));
  ASSERT_GT(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");

  // Choosing a printer sets the setup's and shows its texts; "Default"
  // shows the printer it stands for.
  ui::ScriptClicks({"cbxPrinters=Office", "btnCancel"});
  dialog_->ShowModal();
  EXPECT_EQ(printer_->GetPrinterSetup()->PrinterName(), "Office");
  std::string officeType = dialog_->lblPrinterType->Caption;
  ui::ScriptClicks({"cbxPrinters=Default", "btnCancel"});
  dialog_->ShowModal();
  EXPECT_EQ(dialog_->lblPrinterType->Caption, "Zolmet Receipt");
  EXPECT_EQ(officeType, "Office Laser");
}

TEST_F(PrintDialogAlone, WithoutPrintersTheListGivesWayToMessage8) {
  ASSERT_TRUE(spool::RemovePrinter("Zolmet"));
  ASSERT_TRUE(spool::RemovePrinter("Office"));
  ppGetPrinterList()->BuildPrinterList();
  ui::ScriptClicks({"btnOK", "btnCancel"});
  EXPECT_EQ(dialog_->ShowModal(), ui::mrCancel);
  EXPECT_TRUE(dialog_->lblNoPrinters->Visible());
  EXPECT_FALSE(dialog_->cbxPrinters->Visible());
  EXPECT_EQ(Messages(), std::vector<std::string>{"There are no printers connected to your computer."});
}

TEST_F(PrintDialogAlone, PropertiesSayThePrinterHasNoneToSetHere) {
  ui::ScriptClicks({"cbxPrinters=Zolmet", "btnPrinterProperties", "btnCancel"});
  EXPECT_EQ(dialog_->ShowModal(), ui::mrCancel);
  EXPECT_EQ(Messages(), std::vector<std::string>{"The printer \"Zolmet\" has no properties to set here."});
}

TEST_F(PrintDialogAlone, RefusedOksKeepTheDialogOpenAndChangeNothing) {
  const struct {
    std::vector<std::string> entries;
    const char* message;
  } cases[] = {
      {{"edtCopies=3", "edtPageRange=0", "btnOK", "btnCancel"}, "No pages entered."},
      {{"edtCopies=3", "edtPageRange=100000000", "btnOK", "btnCancel"}, "No pages entered."},
      {{"edtCopies=3", "rdbPages=1", "btnOK", "btnCancel"}, "No pages entered."},
      {{"edtCopies=3", "cbxPrinters=Office", "btnOK", "btnCancel"}, nullptr},
  };
  for (const auto& c : cases) {
    ui::ClearRecordedDialogs();
    Request()->Clear();
    printer_->GetPrinterSetup()->SetPrinterName("Zolmet");
    std::deque<std::string> script(c.entries.begin(), c.entries.end());
    if (!c.message) {
      // A printer that has gone from the list since it was chosen.
      auto chosen = dialog_->cbxPrinters->OnChange;
      dialog_->cbxPrinters->OnChange = [chosen](cls::TObject* sender) {
        chosen(sender);
        spool::RemovePrinter("Office");
        ppGetPrinterList()->BuildPrinterList();
      };
    }
    ui::ScriptClicks(script);
    EXPECT_EQ(dialog_->ShowModal(), ui::mrCancel) << c.entries[1];
    EXPECT_EQ(Messages(), std::vector<std::string>{c.message ? c.message : "The selected printer is not valid."});
    EXPECT_EQ(Request()->PageSetting(), TppPageSettingType::psAll);
    EXPECT_EQ(printer_->GetPrinterSetup()->Copies(), 1);
    EXPECT_EQ(dialog_->DeviceType, "");
  }
}

TEST_F(PrintDialogAlone, CopiesStayWithinOneTo999AndNeverRaise) {
  ui::ScriptClicks({"edtCopies=abc", "edtPageRange=2", "btnCancel"});
  dialog_->ShowModal();
  EXPECT_EQ(dialog_->edtCopies->Text(), "1");  // left for the page box
  EXPECT_TRUE(dialog_->rdbPages->Checked());
  dialog_->udCopies->ClickButton(ui::TUDBtnType::btPrev);
  EXPECT_EQ(dialog_->edtCopies->Text(), "1");
  dialog_->edtCopies->SetText("999");
  dialog_->udCopies->ClickButton(ui::TUDBtnType::btNext);
  EXPECT_EQ(dialog_->edtCopies->Text(), "999");
  dialog_->udCopies->ClickButton(ui::TUDBtnType::btPrev);
  EXPECT_EQ(dialog_->edtCopies->Text(), "998");
  for (const char* typed : {"99999999999999999999", "-4", "0"}) {
    ui::ScriptClicks({std::string("edtCopies=") + typed, "btnOK"});
    EXPECT_EQ(dialog_->ShowModal(), ui::mrOk) << typed;
    EXPECT_EQ(printer_->GetPrinterSetup()->Copies(), 1) << typed;
  }
  ui::ScriptClicks({"edtCopies=1000", "btnOK"});
  dialog_->ShowModal();
  EXPECT_EQ(printer_->GetPrinterSetup()->Copies(), 999);
  // The spin button worked as a user would.
  ui::ScriptClicks({"edtCopies=2", "udCopies=up", "udCopies=UP", "udCopies=down", "btnOK"});
  dialog_->ShowModal();
  EXPECT_EQ(printer_->GetPrinterSetup()->Copies(), 3);
}

TEST_F(PrintDialogAlone, ShowsTheRequestItIsGiven) {
  TppPageRequest* request = Request();
  request->SetPageSetting(TppPageSettingType::psPageRange);
  request->PageList()->Add("3");
  request->PageList()->Add("7");
  request->SetPageRange(prEvenPages);
  ui::ScriptClicks({"btnCancel"});
  dialog_->ShowModal();
  EXPECT_TRUE(dialog_->rdbPages->Checked());
  EXPECT_EQ(dialog_->edtPageRange->Text(), "3-7");
  EXPECT_EQ(dialog_->cbxPrintWhat->Text(), "Even pages");

  request->SetPageSetting(TppPageSettingType::psPageList);
  request->PageList()->Add("9");
  ui::ScriptClicks({"rdbCurrentPage=1", "cbxPrintWhat=Odd pages", "btnOK"});
  dialog_->ShowModal();
  EXPECT_EQ(request->PageSetting(), TppPageSettingType::psSinglePage);
  EXPECT_EQ(request->PageRange(), prOddPages);
  EXPECT_EQ(dialog_->edtPageRange->Text(), "");  // the current page cleared it
  EXPECT_EQ(dialog_->DeviceType, "Printer");
}

TEST_F(PrintDialogAlone, CollationPicturesDifferAndFollowTheBox) {
  TppCollationBitmap collated;
  TppNonCollationBitmap uncollated;
  EXPECT_EQ(collated.Width(), 102);
  EXPECT_EQ(collated.Height(), 53);
  EXPECT_NE(collated.Pixels(), uncollated.Pixels());
  ui::ScriptClicks({"cbxCollate=1", "btnOK"});
  dialog_->ShowModal();
  EXPECT_TRUE(printer_->GetPrinterSetup()->Collation());
  gdi::TBitmap ticked, cleared;
  dialog_->pbxCollation->PaintToBitmap(ticked);
  ui::ScriptClicks({"lblCollate", "btnCancel"});  // not a control a script reaches
  EXPECT_THROW(dialog_->ShowModal(), ui::EStuckLoop);
  dialog_->Hide();
  dialog_->lblCollate->Click();
  EXPECT_FALSE(dialog_->cbxCollate->Checked());
  EXPECT_FALSE(printer_->GetPrinterSetup()->Collation());
  dialog_->pbxCollation->PaintToBitmap(cleared);
  EXPECT_NE(ticked.Pixels(), cleared.Pixels());
}

TEST_F(PrintDialogRun, PrintsTheChosenPrinterAndRange) {
  ui::ScriptClicks({"cbxPrinters=Zolmet", "edtPageRange=2-3", "btnOK"});
  report_->Print();
  std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Printer=Zolmet\r\n")) << record;
  EXPECT_TRUE(Has(record, "Pages=2\r\n")) << record;
  EXPECT_EQ(PagesRead(1), (std::vector<int>{2, 3}));
  EXPECT_EQ(report_->PrintDialog(), nullptr);
  EXPECT_FALSE(report_->Producing());
}

TEST_F(PrintDialogRun, CollatedCopiesComeInSets) {
  ui::ScriptClicks({"edtPageRange=1,3-4", "edtCopies=2", "cbxCollate=1", "btnOK"});
  report_->Print();
  std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Pages=6\r\n")) << record;
  EXPECT_TRUE(Has(record, "Copies=1\r\n")) << record;
  EXPECT_EQ(PagesRead(1), (std::vector<int>{1, 3, 4, 1, 3, 4}));
}

TEST_F(PrintDialogRun, EachRunPrintsItsOwnCopiesOfTheCachedPages) {
  // Runs in a row over one report whose pages stay cached: the copies and
  // collation are the run's, not those the pages were made with.
  TPagedReport source(3);
  TppReport* report = source.report.get();
  report->SetDeviceType("Printer");
  report->SetShowPrintDialog(true);
  const struct {
    std::vector<std::string> script;
    std::vector<int> pages;
  } runs[] = {{{"edtCopies=3", "cbxCollate=0", "btnOK"}, {1, 1, 1, 2, 2, 2, 3, 3, 3}},
              {{"edtCopies=3", "cbxCollate=1", "btnOK"}, {1, 2, 3, 1, 2, 3, 1, 2, 3}},
              {{"edtCopies=2", "cbxCollate=0", "btnOK"}, {1, 1, 2, 2, 3, 3}},
              {{"btnOK"}, {1, 2, 3}}};
  int job = 0;
  for (const auto& run : runs) {
    ui::ScriptClicks({run.script.begin(), run.script.end()});
    report->Print();
    ++job;
    EXPECT_FALSE(ui::HasScriptedClick()) << job;
    EXPECT_EQ(PagesRead(job), run.pages) << job;
    EXPECT_EQ(report->Publisher()->GetCachedPageCount(), 3) << job;
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PrintDialogRun, HugeRangeAndBadCopiesPrintOnceEachPage) {
  ui::ScriptClicks({"edtPageRange=1-99999999", "edtCopies=abc", "btnOK"});
  report_->Print();
  const std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Pages=5\r\n")) << record;
  EXPECT_TRUE(Has(record, "Copies=1\r\n")) << record;
  EXPECT_EQ(PagesRead(1), (std::vector<int>{1, 2, 3, 4, 5}));
  EXPECT_TRUE(Messages().empty());
}

// Pages asked for beyond the report's end print nothing: no PDF, nothing
// handed to the printer's command, a record that says so, and the caller
// told which pages do not exist.
TEST_F(PrintDialogRun, PagesThatDoNotExistPrintNoJob) {
  spool::PrinterDef zolmet = spool::DemoReceiptPrinter();
  const std::string handed = tmp_.path() + "/handed";
  zolmet.command = "touch '" + handed + "'";
  ASSERT_TRUE(spool::InstallPrinter(zolmet));
  ui::ScriptClicks({"edtPageRange=7", "btnOK"});
  try {
    report_->Print();
    ADD_FAILURE() << "no error";
  } catch (const EPrintError& e) {
    EXPECT_EQ(e.Message(), "The pages asked for do not exist: nothing was printed on printer Zolmet.");
  }
  const std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Status=empty\r\nError=The job has no page: nothing was printed.\r\n")) << record;
  EXPECT_FALSE(Has(record, "Pdf=")) << record;
  EXPECT_FALSE(std::filesystem::exists(Pdf(1)));
  EXPECT_FALSE(std::filesystem::exists(handed));
  EXPECT_FALSE(report_->Producing());
}

TEST_F(PrintDialogRun, CancelledDialogPrintsNothing) {
  ui::ScriptClicks({"edtPageRange=2", "<Esc>"});
  report_->Print();
  EXPECT_EQ(Record(1), "");
  EXPECT_FALSE(report_->Producing());
  EXPECT_EQ(report_->PrintDialog(), nullptr);
}

TEST_F(PrintDialogRun, PagesToATextFileOfARegisteredDevice) {
  RegisterDevice<TPageFileDevice>();
  report_->SetAllowPrintToFile(true);
  // No file name refuses OK even with pages chosen; the save dialog then
  // gives one, and the device's extension completes it.
  ui::ScriptClicks({"cbxPrintToFile=1", "cbxPrintToFileTypes=Page numbers", "edtPageRange=2,4", "btnOK",
                    "spbPrintToFile", "SaveDialog1=C:\\Out\\pages", "btnOK"});
  report_->Print();
  EXPECT_EQ(Messages(), std::vector<std::string>{"Please specify file name before continuing."});
  EXPECT_EQ(ReadFile(sysroot::HostPath("C:\\Out\\pages.pag")), "2\n4\n");
  EXPECT_EQ(Record(1), "");  // nothing went to the printer

  // A name ending in a dot gets the extension without another dot.
  ui::ScriptClicks({"cbxPrintToFile=1", "cbxPrintToFileTypes=Page numbers", "edtPrintToFileName=C:\\Out\\all.",
                    "<Enter>"});
  report_->Print();
  EXPECT_EQ(ReadFile(sysroot::HostPath("C:\\Out\\all.pag")), "1\n2\n3\n4\n5\n");
}

TEST_F(PrintDialogRun, CurrentPagePrintsThatPageOnly) {
  report_->SetCurrentPage(4);
  ui::ScriptClicks({"rdbCurrentPage=1", "btnOK"});
  report_->Print();
  EXPECT_TRUE(Has(Record(1), "Pages=1\r\n")) << Record(1);
  EXPECT_EQ(PagesRead(1), std::vector<int>{4});
}

TEST_F(PrintDialogAlone, BackgroundPrintingIsOfferedOnlyWhenEnabled) {
  TppBackgroundPrintSettings settings;
  settings.SetEnabled(true);
  dialog_->SetBackgroundPrintSettings(&settings);
  ui::ScriptClicks({"cbxBackgroundPrinting=1", "btnCancel"});
  dialog_->ShowModal();
  auto* mine = cls::ObjectAs<TppBackgroundPrintSettings>(dialog_->BackgroundPrintSettings());
  ASSERT_NE(mine, nullptr);
  EXPECT_TRUE(mine->Active());
  EXPECT_FALSE(settings.Active());  // the caller's copy is read back, not edited
  settings.SetEnabled(false);
  dialog_->SetBackgroundPrintSettings(&settings);
  ui::ScriptClicks({"cbxBackgroundPrinting=1"});
  EXPECT_THROW(dialog_->ShowModal(), ui::EStuckLoop);  // hidden: no such control
}

namespace {

// Longer captions of another language widen what holds them.
TEST_F(PrintDialogRun, LongerCaptionsWidenTheirControls) {
  testing_support::WriteFile(sysroot::HostPath("C:\\Windows\\kzPrint.deu"),
                             "44013=Druckereigenschaften bearbeiten\n44015=Sortieren nach Exemplar\n"
                             "43011=Geben Sie Seitenzahlen oder Seitenbereiche durch Kommas getrennt ein, "
                             "zum Beispiel 1,3,5-12 oder 2-4. \xA4\xA4\xA4\xE5\xA4\xA4\xA4\xE5\xA4\xA4\xA4\xE5\n");
  ASSERT_TRUE(GetResourceManager()->SetLanguage(lgGerman));
  cls::TClass c = FindFormClass(&TppCustomPrintDialog::StaticClass());
  auto* german = cls::ObjectAs<TppPrintDialog>(ui::NewFormOfClass(c, nullptr));
  ASSERT_TRUE(GetResourceManager()->SetLanguage(lgDefault));
  auto* plain = cls::ObjectAs<TppPrintDialog>(ui::NewFormOfClass(c, nullptr));
  ASSERT_TRUE(german && plain);
  const int grow = german->btnPrinterProperties->Width() - 15 - 60;
  EXPECT_GT(grow, 0);
  EXPECT_EQ(german->gbxPrinter->Width(), plain->gbxPrinter->Width() + grow);
  EXPECT_EQ(german->cbxPrinters->Width(), plain->cbxPrinters->Width() + grow);
  EXPECT_EQ(german->ClientWidth(), plain->ClientWidth() + grow);
  // The collate box moves left, not over the picture.
  EXPECT_LT(german->cbxCollate->Left(), plain->cbxCollate->Left());
  EXPECT_GE(german->cbxCollate->Left(), german->pbxCollation->Left() + german->pbxCollation->Width());
  EXPECT_EQ(german->lblCollate->Left(), german->cbxCollate->Left() + 18);
  // The description takes more lines than the English one.
  EXPECT_GT(german->lblPageRangeDesc->Height(), plain->lblPageRangeDesc->Height());
  EXPECT_EQ(german->lblPageRangeDesc->Height() % plain->Canvas().TextHeight("Wg"), 0);
  german->Free();
  plain->Free();
}

}  // namespace
