// The key-table stream descrambler on any text, and the scrambler's round
// trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/uuCoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  int key = static_cast<int>(static_cast<std::uint32_t>(data[0]) | (data[1] << 8) | (data[2] << 16) |
                             (static_cast<std::uint32_t>(data[3]) << 24));
  std::string rest(reinterpret_cast<const char*>(data) + 4, size - 4);

  std::string plain = uuCoding::DecodeData(rest, key);
  if (plain.size() * 2 > rest.size()) std::abort();

  // Whatever text, with a filler count in range, comes back whole.
  size_t fillerCount = 30 + (size % 170);
  std::string filler(fillerCount, static_cast<char>(size));
  std::string hex = uuCoding::EncodeData(rest, key, filler);
  if (uuCoding::DecodeData(hex, key) != rest) std::abort();
  return 0;
}
