#include "platform/classes/sysutils.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <pthread.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "platform/process/clock.h"
#include "platform/registry/registry.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace cls {
namespace {

[[noreturn]] void BadFormat(std::string_view format) {
  throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string Pad(std::string s, int width, bool left) {
  if (width > 0 && static_cast<int>(s.size()) < width) {
    std::string fill(width - s.size(), ' ');
    s = left ? s + fill : fill + s;
  }
  return s;
}

std::string WithSeparator(std::string s) {
  char sep = FormatSettings().DecimalSeparator;
  if (sep != '.')
    for (char& c : s)
      if (c == '.') c = sep;
  return s;
}

char FoldLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c); }

// A Windows date or time pattern in the class library's letters: months M
// are m; in a time pattern minutes m are n, hours H are h and the marker t
// or tt is ampm. Quoted text and Big5 characters stay as they are.
std::string FromWindowsPattern(const std::string& v, bool time) {
  std::string out;
  char quote = 0;
  for (size_t i = 0; i < v.size(); ++i) {
    char c = v[i];
    if (cp::IsBig5Lead(static_cast<unsigned char>(c)) && i + 1 < v.size()) {
      out.append(v, i++, 2);
      continue;
    }
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == 'M') {
      c = 'm';
    } else if (time && c == 'm') {
      c = 'n';
    } else if (time && c == 'H') {
      c = 'h';
    } else if (time && c == 't') {
      while (i + 1 < v.size() && v[i + 1] == 't') ++i;
      out += "ampm";
      continue;
    }
    out += c;
  }
  return out;
}


}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
}

TFormatSettings SystemFormatSettings() {
  TFormatSettings s;
  const reg::Tree tree = reg::Load(reg::Hive::CurrentUser);
  const std::string key = "Control Panel\\International";
  auto text = [&](const char* name) { return tree.GetValue(key, name).value_or(std::string()); };
  auto number = [&](const char* name, int max, uint8_t& out) {
    int64_t v;
    if (TryStrToInt(text(name), v) && v >= 0 && v <= max) out = static_cast<uint8_t>(v);
  };
  auto separator = [&](const char* name, char& out) {
    std::string v = text(name);
    if (v.size() == 1) out = v[0];
  };
  separator("sDecimal", s.DecimalSeparator);
  separator("sThousand", s.ThousandSeparator);
  separator("sDate", s.DateSeparator);
  separator("sTime", s.TimeSeparator);
  if (std::string v = text("sShortDate"); !v.empty()) s.ShortDateFormat = FromWindowsPattern(v, false);
  if (std::string v = text("sLongDate"); !v.empty()) s.LongDateFormat = FromWindowsPattern(v, false);
  if (std::string v = text("sTimeFormat"); !v.empty()) s.LongTimeFormat = FromWindowsPattern(v, true);
  if (std::string v = text("sShortTime"); !v.empty()) s.ShortTimeFormat = FromWindowsPattern(v, true);
  if (tree.GetValue(key, "s1159")) s.TimeAMString = text("s1159");
  if (tree.GetValue(key, "s2359")) s.TimePMString = text("s2359");
  if (tree.GetValue(key, "sCurrency")) s.CurrencyString = text("sCurrency");
  number("iCurrency", 3, s.CurrencyFormat);
  number("iNegCurr", 15, s.NegCurrFormat);
  number("iCurrDigits", 18, s.CurrencyDecimals);
  return s;
}

void LoadFormatSettings() { FormatSettings() = SystemFormatSettings(); }

Currency Currency::FromDouble(double value) {
  double scaled = std::nearbyint(value * 10000.0);
  if (!(scaled > -9.2233720368547e18 && scaled < 9.2233720368547e18))
    throw EConvertError(FloatToStrG(value) + " is not a valid currency value");
  return Currency{static_cast<int64_t>(scaled)};
}

std::string CurrToStr(Currency value) {
  uint64_t magnitude = value.Scaled < 0 ? 0 - static_cast<uint64_t>(value.Scaled) : static_cast<uint64_t>(value.Scaled);
  std::string out = value.Scaled < 0 ? "-" : "";
  out += std::to_string(magnitude / 10000);
  std::string fraction = std::to_string(magnitude % 10000);
  fraction = std::string(4 - fraction.size(), '0') + fraction;
  while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
  if (!fraction.empty()) out += FormatSettings().DecimalSeparator + fraction;
  return out;
}

