// A rich-text document: paragraphs of formatted Big5 text, read from and
// written to the RTF subset reports use, with a selection, forward search
// and a layout that draws through gdi's text calls.
//
// Positions count characters: a Big5 character, a single byte, a paragraph
// end ('\r'), a line break ('\v') and a tab count one each; the document's
// end counts nothing. A range (first, last) includes last.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/gdi/gdi.h"

namespace richedit {

struct CharFormat {
  std::string face = "Times New Roman";  // Big5
  int charset = win::DEFAULT_CHARSET;
  int halfPoints = 24;
  bool bold = false, italic = false, underline = false;
  std::optional<win::COLORREF> color;  // none: automatic (black)
  std::optional<win::COLORREF> back;   // none: no highlight
  bool operator==(const CharFormat&) const = default;
};

enum class Alignment { Left, Center, Right, Justify };

struct ParaFormat {
  Alignment align = Alignment::Left;
  int left = 0, right = 0, first = 0;  // twips
  std::vector<int> tabs;               // twips from the layout rectangle's left
  bool operator==(const ParaFormat&) const = default;
};

// Limits the reader keeps to.
constexpr int kMinHalfPoints = 2, kMaxHalfPoints = 3276;  // 1-1638 pt
constexpr int kMaxIndent = 31680;                          // 22 in, in twips
constexpr int kMaxTabs = 32;
constexpr int kMaxGroupDepth = 256;

struct FormatResult {
  int next = 0;    // the first position not laid out
  int height = 0;  // target pixels used from the rectangle's top
};

class Document {
 public:
  Document();

  // RTF when BYTES start with "{\rtf", else plain text (paragraphs split at
  // CR LF, CR or LF). Any bytes load. The text limit applies.
  void Load(std::string_view bytes);
  // The same subset, deterministic: equal documents give equal bytes.
  std::string SaveRtf() const;
  void Clear();

  int Length() const { return static_cast<int>(chars_.size()); }
  std::string Text() const;
  // Characters FIRST to LAST, clamped to the text.
  std::string TextRange(int first, int last) const;
  // The paragraphs, without their ends.
  std::vector<std::string> Lines() const;
  int ParagraphCount() const { return static_cast<int>(paras_.size()); }
  const ParaFormat& Paragraph(int index) const { return paras_.at(static_cast<size_t>(index)); }
  // The format of the character at POS (the default past the end).
  CharFormat FormatAt(int pos) const;
  const ParaFormat& ParagraphAt(int pos) const;

  // Editing. 0: no limit. Loads and replacements stop at the limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int chars) { maxLength_ = chars < 0 ? 0 : chars; }
  void SetSelection(int start, int length);
  int SelStart() const { return selStart_; }
  int SelLength() const { return selLength_; }
  std::string SelText() const;
  // Replaces the selection with Big5 TEXT (CR LF, CR, LF: paragraph ends),
  // in the selection's format; the caret follows the text.
  void ReplaceSelection(std::string_view text);
  // The first selected character's format (the one before the caret when
  // nothing is selected).
  CharFormat SelectionFormat() const;
  void ChangeSelectionFormat(const std::function<void(CharFormat&)>& change);
  void SetParagraphFormat(int index, const ParaFormat& format);

  // The first position from START within LENGTH characters (-1: to the
  // end) where WHAT begins; -1 when none. Matches begin at characters.
  int Find(std::string_view what, int start, int length, bool wholeWord, bool matchCase) const;

  // Lays out FIRST..LAST into RECT (twips, at TARGET's resolution; DC's
  // when TARGET is null) and, with RENDER, draws it on DC clipped to RECT.
  FormatResult FormatRange(win::HDC dc, win::HDC target, const win::RECT& twips, int first, int last,
                           bool render) const;

  // Appending (the reader's and the editor's way in).
  void Append(std::string_view big5, const CharFormat& format);
  void EndParagraph(const CharFormat& format, const ParaFormat& paragraph);
  void SetLastParagraph(const ParaFormat& paragraph) { paras_.back() = paragraph; }

 private:
  struct Char {
    char b[2];
    unsigned char n;
    int fmt;
  };
  int FormatIndex(const CharFormat& f);
  int ParagraphIndex(int pos) const;
  bool Full() const { return maxLength_ > 0 && Length() >= maxLength_; }
  std::string CharText(int pos) const { return std::string(chars_[static_cast<size_t>(pos)].b, chars_[static_cast<size_t>(pos)].n); }

  std::vector<Char> chars_;
  std::vector<CharFormat> formats_;
  std::unordered_map<std::string, int> formatIndex_;
  std::vector<ParaFormat> paras_;
  mutable std::vector<int> paraStarts_;
  mutable bool paraStartsValid_ = false;
  int maxLength_ = 0;
  int selStart_ = 0, selLength_ = 0;
};

// Splits Big5 bytes into characters: a lead byte with a trail byte is one
// pair; any other byte above 0x7F, and a lead byte without a trail, is '?'.
// Control bytes other than tab are dropped; CR LF, CR and LF become '\r'
// when LINES, else they are dropped too.
std::string CleanBig5(std::string_view bytes, bool lines);

}  // namespace richedit
