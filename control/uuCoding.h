// The control's scrambler of the machine identity: a key-table stream over
// the shared key table, decoded by the server's partner routine.
#pragma once
#include <cstdint>
#include <random>
#include <string>

namespace control::uuCoding {

// Added to n before the key table is indexed; agreed with the server.
inline constexpr int kEncodeKeyOffset = 5;
// The chain's start byte.
inline constexpr std::uint8_t kEncodeStartByte = 0xB4;

// One step: mixes C with the previous plain byte and the key's next
// character; POSITION is 1-based and wraps after the key's last character.
std::uint8_t EncodeIdentityStep(std::uint8_t& prev, std::uint8_t c, const std::string& key, std::size_t& position);

// Upper-case hex: the filler count (30 to 199) in plain, then the fillers
// and PLAIN scrambled with key CodingKeys[abs(n + offset) mod 10].
std::string EncodeWithKey(const std::string& plain, std::int32_t n, std::mt19937& random);

// The table key for N.
const std::string& EncodeKey(std::int32_t n);

}  // namespace control::uuCoding
