#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/classes/typinfo.h"
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
  explicit TTestPrintable(cls::TComponent* owner) : TppPrintable(owner) {}
  cls::TObject* GetDesigner() override { return nullptr; }
  int GetLanguageIndex() override { return 0; }
  void Generate() override {}
  TppPrinter* GetPrinter() const override { return printer; }
  bool IsDataAware() override { return dataAware; }
  bool CanJustify() override { return canJustify; }
  bool HasColor() override { return hasColor; }
  bool NeedsResetAtStart() override { return needsReset; }
  void Changed() override { ++changes; }
  void AdjustBounds() override { ++adjustments; }
  bool HasFont() override { return hasFont; }

  TppPrinter* printer = nullptr;
  bool hasFont = true;
  int adjustments = 0;
  bool dataAware = false;
  bool canJustify = false;
  bool hasColor = true;
  bool needsReset = false;
  int changes = 0;
};
CLS_IMPLEMENT_COMPONENT(TTestPrintable)

// A pipeline with fields of its own.
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
  bool active = true;
  bool failing = false;
};
CLS_IMPLEMENT_COMPONENT(TTestPipeline)

// Owns the objects of one case and frees them at the end.
struct Printables : ::testing::Test {
  template <class T = TTestPrintable>
  T* Make() {
    T* o = new T(nullptr);
    objects.push_back(o);
    return o;
  }
  void TearDown() override {
    for (auto it = objects.rbegin(); it != objects.rend(); ++it) (*it)->Free();
  }
  std::vector<cls::TObject*> objects;
};

// ---- units ----

TEST_F(Printables, MillimetresRoundWhenStoredSoASumOfReadValuesLandsOnTheThousandth) {
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
}

TEST_F(Printables, InchesAndReadingStreams) {
  auto* p = Make();
  EXPECT_EQ(p->Units(), utInches);
  p->SetTop(1.0f);
  EXPECT_EQ(p->mmTop(), 25400);
  EXPECT_FLOAT_EQ(p->Top(), 1.0f);
  p->SetmmTop(12700);
  EXPECT_FLOAT_EQ(p->Top(), 0.5f);
  p->SetmmTop(1);
  EXPECT_FLOAT_EQ(p->Top(), 0.0f);
  // Defaults: 65 x 17 screen pixels.
  EXPECT_EQ(p->spWidth(), 65);
  EXPECT_EQ(p->spHeight(), 17);

  // While read from a stream the value is kept truncated and unconverted,
  // with no notice.
  int before = p->changes;
  p->BeginLoading();
  p->SetTop(17.6f);
  p->SetLeft(-3.9f);
  p->EndReading();
  EXPECT_EQ(p->mmTop(), 17);
  EXPECT_EQ(p->mmLeft(), -3);
  EXPECT_EQ(p->changes, before);
}

TEST_F(Printables, ScreenPixelsAndBoundsInUnits) {
  auto* p = Make();
  p->SetspBounds(96, 48, 192, 24);
  EXPECT_EQ(p->mmLeft(), 25400);
  EXPECT_EQ(p->mmTop(), 12700);
  EXPECT_EQ(p->mmWidth(), 50800);
  EXPECT_EQ(p->mmHeight(), 6350);
  EXPECT_EQ(p->spLeft(), 96);
  TppRect r;
  p->GetDesignRect(r);
  EXPECT_EQ(r, (TppRect{0, 0, 192, 24}));

  p->SetUnits(utMillimeters);
  p->SetBoundsInUnits(1.5f, 2.0f, 30.25f, 4.0f);
  EXPECT_EQ(p->mmLeft(), 1500);
  EXPECT_EQ(p->mmTop(), 2000);
  EXPECT_EQ(p->mmWidth(), 30250);
  EXPECT_EQ(p->mmHeight(), 4000);
}

// A printer whose horizontal resolution is twice its vertical one.
class PrinterUnits : public Printables {
 protected:
  void SetUp() override {
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(true);
    spool::PrinterDef d;
    d.name = "Wide";
    d.ports = {"LPT1:"};
    d.dpiX = 600;
    d.dpiY = 300;
    d.papers = {{9, 2100, 2970, "A4"}};
    d.bins = {{7, "Automatic"}};
    d.backend = spool::PrinterBackend::Record;
    ASSERT_TRUE(spool::InstallPrinter(d));
    printer_.SetPrinterName("Wide");
    ASSERT_NE(printer_.OpenPrinterDC(), nullptr);  // the resolution comes with the device context
  }
  void TearDown() override {
    Printables::TearDown();
    ppPrintrFinalize();
    gdi::SetDeterministicMetrics(false);
  }
  testing_support::TempRoot root_;
  TppPrinter printer_;
};

