// The RTF subset: a one-pass reader (any bytes, linear in the input) and a
// deterministic writer.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>

#include "platform/richedit/richedit.h"
#include "platform/sysroot/codepage.h"

namespace richedit {

namespace {

constexpr int kNoCharset = -1;
constexpr int kSymbolCharset = 2;
constexpr int kSymbolPage = 42;  // a symbol font's bytes: its glyphs, not a code page

// The meaning of a Symbol font's bytes 0x20 to 0xFF ('?': none).
constexpr char16_t kSymbolFont[] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0x003F,
    0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F,
    0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F,
    0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x003F, 0x20AC, 0x03D2, 0x2032, 0x2264,
    0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260, 0x2261, 0x2248,
    0x2026, 0x2502, 0x2500, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3,
    0x23A7, 0x23A8, 0x23A9, 0x23AA, 0x003F, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0x003F,
};

char16_t SymbolUnicode(unsigned char byte) {
  if (byte == '\t') return u'\t';
  return byte >= 0x20 && byte - 0x20 < static_cast<int>(std::size(kSymbolFont)) ? kSymbolFont[byte - 0x20] : u'?';
}

// Big5 of U, or of its nearest form: Symbol's private-use characters are
// its glyphs' meanings; bullets are Big5's dot, as Windows fits them.
std::string Big5Of(char16_t u) {
  if (u >= 0xF020 && u <= 0xF0FF) u = SymbolUnicode(static_cast<unsigned char>(u - 0xF000));
  static const std::pair<char16_t, char16_t> kNearest[] = {
      {0x2022, 0x2027}, {0x2219, 0x2027}, {0x22C5, 0x2027}, {0x2264, 0x2266}, {0x2265, 0x2267},
      {0x2212, 0xFF0D}, {0x2217, 0xFF0A}, {0x03C2, 0x03C3}, {0x25CA, 0x25C7}, {0x2666, 0x25C6}};
  for (auto [from, to] : kNearest)
    if (u == from) u = to;
  return cp::Utf16ToBig5(std::u16string_view(&u, 1));
}

// Big5 of UTF-16 UNITS, each character in its nearest form.
std::string Big5Of(std::u16string_view units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      std::string pair = cp::Utf16ToBig5(units.substr(i++, 2));
      out += pair.size() == 2 && cp::IsBig5Lead(static_cast<unsigned char>(pair[0])) ? pair : "?";
    } else {
      out += Big5Of(units[i]);
    }
  }
  return out;
}

// The Windows code page of a font character set; 0 when the document's.
int CodePageOfCharset(int charset) {
  switch (charset) {
    case win::DEFAULT_CHARSET:
    case win::CHINESEBIG5_CHARSET: return 950;
    case 0: return 1252;
    case kSymbolCharset: return kSymbolPage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 255: return 437;
    default: return 0;
  }
}

// As the reader takes a character set in a document saved with code page
// 950: one it does not know is the document's.
bool IsBig5CodePage(int charset) {
  int page = CodePageOfCharset(charset);
  return page == 0 || page == 950;
}

struct Font {
  std::string face;
  int charset = kNoCharset;
};

// ListMarker: a paragraph's numbering (\*\pn), its texts before and after
// the number in its parts 1 and 2.
enum class Dest { Text, FontTable, ColorTable, ListMarker };

struct Marker {
  bool numbered = false, bullet = false;
  int style = 0;  // decimal, upper and lower roman, upper and lower letters
  int start = 1;
  std::string before, after;
  bool SameList(const Marker& m) const {
    return numbered == m.numbered && style == m.style && start == m.start && before == m.before &&
           after == m.after;
  }
};

