#include <gtest/gtest.h>

#include <random>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <set>

#include "platform/classes/typinfo.h"
#include "platform/gdi/engine.h"
#include "platform/gdi/fonts.h"
#include "report/output/ppBarCodeEnc.h"
#include "report/output/ppDrwCmd.h"
#include "tests/report/output/ppPrintr_fixture.h"

using namespace ppBarCode;

namespace {

TppBarCodeData Ean13(const std::string& data, int32_t barWidth = 400) {
  TppBarCodeData d;
  d.BarCodeType = bcEAN_13;
  d.Data = data;
  d.BarWidth = barWidth;
  return d;
}

// The 95 modules of an EAN-13, as its encoder gives them.
std::string Modules(const std::string& data) {
  TppBarCodeData d = Ean13(data);
  std::string modules;
  int message = 0;
  return EncodeEan13(d, modules, message) ? modules : "";
}

TppDrawBarCode* Receipt(const std::string& data) {
  auto* c = new TppDrawBarCode(nullptr);
  c->SetBarCodeType(bcEAN_13);
  c->SetData(data);
  c->SetBarWidth(400);
  c->SetWideBarRatio(1);
  c->Font()->SetName("Courier New");
  c->Font()->SetSize(8);
  return c;
}

// Pixels of a bitmap as 0xRRGGBB.
struct Image {
  explicit Image(const gdi::TBitmap& b) : w(b.Width()), h(b.Height()), px(b.Pixels()) {}
  uint32_t at(int x, int y) const { return px[size_t(y) * w + x] & 0xFFFFFF; }
  bool black(int x, int y) const { return at(x, y) == 0; }
  int w, h;
  std::vector<uint32_t> px;
};

// A symbol painted at 203 dpi on a bitmap of its size.
std::unique_ptr<gdi::TBitmap> Paint(TppDrawBarCode* c) {
  auto bitmap = std::make_unique<gdi::TBitmap>();
  bitmap->SetSize(1, 1);
  c->Encode(203, 203);
  c->PaintBars(&bitmap->Canvas(), 0, false, 203, 203, 0);
  bool vertical = c->Orientation() >= orTopToBottom;
  bitmap->SetSize(vertical ? c->PixelHeight() : c->PixelWidth(), vertical ? c->PixelWidth() : c->PixelHeight());
  c->PaintBars(&bitmap->Canvas(), 0, true, 203, 203, 0);
  return bitmap;
}

class Screen : public IppScreenDrawing {
 public:
  gdi::TCanvas* ScreenCanvas() override { return &bitmap.Canvas(); }
  void CalcDeviceRect(TppDrawCommand* c) override { c->SetDrawRect(MakeRect(10, 10, 10 + 2 * c->DrawRight(), 10 + 2 * c->DrawBottom())); }
  gdi::TBitmap bitmap;
};

// Real font metrics: the text is rendered as well as measured.
class BarCodes : public ::testing::Test {};

}  // namespace

TEST(BarCodeTables, NumberSetsParitiesAndSymbologyRows) {
  for (int digit = 0; digit <= 9; ++digit) {
    std::string a = DigitPattern(nsA, digit), b = DigitPattern(nsB, digit), c = DigitPattern(nsC, digit);
    for (const std::string* p : {&a, &b, &c}) {
      ASSERT_EQ(p->size(), 7u);
      EXPECT_EQ(p->find_first_not_of("01"), std::string::npos);
    }
    auto ones = [](const std::string& s) { return std::count(s.begin(), s.end(), '1'); };
    EXPECT_EQ(ones(a) % 2, 1) << digit;  // odd parity
    EXPECT_EQ(ones(b) % 2, 0) << digit;
    EXPECT_EQ(a.front(), '0');
    for (int i = 0; i < 7; ++i) EXPECT_NE(a[i], c[i]) << digit;  // C is A inverted
    EXPECT_EQ(b, std::string(c.rbegin(), c.rend())) << digit;   // B is C reversed
  }
  EXPECT_STREQ(DigitPattern(nsA, 0), "0001101");
  EXPECT_STREQ(DigitPattern(nsB, 10), "");
  std::set<std::string> parities;
  for (int first = 0; first <= 9; ++first) {
    std::string p = Ean13Parity(first);
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p.front(), 'A');
    EXPECT_EQ(std::count(p.begin(), p.end(), 'B'), first ? 3 : 0);
    parities.insert(p);
  }
  EXPECT_EQ(parities.size(), 10u);
  EXPECT_STREQ(Ean13Parity(2), "AABBAB");
  for (int t = 0; t <= bcMSI; ++t) {
    const TppSymbology* s = Symbology(static_cast<TppBarCodeType>(t));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->Type, t);
    EXPECT_TRUE(s->QuietZone && s->BarHeight);
    EXPECT_EQ(s->FontTooWide != nullptr, s->FontFactor > 0);
  }
  EXPECT_EQ(Symbology(static_cast<TppBarCodeType>(11)), nullptr);
  const TppSymbology* ean = Symbology(bcEAN_13);
  EXPECT_TRUE(ean->Encode && ean->FontTooWide && ean->DrawText && ean->GuardsIntoText);
}

