// The preview plug-in inside its form, driven directly: the plug-in class
// registry, the icons drawn by code, the toolbar after a viewer refresh,
// and the objects it refuses to let go.
#include "report/forms/ppPreview.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/ui/comctrls.h"
#include "platform/ui/forms.h"
#include "report/forms/ppTextSearchPreview.h"
#include "report/output/ppViewr.h"
#include "tests/report/forms/forms_fixture.h"
#include "tests/support/pagesource.h"

namespace {

// A plug-in in TppPreview's place that notes its build steps and adds a
// button of its own to the toolbar.
class TOtherPreview : public TppPreview {
  CLS_DECLARE_CLASS(TOtherPreview, TppPreview)
 public:
  using TppPreview::TppPreview;
  std::vector<std::string> Steps;
  ui::TSpeedButton* btnExtra = nullptr;

 protected:
  void CreatePanels() override {
    Steps.push_back("panels");
    TppPreview::CreatePanels();
  }
  void CreateToolbar() override {
    Steps.push_back(pnlButtons ? "toolbar" : "toolbar without panels");
    TppPreview::CreateToolbar();
    btnExtra = new ui::TSpeedButton(Parent());
    btnExtra->SetParent(pnlButtons);
  }
  void CreateOutlineViewer() override {
    Steps.push_back(btnCancel ? "outline" : "outline without toolbar");
    TppPreview::CreateOutlineViewer();
  }
};
CLS_IMPLEMENT_COMPONENT(TOtherPreview)

// A plug-in whose toolbar cannot be built.
class TBrokenPreview : public TppPreview {
  CLS_DECLARE_CLASS(TBrokenPreview, TppPreview)
 public:
  using TppPreview::TppPreview;

 protected:
  void CreateToolbar() override { throw cls::Exception("no toolbar"); }
};
CLS_IMPLEMENT_COMPONENT(TBrokenPreview)

class PreviewPlugIn : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    source_.reset(new testing_support::TPageSource(nullptr));
    source_->Pages = 5;
  }
  void TearDown() override {
    if (form_) form_->Free();
    form_ = nullptr;
    DialogTest::TearDown();
    source_.reset();
  }
  // The preview form with the source's pages made.
  TppPreview* Open() {
    form_ = cls::ObjectAs<TppPrintPreview>(Create<TppCustomPreviewer>());
    EXPECT_NE(form_, nullptr);
    form_->SetReport(source_.get());
    source_->PrintToDevices();
    return static_cast<TppPreview*>(form_->PreviewPlugIn());
  }

  cls::Owned<testing_support::TPageSource> source_;
  TppPrintPreview* form_ = nullptr;
};

// The pixels of an icon class.
template <class Icon>
std::vector<std::uint32_t> Pixels(int& width) {
  auto bitmap = TppPreviewIcon::GetGlyph<Icon>();
  width = bitmap->Width();
  std::vector<std::uint32_t> out = bitmap->Pixels();
  for (std::uint32_t& p : out) p &= 0xFFFFFF;
  return out;
}

}  // namespace

