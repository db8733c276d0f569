#include <gtest/gtest.h>

#include <string>

#include "printclient/ufMainReceipt.h"

using printclient::ufMain::IsValidEAN13;
using printclient::ufMain::WrapReceiptText;

namespace {

struct Wrapped {
  int lines;
  std::string text;
};

Wrapped Wrap(const std::string& s) {
  Wrapped w{};
  w.text = WrapReceiptText(s, w.lines);
  return w;
}

const std::string kBig5 = "\xA4\xA4";  // one two-byte character

}  // namespace

TEST(WrapReceiptText, BreaksAtThirtyColumns) {
  std::string a30(30, 'a');
  Wrapped w = Wrap(a30 + "b");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, a30 + "\rb");
  // Exactly 30 columns: one line, no trailing break.
  w = Wrap(a30);
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(w.text, a30);
  w = Wrap(std::string(65, 'x'));
  EXPECT_EQ(w.lines, 3);
  EXPECT_EQ(w.text, std::string(30, 'x') + "\r" + std::string(30, 'x') + "\rxxxxx");
}

TEST(WrapReceiptText, KeepsBig5CharactersWhole) {
  // A character that would start at column 29 moves whole to the next line.
  Wrapped w = Wrap(std::string(29, 'a') + kBig5 + "b");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, std::string(29, 'a') + "\r" + kBig5 + "b");
  // A character ending at column 30 closes the line.
  w = Wrap(std::string(28, 'a') + kBig5 + "b");
  EXPECT_EQ(w.text, std::string(28, 'a') + kBig5 + "\rb");
  // Fifteen characters fill a line; the trail byte is never taken for a lead.
  std::string line;
  for (int i = 0; i < 16; ++i) line += "\xB0\x41";
  w = Wrap(line);
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, line.substr(0, 30) + "\r" + line.substr(30));
  // A line break after a lead byte is not taken as its second byte.
  w = Wrap("1\r\xB7\r");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, "1\r\xB7");
  w = Wrap("a\xB7\nb");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, "a\xB7\rb");
  // A lead byte at the very end is kept alone.
  w = Wrap("ab\xA4");
  EXPECT_EQ(w.text, "ab\xA4");
  EXPECT_EQ(w.lines, 1);
}

TEST(WrapReceiptText, DropsBlankLines) {
  Wrapped w = Wrap("\r\n\nfirst\r\n\r\n\nsecond\n\n");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, "first\rsecond");
  w = Wrap("");
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(w.text, "");
  w = Wrap("\n\r\n");
  EXPECT_EQ(w.lines, 1);
  EXPECT_EQ(w.text, "");
  // A full line followed by a break: the break after the wrap is not doubled.
  w = Wrap(std::string(30, 'a') + "\nb");
  EXPECT_EQ(w.lines, 2);
  EXPECT_EQ(w.text, std::string(30, 'a') + "\rb");
}

TEST(IsValidEAN13, ChecksLengthDigitsAndCheckDigit) {
  EXPECT_TRUE(IsValidEAN13("2000001000014"));
  EXPECT_FALSE(IsValidEAN13("2000001000015"));
  EXPECT_TRUE(IsValidEAN13("4006381333931"));
  EXPECT_TRUE(IsValidEAN13("0000000000000"));
  EXPECT_FALSE(IsValidEAN13("200000100001"));
  EXPECT_FALSE(IsValidEAN13("20000010000140"));
  EXPECT_FALSE(IsValidEAN13(""));
  EXPECT_FALSE(IsValidEAN13("200000100001A"));
  EXPECT_FALSE(IsValidEAN13(" 2000001000014"));
  // Every wrong last digit is refused.
  for (char c = '0'; c <= '9'; ++c)
    if (c != '4') {
      EXPECT_FALSE(IsValidEAN13(std::string("200000100001") + c));
    }
}
