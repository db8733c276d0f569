#include "report/output/ppPlainText.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/sysroot/codepage.h"
#include "report/model/ppUtils.h"
#include "report/output/ppPrintr.h"

namespace {

// The length of the character starting at AT: a Big5 lead byte pairs only
// with a trail byte after it.
size_t CharLength(const std::string& s, size_t at) {
  return at + 1 < s.size() && cp::IsBig5Lead(static_cast<unsigned char>(s[at])) &&
                 cp::IsBig5Trail(static_cast<unsigned char>(s[at + 1]))
             ? 2
             : 1;
}

// SUB at the character boundary AT, ending on a boundary too.
bool MatchAt(const std::string& text, const std::string& sub, size_t at) {
  if (sub.empty() || text.compare(at, sub.size(), sub) != 0) return false;
  size_t end = at + sub.size(), j = at;
  while (j < end) j += CharLength(text, j);
  return j == end;
}

int ClampCount(int count) { return std::clamp(count, 0, ppMaxTabStops); }

int Length(const std::string& s) { return static_cast<int>(std::min<size_t>(s.size(), INT_MAX)); }

// The canvas that text is measured on, in FONT: the printer's when its
// device context opens (PRINTER is then DEVICE), else SCREEN's (PRINTER nil).
gdi::TCanvas* MeasuringCanvas(TppPrinter* device, const gdi::TFont& font, std::unique_ptr<gdi::TBitmap>& screen,
                              TppPrinter*& printer) {
  printer = device && device->OpenPrinterDC() ? device : nullptr;
  gdi::TCanvas* canvas;
  if (printer) {
    canvas = printer->GetCanvas();
  } else {
    if (!screen) screen = std::make_unique<gdi::TBitmap>();
    screen->SetSize(1, 1);
    canvas = &screen->Canvas();
  }
  canvas->Font.Assign(font);
  return canvas;
}

}  // namespace

bool TppTextMarkups::IsEndOfParagraphAt(std::string_view text, size_t at) {
  return at + 1 < text.size() && text[at] == '$' && text[at + 1] == '\xB6' &&
         !(at + 2 < text.size() && cp::IsBig5Trail(static_cast<unsigned char>(text[at + 2])));
}

bool TppTextMarkups::HasEndOfParagraph(const std::string& text) {
  return TppPlainText::Find(text, EndOfParagraph()) != std::string::npos;
}

size_t TppPlainText::Find(const std::string& text, const std::string& subStr, size_t from) {
  // Bytes that hold no occurrence at all need no walk.
  if (subStr.empty() || text.find(subStr, from) == std::string::npos) return std::string::npos;
  // Character boundaries are found walking from the start of the text.
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (i >= from && MatchAt(text, subStr, i)) return i;
  return std::string::npos;
}

void TppPlainText::RemoveAll(const std::string& text, const std::string& subStr, std::string& result) {
  if (subStr.empty() || text.find(subStr) == std::string::npos) {
    result = text;
    return;
  }
  std::string out;
  for (size_t i = 0; i < text.size();) {
    if (MatchAt(text, subStr, i)) {
      i += subStr.size();
      continue;
    }
    size_t n = CharLength(text, i);
    out.append(text, i, n);
    i += n;
  }
  result = std::move(out);
}

void TppPlainText::ConvertTabStops(TppUnitType units, const cls::TStringList* tabStops, cls::TObject* device,
                                   int& count, TppTabPositions& positions) {
  count = 0;
  if (!tabStops || (units != utScreenPixels && units != utPrinterPixels)) return;
  for (int i = 0; i < tabStops->Count() && count < ppMaxTabStops; ++i) {
    int64_t mm;
    if (!cls::TryStrToInt(tabStops->Strings(i), mm) || mm < INT32_MIN || mm > INT32_MAX) continue;
    double px = std::trunc(ConvertFromMMThousandths(static_cast<int32_t>(mm), units, ppHorizontal, device));
    if (std::isnan(px)) continue;
    // The platform takes a stop's magnitude; INT_MIN has none.
    positions[count++] = static_cast<int>(std::clamp(px, -static_cast<double>(INT_MAX), static_cast<double>(INT_MAX)));
  }
}