bool TryStrToCurr(std::string_view text, Currency& value) {
  std::string s = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  __int128 scaled = 0;
  int decimals = -1, digits = 0;
  int roundDigit = -1;
  bool restNonZero = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == FormatSettings().DecimalSeparator && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') return false;
    ++digits;
    if (decimals >= 4) {
      // Beyond four decimals only the rounding matters.
      if (roundDigit < 0) roundDigit = c - '0';
      else if (c != '0') restNonZero = true;
      continue;
    }
    scaled = scaled * 10 + (c - '0');
    if (scaled > static_cast<__int128>(INT64_MAX) * 10) return false;
    if (decimals >= 0) ++decimals;
  }
  if (digits == 0) return false;
  for (int d = decimals < 0 ? 0 : decimals; d < 4; ++d) scaled *= 10;
  if (roundDigit > 5 || (roundDigit == 5 && (restNonZero || (scaled & 1)))) ++scaled;
  if (negative) scaled = -scaled;
  if (scaled > INT64_MAX || scaled < INT64_MIN) return false;
  value.Scaled = static_cast<int64_t>(scaled);
  return true;
}

Currency StrToCurr(std::string_view text) {
  Currency v;
  if (!TryStrToCurr(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid currency value");
  return v;
}

std::string Format(std::string_view format, const std::vector<TVarRec>& args) {
  std::string out;
  size_t next = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) BadFormat(format);
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    // [index:][-][width][.precision]type
    auto readNumber = [&](int& value) {
      bool any = false;
      value = 0;
      if (i < format.size() && format[i] == '*') {
        if (next >= args.size() || args[next].kind() != TVarRec::vInteger) BadFormat(format);
        value = static_cast<int>(args[next++].AsInteger());
        ++i;
        return true;
      }
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        if (value > 100000) BadFormat(format);
        value = value * 10 + (format[i] - '0');
        ++i;
        any = true;
      }
      return any;
    };
    int number = 0;
    bool left = false;
    int width = -1, precision = -1;
    size_t save = i;
    if (readNumber(number) && i < format.size() && format[i] == ':') {
      next = static_cast<size_t>(number);
      ++i;
    } else {
      i = save;
    }
    if (i < format.size() && format[i] == '-') {
      left = true;
      ++i;
    }
    if (readNumber(number)) width = number;
    if (i < format.size() && format[i] == '.') {
      ++i;
      if (!readNumber(number)) number = 0;
      precision = number;
    }
    if (i >= format.size()) BadFormat(format);
    char type = static_cast<char>(FoldLower(static_cast<unsigned char>(format[i])));
    if (next >= args.size()) BadFormat(format);
    const TVarRec& arg = args[next++];
    std::string piece;
    char buf[512];
    switch (type) {
      case 'd':
      case 'u':
      case 'x': {
        if (arg.kind() != TVarRec::vInteger) BadFormat(format);
        int64_t v = arg.AsInteger();
        if (type == 'x') {
          std::snprintf(buf, sizeof buf, "%llX", static_cast<unsigned long long>(v));
        } else if (type == 'u') {
          std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(static_cast<uint32_t>(v)));
        } else {
          std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
        }
        piece = buf;
        if (precision > 0) {
          bool neg = !piece.empty() && piece[0] == '-';
          std::string digits = neg ? piece.substr(1) : piece;
          if (static_cast<int>(digits.size()) < precision)
            digits = std::string(precision - digits.size(), '0') + digits;
          piece = neg ? "-" + digits : digits;
        }
        break;
      }
      case 'e':
      case 'f':
      case 'g':
      case 'n':
      case 'm': {
        double v;
        if (arg.kind() == TVarRec::vFloat)
          v = arg.AsFloat();
        else if (arg.kind() == TVarRec::vInteger)
          v = static_cast<double>(arg.AsInteger());
        else
          BadFormat(format);
        if (precision > 200) precision = 200;
        if (type == 'm') {
          piece = FloatToStrF(v, ffCurrency, 15, precision < 0 ? FormatSettings().CurrencyDecimals : precision);
        } else if (type == 'e') {
          std::snprintf(buf, sizeof buf, "%.*E", precision < 0 ? 14 : (precision > 0 ? precision - 1 : 0), v);
          piece = WithSeparator(buf);
        } else if (type == 'g') {
          piece = WithSeparator(FloatToStrG(v, precision <= 0 ? 15 : precision));
        } else {
          piece = FloatToFixed(v, precision < 0 ? 2 : precision, type != 'f');
        }
        break;
      }
      case 's':
        if (arg.kind() != TVarRec::vString) BadFormat(format);
        piece = arg.AsString();
        if (precision >= 0 && static_cast<size_t>(precision) < piece.size()) piece.resize(precision);
        break;
      default:
        BadFormat(format);
    }
    out += Pad(piece, width, left);
  }
  return out;
}

