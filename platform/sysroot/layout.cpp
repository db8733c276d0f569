#include "layout.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace sysroot {

bool LayOut(const std::string& hostRoot) {
  std::error_code ec;
  for (const char* dir : {"C/Windows/System32", "C/Program Files", "C/Windows/Temp"}) {
    fs::create_directories(fs::path(hostRoot) / dir, ec);
    if (ec) return false;
  }
  fs::path ini = fs::path(hostRoot) / "C/Windows/win.ini";
  if (!fs::exists(ini)) {
    std::ofstream f(ini, std::ios::binary);
    f << "[windows]\r\n";
    if (!f) return false;
  }
  return true;
}

}  // namespace sysroot
