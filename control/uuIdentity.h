// The control's machine identity methods, on system code page strings.
#pragma once
#include <cstdint>
#include <random>
#include <string>

namespace control::uuIdentity {

// The MAC/IP list; "ERROR" (and an error-log line) when it cannot be built.
std::string GetIPInfo();
// The identity text (CR, computer name, CR, MAC/IP list) scrambled with key
// n; "ERROR" when the list cannot be built.
std::string GetInfo(std::int32_t n, std::mt19937& random);
// 1 for a non-empty list plus 10 for a computer name; 0 when the list
// cannot be built.
std::int32_t GetInfoSize();

}  // namespace control::uuIdentity
