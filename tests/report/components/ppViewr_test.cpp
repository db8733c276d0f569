// The page viewer showing a three-page report: navigation and its events,
// the page bitmap at each zoom and what the viewer paints of it, scrolling
// a page taller than an image may be, the hand over a clickable bar code
// and a click that redraws the page, a printer run borrowed from the
// screen and given back however it ends, and a page that fails to be
// made.
#include <cairo.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "report/components/ppBarCod.h"
#include "report/components/ppCtrls.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppReport.h"
#include "report/output/ppViewr.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

using testing_support::TEventHook;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGrey = 0x808080;

std::uint32_t PixelOf(const std::vector<std::uint32_t>& pixels, int width, int x, int y) {
  return pixels[static_cast<size_t>(y) * width + x] & 0xFFFFFF;
}

// A print dialog answered by its buttons.
class TTestPrintDialog : public TppCustomPrintDialog {
  CLS_DECLARE_CLASS(TTestPrintDialog, TppCustomPrintDialog)
 public:
  explicit TTestPrintDialog(cls::TComponent* owner) : TppCustomPrintDialog(owner) {
    for (auto [name, result] : {std::pair{"btnOK", ui::mrOk}, std::pair{"btnCancel", ui::mrCancel}}) {
      auto* button = new ui::TButton(this);
      button->SetName(name);
      button->SetParent(this);
      button->ModalResult = result;
    }
  }
  cls::TObject* PageRequest() override { return &request_; }

 private:
  TppPageRequest request_;
};
CLS_IMPLEMENT_COMPONENT(TTestPrintDialog)

// A cancel dialog whose Cancel button cancels the run.
class TTestCancelDialog : public TppCustomCancelDialog {
  CLS_DECLARE_CLASS(TTestCancelDialog, TppCustomCancelDialog)
 public:
  explicit TTestCancelDialog(cls::TComponent* owner) : TppCustomCancelDialog(owner) {
    auto* cancel = new ui::TButton(this);
    cancel->SetName("btnCancel");
    cancel->SetParent(this);
    cancel->OnClick = [this](cls::TObject*) {
      RequestCancel();
      Close();
    };
  }
};
CLS_IMPLEMENT_COMPONENT(TTestCancelDialog)

// A preview form that would show the report; it must not appear when the
// viewer prints.
class TTestPreviewer : public TppCustomPreviewer {
  CLS_DECLARE_CLASS(TTestPreviewer, TppCustomPreviewer)
 public:
  explicit TTestPreviewer(cls::TComponent* owner) : TppCustomPreviewer(owner) {
    OnClose = [](cls::TObject*, ui::TCloseAction& action) { action = ui::TCloseAction::caFree; };
  }
};
CLS_IMPLEMENT_COMPONENT(TTestPreviewer)

