// The symbologies besides EAN-13: their tables, check digits, failures,
// Code 128's rules and messages, and what each paints.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "platform/gdi/engine.h"
#include "platform/ui/dialogs.h"
#include "report/model/ppResMgr.h"
#include "report/output/ppBarCodeEnc.h"
#include "report/output/ppDrwCmd.h"

using namespace ppBarCode;

namespace {

// Elements of a table row: each '1' wide.
size_t Wide(const std::string& elements) { return std::count(elements.begin(), elements.end(), '1'); }

// One column a narrow module, 3 a wide one.
TppBarCodeData Symbol(TppBarCodeType type, const std::string& data, bool calc = true) {
  TppBarCodeData d;
  d.BarCodeType = type;
  d.Data = data;
  d.CalcCheckDigit = calc;
  d.BarWidth = 25;
  d.WideBarRatio = 3;
  return d;
}

std::string Columns(TppBarCodeData& d, int* message = nullptr) {
  std::string pattern;
  int m = 0;
  EncodeBarCode(d, 1000, pattern, m);
  if (message) *message = m;
  return pattern;
}

// Records the text a hook draws; characters are 10 pixels wide.
class TextSurface : public TppBarCodeSurface {
 public:
  void FillBackground(int, int, int, int) override {}
  void FillBar(int, int, int, int) override {}
  void Text(int x, int y, const std::string& text) override { texts.push_back({x, y, text}); }
  int TextWidth(const std::string& text) override { return 10 * static_cast<int>(text.size()); }
  int TextHeight(const std::string&) override { return 12; }
  struct Drawn {
    int x, y;
    std::string text;
  };
  std::vector<Drawn> texts;
};

TppDrawBarCode* Command(TppBarCodeType type, const std::string& data, int32_t barWidth = 254) {
  auto* c = new TppDrawBarCode(nullptr);
  c->SetBarCodeType(type);
  c->SetData(data);
  c->SetBarWidth(barWidth);
  c->SetWideBarRatio(3);
  c->Font()->SetName("Courier New");
  c->Font()->SetSize(8);
  return c;
}

// Painted at 203 dpi on a bitmap of the symbol's size.
std::unique_ptr<gdi::TBitmap> Paint(TppDrawBarCode* c) {
  auto bitmap = std::make_unique<gdi::TBitmap>();
  bitmap->SetSize(1, 1);
  c->Encode(203, 203);
  c->PaintBars(&bitmap->Canvas(), 0, false, 203, 203, 0);
  bitmap->SetSize(c->PixelWidth(), c->PixelHeight());
  c->PaintBars(&bitmap->Canvas(), 0, true, 203, 203, 0);
  return bitmap;
}

bool Black(const gdi::TBitmap& b, int x, int y) { return (b.Pixels()[size_t(y) * b.Width() + x] & 0xFFFFFF) == 0; }

}  // namespace

