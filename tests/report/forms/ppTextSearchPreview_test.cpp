// The text search pane in a host form, driven by scripted clicks: moving
// from hit to hit with the status it shows, the highlights it draws on the
// page bitmap, a long search cancelled or failing halfway, and the pane's
// own objects that only it frees.
#include "report/forms/ppTextSearchPreview.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/comctrls.h"
#include "platform/ui/extctrls.h"
#include "report/output/ppViewr.h"
#include "tests/report/forms/forms_fixture.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppSearchReport.h"

namespace {

using Step = std::pair<int, std::string>;  // page shown, status text

// A form holding a viewer of REPORT, a status bar of two panels and the
// search pane, as the preview plug-in puts them together.
class THost {
 public:
  explicit THost(TppProducer* report) {
    report->TextSearchSettings()->SetVisible(true);  // the pane shows
    form = ui::NewForm<ui::TForm>(nullptr);
    form->SetBounds(0, 0, 700, 500);
    status = new ui::TStatusBar(form);
    status->SetParent(form);
    status->Panels.Add().Width = 275;
    pane = new ui::TPanel(form);
    pane->SetParent(form);
    pane->SetBounds(0, 0, 150, 78);
    viewer = new TppViewer(form);
    viewer->SetParent(form);
    viewer->SetBounds(150, 0, 550, 450);
    viewer->SetReport(report);
    search = cls::ObjectAs<TppTextSearchPreview>(TppPreviewPlugIn::CreateSearchPreview(nullptr));
    search->SetViewer(viewer);
    search->SetStatusBar(status);
    search->SetTextSearchSettings(report->TextSearchSettings());
    search->SetPane(pane);
    search->StatusChange();
    search->BeforePreview();
    hook.reset(new testing_support::TEventHook(search, {ciSearchPanelToggled}, [this](TppCommunicator*, int, TraParamList*) {
      steps.emplace_back(viewer ? viewer->GetAbsolutePageNo() : 0, status->Panels[1].Text);
    }));
  }
  ~THost() {
    hook.reset();
    if (search) search->Free();
    if (form) form->Free();
  }
  THost(const THost&) = delete;
  THost& operator=(const THost&) = delete;

  ui::TForm* form;
  ui::TStatusBar* status;
  ui::TPanel* pane;
  TppViewer* viewer;
  TppTextSearchPreview* search;
  cls::Owned<testing_support::TEventHook> hook;
  std::vector<Step> steps;
};

class SearchPane : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedClicks();
  }
  void TearDown() override {
    ui::Application().Shutdown();
    ui::ClearScriptedClicks();
    ui::SetEchoDialogs(true);
    Printers::TearDown();
  }
};

}  // namespace

TEST_F(SearchPane, HitByHitWithTheStatusShown) {
  testing_support::TSearchReport source;
  THost host(source.report.get());
  source.report->PrintToDevices();
  ASSERT_EQ(host.viewer->GetAbsolutePageNo(), 1);
  host.search->miWholeWord->Click();
  // One modal run a click: a click during an action is turned away.
  for (const char* click : {"btnFind", "btnNextHit", "btnNextHit", "btnNextHit", "btnNextHit", "btnNextHit", "btnNextHit", "btnPriorHit",
                            "btnFind"}) {
    ui::ScriptClicks({"edtFind=cat", click, "<close>"});
    host.form->ShowModal();
  }
  const std::string more = "...more...";
  EXPECT_EQ(host.steps, (std::vector<Step>{{1, "Found 1 of 2" + more},
                                           {1, "Found 2 of 2" + more},
                                           {2, "Found 3 of 6" + more},
                                           {2, "Found 4 of 6" + more},
                                           {2, "Found 5 of 6" + more},
                                           {2, "Found 6 of 6" + more},
                                           {5, "Found 7 of 7"},
                                           {2, "Found 6 of 7"},  // hit 6 is on page 2
                                           {1, "Found 1 of 7"}}));  // Find again: the first hit, no new search
  EXPECT_TRUE(host.search->btnNext->Enabled);
  EXPECT_FALSE(host.search->btnPrior->Enabled);
  // At the last hit of a complete search Next and Last are off.
  ui::ScriptClicks({"btnLastHit", "<close>"});
  host.form->ShowModal();
  EXPECT_EQ(host.steps.back(), Step(5, "Found 7 of 7"));
  EXPECT_FALSE(host.search->btnNext->Enabled);
  EXPECT_FALSE(host.search->btnLast->Enabled);
  EXPECT_TRUE(host.search->btnPrior->Enabled);
  EXPECT_EQ(host.search->Engine()->HighestPage(), 5);
}

