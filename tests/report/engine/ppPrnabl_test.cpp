#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/spool/printerdef.h"
#include "platform/spool/spool.h"
#include "report/engine/ppDB.h"
#include "report/engine/ppPrnabl.h"
#include "report/output/ppDevice.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrintr.h"
#include "tests/support/testroot.h"

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

// A printable as a concrete component would be, with switches for what
// descendants decide.
class TTestPrintable : public TppPrintable {
  CLS_DECLARE_CLASS(TTestPrintable, TppPrintable)
 public:
  explicit TTestPrintable(cls::TComponent* owner) : TppPrintable(owner) {
    SetDrawCommandClass(&TppDrawText::StaticClass());
  }
  cls::TObject* GetDesigner() override { return nullptr; }
  int GetLanguageIndex() override { return 0; }
  void Generate() override {}
  TppPrinter* GetPrinter() const override { return printer; }
  bool IsDataAware() override { return dataAware; }
  bool CanJustify() override { return canJustify; }
  void Changed() override { ++changes; }
  void AdjustBounds() override { ++adjustments; }
  TppPrinter* printer = nullptr;
  bool dataAware = false, canJustify = false;
  int changes = 0, adjustments = 0;
};
CLS_IMPLEMENT_COMPONENT(TTestPrintable)

class TTestPipeline : public TppDataPipeline {
  CLS_DECLARE_CLASS(TTestPipeline, TppDataPipeline)
 public:
  explicit TTestPipeline(cls::TComponent* owner) : TppDataPipeline(owner) {}
  bool GetActive() const override {
    if (failing) throw std::runtime_error("pipeline failed");
    return active;
  }
  TppDataType GetFieldDataType(const std::string& f) override { return f == "Amount" ? dtCurrency : dtString; }
  std::string GetFieldDisplayName(const std::string& f) override { return "Shown " + f; }
  bool CheckFieldName(const std::string& f) override { return f != "Rejected"; }
  bool active = true, failing = false;
};
CLS_IMPLEMENT_COMPONENT(TTestPipeline)

// Reads the stream properties an object defines from given values.
struct TValueFiler : cls::TFiler, cls::TReader {
  std::map<std::string, ReadProc> reads;
  std::map<std::string, bool> writes;
  std::string text;
  int64_t number = 0;
  void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
    reads[name] = read;
    writes[name] = write && hasData;
  }
  void Read(const std::string& name, const std::string& t, int64_t n = 0) {
    text = t;
    number = n;
    reads.at(name)(*this);
  }
  cls::TValueKind NextValue() override { return cls::vkString; }
  int64_t ReadInteger() override { return number; }
  double ReadFloat() override { return 0; }
  std::string ReadString() override { return text; }
  std::string ReadIdent() override { return text; }
  bool ReadBoolean() override { return false; }
  void SkipValue() override {}
  bool EndOfList() override { return true; }
  std::string ReadPropName() override { return {}; }
  int64_t Position() override { return 0; }
  void SetPosition(int64_t) override {}
};

// Owns the objects of one case, and a page of 82 x 100 mm with margins.
struct Printables : ::testing::Test {
  template <class T = TTestPrintable>
  T* Make() {
    objects.push_back(new T(nullptr));
    return static_cast<T*>(objects.back());
  }
  void SetUp() override {
    page = Make<TppPage>();
    TppPageDef* def = page->PageDef();
    def->SetmmWidth(82000);
    def->SetmmHeight(100000);
    def->SetmmMarginLeft(2000);
    def->SetmmMarginRight(3000);
    def->SetmmMarginTop(4000);
    def->SetmmMarginBottom(5000);
  }
  void TearDown() override {
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Free();
  }
  std::vector<cls::TObject*> objects;
  TppPage* page = nullptr;
};

// Collects the events a publisher sends, with the page's command count.
struct TEventLog {
  TEventLog(TppCommunicator* publisher, int id, TppPage* page) : listener(new TppCommunicator(nullptr)), page(page) {
    listener->EventMask().Include(id);
    listener->SetOnEventNotify({this, [](void* d, cls::TObject*, TppCommunicator*, int id, TraParamList*) {
                                  auto* log = static_cast<TEventLog*>(d);
                                  log->events.push_back({id, log->page->GetDrawCommandCount()});
                                }});
    publisher->AddEventNotify(listener);
    publisher->AddNotify(listener);
  }
  ~TEventLog() { listener->Free(); }
  TppCommunicator* listener;
  TppPage* page;
  std::vector<std::pair<int, int>> events;  // (id, commands on the page)
};

