#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/process/clock.h"
#include "report/model/ppDisplayFormat.h"

namespace {

class DisplayFormats : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = cls::FormatSettings(); }
  void TearDown() override { cls::FormatSettings() = saved_; }
  static void UseUsSettings() {
    cls::TFormatSettings& fs = cls::FormatSettings();
    fs.CurrencyString = "$";
    fs.CurrencyFormat = 0;
    fs.NegCurrFormat = 0;
    fs.ShortDateFormat = "m/d/yy";
    fs.LongTimeFormat = "h:nn:ss AMPM";
    fs.TimeAMString = "AM";
    fs.TimePMString = "PM";
    fs.ShortMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    fs.LongMonthNames = {"January", "February", "March",     "April",   "May",      "June",
                         "July",    "August",   "September", "October", "November", "December"};
  }
  static cls::Variant Sample() {
    return cls::Variant::DateTime(win::EncodeDateTime(win::DateTimeParts{1995, 3, 4, 13, 30, 55, 0}));
  }

 private:
  cls::TFormatSettings saved_;
};

std::string Trimmed(const char* s) { return cls::TrimRight(s); }

TEST_F(DisplayFormats, CatalogueRowsAndLists) {
  const std::pair<TppDataType, int> counts[] = {{dtBoolean, 8}, {dtDate, 9},     {dtTime, 4},      {dtDateTime, 11},
                                                {dtInteger, 9}, {dtSingle, 9},   {dtDouble, 9},    {dtExtended, 9},
                                                {dtCurrency, 9}, {dtLongint, 9}, {dtLargeInt, 9},  {dtString, 8},
                                                {dtChar, 0},    {dtMemo, 0},     {dtVariant, 0},   {dtNotKnown, 0}};
  for (auto [type, count] : counts) EXPECT_EQ(static_cast<int>(ppDisplayFormatEntries(type).size()), count) << type;
  cls::TStringList list;
  list.Add("old");
  GetDisplayFormats(dtDateTime, &list);
  ASSERT_EQ(list.Count(), 11);
  EXPECT_EQ(list[0], "3/4/95 1:30:55 PM\x01m/d/yy h:nn:ss AM/PM");
  EXPECT_EQ(list[5], "4-Mar-95 \x01" "d-mmm-yy");  // the samples of the mmm forms end in a space
  EXPECT_EQ(list[6], "04-Mar-95 \x01" "dd-mmm-yy");
  GetDisplayFormats(dtString, &list);
  EXPECT_EQ(list[0], "Phone\x01!\\(999\\)\\ 000\\-0000;0; ");
  EXPECT_EQ(list[6], "Long Time\x01!90:00:00\\ >LL;0; ");
  GetDisplayFormats(dtBoolean, &list);
  EXPECT_EQ(list[7], "\x01;Not Done");
  GetDisplayFormats(dtBLOB, &list);
  EXPECT_EQ(list.Count(), 0);
  // Every row has a format; the date rows close the date-time list.
  for (int t = 0; t < cls::EnumCount<TppDataType>(); ++t)
    for (const TppDisplayFormatEntry& e : ppDisplayFormatEntries(static_cast<TppDataType>(t)))
      EXPECT_FALSE(std::string(e.Format).empty()) << t << " " << e.Sample;
  EXPECT_EQ(ppDisplayFormatEntries(dtDate).data(), ppDisplayFormatEntries(dtDateTime).data() + 2);
}

TEST_F(DisplayFormats, UsSamplesComeOutOfTheirFormats) {
  UseUsSettings();
  // Each date and time sample is its format applied to 1995-03-04 13:30:55.
  for (TppDataType t : {dtDate, dtTime, dtDateTime})
    for (const TppDisplayFormatEntry& e : ppDisplayFormatEntries(t))
      EXPECT_EQ(FormatDisplayValue(e.Format, Sample(), t), Trimmed(e.Sample)) << e.Format;
  auto numeric = ppDisplayFormatEntries(dtDouble);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(FormatDisplayValue(numeric[i].Format, -1234.4, dtDouble), numeric[i].Sample);
  // "$" formats take only their decimals; the system places the currency.
  EXPECT_EQ(FormatDisplayValue("$#,0.00;($#,0.00)", -1234.4, dtDouble), "($1,234.40)");
  EXPECT_EQ(FormatDisplayValue("$#,0.00;-$#,0.00", -1234.4, dtDouble), "($1,234.40)");
  EXPECT_EQ(FormatDisplayValue("$#,0", cls::Currency{12344000}, dtCurrency), "$1,234");
  EXPECT_EQ(FormatDisplayValue("$#,0.00;($#,0.00)", 1234.4, dtCurrency), "$1,234.40");
  EXPECT_EQ(FormatDisplayValue(ppDisplayFormatEntries(dtString)[0].Format, "8005551234", dtString), "(800) 555-1234");
  EXPECT_EQ(FormatDisplayValue("Yes;No", true, dtBoolean), "Yes");
  EXPECT_EQ(FormatDisplayValue("Yes;No", false, dtBoolean), "No");
  EXPECT_EQ(FormatDisplayValue("OK;", false, dtBoolean), "");
  EXPECT_EQ(FormatDisplayValue(";Not OK", true, dtBoolean), "");
  EXPECT_EQ(FormatDisplayValue("Done", false, dtBoolean), "");
  EXPECT_EQ(FormatDisplayValue("Yes;No", "maybe", dtBoolean), "maybe");
  for (int t = 0; t < cls::EnumCount<TppDataType>(); ++t)
    EXPECT_EQ(FormatDisplayValue("Yes;No", cls::Variant::Null(), static_cast<TppDataType>(t)), "") << t;
}

