#include <gtest/gtest.h>

#include "platform/gdi/canvas.h"
#include "platform/classes/typinfo.h"
#include "report/model/ppRegister.h"
#include "report/model/ppTypes.h"
#include "report/model/ppUtilsDraw.h"
#include "tests/support/testroot.h"

using namespace testing_support;

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFFFFu, kBlack = 0xFF000000u, kRed = 0xFFFF0000u,
                        kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

std::uint32_t At(const std::vector<std::uint32_t>& px, int width, int x, int y) {
  return px[static_cast<size_t>(y) * width + x];
}

// A bitmap of PIXELS (rows top down).
std::unique_ptr<gdi::TBitmap> Picture(int w, int h, const std::vector<std::uint32_t>& pixels) {
  auto b = std::make_unique<gdi::TBitmap>();
  b->SetSize(w, h);
  win::HBITMAP src = win::CreateBitmap32(w, h, pixels.data());
  win::HDC dc = win::CreateCompatibleDC(b->DC());
  win::HGDIOBJ old = win::SelectObject(dc, src);
  win::BitBlt(b->DC(), 0, 0, w, h, dc, 0, 0, win::SRCCOPY);
  win::SelectObject(dc, old);
  win::DeleteDC(dc);
  win::DeleteObject(src);
  return b;
}

// A 4 x 4 picture: white, with a black 2 x 2 middle and a red top-left pixel.
std::unique_ptr<gdi::TBitmap> Sample() {
  std::vector<std::uint32_t> px(16, kWhite);
  px[0] = kRed;
  px[5] = px[6] = px[9] = px[10] = kBlack;
  return Picture(4, 4, px);
}

void Paint(gdi::TBitmap& b, gdi::TColor c) {
  b.Canvas().Brush.Color = c;
  b.Canvas().FillRect({0, 0, b.Width(), b.Height()});
}

spool::PrinterDef Recorder(bool color) {
  spool::PrinterDef d = spool::DemoReceiptPrinter();
  d.name = "Recorder";
  d.backend = spool::PrinterBackend::Record;
  d.color = color;
  return d;
}

// Prints one page through DRAW on the recording printer and renders it.
template <class Draw>
gdi::Page PrintPage(bool color, Draw draw) {
  gdi::ClearRecordedJobs();
  EXPECT_TRUE(spool::InstallPrinter(Recorder(color)));
  win::HDC dc = win::CreateDCA(nullptr, "Recorder", nullptr, nullptr);
  EXPECT_NE(dc, nullptr);
  win::DOCINFOA info;
  info.lpszDocName = "draw";
  EXPECT_GT(win::StartDocA(dc, &info), 0);
  win::StartPage(dc);
  gdi::TCanvas canvas;
  canvas.SetHandle(dc);
  draw(canvas);
  canvas.SetHandle(nullptr);
  win::EndPage(dc);
  win::EndDoc(dc);
  win::DeleteDC(dc);
  auto jobs = gdi::RecordedJobs();
  EXPECT_EQ(jobs.size(), 1u);
  if (jobs.empty() || jobs[0].pages.empty()) return {};
  return jobs[0].pages[0];
}

TEST(DeviceCompatibleCanvas, WhiteAndCopiedAtTheRectangle) {
  gdi::TBitmap device;
  device.SetSize(20, 20);
  Paint(device, gdi::clBlue);
  {
    TppDeviceCompatibleCanvas canvas(4, 4, device.DC());
    EXPECT_EQ(canvas.Width(), 4);
    // Its own pixels start white.
    gdi::TBitmap probe;
    probe.SetSize(4, 4);
    Paint(probe, gdi::clBlack);
    canvas.RenderToDevice({0, 0, 4, 4}, probe.DC());
    for (auto p : probe.Pixels()) EXPECT_EQ(p, kWhite);
    canvas.Brush.Color = gdi::clRed;
    canvas.FillRect({0, 0, 2, 4});
    // Stretched twice over at (5, 5).
    canvas.RenderToDevice({5, 5, 13, 13}, device.DC());
  }
  auto px = device.Pixels();
  EXPECT_EQ(At(px, 20, 4, 5), kBlue);
  EXPECT_EQ(At(px, 20, 5, 5), kRed);
  EXPECT_EQ(At(px, 20, 8, 12), kRed);
  EXPECT_EQ(At(px, 20, 9, 5), kWhite);
  EXPECT_EQ(At(px, 20, 12, 12), kWhite);
  EXPECT_EQ(At(px, 20, 13, 12), kBlue);
  EXPECT_EQ(At(px, 20, 12, 13), kBlue);
}

