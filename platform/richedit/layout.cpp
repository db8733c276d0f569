// Laying a range out in lines at the target's resolution with gdi's metrics,
// and drawing the lines through gdi's text calls.
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/gdi/fonts.h"
#include "platform/richedit/richedit.h"

namespace richedit {

namespace {

int MulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return 0;
  int64_t n = a * b;
  int64_t r = (n >= 0 ? n + c / 2 : n - c / 2) / c;
  return static_cast<int>(std::clamp<int64_t>(r, INT32_MIN / 2, INT32_MAX / 2));
}

win::LOGFONTA LogFontOf(const CharFormat& f, int ppiY) {
  win::LOGFONTA lf;
  lf.lfHeight = -MulDiv(f.halfPoints, ppiY, 144);
  lf.lfWeight = f.bold ? win::FW_BOLD : win::FW_NORMAL;
  lf.lfItalic = f.italic;
  lf.lfUnderline = f.underline;
  lf.lfCharSet = static_cast<win::BYTE>(f.charset);
  std::strncpy(lf.lfFaceName, f.face.c_str(), sizeof lf.lfFaceName - 1);
  return lf;
}

bool IsBreak(const char* b, int n) { return n == 1 && (b[0] == '\r' || b[0] == '\v'); }

}  // namespace

