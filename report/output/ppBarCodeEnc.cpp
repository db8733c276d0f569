#include "report/output/ppBarCodeEnc.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "report/model/ppUtils.h"

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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

// Blank as the class library's Trim sees it: nothing above a space.
bool IsBlank(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

// ---- geometry hooks ----

int UpcEanQuietZone(const TppBarCodeGeometry& g) { return Pixels(static_cast<double>(g.BarWidthInches) * 9 * g.PpiAlong); }
int Int2of5QuietZone(const TppBarCodeGeometry& g) { return Pixels(g.Columns * 0.03); }
int NoQuietZone(const TppBarCodeGeometry&) { return 0; }

int ColumnsHeight(const TppBarCodeGeometry& g) { return Pixels(g.Columns * 0.85); }
int UpcHeight(const TppBarCodeGeometry& g) {
  double thousandths = ppNint(static_cast<double>(g.BarWidth) * 73.85);
  thousandths = std::clamp(thousandths, -2147483648.0, 2147483647.0);
  float inches = ConvertFromMMThousandths(static_cast<int32_t>(thousandths), utInches);
  return Pixels(static_cast<double>(inches) * g.PpiAcross);
}
int Int2of5Height(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.6); }
int QuarterWidthHeight(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.25); }
int PostnetHeight(const TppBarCodeGeometry& g) { return Pixels(g.PpiAcross * 0.125); }
int FimHeight(const TppBarCodeGeometry& g) { return Pixels(static_cast<double>(g.ModuleWidth) * 20); }
int MsiHeight(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.2); }

// ---- EAN-13 hooks ----

bool Ean13FontTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData&) {
  return s.TextWidth("000000") > 42 * static_cast<int64_t>(g.ModuleWidth);
}

// Digits 2-7 under the left data modules, 8-13 under the right ones, the
// first digit in the left quiet zone; the strips are cleared first.
void Ean13Text(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  int q = g.QuietZone, m = g.ModuleWidth, bh = g.BarHeight, th = s.TextHeight("5");
  auto part = [&](size_t from, size_t count) {
    return from < d.Data.size() ? d.Data.substr(from, count) : std::string();
  };
  s.FillBackground(q + 3 * m, bh, q + 45 * m, bh + th);
  s.Text(q + 3 * m, bh, part(1, 6));
  s.FillBackground(q + 50 * m, bh, q + 92 * m, bh + th);
  s.Text(q + 50 * m, bh, part(7, 6));
  s.Text(1, bh, part(0, 1));
}

// The symbologies, by TppBarCodeType. Encoders, fonts, texts and add-ons
// of the types other than EAN-13 are still to come.
constexpr std::array<TppSymbology, 11> kSymbologies{{
    {bcUPC_A, nullptr, UpcEanQuietZone, UpcHeight, 0, nullptr, nullptr, true, nullptr, nullptr},
    {bcUPC_E, nullptr, UpcEanQuietZone, UpcHeight, 0, nullptr, nullptr, true, nullptr, nullptr},
    {bcEAN_13, EncodeEan13, UpcEanQuietZone, ColumnsHeight, 0.2, Ean13FontTooWide, Ean13Text, true, nullptr,
     nullptr},
    {bcEAN_8, nullptr, UpcEanQuietZone, ColumnsHeight, 0, nullptr, nullptr, true, nullptr, nullptr},
    {bcInt2of5, nullptr, Int2of5QuietZone, Int2of5Height, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcCode128, nullptr, NoQuietZone, QuarterWidthHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcCode39, nullptr, NoQuietZone, QuarterWidthHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcPostnet, nullptr, NoQuietZone, PostnetHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcFIM, nullptr, NoQuietZone, FimHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcCodabar, nullptr, NoQuietZone, QuarterWidthHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
    {bcMSI, nullptr, NoQuietZone, MsiHeight, 0, nullptr, nullptr, false, nullptr, nullptr},
}};

// Runs ENCODE into PATTERN (emptied first) at PPI within CAPACITY.
void Encode(TppEncoder encode, TppBarCodeData& data, const std::string& text, int ppi, int capacity,
            std::string& pattern, int& message) {
  pattern.clear();
  message = 0;
  if (!encode || IsBlank(text) || !data.CodeOK) return;
  thread_local std::string modules;
  modules.clear();
  if (!encode(data, modules, message)) {
    data.CodeOK = false;
    return;
  }
  ExpandModules(modules, BarWidthInches(data.BarWidth), data.WideBarRatio, ppi, capacity, pattern);
}

}  // namespace

const TppSymbology* Symbology(TppBarCodeType type) {
  return type < kSymbologies.size() ? &kSymbologies[type] : nullptr;
}