TEST_F(DisplayFormats, EmptyFormatsUseTheSystemsTexts) {
  // Taiwan defaults.
  EXPECT_EQ(FormatDisplayValue("", Sample(), dtDate), "1995/3/4");
  EXPECT_EQ(FormatDisplayValue("", Sample(), dtTime), "13:30:55");
  EXPECT_EQ(FormatDisplayValue("", Sample(), dtDateTime), "1995/3/4 13:30:55");
  EXPECT_EQ(FormatDisplayValue("", 1234.4, dtCurrency), "NT$1,234.40");
  EXPECT_EQ(FormatDisplayValue("$#,0.00;($#,0.00)", -1234.4, dtCurrency), "-NT$1,234.40");
  EXPECT_EQ(FormatDisplayValue("", 1.0 / 3, dtDouble), "0.333333333333333");
  // Halves of a cent round away from zero, as amounts are printed.
  EXPECT_EQ(FormatDisplayValue("", cls::Currency{1250}, dtCurrency), "NT$0.13");
  EXPECT_EQ(FormatDisplayValue("$#,0.00", 0.125, dtCurrency), "NT$0.13");
  EXPECT_EQ(FormatDisplayValue("$#,0.00", -0.125, dtDouble), "-NT$0.13");
  EXPECT_EQ(FormatDisplayValue("0.00", 0.125, dtDouble), "0.13");
  EXPECT_EQ(FormatDisplayValue("0", 2.5, dtInteger), "3");
  EXPECT_EQ(FormatDisplayValue("", "text", dtString), "text");
  // 64-bit integers and amounts keep every digit.
  EXPECT_EQ(FormatDisplayValue("", INT64_MAX, dtLargeInt), "9223372036854775807");
  EXPECT_EQ(FormatDisplayValue("#,0", INT64_MAX, dtLargeInt), "9,223,372,036,854,775,807");
  EXPECT_EQ(FormatDisplayValue("#,0.0000", cls::Currency{INT64_MAX}, dtCurrency), "922,337,203,685,477.5807");
  cls::FormatSettings().DecimalSeparator = ',';
  cls::FormatSettings().ThousandSeparator = '.';
  EXPECT_EQ(FormatDisplayValue("#,0.00;-#,0.00", -1234.4, dtDouble), "-1.234,40");
  EXPECT_EQ(FormatDisplayValue("#,0", 5, static_cast<TppDataType>(200)), "");
  EXPECT_EQ(FormatDisplayValue("#,0", 5, dtBLOB), "");
}

TEST_F(DisplayFormats, NeverRaises) {
  // A value its type cannot take gives its plain text.
  EXPECT_EQ(FormatDisplayValue("#,0", "abc", dtInteger), "abc");
  EXPECT_EQ(FormatDisplayValue("yyyy", "no date", dtDate), "no date");
  EXPECT_EQ(FormatDisplayValue("$#,0", "x", dtCurrency), "x");
  // So does a date outside the years 1 to 9999.
  EXPECT_EQ(FormatDisplayValue("yyyy", cls::Variant::DateTime(1e7), dtDate), "10000000");
  EXPECT_EQ(FormatDisplayValue("", 1e300, dtDateTime), "1E+300");
  EXPECT_EQ(FormatDisplayValue("hh", -1e9, dtTime), "-1000000000");
  // "$" decimals stop at 18.
  std::string many = "$0." + std::string(400, '0');
  EXPECT_EQ(FormatDisplayValue(many, 1.5, dtDouble), "NT$1.500000000000000000");
  // Any pattern is safe.
  EXPECT_EQ(FormatDisplayValue("\"", 5, dtDouble), "");
  EXPECT_EQ(FormatDisplayValue("'", Sample(), dtDate), "");
  EXPECT_EQ(FormatDisplayValue("\\", "abc", dtString), "");
}

