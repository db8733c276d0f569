#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gdi/fonts.h"
#include "platform/richedit/richedit.h"
#include "platform/sysroot/codepage.h"
#include "tests/support/corpuswords.h"
#include "tests/support/testroot.h"

using richedit::Alignment;
using richedit::CharFormat;
using richedit::Document;

namespace {

// Font 1 is 細明體 in Big5 escapes.
const char* const kSample =
    "{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1\\fcharset136 "
    "\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;}{\\f2 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\pard\\f0\\fs24 Plain "
    "\\b bold\\b0  \\i italic\\i0  \\cf1 red\\cf0\\par \\f1\\fs28 \\'a6\\'ac\\'be\\'da\\uc1\\u28204?\\'b8\\'d5\\par"
    "\\pard\\qc\\f2\\fs20 Centred}";

Document Loaded(const std::string& bytes) {
  Document d;
  d.Load(bytes);
  return d;
}

std::string Rtf(const std::string& body) { return "{\\rtf1\\ansi\\ansicpg950 " + body + "}"; }

class Layout : public ::testing::Test {
 protected:
  void SetUp() override {
    gdi::SetDeterministicMetrics(true);
    dc_ = gdi::CreateMetafileDC(nullptr);
    ppi_ = win::GetDeviceCaps(dc_, win::LOGPIXELSY);
  }
  void TearDown() override {
    gdi::CloseMetafileDC(dc_);
    gdi::SetDeterministicMetrics(false);
  }
  // A rectangle of W x H pixels at the origin, in twips.
  win::RECT Twips(int w, int h) const { return {0, 0, w * 1440 / ppi_, h * 1440 / ppi_}; }
  // Pages of the text laid out into W x H pixels, joined back.
  std::string Pages(const Document& d, int w, int h, int* pages = nullptr) {
    std::string joined;
    int pos = 0, n = 0;
    while (pos < d.Length() && n < 10000) {
      richedit::FormatResult r = d.FormatRange(dc_, dc_, Twips(w, h), pos, d.Length() - 1, false);
      if (r.next == pos) break;
      joined += d.TextRange(pos, r.next - 1);
      pos = r.next;
      ++n;
    }
    if (pages) *pages = n;
    return joined;
  }
  testing_support::TempRoot root_;
  win::HDC dc_ = nullptr;
  int ppi_ = 96;
};

}  // namespace

// ---- reading ----

TEST(RtfReader, SampleGivesTextFormatsAndParagraphs) {
  Document d = Loaded(kSample);
  EXPECT_EQ(d.Lines(), (std::vector<std::string>{"Plain bold italic red", "收據測試", "Centred"}));
  EXPECT_EQ(d.Length(), 21 + 1 + 4 + 1 + 7);
  int bold = static_cast<int>(std::string("Plain ").size());
  EXPECT_FALSE(d.FormatAt(0).bold);
  EXPECT_TRUE(d.FormatAt(bold).bold);
  EXPECT_TRUE(d.FormatAt(11).italic);
  EXPECT_EQ(d.FormatAt(18).color, win::RGB(255, 0, 0));
  EXPECT_FALSE(d.FormatAt(21).color.has_value());
  CharFormat ming = d.FormatAt(22);
  EXPECT_EQ(ming.face, "細明體");
  EXPECT_EQ(ming.charset, win::CHINESEBIG5_CHARSET);
  EXPECT_EQ(ming.halfPoints, 28);
  EXPECT_EQ(d.FormatAt(27).face, "Arial");
  EXPECT_EQ(d.FormatAt(27).halfPoints, 20);
  EXPECT_EQ(d.Paragraph(0).align, Alignment::Left);
  EXPECT_EQ(d.Paragraph(2).align, Alignment::Center);
}

