// Pattern formatting of the class library: floats and amounts, dates and
// times, edit masks. Patterns come from templates and users, so every byte
// sequence is accepted and the text made is bounded by the pattern's length.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/classes/sysutils.h"
#include "platform/process/clock.h"
#include "platform/sysroot/codepage.h"

namespace cls {
namespace {

// Bytes of the character at I: a Big5 character whole, else one byte.
size_t CharLen(std::string_view s, size_t i) {
  if (i + 1 < s.size() && cp::IsBig5Lead(static_cast<unsigned char>(s[i])) &&
      cp::IsBig5Trail(static_cast<unsigned char>(s[i + 1])))
    return 2;
  return 1;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// A decimal value: 0.Digits x 10^Exponent; Digits holds no leading or
// trailing zeros and is empty for zero.
struct Decimal {
  std::string Digits;
  int Exponent = 0;
  bool Negative = false;
  bool IsZero() const { return Digits.empty(); }
};

void Normalise(Decimal& d) {
  size_t lead = d.Digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    d.Digits.clear();
    d.Exponent = 0;
    return;
  }
  d.Digits.erase(0, lead);
  d.Exponent -= static_cast<int>(lead);
  while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
}

// Keeps KEEP leading digits, rounding to the nearer value and an exact
// half away from zero, as amounts are rounded on paper.
void KeepDigits(Decimal& d, long keep) {
  if (keep >= static_cast<long>(d.Digits.size())) return;
  if (keep < 0) {
    d.Digits.clear();
    Normalise(d);
    return;
  }
  bool up = d.Digits[keep] >= '5';
  d.Digits.resize(keep);
  if (up) {
    long i = keep - 1;
    while (i >= 0 && d.Digits[i] == '9') d.Digits[i--] = '0';
    if (i >= 0) {
      ++d.Digits[i];
    } else {
      d.Digits.insert(d.Digits.begin(), '1');
      ++d.Exponent;
    }
  }
  Normalise(d);
}

void RoundToDecimals(Decimal& d, long decimals) { KeepDigits(d, d.Exponent + decimals); }

// VALUE rounded to SIGNIFICANT digits (1-19) of its decimal expansion, the
// half away from zero: 15 for a double, 7 for a single, 18 for an extended,
// 19 to keep every 64-bit integer.
Decimal FromExtended(long double value, int significant) {
  Decimal d;
  d.Negative = std::signbit(value);
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.39Le", std::fabs(value));
  std::string s = buf;
  size_t e = s.find('e');
  for (size_t i = 0; i < e; ++i)
    if (s[i] >= '0' && s[i] <= '9') d.Digits += s[i];
  d.Exponent = std::atoi(s.c_str() + e + 1) + 1;
  Normalise(d);
  KeepDigits(d, std::clamp(significant, 1, 19));
  return d;
}

Decimal FromCurrency(Currency value) {
  Decimal d;
  d.Negative = value.Scaled < 0;
  uint64_t magnitude =
      value.Scaled < 0 ? 0 - static_cast<uint64_t>(value.Scaled) : static_cast<uint64_t>(value.Scaled);
  d.Digits = std::to_string(magnitude);
  d.Exponent = static_cast<int>(d.Digits.size()) - 4;
  Normalise(d);
  return d;
}

// Digit I (0 first) of the value's decimal expansion at position EXPONENT-1-I.
char DigitAt(const Decimal& d, long i) { return i >= 0 && i < static_cast<long>(d.Digits.size()) ? d.Digits[i] : '0'; }

// Whole part's digits ("" below 1) and the first COUNT decimals.
std::string WholeDigits(const Decimal& d) {
  std::string s;
  for (long i = 0; i < d.Exponent; ++i) s += DigitAt(d, i);
  return s;
}
std::string FractionDigits(const Decimal& d, long count) {
  std::string s;
  for (long i = 0; i < count; ++i) s += DigitAt(d, d.Exponent + i);
  return s;
}

std::string Grouped(const std::string& whole, bool group) {
  std::string out;
  for (size_t i = 0; i < whole.size(); ++i) {
    out += whole[i];
    size_t left = whole.size() - i - 1;
    if (group && left > 0 && left % 3 == 0) out += FormatSettings().ThousandSeparator;
  }
  return out;
}

std::string WithSeparator(std::string s) {
  char sep = FormatSettings().DecimalSeparator;
  for (char& c : s)
    if (c == '.') c = sep;
  return s;
}

std::string ExponentText(long double value, int precision) {
  char buf[96];
  std::snprintf(buf, sizeof buf, "%.*LE", precision - 1, value);
  return WithSeparator(buf);
}

// ---- float patterns ----

// The sections of a float pattern (up to three), split at ';' outside quotes.
std::vector<std::string_view> FloatSections(std::string_view format) {
  std::vector<std::string_view> sections;
  size_t start = 0;
  char quote = 0;
  for (size_t i = 0; i < format.size(); i += CharLen(format, i)) {
    char c = format[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      sections.push_back(format.substr(start, i - start));
      start = i + 1;
      if (sections.size() == 3) return sections;
    }
  }
  sections.push_back(format.substr(start));
  return sections;
}

struct SectionScan {
  long DigitCount = 0;    // placeholders before the exponent
  long DecimalIndex = -1;  // placeholders before the point
  long FirstZero = -1;     // index of the first '0' placeholder
  long LastZero = 0;       // placeholders up to the last '0'
  bool Thousands = false;
  bool Scientific = false;
};

SectionScan ScanSection(std::string_view s) {
  SectionScan scan;
  for (size_t i = 0; i < s.size(); i += CharLen(s, i)) {
    char c = s[i];
    if (c == '\'' || c == '"') {
      size_t close = s.find(c, i + 1);
      if (close == std::string_view::npos) break;
      i = close;
    } else if (scan.Scientific) {
      continue;  // after the exponent every byte is text
    } else if (c == '#') {
      ++scan.DigitCount;
    } else if (c == '0') {
      if (scan.FirstZero < 0) scan.FirstZero = scan.DigitCount;
      ++scan.DigitCount;
      scan.LastZero = scan.DigitCount;
    } else if (c == '.') {
      if (scan.DecimalIndex < 0) scan.DecimalIndex = scan.DigitCount;
    } else if (c == ',') {
      scan.Thousands = true;
    } else if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      scan.Scientific = true;
    }
  }
  if (scan.DecimalIndex < 0) scan.DecimalIndex = scan.DigitCount;
  if (scan.FirstZero < 0) scan.FirstZero = scan.DigitCount;
  return scan;
}

constexpr long kMaxPatternDigits = 1 << 20;
// Whole digits written out: any double's; an extended beyond that range is
// written in general format.
constexpr int kMaxWholeDigits = 309;

// D rounded as SCAN asks (significant digits with an exponent, decimals
// without), and the exponent shown.
Decimal RoundFor(const SectionScan& scan, Decimal d, long& exponent) {
  exponent = 0;
  if (scan.Scientific) {
    long precision = std::min<long>(std::max<long>(scan.DigitCount, 1), 19);
    KeepDigits(d, precision);
    if (!d.IsZero()) {
      exponent = d.Exponent - scan.DecimalIndex;
      d.Exponent = static_cast<int>(scan.DecimalIndex);
    }
  } else {
    RoundToDecimals(d, std::min(scan.DigitCount - scan.DecimalIndex, kMaxPatternDigits));
  }
  return d;
}

// Lays D through one section.
std::string ApplySection(std::string_view s, const SectionScan& scan, const Decimal& d, long exponent, bool minus) {
  const TFormatSettings& fs = FormatSettings();
  std::string out = minus ? "-" : "";
  std::string whole = WholeDigits(d);
  long places = scan.DigitCount - scan.DecimalIndex;
  std::string fraction = FractionDigits(d, std::min(places, kMaxPatternDigits));
  // Decimals shown: every forced one, and those up to the last non-zero.
  long shown = std::max(scan.LastZero - scan.DecimalIndex, 0L);
  size_t lastNonZero = fraction.find_last_not_of('0');
  if (lastNonZero != std::string::npos) shown = std::max(shown, static_cast<long>(lastNonZero) + 1);
  const long intSlots = scan.DecimalIndex;
  const long n = static_cast<long>(whole.size());
  long k = 0;  // placeholder index
  bool pointSeen = false, exponentDone = false;
  // Without a whole placeholder the whole digits stand before the point.
  bool wholeDone = intSlots > 0 || scan.DigitCount == 0;
  auto putWhole = [&] {
    if (!wholeDone) out += Grouped(whole, scan.Thousands);
    wholeDone = true;
  };
  auto putDigit = [&](char digit, long rightOfIt) {
    out += digit;
    if (scan.Thousands && rightOfIt > 0 && rightOfIt % 3 == 0) out += fs.ThousandSeparator;
  };
  for (size_t i = 0; i < s.size();) {
    size_t len = CharLen(s, i);
    char c = s[i];
    if (len == 2) {
      out.append(s, i, 2);
    } else if (c == '\'' || c == '"') {
      size_t close = s.find(c, i + 1);
      size_t end = close == std::string_view::npos ? s.size() : close;
      out.append(s, i + 1, end - i - 1);
      i = close == std::string_view::npos ? s.size() : close + 1;
      continue;
    } else if (exponentDone) {
      out += c;
    } else if (c == '0' || c == '#') {
      if (k < intSlots) {
        if (k == 0)
          for (long j = 0; j < n - intSlots; ++j) putDigit(whole[j], n - j - 1);
        long j = n - (intSlots - k);
        if (j >= 0) putDigit(whole[j], intSlots - k - 1);
        else if (k >= scan.FirstZero) putDigit('0', intSlots - k - 1);
      } else if (k - intSlots < shown) {
        putWhole();
        if (!pointSeen) {
          out += fs.DecimalSeparator;
          pointSeen = true;
        }
        out += fraction[k - intSlots];
      }
      ++k;
    } else if (c == '.') {
      if (k == intSlots) putWhole();
      if (!pointSeen && k == intSlots && shown > 0) {
        out += fs.DecimalSeparator;
        pointSeen = true;
      }
    } else if (c == ',') {
      // grouping is on for the whole section
    } else if ((c == 'E' || c == 'e') && scan.Scientific && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
      out += c;
      if (exponent < 0) out += '-';
      else if (s[i + 1] == '+') out += '+';
      i += 2;
      size_t zeros = 0;
      while (i < s.size() && s[i] == '0') ++zeros, ++i;
      std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
      if (e.size() < std::min<size_t>(zeros, 4)) e.insert(0, std::min<size_t>(zeros, 4) - e.size(), '0');
      out += e;
      exponentDone = true;
      continue;
    } else {
      out += c;
    }
    i += len;
  }
  return out;
}

// Picks the section for D (rounded as the positive section asks first) and
// lays the value through it; GENERAL gives the text when no pattern fits.
template <class General>
std::string FormatDecimal(std::string_view format, const Decimal& value, General general) {
  if (format.empty()) return general();
  std::vector<std::string_view> sections = FloatSections(format);
  SectionScan scan = ScanSection(sections[0]);
  long exponent;
  Decimal rounded = RoundFor(scan, value, exponent);
  if (!scan.Scientific && rounded.Exponent > kMaxWholeDigits) return general();
  size_t use = 0;
  if (rounded.IsZero() && sections.size() >= 3 && !sections[2].empty()) use = 2;
  else if (!rounded.IsZero() && value.Negative && sections.size() >= 2 && !sections[1].empty()) use = 1;
  if (use != 0) {
    scan = ScanSection(sections[use]);
    rounded = RoundFor(scan, value, exponent);
    if (!scan.Scientific && rounded.Exponent > kMaxWholeDigits) return general();
  }
  bool minus = use == 0 && value.Negative && !rounded.IsZero();
  return ApplySection(sections[use], scan, rounded, exponent, minus);
}

// ---- date-time patterns ----

constexpr double kFirstDay = -693593.0;  // 0001-01-01
constexpr double kDayAfterLast = 2958466.0;  // 10000-01-01

class DateTimeWriter {
 public:
  DateTimeWriter(double dateTime, const TFormatSettings& fs) : fs_(fs), parts_(win::DecodeDateTime(dateTime)) {
    win::DateTimeParts day = parts_;
    day.hour = day.minute = day.second = day.millisecond = 0;
    long days = static_cast<long>(std::floor(win::EncodeDateTime(day)));
    weekDay_ = static_cast<int>(((days % 7) + 13) % 7);  // 1899-12-30 was a Saturday
  }

