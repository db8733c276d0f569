// The outline viewer on the pages of a grouped report: what it shows for a
// page, clicks that go to pages, its popup menu, showing and hiding, and
// its embedded communicator.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ui/extctrls.h"
#include "platform/ui/forms.h"
#include "platform/ui/input.h"
#include "report/components/ppDBText.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/forms/ppOutlineViewer.h"
#include "report/forms/ppRegister.h"
#include "report/output/ppViewr.h"
#include "tests/report/forms/forms_fixture.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

namespace {

using TValue = TppListPipeline::TValue;

// Keeps a copy of every page it sends.
class TPageKeepingReport : public TppReport {
  CLS_DECLARE_CLASS(TPageKeepingReport, TppReport)
 public:
  explicit TPageKeepingReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    auto* copy = new TppPage(nullptr);
    copy->Assign(p);
    if (pages.size() <= static_cast<size_t>(p->AbsolutePageNo())) pages.resize(static_cast<size_t>(p->AbsolutePageNo()) + 1);
    pages[static_cast<size_t>(p->AbsolutePageNo())].reset(copy);
    TppReport::SendPage(sender);
  }
  std::vector<cls::Owned<TppPage>> pages;
};
CLS_IMPLEMENT_COMPONENT(TPageKeepingReport)

// A page viewer that records where it is sent and its refit flag.
class TFakeViewer : public ui::TPanel, public IppPageViewer {
  CLS_DECLARE_CLASS(TFakeViewer, ui::TPanel)
 public:
  explicit TFakeViewer(cls::TComponent* owner) : ui::TPanel(owner) {}
  void GotoPage(int32_t pageNo) override { pagesAsked.push_back(pageNo); }
  bool RefitPending() const override { return refit_; }
  void SetRefitPending(bool v) override { refit_ = v; }
  std::vector<int32_t> pagesAsked;

 private:
  bool refit_ = false;
};
CLS_IMPLEMENT_COMPONENT(TFakeViewer)

// Receives the outline viewer's event 101.
class TOutlineListener : public TppCommunicator {
  CLS_DECLARE_CLASS(TOutlineListener, TppCommunicator)
 public:
  explicit TOutlineListener(cls::TComponent* owner) : TppCommunicator(owner) { EventMask().Include(ciOutlineEvent); }
  void EventNotify(TppCommunicator* sender, int eventId, TraParamList* params) override {
    TppCommunicator::EventNotify(sender, eventId, params);
    bool visible = false;
    ASSERT_TRUE(params && params->GetParam("Visible", visible));
    shown.push_back(visible);
    refitDuring.push_back(viewer && viewer->RefitPending());
  }
  std::vector<bool> shown, refitDuring;
  TFakeViewer* viewer = nullptr;
};
CLS_IMPLEMENT_COMPONENT(TOutlineListener)