class Viewer : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    ASSERT_EQ(cls::Screen().PixelsPerInch, 96);
    pipeline.reset(new TppListPipeline(nullptr));
    pipeline->AddField("No", dtInteger);
    for (int i = 1; i <= 3; ++i) pipeline->AddRecord({{"No", TppListPipeline::TValue(int64_t{i})}});
    report.reset(new TppReport(nullptr));
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Screen");
    testing_support::SetPage(report.get(), 210000, 297000, 0);
    report->SetDataPipeline(pipeline.get());
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report.get());
    detail->SetHeight(290);
    line = new TppLine(nullptr);
    owned.emplace_back(line);
    line->SetBand(detail);
    line->SetBounds(20000, 50000, 100000, 5000);
    line->SetPosition(lpTop);
    line->SetWeight(3);
    bar = new TppBarCode(nullptr);
    owned.emplace_back(bar);
    bar->SetBand(detail);
    bar->SetBarCodeType(bcEAN_13);
    bar->SetData("200000100001");
    bar->SetBarWidth(0.4f);
    bar->SetAutoSize(false);
    bar->SetPrintHumanReadable(false);
    bar->SetColor(gdi::clWhite);
    bar->SetBounds(20000, 100000, bar->mmWidth(), 20000);
    bar->OnDrawCommandClick = TppDrawCommandEvent(this, &Viewer::BarClicked);
    viewer.reset(new TppViewer(nullptr));
    viewer->SetBounds(0, 0, 600, 400);
    viewer->OnPageChange = cls::TNotifyEvent(this, &Viewer::PageChanged);
    viewer->SetReport(report.get());
    hook.reset(new TEventHook(viewer->Communicator(), {ciViewerPageChange, ciViewerReset},
                              [this](TppCommunicator*, int id, TraParamList*) { ++events[id]; }));
  }
  void TearDown() override {
    hook.reset();
    viewer.reset();
    owned.clear();
    report.reset();
    pipeline.reset();
    Printers::TearDown();
  }
  void PageChanged(cls::TObject*) {
    ++pageChanges;
    if (whilePageChanges) whilePageChanges();
  }
  void BarClicked(cls::TObject*, cls::TObject* command) {
    ++clicks;
    if (redraw) static_cast<TppDrawCommand*>(command)->SetRedrawPage(true);
    if (navigate) viewer->NextPage();
  }
  // The page changes and notices a step brings.
  std::pair<int, int> Count(const std::function<void()>& step) {
    int changes = pageChanges, notices = events[ciViewerPageChange];
    step();
    return {pageChanges - changes, events[ciViewerPageChange] - notices};
  }
  std::vector<std::uint32_t> Bitmap() const { return viewer->ScreenDevice()->PageBitmap()->Pixels(); }
  int BitmapWidth() const { return viewer->ScreenDevice()->PageBitmap()->Width(); }

  cls::Owned<TppListPipeline> pipeline;
  cls::Owned<TppReport> report;
  TppLine* line = nullptr;
  TppBarCode* bar = nullptr;
  std::vector<cls::Owned<TppComponent>> owned;
  cls::Owned<TppViewer> viewer;
  cls::Owned<TEventHook> hook;
  std::map<int, int> events;
  int pageChanges = 0;
  int clicks = 0;
  bool redraw = false;
  bool navigate = false;
  std::function<void()> whilePageChanges;
};

