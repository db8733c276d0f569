#include <gtest/gtest.h>

#include <random>

#include "common/uuCoding.h"
#include "platform/process/clock.h"

using namespace uuCoding;

namespace {

struct FixedClock {
  explicit FixedClock(win::TDateTime t) { win::SetNowForTesting(t); }
  ~FixedClock() { win::SetNowForTesting(std::nullopt); }
};

constexpr double kMsPerDay = 86400000.0;

// The instant the minute count turns from M - 1 to M.
win::TDateTime TurnTo(std::uint32_t m) { return (m - 0.5) / 1440.0; }

// A clock that moves only when it is slept on, by the time asked plus a
// scheduler's lateness.
struct SimulatedClock {
  win::TDateTime t;
  std::mt19937* random = nullptr;
  int waits = 0;
  std::uint32_t Minute() {
    return EncodingMinute([this] { return t; },
                          [this](unsigned ms) {
                            ++waits;
                            unsigned late = random ? std::uniform_int_distribution<unsigned>(0, 15)(*random) : 0;
                            t += (ms + late) / kMsPerDay;
                          });
  }
};

// A request the control makes, LENGTH bytes with its tag: a receipt
// (IP, server, page, print code) or a shift report (Big5 text with line
// breaks).
std::string RealisticRequest(std::mt19937& r, size_t length) {
  auto pick = [&r](std::initializer_list<const char*> items) {
    std::vector<const char*> v(items);
    return std::string(v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(r)]);
  };
  std::string body;
  if (r() % 2) {
    std::string prefix;
    do {
      prefix = pick({"", "10.0.0.1", "192.168.12.34", "172.16.5.200", "61.220.3.9"}) + "," +
               pick({"", "shop.example.com", "pos.zolmet.com.tw", "127.0.0.1:8080", "www.orvane.tw"}) + "," +
               pick({"", "/", "/print/", "/shop/pos/", "/Card/Print/"}) + ",";
    } while (prefix.size() + 2 > length);
    const std::string code = "0123456789ABCDEFGHJKLMNPQRSTUVWXYZ,";
    body = prefix;
    while (body.size() + 2 < length) body += code[r() % code.size()];
    return body + "XJ";
  }
  while (body.size() + 2 < length) {
    std::string piece = pick({"交班", "現金", "合計:", "12,345", "\r\n", " ", "收銀員A", "7", "【】"});
    if (body.size() + piece.size() + 2 > length) piece = std::string(length - 2 - body.size(), '0');
    body += piece;
  }
  return body + "IS";
}

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

TEST(EncodingMinute, WaitsOutTheLastTwoSecondsBeforeTheChange) {
  const std::uint32_t m = 57681394;
  for (double msBefore : {59000.0, 2500.0, 2001.0, 1999.0, 1800.0, 1000.0, 300.0, 1.0, 0.5}) {
    SimulatedClock clock{TurnTo(m + 1) - msBefore / kMsPerDay};
    EXPECT_EQ(clock.Minute(), msBefore > 2000.0 ? m : m + 1) << msBefore;
    EXPECT_EQ(clock.waits, msBefore > 2000.0 ? 0 : 1) << msBefore;
  }
  EXPECT_EQ(MsBeforeMinuteChange(TurnTo(m + 1) - 1000 / kMsPerDay), 1000u);
  EXPECT_EQ(MsBeforeMinuteChange(TurnTo(m + 1) + 1 / kMsPerDay), 60000u - 1);
  // A clock that does not move is given up on.
  int sleeps = 0;
  EXPECT_EQ(EncodingMinute([m] { return TurnTo(m + 1) - 100 / kMsPerDay; }, [&sleeps](unsigned) { ++sleeps; }), m);
  EXPECT_LE(sleeps, 4);
}

// The control waits out the guard; the print program reads the minute its
// process started in (up to 1.5 s after the encoding: a loaded machine) and
// falls back to the minute before.
TEST(DecodeParam, TenThousandRequestsAroundTheMinuteTurnComeBackExactly) {
  std::mt19937 r(20240131);
  const std::uint32_t first = MinuteCount(win::EncodeDateTime({2020, 1, 1})),
                      last = MinuteCount(win::EncodeDateTime({2035, 12, 31}));
  int waited = 0, wrong = 0;
  for (int i = 0; i < 10000; ++i) {
    std::uint32_t turn = std::uniform_int_distribution<std::uint32_t>(first, last)(r);
    if (i % 16 == 0) turn = (turn & ~0xFFu) | (r() & 1);  // keys that lose a zero byte
    const std::string request = RealisticRequest(r, std::uniform_int_distribution<size_t>(5, 200)(r));
    ASSERT_EQ(request.size() >= 5 && request.size() <= 200, true);

    SimulatedClock control{TurnTo(turn) + std::uniform_real_distribution<double>(-4000, 2000)(r) / kMsPerDay, &r};
    const std::string argument = EncodeWithMinutes(request, control.Minute());
    waited += control.waits;
    const win::TDateTime started = control.t + std::uniform_real_distribution<double>(0, 1500)(r) / kMsPerDay;
    const std::string read = DecodeParam(argument, MinuteCount(started));
    const std::string expected = request.substr(request.size() - 2) + request.substr(0, request.size() - 2);
    if (read != expected) ++wrong;
    EXPECT_EQ(read, expected) << i << " " << request;
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(waited, 2800);  // about one in three fell in the guard
}

// Readings of neighbouring minutes differ only in the bytes that meet the
// first key byte, so both can carry a tag.
TEST(DecodeParam, TheStartMinuteWinsUnlessItLacksItsFields) {
  const std::uint32_t m = 57681395;  // four key bytes; m and m - 1 differ in bit 0
  // 16 bytes: the tag survives the wrong key; the start minute is right.
  const std::string shift = "交班現金合計12IS";
  const std::string wrongKey = DecodeWithMinutes(EncodeWithMinutes(shift, m), m - 1);
  EXPECT_EQ(wrongKey.substr(14), "IS");
  EXPECT_NE(wrongKey, shift);
  EXPECT_EQ(DecodeParam(EncodeWithMinutes(shift, m), m), "IS交班現金合計12");
  // Made in the minute before (a late start): the start minute's reading
  // loses the comma at byte 4 and gives way to the right one.
  const std::string receipt = "10.0,w,/p/,A1XJ";
  EXPECT_EQ(DecodeParam(EncodeWithMinutes(receipt, m - 1), m), "XJ10.0,w,/p/,A1");
  EXPECT_EQ(DecodeParam(EncodeWithMinutes(receipt, m), m), "XJ10.0,w,/p/,A1");
}
