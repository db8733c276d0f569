// The printer device on a recording copy of the demo printer: copies and
// collation, cancels, status texts, device rectangles.
#include <gtest/gtest.h>

#include "platform/ui/forms.h"
#include "report/model/ppForms.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

// Draws a one-pixel line along its top edge; its Top tells the page.
class MarkCommand : public TppDrawCommand {
  CLS_DECLARE_CLASS(MarkCommand, TppDrawCommand)
 public:
  using TppDrawCommand::TppDrawCommand;
  bool Draw(TppDevice* device) override {
    auto* printer = cls::ObjectAs<TppPrinterDevice>(device);
    if (!printer || !printer->Canvas()) return false;
    printer->CalcDeviceRect(this);
    gdi::TCanvas& c = *printer->Canvas();
    c.Pen.Width = 1;
    c.MoveTo(DrawLeft(), DrawTop());
    c.LineTo(DrawRight() - 1, DrawTop());
    return true;
  }
};
CLS_IMPLEMENT_COMPONENT(MarkCommand)

class StatusDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(StatusDialog, TppCustomCancelDialog)
 public:
  using TppCustomCancelDialog::TppCustomCancelDialog;
  void StatusChanged() override {
    Texts.push_back(StatusText());
    if (OnStatus) OnStatus(StatusText());
  }
  std::vector<std::string> Texts;
  std::function<void(const std::string&)> OnStatus;
};
CLS_IMPLEMENT_COMPONENT(StatusDialog)

// A report of Pages pages, each with a mark at Top = page number mm.
struct MarkReport {
  int Pages = 2;
  int Requests = 0;
  TppPublisher* Publisher = nullptr;
  TppPrinterSetup* Setup = nullptr;
  void PageRequest(cls::TObject*, TppPageRequest*) {
    ++Requests;
    for (int i = 1; i <= Pages; ++i) {
      cls::Owned<TppPage> page(new TppPage(nullptr));
      page->SetPrinterSetup(Setup);
      page->SetDocumentName("Receipt");
      page->SetAbsolutePageNo(i);
      page->SetAbsolutePageCount(i);
      page->SetFirstPage(i == 1);
      page->SetLastPage(i == Pages);
      page->SetFinal(true);
      auto* mark = new MarkCommand(nullptr);
      mark->SetLeft(5000);
      mark->SetTop(i * 1000);
      mark->SetWidth(70000);
      mark->SetHeight(1000);
      mark->SetPage(page.get());
      Publisher->PublishPage(page.get());
    }
  }
};

class PrinterDevice : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    spool::PrinterDef def = RecordingZolmet();
    def.unprintLeft = 20;
    Install(def, true);
    ZolmetPaper(setup_);
    setup_.SetDocumentName("Receipt");
    report_.Publisher = &publisher_;
    report_.Setup = &setup_;
    publisher_.OnPageRequest = TppPageRequestEvent(&report_, &MarkReport::PageRequest);
    device_.reset(new TppPrinterDevice(nullptr));
    device_->SetPublisher(&publisher_);
  }
  void TearDown() override {
    device_.reset();
    Printers::TearDown();
  }
  void Print() {
    device_->Printer()->SetPrinterSetup(&setup_);
    publisher_.StartJob();
    publisher_.RequestPages();
    publisher_.EndJob();
  }
  // The page number of each printed page, from its mark's row.
  static std::vector<int> PageOrder(const gdi::Job& job) {
    std::vector<int> order;
    for (const gdi::Page& p : job.pages)
      for (const gdi::Op& op : p.ops)
        if (auto* line = op.As<gdi::LineOp>()) order.push_back(line->points[0].y / 8);
    return order;
  }
  TppPrinterSetup setup_{nullptr};
  TppPublisher publisher_{nullptr};
  MarkReport report_;
  cls::Owned<TppPrinterDevice> device_;
};

}  // namespace

TEST_F(PrinterDevice, UncollatedCopiesRepeatEachPageInOneRequest) {
  setup_.SetCopies(3);
  setup_.SetCollation(false);
  Print();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(PageOrder(jobs[0]), (std::vector<int>{1, 1, 1, 2, 2, 2}));
  EXPECT_EQ(report_.Requests, 1);
  EXPECT_FALSE(device_->Busy());
  EXPECT_FALSE(device_->Printer()->Printing());
}

TEST_F(PrinterDevice, CollatedCopiesRequestThePagesAgain) {
  setup_.SetCopies(3);
  setup_.SetCollation(true);
  Print();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(PageOrder(jobs[0]), (std::vector<int>{1, 2, 1, 2, 1, 2}));
  EXPECT_EQ(jobs[0].copies, 1);
  EXPECT_EQ(report_.Requests, 3);
  EXPECT_EQ(device_->CopiesLeft(), 1);
  EXPECT_FALSE(device_->Busy());
}

