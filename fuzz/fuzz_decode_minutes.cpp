// The command-line descrambler on any argument, and its round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/uuCoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  std::uint32_t m = static_cast<std::uint32_t>(data[0]) | (data[1] << 8) | (data[2] << 16) |
                    (static_cast<std::uint32_t>(data[3]) << 24);
  std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);

  std::string text = uuCoding::DecodeWithMinutes(rest, m);
  if (text.size() * 2 > rest.size()) std::abort();

  if (uuCoding::DecodeWithMinutes(uuCoding::EncodeWithMinutes(rest, m), m) != rest) std::abort();
  return 0;
}
