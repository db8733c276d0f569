// The print preview opened by a report's Print and worked by script: paging,
// zooming, the search pane, printing from the preview through the print
// dialog, closing while idle or busy, and the boxes' bad input. Checks run
// at points of the script through probe buttons added to the form.
#include <cairo.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "report/engine/ppReport.h"
#include "report/forms/ppOutlineViewer.h"
#include "report/forms/ppPreview.h"
#include "report/forms/ppTextSearchPreview.h"
#include "report/output/ppPrnDev.h"
#include "report/output/ppPrintr.h"
#include "report/output/ppViewr.h"
#include "tests/report/forms/picture_checks.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppPagedReport.h"
#include "tests/support/ppPrintRun.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// A zero-sized button that shows itself only while the preview is idle: a
// script entry naming it waits for the work under way instead of running
// from inside it.
class TProbe : public ui::TButton {
 public:
  TProbe(TppPrintPreview* form) : ui::TButton(form), form_(form) {}
  bool Visible() const override {
    auto* p = form_->PreviewPlugIn();
    TppCustomSearchPreview* s = p ? p->SearchPreview() : nullptr;
    return p && !p->WorkUnderWay() && !(s && (s->Busy() || s->Searching())) && ui::TButton::Visible();
  }

 private:
  TppPrintPreview* form_;
};

class PreviewRun : public PrintRunTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(PrintRunTest::SetUp());
    ASSERT_NO_FATAL_FAILURE(InstallOffice());
  }
  void TearDown() override {
    hook_.reset();
    PrintRunTest::TearDown();
  }

  // Probe buttons NAME (zero-sized) on each preview form REPORT opens; the
  // script's entry NAME runs the check with the form and its plug-in.
  // "idle" only waits for the work under way.
  using Check = std::function<void(TppPrintPreview*, TppPreview*)>;
  void Probes(TppProducer* report, std::map<std::string, Check> probes = {}) {
    probes_ = std::move(probes);
    probes_.emplace("idle", [](TppPrintPreview*, TppPreview*) {});
    hook_.reset(new TEventHook(report, {ciProducerPreviewFormCreate}, [this, report](TppCommunicator*, int, TraParamList*) {
      auto* form = cls::ObjectAs<TppPrintPreview>(report->PreviewForm());
      ASSERT_NE(form, nullptr);
      for (auto& [name, check] : probes_) {
        auto* b = new TProbe(form);
        b->SetName(name);
        b->SetParent(form);
        b->SetBounds(0, 0, 0, 0);
        Check* c = &check;
        b->OnClick = [form, c](cls::TObject*) {
          (*c)(form, static_cast<TppPreview*>(form->PreviewPlugIn()));
        };
      }
    }));
  }

  static std::string Status(TppPrintPreview* form, int panel = 0) {
    return form->StatusBar()->Panels.Count() > panel ? form->StatusBar()->Panels[panel].Text : std::string();
  }

  std::map<std::string, Check> probes_;
  cls::Owned<TEventHook> hook_;
};

// The paint box's top-left in the form's pixels.
win::PT FormOffset(ui::TControl* c) {
  win::PT at{0, 0};
  for (; c && !dynamic_cast<ui::TCustomForm*>(c); c = c->Parent()) {
    at.x += c->Left();
    at.y += c->Top();
    if (ui::TWinControl* p = c->Parent()) {
      at.x += p->ClientOffset().x - p->ScrollOffset().x;
      at.y += p->ClientOffset().y - p->ScrollOffset().y;
    }
  }
  return at;
}

// The viewer area of the form's PNG, decoded, holds the page bitmap.
void ExpectViewerShowsPageBitmap(TppPrintPreview* form, TppViewer* viewer) {
  fs::create_directories(sysroot::HostPath("C:\\Zolmet"));
  form->SaveToPng("C:\\Zolmet\\preview.png");
  cairo_surface_t* png = cairo_image_surface_create_from_png(sysroot::HostPath("C:\\Zolmet\\preview.png").c_str());
  ASSERT_EQ(cairo_surface_status(png), CAIRO_STATUS_SUCCESS);
  cairo_surface_flush(png);
  const int stride = cairo_image_surface_get_stride(png);
  const unsigned char* data = cairo_image_surface_get_data(png);
  EXPECT_EQ(cairo_image_surface_get_width(png), form->Width());
  EXPECT_EQ(cairo_image_surface_get_height(png), form->Height());
  gdi::TBitmap* page = viewer->ScreenDevice()->PageBitmap();
  ASSERT_NE(page, nullptr);
  const win::PT at = FormOffset(viewer->PaintBox());
  const int w = std::min(viewer->ScrollBox()->ClientWidth(), page->Width());
  const int h = std::min(viewer->ScrollBox()->ClientHeight(), page->Height());
  ASSERT_GT(w, 0);
  ASSERT_GT(h, 0);
  ASSERT_LE(at.x + w, cairo_image_surface_get_width(png));
  ASSERT_LE(at.y + h, cairo_image_surface_get_height(png));
  const std::vector<std::uint32_t> pixels = page->Pixels();
  int differ = 0;
  for (int y = 0; y < h; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + size_t(at.y + y) * stride);
    for (int x = 0; x < w; ++x)
      if ((row[at.x + x] & 0xFFFFFF) != (pixels[size_t(y) * page->Width() + x] & 0xFFFFFF)) ++differ;
  }
  cairo_surface_destroy(png);
  EXPECT_EQ(differ, 0);
}

}  // namespace

