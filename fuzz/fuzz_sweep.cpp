// A printer folder's sweep state: any text parses or is refused without
// harm; what parses writes back to the same state.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gdi/gdi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gdi::Sweep s;
  if (!gdi::ParseSweep(std::string(reinterpret_cast<const char*>(data), size), s)) {
    if (!(s == gdi::Sweep())) std::abort();
    return 0;
  }
  gdi::Sweep back;
  for (long n : s.live)
    if (n < 0 || n > s.max) std::abort();
  if (!gdi::ParseSweep(gdi::FormatSweep(s), back) || !(back == s)) std::abort();
  return 0;
}
