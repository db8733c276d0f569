#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/uuCoding.h"
#include "common/uuKeyTable.h"

using namespace uuCoding;
using namespace std::string_literals;

namespace {

std::string Filler(int n, unsigned char seed = 7) {
  std::string f;
  for (int i = 0; i < n; ++i) f += static_cast<char>(seed + i * 37);
  return f;
}

}  // namespace

TEST(KeyTableStream, DecodeStepByHand) {
  unsigned char state = 0;
  int pos = 1;
  // t = 0, x = 'A' = 0x41, rotated right by 3: 0x28.
  EXPECT_EQ(DecodeStep(state, 0x00, "A", 1, pos), 0x28);
  EXPECT_EQ(state, 0x28);
  EXPECT_EQ(pos, 1);  // a one-byte key stays at 1
  // t = 0x02 ^ 0x40 = 0x42, x = 0x41 ^ 0x42 = 0x03 -> 0x60.
  EXPECT_EQ(DecodeStep(state, 0x00, "A", 1, pos), 0x60);

  // The position cycles 1, 2, 3, 1 over a key of three.
  state = 0;
  pos = 1;
  for (int expected : {2, 3, 1, 2}) {
    DecodeStep(state, 0x5A, "xyz", 3, pos);
    EXPECT_EQ(pos, expected);
  }
}

// A stream made apart from this code, with key index 1 (the key at 1 + 3),
// thirty filler bytes 00..1D and a Big5 text.
TEST(KeyTableStream, DecodesAStreamOfTheServer) {
  const std::string hex =
      "1E162423254867767C1D7A797E51487467902522244966777D1C7B787F5049147D6A2E392F7A656C7667784B"
      "850C1FF342B42425";
  EXPECT_EQ(DecodeData(hex, 1), "2000001000014\n\xA6\xAC\xBE\xDA AB");
  EXPECT_EQ(DecodeData(hex, 11), "2000001000014\n\xA6\xAC\xBE\xDA AB");
  std::string filler;
  for (int i = 0; i < 30; ++i) filler += static_cast<char>(i);
  EXPECT_EQ(EncodeData("2000001000014\n\xA6\xAC\xBE\xDA AB", 1, filler), hex);
  // The key index offset is 3; the index is taken as its absolute value.
  EXPECT_EQ(KeyForIndex(1), "h,;-ponteravi@lo");
  EXPECT_EQ(KeyForIndex(7), "qWRT47mnBvcxz38k");
  EXPECT_EQ(KeyForIndex(-5), "7#.QZu(-)MRPe");
}

TEST(KeyTableStream, EncodeStepUndoesDecodeStep) {
  for (int plain = 0; plain < 256; ++plain) {
    unsigned char es = 0x33, ds = 0x33;
    int ep = 4, dp = 4;
    unsigned char in = EncodeStep(es, static_cast<unsigned char>(plain), "qWRT47mnBvcxz38k", 16, ep);
    EXPECT_EQ(DecodeStep(ds, in, "qWRT47mnBvcxz38k", 16, dp), plain);
    EXPECT_EQ(es, ds);
    EXPECT_EQ(ep, dp);
  }
}

TEST(KeyTableStream, RoundTripsEveryKeyAndFillerCount) {
  std::string text = "2000001000014\n";
  text += "\xA4\xA4\xA4\xE5 receipt";  // Big5 bytes
  for (int k = 1; k <= 10; ++k) {
    for (int n : {30, 31, 100, 199}) {
      std::string hex = EncodeData(text, k, Filler(n));
      ASSERT_EQ(hex.size(), 2u * (1 + n + text.size()));
      EXPECT_EQ(DecodeData(hex, k), text) << k << " " << n;
      // Lower-case hex reads the same.
      std::string lower = hex;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      EXPECT_EQ(DecodeData(lower, k), text);
    }
  }
}

TEST(KeyTableStream, KeyIndexSelectsTheKeyWithTheOffset) {
  for (int k = -25; k <= 25; ++k) {
    long long i = (k + static_cast<long long>(kKeyIndexOffset));
    if (i < 0) i = -i;
    EXPECT_EQ(KeyForIndex(k), uuKeyTable::CodingKeys[static_cast<size_t>(i % 10)]) << k;
    // Indexes 10 apart share a key (below -offset the absolute value mirrors them).
    if (k + kKeyIndexOffset >= 0) {
      EXPECT_EQ(KeyForIndex(k), KeyForIndex(k + 10)) << k;
    }
  }
  // Extreme indexes do not overflow.
  EXPECT_FALSE(KeyForIndex(INT_MAX).empty());
  EXPECT_FALSE(KeyForIndex(INT_MIN).empty());

  std::string hex = EncodeData("\nabc", 4, Filler(40));
  EXPECT_EQ(DecodeData(hex, 14), "\nabc");
  EXPECT_NE(DecodeData(hex, 5), "\nabc");
}