  void Append(std::string_view f, int level) {
    if (level > 2) return;
    char lastToken = ' ';
    for (size_t i = 0; i < f.size();) {
      if (CharLen(f, i) == 2) {
        out_.append(f, i, 2);
        i += 2;
        lastToken = ' ';
        continue;
      }
      char starter = f[i];
      char token = Upper(starter);
      bool letter = token >= 'A' && token <= 'Z';
      if (letter) {
        if (token == 'M' && lastToken == 'H') token = 'N';
        lastToken = token;
      }
      size_t count = 1;
      if (letter && token != 'A')
        while (i + count < f.size() && Upper(f[i + count]) == Upper(starter)) ++count;
      size_t next = i + count;
      switch (token) {
        case 'Y': Number(count <= 2 ? parts_.year % 100 : parts_.year, count <= 2 ? 2 : 4); break;
        case 'E': Number(parts_.year, count == 1 ? 1 : 2); break;
        case 'G': break;  // no era names in a Gregorian calendar
        case 'M':
          if (count <= 2) Number(parts_.month, static_cast<int>(count));
          else out_ += (count == 3 ? fs_.ShortMonthNames : fs_.LongMonthNames)[parts_.month - 1];
          break;
        case 'D':
          if (count <= 2) Number(parts_.day, static_cast<int>(count));
          else if (count == 3) out_ += fs_.ShortDayNames[weekDay_];
          else if (count == 4) out_ += fs_.LongDayNames[weekDay_];
          else Append(count == 5 ? fs_.ShortDateFormat : fs_.LongDateFormat, level + 1);
          break;
        case 'H': {
          int h = parts_.hour;
          if (TwelveHours(f, next)) h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
          Number(h, count >= 2 ? 2 : 1);
          break;
        }
        case 'N': Number(parts_.minute, count >= 2 ? 2 : 1); break;
        case 'S': Number(parts_.second, count >= 2 ? 2 : 1); break;
        case 'Z': Number(parts_.millisecond, count >= 2 ? 3 : 1); break;
        case 'T': Append(count == 1 ? fs_.ShortTimeFormat : fs_.LongTimeFormat, level + 1); break;
        case 'C':
          Append(fs_.ShortDateFormat, level + 1);
          if (parts_.hour || parts_.minute || parts_.second || parts_.millisecond) {
            out_ += ' ';
            Append(fs_.LongTimeFormat, level + 1);
          }
          break;
        case 'A': next = AmPm(f, i); break;
        case '/': out_ += fs_.DateSeparator; break;
        case ':': out_ += fs_.TimeSeparator; break;
        case '\'':
        case '"': {
          size_t close = f.find(starter, i + 1);
          size_t end = close == std::string_view::npos ? f.size() : close;
          out_.append(f, i + 1, end - i - 1);
          next = close == std::string_view::npos ? f.size() : close + 1;
          break;
        }
        default: out_.append(f, i, count); break;
      }
      i = next;
    }
  }