TEST(DeviceCompatibleCanvas, RecordedAsOneImageWithItsRasterOperation) {
  TempRoot root;
  gdi::Page page = PrintPage(false, [](gdi::TCanvas& c) {
    TppDeviceCompatibleCanvas canvas(3, 2, c.Handle());
    canvas.RenderToDevice({10, 20, 16, 24}, c.Handle(), win::SRCAND);
  });
  ASSERT_EQ(page.ops.size(), 1u);
  const gdi::ImageOp* op = page.ops[0].As<gdi::ImageOp>();
  ASSERT_NE(op, nullptr);
  EXPECT_EQ(op->rop, win::SRCAND);
  EXPECT_EQ(op->dest.left, 10);
  EXPECT_EQ(op->dest.bottom, 24);
  EXPECT_EQ(op->width, 3);
  EXPECT_EQ(op->source.right, 3);
  EXPECT_EQ(op->source.bottom, 2);
}

TEST(BitmapsOnDevices, StretchDrawDIB) {
  auto sample = Sample();
  gdi::TBitmap device;
  device.SetSize(10, 10);
  StretchDrawDIB(device.Canvas(), {1, 1, 9, 9}, *sample);
  auto px = device.Pixels();
  EXPECT_EQ(At(px, 10, 0, 0), kWhite);
  EXPECT_EQ(At(px, 10, 1, 1), kRed);
  EXPECT_EQ(At(px, 10, 2, 2), kRed);
  EXPECT_EQ(At(px, 10, 3, 3), kBlack);
  EXPECT_EQ(At(px, 10, 6, 6), kBlack);
  EXPECT_EQ(At(px, 10, 7, 7), kWhite);
  // A 32-bit device keeps its stretch mode.
  EXPECT_EQ(win::GetStretchBltMode(device.DC()), win::BLACKONWHITE);

  // A one-bit printer stretches in halftone, its brush origin kept.
  TempRoot root;
  int mode = 0;
  win::PT org{};
  gdi::Page page = PrintPage(false, [&](gdi::TCanvas& c) {
    win::SetBrushOrgEx(c.Handle(), 2, 3, nullptr);
    StretchDrawDIB(c, {0, 0, 8, 8}, *sample);
    mode = win::GetStretchBltMode(c.Handle());
    win::GetBrushOrgEx(c.Handle(), &org);
  });
  EXPECT_EQ(mode, win::HALFTONE);
  EXPECT_EQ(org.x, 2);
  EXPECT_EQ(org.y, 3);
  ASSERT_EQ(page.ops.size(), 1u);
  ASSERT_NE(page.ops[0].As<gdi::ImageOp>(), nullptr);
  EXPECT_EQ(page.ops[0].As<gdi::ImageOp>()->width, 4);
}

TEST(BitmapsOnDevices, WhiteIsTransparent) {
  auto sample = Sample();
  // Same size and twice the size on a memory device.
  for (int scale : {1, 2}) {
    gdi::TBitmap device;
    device.SetSize(12, 12);
    Paint(device, 0x00FF00);
    DrawTransparentBitmap(device.Canvas(), {2, 2, 2 + 4 * scale, 2 + 4 * scale}, *sample);
    auto px = device.Pixels();
    auto src = [&](int x, int y) { return At(px, 12, 2 + x * scale, 2 + y * scale); };
    EXPECT_EQ(src(0, 0), kRed) << scale;
    EXPECT_EQ(src(1, 1), kBlack) << scale;
    EXPECT_EQ(src(2, 2), kBlack) << scale;
    EXPECT_EQ(src(3, 0), kGreen) << scale;  // white let the device through
    EXPECT_EQ(src(3, 3), kGreen) << scale;
    EXPECT_EQ(At(px, 12, 1, 1), kGreen) << scale;
    EXPECT_EQ(At(px, 12, 2 + 4 * scale, 2), kGreen) << scale;
  }
}

