// The one text matcher: finds a search text in Big5 text, by characters,
// with or without case and as a whole word. The rich edit's find, the
// report library's text search and its highlights all use it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace richedit {

// The word delimiters, one byte each, in the report library's order.
inline constexpr std::string_view kWordDelimiters = " \".',?;:()!@#$%^&*-+={}[]/~`|\\";

// Byte length of the character at TEXT[AT]: 2 for a Big5 lead byte followed
// by a trail byte, else 1 (0 at or past the end).
size_t CharLength(std::string_view text, size_t at);

// The byte offset of the first hit of WHAT in TEXT that starts at or after
// FROM and ends at or before TO (npos: the end); npos when none, and always
// for an empty WHAT.
// - Hits begin and end on characters; a lone lead byte matches only itself.
// - Without MATCHCASE only single-byte ASCII letters fold.
// - WHOLEWORD: the whole character before and after the hit, in TEXT (not
//   cut at FROM or TO), is a one-byte delimiter of DELIMITERS; the text's
//   start and end and a line end (CR, LF, VT) count as delimiters. A WHAT
//   that is itself one delimiter is searched as plain text.
size_t FindText(std::string_view text, std::string_view what, size_t from, size_t to, bool wholeWord,
                bool matchCase, std::string_view delimiters = kWordDelimiters);

}  // namespace richedit