int TppPlainText::GetTabbedTextWidth(gdi::TCanvas& canvas, const std::string& text, const TppTabPositions& positions,
                                     int count) {
  canvas.RequireState();
  win::HDC dc = canvas.Handle();
  if (!dc) return 0;
  count = ClampCount(count);
  win::DWORD extent =
      win::GetTabbedTextExtentA(dc, text.data(), Length(text), count, count ? positions.data() : nullptr);
  return static_cast<int>(extent & 0xFFFF);
}

void TppPlainText::JustifyLine(gdi::TCanvas& canvas, const win::RECT& rect, const TppTabPositions& positions,
                               int count, std::string& line) {
  win::HDC dc = canvas.Handle();
  if (line.empty()) {
    if (dc) win::SetTextJustification(dc, 0, 0);
    return;
  }
  size_t first = line.find_first_not_of(' ');
  if (first == std::string::npos) {
    line.clear();
  } else {
    size_t last = line.find_last_not_of(' ');
    line = line.substr(first, last - first + 1);
  }
  int blanks = static_cast<int>(std::count(line.begin(), line.end(), ' '));
  if (blanks == 0 && !line.empty()) {
    // A blank between every two characters.
    std::string spaced;
    for (size_t i = 0; i < line.size();) {
      size_t n = CharLength(line, i);
      if (i > 0) spaced += ' ', ++blanks;
      spaced.append(line, i, n);
      i += n;
    }
    line = std::move(spaced);
  }
  if (!dc) return;
  // Measured as it is, without the spreading of an earlier line.
  win::SetTextJustification(dc, 0, 0);
  long long extra = static_cast<long long>(rect.right) - rect.left - GetTabbedTextWidth(canvas, line, positions, count);
  win::SetTextJustification(dc, static_cast<int>(std::clamp<long long>(extra, INT_MIN, INT_MAX)), blanks);
}

// ---------------------------------------------------------------- parser

void TppPlainTextParser::SetParserText(const std::string& text) {
  own_ = text.substr(0, text.find('\0'));
  SetParserTextView(own_);
}

void TppPlainTextParser::SetParserTextView(std::string_view text) {
  text_ = text.substr(0, text.find('\0'));
  if (text_.data() != own_.data()) own_.clear();
  length_ = static_cast<int>(std::min<size_t>(text_.size(), INT_MAX));
  position_ = 0;
  endOfText_ = false;
  tokenStart_ = 0;
}

void TppPlainTextParser::SetParserPosition(int p) {
  position_ = std::clamp(p, 0, length_ < INT_MAX ? length_ + 1 : length_);
  endOfText_ = position_ > length_;
}

std::string TppPlainTextParser::NextToken() {
  std::string token;
  tokenStart_ = Offset();
  while (!endOfText_) {
    if (position_ >= length_) {
      position_ = length_ < INT_MAX ? length_ + 1 : length_;
      endOfText_ = true;
      break;
    }
    const size_t at = static_cast<size_t>(position_++);
    const char c = text_[at];
    if (c == ' ' || c == '\t') {
      if (token.empty())
        token = c;
      else
        --position_;
      break;
    }
    if (c == '\r' || c == '\n' || TppTextMarkups::IsEndOfParagraphAt(text_, at)) {
      if (!token.empty()) {
        --position_;
      } else {
        // CR LF is one break; the marker's two bytes are one too.
        if ((c == '\r' && at + 1 < text_.size() && text_[at + 1] == '\n') || c == '$') ++position_;
        token = TppTextMarkups::LineBreak();
      }
      break;
    }
    token += c;
  }
  return token;
}

