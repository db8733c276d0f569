// Exceptions, text helpers and formatting of the class library.
#pragma once
#include <array>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace cls {

// Root of every exception the system raises. Carries a message text only.
class Exception : public std::exception {
 public:
  explicit Exception(std::string message = {}) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }
  virtual const char* ClassName() const { return "Exception"; }

 private:
  std::string message_;
};

// Declares an exception class BASE-derived with its own class name.
#define CLS_DECLARE_EXCEPTION(Name, Base)                          \
  class Name : public Base {                                       \
   public:                                                         \
    using base_type = Base;                                        \
    using base_type::base_type;                                    \
    const char* ClassName() const override { return #Name; }       \
  }

CLS_DECLARE_EXCEPTION(EConvertError, Exception);
CLS_DECLARE_EXCEPTION(EListError, Exception);
CLS_DECLARE_EXCEPTION(EStringListError, Exception);
CLS_DECLARE_EXCEPTION(EComponentError, Exception);
CLS_DECLARE_EXCEPTION(EClassNotFound, Exception);
CLS_DECLARE_EXCEPTION(EPropertyError, Exception);
CLS_DECLARE_EXCEPTION(EStreamError, Exception);
CLS_DECLARE_EXCEPTION(EReadError, EStreamError);
CLS_DECLARE_EXCEPTION(EWriteError, EStreamError);
CLS_DECLARE_EXCEPTION(EFCreateError, EStreamError);
CLS_DECLARE_EXCEPTION(EFOpenError, EStreamError);
CLS_DECLARE_EXCEPTION(EOutOfMemory, Exception);

// One argument of Format: an integer, a float or a text.
class TVarRec {
 public:
  enum Kind { vInteger, vFloat, vString };
  TVarRec(int v) : kind_(vInteger), i_(v) {}
  TVarRec(long v) : kind_(vInteger), i_(v) {}
  TVarRec(long long v) : kind_(vInteger), i_(v) {}
  TVarRec(unsigned v) : kind_(vInteger), i_(v) {}
  TVarRec(unsigned long v) : kind_(vInteger), i_(static_cast<int64_t>(v)) {}
  TVarRec(double v) : kind_(vFloat), f_(v) {}
  TVarRec(const char* v) : kind_(vString), s_(v ? v : "") {}
  TVarRec(std::string v) : kind_(vString), s_(std::move(v)) {}
  TVarRec(std::string_view v) : kind_(vString), s_(v) {}
  Kind kind() const { return kind_; }
  int64_t AsInteger() const { return i_; }
  double AsFloat() const { return f_; }
  const std::string& AsString() const { return s_; }

 private:
  Kind kind_;
  int64_t i_ = 0;
  double f_ = 0;
  std::string s_;
};

// Formatting in the system's manner: %[index:][-][width][.precision]type
// with the types d, u, x, e, f, g, n, m, s and "%%". A format that does not
// fit its arguments raises EConvertError.
std::string Format(std::string_view format, const std::vector<TVarRec>& args);
inline std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
  return Format(format, std::vector<TVarRec>(args));
}

// Locale settings the formatting routines use: the system's locale. The
// defaults are the counter PCs' (Taiwan): "NT$12.50", "-NT$12.50",
// "2026/5/17", "2026年5月17日", "下午 01:30".
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  // What '/' and ':' stand for in date-time patterns and edit masks.
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "yyyy/m/d";
  std::string LongDateFormat = "yyyy'年'm'月'd'日'";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "上午";
  std::string TimePMString = "下午";
  // January first; Sunday first.
  std::array<std::string, 12> ShortMonthNames = {"一月", "二月", "三月", "四月", "五月", "六月",
                                                 "七月", "八月", "九月", "十月", "十一月", "十二月"};
  std::array<std::string, 12> LongMonthNames = ShortMonthNames;
  std::array<std::string, 7> ShortDayNames = {"週日", "週一", "週二", "週三", "週四", "週五", "週六"};
  std::array<std::string, 7> LongDayNames = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
  std::string CurrencyString = "NT$";
  // Placement of the currency string as Windows numbers it: positive 0 "$1",
  // 1 "1$", 2 "$ 1", 3 "1 $"; negative 0 to 15, 1 being "-$1".
  uint8_t CurrencyFormat = 0;
  uint8_t NegCurrFormat = 1;
  uint8_t CurrencyDecimals = 2;
};
TFormatSettings& FormatSettings();
// The defaults above with what the system root's registry store holds under
// HKEY_CURRENT_USER\Control Panel\International (sDecimal, sThousand,
// sDate, sTime, sShortDate, sLongDate, sTimeFormat, sShortTime, s1159,
// s2359, sCurrency, iCurrency, iNegCurr, iCurrDigits); values it cannot
// read keep their defaults.
TFormatSettings SystemFormatSettings();
// FormatSettings() := SystemFormatSettings() (a program's start-up).
void LoadFormatSettings();

// A fixed-point amount: the value times 10000 in 64 bits.
struct Currency {
  int64_t Scaled = 0;
  // Rounded to four decimals, halves to the even neighbour; EConvertError
  // when the value does not fit.
  static Currency FromDouble(double value);
  double ToDouble() const { return static_cast<double>(Scaled) / 10000.0; }
  bool operator==(const Currency&) const = default;
};