TEST_F(PrinterUnits, LeftAndWidthUseTheHorizontalResolution) {
  int x = 0, y = 0;
  printer_.GetPixelsPerInch(x, y);
  ASSERT_EQ(x, 600);
  ASSERT_EQ(y, 300);
  auto* p = Make();
  p->printer = &printer_;
  p->SetUnits(utPrinterPixels);
  p->SetLeft(600);
  p->SetWidth(1200);
  p->SetTop(300);
  p->SetHeight(150);
  EXPECT_EQ(p->mmLeft(), 25400);
  EXPECT_EQ(p->mmWidth(), 50800);
  EXPECT_EQ(p->mmTop(), 25400);
  EXPECT_EQ(p->mmHeight(), 12700);
  EXPECT_FLOAT_EQ(p->Left(), 600);
  EXPECT_FLOAT_EQ(p->Width(), 1200);
  EXPECT_FLOAT_EQ(p->Top(), 300);
  EXPECT_FLOAT_EQ(p->Height(), 150);
  // The same in one call, and the screen's pixels are not the printer's.
  p->SetBoundsInUnits(300, 300, 300, 300);
  EXPECT_EQ(p->mmLeft(), 12700);
  EXPECT_EQ(p->mmTop(), 25400);
  EXPECT_EQ(p->mmWidth(), 12700);
  EXPECT_EQ(p->spLeft(), 48);
}

TEST_F(Printables, BoundsNearTheLimitsOfThirtyTwoBitsDoNotOverflow) {
  auto* p = Make();
  p->SetBounds(kMax, kMin, kMax, kMax);
  EXPECT_GT(p->spLeft(), 0);
  EXPECT_LT(p->spTop(), 0);
  EXPECT_GT(p->spWidth(), 0);
  TppRect r;
  p->GetDesignRect(r);
  EXPECT_GT(r.Right, 0);

  // In thousandths the float read back is 2^31, one past the largest value:
  // writing it back clamps.
  p->SetUnits(utMMThousandths);
  EXPECT_GE(p->Left(), 2147483647.0f);
  p->SetLeft(p->Left());
  EXPECT_EQ(p->mmLeft(), kMax);
  p->SetTop(p->Top());
  EXPECT_EQ(p->mmTop(), kMin);
  p->SetWidth(1e30f);
  EXPECT_EQ(p->mmWidth(), kMax);
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
  p->SetspBounds(kMax, kMin, kMax, kMin);
  EXPECT_EQ(p->mmLeft(), kMax);
  EXPECT_EQ(p->mmTop(), kMin);

  // Old definitions held pixels: converting the extremes clamps too.
  p->SetBounds(kMax, kMin, kMax, kMin);
  p->Convert(2096);
  EXPECT_EQ(p->mmLeft(), kMax);
  EXPECT_EQ(p->mmTop(), kMin);
}

// ---- setters ----

TEST_F(Printables, AlignmentsFollowEachOtherAndFullJustificationNeedsACapableClass) {
  auto* p = Make();
  p->SetAlignment(cls::taCenter);
  EXPECT_EQ(p->TextAlignment(), taCentered);
  p->SetTextAlignment(taRightJustified);
  EXPECT_EQ(p->Alignment(), cls::taRightJustify);
  p->SetTextAlignment(taFullJustified);
  EXPECT_EQ(p->TextAlignment(), taRightJustified);
  EXPECT_EQ(p->Alignment(), cls::taRightJustify);
  p->canJustify = true;
  p->SetTextAlignment(taFullJustified);
  EXPECT_EQ(p->TextAlignment(), taFullJustified);
  EXPECT_EQ(p->Alignment(), cls::taLeftJustify);
}