TEST(RtfReader, Big5PairsSpelledPlainlyOrEscapedAreOneCharacter) {
  // 富 is B4 49, 許 is B3 5C: the trail byte may be a letter or an escape.
  EXPECT_EQ(Loaded(Rtf("\\'b4I\\'b3\\\\")).Text(), "富許");
  EXPECT_EQ(Loaded(Rtf("\\'b4I\\'b3\\\\")).Length(), 2);
  EXPECT_EQ(Loaded(Rtf("富收")).Text(), "富收");
  // A lead byte without its trail, a lone high byte and a Unicode value
  // out of range are '?'.
  EXPECT_EQ(Loaded(Rtf("a\\'b4\\par b")).Text(), "a?\rb");
  EXPECT_EQ(Loaded(Rtf("\\'80x")).Text(), "?x");
  EXPECT_EQ(Loaded(Rtf("\\u99999?z")).Text(), "?z");
  EXPECT_EQ(Loaded(Rtf("\\uc1\\u28204?\\uc0\\u28204 \\uc1\\u-10179?\\u-8704?\\u-8704?")).Text(), "測測??");
  // Code page text: cp1252 é has no Big5 form; Windows-936 中 does.
  EXPECT_EQ(Loaded(Rtf("{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset134 SimSun;}}\\f0 caf\\'e9 \\f1 \\'d6\\'d0"))
                .Text(),
            "caf? 中");
}

TEST(RtfReader, AnyBytesLoad) {
  // Missing closing braces, extra ones, bad escapes.
  EXPECT_EQ(Loaded("{\\rtf1 {\\b open").Text(), "open");
  EXPECT_EQ(Loaded("{\\rtf1 a}}}b}").Text(), "ab");
  EXPECT_EQ(Loaded(Rtf("x\\'zz\\'4y")).Text(), "xzzy");
  // Skipped destinations, with binary data holding braces.
  EXPECT_EQ(Loaded(Rtf("{\\*\\unknown {deep} text}{\\info{\\title T}}{\\pict\\bin3 }}{}{a}b")).Text(), "ab");
  // Clamped numbers; an index not in its table gives the default.
  Document d = Loaded(Rtf("{\\fonttbl{\\f3 Arial;}}\\deff3\\fs99999\\cf7\\li-99999\\tx88888 a\\f9\\fs0 b"));
  EXPECT_EQ(d.FormatAt(0).halfPoints, richedit::kMaxHalfPoints);
  EXPECT_FALSE(d.FormatAt(0).color.has_value());
  EXPECT_EQ(d.FormatAt(1).face, "Arial");
  EXPECT_EQ(d.FormatAt(1).halfPoints, richedit::kMinHalfPoints);
  EXPECT_EQ(d.Paragraph(0).left, -richedit::kMaxIndent);
  EXPECT_EQ(d.Paragraph(0).tabs, std::vector<int>{richedit::kMaxIndent});
  // Groups deeper than the limit keep the last level's format and their text.
  std::string deep = "{\\rtf1 ";
  for (int i = 0; i < 300; ++i) deep += i == 255 ? "{\\b " : "{";
  deep += "x";
  for (int i = 0; i < 300; ++i) deep += "}";
  deep += "y}";
  Document g = Loaded(deep);
  EXPECT_EQ(g.Text(), "xy");
  EXPECT_TRUE(g.FormatAt(0).bold);
  EXPECT_FALSE(g.FormatAt(1).bold);
}

TEST(RtfReader, TableCellsAreTabsAndRowsParagraphs) {
  const std::string row = "\\trowd\\cellx1000\\cellx2000\\cellx3000 ";
  Document d = Loaded(Rtf(row + "\\intbl Gift\\cell 2\\cell 200\\cell\\row " + row +
                          "\\intbl Card\\cell\\cell 1000\\cell\\row\\pard Total 1200"));
  EXPECT_EQ(d.Lines(), (std::vector<std::string>{"Gift\t2\t200", "Card\t\t1000", "Total 1200"}));
  EXPECT_EQ(d.Paragraph(0).tabs, (std::vector<int>{1000, 2000, 3000}));
  EXPECT_EQ(d.Paragraph(0).align, Alignment::Left);
  EXPECT_TRUE(d.Paragraph(2).tabs.empty());
  // A cell's paragraphs are one line; its last paragraph end is the cell's.
  d = Loaded(Rtf("\\trowd\\cellx2000\\cellx1000 {\\pard\\intbl\\qr a\\par b\\par\\cell}{\\pard\\intbl c\\par\\cell}"
                 "\\intbl\\row\\pard d\\par e"));
  EXPECT_EQ(d.Lines(), (std::vector<std::string>{"a b\tc", "d", "e"}));
  EXPECT_TRUE(d.Paragraph(0).tabs.empty());  // edges that do not rise are no tab stops
  EXPECT_EQ(d.Paragraph(0).align, Alignment::Left);
}