// ---- units ----

TEST_F(Printables, GeometryConvertsWithRoundingAndReadsStreamsUnconverted) {
  auto* a = Make();
  auto* b = Make();
  a->SetUnits(utMillimeters);
  b->SetUnits(utMillimeters);
  a->SetmmTop(8202);
  a->SetmmHeight(18000);
  EXPECT_FLOAT_EQ(a->Top(), 8.202f);
  EXPECT_FLOAT_EQ(a->Height(), 18.0f);
  b->SetTop(a->Top() + a->Height() + 2.0f);
  EXPECT_EQ(b->mmTop(), 28202);  // truncating the product would give 28201

  a->SetUnits(utInches);
  a->SetTop(1.0f);
  EXPECT_EQ(a->mmTop(), 25400);
  a->SetmmTop(12700);
  EXPECT_FLOAT_EQ(a->Top(), 0.5f);
  EXPECT_EQ(b->spWidth(), 65);  // the default size in screen pixels
  EXPECT_EQ(b->spHeight(), 17);

  int changes = a->changes;
  a->BeginLoading();
  a->SetTop(17.6f);
  a->EndReading();
  EXPECT_EQ(a->mmTop(), 17);
  EXPECT_EQ(a->changes, changes);
}

// A printer whose horizontal resolution is twice its vertical one.
struct PrinterUnits : Printables {
  void SetUp() override {
    Printables::SetUp();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(true);
    spool::PrinterDef d;
    d.name = "Wide";
    d.ports = {"LPT1:"};
    d.dpiX = 600;
    d.dpiY = 300;
    d.papers = {{9, 2100, 2970, "A4"}};
    d.backend = spool::PrinterBackend::Record;
    ASSERT_TRUE(spool::InstallPrinter(d));
    printer.SetPrinterName("Wide");
    ASSERT_NE(printer.OpenPrinterDC(), nullptr);  // the resolution comes with the context
  }
  void TearDown() override {
    Printables::TearDown();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(false);
  }
  testing_support::TempRoot root;
  TppPrinter printer;
};

TEST_F(PrinterUnits, LeftAndWidthUseTheHorizontalResolution) {
  auto* p = Make();
  p->printer = &printer;
  p->SetUnits(utPrinterPixels);
  p->SetLeft(600);
  p->SetWidth(1200);
  p->SetTop(300);
  EXPECT_EQ(p->mmLeft(), 25400);
  EXPECT_EQ(p->mmWidth(), 50800);
  EXPECT_EQ(p->mmTop(), 25400);
  EXPECT_FLOAT_EQ(p->Left(), 600);
  p->SetBoundsInUnits(300, 300, 300, 300);
  EXPECT_EQ(p->mmLeft(), 12700);
  EXPECT_EQ(p->mmHeight(), 25400);
}

TEST_F(Printables, BoundsNearTheThirtyTwoBitLimitsDoNotOverflow) {
  auto* p = Make();
  p->SetBounds(kMax, kMin, kMax, kMax);
  EXPECT_GT(p->spLeft(), 0);
  EXPECT_LT(p->spTop(), 0);
  // In thousandths the float read back is 2^31, one past the largest value.
  p->SetUnits(utMMThousandths);
  p->SetLeft(p->Left());
  EXPECT_EQ(p->mmLeft(), kMax);
  p->SetHeight(std::nanf(""));
  EXPECT_EQ(p->mmHeight(), 0);
  for (TppUnitType u : {utScreenPixels, utInches, utMillimeters, utPrinterPixels}) {
    p->SetUnits(u);
    p->SetBoundsInUnits(3e38f, -3e38f, std::numeric_limits<float>::infinity(), -1e20f);
    EXPECT_EQ(p->mmLeft(), kMax) << u;
    EXPECT_EQ(p->mmTop(), kMin) << u;
    EXPECT_EQ(p->mmWidth(), kMax) << u;
    EXPECT_EQ(p->mmHeight(), kMin) << u;
  }
  p->Convert(2096);  // old pixels at the extremes clamp too
  EXPECT_EQ(p->mmLeft(), kMax);
  TValueFiler f;
  p->DefineProperties(&f);
  f.Read("mmWidth", "", int64_t{1} << 40);
  EXPECT_EQ(p->mmWidth(), kMax);
  f.Read("mmTop", "", 16777217);  // not exact in a float
  EXPECT_EQ(p->mmTop(), 16777217);

  // A page definition at the limits (archives carry them) gives a clamped
  // printable rectangle to the command.
  page->PageDef()->SetmmWidth(kMax);
  page->PageDef()->SetmmMarginRight(kMin);
  p->SetDrawComponent(true);
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommand(0)->PageRect().Right, kMax);
}