  const std::string& Text() const { return out_; }

 private:
  void Number(int value, int width) {
    std::string v = std::to_string(value);
    if (static_cast<int>(v.size()) < width) v.insert(0, width - v.size(), '0');
    out_ += v;
  }

  static bool IsAmPm(std::string_view f, size_t i) {
    auto at = [&](std::string_view word) {
      if (f.size() - i < word.size()) return false;
      for (size_t k = 0; k < word.size(); ++k)
        if (Upper(f[i + k]) != word[k]) return false;
      return true;
    };
    return at("AM/PM") || at("A/P") || at("AMPM");
  }

  // Whether an am/pm marker follows before the next hour or other 'a'.
  static bool TwelveHours(std::string_view f, size_t from) {
    char quote = 0;
    for (size_t i = from; i < f.size(); i += CharLen(f, i)) {
      char c = f[i];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '\'' || c == '"') {
        quote = c;
      } else if (c == 'a' || c == 'A') {
        return IsAmPm(f, i);
      } else if (c == 'h' || c == 'H') {
        return false;
      }
    }
    return false;
  }

  // The marker at I as written ("am/pm", "A/P") or the settings' texts
  // ("ampm"); a lone 'a' stays. Returns the index after it.
  size_t AmPm(std::string_view f, size_t i) {
    bool pm = parts_.hour >= 12;
    auto at = [&](std::string_view word) {
      if (f.size() - i < word.size()) return false;
      for (size_t k = 0; k < word.size(); ++k)
        if (Upper(f[i + k]) != word[k]) return false;
      return true;
    };
    if (at("AM/PM")) {
      out_.append(f, pm ? i + 3 : i, 2);
      return i + 5;
    }
    if (at("A/P")) {
      out_ += f[pm ? i + 2 : i];
      return i + 3;
    }
    if (at("AMPM")) {
      out_ += pm ? fs_.TimePMString : fs_.TimeAMString;
      return i + 4;
    }
    out_ += f[i];
    return i + 1;
  }