TEST(KeyTableStream, EveryFillerByteChangesTheText) {
  const std::string text = "0000000000000\nsome receipt text";
  std::string hex = EncodeData(text, 3, Filler(50));
  const char* hexDigits = "0123456789ABCDEF";
  for (size_t pair = 1; pair <= 50; ++pair) {
    // The filler byte complemented.
    std::string changed = hex;
    for (size_t at : {2 * pair, 2 * pair + 1}) {
      int v = static_cast<int>(std::string(hexDigits).find(changed[at]));
      changed[at] = hexDigits[15 - v];
    }
    std::string out = DecodeData(changed, 3);
    EXPECT_EQ(out.size(), text.size());
    EXPECT_NE(out, text) << "filler pair " << pair;
  }
}

TEST(KeyTableStream, FaultsGiveEmptyText) {
  const std::string text = "\nabc";
  // Filler counts just outside 30..199.
  EXPECT_EQ(DecodeData(EncodeData(text, 1, Filler(29)), 1), "");
  EXPECT_EQ(DecodeData(EncodeData(text, 1, Filler(200)), 1), "");
  EXPECT_EQ(DecodeData(EncodeData(text, 1, Filler(0)), 1), "");
  // Exactly 1 + L pairs: no text.
  EXPECT_EQ(DecodeData(EncodeData("", 1, Filler(30)), 1), "");
  std::string hex = EncodeData(text, 1, Filler(60));
  // A stream shorter than its filler count.
  EXPECT_EQ(DecodeData(hex.substr(0, 2 * 40), 1), "");
  EXPECT_EQ(DecodeData(hex.substr(0, 2), 1), "");
  // Odd length, nothing at all.
  EXPECT_EQ(DecodeData(hex.substr(0, hex.size() - 1), 1), "");
  EXPECT_EQ(DecodeData("", 1), "");
  // A pair that is not hex, in the count, the filler or the text.
  for (size_t at : {size_t{0}, size_t{10}, hex.size() - 2}) {
    std::string bad = hex;
    bad[at] = 'G';
    EXPECT_EQ(DecodeData(bad, 1), "") << at;
  }
  EXPECT_EQ(DecodeData(std::string(hex.size(), ' '), 1), "");
}

// DecodeData against DecodeStep applied pair by pair, on streams that were
// never encoded: every key, filler counts and text lengths across the
// lengths the decoder works in, random digits in both cases; and a byte that
// is not a hex digit, at every place, refuses the stream.
TEST(KeyTableStream, DecodeDataIsDecodeStepPairByPair) {
  unsigned seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  const char* digits = "0123456789ABCDEFabcdef";
  for (int k = 0; k < 10; ++k) {
    const std::string_view key = KeyForIndex(k);
    for (int L : {30, 31, 33, 130, 199}) {
      for (size_t textLen = 0; textLen < 600; textLen += textLen < 40 ? 1 : 97) {
        std::string hex = "0123456789ABCDEF"s.substr(static_cast<size_t>(L >> 4), 1) +
                          "0123456789ABCDEF"s.substr(static_cast<size_t>(L & 15), 1);
        for (size_t i = 0; i < 2 * (static_cast<size_t>(L) + textLen); ++i) hex += digits[next() % 22];
        unsigned char state = static_cast<unsigned char>(L ^ kStreamStartByte);
        int pos = 1;
        std::string want;
        for (size_t p = 1; p < hex.size() / 2; ++p) {
          auto in = static_cast<unsigned char>(std::stoi(hex.substr(2 * p, 2), nullptr, 16));
          unsigned char out = DecodeStep(state, in, key, static_cast<int>(key.size()), pos);
          if (p > static_cast<size_t>(L)) want += static_cast<char>(out);
        }
        ASSERT_EQ(DecodeData(hex, k), want) << k << " " << L << " " << textLen;
        if (k != 0 || L > 33 || textLen == 0 || textLen > 9) continue;
        for (size_t at = 2; at < hex.size(); ++at) {
          std::string bad = hex;
          bad[at] = "G:@`g/\xB0 "[next() % 8];
          ASSERT_EQ(DecodeData(bad, k), "") << k << " " << L << " " << textLen << " " << at;
        }
      }
    }
  }
}
