// Shapes, lines and pictures: their geometry in the draw commands, the
// weight and pen width kept in step, pictures read from data, and one page
// of each printed on the demo printer "Zolmet" (203 dpi, margins 0, Units
// mm, a header band at the page top), recorded and as a PNG.
#include <gtest/gtest.h>

#include <cairo.h>
#include <filesystem>
#include <optional>

#include "platform/gdi/picture.h"
#include "platform/sysroot/sysroot.h"
#include "report/components/ppCtrls.h"
#include "report/model/ppRTTI.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/engine/ppEngineDoubles.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/picturefiles.h"
#include "tests/support/ppListPipeline.h"
#include "tests/support/ppTestReport.h"

using namespace testing_support;

namespace {

int32_t Px(int pixels) { return ConvertToMMThousandths(static_cast<float>(pixels), utScreenPixels, ppVertical); }

// Blob fields: the named fields are pictures' bytes.
class TBlobPipeline : public TppListPipeline {
  CLS_DECLARE_CLASS(TBlobPipeline, TppListPipeline)
 public:
  explicit TBlobPipeline(cls::TComponent* owner) : TppListPipeline(owner) {}
  TppDataType GetFieldDataType(const std::string& field) override {
    TppDataType t = TppListPipeline::GetFieldDataType(field);
    return t == dtString && field != "File" ? dtBLOB : t;
  }
};
CLS_IMPLEMENT_COMPONENT(TBlobPipeline)

// A 16 x 8 picture: red, with a blue left half.
std::vector<uint32_t> Flag() {
  std::vector<uint32_t> px(16 * 8, 0xFF0000);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) px[static_cast<size_t>(y * 16 + x)] = 0x0000FF;
  return px;
}

void LoadBytes(gdi::TGraphic& g, const std::string& bytes) {
  cls::TMemoryStream s;
  s.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  s.SetPosition(0);
  g.LoadFromStream(s);
}

class GraphicsReport : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    spool::PrinterDef def = RecordingZolmet();
    def.backend = backend;
    Install(def, true);
    engines.emplace();
    report = new TPagesReport(nullptr);
    report->SetUnits(utMillimeters);
    report->PrinterSetup()->SetPrinterName("Zolmet");
    testing_support::SetPage(report, 82000, 100000, 0);
    header = new TppHeaderBand(nullptr);
    header->SetReport(report);
    header->SetHeight(60);
  }
  void TearDown() override {
    for (auto it = components.rbegin(); it != components.rend(); ++it) (*it)->Free();
    if (report) report->Free();
    engines.reset();
    Printers::TearDown();
  }
  template <class T>
  T* Add() {
    auto* c = new T(nullptr);
    components.push_back(c);
    c->SetBand(header);
    return c;
  }
  // The three of the page: a circle, a top line and a stretched picture.
  TppShape* AddCircle() {
    auto* shape = Add<TppShape>();
    shape->SetShape(TShapeType::stCircle);
    shape->Pen()->SetWidth(3);
    shape->SetBoundsInUnits(10, 5, 20, 10);
    return shape;
  }
  TppLine* AddLine(TppLineStyleType style = lsSingle) {
    auto* line = Add<TppLine>();
    line->SetPosition(lpTop);
    line->SetStyle(style);
    line->SetWeight(1.5f);
    line->SetBoundsInUnits(0, 35, 50, 5);
    return line;
  }
  TppImage* AddImage() {
    auto* image = Add<TppImage>();
    LoadBytes(image->Picture()->Bitmap(), BmpFile(16, 8, 24, Flag()));
    image->SetStretch(true);
    image->SetBoundsInUnits(40, 20, 20, 10);
    return image;
  }
  void Run() { report->Engine()->Generate(nullptr); }
  void PrintPages() {
    cls::Owned<TppPrinterDevice> device(new TppPrinterDevice(nullptr));
    device->Printer()->SetPrinterSetup(report->PrinterSetup());
    device->StartJob();
    for (auto& page : report->copies) {
      page->SetFinal(true);
      device->ReceivePage(page.get());
    }
    device->EndJob();
  }
  // The first page's operations of the last job (kept for the test's pointers).
  const std::vector<gdi::Op>& RecordedOps() {
    auto jobs = gdi::RecordedJobs();
    ops = jobs.empty() || jobs.back().pages.empty() ? std::vector<gdi::Op>() : jobs.back().pages[0].ops;
    return ops;
  }
  // The command a component fills, made outside a run.
  template <class C>
  cls::Owned<C> CommandOf(TppPrintable* component) {
    cls::Owned<C> command(new C(nullptr));
    component->SetPrintRect(MakeRect(component->mmLeft(), component->mmTop(),
                                     component->mmLeft() + component->mmWidth(),
                                     component->mmTop() + component->mmHeight()));
    component->PropertiesToDrawCommand(command.get());
    return command;
  }

  spool::PrinterBackend backend = spool::PrinterBackend::Record;
  std::optional<TTestEngineClasses> engines;
  TPagesReport* report = nullptr;
  TppHeaderBand* header = nullptr;
  std::vector<cls::TObject*> components;
  std::vector<gdi::Op> ops;
};