TEST_F(Printables, ShiftAndStretchExcludeEachOtherAndCaptionFeedsText) {
  auto* p = Make();
  p->SetShiftWithParent(true);
  p->SetStretchWithParent(true);
  EXPECT_FALSE(p->ShiftWithParent());
  p->SetShiftWithParent(true);
  EXPECT_FALSE(p->StretchWithParent());
  EXPECT_TRUE(p->ShiftWithParent());

  p->SetCaption("Total");
  std::string s;
  p->GetText(s);
  EXPECT_EQ(s, "Total");

  int before = p->changes;
  p->SetVisible(true);  // no change, no notice
  EXPECT_EQ(p->changes, before);
  p->hasColor = false;
  p->SetColor(0x0000FF);
  EXPECT_EQ(p->Color(), 0xFFFFFF);
  gdi::TColor c = 0;
  bool transparent = false;
  p->GetColorAndTransparency(c, transparent);
  EXPECT_TRUE(transparent);
  p->hasColor = true;
  p->SetColorAndTransparency(0x0000FF, false);
  EXPECT_EQ(p->Color(), 0x0000FF);
  p->SetColorAndTransparency(0x00FF00, true);
  EXPECT_EQ(p->Color(), 0x0000FF);
  EXPECT_TRUE(p->Transparent());
}

TEST_F(Printables, FontChangesAdjustTheBounds) {
  auto* p = Make();
  gdi::TFont f;
  f.SetName("Arial");
  f.SetSize(12);
  f.SetColor(0x0000FF);
  p->SetFont(&f);
  EXPECT_EQ(p->Font()->Name(), "Arial");
  EXPECT_EQ(p->Font()->Size(), 12);
  EXPECT_GT(p->adjustments, 0);
  int before = p->adjustments;
  p->Font()->SetSize(14);  // a change of the font itself
  EXPECT_EQ(p->adjustments, before + 1);
  p->SetFont(nullptr);
  EXPECT_EQ(p->Font()->Size(), 14);
  EXPECT_EQ(cls::GetPropInfo(p, "Font"), nullptr);  // not published by this class

  gdi::TColor c = 0;
  bool transparent = false;
  p->GetFontColorAndTransparency(c, transparent);
  EXPECT_EQ(c, 0x0000FF);
  EXPECT_FALSE(transparent);
  p->hasFont = false;
  p->SetFontColor(0x00FF00);
  p->GetFontColorAndTransparency(c, transparent);
  EXPECT_TRUE(transparent);
  EXPECT_EQ(p->Font()->Color(), 0x0000FF);
}

// ---- generation steps ----

TEST_F(Printables, GenerationStepsSetAndClearTheirFlags) {
  auto* p = Make();
  p->SetOverFlow(true);
  p->InitGeneration();
  EXPECT_FALSE(p->OverFlow());
  EXPECT_FALSE(p->ResetOnCompute());
  p->needsReset = true;
  p->InitGeneration();
  EXPECT_TRUE(p->ResetOnCompute());

  p->InitDrawComponent();
  EXPECT_TRUE(p->DrawComponent());
  p->UpdateDrawComponent();
  EXPECT_TRUE(p->DrawComponent());  // not complete yet
  p->SetGenerationComplete(true);
  p->UpdateDrawComponent();
  EXPECT_FALSE(p->DrawComponent());

  p->SetVisible(false);
  p->InitDrawComponent();
  EXPECT_FALSE(p->DrawComponent());

  p->SetSpaceUsed(500);
  p->SetOutOfSpace(true);
  p->ClearPrintState();
  EXPECT_FALSE(p->GenerationComplete());
  EXPECT_EQ(p->SpaceUsed(), 0);
  EXPECT_FALSE(p->OutOfSpace());
}

// Records the events a publisher sends, with the page's command count at
// the time.
struct TEventLog {
  explicit TEventLog(TppCommunicator* publisher, std::initializer_list<int> ids, TppPage* page = nullptr)
      : listener(new TppCommunicator(nullptr)), page(page) {
    for (int id : ids) listener->EventMask().Include(id);
    listener->OnEventNotify = {this, [](void* d, cls::TObject*, TppCommunicator*, int id, TraParamList* params) {
                                 auto* log = static_cast<TEventLog*>(d);
                                 log->ids.push_back(id);
                                 log->commandsAtEvent.push_back(log->page ? log->page->GetDrawCommandCount() : -1);
                                 log->hadParams = log->hadParams || params;
                               }};
    publisher->AddEventNotify(listener);
    publisher->AddNotify(listener);  // linked, so the publisher knows what it wants
  }
  ~TEventLog() { listener->Free(); }
  TppCommunicator* listener;
  TppPage* page;
  std::vector<int> ids;
  std::vector<int> commandsAtEvent;
  bool hadParams = false;
};

