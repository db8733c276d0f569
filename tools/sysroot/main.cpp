// zolmet-sysroot: lays out a fresh system root.
//   zolmet-sysroot [ROOT]   (default: $ZOLMET_ROOT, else $HOME/.zolmet)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "platform/com/registration.h"
#include "platform/serial/serial.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace {

// The system folder's tools and libraries, taken from beside this program.
bool InstallSystemFiles(const std::string& root) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return false;
  self[n] = 0;
  fs::path bin = fs::path(self).parent_path();
  fs::path system = fs::path(root) / "C/Windows/System32";
  std::error_code ec;
  fs::copy_file(bin / "regsvr32", system / "regsvr32.exe", fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  fs::copy_file(bin / "IPHLPAPI.DLL", system / "IPHLPAPI.DLL", fs::copy_options::overwrite_existing, ec);
  if (ec) return false;
  // The "mode" command; the platform applies its parameters itself.
  std::ofstream(system / "mode.com") << "mode: serial line parameters\n";
  return serial::WriteDefaultPortMap(root) && com::EnsureBaseKeys();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2) {
    std::fprintf(stderr, "usage: zolmet-sysroot [ROOT]\n");
    return 2;
  }
  std::string root = argc == 2 ? argv[1] : sysroot::Root();
  if (!sysroot::LayOut(root)) {
    std::fprintf(stderr, "zolmet-sysroot: cannot lay out %s\n", root.c_str());
    return 1;
  }
  sysroot::SetRoot(fs::absolute(root).string());
  if (!InstallSystemFiles(sysroot::Root())) {
    std::fprintf(stderr, "zolmet-sysroot: cannot install the system files in %s\n", root.c_str());
    return 1;
  }
  // The demo receipt printer; the default printer when there is none yet.
  if (!spool::InstallPrinter(spool::DemoReceiptPrinter()) ||
      (spool::GetProfileString("windows", "device", "").empty() && !spool::SetDefaultPrinter("Zolmet"))) {
    std::fprintf(stderr, "zolmet-sysroot: cannot install the printer Zolmet\n");
    return 1;
  }
  std::printf("%s\n", root.c_str());
  return 0;
}
