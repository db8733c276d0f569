#include <gtest/gtest.h>

#include <thread>

#include "platform/classes/sysutils.h"
#include "platform/process/clock.h"

using namespace cls;

namespace {

TEST(Format, TypesWidthsAndIndexes) {
  EXPECT_EQ(Format("%8d|", {42}), "      42|");
  EXPECT_EQ(Format("%-4s|%s", {"ab", "c"}), "ab  |c");
  EXPECT_EQ(Format("%.3d %x %%", {7, 255}), "007 FF %");
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}), "b a b");
  EXPECT_EQ(Format("%.2f %n", {1.005, 1234567.0}), "1.01 1,234,567.00");
  EXPECT_EQ(Format("%g", {0.5}), "0.5");
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s %s", {"one"}), EConvertError);
  EXPECT_THROW(Format("%q", {1}), EConvertError);
  EXPECT_THROW(Format("100%", {}), EConvertError);
}

TEST(Conversions, IntegersFloatsAndTrims) {
  EXPECT_EQ(StrToInt(" 12 "), 12);
  EXPECT_EQ(StrToInt("$ff"), 255);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_THROW(StrToInt("12a"), EConvertError);
  EXPECT_THROW(StrToInt("99999999999999999999"), EConvertError);
  EXPECT_EQ(StrToIntDef("", 3), 3);
  EXPECT_DOUBLE_EQ(StrToFloat("2.5"), 2.5);
  EXPECT_THROW(StrToFloat("2,5"), EConvertError);
  FormatSettings().DecimalSeparator = ',';
  EXPECT_DOUBLE_EQ(StrToFloat("2,5"), 2.5);
  EXPECT_EQ(FloatToStrG(2.5, 7), "2,5");
  FormatSettings().DecimalSeparator = '.';
  EXPECT_EQ(FloatToStrG(1.0 / 3, 7), "0.3333333");
  EXPECT_EQ(FloatToStrG(25.4, 7), "25.4");
  EXPECT_EQ(Trim("  a b \t"), "a b");
  EXPECT_TRUE(IsValidIdent("_x1"));
  EXPECT_FALSE(IsValidIdent("1x"));
  EXPECT_FALSE(IsValidIdent(""));
}

TEST(DateTime, TextsBothWays) {
  win::DateTimeParts p;
  p.year = 2026;
  p.month = 3;
  p.day = 4;
  double d = win::EncodeDateTime(p);
  EXPECT_EQ(DateTimeToStr(d), "2026/3/4");
  p.hour = 9;
  p.minute = 5;
  p.second = 7;
  double dt = win::EncodeDateTime(p);
  EXPECT_EQ(DateTimeToStr(dt), "2026/3/4 09:05:07");
  EXPECT_EQ(TimeToStr(dt), "09:05:07");
  EXPECT_DOUBLE_EQ(StrToDateTime("2026/3/4 09:05:07"), dt);
  EXPECT_DOUBLE_EQ(StrToDateTime("2026/03/04"), d);
  EXPECT_THROW(StrToDateTime("2026/2/30"), EConvertError);
  EXPECT_THROW(StrToDateTime("tomorrow"), EConvertError);
}

// Dates and times on their own, and the morning and afternoon markers (the
// settings' strings or AM/PM): hours 1 to 12 then count twelve.
TEST(DateTime, DatesAndTimesReadAlone) {
  win::DateTimeParts p;
  p.year = 2026, p.month = 3, p.day = 4;
  const double d = win::EncodeDateTime(p);
  EXPECT_DOUBLE_EQ(StrToDate("2026/3/4"), d);
  EXPECT_THROW(StrToDate("2026/3/4 09:05"), EConvertError);
  EXPECT_THROW(StrToDate("2026/13/1"), EConvertError);
  auto time = [](int h, int n, int s) { return (h * 3600 + n * 60 + s) / 86400.0; };
  EXPECT_NEAR(StrToTime("09:05:07"), time(9, 5, 7), 1e-9);
  EXPECT_NEAR(StrToTime("23:59"), time(23, 59, 0), 1e-9);
  EXPECT_NEAR(StrToTime("下午 01:30:05"), time(13, 30, 5), 1e-9);
  EXPECT_NEAR(StrToTime("上午 12:10"), time(0, 10, 0), 1e-9);
  EXPECT_NEAR(StrToTime("12:10 pm"), time(12, 10, 0), 1e-9);
  EXPECT_NEAR(StrToDateTime("2026/3/4 下午 02:00"), d + time(14, 0, 0), 1e-9);
  EXPECT_THROW(StrToTime("24:00"), EConvertError);
  EXPECT_NEAR(StrToTime("下午 15:08"), time(15, 8, 0), 1e-9);  // as "ampm hh:nn" writes it
  EXPECT_THROW(StrToTime("1:2:3:4"), EConvertError);
  EXPECT_THROW(StrToTime(""), EConvertError);
}

TEST(Threads, MainThreadIsKnown) {
  EXPECT_TRUE(win::IsMainThread());
  bool other = true;
  std::thread t([&] { other = win::IsMainThread(); });
  t.join();
  EXPECT_FALSE(other);
}

}  // namespace