class GraphicsOnPaper : public GraphicsReport {
 protected:
  void SetUp() override {
    backend = spool::PrinterBackend::Cairo;
    GraphicsReport::SetUp();
  }
};

}  // namespace

// ---- shapes ----

TEST_F(GraphicsReport, ShapesSitInsideTheirPenSquaresAndCirclesCentred) {
  auto* shape = Add<TppShape>();
  shape->SetspBounds(0, 0, 100, 60);
  shape->Pen()->SetWidth(3);
  struct Case {
    TShapeType type, drawn;
    int left, top, width, height;
  };
  for (const Case& c : {Case{TShapeType::stRectangle, TShapeType::stRectangle, 1, 1, 98, 58},
                        Case{TShapeType::stSquare, TShapeType::stRectangle, 21, 1, 58, 58},
                        Case{TShapeType::stRoundRect, TShapeType::stRoundRect, 1, 1, 98, 58},
                        Case{TShapeType::stRoundSquare, TShapeType::stRoundRect, 21, 1, 58, 58},
                        Case{TShapeType::stEllipse, TShapeType::stEllipse, 1, 1, 98, 58},
                        Case{TShapeType::stCircle, TShapeType::stEllipse, 21, 1, 58, 58}}) {
    shape->SetShape(c.type);
    auto command = CommandOf<TppDrawShape>(shape);
    EXPECT_EQ(command->ShapeType(), c.drawn);
    EXPECT_EQ(command->Left(), shape->mmLeft() + Px(c.left));
    EXPECT_EQ(command->Top(), Px(c.top));
    EXPECT_EQ(command->Width(), Px(c.width));
    EXPECT_EQ(command->Height(), Px(c.height));
    // Corner rounds in thousandths of a millimetre: a quarter of 60 pixels.
    EXPECT_EQ(command->XCornerRound(), Px(15));
    EXPECT_EQ(command->YCornerRound(), Px(15));
    EXPECT_EQ(command->Pen()->Width, 3);
  }
  // A pen wider than the shape leaves it no size, never a negative one.
  shape->Pen()->SetWidth(200);
  auto command = CommandOf<TppDrawShape>(shape);
  EXPECT_EQ(command->Width(), 0);
  EXPECT_EQ(command->Height(), 0);
}

TEST_F(GraphicsReport, ShapeIsTransparentWithAClearBrushAndColoursClearTheStyles) {
  auto* shape = Add<TppShape>();
  EXPECT_FALSE(shape->Transparent());
  shape->SetBrushColor(gdi::clRed, true);
  EXPECT_TRUE(shape->Transparent());
  shape->SetBrushColor(gdi::clRed, false);
  EXPECT_EQ(shape->Brush()->Style, gdi::TBrushStyle::bsSolid);
  EXPECT_EQ(shape->Brush()->Color, gdi::clRed);
  EXPECT_FALSE(shape->Transparent());
  shape->SetPenColor(0, true);
  gdi::TColor colour;
  bool clear = false;
  shape->GetPenColor(colour, clear);
  EXPECT_TRUE(clear);
  shape->SetPenColor(gdi::clBlue, false);
  shape->GetPenColor(colour, clear);
  EXPECT_FALSE(clear);
  EXPECT_EQ(colour, gdi::clBlue);
}

