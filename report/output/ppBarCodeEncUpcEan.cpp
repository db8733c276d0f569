// UPC-A, UPC-E, EAN-13, EAN-8 and their 2- or 5-digit add-on.
#include <algorithm>
#include <array>
#include <cstring>

#include "report/model/ppUtils.h"
#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

// The UPC/EAN number sets, by digit.
constexpr std::array<std::array<const char*, 10>, 3> kDigitPatterns{{
    {"0001101", "0011001", "0010011", "0111101", "0100011", "0110001", "0101111", "0111011", "0110111", "0001011"},
    {"0100111", "0110011", "0011011", "0100001", "0011101", "0111001", "0000101", "0010001", "0001001", "0010111"},
    {"1110010", "1100110", "1101100", "1000010", "1011100", "1001110", "1010000", "1000100", "1001000", "1110100"},
}};

// The sets of digits 2-7 of an EAN-13, by its first digit.
constexpr std::array<const char*, 10> kEan13Parity{"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                                   "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
// The sets of a UPC-E's six digits, by its check digit (number system 0).
constexpr std::array<const char*, 10> kUpcEParity{"BBBAAA", "BBABAA", "BBAABA", "BBAAAB", "BABBAA",
                                                  "BAABBA", "BAAABB", "BABABA", "BABAAB", "BAABAB"};
// The sets of a 2-digit add-on by its value mod 4, of a 5-digit one by its
// weighted sum mod 10.
constexpr std::array<const char*, 4> kAddOn2Parity{"AA", "AB", "BA", "BB"};
constexpr std::array<const char*, 10> kAddOn5Parity{"BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA",
                                                    "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB"};

void AppendDigit(std::string& modules, char set, char digit) {
  modules.append(kDigitPatterns[set == 'A' ? nsA : set == 'B' ? nsB : nsC][digit - '0'], 7);
}

// With CalcCheckDigit DATA of FULL - 1 or FULL digits gets (or has
// replaced) its last digit by CHECK of the digits before; without, FULL
// digits are taken as they are.
template <typename Check>
bool WithCheckDigit(TppBarCodeData& data, size_t full, Check check) {
  std::string& d = data.Data;
  size_t n = d.size();
  if (!AllDigits(d) || !(n == full || (data.CalcCheckDigit && n == full - 1))) return false;
  if (data.CalcCheckDigit) {
    d.resize(full - 1);
    d.push_back(static_cast<char>('0' + check(d)));
  }
  return true;
}

// ---- geometry and text ----

int UpcEanQuietZone(const TppBarCodeGeometry& g) { return Pixels(static_cast<double>(g.BarWidthInches) * 9 * g.PpiAlong); }
int ColumnsHeight(const TppBarCodeGeometry& g) { return Pixels(g.Columns * 0.85); }
int UpcHeight(const TppBarCodeGeometry& g) {
  double thousandths = ppNint(static_cast<double>(g.BarWidth) * 73.85);
  thousandths = std::clamp(thousandths, -2147483648.0, 2147483647.0);
  float inches = ConvertFromMMThousandths(static_cast<int32_t>(thousandths), utInches);
  return Pixels(static_cast<double>(inches) * g.PpiAcross);
}

int64_t Modules(const TppBarCodeGeometry& g, int count) { return static_cast<int64_t>(count) * g.ModuleWidth; }

bool Ean13FontTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData&) {
  return s.TextWidth("000000") > Modules(g, 42);
}
bool UpcAFontTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData&) {
  return 5LL * s.TextWidth("0") > Modules(g, 36);
}
bool UpcEFontTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData&) {
  return 6LL * s.TextWidth("0") > Modules(g, 42);
}
bool Ean8FontTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData&) {
  return s.TextWidth("0000") > Modules(g, 28);
}

std::string Part(const std::string& data, size_t from, size_t count) {
  return from < data.size() ? data.substr(from, count) : std::string();
}

// Characters FROM.. (COUNT) of the data under modules FIRST to LAST, on a
// strip cleared first.
void Strip(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d, int first, int last,
           size_t from, size_t count) {
  int q = g.QuietZone, m = g.ModuleWidth, bh = g.BarHeight;
  s.FillBackground(q + first * m, bh, q + last * m, bh + s.TextHeight("5"));
  s.Text(q + first * m, bh, Part(d.Data, from, count));
}

