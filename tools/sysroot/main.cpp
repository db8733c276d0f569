// zolmet-sysroot: lays out a system root, or adds what one is missing.
//   zolmet-sysroot [ROOT]   (default: $ZOLMET_ROOT, else $HOME/.zolmet)
// Prints the root, then "added X" for each piece it wrote, or "nothing to add".
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/setup/setup.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: zolmet-sysroot [ROOT]\n");
    return 2;
  }
  std::string root = argc == 2 ? argv[1] : sysroot::Root();
  std::error_code ec;
  std::string host = fs::absolute(root, ec).string();
  std::vector<std::string> added;
  std::string error;
  // A missing root is made as a program's first use makes it: whole or not at all.
  bool ok = fs::exists(fs::symlink_status(host, ec))
                ? setup::LayOutRoot(host, added, error)
                : sysroot::LayOutMissingRoot(
                      host, [&](const std::string& r, std::string& e) { return setup::LayOutRoot(r, added, e); },
                      error);
  if (!ok) {
    std::fprintf(stderr, "zolmet-sysroot: cannot lay out %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  std::printf("%s\n", root.c_str());
  if (added.empty()) std::printf("nothing to add\n");
  for (const auto& a : added) std::printf("added %s\n", cp::Big5ToUtf8(a).c_str());
  return 0;
}