// ---------------------------------------------------------------- wrapper

void TppTextWrapper::SetTabStops(const cls::TStringList* tabStops) {
  tabStops_.Clear();
  if (tabStops && tabStops->Count() > 0) tabStops_.AddStrings(*tabStops);
}

void TppTextWrapper::WrapText() {
  lines_.Clear();
  if (BeginSteps()) {
    StartAt(CharPos);
    widestLine_ = 0;
    WrapLines();
  }
  EndSteps();
}

bool TppTextWrapper::BeginSteps() {
  canvas_ = MeasuringCanvas(Device, Font, screen_, printer_);
  // The font is selected once; nothing changes the canvas while wrapping.
  canvas_->RequireState();
  return Measure();
}

void TppTextWrapper::EndSteps() { canvas_ = nullptr; }

void TppTextWrapper::StartAt(int charPos) {
  // The text ends at its first NUL, looked for once for the same text.
  if (parsed_.data() != Text.data() || parsed_.size() != Text.size()) {
    parser_.SetParserTextView(Text);
    parsed_ = Text;
  }
  parser_.SetParserPosition(charPos);
  CharPos = charPos;
  skipBlanks_ = charPos != 0;
  blanks_ = 0;
  line_.clear();
  token_.clear();
  remainder_.clear();
}

TppWrapState TppTextWrapper::SaveState() const {
  TppWrapState s;
  s.position = parser_.Position();
  if (!token_.empty()) s.tokenStart = tokenStart_, s.tokenSize = static_cast<int>(token_.size());
  if (!remainder_.empty()) s.remainderStart = remainderStart_, s.remainderSize = static_cast<int>(remainder_.size());
  s.blanks = blanks_;
  s.skipBlanks = skipBlanks_;
  return s;
}

void TppTextWrapper::RestoreState(const TppWrapState& s) {
  // Between lines the pending token and the rest of a split word are
  // bytes of the text as it stands.
  parser_.SetParserPosition(s.position);
  token_.clear();
  if (s.tokenStart >= 0) token_.assign(Text.substr(static_cast<size_t>(s.tokenStart), static_cast<size_t>(s.tokenSize)));
  tokenStart_ = s.tokenStart;
  remainder_.clear();
  if (s.remainderStart >= 0)
    remainder_.assign(Text.substr(static_cast<size_t>(s.remainderStart), static_cast<size_t>(s.remainderSize)));
  remainderStart_ = s.remainderStart;
  blanks_ = s.blanks;
  skipBlanks_ = s.skipBlanks;
  line_.clear();
}

bool TppTextWrapper::Measure() {
  const TppUnitType units = printer_ ? utPrinterPixels : utScreenPixels;
  lineHeight_ = ConvertToMMThousandths(static_cast<float>(canvas_->TextHeight("W")), units, ppVertical, printer_);
  lineHeight_ = static_cast<int>(std::clamp<int64_t>(int64_t{lineHeight_} + Leading, INT_MIN, INT_MAX));
  TppPlainText::ConvertTabStops(units, &tabStops_, printer_, tabCount_, tabPositions_);
  int64_t extra = 0;
  if (AutoSize) extra = static_cast<int64_t>(std::nearbyint(0.3 * static_cast<double>(TextWidthMM(" "))));
  if (int64_t{Rect.top} + lineHeight_ >= Rect.bottom) return false;
  widthLimit_ = int64_t{Rect.right} - Rect.left + extra;
  // Widths in mm/1000 grow with widths in pixels: the last pixel width
  // within the limit is found once.
  auto toMM = [&](int64_t px) {
    return ConvertToMMThousandths(static_cast<float>(px), units, ppHorizontal, printer_);
  };
  int64_t lo = -1, hi = INT_MAX;  // toMM(lo) within the limit (or lo -1), toMM(hi + 1) past it
  if (toMM(hi) <= widthLimit_) lo = hi;
  // The width a million pixels scale to lands within a pixel or two of it:
  // the bounds close in from there in steps that double.
  const int64_t million = toMM(int64_t{1} << 20);
  if (lo < hi && million > 0 && widthLimit_ >= 0) {
    const int64_t guess = std::min<int64_t>((widthLimit_ << 20) / million, hi);
    if (toMM(guess) <= widthLimit_) {
      lo = guess;
      for (int64_t step = 1; lo < hi; step *= 2) {
        const int64_t at = std::min<int64_t>(lo + step, hi);
        if (toMM(at) > widthLimit_) {
          hi = at - 1;
          break;
        }
        lo = at;
      }
    } else {
      hi = guess - 1;
      for (int64_t step = 0; lo < hi; step = step ? 2 * step : 1) {
        const int64_t at = std::max<int64_t>(hi - step, lo + 1);
        if (toMM(at) <= widthLimit_) {
          lo = at;
          break;
        }
        hi = at - 1;
      }
    }
  }
  while (lo < hi) {
    int64_t mid = lo + (hi - lo + 1) / 2;
    if (toMM(mid) <= widthLimit_)
      lo = mid;
    else
      hi = mid - 1;
  }
  widthLimitPx_ = lo;
  return true;
}

