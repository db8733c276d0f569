// A stand-in print program for the control's tests. "VER" answers with the
// exit code in ZOLMET_TEST_VER_CODE (default 9083100), or hangs for 11 s
// when ZOLMET_TEST_VER_HANG is set. Any other argument is decoded as the
// print program decodes it and written to "C:\recorded.txt", after
// ZOLMET_TEST_PRINT_MS milliseconds when that is set.
#include <cstdlib>
#include <fstream>
#include <string>

#include "common/uuCoding.h"
#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  std::string arg = win::ParamStr(1);
  if (arg == "VER") {
    if (std::getenv("ZOLMET_TEST_VER_HANG")) win::Sleep(11000);
    const char* code = std::getenv("ZOLMET_TEST_VER_CODE");
    win::ExitProcess(code ? static_cast<win::DWORD>(std::stoul(code)) : 9083100u);
  }
  if (const char* ms = std::getenv("ZOLMET_TEST_PRINT_MS")) win::Sleep(static_cast<win::DWORD>(std::stoul(ms)));
  std::ofstream out(sysroot::HostPath("C:\\recorded.txt"), std::ios::binary | std::ios::app);
  out << uuCoding::DecodeParam(arg) << "\n";
  return 0;
}