FormatResult Document::FormatRange(win::HDC dc, win::HDC target, const win::RECT& twips, int first, int last,
                                   bool render) const {
  FormatResult result{std::max(first, 0), 0};
  if (!target) target = dc;
  if (!target) return result;
  const int tx = std::max(1, win::GetDeviceCaps(target, win::LOGPIXELSX));
  const int ty = std::max(1, win::GetDeviceCaps(target, win::LOGPIXELSY));
  first = std::max(first, 0);
  last = std::min(last, Length() - 1);
  if (first > last) return result;
  const win::RECT rc{MulDiv(twips.left, tx, 1440), MulDiv(twips.top, ty, 1440), MulDiv(twips.right, tx, 1440),
                     MulDiv(twips.bottom, ty, 1440)};
  if (rc.right <= rc.left || rc.bottom <= rc.top) return result;

  // Metrics per format, at the target's resolution.
  std::map<int, const gdi::FontMetrics*> metrics;
  auto metricsOf = [&](int fmt) -> const gdi::FontMetrics& {
    auto it = metrics.find(fmt);
    if (it == metrics.end())
      it = metrics.emplace(fmt, &gdi::MetricsOf(LogFontOf(formats_[static_cast<size_t>(fmt)], ty))).first;
    return *it->second;
  };
  std::vector<int> advance;
  auto widthOf = [&](const Char& c) {
    if (c.n == 1 && (c.b[0] == '\r' || c.b[0] == '\v')) return 0;
    gdi::CharAdvances(metricsOf(c.fmt), std::string_view(c.b, c.n), advance);
    return advance.empty() ? 0 : advance[0];
  };

  // Drawing: DC pixels from target pixels.
  int dx = tx, dy = ty, saved = 0;
  if (render && dc) {
    dx = std::max(1, win::GetDeviceCaps(dc, win::LOGPIXELSX));
    dy = std::max(1, win::GetDeviceCaps(dc, win::LOGPIXELSY));
    saved = win::SaveDC(dc);
    win::IntersectClipRect(dc, MulDiv(rc.left, dx, tx), MulDiv(rc.top, dy, ty), MulDiv(rc.right, dx, tx),
                           MulDiv(rc.bottom, dy, ty));
    win::SetTextAlign(dc, win::TA_LEFT | win::TA_TOP);
  }
  auto drawSegment = [&](int x, int top, int lineAscent, int from, int to) {
    const Char& c0 = chars_[static_cast<size_t>(from)];
    const CharFormat& f = formats_[static_cast<size_t>(c0.fmt)];
    std::string text;
    for (int k = from; k < to; ++k) text.append(chars_[static_cast<size_t>(k)].b, chars_[static_cast<size_t>(k)].n);
    win::LOGFONTA lf = LogFontOf(f, dy);
    win::HFONT font = win::CreateFontIndirectA(&lf);
    win::HGDIOBJ old = win::SelectObject(dc, font);
    win::SetTextColor(dc, f.color.value_or(0));
    if (f.back) {
      win::SetBkMode(dc, win::OPAQUE);
      win::SetBkColor(dc, *f.back);
    } else {
      win::SetBkMode(dc, win::TRANSPARENT);
    }
    int y = top + lineAscent - metricsOf(c0.fmt).ascent;
    win::TextOutA(dc, MulDiv(x, dx, tx), MulDiv(y, dy, ty), text.data(), static_cast<int>(text.size()));
    win::SelectObject(dc, old);
    win::DeleteObject(font);
  };

  int pos = first, y = rc.top;
  int para = ParagraphIndex(pos);
  std::vector<int> widths;
  while (pos <= last) {
    const ParaFormat& pf = paras_[static_cast<size_t>(std::min(para, ParagraphCount() - 1))];
    const Char* before = pos > 0 ? &chars_[static_cast<size_t>(pos) - 1] : nullptr;
    bool paraStart = !before || (before->n == 1 && before->b[0] == '\r');
    // Indents keep the line inside the rectangle, at least one character
    // wide.
    int left = std::max(rc.left, rc.left + MulDiv(pf.left + (paraStart ? pf.first : 0), tx, 1440));
    int right = std::min(rc.right, rc.right - MulDiv(pf.right, tx, 1440));
    const Char& head = chars_[static_cast<size_t>(pos)];
    const int least = std::min(rc.right - rc.left, head.n == 1 && head.b[0] == '\t' ? 0 : widthOf(head));
    if (right - left < least) {
      left = std::max(rc.left, std::min(left, rc.right - least));
      right = std::max(right, left + least);
    }
    int width = std::max(right - left, 0);
    // One line: characters while they fit; breaks after blanks and tabs,
    // around Big5 characters, else inside the word.
    widths.clear();
    int x = 0, i = pos, lastBreak = -1;
    while (i <= last) {
      const Char& c = chars_[static_cast<size_t>(i)];
      if (IsBreak(c.b, c.n)) {
        widths.push_back(0);
        ++i;
        break;
      }
      int w = 0;
      if (c.n == 1 && c.b[0] == '\t') {
        int at = left + x - rc.left, stop = -1;
        for (int t : pf.tabs) {
          int px = MulDiv(t, tx, 1440);
          if (px > at && (stop < 0 || px < stop)) stop = px;
        }
        if (stop < 0) {
          int step = std::max(1, MulDiv(720, tx, 1440));
          stop = (at / step + 1) * step;
        }
        w = stop - at;
      } else {
        w = widthOf(c);
      }
      if (c.n == 2 && i > pos) lastBreak = i;
      if (x + w > width && i > pos) {
        if (c.n == 1 && c.b[0] == ' ') {
          widths.push_back(w);
          ++i;
        } else if (lastBreak > pos) {
          widths.resize(static_cast<size_t>(lastBreak - pos));
          i = lastBreak;
        }
        break;
      }
      widths.push_back(w);
      x += w;
      ++i;
      if (c.n == 2 || (c.n == 1 && (c.b[0] == ' ' || c.b[0] == '\t'))) lastBreak = i;
    }
    const int end = i;
    int ascent = 0, descent = 0;
    for (int k = pos; k < end; ++k) {
      const gdi::FontMetrics& m = metricsOf(chars_[static_cast<size_t>(k)].fmt);
      ascent = std::max(ascent, m.ascent);
      descent = std::max(descent, m.descent);
    }
    if (y + ascent + descent > rc.bottom) break;
    if (render && dc) {
      // The line's width without its trailing blanks and end.
      int used = 0, k = end;
      while (k > pos) {
        const Char& c = chars_[static_cast<size_t>(k) - 1];
        if (!(c.n == 1 && (c.b[0] == ' ' || IsBreak(c.b, 1)))) break;
        --k;
      }
      for (int j = pos; j < k; ++j) used += widths[static_cast<size_t>(j - pos)];
      int start = left;
      if (pf.align == Alignment::Center) start = left + (width - used) / 2;
      else if (pf.align == Alignment::Right) start = right - used;
      int cx = start, from = pos;
      for (int j = pos; j <= end; ++j) {
        bool split = j == end;
        if (!split) {
          const Char& c = chars_[static_cast<size_t>(j)];
          split = (c.n == 1 && (c.b[0] == '\t' || IsBreak(c.b, 1))) ||
                  c.fmt != chars_[static_cast<size_t>(from)].fmt;
        }
        if (!split) continue;
        int segStart = cx;
        for (int q = from; q < j; ++q) cx += widths[static_cast<size_t>(q - pos)];
        if (j > from) drawSegment(segStart, y, ascent, from, j);
        if (j < end) {
          const Char& c = chars_[static_cast<size_t>(j)];
          if (c.n == 1 && (c.b[0] == '\t' || IsBreak(c.b, 1))) {
            cx += widths[static_cast<size_t>(j - pos)];
            from = j + 1;
          } else {
            from = j;
          }
        }
      }
    }
    y += ascent + descent;
    for (int k = pos; k < end; ++k)
      if (chars_[static_cast<size_t>(k)].n == 1 && chars_[static_cast<size_t>(k)].b[0] == '\r') ++para;
    pos = end;
  }
  if (render && dc) win::RestoreDC(dc, saved);
  result.next = pos;
  result.height = y - rc.top;
  return result;
}

}  // namespace richedit
