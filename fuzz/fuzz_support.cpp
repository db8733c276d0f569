#include "fuzz/fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"

namespace fs = std::filesystem;

namespace fuzz_support {
namespace {

std::string g_root;

void RemoveRoot() {
  std::error_code ec;
  if (!g_root.empty()) fs::remove_all(g_root, ec);
}

}  // namespace

void Init() {
  if (!g_root.empty()) return;
  std::string tmpl = (fs::temp_directory_path() / "zolmet-fuzz-XXXXXX").string();
  if (!mkdtemp(tmpl.data()) || !sysroot::LayOut(tmpl)) {
    std::fprintf(stderr, "fuzz: cannot make a system root under %s\n", tmpl.c_str());
    std::abort();
  }
  g_root = tmpl;
  sysroot::SetRoot(g_root);
  std::atexit(RemoveRoot);
  ui::SetEchoDialogs(false);
  int null = open("/dev/null", O_RDONLY);
  if (null >= 0) {
    dup2(null, STDIN_FILENO);
    close(null);
  }
}

std::string ScratchFile(const std::string& name) { return g_root + "/" + name; }

void WriteWhole(const std::string& hostPath, const void* data, size_t size) {
  FILE* f = std::fopen(hostPath.c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
    std::fprintf(stderr, "fuzz: cannot write %s\n", hostPath.c_str());
    std::abort();
  }
}

}  // namespace fuzz_support
