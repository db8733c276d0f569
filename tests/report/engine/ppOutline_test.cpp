// The report outline built while a grouped report generates: the tree each
// page keeps, pages made again, declined nodes, hidden group bands, keep
// together, drill-down subreports, and the settings.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/classes/compstream.h"
#include "platform/classes/streams.h"
#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppGroup.h"
#include "report/engine/ppOutline.h"
#include "report/engine/ppReport.h"
#include "report/engine/ppSubRpt.h"
#include "report/output/ppOutlineDrawCommand.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"
#include "tests/support/pagesource.h"
#include "tests/support/ppListPipeline.h"

using namespace engine_doubles;

namespace {

using TValue = TppListPipeline::TValue;

// "Caption(page) > Child(page), ..." of a tree, depth first.
std::string Describe(const TppOutlineNode* n) {
  std::string s = n->Caption() + "(" + std::to_string(n->PageReference()) + ")";
  if (n->ChildCount() == 0) return s;
  s += " > ";
  for (int i = 0; i < n->ChildCount(); ++i) s += (i ? ", " : "") + Describe(n->OutlineChild(i));
  return "[" + s + "]";
}

std::string DescribeRoot(const TppOutlineNode* root) {
  std::string s;
  for (int i = 0; i < root->ChildCount(); ++i) s += (i ? "; " : "") + Describe(root->OutlineChild(i));
  return s;
}

// Keeps a copy of each sent page's outline command by page number.
class TOutlineReport : public TppReport {
  CLS_DECLARE_CLASS(TOutlineReport, TppReport)
 public:
  explicit TOutlineReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    ++sent;
    if (auto* c = cls::ObjectAs<TppOutlineDrawCommand>(p->GetOutlineDrawCommand())) {
      auto* copy = new TppOutlineDrawCommand(nullptr);
      copy->Assign(c);
      if (pages.size() <= static_cast<size_t>(p->AbsolutePageNo())) pages.resize(static_cast<size_t>(p->AbsolutePageNo()) + 1);
      pages[static_cast<size_t>(p->AbsolutePageNo())].reset(copy);
    }
    TppReport::SendPage(sender);
  }
  std::string GetDescriptionText() override { return description.empty() ? TppReport::GetDescriptionText() : description; }
  std::vector<cls::Owned<TppOutlineDrawCommand>> pages;
  int sent = 0;
  std::string description;
};
CLS_IMPLEMENT_COMPONENT(TOutlineReport)

// Page 80 x 100 mm with 10 mm margins; a NewPage group on Region with a
// 10 mm header and a 0 mm footer; 10 mm details: seven rows a page.
struct Outline : TReportTest<TOutlineReport> {
  void SetUp() override {
    ppRegisterEngineUnit();
    data = new TppListPipeline(nullptr);
    data->SetFieldNames({"Region", "Text"});
    auto add = [&](const char* region, std::vector<std::string> texts) {
      for (const std::string& t : texts) data->AddRecord({{"Region", TValue(std::string(region))}, {"Text", TValue(t)}});
    };
    add("台北", {"the cat sat", "Cats and a CAT.", "concatenate", "文中", "一cat", "兀乙", "scat", "(cat)", "cat cat",
               "catcat cat"});
    add("台中", {"dog", "功能", "bird"});
    add("高雄", {"憭", "-", "-", "-", "-", "-", "-", "CAT"});
    MakeReport(80000, 100000, 10000);
    report->SetDataPipeline(data);
    group = new TppGroup(nullptr);
    group->SetReport(report);
    group->SetDataPipeline(data);
    group->SetBreakName("Region");
    group->SetNewPage(true);
    header = new TppGroupHeaderBand(nullptr);
    header->SetGroup(group);
    header->SetHeight(10);
    Add<TFixed>(header, 0, 10000);
    footer = new TppGroupFooterBand(nullptr);
    footer->SetGroup(group);
    footer->SetHeight(0);
    Add<TFixed>(AddBand<TppDetailBand>(10), 0, 10000);
  }
  void TearDown() override {
    TReportTest<TOutlineReport>::TearDown();
    data->Free();
  }
  TppOutlineDrawCommand* Page(size_t n) {
    return n < report->pages.size() ? report->pages[n].get() : nullptr;
  }
  std::string Tree(size_t n) { return Page(n) ? DescribeRoot(Page(n)->OutlineNode()) : "no command"; }

