// EAN-13 against the oracles: zint's module row, and a page printed through
// the printer device on the demo roll printer, read back by zbarimg.
#include <gtest/gtest.h>

#include <cairo.h>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

#include "platform/sysroot/sysroot.h"
#include "report/output/ppDrwCmd.h"
#include "platform/ui/dialogs.h"
#include "report/output/ppPrnDev.h"
#include "tests/report/output/ppPrintr_fixture.h"
#include "tests/support/testroot.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// The rows zint dumps in hex, one bit a module (padded to whole digits).
std::vector<std::string> ZintRows(const std::string& args) {
  std::string hex = Shell("zint --dump " + args);
  std::vector<std::string> rows(1);
  for (char c : hex) {
    if (c == '\n') rows.emplace_back();
    if (!std::isxdigit(static_cast<unsigned char>(c))) continue;
    int v = std::stoi(std::string(1, c), nullptr, 16);
    for (int b = 3; b >= 0; --b) rows.back() += (v >> b) & 1 ? '1' : '0';
  }
  while (!rows.empty() && rows.back().empty()) rows.pop_back();
  return rows;
}
std::string ZintModules(const std::string& data) { return ZintRows("-b 13 -d " + data).at(0); }

std::string TrimSpaces(std::string s) {
  s.erase(s.find_last_not_of('0') + 1);
  return s;
}

// One column a narrow module: BarWidth 25 (0.001 inch) at 1000 dpi; a wide
// module is 3 columns, Code 39's gap 2.
constexpr int kPpi = 1000;
struct Encoded {
  std::string columns;  // the bars, then the add-on after its 9-module gap
  std::string data;
  bool ok = false;
};
Encoded EncodeOnce(TppDrawBarCode* c) {
  c->Encode(kPpi, kPpi);
  Encoded e{c->BarPattern(), c->Data(), c->CodeOK()};
  if (!c->AddOnPattern().empty()) e.columns += std::string(9, '0') + c->AddOnPattern();
  return e;
}
// Encodes twice: the second encode gives the same columns and data.
Encoded EncodeTwice(TppBarCodeType type, const std::string& data, const std::string& addOn = "",
                    bool autoEncode = false) {
  auto* c = new TppDrawBarCode(nullptr);
  c->SetBarCodeType(type);
  c->SetData(data);
  c->SetAddOnCode(addOn);
  c->SetAutoEncode(autoEncode);
  c->SetBarWidth(25);
  c->SetWideBarRatio(3);
  Encoded first = EncodeOnce(c), second = EncodeOnce(c);
  EXPECT_EQ(second.columns, first.columns) << data;
  EXPECT_EQ(second.data, first.data) << data;
  c->Free();
  return first;
}

// Runs of equal columns as elements: 'N' narrow, 'W' wide, 'G' wider
// than narrow but not wide (Code 39's gap), each with its bar or space.
std::string Elements(const std::string& columns, int narrow, int wide) {
  std::string out;
  for (size_t i = 0; i < columns.size();) {
    size_t j = i;
    while (j < columns.size() && columns[j] == columns[i]) ++j;
    int run = static_cast<int>(j - i);
    out += columns[i] == '1' ? 'b' : 's';
    out += run == narrow ? 'N' : run == wide ? 'W' : 'G';
    i = j;
  }
  return out;
}
// zint's elements, narrow being its shortest run.
std::string ZintElements(const std::string& args) {
  std::string bits = TrimSpaces(ZintRows(args).at(0));
  size_t narrow = bits.size();
  for (size_t i = 0; i < bits.size();) {
    size_t j = i;
    while (j < bits.size() && bits[j] == bits[i]) ++j;
    narrow = std::min(narrow, j - i);
    i = j;
  }
  std::string out;
  for (size_t i = 0; i < bits.size();) {
    size_t j = i;
    while (j < bits.size() && bits[j] == bits[i]) ++j;
    out += bits[i] == '1' ? 'b' : 's';
    out += j - i == narrow ? 'N' : 'W';
    i = j;
  }
  return out;
}

// One receipt page with a bar code at (0.265, 8.202) mm, printed on "Zolmet".
class BarCodeOnZolmet : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = tmp_.path() + "/root";
    ASSERT_EQ(std::system((BinPath("zolmet-sysroot") + " '" + root_ + "' > /dev/null").c_str()), 0);
    sysroot::SetRoot(root_);
    ppPrintrFinalize();
    ZolmetPaper(setup_, 40);
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
    if (configure_) configure_(c);
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
    // The folder is emptied before each print; job numbers go on within a
    // process, so the page is the one PNG there.
    std::string png;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"), ec))
      if (e.path().extension() == ".png") png = e.path().string();
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
  std::function<void(TppDrawBarCode*)> configure_;
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