TEST(BitmapsOnDevices, TransparentOnRecordedPrinters) {
  TempRoot root;
  auto sample = Sample();
  for (bool color : {false, true}) {
    gdi::Page page = PrintPage(color, [&](gdi::TCanvas& c) {
      c.Brush.Color = 0x00FF00;
      c.FillRect({0, 0, 20, 20});
      DrawTransparentBitmap(c, {4, 4, 12, 12}, *sample);
    });
    ASSERT_EQ(page.ops.size(), 3u) << color;
    ASSERT_NE(page.ops[1].As<gdi::ImageOp>(), nullptr);
    ASSERT_NE(page.ops[2].As<gdi::ImageOp>(), nullptr);
    EXPECT_EQ(page.ops[1].As<gdi::ImageOp>()->rop, win::SRCAND);
    EXPECT_EQ(page.ops[2].As<gdi::ImageOp>()->rop, win::SRCPAINT);
    // The canvases are of the rectangle's size on a one-bit printer, else
    // of the bitmap's.
    EXPECT_EQ(page.ops[1].As<gdi::ImageOp>()->width, color ? 4 : 8) << color;
    auto px = gdi::RenderPage(page);
    ASSERT_FALSE(px.empty());
    int w = page.width;
    EXPECT_EQ(At(px, w, 4, 4), kRed) << color;
    EXPECT_EQ(At(px, w, 7, 7), kBlack) << color;
    EXPECT_EQ(At(px, w, 11, 4), kGreen) << color;
    EXPECT_EQ(At(px, w, 13, 13), kGreen) << color;
  }
}

// Each case draws one figure on a white 12 x 12 bitmap.
class Figure : public TppMetaBitmap {
 public:
  static inline std::function<void(Figure&)> figure;
  int ImageWidth() const override { return 12; }
  int ImageHeight() const override { return 12; }
  using TppMetaBitmap::Ellipse;
  using TppMetaBitmap::FillRect;
  using TppMetaBitmap::FloodFill;
  using TppMetaBitmap::FrameRect;
  using TppMetaBitmap::Line;
  using TppMetaBitmap::Text;

 protected:
  void DrawImage() override { figure(*this); }
};

std::vector<std::uint32_t> Draw(std::function<void(Figure&)> f) {
  Figure::figure = std::move(f);
  auto b = TppMetaBitmap::CreateBitmap<Figure>();
  EXPECT_EQ(b->Width(), 12);
  EXPECT_EQ(b->Height(), 12);
  return b->Pixels();
}

bool Dark(std::uint32_t p) { return (p & 0xFF) < 0x80 && ((p >> 8) & 0xFF) < 0x80; }

TEST(MetaBitmap, RectanglesIncludeBothCorners) {
  auto px = Draw([](Figure& f) { f.FillRect(2, 3, 5, 6, gdi::clBlue); });
  EXPECT_EQ(At(px, 12, 2, 3), kBlue);
  EXPECT_EQ(At(px, 12, 5, 6), kBlue);
  EXPECT_EQ(At(px, 12, 6, 6), kWhite);
  EXPECT_EQ(At(px, 12, 5, 7), kWhite);
  EXPECT_EQ(At(px, 12, 1, 3), kWhite);
  px = Draw([](Figure& f) { f.FrameRect(1, 1, 10, 10, gdi::clBlack); });
  EXPECT_EQ(At(px, 12, 1, 1), kBlack);
  EXPECT_EQ(At(px, 12, 10, 10), kBlack);
  EXPECT_EQ(At(px, 12, 10, 5), kBlack);
  EXPECT_EQ(At(px, 12, 5, 5), kWhite);
  EXPECT_EQ(At(px, 12, 11, 11), kWhite);
}