  TppListPipeline* data = nullptr;
  TppGroup* group = nullptr;
  TppGroupHeaderBand* header = nullptr;
  TppGroupFooterBand* footer = nullptr;
};

const char* const kFinalTree =
    "[Main(1) > [台北(1) > Page 1(1), Page 2(2)], [台中(3) > Page 3(3)], [高雄(4) > Page 4(4), Page 5(5)]]";

}  // namespace

TEST_F(Outline, EveryPageKeepsTheTreeAsItStoodAndTheLastIsComplete) {
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 6u);
  EXPECT_EQ(Tree(1), "[Main(1) > [台北(1) > Page 1(1)]]");
  EXPECT_FALSE(Page(1)->Complete());
  EXPECT_EQ(Tree(3), "[Main(1) > [台北(1) > Page 1(1), Page 2(2)], [台中(3) > Page 3(3)]]");
  EXPECT_EQ(Tree(5), kFinalTree);
  EXPECT_TRUE(Page(5)->Complete());
  const TppOutlineNode* main = Page(5)->OutlineNode()->OutlineChild(0);
  EXPECT_EQ(main->NodeType(), ntReport);
  EXPECT_EQ(main->OutlineChild(0)->NodeType(), ntGroup);
  EXPECT_EQ(main->OutlineChild(0)->OutlineChild(0)->NodeType(), ntPage);
  // Nothing is open once the report is done.
  TppOutline* outline = report->Outline();
  ASSERT_NE(outline, nullptr);
  for (TppTreeNode* n = outline->RootNode()->GetFirstChild(); n; n = n->GetNext())
    EXPECT_FALSE(static_cast<TppOutlineNode*>(n)->Open()) << static_cast<TppOutlineNode*>(n)->Caption();
}

TEST_F(Outline, PagesMadeAgainAddNoNodesAndANewGenerationStartsOver) {
  Request(TppPageSettingType::psSinglePage, 3);
  EXPECT_EQ(Tree(3), "[Main(1) > [台北(1) > Page 1(1), Page 2(2)], [台中(3) > Page 3(3)]]");
  // The preview goes back: page 1 comes from the cache, the tree stays.
  Request(TppPageSettingType::psSinglePage, 1);
  EXPECT_EQ(Tree(1), Tree(3));
  Request(TppPageSettingType::psSinglePage, 5);
  EXPECT_EQ(Tree(5), kFinalTree);
  EXPECT_EQ(report->Outline()->LastProcessedPage(), 5);
  // A new job resets the outline, which starts again from page 1; the
  // complete flag of the last run does not stay.
  report->ResetJobState();
  EXPECT_EQ(report->Outline(), nullptr);
  report->pages.clear();
  Request(TppPageSettingType::psSinglePage, 1);
  EXPECT_EQ(Tree(1), "[Main(1) > [台北(1) > Page 1(1)]]");
  EXPECT_FALSE(report->Outline()->CompleteFlag());
}

TEST_F(Outline, DeclinedNodesLeaveTheirChildrenOneLevelUp) {
  struct TDecliner {
    std::vector<std::string> seen;
    void Create(cls::TObject* sender, cls::TObject* node, bool& accept) {
      auto* n = static_cast<TppOutlineNode*>(node);
      EXPECT_NE(sender, nullptr);
      seen.push_back(n->Caption());
      if (n->Caption() == "台中" || n->Caption() == "Page 5") accept = false;
    }
  } decliner;
  report->OnOutlineNodeCreate = TppOutlineNodeCreateEvent(&decliner, &TDecliner::Create);
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(5), "[Main(1) > [台北(1) > Page 1(1), Page 2(2)], Page 3(3), [高雄(4) > Page 4(4)]]");
  EXPECT_EQ(decliner.seen,
            (std::vector<std::string>{"Main", "台北", "Page 1", "Page 2", "台中", "Page 3", "高雄", "Page 4", "Page 5"}));
}