// Digits 2-7 under the left data modules, 8-13 under the right ones, the
// first digit in the left quiet zone.
void Ean13Text(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  Strip(s, g, d, 3, 45, 1, 6);
  Strip(s, g, d, 50, 92, 7, 6);
  s.Text(1, g.BarHeight, Part(d.Data, 0, 1));
}

// Digits 2-6 and 7-11 under the data modules; the number system in the
// left quiet zone, the check digit in the right one.
void UpcAText(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  Strip(s, g, d, 10, 45, 1, 5);
  Strip(s, g, d, 50, 85, 6, 5);
  s.Text(1, g.BarHeight, Part(d.Data, 0, 1));
  s.Text(g.QuietZone + 96 * g.ModuleWidth, g.BarHeight, Part(d.Data, 11, 1));
}

// The six digits under the data modules; the number system 0 and the check
// digit outside.
void UpcEText(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  Strip(s, g, d, 3, 45, 0, 6);
  s.Text(1, g.BarHeight, "0");
  s.Text(g.QuietZone + 52 * g.ModuleWidth, g.BarHeight, Part(d.Data, 6, 1));
}

void Ean8Text(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  Strip(s, g, d, 3, 31, 0, 4);
  Strip(s, g, d, 36, 64, 4, 4);
}

// Nine modules after the main bars: bars from one text line down to the
// main bars' end, the code in that line, flush with the add-on's end.
void DrawAddOn(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d,
               const std::string& pattern, bool text) {
  int x0 = g.QuietZone + g.Columns + 9 * g.ModuleWidth, th = s.TextHeight("0");
  for (size_t i = 0; i < pattern.size();) {
    size_t j = i;
    while (j < pattern.size() && pattern[j] == pattern[i]) ++j;
    if (pattern[i] == '1') s.FillBar(x0 + static_cast<int>(i), th, x0 + static_cast<int>(j), g.BarLength);
    i = j;
  }
  if (text) s.Text(x0 + static_cast<int>(pattern.size()) - s.TextWidth(d.AddOnCode), 0, d.AddOnCode);
}

}  // namespace

const char* DigitPattern(TppNumberSet set, int digit) {
  if (set > nsC || digit < 0 || digit > 9) return "";
  return kDigitPatterns[set][digit];
}

const char* Ean13Parity(int firstDigit) {
  return firstDigit >= 0 && firstDigit <= 9 ? kEan13Parity[firstDigit] : "";
}

const char* UpcEParity(int checkDigit) { return checkDigit >= 0 && checkDigit <= 9 ? kUpcEParity[checkDigit] : ""; }

int Ean13CheckDigit(std::string_view digits) {
  int s = 0;
  for (size_t i = 0; i < 12 && i < digits.size(); ++i) s += (digits[i] - '0') * (i % 2 ? 3 : 1);
  return (10 - s % 10) % 10;
}

int UpcCheckDigit(std::string_view digits) {
  int s = 0;
  for (size_t i = 0; i < digits.size(); ++i) s += (digits[i] - '0') * (i % 2 ? 1 : 3);
  return (10 - s % 10) % 10;
}

std::string UpcEToUpcA(std::string_view six) {
  if (six.size() != 6) return {};
  std::string d(six), a;
  switch (d[5]) {
    case '0': case '1': case '2': a = d.substr(0, 2) + d[5] + "0000" + d.substr(2, 3); break;
    case '3': a = d.substr(0, 3) + "00000" + d.substr(3, 2); break;
    case '4': a = d.substr(0, 4) + "00000" + d[4]; break;
    default: a = d.substr(0, 5) + "0000" + d[5]; break;
  }
  return "0" + a;
}

