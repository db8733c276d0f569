#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "platform/gdi/fonts.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPlainText.h"
#include "tests/report/output/ppPrintr_fixture.h"

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

using Lines = std::vector<std::string>;

Lines ToVector(const cls::TStringList& list) {
  Lines out;
  for (int i = 0; i < list.Count(); ++i) out.push_back(list.Strings(i));
  return out;
}

// Screen pixels as mm/1000.
int Mm(int px, TppDirection direction = ppHorizontal) {
  return ConvertToMMThousandths(static_cast<float>(px), utScreenPixels, direction);
}

struct Wrapped {
  Lines lines;
  int charPos;
};

// The deterministic font 20 pixels high on a screen bitmap: a single byte
// is 10 pixels wide, a Big5 character 20.
class Wrapping : public PlainText {
 protected:
  void SetUp() override {
    PlainText::SetUp();
    font_.SetHeight(-20);
  }
  int LineHeight() const { return Mm(20, ppVertical); }
  // COLUMNS single bytes wide, with room for ROWS lines.
  Wrapped Wrap(const std::string& text, int columns, int rows, int charPos = 0) {
    return WrapRect(text, win::RECT{0, 0, Mm(columns * 10), rows * LineHeight() + 1}, charPos);
  }
  Wrapped WrapRect(const std::string& text, const win::RECT& rect, int charPos = 0) {
    cls::TStringList lines;
    lines.Add("stale");
    TppPlainText::WrapText(text, rect, &lines, charPos, nullptr, tabStops_.Count() ? &tabStops_ : nullptr, 0,
                           charWrap_, font_, autoSize_, alignment_);
    return {ToVector(lines), charPos};
  }
  // Runs of ROWS lines, each from where the last stopped, until the text
  // (up to a NUL) is used up; every run must move on.
  Lines RunByRun(const std::string& text, int columns, int rows) {
    const int end = static_cast<int>(std::min(text.find('\0'), text.size()));
    Lines all;
    int pos = 0;
    while (pos < end) {
      Wrapped w = Wrap(text, columns, rows, pos);
      EXPECT_GT(w.charPos, pos) << "no progress at " << pos;
      if (w.charPos <= pos) break;
      EXPECT_LE(static_cast<int>(w.lines.size()), rows);
      all.insert(all.end(), w.lines.begin(), w.lines.end());
      pos = w.charPos;
    }
    return all;
  }
  gdi::TFont font_;
  cls::TStringList tabStops_;
  bool charWrap_ = false, autoSize_ = false;
  TppTextAlignment alignment_ = taLeftJustified;
};

std::vector<std::string> Tokens(const std::string& text, int from = 0) {
  TppPlainTextParser p;
  p.SetParserText(text);
  p.SetParserPosition(from);
  std::vector<std::string> out;
  for (std::string t = p.NextToken(); !t.empty(); t = p.NextToken()) out.push_back(t);
  EXPECT_TRUE(p.EndOfText());
  EXPECT_EQ(p.Offset(), p.Length());
  return out;
}

}  // namespace

TEST(PlainTextParser, SplitsWordsBlanksTabsAndBreaksAndStopsAtNul) {
  const std::string br = "\r\n";
  EXPECT_EQ(Tokens("ab  c\td\r\ne\n\rf\n\ng"),
            (Lines{"ab", " ", " ", "c", "\t", "d", br, "e", br, br, "f", br, br, "g"}));
  // The marker is a break, before a byte that cannot end a Big5 character;
  // "$間" ("$" B6 A1) and "$" B6 "x" are text.
  EXPECT_EQ(Tokens("f$\xB6" "1$\xB6 $\xB6"), (Lines{"f", br, "1", br, " ", br}));
  EXPECT_EQ(Tokens("a$間 $\xB6x"), (Lines{"a$間", " ", "$\xB6x"}));
  // A double-byte character is two bytes of one word; a lone lead byte at
  // the end stays a byte of the last word.
  EXPECT_EQ(Tokens("收據 許\\ \xA4"), (Lines{"收據", " ", "許\\", " ", "\xA4"}));
  // A NUL ends the text; the length counts the bytes before it.
  EXPECT_EQ(Tokens(std::string("ab\0cd", 5)), (Lines{"ab"}));
  TppPlainTextParser p;
  p.SetParserText(std::string("ab\0cd", 5));
  EXPECT_EQ(p.Length(), 2);
  // Positions outside the text are kept within it.
  EXPECT_EQ(Tokens("abc def", 4), (Lines{"def"}));
  EXPECT_EQ(Tokens("abc", 99), Lines{});
  EXPECT_EQ(Tokens("abc", -5), (Lines{"abc"}));
  EXPECT_EQ(Tokens(""), Lines{});
}

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