TEST_F(GraphicsReport, CircleOnThePageIsOneEllipseAtPrinterPixels) {
  AddCircle();
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  auto shapes = report->Commands<TppDrawShape>();
  ASSERT_EQ(shapes.size(), 1u);
  EXPECT_EQ(shapes[0]->Left(), 15292);
  EXPECT_EQ(shapes[0]->Top(), 5265);
  EXPECT_EQ(shapes[0]->Width(), 9525);
  EXPECT_EQ(shapes[0]->Height(), 9525);
  EXPECT_EQ(shapes[0]->ShapeType(), TShapeType::stEllipse);
  EXPECT_EQ(shapes[0]->XCornerRound(), Px(9));
  PrintPages();
  std::vector<const gdi::EllipseOp*> ellipses;
  for (const gdi::Op& op : RecordedOps())
    if (auto* e = op.As<gdi::EllipseOp>()) ellipses.push_back(e);
  ASSERT_EQ(ellipses.size(), 1u);
  EXPECT_EQ(ellipses[0]->bounds.left, 122);
  EXPECT_EQ(ellipses[0]->bounds.top, 42);
  EXPECT_EQ(ellipses[0]->bounds.right, 198);
  EXPECT_EQ(ellipses[0]->bounds.bottom, 118);
  EXPECT_EQ(ellipses[0]->pen.width, 6);
}

// ---- lines ----

TEST_F(GraphicsReport, WeightAndPenWidthFollowEachOther) {
  auto* line = Add<TppLine>();
  EXPECT_FLOAT_EQ(line->Weight(), 0.75f);
  EXPECT_EQ(line->Pen()->Width, 1);
  EXPECT_TRUE(line->Transparent());
  line->SetWeight(1.5f);
  EXPECT_EQ(line->Pen()->Width, 2);
  EXPECT_FLOAT_EQ(line->Weight(), 1.5f);  // not taken back from the pen
  line->Pen()->SetWidth(4);
  EXPECT_FLOAT_EQ(line->Weight(), 3.0f);
  line->SetPosition(lpRight);  // another change keeps the weight
  EXPECT_FLOAT_EQ(line->Weight(), 3.0f);
  // Streams before 3000 knew the pen only.
  line->Pen()->Width = 6;  // as a stream sets it, unnoticed
  line->Convert(2999);
  EXPECT_FLOAT_EQ(line->Weight(), 4.5f);
  line->Pen()->Width = 8;
  line->Convert(3000);
  EXPECT_FLOAT_EQ(line->Weight(), 4.5f);
  EXPECT_TRUE(line->HasVisibleContent());
  line->Pen()->SetColor(gdi::clWhite);
  EXPECT_FALSE(line->HasVisibleContent());
}

TEST_F(GraphicsReport, TopLineIsWeightPixelsThickAndADoubleLineTwiceThatFurther) {
  for (TppLineStyleType style : {lsSingle, lsDouble}) {
    gdi::ClearRecordedJobs();
    report->copies.clear();
    TppLine* line = AddLine(style);
    Run();
    auto lines = report->Commands<TppDrawLine>();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->Top(), 35000);
    EXPECT_EQ(lines[0]->Width(), 50000);
    EXPECT_FLOAT_EQ(lines[0]->Weight(), 1.5f);
    EXPECT_EQ(lines[0]->LineStyle(), style);
    PrintPages();
    std::vector<int> ys;
    for (const gdi::Op& op : RecordedOps())
      if (auto* l = op.As<gdi::LineOp>()) {
        ASSERT_EQ(l->points.size(), 2u);
        EXPECT_EQ(l->points[0].x, 0);
        EXPECT_EQ(l->points[1].x, 399);  // 400 pixels, the end one included
        EXPECT_EQ(l->points[0].y, l->points[1].y);
        EXPECT_EQ(l->pen.width, 1);
        ys.push_back(l->points[0].y);
      }
    std::vector<int> expected{280, 281, 282, 283};
    if (style == lsDouble) expected.insert(expected.end(), {288, 289, 290, 291});
    EXPECT_EQ(ys, expected);
    line->Free();
    components.pop_back();
  }
}

// ---- pictures ----