TEST(RtfReader, SymbolsBreaksAndFieldResultsAreKept) {
  // Each symbol in Big5, and in a run whose code page cannot hold it '?'.
  EXPECT_EQ(Loaded(Rtf("a\\emdash b\\endash c\\lquote d\\rquote e\\ldblquote f\\rdblquote g\\bullet h")).Text(),
            "a—b–c‘d’e“f”g‧h");
  const std::string fonts = "{\\fonttbl{\\f0\\fcharset0 Arial;}{\\f1\\fcharset255 Term;}}";
  EXPECT_EQ(Loaded(Rtf(fonts + "\\f0\\emdash\\bullet\\f1\\emdash\\bullet")).Text(), "—‧??");
  EXPECT_EQ(Loaded(Rtf("h\\~i\\_j\\-k")).Text(), "h i-jk");  // the optional hyphen shows at no line end here
  // Section, page and column breaks end the paragraph.
  EXPECT_EQ(Loaded(Rtf("a\\sect b\\page c\\column d")).Lines(), (std::vector<std::string>{"a", "b", "c", "d"}));
  // A field shows its result, starred or not; its instruction is not text.
  EXPECT_EQ(Loaded(Rtf("see {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\*\\fldrslt link text}} and "
                       "{\\field{\\*\\fldinst{HYPERLINK \"http://y\"}}{\\fldrslt{\\ul other}}}{\\*\\fldrsltx z}"))
                .Text(),
            "see link text and other");
}

TEST(RtfReader, ParagraphNumberingShowsItsMarkersOnce) {
  const std::string numbered = "{\\*\\pn\\pnlvlbody\\pnucrm\\pnstart3{\\pntxtb (}{\\pntxta )}}";
  const std::string bullet = "{\\*\\pn\\pnlvlblt{\\pntxtb\\bullet}}";
  Document d = Loaded(Rtf(numbered + "a\\par " + numbered + "b\\par " + bullet + "c\\par " + numbered + "d\\par " +
                          "{\\listtext 9.\\tab}" + numbered + "e\\par {\\listtext\\tab}" +
                          "{\\*\\pn\\pnlvlbody\\pnlcltr\\pnstart28{\\pntxta .}}f\\par {\\*\\pn\\pnlvlcont}g"));
  // Numbers run on in consecutive paragraphs of one list; list text that
  // shows a marker has it once; blank list text gets the marker after it.
  EXPECT_EQ(d.Lines(),
            (std::vector<std::string>{"(III)\ta", "(IV)\tb", "‧\tc", "(III)\td", "9.\te", "\tab.f", "g"}));
}

TEST(RtfReader, SymbolFontsAndPrivateUseBulletsReadAsWhatTheyMean) {
  const std::string fonts = "{\\fonttbl{\\f0\\fcharset2 Symbol;}{\\f1\\fcharset0 Arial;}{\\f2\\fcharset136 X;}}";
  // Symbol's bytes, cp1252's bullet, Symbol's private-use bullet in any
  // font, and a list marker in a Symbol font.
  Document d = Loaded(Rtf(fonts + "\\f0\\'b7 a\\'b1b\\'d6\\f1 \\'95\\f2\\u61623?\\f0\\bullet\\par "
                                  "{\\listtext\\pard\\plain\\f0 \\'b7\\tab}\\f1 item\\par "
                                  "{\\*\\pn\\pnlvlblt\\pnf0{\\pntxtb\\'b7}}\\f1 next"));
  EXPECT_EQ(d.Lines(), (std::vector<std::string>{"‧ α±β√‧‧‧", "‧\titem", "‧\tnext"}));
  EXPECT_EQ(d.FormatAt(0).face, "Symbol");
  // What they mean is what is saved.
  EXPECT_EQ(Loaded(d.SaveRtf()).Text(), d.Text());
}