// VALUE's decimal written with SIGNIFICANT digits, then rounded by hand to
// DECIMALS, an exact half away from zero: the sign and the digits with a '.'.
std::pair<bool, std::string> HandRounded(double value, int significant, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*e", significant - 1, std::fabs(value));
  std::string text = buf, digits;
  for (char c : text.substr(0, text.find('e')))
    if (c != '.') digits += c;
  int point = std::atoi(text.c_str() + text.find('e') + 1) + 1;  // digits before the point
  if (point < 1) digits.insert(0, static_cast<size_t>(1 - point), '0'), point = 1;
  const size_t keep = static_cast<size_t>(point + decimals);
  if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  for (size_t i = keep; up && i-- > 0;) {
    up = digits[i] == '9';
    digits[i] = up ? '0' : static_cast<char>(digits[i] + 1);
  }
  if (up) digits.insert(0, "1"), ++point;
  while (point > 1 && digits[0] == '0') digits.erase(0, 1), --point;
  std::string out = digits.substr(0, static_cast<size_t>(point));
  if (decimals) out += "." + digits.substr(static_cast<size_t>(point));
  return {value < 0 && digits.find_first_not_of('0') != std::string::npos, out};
}

std::string Grouped(const std::string& number) {
  std::string whole = number.substr(0, number.find('.')), rest = number.substr(whole.size());
  for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3) whole.insert(static_cast<size_t>(at), ",");
  return whole + rest;
}

