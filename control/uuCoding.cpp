#include "uuCoding.h"

#include <array>
#include <cstdlib>

#include "common/uuCoding.h"
#include "common/uuKeyTable.h"

namespace control::uuCoding {

const std::string& EncodeKey(std::int32_t n) {
  static const std::array<std::string, 10> keys = [] {
    std::array<std::string, 10> k;
    for (size_t i = 0; i < k.size(); ++i) k[i] = std::string(uuKeyTable::CodingKeys[i]);
    return k;
  }();
  // Widened so that n near the integer limits cannot overflow.
  long long index = std::llabs(static_cast<long long>(n) + kEncodeKeyOffset) % 10;
  return keys[static_cast<size_t>(index)];
}

std::uint8_t EncodeIdentityStep(std::uint8_t& prev, std::uint8_t c, const std::string& key, std::size_t& position) {
  std::uint8_t a = static_cast<std::uint8_t>((prev >> 2) ^ ((prev << 5) & 0xFF));
  std::uint8_t r = static_cast<std::uint8_t>((c >> 3) | ((c << 5) & 0xFF));
  std::uint8_t k = static_cast<std::uint8_t>(key[position - 1]);
  position = position >= key.size() ? 1 : position + 1;
  prev = c;
  return static_cast<std::uint8_t>(r ^ a ^ k);
}

std::string EncodeWithKey(const std::string& plain, std::int32_t n, std::mt19937& random) {
  const std::string& key = EncodeKey(n);
  std::size_t position = 1;
  std::uniform_int_distribution<int> countDist(0, 169), byteDist(0, 255);
  std::uint8_t count = static_cast<std::uint8_t>(countDist(random) + 30);
  std::string out;
  out.reserve(2 + 2 * (count + plain.size()));
  ::uuCoding::AppendHex(out, count);
  std::uint8_t prev = count ^ kEncodeStartByte;
  for (int i = 0; i < count; ++i)
    ::uuCoding::AppendHex(out, EncodeIdentityStep(prev, static_cast<std::uint8_t>(byteDist(random)), key, position));
  for (char c : plain) ::uuCoding::AppendHex(out, EncodeIdentityStep(prev, static_cast<std::uint8_t>(c), key, position));
  return out;
}

}  // namespace control::uuCoding