  const TFormatSettings& fs_;
  win::DateTimeParts parts_;
  int weekDay_ = 0;  // Sunday 0
  std::string out_;
};

// ---- edit masks ----

struct MaskItem {
  bool Slot = false;
  std::string Literal;  // literals
  char Case = 0;        // slots: 'U', 'L' or 0
};

struct ParsedMask {
  std::vector<MaskItem> Items;
  bool Reverse = false;
  bool SaveLiterals = true;
  std::string Blank = " ";
};

ParsedMask ParseMask(std::string_view editMask) {
  const TFormatSettings& fs = FormatSettings();
  ParsedMask m;
  // The mask runs to the first ';' that no '\' makes a literal.
  size_t end = editMask.size();
  for (size_t i = 0; i < editMask.size(); i += CharLen(editMask, i)) {
    if (editMask[i] == '\\') {
      i += CharLen(editMask, i);
      if (i >= editMask.size()) break;
    } else if (editMask[i] == ';') {
      end = i;
      break;
    }
  }
  if (end < editMask.size()) {
    std::string_view rest = editMask.substr(end + 1);
    size_t semi = rest.find(';');
    std::string_view save = rest.substr(0, semi);
    m.SaveLiterals = !(save.size() == 1 && save[0] == '0');
    if (semi != std::string_view::npos && semi + 1 < rest.size())
      m.Blank = std::string(rest.substr(semi + 1, CharLen(rest, semi + 1)));
  }
  char caseMode = 0;
  std::string_view mask = editMask.substr(0, end);
  for (size_t i = 0; i < mask.size();) {
    size_t len = CharLen(mask, i);
    char c = mask[i];
    MaskItem item;
    if (len == 2) {
      item.Literal = std::string(mask.substr(i, 2));
    } else if (c == '\\') {
      i += 1;
      if (i >= mask.size()) break;
      len = CharLen(mask, i);
      item.Literal = std::string(mask.substr(i, len));
    } else if (c == '!') {
      m.Reverse = true;
      i += 1;
      continue;
    } else if (c == '>' || c == '<') {
      if (c == '<' && i + 1 < mask.size() && mask[i + 1] == '>') {
        caseMode = 0;
        i += 2;
      } else {
        caseMode = c == '>' ? 'U' : 'L';
        i += 1;
      }
      continue;
    } else if (std::string_view("LlAaCc09#").find(c) != std::string_view::npos) {
      item.Slot = true;
      item.Case = caseMode;
    } else if (c == ':') {
      item.Literal = std::string(1, fs.TimeSeparator);
    } else if (c == '/') {
      item.Literal = std::string(1, fs.DateSeparator);
    } else if (c == '_') {
      item.Literal = " ";
    } else {
      item.Literal = std::string(1, c);
    }
    m.Items.push_back(std::move(item));
    i += len;
  }
  return m;
}