TEST(BarCodeTables, SymbologyTablesKeepTheirStandardsRules) {
  std::set<std::string> seen;
  for (int v = 0; v <= 105; ++v) {
    std::string p = Code128Pattern(v);
    ASSERT_EQ(p.size(), 11u) << v;
    EXPECT_EQ(p.front(), '1');
    EXPECT_EQ(p.back(), '0');
    int bars = 0, barModules = 0;
    for (size_t i = 0; i < p.size(); ++i) {
      bars += p[i] == '1' && (i == 0 || p[i - 1] == '0');
      barModules += p[i] == '1';
    }
    EXPECT_EQ(bars, 3) << v;
    EXPECT_EQ(barModules % 2, 0) << v;  // the even bar parity of Code 128
    seen.insert(p);
  }
  EXPECT_EQ(seen.size(), 106u);
  EXPECT_STREQ(Code128Pattern(106), "");
  EXPECT_EQ(std::string(kCode128Stop).size(), 13u);
  seen.clear();
  const std::string code39 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ-. $/+%*";
  for (char c : code39) {
    std::string p = Code39Pattern(c);
    ASSERT_EQ(p.size(), 9u) << c;
    EXPECT_EQ(Wide(p), 3u) << c;
    seen.insert(p);
    if (c >= 'A' && c <= 'Z') {
      EXPECT_EQ(Code39Pattern(static_cast<char>(c + 32)), p);
    }
  }
  EXPECT_EQ(seen.size(), 44u);
  EXPECT_STREQ(Code39Pattern('@'), "");
  seen.clear();
  for (char c : std::string("0123456789-$:/.+ABCD")) {
    std::string p = CodabarPattern(c);
    ASSERT_EQ(p.size(), 7u) << c;
    EXPECT_TRUE(Wide(p) == 2 || Wide(p) == 3) << c;
    seen.insert(p);
  }
  EXPECT_EQ(seen.size(), 20u);
  EXPECT_STREQ(CodabarPattern('b'), CodabarPattern('B'));
  EXPECT_STREQ(CodabarPattern('E'), "");
  std::set<std::string> i25, postnet, upcE;
  for (int d = 0; d <= 9; ++d) {
    std::string p = Int2of5Pattern(d), q = PostnetPattern(d), e = UpcEParity(d);
    EXPECT_EQ(p.size(), 5u);
    EXPECT_EQ(Wide(p), 2u) << d;
    EXPECT_EQ(q.size(), 5u);
    EXPECT_EQ(std::count(q.begin(), q.end(), '2'), 2) << d;
    EXPECT_EQ(e.size(), 6u);
    EXPECT_EQ(std::count(e.begin(), e.end(), 'B'), 3) << d;
    i25.insert(p), postnet.insert(q), upcE.insert(e);
  }
  EXPECT_EQ(i25.size(), 10u);
  EXPECT_EQ(postnet.size(), 10u);
  EXPECT_EQ(upcE.size(), 10u);
  // Every row encodes; only UPC/EAN have add-ons, only FIM has no text.
  for (int t = 0; t <= bcMSI; ++t) {
    const TppSymbology* s = Symbology(static_cast<TppBarCodeType>(t));
    bool upcEan = t <= bcEAN_8;
    EXPECT_NE(s->Encode, nullptr) << t;
    EXPECT_EQ(s->EncodeAddOn != nullptr, upcEan) << t;
    EXPECT_EQ(s->DrawAddOn != nullptr, upcEan) << t;
    EXPECT_EQ(s->GuardsIntoText, upcEan) << t;
    EXPECT_EQ(s->DrawText == nullptr, t == bcFIM) << t;
    EXPECT_EQ(s->TallAndShortBars, t == bcPostnet) << t;
  }
}

TEST(BarCodeEncoding, CheckDigitsOfEachSymbology) {
  EXPECT_EQ(UpcCheckDigit("2012345"), 1);
  EXPECT_EQ(UpcCheckDigit("01234567890"), 5);
  EXPECT_EQ(UpcCheckDigit("03600029145"), 2);
  // UPC-E to UPC-A by the last digit's rule.
  EXPECT_EQ(UpcEToUpcA("123450"), "01200000345");
  EXPECT_EQ(UpcEToUpcA("123452"), "01220000345");
  EXPECT_EQ(UpcEToUpcA("123453"), "01230000045");
  EXPECT_EQ(UpcEToUpcA("123454"), "01234000005");
  EXPECT_EQ(UpcEToUpcA("123459"), "01234500009");
  EXPECT_EQ(UpcEToUpcA("12345"), "");
  EXPECT_EQ(Int2of5CheckDigit("01234"), 8);
  EXPECT_EQ(MsiCheckDigit("0139725"), 6);
  EXPECT_EQ(MsiCheckDigit("7992739871"), 3);  // the Luhn example
  EXPECT_EQ(PostnetCheckDigit("12345-6789"), 5);
  EXPECT_EQ(PostnetCheckDigit("55555"), 5);
  EXPECT_EQ(PostnetCheckDigit("19"), 0);
  // Appended to Data (cut first when it already has one); stable.
  struct Case {
    TppBarCodeType type;
    const char *data, *after;
  };
  for (const Case& k : {Case{bcUPC_A, "01234567890", "012345678905"}, Case{bcUPC_A, "012345678909", "012345678905"},
                        Case{bcUPC_E, "012345", "0123457"}, Case{bcUPC_E, "0123450", "0123457"},
                        Case{bcEAN_8, "2012345", "20123451"}, Case{bcEAN_8, "20123459", "20123451"},
                        Case{bcInt2of5, "01234", "012348"}, Case{bcInt2of5, "012345", "012345"}}) {
    TppBarCodeData d = Symbol(k.type, k.data);
    std::string first = Columns(d);
    EXPECT_EQ(d.Data, k.after) << k.data;
    EXPECT_FALSE(first.empty());
    EXPECT_EQ(Columns(d), first);
    EXPECT_EQ(d.Data, k.after);
  }
  // Without the step the data is taken as it is.
  TppBarCodeData given = Symbol(bcUPC_A, "012345678909", false);
  Columns(given);
  EXPECT_EQ(given.Data, "012345678909");
  EXPECT_TRUE(given.CodeOK);
}

