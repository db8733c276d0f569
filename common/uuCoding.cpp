#include "uuCoding.h"

#include <array>
#include <cfenv>
#include <cmath>

namespace uuCoding {
namespace {

constexpr unsigned char kStartByte = 0x5D;

struct MinuteKey {
  std::array<unsigned char, 5> bytes{};
  unsigned char seed = kStartByte;
};

MinuteKey BuildKey(std::uint32_t m) {
  MinuteKey k;
  size_t n = 0;
  for (int i = 0; i < 4; ++i) {
    unsigned char b = static_cast<unsigned char>(m >> (8 * i));
    if (b != 0) k.bytes[n++] = b;
  }
  for (unsigned char b : k.bytes) k.seed ^= b;
  return k;
}

void Advance(const MinuteKey& k, size_t& j) {
  ++j;
  if (j >= k.bytes.size() || k.bytes[j] == 0) j = 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool HasTag(const std::string& t) {
  if (t.size() < 2) return false;
  std::string tag = t.substr(t.size() - 2);
  return tag == "XJ" || tag == "IS";
}

}  // namespace

std::uint32_t MinuteCount(win::TDateTime t) {
  // nearbyint rounds halves to even in the default rounding mode.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(t * 24.0 * 60.0)));
}

std::string EncodeWithMinutes(const std::string& text, std::uint32_t m) {
  static const char digits[] = "0123456789ABCDEF";
  MinuteKey k = BuildKey(m);
  unsigned char s = k.seed;
  size_t j = 0;
  std::string out;
  out.reserve(text.size() * 2);
  for (unsigned char c : text) {
    s = static_cast<unsigned char>(s ^ c ^ k.bytes[j]);
    out += digits[s >> 4];
    out += digits[s & 0xF];
    Advance(k, j);
  }
  return out;
}

std::string EncodeCommandLine(const std::string& text) {
  return EncodeWithMinutes(text, MinuteCount(win::Now()));
}

std::string DecodeWithMinutes(const std::string& hex, std::uint32_t m) {
  std::string out;
  if (hex.size() % 2 != 0) return out;
  MinuteKey k = BuildKey(m);
  unsigned char chain = k.seed;
  size_t j = 0;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
    if (hi < 0 || lo < 0) break;
    unsigned char b = static_cast<unsigned char>(hi * 16 + lo);
    out += static_cast<char>(chain ^ b ^ k.bytes[j]);
    chain = b;
    Advance(k, j);
  }
  return out;
}

std::string DecodeParam(const std::string& argument) {
  std::uint32_t m = MinuteCount(win::Now());
  for (std::uint32_t minute : {m, m - 1}) {
    std::string t = DecodeWithMinutes(argument, minute);
    if (HasTag(t)) return t.substr(t.size() - 2) + t.substr(0, t.size() - 2);
  }
  return "";
}

}  // namespace uuCoding
