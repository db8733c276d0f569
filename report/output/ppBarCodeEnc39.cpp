// Code 39.
#include <array>
#include <cstring>

#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

struct Code39Char {
  char c;
  const char* elements;  // nine, '1' wide
};

constexpr std::array<Code39Char, 44> kTable{{
    {'0', "000110100"}, {'1', "100100001"}, {'2', "001100001"}, {'3', "101100000"}, {'4', "000110001"},
    {'5', "100110000"}, {'6', "001110000"}, {'7', "000100101"}, {'8', "100100100"}, {'9', "001100100"},
    {'A', "100001001"}, {'B', "001001001"}, {'C', "101001000"}, {'D', "000011001"}, {'E', "100011000"},
    {'F', "001011000"}, {'G', "000001101"}, {'H', "100001100"}, {'I', "001001100"}, {'J', "000011100"},
    {'K', "100000011"}, {'L', "001000011"}, {'M', "101000010"}, {'N', "000010011"}, {'O', "100010010"},
    {'P', "001010010"}, {'Q', "000000111"}, {'R', "100000110"}, {'S', "001000110"}, {'T', "000010110"},
    {'U', "110000001"}, {'V', "011000001"}, {'W', "111000000"}, {'X', "010010001"}, {'Y', "110010000"},
    {'Z', "011010000"}, {'-', "010000101"}, {'.', "110000100"}, {' ', "011000100"}, {'$', "010101000"},
    {'/', "010100010"}, {'+', "010001010"}, {'%', "000101010"}, {'*', "010010100"},
}};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

const char* Code39Pattern(char c) {
  c = Upper(c);
  for (const Code39Char& row : kTable)
    if (row.c == c) return row.elements;
  return "";
}

bool EncodeCode39(TppBarCodeData& data, std::string& modules, int&) {
  std::string_view body = data.Data;
  if (!body.empty() && body.front() == '*') body.remove_prefix(1);
  if (!body.empty() && body.back() == '*') body.remove_suffix(1);
  auto append = [&](char c) {
    AppendElements(modules, Code39Pattern(c));
    modules += static_cast<char>('0' | kDouble);
  };
  append('*');
  for (char c : body) {
    // '*' only frames the symbol.
    if (c == '*' || !*Code39Pattern(c)) return false;
    append(c);
  }
  append('*');
  return true;
}

constinit const TppSymbology kCode39Row{bcCode39, EncodeCode39, NoQuietZone, QuarterWidthHeight, 0.25, LineTooWide,
                                        DrawDataLine, false, nullptr, nullptr, nullptr, false};

}  // namespace ppBarCode