// N in STYLE (a Marker's); roman numerals up to 3999, then decimal.
std::string MarkerNumber(int n, int style) {
  if ((style == 1 || style == 2) && n > 0 && n < 4000) {
    static const std::pair<int, const char*> kRoman[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                         {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                         {5, "v"},    {4, "iv"},   {1, "i"}};
    std::string out;
    for (auto [value, text] : kRoman)
      for (; n >= value; n -= value) out += text;
    if (style == 1) std::transform(out.begin(), out.end(), out.begin(), ::toupper);
    return out;
  }
  if ((style == 3 || style == 4) && n > 0) {
    std::string out;
    for (; n > 0; n = (n - 1) / 26) out.insert(out.begin(), static_cast<char>((style == 3 ? 'A' : 'a') + (n - 1) % 26));
    return out;
  }
  return std::to_string(n);
}

struct State {
  Dest dest = Dest::Text;
  int font = -1;  // -1: the default font
  int halfPoints = 24;
  bool bold = false, italic = false, underline = false;
  int color = 0, highlight = 0;
  ParaFormat para;
  bool inTable = false;  // the paragraph is in a table cell
  int markerPart = 0;    // in a list marker: 1 the text before, 2 after
  bool listText = false;  // the paragraph's list marker as text
  int uc = 1;
};

const char* const kSkipped[] = {"info", "stylesheet", "pict", "header", "headerl", "headerr", "headerf", "footer",
                                "footerl", "footerr", "footerf", "footnote", "object", "listtable",
                                "listoverridetable", "revtbl", "rsidtbl", "generator", "xmlnstbl", "themedata",
                                "colorschememapping", "latentstyles", "datastore", "fldinst", "filetbl",
                                "pgdsctbl", "author", "operator", "title", "subject", "comment", "keywords",
                                "doccomm", "company", "nonshppict", "shppict", "sp", "template", "bkmkstart",
                                "bkmkend", "panose", "falt", "fontemb", "fontfile"};

// Symbols written as control words.
const std::pair<const char*, char16_t> kSymbols[] = {{"emdash", 0x2014},   {"endash", 0x2013},   {"lquote", 0x2018},
                                                     {"rquote", 0x2019},   {"ldblquote", 0x201C}, {"rdblquote", 0x201D},
                                                     {"bullet", 0x2022}};

class Reader {
 public:
  Reader(Document& doc, std::string_view in) : doc_(doc), in_(in) {}

  void Run() {
    while (i_ < in_.size()) {
      char c = in_[i_];
      if (c == '{') {
        Flush();
        ++i_;
        skip_ = 0;
        if (stack_.size() < kMaxGroupDepth) stack_.push_back(state_);
        else ++overflow_;
      } else if (c == '}') {
        Flush();
        ++i_;
        skip_ = 0;
        CloseGroup();
      } else if (c == '\\') {
        Control();
      } else {
        ++i_;
        if (c == '\r' || c == '\n') continue;
        if (Skipping()) continue;
        Literal(c);
      }
    }
    Flush();
    if (pendingHigh_) Emit("?");
    doc_.SetLastParagraph(lastPara_);
  }

 private:
  bool Skipping() {
    if (skip_ <= 0) return false;
    --skip_;
    return true;
  }

  void CloseGroup() {
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (state_.dest == Dest::FontTable) EndFont();
    const bool marker = state_.dest == Dest::ListMarker;
    if (!stack_.empty()) {
      state_ = stack_.back();
      stack_.pop_back();
    }
    if (marker && state_.dest != Dest::ListMarker) EndMarker();
  }

  // A literal byte of the current destination.
  void Literal(char c, bool escaped = false) {
    if (state_.dest == Dest::ColorTable) {
      if (c == ';' && !escaped) EndColor();
      return;
    }
    if (state_.dest == Dest::FontTable && c == ';' && !escaped) {
      EndFont();
      return;
    }
    pending_ += c;
  }

  // Skips the rest of the group (a destination the reader does not keep).
  void SkipGroup() {
    int depth = 1;
    while (i_ < in_.size() && depth > 0) {
      char c = in_[i_++];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        --depth;
      } else if (c == '\\' && i_ < in_.size()) {
        char n = in_[i_];
        if (n == '\\' || n == '{' || n == '}') {
          ++i_;
        } else if (in_.compare(i_, 3, "bin") == 0) {
          std::string word;
          long long value = 0;
          bool has = false;
          size_t save = i_;
          ReadWord(word, value, has);
          if (word == "bin" && has) i_ += static_cast<size_t>(std::clamp<long long>(value, 0, in_.size() - i_));
          else if (i_ == save) ++i_;
        }
      }
    }
    if (depth == 0) {
      if (overflow_ > 0) --overflow_;
      else if (!stack_.empty()) {
        state_ = stack_.back();
        stack_.pop_back();
      }
    }
  }

  // Letters, an optional signed number (saturated) and one delimiting blank.
  void ReadWord(std::string& word, long long& value, bool& has) {
    while (i_ < in_.size() && ((in_[i_] >= 'a' && in_[i_] <= 'z') || (in_[i_] >= 'A' && in_[i_] <= 'Z'))) {
      if (word.size() < 32) word += in_[i_];
      ++i_;
    }
    bool negative = false;
    if (i_ < in_.size() && in_[i_] == '-' && i_ + 1 < in_.size() && in_[i_ + 1] >= '0' && in_[i_ + 1] <= '9') {
      negative = true;
      ++i_;
    }
    has = false;
    value = 0;
    while (i_ < in_.size() && in_[i_] >= '0' && in_[i_] <= '9') {
      has = true;
      value = std::min<long long>(value * 10 + (in_[i_] - '0'), 1LL << 40);
      ++i_;
    }
    if (negative) value = -value;
    if (i_ < in_.size() && in_[i_] == ' ') ++i_;
  }

  static int Hex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  void Control() {
    ++i_;
    if (i_ >= in_.size()) return;
    char c = in_[i_];
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      std::string word;
      long long value = 0;
      bool has = false;
      ReadWord(word, value, has);
      if (Skipping()) return;
      Word(word, value, has);
      return;
    }
    ++i_;
    if (c == '\'') {
      int hi = i_ < in_.size() ? Hex(in_[i_]) : -1;
      int lo = hi >= 0 && i_ + 1 < in_.size() ? Hex(in_[i_ + 1]) : -1;
      if (hi < 0 || lo < 0) {
        if (hi >= 0) ++i_;  // a bad escape is skipped
        return;
      }
      i_ += 2;
      if (Skipping()) return;
      Literal(static_cast<char>(hi * 16 + lo), true);
      return;
    }
    if (Skipping()) return;
    switch (c) {
      case '\\':
      case '{':
      case '}': Literal(c, true); break;
      case '*':
        Flush();
        if (Follows("\\fldrslt")) break;  // a field's shown text is read
        if (Follows("\\pn") && state_.dest == Dest::Text) {
          state_.dest = Dest::ListMarker;
          marker_ = Marker{};
          break;
        }
        SkipGroup();
        break;
      case '~': Literal(' '); break;
      case '_': Literal('-'); break;
      case '\r':
      case '\n': Word("par", 0, false); break;
      default: break;
    }
  }

  // The control word WORD follows at the read position.
  bool Follows(std::string_view word) const {
    return in_.substr(i_, word.size()) == word &&
           (i_ + word.size() >= in_.size() || !std::isalpha(static_cast<unsigned char>(in_[i_ + word.size()])));
  }

  static int Clamp(long long v, int lo, int hi) { return static_cast<int>(std::clamp<long long>(v, lo, hi)); }

  void Word(const std::string& w, long long value, bool has) {
    Flush();
    for (const char* s : kSkipped)
      if (w == s) {
        SkipGroup();
        return;
      }
    State& s = state_;
    const bool text = s.dest == Dest::Text;
    if (w == "ansicpg") codePage_ = Clamp(value, 0, 65535);
    else if (w == "deff") deff_ = Clamp(value, 0, 1 << 30);
    else if (w == "fonttbl") s.dest = Dest::FontTable;
    else if (w == "colortbl") {
      s.dest = Dest::ColorTable;
      colorAny_ = false;
      r_ = g_ = b_ = 0;
    } else if (w == "f") {
      if (s.dest == Dest::FontTable) {
        EndFont();
        entry_ = Clamp(value, 0, 1 << 30);
      } else {
        s.font = Clamp(value, 0, 1 << 30);
      }
    } else if (w == "fcharset") {
      if (s.dest == Dest::FontTable) entryCharset_ = Clamp(value, 0, 255);
    } else if (w == "red" || w == "green" || w == "blue") {
      int v = Clamp(value, 0, 255);
      (w == "red" ? r_ : w == "green" ? g_ : b_) = v;
      colorAny_ = true;
    } else if (w == "fs") s.halfPoints = Clamp(has ? value : 24, kMinHalfPoints, kMaxHalfPoints);
    else if (w == "b") s.bold = !has || value != 0;
    else if (w == "i") s.italic = !has || value != 0;
    else if (w == "ul") s.underline = !has || value != 0;
    else if (w == "ulnone") s.underline = false;
    else if (w == "cf") s.color = Clamp(value, 0, 1 << 30);
    else if (w == "highlight") s.highlight = Clamp(value, 0, 1 << 30);
    else if (w == "plain") {
      s.font = -1;
      s.halfPoints = 24;
      s.bold = s.italic = s.underline = false;
      s.color = s.highlight = 0;
    } else if (w == "uc") s.uc = Clamp(value, 0, 10);
    else if (w == "u") Unicode(value);
    else if (w == "bin") i_ += static_cast<size_t>(std::clamp<long long>(value, 0, in_.size() - i_));
    else if (s.dest == Dest::ListMarker) MarkerWord(w, value);
    else if (!text) return;
    else if (w == "pard") {
      SetPara(ParaFormat{});
      s.inTable = false;
    } else if (w == "intbl") s.inTable = true;
    else if (w == "ql" || w == "qc" || w == "qr" || w == "qj") {
      ParaFormat p = s.para;
      p.align = w == "qc" ? Alignment::Center : w == "qr" ? Alignment::Right : w == "qj" ? Alignment::Justify
                                                                                      : Alignment::Left;
      SetPara(p);
    } else if (w == "li" || w == "ri" || w == "fi") {
      ParaFormat p = s.para;
      (w == "li" ? p.left : w == "ri" ? p.right : p.first) = Clamp(value, -kMaxIndent, kMaxIndent);
      SetPara(p);
    } else if (w == "tx") {
      ParaFormat p = s.para;
      if (p.tabs.size() < kMaxTabs) p.tabs.push_back(Clamp(value, -kMaxIndent, kMaxIndent));
      SetPara(p);
    } else if (w == "par" && s.inTable) {
      cellBreak_ = true;  // a blank between a cell's paragraphs, none at its end
    } else if (w == "par" || w == "sect" || w == "page" || w == "column") {
      EndParagraph(s.para);
    } else if (w == "line") Emit("\v");
    else if (w == "tab") Emit("\t");
    else if (w == "cell" || w == "nestcell") {
      ++cells_;
      cellBreak_ = false;
    } else if (w == "row" || w == "nestrow") {
      cells_ = 0;  // the last cell's end is the row's
      cellBreak_ = false;
      ParaFormat row;
      if (RowEdgesAreTabs()) row.tabs = rowEdges_;
      EndParagraph(row);
    } else if (w == "trowd") rowEdges_.clear();
    else if (w == "listtext" || w == "pntext") {
      s.listText = true;
      listText_ = {doc_.ParagraphCount() - 1, false};
    } else if (w == "chftn") {
      Emit(std::to_string(++footnotes_));  // the note itself is not shown
    } else if (w == "cellx") {
      if (rowEdges_.size() <= kMaxTabs) rowEdges_.push_back(Clamp(value, -kMaxIndent - 1, kMaxIndent + 1));
    } else {
      Symbols(w);
    }
  }

  void Symbols(const std::string& w) {
    for (const auto& [name, u] : kSymbols)
      if (w == name) Symbol(u);
  }

  void MarkerWord(const std::string& w, long long value) {
    static const char* const kStyles[] = {"pndec", "pnucrm", "pnlcrm", "pnucltr", "pnlcltr"};
    Marker& m = marker_;
    if (w == "pnlvlbody" || w == "pnlvl") m.numbered = true, m.bullet = false;
    else if (w == "pnlvlblt") m.bullet = true, m.numbered = false;
    else if (w == "pnlvlcont") m.bullet = m.numbered = false;
    else if (w == "pnstart") m.start = Clamp(value, 0, 1 << 20);
    else if (w == "pnf") state_.font = Clamp(value, 0, 1 << 30);
    else if (w == "pntxtb") state_.markerPart = 1;
    else if (w == "pntxta") state_.markerPart = 2;
    else {
      for (int k = 0; k < 5; ++k)
        if (w == kStyles[k]) m.style = k;
      Symbols(w);
    }
  }

  // A paragraph's marker, unless its list text shows one already. Numbers
  // count per level (the paragraph's left indent) while list paragraphs
  // follow each other; an item restarts the levels deeper than its own.
  void EndMarker() {
    const Marker m = marker_;
    const int para = doc_.ParagraphCount() - 1;
    if (lastListPara_ != para - 1 && lastListPara_ != para) levels_.clear();
    lastListPara_ = para;
    if (!m.numbered && !m.bullet) return;
    const int level = state_.para.left;
    levels_.erase(levels_.upper_bound(level), levels_.end());
    auto it = levels_.find(level);
    const int count = it != levels_.end() && m.SameList(it->second.first) ? it->second.second + 1 : 0;
    levels_[level] = {m, count};
    if (listText_.first == para && listText_.second) return;
    std::string text = m.before;
    if (m.numbered) text += MarkerNumber(m.start + count, m.style);
    text += m.after;
    Emit(listText_.first == para ? text : text + "\t");
  }

  void EndParagraph(const ParaFormat& p) {
    Unpaired();
    EndCells();
    doc_.EndParagraph(Format(), p);
    lastPara_ = state_.para;
  }

  // Cell edges are the row's tab stops when they rise within the limits.
  bool RowEdgesAreTabs() const {
    if (rowEdges_.empty() || rowEdges_.size() > kMaxTabs) return false;
    for (size_t k = 0; k < rowEdges_.size(); ++k)
      if (rowEdges_[k] <= (k ? rowEdges_[k - 1] : 0) || rowEdges_[k] > kMaxIndent) return false;
    return true;
  }

  // The cells ended before what comes next, a tab each, or the cell's
  // paragraph ended, a blank.
  void EndCells() {
    if (state_.dest != Dest::Text) return;
    if (cells_ > 0) {
      std::string tabs(static_cast<size_t>(std::min(cells_, 1 << 16)), '\t');
      cells_ = 0;
      doc_.Append(tabs, Format());
    }
    if (cellBreak_) {
      cellBreak_ = false;
      doc_.Append(" ", Format());
    }
  }

  // A symbol as the run's code page holds it, '?' where it cannot.
  void Symbol(char16_t u) {
    Unpaired();
    int page = CodePageOf(FontOf(state_.font).charset);
    const bool held =
        page == 950 || page == kSymbolPage || cp::Utf16ToCodePage(page, std::u16string_view(&u, 1)) != "?";
    Emit(held ? Big5Of(u) : "?");
  }

  void SetPara(const ParaFormat& p) {
    state_.para = p;
    lastPara_ = p;
  }

  // A high surrogate waits for its low one; alone it is '?'.
  void Unpaired() {
    if (pendingHigh_) {
      pendingHigh_ = 0;
      Emit("?");
    }
  }

  void Unicode(long long n) {
    skip_ = state_.uc;
    if (n < -32768 || n > 65535) {
      Unpaired();
      Emit("?");
      return;
    }
    char16_t u = static_cast<char16_t>(n < 0 ? n + 65536 : n);
    if (u >= 0xD800 && u <= 0xDBFF) {
      Unpaired();
      pendingHigh_ = u;
      return;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) {
      if (!pendingHigh_) {
        Emit("?");
        return;
      }
      char16_t pair[2] = {pendingHigh_, u};
      pendingHigh_ = 0;
      Piece(Big5Of(std::u16string_view(pair, 2)));
      return;
    }
    Unpaired();
    Piece(Big5Of(u));
  }

  // Converted text for the current destination: controls but tab dropped,
  // single bytes above 0x7F '?'.
  void Piece(const std::string& converted) {
    std::string big5 = CleanBig5(converted, false);
    if (state_.dest == Dest::FontTable) entryName_ += big5;
    else Emit(big5);
  }

  Font FontOf(int number) const {
    auto it = fonts_.find(number < 0 ? deff_ : number);
    if (it == fonts_.end()) it = fonts_.find(deff_);
    return it == fonts_.end() ? Font{CharFormat{}.face, kNoCharset} : it->second;
  }

  int CodePageOf(int charset) const {
    int page = charset == kNoCharset ? 0 : CodePageOfCharset(charset);
    if (page == 0) page = codePage_ > 0 ? codePage_ : 950;
    return page;
  }

  std::string Decode(const std::string& bytes, int charset) const {
    int page = CodePageOf(charset);
    if (page == 950) return CleanBig5(bytes, false);
    std::string controlFree;
    for (char c : bytes)
      if (c == '\t' || static_cast<unsigned char>(c) >= 0x20) controlFree += c;
    std::u16string units;
    if (page == kSymbolPage) {
      for (char c : controlFree) units += SymbolUnicode(static_cast<unsigned char>(c));
    } else {
      units = cp::CodePageToUtf16(page, controlFree);
    }
    return CleanBig5(Big5Of(units), false);
  }

  // The bytes gathered so far, in the code page of their font.
  void Flush() {
    if (pending_.empty()) return;
    std::string bytes;
    bytes.swap(pending_);
    if (state_.dest == Dest::FontTable) {
      // A symbol font's name is in the document's code page.
      entryName_ += Decode(bytes, entryCharset_ == kSymbolCharset ? kNoCharset : entryCharset_);
      return;
    }
    if (state_.dest != Dest::Text && state_.dest != Dest::ListMarker) return;
    Unpaired();
    Emit(Decode(bytes, FontOf(state_.font).charset));
  }

  CharFormat Format() const {
    CharFormat f;
    Font font = FontOf(state_.font);
    f.face = font.face;
    // A symbol font's characters are kept as what they mean, in Big5.
    f.charset = font.charset == kNoCharset || font.charset == kSymbolCharset ? win::DEFAULT_CHARSET : font.charset;
    f.halfPoints = state_.halfPoints;
    f.bold = state_.bold;
    f.italic = state_.italic;
    f.underline = state_.underline;
    auto color = [&](int index) -> std::optional<win::COLORREF> {
      if (index <= 0 || index >= static_cast<int>(colors_.size())) return std::nullopt;
      return colors_[static_cast<size_t>(index)];
    };
    f.color = color(state_.color);
    f.back = color(state_.highlight);
    return f;
  }

  void Emit(const std::string& big5) {
    if (state_.dest == Dest::ListMarker && state_.markerPart) {
      std::string& text = state_.markerPart == 1 ? marker_.before : marker_.after;
      if (text.size() + big5.size() <= 64) text += big5;
      return;
    }
    if (big5.empty() || state_.dest != Dest::Text) return;
    EndCells();
    if (state_.listText && big5.find_first_not_of(" \t") != std::string::npos) listText_.second = true;
    doc_.Append(big5, Format());
    lastPara_ = state_.para;
  }

  void EndFont() {
    Flush();
    if (entry_ >= 0) {
      std::string name = entryName_;
      size_t a = name.find_first_not_of(' '), b = name.find_last_not_of(' ');
      name = a == std::string::npos ? std::string() : name.substr(a, b - a + 1);
      fonts_.emplace(entry_, Font{name, entryCharset_});
    }
    entry_ = -1;
    entryCharset_ = kNoCharset;
    entryName_.clear();
  }

  void EndColor() {
    if (colorAny_) colors_.push_back(win::RGB(r_, g_, b_));
    else colors_.push_back(std::nullopt);
    colorAny_ = false;
    r_ = g_ = b_ = 0;
  }

  Document& doc_;
  std::string_view in_;
  size_t i_ = 0;
  State state_;
  std::vector<State> stack_;
  int overflow_ = 0;
  int skip_ = 0;
  std::string pending_;
  char16_t pendingHigh_ = 0;
  int codePage_ = 0;
  int deff_ = 0;
  std::map<int, Font> fonts_;
  int entry_ = -1, entryCharset_ = kNoCharset;
  std::string entryName_;
  std::vector<std::optional<win::COLORREF>> colors_;
  bool colorAny_ = false;
  int r_ = 0, g_ = 0, b_ = 0;
  ParaFormat lastPara_;
  int cells_ = 0;              // cells ended, not yet written as tabs
  bool cellBreak_ = false;     // a cell's paragraph ended, not yet written
  Marker marker_;
  std::map<int, std::pair<Marker, int>> levels_;  // per left indent: the last marker, its number less the start
  int lastListPara_ = -2;                          // the last paragraph with a marker
  int footnotes_ = 0;
  std::pair<int, bool> listText_{-1, false};  // the paragraph with list text; whether that shows a marker
  std::vector<int> rowEdges_;  // the row's cell edges, twips
};