TEST(BarCodeOracle, UpcEanAndAddOnsAreZintsModules) {
  struct Case {
    TppBarCodeType type;
    const char *data, *addOn, *encoded, *zint;
  };
  std::vector<Case> cases = {
      {bcUPC_A, "01234567890", "", "012345678905", "-b 34 -d 01234567890"},
      {bcUPC_E, "012345", "", "0123457", "-b 37 -d 012345"},
      {bcEAN_8, "2012345", "", "20123451", "-b 10 -d 2012345"},
      {bcEAN_13, "001234567890", "12", "0012345678905", "-b 13 --addongap=9 -d 001234567890+12"},
      {bcEAN_13, "001234567890", "12345", "0012345678905", "-b 13 --addongap=9 -d 001234567890+12345"},
      {bcUPC_A, "01234567890", "12", "012345678905", "-b 34 --addongap=9 -d 01234567890+12"},
      {bcUPC_A, "01234567890", "12345", "012345678905", "-b 34 --addongap=9 -d 01234567890+12345"},
  };
  // UPC-E by each rule of its last digit.
  std::vector<std::string> upcE;
  for (char last = '0'; last <= '9'; ++last) upcE.push_back(std::string("12345") + last);
  for (const std::string& d : upcE) cases.push_back({bcUPC_E, d.c_str(), "", "", nullptr});
  for (const Case& k : cases) {
    SCOPED_TRACE(k.data + std::string("+") + k.addOn);
    Encoded e = EncodeTwice(k.type, k.data, k.addOn);
    ASSERT_TRUE(e.ok);
    std::string zint = k.zint ? k.zint : "-b 37 -d " + std::string(k.data);
    if (*k.encoded) {
      EXPECT_EQ(e.data, k.encoded);
    }
    EXPECT_EQ(TrimSpaces(e.columns), TrimSpaces(ZintRows(zint).at(0)));
  }
}

TEST(BarCodeOracle, FimCode128AndMsiAreZintsModules) {
  for (const char* fim : {"A", "B", "C"}) {
    Encoded e = EncodeTwice(bcFIM, fim);
    EXPECT_EQ(e.columns.back(), '0');  // each module is followed by a space
    EXPECT_EQ(TrimSpaces(e.columns), TrimSpaces(ZintRows(std::string("-b 49 -d ") + fim).at(0))) << fim;
  }
  // The bar-code component's Code 128 sample, as given and rewritten.
  const std::string sample = "\xD2" "1234" "\xCD" " abcd";
  std::string zint = TrimSpaces(ZintRows("-b CODE128 -d '1234 abcd'").at(0));
  for (bool autoEncode : {false, true}) {
    Encoded e = EncodeTwice(bcCode128, sample, "", autoEncode);
    EXPECT_EQ(e.data, sample);
    EXPECT_EQ(TrimSpaces(e.columns), zint) << autoEncode;
  }
  Encoded plain = EncodeTwice(bcCode128, "1234 abcd", "", true);
  EXPECT_EQ(plain.data, sample);
  EXPECT_EQ(TrimSpaces(plain.columns), zint);
  Encoded word = EncodeTwice(bcCode128, "Barcode", "", true);
  EXPECT_EQ(word.data, "\xD1" "Barcode");
  EXPECT_EQ(TrimSpaces(word.columns), TrimSpaces(ZintRows("-b CODE128B -d Barcode").at(0)));
  // MSI: the check digit is in the bars only; ours ends with two more
  // space modules than zint's stop.
  Encoded msi = EncodeTwice(bcMSI, "0139725");
  EXPECT_EQ(msi.data, "0139725");
  EXPECT_EQ(msi.columns.substr(msi.columns.size() - 3), "100");
  EXPECT_EQ(TrimSpaces(msi.columns), TrimSpaces(ZintRows("-b MSI_PLESSEY --vers=1 -d 0139725").at(0)));
}

TEST(BarCodeOracle, TwoWidthSymbologiesAreZintsElementSequences) {
  // Interleaved 2 of 5: the check digit makes five digits six.
  Encoded i25 = EncodeTwice(bcInt2of5, "0123456789");
  EXPECT_EQ(Elements(TrimSpaces(i25.columns), 1, 3), ZintElements("-b 3 -d 0123456789"));
  Encoded odd = EncodeTwice(bcInt2of5, "01234");
  EXPECT_EQ(odd.data, "012348");
  EXPECT_EQ(Elements(TrimSpaces(odd.columns), 1, 3), ZintElements("-b 3 -d 012348"));
  // Code 39: upper case encoded, data kept; our gap between characters is
  // two narrow modules where zint's is one.
  Encoded c39 = EncodeTwice(bcCode39, "BarCode");
  EXPECT_EQ(c39.data, "BarCode");
  std::string ours = Elements(TrimSpaces(c39.columns), 1, 3), theirs = ZintElements("-b 8 -d BarCode");
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t k = 18; k < theirs.size(); k += 20) {
    EXPECT_EQ(theirs.substr(k, 2), "sN");
    theirs.replace(k, 2, "sG");
  }
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(EncodeTwice(bcCode39, "*BARCODE*").columns, c39.columns);
  Encoded codabar = EncodeTwice(bcCodabar, "A01234B");
  EXPECT_EQ(Elements(TrimSpaces(codabar.columns), 1, 3), ZintElements("-b 18 -d A01234B"));
  EXPECT_EQ(EncodeTwice(bcCodabar, "a01234b").columns, codabar.columns);
}