class PrintToPage : public Printables {
 protected:
  void SetUp() override {
    page = Make<TppPage>();
    TppPageDef* def = page->PageDef();
    def->SetmmWidth(82000);
    def->SetmmHeight(100000);
    def->SetmmMarginLeft(2000);
    def->SetmmMarginRight(3000);
    def->SetmmMarginTop(4000);
    def->SetmmMarginBottom(5000);
    p = Make();
    p->SetDrawCommandClass(&TppDrawText::StaticClass());
    p->SetTag(42);
  }
  TppPage* page = nullptr;
  TTestPrintable* p = nullptr;
};

TEST_F(PrintToPage, AVisibleObjectAddsItsCommandAndSendsTheCreateEvent) {
  TEventLog log(p, {ciComponentDrawCommandCreate}, page);
  struct Seen {
    TppDrawCommand* command = nullptr;
    TppPage* pageAtHandler = reinterpret_cast<TppPage*>(1);
  } seen;
  p->OnDrawCommandCreate = {&seen, [](void* d, cls::TObject*, cls::TObject* c) {
                              auto* s = static_cast<Seen*>(d);
                              s->command = cls::ObjectAs<TppDrawCommand>(c);
                              s->pageAtHandler = s->command ? s->command->Page() : nullptr;
                            }};
  p->InitDrawComponent();
  p->PrintToPage(page);

  ASSERT_EQ(page->GetDrawCommandCount(), 1);
  TppDrawCommand* c = page->GetDrawCommand(0);
  EXPECT_EQ(c->ClassType(), &TppDrawText::StaticClass());
  EXPECT_EQ(c->Owner(), page);
  EXPECT_EQ(c->Page(), page);
  EXPECT_EQ(c->Component(), p);
  EXPECT_EQ(c->Tag(), 42);
  EXPECT_EQ(c->DataType(), dtString);
  EXPECT_EQ(c->PageRect(), (TppRect{2000, 4000, 79000, 95000}));
  EXPECT_FALSE(c->Clickable());
  // The handler sees the command before it is on the page; the event after.
  EXPECT_EQ(seen.command, c);
  EXPECT_EQ(seen.pageAtHandler, nullptr);
  EXPECT_EQ(log.ids, std::vector<int>{ciComponentDrawCommandCreate});
  EXPECT_EQ(log.commandsAtEvent, std::vector<int>{1});
  EXPECT_FALSE(log.hadParams);

  // Freeing the object leaves the command on its page without a dangling
  // component or click handler.
  objects.erase(std::find(objects.begin(), objects.end(), p));
  p->Free();
  EXPECT_EQ(c->Component(), nullptr);
  EXPECT_FALSE(c->OnClick.Assigned());
  c->DoClick();
}

TEST_F(PrintToPage, NothingIsAddedUnlessTheObjectIsVisibleDueAndHasACommandClass) {
  TEventLog log(p, {ciComponentDrawCommandCreate}, page);
  p->PrintToPage(page);  // not due
  p->SetDrawComponent(true);
  p->SetVisible(false);
  p->PrintToPage(page);  // invisible, whatever DrawComponent says
  p->SetVisible(true);
  p->SetDrawCommandClass(nullptr);
  p->PrintToPage(page);  // no command class
  p->SetDrawCommandClass(&TTestPipeline::StaticClass());
  p->PrintToPage(page);  // a class that is no draw command
  EXPECT_EQ(page->GetDrawCommandCount(), 0);
  EXPECT_TRUE(log.ids.empty());

  // Complete objects stop drawing; an overflowing one is drawn again only
  // through InitDrawComponent.
  p->SetDrawCommandClass(&TppDrawText::StaticClass());
  p->PrintToPage(page);
  p->SetGenerationComplete(true);
  p->UpdateDrawComponent();
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommandCount(), 1);
}