// Every numeric pattern of the catalogue and a few more, and every other
// way a float becomes text, at exact decimal halves of the last decimal
// shown, their binary neighbours and their negatives: each prints the
// decimal written with 15 significant digits (7 for a single) rounded by
// hand, the half away from zero; an extended's 18.
TEST_F(DisplayFormats, EveryRouteRoundsTheDecimalOfFifteenDigits) {
  struct Row {
    const char* pattern;
    int decimals;
    bool grouped;
    const char *positive, *negative;  // '%' stands for the number
  };
  const Row rows[] = {{"#,0;-#,0", 0, true, "%", "-%"},
                      {"#,0.00;-#,0.00", 2, true, "%", "-%"},
                      {"#,0.00;(#,0.00)", 2, true, "%", "(%)"},
                      {"$#,0.00;($#,0.00)", 2, true, "NT$%", "-NT$%"},
                      {"$#,0.00;-$#,0.00", 2, true, "NT$%", "-NT$%"},
                      {"$#,0;-$#,0", 0, true, "NT$%", "-NT$%"},
                      {"$#,0;($#,0)", 0, true, "NT$%", "-NT$%"},
                      {"0 %", 0, false, "% %", "-% %"},
                      {"0.00 %", 2, false, "% %", "-% %"},
                      {"0.00", 2, false, "%", "-%"},
                      {"0.0", 1, false, "%", "-%"},
                      {"#,##0.00", 2, true, "%", "-%"},
                      {"0.000", 3, false, "%", "-%"}};
  auto rowOf = [&](const std::string& pattern) -> const Row* {
    for (const Row& r : rows)
      if (pattern == r.pattern) return &r;
    return nullptr;
  };
  for (const TppDisplayFormatEntry& e : ppDisplayFormatEntries(dtDouble))
    ASSERT_NE(rowOf(e.Format), nullptr) << "no row for the catalogue's " << e.Format;
  auto laid = [](const char* wrap, const std::string& number) {
    std::string out = wrap;
    return out.replace(out.find('%'), 1, number);
  };
  // Halves: whole parts with the decimals before the 5.
  const char* wholes[] = {"0", "1", "2", "34", "1234", "99999", "1234567"};
  const char* fractions[] = {"", "0", "2", "3", "9", "00", "28", "67", "99", "000", "004", "999"};
  // Sums and products that land on a half.
  const double computed[] = {34.3 * 0.05, 0.7 + 0.1 + 0.125 + 0.1, 1.1 * 1.1 * 0.5, 0.1 + 0.2 + 0.005};
  int checked = 0;
  auto check = [&](double value, int decimals, const std::string& name) {
    for (const Row& row : rows) {
      if (row.decimals != decimals) continue;
      SCOPED_TRACE(name + " through " + row.pattern);
      auto [minus, number] = HandRounded(value, 15, decimals);
      if (row.grouped) number = Grouped(number);
      const std::string want = laid(minus ? row.negative : row.positive, number);
      EXPECT_EQ(FormatDisplayValue(row.pattern, value, dtDouble), want);
      // An extended keeps 18 digits.
      auto [xMinus, xNumber] = HandRounded(value, 18, decimals);
      if (row.grouped) xNumber = Grouped(xNumber);
      EXPECT_EQ(FormatDisplayValue(row.pattern, value, dtExtended),
                laid(xMinus ? row.negative : row.positive, xNumber));
      if (std::string(row.pattern).find('$') == std::string::npos) {
        EXPECT_EQ(cls::FormatFloat(row.pattern, value), want);
      }
      ++checked;
    }
    auto [minus, number] = HandRounded(value, 15, decimals);
    const std::string sign = minus ? "-" : "";
    const std::string d = std::to_string(decimals);
    EXPECT_EQ(cls::FloatToStrF(value, cls::ffFixed, 15, decimals), sign + number) << name;
    EXPECT_EQ(cls::FloatToStrF(value, cls::ffNumber, 15, decimals), sign + Grouped(number)) << name;
    EXPECT_EQ(cls::Format("%." + d + "f|%." + d + "n", {value, value}), sign + number + "|" + sign + Grouped(number))
        << name;
    EXPECT_EQ(cls::Format("%." + d + "m", {value}), (minus ? "-NT$" : "NT$") + Grouped(number)) << name;
    if (decimals == 2) {
      EXPECT_EQ(FormatDisplayValue("", value, dtCurrency), (minus ? "-NT$" : "NT$") + Grouped(number));
    }
    // A single has 7 digits.
    const float single = static_cast<float>(value);
    auto [singleMinus, singleNumber] = HandRounded(single, 7, decimals);
    if (decimals == 2) {
      EXPECT_EQ(FormatDisplayValue("0.00", static_cast<double>(single), dtSingle),
                (singleMinus ? "-" : "") + singleNumber)
          << name;
    }
  };
  for (const char* whole : wholes)
    for (const char* fraction : fractions) {
      const std::string text = std::string(whole) + "." + fraction + "5";
      const double half = std::strtod(text.c_str(), nullptr);
      const int decimals = static_cast<int>(std::strlen(fraction));
      for (double value : {half, std::nextafter(half, 0.0), std::nextafter(half, 1e9)})
        for (double sign : {1.0, -1.0}) check(sign * value, decimals, (sign < 0 ? "-" : "") + text);
    }
  for (double value : computed)
    for (double sign : {1.0, -1.0}) check(sign * value, 2, std::to_string(sign * value));
  EXPECT_GT(checked, 1000);
  // As a person checks them.
  EXPECT_EQ(FormatDisplayValue("0.00", 2.675, dtDouble), "2.68");
  EXPECT_EQ(FormatDisplayValue("0.00", 1.005, dtDouble), "1.01");
  EXPECT_EQ(FormatDisplayValue("0.00", 0.285, dtDouble), "0.29");
  EXPECT_EQ(FormatDisplayValue("#,##0.00", 1234567.005, dtDouble), "1,234,567.01");
  EXPECT_EQ(FormatDisplayValue("0.0", 0.35, dtDouble), "0.4");
  EXPECT_EQ(FormatDisplayValue("#,0.00;-#,0.00", 34.3 * 0.05, dtDouble), "1.72");
  EXPECT_EQ(FormatDisplayValue("$#,0.00", 34.3 * 0.05, dtDouble), "NT$1.72");
  EXPECT_EQ(FormatDisplayValue("0.00", 0.7 + 0.1 + 0.125 + 0.1, dtDouble), "1.03");
  EXPECT_EQ(cls::Format("%.2f", {0.125}), "0.13");
}

// A formatter that takes the slot's place.
class TppLoudFormat : public TppDisplayFormat {
 public:
  std::string Format(const std::string& f, const cls::Variant& v, TppDataType t) const override {
    return "!" + TppDisplayFormat::Format(f, v, t);
  }
};

TEST_F(DisplayFormats, TheSlotChoosesTheFormatter) {
  static const TppLoudFormat loud;
  const TppDisplayFormat* before = ppDisplayFormatClass();
  ASSERT_EQ(before, &TppDisplayFormat::Instance());
  ppSetDisplayFormatClass(&loud);
  EXPECT_EQ(FormatDisplayValue("0.0", 2.25, dtDouble), "!2.3");
  ppSetDisplayFormatClass(nullptr);
  EXPECT_EQ(FormatDisplayValue("0.0", 2.25, dtDouble), "2.25");
  cls::TStringList list;
  list.Add("old");
  GetDisplayFormats(dtBoolean, &list);
  EXPECT_EQ(list.Count(), 0);
  ppSetDisplayFormatClass(before);
}

}  // namespace
