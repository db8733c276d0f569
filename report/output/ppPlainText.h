// Plain-text services: the word wrapper of the report library and what it
// uses: the control characters of wrapped text, tab stops, tabbed widths,
// full justification of a line and removal of markers.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/classes/classes.h"
#include "platform/gdi/canvas.h"
#include "report/model/ppTypes.h"

// The control characters of plain text.
class TppTextMarkups {
 public:
  static char Tab() { return '\t'; }
  static char CarriageReturn() { return '\r'; }
  static char LineFeed() { return '\n'; }
  static std::string LineBreak() { return "\r\n"; }
  static char EndOfText() { return '\0'; }
  // "$" then byte 0xB6: ends a paragraph of full-justified wrapped text.
  static std::string EndOfParagraph() { return std::string{'$', '\xB6'}; }
  static char Space() { return ' '; }

  // The marker counts only where its 0xB6 does not start a Big5 character
  // with the byte after it: "$" 0xB6 0x4F is "$" and one character.
  static bool IsEndOfParagraphAt(std::string_view text, size_t at);
  static bool HasEndOfParagraph(const std::string& text);
};

class TppPrinter;

// At most this many tab stops are used.
constexpr int ppMaxTabStops = 100;
using TppTabPositions = std::array<int, ppMaxTabStops>;

// Splits text into tokens: a word, a single blank, a single tab or the line
// break CR LF (for CR LF, a lone CR or LF, or the paragraph marker). Bytes
// are taken one by one; no delimiter can be the second byte of a Big5
// character, so a word never ends inside one. The text ends at its first
// NUL byte.
class TppPlainTextParser {
 public:
  void SetParserText(const std::string& text);
  // The same without a copy: TEXT must outlive the parsing.
  void SetParserTextView(std::string_view text);
  // Reading goes on after the first P bytes (P is kept within the text).
  void SetParserPosition(int p);
  // The next token; empty once the text has ended.
  std::string NextToken();
  // 1-based index of the last byte consumed (0 before the first); one past
  // the length once the end was read.
  int Position() const { return position_; }
  bool EndOfText() const { return endOfText_; }
  // The bytes before the first NUL.
  int Length() const { return length_; }
  // Where the next unread byte is (0-based, at most Length()).
  int Offset() const { return position_ < length_ ? position_ : length_; }
  // Where the last token returned began.
  int TokenStart() const { return tokenStart_; }

 private:
  int position_ = 0;
  bool endOfText_ = false;
  std::string own_;
  std::string_view text_;
  int length_ = 0;
  int tokenStart_ = 0;
};

// Where a wrapping run stands between two lines: what follows from it
// depends on it alone (and on the text and the settings).
struct TppWrapState {
  int position = 0;                       // the parser's
  int tokenStart = -1, tokenSize = 0;     // the token not yet placed (-1: none)
  int remainderStart = -1, remainderSize = 0;  // the rest of a split word (-1: none)
  int blanks = 0;
  bool skipBlanks = false;
  bool operator==(const TppWrapState&) const = default;
};

// One wrapping run: the lines of Text from CharPos that fit Rect (mm/1000)
// in Font, measured on Device's canvas (a printer whose device context
// opens) or on a screen bitmap. CharPos comes back where the next run
// continues; a run that has no room for one line leaves it alone.
class TppTextWrapper {
 public:
  TppTextAlignment Alignment = taLeftJustified;
  win::RECT Rect{};
  // A line may go past the width by 0.3 of a blank.
  bool AutoSize = false;
  int CharPos = 0;
  // Words break anywhere, not only when they fill a line by themselves.
  bool CharWrap = false;
  gdi::TFont Font;
  int Leading = 0;  // mm/1000 added to every line
  std::string_view Text;  // not copied: it must outlive WrapText
  TppPrinter* Device = nullptr;

  // Keeps a copy of the entries (none for a missing or empty list).
  void SetTabStops(const cls::TStringList* tabStops);
  void WrapText();
  const cls::TStringList& Lines() const { return lines_; }
  int LineHeight() const { return lineHeight_; }  // mm/1000
  int WidestLine() const { return widestLine_; }  // mm/1000

  // A line at a time (TppWrappedText). BeginSteps readies the canvas and
  // the measures for Rect: false when not one line fits it. StartAt(p)
  // puts the run where a run from CharPos p begins; Step then adds the next
  // line to Lines and answers true when it was completed with text left,
  // false when the text has ended (CharPos then where it ended). After a
  // true, StopCharPos is where a run that stops there goes on.
  bool BeginSteps();
  void EndSteps();
  void StartAt(int charPos);
  TppWrapState SaveState() const;
  void RestoreState(const TppWrapState& state);
  bool Step();
  int StopCharPos() const { return token_.empty() ? CharPos : tokenStart_; }
  void ClearLines() { lines_.Clear(); }

 private:
  bool Measure();
  void WrapLines();
  bool TakeToken();
  void FetchToken();
  void BreakLine();
  void SplitWord(std::string& fit, std::string& rest);
  void AddLine(std::string line);
  void EndParagraph();
  // TEXT's width in pixels of the measuring canvas, and in mm/1000.
  int TextWidthPx(const std::string& text);
  int64_t TextWidthMM(const std::string& text);
  // Whether HEAD then TAIL is wider than the width limit.
  bool Exceeds(const std::string& head, const std::string& tail);
  // Whether HEAD then the first N bytes of TAIL are, measured at once.
  bool ExceedsWith(const std::string& head, const std::string& tail, size_t n);