TEST_F(Outline, Event88ComesBeforeTheHandlerAndMayDeclineToo) {
  std::vector<std::string> order;
  testing_support::TEventHook hook(report, {ciReportOutlineNodeCreate}, [&](TppCommunicator*, int, TraParamList* params) {
    cls::TObject* node = nullptr;
    ASSERT_TRUE(params && params->GetParam("Node", node));
    const std::string caption = static_cast<TppOutlineNode*>(node)->Caption();
    order.push_back("88 " + caption);
    if (caption == "台中") params->SetParamValue("Accept", TraValue(false));
  });
  struct THandler {
    std::vector<std::string>* order;
    void Create(cls::TObject*, cls::TObject* node, bool& accept) {
      order->push_back(std::string(accept ? "yes " : "no ") + static_cast<TppOutlineNode*>(node)->Caption());
    }
  } handler{&order};
  report->OnOutlineNodeCreate = TppOutlineNodeCreateEvent(&handler, &THandler::Create);
  Request(TppPageSettingType::psSinglePage, 3);
  EXPECT_EQ(Tree(3), "[Main(1) > [台北(1) > Page 1(1), Page 2(2)], Page 3(3)]");
  EXPECT_EQ(order[0], "88 Main");
  EXPECT_EQ(order[1], "yes Main");
  EXPECT_NE(std::find(order.begin(), order.end(), "no 台中"), order.end());
}

TEST_F(Outline, SettingsDecideNodesPageNodesAndTheCommand) {
  group->OutlineSettings()->SetCreateNode(false);
  report->OutlineSettings()->SetCreatePageNodes(false);
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(5), "Main(1)");
  // Without Enabled no page carries the outline, and none is made.
  report->ResetJobState();
  report->pages.clear();
  report->OutlineSettings()->SetEnabled(false);
  Request(TppPageSettingType::psAll);
  EXPECT_TRUE(report->pages.empty());
  EXPECT_EQ(report->sent, 10);
  EXPECT_EQ(report->Outline(), nullptr);
}

TEST_F(Outline, HiddenGroupBandsStillOpenAndCloseNodes) {
  // A hidden footer sends no end: the next break's header closes the node.
  // Until then it stays open, so the page that header starts counts for it too.
  footer->SetVisible(false);
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(5),
            "[Main(1) > [台北(1) > Page 1(1), Page 2(2), Page 3(3)], [台中(3) > Page 3(3), Page 4(4)], "
            "[高雄(4) > Page 4(4), Page 5(5)]]");
  // A hidden header: nodes start with the footer, on the page it prints on;
  // the pages before it belong to the report node.
  report->ResetJobState();
  report->pages.clear();
  footer->SetVisible(true);
  header->SetVisible(false);
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(3), "[Main(1) > Page 1(1), [台北(2) > Page 2(2)], [台中(3) > Page 3(3)]]");
}

TEST_F(Outline, AKeepTogetherGroupThatMovesTakesItsNodeAlong) {
  group->SetNewPage(false);
  group->SetKeepTogether(true);
  // B starts under A on page 1 but its six rows do not fit: it moves.
  data->ClearRecords();
  for (const char* region : {"A", "A", "B", "B", "B", "B", "B", "B"})
    data->AddRecord({{"Region", TValue(std::string(region))}, {"Text", TValue(std::string("x"))}});
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(2), "[Main(1) > [A(1) > Page 1(1)], [B(2) > Page 2(2)]]");
  // A group that starts a page breaks where it must and keeps its node.
  report->ResetJobState();
  report->pages.clear();
  data->ClearRecords();
  for (int i = 0; i < 9; ++i)
    data->AddRecord({{"Region", TValue(std::string("C"))}, {"Text", TValue(std::string("x"))}});
  Request(TppPageSettingType::psAll);
  EXPECT_EQ(Tree(2), "[Main(1) > [C(1) > Page 1(1), Page 2(2)]]");
}

TEST_F(Outline, ReportNodeCaptionIsTheDescriptionUpToItsColon) {
  report->description = "Orders: by date";
  Request(TppPageSettingType::psSinglePage, 1);
  EXPECT_EQ(Tree(1), "[Orders(1) > [台北(1) > Page 1(1)]]");
  report->ResetJobState();
  report->description = "No colon here";
  Request(TppPageSettingType::psSinglePage, 1);
  EXPECT_EQ(Tree(1), "[Main(1) > [台北(1) > Page 1(1)]]");
}

