// Text: metrics, extents, text out with alignment, justification and tab
// stops, and DrawText's lines and word breaks. Text is Big5, measured per
// character.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "dc_internal.h"
#include "platform/sysroot/codepage.h"

namespace win {
namespace {

const gdi::FontMetrics& Metrics(HDC dc) { return gdi::MetricsOf(dc->st.font); }

// Advances of TEXT with the justification in force spread over its blanks,
// into ADV.
void Advances(HDC dc, const gdi::FontMetrics& m, std::string_view text, std::vector<int>& adv) {
  gdi::CharAdvances(m, text, adv);
  int breaks = dc->st.justifyBreaks, extra = dc->st.justifyExtra;
  if (breaks > 0 && extra != 0) {
    int seen = 0;
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == ' ' && seen < breaks) {
        adv[i] += extra / breaks + (seen < std::abs(extra % breaks) ? (extra < 0 ? -1 : 1) : 0);
        ++seen;
      }
  }
}

std::vector<int> Advances(HDC dc, const gdi::FontMetrics& m, std::string_view text) {
  std::vector<int> adv;
  Advances(dc, m, text, adv);
  return adv;
}

int Sum(const std::vector<int>& v) {
  int s = 0;
  for (int x : v) s += x;
  return s;
}

void EmitText(HDC dc, int x, int y, const std::string& text, const gdi::FontMetrics& m,
              const std::vector<int>& adv, const RECT* clipTo, bool opaqueRect) {
  const LOGFONTA& f = dc->st.font;
  gdi::TextOp t;
  t.origin = {x, y};
  t.text = text;
  t.advances = adv;
  t.face = std::string(f.lfFaceName, strnlen(f.lfFaceName, sizeof f.lfFaceName));
  t.family = m.family;
  t.em = m.em;
  t.ascent = m.ascent;
  t.descent = m.descent;
  t.weight = f.lfWeight;
  t.escapement = f.lfEscapement;
  t.italic = f.lfItalic;
  t.underline = f.lfUnderline;
  t.strikeOut = f.lfStrikeOut;
  t.color = dc->st.textColor;
  t.opaque = dc->st.bkMode == OPAQUE && !opaqueRect;
  t.bkColor = dc->st.bkColor;
  gdi::Op op = NewOp(dc, std::move(t));
  if (clipTo) {  // the text's own rectangle within the context's clipping
    RECT c = ToDevice(dc, *clipTo);
    if (op.clip) {
      c.left = std::max(c.left, op.clip->left), c.top = std::max(c.top, op.clip->top);
      c.right = std::min(c.right, op.clip->right), c.bottom = std::min(c.bottom, op.clip->bottom);
    }
    op.clip = c;
  }
  Emit(dc, std::move(op));
}

// Places text by the text alignment; answers the cell's top-left.
PT Place(HDC dc, int x, int y, int width, const gdi::FontMetrics& m) {
  unsigned a = dc->st.textAlign;
  if (a & TA_UPDATECP) x = dc->st.pos.x, y = dc->st.pos.y;
  if ((a & TA_CENTER) == TA_CENTER)
    x -= width / 2;
  else if (a & TA_RIGHT)
    x -= width;
  if ((a & TA_BASELINE) == TA_BASELINE)
    y -= m.ascent;
  else if (a & TA_BOTTOM)
    y -= m.ascent + m.descent;
  if (a & TA_UPDATECP) dc->st.pos.x += width;
  return {x, y};
}

std::string Str(const char* text, int count) {
  if (!text) return "";
  return count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
}

struct TabPiece {
  int offset;  // from the start
  std::string text;
  std::vector<int> advances;
};

struct TabLayout {
  std::vector<TabPiece> pieces;
  int width = 0;
};

// The first of the stops every STEP pixels from ORIGIN that lies right of X.
int NextStop(int x, int origin, int step) {
  int d = x - origin;
  int k = d >= 0 ? d / step : -((-d + step - 1) / step);  // rounded down
  if (origin + k * step <= x) ++k;
  return origin + k * step;
}

TabLayout LayOutTabs(HDC dc, const gdi::FontMetrics& m, const std::string& text, int startX, int tabCount,
                     const int* tabs, int origin) {
  TabLayout t;
  int x = startX;
  size_t from = 0;
  // One stop: a stop every so many pixels; none or past the last of several:
  // the default stops, every 8 average character widths.
  const int defaultStep = 8 * std::max(1, m.aveCharWidth);
  int step = tabCount == 1 ? std::abs(tabs[0]) : defaultStep;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\t') {
      if (cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ++i;
      continue;
    }
    std::string piece = text.substr(from, i - from);
    std::vector<int> adv = Advances(dc, m, piece);
    const int width = Sum(adv);
    t.pieces.push_back({x - startX, std::move(piece), std::move(adv)});
    x += width;
    if (i < text.size()) {  // a tab: the next stop right of x
      int next = x;
      if (tabCount <= 1) {
        if (step > 0) next = NextStop(x, origin, step);
      } else {
        bool found = false;
        for (int k = 0; k < tabCount; ++k)
          if (origin + std::abs(tabs[k]) > x) {
            next = origin + std::abs(tabs[k]);
            found = true;
            break;
          }
        if (!found) next = NextStop(x, origin, defaultStep);
      }
      x = next;
    }
    from = i + 1;
  }
  t.width = x - startX;
  return t;
}

}  // namespace

