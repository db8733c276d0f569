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

std::string GroupThousands(const std::string& digits) {
  // DIGITS may start with '-' and hold a '.' fraction.
  size_t start = digits[0] == '-' ? 1 : 0;
  size_t dot = digits.find('.');
  size_t end = dot == std::string::npos ? digits.size() : dot;
  std::string out = digits.substr(0, start);
  for (size_t i = start; i < end; ++i) {
    out += digits[i];
    size_t left = end - i - 1;
    if (left > 0 && left % 3 == 0) out += FormatSettings().ThousandSeparator;
  }
  out += digits.substr(end);
  return out;
}

char FoldLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : static_cast<char>(c); }


}  // namespace

TFormatSettings& FormatSettings() {
  static TFormatSettings settings;
  return settings;
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
        if (type == 'e') {
          std::snprintf(buf, sizeof buf, "%.*E", precision < 0 ? 14 : (precision > 0 ? precision - 1 : 0), v);
          piece = WithSeparator(buf);
        } else if (type == 'g') {
          piece = WithSeparator(FloatToStrG(v, precision <= 0 ? 15 : precision));
        } else {
          std::snprintf(buf, sizeof buf, "%.*f", precision < 0 ? 2 : precision, v);
          piece = buf;
          if (type != 'f') piece = GroupThousands(piece);
          piece = WithSeparator(piece);
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

std::string FloatToStrG(double value, int precision) {
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*G", precision, value);
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

std::string FormatParts(const std::string& pattern, const win::DateTimeParts& p) {
  std::string out;
  for (size_t i = 0; i < pattern.size();) {
    char c = static_cast<char>(FoldLower(static_cast<unsigned char>(pattern[i])));
    size_t run = 1;
    while (i + run < pattern.size() && FoldLower(static_cast<unsigned char>(pattern[i + run])) == c) ++run;
    int value = -1;
    switch (c) {
      case 'y': value = run <= 2 ? p.year % 100 : p.year; break;
      case 'm': value = p.month; break;
      case 'd': value = p.day; break;
      case 'h': value = p.hour; break;
      case 'n': value = p.minute; break;
      case 's': value = p.second; break;
      default: break;
    }
    if (value < 0) {
      out.append(pattern, i, run);
    } else {
      std::string v = std::to_string(value);
      size_t want = c == 'y' ? (run <= 2 ? 2 : 4) : (run >= 2 ? 2 : 1);
      while (v.size() < want) v = "0" + v;
      out += v;
    }
    i += run;
  }
  return out;
}

}  // namespace

std::string DateToStr(double dateTime) {
  return FormatParts(FormatSettings().ShortDateFormat, win::DecodeDateTime(dateTime));
}
std::string TimeToStr(double dateTime) {
  return FormatParts(FormatSettings().LongTimeFormat, win::DecodeDateTime(dateTime));
}
std::string DateTimeToStr(double dateTime) {
  win::DateTimeParts p = win::DecodeDateTime(dateTime);
  std::string s = DateToStr(dateTime);
  if (p.hour || p.minute || p.second || p.millisecond) {
    s += ' ';
    s += TimeToStr(dateTime);
  }
  return s;
}

double StrToDateTime(std::string_view text) {
  // Reads the numbers in the order of the short date format and then
  // an optional time hh[:nn[:ss]].
  std::string s = Trim(text);
  std::vector<int> nums;
  std::vector<char> seps;
  size_t i = 0;
  while (i < s.size()) {
    if (s[i] >= '0' && s[i] <= '9') {
      long v = 0;
      while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = v * 10 + (s[i] - '0');
        if (v > 100000) break;
        ++i;
      }
      nums.push_back(static_cast<int>(v));
    } else {
      seps.push_back(s[i]);
      ++i;
    }
  }
  auto fail = [&]() -> double { throw EConvertError("'" + std::string(text) + "' is not a valid date and time"); };
  if (nums.size() != 3 && nums.size() != 5 && nums.size() != 6) fail();
  std::string order;
  for (char c : FormatSettings().ShortDateFormat) {
    char f = static_cast<char>(FoldLower(static_cast<unsigned char>(c)));
    if ((f == 'y' || f == 'm' || f == 'd') && (order.empty() || order.back() != f)) order += f;
  }
  if (order.size() != 3) order = "ymd";
  win::DateTimeParts p;
  for (int k = 0; k < 3; ++k) {
    if (order[k] == 'y') p.year = nums[k] < 100 ? nums[k] + 2000 : nums[k];
    if (order[k] == 'm') p.month = nums[k];
    if (order[k] == 'd') p.day = nums[k];
  }
  if (nums.size() >= 5) {
    p.hour = nums[3];
    p.minute = nums[4];
    p.second = nums.size() == 6 ? nums[5] : 0;
  }
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > kDays[p.month - 1] || p.year < 1 || p.year > 9999 ||
      p.hour > 23 || p.minute > 59 || p.second > 59)
    fail();
  bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
  if (p.month == 2 && p.day == 29 && !leap) fail();
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
