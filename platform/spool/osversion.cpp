#include "osversion.h"

#include <atomic>

namespace win {
namespace {
std::atomic<std::uint32_t> g_platform{VER_PLATFORM_WIN32_NT};
std::atomic<std::uint32_t> g_major{5};
}  // namespace

std::uint32_t Win32Platform() { return g_platform; }
std::uint32_t Win32MajorVersion() { return g_major; }
void SetVersionForTesting(std::uint32_t platform, std::uint32_t major) {
  g_platform = platform;
  g_major = major;
}

}  // namespace win