TEST_F(PrintToPage, ClicksReachTheHandlerAndTheSubscribers) {
  // Without a handler, a linked subscriber of the click event makes the
  // command clickable.
  {
    TEventLog log(p, {ciComponentDrawCommandClick}, page);
    p->SetDrawComponent(true);
    p->PrintToPage(page);
    ASSERT_EQ(page->GetDrawCommandCount(), 1);
    TppDrawCommand* c = page->GetDrawCommand(0);
    EXPECT_TRUE(c->Clickable());
    EXPECT_EQ(page->GetClickableCommandCount(), 1);
    c->DoClick();
    EXPECT_EQ(log.ids, std::vector<int>{ciComponentDrawCommandClick});
    p->DoOnDrawCommandClick(p);  // not a draw command: ignored
    EXPECT_EQ(log.ids.size(), 1u);
  }
  page->Clear();
  p->PrintToPage(page);
  EXPECT_FALSE(page->GetDrawCommand(0)->Clickable());

  std::vector<cls::TObject*> clicked;
  p->OnDrawCommandClick = {&clicked, [](void* d, cls::TObject*, cls::TObject* c) {
                             static_cast<std::vector<cls::TObject*>*>(d)->push_back(c);
                           }};
  page->Clear();
  p->PrintToPage(page);
  TppDrawCommand* c = page->GetDrawCommand(0);
  EXPECT_TRUE(c->Clickable());
  c->DoClick();
  EXPECT_EQ(clicked, std::vector<cls::TObject*>{c});
}

TEST_F(PrintToPage, CommandsCarryTheFieldsDataTypeAndSurviveExtremePages) {
  auto* pipeline = Make<TTestPipeline>();
  p->dataAware = true;
  p->SetDataPipeline(pipeline);
  p->SetDataField("Amount");
  p->SetDrawComponent(true);
  p->PrintToPage(page);
  ASSERT_EQ(page->GetDrawCommandCount(), 1);
  EXPECT_EQ(page->GetDrawCommand(0)->DataType(), dtCurrency);
  pipeline->active = false;
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommand(1)->DataType(), dtString);

  // A page definition at the limits (archives carry them) gives a clamped
  // rectangle.
  TppPageDef* def = page->PageDef();
  def->SetmmWidth(kMax);
  def->SetmmMarginRight(kMin);
  def->SetmmHeight(kMin);
  def->SetmmMarginBottom(kMax);
  p->PrintToPage(page);
  EXPECT_EQ(page->GetDrawCommand(2)->PageRect().Right, kMax);
  EXPECT_EQ(page->GetDrawCommand(2)->PageRect().Bottom, kMin);
  EXPECT_EQ(def->GetPrintableWidth(), kMax);
}

TEST_F(Printables, OnPrintFiresItsHandlerThenItsEvent) {
  auto* p = Make();
  auto* listener = Make<TppCommunicator>();
  listener->EventMask().Include(ciComponentPrint);
  std::vector<std::string> order;
  listener->OnEventNotify = {&order, [](void* d, cls::TObject*, TppCommunicator*, int id, TraParamList*) {
                               static_cast<std::vector<std::string>*>(d)->push_back("event " + std::to_string(id));
                             }};
  p->AddEventNotify(listener);
  p->OnPrint = {&order, [](void* d, cls::TObject*) { static_cast<std::vector<std::string>*>(d)->push_back("handler"); }};
  p->DoOnPrint();
  EXPECT_EQ(order, (std::vector<std::string>{"handler", "event 32"}));
}

// ---- data ----

TEST_F(Printables, DataBindingNeedsADataAwareClassAFieldAndAnActivePipeline) {
  auto* p = Make();
  auto* pipeline = Make<TTestPipeline>();
  p->SetDataPipeline(pipeline);
  p->SetDataField("Amount");
  EXPECT_EQ(p->DataField(), "");  // not data-aware
  EXPECT_FALSE(p->IsDataAvailable());

  p->dataAware = true;
  p->SetDataField("Amount");
  EXPECT_TRUE(p->IsDataAvailable());
  pipeline->active = false;
  p->SetDataField("Amount");
  EXPECT_FALSE(p->IsDataAvailable());
  EXPECT_EQ(p->Caption(), "Shown Amount");
  std::string caption;
  p->GetCaption(caption);
  EXPECT_EQ(caption, "Shown Amount");

  // A pipeline that fails counts as no data.
  pipeline->active = true;
  pipeline->failing = true;
  EXPECT_FALSE(p->IsDataAvailable());
  pipeline->failing = false;
  // At design time the pipeline may reject the field.
  p->SetDesigning(true);
  p->SetDataField("Rejected");
  EXPECT_FALSE(p->IsDataAvailable());
  EXPECT_EQ(p->Caption(), "Shown Rejected");
  p->SetDesigning(false);
  p->SetName("Label1");
  p->SetDataField("");
  EXPECT_EQ(p->Caption(), "Label1");
}

