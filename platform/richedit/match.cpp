#include "platform/richedit/match.h"

#include <algorithm>

#include "platform/sysroot/codepage.h"

namespace richedit {

namespace {

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsLineEnd(char c) { return c == '\r' || c == '\n' || c == '\v'; }

// The character of LENGTH bytes at TEXT[AT] borders a word.
bool IsBoundary(std::string_view text, size_t at, size_t length, std::string_view delimiters) {
  if (at >= text.size()) return true;
  if (length != 1) return false;
  char c = text[at];
  return IsLineEnd(c) || delimiters.find(c) != std::string_view::npos;
}

// WHAT matches character by character from TEXT[AT]; END gets the byte
// after the hit.
bool MatchAt(std::string_view text, size_t at, std::string_view what, bool matchCase, size_t& end) {
  size_t p = at, q = 0;
  while (q < what.size()) {
    size_t lt = CharLength(text, p), lw = CharLength(what, q);
    if (lt != lw || lt == 0) return false;
    if (lw == 2) {
      if (text[p] != what[q] || text[p + 1] != what[q + 1]) return false;
    } else if (matchCase ? text[p] != what[q] : Fold(text[p]) != Fold(what[q])) {
      return false;
    }
    p += lt;
    q += lw;
  }
  end = p;
  return true;
}

}  // namespace

size_t CharLength(std::string_view text, size_t at) {
  if (at >= text.size()) return 0;
  if (cp::IsBig5Lead(static_cast<unsigned char>(text[at])) && at + 1 < text.size() &&
      cp::IsBig5Trail(static_cast<unsigned char>(text[at + 1])))
    return 2;
  return 1;
}

size_t FindText(std::string_view text, std::string_view what, size_t from, size_t to, bool wholeWord,
                bool matchCase, std::string_view delimiters) {
  if (what.empty()) return std::string_view::npos;
  to = std::min(to, text.size());
  if (from > to || to - from < what.size()) return std::string_view::npos;
  const bool plain = !wholeWord || (what.size() == 1 && delimiters.find(what[0]) != std::string_view::npos);
  size_t prev = std::string_view::npos, prevLength = 0;
  for (size_t i = 0; i + what.size() <= to;) {
    size_t length = CharLength(text, i);
    size_t end = 0;
    if (i >= from && MatchAt(text, i, what, matchCase, end) && end <= to) {
      bool before = prev == std::string_view::npos || IsBoundary(text, prev, prevLength, delimiters);
      if (plain || (before && IsBoundary(text, end, CharLength(text, end), delimiters))) return i;
    }
    prev = i;
    prevLength = length;
    i += length;
  }
  return std::string_view::npos;
}

}  // namespace richedit