// The report of the search and outline figures: 80 x 100 mm, 10 mm margins,
// a NewPage group on Region (10 mm header, 0 mm footer), 10 mm details.
class OutlineViewerTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    ppRegisterForms();
    data = new TppListPipeline(nullptr);
    data->SetFieldNames({"Region", "Text"});
    auto add = [&](const char* region, std::vector<std::string> texts) {
      for (const std::string& t : texts) data->AddRecord({{"Region", TValue(std::string(region))}, {"Text", TValue(t)}});
    };
    add("台北", {"the cat sat", "Cats and a CAT.", "concatenate", "文中", "一cat", "兀乙", "scat", "(cat)", "cat cat",
               "catcat cat"});
    add("台中", {"dog", "功能", "bird"});
    add("高雄", {"憭", "-", "-", "-", "-", "-", "-", "CAT"});
    report = new TPageKeepingReport(nullptr);
    report->SetUnits(utMillimeters);
    testing_support::SetPage(report, 80000, 100000, 10000);
    report->SetDataPipeline(data);
    auto* group = new TppGroup(nullptr);
    group->SetReport(report);
    group->SetDataPipeline(data);
    group->SetBreakName("Region");
    group->SetNewPage(true);
    auto* header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    header->SetHeight(10);
    Text(header, "Region");
    auto* footer = new TppGroupFooterBand(nullptr);
    footer->SetGroup(group);
    footer->SetHeight(0);
    auto* detail = new TppDetailBand(nullptr);
    detail->SetReport(report);
    detail->SetHeight(10);
    Text(detail, "Text");
    form = ui::NewForm<ui::TForm>(nullptr);
    form->SetBounds(0, 0, 400, 300);
    viewer = new TFakeViewer(form);
    viewer->SetParent(form);
    viewer->SetAlign(ui::TAlign::alClient);
    outline = new TppOutlineViewer(form);
    outline->SetParent(form);
    outline->SetBounds(0, 0, 150, 300);
    outline->SetAlign(ui::TAlign::alLeft);
    outline->SetViewer(viewer);
  }
  void TearDown() override {
    form->Free();
    report->Free();
    for (auto it = owned.rbegin(); it != owned.rend(); ++it) (*it)->Free();
    data->Free();
    DialogTest::TearDown();
  }
  void Text(TppCustomBand* band, const std::string& field) {
    auto* t = new TppDBText(nullptr);
    owned.push_back(t);
    t->SetBand(band);
    t->SetDataPipeline(data);
    t->SetDataField(field);
    t->SetmmHeight(5000);
    t->SetmmWidth(50000);
  }
  void Generate() {
    TppPageRequest request;
    request.SetPageSetting(TppPageSettingType::psAll);
    report->PageRequest(report, &request);
  }
  // "Text" lines of the items in pre-order, indented by level.
  std::vector<std::string> Items() {
    std::vector<std::string> out;
    for (ui::TTreeNode* n = outline->Items().GetFirstNode(); n; n = n->GetNext())
      out.push_back(std::string(static_cast<size_t>(n->Level()) * 2, ' ') + n->Text);
    return out;
  }
  ui::TTreeNode* Item(const std::string& text) {
    for (ui::TTreeNode* n = outline->Items().GetFirstNode(); n; n = n->GetNext())
      if (n->Text == text) return n;
    return nullptr;
  }
  void ClickLabel(ui::TTreeNode* node) {
    const win::RECT r = outline->DisplayRect(node, true);
    ui::SendClick(outline, r.left + 3, (r.top + r.bottom) / 2);
  }

  TppListPipeline* data = nullptr;
  TPageKeepingReport* report = nullptr;
  std::vector<cls::TObject*> owned;
  ui::TForm* form = nullptr;
  TFakeViewer* viewer = nullptr;
  TppOutlineViewer* outline = nullptr;
};

using V = std::vector<std::string>;

}  // namespace

namespace testing_support_throwing {

// Fails on event 101.
class TThrower : public TppCommunicator {
 public:
  explicit TThrower(TppCommunicator* source) : TppCommunicator(nullptr) {
    EventMask().Include(ciOutlineEvent);
    source->AddEventNotify(this);
  }
  void EventNotify(TppCommunicator*, int, TraParamList*) override {
    if (fail) throw std::runtime_error("listener failed");
  }
  bool fail = true;
};

}  // namespace testing_support_throwing

TEST_F(OutlineViewerTest, EachPageShowsTheOutlineAsItStoodThen) {
  Generate();
  ASSERT_EQ(report->pages.size(), 6u);
  outline->SyncToPage(report->pages[1].get());
  EXPECT_EQ(Items(), (V{"Main", "  台北", "    Page 1", "", "...more..."}));
  EXPECT_EQ(Item("Page 1")->Data, 1);
  EXPECT_EQ(outline->NodesLoaded(), 3);
  EXPECT_FALSE(outline->LoadedComplete());
  // The last page: the whole tree, finished, and no "...more...".
  outline->SyncToPage(report->pages[5].get());
  EXPECT_EQ(Items(), (V{"Main", "  台北", "    Page 1", "    Page 2", "  台中", "    Page 3", "  高雄", "    Page 4",
                        "    Page 5"}));
  EXPECT_TRUE(outline->LoadedComplete());
  EXPECT_TRUE(outline->HotTrack);  // a tree of more than one node
  // Going back shows the larger tree it has; a page's selection stays only on its page.
  outline->SelectPage(3);
  EXPECT_EQ(outline->Selected(), Item("台中"));
  EXPECT_TRUE(viewer->pagesAsked.empty());  // selecting for a page goes nowhere
  outline->SyncToPage(report->pages[4].get());
  EXPECT_EQ(outline->Selected(), nullptr);
  EXPECT_EQ(Items().size(), 9u);
  // Showing a finished tree again (nothing grew) ends hot tracking.
  outline->SyncToPage(report->pages[5].get());
  EXPECT_FALSE(outline->HotTrack);
  EXPECT_FALSE(outline->ToolTips);
  // The viewer paints the tree: the selected label navy.
  outline->SelectPage(4);
  gdi::TBitmap b;
  outline->PaintToBitmap(b);
  const win::RECT sel = outline->DisplayRect(outline->Selected(), true);
  const std::vector<std::uint32_t> px = b.Pixels();
  EXPECT_EQ(px[static_cast<size_t>(sel.top + 1) * static_cast<size_t>(b.Width()) + static_cast<size_t>(sel.left + 1)] & 0xFFFFFF,
            0x000080u);
  outline->SaveToPng("C:\\outline.png");
}

