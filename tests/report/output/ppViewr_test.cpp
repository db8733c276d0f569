// The screen device: page bitmaps sized for each zoom, commands drawn on
// them at the zoomed scale (rectangles, line weights, bar codes), the
// limits of what it prepares, clickable commands found by position, and
// memo text fitted into its rectangle when zoomed.
#include <gtest/gtest.h>

#include <vector>

#include "platform/classes/classes.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppViewr.h"
#include "tests/report/output/ppDrwCmdRichText_support.h"
#include "tests/report/output/ppPrintr_fixture.h"

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kGrey = 0x808080;

class ScreenDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(cls::Screen().PixelsPerInch, 96);
    viewer.reset(new TppViewer(nullptr));
    viewer->SetBounds(0, 0, 600, 400);
    device = viewer->ScreenDevice();
    SetPage(210000, 297000);
  }
  void SetPage(int32_t width, int32_t height) {
    TppPageDef* def = device->GetPage()->PageDef();
    def->SetmmWidth(width);
    def->SetmmHeight(height);
    device->GetPage()->SetAbsolutePageNo(1);
  }
  // The command joins the shown page.
  template <class T>
  T* Place(int left, int top, int width, int height) {
    auto* c = new T(nullptr);
    c->SetLeft(left);
    c->SetTop(top);
    c->SetWidth(width);
    c->SetHeight(height);
    c->SetPage(device->GetPage());
    return c;
  }
  std::uint32_t Pixel(int x, int y) const {
    gdi::TBitmap* b = device->PageBitmap();
    return (*pixels)[static_cast<size_t>(y) * b->Width() + x] & 0xFFFFFF;
  }
  void Prepare(TppZoomSettingType zoom) {
    viewer->SetZoomSetting(zoom);
    device->PreparePage();
    ASSERT_NE(device->PageBitmap(), nullptr);
    pixels = std::make_unique<std::vector<std::uint32_t>>(device->PageBitmap()->Pixels());
  }
  testing_support::TempRoot root;
  cls::Owned<TppViewer> viewer;
  TppScreenDevice* device = nullptr;
  std::unique_ptr<std::vector<std::uint32_t>> pixels;
};

TEST_F(ScreenDevice, BitmapAndPageForEachZoom) {
  struct Row {
    TppZoomSettingType zoom;
    int bw, bh, pw, ph, x0, y0, calculated;
  };
  for (Row r : {Row{zs100Percent, 842, 1171, 794, 1123, 24, 24, 100}, Row{zsWholePage, 600, 400, 266, 376, 167, 12, 33},
                Row{zsPageWidth, 586, 819, 562, 795, 12, 12, 71}}) {
    Prepare(r.zoom);
    SCOPED_TRACE(r.zoom);
    EXPECT_EQ(device->PageBitmap()->Width(), r.bw);
    EXPECT_EQ(device->PageBitmap()->Height(), r.bh);
    EXPECT_EQ(device->PageWidth(), r.pw);
    EXPECT_EQ(device->PageHeight(), r.ph);
    EXPECT_EQ(device->PageOffsetX(), r.x0);
    EXPECT_EQ(device->PageOffsetY(), r.y0);
    EXPECT_EQ(device->CalculatedZoom(), r.calculated);
    EXPECT_EQ(Pixel(r.x0 - 1, r.y0 + 10), kGrey);
    EXPECT_EQ(Pixel(r.x0, r.y0 + 10), kWhite);
    EXPECT_EQ(Pixel(r.x0 + r.pw - 1, r.y0 + r.ph - 1), kWhite);
    EXPECT_EQ(Pixel(r.x0 + r.pw, r.y0 + r.ph), kGrey);
  }
  // A percentage is kept within 25..250.
  viewer->SetZoomPercentage(10);
  EXPECT_EQ(viewer->ZoomPercentage(), 25);
  EXPECT_EQ(viewer->ZoomSetting(), zsPercentage);
  viewer->SetZoomPercentage(300);
  EXPECT_EQ(viewer->ZoomPercentage(), 250);
  Prepare(zsPercentage);
  EXPECT_EQ(device->PageBitmap()->Width(), 1985 + 48);
  EXPECT_EQ(device->CalculatedZoom(), 250);
}

