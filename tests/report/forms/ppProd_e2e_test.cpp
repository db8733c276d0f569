// Print runs through the library's own cancel dialog onto the demo printer
// of a fresh system root: the job record, the PDF read back with poppler,
// the dialog's texts, cancels by the user and failures on a page.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/forms/ppCDlg.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppPrintRun.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The library's cancel dialog, keeping every status text it is given.
class TRecordingCancelDialog : public TppCancelDialog {
  CLS_DECLARE_CLASS(TRecordingCancelDialog, TppCancelDialog)
 public:
  using TppCancelDialog::TppCancelDialog;
  void StatusChanged() override {
    Texts.push_back(StatusText());
    inherited::StatusChanged();
  }
  std::vector<std::string> Texts;
};
CLS_IMPLEMENT_COMPONENT(TRecordingCancelDialog)

class PrintRun : public PrintRunTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PrintRunTest::SetUp());
    report_.reset(new TPageSource(nullptr));
    report_->PrinterSetup()->SetPrinterName("Zolmet");
    report_->PrinterSetup()->SetDocumentName("Report");
    report_->SetDeviceType("Printer");
    report_->SetShowPrintDialog(false);
    events_.reset(new TEventCounter(report_.get()));
  }
  void TearDown() override {
    events_.reset();
    report_.reset();
    RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TppCancelDialog::StaticClass());
    PrintRunTest::TearDown();
  }
  static int Shown(const std::string& kind) {
    int n = 0;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) n += d.kind == kind;
    return n;
  }
  void ExpectIdle() {
    EXPECT_EQ(report_->CancelDialog(), nullptr);
    EXPECT_EQ(report_->PrinterDevice(), nullptr);
    EXPECT_FALSE(report_->Producing());
    EXPECT_EQ(ui::FindWindow("TppCancelDialog"), 0u);
  }

  cls::Owned<TPageSource> report_;
  cls::Owned<TEventCounter> events_;
};

}  // namespace

TEST_F(PrintRun, TwoPagesThroughTheCancelDialog) {
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TRecordingCancelDialog::StaticClass());
  TppPrinterSetup before(nullptr);
  before.Assign(report_->PrinterSetup());
  TRecordingCancelDialog* dialog = nullptr;
  bool cancelEnabled = false, modal = false;
  int left = 0, top = 0;
  report_->AfterPage = [&](int) {
    dialog = cls::ObjectAs<TRecordingCancelDialog>(report_->CancelDialog());
    if (!dialog) return;
    cancelEnabled = dialog->btnCancel->Enabled;
    modal = dialog->Modal();
    left = dialog->Left();
    top = dialog->Top();
  };
  int starts = 0;
  bool visible = false;
  struct Hook {
    TppProducer* report;
    int* starts;
    bool* visible;
    void BeforePrint(cls::TObject*) {
      ++*starts;
      *visible = report->CancelDialog() && report->CancelDialog()->Visible();
    }
  } hook{report_.get(), &starts, &visible};
  report_->BeforePrint = cls::TNotifyEvent(&hook, &Hook::BeforePrint);

  report_->Print();

  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Texts, (std::vector<std::string>{"Accessing data...",
                                                      "Printing page 1 for report Report on the Zolmet",
                                                      "Printing page 2 for report Report on the Zolmet"}));
  EXPECT_TRUE(cancelEnabled);
  EXPECT_TRUE(modal);
  EXPECT_EQ(left, 377);
  EXPECT_EQ(top, 318);
  EXPECT_EQ(starts, 1);
  EXPECT_TRUE(visible);
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, "Printing");
  EXPECT_EQ(shown[0].answer, ui::mrOk);

  std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Printer=Zolmet\r\n")) << record;
  EXPECT_TRUE(Has(record, "Pages=2\r\n")) << record;
  EXPECT_TRUE(Has(record, "Status=done\r\n")) << record;
  std::string text = Shell("pdftotext -enc UTF-8 '" + Pdf(1) + "' -");
  EXPECT_TRUE(Has(text, "Page 1")) << text;
  EXPECT_TRUE(Has(text, "Page 2")) << text;
  for (int id : {ciProducerCancelDialogCreate, ciProducerCancelDialogClose, ciProducerPrintJobEnd})
    EXPECT_EQ((*events_)[id], 1) << id;
  ExpectIdle();
  EXPECT_TRUE(report_->PrinterSetup()->IsEqual(&before));
}

TEST_F(PrintRun, TheUsersCancelStopsAfterThePageItCameWith) {
  int cancels = 0;
  struct Hook {
    int* n;
    void Cancel(cls::TObject*) { ++*n; }
  } hook{&cancels};
  report_->OnCancel = cls::TNotifyEvent(&hook, &Hook::Cancel);
  // At 0 the click waits before the first page: the job is given up.
  for (int at : {0, 1, 2}) {
    SCOPED_TRACE(at);
    cancels = 0;
    report_->Published.clear();
    if (at == 0) ui::ScriptClicks({"btnCancel"});
    report_->AfterPage = [at](int page) {
      if (page == at) ui::ScriptClicks({"btnCancel"});
    };
    report_->Print();
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(static_cast<int>(report_->Published.size()), at);
    const int job = at + 1;
    std::string record = Record(job);
    EXPECT_TRUE(Has(record, "Pages=" + std::to_string(at) + "\r\n")) << record;
    // The pages made stay; a cancel before the last of the two is recorded
    // as cutting the job short.
    EXPECT_TRUE(Has(record, at == 0   ? "Status=aborted\r\n"
                            : at == 1 ? "Status=cancelled\r\n"
                                      : "Status=done\r\n"))
        << record;
    EXPECT_EQ(fs::exists(Pdf(job)), at > 0);
    ExpectIdle();
  }
}

TEST_F(PrintRun, AFailureOnAPageReachesTheCallerWithNothingLeftOpen) {
  report_->FailOnPage = 2;
  try {
    report_->Print();
    ADD_FAILURE() << "no exception";
  } catch (const EDataError& e) {
    EXPECT_STREQ(e.what(), "No data for page 2.");
  }
  EXPECT_EQ(Shown("MessageBox"), 0);
  EXPECT_TRUE(Has(Record(1), "Status=aborted\r\n")) << Record(1);
  EXPECT_FALSE(fs::exists(Pdf(1)));
  EXPECT_EQ((*events_)[ciProducerPrintJobEnd], 1);
  ExpectIdle();

  report_->FailOnPage = 0;
  report_->Print();
  std::string record = Record(2);
  EXPECT_TRUE(Has(record, "Pages=2\r\n")) << record;
  EXPECT_TRUE(Has(record, "Status=done\r\n")) << record;
}

TEST_F(PrintRun, TheScreenPrinterRefusesBeforeAnyJob) {
  report_->PrinterSetup()->SetPrinterName("Screen");
  try {
    report_->Print();
    ADD_FAILURE() << "no exception";
  } catch (const EPrintError& e) {
    EXPECT_STREQ(e.what(), "Screen printer does not support printing.");
  }
  EXPECT_EQ(Record(1), "");
  ExpectIdle();
}

TEST_F(PrintRun, WithoutTheCancelDialogBothPagesPrint) {
  report_->SetShowCancelDialog(false);
  report_->Print();
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_EQ((*events_)[ciProducerCancelDialogCreate], 0);
  std::string record = Record(1);
  EXPECT_TRUE(Has(record, "Pages=2\r\n")) << record;
  EXPECT_TRUE(Has(record, "Status=done\r\n")) << record;
  ExpectIdle();
}
