// zolmet-sysroot: lays out a fresh system root.
//   zolmet-sysroot [ROOT]   (default: $ZOLMET_ROOT, else $HOME/.zolmet)
#include <cstdio>
#include <string>

#include "platform/spool/printerdef.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

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
  sysroot::SetRoot(root);
  // The demo receipt printer; the default printer when there is none yet.
  if (!spool::InstallPrinter(spool::DemoReceiptPrinter()) ||
      (spool::GetProfileString("windows", "device", "").empty() && !spool::SetDefaultPrinter("Zolmet"))) {
    std::fprintf(stderr, "zolmet-sysroot: cannot install the printer Zolmet\n");
    return 1;
  }
  std::printf("%s\n", root.c_str());
  return 0;
}