TEST(BarCodeEncoding, Ean13CheckDigitIsAppendedAndStable) {
  TppBarCodeData d = Ean13("200000100001");
  std::string pattern;
  int message = 0;
  EncodeBarCode(d, 203, pattern, message);
  EXPECT_EQ(d.Data, "2000001000014");
  EXPECT_TRUE(d.CodeOK);
  EXPECT_EQ(pattern.size(), 285u);
  std::string first = pattern;
  EncodeBarCode(d, 203, pattern, message);  // encoding again changes nothing
  EXPECT_EQ(d.Data, "2000001000014");
  EXPECT_EQ(pattern, first);
  for (char last = '0'; last <= '9'; ++last) {
    TppBarCodeData other = Ean13(std::string("200000100001") + last);
    EncodeBarCode(other, 203, pattern, message);
    EXPECT_EQ(other.Data, "2000001000014");
    EXPECT_EQ(pattern, first);
  }
  // Without the check step 13 digits encode as given, 12 do not.
  TppBarCodeData given = Ean13("2000001000019");
  given.CalcCheckDigit = false;
  EncodeBarCode(given, 203, pattern, message);
  EXPECT_EQ(given.Data, "2000001000019");
  ASSERT_EQ(pattern.size(), 285u);
  EXPECT_EQ(pattern.substr(0, 255), first.substr(0, 255));
  EXPECT_NE(pattern, first);  // the last digit as given
  given.Data = "200000100001";
  EncodeBarCode(given, 203, pattern, message);
  EXPECT_FALSE(given.CodeOK);
  EXPECT_TRUE(pattern.empty());
  // Each column triple is one module.
  std::string modules = Modules("2000001000014");
  ASSERT_EQ(modules.size(), 95u);
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(first[i], modules[i / 3]) << i;
  EXPECT_EQ(Ean13CheckDigit("590123412345"), 7);
  EXPECT_EQ(Ean13CheckDigit("400638133393"), 1);
}

TEST(BarCodeEncoding, DataThatIsNoEan13FailsQuietlyAndStaysFailed) {
  for (const char* data : {"20000010000A4", "12345", "20000010000144", " 200000100001", "2000001000 14", "\xA4\x40"}) {
    SCOPED_TRACE(data);
    TppBarCodeData d = Ean13(data);
    std::string pattern = "stale";
    int message = 0;
    EXPECT_NO_THROW(EncodeBarCode(d, 203, pattern, message));
    EXPECT_FALSE(d.CodeOK);
    EXPECT_EQ(d.Data, data);
    EXPECT_TRUE(pattern.empty());
    EXPECT_EQ(message, 0);
    d.Data = "200000100001";  // a failed command encodes nothing from then on
    EncodeBarCode(d, 203, pattern, message);
    EXPECT_TRUE(pattern.empty());
  }
  // Blank data and types above bcMSI give no bars and no failure.
  for (auto [type, data] : {std::pair{bcEAN_13, "   "}, {bcEAN_13, ""}, {bcCode39, " \t "},
                            {static_cast<TppBarCodeType>(11), "200000100001"}, {static_cast<TppBarCodeType>(255), "1"}}) {
    TppBarCodeData d = Ean13(data);
    d.BarCodeType = type;
    std::string pattern = "stale";
    int message = 0;
    EncodeBarCode(d, 203, pattern, message);
    EXPECT_TRUE(pattern.empty()) << int(type);
    EXPECT_TRUE(d.CodeOK) << int(type);
  }
}

