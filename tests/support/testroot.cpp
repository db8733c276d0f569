#include "testroot.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace testing_support {

TempRoot::TempRoot() {
  std::string tmpl = (fs::temp_directory_path() / "zolmet-root-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  if (!sysroot::LayOut(path_)) throw std::runtime_error("cannot lay out " + path_);
  sysroot::SetRoot(path_);
}

TempRoot::~TempRoot() {
  sysroot::SetRoot("");
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempRoot::Host(const std::string& winPath) const { return sysroot::HostPath(winPath); }

std::string ReadFile(const std::string& hostPath) {
  std::ifstream f(hostPath, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

void WriteFile(const std::string& hostPath, const std::string& data) {
  fs::create_directories(fs::path(hostPath).parent_path());
  std::ofstream f(hostPath, std::ios::binary);
  f << data;
}

std::string Shell(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::string BinPath(const std::string& name) { return std::string(ZOLMET_BIN_DIR) + "/" + name; }

bool GoneOrZombie(int pid, int tries, std::string& stat) {
  for (int i = 0; i < tries; ++i) {
    stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    if (stat.empty() || stat.find(") Z ") != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace testing_support