TEST_F(GraphicsReport, StretchedPictureFillsItsRectangleWithItsPixels) {
  TppImage* image = AddImage();
  Run();
  auto images = report->Commands<TppDrawImage>();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_TRUE(images[0]->Stretch());
  EXPECT_TRUE(images[0]->Center());
  EXPECT_EQ(images[0]->Picture()->Width(), 16);
  EXPECT_FALSE(image->Name().empty());  // named for the image's name
  EXPECT_EQ(images[0]->ImageName(), image->Name() + "0");
  PrintPages();
  std::vector<const gdi::ImageOp*> ops;
  for (const gdi::Op& op : RecordedOps())
    if (auto* i = op.As<gdi::ImageOp>()) ops.push_back(i);
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0]->dest.left, 320);
  EXPECT_EQ(ops[0]->dest.top, 160);
  EXPECT_EQ(ops[0]->dest.right, 480);
  EXPECT_EQ(ops[0]->dest.bottom, 240);
  ASSERT_EQ(ops[0]->width, 16);
  std::vector<uint32_t> rgb;
  for (uint32_t p : *ops[0]->pixels) rgb.push_back(p & 0xFFFFFF);
  EXPECT_EQ(rgb, Flag());
}

TEST_F(GraphicsReport, PicturesKeepTheirAspectCentreOrCornerOnThePrinter) {
  // An 8 x 8 picture in a 20 x 10 mm (160 x 80 pixel) rectangle at (320, 160).
  struct Case {
    bool stretch, aspect, center;
    win::RECT dest;
    bool clipped;
  };
  // 8 screen pixels are 17 printer pixels.
  for (const Case& c : {Case{true, true, true, {360, 160, 440, 240}, false},
                        Case{true, true, false, {320, 160, 400, 240}, false},
                        Case{true, false, true, {320, 160, 480, 240}, false},
                        Case{false, false, true, {392, 192, 409, 209}, true},
                        Case{false, false, false, {320, 160, 337, 177}, true}}) {
    gdi::ClearRecordedJobs();
    report->copies.clear();
    TppImage* image = Add<TppImage>();
    image->Picture()->Bitmap().SetPixels(8, 8, std::vector<uint32_t>(64, 0xFF00FF00u));
    image->SetStretch(c.stretch);
    image->SetMaintainAspectRatio(c.aspect);
    image->SetCenter(c.center);
    image->SetBoundsInUnits(40, 20, 20, 10);
    Run();
    PrintPages();
    const gdi::Op* found = nullptr;
    for (const gdi::Op& op : RecordedOps())
      if (op.As<gdi::ImageOp>()) found = &op;
    ASSERT_NE(found, nullptr);
    const win::RECT& d = found->As<gdi::ImageOp>()->dest;
    EXPECT_EQ(d.left, c.dest.left) << c.stretch << c.aspect << c.center;
    EXPECT_EQ(d.top, c.dest.top);
    EXPECT_EQ(d.right, c.dest.right);
    EXPECT_EQ(d.bottom, c.dest.bottom);
    EXPECT_EQ(found->clip.has_value(), c.clipped);
    image->Free();
    components.pop_back();
  }
}

TEST_F(GraphicsReport, AutoSizedImageTakesThePicturesSizeAndOldStreamsDrawMetafilesDirectly) {
  auto* image = Add<TppImage>();
  image->SetAutoSize(true);
  gdi::TBitmap bm;
  bm.SetPixels(30, 20, std::vector<uint32_t>(600, 0xFF000000u));
  image->Picture()->SetGraphic(&bm);
  EXPECT_EQ(image->spWidth(), 30);
  EXPECT_EQ(image->spHeight(), 20);
  image->Picture()->Metafile().SetSize(10, 10);
  {
    gdi::TMetafileCanvas c(image->Picture()->Metafile(), nullptr);
    c.FillRect({0, 0, 10, 10});
  }
  image->Convert(4200);
  EXPECT_TRUE(image->DirectDraw());
  image->Picture()->Bitmap().SetPixels(1, 1, {0xFF000000u});
  image->Convert(4200);
  EXPECT_FALSE(image->DirectDraw());
  image->Convert(4201);  // newer streams say themselves
  image->SetDirectDraw(true);
  image->Convert(4201);
  EXPECT_TRUE(image->DirectDraw());
}

// ---- pictures from data ----