TEST(BarCodeEncoding, DataTheSymbologyCannotTakeFailsQuietly) {
  struct Case {
    TppBarCodeType type;
    const char* data;
    bool calc;
  };
  const Case cases[] = {
      {bcUPC_A, "0123456789", true},   {bcUPC_A, "0123456789A", true}, {bcUPC_A, "01234567890", false},
      {bcUPC_E, "01234", true},        {bcUPC_E, "01234A", true},      {bcUPC_E, "012345", false},
      {bcEAN_8, "20A2345", true},      {bcEAN_8, "201234", true},      {bcEAN_8, "2012345", false},
      {bcInt2of5, "01234", false},     {bcInt2of5, "0123A5", true},    {bcInt2of5, "12 34", true},
      {bcPostnet, "1234A", true},      {bcPostnet, "---", true},       {bcMSI, "01397A5", true},
      {bcMSI, "-1", false},            {bcCode39, "AB@C", true},       {bcCode39, "A*B", true},
      {bcCodabar, "A01E4B", true},     {bcCodabar, "A01\xA4\x40", true}, {bcFIM, "D", true},
      {bcFIM, "AB", true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(std::to_string(k.type) + " " + k.data);
    TppBarCodeData d = Symbol(k.type, k.data, k.calc);
    int message = -1;
    std::string pattern;
    EXPECT_NO_THROW(pattern = Columns(d, &message));
    EXPECT_FALSE(d.CodeOK);
    EXPECT_EQ(d.Data, k.data);
    EXPECT_TRUE(pattern.empty());
    EXPECT_EQ(message, 0);
  }
  // An add-on of non-digits fails the symbol; one of another length is
  // no add-on.
  TppBarCodeData d = Symbol(bcEAN_13, "200000100001");
  d.AddOnCode = "1A";
  std::string main = Columns(d), addOn;
  int message = 0;
  EncodeAddOn(d, 1000, addOn, message);
  EXPECT_FALSE(d.CodeOK);
  EXPECT_TRUE(addOn.empty());
  d = Symbol(bcUPC_A, "01234567890");
  d.AddOnCode = "123";
  Columns(d);
  EncodeAddOn(d, 1000, addOn, message);
  EXPECT_TRUE(d.CodeOK);
  EXPECT_TRUE(addOn.empty());
  // Add-ons belong to UPC/EAN only.
  d = Symbol(bcCode39, "ABC");
  d.AddOnCode = "12";
  EncodeAddOn(d, 1000, addOn, message);
  EXPECT_TRUE(addOn.empty());
  // Long data is refused before a column is written, in every symbology
  // that takes it.
  for (TppBarCodeType t : {bcInt2of5, bcCode128, bcCode39, bcPostnet, bcCodabar, bcMSI}) {
    std::string digits(2000, '1');
    if (t == bcCode128) digits.insert(0, "\xD2");
    if (t == bcCodabar) digits = "A" + digits + "B";
    d = Symbol(t, digits);
    d.AutoEncode = true;  // Code 128 rewrites its data first
    EXPECT_TRUE(Columns(d).empty()) << int(t);
    EXPECT_FALSE(d.CodeOK) << int(t);
    EXPECT_EQ(d.Data, digits) << int(t);
  }
  d = Symbol(bcEAN_13, "200000100001");
  d.AddOnCode = "12345";
  d.BarWidth = 800;  // 47 modules of 31 columns: 1457
  Columns(d);
  EncodeAddOn(d, 1000, addOn, message);
  EXPECT_TRUE(addOn.empty());
  EXPECT_FALSE(d.CodeOK);
}

TEST(BarCodeEncoding, MsiCheckDigitGoesIntoTheBarsAndTextNotIntoData) {
  TppBarCodeData d = Symbol(bcMSI, "0139725");
  std::string first = Columns(d);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Columns(d), first);
    EXPECT_EQ(d.Data, "0139725");
  }
  EXPECT_EQ(first.size(), 3 + 12 * 8 + 6u);
  TextSurface s;
  TppBarCodeGeometry g;
  g.PixelWidth = 200;
  Symbology(bcMSI)->DrawText(s, g, d);
  ASSERT_EQ(s.texts.size(), 1u);
  EXPECT_EQ(s.texts[0].text, "01397256");
  d = Symbol(bcMSI, "0139725", false);
  EXPECT_EQ(Columns(d).size(), 3 + 12 * 7 + 6u);
  s.texts.clear();
  Symbology(bcMSI)->DrawText(s, g, d);
  EXPECT_EQ(s.texts[0].text, "0139725");
}

