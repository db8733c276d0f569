// Display formats and edit masks come from templates and users: the float,
// amount, date-time and mask interpreters take any pattern bytes without
// fault, raise only a conversion error for a date outside the calendar, and
// make text bounded by the pattern's length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "platform/classes/sysutils.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::Init();
  return 0;
}

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

// Byte 0 picks the settings, bytes 1-8 are the value, the rest the pattern.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 9) return 0;
  cls::TFormatSettings& fs = cls::FormatSettings();
  fs = cls::TFormatSettings();
  if (data[0] & 1) {
    fs.DecimalSeparator = ',';
    fs.ThousandSeparator = '.';
    fs.DateSeparator = '-';
    fs.TimeSeparator = '.';
  }
  if (data[0] & 2) fs.ShortDateFormat = "dddddd c tt";  // nests as deep as it goes
  double value;
  std::memcpy(&value, data + 1, sizeof value);
  int64_t scaled;
  std::memcpy(&scaled, data + 1, sizeof scaled);
  std::string pattern(reinterpret_cast<const char*>(data + 9), size - 9);
  // A double's whole digits (309, grouped) are written out.
  const size_t bound = 512 + 64 * pattern.size();

  Check(cls::FormatFloat(pattern, value).size() <= bound);
  Check(cls::FormatFloat(pattern, static_cast<long double>(scaled)).size() <= bound);
  Check(cls::FormatCurr(pattern, cls::Currency{scaled}).size() <= bound);

  const double sample = 34762.5631597222;  // 1995-03-04 13:30:56
  Check(cls::FormatDateTime(pattern, sample).size() <= 4 * bound);
  try {
    Check(cls::FormatDateTime(pattern, value).size() <= 4 * bound);
    Check(cls::IsValidDateTime(value));
  } catch (const cls::EConvertError&) {
    Check(!cls::IsValidDateTime(value));
  }

  std::string masked = cls::FormatMaskText(pattern, pattern);
  Check(masked.size() <= 2 * pattern.size() + 2);
  return 0;
}