int TppTextWrapper::TextWidthPx(const std::string& text) {
  if (text.find('\t') != std::string::npos) return TppPlainText::GetTabbedTextWidth(*canvas_, text, tabPositions_, tabCount_);
  win::SIZE s{};
  if (win::HDC dc = canvas_->Handle()) win::GetTextExtentPoint32A(dc, text.data(), Length(text), &s);
  return s.cx;
}

int64_t TppTextWrapper::TextWidthMM(const std::string& text) {
  return ConvertToMMThousandths(static_cast<float>(TextWidthPx(text)), printer_ ? utPrinterPixels : utScreenPixels,
                                ppHorizontal, printer_);
}

bool TppTextWrapper::ExceedsWith(const std::string& head, const std::string& tail, size_t n) {
  measured_.assign(head);
  measured_.append(tail, 0, n);
  return TextWidthPx(measured_) > widthLimitPx_;
}

bool TppTextWrapper::Exceeds(const std::string& head, const std::string& tail) {
  // A long word is measured in growing pieces that end between characters,
  // so that it costs about as much as the line it fills.
  size_t piece = 0;
  for (size_t want = 64; want < tail.size(); want *= 2) {
    while (piece < want) piece += CharLength(tail, piece);
    if (piece >= tail.size()) break;
    if (ExceedsWith(head, tail, piece)) return true;
  }
  return ExceedsWith(head, tail, tail.size());
}

void TppTextWrapper::WrapLines() {
  while (Step())
    if ((int64_t{lines_.Count()} + 1) * lineHeight_ + Rect.top > Rect.bottom) {
      // The pending token is read again by the next run.
      CharPos = StopCharPos();
      break;
    }
  if (lines_.Count() == 0) CharPos = parser_.Offset();
}

bool TppTextWrapper::Step() {
  FetchToken();
  while (!token_.empty()) {
    if (TakeToken()) return true;
    FetchToken();
  }
  return false;
}

bool TppTextWrapper::TakeToken() {
  if (token_ == TppTextMarkups::LineBreak()) {
    AddLine(line_);
    EndParagraph();
    CharPos = parser_.Offset();
    line_.clear();
    token_.clear();
    skipBlanks_ = false;
    blanks_ = 0;
    return true;
  }
  if (skipBlanks_) {
    if (token_ == " ") {
      if (++blanks_ > 2) {  // three or more stay
        skipBlanks_ = false;
        blanks_ = 0;
      }
    } else {
      size_t lead = 0;
      while (lead < line_.size() && lead < static_cast<size_t>(blanks_) && line_[lead] == ' ') ++lead;
      line_.erase(0, lead);
      skipBlanks_ = false;
      blanks_ = 0;
    }
  }
  if (Exceeds(line_, token_)) {
    BreakLine();
    line_.clear();
    return true;
  }
  line_ += token_;
  token_.clear();
  return false;
}

