// Code 128: the data names its start character and set switches (or
// AutoEncode chooses them); the mod-103 checksum closes the symbol.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "report/output/ppBarCodeEnc.h"

namespace ppBarCode {

namespace {

// Bar and space widths of the values 0-105.
constexpr std::array<const char*, 106> kWidths{
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213", "221312",
    "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132", "221231", "213212",
    "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211", "212123", "212321", "232121",
    "111323", "131123", "131321", "112313", "132113", "132311", "211313", "231113", "231311", "112133", "112331",
    "132131", "113123", "113321", "133121", "313121", "211331", "231131", "213113", "213311", "213131", "311123",
    "311321", "331121", "312113", "312311", "332111", "314111", "221411", "431111", "111224", "111422", "121124",
    "121421", "141122", "141221", "112214", "112412", "122114", "122411", "142112", "142211", "241211", "221114",
    "413111", "241112", "134111", "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112",
    "421211", "212141", "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311",
    "113141", "114131", "311141", "411131", "211412", "211214", "211232"};

struct Patterns {
  char p[106][12];
};

// The module strings; a row of widths that passes eleven modules does not
// compile.
constexpr Patterns MakePatterns() {
  Patterns r{};
  for (size_t v = 0; v < kWidths.size(); ++v) {
    int k = 0;
    for (int i = 0; i < 6; ++i)
      for (int w = 0; w < kWidths[v][i] - '0'; ++w) r.p[v][k++] = i % 2 ? '0' : '1';
    r.p[v][k] = 0;
  }
  return r;
}
constexpr Patterns kPatterns = MakePatterns();

enum Set { kSetA, kSetB, kSetC };

bool InA(unsigned char c) { return c < 96; }
bool InB(unsigned char c) { return c >= 32 && c < 128; }
bool InSet(int set, unsigned char c) { return set == kSetA ? InA(c) : InB(c); }

// Fails with message 453 naming C.
bool BadCharacter(TppBarCodeData& data, unsigned char c, int& message) {
  message = 453;
  if (c > ' ' && c < 127) data.MessageArg = std::string("'") + static_cast<char>(c) + "'";
  else data.MessageArg = "#" + std::to_string(c);
  return false;
}

// The set to encode from each position on: A, B and C are candidates;
// each position walked (a digit pair is one) removes those it is not in;
// the walk stops at one candidate, at the end (the position's own
// candidates then), or after the first position while C is possible. C
// before A before B. Walks start at walked positions only, so the first
// later position outside A and outside B is looked up, not walked to.
class SetChooser {
 public:
  SetChooser(const std::string& s, const std::vector<bool>& pair)
      : s_(s), pair_(pair), notA_(s.size() + 1), notB_(s.size() + 1) {
    uint32_t a = static_cast<uint32_t>(s.size()), b = a;
    notA_[s.size()] = a, notB_[s.size()] = b;
    for (size_t i = s.size(); i-- > 0;) {
      if (i > 0 && pair[i - 1]) continue;  // a pair's second digit is walked over
      if (!InA(s[i])) a = static_cast<uint32_t>(i);
      if (!InB(s[i])) b = static_cast<uint32_t>(i);
      notA_[i] = a, notB_[i] = b;
    }
  }

  int At(size_t p) const {
    if (pair_[p]) return kSetC;
    if (!InB(s_[p])) return kSetA;
    if (!InA(s_[p])) return kSetB;
    // In both: the first later position outside one of them leaves the other.
    return notA_[p + 1] < notB_[p + 1] ? kSetB : kSetA;
  }