TEST_F(Wrapping, WordsWrapAtBlanksAndBreaksDroppingAtMostTwoLeadingBlanks) {
  EXPECT_EQ(Wrap("aaa bbb ccc", 7, 9).lines, (Lines{"aaa bbb", "ccc"}));
  EXPECT_EQ(Wrap("aaaaaa  bb", 6, 9).lines, (Lines{"aaaaaa", "bb"}));
  EXPECT_EQ(Wrap("aaaaaa   bb", 6, 9).lines, (Lines{"aaaaaa", "   bb"}));
  EXPECT_EQ(Wrap("a\r\n  b", 6, 9).lines, (Lines{"a", "  b"}));  // after a break they stay
  // Trailing blanks go, a control byte before them stays.
  EXPECT_EQ(Wrap("ab\x01 cdef", 4, 9).lines, (Lines{"ab\x01", "cdef"}));
  // CR LF is one break, LF CR two; the marker is one.
  EXPECT_EQ(Wrap("a\r\nb", 6, 9).lines, (Lines{"a", "b"}));
  EXPECT_EQ(Wrap("a\n\rb", 6, 9).lines, (Lines{"a", "", "b"}));
  EXPECT_EQ(Wrap("a\n\nb\r", 6, 9).lines, (Lines{"a", "", "b"}));
  EXPECT_EQ(Wrap("a$\xB6" "1", 6, 9).lines, (Lines{"a", "1"}));
  EXPECT_EQ(Wrap("a$間1", 6, 9).lines, (Lines{"a$間1"}));
  // Full justification ends every paragraph's last line with the marker.
  alignment_ = taFullJustified;
  const std::string eop = TppTextMarkups::EndOfParagraph();
  EXPECT_EQ(Wrap("aaa bbb\r\nccc", 4, 9).lines, (Lines{"aaa", "bbb" + eop, "ccc" + eop}));
}

TEST_F(Wrapping, LongWordsSplitWhereTheyStopFittingAndShortOnesMoveWhole) {
  EXPECT_EQ(Wrap("abcdefghij", 4, 9).lines, (Lines{"abcd", "efgh", "ij"}));
  EXPECT_EQ(Wrap("ab cdef", 5, 9).lines, (Lines{"ab", "cdef"}));
  EXPECT_EQ(Wrap("ab cdefghij", 5, 9).lines, (Lines{"ab cd", "efghi", "j"}));
  charWrap_ = true;
  EXPECT_EQ(Wrap("ab cdef", 5, 9).lines, (Lines{"ab cd", "ef"}));
  // Narrower than one character: one a line all the same.
  charWrap_ = false;
  EXPECT_EQ(Wrap("abc", 0, 9).lines, (Lines{"a", "b", "c"}));
  EXPECT_EQ(WrapRect("abc", win::RECT{5000, 0, 0, 10 * LineHeight()}).lines, (Lines{"a", "b", "c"}));
  // The width holds exactly: a line as wide as it fits, a thousandth of a
  // mm less does not.
  EXPECT_EQ(WrapRect("abcdefgh", win::RECT{0, 0, Mm(40), 10 * LineHeight()}).lines, (Lines{"abcd", "efgh"}));
  EXPECT_EQ(WrapRect("abcdefgh", win::RECT{0, 0, Mm(40) - 1, 10 * LineHeight()}).lines,
            (Lines{"abc", "def", "gh"}));
  EXPECT_EQ(WrapRect("ab cd", win::RECT{0, 0, Mm(50), 10 * LineHeight()}).lines, (Lines{"ab cd"}));
  EXPECT_EQ(WrapRect("ab cd", win::RECT{0, 0, Mm(50) - 1, 10 * LineHeight()}).lines, (Lines{"ab", "cd"}));
  // AutoSize lets a line go 0.3 of a blank (10 pixels) past the width.
  const win::RECT rect{0, 0, Mm(110) - 500, 10 * LineHeight()};
  EXPECT_EQ(WrapRect("abcdefghijk", rect).lines, (Lines{"abcdefghij", "k"}));
  autoSize_ = true;
  EXPECT_EQ(WrapRect("abcdefghijk", rect).lines, (Lines{"abcdefghijk"}));
}

