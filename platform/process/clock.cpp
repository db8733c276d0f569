#include "clock.h"

#include <thread>  // std::chrono clocks; <chrono> itself does not build under CP950
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <ctime>
#include <mutex>
#include <time.h>
#include <unistd.h>

namespace win {
namespace {

std::mutex g_mutex;
std::optional<TDateTime> g_fixed;

// Days from 1899-12-30 to the given civil date (proleptic Gregorian).
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468 + 25569;  // 1970-01-01 is day 25569
}

void CivilFromDays(long z, int& y, int& m, int& d) {
  z -= 25569;
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe) + static_cast<int>(era) * 400 + (m <= 2);
}

constexpr double kMsPerDay = 86400000.0;

std::int64_t UnixMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// The clock ZOLMET_CLOCK sets: its time, and the Unix time it showed it at
// when it runs.
struct EnvSetting {
  TDateTime time = 0;
  std::optional<std::int64_t> at;
};

std::optional<EnvSetting> ReadEnvClock() {
  const char* env = std::getenv("ZOLMET_CLOCK");
  if (!env || !*env) return std::nullopt;
  DateTimeParts p;
  int used = 0;
  if (std::sscanf(env, "%d-%d-%d %d:%d:%d%n", &p.year, &p.month, &p.day, &p.hour, &p.minute, &p.second,
                  &used) < 3)
    return std::nullopt;
  const char* rest = used > 0 ? env + used : std::strchr(env, '@');
  if (rest && *rest == '.') {
    int ms = 0, digits = 0;
    for (++rest; *rest >= '0' && *rest <= '9'; ++rest)
      if (digits++ < 3) ms = ms * 10 + (*rest - '0');
    while (digits++ < 3) ms *= 10;
    p.millisecond = ms;
  }
  EnvSetting e{EncodeDateTime(p), std::nullopt};
  if (rest && *rest == '@') {
    long long at = 0;
    if (std::sscanf(rest + 1, "%lld", &at) == 1) {
      e.at = at;
    } else {
      // Runs from now; the children started from here on share the clock.
      e.at = UnixMs();
      std::string shared(env, static_cast<size_t>(rest - env));
      shared += "@" + std::to_string(*e.at);
      setenv("ZOLMET_CLOCK", shared.c_str(), 1);
    }
  }
  return e;
}

const std::optional<EnvSetting>& EnvClock() {
  static const std::optional<EnvSetting> env = ReadEnvClock();
  return env;
}

// Milliseconds since the process started, as the system recorded its start
// (in clock ticks since boot, rounded up here so that the start is never
// placed before it was).
std::optional<double> ProcessAgeMs() {
  std::FILE* f = std::fopen("/proc/self/stat", "r");
  if (!f) return std::nullopt;
  char line[1024];
  const bool read = std::fgets(line, sizeof line, f) != nullptr;
  std::fclose(f);
  const char* close = read ? std::strrchr(line, ')') : nullptr;
  if (!close) return std::nullopt;
  // Field 22, starttime, is the 20th after the command's closing parenthesis.
  const char* field = close + 1;
  for (int i = 0; i < 19 && field; ++i) field = std::strchr(field + 1, ' ');
  unsigned long long ticks = 0;
  const long hz = sysconf(_SC_CLK_TCK);
  timespec boot{};
  if (!field || std::sscanf(field, " %llu", &ticks) != 1 || hz <= 0 || clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
    return std::nullopt;
  const double started = static_cast<double>(ticks + 1) * 1000.0 / static_cast<double>(hz);
  const double now = static_cast<double>(boot.tv_sec) * 1000.0 + static_cast<double>(boot.tv_nsec) / 1e6;
  return std::max(0.0, now - started);
}

}  // namespace

TDateTime EncodeDateTime(const DateTimeParts& p) {
  double day = static_cast<double>(DaysFromCivil(p.year, p.month, p.day));
  double frac = (p.hour * 3600000.0 + p.minute * 60000.0 + p.second * 1000.0 + p.millisecond) /
                86400000.0;
  return day + frac;
}

DateTimeParts DecodeDateTime(TDateTime t) {
  DateTimeParts p;
  double day = std::floor(t);
  long long ms = std::llround((t - day) * 86400000.0);
  long d = static_cast<long>(day);
  if (ms >= 86400000) {
    ms -= 86400000;
    ++d;
  }
  CivilFromDays(d, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

TDateTime Now() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_fixed) return *g_fixed;
  }
  if (const auto& env = EnvClock()) return env->at ? env->time + static_cast<double>(UnixMs() - *env->at) / kMsPerDay : env->time;
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  int ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  DateTimeParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
  return EncodeDateTime(p);
}

TDateTime ProcessStartTime() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_fixed) return *g_fixed;
  }
  if (const auto& env = EnvClock(); env && !env->at) return env->time;
  // The age first: read the other way round, the time between the two
  // readings would place the start too early.
  const std::optional<double> age = ProcessAgeMs();
  const TDateTime now = Now();
  return age ? now - *age / kMsPerDay : now;
}

void SetNowForTesting(std::optional<TDateTime> fixed) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_fixed = fixed;
}

std::uint64_t MonotonicMs() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

}  // namespace win
