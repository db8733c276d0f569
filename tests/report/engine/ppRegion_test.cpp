// Regions: what they hold and how they move it, and their generation by the
// page generation engine with the engine tests' fixed component and line
// stretchable: growth with the lines, continuation pages, the keep-together
// trial, pages made again from the cache, and regions that can never fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/engine/ppBands.h"
#include "report/engine/ppEngine.h"
#include "report/engine/ppRegion.h"
#include "report/engine/ppReport.h"
#include "report/model/ppRTTI.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"
#include "tests/report/engine/ppReportTest.h"
#include "tests/report/engine/ppTestDoubles.h"

using namespace engine_doubles;

namespace {

struct TCommand {
  cls::TComponent* component;
  int32_t top, height;
  bool operator==(const TCommand&) const = default;
};

// Keeps the commands of every drawn page (not calculation pages).
class TRegionReport : public TppReport {
  CLS_DECLARE_CLASS(TRegionReport, TppReport)
 public:
  explicit TRegionReport(cls::TComponent* owner) : TppReport(owner) {}
  void SendPage(cls::TObject* sender) override {
    TppPage* p = Engine()->Page();
    if (!p->Calculation()) {
      std::vector<TCommand> page;
      for (int i = 0; i < p->GetDrawCommandCount(); ++i) {
        TppDrawCommand* c = p->GetDrawCommand(i);
        if (c == p->GetOutlineDrawCommand()) continue;  // the report's outline, not a component's
        page.push_back({c->Component(), c->Top(), c->Height()});
      }
      pages.push_back(page);
    }
    TppReport::SendPage(sender);
  }
  std::vector<std::vector<TCommand>> pages;
};
CLS_IMPLEMENT_COMPONENT(TRegionReport)

// Counts the ones freed.
class TCounted : public TFixed {
  CLS_DECLARE_CLASS(TCounted, TFixed)
 public:
  explicit TCounted(cls::TComponent* owner) : TFixed(owner) {}
  ~TCounted() override { ++freed; }
  static inline int freed = 0;
};
CLS_IMPLEMENT_COMPONENT(TCounted)

// Millimetres; a page of 80 x 100 mm with 10 mm margins: the body is 10-90.
// Regions and components outside regions are the fixture's (Add); the
// regions free their own.
struct Regions : TReportTest<TRegionReport> {
  void SetUp() override {
    ppRegisterEngineUnit();
    MakeReport(80000, 100000, 10000);
    componentWidth = 40000;
  }
  // TOP is relative to the region.
  template <class T>
  T* AddTo(TppRegion* region, int32_t top, int32_t height) {
    auto* c = new T(nullptr);
    c->SetBand(region->Band());
    c->SetRegion(region);
    c->SetmmTop(region->mmTop() + top);
    c->SetmmHeight(height);
    c->SetmmWidth(30000);
    return c;
  }
  TLines* AddLines(TppRegion* region, int32_t top, int lines, int32_t pitch = 10000) {
    auto* c = AddTo<TLines>(region, top, 10000);
    c->lines = lines;
    c->pitch = pitch;
    c->SetStretch(true);
    return c;
  }
  std::string RunFailing() {
    try {
      Request(TppPageSettingType::psAll);
    } catch (const EPrintError& e) {
      return e.Message();
    }
    return std::string();
  }
  static const TCommand* Find(const std::vector<TCommand>& page, cls::TComponent* c) {
    for (const TCommand& s : page)
      if (s.component == c) return &s;
    return nullptr;
  }
};

}  // namespace

// ---- what a region holds ----