TEST_F(Printables, AlignmentsFollowEachOtherAndParentFlagsExcludeEachOther) {
  auto* p = Make();
  p->SetAlignment(cls::taCenter);
  EXPECT_EQ(p->TextAlignment(), taCentered);
  p->SetTextAlignment(taFullJustified);  // refused: the class cannot justify
  EXPECT_EQ(p->TextAlignment(), taCentered);
  p->canJustify = true;
  p->SetTextAlignment(taFullJustified);
  EXPECT_EQ(p->Alignment(), cls::taLeftJustify);
  p->SetShiftWithParent(true);
  p->SetStretchWithParent(true);
  EXPECT_FALSE(p->ShiftWithParent());
}

TEST_F(Printables, FontChangesAdjustTheBounds) {
  auto* p = Make();
  gdi::TFont f;
  f.SetName("Arial");
  p->SetFont(&f);
  EXPECT_EQ(p->Font()->Name(), "Arial");
  int before = p->adjustments;
  p->Font()->SetSize(14);
  EXPECT_EQ(p->adjustments, before + 1);
}

// ---- draw commands ----

TEST_F(Printables, PrintToPageAddsTheCommandThenSendsTheCreateEvent) {
  auto* p = Make();
  p->SetTag(42);
  TEventLog log(p, ciComponentDrawCommandCreate, page);
  TppPage* pageAtHandler = page;
  p->OnDrawCommandCreate = {&pageAtHandler, [](void* d, cls::TObject*, cls::TObject* c) {
                              *static_cast<TppPage**>(d) = static_cast<TppDrawCommand*>(c)->Page();
                            }};
  p->InitDrawComponent();
  p->PrintToPage(page);
  ASSERT_EQ(page->GetDrawCommandCount(), 1);
  TppDrawCommand* c = page->GetDrawCommand(0);
  EXPECT_EQ(c->Component(), p);
  EXPECT_EQ(c->Tag(), 42);
  EXPECT_EQ(c->PageRect(), (TppRect{2000, 4000, 79000, 95000}));
  EXPECT_FALSE(c->Clickable());
  EXPECT_EQ(pageAtHandler, nullptr);  // the handler sees it before the page does
  EXPECT_EQ(log.events, (std::vector<std::pair<int, int>>{{ciComponentDrawCommandCreate, 1}}));

  // The command outlives its maker without a dangling component or handler.
  objects.erase(std::find(objects.begin(), objects.end(), p));
  p->Free();
  EXPECT_EQ(c->Component(), nullptr);
  EXPECT_FALSE(c->OnClick.Assigned());
}

TEST_F(Printables, AnInvisibleObjectOrOneWithoutACommandClassAddsNothing) {
  auto* p = Make();
  TEventLog log(p, ciComponentDrawCommandCreate, page);
  p->PrintToPage(page);  // not due
  p->SetVisible(false);
  p->InitDrawComponent();
  EXPECT_FALSE(p->DrawComponent());
  p->SetDrawComponent(true);
  p->PrintToPage(page);  // invisible, whatever DrawComponent says
  p->SetVisible(true);
  p->SetDrawCommandClass(&TTestPipeline::StaticClass());
  p->PrintToPage(page);  // not a draw command class
  p->SetDrawCommandClass(nullptr);
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommandCount(), 0);
  EXPECT_TRUE(log.events.empty());
}