TEST_F(PreviewRun, PagesZoomSearchAndPrintFromThePreview) {
  TPagedReport source(5);
  TppReport* report = source.report.get();
  ASSERT_EQ(report->DeviceType(), "Screen");
  int checks = 0;
  Probes(report,
         {{"opened",
           [&](TppPrintPreview* form, TppPreview* p) {
             ++checks;
             EXPECT_EQ(p->edtPageNo->Text(), "1");
             EXPECT_EQ(Status(form), "Page 1");
             EXPECT_TRUE(p->btnWholePage->Down());
             EXPECT_FALSE(p->btnFirst->Enabled);
             EXPECT_TRUE(p->btnNext->Enabled);
             EXPECT_EQ(p->btnCancel->Caption, "Close");
             EXPECT_TRUE(report->Producing());
             ExpectViewerShowsPageBitmap(form, p->Viewer());
           }},
          {"atLast",
           [&](TppPrintPreview* form, TppPreview* p) {
             ++checks;
             EXPECT_EQ(Status(form), "Page 5 of 5");
             EXPECT_EQ(p->edtPageNo->Text(), "5");
             EXPECT_FALSE(p->btnNext->Enabled);
             EXPECT_FALSE(p->btnLast->Enabled);
             EXPECT_TRUE(p->btnPrior->Enabled);
           }},
          {"zoomed",
           [&](TppPrintPreview*, TppPreview* p) {
             ++checks;
             EXPECT_EQ(p->Viewer()->GetCalculatedZoom(), 150);
             EXPECT_EQ(p->Viewer()->ZoomSetting(), zsPercentage);
             EXPECT_FALSE(p->btnWholePage->Down());
             EXPECT_FALSE(p->btnPageWidth->Down());
             EXPECT_FALSE(p->btn100Percent->Down());
           }},
          {"searchShown",
           [&](TppPrintPreview*, TppPreview* p) {
             ++checks;
             EXPECT_TRUE(p->btnTextSearch->Down());
             EXPECT_EQ(p->btnTextSearch->Hint, "Hide the Find Text Toolbar");
             EXPECT_TRUE(p->pnlLeft->Visible());
             EXPECT_TRUE(p->pnlSearch->Visible());
           }},
          {"firstHit",
           [&](TppPrintPreview* form, TppPreview* p) {
             ++checks;
             EXPECT_EQ(p->Viewer()->GetAbsolutePageNo(), 2);
             EXPECT_EQ(Status(form, 1), "Found 1 of 2");
           }},
          {"secondHit",
           [&](TppPrintPreview* form, TppPreview* p) {
             ++checks;
             EXPECT_EQ(p->Viewer()->GetAbsolutePageNo(), 4);
             EXPECT_EQ(Status(form, 1), "Found 2 of 2");
           }},
          {"printed",
           [&](TppPrintPreview*, TppPreview* p) {
             ++checks;
             EXPECT_EQ(report->DeviceType(), "Screen");
             EXPECT_FALSE(p->Viewer()->GetBusy());
           }},
          {"afterNext", [&](TppPrintPreview*, TppPreview* p) {
             ++checks;
             EXPECT_EQ(p->Viewer()->GetAbsolutePageNo(), 5);
           }}});
  ui::ScriptClicks({"opened", "btnLast", "atLast", "edtZoom=150", "<Enter>", "zoomed", "btnTextSearch", "searchShown",
                    "edtFind=Dravik", "<Enter>", "firstHit", "btnNextHit", "secondHit", "btnPrint",
                    "cbxPrinters=Zolmet", "edtPageRange=2-3", "btnOK", "printed", "btnNext", "afterNext",
                    "btnCancel"});
  report->Print();
  EXPECT_EQ(checks, 8);
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(report->PreviewForm(), nullptr);
  EXPECT_FALSE(report->Producing());
  EXPECT_TRUE(Messages().empty());
  // The print from the preview: pages 2 and 3 on the receipt paper.
  const std::string record = Record(1);
  EXPECT_NE(record.find("Pages=2"), std::string::npos) << record;
  EXPECT_EQ(PagesRead(1), (std::vector<int>{2, 3}));
  EXPECT_NE(Shell("pdfinfo '" + Pdf(1) + "'").find("232.441 x 283.465 pts"), std::string::npos);
}