TEST_F(OutlineViewerTest, ClicksOnLabelsGoToTheirPagesOthersAreSwallowed) {
  Generate();
  outline->SyncToPage(report->pages[5].get());
  ClickLabel(Item("台中"));
  EXPECT_EQ(viewer->pagesAsked, (std::vector<int32_t>{3, 3}));  // the selection, then the click
  EXPECT_EQ(outline->Selected(), Item("台中"));
  // A double click does not fold the node; a right press does not select.
  const win::RECT main = outline->DisplayRect(Item("Main"), true);
  ui::SendDblClick(outline, main.left + 3, main.top + 3);
  EXPECT_TRUE(Item("Main")->Expanded());
  ui::SendMouseDown(outline, ui::TMouseButton::mbRight, main.left + 3, main.top + 3);
  EXPECT_EQ(outline->Selected(), Item("台中"));
  // An unfinished page's filler items lead nowhere.
  viewer->pagesAsked.clear();
  outline->LoadOutline(cls::ObjectAs<TppOutlineDrawCommand>(report->pages[1]->GetOutlineDrawCommand()));
  ClickLabel(Item("...more..."));
  EXPECT_TRUE(viewer->pagesAsked.empty());
}

TEST_F(OutlineViewerTest, ShowingAndHidingThroughThePopupMenu) {
  Generate();
  outline->SyncToPage(report->pages[5].get());
  auto* listener = new TOutlineListener(form);
  listener->viewer = viewer;
  outline->WalkieTalkie()->AddEventNotify(listener);
  EXPECT_EQ(outline->OutlinePopupMenu(), nullptr);
  outline->SetShowOutline(true);
  ui::TPopupMenu* menu = outline->OutlinePopupMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(viewer->PopupMenu, menu);
  EXPECT_EQ(outline->PopupMenu, menu);
  EXPECT_EQ(menu->Items().Items(0)->Caption, "Hide Outline");
  EXPECT_FALSE(viewer->RefitPending());
  EXPECT_EQ(ui::LockedWindow(), nullptr);
  // Collapse folds what lies under the single top node; Expand unfolds all.
  auto click = [&](int i) {
    const win::RECT r = menu->ItemRect(i);
    ASSERT_TRUE(ui::SendMenuClick(menu, r.left + 25, (r.top + r.bottom) / 2));
  };
  click(2);
  EXPECT_TRUE(Item("Main")->Expanded());
  EXPECT_FALSE(Item("台北")->Expanded());
  EXPECT_EQ(outline->VisibleNodes().size(), 4u);
  click(1);
  EXPECT_EQ(outline->VisibleNodes().size(), 9u);
  // A right click on the page viewer offers the menu; Hide hides the outline.
  ui::SendMouseDown(viewer, ui::TMouseButton::mbRight, 50, 50);
  ui::SendMouseUp(viewer, ui::TMouseButton::mbRight, 50, 50);
  EXPECT_EQ(menu->PopupComponent, viewer);
  click(0);
  EXPECT_FALSE(outline->GetShowOutline());
  EXPECT_EQ(menu->Items().Items(0)->Caption, "Show Outline");
  EXPECT_FALSE(menu->Items().Items(1)->Enabled);
  EXPECT_FALSE(menu->Items().Items(2)->Enabled);
  EXPECT_EQ(listener->shown, (std::vector<bool>{true, false}));
  EXPECT_EQ(listener->refitDuring, (std::vector<bool>{true, true}));
  click(0);
  EXPECT_TRUE(outline->GetShowOutline());
  // A menu freed from outside leaves neither viewer holding it.
  menu->Free();
  EXPECT_EQ(viewer->PopupMenu, nullptr);
  EXPECT_EQ(outline->PopupMenu, nullptr);
  outline->SetShowOutline(true);  // a new one
  ASSERT_NE(outline->OutlinePopupMenu(), nullptr);
  EXPECT_EQ(viewer->PopupMenu, outline->OutlinePopupMenu());
  // Clear takes the items and the menu from both viewers.
  outline->Clear();
  EXPECT_EQ(outline->Items().Count(), 0);
  EXPECT_EQ(outline->OutlinePopupMenu(), nullptr);
  EXPECT_EQ(viewer->PopupMenu, nullptr);
  EXPECT_EQ(outline->NodesLoaded(), 0);
}