TEST_F(Regions, ComponentsJoinTheRegionsBandAndLeaveWhenFreed) {
  auto* detail = AddBand<TppDetailBand>(30);
  auto* title = AddBand<TppTitleBand>(30);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  auto* other = Add<TFixed>(detail, 0, 5000);
  auto* label = new TFixed(nullptr);
  label->SetBand(title);
  label->SetRegion(region);
  EXPECT_EQ(label->Band(), detail);
  EXPECT_EQ(title->ObjectCount(), 0);
  EXPECT_EQ(label->Region(), region);
  EXPECT_EQ(label->GetParent(), region);
  auto* second = AddTo<TCounted>(region, 5000, 5000);
  EXPECT_EQ(region->ObjectCount(), 2);
  EXPECT_EQ(second->ZOrderIndex(), 1);
  // Only regions take components; a region takes no region.
  second->SetRegion(other);
  EXPECT_EQ(second->Region(), region);
  auto* inner = new TppRegion(nullptr);
  inner->SetBand(detail);
  region->AddObject(inner);
  EXPECT_EQ(region->ObjectCount(), 2);
  inner->Free();
  // Leaving the region, and being freed inside it.
  label->SetRegion(nullptr);
  EXPECT_EQ(label->Region(), nullptr);
  EXPECT_EQ(region->ObjectCount(), 1);
  EXPECT_EQ(label->Band(), detail);
  label->Free();
  TCounted::freed = 0;
  region->AddObject(AddTo<TFixed>(region, 0, 1000));  // directly: through SetRegion
  EXPECT_EQ(region->ObjectCount(), 2);
  region->Objects(1)->Free();
  EXPECT_EQ(region->ObjectCount(), 1);
  // A stream reader's parent: a region places the component in it and in
  // its band; the region writes its objects inside it.
  auto* read = new TFixed(nullptr);
  read->SetParentComponent(region);
  EXPECT_EQ(read->Region(), region);
  EXPECT_EQ(read->Band(), detail);
  std::vector<cls::TComponent*> children;
  region->GetChildren([&](cls::TComponent* c) { children.push_back(c); }, nullptr);
  EXPECT_EQ(children, (std::vector<cls::TComponent*>{second, read}));
  read->SetParentComponent(title);
  EXPECT_EQ(read->Band(), title);
  read->SetRegion(nullptr);
  read->Free();
  // Freeing the region frees what it holds.
  owned.erase(std::find(owned.begin(), owned.end(), region));
  region->Free();
  EXPECT_EQ(TCounted::freed, 1);
  EXPECT_EQ(detail->ObjectCount(), 1);
}

TEST_F(Regions, StretchingMemberMakesTheRegionStretchAndMovesFollowTheRegion) {
  auto* detail = AddBand<TppDetailBand>(40);
  auto* region = Add<TppRegion>(detail, 5000, 20000);
  region->SetmmLeft(2000);
  EXPECT_FALSE(region->Stretch());
  auto* label = AddTo<TFixed>(region, 0, 5000);
  label->SetmmLeft(3000);
  auto* wide = AddTo<TFixed>(region, 10000, 5000);
  wide->SetParentWidth(true);
  EXPECT_EQ(wide->mmLeft(), 2000);
  EXPECT_EQ(wide->mmWidth(), 40000);
  AddLines(region, 6000, 2);
  EXPECT_TRUE(region->Stretch());
  EXPECT_EQ(detail->PrintHeight(), phDynamic);

  region->SetmmTop(region->mmTop() + 1000);
  EXPECT_EQ(label->mmTop(), 6000);
  EXPECT_EQ(wide->mmTop(), 16000);
  region->SetmmLeft(4000);
  EXPECT_EQ(label->mmLeft(), 5000);
  // A new size fits the members that follow the region's width.
  region->SetmmWidth(30000);
  EXPECT_EQ(wide->mmLeft(), 4000);
  EXPECT_EQ(wide->mmWidth(), 30000);
  EXPECT_EQ(label->mmWidth(), 30000);  // its own width, set by the fixture
}

TEST_F(Regions, RegionMovesInItsBandWithItsMembersRightBehindIt) {
  auto* detail = AddBand<TppDetailBand>(40);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  auto* a = AddTo<TFixed>(region, 0, 5000);
  auto* b = AddTo<TFixed>(region, 5000, 5000);
  auto* x = Add<TFixed>(detail, 30000, 5000);
  auto order = [&] {
    std::vector<TppComponent*> out;
    for (int i = 0; i < detail->ObjectCount(); ++i) out.push_back(detail->Objects(i));
    return out;
  };
  region->BringToFront();
  EXPECT_EQ(order(), (std::vector<TppComponent*>{x, region, a, b}));
  EXPECT_EQ(region->GetNextSibling(), nullptr);
  region->SendToBack();
  EXPECT_EQ(order(), (std::vector<TppComponent*>{region, a, b, x}));
  EXPECT_EQ(region->GetNextSibling(), x);
  // Inside the region only the region's order changes.
  a->BringToFront();
  EXPECT_EQ(region->Objects(1), a);
  EXPECT_EQ(order(), (std::vector<TppComponent*>{region, a, b, x}));
}

