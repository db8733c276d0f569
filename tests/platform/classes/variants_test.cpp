#include <gtest/gtest.h>

#include <cmath>

#include "platform/classes/variants.h"
#include "platform/process/clock.h"
#include "platform/registry/registry.h"
#include "tests/support/testroot.h"

using namespace cls;

namespace {

// Settings restored after each case that changes them.
class LocaleCase : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = FormatSettings(); }
  void TearDown() override { FormatSettings() = saved_; }
  static void UseUsSettings() {
    FormatSettings().CurrencyString = "$";
    FormatSettings().CurrencyFormat = 0;
    FormatSettings().NegCurrFormat = 0;
    FormatSettings().ShortDateFormat = "m/d/yyyy";
  }

 private:
  TFormatSettings saved_;
};

TEST(Variants, ConvertBetweenKinds) {
  EXPECT_EQ(Variant(true).AsInt64(), -1);
  EXPECT_EQ(Variant(false).AsString(), "False");
  EXPECT_TRUE(Variant(" true ").AsBoolean());
  EXPECT_TRUE(Variant("2.5").AsBoolean());
  EXPECT_FALSE(Variant(int64_t{0}).AsBoolean());
  // Floats round to the even neighbour on the way to integers.
  EXPECT_EQ(Variant(2.5).AsInt64(), 2);
  EXPECT_EQ(Variant(3.5).AsInt64(), 4);
  EXPECT_EQ(Variant("-7").AsInt64(), -7);
  EXPECT_EQ(Variant("7.5").AsInt64(), 8);
  EXPECT_EQ(Variant(Currency{125000}).AsString(), "12.5");
  EXPECT_EQ(Variant("12.5").AsCurrency().Scaled, 125000);
  EXPECT_EQ(Variant(0.1 + 0.2).AsCurrency().Scaled, 3000);
  EXPECT_EQ(Variant(1234567890123LL).AsString(), "1234567890123");
  EXPECT_EQ(Variant(0.1).AsString(), "0.1");
  // Empty is nothing of everything.
  Variant empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.AsInt64(), 0);
  EXPECT_EQ(empty.AsString(), "");
  EXPECT_FALSE(empty.AsBoolean());
  // Dates keep their kind and travel as days.
  win::DateTimeParts p;
  p.year = 2026;
  p.month = 5;
  p.day = 17;
  Variant date = Variant::DateTime(win::EncodeDateTime(p));
  EXPECT_EQ(date.VarType(), varDate);
  EXPECT_EQ(date.AsString(), "2026/5/17");
  EXPECT_DOUBLE_EQ(Variant("2026/5/17").AsDateTime(), date.AsDouble());
  EXPECT_FALSE(date == Variant(date.AsDouble()));
  EXPECT_TRUE(Variant("a") == Variant(std::string("a")));
}

TEST(Variants, ImpossibleConversionsRaiseConversionErrors) {
  Variant null = Variant::Null();
  EXPECT_THROW(null.AsInt64(), EVariantTypeCastError);
  EXPECT_THROW(null.AsString(), EConvertError);
  EXPECT_THROW(null.AsBoolean(), EConvertError);
  EXPECT_THROW(null.AsCurrency(), EConvertError);
  EXPECT_THROW(null.AsDateTime(), EConvertError);
  EXPECT_EQ(VarToStr(null), "");
  EXPECT_THROW(Variant("abc").AsDouble(), EVariantTypeCastError);
  EXPECT_THROW(Variant("abc").AsBoolean(), EConvertError);
  EXPECT_THROW(Variant("1,5").AsCurrency(), EConvertError);
  EXPECT_THROW(Variant("next week").AsDateTime(), EConvertError);
  EXPECT_THROW(Variant(1e30).AsInt64(), EVariantOverflowError);
  EXPECT_THROW(Variant(1e30).AsCurrency(), EVariantOverflowError);
  EXPECT_THROW(Variant(std::nan("")).AsInt64(), EVariantOverflowError);
  try {
    Variant("x").AsDouble();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Could not convert variant of type (String) into type (Double)");
  }
}