// Case-insensitive comparison in the system code page: ASCII letters are
// folded, the second byte of a Big5 character never is. <0, 0 or >0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
std::string AnsiLowerCase(std::string_view s);
std::string AnsiUpperCase(std::string_view s);
// Letter or underscore first, then letters, digits or underscores.
bool IsValidIdent(std::string_view name);

std::string IntToStr(int64_t value);
// Whole text as a decimal (or $hex) integer; EConvertError otherwise.
int64_t StrToInt(std::string_view text);
int64_t StrToIntDef(std::string_view text, int64_t fallback);
bool TryStrToInt(std::string_view text, int64_t& value);
// Float text with the decimal separator of the settings; EConvertError.
double StrToFloat(std::string_view text);
bool TryStrToFloat(std::string_view text, double& value);
// General format with PRECISION significant digits (no exponent while it fits).
std::string FloatToStrG(double value, int precision = 15);
// The same for an extended value (up to 18 digits).
std::string ExtendedToStrG(long double value, int precision = 18);

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
// VALUE (80-bit, so 64-bit integers keep every digit) rounded to PRECISION
// significant digits (1-19) and, in the fixed formats, then to DIGITS
// decimals (0-18), each exact half away from zero: general, exponent, fixed, number with thousand separators,
// currency with separators and the currency string placed as the settings
// say. A fixed or number value with more whole digits than PRECISION is
// written in exponent form.
std::string FloatToStrF(long double value, TFloatFormat format, int precision, int digits);
// VALUE rounded as FloatToStrF rounds it, with DIGITS decimals (0-200),
// the whole digits always written out (Format's %f and %n).
std::string FloatToFixed(long double value, int digits, bool grouped, int precision = 15);
// VALUE through the pattern FORMAT: up to three sections (positive;
// negative; zero) of the placeholders 0 and #, one '.', ',' for grouping,
// E+ E- e+ e- with up to four exponent 0s, quoted 'text' or "text", and any
// other byte as itself. An empty pattern is the general format; a value of
// more than 309 whole digits without an exponent too. Any pattern is safe.
// VALUE is first rounded to PRECISION significant digits (1-19: 15 for a
// double, 7 for a single, 18 for an extended, 19 for a 64-bit integer),
// then to the pattern's decimals, each exact half away from zero.
std::string FormatFloat(std::string_view format, long double value, int precision = 15);
// The same for an amount (exact: every digit of the 64-bit value).
std::string FormatCurr(std::string_view format, Currency value);
// Shortest text of the amount (up to four decimals, no currency string).
std::string CurrToStr(Currency value);
// Decimal text with the settings' separator; EConvertError otherwise.
Currency StrToCurr(std::string_view text);
bool TryStrToCurr(std::string_view text, Currency& value);
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

// A date-time (days since 1899-12-30, the fraction the time of day)
// through the pattern FORMAT: c, d dd ddd dddd ddddd dddddd, e ee, g gg,
// m mm mmm mmmm (minutes when the last letter before was h), y yy yyyy,
// h hh, n nn, s ss, z zzz, t tt, am/pm a/p ampm (h then counts 12 hours),
// '/' and ':' for the settings' separators, quoted 'text' or "text"; other
// bytes, and Big5 characters whole, as themselves. An empty pattern is
// "c". EConvertError for a date outside the years 1 to 9999; any pattern
// is safe and the text bounded.
std::string FormatDateTime(std::string_view format, double dateTime);
// Whether the date lies in the years 1 to 9999.
bool IsValidDateTime(double dateTime);

// Date-time texts in the settings' short date and long time formats
// (DateTimeToStr omits a midnight time). A date outside the years 1 to 9999
// gives its number of days in general format.
std::string DateTimeToStr(double dateTime);
std::string DateToStr(double dateTime);
std::string TimeToStr(double dateTime);
// The reverse of DateTimeToStr; EConvertError on a text it cannot read.
// A time may carry the settings' morning or afternoon string (or AM/PM).
double StrToDateTime(std::string_view text);
// The reverses of DateToStr and TimeToStr (a time of 1 to 3 numbers).
double StrToDate(std::string_view text);
double StrToTime(std::string_view text);

// VALUE laid through the edit mask EDITMASK ("mask;save;blank"). Mask
// characters L l A a C c 0 9 # each take one character of the value (a Big5
// character whole); '\' makes the next character a literal, ':' and '/'
// are the settings' separators, '_' a blank, '>' '<' "<>" change case, '!'
// lays the value from the right. With save "0" the value holds no literals
// and they are laid in; otherwise the value's literals divide it into the
// fields between the mask's literals. Missing characters are the blank
// character (a space when none is given); a value longer than the mask
// loses the rest.
std::string FormatMaskText(std::string_view editMask, std::string_view value);

}  // namespace cls

namespace win {

// The process's temporary folder ("C:\Windows\Temp\", made on demand).
std::string GetTempPath();
// Makes a new empty file FOLDER\PREFIXnnnn.tmp with a name no file has yet
// and returns its full name; empty with the last error set on failure.
std::string GetTempFileName(const std::string& folder, const std::string& prefix);

unsigned long GetCurrentThreadId();
// True on the thread that started the process.
bool IsMainThread();

}  // namespace win
