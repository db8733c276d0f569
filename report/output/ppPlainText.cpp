#include "report/output/ppPlainText.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/sysroot/codepage.h"
#include "report/model/ppUtils.h"

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

}  // namespace

bool TppTextMarkups::IsEndOfParagraphAt(const std::string& text, size_t at) {
  return at + 1 < text.size() && text[at] == '$' && text[at + 1] == '\xB6' &&
         !(at + 2 < text.size() && cp::IsBig5Trail(static_cast<unsigned char>(text[at + 2])));
}

bool TppTextMarkups::HasEndOfParagraph(const std::string& text) {
  return TppPlainText::Find(text, EndOfParagraph()) != std::string::npos;
}

size_t TppPlainText::Find(const std::string& text, const std::string& subStr, size_t from) {
  // Character boundaries are found walking from the start of the text.
  for (size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (i >= from && MatchAt(text, subStr, i)) return i;
  return std::string::npos;
}

void TppPlainText::RemoveAll(const std::string& text, const std::string& subStr, std::string& result) {
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
