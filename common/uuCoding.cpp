#include "uuCoding.h"

#include <algorithm>
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

size_t KeyTableIndex(int KeyIndex) {
  return static_cast<size_t>(std::llabs(static_cast<long long>(KeyIndex) + kKeyIndexOffset) % 10);
}

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

std::string_view KeyForIndex(int KeyIndex) { return uuKeyTable::CodingKeys[KeyTableIndex(KeyIndex)]; }

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

namespace {

// A decoding step is linear over XOR: with rot the rotation right by 3,
//   next = rot(Mix(state)) ^ rot(key ^ input) = Step(state) ^ c.
// kStep[n] is Step applied n times, so that four steps ahead cost one
// lookup on the state and the states between come off that path.
using StepTable = std::array<unsigned char, 256>;
constexpr unsigned char Rot(unsigned x) { return static_cast<unsigned char>((x >> 3) | (x << 5)); }
constexpr std::array<StepTable, 5> kStep = [] {
  std::array<StepTable, 5> t{};
  for (unsigned s = 0; s < 256; ++s) {
    t[0][s] = static_cast<unsigned char>(s);
    for (size_t n = 1; n < 5; ++n) {
      const unsigned p = t[n - 1][s];
      t[n][s] = Rot((p >> 4) ^ ((p << 3) & 0xFF));
    }
  }
  return t;
}();

// The value of a hex digit, above 15 for any other byte; branch free, so
// that loops over digits vectorise.
inline unsigned char Nibble(unsigned char c) {
  const auto digit = static_cast<unsigned char>(c - '0');
  const auto letter = static_cast<unsigned char>((c | 0x20) - 'a');
  const unsigned char high = letter < 6 ? static_cast<unsigned char>(letter + 10) : 0xFF;
  return digit < 10 ? digit : high;
}

// A key repeated over at least 240 bytes and a key length more, so that
// from any key position a stretch of PERIOD bytes reads straight on.
struct RepeatedKey {
  std::array<unsigned char, 256 + 256> bytes{};
  size_t length = 1, period = 256;
};
constexpr std::array<RepeatedKey, 10> kRepeatedKeys = [] {
  std::array<RepeatedKey, 10> keys{};
  for (size_t i = 0; i < keys.size(); ++i) {
    const std::string_view key = uuKeyTable::CodingKeys[i];
    RepeatedKey& r = keys[i];
    r.length = key.empty() ? 1 : std::min<size_t>(key.size(), 256);
    r.period = r.length * (256 / r.length);
    for (size_t j = 0; j < r.period + r.length; ++j)
      r.bytes[j] = key.empty() ? 0 : static_cast<unsigned char>(key[j % r.length]);
  }
  return keys;
}();

// Pairs [FROM, FROM + N) of HEX as step terms, rot(key byte ^ pair), into
// TERMS, the key walked on from KEYPOS. False when a digit is not hex.
bool StepTerms(const unsigned char* hex, size_t from, size_t n, const RepeatedKey& key, size_t& keyPos,
               unsigned char* terms) {
  const unsigned char* at = hex + 2 * from;
  unsigned char bad = 0;
  for (size_t i = 0; i < n;) {
    const size_t run = std::min(n - i, key.period);
    // Apart, so that the loop vectorises.
    const unsigned char* __restrict k = key.bytes.data() + keyPos;
    const unsigned char* __restrict h = at + 2 * i;
    unsigned char* __restrict t = terms + i;
    for (size_t j = 0; j < run; ++j) {
      const unsigned char hi = Nibble(h[2 * j]), lo = Nibble(h[2 * j + 1]);
      bad |= hi | lo;
      const auto v = static_cast<unsigned char>(((hi << 4) | (lo & 0xF)) ^ k[j]);
      t[j] = static_cast<unsigned char>((v >> 3) | (v << 5));
    }
    i += run;
    keyPos = (keyPos + run) % key.length;
  }
  return bad < 16;
}

// The states after each of N terms from STATE, written over the terms:
// four steps ahead by one lookup on the state, the states between off that
// path.
void StepStates(unsigned char& state, unsigned char* terms, size_t n) {
  const StepTable &s1 = kStep[1], &s2 = kStep[2], &s3 = kStep[3], &s4 = kStep[4];
  unsigned s = state;
  size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const unsigned c0 = terms[i], c1 = terms[i + 1], c2 = terms[i + 2], c3 = terms[i + 3];
    const unsigned next = s4[s] ^ s3[c0] ^ s2[c1] ^ s1[c2] ^ c3;
    const unsigned a = s1[s] ^ c0, b = s1[a] ^ c1;
    terms[i] = static_cast<unsigned char>(a);
    terms[i + 1] = static_cast<unsigned char>(b);
    terms[i + 2] = static_cast<unsigned char>(s1[b] ^ c2);
    terms[i + 3] = static_cast<unsigned char>(next);
    s = next;
  }
  for (; i < n; ++i) terms[i] = static_cast<unsigned char>(s = s1[s] ^ terms[i]);
  state = static_cast<unsigned char>(s);
}

}  // namespace

std::string DecodeData(const std::string& Hex, int KeyIndex) {
  // DecodeStep's work in two passes: the terms, which do not depend on the
  // state, then the chain of states.
  const RepeatedKey& key = kRepeatedKeys[KeyTableIndex(KeyIndex)];
  if (Hex.size() % 2 != 0 || Hex.empty()) return "";
  const size_t pairs = Hex.size() / 2;
  const auto* hex = reinterpret_cast<const unsigned char*>(Hex.data());
  const int L = HexValue(Hex[0]) < 0 || HexValue(Hex[1]) < 0 ? -1 : HexValue(Hex[0]) * 16 + HexValue(Hex[1]);
  if (L < 30 || L >= 200) return "";
  if (pairs < 1 + static_cast<size_t>(L)) return "";
  unsigned char state = static_cast<unsigned char>(L ^ kStreamStartByte);
  const size_t first = 1 + static_cast<size_t>(L);
  std::string out(pairs - first, '\0');
  auto* text = reinterpret_cast<unsigned char*>(out.data());
  unsigned char filler[200];
  size_t keyPos = 0;
  if (!StepTerms(hex, 1, first - 1, key, keyPos, filler)) return "";
  if (!StepTerms(hex, first, out.size(), key, keyPos, text)) return "";
  StepStates(state, filler, first - 1);
  StepStates(state, text, out.size());
  return out;
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
