#include "report/output/ppBarCodeEnc.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "report/model/ppUtils.h"

namespace ppBarCode {

namespace {

// Blank as the class library's Trim sees it: nothing above a space.
bool IsBlank(const std::string& s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) > ' ') return false;
  return true;
}

// The symbologies, by TppBarCodeType.
constexpr std::array<const TppSymbology*, 11> kSymbologies{&kUpcARow,    &kUpcERow,    &kEan13Row,   &kEan8Row,
                                                           &kInt2of5Row, &kCode128Row, &kCode39Row,  &kPostnetRow,
                                                           &kFimRow,     &kCodabarRow, &kMsiRow};

// Runs ENCODE into PATTERN (emptied first) at PPI within CAPACITY.
void Encode(TppEncoder encode, TppBarCodeData& data, const std::string& text, int ppi, int capacity,
            std::string& pattern, int& message) {
  pattern.clear();
  message = 0;
  if (!encode || IsBlank(text) || !data.CodeOK) return;
  thread_local std::string modules;
  modules.clear();
  data.MessageArg.clear();
  std::string given = data.Data;
  if (!encode(data, modules, message)) {
    data.CodeOK = false;
    return;
  }
  // A symbol wider than the pattern holds is data it cannot take, and
  // like every failure leaves the data as it was.
  if (!ExpandModules(modules, BarWidthInches(data.BarWidth), data.WideBarRatio, ppi, capacity, pattern)) {
    data.CodeOK = false;
    data.Data = std::move(given);
  }
}

}  // namespace

const TppSymbology* Symbology(TppBarCodeType type) {
  return type < kSymbologies.size() ? kSymbologies[type] : nullptr;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (!IsDigit(c)) return false;
  return true;
}

void AppendElements(std::string& modules, std::string_view elements) {
  bool bar = true;
  for (char e : elements) {
    char module = bar ? '1' : '0';
    modules += e == '1' ? WideModule(module) : module;
    bar = !bar;
  }
}

int NoQuietZone(const TppBarCodeGeometry&) { return 0; }
int QuarterWidthHeight(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.25); }

bool LineTooWide(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  return static_cast<int64_t>(s.TextWidth("0")) * static_cast<int64_t>(d.Data.size()) > g.PixelWidth;
}

void DrawLine(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d, const std::string& text) {
  int free = g.PixelWidth - s.TextWidth(text), x = 0;
  if (d.Alignment == cls::taRightJustify) x = free;
  else if (d.Alignment == cls::taCenter) x = free / 2;
  s.Text(x, g.BarHeight, text);
}

void DrawDataLine(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  DrawLine(s, g, d, d.Data);
}

float BarWidthInches(int32_t barWidth) {
  // A receipt's symbols all have one bar width.
  thread_local int32_t last = 0;
  thread_local float inches = ConvertFromMMThousandths(0, utInches);
  if (barWidth != last) {
    inches = ConvertFromMMThousandths(barWidth, utInches);
    last = barWidth;
  }
  return inches;
}

int Pixels(double v) {
  if (!(v > 0)) return 0;  // also not a number
  return v >= kMaxExtent ? kMaxExtent : static_cast<int>(ppNint(v));
}

int ModuleColumns(float inches, int ppi, double ratio) { return Pixels(static_cast<double>(inches) * ppi * ratio); }

bool ExpandModules(std::string_view modules, float inches, float wideRatio, int ppi, int capacity,
                   std::string& pattern) {
  pattern.clear();
  // The symbols of a run share their module width.
  thread_local float lastInches = 0;
  thread_local int lastPpi = 0, lastNarrow = ModuleColumns(0, 0);
  if (inches != lastInches || ppi != lastPpi) {
    lastNarrow = ModuleColumns(inches, ppi);
    lastInches = inches;
    lastPpi = ppi;
  }
  const int narrow = lastNarrow;
  constexpr size_t kBlock = 16;
  char kinds = 0, notBinary = 0;
  for (char module : modules) {
    kinds |= module;
    notBinary |= static_cast<char>((module & ~1) ^ '0');
  }
  if (!(kinds & kKindBits) && narrow <= static_cast<int>(kBlock)) {
    // Narrow modules only (UPC/EAN), into a little slack past the end.
    int64_t total = static_cast<int64_t>(modules.size()) * narrow;
    if (total > capacity) return false;
    constexpr size_t kEight = 32;  // eight modules' columns, and the slack
    pattern.resize(static_cast<size_t>(total) + kEight);
    char* out = pattern.data();
    size_t i = 0;
    if (!notBinary && narrow <= 4 && std::endian::native == std::endian::little) {
      // Bars and spaces of up to four columns: eight modules at a time,
      // from the columns of all 256.
      thread_local struct {
        int narrow = 0;
        char columns[256][kEight];
      } eights;
      if (eights.narrow != narrow) {
        for (int q = 0; q < 256; ++q)
          for (int m = 0; m < 8; ++m)
            std::memset(eights.columns[q] + m * narrow, q & (0x80 >> m) ? '1' : '0', static_cast<size_t>(narrow));
        eights.narrow = narrow;
      }
      // The low bit of each of eight bytes, the first module highest.
      auto eight = [&](uint64_t bytes) {
        const unsigned q = static_cast<unsigned>(((bytes & 0x0101010101010101ull) * 0x8040201008040201ull) >> 56);
        std::memcpy(out, eights.columns[q], kEight);
        out += 8 * narrow;
      };
      const char* m = modules.data();
      const size_t n = modules.size();
      for (uint64_t bytes; i + 8 <= n; i += 8) {
        std::memcpy(&bytes, m + i, 8);
        eight(bytes);
      }
      if (i < n) {  // the last few, their columns into the slack past the end
        uint64_t bytes = 0;
        for (size_t k = 0; i + k < n; ++k) bytes |= static_cast<uint64_t>(m[i + k] & 1) << (8 * k);
        eight(bytes);
        i = n;
      }
    }
    // One block store a module, no branch on the data.
    for (; i < modules.size(); ++i) {
      char block[kBlock];
      std::memset(block, modules[i], kBlock);
      std::memcpy(out, block, kBlock);
      out += narrow;
    }
    pattern.resize(static_cast<size_t>(total));
    return true;
  }
  // Columns by kind; the others are counted when the first comes.
  int columns[4] = {narrow, -1, -1, -1};
  auto width = [&](char module) {
    int kind = (static_cast<unsigned char>(module) >> 6) & 3;
    int& c = columns[kind];
    if (c < 0) {
      if (module & kWide && module & kDouble) c = Pixels(narrow * 1.375);
      else if (module & kWide) c = ModuleColumns(inches, ppi, wideRatio);
      else c = ModuleColumns(inches, ppi, 2);
    }
    return c;
  };
  int64_t total = 0;
  for (char module : modules) {
    total += width(module);
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
    size_t count = (j - i) * static_cast<size_t>(width(module));
    char block[kBlock];
    std::memset(block, module & ~kKindBits, kBlock);
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

}  // namespace ppBarCode