// ---- writer ----

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}
  void Word(const std::string& w) {
    out_ += '\\';
    out_ += w;
    delimit_ = true;
  }
  void Word(const std::string& w, long long n) { Word(w + std::to_string(n)); }
  void Raw(const std::string& s) {
    out_ += s;
    delimit_ = false;
  }
  void Byte(unsigned char c) {
    if (c > 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\'%02x", c);
      Raw(hex);
    } else if (c == '\\' || c == '{' || c == '}') {
      Raw(std::string{'\\', static_cast<char>(c)});
    } else {
      if (delimit_) out_ += ' ';
      out_ += static_cast<char>(c);
      delimit_ = false;
    }
  }
  // A character of a font whose code page is not Big5: Unicode with '?'.
  void Unicode(const std::string& big5) {
    if (big5.size() == 1) {
      Byte(static_cast<unsigned char>(big5[0]));
      return;
    }
    for (char16_t u : cp::Big5ToUtf16(big5)) {
      if (u < 0x80) {
        Byte(static_cast<unsigned char>(u));
        continue;
      }
      Word("u", static_cast<int16_t>(u));
      Byte('?');
    }
  }

 private:
  std::string& out_;
  bool delimit_ = false;
};

}  // namespace

void Document::Load(std::string_view bytes) {
  Clear();
  if (bytes.substr(0, 5) == "{\\rtf") {
    Reader(*this, bytes).Run();
  } else {
    Append(CleanBig5(bytes, true), CharFormat{});
  }
}

