// The minute-keyed scramble of the print program's one argument: written by
// the browser control, read by the print program.
#pragma once
#include <cstdint>
#include <string>

#include "platform/process/clock.h"

namespace uuCoding {

// Minutes since 1899-12-30 of a local date-time, rounded halves to even.
std::uint32_t MinuteCount(win::TDateTime t);

// Scrambles TEXT with the key of minute count M; upper-case hex.
std::string EncodeWithMinutes(const std::string& text, std::uint32_t m);
// The same with the current minute.
std::string EncodeCommandLine(const std::string& text);

// Unscrambles HEX with the key of minute M; '' for an odd length; stops at
// the first pair that is not hex.
std::string DecodeWithMinutes(const std::string& hex, std::uint32_t m);

// Reads the argument with this minute's key or the last one's; returns the
// two-letter tag ("XJ" or "IS") followed by the request without it, or ''.
std::string DecodeParam(const std::string& argument);

}  // namespace uuCoding
