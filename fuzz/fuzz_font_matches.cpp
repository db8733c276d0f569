// The kept font matches: any text parses or is refused without harm; what
// parses writes back to the same text, and reads again to the same matches.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gdi/fontmatch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  gdi::FontMatches m;
  if (!gdi::ParseFontMatches(text, m)) {
    if (!(m == gdi::FontMatches())) std::abort();
    return 0;
  }
  const std::string again = gdi::FormatFontMatches(m);
  gdi::FontMatches back;
  if (!gdi::ParseFontMatches(again, back) || !(back == m) || gdi::FormatFontMatches(back) != again) std::abort();
  return 0;
}