int AnsiCompareText(std::string_view a, std::string_view b) {
  std::string fa = cp::LowerAscii(std::string(a)), fb = cp::LowerAscii(std::string(b));
  size_t n = std::min(fa.size(), fb.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(fa[i]), y = static_cast<unsigned char>(fb[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (fa.size() == fb.size()) return 0;
  return fa.size() < fb.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) { return cp::SameText(a, b); }

std::string AnsiLowerCase(std::string_view s) { return cp::LowerAscii(std::string(s)); }
std::string AnsiUpperCase(std::string_view s) { return cp::UpperAscii(std::string(s)); }

bool IsValidIdent(std::string_view name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
  if (!alpha(name[0])) return false;
  for (char c : name.substr(1))
    if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
  return true;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(std::string_view text, int64_t& value) {
  std::string s = Trim(text);
  if (s.empty()) return false;
  size_t i = 0;
  bool neg = false;
  if (s[i] == '-' || s[i] == '+') neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  uint64_t v = 0;
  for (; i < s.size(); ++i) {
    int d;
    char c = s[i];
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    if (v > (UINT64_MAX - d) / base) return false;
    v = v * base + d;
  }
  if (base == 10 && v > static_cast<uint64_t>(INT64_MAX) + (neg ? 1 : 0)) return false;
  value = neg ? static_cast<int64_t>(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t StrToInt(std::string_view text) {
  int64_t v;
  if (!TryStrToInt(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
  return v;
}

int64_t StrToIntDef(std::string_view text, int64_t fallback) {
  int64_t v;
  return TryStrToInt(text, v) ? v : fallback;
}

bool TryStrToFloat(std::string_view text, double& value) {
  std::string s = Trim(text);
  if (s.empty()) return false;
  char sep = FormatSettings().DecimalSeparator;
  for (char& c : s) {
    if (c == sep) c = '.';
    else if (c == '.' && sep != '.') return false;
  }
  for (char c : s)
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || errno == ERANGE) return false;
  value = v;
  return true;
}

double StrToFloat(std::string_view text) {
  double v;
  if (!TryStrToFloat(text, v)) throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
  return v;
}

std::string ExtendedToStrG(long double value, int precision) {
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*LG", precision, value);
  std::string s = buf;
  // The system writes exponents as E+XX only when they are needed.
  size_t e = s.find('E');
  if (e != std::string::npos) {
    std::string mant = s.substr(0, e), ex = s.substr(e + 1);
    char sign = ex[0];
    ex = ex.substr(1);
    while (ex.size() > 2 && ex[0] == '0') ex.erase(0, 1);
    s = mant + "E" + sign + ex;
  }
  return WithSeparator(s);
}

std::string FloatToStrG(double value, int precision) { return ExtendedToStrG(value, precision); }

std::string TrimLeft(std::string_view s) {
  size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return std::string(s.substr(i));
}
std::string TrimRight(std::string_view s) {
  size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return std::string(s.substr(0, n));
}
std::string Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

namespace {

// The numbers of a date-time text in order, and whether it names the
// morning or the afternoon (the settings' strings or AM/PM, case ignored).
struct DateTimeText {
  std::vector<int> nums;
  int noon = -1;  // -1 neither, 0 morning, 1 afternoon
};

bool StartsWithNoCase(std::string_view s, size_t at, const std::string& word) {
  return !word.empty() && s.size() - at >= word.size() && SameText(s.substr(at, word.size()), word);
}

DateTimeText ScanDateTime(std::string_view text) {
  DateTimeText t;
  const TFormatSettings& fs = FormatSettings();
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] >= '0' && text[i] <= '9') {
      long v = 0;
      while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        v = v * 10 + (text[i] - '0');
        if (v > 100000) break;
        ++i;
      }
      t.nums.push_back(static_cast<int>(v));
      continue;
    }
    const std::string* words[] = {&fs.TimeAMString, &fs.TimePMString};
    const std::string ascii[] = {"AM", "PM"};
    int noon = -1;
    size_t length = 0;
    for (int k = 0; k < 2 && noon < 0; ++k) {
      if (StartsWithNoCase(text, i, *words[k])) noon = k, length = words[k]->size();
      else if (StartsWithNoCase(text, i, ascii[k])) noon = k, length = 2;
    }
    if (noon >= 0) {
      t.noon = noon;
      i += length;
    } else {
      i += cp::IsBig5Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
    }
  }
  return t;
}

// Hours, minutes and seconds from NUMS[FIRST...]; false when out of range.
bool ReadTimeParts(const DateTimeText& t, size_t first, win::DateTimeParts& p) {
  p.hour = t.nums[first];
  p.minute = first + 1 < t.nums.size() ? t.nums[first + 1] : 0;
  p.second = first + 2 < t.nums.size() ? t.nums[first + 2] : 0;
  // A marker makes hours 1 to 12 count twelve; a time written with the
  // marker and a 24-hour hour ("ampm hh" writes "下午 15:08") keeps it.
  if (t.noon >= 0 && p.hour >= 1 && p.hour <= 12) {
    if (p.hour == 12) p.hour = 0;
    if (t.noon == 1) p.hour += 12;
  }
  return p.hour <= 23 && p.minute <= 59 && p.second <= 59;
}

// The date from the first three numbers in the short date format's order.
bool ReadDateParts(const DateTimeText& t, win::DateTimeParts& p) {
  std::string order;
  for (char c : FormatSettings().ShortDateFormat) {
    char f = static_cast<char>(FoldLower(static_cast<unsigned char>(c)));
    if ((f == 'y' || f == 'm' || f == 'd') && (order.empty() || order.back() != f)) order += f;
  }
  if (order.size() != 3) order = "ymd";
  for (int k = 0; k < 3; ++k) {
    if (order[k] == 'y') p.year = t.nums[k] < 100 ? t.nums[k] + 2000 : t.nums[k];
    if (order[k] == 'm') p.month = t.nums[k];
    if (order[k] == 'd') p.day = t.nums[k];
  }
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > kDays[p.month - 1] || p.year < 1 || p.year > 9999)
    return false;
  bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
  return p.month != 2 || p.day != 29 || leap;
}

}  // namespace

double StrToDateTime(std::string_view text) {
  // The numbers in the order of the short date format and then an optional
  // time hh:nn[:ss].
  DateTimeText t = ScanDateTime(text);
  win::DateTimeParts p;
  size_t n = t.nums.size();
  if ((n != 3 && n != 5 && n != 6) || !ReadDateParts(t, p) || (n > 3 && !ReadTimeParts(t, 3, p)))
    throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
  return win::EncodeDateTime(p);
}

double StrToDate(std::string_view text) {
  DateTimeText t = ScanDateTime(text);
  win::DateTimeParts p;
  if (t.nums.size() != 3 || t.noon >= 0 || !ReadDateParts(t, p))
    throw EConvertError("'" + std::string(text) + "' is not a valid date");
  return win::EncodeDateTime(p);
}

double StrToTime(std::string_view text) {
  DateTimeText t = ScanDateTime(text);
  win::DateTimeParts p;
  if (t.nums.empty() || t.nums.size() > 3 || !ReadTimeParts(t, 0, p))
    throw EConvertError("'" + std::string(text) + "' is not a valid time");
  return win::EncodeDateTime(p);
}

}  // namespace cls

namespace win {
namespace {
const std::thread::id* g_main = nullptr;
struct MainThreadMark {
  MainThreadMark() {
    static const std::thread::id id = std::this_thread::get_id();
    g_main = &id;
  }
} g_mark;
}  // namespace

std::string GetTempPath() {
  const std::string dir = "C:\\Windows\\Temp\\";
  if (!DirectoryExists(dir)) CreateDirectory("C:\\Windows\\Temp");
  return dir;
}

std::string GetTempFileName(const std::string& folder, const std::string& prefix) {
  static std::mutex m;
  std::lock_guard<std::mutex> lock(m);
  static unsigned counter = static_cast<unsigned>(getpid()) & 0xFFFF;
  for (int attempt = 0; attempt < 65535; ++attempt) {
    counter = (counter + 1) & 0xFFFF;
    if (counter == 0) counter = 1;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X.tmp", counter);
    std::string name = sysroot::JoinWin(folder, prefix.substr(0, 3) + buf);
    std::string host = sysroot::HostPath(name);
    int fd = ::open(host.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) {
      SetLastErrorFromErrno(errno);
      return {};
    }
  }
  SetLastError(ERROR_ALREADY_EXISTS);
  return {};
}

unsigned long GetCurrentThreadId() { return static_cast<unsigned long>(::syscall(SYS_gettid)); }

bool IsMainThread() { return g_main && std::this_thread::get_id() == *g_main; }

}  // namespace win