TEST(BarCodeEncoding, ColumnsAreCountedBeforeTheyAreExpanded) {
  // m = 84 fills 7980 columns; m = 85 would need 8075: no bars, and the
  // data cannot be taken.
  int32_t fits = 10470, over = 10600;  // 0.4122 and 0.4173 inch
  EXPECT_EQ(ModuleColumns(BarWidthInches(fits), 203), 84);
  EXPECT_EQ(ModuleColumns(BarWidthInches(over), 203), 85);
  std::string pattern;
  int message = 0;
  TppBarCodeData d = Ean13("200000100001", fits);
  EncodeBarCode(d, 203, pattern, message);
  EXPECT_EQ(pattern.size(), 7980u);
  d = Ean13("200000100001", over);
  EncodeBarCode(d, 203, pattern, message);
  EXPECT_TRUE(pattern.empty());
  EXPECT_FALSE(d.CodeOK);
  EXPECT_EQ(d.Data, "200000100001");  // no check digit for a symbol refused
  for (int32_t width : {INT32_MAX, INT32_MIN, -400, 0}) {
    d = Ean13("200000100001", width);
    EncodeBarCode(d, 600, pattern, message);
    EXPECT_TRUE(pattern.empty()) << width;
    EXPECT_LT(pattern.capacity(), 10000u);
  }
  // A module that rounds to no column gives an empty pattern.
  d = Ean13("200000100001", 99);  // 0.0039 inch at 96 dpi: 0.37 px
  EncodeBarCode(d, 96, pattern, message);
  EXPECT_TRUE(pattern.empty());
  EXPECT_TRUE(d.CodeOK);
  // Wide modules take the ratio; a huge or broken ratio allocates nothing.
  std::string modules = {'1', WideModule('0'), '1'};
  float inch = BarWidthInches(400);
  EXPECT_TRUE(ExpandModules(modules, inch, 2.5f, 203, kPatternCapacity, pattern));
  EXPECT_EQ(pattern, "111" + std::string(8, '0') + "111");
  for (float ratio : {1e30f, INFINITY, FLT_MAX}) {
    EXPECT_FALSE(ExpandModules(modules, inch, ratio, 203, kPatternCapacity, pattern));
    EXPECT_TRUE(pattern.empty());
  }
  EXPECT_TRUE(ExpandModules(modules, inch, NAN, 203, kPatternCapacity, pattern));
  EXPECT_EQ(pattern, "111111");
  EXPECT_FALSE(ExpandModules(std::string(400, '1'), inch, 1, 203, kAddOnCapacity, pattern));
}

// Modules of every kind and length (bars and spaces alone, with wide and
// double ones, other characters) at module widths of 1 to 20 columns come
// out as each module repeated its own number of columns, and a symbol past
// the capacity as nothing.
TEST(BarCodeEncoding, ExpandedModulesAreEachModuleItsColumnsWide) {
  std::mt19937 random(44);
  const std::vector<char> kinds = {'0', '1', '0', '1', WideModule('0'), WideModule('1'), static_cast<char>('1' | kDouble),
                                   static_cast<char>(WideModule('0') | kDouble), '2', 'A'};
  std::string pattern;
  for (int round = 0; round < 400; ++round) {
    const bool binary = round % 2 == 0;
    std::string modules;
    for (int n = static_cast<int>(random() % 120); n > 0; --n)
      modules += kinds[random() % (binary ? 4 : kinds.size())];
    const int32_t thousandths = 100 + static_cast<int32_t>(random() % 2400);
    const float inches = BarWidthInches(thousandths);
    const float ratio = 1.0f + static_cast<float>(random() % 30) / 10;
    const int ppi = 96 + static_cast<int>(random() % 500);
    const int narrow = ModuleColumns(inches, ppi);
    std::string want;
    for (char m : modules) {
      int columns = narrow;
      if (m & kWide && m & kDouble) columns = Pixels(narrow * 1.375);
      else if (m & kWide) columns = ModuleColumns(inches, ppi, ratio);
      else if (m & kDouble) columns = ModuleColumns(inches, ppi, 2);
      want.append(static_cast<size_t>(columns), static_cast<char>(m & ~kKindBits));
    }
    const int capacity =
        std::max(0, static_cast<int>(random() % 2 ? want.size() : want.size() + 1) - static_cast<int>(round % 3 == 0));
    const bool fits = static_cast<int>(want.size()) <= capacity;
    EXPECT_EQ(ExpandModules(modules, inches, ratio, ppi, capacity, pattern), fits) << round;
    EXPECT_EQ(pattern, fits ? want : "") << round << " narrow " << narrow;
  }
}