  std::unique_ptr<gdi::TBitmap> screen_;  // what text is measured on without a printer
  std::string_view parsed_;  // the text the parser has
  cls::TStringList tabStops_;
  int tabCount_ = 0;
  TppTabPositions tabPositions_{};
  cls::TStringList lines_;
  gdi::TCanvas* canvas_ = nullptr;
  TppPrinter* printer_ = nullptr;  // Device when it is ready
  int lineHeight_ = 0;
  int widestLine_ = 0;
  TppPlainTextParser parser_;
  bool skipBlanks_ = false;
  int blanks_ = 0;
  int64_t widthLimit_ = 0;
  // The widest text in pixels whose width in mm/1000 is within the limit
  // (-1: none), so that a line is measured in pixels alone.
  int64_t widthLimitPx_ = -1;
  std::string measured_;  // what Exceeds measures, kept to spare allocations
  // The run's state.
  std::string line_, token_, remainder_;
  int tokenStart_ = 0, remainderStart_ = 0;
};

// One text wrapped at one width with one font, tab stops, leading, wrap
// mode and alignment, a line at a time as runs ask for them, and kept: a
// run from any CharPos into any rectangle of that width gives what
// TppPlainText::WrapText gives, at the cost of its own lines once the
// lines are known. A run on another device starts the lines anew.
class TppWrappedText {
 public:
  TppWrappedText(std::shared_ptr<const std::string> text, int width, const gdi::TFont& font,
                 const cls::TStringList* tabStops, int leading, bool charWrap, TppTextAlignment alignment,
                 bool autoSize);
  void WrapText(const win::RECT& rect, cls::TStringList* lines, int& charPos, TppPrinter* device);

  const std::shared_ptr<const std::string>& Text() const { return text_; }
  int Width() const { return width_; }
  const TppTextWrapper& Settings() const { return wrapper_; }
  const cls::TStringList& TabStops() const { return tabStops_; }

 private:
  struct TStep {
    bool hasLine = false, more = false;
    std::string line;
    int charPos = 0;  // where a run that ends with this step goes on
    TppWrapState after;
    int next = -1;  // the step from AFTER, once known
  };
  struct THash {
    size_t operator()(const TppWrapState& s) const;
  };
  // The step from STATE, made when it is new (STATE is a copy: it may be
  // a kept step's, and the steps grow).
  int StepFrom(TppWrapState state);

  std::shared_ptr<const std::string> text_;
  int width_;
  cls::TStringList tabStops_;
  TppTextWrapper wrapper_;
  std::vector<TStep> steps_;
  std::unordered_map<TppWrapState, int, THash> index_;
  std::vector<int> taken_;  // the steps of the lines of a run
};

class TppPlainText {
 public:
  // Replaces LINES with the lines of TEXT from CHARPOS that fit RECT
  // (mm/1000) and sets CHARPOS where the next run continues (see
  // TppTextWrapper). Memos pass AUTOSIZE false.
  static void WrapText(const std::string& text, const win::RECT& rect, cls::TStringList* lines, int& charPos,
                       TppPrinter* device, const cls::TStringList* tabStops, int leading, bool charWrap,
                       const gdi::TFont& font, bool autoSize, TppTextAlignment alignment);
  // How many lines of FONT plus LEADING (mm/1000) fit AVAILABLEHEIGHT
  // (mm/1000), counted in DEVICE's pixels; LINEHEIGHT gets one line's
  // height in mm/1000.
  static int CalcLinesThatFit(const gdi::TFont& font, int leading, int& lineHeight, TppPrinter* device,
                              int availableHeight);

  // Tab stops (entries in mm/1000) as device pixels of UNITS, truncated and
  // in order; only screen and printer pixels (the printer's from DEVICE)
  // give any. Entries that are not integers are skipped; at most
  // ppMaxTabStops are used.
  static void ConvertTabStops(TppUnitType units, const cls::TStringList* tabStops, cls::TObject* device, int& count,
                              TppTabPositions& positions);
  // The width of TEXT on CANVAS with its tabs at the first COUNT positions.
  static int GetTabbedTextWidth(gdi::TCanvas& canvas, const std::string& text, const TppTabPositions& positions,
                                int count);
  // Readies LINE to fill RECT's width: its outer blanks go, a line without
  // inner blanks gets one between every two characters, and the canvas
  // spreads the pixels left over across the blanks. An empty line turns
  // the spreading off.
  static void JustifyLine(gdi::TCanvas& canvas, const win::RECT& rect, const TppTabPositions& positions, int count,
                          std::string& line);
  // TEXT without any occurrence of SUBSTR. An occurrence is whole
  // characters: it neither starts nor ends inside a Big5 character.
  static void RemoveAll(const std::string& text, const std::string& subStr, std::string& result);
  // Where SUBSTR occurs as whole characters from FROM on; npos when not.
  static size_t Find(const std::string& text, const std::string& subStr, size_t from = 0);
};
