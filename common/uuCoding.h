// The minute-keyed scramble of the print program's one argument: written by
// the browser control, read by the print program.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/process/clock.h"

namespace uuCoding {

// Appends B as two upper-case hex digits.
void AppendHex(std::string& out, unsigned char b);
// The value of hex digit C in either case; -1 when C is none.
int HexValue(char c);

// Minutes since 1899-12-30 of a local date-time, rounded halves to even.
std::uint32_t MinuteCount(win::TDateTime t);

// Milliseconds from T until the minute count changes.
unsigned MsBeforeMinuteChange(win::TDateTime t);

// The control does not encode in the last kEncodeGuardMs before the minute
// count changes: the print program it starts reads the argument with the
// minute count of its start, which must be the minute the argument was made
// in (or the one after). The guard covers the time from the encoding to the
// start the system records.
inline constexpr unsigned kEncodeGuardMs = 2000;

// The minute count to encode with: NOW's, or inside the guard the next one,
// after SLEEP has waited for the change (a clock that does not move is
// given up on after a few waits).
std::uint32_t EncodingMinute(const std::function<win::TDateTime()>& now,
                             const std::function<void(unsigned ms)>& sleep);

// Scrambles TEXT with the key of minute count M; upper-case hex.
std::string EncodeWithMinutes(const std::string& text, std::uint32_t m);
// The same with the current minute, waiting out the guard.
std::string EncodeCommandLine(const std::string& text);

// Unscrambles HEX with the key of minute M; '' for an odd length; stops at
// the first pair that is not hex.
std::string DecodeWithMinutes(const std::string& hex, std::uint32_t m);

// The fields of a receipt request: the text after its tag "XJ" split at its
// first three commas (Data keeps any further commas).
struct TReceiptFields {
  std::string IP, WebName, WebPage, Data;
};
// False when REQUEST (tag first) has fewer than three commas after the tag.
bool SplitReceiptRequest(const std::string& Request, TReceiptFields& Fields);
// Whether REQUEST (tag first) splits into the fields its tag needs: three
// commas for "XJ"; a shift report ("IS") needs none.
bool HasFieldsOfItsTag(const std::string& Request);

// Reads the argument with the key of minute M or, failing that, of the
// minute before; returns the two-letter tag ("XJ" or "IS") followed by the
// request without it, or ''. A wrong key can leave the tag whole, so a
// reading that lacks its tag's fields gives way to the other minute's
// reading that has them.
std::string DecodeParam(const std::string& argument, std::uint32_t m);
// The same with the minute count of the process's start.
std::string DecodeParam(const std::string& argument);

// The key-table stream of receipt records: a plain filler count L (30 to
// 199), L scrambled filler bytes, then the scrambled text, all as hex. The
// print-data server scrambles, the print program descrambles.

// Added to a reply's key index before the key table is looked up; the
// print-data server and the print program must agree on it.
inline constexpr int kKeyIndexOffset = 3;
inline constexpr unsigned char kStreamStartByte = 0x71;

// The key of KEYINDEX: CodingKeys[abs(KeyIndex + kKeyIndexOffset) mod 10].
std::string_view KeyForIndex(int KeyIndex);

// One byte of the stream: returns the plain byte for INPUT and moves STATE
// and the 1-based key position KEYPOS on.
unsigned char DecodeStep(unsigned char& State, unsigned char Input, std::string_view Key, int KeyLen,
                         int& KeyPos);
// The text of a key-table stream; '' on any fault (odd length, a pair that
// is not hex, a filler count outside 30..199, a stream shorter than it).
std::string DecodeData(const std::string& Hex, int KeyIndex);

// The inverse of DecodeStep: the stream byte that decodes to PLAIN.
unsigned char EncodeStep(unsigned char& State, unsigned char Plain, std::string_view Key, int KeyLen,
                         int& KeyPos);
// Scrambles TEXT behind FILLER (its length is the filler count, written
// as given, at most 255) into upper-case hex that DecodeData reads back.
std::string EncodeData(const std::string& Text, int KeyIndex, const std::string& Filler);

}  // namespace uuCoding