void TppTextWrapper::FetchToken() {
  if (!remainder_.empty()) {
    token_ = std::move(remainder_);
    remainder_.clear();
    tokenStart_ = remainderStart_;
  } else if (token_.empty()) {
    token_ = parser_.NextToken();
    tokenStart_ = parser_.TokenStart();
    if (token_.empty()) {  // the text has ended
      if (!line_.empty()) {
        AddLine(line_);
        EndParagraph();
        line_.clear();
      }
      CharPos = parser_.Offset();
    }
  }
}

void TppTextWrapper::BreakLine() {
  // A word that fits a line by itself moves to the next one whole.
  if (CharWrap || line_.empty() || Exceeds("", token_)) {
    std::string fit, rest;
    SplitWord(fit, rest);
    line_ += fit;
    remainderStart_ = tokenStart_ + static_cast<int>(fit.size());
    remainder_ = std::move(rest);
    token_.clear();
    CharPos = remainderStart_;
  } else {
    CharPos = parser_.Offset();
  }
  AddLine(line_);
}

void TppTextWrapper::SplitWord(std::string& fit, std::string& rest) {
  // Whole characters only: a Big5 character never straddles two lines.
  size_t n = 0;
  while (n < token_.size()) {
    size_t next = n + CharLength(token_, n);
    if (ExceedsWith(line_, token_, next)) break;
    n = next;
  }
  if (n == 0 && line_.empty()) n = CharLength(token_, 0);  // at least one character a line
  fit = token_.substr(0, n);
  rest = token_.substr(n);
}

void TppTextWrapper::AddLine(std::string line) {
  // Only blanks go: a tab or control byte before them is text.
  line.erase(line.find_last_not_of(' ') + 1);
  widestLine_ = static_cast<int>(std::clamp<int64_t>(std::max<int64_t>(widestLine_, TextWidthMM(line)), 0, INT_MAX));
  lines_.Add(line);
  skipBlanks_ = true;
}

void TppTextWrapper::EndParagraph() {
  if (Alignment == taFullJustified && lines_.Count() > 0)
    lines_.Put(lines_.Count() - 1, lines_.Strings(lines_.Count() - 1) + TppTextMarkups::EndOfParagraph());
}

// ---------------------------------------------------------------- class functions

void TppPlainText::WrapText(const std::string& text, const win::RECT& rect, cls::TStringList* lines, int& charPos,
                            TppPrinter* device, const cls::TStringList* tabStops, int leading, bool charWrap,
                            const gdi::TFont& font, bool autoSize, TppTextAlignment alignment) {
  TppTextWrapper wrapper;
  wrapper.Alignment = alignment;
  wrapper.Rect = rect;
  wrapper.AutoSize = autoSize;
  wrapper.CharWrap = charWrap;
  wrapper.Font.Assign(font);
  wrapper.Leading = leading;
  wrapper.Device = device;
  wrapper.SetTabStops(tabStops);
  wrapper.Text = text;
  wrapper.CharPos = charPos;
  wrapper.WrapText();
  charPos = wrapper.CharPos;
  if (lines) {
    lines->Clear();
    lines->AddStrings(wrapper.Lines());
  }
}

// ---------------------------------------------------------------- wrapped text

TppWrappedText::TppWrappedText(std::shared_ptr<const std::string> text, int width, const gdi::TFont& font,
                               const cls::TStringList* tabStops, int leading, bool charWrap,
                               TppTextAlignment alignment, bool autoSize)
    : text_(std::move(text)), width_(width) {
  wrapper_.Alignment = alignment;
  wrapper_.AutoSize = autoSize;
  wrapper_.CharWrap = charWrap;
  wrapper_.Font.Assign(font);
  wrapper_.Leading = leading;
  wrapper_.SetTabStops(tabStops);
  if (tabStops) tabStops_.AddStrings(*tabStops);
  wrapper_.Text = *text_;
}