float BarWidthInches(int32_t barWidth) { return ConvertFromMMThousandths(barWidth, utInches); }

int Pixels(double v) {
  if (!(v > 0)) return 0;  // also not a number
  return v >= kMaxExtent ? kMaxExtent : static_cast<int>(ppNint(v));
}

int ModuleColumns(float inches, int ppi, double ratio) { return Pixels(static_cast<double>(inches) * ppi * ratio); }

bool ExpandModules(std::string_view modules, float inches, float wideRatio, int ppi, int capacity,
                   std::string& pattern) {
  pattern.clear();
  const int narrow = ModuleColumns(inches, ppi);
  constexpr size_t kBlock = 16;
  bool anyWide = false;
  for (char module : modules) anyWide |= (module & kWide) != 0;
  if (!anyWide && narrow <= static_cast<int>(kBlock)) {
    // Narrow modules only (UPC/EAN): one block store a module, no branch on
    // the data, into a little slack past the end.
    int64_t total = static_cast<int64_t>(modules.size()) * narrow;
    if (total > capacity) return false;
    pattern.resize(static_cast<size_t>(total) + kBlock);
    char* out = pattern.data();
    for (char module : modules) {
      char block[kBlock];
      std::memset(block, module, kBlock);
      std::memcpy(out, block, kBlock);
      out += narrow;
    }
    pattern.resize(static_cast<size_t>(total));
    return true;
  }
  int wide = -1;  // counted when the first wide module comes
  int64_t total = 0;
  for (char module : modules) {
    if (module & kWide) {
      if (wide < 0) wide = ModuleColumns(inches, ppi, wideRatio);
      total += wide;
    } else {
      total += narrow;
    }
    if (total > capacity) return false;
  }
  // Run by run (equal modules side by side are one stretch of columns),
  // in whole blocks into the slack.
  pattern.resize(static_cast<size_t>(total) + kBlock);
  char* out = pattern.data();
  for (size_t i = 0, n = modules.size(); i < n;) {
    const char module = modules[i];
    size_t j = i + 1;
    while (j < n && modules[j] == module) ++j;
    size_t count = (j - i) * static_cast<size_t>((module & kWide) ? wide : narrow);
    char block[kBlock];
    std::memset(block, module & ~kWide, kBlock);
    for (size_t k = 0; k < count; k += kBlock) std::memcpy(out + k, block, kBlock);
    out += count;
    i = j;
  }
  pattern.resize(static_cast<size_t>(total));
  return true;
}

void EncodeBarCode(TppBarCodeData& data, int ppi, std::string& pattern, int& message) {
  const TppSymbology* s = Symbology(data.BarCodeType);
  Encode(s ? s->Encode : nullptr, data, data.Data, ppi, kPatternCapacity, pattern, message);
}

void EncodeAddOn(TppBarCodeData& data, int ppi, std::string& pattern, int& message) {
  const TppSymbology* s = Symbology(data.BarCodeType);
  Encode(s ? s->EncodeAddOn : nullptr, data, data.AddOnCode, ppi, kAddOnCapacity, pattern, message);
}

// ---- EAN-13 ----

const char* DigitPattern(TppNumberSet set, int digit) {
  if (set > nsC || digit < 0 || digit > 9) return "";
  return kDigitPatterns[set][digit];
}

const char* Ean13Parity(int firstDigit) {
  return firstDigit >= 0 && firstDigit <= 9 ? kEan13Parity[firstDigit] : "";
}

int Ean13CheckDigit(std::string_view digits) {
  int s = 0;
  for (size_t i = 0; i < 12 && i < digits.size(); ++i) s += (digits[i] - '0') * (i % 2 ? 3 : 1);
  return (10 - s % 10) % 10;
}

bool EncodeEan13(TppBarCodeData& data, std::string& modules, int&) {
  std::string& d = data.Data;
  size_t n = d.size();
  if (!AllDigits(d) || !(n == 13 || (data.CalcCheckDigit && n == 12))) return false;
  if (data.CalcCheckDigit) {
    char check = static_cast<char>('0' + Ean13CheckDigit(d));
    if (n == 13) d[12] = check;
    else d.push_back(check);
  }
  const char* parity = kEan13Parity[d[0] - '0'];
  modules.append("101");
  for (int i = 1; i <= 6; ++i)
    modules.append(kDigitPatterns[parity[i - 1] == 'A' ? nsA : nsB][d[i] - '0'], 7);
  modules.append("01010");
  for (int i = 7; i <= 12; ++i) modules.append(kDigitPatterns[nsC][d[i] - '0'], 7);
  modules.append("101");
  return true;
}

}  // namespace ppBarCode