TEST_F(PreviewPlugIn, TheRegisteredPlugInClassIsMadeAndTppPreviewStandsIn) {
  ASSERT_EQ(FindFormClass(&TppCustomPreviewer::StaticClass()), &TppPrintPreview::StaticClass());
  ui::TForm* host = ui::NewForm<ui::TForm>(nullptr);
  TppPreviewPlugIn::RegisterPreviewPlugInClass(&TOtherPreview::StaticClass());
  TppCustomPreview* other = TppPreviewPlugIn::CreatePreviewPlugIn(host);
  EXPECT_EQ(other->ClassType(), &TOtherPreview::StaticClass());
  EXPECT_EQ(other->Viewer()->Parent(), host);
  // Its own build steps ran, in the base's order, after it was whole.
  auto* mine = static_cast<TOtherPreview*>(other);
  EXPECT_EQ(mine->Steps, (std::vector<std::string>{"panels", "toolbar", "outline"}));
  ASSERT_NE(mine->btnExtra, nullptr);
  EXPECT_EQ(mine->btnExtra->Parent(), mine->pnlButtons);
  EXPECT_NE(mine->splViewer, nullptr);
  other->Free();
  host->Free();
  // A build that fails frees the plug-in and passes the failure on.
  host = ui::NewForm<ui::TForm>(nullptr);
  TppPreviewPlugIn::RegisterPreviewPlugInClass(&TBrokenPreview::StaticClass());
  EXPECT_THROW(TppPreviewPlugIn::CreatePreviewPlugIn(host), cls::Exception);
  host->Free();
  // Nothing registered, or a class that is no plug-in: TppPreview, which
  // becomes the registered class.
  for (cls::TClass c : std::vector<cls::TClass>{nullptr, &ui::TButton::StaticClass()}) {
    if (c) TppPreviewPlugIn::RegisterPreviewPlugInClass(c);
    else TppPreviewPlugIn::UnregisterPreviewPlugInClass();
    host = ui::NewForm<ui::TForm>(nullptr);
    TppCustomPreview* p = TppPreviewPlugIn::CreatePreviewPlugIn(host);
    EXPECT_EQ(p->ClassType(), &TppPreview::StaticClass());
    EXPECT_EQ(TppPreviewPlugIn::PreviewPlugInClass(), &TppPreview::StaticClass());
    p->Free();
    host->Free();
  }
}

TEST_F(PreviewPlugIn, IconsAreDrawnOnTheirTransparentColour) {
  int w = 0;
  const std::uint32_t green = 0x008000;  // clGreen
  std::vector<std::vector<std::uint32_t>> singles = {Pixels<TppPrinterIcon>(w), Pixels<TppAutoSearchIcon>(w),
                                                     Pixels<TppZoomWholePageIcon>(w), Pixels<TppZoomPageWidthIcon>(w),
                                                     Pixels<TppZoom100PercentIcon>(w)};
  EXPECT_EQ(w, 16);
  for (size_t i = 0; i < singles.size(); ++i) {
    EXPECT_EQ(singles[i][0], green) << i;  // a corner stays transparent
    EXPECT_GT(std::count_if(singles[i].begin(), singles[i].end(), [&](std::uint32_t p) { return p != green; }), 20);
    for (size_t j = 0; j < i; ++j) EXPECT_NE(singles[i], singles[j]) << i << " " << j;
  }
  // The search toggle's two glyphs: the same shape, black left, gray right.
  std::vector<std::uint32_t> toggle = Pixels<TppTextSearchIcon>(w);
  ASSERT_EQ(w, 32);
  int same = 0, drawn = 0;
  for (size_t at = 0; at < toggle.size(); at += 32)
    for (size_t x = 0; x < 16; ++x) {
      drawn += toggle[at + x] == 0x000000;
      same += (toggle[at + x] == 0x000000) == (toggle[at + 16 + x] == 0x808080);
    }
  EXPECT_GT(drawn, 10);
  EXPECT_EQ(same, 256);
}

TEST_F(PreviewPlugIn, ARefreshStopsPagingUntilTheNextPageAndCancelEndsInTheToolbarState) {
  TppPreview* p = Open();
  p->btnNext->Click();
  ASSERT_EQ(p->Viewer()->GetAbsolutePageNo(), 2);
  ASSERT_TRUE(p->btnNext->Enabled && p->btnPrior->Enabled);
  p->Viewer()->ResetDisplay();
  for (ui::TSpeedButton* b : {p->btnFirst, p->btnPrior, p->btnNext, p->btnLast}) EXPECT_FALSE(b->Enabled);
  p->Viewer()->GotoPage(3);
  EXPECT_TRUE(p->btnPrior->Enabled);
  EXPECT_TRUE(p->btnNext->Enabled);
  // Cancel while idle leaves the button reading "Close", the boxes on.
  p->PerformAction(paCancel);
  EXPECT_EQ(p->btnCancel->Caption, "Close");
  EXPECT_TRUE(p->edtPageNo->Enabled);
  EXPECT_EQ(p->Viewer()->GetAbsolutePageNo(), 3);
}

