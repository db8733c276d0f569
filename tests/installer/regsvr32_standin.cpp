// Stands in for the system's registration tool in the installer tests: notes
// its arguments and working folder in "C:\regsvr32.log" and then does what
// "C:\regsvr32.mode" says: "exit N" (default 0) or "sleep MS".
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  char cwd[4096] = {};
  if (!getcwd(cwd, sizeof cwd)) cwd[0] = 0;
  {
    std::ofstream log(sysroot::HostPath("C:\\regsvr32.log"), std::ios::app | std::ios::binary);
    for (int i = 1; i <= win::ParamCount(); ++i) log << (i > 1 ? " " : "") << win::ParamStr(i);
    log << "|" << sysroot::WinPath(cwd) << "\n";
  }
  std::ifstream modeFile(sysroot::HostPath("C:\\regsvr32.mode"));
  std::string mode;
  unsigned long value = 0;
  modeFile >> mode >> value;
  if (mode == "sleep") win::Sleep(static_cast<win::DWORD>(value));
  win::ExitProcess(mode == "exit" ? static_cast<win::DWORD>(value) : 0);
}