TEST_F(OutlineViewerTest, AFailingListenerLeavesNothingHeld) {
  testing_support_throwing::TThrower thrower(outline->WalkieTalkie());
  EXPECT_THROW(outline->SetShowOutline(false), std::runtime_error);
  EXPECT_FALSE(outline->GetShowOutline());
  EXPECT_EQ(outline->Busy(), 0);
  EXPECT_EQ(ui::LockedWindow(), nullptr);
  EXPECT_FALSE(viewer->RefitPending());
  // And it still works.
  thrower.fail = false;
  outline->SetShowOutline(true);
  EXPECT_TRUE(outline->GetShowOutline());
}

TEST_F(OutlineViewerTest, TheEmbeddedCommunicatorIsNotFreedFromOutside) {
  TppCommunicator* walkie = outline->WalkieTalkie();
  try {
    walkie->Free();
    FAIL() << "freed";
  } catch (const EPagewrightError& e) {
    EXPECT_STREQ(e.what(), "TppOutlineViewer.Notification: Do not try to free the embedded walkie talkie.");
  }
  EXPECT_EQ(outline->WalkieTalkie(), walkie);
  outline->SetShowOutline(true);  // still sends
  // A page viewer that goes is let go.
  viewer->Free();
  EXPECT_EQ(outline->Viewer(), nullptr);
  outline->SetShowOutline(false);
}

TEST_F(OutlineViewerTest, AnUnexpandedDrillDownShowsOnlyTheNoOutlineNode) {
  auto* summary = new TppSummaryBand(nullptr);
  summary->SetReport(report);
  auto* sub = new TppSubReport(nullptr);
  owned.push_back(sub);
  sub->SetBand(summary);
  auto* trigger = new TppDBText(nullptr);
  owned.push_back(trigger);
  trigger->SetBand(summary);
  sub->SetDrillDownComponent(trigger);
  Generate();
  ASSERT_GE(report->pages.size(), 2u);
  outline->SyncToPage(report->pages[1].get());
  EXPECT_EQ(Items(), (V{"NoOutline: DrillDown not supported"}));
  EXPECT_TRUE(outline->LoadedComplete());
  EXPECT_FALSE(outline->HotTrack);
}

TEST_F(OutlineViewerTest, ClickingAGroupTakesThePageViewerToItsPage) {
  auto* pageViewer = new TppViewer(form);
  pageViewer->SetParent(form);
  pageViewer->SetAlign(ui::TAlign::alClient);
  outline->SetViewer(pageViewer);
  report->PrinterSetup()->SetPrinterName("Screen");
  pageViewer->SetReport(report);
  report->PrintToDevices();
  ASSERT_EQ(pageViewer->GetAbsolutePageNo(), 1);
  outline->SyncToPage(pageViewer->GetCurrentPage());
  EXPECT_EQ(Items(), (V{"Main", "  台北", "    Page 1", "", "...more..."}));
  pageViewer->LastPage();
  outline->SyncToPage(pageViewer->GetCurrentPage());
  ClickLabel(Item("台中"));
  EXPECT_EQ(pageViewer->GetAbsolutePageNo(), 3);
  // Hiding the outline raises the page viewer's refit flag only meanwhile.
  outline->SetShowOutline(false);
  EXPECT_FALSE(pageViewer->RefitPending());
  EXPECT_EQ(pageViewer->PopupMenu, nullptr);  // never shown: no menu yet
}