TEST(Code128, ErrorsNameTheirMessage) {
  struct Case {
    std::string data;
    int message;
    const char* arg;
  };
  const Case cases[] = {
      {"ABC", 451, ""},
      {"\xD1" "AB" "\xD1", 452, ""},
      {"\xD0" "a", 453, "'a'"},
      {"\xD1" "\x01", 453, "#1"},
      {"\xD1" "A\xB0", 453, "#176"},
      {"\xD2" "12A4", 453, "'A'"},
      {"\xD2" "A", 453, "'A'"},
      {"\xD2" "\x01" "2", 453, "#1"},
      {"\xD2" "1", 455, ""},
      {"\xD1" "\xD3", 454, ""},
      {"\xD2" "123", 455, ""},
      {"\xD0" "\xCE", 456, ""},
      {"\xD1" "\xCD", 456, ""},
      {"\xD2" "\xCC", 456, ""},
      {"\xD2" "\xCB" "12", 457, ""},
      {"\xD2" "\xC9", 457, ""},
      {"\xD1" "\xCB", 458, ""},
      {"\xD1" "\xCB" "\xCF", 458, ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.data);
    TppBarCodeData d = Symbol(bcCode128, k.data);
    int message = 0;
    EXPECT_TRUE(Columns(d, &message).empty());
    EXPECT_FALSE(d.CodeOK);
    EXPECT_EQ(message, k.message);
    EXPECT_EQ(d.MessageArg, k.arg);
    EXPECT_EQ(d.Data, k.data);
  }
  // Shift, switches and function characters where they belong.
  for (const char* ok : {"\xD1" "a\xCB" "\xD3" "b", "\xD0" "AB\xCD" "ab\xCC" "12\xCF", "\xD2" "12\xCE" "\xD3\xCD" "a",
                         "\xD0" "\xC9\xCA\xCF" "A", "\xD2"}) {
    TppBarCodeData d = Symbol(bcCode128, ok);
    int message = 0;
    std::string columns = Columns(d, &message);
    EXPECT_TRUE(d.CodeOK) << ok;
    EXPECT_EQ(message, 0);
    // Start, the characters, checksum, stop.
    EXPECT_EQ(columns.size() % 11, 2u);
    EXPECT_EQ(columns.substr(columns.size() - 13), kCode128Stop);
  }
  // Checksum: START B (104) + 1 x 'A' (33) = 137 = 34 mod 103.
  TppBarCodeData d = Symbol(bcCode128, "\xD1" "A");
  EXPECT_EQ(Columns(d).substr(22, 11), Code128Pattern(34));
}