bool GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
  if (!Valid(dc) || !tm) return false;
  const gdi::FontMetrics& m = Metrics(dc);
  std::memset(tm, 0, sizeof *tm);
  tm->tmHeight = m.ascent + m.descent;
  tm->tmAscent = m.ascent;
  tm->tmDescent = m.descent;
  tm->tmInternalLeading = m.internalLeading;
  tm->tmExternalLeading = m.externalLeading;
  tm->tmAveCharWidth = m.aveCharWidth;
  tm->tmMaxCharWidth = m.maxCharWidth;
  tm->tmWeight = dc->st.font.lfWeight;
  tm->tmItalic = dc->st.font.lfItalic;
  tm->tmUnderlined = dc->st.font.lfUnderline;
  tm->tmStruckOut = dc->st.font.lfStrikeOut;
  tm->tmCharSet = dc->st.font.lfCharSet;
  return true;
}

bool GetTextExtentPoint32A(HDC dc, const char* text, int count, SIZE* size) {
  if (!Valid(dc) || !size) return false;
  const gdi::FontMetrics& m = Metrics(dc);
  std::string_view s = text ? (count < 0 ? std::string_view(text) : std::string_view(text, static_cast<size_t>(count)))
                            : std::string_view();
  thread_local std::vector<int> adv;  // measuring allocates nothing
  Advances(dc, m, s, adv);
  size->cx = Sum(adv);
  size->cy = m.ascent + m.descent;
  return true;
}

bool TextOutA(HDC dc, int x, int y, const char* text, int count) {
  return ExtTextOutA(dc, x, y, 0, nullptr, text, count, nullptr);
}