TEST_F(PreviewRun, CopiesChosenForAPrintFromThePreviewApplyToItsCachedPages) {
  TPagedReport source(3);
  TppReport* report = source.report.get();
  Probes(report);
  ui::ScriptClicks({"idle", "btnLast", "idle", "btnPrint", "cbxPrinters=Zolmet", "edtCopies=3", "cbxCollate=0", "btnOK",
                    "idle", "btnCancel"});
  report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(PagesRead(1), (std::vector<int>{1, 1, 1, 2, 2, 2, 3, 3, 3}));
}

TEST_F(PreviewRun, CloseAndEscWhileIdleOrGenerating) {
  // Idle: Esc closes, and so does the button reading "Close".
  for (const char* close : {"<Esc>", "btnCancel", "<close>"}) {
    TPagedReport source(5);
    ui::ScriptClicks({close});
    source.report->Print();
    EXPECT_FALSE(ui::HasScriptedClick()) << close;
    EXPECT_EQ(source.report->PreviewForm(), nullptr) << close;
    EXPECT_FALSE(source.report->Producing()) << close;
  }
  // Generating 200 pages: "Cancel" stops the run and the button then
  // reads "Close"; Esc stops it and closes once it has stopped.
  {
    cls::Owned<TPageSource> source(new TPageSource(nullptr));
    source->Pages = 200;
    std::string caption;
    Probes(source.get(), {{"stopped", [&](TppPrintPreview*, TppPreview* p) { caption = p->btnCancel->Caption; }}});
    ui::ScriptClicks({"btnCancel", "stopped", "btnCancel"});
    source->Print();
    EXPECT_EQ(caption, "Close");
    EXPECT_LT(source->Published.size(), 200u);
    EXPECT_EQ(source->PreviewForm(), nullptr);
    EXPECT_FALSE(source->Producing());
  }
  {
    cls::Owned<TPageSource> source(new TPageSource(nullptr));
    source->Pages = 200;
    ui::ScriptClicks({"<Esc>"});
    source->Print();
    EXPECT_LT(source->Published.size(), 200u);
    EXPECT_EQ(source->PreviewForm(), nullptr);
    EXPECT_FALSE(source->Producing());
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PreviewRun, ClosingTheWindowCancelsTheWorkUnderWayFirst) {
  // While pages are made: the window's close, scripted or from a handler,
  // modal or not, stops the run before the form goes.
  for (bool modal : {true, false}) {
    for (bool scripted : {true, false}) {
      if (scripted && !modal) continue;  // a scripted entry waits for a modal form
      cls::Owned<TPageSource> source(new TPageSource(nullptr));
      source->Pages = 200;
      source->SetModalPreview(modal);
      if (scripted) ui::ScriptClicks({"<close>"});
      else
        source->AfterPage = [&](int page) {
          if (page == 3 && source->PreviewForm()) source->PreviewForm()->Close();
        };
      source->Print();
      ui::Application().ProcessMessages();
      EXPECT_FALSE(ui::HasScriptedClick());
      EXPECT_LT(source->Published.size(), 200u) << modal << scripted;
      if (!scripted) {
        EXPECT_EQ(source->Published.size(), 3u) << modal;
      }
      EXPECT_EQ(source->PreviewForm(), nullptr) << modal << scripted;
      EXPECT_FALSE(source->Producing()) << modal << scripted;
    }
  }
  EXPECT_TRUE(Messages().empty());
}

TEST_F(PreviewRun, TheReportsGoingClosesThePreviewAfterTheWorkStops) {
  // The producer's message while pages are made: the run is cancelled,
  // the form goes after it has unwound, modal or not.
  for (bool modal : {true, false}) {
    cls::Owned<TPageSource> source(new TPageSource(nullptr));
    source->Pages = 200;
    source->SetModalPreview(modal);
    source->AfterPage = [&](int page) {
      if (page == 3 && source->PreviewForm()) source->PreviewForm()->Perform(ppWMReportDestroyed, ppReportMessageParam, 0);
    };
    source->Print();
    ui::Application().ProcessMessages();
    EXPECT_EQ(source->Published.size(), 3u) << modal;
    EXPECT_EQ(source->PreviewForm(), nullptr) << modal;
    EXPECT_FALSE(source->Producing()) << modal;
  }
}

TEST_F(PreviewRun, AnErrorOutOfTheModalLoopEndsTheRunAndTheNextPrintWorks) {
  TPagedReport source(5);
  TppReport* report = source.report.get();
  ui::TCustomForm* opened = nullptr;
  Probes(report, {{"idle", [&](TppPrintPreview* form, TppPreview*) { opened = form; }}});
  ui::ScriptClicks({"idle", "btnNext", "noSuchControl"});
  EXPECT_THROW(report->Print(), ui::EStuckLoop);
  // The form is gone (not left hidden), whatever the loop does next.
  ui::Application().ProcessMessages();
  const auto& forms = ui::Application().Forms();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(std::find(forms.begin(), forms.end(), opened), forms.end());
  EXPECT_EQ(report->PreviewForm(), nullptr);
  EXPECT_FALSE(report->Producing());
  ui::ClearScriptedClicks();
  std::vector<int> pages;
  Probes(report, {{"page", [&](TppPrintPreview*, TppPreview* p) { pages.push_back(p->Viewer()->GetAbsolutePageNo()); }}});
  ui::ScriptClicks({"page", "btnNext", "page", "btnCancel"});
  report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(pages, (std::vector<int>{1, 2}));
  EXPECT_EQ(report->PreviewForm(), nullptr);
  EXPECT_FALSE(report->Producing());
}

TEST_F(PreviewRun, CtrlKeysPageWithinTheReport) {
  TPagedReport source(5);
  std::vector<int> pages;
  auto page = [&](TppPrintPreview*, TppPreview* p) { pages.push_back(p->Viewer()->GetAbsolutePageNo()); };
  Probes(source.report.get(), {{"page", page}});
  ui::ScriptClicks({"<Ctrl+PgUp>", "page", "<Ctrl+Home>", "page", "<Ctrl+PgDn>", "page", "<Ctrl+End>", "page",
                    "<Ctrl+PgDn>", "page", "btnFirst", "page", "btnNext", "page", "<Ctrl+PgUp>", "page", "<PgDn>", "page",
                    "btnCancel"});
  source.report->Print();
  EXPECT_EQ(pages, (std::vector<int>{1, 1, 2, 5, 5, 1, 2, 1, 1}));
  EXPECT_EQ(source.report->PreviewForm(), nullptr);
}

TEST_F(PreviewRun, PanesFollowTheReportsSettings) {
  // No outline properties (a plain producer), or outline settings turned
  // off: no outline pane. Text search off: no search pane, no toggle.
  cls::Owned<TPageSource> plain(new TPageSource(nullptr));
  TPagedReport source(5);
  source.report->OutlineSettings()->SetEnabled(false);
  source.report->TextSearchSettings()->SetEnabled(false);
  for (TppProducer* report : {static_cast<TppProducer*>(plain.get()), static_cast<TppProducer*>(source.report.get())}) {
    const bool search = report == plain.get();
    int checks = 0;
    Probes(report, {{"panes", [&](TppPrintPreview*, TppPreview* p) {
                       ++checks;
                       EXPECT_FALSE(p->GetOutlineVisible());
                       EXPECT_FALSE(p->tvOutline->Visible());
                       EXPECT_FALSE(p->pnlLeft->Visible());
                       EXPECT_EQ(p->SearchPreview() != nullptr, search);
                       EXPECT_EQ(p->btnTextSearch->Visible(), search);
                       EXPECT_FALSE(p->btnAutoSearch->Visible());
                     }}});
    ui::ScriptClicks({"panes", "btnNext", "panes", "btnCancel"});
    report->Print();
    EXPECT_EQ(checks, 2);
  }
}

// Esc or the window's close while searching 200 pages for the last: the
// search is cancelled, then the form goes.
TEST_F(PreviewRun, EscOrCloseDuringASearchClosesOnceTheSearchStops) {
  for (const char* close : {"<Esc>", "<close>"}) {
    cls::Owned<TPageSource> source(new TPageSource(nullptr));
    source->Pages = 200;
    source->Publisher()->SetCachePages(true);
    std::vector<std::string> statuses;
    cls::Owned<TEventHook> status;
    Probes(source.get(), {{"watch", [&](TppPrintPreview* form, TppPreview* p) {
                             status.reset(new TEventHook(p->SearchPreview(), {ciSearchPanelToggled},
                                                         [&statuses, form](TppCommunicator*, int, TraParamList*) {
                                                           statuses.push_back(Status(form, 1));
                                                         }));
                           }}});
    ui::ScriptClicks({"idle", "btnLast", "watch", "btnFirst", "btnTextSearch", "edtFind=Page 200", "<Enter>", close});
    source->Print();
    EXPECT_FALSE(ui::HasScriptedClick()) << close;
    EXPECT_EQ(source->PreviewForm(), nullptr) << close;
    EXPECT_FALSE(source->Producing()) << close;
    ASSERT_FALSE(statuses.empty()) << close;
    EXPECT_EQ(statuses.back(), "Text Search Cancelled") << close;
    status.reset();
    hook_.reset();
  }
}

TEST_F(PreviewRun, CurrentPageFromThePreviewPrintsThatPageOnly) {
  TPagedReport source(5);
  Probes(source.report.get());
  ui::ScriptClicks({"idle", "btnLast", "idle", "btnPrior", "idle", "btnPrint", "cbxPrinters=Zolmet", "rdbCurrentPage=1", "btnOK", "btnCancel"});
  source.report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(PagesRead(1), std::vector<int>{4});
  EXPECT_EQ(source.report->DeviceType(), "Screen");
}

TEST_F(PreviewRun, EscOrCloseWhilePrintingFromThePreviewStopsThePrintAndCloses) {
  for (const char* close : {"<Esc>", "<close>"}) {
    cls::Owned<TPageSource> source(new TPageSource(nullptr));
    source->Pages = 200;
    source->PrinterSetup()->SetPrinterName("Zolmet");
    source->SetShowCancelDialog(false);
    size_t shown = 0;
    Probes(source.get(), {{"shown", [&](TppPrintPreview*, TppPreview*) { shown = source->Published.size(); }}});
    ui::ScriptClicks({"shown", "btnPrint", "cbxPrinters=Zolmet", "btnOK", close});
    source->Print();
    EXPECT_FALSE(ui::HasScriptedClick()) << close;
    EXPECT_EQ(source->PreviewForm(), nullptr) << close;
    EXPECT_FALSE(source->Producing()) << close;
    EXPECT_FALSE(source->Printing()) << close;
    EXPECT_EQ(source->DeviceType(), "Screen") << close;
    // The printer run stopped after the page it was on.
    EXPECT_GT(shown, 0u) << close;
    EXPECT_LE(source->Published.size(), shown + 2) << close;
    hook_.reset();
  }
}

TEST_F(PreviewRun, APrintThatNeverStartsLeavesThePreviewAtOnce) {
  // No "Printer" device class, then the print dialog cancelled: each time
  // the preview is back on the screen device and pages on.
  TPagedReport source(5);
  TppReport* report = source.report.get();
  struct Restore {
    bool unregistered = false;
    ~Restore() {
      if (unregistered) RegisterDevice<TppPrinterDevice>();
    }
  } restore;
  std::vector<int> pages;
  Probes(report, {{"noPrinterClass",
                   [&](TppPrintPreview*, TppPreview*) {
                     UnregisterDevice(&TppPrinterDevice::StaticClass());
                     restore.unregistered = true;
                   }},
                  {"printerClass",
                   [&](TppPrintPreview*, TppPreview*) {
                     RegisterDevice<TppPrinterDevice>();
                     restore.unregistered = false;
                   }},
                  {"back", [&](TppPrintPreview* form, TppPreview* p) {
                     EXPECT_EQ(report->DeviceType(), "Screen");
                     EXPECT_FALSE(report->Printing());
                     EXPECT_EQ(p->btnCancel->Caption, "Close");
                     EXPECT_EQ(p->Viewer()->ScreenDevice()->Publisher(), report->Publisher());
                     EXPECT_EQ(ui::Application().ModalForms().back(), form);
                     pages.push_back(p->Viewer()->GetAbsolutePageNo());
                   }}});
  ui::ScriptClicks({"idle", "noPrinterClass", "btnPrint", "back", "btnNext", "back", "printerClass", "btnPrint",
                    "btnCancel", "back", "btnNext", "back", "btnCancel"});
  report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 2, 3}));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Record(1), "");
  EXPECT_EQ(report->PreviewForm(), nullptr);
  EXPECT_FALSE(report->Producing());
}