TEST(Code128, AutoEncodeChoosesTheStartAndTheSwitches) {
  struct Case {
    const char *data, *encoded;
  };
  const Case cases[] = {
      {"Barcode", "\xD1" "Barcode"},
      {"ABC", "\xD0" "ABC"},               // A and B both fit: A
      {"1234 abcd", "\xD2" "1234" "\xCD" " abcd"},
      {"12", "\xD2" "12"},
      {"a\x01" "b", "\xD1" "a\xCB\xD4" "b"},  // back to B at once: SHIFT
      {"a\x01\x02", "\xD1" "a\xCE\xD4\xD5"},   // staying in A: CODE A
      {"A12B", "\xD0" "A12B"},               // a lone pair stays
      {"A12", "\xD0" "A\xCC" "12"},          // a closing pair switches
      {"A1234B", "\xD0" "A\xCC" "1234\xCE" "B"},
  };
  for (const Case& k : cases) {
    EXPECT_EQ(Code128AutoEncode(k.data), k.encoded) << k.data;
    // Encoding what it wrote gives the same again.
    EXPECT_EQ(Code128AutoEncode(k.encoded), k.encoded) << k.data;
    TppBarCodeData d = Symbol(bcCode128, k.data);
    d.AutoEncode = true;
    std::string first = Columns(d);
    EXPECT_TRUE(d.CodeOK);
    EXPECT_EQ(d.Data, k.encoded);
    EXPECT_EQ(Columns(d), first);
  }
  // A byte Code 128 cannot carry (Big5 text, whose bytes 211-242 are no
  // control characters here) fails naming it and leaves Data alone.
  for (auto [data, arg] : {std::pair{"中文", "#164"}, {"AB\xE5" "C", "#229"}, {"12\xD3", "#211"},
                           {"\xCF" "12", "#207"}, {"\xD0" "AB\xA4\xA4", "#164"}}) {
    TppBarCodeData d = Symbol(bcCode128, data);
    d.AutoEncode = true;
    int message = 0;
    EXPECT_TRUE(Columns(d, &message).empty()) << data;
    EXPECT_FALSE(d.CodeOK) << data;
    EXPECT_EQ(message, 453) << data;
    EXPECT_EQ(d.MessageArg, arg) << data;
    EXPECT_EQ(d.Data, data);
  }
}

TEST(BarCodeText, OneLineTextsFollowAlignment) {
  TextSurface s;
  TppBarCodeGeometry g;
  g.PixelWidth = 200;
  g.BarHeight = 50;
  TppBarCodeData d = Symbol(bcCode128, "\xD2" "1234" "\xCD" " abcd");
  for (auto [alignment, x] : {std::pair{cls::taLeftJustify, 0}, {cls::taRightJustify, 110}, {cls::taCenter, 55}}) {
    d.Alignment = alignment;
    s.texts.clear();
    Symbology(bcCode128)->DrawText(s, g, d);  // the printable characters only
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0].text, "1234 abcd");
    EXPECT_EQ(s.texts[0].x, x);
    EXPECT_EQ(s.texts[0].y, 50);
  }
  for (TppBarCodeType t : {bcInt2of5, bcCode39, bcCodabar, bcPostnet}) {
    d = Symbol(t, "0123");
    d.Alignment = cls::taRightJustify;
    s.texts.clear();
    Symbology(t)->DrawText(s, g, d);
    ASSERT_EQ(s.texts.size(), 1u);
    EXPECT_EQ(s.texts[0].text, "0123");
    EXPECT_EQ(s.texts[0].x, 160);
  }
}

TEST(DrawBarCode, PostnetBarsAreTallAndShortOnOneBottomLine) {
  auto* c = Command(bcPostnet, "12345-6789", 508);  // 0.02 inch: 4 columns a bar
  c->SetPrintHumanReadable(false);
  auto bitmap = Paint(c);
  const std::string& p = c->BarPattern();
  int bh = c->Geometry().BarHeight;
  EXPECT_EQ(bh, 25);  // an eighth of an inch
  EXPECT_EQ(c->QuietZone(), 0);
  EXPECT_EQ(c->PixelWidth(), static_cast<int>(p.size()));
  int shortBar = Pixels(0.4 * bh), tall = 0, low = 0;
  for (int x = 0; x < c->PixelWidth(); ++x) {
    if (p[x] == '2') {
      ++tall;
      EXPECT_TRUE(Black(*bitmap, x, 0) && Black(*bitmap, x, bh - 1)) << x;
    } else if (p[x] == '1') {
      ++low;
      EXPECT_FALSE(Black(*bitmap, x, bh - shortBar - 1)) << x;
      EXPECT_TRUE(Black(*bitmap, x, bh - shortBar) && Black(*bitmap, x, bh - 1)) << x;
    } else {
      EXPECT_FALSE(Black(*bitmap, x, bh - 1)) << x;
    }
  }
  EXPECT_EQ(tall, 4 * (2 + 2 * 10));
  EXPECT_EQ(low, 4 * 3 * 10);
  c->Free();
}