TEST_F(SearchPane, ShowAllHighlightsEveryWholeWordOfThePageAndNothingElse) {
  testing_support::TSearchReport source;
  source.report->TextSearchSettings()->SetShowAll(true);
  source.report->TextSearchSettings()->SetWholeWord(true);
  THost host(source.report.get());
  host.viewer->SetZoomSetting(zs100Percent);
  source.report->PrintToDevices();
  ui::ScriptClicks({"edtFind=cat", "btnFind", "<close>"});
  host.form->ShowModal();
  for (TppZoomSettingType zoom : {zs100Percent, zsWholePage}) {
    host.viewer->SetZoomSetting(zoom);
    host.viewer->GotoPage(2);
    ASSERT_EQ(host.viewer->GetAbsolutePageNo(), 2);
    TppScreenDevice* screen = host.viewer->ScreenDevice();
    ASSERT_EQ(host.search->Engine()->Highlights().size(), 4u);
    std::vector<TppRect> covered;
    for (TppDrawCommand* h : host.search->Engine()->Highlights()) covered.push_back(h->GetDrawRect());
    const std::vector<std::uint32_t> pixels = screen->PageBitmap()->Pixels();
    const int w = screen->PageBitmap()->Width(), hgt = screen->PageBitmap()->Height();
    int outside = 0;
    for (int y = 0; y < hgt; ++y)
      for (int x = 0; x < w; ++x) {
        if ((pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF) != 0x000080) continue;
        bool in = false;
        for (const TppRect& r : covered) in = in || (x >= r.Left && x <= r.Right && y >= r.Top && y <= r.Bottom);
        outside += !in;
      }
    EXPECT_EQ(outside, 0) << zoom;
    // "catcat" (row 40) keeps no highlight: the only one there is right of it.
    int row40 = 0;
    for (TppDrawCommand* h : host.search->Engine()->Highlights()) row40 += h->Top() == 40000;
    EXPECT_EQ(row40, 1);
    if (zoom == zs100Percent) screen->PageBitmap()->SaveToPngFile("C:\\search-page2.png");
  }
  // Without ShowAll only the current hit shows, and only on its page.
  host.search->TextSearchSettings()->SetShowAll(false);
  host.search->Engine()->PageList()->GotoPage(2);
  host.search->Engine()->PageList()->Next();
  host.search->Engine()->PageList()->Next();  // (2,30,5)
  host.viewer->ScreenDevice()->PreparePage();
  ASSERT_EQ(host.search->Engine()->Highlights().size(), 1u);
  EXPECT_EQ(host.search->Engine()->Highlights()[0]->Top(), 30000);
  EXPECT_GT(host.search->Engine()->Highlights()[0]->Left(), 10000);
  host.viewer->GotoPage(1);
  EXPECT_TRUE(host.search->Engine()->Highlights().empty());
}

// 300 pages, the only hit on the last: Cancel pressed while the search
// runs; the same state after a failure on page 3.
TEST_F(SearchPane, ALongSearchCancelledOrFailingLeavesThePreviewAsItWas) {
  for (int failOn : {0, 3}) {
    cls::Owned<testing_support::TPageSource> source(new testing_support::TPageSource(nullptr));
    source->Pages = 300;
    source->Publisher()->SetCachePages(true);
    THost host(source.get());
    source->PrintToDevices();
    ASSERT_EQ(host.viewer->GetAbsolutePageNo(), 1);
    source->FailOnPage = failOn;
    source->Publisher()->SetCachePages(failOn == 0);
    if (failOn) source->Publisher()->FreeCachedPages();
    host.search->miWholeWord->Click();
    ui::ClearRecordedDialogs();
    ui::ScriptClicks({"edtFind=300", "btnFind", "btnDone", "<close>"});
    host.form->ShowModal();
    EXPECT_EQ(host.viewer->GetAbsolutePageNo(), 1) << failOn;
    if (!failOn) EXPECT_EQ(host.status->Panels[1].Text, "Text Search Cancelled");
    else EXPECT_FALSE(ui::RecordedDialogs().empty());
    EXPECT_FALSE(host.search->Busy());
    EXPECT_EQ(host.search->Engine()->DeviceCounter(), 1);
    EXPECT_EQ(ui::Screen().Cursor(), ui::crDefault);
    source->FailOnPage = 0;
    host.viewer->NextPage();
    EXPECT_EQ(host.viewer->GetAbsolutePageNo(), 2) << failOn;
  }
}

