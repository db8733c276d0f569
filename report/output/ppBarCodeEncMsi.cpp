// MSI (Plessey), with its mod-10 check digit.
#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

int BarHeight(const TppBarCodeGeometry& g) { return Pixels(g.PixelWidth * 0.2); }

// Data with the check digit it is encoded with: the digit is not kept in
// Data, so encoding again does not add another.
void Text(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  std::string text = d.Data;
  if (d.CalcCheckDigit && !text.empty() && AllDigits(text)) text += static_cast<char>('0' + MsiCheckDigit(text));
  DrawLine(s, g, d, text);
}

}  // namespace

int MsiCheckDigit(std::string_view digits) {
  int s = 0;
  bool doubled = true;  // the rightmost first
  for (size_t i = digits.size(); i-- > 0; doubled = !doubled) {
    int v = digits[i] - '0';
    if (doubled && (v *= 2) > 9) v -= 9;
    s += v;
  }
  return (10 - s % 10) % 10;
}

bool EncodeMsi(TppBarCodeData& data, std::string& modules, int&) {
  const std::string& d = data.Data;
  if (!AllDigits(d)) return false;
  auto append = [&](char digit) {
    for (int bit = 3; bit >= 0; --bit) modules.append((digit - '0') >> bit & 1 ? "110" : "100");
  };
  modules.append("110");
  for (char c : d) append(c);
  if (data.CalcCheckDigit) append(static_cast<char>('0' + MsiCheckDigit(d)));
  modules.append("100100");
  return true;
}

constinit const TppSymbology kMsiRow{bcMSI, EncodeMsi, NoQuietZone, BarHeight, 0.25, LineTooWide,
                                     Text,  false,     nullptr,     nullptr,   nullptr, false};

}  // namespace ppBarCode
