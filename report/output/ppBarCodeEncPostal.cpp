// The USPS symbols: POSTNET and the facing identification marks (FIM).
#include <array>

#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

// '2' a tall bar, '1' a short one.
constexpr std::array<const char*, 10> kPostnet{"22111", "11122", "11212", "11221", "12112",
                                               "12121", "12211", "21112", "21121", "21211"};

int PostnetHeight(const TppBarCodeGeometry& g) { return Pixels(g.PpiAcross * 0.125); }
int FimHeight(const TppBarCodeGeometry& g) { return Pixels(static_cast<double>(g.ModuleWidth) * 20); }

int HalfHeight(int h) { return h / 2; }
bool NeverTooWide(TppBarCodeSurface&, const TppBarCodeGeometry&, const TppBarCodeData&) { return false; }

}  // namespace

const char* PostnetPattern(int digit) { return digit >= 0 && digit <= 9 ? kPostnet[digit] : ""; }

int PostnetCheckDigit(std::string_view digits) {
  int s = 0;
  for (char c : digits)
    if (IsDigit(c)) s += c - '0';
  return (10 - s % 10) % 10;
}

bool EncodePostnet(TppBarCodeData& data, std::string& modules, int&) {
  const std::string& d = data.Data;
  bool any = false;
  for (char c : d) {
    if (c != '-' && !IsDigit(c)) return false;
    any |= c != '-';
  }
  if (!any) return false;
  const char gap = static_cast<char>('0' | kSpacing);
  auto append = [&](int digit) {
    for (const char* bar = kPostnet[digit]; *bar; ++bar) {
      modules += *bar;
      modules += gap;
    }
  };
  modules += '2';
  modules += gap;
  for (char c : d)
    if (c != '-') append(c - '0');
  append(PostnetCheckDigit(d));
  modules += '2';
  return true;
}

const char* FimPattern(char c) {
  switch (c) {
    case 'A': case 'a': return "110010011";
    case 'B': case 'b': return "101101101";
    case 'C': case 'c': return "110101011";
  }
  return "";
}

bool EncodeFim(TppBarCodeData& data, std::string& modules, int&) {
  if (data.Data.size() != 1 || !*FimPattern(data.Data[0])) return false;
  for (const char* m = FimPattern(data.Data[0]); *m; ++m) {
    modules += *m;
    modules += '0';
  }
  return true;
}

constinit const TppSymbology kPostnetRow{bcPostnet, EncodePostnet, NoQuietZone, PostnetHeight, 0.5, NeverTooWide,
                                         DrawDataLine, false, nullptr, nullptr, HalfHeight, true};
constinit const TppSymbology kFimRow{bcFIM,   EncodeFim, NoQuietZone, FimHeight, 0, nullptr,
                                     nullptr, false,     nullptr,     nullptr,   nullptr, false};

}  // namespace ppBarCode