 private:
  const std::string& s_;
  const std::vector<bool>& pair_;
  std::vector<uint32_t> notA_, notB_;  // at walked positions and the end
};

}  // namespace

const char* Code128Pattern(int value) { return value >= 0 && value <= 105 ? kPatterns.p[value] : ""; }

std::optional<std::string> Code128AutoEncode(std::string_view data, size_t* bad) {
  const auto start = static_cast<unsigned char>(data.empty() ? 0 : data[0]);
  const bool controlForm = start >= kStartA && start <= kStartC;
  std::string s;
  s.reserve(data.size());
  for (size_t i = 0; i < data.size(); ++i) {
    const auto c = static_cast<unsigned char>(data[i]);
    if (c < 128) s += static_cast<char>(c);
    else if (controlForm && c >= kControlFirst && c <= kControlLast) s += static_cast<char>(c - kControlFirst);
    else if (!controlForm || c < kFnc3 || c > kStartC) {
      if (bad) *bad = i;
      return std::nullopt;
    }
  }
  const size_t n = s.size();
  if (!n) return std::string();
  // Digit pairs from the start; the second digit is not a position of its own.
  std::vector<bool> pair(n);
  for (size_t i = 0; i < n;) {
    pair[i] = i + 1 < n && IsDigit(s[i]) && IsDigit(s[i + 1]);
    i += pair[i] ? 2 : 1;
  }
  constexpr unsigned char kCode[3] = {kCodeA, kCodeB, kCodeC};
  const SetChooser choose(s, pair);
  std::string out;
  out.reserve(n + n / 2 + 1);
  int set = choose.At(0);
  out += static_cast<char>(kStartA + set);
  for (size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (!pair[i]) {
      if (set == kSetC) {
        set = choose.At(i);
        out += static_cast<char>(kCode[set]);
      }
      if (!InSet(set, c)) {
        int other = set == kSetA ? kSetB : kSetA;
        if (i + 1 < n && InSet(set, s[i + 1])) {
          out += static_cast<char>(kShift);
        } else {
          set = other;
          out += static_cast<char>(kCode[set]);
        }
      }
      out += static_cast<char>(c < 32 ? c + kControlFirst : c);
      i += 1;
    } else {
      if (set != kSetC && (n - i < 3 || (i + 2 < n && pair[i + 2]))) {
        set = kSetC;
        out += static_cast<char>(kCodeC);
      }
      out.append(s, i, 2);
      i += 2;
    }
  }
  return out;
}

bool EncodeCode128(TppBarCodeData& data, std::string& modules, int& message) {
  std::string text;
  if (data.AutoEncode) {
    size_t bad = 0;
    std::optional<std::string> encoded = Code128AutoEncode(data.Data, &bad);
    if (!encoded) return BadCharacter(data, static_cast<unsigned char>(data.Data[bad]), message);
    text = std::move(*encoded);
  } else {
    text = data.Data;
  }
  auto fail = [&](int id) {
    message = id;
    return false;
  };
  if (text.empty()) return false;  // nothing encodable left
  const unsigned char first = text[0];
  if (first < kStartA || first > kStartC) return fail(451);
  int set = first - kStartA;
  thread_local std::vector<int> values;
  values.assign(1, 103 + set);
  bool shift = false;
  for (size_t i = 1; i < text.size(); ++i) {
    const unsigned char c = text[i];
    const int current = shift ? (set == kSetA ? kSetB : kSetA) : set;
    if (c >= kStartA && c <= kStartC) return fail(452);
    if (c >= kFnc3 && c <= kFnc1) {
      if (shift) return fail(458);  // nothing to shift
      if (set == kSetC && c <= kShift) return fail(457);
      if ((c == kCodeA && set == kSetA) || (c == kCodeB && set == kSetB) || (c == kCodeC && set == kSetC))
        return fail(456);
      values.push_back(c - kFnc3 + 96);
      if (c == kShift) shift = true;
      else if (c == kCodeA) set = kSetA;
      else if (c == kCodeB) set = kSetB;
      else if (c == kCodeC) set = kSetC;
      continue;
    }
    shift = false;
    if (current == kSetC) {
      if (!IsDigit(static_cast<char>(c))) return BadCharacter(data, c, message);
      if (i + 1 >= text.size()) return fail(455);
      const unsigned char next = text[++i];
      if (!IsDigit(static_cast<char>(next))) return BadCharacter(data, next, message);
      values.push_back((c - '0') * 10 + (next - '0'));
    } else if (c >= 32 && c < 96) {
      values.push_back(c - 32);
    } else if (c >= 96 && c < 128) {
      if (current != kSetB) return BadCharacter(data, c, message);
      values.push_back(c - 32);
    } else if (c >= kControlFirst && c <= kControlLast) {
      if (current != kSetA) return fail(454);
      values.push_back(c - 147);
    } else {
      return BadCharacter(data, c, message);
    }
  }
  if (shift) return fail(458);
  int sum = values[0];
  for (size_t i = 1; i < values.size(); ++i) sum = static_cast<int>((sum + i % 103 * values[i]) % 103);
  values.push_back(sum % 103);
  for (int v : values) modules.append(kPatterns.p[v]);
  modules.append(kCode128Stop);
  if (data.AutoEncode) data.Data = text;
  return true;
}

namespace {

// The printable characters of the data.
void Text(TppBarCodeSurface& s, const TppBarCodeGeometry& g, const TppBarCodeData& d) {
  std::string text;
  for (unsigned char c : d.Data)
    if (c >= 32 && c <= 126) text += static_cast<char>(c);
  DrawLine(s, g, d, text);
}

}  // namespace

constinit const TppSymbology kCode128Row{bcCode128, EncodeCode128, NoQuietZone, QuarterWidthHeight, 0.25, LineTooWide,
                                         Text, false, nullptr, nullptr, nullptr, false};

}  // namespace ppBarCode