TEST_F(Wrapping, ABig5RunWiderThanTheWidthBreaksOnlyBetweenCharacters) {
  // Five columns hold two characters and a half: the half stays whole on
  // the next line, also for characters whose second byte is ASCII (許 B3 5C).
  const std::string run = "收據許功收據許";
  Lines lines = Wrap(run, 5, 9).lines;
  EXPECT_EQ(lines, (Lines{"收據", "許功", "收據", "許"}));
  charWrap_ = true;
  EXPECT_EQ(Wrap("a " + run, 5, 9).lines, (Lines{"a 收", "據許", "功收", "據許"}));
  // A long run costs about a line's measuring a line.
  std::string longRun;
  for (int i = 0; i < 4000; ++i) longRun += i % 2 ? "據" : "許";
  lines = Wrap(longRun, 5, 3000).lines;
  ASSERT_EQ(lines.size(), 2000u);
  std::string joined;
  for (const std::string& l : lines) joined += l;
  EXPECT_EQ(joined, longRun);
  // A lone lead byte at the end is a byte of its own.
  EXPECT_EQ(Wrap("收據\xA4", 5, 9).lines, (Lines{"收據\xA4"}));
  EXPECT_EQ(Wrap("收據收\xA4", 5, 9).lines, (Lines{"收據", "收\xA4"}));
}

TEST_F(Wrapping, TheAreaMustHoldALineStrictly) {
  const int h = LineHeight();
  auto rows = [&](int top, int bottom, int charPos = 0) {
    return WrapRect("a b c d", win::RECT{0, top, Mm(10), bottom}, charPos);
  };
  Wrapped none = rows(1000, 1000 + h, 2);
  EXPECT_TRUE(none.lines.empty());
  EXPECT_EQ(none.charPos, 2);  // left alone
  EXPECT_EQ(rows(1000, 1001 + h).lines, (Lines{"a"}));
  EXPECT_EQ(rows(1000, 1000 + 2 * h).lines, (Lines{"a", "b"}));
  EXPECT_EQ(rows(1000, 999 + 2 * h).lines, (Lines{"a"}));
  // An upside-down rectangle holds nothing either.
  EXPECT_TRUE(rows(1000, 0).lines.empty());
}

