#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/classes/sysutils.h"
#include "platform/process/clock.h"
#include "platform/registry/registry.h"
#include "tests/support/testroot.h"

using namespace cls;

namespace {

class Patterns : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = FormatSettings(); }
  void TearDown() override { FormatSettings() = saved_; }
  static void UseUsSettings() {
    TFormatSettings& fs = FormatSettings();
    fs.CurrencyString = "$";
    fs.CurrencyFormat = 0;
    fs.NegCurrFormat = 0;
    fs.ShortDateFormat = "m/d/yy";
    fs.LongDateFormat = "dddd, mmmm dd, yyyy";
    fs.ShortTimeFormat = "h:nn AMPM";
    fs.LongTimeFormat = "h:nn:ss AMPM";
    fs.TimeAMString = "AM";
    fs.TimePMString = "PM";
    fs.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    fs.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                         "July",    "August",   "September", "October", "November", "December"};
    fs.ShortDayNames = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    fs.LongDayNames = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  }
  static double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return win::EncodeDateTime(win::DateTimeParts{y, mo, d, h, mi, s, ms});
  }

 private:
  TFormatSettings saved_;
};

TEST_F(Patterns, FloatSectionsPlaceholdersAndRounding) {
  // The catalogue's numeric patterns on -1234.4.
  EXPECT_EQ(FormatFloat("#,0;-#,0", -1234.4), "-1,234");
  EXPECT_EQ(FormatFloat("#,0.00;-#,0.00", -1234.4), "-1,234.40");
  EXPECT_EQ(FormatFloat("#,0.00;(#,0.00)", -1234.4), "(1,234.40)");
  EXPECT_EQ(FormatFloat("0 %", -1234.4), "-1234 %");
  EXPECT_EQ(FormatFloat("0.00 %", -1234.4), "-1234.40 %");
  // Sections: an empty negative section uses the positive one with a
  // minus; the zero section is chosen after rounding.
  EXPECT_EQ(FormatFloat("0.0;;\"nil\"", -2.25), "-2.3");
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"nil\"", 0.04), "nil");
  EXPECT_EQ(FormatFloat("0.0;(0.0);\"nil\"", -0.04), "nil");
  EXPECT_EQ(FormatFloat("0", -0.4), "0");  // no minus on a zero
  EXPECT_EQ(FormatFloat("'a;b'0", 7), "a;b7");
  // Optional and forced digits on both sides of the point.
  EXPECT_EQ(FormatFloat("#.##", 0.5), ".5");
  EXPECT_EQ(FormatFloat("#.##", 1), "1");
  EXPECT_EQ(FormatFloat("0.0#", 1), "1.0");
  EXPECT_EQ(FormatFloat("0.0#", 1.256), "1.26");
  EXPECT_EQ(FormatFloat("000", 7), "007");
  EXPECT_EQ(FormatFloat("#,##0", 1234567), "1,234,567");
  EXPECT_EQ(FormatFloat("#,##0", 12), "12");
  EXPECT_EQ(FormatFloat(".00", 12.5), "12.50");  // whole digits are never lost
  EXPECT_EQ(FormatFloat("0.00", 2.675), "2.68");  // 15 digits first
  EXPECT_EQ(FormatFloat("x0x", 99.6), "x100x");
  EXPECT_EQ(FormatFloat("", 1234.5), "1234.5");
  // Exponents.
  EXPECT_EQ(FormatFloat("0.00E+00", 1234.5), "1.23E+03");
  EXPECT_EQ(FormatFloat("0.0e-0", 0.00012), "1.2e-4");
  EXPECT_EQ(FormatFloat("0.0E-0", 12000), "1.2E4");
  EXPECT_EQ(FormatFloat("00.0E+0000", -0.000512), "-51.2E-0005");
  EXPECT_EQ(FormatFloat("0E+0", 0), "0E+0");
  // 64-bit integers keep every digit; whole digits are written out as far as
  // a double goes (its 15 significant ones), past that the general form.
  EXPECT_EQ(FormatFloat("#,0", static_cast<long double>(INT64_MAX), 19), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatFloat("0", static_cast<long double>(INT64_MIN), 19), "-9223372036854775808");
  EXPECT_EQ(FormatFloat("0", 1e25L), "1" + std::string(25, '0'));
  EXPECT_EQ(FormatFloat("0.00", 1e300), "1" + std::string(300, '0') + ".00");
  EXPECT_EQ(FormatFloat("0.00", 1e4000L), "1E+4000");
  EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity()), "INF");
  EXPECT_EQ(FormatCurr("#,0.0000", Currency{INT64_MIN}), "-922,337,203,685,477.5808");
  // The settings' separators.
  FormatSettings().DecimalSeparator = ',';
  FormatSettings().ThousandSeparator = '.';
  EXPECT_EQ(FormatFloat("#,0.00", 1234.5), "1.234,50");
}

