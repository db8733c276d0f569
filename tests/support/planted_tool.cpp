// A program planted where a misread command line would find it (as
// "C:\Program.exe"): notes each start with its arguments in "C:\planted.txt".
#include <fstream>

#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  std::ofstream log(sysroot::HostPath("C:\\planted.txt"), std::ios::app | std::ios::binary);
  for (int i = 1; i <= win::ParamCount(); ++i) log << (i > 1 ? " " : "") << win::ParamStr(i);
  log << "\n";
  return 0;
}