TEST_F(PreviewPlugIn, TheSearchPaneAndStatusBarAreItsOwn) {
  TppPreview* p = Open();
  TppCustomSearchPreview* search = p->SearchPreview();
  ASSERT_NE(search, nullptr);
  try {
    search->Free();
    ADD_FAILURE() << "freed";
  } catch (const ESearchError& e) {
    EXPECT_STREQ(e.what(), "TppCustomPreview.Notify: Do not attempt to free the embedded search preview object.");
  }
  EXPECT_EQ(p->SearchPreview(), search);
  EXPECT_EQ(form_->StatusBar()->Panels.Count(), 2);
  // Without a search pane a simple status bar is refused; a one-panel bar
  // gets its second panel.
  ui::TForm* host = ui::NewForm<ui::TForm>(nullptr);
  auto* bar = new ui::TStatusBar(host);
  bar->SetParent(host);
  TppCustomPreview* plain = TppPreviewPlugIn::CreatePreviewPlugIn(host);
  plain->SetStatusBar(bar);
  bar->SimplePanel = true;
  EXPECT_THROW(plain->StatusChangeEvent(), ESearchError);
  bar->SimplePanel = false;
  bar->Panels.Add();
  plain->StatusChangeEvent();
  EXPECT_EQ(bar->Panels.Count(), 2);
  EXPECT_EQ(bar->Panels[0].Width, 275);
  // The bar freed first is let go.
  bar->Free();
  EXPECT_EQ(plain->StatusBar(), nullptr);
  plain->StatusChangeEvent();
  plain->Free();
  host->Free();
  // The form goes with its plug-in and pane, also from the pane's Free.
  form_->Free();
  form_ = nullptr;
}

TEST_F(PreviewPlugIn, TheToolbarStartsOnCancelAndALanguageChangeMakesItClose) {
  // Built alone: the button reads "Cancel" at its built width, the hints
  // are there already.
  ui::TForm* host = ui::NewForm<ui::TForm>(nullptr);
  auto* p = static_cast<TppPreview*>(TppPreviewPlugIn::CreatePreviewPlugIn(host));
  EXPECT_EQ(p->btnCancel->Caption, "Cancel");
  EXPECT_EQ(p->btnCancel->Width(), 54);
  EXPECT_EQ(p->btnCancel->Hint, "Cancel");
  EXPECT_EQ(p->btnPrint->Hint, "Print");
  EXPECT_EQ(p->btnLast->Hint, "Last Page");
  EXPECT_EQ(p->btnTextSearch->Hint, "Show the Find Text Toolbar");
  p->Free();
  host->Free();
  // In the form, the language slot gives "Close" and fits the width to it.
  form_ = cls::ObjectAs<TppPrintPreview>(Create<TppCustomPreviewer>());
  ASSERT_NE(form_, nullptr);
  auto* q = static_cast<TppPreview*>(form_->PreviewPlugIn());
  EXPECT_EQ(q->btnCancel->Caption, "Cancel");
  form_->SetLanguageIndex(0);
  EXPECT_EQ(form_->Caption, "Print Preview");
  EXPECT_EQ(q->btnCancel->Caption, "Close");
  gdi::TBitmap measure;
  measure.Canvas().Font.Assign(q->btnCancel->Font);
  EXPECT_EQ(q->btnCancel->Width(), measure.Canvas().TextWidth("Close") + 30);
  EXPECT_NE(q->btnCancel->Width(), 54);
  EXPECT_EQ(q->btnPrint->Hint, "Print");
}

TEST_F(PreviewPlugIn, ANilReportEndsThePreviewAndKeepsNothingOfTheReport) {
  TppPreview* p = Open();
  ASSERT_EQ(p->Report(), source_.get());
  ASSERT_TRUE(p->Viewer()->ScreenDevice()->Active());
  form_->SetReport(nullptr);
  EXPECT_EQ(p->Report(), nullptr);
  EXPECT_EQ(p->Viewer()->Report(), nullptr);
  EXPECT_FALSE(p->Viewer()->ScreenDevice()->Active());
  // The report goes before the form: nothing reaches for it afterwards.
  source_.reset();
  p->PerformAction(paPrint);
  p->PerformAction(paNext);
  p->Cancel();
  form_->Free();
  form_ = nullptr;
}