TEST_F(Patterns, FixedFloatTextsAreExtended) {
  EXPECT_EQ(FloatToStrF(static_cast<long double>(INT64_MAX), ffNumber, 19, 0), "9,223,372,036,854,775,807");
  EXPECT_EQ(FloatToStrF(123456789.0, ffFixed, 4, 2), "1.235E+08");  // more whole digits than asked
  EXPECT_EQ(FloatToStrF(123456789.0, ffCurrency, 4, 0), "NT$123,500,000");
}

// An exact half rounds away from zero, in patterns, fixed formats and
// amounts, at every number of decimals and on both sides of zero.
TEST_F(Patterns, ExactHalvesRoundAwayFromZero) {
  for (int decimals = 0; decimals <= 3; ++decimals) {
    const std::string pattern = decimals ? "0." + std::string(static_cast<size_t>(decimals), '0') : "0";
    int64_t unit = 1, five = 1;  // 10^decimals and 5^decimals
    for (int k = 0; k < decimals; ++k) unit *= 10, five *= 5;
    // LAST units of the last decimal as text.
    auto text = [&](int64_t last, bool minus) {
      std::string digits = std::to_string(last);
      if (decimals) {
        if (digits.size() <= static_cast<size_t>(decimals)) digits.insert(0, decimals + 1 - digits.size(), '0');
        digits.insert(digits.size() - static_cast<size_t>(decimals), ".");
      }
      return (minus ? "-" : "") + digits;
    };
    for (int64_t n = 0; n < 200; ++n) {
      SCOPED_TRACE(pattern + " " + std::to_string(n));
      for (bool minus : {false, true}) {
        const int sign = minus ? -1 : 1;
        // n + 0.5 units: exact as an amount.
        EXPECT_EQ(FormatCurr(pattern, Currency{sign * (2 * n + 1) * (5000 / unit)}), text(n + 1, minus));
        // (2n + 1) / 2^(decimals + 1): exact as a float, a half in its last decimal.
        const long double v = sign * std::ldexp(static_cast<long double>(2 * n + 1), -(decimals + 1));
        const int64_t up = ((2 * n + 1) * five + 1) / 2;
        EXPECT_EQ(FormatFloat(pattern, v), text(up, minus));
        EXPECT_EQ(FloatToStrF(v, ffFixed, 15, decimals), text(up, minus));
      }
    }
  }
  EXPECT_EQ(FormatFloat("0", 2.5), "3");
  EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
  EXPECT_EQ(FormatFloat("0.00", 2.675), "2.68");  // the double is below the half, its 15 digits are not
  EXPECT_EQ(FormatFloat("#,0.0", -1234.25), "-1,234.3");
}

TEST_F(Patterns, DateTimeSpecifiers) {
  UseUsSettings();
  const double t = At(1995, 3, 4, 13, 30, 55, 7);
  // The catalogue's date and time patterns.
  EXPECT_EQ(FormatDateTime("m/d/yy", t), "3/4/95");
  EXPECT_EQ(FormatDateTime("mm/dd/yyyy", t), "03/04/1995");
  EXPECT_EQ(FormatDateTime("d-mmm-yy", t), "4-Mar-95");
  EXPECT_EQ(FormatDateTime("mmmm d, yyyy", t), "March 4, 1995");
  EXPECT_EQ(FormatDateTime("mmm-yy", t), "Mar-95");
  EXPECT_EQ(FormatDateTime("h:nn AM/PM", t), "1:30 PM");
  EXPECT_EQ(FormatDateTime("h:nn:ss", t), "13:30:55");
  EXPECT_EQ(FormatDateTime("m/d/yy h:nn:ss AM/PM", t), "3/4/95 1:30:55 PM");
  // m after h is minutes, wherever the separator stands; y alone is two digits.
  EXPECT_EQ(FormatDateTime("hh:mm m", t), "13:30 3");
  EXPECT_EQ(FormatDateTime("y yyy", t), "95 1995");
  EXPECT_EQ(FormatDateTime("ddd dddd", t), "Sat Saturday");
  EXPECT_EQ(FormatDateTime("ddddd|dddddd", t), "3/4/95|Saturday, March 04, 1995");
  EXPECT_EQ(FormatDateTime("t|tt", t), "1:30 PM|1:30:55 PM");
  EXPECT_EQ(FormatDateTime("c", t), "3/4/95 1:30:55 PM");
  EXPECT_EQ(FormatDateTime("", At(1995, 3, 4)), "3/4/95");  // c omits midnight
  EXPECT_EQ(FormatDateTime("s.z s.zzz", t), "55.7 55.007");
  EXPECT_EQ(FormatDateTime("h am/pm|h a/p|hh ampm", t), "1 pm|1 p|01 PM");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", At(1995, 3, 4, 0, 5)), "12:05 am");
  EXPECT_EQ(FormatDateTime("h 'h:m' \"d\" a", t), "13 h:m d a");
  EXPECT_EQ(FormatDateTime("e ee gg", At(7, 1, 1)), "7 07 ");
  // '/' and ':' are the settings' separators.
  FormatSettings().DateSeparator = '-';
  FormatSettings().TimeSeparator = '.';
  EXPECT_EQ(FormatDateTime("m/d/yy h:nn", t), "3-4-95 13.30");
}