TEST_F(Printables, ClicksReachTheHandlerThenTheSubscribers) {
  auto* p = Make();
  p->SetDrawComponent(true);
  {
    TEventLog log(p, ciComponentDrawCommandClick, page);  // a subscriber makes it clickable
    p->PrintToPage(page);
    ASSERT_TRUE(page->GetDrawCommand(0)->Clickable());
    page->GetDrawCommand(0)->DoClick();
    p->DoOnDrawCommandClick(p);  // not a draw command: ignored
    EXPECT_EQ(log.events.size(), 1u);
  }
  std::vector<cls::TObject*> clicked;
  p->OnDrawCommandClick = {&clicked, [](void* d, cls::TObject*, cls::TObject* c) {
                             static_cast<std::vector<cls::TObject*>*>(d)->push_back(c);
                           }};
  p->PrintToPage(page);
  TppDrawCommand* c = page->GetDrawCommand(1);
  EXPECT_TRUE(c->Clickable());
  c->DoClick();
  EXPECT_EQ(clicked, std::vector<cls::TObject*>{c});
}

// ---- data ----

TEST_F(Printables, DataComesOnlyFromAnActivePipelineThatAcceptsTheField) {
  auto* p = Make();
  auto* pipeline = new TTestPipeline(nullptr);
  p->SetDataPipeline(pipeline);
  p->SetDataField("Amount");
  EXPECT_EQ(p->DataField(), "");  // not data-aware
  p->dataAware = true;
  p->SetDataField("Amount");
  EXPECT_TRUE(p->IsDataAvailable());
  p->SetDrawComponent(true);
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommand(0)->DataType(), dtCurrency);

  pipeline->failing = true;
  EXPECT_FALSE(p->IsDataAvailable());
  pipeline->failing = false;
  p->SetDesigning(true);
  p->SetDataField("Rejected");
  EXPECT_FALSE(p->IsDataAvailable());
  EXPECT_EQ(p->Caption(), "Shown Rejected");
  p->SetDesigning(false);

  int changes = p->changes;
  pipeline->Free();
  EXPECT_EQ(p->DataPipeline(), nullptr);
  EXPECT_EQ(p->changes, changes + 1);
  p->SetDataField("Qty");
  EXPECT_EQ(p->Caption(), "Qty");
}

TEST_F(Printables, OldDefinitionsAreReadAndConverted) {
  auto* p = Make();
  auto* items = Make<TTestPipeline>();
  items->SetName("Items");
  p->SetName("Text1");
  p->dataAware = true;
  p->SetBounds(96, 48, 192, 24);  // screen pixels, as version 2096 kept them
  TValueFiler f;
  p->DefineProperties(&f);
  EXPECT_FALSE(f.writes.at("DataPipelineName"));  // none assigned
  f.Read("ReportField", "CustomerName");
  f.Read("Alignment", "taCenter");  // not published by this class: an old name
  f.Read("DataPipelineName", "ITEMS");
  p->Convert(1269);
  EXPECT_EQ(p->DataField(), "CustomerName");
  EXPECT_EQ(p->Alignment(), cls::taCenter);
  EXPECT_EQ(p->mmLeft(), 25400);
  EXPECT_EQ(p->mmHeight(), 6350);
  EXPECT_EQ(p->UserName(), "Text1");
  p->ResolveDataPipeline({items});
  EXPECT_EQ(p->DataPipeline(), items);
}

class TPublishedPrintable : public TTestPrintable {
  CLS_DECLARE_CLASS(TPublishedPrintable, TTestPrintable)
 public:
  explicit TPublishedPrintable(cls::TComponent* owner) : TTestPrintable(owner) {}
};
CLS_IMPLEMENT_COMPONENT(TPublishedPrintable)

TEST_F(Printables, DescendantsPublishTheirSubsetByName) {
  auto& c = TPublishedPrintable::StaticClass();
  static bool published = (TppPrintable::PublishProperties(c, {"Alignment", "Caption", "Left", "Visible"}), true);
  ASSERT_TRUE(published);
  EXPECT_THROW(TppPrintable::PublishProperties(c, {"Colour"}), EPagewrightError);
  auto* p = Make<TPublishedPrintable>();
  ASSERT_NE(cls::GetPropInfo(p, "OnPrint"), nullptr);  // every printable's
  p->SetUnits(utMillimeters);
  cls::SetFloatProp(p, "Left", 12.5);
  EXPECT_EQ(p->mmLeft(), 12500);
  EXPECT_FALSE(cls::GetPropInfo(p, "Left")->IsStored(p));  // the stream carries mmLeft
  cls::SetEnumProp(p, "Alignment", "taRightJustify");
  EXPECT_EQ(p->TextAlignment(), taRightJustified);
}

}  // namespace