TEST_F(SearchPane, ObjectsOnlyThePaneFreesAndAViewerFreedMidSearch) {
  testing_support::TSearchReport source;
  THost host(source.report.get());
  source.report->PrintToDevices();
  EXPECT_THROW(host.search->TextSearchSettings()->Free(), ESearchError);
  EXPECT_THROW(host.search->Engine()->OffScreenDevice()->Free(), ESearchEngineError);
  // The viewer goes while the pane searches: the search stops, cleanly.
  ui::Application().PostMessage([&host] {
    host.viewer->Free();
    host.viewer = nullptr;
  });
  host.search->edtFind->SetText("bird");
  host.search->btnFind->Click();
  EXPECT_EQ(host.search->Viewer(), nullptr);
  EXPECT_FALSE(host.search->Busy());
  // The pane freed inside its own search goes when the search unwinds.
  testing_support::TSearchReport source2;
  THost second(source2.report.get());
  source2.report->PrintToDevices();
  ui::Application().PostMessage([&second] {
    second.search->Free();
    second.search = nullptr;
  });
  second.search->edtFind->SetText("bird");
  second.search->btnFind->Click();
  EXPECT_EQ(second.search, nullptr);
  EXPECT_EQ(second.viewer->GetAbsolutePageNo(), 1);
}

TEST(SearchPaneIcons, TheHitArrowsAreMaroonBesideTheirGreyDisabledGlyph) {
  auto first = TppPreviewIcon::GetGlyph<TppFirstSearchOccurrenceIcon>();
  auto plain = TppPreviewIcon::GetGlyph<TppFirstIcon>();
  ASSERT_EQ(first->Width(), 32);
  ASSERT_EQ(first->Height(), 16);
  int maroon = 0, black = 0, grey = 0;
  for (std::uint32_t p : first->Pixels()) maroon += (p & 0xFFFFFF) == 0x800000;  // clMaroon as RGB
  for (std::uint32_t p : plain->Pixels()) black += (p & 0xFFFFFF) == 0x000000;
  for (std::uint32_t p : plain->Pixels()) grey += (p & 0xFFFFFF) == 0x808080;
  EXPECT_GT(maroon, 0);
  EXPECT_EQ(maroon, black);
  EXPECT_EQ(grey, black);
  EXPECT_EQ(TppPreviewPlugIn::SearchPreviewClass(), &TppTextSearchPreview::StaticClass());
}

// What the preview plug-in calls, one by one.
TEST_F(SearchPane, ThePlugInsCalls) {
  testing_support::TSearchReport source;
  cls::Owned<TppTextSearchPreview> bare(new TppTextSearchPreview(nullptr));
  EXPECT_THROW(bare->BeforePreview(), ESearchError);  // no viewer
  THost host(source.report.get());
  source.report->PrintToDevices();
  TppTextSearchPreview* s = host.search;
  // Layout: the pane is as wide as the Done button's right edge and 5.
  EXPECT_EQ(s->Layout(), s->btnDone->Left() + s->btnDone->Width() + 5);
  EXPECT_GE(s->btnDone->Width(), s->btnFind->Width());
  EXPECT_GE(s->btnFind->Width(), 55);
  // Toggling hides the pane, tells the plug-in (103) and keeps Visible.
  const size_t before = host.steps.size();
  s->TogglePanel();
  EXPECT_FALSE(s->PaneVisible());
  EXPECT_FALSE(host.pane->Visible());
  EXPECT_FALSE(s->TextSearchSettings()->Visible());
  EXPECT_EQ(host.steps.size(), before + 1);
  s->TogglePanel();
  EXPECT_TRUE(s->PaneVisible());
  // A search, then paging marks the page moved: the next Find searches anew.
  s->edtFind->SetText("dog");
  s->btnFind->Click();
  EXPECT_EQ(host.viewer->GetAbsolutePageNo(), 3);
  s->BeforePreviewAction(7);
  host.viewer->PriorPage();
  s->AfterPreviewAction(7);
  s->btnFind->Click();
  EXPECT_EQ(s->CurrentIndex(), 0);
  EXPECT_EQ(host.viewer->GetAbsolutePageNo(), 3);
  // The preview's cancel (10) cancels the search and disables the pane.
  s->BeforePreviewAction(10);
  s->AfterPreviewAction(10);
  EXPECT_EQ(s->StatusText(), "Text Search Cancelled");
  EXPECT_FALSE(host.pane->Enabled);
  // UpdateSearch without a finished search: reset, shown and enabled.
  s->UpdateSearch();
  EXPECT_TRUE(host.pane->Enabled);
  EXPECT_EQ(s->StatusText(), "");
  s->EndPreview();
  EXPECT_EQ(s->CurrentIndex(), -1);
  EXPECT_EQ(s->HitCount(), 0);
  // A one-panel status bar gets a second panel; a simple one is refused.
  host.status->Panels.Clear();
  host.status->Panels.Add();
  s->StatusChange();
  EXPECT_EQ(host.status->Panels.Count(), 2);
  EXPECT_EQ(host.status->Panels[0].Width, 275);
  host.status->SimplePanel = true;
  EXPECT_THROW(s->StatusChange(), ESearchError);
  host.status->SimplePanel = false;
  s->LanguageChanged();
  EXPECT_EQ(s->btnFind->Caption, "Find Text");
  EXPECT_EQ(s->btnDone->Caption, "Done");
  EXPECT_EQ(s->miWholeWord->Caption, "Whole Word");
}
