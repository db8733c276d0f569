// Interleaved 2 of 5.
#include <array>

#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

// The five elements of each digit, '1' wide.
constexpr std::array<const char*, 10> kPatterns{"00110", "10001", "01001", "11000", "00101",
                                                "10100", "01100", "00011", "10010", "01010"};

int QuietZone(const TppBarCodeGeometry& g) { return Pixels(g.Columns * 0.03); }
int BarHeight(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.6); }

}  // namespace

const char* Int2of5Pattern(int digit) { return digit >= 0 && digit <= 9 ? kPatterns[digit] : ""; }

int Int2of5CheckDigit(std::string_view digits) {
  int s = 0;
  for (size_t i = 0; i < digits.size(); ++i) s += (digits[i] - '0') * (i % 2 ? 1 : 3);
  return (10 - s % 10) % 10;
}

bool EncodeInt2of5(TppBarCodeData& data, std::string& modules, int&) {
  std::string& d = data.Data;
  if (!AllDigits(d) || (d.size() % 2 && !data.CalcCheckDigit)) return false;
  if (d.size() % 2) d.push_back(static_cast<char>('0' + Int2of5CheckDigit(d)));
  modules.append("1010");
  for (size_t i = 0; i < d.size(); i += 2) {
    const char *bars = kPatterns[d[i] - '0'], *spaces = kPatterns[d[i + 1] - '0'];
    for (int k = 0; k < 5; ++k) {
      modules += bars[k] == '1' ? WideModule('1') : '1';
      modules += spaces[k] == '1' ? WideModule('0') : '0';
    }
  }
  modules += WideModule('1');
  modules.append("01");
  return true;
}

constinit const TppSymbology kInt2of5Row{bcInt2of5, EncodeInt2of5, QuietZone, BarHeight, 0.15, LineTooWide,
                                         DrawDataLine, false, nullptr, nullptr, nullptr, false};

}  // namespace ppBarCode
