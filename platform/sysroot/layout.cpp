#include "layout.h"

#include <filesystem>

#include "fileio.h"

namespace fs = std::filesystem;

namespace sysroot {

bool LayOut(const std::string& hostRoot, std::vector<std::string>* added) {
  std::error_code ec;
  for (const char* dir : {"C:\\Windows\\System32", "C:\\Program Files", "C:\\Windows\\Temp"}) {
    std::string host = std::string(dir).replace(1, 1, "");
    for (char& c : host)
      if (c == '\\') c = '/';
    bool made = fs::create_directories(fs::path(hostRoot) / host, ec);
    if (ec) return false;
    if (made && added) added->push_back(dir);
  }
  fs::path ini = fs::path(hostRoot) / "C/Windows/win.ini";
  if (!fs::exists(ini, ec)) {
    if (!ReplaceFile(ini.string(), "[windows]\r\n")) return false;
    if (added) added->push_back("C:\\Windows\\win.ini");
  }
  return true;
}

}  // namespace sysroot