TEST_F(PrinterDevice, CopiesCollationAndPrinterAreTheJobsAPageGivesOnlyItsPaper) {
  // Pages made under another setup (as cached pages are): other copies,
  // collation, printer and paper.
  Install(Office("Office"));
  ppGetPrinterList()->BuildPrinterList();
  TppPrinterSetup made(nullptr);
  ZolmetPaper(made, 57.9f);
  made.SetPrinterName("Office");
  ASSERT_EQ(made.PrinterName(), "Office");
  report_.Setup = &made;
  const std::pair<int, bool> settings[] = {{1, true}, {3, false}, {3, true}, {2, false}};
  for (auto [copies, collated] : settings)
    for (auto [madeCopies, madeCollated] : settings) {
      SCOPED_TRACE(testing::Message() << copies << collated << " made " << madeCopies << madeCollated);
      gdi::ClearRecordedJobs();
      setup_.SetCopies(copies);
      setup_.SetCollation(collated);
      made.SetCopies(madeCopies);
      made.SetCollation(madeCollated);
      Print();
      std::vector<int> expected;
      for (int set = 0; set < (collated ? copies : 1); ++set)
        for (int page = 1; page <= 2; ++page) expected.insert(expected.end(), collated ? 1 : copies, page);
      auto jobs = gdi::RecordedJobs();
      ASSERT_EQ(jobs.size(), 1u);
      EXPECT_EQ(jobs[0].printer, "Zolmet");
      EXPECT_EQ(PageOrder(jobs[0]), expected);
      for (const gdi::Page& p : jobs[0].pages) EXPECT_EQ(p.heightTenths, 579);
    }
}

TEST_F(PrinterDevice, TheDeviceRectangleTakesTheUnprintableEdgeOff) {
  report_.Pages = 1;
  Print();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  ASSERT_EQ(jobs[0].pages.size(), 1u);
  const gdi::Page& page = jobs[0].pages[0];
  EXPECT_EQ(page.width, 655);
  ASSERT_EQ(page.ops.size(), 1u);
  const auto* line = page.ops[0].As<gdi::LineOp>();
  ASSERT_NE(line, nullptr);
  // 5 mm at 203 dpi is 40 pixels, 75 mm 599; the 2 mm edge is 16.
  EXPECT_EQ(line->points[0].x, 24);
  EXPECT_EQ(line->points[1].x, 582);
  EXPECT_EQ(line->points[0].y, 8);

  // The rectangle of bounds near the 32-bit limits does not overflow.
  TppDeviceScale scale(203, 203, -16, 0);
  MarkCommand huge(nullptr);
  huge.SetLeft(2147483000);
  huge.SetWidth(2147483000);
  TppRect r = scale.DeviceRect(&huge);
  EXPECT_GE(r.Right, r.Left);
  EXPECT_GT(r.Left, 17000000);
}

TEST_F(PrinterDevice, StatusTextsShowTheJobOnTheCancelDialog) {
  report_.Pages = 1;
  cls::Owned<StatusDialog> dialog(new StatusDialog(nullptr));
  device_->SetCancelDialog(dialog.get());
  Print();
  EXPECT_EQ(dialog->Texts,
            (std::vector<std::string>{"Accessing data...", "Printing page 1 for report Receipt on the Zolmet"}));
  // Once the last page has been seen the count is known.
  report_.Pages = 2;
  dialog->Texts.clear();
  Print();
  EXPECT_EQ(dialog->Texts, (std::vector<std::string>{"Accessing data...",
                                                     "Printing page 1 of 1 for report Receipt on the Zolmet",
                                                     "Printing page 2 of 2 for report Receipt on the Zolmet"}));
  dialog.reset();
  EXPECT_EQ(device_->CancelDialog(), nullptr);
}

TEST_F(PrinterDevice, ACancelDuringAStatusUpdateStopsBeforeThePage) {
  cls::Owned<StatusDialog> dialog(new StatusDialog(nullptr));
  dialog->OnStatus = [&](const std::string& text) {
    if (text.find("page 2") != std::string::npos) publisher_.CancelJob();
  };
  device_->SetCancelDialog(dialog.get());
  Print();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  // Its page is kept, and the job says it was cut short.
  EXPECT_EQ(jobs[0].status, "cancelled");
  EXPECT_EQ(jobs[0].pages.size(), 1u);
  EXPECT_TRUE(device_->Cancelled());
  EXPECT_FALSE(device_->Printer()->Printing());
}

TEST_F(PrinterDevice, ADeviceFreedWithItsDocumentOpenEndsIt) {
  device_->Printer()->SetPrinterSetup(&setup_);
  publisher_.StartJob();
  publisher_.RequestPages();
  // The request is complete, so the cancel does not reach the device.
  publisher_.CancelJob();
  EXPECT_TRUE(device_->Printer()->Printing());
  TppPrinter* printer = device_->Printer();
  (void)printer;
  device_.reset();
  auto jobs = gdi::RecordedJobs();
  ASSERT_EQ(jobs.size(), 1u);
  EXPECT_EQ(jobs[0].status, "done");
  EXPECT_EQ(jobs[0].pages.size(), 2u);
}

TEST_F(PrinterDevice, AFailedStartLeavesTheDeviceIdle) {
  setup_.SetPrinterName("Screen");
  device_->Printer()->SetPrinterSetup(&setup_);
  EXPECT_THROW(publisher_.StartJob(), EPrintError);
  EXPECT_FALSE(device_->Busy());
  EXPECT_EQ(device_->Canvas(), nullptr);
  EXPECT_EQ(GetDeviceClassForName("printer"), &TppPrinterDevice::StaticClass());
}
