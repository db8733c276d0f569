#include <gtest/gtest.h>

#include "common/uuCoding.h"
#include "platform/process/clock.h"

using namespace uuCoding;

namespace {

struct FixedClock {
  explicit FixedClock(win::TDateTime t) { win::SetNowForTesting(t); }
  ~FixedClock() { win::SetNowForTesting(std::nullopt); }
};

}  // namespace

TEST(MinuteCount, RoundsHalvesToEven) {
  EXPECT_EQ(MinuteCount(0.0), 0u);
  EXPECT_EQ(MinuteCount(1.0), 1440u);
  EXPECT_EQ(MinuteCount(0.5 / 1440.0), 0u);   // 0.5 -> 0
  EXPECT_EQ(MinuteCount(1.5 / 1440.0), 2u);   // 1.5 -> 2
  EXPECT_EQ(MinuteCount(2.5 / 1440.0), 2u);   // 2.5 -> 2
  EXPECT_EQ(MinuteCount(win::EncodeDateTime({2009, 8, 31, 12, 34, 0})), 40056u * 1440 + 754);
}

TEST(CommandLineScramble, KnownVectors) {
  // m = 0x00010200: key bytes 02 01 then zero; seed = 5D^02^01 = 5E.
  const std::uint32_t m = 0x00010200;
  // 'a'=61: 5E^61^02 = 3D; 'b'=62: 3D^62^01 = 5E; 'c'=63: 5E^63^02 = 3F.
  EXPECT_EQ(EncodeWithMinutes("abc", m), "3D5E3F");
  EXPECT_EQ(DecodeWithMinutes("3D5E3F", m), "abc");
  EXPECT_EQ(DecodeWithMinutes("3d5e3f", m), "abc");
  // 2009-08-31 12:34: four key bytes F2 25 70 03.
  EXPECT_EQ(EncodeWithMinutes("abcXJ", 57681394), "6A2D3E65DD");
  // A zero minute count has an empty key.
  EXPECT_EQ(EncodeWithMinutes("a", 0), "3C");
}

TEST(CommandLineScramble, DecodeStopsAtBadHexAndRefusesOddLength) {
  const std::uint32_t m = 57681234;
  std::string hex = EncodeWithMinutes("hello", m);
  EXPECT_EQ(DecodeWithMinutes(hex.substr(0, 9), m), "");
  EXPECT_EQ(DecodeWithMinutes(hex.substr(0, 4) + "ZZ" + hex.substr(6), m), "he");
  EXPECT_EQ(DecodeWithMinutes("", m), "");
}

TEST(CommandLineScramble, RoundTripsEveryByteWithAnyKey) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  for (std::uint32_t m : {0u, 1u, 0xFFu, 0x100u, 0x01000001u, 0xFFFFFFFFu, 57681234u}) {
    std::string hex = EncodeWithMinutes(all, m);
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(DecodeWithMinutes(hex, m), all) << m;
  }
}

// The tag is the only check of the key, and a key of another minute differs
// from the right one in its first byte alone: a stale argument is refused
// when a tag byte falls on that key byte. This request (37 bytes, a key of
// four bytes) puts the "J" there.
TEST(DecodeParam, AcceptsThisMinuteAndTheNextOnly) {
  win::TDateTime made = win::EncodeDateTime({2026, 12, 8, 10, 30, 10});
  for (int b = 0; b < 4; ++b) ASSERT_NE((MinuteCount(made) >> (8 * b)) & 0xFF, 0u);
  std::string arg;
  {
    FixedClock c(made);
    arg = EncodeCommandLine("10.0.0.1,shop.example,/card/,A1,B2cXJ");
  }
  {
    FixedClock c(made);
    EXPECT_EQ(DecodeParam(arg), "XJ10.0.0.1,shop.example,/card/,A1,B2c");
  }
  {
    FixedClock c(made + 1.0 / 1440);
    EXPECT_EQ(DecodeParam(arg), "XJ10.0.0.1,shop.example,/card/,A1,B2c");
  }
  {
    FixedClock c(made + 2.0 / 1440);
    EXPECT_EQ(DecodeParam(arg), "");
  }
  {
    FixedClock c(made - 1.0 / 1440);
    EXPECT_EQ(DecodeParam(arg), "");
  }
}

TEST(DecodeParam, NeedsATag) {
  FixedClock c(win::EncodeDateTime({2026, 12, 8, 10, 30, 0}));
  EXPECT_EQ(DecodeParam(EncodeCommandLine("IS")), "IS");
  EXPECT_EQ(DecodeParam(EncodeCommandLine("shiftIS")), "ISshift");
  EXPECT_EQ(DecodeParam(EncodeCommandLine("no tag")), "");
  EXPECT_EQ(DecodeParam(EncodeCommandLine("X")), "");
  EXPECT_EQ(DecodeParam("ver"), "");
  EXPECT_EQ(DecodeParam(""), "");
}