TEST_F(PreviewRun, ThePreviewFormSettingsApply) {
  TPagedReport source(5);
  source.report->PreviewFormSettings()->SetZoomPercentage(150);
  source.report->PreviewFormSettings()->SetWindowState(ui::wsMaximized);
  int checks = 0;
  Probes(source.report.get(), {{"zoom", [&](TppPrintPreview* form, TppPreview* p) {
                                  ++checks;
                                  EXPECT_EQ(p->Viewer()->GetCalculatedZoom(), 150);
                                  EXPECT_EQ(p->edtZoom->Text(), "150");
                                  EXPECT_FALSE(p->btnWholePage->Down());
                                  EXPECT_EQ(form->WindowState, ui::wsMaximized);
                                }}});
  ui::ScriptClicks({"zoom", "btnCancel"});
  source.report->Print();
  EXPECT_EQ(checks, 1);
}

TEST_F(PreviewRun, AFailureOnPage3GivesOneErrorAndLeavesPages1And2) {
  cls::Owned<TPageSource> source(new TPageSource(nullptr));
  source->Pages = 5;
  source->FailOnPage = 3;
  source->Publisher()->SetCachePages(true);
  std::vector<int> pages;
  Probes(source.get(), {{"page", [&](TppPrintPreview*, TppPreview* p) {
                           pages.push_back(p->Viewer()->GetAbsolutePageNo());
                         }}});
  ui::ScriptClicks({"page", "btnNext", "page", "btnFirst", "page", "btnNext", "page", "btnPrior", "page", "btnCancel"});
  source->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(Messages(), std::vector<std::string>{"No data for page 3."});
  EXPECT_EQ(pages, (std::vector<int>{1, 2, 1, 2, 1}));
  EXPECT_EQ(source->PreviewForm(), nullptr);
  EXPECT_FALSE(source->Producing());
}

