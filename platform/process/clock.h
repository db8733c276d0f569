// Local date and time as the system counts it: days since 1899-12-30 with
// the time of day as the fraction. Tests can set the clock: in-process with
// SetNowForTesting, for a child process with ZOLMET_CLOCK="YYYY-MM-DD hh:mm:ss".
#pragma once
#include <cstdint>
#include <optional>

namespace win {

using TDateTime = double;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

TDateTime Now();
void SetNowForTesting(std::optional<TDateTime> fixed);

TDateTime EncodeDateTime(const DateTimeParts& p);
DateTimeParts DecodeDateTime(TDateTime t);

// Milliseconds from a monotonic clock (timers and time limits).
std::uint64_t MonotonicMs();

}  // namespace win