TEST_F(ScreenDevice, LinesKeepTheirWeightAndPlaceAtEveryZoom) {
  auto* line = Place<TppDrawLine>(20000, 50000, 100000, 5000);
  line->SetLinePosition(lpTop);
  line->SetWeight(3);
  Prepare(zs100Percent);
  for (int y : {213, 214, 215, 216}) EXPECT_EQ(Pixel(300, y), kBlack) << y;
  EXPECT_EQ(Pixel(300, 212), kWhite);
  EXPECT_EQ(Pixel(300, 217), kWhite);
  EXPECT_EQ(line->GetDrawRect().Left, 100);
  // At a third of the size: one pixel, from the rounded edges.
  Prepare(zsWholePage);
  EXPECT_EQ(Pixel(250, 74), kWhite);
  EXPECT_EQ(Pixel(250, 75), kBlack);
  EXPECT_EQ(Pixel(250, 76), kWhite);
  EXPECT_EQ(Pixel(191, 75), kWhite);
  EXPECT_EQ(Pixel(192, 75), kBlack);
  EXPECT_EQ(Pixel(318, 75), kBlack);
  EXPECT_EQ(Pixel(319, 75), kWhite);
}

TEST_F(ScreenDevice, BarCodesDrawThemselvesIntoTheZoomedRectangle) {
  auto* bar = Place<TppDrawBarCode>(20000, 100000, 57700, 20000);
  bar->SetBarCodeType(bcEAN_13);
  bar->SetData("200000100001");
  bar->SetBarWidth(400);
  bar->SetColor(gdi::clWhite);
  bar->SetPrintHumanReadable(false);
  Prepare(zs100Percent);
  TppRect r = bar->GetDrawRect();
  EXPECT_EQ(r.Left, 100);
  EXPECT_EQ(r.Top, 402);
  EXPECT_EQ(r.Bottom, 478);
  int black = 0;
  for (int x = r.Left; x < r.Right; ++x) black += Pixel(x, 440) == kBlack;
  EXPECT_GT(black, 30);
  EXPECT_EQ(Pixel(r.Left - 1, 440), kWhite);
}

TEST_F(ScreenDevice, RichTextDrawsItselfThroughTheScreen) {
  auto* rich = Place<TppDrawRichText>(20000, 20000, 40000, 10000);
  SetRtf(rich, "{\\rtf1 WWWW}");
  rich->SetStartCharPos(0);
  rich->SetEndCharPos(3);
  rich->SetColor(gdi::clRed);
  Prepare(zs100Percent);
  TppRect r = rich->GetDrawRect();
  EXPECT_EQ(r.Left, 24 + 76);
  EXPECT_EQ(r.Top, 24 + 76);
  EXPECT_EQ(Pixel(r.Right - 2, r.Bottom - 2), 0xFF0000u);
  EXPECT_EQ(Pixel(r.Right + 2, r.Bottom + 2), kWhite);
  ppRichEditFinalize();
}

TEST_F(ScreenDevice, NothingIsPreparedForPagesOrDisplaysItCannotShow) {
  SetPage(0, 297000);
  device->PreparePage();
  EXPECT_EQ(device->PageBitmap(), nullptr);
  // A whole page needs more height than the margin.
  SetPage(210000, 297000);
  viewer->SetBounds(0, 0, 600, 24);
  viewer->SetZoomSetting(zsWholePage);
  device->PreparePage();
  EXPECT_EQ(device->PageBitmap(), nullptr);
  viewer->SetBounds(0, 0, 600, 25);
  device->PreparePage();
  ASSERT_NE(device->PageBitmap(), nullptr);
  EXPECT_EQ(device->PageHeight(), 1);
  // Over 64 M pixels: not prepared.
  viewer->SetZoomSetting(zs100Percent);
  SetPage(3000000, 3000000);
  device->PreparePage();
  EXPECT_EQ(device->PageBitmap(), nullptr);
  // A long strip is taller than an image may be, and still prepared.
  viewer->SetBounds(0, 0, 300, 200);
  SetPage(20000, 9000000);
  Prepare(zs100Percent);
  EXPECT_EQ(device->PageBitmap()->Width(), 300);
  EXPECT_EQ(device->PageBitmap()->Height(), 34064);
  EXPECT_EQ(Pixel(150, 34039), kWhite);
  EXPECT_EQ(Pixel(150, 34040), kGrey);
}