TEST(DrawBarCode, PublishedWithTheDefaultsStreamsLeaveOut) {
  cls::TClass c = cls::FindClass("TppDrawBarCode");
  ASSERT_NE(c, nullptr);
  cls::TComponent* made = c->Create(nullptr);
  std::vector<std::string> names;
  for (const cls::TPropInfo* p : cls::GetPropList(c)) {
    names.push_back(p->Name);
    if (p->HasDefault) {
      EXPECT_EQ(p->GetOrd(made), p->Default) << p->Name;
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Left", "Top", "Width", "Height", "Clickable", "DataType", "BarCodeType",
                                             "Data", "AddOnCode", "AutoEncode", "AutoSize", "AutoSizeFont", "BarColor",
                                             "BarWidth", "BearerBars", "CalcCheckDigit", "CodeOK", "Color", "Font",
                                             "Alignment", "Orientation", "PrintHumanReadable", "Transparent",
                                             "WideBarRatio"}));
  for (const char* on : {"AutoSize", "AutoSizeFont", "CalcCheckDigit", "CodeOK", "PrintHumanReadable"})
    EXPECT_EQ(cls::GetPropInfo(c, on)->Default, 1) << on;
  for (const char* always : {"BarCodeType", "BarColor", "BarWidth", "Color"})
    EXPECT_FALSE(cls::GetPropInfo(c, always)->HasDefault) << always;
  EXPECT_EQ(cls::GetObjectProp(made, "Font")->ClassName(), "TppFont");
  // Stream values: any type byte is kept (above bcMSI it draws no bars).
  cls::SetOrdProp(made, "BarCodeType", 11);
  cls::SetOrdProp(made, "BarCodeType", 300);
  cls::SetOrdProp(made, "Orientation", 4);
  cls::SetFloatProp(made, "WideBarRatio", 1e300);
  auto* bar = static_cast<TppDrawBarCode*>(made);
  EXPECT_EQ(int(bar->BarCodeType()), 11);
  EXPECT_EQ(bar->Orientation(), orLeftToRight);
  EXPECT_EQ(bar->WideBarRatio(), FLT_MAX);
  made->Free();
}

TEST_F(BarCodes, ReceiptSymbolOnTheRollPrinter) {
  auto* c = Receipt("200000100001");
  auto bitmap = Paint(c);
  EXPECT_EQ(c->Data(), "2000001000014");
  EXPECT_EQ(c->Geometry().ModuleWidth, 3);
  EXPECT_EQ(c->QuietZone(), 29);
  EXPECT_EQ(c->PixelWidth(), 343);
  int bh = c->Geometry().BarHeight, th = bitmap->Canvas().TextHeight("0");
  EXPECT_EQ(bh, 242);
  EXPECT_EQ(c->PixelHeight(), 242 + th);
  // The font starts at a fifth of the height in screen pixels; it fits.
  gdi::TCanvas& canvas = bitmap->Canvas();
  int screen = Pixels(242.0 * cls::Screen().PixelsPerInch / 203);
  EXPECT_EQ(c->Font()->Size(), Pixels(screen * 0.2));
  canvas.Font.Assign(*c->Font());
  EXPECT_LE(canvas.TextWidth("000000"), 126);
  // Each module is three columns, starting after the quiet zone.
  Image img(*bitmap);
  std::string modules = Modules("2000001000014");
  for (int x = 0; x < 343; ++x) {
    int i = (x - 29) / 3;
    bool bar = x >= 29 && x < 29 + 285 && modules[i] == '1';
    EXPECT_EQ(img.black(x, 10), bar) << x;
  }
  // Guard bars reach half-way into the text line less a module; data bars
  // stop at the text, whose strips are cleared.
  ASSERT_EQ(modules[6], '1');  // a bar of the second digit
  int guard = 29, data = 29 + 6 * 3;
  int length = bh - 3 + th / 2;
  EXPECT_TRUE(img.black(guard, length - 1));
  EXPECT_FALSE(img.black(guard, length));
  EXPECT_TRUE(img.black(data, bh - 1));
  EXPECT_FALSE(img.black(data, bh));
  // A taller symbol: the largest size that fits six digits under 42 modules.
  c->SetAutoSize(false);
  c->SetHeight(50000);
  c->Font()->SetSize(8);
  bitmap = Paint(c);
  int size = c->Font()->Size();
  EXPECT_LT(size, Pixels(Pixels(400.0 * cls::Screen().PixelsPerInch / 203) * 0.2));
  bitmap->Canvas().Font.Assign(*c->Font());
  EXPECT_LE(bitmap->Canvas().TextWidth("000000"), 126);
  bitmap->Canvas().Font.SetSize(size + 1);
  EXPECT_GT(bitmap->Canvas().TextWidth("000000"), 126);
  c->Free();
}

