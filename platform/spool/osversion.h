// The operating system the printing code believes it runs on. Defaults to
// Windows NT 5 (platform id 2); tests switch it to reach the other branches.
#pragma once
#include <cstdint>

namespace win {

constexpr std::uint32_t VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr std::uint32_t VER_PLATFORM_WIN32_NT = 2;

std::uint32_t Win32Platform();
std::uint32_t Win32MajorVersion();
void SetVersionForTesting(std::uint32_t platform, std::uint32_t major);

}  // namespace win
