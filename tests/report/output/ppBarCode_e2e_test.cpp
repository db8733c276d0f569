// EAN-13 against the oracles: zint's module row, and a page printed through
// the printer device on the demo roll printer, read back by zbarimg.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "platform/sysroot/sysroot.h"
#include "report/output/ppDrwCmd.h"
#include "report/output/ppPrnDev.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The module row zint dumps in hex, one bit a module.
std::string ZintModules(const std::string& data) {
  std::string hex = Shell("zint -b 13 --dump -d " + data);
  std::string bits;
  for (char c : hex) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
    int v = std::stoi(std::string(1, c), nullptr, 16);
    for (int b = 3; b >= 0; --b) bits += (v >> b) & 1 ? '1' : '0';
  }
  return bits;
}

// One receipt page with a bar code at (0.265, 8.202) mm, printed on "Zolmet".
class BarCodeOnZolmet : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    setup_.SetUnits(utMillimeters);
    setup_.SetPrinterName("Zolmet");
    setup_.SetPaperWidth(82);
    setup_.SetPaperHeight(40);
    for (auto set : {&TppPrinterSetup::SetMarginLeft, &TppPrinterSetup::SetMarginTop,
                     &TppPrinterSetup::SetMarginRight, &TppPrinterSetup::SetMarginBottom})
      (setup_.*set)(0);
    publisher_.OnPageRequest = TppPageRequestEvent(this, &BarCodeOnZolmet::PageRequest);
    device_.reset(new TppPrinterDevice(nullptr));
    device_->SetPublisher(&publisher_);
  }
  void TearDown() override {
    device_.reset();
    ppPrintrFinalize();
  }
  void PageRequest(cls::TObject*, TppPageRequest*) {
    cls::Owned<TppPage> page(new TppPage(nullptr));
    page->SetPrinterSetup(&setup_);
    page->SetAbsolutePageNo(1);
    page->SetFirstPage(true);
    page->SetLastPage(true);
    page->SetFinal(true);
    auto* c = new TppDrawBarCode(nullptr);
    c->SetBarCodeType(bcEAN_13);
    c->SetData(data_);
    c->SetBarWidth(400);
    c->SetWideBarRatio(1);
    c->SetAutoSize(false);  // as the receipt keeps its bounds
    c->SetColor(color_);
    c->Font()->SetName("Courier New");
    c->Font()->SetSize(8);
    c->SetLeft(265);
    c->SetTop(8202);
    c->SetWidth(42917);
    c->SetHeight(18000);
    c->SetPage(page.get());
    publisher_.PublishPage(page.get());
    printed_ = c->Data();
    codeOK_ = c->CodeOK();
  }
  // Prints DATA and answers the page's PNG.
  std::string Print(const std::string& data) {
    data_ = data;
    device_->Printer()->SetPrinterSetup(&setup_);
    publisher_.StartJob();
    publisher_.RequestPages();
    publisher_.EndJob();
    std::string png = sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet") + "/job-0001-p1.png";
    EXPECT_TRUE(fs::exists(png));
    return png;
  }

  TempRoot tmp_;
  std::string root_;
  TppPrinterSetup setup_{nullptr};
  TppPublisher publisher_{nullptr};
  cls::Owned<TppPrinterDevice> device_;
  std::string data_, printed_;
  gdi::TColor color_ = gdi::clWhite;
  bool codeOK_ = true;
};

}  // namespace

TEST(BarCodeOracle, Ean13ColumnsAreZintsModules) {
  auto* c = new TppDrawBarCode(nullptr);
  c->SetBarCodeType(bcEAN_13);
  c->SetBarWidth(400);
  for (const char* data : {"200000100001", "590123412345", "999999999999", "000000000000"}) {
    c->SetData(data);
    c->Encode(203, 203);
    std::string columns = c->BarPattern();
    ASSERT_EQ(columns.size(), 285u) << data;
    std::string modules;
    for (size_t i = 0; i < columns.size(); i += 3) {
      ASSERT_EQ(columns.substr(i, 3), std::string(3, columns[i])) << data << " column " << i;
      modules += columns[i];
    }
    std::string zint = ZintModules(data);
    ASSERT_GE(zint.size(), 95u) << zint;
    EXPECT_EQ(modules, zint.substr(0, 95)) << data;
  }
  EXPECT_EQ(c->Data(), "0000000000000");
  c->Free();
}

TEST_F(BarCodeOnZolmet, PrintedSymbolDecodes) {
  std::string png = Print("200000100001");
  EXPECT_EQ(printed_, "2000001000014");
  std::string read = Shell("zbarimg --quiet '" + png + "' 2>/dev/null");
  EXPECT_EQ(read, "EAN-13:2000001000014\n");
}

TEST_F(BarCodeOnZolmet, DataThatIsNoEan13PrintsTheBackgroundOnly) {
  color_ = 0xC0C0C0;
  for (const char* data : {"20000010000A4", "12345"}) {
    SCOPED_TRACE(data);
    fs::remove_all(sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"));
    std::string png = Print(data);
    EXPECT_FALSE(codeOK_);
    EXPECT_EQ(printed_, data);
    cairo_surface_t* img = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(img), CAIRO_STATUS_SUCCESS);
    cairo_surface_flush(img);
    auto* px = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(img));
    int stride = cairo_image_surface_get_stride(img) / 4;
    int w = cairo_image_surface_get_width(img), h = cairo_image_surface_get_height(img);
    int grey = 0, other = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t p = px[y * stride + x] & 0xFFFFFF;
        if (p == 0xC0C0C0) ++grey;
        else if (p != 0xFFFFFF) ++other;
      }
    cairo_surface_destroy(img);
    EXPECT_EQ(grey, 2 * 29 * 144);  // no columns: the quiet zones, filled
    EXPECT_EQ(other, 0);
    EXPECT_EQ(Shell("zbarimg --quiet '" + png + "' 2>/dev/null"), "");
  }
}