TEST_F(Outline, AnUnexpandedDrillDownForbidsTheOutline) {
  auto* summary = new TppSummaryBand(nullptr);
  summary->SetReport(report);
  auto* sub = new TppSubReport(nullptr);
  owned.push_back(sub);
  sub->SetBand(summary);
  auto* trigger = new TFixed(nullptr);
  owned.push_back(trigger);
  trigger->SetBand(summary);
  sub->SetDrillDownComponent(trigger);
  TppOutline* outline = report->CreateOutline();
  outline->Initialize();
  EXPECT_EQ(DescribeRoot(outline->RootNode()), "NoOutline: DrillDown not supported(-1)");
  EXPECT_EQ(outline->NoOutlineNode()->NodeType(), ntNoOutline);
  EXPECT_TRUE(outline->IsComplete());
  EXPECT_EQ(outline->NodeCreators(), nullptr);
  sub->SetExpandAll(true);  // a change resets the job: the outline goes
  EXPECT_EQ(report->Outline(), nullptr);
  outline = report->CreateOutline();
  outline->Initialize();
  EXPECT_FALSE(outline->CompleteFlag());
  ASSERT_NE(outline->NodeCreators(), nullptr);
  // Report > group creator; the summary's subreport after it.
  EXPECT_EQ(outline->NodeCreators()->ChildCount(), 2);
}

TEST_F(Outline, FailuresOfTheOutlineItself) {
  cls::Owned<TppOutline> outline(new TppOutline(nullptr));
  EXPECT_THROW(outline->Initialize(), EOutlineError);
  cls::Owned<TppPage> stranger(new TppPage(nullptr));
  EXPECT_THROW(outline->CreateNodeCreator(stranger.get(), nullptr), EOutlineError);
  // A report freed first leaves the outline without one.
  auto* other = new TppReport(nullptr);
  outline->SetReport(other);
  outline->Initialize();
  other->Free();
  EXPECT_EQ(outline->Report(), nullptr);
  EXPECT_EQ(outline->NodeCreators()->Component(), nullptr);
  EXPECT_THROW(outline->Initialize(), EOutlineError);
}

TEST_F(Outline, SettingsTellTheirOwnerAndKeepVisibleOnlyWhileEnabled) {
  struct TOwner : cls::TComponent, IppOutlineParticipant {
    TOwner() : cls::TComponent(nullptr) {}
    void OutlineChildren(std::vector<cls::TObject*>&) override {}
    cls::TClass OutlineNodeCreatorClass() override { return nullptr; }
    TppOutlineSettings* OutlineSettings() override { return nullptr; }
    void OutlineSettingsChanged() override { ++changes; }
    int changes = 0;
  };
  auto* owner = new TOwner;
  TppOutlineReportSettings s(owner), t(nullptr);
  s.SetCreateNode(false);
  t.SetCreatePageNodes(false);
  t.SetEnabled(false);
  s.Assign(&t);
  EXPECT_EQ(owner->changes, 2);
  EXPECT_FALSE(s.Enabled());
  EXPECT_FALSE(s.Visible());
  EXPECT_FALSE(s.CreatePageNodes());
  EXPECT_TRUE(s.CreateNode());
  s.SetVisible(true);
  EXPECT_FALSE(s.Visible());  // not without Enabled
  EXPECT_FALSE(cls::GetPropInfo(&s, "Visible")->IsStored(&s));
  s.SetEnabled(true);
  s.SetVisible(true);
  EXPECT_TRUE(cls::GetPropInfo(&s, "Visible")->IsStored(&s));
  cls::TStringList other;
  EXPECT_ANY_THROW(s.Assign(&other));
  owner->Free();
  // The settings stream with the report, the group and the subreport.
  report->OutlineSettings()->SetEnabled(false);
  report->OutlineSettings()->SetCreatePageNodes(false);
  group->OutlineSettings()->SetCreateNode(false);
  cls::RegisterClass(&TOutlineReport::StaticClass());
  cls::RegisterClass(&TFixed::StaticClass());
  cls::TMemoryStream stream;
  cls::WriteComponent(&stream, report, nullptr);
  stream.SetPosition(0);
  cls::TComponentReader reader;
  // Everything read belongs to one owner.
  cls::Owned<cls::TComponent> holder(new cls::TComponent(nullptr));
  auto* read = cls::ObjectAs<TppReport>(reader.ReadComponent(&stream, holder.get()));
  ASSERT_TRUE(read);
  EXPECT_FALSE(read->OutlineSettings()->Enabled());
  EXPECT_FALSE(read->OutlineSettings()->Visible());
  EXPECT_FALSE(read->OutlineSettings()->CreatePageNodes());
  ASSERT_EQ(read->GroupCount(), 1);
  EXPECT_FALSE(read->Groups(0)->OutlineSettings()->CreateNode());
  // Old reports have no outline.
  report->Convert(6000);
  EXPECT_FALSE(report->OutlineSettings()->Enabled());
  report->OutlineSettings()->SetEnabled(true);
  report->Convert(6100);
  EXPECT_TRUE(report->OutlineSettings()->Enabled());
}