TEST_F(PreviewRun, BadPageAndZoomBoxInputLeavesThePreviewUsable) {
  TPagedReport source(5);
  std::vector<int> pages, zooms;
  Probes(source.report.get(), {{"page", [&](TppPrintPreview*, TppPreview* p) {
                                  pages.push_back(p->Viewer()->GetAbsolutePageNo());
                                }},
                               {"zoom", [&](TppPrintPreview*, TppPreview* p) {
                                  zooms.push_back(p->Viewer()->GetCalculatedZoom());
                                }}});
  ui::ScriptClicks({"idle",          "edtPageNo=", "<Enter>",        "btnNext",     "page",     "edtPageNo=0",
                    "<Enter>",       "page",       "edtPageNo=99",   "<Enter>",     "page",     "edtPageNo=3",
                    "<Enter>",       "page",       "edtZoom=999",    "<Enter>",     "zoom",     "edtZoom=abc",
                    "<Enter>",       "zoom",       "edtZoom=10",     "<Enter>",     "zoom",     "btnCancel"});
  source.report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  // The empty page box: one conversion error box, shown by the loop.
  const std::vector<std::string> messages = Messages();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("not a valid integer"), std::string::npos) << messages[0];
  EXPECT_EQ(pages, (std::vector<int>{2, 1, 5, 3}));
  EXPECT_EQ(zooms, (std::vector<int>{250, 100, 25}));
  EXPECT_EQ(source.report->PreviewForm(), nullptr);
}

