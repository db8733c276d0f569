#include "clock.h"

#include <thread>  // std::chrono clocks; <chrono> itself does not build under CP950
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

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

std::optional<TDateTime> EnvClock() {
  const char* env = std::getenv("ZOLMET_CLOCK");
  if (!env || !*env) return std::nullopt;
  DateTimeParts p;
  if (std::sscanf(env, "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour, &p.minute,
                  &p.second) < 3)
    return std::nullopt;
  return EncodeDateTime(p);
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
  static const std::optional<TDateTime> env = EnvClock();
  if (env) return *env;
  auto now = std::chrono::system_clock::now();
  std::time_t secs = std::chrono::system_clock::to_time_t(now);
  int ms = static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
  localtime_r(&secs, &tm);
  DateTimeParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms};
  return EncodeDateTime(p);
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