TEST(RtfReader, DoubleByteFontsReadInTheirOwnCodePage) {
  const std::string fonts = "{\\fonttbl{\\f0\\fcharset128 MS Mincho;}{\\f1\\fcharset134 SimSun;}{\\f2\\fcharset129 "
                            "Gulim;}{\\f3\\fcharset0 Arial;}}";
  // テスト日本 in Shift-JIS: trail bytes 'e', 'X' and 'g' are no letters of
  // their own; katakana have no Big5 form, one '?' each.
  EXPECT_EQ(Loaded(Rtf(fonts + "\\f0 \\'83e\\'83X\\'83g\\'93\\'fa\\'96\\'7b\\f3 !")).Text(), "???日本!");
  // 中文简 in GBK, 한 in Korean, a lead byte without its trail.
  EXPECT_EQ(Loaded(Rtf(fonts + "\\f1 \\'d6\\'d0\\'ce\\'c4\\'bc\\'f2\\f2 \\'c7\\'d1\\f0 \\'83")).Text(), "中文???");
  EXPECT_EQ(Loaded(Rtf(fonts + "\\f0\\'83")).Length(), 1);
}

TEST(RtfReader, MultiLevelNumbersCountPerLevel) {
  // As AbiWord writes them: each level its own indent, deeper levels
  // \pnlvl9 with \pnprev, and blank list text.
  auto item = [](int indent, const char* style, const char* text) {
    std::string pn = std::string(indent == 720 ? "\\pnlvlbody" : "\\pnprev\\pnlvl9") + style;
    return "{\\listtext\\pard\\fi-480\\li" + std::to_string(indent) + "  \\tab}\\pard\\plain{\\fi-480\\li" +
           std::to_string(indent) + "{\\*\\pn\\pnql\\pnstart1" + pn + "{\\pntxtb }{\\pntxta .}}" + text + "\\par}";
  };
  Document d = Loaded(Rtf(item(720, "\\pndec", "first") + item(1440, "\\pnlcltr", "A") + item(1440, "\\pnlcltr", "B") +
                          item(2160, "\\pnlcrm", "deep") + item(2160, "\\pnlcrm", "deeper") +
                          item(720, "\\pndec", "second") + item(1440, "\\pnlcltr", "again") +
                          item(720, "\\pndec", "third") + "\\pard plain\\par " + item(720, "\\pndec", "new")));
  std::vector<std::string> lines = d.Lines();
  for (std::string& line : lines) std::erase_if(line, [](char c) { return c == ' ' || c == '\t'; });
  EXPECT_EQ(lines, (std::vector<std::string>{"1.first", "a.A", "b.B", "i.deep", "ii.deeper", "2.second", "a.again",
                                             "3.third", "plain", "1.new", ""}));
}

TEST(RtfReader, FootnoteReferencesShowTheirNumbers) {
  EXPECT_EQ(Loaded(Rtf("here{\\up6\\chftn}{\\footnote\\pard{\\up6\\chftn} the note} and there{\\super\\chftn"
                       "{\\*\\footnote\\chftn\\~another}}.{\\*\\ftnsep\\chftnsep}"))
                .Text(),
            "here1 and there2.");
}

// Documents written by real programs (corpus/make-corpus.sh) read as the
// same words in the same order as an independent reader's text of each.
// Words: runs of ASCII letters and digits, and every other character on its
// own, blanks between them not counted.
TEST(RtfReader, CorpusGivesTheIndependentReadersWords) {
  using testing_support::Big5Words;
  const std::filesystem::path dir = std::filesystem::path(ZOLMET_SOURCE_DIR) / "tests/platform/richedit/corpus";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".rtf") continue;
    SCOPED_TRACE(entry.path().filename().string());
    const std::vector<std::string> want = Big5Words(testing_support::CorpusText(entry.path().string()));
    ASSERT_GE(want.size(), 4u);
    EXPECT_EQ(Big5Words(Loaded(testing_support::ReadFile(entry.path().string())).Text()), want);
    ++files;
  }
  EXPECT_GE(files, 3);
}

