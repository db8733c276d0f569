#include "uuCoding.h"

#include <array>
#include <cfenv>
#include <cmath>
#include <cstdlib>

#include "platform/process/process.h"
#include "uuKeyTable.h"

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

constexpr std::array<signed char, 256> kHexValues = [] {
  std::array<signed char, 256> t{};
  for (auto& v : t) v = -1;
  for (int c = '0'; c <= '9'; ++c) t[static_cast<size_t>(c)] = static_cast<signed char>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) t[static_cast<size_t>(c)] = static_cast<signed char>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) t[static_cast<size_t>(c)] = static_cast<signed char>(c - 'a' + 10);
  return t;
}();

bool HasTag(const std::string& t) {
  if (t.size() < 2) return false;
  std::string tag = t.substr(t.size() - 2);
  return tag == "XJ" || tag == "IS";
}

}  // namespace

int HexValue(char c) { return kHexValues[static_cast<unsigned char>(c)]; }

void AppendHex(std::string& out, unsigned char b) {
  static const char digits[] = "0123456789ABCDEF";
  out += digits[b >> 4];
  out += digits[b & 0xF];
}

std::uint32_t MinuteCount(win::TDateTime t) {
  // nearbyint rounds halves to even in the default rounding mode.
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(std::nearbyint(t * 24.0 * 60.0)));
}

std::string EncodeWithMinutes(const std::string& text, std::uint32_t m) {
  MinuteKey k = BuildKey(m);
  unsigned char s = k.seed;
  size_t j = 0;
  std::string out;
  out.reserve(text.size() * 2);
  for (unsigned char c : text) {
    s = static_cast<unsigned char>(s ^ c ^ k.bytes[j]);
    AppendHex(out, s);
    Advance(k, j);
  }
  return out;
}

unsigned MsBeforeMinuteChange(win::TDateTime t) {
  const double x = t * 24.0 * 60.0;
  // To the millisecond, as the clock counts: a date-time as days is not
  // exact below a microsecond.
  const long long left = std::llround((std::nearbyint(x) + 0.5 - x) * 60000.0);
  return left <= 0 ? 0u : static_cast<unsigned>(left);
}

std::uint32_t EncodingMinute(const std::function<win::TDateTime()>& now,
                             const std::function<void(unsigned ms)>& sleep) {
  win::TDateTime t = now();
  for (int waits = 0; waits < 4; ++waits) {
    unsigned left = MsBeforeMinuteChange(t);
    if (left >= kEncodeGuardMs) break;
    sleep(left + 1);
    t = now();
  }
  return MinuteCount(t);
}