std::string WithCase(const std::string& ch, char mode) {
  if (ch.size() != 1 || !mode) return ch;
  return std::string(1, mode == 'U' ? Upper(ch[0]) : Lower(ch[0]));
}

// VALUE with DIGITS decimals, the whole digits written out.
std::string FixedText(const Decimal& value, int digits, bool grouped) {
  Decimal d = value;
  RoundToDecimals(d, digits);
  std::string whole = WholeDigits(d);
  if (whole.empty()) whole = "0";
  std::string number = Grouped(whole, grouped);
  if (digits > 0) number += FormatSettings().DecimalSeparator + FractionDigits(d, digits);
  return d.Negative && !d.IsZero() ? "-" + number : number;
}

}  // namespace

std::string FloatToStrF(long double value, TFloatFormat format, int precision, int digits) {
  precision = std::clamp(precision, 1, 19);
  digits = std::clamp(digits, 0, 18);
  if (format == ffGeneral) return ExtendedToStrG(value, precision);
  if (!std::isfinite(value)) return ExtendedToStrG(value, precision);
  if (format == ffExponent) return ExponentText(value, precision);
  Decimal d = FromExtended(value, precision);
  if (format != ffCurrency && d.Exponent > precision) return ExponentText(value, precision);
  std::string number = FixedText(d, digits, format != ffFixed);
  if (format != ffCurrency) return number;
  const bool negative = number[0] == '-';
  if (negative) number.erase(0, 1);
  // '$' stands for the currency string, '1' for the number.
  static constexpr const char* kPositive[] = {"$1", "1$", "$ 1", "1 $"};
  static constexpr const char* kNegative[] = {"($1)", "-$1", "$-1", "$1-", "(1$)", "-1$", "1-$", "1$-",
                                              "-1 $", "-$ 1", "1 $-", "$ 1-", "$ -1", "1- $", "($ 1)", "(1 $)"};
  const TFormatSettings& fs = FormatSettings();
  const char* pattern = negative ? kNegative[fs.NegCurrFormat % 16] : kPositive[fs.CurrencyFormat % 4];
  std::string out;
  for (const char* c = pattern; *c; ++c) {
    if (*c == '$') out += fs.CurrencyString;
    else if (*c == '1') out += number;
    else out += *c;
  }
  return out;
}

