#include <gtest/gtest.h>

#include "platform/gdi/fonts.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPlainText.h"

namespace {

class PlainText : public ::testing::Test {
 protected:
  void SetUp() override { gdi::SetDeterministicMetrics(true); }
  void TearDown() override { gdi::SetDeterministicMetrics(false); }
};

std::string Removed(const std::string& text, const std::string& sub) {
  std::string out = "stale";
  TppPlainText::RemoveAll(text, sub, out);
  return out;
}

}  // namespace

TEST_F(PlainText, TheParagraphMarkerNeverSplitsABig5Character) {
  const std::string eop = TppTextMarkups::EndOfParagraph();
  ASSERT_EQ(eop, std::string("\x24\xB6"));
  const std::string fee = "$費";  // 24 B6 4F: "$" and one character
  ASSERT_EQ(fee, std::string("\x24\xB6\x4F"));
  EXPECT_FALSE(TppTextMarkups::IsEndOfParagraphAt(fee, 0));
  EXPECT_FALSE(TppTextMarkups::HasEndOfParagraph("總計 " + fee + "100"));
  EXPECT_EQ(Removed("總計 " + fee + "100", eop), "總計 " + fee + "100");

  // The marker at the end of a line, or before a byte that cannot end a
  // Big5 character, counts and goes.
  EXPECT_TRUE(TppTextMarkups::IsEndOfParagraphAt("ab" + eop, 2));
  EXPECT_TRUE(TppTextMarkups::HasEndOfParagraph(eop + " x"));
  EXPECT_EQ(Removed("收據" + eop, eop), "收據");
  EXPECT_EQ(Removed(eop + eop + " a" + eop + "\r\n", eop), " a\r\n");
  EXPECT_EQ(Removed(eop + "a", eop), eop + "a");  // B6 61 is a character
  EXPECT_EQ(Removed(fee + eop, eop), fee);

  // Any substring: an occurrence starts and ends on character boundaries.
  EXPECT_EQ(Removed("許\\a\\", "\\"), "許a");  // 許 is B3 5C
  EXPECT_EQ(TppPlainText::Find("許\\", "\\"), 2u);
  EXPECT_EQ(Removed("abcabc", "bc"), "aa");
  EXPECT_EQ(Removed("abc", ""), "abc");
  EXPECT_EQ(Removed("", "x"), "");
  EXPECT_EQ(TppPlainText::Find("abcabc", "bc", 2), 4u);
  EXPECT_EQ(TppPlainText::Find("abc", "x"), std::string::npos);
}

TEST_F(PlainText, TabStopsConvertWithBadEntriesSkippedAndAtMostAHundred) {
  cls::TStringList stops;
  for (const char* s : {"25400", "abc", "1.5", "", "50800", "99999999999", " 12700 ", "-25400"}) stops.Add(s);
  TppTabPositions pos{};
  int count = -1;
  TppPlainText::ConvertTabStops(utScreenPixels, &stops, nullptr, count, pos);
  ASSERT_EQ(count, 4);
  auto px = [](int mm) { return static_cast<int>(ConvertFromMMThousandths(mm, utScreenPixels)); };
  EXPECT_EQ(pos[0], px(25400));
  EXPECT_EQ(pos[1], px(50800));
  EXPECT_EQ(pos[2], px(12700));
  EXPECT_EQ(pos[3], -px(25400));

  // Other units give none; a missing list gives none.
  TppPlainText::ConvertTabStops(utMillimeters, &stops, nullptr, count, pos);
  EXPECT_EQ(count, 0);
  TppPlainText::ConvertTabStops(utPrinterPixels, nullptr, nullptr, count, pos);
  EXPECT_EQ(count, 0);

  cls::TStringList many;
  for (int i = 1; i <= 150; ++i) many.Add(std::to_string(i * 1000));
  TppPlainText::ConvertTabStops(utScreenPixels, &many, nullptr, count, pos);
  EXPECT_EQ(count, ppMaxTabStops);
  EXPECT_EQ(pos[99], px(100000));
}

TEST_F(PlainText, TabbedWidthsAndJustifiedLinesFillTheRectangle) {
  gdi::TBitmap bm;
  bm.SetSize(400, 40);
  gdi::TCanvas& c = bm.Canvas();
  c.Font.SetHeight(-20);  // deterministic: ASCII 10 pixels, Big5 20
  TppTabPositions pos{};
  pos[0] = 100;
  EXPECT_EQ(TppPlainText::GetTabbedTextWidth(c, "ab", pos, 0), 20);
  EXPECT_EQ(TppPlainText::GetTabbedTextWidth(c, "a\tb", pos, 1), 110);
  EXPECT_EQ(TppPlainText::GetTabbedTextWidth(c, "a\tb", pos, 1000), 110);  // the count is bounded

  const win::RECT rect{10, 0, 210, 20};
  std::string line = "  ab cd ef  ";
  TppPlainText::JustifyLine(c, rect, pos, 0, line);
  EXPECT_EQ(line, "ab cd ef");
  EXPECT_EQ(c.TextWidth(line), 200);  // the 120 spare pixels go to the two blanks

  // No inner blank: the characters are spaced out, Big5 ones whole; the
  // previous line's spreading does not count in the measure.
  line = "收據A";
  TppPlainText::JustifyLine(c, rect, pos, 0, line);
  EXPECT_EQ(line, "收 據 A");
  EXPECT_EQ(c.TextWidth(line), 200);

  // An empty line turns the spreading off again.
  line.clear();
  TppPlainText::JustifyLine(c, rect, pos, 0, line);
  EXPECT_EQ(c.TextWidth("ab cd"), 50);

  // A line wider than the rectangle is drawn tighter, not overflowed.
  line = "abcdefghij klmnopqrst uvwxy";
  TppPlainText::JustifyLine(c, win::RECT{0, 0, 100, 20}, pos, 0, line);
  EXPECT_EQ(c.TextWidth(line), 100);
  line = "   ";
  TppPlainText::JustifyLine(c, rect, pos, 0, line);
  EXPECT_EQ(line, "");
}