TEST(MetaBitmap, LinesAndEllipses) {
  auto px = Draw([](Figure& f) {
    f.Line(1, 1, 6, 1, gdi::clBlack);
    f.Line(9, 8, 9, 3, gdi::clBlack);
  });
  for (int x = 1; x <= 6; ++x) EXPECT_TRUE(Dark(At(px, 12, x, 1))) << x;
  for (int y = 3; y <= 8; ++y) EXPECT_TRUE(Dark(At(px, 12, 9, y))) << y;
  EXPECT_EQ(At(px, 12, 0, 1), kWhite);
  EXPECT_EQ(At(px, 12, 9, 9), kWhite);
  px = Draw([](Figure& f) { f.Ellipse(1, 1, 10, 10, gdi::clBlack); });
  // Its extremes touch both corners' edges; the corners stay free.
  EXPECT_TRUE(Dark(At(px, 12, 5, 1)));
  EXPECT_TRUE(Dark(At(px, 12, 5, 10)));
  EXPECT_TRUE(Dark(At(px, 12, 1, 5)));
  EXPECT_TRUE(Dark(At(px, 12, 10, 5)));
  EXPECT_EQ(At(px, 12, 5, 11), kWhite);
  EXPECT_EQ(At(px, 12, 11, 5), kWhite);
  EXPECT_EQ(At(px, 12, 1, 1), kWhite);
  EXPECT_EQ(At(px, 12, 5, 5), kBlack);  // filled
}

TEST(MetaBitmap, FloodFillStopsAtOtherColours) {
  auto px = Draw([](Figure& f) {
    f.FrameRect(2, 2, 8, 8, gdi::clBlack);
    f.FillRect(4, 4, 5, 5, gdi::clBlue);
    f.FloodFill(3, 3, gdi::clRed);
  });
  EXPECT_EQ(At(px, 12, 3, 3), kRed);
  EXPECT_EQ(At(px, 12, 7, 7), kRed);
  EXPECT_EQ(At(px, 12, 4, 4), kBlue);    // another colour inside
  EXPECT_EQ(At(px, 12, 2, 5), kBlack);   // the frame
  EXPECT_EQ(At(px, 12, 0, 0), kWhite);   // outside
  EXPECT_EQ(At(px, 12, 11, 11), kWhite);
}

TEST(MetaBitmap, TextOnePixelLeftTwoUp) {
  auto px = Draw([](Figure& f) { f.Text(4, 5, "x", gdi::clBlack); });
  gdi::TBitmap direct;
  direct.SetSize(12, 12);
  direct.Canvas().Brush.Style = gdi::TBrushStyle::bsClear;
  direct.Canvas().Font.SetColor(gdi::clBlack);
  direct.Canvas().TextOut(3, 3, "x");
  EXPECT_EQ(px, direct.Pixels());
  EXPECT_NE(px, std::vector<std::uint32_t>(144, kWhite));
}

TEST(MetaBitmap, DrawToBitmapKeepsTheBitmap) {
  gdi::TBitmap b;
  b.SetSize(6, 3);
  Paint(b, gdi::clRed);
  Figure::figure = [](Figure& f) { f.FillRect(0, 0, 1, 1, gdi::clBlue); };
  TppMetaBitmap::DrawToBitmap<Figure>(b);
  auto px = b.Pixels();
  EXPECT_EQ(b.Width(), 6);
  EXPECT_EQ(At(px, 6, 1, 1), kBlue);
  EXPECT_EQ(At(px, 6, 2, 2), kRed);
}

}  // namespace

TEST(LibraryFont, IsAPersistentFontWithTheFontsPublishedProperties) {
  ppRegisterModel();
  TppFont font;
  gdi::TFont plain;
  plain.SetName("細明體");
  plain.SetSize(12);
  font.Assign(static_cast<cls::TPersistent*>(&plain));
  EXPECT_TRUE(font.Equals(plain));
  EXPECT_EQ(cls::GetStrProp(&font, "Name"), "細明體");
  EXPECT_EQ(cls::GetOrdProp(&font, "Size"), 12);
  TppFont copy(font);
  EXPECT_EQ(copy.ClassName(), "TppFont");
  EXPECT_TRUE(copy.Equals(font));
  // The enumerations of the class library are registered by name.
  EXPECT_EQ(FindEnumType("TAlignment"), cls::EnumTypeInfo<cls::TAlignment>());
  EXPECT_EQ(FindEnumType("TShapeType"), cls::EnumTypeInfo<TShapeType>());
}