std::string FloatToFixed(long double value, int digits, bool grouped, int precision) {
  if (!std::isfinite(value)) return ExtendedToStrG(value, precision);
  return FixedText(FromExtended(value, precision), std::clamp(digits, 0, 200), grouped);
}

std::string FormatFloat(std::string_view format, long double value, int precision) {
  auto general = [&] { return ExtendedToStrG(value, 18); };
  if (!std::isfinite(value)) return general();
  return FormatDecimal(format, FromExtended(value, precision), general);
}

std::string FormatCurr(std::string_view format, Currency value) {
  auto general = [&] { return CurrToStr(value); };
  return FormatDecimal(format, FromCurrency(value), general);
}

bool IsValidDateTime(double dateTime) {
  if (!(dateTime >= kFirstDay - 1 && dateTime < kDayAfterLast + 1)) return false;
  int year = win::DecodeDateTime(dateTime).year;
  return year >= 1 && year <= 9999;
}

std::string FormatDateTime(std::string_view format, double dateTime) {
  if (!IsValidDateTime(dateTime))
    throw EConvertError("'" + FloatToStrG(dateTime) + "' is not a valid date and time");
  DateTimeWriter w(dateTime, FormatSettings());
  w.Append(format.empty() ? std::string_view("c") : format, 0);
  return w.Text();
}

std::string DateToStr(double dateTime) {
  return IsValidDateTime(dateTime) ? FormatDateTime("ddddd", dateTime) : FloatToStrG(dateTime);
}
std::string TimeToStr(double dateTime) {
  return IsValidDateTime(dateTime) ? FormatDateTime("tt", dateTime) : FloatToStrG(dateTime);
}
std::string DateTimeToStr(double dateTime) {
  return IsValidDateTime(dateTime) ? FormatDateTime("c", dateTime) : FloatToStrG(dateTime);
}

std::string FormatMaskText(std::string_view editMask, std::string_view value) {
  ParsedMask m = ParseMask(editMask);
  std::vector<std::string> chars;
  for (size_t i = 0; i < value.size();) {
    size_t len = CharLen(value, i);
    chars.emplace_back(value.substr(i, len));
    i += len;
  }
  std::vector<std::string> laid(m.Items.size());
  const long n = static_cast<long>(chars.size());
  if (!m.SaveLiterals) {
    // The value is the slots' characters only.
    long slots = 0;
    for (const MaskItem& item : m.Items) slots += item.Slot;
    long next = m.Reverse ? n - slots : 0;  // value index of the first slot
    for (size_t k = 0; k < m.Items.size(); ++k) {
      if (!m.Items[k].Slot) continue;
      laid[k] = next >= 0 && next < n ? WithCase(chars[next], m.Items[k].Case) : m.Blank;
      ++next;
    }
  } else {
    // The value holds the literals: each run of slots takes the characters
    // up to the literal that follows it, laid from its side.
    long vi = 0;
    for (size_t k = 0; k < m.Items.size();) {
      if (!m.Items[k].Slot) {
        if (vi < n && chars[vi] == m.Items[k].Literal) ++vi;
        ++k;
        continue;
      }
      size_t runEnd = k;
      while (runEnd < m.Items.size() && m.Items[runEnd].Slot) ++runEnd;
      const std::string* stop = runEnd < m.Items.size() ? &m.Items[runEnd].Literal : nullptr;
      std::vector<std::string> taken;
      while (vi < n && taken.size() < runEnd - k && !(stop && chars[vi] == *stop)) taken.push_back(chars[vi++]);
      size_t pad = (runEnd - k) - taken.size();
      for (size_t s = k; s < runEnd; ++s) {
        size_t at = s - k;
        if (m.Reverse) laid[s] = at < pad ? m.Blank : WithCase(taken[at - pad], m.Items[s].Case);
        else laid[s] = at < taken.size() ? WithCase(taken[at], m.Items[s].Case) : m.Blank;
      }
      k = runEnd;
    }
  }
  std::string out;
  for (size_t k = 0; k < m.Items.size(); ++k) out += m.Items[k].Slot ? laid[k] : m.Items[k].Literal;
  return out;
}

}  // namespace cls
