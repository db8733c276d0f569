// Codabar.
#include <array>

#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

struct CodabarChar {
  char c;
  const char* elements;  // seven, '1' wide
};

constexpr std::array<CodabarChar, 20> kTable{{
    {'0', "0000011"}, {'1', "0000110"}, {'2', "0001001"}, {'3', "1100000"}, {'4', "0010010"},
    {'5', "1000010"}, {'6', "0100001"}, {'7', "0100100"}, {'8', "0110000"}, {'9', "1001000"},
    {'-', "0001100"}, {'$', "0011000"}, {':', "1000101"}, {'/', "1010001"}, {'.', "1010100"},
    {'+', "0010101"}, {'A', "0011010"}, {'B', "0101001"}, {'C', "0001011"}, {'D', "0001110"},
}};

}  // namespace

const char* CodabarPattern(char c) {
  if (c >= 'a' && c <= 'd') c = static_cast<char>(c - 'a' + 'A');
  for (const CodabarChar& row : kTable)
    if (row.c == c) return row.elements;
  return "";
}

bool EncodeCodabar(TppBarCodeData& data, std::string& modules, int&) {
  for (char c : data.Data) {
    const char* elements = CodabarPattern(c);
    if (!*elements) return false;
    AppendElements(modules, elements);
    modules += '0';
  }
  return true;
}

constinit const TppSymbology kCodabarRow{bcCodabar, EncodeCodabar, NoQuietZone, QuarterWidthHeight, 0.25, LineTooWide,
                                         DrawDataLine, false, nullptr, nullptr, nullptr, false};

}  // namespace ppBarCode