size_t TppWrappedText::THash::operator()(const TppWrapState& s) const {
  uint64_t h = 14695981039346656037ull;
  for (int v : {s.position, s.tokenStart, s.tokenSize, s.remainderStart, s.remainderSize, s.blanks, int{s.skipBlanks}})
    h = (h ^ static_cast<uint32_t>(v)) * 1099511628211ull;
  return static_cast<size_t>(h);
}

int TppWrappedText::StepFrom(TppWrapState state) {
  auto found = index_.find(state);
  if (found != index_.end()) return found->second;
  wrapper_.RestoreState(state);
  wrapper_.ClearLines();
  TStep step;
  step.more = wrapper_.Step();
  step.hasLine = wrapper_.Lines().Count() > 0;
  if (step.hasLine) step.line = wrapper_.Lines().Strings(0);
  step.charPos = step.more ? wrapper_.StopCharPos() : wrapper_.CharPos;
  if (step.more) step.after = wrapper_.SaveState();
  steps_.push_back(std::move(step));
  int index = static_cast<int>(steps_.size() - 1);
  index_.emplace(state, index);
  return index;
}

void TppWrappedText::WrapText(const win::RECT& rect, cls::TStringList* lines, int& charPos, TppPrinter* device) {
  lines->Clear();
  if (device != wrapper_.Device) {  // measured on another device: lines that may differ
    steps_.clear();
    index_.clear();
  }
  wrapper_.Rect = rect;
  wrapper_.Device = device;
  if (wrapper_.BeginSteps()) {
    wrapper_.StartAt(charPos);
    // The steps of the lines that fit, then their lines in one go.
    taken_.clear();
    int at = StepFrom(wrapper_.SaveState());
    for (;;) {
      if (steps_[static_cast<size_t>(at)].hasLine) taken_.push_back(at);
      const TStep& step = steps_[static_cast<size_t>(at)];
      if (!step.more || (static_cast<int64_t>(taken_.size()) + 1) * wrapper_.LineHeight() + rect.top > rect.bottom) {
        charPos = step.charPos;
        break;
      }
      if (step.next < 0) {
        int next = StepFrom(step.after);
        steps_[static_cast<size_t>(at)].next = next;
        at = next;
      } else {
        at = step.next;
      }
    }
    lines->SetCapacity(static_cast<int>(taken_.size()));
    for (int i : taken_) lines->Add(steps_[static_cast<size_t>(i)].line);
  }
  wrapper_.EndSteps();
}

int TppPlainText::CalcLinesThatFit(const gdi::TFont& font, int leading, int& lineHeight, TppPrinter* device,
                                   int availableHeight) {
  std::unique_ptr<gdi::TBitmap> screen;
  TppPrinter* printer;
  gdi::TCanvas* canvas = MeasuringCanvas(device, font, screen, printer);
  canvas->RequireState();
  win::TEXTMETRICA tm{};
  int64_t height = canvas->Handle() && win::GetTextMetricsA(canvas->Handle(), &tm) ? tm.tmHeight : 0;
  if (leading != 0) height += static_cast<int64_t>(std::trunc(ConvertFromMMThousandths(leading, utPrinterPixels, ppVertical, device)));
  // A line is at least a pixel high, so that callers always move on.
  height = std::clamp<int64_t>(height, 1, INT_MAX);
  lineHeight = ConvertToMMThousandths(static_cast<float>(height), utPrinterPixels, ppVertical, device);
  double available = std::trunc(ConvertFromMMThousandths(availableHeight, utPrinterPixels, ppVertical, device));
  return static_cast<int>(std::clamp(std::trunc(available / static_cast<double>(height)), 0.0, double{INT_MAX}));
}