bool ExtTextOutA(HDC dc, int x, int y, unsigned options, const RECT* rect, const char* text, int count,
                 const int* dx) {
  if (!Valid(dc)) return false;
  std::string s = Str(text, count);
  const gdi::FontMetrics& m = Metrics(dc);
  std::vector<int> adv = Advances(dc, m, s);
  if (dx)  // one width a byte; a Big5 character advances by its two together
    for (size_t i = 0; i < s.size(); ++i) {
      adv[i] = dx[i];
      if (cp::IsBig5Lead(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) {
        adv[i] += dx[i + 1];
        adv[++i] = 0;
      }
    }
  PT at = Place(dc, x, y, Sum(adv), m);
  if ((options & ETO_OPAQUE) && rect) {
    Emit(dc, NewOp(dc, gdi::FillOp{*rect, {BS_SOLID, 0, dc->st.bkColor}}));
  }
  EmitText(dc, at.x, at.y, s, m, adv, (options & ETO_CLIPPED) ? rect : nullptr, (options & ETO_OPAQUE) != 0);
  return true;
}

LONG TabbedTextOutA(HDC dc, int x, int y, const char* text, int count, int tabCount, const int* tabs,
                    int tabOrigin) {
  if (!Valid(dc)) return 0;
  std::string s = Str(text, count);
  const gdi::FontMetrics& m = Metrics(dc);
  TabLayout t = LayOutTabs(dc, m, s, x, tabs ? tabCount : 0, tabs, tabOrigin);
  for (const auto& p : t.pieces)
    if (!p.text.empty()) EmitText(dc, x + p.offset, y, p.text, m, p.advances, nullptr, false);
  return static_cast<LONG>(((m.ascent + m.descent) << 16) | (t.width & 0xFFFF));
}

DWORD GetTabbedTextExtentA(HDC dc, const char* text, int count, int tabCount, const int* tabs) {
  if (!Valid(dc)) return 0;
  const gdi::FontMetrics& m = Metrics(dc);
  TabLayout t = LayOutTabs(dc, m, Str(text, count), 0, tabs ? tabCount : 0, tabs, 0);
  return static_cast<DWORD>(((m.ascent + m.descent) << 16) | (t.width & 0xFFFF));
}

int DrawTextA(HDC dc, const char* text, int count, RECT* rect, unsigned format) {
  if (!Valid(dc) || !rect) return 0;
  std::string raw = Str(text, count);
  std::string s;
  for (size_t i = 0; i < raw.size(); ++i) {  // "&" marks a mnemonic unless DT_NOPREFIX
    if (!(format & DT_NOPREFIX) && raw[i] == '&') {
      if (i + 1 < raw.size() && raw[i + 1] == '&') s += '&';
      if (i + 1 < raw.size()) ++i, s += raw[i];
      continue;
    }
    s += raw[i];
    if (cp::IsBig5Lead(static_cast<unsigned char>(raw[i])) && i + 1 < raw.size()) s += raw[++i];
  }
  const gdi::FontMetrics& m = Metrics(dc);
  int lineH = m.ascent + m.descent + ((format & DT_EXTERNALLEADING) ? m.externalLeading : 0);
  // Tab stops count from the line's start, so a layout at 0 serves any x.
  auto layOut = [&](const std::string& line) {
    if (format & DT_EXPANDTABS) return LayOutTabs(dc, m, line, 0, 0, nullptr, 0);
    TabLayout t;
    t.pieces.push_back({0, line, Advances(dc, m, line)});
    t.width = Sum(t.pieces.back().advances);
    return t;
  };
  auto width = [&](const std::string& line) { return layOut(line).width; };
  // Paragraphs, then words.
  std::vector<std::string> lines;
  std::vector<std::string> paras;
  if (format & DT_SINGLELINE) {
    std::string one;
    for (char c : s)
      if (c != '\r' && c != '\n') one += c;
    paras.push_back(one);
  } else {
    std::string cur;
    for (size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\r' || s[i] == '\n') {
        paras.push_back(cur);
        cur.clear();
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      } else {
        cur += s[i];
      }
    }
    paras.push_back(cur);
  }
  int avail = rect->right - rect->left;
  for (const auto& p : paras) {
    if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
      lines.push_back(p);
      continue;
    }
    // Units: a Big5 character, a word of single bytes, a run of blanks.
    std::vector<std::string> units;
    for (size_t i = 0; i < p.size();) {
      size_t j = i;
      if (cp::IsBig5Lead(static_cast<unsigned char>(p[i])) && i + 1 < p.size()) {
        j = i + 2;
      } else {
        bool blank = p[i] == ' ';
        while (j < p.size() && (p[j] == ' ') == blank &&
               !(cp::IsBig5Lead(static_cast<unsigned char>(p[j])) && j + 1 < p.size()))
          ++j;
      }
      units.push_back(p.substr(i, j - i));
      i = j;
    }
    auto trimRight = [](std::string x) {
      while (!x.empty() && x.back() == ' ') x.pop_back();
      return x;
    };
    std::string line;
    for (const auto& u : units) {
      if (u[0] == ' ') {
        if (!line.empty()) line += u;
        continue;
      }
      std::string cand = line + u;
      if (trimRight(line).empty() || width(cand) <= avail) {
        line = cand;
      } else {
        lines.push_back(trimRight(line));
        line = u;
      }
    }
    lines.push_back(trimRight(line));
  }
  int height = static_cast<int>(lines.size()) * lineH;
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const auto& l : lines) widest = std::max(widest, width(l));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    return height;
  }
  int y = rect->top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = rect->top + (rect->bottom - rect->top - lineH) / 2;
    else if (format & DT_BOTTOM)
      y = rect->bottom - lineH;
  }
  const RECT* clip = (format & DT_NOCLIP) ? nullptr : rect;
  for (const auto& l : lines) {
    TabLayout t = layOut(l);
    int x = rect->left;
    if (format & DT_CENTER)
      x = rect->left + (avail - t.width) / 2;
    else if (format & DT_RIGHT)
      x = rect->right - t.width;
    for (const auto& p : t.pieces)
      if (!p.text.empty()) EmitText(dc, x + p.offset, y, p.text, m, p.advances, clip, false);
    y += lineH;
  }
  return height;
}

}  // namespace win