TEST_F(Wrapping, RunByRunFromTheReturnedPositionGivesTheTextBack) {
  // Each run re-reads the word it could not place.
  const std::string text = "Orvane Dravik購卡站 receipt 2000001000014\r\n收據收據收據收據 x\ny  z\rlast words here";
  Lines whole = Wrap(text, 8, 99).lines;
  for (int rows : {1, 2, 3}) {
    EXPECT_EQ(RunByRun(text, 8, rows), whole) << rows << " a run";
  }
  Wrapped first = Wrap("abc de fg", 4, 1);
  EXPECT_EQ(first.lines, Lines{"abc"});
  EXPECT_EQ(first.charPos, 4);
  EXPECT_EQ(Wrap("abc de fg", 4, 1, first.charPos).lines, Lines{"de"});
  // A word split at the end of a run goes on from the split.
  first = Wrap("abc defgh ij", 4, 2);
  EXPECT_EQ(first.lines, (Lines{"abc", "defg"}));
  EXPECT_EQ(first.charPos, 8);

  // The word after a tab starts the next run; the tab is not repeated.
  tabStops_.Add(std::to_string(Mm(100)));
  Wrapped tabbed = Wrap("ab\tcdefghi j", 16, 1);
  EXPECT_EQ(tabbed.lines, Lines{"ab\t"});
  EXPECT_EQ(tabbed.charPos, 3);
  EXPECT_EQ(RunByRun("ab\tcdefghi j", 16, 1), (Lines{"ab\t", "cdefghi j"}));

  // The end: the position is the length, or where a NUL stands.
  EXPECT_EQ(Wrap("ab cd", 9, 9).charPos, 5);
  Wrapped nul = Wrap(std::string("ab cd\0ef", 8), 9, 9);
  EXPECT_EQ(nul.lines, Lines{"ab cd"});
  EXPECT_EQ(nul.charPos, 5);
  EXPECT_EQ(Wrap(std::string("ab cd\0ef", 8), 9, 9, 5).charPos, 5);
  EXPECT_EQ(Wrap("", 9, 9).lines, Lines{});
}

// Kept lines against a wrap of its own for every run: texts made of the
// pieces the wrapper treats apart (blanks at line starts, tabs, every kind
// of break, the paragraph marker, words longer than a line, Big5), in every
// mode, run from any byte into any room at any top, and page after page
// from where each stopped.
TEST_F(Wrapping, KeptLinesGiveWhatEveryRunGivesWhereverItStarts) {
  std::mt19937 random(44);
  const std::vector<std::string> pieces = {"word", "ab", " ", "  ", "   ", "\t", "\r\n", "\r", "\n", "$\xB6",
                                           "averyveryverylongword", "\xA6\xAC\xBE\xDA", "x", "\r\n\r\n", std::string("\0z", 2)};
  tabStops_.Add(std::to_string(Mm(35)));
  for (int round = 0; round < 150; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 40); n > 0; --n) text += pieces[random() % pieces.size()];
    charWrap_ = random() % 2;
    autoSize_ = random() % 4 == 0;
    alignment_ = random() % 2 ? taFullJustified : taLeftJustified;
    const int width = Mm(10 * (1 + static_cast<int>(random() % 12)));
    const cls::TStringList* tabs = random() % 2 ? &tabStops_ : nullptr;
    if (!tabs) tabStops_.Clear();
    TppWrappedText kept(std::make_shared<const std::string>(text), width, font_, tabs, 0, charWrap_, alignment_,
                        autoSize_);
    auto both = [&](int start, int top, int rows) {
      const win::RECT rect{0, top, width, top + rows * LineHeight() + static_cast<int>(random() % 3)};
      Wrapped direct = WrapRect(text, rect, start);
      cls::TStringList lines;
      lines.Add("stale");
      int pos = start;
      kept.WrapText(rect, &lines, pos, nullptr);
      EXPECT_EQ(ToVector(lines), direct.lines) << round << " from " << start << " rows " << rows;
      EXPECT_EQ(pos, direct.charPos) << round << " from " << start << " rows " << rows;
      return direct.charPos;
    };
    for (int run = 0; run < 30; ++run)
      both(static_cast<int>(random() % (text.size() + 2)), static_cast<int>(random() % 5000), static_cast<int>(random() % 5));
    for (int pos = 0, pages = 0; pages < 60; ++pages) {
      int next = both(pos, 0, 1 + static_cast<int>(random() % 4));
      if (next <= pos) break;
      pos = next;
    }
    tabStops_.Clear();
    tabStops_.Add(std::to_string(Mm(35)));
  }
}

TEST_F(Wrapping, LinesThatFitCountWholePixelLines) {
  int lineHeight = 0;
  // Screen metrics without a printer: 20 pixels a line.
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, 0, lineHeight, nullptr, Mm(100, ppVertical)), 5);
  EXPECT_EQ(lineHeight, LineHeight());
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, 0, lineHeight, nullptr, Mm(99, ppVertical)), 4);
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, Mm(5, ppVertical), lineHeight, nullptr, Mm(100, ppVertical)), 4);
  EXPECT_EQ(lineHeight, Mm(25, ppVertical));
  // A leading that eats the line leaves a pixel; no height fits nothing.
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, -Mm(40), lineHeight, nullptr, Mm(7, ppVertical)), 7);
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, 0, lineHeight, nullptr, -5000), 0);
}