TEST_F(ScreenDevice, ClickableCommandsAreFoundEdgesIncluded) {
  auto* a = Place<TppDrawShape>(20000, 100000, 57700, 20000);
  a->SetClickable(true);
  auto* plain = Place<TppDrawShape>(0, 0, 10000, 10000);
  (void)plain;
  // Not clickable until it joins the page as such.
  a->SetPage(nullptr);
  a->SetPage(device->GetPage());
  Prepare(zs100Percent);
  TppRect r = a->GetDrawRect();
  TppDrawCommand* found = nullptr;
  EXPECT_TRUE(device->FindCommandAt(r.Left, r.Top, found));
  EXPECT_EQ(found, a);
  EXPECT_TRUE(device->FindCommandAt(r.Right, r.Bottom, found));
  EXPECT_FALSE(device->FindCommandAt(r.Right + 1, r.Bottom, found));
  EXPECT_EQ(found, nullptr);
  EXPECT_FALSE(device->FindCommandAt(30, 30, found));
}

// Memo lines drawn at a zoom on a recording canvas: the font takes the
// zoom, and lines that cannot fit in the rectangle are fitted or left out.
class ZoomedText : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    Install(RecordingZolmet(), true);
  }
  std::vector<gdi::TextOp> Draw(TppDrawText* text, double zoom) {
    TppPrinter printer;
    TppPrinterSetup setup(nullptr);
    setup.SetPrinterName("Zolmet");
    printer.SetPrinterSetup(&setup);
    printer.BeginDoc();
    printer.NewPage();
    TppDeviceScale scale(96, 96, 0, 0, zoom, zoom);
    ppRasterDraw::DrawText(*printer.GetCanvas(), scale, text);
    printer.EndDoc();
    std::vector<gdi::TextOp> ops;
    for (const gdi::Job& job : gdi::RecordedJobs())
      for (const gdi::Page& page : job.pages)
        for (const gdi::Op& op : page.ops)
          if (auto* t = op.As<gdi::TextOp>()) ops.push_back(*t);
    return ops;
  }
};

TEST_F(ZoomedText, FontsFollowTheZoomAndMemosFitTheirRectangle) {
  cls::Owned<TppDrawText> memo(new TppDrawText(nullptr));
  memo->SetIsMemo(true);
  memo->SetWordWrap(true);
  memo->Font()->SetName("MS Sans Serif");
  memo->Font()->SetSize(10);
  memo->SetTransparent(true);
  for (const char* line : {"one", "two", "three", "four"}) memo->WrappedText()->Add(line);
  memo->SetDrawRect(MakeRect(0, 0, 200, 200));
  std::vector<gdi::TextOp> whole = Draw(memo.get(), 1.0);
  ASSERT_EQ(whole.size(), 4u);
  EXPECT_EQ(whole[0].face, "Arial");  // a raster face under its TrueType name
  int lineStep = whole[1].origin.y - whole[0].origin.y;
  // Half the size: half the font, and the lines close up.
  gdi::ClearRecordedJobs();
  memo->SetDrawRect(MakeRect(0, 0, 100, 100));
  std::vector<gdi::TextOp> half = Draw(memo.get(), 0.5);
  ASSERT_EQ(half.size(), 4u);
  EXPECT_LT(half[0].em, whole[0].em);
  EXPECT_LE(half[1].origin.y - half[0].origin.y, (lineStep + 1) / 2 + 1);
  // A rectangle a pixel high: the font shrinks as far as it may and the
  // lines that still do not fit are left out.
  gdi::ClearRecordedJobs();
  memo->SetDrawRect(MakeRect(0, 0, 100, 1));
  std::vector<gdi::TextOp> squeezed = Draw(memo.get(), 0.5);
  EXPECT_LE(squeezed.size(), 1u);
  for (const gdi::TextOp& op : squeezed) EXPECT_LE(op.em, 2);
}

}  // namespace