TEST_F(Viewer, NavigationShowsEachPageOnceAndIgnoresWhatCannotMove) {
  auto one = std::make_pair(1, 1), none = std::make_pair(0, 0);
  EXPECT_EQ(Count([&] { report->PrintToDevices(); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  EXPECT_EQ(viewer->GetStatus(), "Page 1");
  EXPECT_EQ(Count([&] { viewer->LastPage(); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);
  EXPECT_EQ(viewer->GetStatus(), "Page 3 of 3");
  EXPECT_EQ(Count([&] { viewer->PriorPage(); }), one);
  EXPECT_EQ(viewer->GetStatus(), "Page 2 of 3");
  EXPECT_EQ(Count([&] { viewer->FirstPage(); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  EXPECT_EQ(Count([&] { viewer->NextPage(); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  EXPECT_EQ(Count([&] { viewer->GotoPage(3); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);
  // Past the ends, to the page shown: nothing.
  EXPECT_EQ(Count([&] { viewer->NextPage(); }), none);
  EXPECT_EQ(Count([&] { viewer->GotoPage(3); }), none);
  EXPECT_EQ(Count([&] { viewer->LastPage(); }), none);
  viewer->FirstPage();
  EXPECT_EQ(Count([&] { viewer->PriorPage(); }), none);
  EXPECT_EQ(Count([&] { viewer->GotoPage(-5); }), none);  // page 1
  // While a page is being made, moves are ignored.
  whilePageChanges = [&] {
    EXPECT_TRUE(viewer->GetBusy());
    viewer->NextPage();
  };
  EXPECT_EQ(Count([&] { viewer->GotoPage(2); }), one);
  whilePageChanges = nullptr;
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  // An auto search that answers yes makes the pages again from the first.
  EXPECT_EQ(Count([&] { viewer->RunAutoSearch(); }), one);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  EXPECT_EQ(events[ciViewerReset], 1);
  // Freeing the report resets the viewer.
  report.reset();
  EXPECT_EQ(events[ciViewerReset], 2);
  EXPECT_EQ(viewer->Report(), nullptr);
  EXPECT_EQ(Count([&] { viewer->LastPage(); }), none);
}

TEST_F(Viewer, PageAtFullSizeAndScrolled) {
  viewer->SetZoomSetting(zs100Percent);
  report->PrintToDevices();
  viewer->NextPage();
  TppScreenDevice* device = viewer->ScreenDevice();
  ASSERT_EQ(viewer->GetAbsolutePageNo(), 2);
  EXPECT_EQ(BitmapWidth(), 842);
  EXPECT_EQ(device->PageBitmap()->Height(), 1171);
  EXPECT_EQ(device->PageOffsetX(), 24);
  EXPECT_EQ(device->PageOffsetY(), 24);
  EXPECT_EQ(viewer->GetCalculatedZoom(), 100);
  std::vector<std::uint32_t> px = Bitmap();
  EXPECT_EQ(PixelOf(px, 842, 10, 10), kGrey);
  EXPECT_EQ(PixelOf(px, 842, 300, 213), kBlack);
  EXPECT_EQ(PixelOf(px, 842, 300, 216), kBlack);
  EXPECT_EQ(PixelOf(px, 842, 300, 212), kWhite);
  EXPECT_EQ(PixelOf(px, 842, 300, 217), kWhite);
  // The bar code's rectangle and its first bars.
  TppDrawCommand* command = nullptr;
  ASSERT_TRUE(device->FindCommandAt(200, 440, command));
  TppRect r = command->GetDrawRect();
  EXPECT_EQ(r.Left, 100);
  EXPECT_EQ(r.Top, 402);
  EXPECT_EQ(r.Right, 318);
  EXPECT_EQ(r.Bottom, 478);
  EXPECT_EQ(PixelOf(px, 842, 114, 440), kBlack);
  EXPECT_EQ(PixelOf(px, 842, 115, 440), kBlack);
  EXPECT_EQ(PixelOf(px, 842, 116, 440), kWhite);
  // The bitmap's PNG.
  std::filesystem::create_directories(sysroot::HostPath("C:\\Zolmet"));
  device->PageBitmap()->SaveToPngFile("C:\\Zolmet\\page2.png");
  cairo_surface_t* png = cairo_image_surface_create_from_png(sysroot::HostPath("C:\\Zolmet\\page2.png").c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png), 842);
  EXPECT_EQ(cairo_image_surface_get_height(png), 1171);
  cairo_surface_destroy(png);
  // Scrolling by the box's size, within the ranges.
  viewer->Scroll(1);
  EXPECT_EQ(viewer->ScrollBox()->VertScrollBar().Position(), 400);
  viewer->Scroll(1);
  EXPECT_EQ(viewer->ScrollBox()->VertScrollBar().Position(), 771);
  viewer->Scroll(3);
  EXPECT_EQ(viewer->ScrollBox()->HorzScrollBar().Position(), 242);
  viewer->Scroll(7);
  EXPECT_EQ(viewer->ScrollBox()->HorzScrollBar().Position(), 242);
}

TEST_F(Viewer, WholePageAndPageWidth) {
  report->PrintToDevices();
  viewer->NextPage();
  TppScreenDevice* device = viewer->ScreenDevice();
  EXPECT_EQ(BitmapWidth(), 600);
  EXPECT_EQ(device->PageBitmap()->Height(), 400);
  EXPECT_EQ(device->PageWidth(), 266);
  EXPECT_EQ(device->PageHeight(), 376);
  EXPECT_EQ(device->PageOffsetX(), 167);
  EXPECT_EQ(device->PageOffsetY(), 12);
  EXPECT_EQ(viewer->GetCalculatedZoom(), 33);
  std::vector<std::uint32_t> px = Bitmap();
  EXPECT_EQ(PixelOf(px, 600, 166, 200), kGrey);
  EXPECT_EQ(PixelOf(px, 600, 167, 200), kWhite);
  for (int x : {192, 250, 318}) EXPECT_EQ(PixelOf(px, 600, x, 75), kBlack) << x;
  EXPECT_EQ(PixelOf(px, 600, 191, 75), kWhite);
  EXPECT_EQ(PixelOf(px, 600, 319, 75), kWhite);
  EXPECT_EQ(PixelOf(px, 600, 250, 74), kWhite);
  EXPECT_EQ(PixelOf(px, 600, 250, 76), kWhite);
  // What the viewer paints is the bitmap.
  gdi::TBitmap shown;
  viewer->PaintToBitmap(shown);
  EXPECT_EQ(shown.Pixels(), px);
  viewer->SetZoomSetting(zsPageWidth);
  EXPECT_EQ(BitmapWidth(), 586);
  EXPECT_EQ(device->PageBitmap()->Height(), 819);
  EXPECT_EQ(device->PageWidth(), 562);
  EXPECT_EQ(device->PageHeight(), 795);
  EXPECT_EQ(viewer->GetCalculatedZoom(), 71);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
}

TEST_F(Viewer, ALongPageScrollsWholeWith32BitPositions) {
  testing_support::SetPage(report.get(), 20000, 9000000, 0);
  viewer->SetBounds(0, 0, 300, 200);
  viewer->SetZoomSetting(zs100Percent);
  viewer->ResetDisplay();
  report->PrintToDevices();
  TppScreenDevice* device = viewer->ScreenDevice();
  ASSERT_NE(device->PageBitmap(), nullptr);
  EXPECT_EQ(BitmapWidth(), 300);
  EXPECT_EQ(device->PageBitmap()->Height(), 34064);
  struct Reported {
    int32_t position = -1;
    void Vertical(cls::TObject*, int32_t pos, TppVerticalScrollEventType) { position = pos; }
  } reported;
  TppScrollBox* box = viewer->ScrollBox();
  box->OnVerticalScroll = TppVerticalScrollEvent(&reported, &Reported::Vertical);
  ui::SendScroll(box, ui::TScrollBarKind::sbVertical, ui::SB_THUMBTRACK, 33000);
  EXPECT_EQ(reported.position, 33000);
  ui::SendScroll(box, ui::TScrollBarKind::sbVertical, ui::SB_BOTTOM);
  EXPECT_EQ(reported.position, 33864);
  gdi::TBitmap shown;
  viewer->PaintToBitmap(shown);
  std::vector<std::uint32_t> px = shown.Pixels();
  EXPECT_EQ(PixelOf(px, 300, 150, 175), kWhite);
  EXPECT_EQ(PixelOf(px, 300, 150, 176), kGrey);
}

TEST_F(Viewer, TheHandOverClickableCommandsAndClicksThatRedraw) {
  viewer->SetZoomSetting(zs100Percent);
  report->PrintToDevices();
  ui::TPaintBox* box = viewer->PaintBox();
  viewer->SetCursor(ui::crCross);
  ui::SendMouseMove(box, 200, 440);
  EXPECT_EQ(box->Cursor(), ui::crHandPoint);
  ui::SendMouseMove(box, 318, 478);
  EXPECT_EQ(box->Cursor(), ui::crHandPoint);
  ui::SendMouseMove(box, 50, 50);
  EXPECT_EQ(box->Cursor(), ui::crCross);
  EXPECT_EQ(Count([&] { ui::SendClick(box, 200, 440); }), std::make_pair(0, 0));
  EXPECT_EQ(clicks, 1);
  redraw = true;
  EXPECT_EQ(Count([&] { ui::SendClick(box, 200, 440); }), std::make_pair(1, 1));
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  // A click beside it clicks nothing.
  ui::SendClick(box, 50, 50);
  EXPECT_EQ(clicks, 2);
  // A handler that moves on frees the page its command was on: the viewer
  // leaves the command alone.
  navigate = true;
  EXPECT_EQ(Count([&] { ui::SendClick(box, 200, 440); }), std::make_pair(1, 1));
  EXPECT_EQ(clicks, 3);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  // A page number below 1 is page 1.
  navigate = false;
  viewer->GotoPage(-5);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
}

TEST_F(Viewer, PrintBorrowsTheReportUntilThePrintJobEnds) {
  UseRecordingZolmet();
  report->SetShowPrintDialog(false);
  report->SetShowCancelDialog(false);
  report->SetShowAutoSearchDialog(true);
  report->PrintToDevices();
  viewer->NextPage();
  // What the printer run sees.
  struct During {
    TppReport* report;
    TppViewer* viewer;
    std::string deviceType;
    bool showAutoSearch = true;
    TppPublisher* attached = nullptr;
    void BeforePrint(cls::TObject*) {
      deviceType = report->DeviceType();
      showAutoSearch = report->ShowAutoSearchDialog();
      attached = viewer->ScreenDevice()->Publisher();
    }
  } during{report.get(), viewer.get(), "", true, nullptr};
  report->BeforePrint = cls::TNotifyEvent(&during, &During::BeforePrint);
  int jobEnds = 0;
  TEventHook ends(report.get(), {ciProducerPrintJobEnd}, [&](TppCommunicator*, int, TraParamList*) { ++jobEnds; });
  report->PrinterSetup()->SetPrinterName("Zolmet");
  viewer->Print();
  EXPECT_EQ(during.deviceType, "Printer");
  EXPECT_FALSE(during.showAutoSearch);
  EXPECT_EQ(during.attached, nullptr);
  EXPECT_EQ(jobEnds, 1);
  EXPECT_EQ(report->CurrentPage(), 2);
  ASSERT_EQ(gdi::RecordedJobs().size(), 1u);
  EXPECT_EQ(report->DeviceType(), "Screen");
  EXPECT_TRUE(report->ShowAutoSearchDialog());
  EXPECT_EQ(viewer->ScreenDevice()->Publisher(), report->Publisher());
  // Without a printer device class the run ends at once, without event 89.
  UnregisterDevice(&TppPrinterDevice::StaticClass());
  viewer->Print();
  RegisterDevice<TppPrinterDevice>();
  EXPECT_EQ(jobEnds, 1);
  EXPECT_EQ(report->DeviceType(), "Screen");
  EXPECT_TRUE(report->ShowAutoSearchDialog());
  EXPECT_EQ(viewer->ScreenDevice()->Publisher(), report->Publisher());
  // A run that raises gives the report back, then the failure passes on.
  report->PrinterSetup()->SetPrinterName("Screen");
  EXPECT_THROW(viewer->Print(), cls::Exception);
  EXPECT_EQ(report->DeviceType(), "Screen");
  EXPECT_TRUE(report->ShowAutoSearchDialog());
  EXPECT_EQ(viewer->ScreenDevice()->Publisher(), report->Publisher());
}

// Dialogs recorded, not echoed; the classes registered for a case are
// taken back after it.
class ViewerPrint : public Viewer {
 protected:
  void SetUp() override {
    Viewer::SetUp();
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedClicks();
    ASSERT_NO_FATAL_FAILURE(UseRecordingZolmet());
    report->PrinterSetup()->SetPrinterName("Zolmet");
    report->SetShowCancelDialog(false);
    report->SetShowPrintDialog(false);
    hook95.reset(new TEventHook(viewer->Communicator(), {ciViewerPrintStateChange},
                                [this](TppCommunicator*, int, TraParamList*) { ++stateChanges; }));
    report->PrintToDevices();
  }
  void TearDown() override {
    hook95.reset();
    UnregisterFormClass(&TppCustomPrintDialog::StaticClass());
    UnregisterFormClass(&TppCustomPreviewer::StaticClass());
    UnregisterFormClass(&TppCustomCancelDialog::StaticClass());
    ui::Application().Shutdown();
    ui::ClearScriptedClicks();
    ui::SetEchoDialogs(true);
    Viewer::TearDown();
  }
  static int Shown(const std::string& kind) {
    int n = 0;
    for (const ui::TRecordedDialog& d : ui::RecordedDialogs()) n += d.kind == kind;
    return n;
  }
  // The viewer is the screen's again and moves from page to page.
  void ExpectBackOnScreen() {
    EXPECT_EQ(report->DeviceType(), "Screen");
    EXPECT_EQ(viewer->ScreenDevice()->Publisher(), report->Publisher());
    EXPECT_FALSE(viewer->GetBusy());
    EXPECT_FALSE(report->Producing());
    int32_t at = viewer->GetAbsolutePageNo();
    if (at < 3) {
      viewer->NextPage();
      EXPECT_EQ(viewer->GetAbsolutePageNo(), at + 1);
    } else {
      viewer->PriorPage();
      EXPECT_EQ(viewer->GetAbsolutePageNo(), at - 1);
    }
  }
  // What a user's click on a button runs: a failure shows its box.
  void Click(const std::function<void()>& step) {
    try {
      step();
    } catch (...) {
      ui::Application().HandleException(viewer.get());
    }
  }

  cls::Owned<TEventHook> hook95;
  int stateChanges = 0;
};

TEST_F(ViewerPrint, AFailureMakingAPageShowsOneBoxAndLeavesTheOtherPagesReachable) {
  viewer->NextPage();
  ASSERT_EQ(viewer->GetAbsolutePageNo(), 2);
  bool fail = true;
  TppBand* detail = line->Band();
  struct Raise {
    TppReport* report;
    bool* fail;
    void BeforePrint(cls::TObject*) {
      if (*fail && report->AbsolutePageNo() == 3) throw cls::Exception("No record for page 3.");
    }
  } raise{report.get(), &fail};
  detail->BeforePrint = cls::TNotifyEvent(&raise, &Raise::BeforePrint);
  int before = stateChanges;
  Click([&] { viewer->GotoPage(3); });
  ASSERT_EQ(Shown("MessageBox"), 1);
  EXPECT_EQ(ui::RecordedDialogs()[0].text, "No record for page 3.");
  // Idle, showing what it showed, and the preview told to look again.
  EXPECT_FALSE(viewer->ScreenDevice()->Busy());
  EXPECT_FALSE(viewer->GetBusy());
  EXPECT_FALSE(viewer->ScreenDevice()->Cancelled());
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  EXPECT_EQ(viewer->GetStatus(), "Page 2");
  EXPECT_GT(stateChanges, before);
  viewer->PriorPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  viewer->NextPage();
  viewer->FirstPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  // The last page fails the same way, once per request.
  Click([&] { viewer->LastPage(); });
  EXPECT_EQ(Shown("MessageBox"), 2);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 1);
  // Mended, page 3 comes.
  fail = false;
  viewer->GotoPage(3);
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);
  EXPECT_EQ(Shown("MessageBox"), 2);
}

TEST_F(ViewerPrint, ARunThatNeverStartsGivesTheViewerBackAtOnce) {
  RegisterFormClass(&TppCustomPreviewer::StaticClass(), &TTestPreviewer::StaticClass());
  const size_t forms = ui::Application().Forms().size();
  int jobEnds = 0;
  TEventHook ends(report.get(), {ciProducerPrintJobEnd}, [&](TppCommunicator*, int, TraParamList*) { ++jobEnds; });
  // No printer device: no run, and no preview in its place.
  UnregisterDevice(&TppPrinterDevice::StaticClass());
  viewer->Print();
  RegisterDevice<TppPrinterDevice>();
  EXPECT_EQ(ui::Application().Forms().size(), forms);
  EXPECT_TRUE(ui::RecordedDialogs().empty());
  EXPECT_EQ(report->PreviewForm(), nullptr);
  EXPECT_EQ(jobEnds, 0);
  ExpectBackOnScreen();

  // The print dialog cancelled: the run ends before a page is made.
  RegisterFormClass(&TppCustomPrintDialog::StaticClass(), &TTestPrintDialog::StaticClass());
  report->SetShowPrintDialog(true);
  ui::ScriptClicks({"btnCancel"});
  viewer->Print();
  EXPECT_EQ(Shown("TTestPrintDialog"), 1);
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  EXPECT_TRUE(gdi::RecordedJobs().empty());
  EXPECT_EQ(jobEnds, 1);
  ExpectBackOnScreen();

  // Printed through the dialog's OK: the page asked for again is not.
  ui::ScriptClicks({"btnOK"});
  viewer->Print();
  ASSERT_EQ(gdi::RecordedJobs().size(), 1u);
  EXPECT_EQ(gdi::RecordedJobs()[0].pages.size(), 3u);
  EXPECT_EQ(jobEnds, 2);
  ExpectBackOnScreen();
}

TEST_F(ViewerPrint, ACancelledRunOrOneFromInsideARunLeavesTheViewerUsable) {
  int jobEnds = 0;
  TEventHook ends(report.get(), {ciProducerPrintJobEnd}, [&](TppCommunicator*, int, TraParamList*) { ++jobEnds; });
  // Cancelled from its dialog on the second page; a print asked for while
  // the dialog is open is ignored.
  RegisterFormClass(&TppCustomCancelDialog::StaticClass(), &TTestCancelDialog::StaticClass());
  report->SetShowCancelDialog(true);
  struct During {
    TppReport* report;
    TppViewer* viewer;
    bool dialogOpen = false;
    void BeforePrint(cls::TObject*) {
      if (report->DeviceType() != "Printer" || report->AbsolutePageNo() != 2) return;
      dialogOpen = report->CancelDialog() && report->CancelDialog()->Visible();
      viewer->Print();
      ui::ScriptClicks({"btnCancel"});
    }
  } during{report.get(), viewer.get()};
  line->Band()->BeforePrint = cls::TNotifyEvent(&during, &During::BeforePrint);
  viewer->Print();
  EXPECT_TRUE(during.dialogOpen);
  ASSERT_EQ(gdi::RecordedJobs().size(), 1u);
  EXPECT_LT(gdi::RecordedJobs()[0].pages.size(), 3u);
  EXPECT_EQ(jobEnds, 1);
  EXPECT_EQ(Shown("TTestCancelDialog"), 1);
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  ui::ClearRecordedDialogs();
  report->SetShowCancelDialog(false);
  ExpectBackOnScreen();
  viewer->LastPage();
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 3);

  // A run that raises: one box from the click, the viewer back.
  line->Band()->BeforePrint.Clear();
  report->PrinterSetup()->SetPrinterName("Screen");
  Click([&] { viewer->Print(); });
  EXPECT_EQ(Shown("MessageBox"), 1);
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  EXPECT_EQ(jobEnds, 2);
  ExpectBackOnScreen();
}

TEST_F(ViewerPrint, ASetupTheRunKeepsHasThePageMadeAgainAfterTheRun) {
  report->SetSavePrinterSetup(true);
  // The driver keeps tenths of a millimetre: the run leaves a shorter page.
  report->PrinterSetup()->SetPaperHeight(296.64f);
  viewer->ResetDisplay();
  viewer->GotoPage(2);
  // Made once, for the screen.
  std::vector<std::string> deviceTypes;
  whilePageChanges = [&] { deviceTypes.push_back(report->DeviceType()); };
  int changes = pageChanges;
  viewer->Print();
  ASSERT_EQ(gdi::RecordedJobs().size(), 1u);
  EXPECT_FLOAT_EQ(report->PrinterSetup()->PaperHeight(), 296.6f);
  EXPECT_EQ(viewer->GetCurrentPage()->PageDef()->mmHeight(), 296600);
  EXPECT_EQ(pageChanges - changes, 1);
  EXPECT_EQ(deviceTypes, std::vector<std::string>{"Screen"});
  EXPECT_EQ(viewer->GetAbsolutePageNo(), 2);
  whilePageChanges = nullptr;
  ExpectBackOnScreen();
}

}  // namespace