TEST_F(Printables, AFreedPipelineIsForgotten) {
  auto* p = Make();
  auto* pipeline = new TTestPipeline(nullptr);
  p->dataAware = true;
  p->SetDataPipeline(pipeline);
  EXPECT_EQ(p->NotifyCount(), 1);
  int before = p->changes;
  pipeline->Free();
  EXPECT_EQ(p->DataPipeline(), nullptr);
  EXPECT_EQ(p->changes, before + 1);
  EXPECT_EQ(p->NotifyCount(), 0);
  std::string caption;
  p->SetDataField("Amount");
  EXPECT_EQ(p->Caption(), "Amount");  // the field name without a pipeline
}

TEST_F(Printables, PipelinesAreResolvedReplacedAndListedOnlyForDataAwareClasses) {
  auto* p = Make();
  auto* a = Make<TTestPipeline>();
  auto* b = Make<TTestPipeline>();
  a->SetName("Orders");
  b->SetName("Items");
  cls::TFiler* none = nullptr;
  (void)none;

  // The pending name comes from the stream.
  struct Reader : cls::TReader {
    std::string value;
    cls::TValueKind NextValue() override { return cls::vkString; }
    int64_t ReadInteger() override { return 0; }
    double ReadFloat() override { return 0; }
    std::string ReadString() override { return value; }
    std::string ReadIdent() override { return value; }
    bool ReadBoolean() override { return false; }
    void SkipValue() override {}
    bool EndOfList() override { return true; }
    std::string ReadPropName() override { return {}; }
    int64_t Position() override { return 0; }
    void SetPosition(int64_t) override {}
  };
  struct Filer : cls::TFiler {
    std::map<std::string, ReadProc> reads;
    std::map<std::string, bool> written;
    void DefineProperty(const std::string& name, ReadProc read, WriteProc write, bool hasData) override {
      reads[name] = read;
      written[name] = write && hasData;
    }
  };
  Filer f;
  p->DefineProperties(&f);
  Reader r;
  r.value = "ITEMS";
  f.reads.at("DataPipelineName")(r);
  EXPECT_EQ(p->DataPipelineName(), "ITEMS");
  EXPECT_FALSE(f.written.at("DataPipelineName"));  // none assigned

  std::vector<TppDataPipeline*> list{a, b};
  p->ResolveDataPipeline(list);
  EXPECT_EQ(p->DataPipeline(), nullptr);  // not data-aware
  p->dataAware = true;
  p->ResolveDataPipeline(list);
  EXPECT_EQ(p->DataPipeline(), b);

  std::vector<TppDataPipeline*> found{b};
  p->AddDataPipelineToList(found);
  EXPECT_EQ(found.size(), 1u);
  found.clear();
  p->AddDataPipelineToList(found);
  EXPECT_EQ(found, (std::vector<TppDataPipeline*>{b}));

  p->SetDataField("Qty");
  p->UpdateDataFieldName(b, "QTY", "Quantity");
  EXPECT_EQ(p->DataField(), "Quantity");
  p->UpdateDataFieldName(a, "Quantity", "Other");
  EXPECT_EQ(p->DataField(), "Quantity");

  b->SetUserName("Items");
  p->ReplaceDataPipeline(a, "Orders");
  EXPECT_EQ(p->DataPipeline(), b);
  p->ReplaceDataPipeline(a, "Items");
  EXPECT_EQ(p->DataPipeline(), a);
  EXPECT_EQ(b->NotifyCount(), 0);  // unlinked from the old one

  Filer g;
  p->DefineProperties(&g);
  EXPECT_TRUE(g.written.at("DataPipelineName"));
}

// ---- streams and old definitions ----