namespace {

// The receipt's memo on the demo printer, with the real fonts.
class ReceiptWrap : public Printers {
 protected:
  void SetUp() override {
    Printers::SetUp();
    gdi::SetDeterministicMetrics(false);
    Install(RecordingZolmet(), true);
    printer_->SetPrinterName("Zolmet");
    font_.SetName("細明體");
    font_.SetSize(12);
  }
  void TearDown() override {
    printer_.reset();
    Printers::TearDown();
  }
  Wrapped Wrap(const std::string& text, int bottom, int charPos = 0) {
    cls::TStringList lines;
    TppPlainText::WrapText(text, win::RECT{0, 0, 69321, bottom}, &lines, charPos, printer_.get(), nullptr, 0,
                           false, font_, false, taLeftJustified);
    return {ToVector(lines), charPos};
  }
  cls::Owned<TppPrinter> printer_{new TppPrinter};
  gdi::TFont font_;
};

}  // namespace

TEST_F(ReceiptWrap, ThirtyColumnLinesJoinedByCREachMakeOneLine) {
  int lineHeight = 0;
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, 0, lineHeight, printer_.get(), 10 * 4254), 10);
  EXPECT_EQ(lineHeight, 4254);  // 34 pixels at 203 dpi
  EXPECT_EQ(TppPlainText::CalcLinesThatFit(font_, 0, lineHeight, printer_.get(), 42400), 9);  // 339 pixels

  const Lines receipt = {"收據編號：２０００００１０００",  "購卡站　Orvane Dravik 總店 #12",
                         "卡號 8866 1234 5678 9012 3456 ", "品名：儲值卡　　　數量：１張共",
                         "金額：新台幣 NT$1,000 元整 OK ", "交易時間 2024/05/06 12:34:56 X"};
  std::string text;
  for (const std::string& l : receipt) {
    ASSERT_EQ(l.size(), 30u) << l;
    text += (text.empty() ? "" : "\r") + l;
  }
  Lines expected = receipt;
  for (std::string& l : expected) {
    while (l.back() == ' ') l.pop_back();
  }
  Wrapped all = Wrap(text, 100000);
  EXPECT_EQ(all.lines, expected);
  EXPECT_EQ(all.charPos, static_cast<int>(text.size()));

  // Room for k lines: the next run starts at line k + 1; the runs hold the
  // text once. One line needs more than its height (the test is strict).
  for (int k : {1, 2, 4}) {
    Lines runs;
    int pos = 0;
    while (pos < static_cast<int>(text.size())) {
      Wrapped w = Wrap(text, k * 4254 + (k == 1), pos);
      ASSERT_FALSE(w.lines.empty());
      ASSERT_LE(static_cast<int>(w.lines.size()), k);
      if (pos == 0) {
        EXPECT_EQ(w.charPos, k * 31);
      }
      runs.insert(runs.end(), w.lines.begin(), w.lines.end());
      pos = w.charPos;
    }
    EXPECT_EQ(runs, expected) << k;
  }
  EXPECT_TRUE(Wrap(text, 4254).lines.empty());  // top + line height = bottom

  // A Big5 run wider than the memo breaks between characters only.
  std::string run;
  for (int i = 0; i < 20; ++i) run += i % 2 ? "許" : "據";
  Wrapped wide = Wrap(run, 100000);
  ASSERT_EQ(wide.lines.size(), 2u);
  EXPECT_EQ(wide.lines[0] + wide.lines[1], run);
  EXPECT_EQ(wide.lines[0].size() % 2, 0u);
  EXPECT_EQ(wide.lines[0].size(), 32u);  // 16 characters of 34 pixels fill 544 of 554
}