TEST_F(Regions, TransparencyAndTheClearBrushFollowEachOther) {
  auto* detail = AddBand<TppDetailBand>(40);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  region->SetTransparent(true);
  EXPECT_EQ(region->Brush()->Style, gdi::TBrushStyle::bsClear);
  region->SetColorAndTransparency(gdi::clRed, false);
  EXPECT_FALSE(region->Transparent());
  EXPECT_EQ(region->Brush()->Style, gdi::TBrushStyle::bsSolid);
  EXPECT_EQ(region->Brush()->Color, gdi::clRed);
  gdi::TBrush clear;
  clear.Style = gdi::TBrushStyle::bsClear;
  region->SetBrush(&clear);
  EXPECT_TRUE(region->Transparent());
  region->SetFontColor(gdi::clBlue);
  EXPECT_EQ(region->Pen()->Color, gdi::clBlue);
}

TEST_F(Regions, ByNameTheRegionGivesItsObjects) {
  auto* detail = AddBand<TppDetailBand>(40);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  auto* label = AddTo<TFixed>(region, 0, 5000);
  EXPECT_EQ(cls::FindClass("TppRegion"), &TppRegion::StaticClass());
  TraValue count;
  ASSERT_TRUE(raGetPropValue(region, "ObjectCount", count));
  EXPECT_EQ(std::get<int32_t>(count), 1);
  const TraRTTI* rtti = raGetRTTIClass(region->ClassType());
  ASSERT_NE(rtti, nullptr);
  cls::Owned<TraParamList> params(rtti->GetParams("Objects"));
  ASSERT_TRUE(params);
  int32_t index = 0;
  TppComponent* result = nullptr;
  params->SetParamAddress("Index", &index);
  params->SetParamAddress("Result", &result);
  ASSERT_TRUE(rtti->CallMethod(region, "Objects", params.get()));
  EXPECT_EQ(result, label);
  index = 1;  // past the end
  EXPECT_FALSE(rtti->CallMethod(region, "Objects", params.get()));
}

// ---- generation ----

TEST_F(Regions, RegionGrowsWithItsLinesAndIsDrawnUnderItsMembers) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 5000, 20000);
  auto* label = AddTo<TFixed>(region, 0, 10000);
  TLines* lines = AddLines(region, 10000, 3);
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 1u);
  // Frame from the region's top to the last line; members in their order.
  std::vector<TCommand> expected{{region, 15000, 40000}, {label, 15000, 10000}, {lines, 25000, 30000}};
  EXPECT_EQ(report->pages[0], expected);
}

TEST_F(Regions, LinesGoOnOverPagesAndPagesComeBackFromTheCache) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 5000, 20000);
  auto* label = AddTo<TFixed>(region, 0, 10000);
  TLines* lines = AddLines(region, 10000, 16);
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 3u);
  const auto& pages = report->pages;
  EXPECT_EQ(pages[0], (std::vector<TCommand>{{region, 15000, 70000}, {label, 15000, 10000}, {lines, 25000, 60000}}));
  // The label printed once; the lines go on from the top.
  EXPECT_EQ(pages[1], (std::vector<TCommand>{{region, 10000, 80000}, {lines, 10000, 80000}}));
  EXPECT_EQ(pages[2], (std::vector<TCommand>{{region, 10000, 20000}, {lines, 10000, 20000}}));
  auto first = report->pages;
  for (int32_t no : {2, 3, 1}) {
    report->pages.clear();
    Request(TppPageSettingType::psSinglePage, no);
    ASSERT_EQ(report->pages.size(), 1u) << no;
    EXPECT_EQ(report->pages[0], first[static_cast<size_t>(no - 1)]) << no;
  }
}

TEST_F(Regions, ReprintedLabelComesBackAtTheTopOfEachContinuation) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  auto* label = AddTo<TFixed>(region, 0, 10000);
  label->SetReprintOnOverFlow(true);
  AddLines(region, 10000, 12);
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_NE(Find(report->pages[1], label), nullptr);
  EXPECT_EQ(Find(report->pages[1], label)->top, 10000);
}