TEST_F(PreviewRun, TheOutlineTakesThePreviewToTheChosenNode) {
  TPagedReport source(5);
  std::vector<int> pages;
  Probes(source.report.get(), {{"page", [&](TppPrintPreview*, TppPreview* p) {
                                  EXPECT_TRUE(p->tvOutline->Visible());
                                  pages.push_back(p->Viewer()->GetAbsolutePageNo());
                                }}});
  ui::ScriptClicks({"idle", "btnLast", "page", "tvOutline=3", "page", "tvOutline=Page 2", "page", "btnCancel"});
  source.report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(pages, (std::vector<int>{5, 3, 2}));
}

namespace {

// What zolmet-test-preview ARGS shows at a terminal typed by
// zolmet-test-terminal with ANSWERS (its options), then "exit N".
std::string AtTerminal(const std::string& root, const std::vector<std::string>& answers, const std::string& args) {
  std::string cmd = "ZOLMET_ROOT='" + root + "' '" + BinPath("zolmet-test-terminal") + "' --timeout 120";
  for (const std::string& a : answers) cmd += " '" + a + "'";
  cmd += " -- '" + BinPath("zolmet-test-preview") + "' " + args + " </dev/null; echo \"exit $?\"";
  return Shell(cmd);
}

// N of the line "pages made: N of ..." in OUT; -1 without one.
int PagesMade(const std::string& out) {
  const size_t at = out.find("pages made: ");
  return at == std::string::npos ? -1 : std::atoi(out.c_str() + at + 12);
}

}  // namespace

TEST_F(PreviewRun, TheSameStepsTypedAtATerminal) {
  std::vector<std::string> answers;
  // An empty line does nothing (no button is the default); a caption and
  // a key page on.
  for (const char* line : {"", "Next Page", "<Ctrl+PgDn>", "btnLast", "edtZoom=150", "<Enter>", "btnTextSearch", "edtFind=Dravik", "<Enter>",
                           "btnNextHit", "btnPrint", "cbxPrinters=Zolmet", "edtPageRange=2-3", "btnOK", "btnNext",
                           "btnCancel"}) {
    answers.push_back("--type");
    answers.push_back(line);
  }
  const std::string out = AtTerminal(root_, answers, "");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  // The search pane's menu is offered only once the pane shows.
  const size_t paneShown = out.find("Hide the Find Text Toolbar");
  ASSERT_NE(paneShown, std::string::npos) << out;
  EXPECT_EQ(out.rfind("menu: Show All", paneShown), std::string::npos) << out;
  EXPECT_NE(out.find("menu: Show All", paneShown), std::string::npos) << out;
  for (const char* shown : {"Page 2", "Page 3", "Page 5 of 5", "Found 1 of 2", "Found 2 of 2", "preview closed: yes, producing: no"})
    EXPECT_NE(out.find(shown), std::string::npos) << shown;
  EXPECT_NE(Record(1).find("Pages=2"), std::string::npos);
  EXPECT_EQ(PagesRead(1), (std::vector<int>{2, 3}));
}