TEST_F(Printables, OldDefinitionsAreConverted) {
  auto* p = Make();
  p->SetName("Text1");
  p->dataAware = true;
  p->SetBounds(96, 48, 192, 24);  // screen pixels, as version 2096 kept them
  struct Reader : cls::TReader {
    std::string value;
    int64_t number = 0;
    cls::TValueKind NextValue() override { return cls::vkString; }
    int64_t ReadInteger() override { return number; }
    double ReadFloat() override { return 0; }
    std::string ReadString() override { return value; }
    std::string ReadIdent() override { return value; }
    bool ReadBoolean() override { return false; }
    void SkipValue() override {}
    bool EndOfList() override { return true; }
    std::string ReadPropName() override { return {}; }
    int64_t Position() override { return 0; }
    void SetPosition(int64_t) override {}
  };
  struct Filer : cls::TFiler {
    std::map<std::string, ReadProc> reads;
    void DefineProperty(const std::string& name, ReadProc read, WriteProc, bool) override { reads[name] = read; }
  };
  Filer f;
  p->DefineProperties(&f);
  Reader r;
  r.value = "CustomerName";
  f.reads.at("ReportField")(r);
  r.value = "taCenter";
  f.reads.at("Alignment")(r);  // not published by this class: read as an old name
  EXPECT_EQ(p->Alignment(), cls::taCenter);
  EXPECT_EQ(p->TextAlignment(), taCentered);
  r.value = "taSideways";
  f.reads.at("Alignment")(r);
  EXPECT_EQ(p->Alignment(), cls::taCenter);

  p->Convert(1269);
  EXPECT_EQ(p->DataField(), "CustomerName");
  EXPECT_EQ(p->mmLeft(), 25400);
  EXPECT_EQ(p->mmTop(), 12700);
  EXPECT_EQ(p->mmWidth(), 50800);
  EXPECT_EQ(p->mmHeight(), 6350);
  EXPECT_EQ(p->UserName(), "Text1");
  p->Convert(3530);  // current: nothing changes
  EXPECT_EQ(p->mmLeft(), 25400);

  // Thousandths beyond 32 bits are clamped on reading.
  r.number = int64_t{1} << 40;
  f.reads.at("mmWidth")(r);
  EXPECT_EQ(p->mmWidth(), kMax);
  r.number = 16777217;  // not exact in a float
  f.reads.at("mmTop")(r);
  EXPECT_EQ(p->mmTop(), 16777217);
}

// ---- published properties ----

class TPublishedPrintable : public TTestPrintable {
  CLS_DECLARE_CLASS(TPublishedPrintable, TTestPrintable)
 public:
  explicit TPublishedPrintable(cls::TComponent* owner) : TTestPrintable(owner) {}
};
CLS_IMPLEMENT_COMPONENT(TPublishedPrintable)

TEST_F(Printables, DescendantsPublishTheirSubsetByName) {
  static bool published = [] {
    TppPrintable::PublishProperties(TPublishedPrintable::StaticClass(),
                                    {"Alignment", "Caption", "DataPipeline", "Font", "Left", "Top", "Visible"});
    return true;
  }();
  ASSERT_TRUE(published);
  std::vector<std::string> names;
  for (const cls::TPropInfo* i : cls::GetPropList(&TPublishedPrintable::StaticClass())) names.push_back(i->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"OnPrint", "Alignment", "Caption", "DataPipeline", "Font", "Left",
                                             "Top", "Visible"}));
  EXPECT_THROW(TppPrintable::PublishProperties(TPublishedPrintable::StaticClass(), {"Colour"}), EPagewrightError);

  auto* p = Make<TPublishedPrintable>();
  p->SetUnits(utMillimeters);
  cls::SetFloatProp(p, "Top", 12.5);
  EXPECT_EQ(p->mmTop(), 12500);
  cls::SetEnumProp(p, "Alignment", "taRightJustify");
  EXPECT_EQ(p->TextAlignment(), taRightJustified);
  EXPECT_EQ(cls::GetObjectProp(p, "Font"), p->Font());
  cls::SetStrProp(p, "Caption", "Sum");
  EXPECT_EQ(cls::GetStrProp(p, "Caption"), "Sum");
  // The stream carries the thousandths and the pipeline's name instead.
  EXPECT_FALSE(cls::GetPropInfo(p, "Left")->IsStored(p));
  EXPECT_FALSE(cls::GetPropInfo(p, "DataPipeline")->IsStored(p));

  // An old "Alignment" is read through the published one, not redefined.
  struct Filer : cls::TFiler {
    std::vector<std::string> names;
    void DefineProperty(const std::string& name, ReadProc, WriteProc, bool) override { names.push_back(name); }
  };
  Filer f;
  p->DefineProperties(&f);
  EXPECT_EQ(std::count(f.names.begin(), f.names.end(), "Alignment"), 0);
  EXPECT_EQ(std::count(f.names.begin(), f.names.end(), "mmLeft"), 1);
}

}  // namespace