// A 60 mm detail (10-70), then a summary holding a region: a 10 mm label
// and three 10 mm lines, 40 mm in all where 20 mm are left.
struct KeptRegion : Regions {
  void SetUp() override {
    Regions::SetUp();
    Add<TFixed>(AddBand<TppDetailBand>(60), 0, 60000);
    auto* summary = AddBand<TppSummaryBand>(20, phDynamic);
    region = Add<TppRegion>(summary, 0, 20000);
    label = AddTo<TFixed>(region, 0, 10000);
    lines = AddLines(region, 10000, 3);
  }
  TppRegion* region = nullptr;
  TFixed* label = nullptr;
  TLines* lines = nullptr;
};

TEST_F(KeptRegion, KeepTogetherMovesTheWholeRegionToTheNextPage) {
  region->SetKeepTogether(true);
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(Find(report->pages[0], region), nullptr);
  EXPECT_EQ(Find(report->pages[0], label), nullptr);
  EXPECT_EQ(Find(report->pages[0], lines), nullptr);
  EXPECT_EQ(report->pages[1],
            (std::vector<TCommand>{{region, 10000, 40000}, {label, 10000, 10000}, {lines, 20000, 30000}}));
  EXPECT_FALSE(region->KeptTogether());
}

TEST_F(KeptRegion, WithoutKeepTogetherTheLinesSplit) {
  Request(TppPageSettingType::psAll);
  ASSERT_EQ(report->pages.size(), 2u);
  EXPECT_EQ(*Find(report->pages[0], region), (TCommand{region, 70000, 20000}));
  EXPECT_EQ(*Find(report->pages[0], label), (TCommand{label, 70000, 10000}));
  EXPECT_EQ(*Find(report->pages[0], lines), (TCommand{lines, 80000, 10000}));
  EXPECT_EQ(report->pages[1], (std::vector<TCommand>{{region, 10000, 20000}, {lines, 10000, 20000}}));
}

// ---- regions that can never fit ----

TEST_F(Regions, RegionWithALabelTallerThanTheBodyEndsWithAnError) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  region->SetStretch(true);
  region->SetUserName("Tall");
  AddTo<TFixed>(region, 0, 100000);
  report->SetPageLimit(20);
  std::string message = RunFailing();
  EXPECT_NE(message.find("Tall"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 1u);
}

TEST_F(Regions, FixedRegionTallerThanTheBodyEndsWithAnError) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 0, 100000);
  region->SetUserName("Fixed");
  AddTo<TFixed>(region, 0, 10000);
  report->SetPageLimit(20);
  std::string message = RunFailing();
  EXPECT_NE(message.find("Fixed"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 1u);
}

// Before the guard looked inside regions, the reprinted label made every
// page look like progress: pages without end.
TEST_F(Regions, ReprintedLabelIsNoProgressForLinesThatNeverFit) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  region->SetUserName("Looping");
  auto* label = AddTo<TFixed>(region, 0, 10000);
  label->SetReprintOnOverFlow(true);
  TLines* lines = AddLines(region, 10000, 2, 95000);
  report->SetPageLimit(20);
  std::string message = RunFailing();
  EXPECT_NE(message.find("Looping"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 3u);
  EXPECT_EQ(lines->done, 0);
}

// The same with a frame that is not stretching: the frame is drawn on every
// page while the lines inside never place one.
TEST_F(Regions, FrameAloneIsNoProgressOnAContinuationPage) {
  auto* detail = AddBand<TppDetailBand>(30, phDynamic);
  auto* region = Add<TppRegion>(detail, 0, 20000);
  region->SetUserName("Frame");
  AddTo<TFixed>(region, 0, 5000);
  TLines* lines = AddLines(region, 5000, 3, 12000);
  region->SetStretch(false);
  report->SetPageLimit(20);
  std::string message = RunFailing();
  EXPECT_NE(message.find("Frame"), std::string::npos) << message;
  EXPECT_LE(report->pages.size(), 3u);
  EXPECT_EQ(lines->done, 0);
}