TEST_F(PreviewRun, WhatIsTypedWhileWorkRunsStopsIt) {
  // Cancel typed once the preview says it works (its pages never end):
  // the preview stops making them and waits; <close> at its prompt closes
  // it.
  std::string out = AtTerminal(root_, {"--when", "Working:", "--type", "btnCancel", "--type", "<close>"}, "--endless");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("[Print Preview]"), std::string::npos) << out;
  EXPECT_GE(PagesMade(out), 1) << out;
  EXPECT_NE(out.find("preview closed: yes, producing: no"), std::string::npos) << out;

  // Esc, or the window's close, once a print of 2,000 pages works reaches
  // its cancel dialog, which stops the print.
  for (const char* close : {"<Esc>", "<close>"}) {
    out = AtTerminal(root_, {"--when", "Working:", "--type", close}, "--print 2000");
    EXPECT_NE(out.find("exit 0\n"), std::string::npos) << close << out;
    EXPECT_NE(out.find("[Printing]"), std::string::npos) << close << out;  // the cancel dialog reached the terminal
    EXPECT_GE(PagesMade(out), 0) << close << out;
    EXPECT_LT(PagesMade(out), 4000) << close << out;  // counted, then printed
  }
}

TEST_F(PreviewRun, ACancelledOnePassPreviewShowsThePagesMadeAndPagesOn) {
  // Cancel typed once the last of 200,000 pages is being made (outline on
  // and off, pages kept or not): the preview shows page 1 again, its
  // button reads "Close", and Next Page shows page 2.
  for (const char* options : {"--one-pass 200000", "--one-pass --no-cache --no-outline 200000"}) {
    const std::string out = AtTerminal(
        root_, {"--type", "btnLast", "--when", "Working:", "--type", "btnCancel", "--type", "Next Page", "--type", "<close>"},
        options);
    EXPECT_NE(out.find("exit 0\n"), std::string::npos) << options << out;
    EXPECT_GE(PagesMade(out), 0) << options << out;
    EXPECT_LT(PagesMade(out), 200000) << options << out;
    // What the form shows at the prompt after the cancel (typed lines are
    // echoed), and at the one after Next Page.
    const size_t cancelled = out.find("btnCancel", out.find("Working:"));
    ASSERT_NE(cancelled, std::string::npos) << options << out;
    const size_t next = out.find("\n> ", cancelled);
    ASSERT_NE(next, std::string::npos) << options << out;
    const std::string afterCancel = out.substr(cancelled, next - cancelled);
    EXPECT_NE(afterCancel.find(") Close\n"), std::string::npos) << options << afterCancel;
    EXPECT_NE(afterCancel.find("Page 1\n"), std::string::npos) << options << afterCancel;
    EXPECT_EQ(afterCancel.find("Page 0"), std::string::npos) << options << afterCancel;
    const size_t pageBox = afterCancel.rfind("edtPageNo:");
    ASSERT_NE(pageBox, std::string::npos) << options << afterCancel;
    EXPECT_EQ(afterCancel.substr(pageBox, afterCancel.find('\n', pageBox) - pageBox).find("(disabled)"), std::string::npos)
        << options << afterCancel;
    const std::string afterNext = out.substr(next, out.find("\n> ", next + 1) - next);
    EXPECT_NE(afterNext.find("Page 2\n"), std::string::npos) << options << afterNext;
    EXPECT_NE(out.find("preview closed: yes, producing: no"), std::string::npos) << options << out;
  }
}

TEST_F(PreviewRun, PagesMadeBeforeACancelArePagedToWithoutBeingMadeAgain) {
  // One pass of 30 pages, kept, asked for up to the last and cancelled once
  // page K is out: half way (the page shown before comes back), and with
  // the last page made and shown (it stays). Every page made is then shown
  // from what was kept: no page is made again.
  constexpr int kPages = 30;
  struct Case {
    int cancelAt;
    std::vector<std::string> script;
    std::vector<int> shown;
  };
  for (const Case& c : {Case{12, {"idle", "btnLast", "shown", "btnNext", "shown", "edtPageNo=12", "<Enter>", "shown", "btnCancel"}, {1, 2, 12}},
                        Case{kPages, {"idle", "btnLast", "shown", "btnPrior", "shown", "edtPageNo=2", "<Enter>", "shown", "btnCancel"}, {30, 29, 2}}}) {
    TPagedReport source(kPages);
    TppReport* report = source.report.get();
    int made = 0;
    std::vector<int> shown;
    std::vector<int> madeWhenShown;
    bool cancelled = false;
    struct Counter {
      int* made;
      void EndPage(cls::TObject*) { ++*made; }
    } counter{&made};
    report->OnEndPage = cls::TNotifyEvent(&counter, &Counter::EndPage);
    TEventHook cancel(report->Publisher(), {ciPublisherPagePublished}, [&](TppCommunicator*, int, TraParamList*) {
      if (cancelled || report->AbsolutePageNo() != c.cancelAt) return;
      cancelled = true;
      report->Cancel();
    });
    Probes(report, {{"shown", [&](TppPrintPreview*, TppPreview* p) {
                       shown.push_back(p->Viewer()->GetAbsolutePageNo());
                       madeWhenShown.push_back(made);
                       EXPECT_EQ(p->btnCancel->Caption, "Close") << c.cancelAt;
                     }}});
    ui::ScriptClicks({c.script.begin(), c.script.end()});
    report->Print();
    EXPECT_FALSE(ui::HasScriptedClick()) << c.cancelAt;
    EXPECT_TRUE(cancelled) << c.cancelAt;
    EXPECT_EQ(shown, c.shown) << c.cancelAt;
    EXPECT_EQ(madeWhenShown, std::vector<int>(c.shown.size(), c.cancelAt)) << c.cancelAt;
    report->OnEndPage = cls::TNotifyEvent();
  }
}