std::string Document::SaveRtf() const {
  // Fonts and colours in order of first use.
  std::vector<std::pair<std::string, int>> fonts;
  std::vector<win::COLORREF> colors;
  auto fontIndex = [&](const CharFormat& f) {
    std::pair<std::string, int> key{f.face, f.charset};
    auto it = std::find(fonts.begin(), fonts.end(), key);
    if (it == fonts.end()) it = fonts.insert(fonts.end(), key);
    return static_cast<int>(it - fonts.begin());
  };
  auto colorIndex = [&](win::COLORREF c) {
    auto it = std::find(colors.begin(), colors.end(), c);
    if (it == colors.end()) it = colors.insert(colors.end(), c);
    return static_cast<int>(it - colors.begin()) + 1;
  };
  for (const Char& c : chars_) {
    const CharFormat& f = formats_[static_cast<size_t>(c.fmt)];
    fontIndex(f);
    if (f.color) colorIndex(*f.color);
    if (f.back) colorIndex(*f.back);
  }
  std::string out = "{\\rtf1\\ansi\\ansicpg950\\deff0";
  Writer w(out);
  w.Raw("{\\fonttbl");
  for (size_t i = 0; i < fonts.size(); ++i) {
    w.Raw("{");
    w.Word("f", static_cast<long long>(i));
    w.Word("fcharset", fonts[i].second);
    bool big5 = IsBig5CodePage(fonts[i].second);
    const std::string& face = fonts[i].first;
    if (face.empty()) w.Raw(" ");
    for (size_t k = 0; k < face.size(); ++k) {
      unsigned char b = static_cast<unsigned char>(face[k]);
      if (b == ';') w.Raw("\\'3b");
      else if (b > 0x7F && !big5 && k + 1 < face.size()) {
        w.Unicode(face.substr(k, 2));
        ++k;
      } else w.Byte(b);
    }
    w.Raw(";}");
  }
  w.Raw("}");
  if (!colors.empty()) {
    w.Raw("{\\colortbl;");
    for (win::COLORREF c : colors) {
      w.Word("red", c & 0xFF);
      w.Word("green", (c >> 8) & 0xFF);
      w.Word("blue", (c >> 16) & 0xFF);
      w.Raw(";");
    }
    w.Raw("}");
  }
  w.Word("uc1");
  w.Raw("\r\n");
  int para = 0, last = -1;
  bool paraOpen = false;
  auto openPara = [&] {
    const ParaFormat& p = paras_[static_cast<size_t>(para)];
    w.Word("pard");
    if (p.align == Alignment::Center) w.Word("qc");
    else if (p.align == Alignment::Right) w.Word("qr");
    else if (p.align == Alignment::Justify) w.Word("qj");
    if (p.left) w.Word("li", p.left);
    if (p.right) w.Word("ri", p.right);
    if (p.first) w.Word("fi", p.first);
    for (int t : p.tabs) w.Word("tx", t);
    paraOpen = true;
  };
  for (const Char& c : chars_) {
    if (!paraOpen) openPara();
    const CharFormat& f = formats_[static_cast<size_t>(c.fmt)];
    if (c.fmt != last) {
      if (last < 0 || !(formats_[static_cast<size_t>(last)] == f)) {
        w.Word("plain");
        w.Word("f", fontIndex(f));
        w.Word("fs", f.halfPoints);
        if (f.bold) w.Word("b");
        if (f.italic) w.Word("i");
        if (f.underline) w.Word("ul");
        if (f.color) w.Word("cf", colorIndex(*f.color));
        if (f.back) w.Word("highlight", colorIndex(*f.back));
      }
      last = c.fmt;
    }
    if (c.n == 1 && c.b[0] == '\r') {
      w.Word("par");
      w.Raw("\r\n");
      ++para;
      paraOpen = false;
    } else if (c.n == 1 && c.b[0] == '\v') {
      w.Word("line");
    } else if (c.n == 1 && c.b[0] == '\t') {
      w.Word("tab");
    } else if (c.n == 2 && !IsBig5CodePage(f.charset)) {
      w.Unicode(std::string(c.b, 2));
    } else {
      for (int k = 0; k < c.n; ++k) w.Byte(static_cast<unsigned char>(c.b[k]));
    }
  }
  if (!paraOpen) openPara();
  w.Raw("}");
  return out;
}

}  // namespace richedit
