// Conversions between the system code page (Big5, CP950) and the Linux edges.
#pragma once
#include <string>
#include <string_view>

namespace cp {

// Characters with no counterpart become '?'; conversion never fails.
std::string Big5ToUtf8(std::string_view big5);
std::string Utf8ToBig5(std::string_view utf8);
std::u16string Big5ToUtf16(std::string_view big5);
std::string Utf16ToBig5(std::u16string_view utf16);
// Bytes of Windows code page CODEPAGE (1252, 936, 932, ...) in UTF-16, one
// '?' for each character (both bytes of a double-byte one) it cannot read.
// A code page iconv does not know gives '?' for every byte above 0x7F.
std::u16string CodePageToUtf16(int codePage, std::string_view bytes);
// The same in Big5, one '?' for each character Big5 cannot hold; 950 is
// taken as it is.
std::string CodePageToBig5(int codePage, std::string_view bytes);
// UTF-16 in Windows code page CODEPAGE, '?' for what it cannot hold (every
// character above 0x7F in a code page iconv does not know).
std::string Utf16ToCodePage(int codePage, std::u16string_view utf16);

// True when byte C starts a two-byte Big5 character.
inline bool IsBig5Lead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
// True when byte C can be the second byte of a Big5 character.
inline bool IsBig5Trail(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0xA1 && c <= 0xFE); }

// Big5 text with its ASCII letters in upper or lower case, as Windows names
// are compared; the second byte of a Big5 character is never changed.
std::string UpperAscii(std::string s);
std::string LowerAscii(std::string s);
// Equal but for the case of ASCII letters (Big5 characters exactly).
bool SameText(std::string_view a, std::string_view b);

}  // namespace cp