TEST(BarCodeOracle, PostnetIsZintsTallAndShortSequence) {
  Encoded e = EncodeTwice(bcPostnet, "12345-6789");
  EXPECT_EQ(e.data, "12345-6789");
  std::string ours;
  for (char c : e.columns)
    if (c != '0') ours += c == '2' ? 'T' : 'S';
  std::vector<std::string> rows = ZintRows("-b 40 -d 123456789");
  ASSERT_EQ(rows.size(), 2u);
  std::string theirs;
  for (size_t x = 0; x < rows[1].size(); ++x)
    if (rows[1][x] == '1') theirs += rows[0][x] == '1' ? 'T' : 'S';
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(ours.size(), 2 + 5 * 10u);
  // One column a bar, one (nint(1.375)) a gap.
  EXPECT_EQ(e.columns.substr(0, 4), "2010");
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

TEST_F(BarCodeOnZolmet, EverySymbologyZbarReadsDecodes) {
  struct Page {
    TppBarCodeType type;
    const char *data, *addOn;
    int32_t barWidth;
    const char* read;
  };
  const Page pages[] = {
      {bcEAN_13, "200000100001", "12", 400, "EAN-13:2000001000014\nEAN-2:12\n"},
      {bcEAN_13, "200000100001", "12345", 400, "EAN-13:2000001000014\nEAN-5:12345\n"},
      {bcUPC_A, "01234567890", "", 330, "UPC-A:012345678905\n"},
      {bcUPC_E, "012345", "", 330, "UPC-E:00123457\n"},
      {bcEAN_8, "2012345", "", 330, "EAN-8:20123451\n"},
      {bcInt2of5, "0123456789", "", 381, "I2/5:0123456789\n"},
      {bcCode128, "\xD2" "1234" "\xCD" " abcd", "", 254, "CODE-128:1234 abcd\n"},
      {bcCode39, "BarCode", "", 254, "CODE-39:BARCODE\n"},
      {bcCodabar, "A01234B", "", 254, "Codabar:A01234B\n"},
  };
  for (const Page& p : pages) {
    SCOPED_TRACE(p.data + std::string("+") + p.addOn);
    fs::remove_all(sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"));
    configure_ = [&](TppDrawBarCode* c) {
      c->SetBarCodeType(p.type);
      c->SetAddOnCode(p.addOn);
      c->SetBarWidth(p.barWidth);
      c->SetWideBarRatio(3);
      c->SetAutoEncode(p.type == bcCode128);
      if (p.type != bcEAN_13) {
        c->SetAutoSize(true);
        c->SetLeft(10000);
      }
    };
    std::string png = Print(p.data);
    EXPECT_TRUE(codeOK_);
    bool upc = p.type == bcUPC_A || p.type == bcUPC_E;
    std::string read = Shell(std::string("zbarimg --quiet -Sean2.enable -Sean5.enable ") +
                             (upc ? "-Supca.enable -Supce.enable " : "") + "'" + png + "' 2>/dev/null | LC_ALL=C sort");
    EXPECT_EQ(read, p.read);
  }
}

TEST_F(BarCodeOnZolmet, DataTheSymbologyCannotTakePrintsNoBarsAndAsksNothing) {
  ui::ClearRecordedDialogs();
  struct Page {
    TppBarCodeType type;
    const char* data;
  };
  for (const Page& p : {Page{bcEAN_8, "20A2345"}, Page{bcCode128, "ABC"}}) {
    SCOPED_TRACE(p.data);
    fs::remove_all(sysroot::HostPath("C:\\Zolmet\\Printed\\Zolmet"));
    configure_ = [&](TppDrawBarCode* c) {
      c->SetBarCodeType(p.type);
      c->SetAutoSize(true);
    };
    std::string png;
    EXPECT_NO_THROW(png = Print(p.data));
    EXPECT_FALSE(codeOK_);
    EXPECT_EQ(printed_, p.data);
    EXPECT_EQ(Shell("zbarimg --quiet '" + png + "' 2>/dev/null"), "");
  }
  EXPECT_TRUE(ui::RecordedDialogs().empty());  // the Code 128 error is not shown while printing
}