TEST_F(Patterns, DateTimeTaiwanDefaultsAndBig5) {
  const double t = At(2026, 5, 17, 7, 8, 0);
  EXPECT_EQ(FormatDateTime("c", t), "2026/5/17 07:08:00");
  EXPECT_EQ(FormatDateTime("dddddd dddd mmm", t), "2026年5月17日 星期日 五月");
  EXPECT_EQ(FormatDateTime("ampm hh:nn", At(2026, 5, 17, 15, 8)), "下午 15:08");
  // A Big5 character whose second byte reads as 'm' or 'd' stays whole.
  EXPECT_EQ(FormatDateTime("\xA4m\xA4" "d", t), "\xA4m\xA4" "d");
  EXPECT_EQ(FormatDateTime("yyyy'\xA4m'", t), "2026\xA4m");
}

TEST_F(Patterns, DatesOutsideTheCalendarAreRefused) {
  for (double bad : {At(9999, 12, 31) + 1, At(1, 1, 1) - 1, std::nan(""), 1e300, -1e300})
    EXPECT_THROW(FormatDateTime("yyyy", bad), EConvertError) << bad;
  EXPECT_EQ(FormatDateTime("yyyy/mm/dd", At(9999, 12, 31, 23, 59, 59)), "9999/12/31");
  EXPECT_EQ(FormatDateTime("yyyy/m/d", At(1, 1, 1)), "0001/1/1");
  // The plain texts give the number of days instead.
  EXPECT_EQ(DateTimeToStr(1e7), "10000000");
  EXPECT_EQ(DateToStr(-1e7), "-10000000");
}

TEST_F(Patterns, EditMasks) {
  const char* phone = "!\\(999\\)\\ 000\\-0000;0; ";
  EXPECT_EQ(FormatMaskText(phone, "8005551234"), "(800) 555-1234");
  EXPECT_EQ(FormatMaskText(phone, "5551234"), "(   ) 555-1234");   // laid from the right
  EXPECT_EQ(FormatMaskText(phone, "18005551234"), "(800) 555-1234");  // the rest dropped
  EXPECT_EQ(FormatMaskText("000\\-00\\-0000;0; ", "123456789"), "123-45-6789");
  EXPECT_EQ(FormatMaskText("000\\-00\\-0000;0;_", "12345"), "123-45-____");
  EXPECT_EQ(FormatMaskText("00000;0; ", "1234567"), "12345");
  EXPECT_EQ(FormatMaskText("!90:00:00\\ >LL;0; ", "013055pm"), "01:30:55 PM");
  EXPECT_EQ(FormatMaskText("<ll_>ll<>l;0;*", "ABcdE"), "ab CDE");
  // Literals kept in the value divide it into fields.
  EXPECT_EQ(FormatMaskText("!99/99/00;1;_", "3/4/95"), "_3/_4/95");
  EXPECT_EQ(FormatMaskText("99/99/00;1; ", "3/4/95"), "3 /4 /95");
  EXPECT_EQ(FormatMaskText("99/99/00", "030495"), "03/04/95");
  // Big5 characters are one character each, in values and in masks.
  EXPECT_EQ(FormatMaskText("cc-c;0;_", "\xA4\xA4\xA4\xE5"), "\xA4\xA4\xA4\xE5-_");
  EXPECT_EQ(FormatMaskText("c;0; ", "\xA4\xA4\xA4\xE5"), "\xA4\xA4");
  EXPECT_EQ(FormatMaskText("\xA4\\0;0; ", "7"), "\xA4\\7");
  // The settings' separators; a lone '\' at the end is nothing.
  FormatSettings().DateSeparator = '.';
  EXPECT_EQ(FormatMaskText("00/00\\", "1231"), "12.31");
}

TEST_F(Patterns, SystemRootSetsSeparatorsAndPatterns) {
  testing_support::TempRoot root;
  const std::string key = "Control Panel\\International";
  auto set = [&](const char* name, const char* value) {
    ASSERT_TRUE(reg::SetValue(reg::Hive::CurrentUser, key, name, value));
  };
  set("sDate", "-");
  set("sTime", ".");
  set("sLongDate", "yyyy'\xA6~'M'\xA4\xEB'd'\xA4\xE9'");
  set("sShortTime", "tt hh:mm");
  set("s1159", "AM");
  set("s2359", "PM");
  TFormatSettings fs = SystemFormatSettings();
  EXPECT_EQ(fs.DateSeparator, '-');
  EXPECT_EQ(fs.TimeSeparator, '.');
  EXPECT_EQ(fs.LongDateFormat, "yyyy'\xA6~'m'\xA4\xEB'd'\xA4\xE9'");
  EXPECT_EQ(fs.ShortTimeFormat, "ampm hh:nn");
  EXPECT_EQ(fs.TimePMString, "PM");
}

}  // namespace