std::string EncodeCommandLine(const std::string& text) {
  return EncodeWithMinutes(text, EncodingMinute(win::Now, [](unsigned ms) { win::Sleep(ms); }));
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

bool SplitReceiptRequest(const std::string& Request, TReceiptFields& Fields) {
  size_t c1 = Request.find(',', 2);
  size_t c2 = c1 == std::string::npos ? c1 : Request.find(',', c1 + 1);
  size_t c3 = c2 == std::string::npos ? c2 : Request.find(',', c2 + 1);
  if (c3 == std::string::npos) return false;
  Fields.IP = Request.substr(2, c1 - 2);
  Fields.WebName = Request.substr(c1 + 1, c2 - c1 - 1);
  Fields.WebPage = Request.substr(c2 + 1, c3 - c2 - 1);
  Fields.Data = Request.substr(c3 + 1);
  return true;
}

bool HasFieldsOfItsTag(const std::string& Request) {
  if (Request.rfind("XJ", 0) != 0) return true;
  TReceiptFields fields;
  return SplitReceiptRequest(Request, fields);
}

std::string DecodeParam(const std::string& argument, std::uint32_t m) {
  auto read = [&argument](std::uint32_t minute) {
    std::string t = DecodeWithMinutes(argument, minute);
    return HasTag(t) ? t.substr(t.size() - 2) + t.substr(0, t.size() - 2) : std::string();
  };
  // A wrong minute's key changes only the bytes that meet its first key
  // byte; the start minute's reading wins unless it lacks its fields.
  std::string now = read(m);
  if (!now.empty() && HasFieldsOfItsTag(now)) return now;
  std::string before = read(m - 1);
  if (!before.empty() && HasFieldsOfItsTag(before)) return before;
  return now.empty() ? before : now;
}

std::string DecodeParam(const std::string& argument) {
  return DecodeParam(argument, MinuteCount(win::ProcessStartTime()));
}

namespace {

void NextKeyPos(int& KeyPos, int KeyLen) {
  ++KeyPos;
  if (KeyPos > KeyLen) KeyPos = 1;
}

int UsableLength(std::string_view Key, int KeyLen) {
  if (KeyLen <= 0 || static_cast<size_t>(KeyLen) > Key.size()) return static_cast<int>(Key.size());
  return KeyLen;
}

unsigned char KeyByte(std::string_view Key, int KeyLen, int& KeyPos) {
  KeyLen = UsableLength(Key, KeyLen);
  if (KeyLen == 0) return 0;
  if (KeyPos < 1 || KeyPos > KeyLen) KeyPos = 1;
  unsigned char k = static_cast<unsigned char>(Key[static_cast<size_t>(KeyPos - 1)]);
  NextKeyPos(KeyPos, KeyLen);
  return k;
}

unsigned char Mix(unsigned char State) {
  return static_cast<unsigned char>((State >> 4) ^ ((State << 3) & 0xFF));
}

}  // namespace

std::string_view KeyForIndex(int KeyIndex) {
  long long i = std::llabs(static_cast<long long>(KeyIndex) + kKeyIndexOffset) % 10;
  return uuKeyTable::CodingKeys[static_cast<size_t>(i)];
}

unsigned char DecodeStep(unsigned char& State, unsigned char Input, std::string_view Key, int KeyLen,
                         int& KeyPos) {
  unsigned char t = Mix(State);
  unsigned char k = KeyByte(Key, KeyLen, KeyPos);
  unsigned char x = static_cast<unsigned char>(k ^ t ^ Input);
  unsigned char out = static_cast<unsigned char>((x >> 3) | (x << 5));
  State = out;
  return out;
}

unsigned char EncodeStep(unsigned char& State, unsigned char Plain, std::string_view Key, int KeyLen,
                         int& KeyPos) {
  unsigned char t = Mix(State);
  unsigned char k = KeyByte(Key, KeyLen, KeyPos);
  unsigned char x = static_cast<unsigned char>((Plain << 3) | (Plain >> 5));
  State = Plain;
  return static_cast<unsigned char>(x ^ k ^ t);
}

std::string DecodeData(const std::string& Hex, int KeyIndex) {
  // DecodeStep's work byte by byte, in one loop: the key walked by index,
  // the hex pairs checked together at the end.
  const std::string_view key = KeyForIndex(KeyIndex);
  const size_t keyLen = key.size();
  if (Hex.size() % 2 != 0 || Hex.empty()) return "";
  const size_t pairs = Hex.size() / 2;
  const auto* hex = reinterpret_cast<const unsigned char*>(Hex.data());
  const int L = HexValue(Hex[0]) < 0 || HexValue(Hex[1]) < 0 ? -1 : HexValue(Hex[0]) * 16 + HexValue(Hex[1]);
  if (L < 30 || L >= 200) return "";
  if (pairs < 1 + static_cast<size_t>(L)) return "";
  unsigned char state = static_cast<unsigned char>(L ^ kStreamStartByte);
  std::string out(pairs - 1 - static_cast<size_t>(L), '\0');
  int invalid = 0;
  size_t k = 0;
  auto step = [&](size_t i) {
    const int hi = kHexValues[hex[2 * i]], lo = kHexValues[hex[2 * i + 1]];
    invalid |= hi | lo;
    const unsigned char keyByte = keyLen ? static_cast<unsigned char>(key[k]) : 0;
    if (++k >= keyLen) k = 0;
    const auto x = static_cast<unsigned char>(keyByte ^ Mix(state) ^ static_cast<unsigned char>(hi * 16 + lo));
    state = static_cast<unsigned char>((x >> 3) | (x << 5));
  };
  const size_t first = 1 + static_cast<size_t>(L);
  for (size_t i = 1; i < first; ++i) step(i);
  for (size_t i = first; i < pairs; ++i) {
    step(i);
    out[i - first] = static_cast<char>(state);
  }
  return invalid < 0 ? "" : out;
}

std::string EncodeData(const std::string& Text, int KeyIndex, const std::string& Filler) {
  std::string_view key = KeyForIndex(KeyIndex);
  const int keyLen = static_cast<int>(key.size());
  int pos = 1;
  const unsigned char L = static_cast<unsigned char>(Filler.size() & 0xFF);
  std::string out;
  out.reserve(2 * (1 + Filler.size() + Text.size()));
  AppendHex(out, L);
  unsigned char state = static_cast<unsigned char>(L ^ kStreamStartByte);
  for (unsigned char c : Filler) AppendHex(out, EncodeStep(state, c, key, keyLen, pos));
  for (unsigned char c : Text) AppendHex(out, EncodeStep(state, c, key, keyLen, pos));
  return out;
}

}  // namespace uuCoding