TEST(RtfReader, PlainTextLoadsAsParagraphs) {
  Document d = Loaded("one\r\ntwo\nthree\r收");
  EXPECT_EQ(d.Lines(), (std::vector<std::string>{"one", "two", "three", "收"}));
  EXPECT_EQ(d.Length(), 15);
}

// ---- writing ----

TEST(RtfWriter, SavedLoadedAndSavedAgainGivesTheSameBytes) {
  Document d = Loaded(kSample);
  std::string first = d.SaveRtf();
  EXPECT_EQ(first.rfind("{\\rtf1\\ansi\\ansicpg950\\deff0{\\fonttbl", 0), 0u);
  EXPECT_NE(first.find("\\fcharset136\\'b2\\'d3\\'a9\\'fa\\'c5\\'e9;"), std::string::npos) << first;
  for (unsigned char c : first) EXPECT_LT(c, 0x80);
  Document again = Loaded(first);
  EXPECT_EQ(again.Text(), d.Text());
  for (int i = 0; i < d.Length(); ++i) EXPECT_EQ(again.FormatAt(i), d.FormatAt(i)) << i;
  for (int p = 0; p < d.ParagraphCount(); ++p) EXPECT_EQ(again.Paragraph(p), d.Paragraph(p)) << p;
  EXPECT_EQ(again.SaveRtf(), first);
}

TEST(RtfWriter, OddTextAndFacesRoundTrip) {
  // Braces, backslashes, a Big5 trail byte that is a backslash, tabs,
  // line breaks, a trailing paragraph end and a face with ';' in it.
  std::string body =
      "{\\fonttbl{\\f0\\fcharset0 Odd\\'3bFace;}{\\f1\\fcharset136 \\'b2\\'d3;}}\\f0\\b a\\{b\\}\\\\c\\tab "
      "\\u23500?\\line x\\f1\\'b3\\\\\\highlight0\\par\\pard\\qr\\li100\\ri-20\\fi5\\tx300\\tx200 z\\par";
  Document d = Loaded(Rtf("{\\colortbl;\\red0\\green0\\blue0;}" + body));
  EXPECT_EQ(d.Text(), "a{b}\\c\t富\vx許\rz\r");
  EXPECT_EQ(d.FormatAt(0).face, "Odd;Face");
  std::string first = d.SaveRtf();
  Document again = Loaded(first);
  EXPECT_EQ(again.Text(), d.Text());
  for (int i = 0; i < d.Length(); ++i) EXPECT_EQ(again.FormatAt(i), d.FormatAt(i)) << i;
  EXPECT_EQ(again.Paragraph(1), d.Paragraph(1));
  EXPECT_EQ(again.SaveRtf(), first);
}

// ---- text, selection, search ----

TEST(Editing, SelectionReplaceFormatAndLimit) {
  Document d = Loaded(Rtf("ab\\b cd\\b0\\par ef"));
  d.SetSelection(2, 2);
  EXPECT_EQ(d.SelText(), "cd");
  EXPECT_TRUE(d.SelectionFormat().bold);
  d.ReplaceSelection("收\r\nX");
  EXPECT_EQ(d.Text(), "ab收\rX\ref");
  EXPECT_EQ(d.ParagraphCount(), 3);
  EXPECT_EQ(d.SelStart(), 5);
  EXPECT_TRUE(d.FormatAt(2).bold);  // the first replaced character's format
  d.SetSelection(0, 100);
  EXPECT_EQ(d.SelLength(), d.Length());
  d.ChangeSelectionFormat([](CharFormat& f) { f.back = win::RGB(1, 2, 3); });
  EXPECT_EQ(d.FormatAt(6).back, win::RGB(1, 2, 3));
  // A full text takes nothing more.
  d.SetMaxLength(9);
  d.SetSelection(1, 0);
  d.ReplaceSelection("zz");
  EXPECT_EQ(d.Text(), "az" "b收\rX\ref");
  Document limited;
  limited.SetMaxLength(3);
  limited.Load("收據測試");
  EXPECT_EQ(limited.Text(), "收據測");
}

