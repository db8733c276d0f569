// zolmet-test-request: a helper for tests and the demo, not part of the product.
//   zolmet-test-request encode TEXT   prints TEXT (UTF-8) scrambled as the
//                                     browser control scrambles a request now
//   zolmet-test-request run CMDLINE   starts a Windows command line through
//                                     the process layer, waits, prints the
//                                     whole exit code
#include <cstdio>
#include <string>

#include "common/uuCoding.h"
#include "platform/process/process.h"
#include "platform/sysroot/codepage.h"

int main(int argc, char** argv) {
  std::string cmd = argc == 3 ? argv[1] : "";
  if (cmd == "encode") {
    std::printf("%s\n", uuCoding::EncodeCommandLine(cp::Utf8ToBig5(argv[2])).c_str());
    return 0;
  }
  if (cmd == "run") {
    win::HPROCESS p = win::CreateProcess(cp::Utf8ToBig5(argv[2]));
    if (!p) {
      std::fprintf(stderr, "zolmet-test-request: cannot start: %s\n",
                   cp::Big5ToUtf8(win::SysErrorMessage(win::GetLastError())).c_str());
      return 1;
    }
    win::WaitForSingleObject(p, win::INFINITE);
    win::DWORD code = 0;
    win::GetExitCodeProcess(p, code);
    std::printf("%lu\n", static_cast<unsigned long>(code));
    return 0;
  }
  std::fprintf(stderr, "usage: zolmet-test-request encode TEXT | run CMDLINE\n");
  return 2;
}