TEST_F(GraphicsReport, DataPictureLoadsBlobsOfItsTypeAndFilesNamedByTheField) {
  TempRoot root;
  WriteFile(root.Host("C:\\Pics\\logo.bmp"), BmpFile(16, 8, 8, Flag()));
  cls::Owned<TBlobPipeline> data(new TBlobPipeline(nullptr));
  data->SetName("plItems");
  data->SetFieldNames({"Logo", "File"});
  data->AddRecord({{"Logo", BmpFile(16, 8, 24, Flag())}, {"File", "C:\\Pics\\logo.bmp"}});
  data->AddRecord({{"Logo", "BMgarbage"}, {"File", "C:\\Pics\\none.bmp"}});
  data->AddRecord({});
  data->AddRecord({{"Logo", IcoFile({{8, 8, 4, std::vector<uint32_t>(64, 0xFF), {}, {}}})}});
  data->Open();
  auto* image = Add<TppDBImage>();
  image->SetDataPipeline(data.get());
  image->SetDataField("Logo");
  EXPECT_TRUE(image->IsDataAware());
  std::string description;
  image->GetDescription(description);
  EXPECT_EQ(description, image->UserName() + ": Logo");

  image->LoadPicture();
  ASSERT_TRUE(image->Picture()->HasBitmap());
  EXPECT_EQ(image->Picture()->Width(), 16);
  // A blob that is no picture, and an empty one: no picture, no error.
  data->Next();
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());
  data->Next();
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());
  // Another type reads the same field; a type without a class is refused.
  data->Next();
  image->SetGraphicType("JPEG");
  EXPECT_EQ(image->GraphicType(), "Bitmap");
  image->SetGraphicType("icon");
  EXPECT_EQ(image->GraphicType(), "Icon");
  image->LoadPicture();
  EXPECT_TRUE(cls::ObjectIs<gdi::TIcon>(image->Picture()->Graphic()));
  image->SetGraphicType("MetaFile");
  EXPECT_TRUE(image->DirectDraw());
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());

  // A text field names a file under the system root.
  image->SetDataField("File");
  data->First();
  image->LoadPicture();
  EXPECT_EQ(image->Picture()->Width(), 16);
  data->Next();
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());
  data->Next();
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());
  // Without AutoDisplay the field is not read.
  image->SetAutoDisplay(false);
  image->LoadPicture();
  EXPECT_TRUE(image->Picture()->Empty());
  data->First();
  image->SetAutoDisplay(true);  // loads again
  EXPECT_EQ(image->Picture()->Width(), 16);
  image->SetDataPipeline(nullptr);
}

TEST_F(GraphicsReport, OnGetPictureAndEventSixtyNineTakeOverFromTheField) {
  cls::Owned<TBlobPipeline> data(new TBlobPipeline(nullptr));
  data->SetFieldNames({"Logo"});
  data->AddRecord({{"Logo", BmpFile(16, 8, 24, Flag())}});
  data->Open();
  auto* image = Add<TppDBImage>();
  image->SetDataPipeline(data.get());
  image->SetDataField("Logo");
  struct Handler {
    int calls = 0;
    gdi::TPicture* seen = nullptr;
    void Get(cls::TObject*, gdi::TPicture* picture) {
      ++calls;
      picture->Bitmap().SetPixels(3, 3, std::vector<uint32_t>(9, 0xFF000000u));
    }
    void Event(cls::TObject*, TppCommunicator*, int id, TraParamList* params) {
      if (id != ciImageGetPicture || !params) return;
      TraValue v;
      if (params->GetParamValue("aPicture", v)) seen = cls::ObjectAs<gdi::TPicture>(std::get<cls::TObject*>(v));
    }
  } handler;
  image->OnGetPicture = TppPictureEvent(&handler, &Handler::Get);
  image->LoadPicture();
  EXPECT_EQ(handler.calls, 1);
  EXPECT_EQ(image->Picture()->Width(), 3);  // not the field's 16

  image->OnGetPicture = TppPictureEvent();
  cls::Owned<TppCommunicator> listener(new TppCommunicator(nullptr));
  listener->SetOnEventNotify(TppEventNotifyEvent(&handler, &Handler::Event));
  listener->EventMask().Include(ciImageGetPicture);
  image->AddEventNotify(listener.get());
  image->LoadPicture();
  EXPECT_EQ(handler.seen, image->Picture());
  EXPECT_TRUE(image->Picture()->Empty());
  image->RemoveEventNotify(listener.get());
  image->SetDataPipeline(nullptr);
}