TEST(Currency, TextsBothWaysRoundHalvesToEven) {
  EXPECT_EQ(StrToCurr("12.34565").Scaled, 123456);
  EXPECT_EQ(StrToCurr("12.34575").Scaled, 123458);
  EXPECT_EQ(StrToCurr("12.345650001").Scaled, 123457);
  EXPECT_EQ(StrToCurr(" -0.5 ").Scaled, -5000);
  EXPECT_EQ(StrToCurr("922337203685477.5807").Scaled, INT64_MAX);
  EXPECT_THROW(StrToCurr("922337203685477.5808"), EConvertError);
  EXPECT_THROW(StrToCurr("99999999999999999999999"), EConvertError);
  for (const char* bad : {"", "-", ".", "1.2.3", "12a", "$5", "1e3"}) EXPECT_THROW(StrToCurr(bad), EConvertError) << bad;
  EXPECT_EQ(CurrToStr(Currency{-5}), "-0.0005");
  EXPECT_EQ(CurrToStr(Currency{INT64_MIN}), "-922337203685477.5808");
  EXPECT_EQ(CurrToStr(StrToCurr("100")), "100");
  EXPECT_EQ(Currency::FromDouble(-12.5).Scaled, -125000);
  EXPECT_THROW(Currency::FromDouble(1e20), EConvertError);
}

TEST_F(LocaleCase, CurrencyTextsFollowTheSettings) {
  // The counter PCs' defaults.
  EXPECT_EQ(FloatToStrF(12.5, ffCurrency, 15, 2), "NT$12.50");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2), "-NT$1,234.50");
  EXPECT_EQ(Format("%m|%.0m", {1234567.891, 2.5}), "NT$1,234,567.89|NT$3");  // a half away from zero
  // A value that rounds to zero carries no sign.
  EXPECT_EQ(FloatToStrF(-0.001, ffCurrency, 15, 2), "NT$0.00");
  EXPECT_EQ(FloatToStrF(-1234.5, ffNumber, 15, 1), "-1,234.5");
  EXPECT_EQ(FloatToStrF(-1234.5, ffFixed, 15, 3), "-1234.500");
  EXPECT_EQ(FloatToStrF(1234.5, ffExponent, 3, 0), "1.23E+03");
  UseUsSettings();
  EXPECT_EQ(FloatToStrF(12.5, ffCurrency, 15, 2), "$12.50");
  EXPECT_EQ(FloatToStrF(-12.5, ffCurrency, 15, 2), "($12.50)");
  FormatSettings().CurrencyString = "1$";  // pieces of the pattern stay text
  FormatSettings().CurrencyFormat = 3;
  FormatSettings().NegCurrFormat = 8;
  FormatSettings().DecimalSeparator = ',';
  FormatSettings().ThousandSeparator = '.';
  EXPECT_EQ(FloatToStrF(1234.5, ffCurrency, 15, 2), "1.234,50 1$");
  EXPECT_EQ(FloatToStrF(-1234.5, ffCurrency, 15, 2), "-1.234,50 1$");
  EXPECT_EQ(StrToCurr("3,25").Scaled, 32500);
}

TEST_F(LocaleCase, SystemRootOverridesTheDefaults) {
  testing_support::TempRoot root;
  TFormatSettings plain = SystemFormatSettings();
  EXPECT_EQ(plain.CurrencyString, "NT$");
  EXPECT_EQ(plain.ShortDateFormat, "yyyy/m/d");
  const std::string key = "Control Panel\\International";
  auto set = [&](const char* name, const char* value) {
    ASSERT_TRUE(reg::SetValue(reg::Hive::CurrentUser, key, name, value));
  };
  set("sCurrency", "$");
  set("iCurrency", "0");
  set("iNegCurr", "0");
  set("iCurrDigits", "3");
  set("sShortDate", "M/d/yyyy");
  set("sTimeFormat", "H:mm:ss");
  set("sDecimal", ".");
  set("sThousand", ",");
  LoadFormatSettings();
  EXPECT_EQ(FormatSettings().CurrencyString, "$");
  EXPECT_EQ(FormatSettings().ShortDateFormat, "m/d/yyyy");
  EXPECT_EQ(FormatSettings().LongTimeFormat, "h:nn:ss");
  EXPECT_EQ(Format("%m", {-12.5}), "($12.500)");
  win::DateTimeParts p;
  p.year = 2026;
  p.month = 5;
  p.day = 17;
  p.hour = 7;
  p.minute = 8;
  EXPECT_EQ(DateTimeToStr(win::EncodeDateTime(p)), "5/17/2026 7:08:00");
  // Values out of range or unreadable keep the defaults.
  set("iNegCurr", "16");
  set("iCurrDigits", "x");
  set("sDecimal", "..");
  TFormatSettings odd = SystemFormatSettings();
  EXPECT_EQ(odd.NegCurrFormat, 1);
  EXPECT_EQ(odd.CurrencyDecimals, 2);
  EXPECT_EQ(odd.DecimalSeparator, '.');
}

}  // namespace
