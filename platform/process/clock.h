// Local date and time as the system counts it: days since 1899-12-30 with
// the time of day as the fraction. Tests can set the clock: in-process with
// SetNowForTesting; for a process and the children it starts with
// ZOLMET_CLOCK = "YYYY-MM-DD hh:mm:ss[.zzz]", a clock that stands still,
// or that time followed by "@U": a clock that showed it at the Unix time U
// (milliseconds) and runs on from there. A bare "@" sets U to the moment
// of the process's first reading, and its children share that clock.
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

// When this process started, as the system recorded it (not when its code
// began to run), on the clock of Now. A clock that stands still gives its
// one time; Now when the system does not tell.
TDateTime ProcessStartTime();

TDateTime EncodeDateTime(const DateTimeParts& p);
DateTimeParts DecodeDateTime(TDateTime t);

// Milliseconds from a monotonic clock (timers and time limits).
std::uint64_t MonotonicMs();

}  // namespace win
