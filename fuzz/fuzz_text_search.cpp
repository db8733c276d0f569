// The text search matcher and the occurrence loop on any bytes. The first
// byte chooses whole word and case, the second the search text's length;
// then come the search text and the text. Every hit must begin and end on
// a character, match character by character, have delimiter neighbours
// when whole words are asked for, and come after the one before without
// overlap; a hit is never missed by the loop; the loop over a text
// command's lines finds exactly the same hits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/richedit/match.h"
#include "report/output/ppRegister.h"
#include "report/output/ppTextSearch.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Where each character of TEXT starts, and its end.
std::vector<size_t> Starts(const std::string& text) {
  std::vector<size_t> starts;
  for (size_t i = 0; i < text.size(); i += richedit::CharLength(text, i)) starts.push_back(i);
  starts.push_back(text.size());
  return starts;
}

bool IsStart(const std::vector<size_t>& starts, size_t at) {
  for (size_t s : starts)
    if (s == at) return true;
  return false;
}

bool Boundary(const std::string& text, size_t at) {
  if (at >= text.size()) return true;
  if (richedit::CharLength(text, at) != 1) return false;
  char c = text[at];
  return c == '\r' || c == '\n' || c == '\v' || richedit::kWordDelimiters.find(c) != std::string_view::npos;
}

// The slow reading of the rules: WHAT at AT of TEXT.
bool IsHit(const std::string& text, const std::vector<size_t>& starts, const std::string& what, size_t at, bool whole,
           bool matchCase) {
  if (!IsStart(starts, at) || at + what.size() > text.size() || !IsStart(starts, at + what.size())) return false;
  // Character by character: the search text's characters are the text's.
  size_t p = at, q = 0;
  while (q < what.size()) {
    size_t lt = richedit::CharLength(text, p), lw = richedit::CharLength(what, q);
    if (lt != lw) return false;
    for (size_t k = 0; k < lt; ++k) {
      char a = text[p + k], b = what[q + k];
      if (lt == 1 && !matchCase ? Fold(a) != Fold(b) : a != b) return false;
    }
    p += lt;
    q += lw;
  }
  bool plain = !whole || (what.size() == 1 && richedit::kWordDelimiters.find(what[0]) != std::string_view::npos);
  if (plain) return true;
  size_t before = 0;
  bool hasBefore = false;
  for (size_t s : starts)
    if (s < at) before = s, hasBefore = true;
  return (!hasBefore || Boundary(text, before)) && Boundary(text, at + what.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  ppRegisterOutput();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2 || size > 2048) return 0;
  const bool whole = data[0] & 1, matchCase = data[0] & 2;
  const size_t n = std::min<size_t>(data[1] % 8, size - 2);
  const std::string what(reinterpret_cast<const char*>(data) + 2, n);
  const std::string text(reinterpret_cast<const char*>(data) + 2 + n, size - 2 - n);
  const std::vector<size_t> starts = Starts(text);

  // The occurrence loop over the whole text, each search after the last hit.
  std::vector<size_t> hits;
  for (size_t at = richedit::FindText(text, what, 0, std::string::npos, whole, matchCase); at != std::string::npos;
       at = richedit::FindText(text, what, at + what.size(), std::string::npos, whole, matchCase)) {
    Check(!what.empty());
    Check(hits.empty() || at >= hits.back() + what.size());
    Check(IsHit(text, starts, what, at, whole, matchCase));
    hits.push_back(at);
    Check(hits.size() <= text.size());
  }
  // Nothing between the hits was missed.
  if (!what.empty() && text.size() <= 512) {
    size_t next = 0, h = 0;
    for (size_t s : starts) {
      if (s < next) continue;
      bool hit = IsHit(text, starts, what, s, whole, matchCase);
      Check(hit == (h < hits.size() && hits[h] == s));
      if (hit) next = s + what.size(), ++h;
    }
  }

  // The text highlighter's loop finds the same hits, 1-based.
  cls::Owned<TppDrawText> command(new TppDrawText(nullptr));
  command->SetText(text);
  TppTextSearchSelectionHighlighter highlighter;
  highlighter.WholeWord = whole;
  highlighter.CaseSensitive = matchCase;
  size_t found = 0;
  highlighter.FindOccurrences(command.get(), what, [&](TppTextSearchOccurrence* o) {
    Check(found < hits.size() && o->BytePosition == static_cast<int>(hits[found]) + 1 && o->LineNumber == 1);
    ++found;
    o->Free();
    return true;
  });
  Check(found == hits.size());
  return 0;
}