TEST(Editing, FindForwardWholeWordAndCase) {
  Document d = Loaded("Line lines LINE 富Ix");
  EXPECT_EQ(d.Find("line", 0, -1, false, false), 0);
  EXPECT_EQ(d.Find("line", 1, -1, false, false), 5);
  EXPECT_EQ(d.Find("line", 1, -1, true, false), 11);
  EXPECT_EQ(d.Find("LINE", 0, -1, true, true), 11);
  EXPECT_EQ(d.Find("line", 0, 4, false, false), 0);
  EXPECT_EQ(d.Find("line", 1, 8, false, false), 5);
  EXPECT_EQ(d.Find("line", 1, 7, false, false), -1);
  // The trail byte of 富 (B4 49) is 'I': no hit inside the character.
  EXPECT_EQ(Loaded("富Ix").Find("I", 0, -1, false, true), 1);
  EXPECT_EQ(d.Find("", 0, -1, false, false), -1);
}

// ---- layout ----

TEST_F(Layout, PagesJoinedBackGiveTheTextOnceForAnyHeight) {
  std::string body;
  for (int i = 0; i < 12; ++i) body += "word \\'a6\\'ac\\'be\\'da longerword\\tab x\\line y\\par ";
  body += "\\fs48 big\\fs24 last";
  Document d = Loaded(Rtf(body));
  const int line = 16;  // 12 pt at the metric font
  for (int h = line - 1; h <= 5 * line + 3; ++h)
    for (int w : {1, 30, 90}) {
      int pages = 0;
      std::string joined = Pages(d, w, h, &pages);
      if (h < 2 * line) {
        // The 24 pt line never fits: the text stops there.
        EXPECT_EQ(joined, d.Text().substr(0, joined.size()));
      } else {
        EXPECT_EQ(joined, d.Text()) << w << " x " << h;
      }
    }
  // Below one line's height nothing fits.
  EXPECT_EQ(d.FormatRange(dc_, dc_, Twips(90, line - 1), 0, d.Length() - 1, false).next, 0);
}

TEST_F(Layout, LinesHeightsBreaksAndEnds) {
  Document d = Loaded("aaaa bbbb\rcc");
  // 8 px a letter: "aaaa " and "bbbb" on lines of 40 px.
  richedit::FormatResult all = d.FormatRange(dc_, dc_, Twips(40, 100), 0, d.Length() - 1, false);
  EXPECT_EQ(all.next, d.Length());
  EXPECT_EQ(all.height, 3 * 16);
  // The paragraph end goes with its line.
  EXPECT_EQ(d.FormatRange(dc_, dc_, Twips(40, 32), 0, d.Length() - 1, false).next, 10);
  // A last character alone on its line.
  Document one = Loaded("aaaaa");
  richedit::FormatResult r = one.FormatRange(dc_, dc_, Twips(32, 16), 0, 4, false);
  EXPECT_EQ(r.next, 4);
  // Empty and inverted rectangles lay out nothing; a range past the text
  // counts as done.
  EXPECT_EQ(d.FormatRange(dc_, dc_, win::RECT{100, 100, 100, 900}, 0, 5, false).next, 0);
  EXPECT_EQ(d.FormatRange(dc_, dc_, Twips(40, 100), 50, 60, false).next, 50);
}

