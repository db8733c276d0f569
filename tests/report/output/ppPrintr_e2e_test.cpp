// A fresh system root made by the set-up command, a receipt printed through
// the printer object onto the demo printer, and the PDF and PNG it writes
// checked with poppler and cairo.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cstdio>
#include <filesystem>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "report/output/ppPrintr.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

class FreshRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
  }
  void TearDown() override { ppPrintrFinalize(); }
  TempRoot tmp_;
  std::string root_;
};

}  // namespace

TEST_F(FreshRoot, ReceiptOnTheDemoPrinterAsPdfAndPng) {
  TppPrinterSetup setup(nullptr);
  EXPECT_EQ(setup.PrinterNames(), (std::vector<std::string>{"Screen", "Default", "Zolmet"}));
  setup.SetUnits(utMillimeters);
  setup.SetPrinterName("Zolmet");
  setup.SetMarginTop(3);
  setup.SetMarginBottom(0);
  setup.SetMarginLeft(5);
  setup.SetMarginRight(0);
  setup.SetPaperWidth(82);
  setup.SetPaperHeight(150);
  setup.SetDocumentName("Receipt");
  EXPECT_EQ(setup.PaperName(), "Custom");

  TppPrinter printer;
  printer.SetPrinterSetup(&setup);
  printer.BeginDoc();
  printer.NewPage();
  TppPrinterCanvas* c = printer.GetCanvas();
  int ppx, ppy;
  printer.GetPixelsPerInch(ppx, ppy);
  ASSERT_EQ(ppx, 203);
  int left = static_cast<int>(ConvertFromMMThousandths(setup.PageDef()->mmMarginLeft(), utPrinterPixels,
                                                       ppHorizontal, &printer));
  int top = static_cast<int>(ConvertFromMMThousandths(setup.PageDef()->mmMarginTop(), utPrinterPixels,
                                                      ppVertical, &printer));
  EXPECT_EQ(left, 40);
  EXPECT_EQ(top, 24);
  c->Font.SetName("細明體");
  c->Font.SetSize(12);
  c->Brush.Style = gdi::TBrushStyle::bsClear;
  c->TextOut(left, top, "Orvane Dravik");
  c->TextOut(left, top + 34, "收據 測試 1234");
  c->Pen.Width = 2;
  c->MoveTo(left, top + 80);
  c->LineTo(640, top + 80);
  c->Rectangle(left, top + 100, 600, top + 300);
  printer.EndDoc();

  std::string folder = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet");
  std::string pdf = folder + "/job-0001.pdf", png = folder + "/job-0001-p1.png";
  ASSERT_TRUE(fs::exists(pdf));
  // 82 x 150 mm in points.
  std::string info = Shell("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("232.441 x 425.197 pts"), std::string::npos) << info;
  size_t pages = info.find("Pages:");
  ASSERT_NE(pages, std::string::npos);
  EXPECT_EQ(std::stoi(info.substr(pages + 6)), 1);
  std::string text = Shell("pdftotext -enc UTF-8 '" + pdf + "' -");
  EXPECT_NE(text.find("Orvane Dravik"), std::string::npos) << text;
  EXPECT_NE(text.find("\xE6\x94\xB6\xE6\x93\x9A \xE6\xB8\xAC\xE8\xA9\xA6 1234"), std::string::npos) << text;

  // The PNG: 82 mm at 203 dpi is 655 pixels wide.
  cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
  ASSERT_EQ(cairo_surface_status(img), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(img), 655);
  EXPECT_EQ(cairo_image_surface_get_height(img), 1199);
  cairo_surface_flush(img);
  auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
  int stride = cairo_image_surface_get_stride(img) / 4;
  EXPECT_EQ(px[(top + 80) * stride + 300] & 0xFFFFFF, 0u);   // the line
  EXPECT_EQ(px[(top + 200) * stride + left] & 0xFFFFFF, 0u);  // the rectangle's left edge
  EXPECT_EQ(px[(top + 200) * stride + 300] & 0xFFFFFF, 0xFFFFFFu);
  int ink = 0;  // some text was drawn in the first line
  for (int y = top; y < top + 34; ++y)
    for (int x = left; x < 400; ++x) ink += (px[y * stride + x] & 0xFF) < 128;
  EXPECT_GT(ink, 100);
  cairo_surface_destroy(img);
  // Poppler renders the same page at the printer's resolution.
  Shell("pdftoppm -r 203 -png '" + pdf + "' '" + folder + "/poppler'");
  cairo_surface_t* pop = cairo_image_surface_create_from_png((folder + "/poppler-1.png").c_str());
  ASSERT_EQ(cairo_surface_status(pop), CAIRO_STATUS_SUCCESS);
  EXPECT_NEAR(cairo_image_surface_get_width(pop), 655, 1);
  cairo_surface_destroy(pop);

  std::string record = ReadFile(folder + "/job-0001.job");
  EXPECT_NE(record.find("Document=Receipt\r\nStatus=done\r\nCopies=1\r\nPages=1\r\nPage1=820,1500,655,1199\r\n"),
            std::string::npos)
      << record;
}

TEST_F(FreshRoot, APrinterNotInstalledResolvesToTheDefault) {
  TppPrinterSetup setup(nullptr);
  setup.SetPrinterName("Receipt Two");
  EXPECT_EQ(setup.PrinterName(), "Zolmet");
  // Without a default printer the setup keeps what it had, and "Screen"
  // cannot print.
  WriteFile(sysroot::HostPath("C:\\Windows\\win.ini"), "[windows]\r\ndevice=Gone,x,y\r\n");
  ppPrintrFinalize();
  TppPrinterSetup s2(nullptr);
  s2.SetPrinterName("Screen");
  s2.SetPrinterName("Receipt Two");
  EXPECT_EQ(s2.PrinterName(), "Screen");
  TppPrinter printer;
  printer.SetPrinterSetup(&s2);
  EXPECT_EQ(printer.GetPrinterName(), "Screen");
  try {
    printer.BeginDoc();
    FAIL() << "the screen printed";
  } catch (const EPrintError& e) {
    EXPECT_STREQ(e.what(), "Screen printer does not support printing.");
  }
}