TEST_F(GraphicsReport, EachRecordPrintsItsOwnDataPictureUnderItsOwnName) {
  cls::Owned<TBlobPipeline> data(new TBlobPipeline(nullptr));
  data->SetName("plItems");
  data->SetFieldNames({"Logo"});
  data->AddRecord({{"Logo", BmpFile(16, 8, 24, Flag())}});
  data->Open();
  auto* image = Add<TppDBImage>();
  image->SetName("imgLogo");
  image->SetDataPipeline(data.get());
  image->SetDataField("Logo");
  image->SetBoundsInUnits(0, 0, 20, 10);
  Run();
  auto images = report->Commands<TppDrawImage>();
  ASSERT_EQ(images.size(), 1u);
  EXPECT_EQ(images[0]->Picture()->Width(), 16);
  EXPECT_EQ(images[0]->ImageName().rfind("imgLogoplItemsLogo", 0), 0u);
  image->SetDataPipeline(nullptr);
}

// ---- on paper ----

TEST_F(GraphicsOnPaper, ShapeLineAndPictureInThePng) {
  AddCircle();
  AddLine();
  AddImage();
  Run();
  ASSERT_EQ(report->copies.size(), 1u);
  PrintPages();
  std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  std::string png;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    if (e.path().extension() == ".png") png = e.path().string();
  ASSERT_FALSE(png.empty());
  cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(img), CAIRO_STATUS_SUCCESS);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  int stride = cairo_image_surface_get_stride(img) / 4;
  auto at = [&](int x, int y) { return px[y * stride + x] & 0xFFFFFF; };
  // The line: four rows from 280, 400 pixels long.
  for (int y = 280; y <= 283; ++y) EXPECT_EQ(at(200, y), 0u) << y;
  EXPECT_EQ(at(200, 279), 0xFFFFFFu);
  EXPECT_EQ(at(200, 284), 0xFFFFFFu);
  EXPECT_EQ(at(399, 281), 0u);
  EXPECT_EQ(at(401, 281), 0xFFFFFFu);
  // The circle: its pen at the top and left, white inside and outside.
  EXPECT_EQ(at(160, 44), 0u);
  EXPECT_EQ(at(124, 80), 0u);
  EXPECT_EQ(at(160, 80), 0xFFFFFFu);
  EXPECT_EQ(at(160, 30), 0xFFFFFFu);
  // The picture: blue on the left half, red on the right, nothing around.
  EXPECT_EQ(at(330, 170), 0x0000FFu);
  EXPECT_EQ(at(399, 239), 0x0000FFu);
  EXPECT_EQ(at(401, 161), 0xFF0000u);
  EXPECT_EQ(at(479, 239), 0xFF0000u);
  EXPECT_EQ(at(481, 200), 0xFFFFFFu);
  EXPECT_EQ(at(400, 241), 0xFFFFFFu);
  cairo_surface_destroy(img);
}

TEST(GraphicRegistration, ShapesLinesAndPicturesStreamByNameWithTheirProperties) {
  for (const char* name : {"TppShape", "TppLine", "TppImage", "TppDBImage"})
    ASSERT_NE(cls::FindClass(name), nullptr) << name;
  auto prop = [](const char* cls, const char* name) { return cls::GetPropInfo(cls::FindClass(cls), name); };
  EXPECT_NE(prop("TppShape", "Brush"), nullptr);
  EXPECT_EQ(prop("TppLine", "Brush"), nullptr);
  EXPECT_NE(prop("TppLine", "Weight"), nullptr);
  EXPECT_NE(prop("TppImage", "Picture"), nullptr);
  EXPECT_EQ(prop("TppImage", "AutoSize")->Default, 0);
  EXPECT_EQ(prop("TppImage", "Center")->Default, 1);
  EXPECT_EQ(prop("TppDBImage", "AutoSize"), nullptr);
  EXPECT_NE(prop("TppDBImage", "GraphicType"), nullptr);
  EXPECT_NE(prop("TppDBImage", "DataField"), nullptr);
  // Made by name, as a stream reader makes them.
  cls::Owned<cls::TComponent> line(cls::FindClass("TppLine")->Create(nullptr));
  ASSERT_TRUE(cls::ObjectIs<TppLine>(line.get()));
  cls::GetPropInfo(line->ClassType(), "Weight")->SetFloat(line.get(), 1e30);  // kept within reason
  EXPECT_LE(static_cast<TppLine*>(line.get())->Pen()->Width, 1400);
}