TEST(DrawBarCode, FontsAreFittedByEachSymbologysRule) {
  // POSTNET: half the height in screen pixels, no test.
  auto* c = Command(bcPostnet, "12345");
  c->SetAutoSize(false);
  int ppi = cls::Screen().PixelsPerInch;
  bool odd = false;
  for (int32_t height : {7000, 7132, 7300, 9000}) {
    c->SetHeight(height);
    Paint(c);
    int screen = Pixels(static_cast<double>(c->PixelHeight()) * ppi / 203);
    odd |= screen % 2 == 1;
    EXPECT_EQ(c->Font()->Size(), screen / 2) << height;
  }
  EXPECT_TRUE(odd);
  c->Free();
  // FIM: the font as it is.
  c = Command(bcFIM, "A", 787);
  c->Font()->SetSize(11);
  c->SetPrintHumanReadable(false);
  Paint(c);
  EXPECT_EQ(c->Font()->Size(), 11);
  EXPECT_EQ(c->Geometry().ModuleWidth, 6);
  EXPECT_EQ(c->PixelHeight(), 120);  // 20 modules
  c->Free();
  // Code 39: the largest size whose digits times the data fit the width.
  c = Command(bcCode39, "BarCode");
  c->SetAutoSize(false);
  c->SetHeight(100000);
  auto bitmap = Paint(c);
  int size = c->Font()->Size();
  auto& canvas = bitmap->Canvas();
  canvas.Font.Assign(*c->Font());
  EXPECT_LE(canvas.TextWidth("0") * 7, c->PixelWidth());
  canvas.Font.SetSize(size + 1);
  EXPECT_GT(canvas.TextWidth("0") * 7, c->PixelWidth());
  c->Free();
}

TEST(DrawBarCode, AddOnFollowsNineModulesOnALowerLine) {
  auto* c = Command(bcEAN_13, "200000100001", 400);
  c->SetAddOnCode("12");
  auto bitmap = Paint(c);
  const auto& g = c->Geometry();
  EXPECT_EQ(c->AddOnPattern().size(), 20u * 3);
  EXPECT_EQ(c->PixelWidth(), 285 + 2 * 29 + 27 + 60);
  int x0 = 29 + 285 + 27, th = bitmap->Canvas().TextHeight("0");
  EXPECT_TRUE(Black(*bitmap, x0, th));
  EXPECT_FALSE(Black(*bitmap, x0, th - 1));
  EXPECT_TRUE(Black(*bitmap, x0, g.BarLength - 1));
  EXPECT_FALSE(Black(*bitmap, x0, g.BarLength));
  EXPECT_FALSE(Black(*bitmap, x0 + 3, th));  // "1011": a space module
  for (int x = x0 - 27; x < x0; ++x) EXPECT_FALSE(Black(*bitmap, x, th)) << x;
  // The digits stand above the add-on's right end.
  bool text = false;
  for (int x = x0 + 30; x < x0 + 60; ++x)
    for (int y = 0; y < th; ++y) text |= Black(*bitmap, x, y);
  EXPECT_TRUE(text);
  c->Free();
}

TEST(DrawBarCode, Code128ErrorsAreShownUnlessPrinting) {
  for (int id = 451; id <= 458; ++id) EXPECT_FALSE(LoadLanguageString(id).empty()) << id;
  ui::ClearRecordedDialogs();
  auto* c = Command(bcCode128, "ABC");
  c->Encode(203, 203);
  EXPECT_FALSE(c->CodeOK());
  EXPECT_TRUE(c->BarPattern().empty());
  auto shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, LoadLanguageString(451));
  c->Encode(203, 203);  // failed for good: nothing to say again
  EXPECT_EQ(ui::RecordedDialogs().size(), 1u);
  c->SetCodeOK(true);
  c->SetData("\xD0" "a");
  c->Encode(203, 203);
  shown = ui::RecordedDialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].text.find("'a'"), std::string::npos) << shown[1].text;
  EXPECT_EQ(shown[1].text.find("<character>"), std::string::npos);
  // EAN-8 data with a letter: no bars, nothing raised, nothing shown.
  c->SetCodeOK(true);
  c->SetBarCodeType(bcEAN_8);
  c->SetData("20A2345");
  EXPECT_NO_THROW(Paint(c));
  EXPECT_FALSE(c->CodeOK());
  EXPECT_EQ(ui::RecordedDialogs().size(), 2u);
  c->Free();
  ui::ClearRecordedDialogs();
}