TEST_F(BarCodes, FailedDataPaintsTheBackgroundOnly) {
  for (const char* data : {"20000010000A4", "12345"}) {
    auto* c = Receipt(data);
    c->SetColor(0xC0C0C0);
    auto bitmap = Paint(c);
    Image img(*bitmap);
    EXPECT_FALSE(c->CodeOK());
    EXPECT_EQ(c->Data(), data);
    for (uint32_t p : img.px) ASSERT_EQ(p & 0xFFFFFF, 0xC0C0C0u) << data;
    c->SetTransparent(true);  // and transparent: nothing at all
    auto clear = Paint(c);
    for (uint32_t p : Image(*clear).px) ASSERT_EQ(p & 0xFFFFFF, 0xFFFFFFu) << data;
    c->Free();
  }
}

TEST_F(BarCodes, OrientationsTurnTheSymbolInItsExtent) {
  auto* c = Receipt("590123412345");
  c->SetPrintHumanReadable(false);
  c->SetBearerBars(true);
  auto flat = Paint(c);
  Image f(*flat);
  int w = f.w, h = f.h;
  for (auto o : {orRightToLeft, orTopToBottom, orBottomToTop}) {
    c->SetOrientation(o);
    auto turned = Paint(c);
    Image t(*turned);
    ASSERT_EQ(t.w, o == orRightToLeft ? w : h) << int(o);
    ASSERT_EQ(t.h, o == orRightToLeft ? h : w) << int(o);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint32_t p = o == orRightToLeft ? t.at(w - 1 - x, h - 1 - y)
                     : o == orTopToBottom ? t.at(h - 1 - y, x)
                                          : t.at(y, w - 1 - x);
        ASSERT_EQ(p, f.at(x, y)) << int(o) << " at " << x << "," << y;
      }
  }
  c->Free();
}

TEST_F(BarCodes, SizedOnThePrinterOrTheScreen) {
  testing_support::TempRoot root;
  ppPrintrFinalize();
  ASSERT_TRUE(spool::InstallPrinter(RecordingZolmet()));
  TppPrinter printer;
  printer.SetPrinterName("Zolmet");
  auto* c = Receipt("200000100001");
  c->SetAutoSize(false);
  c->SetHeight(18000);
  c->CalcSize(&printer);
  EXPECT_EQ(c->Width(), 42917);
  EXPECT_EQ(c->PixelHeight(), 144);  // nint(0.7087 inch x 203), text line included
  EXPECT_EQ(c->Height(), ConvertToMMThousandths(144, utPrinterPixels, ppVertical, &printer));
  c->SetOrientation(orTopToBottom);
  c->SetWidth(18000);
  c->CalcSize(&printer);
  EXPECT_EQ(c->Height(), 42917);
  EXPECT_EQ(c->Width(), ConvertToMMThousandths(144, utPrinterPixels, ppHorizontal, &printer));
  // No printer at all: the screen's pixels.
  ppPrintrFinalize();
  c->SetOrientation(orLeftToRight);
  c->CalcSize(nullptr);
  int m = ModuleColumns(0.0157f, cls::Screen().PixelsPerInch);
  EXPECT_EQ(c->PixelWidth(), 95 * m + 2 * Pixels(0.0157 * 9 * cls::Screen().PixelsPerInch));
  EXPECT_EQ(c->Width(), ConvertToMMThousandths(c->PixelWidth(), utScreenPixels));
  c->Free();
  ppPrintrFinalize();
}

TEST_F(BarCodes, ScreenStretchesItsBitmapAndTransparentKeepsWhatIsBelow) {
  Screen screen;
  screen.bitmap.SetSize(1000, 1000);
  auto& canvas = screen.bitmap.Canvas();
  canvas.Brush.Color = gdi::clRed;
  canvas.FillRect({0, 0, 1000, 1000});
  auto* c = Receipt("200000100001");
  c->SetTransparent(true);
  EXPECT_TRUE(c->Draw(nullptr) == false);
  EXPECT_TRUE(c->DrawToScreen(&screen));
  TppRect r = c->GetDrawRect();
  EXPECT_EQ(r.Left, 10);
  EXPECT_EQ(r.Right - r.Left, 2 * c->PixelWidth());
  Image img(screen.bitmap);
  int m = c->Geometry().ModuleWidth, q = c->QuietZone();
  EXPECT_TRUE(img.black(10 + 2 * q, 20));                // the first guard bar, doubled
  EXPECT_EQ(img.at(10 + 2 * (q + m), 20), 0xFF0000u);  // a space: red stays
  EXPECT_EQ(img.at(5, 5), 0xFF0000u);
  // A symbol from a stream too large for a bitmap is not drawn.
  c->SetAutoSize(false);
  c->SetHeight(INT32_MAX);
  EXPECT_TRUE(c->DrawToScreen(&screen));
  EXPECT_GT(c->PixelHeight(), gdi::RasterEngine::kMaxSide);
  c->Free();
}