bool EncodeEan13(TppBarCodeData& data, std::string& modules, int&) {
  if (!WithCheckDigit(data, 13, Ean13CheckDigit)) return false;
  const std::string& d = data.Data;
  const char* parity = kEan13Parity[d[0] - '0'];
  // The 95 modules in place, seven a digit.
  const size_t at = modules.size();
  modules.resize(at + 95);
  char* m = modules.data() + at;
  std::memcpy(m, "101", 3);
  for (int i = 1; i <= 6; ++i) std::memcpy(m + 3 + 7 * (i - 1), kDigitPatterns[parity[i - 1] - 'A'][d[i] - '0'], 7);
  std::memcpy(m + 45, "01010", 5);
  for (int i = 7; i <= 12; ++i) std::memcpy(m + 50 + 7 * (i - 7), kDigitPatterns[nsC][d[i] - '0'], 7);
  std::memcpy(m + 92, "101", 3);
  return true;
}

bool EncodeUpcA(TppBarCodeData& data, std::string& modules, int&) {
  if (!WithCheckDigit(data, 12, UpcCheckDigit)) return false;
  const std::string& d = data.Data;
  modules.append("101");
  for (int i = 0; i < 6; ++i) AppendDigit(modules, 'A', d[i]);
  modules.append("01010");
  for (int i = 6; i < 12; ++i) AppendDigit(modules, 'C', d[i]);
  modules.append("101");
  return true;
}

bool EncodeUpcE(TppBarCodeData& data, std::string& modules, int&) {
  if (!WithCheckDigit(data, 7, [](std::string_view six) { return UpcCheckDigit(UpcEToUpcA(six)); })) return false;
  const std::string& d = data.Data;
  const char* parity = kUpcEParity[d[6] - '0'];
  modules.append("101");
  for (int i = 0; i < 6; ++i) AppendDigit(modules, parity[i], d[i]);
  modules.append("010101");
  return true;
}

bool EncodeEan8(TppBarCodeData& data, std::string& modules, int&) {
  if (!WithCheckDigit(data, 8, UpcCheckDigit)) return false;
  const std::string& d = data.Data;
  modules.append("101");
  for (int i = 0; i < 4; ++i) AppendDigit(modules, 'A', d[i]);
  modules.append("01010");
  for (int i = 4; i < 8; ++i) AppendDigit(modules, 'C', d[i]);
  modules.append("101");
  return true;
}

bool EncodeUpcEanAddOn(TppBarCodeData& data, std::string& modules, int&) {
  const std::string& d = data.AddOnCode;
  if (d.size() != 2 && d.size() != 5) return true;
  if (!AllDigits(d)) return false;
  const char* parity;
  if (d.size() == 2) {
    parity = kAddOn2Parity[((d[0] - '0') * 10 + (d[1] - '0')) % 4];
  } else {
    int s = 3 * (d[0] + d[2] + d[4] - 3 * '0') + 9 * (d[1] + d[3] - 2 * '0');
    parity = kAddOn5Parity[s % 10];
  }
  modules.append("1011");
  for (size_t i = 0; i < d.size(); ++i) {
    if (i) modules.append("01");
    AppendDigit(modules, parity[i], d[i]);
  }
  return true;
}

constinit const TppSymbology kUpcARow{bcUPC_A,   EncodeUpcA, UpcEanQuietZone, UpcHeight, 0.2, UpcAFontTooWide, UpcAText,
                                      true,      EncodeUpcEanAddOn, DrawAddOn, nullptr, false};
constinit const TppSymbology kUpcERow{bcUPC_E,   EncodeUpcE, UpcEanQuietZone, UpcHeight, 0.2, UpcEFontTooWide, UpcEText,
                                      true,      EncodeUpcEanAddOn, DrawAddOn, nullptr, false};
constinit const TppSymbology kEan13Row{bcEAN_13, EncodeEan13, UpcEanQuietZone, ColumnsHeight, 0.2, Ean13FontTooWide,
                                       Ean13Text, true, EncodeUpcEanAddOn, DrawAddOn, nullptr, false};
constinit const TppSymbology kEan8Row{bcEAN_8,   EncodeEan8, UpcEanQuietZone, ColumnsHeight, 0.2, Ean8FontTooWide,
                                      Ean8Text,  true, EncodeUpcEanAddOn, DrawAddOn, nullptr, false};

}  // namespace ppBarCode