TEST_F(PreviewRun, EndOfInputClosesTheWindowAndNeverDestroys) {
  const std::string folder = root_ + "/templates";
  fs::create_directories(folder);
  WriteFile(folder + "/Receipt", "kept\n");
  // At the overwrite question: No is not taken for Yes; the dialog then
  // ends with Cancel.
  std::string out = AtTerminal(root_, {"--type", "btnOK", "--eof"}, "--save '" + folder + "'");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("already exists: Receipt"), std::string::npos) << out;
  EXPECT_NE(out.find("template dialog: Cancel"), std::string::npos) << out;
  EXPECT_EQ(ReadFile(folder + "/Receipt"), "kept\n");
  // An open dialog with an unknown name, a print dialog whose OK cannot
  // close it, an untouched print dialog: each ends with Cancel, nothing
  // printed, and the program goes on to its end.
  out = AtTerminal(root_, {"--type", "edtTemplateName=Nothing", "--eof"}, "--open '" + folder + "'");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("template dialog: Cancel"), std::string::npos) << out;
  for (const std::vector<std::string>& answers :
       {std::vector<std::string>{"--type", "rdbPages=1", "--eof"}, std::vector<std::string>{"--eof"}}) {
    out = AtTerminal(root_, answers, "--print 5 --dialog");
    EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("cannot end"), std::string::npos) << out;
    EXPECT_EQ(out.find("[Printing]"), std::string::npos) << out;
    // The dialog's texts read without their accelerator marks.
    EXPECT_EQ(out.find("Pa&ges"), std::string::npos) << out;
    EXPECT_NE(out.find("Pages"), std::string::npos) << out;
  }
  EXPECT_EQ(Record(1), "");
}

TEST_F(PreviewRun, EveryTabOfAutoSearchIsWorkedAtATerminal) {
  // The second tab chosen by its caption (typed in UTF-8, as a terminal
  // gives it), its field changed; the first tab's field by the tab's
  // number; both criteria reach the report.
  const std::string customers = reinterpret_cast<const char*>(u8"客戶 Customers");
  const std::string out = AtTerminal(root_,
                                     {"--type", customers, "--type", "edtValue2=Kaohsiung", "--type", "pgcTabs=1",
                                      "--type", "edtValue1=9", "--type", "btnOK"},
                                     "--auto-search");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("criterion City: Kaohsiung"), std::string::npos) << out;
  EXPECT_NE(out.find("criterion OrderNo: 9"), std::string::npos) << out;
}

TEST_F(PreviewRun, AQuestionTakesOnlyAButtonItOffers) {
  // At the overwrite question "bogus" and an empty line are answered and
  // asked again (the default would overwrite); "No" keeps the template
  // that is there; the dialog is then cancelled by its caption.
  const std::string folder = root_ + "/templates";
  fs::create_directories(folder);
  WriteFile(folder + "/Receipt", "kept\n");
  const std::string out = AtTerminal(
      root_, {"--type", "btnOK", "--type", "bogus", "--type", "", "--type", "No", "--type", "btnOK", "--type", "<Esc>", "--type", "Cancel"},
      "--save '" + folder + "'");
  EXPECT_NE(out.find("exit 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("already exists: Receipt"), std::string::npos) << out;
  EXPECT_NE(out.find("bogus: not a button here"), std::string::npos) << out;
  EXPECT_NE(out.find("\n: not a button here"), std::string::npos) << out;
  // No button is marked as taken by an empty line; the question's text
  // keeps its one blank line; <Esc> is its Cancel.
  EXPECT_EQ(out.find(") Yes *"), std::string::npos) << out;
  EXPECT_EQ(out.find("\n\n\n"), std::string::npos) << out;
  EXPECT_NE(out.find("template dialog: Cancel"), std::string::npos) << out;
  EXPECT_EQ(ReadFile(folder + "/Receipt"), "kept\n");
}

TEST_F(PreviewRun, ThePreviewReadsWellWithTheSearchPaneOpen) {
  TPagedReport source(5);
  source.report->PrinterSetup()->SetDocumentName("收據");
  int checks = 0;
  Probes(source.report.get(), {{"picture", [&](TppPrintPreview* form, TppPreview*) {
                                  picture_checks::ExpectReadable(form, "preview");
                                  ++checks;
                                }}});
  ui::ScriptClicks({"idle", "btnTextSearch", "edtFind=收據", "<Enter>", "picture", "btnCancel"});
  source.report->Print();
  EXPECT_FALSE(ui::HasScriptedClick());
  EXPECT_EQ(checks, 1);
}