TEST_F(Layout, RendersRunsAlignedThroughTheTextCalls) {
  win::HDC mf = gdi::CreateMetafileDC(nullptr);
  Document d = Loaded(Rtf("{\\colortbl;\\red255\\green0\\blue0;}ab\\b\\cf1 cd\\par\\pard\\qc xy\\par\\pard\\qr z\\tab w"));
  d.FormatRange(mf, mf, Twips(100, 100), 0, d.Length() - 1, true);
  std::vector<gdi::Op> ops = gdi::CloseMetafileDC(mf);
  std::vector<const gdi::TextOp*> texts;
  for (const gdi::Op& op : ops)
    if (auto* t = op.As<gdi::TextOp>()) texts.push_back(t);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0]->text, "ab");
  EXPECT_EQ(texts[1]->text, "cd");
  EXPECT_EQ(texts[1]->origin.x, 16);
  EXPECT_EQ(texts[1]->weight, win::FW_BOLD);
  EXPECT_EQ(texts[1]->color, win::RGB(255, 0, 0));
  EXPECT_EQ(texts[2]->text, "xy");
  EXPECT_EQ(texts[2]->origin.x, (100 - 16) / 2);
  EXPECT_EQ(texts[2]->origin.y, 16);
  // "z", a tab to 720 twips (48 px), then "w" ending at the right edge.
  EXPECT_EQ(texts[4]->text, "w");
  EXPECT_EQ(texts[4]->origin.x + 8, 100);
  EXPECT_EQ(texts[3]->origin.x, 100 - 8 - 40 - 8);
}

TEST_F(Layout, IndentsKeepEveryLineInsideTheRectangle) {
  // A marker hanging left of no indent, an indent wider than the
  // rectangle, a right indent past its edge.
  Document d = Loaded(Rtf("\\fi-720 1.\\tab hanging marker text\\par\\pard\\li5000 wide indent words\\par"
                          "\\pard\\ri-900\\qr right\\par\\pard\\li-300\\fi-300 left"));
  for (int w : {24, 100}) {
    SCOPED_TRACE(w);
    win::HDC mf = gdi::CreateMetafileDC(nullptr);
    std::string joined;
    int pos = 0;
    while (pos < d.Length()) {
      richedit::FormatResult r = d.FormatRange(mf, mf, Twips(w, 1000), pos, d.Length() - 1, true);
      ASSERT_GT(r.next, pos);
      joined += d.TextRange(pos, r.next - 1);
      pos = r.next;
    }
    EXPECT_EQ(joined, d.Text());
    std::string drawn;
    for (const gdi::Op& op : gdi::CloseMetafileDC(mf))
      if (auto* t = op.As<gdi::TextOp>()) {
        // Blanks ending a line may hang past the edge, unseen.
        const size_t shown = t->text.find_last_not_of(' ') + 1;
        int width = 0;
        for (size_t k = 0; k < shown && k < t->advances.size(); ++k) width += t->advances[k];
        EXPECT_GE(t->origin.x, 0) << t->text;
        EXPECT_LE(t->origin.x + width, w) << t->text;
        drawn += t->text;
      }
    for (const char* word : {"hanging", "wide", "indent", "words", "right", "left"})
      EXPECT_NE(drawn.find(word), std::string::npos) << word;
  }
}

TEST(RtfWriter, ControlValuesAndUnknownCharacterSetsRoundTrip) {
  // A Unicode control value is dropped (a tab kept); a character set the
  // reader does not know reads in the document's code page, and so is
  // written back.
  for (const char* body : {"a\\u2 b\\u9 c\\u0 d", "{\\fonttbl{\\f1\\fcharset28 X;}}\\f1 \\'a0f\\'b4I",
                           "{\\fonttbl{\\f0\\fcharset255 \\u-10179?\\u-8704?\\'e9 Odd;}}\\f0 z"}) {
    Document d = Loaded(Rtf(body));
    std::string first = d.SaveRtf();
    Document again = Loaded(first);
    EXPECT_EQ(again.Text(), d.Text()) << body;
    EXPECT_EQ(again.FormatAt(0), d.FormatAt(0)) << body;
    EXPECT_EQ(again.SaveRtf(), first) << body;
  }
  EXPECT_EQ(Loaded(Rtf("a\\u2 b\\u9 c\\u0 d")).Text(), "a\t");  // each value skips its fallback
}
