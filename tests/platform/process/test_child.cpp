// A small program the process tests start: "exit N" leaves through the
// process layer with code N; "sleep MS" sleeps; "args" prints its arguments
// and working folder; "env NAME" prints a variable; "started" prints Now
// and the process's start time, as days; "kill N" ends itself with signal N.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "platform/process/clock.h"
#include "platform/process/process.h"

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "exit" && argc > 2) win::ExitProcess(static_cast<win::DWORD>(std::stoul(argv[2])));
  if (cmd == "sleep" && argc > 2) win::Sleep(static_cast<win::DWORD>(std::stoul(argv[2])));
  if (cmd == "args") {
    for (int i = 0; i <= win::ParamCount(); ++i) std::printf("[%s]\n", win::ParamStr(i).c_str());
    char buf[4096];
    if (getcwd(buf, sizeof buf)) std::printf("cwd=%s\n", buf);
  }
  if (cmd == "env" && argc > 2) {
    const char* v = std::getenv(argv[2]);
    std::printf("%s\n", v ? v : "");
  }
  if (cmd == "started") std::printf("%.17g %.17g\n", win::Now(), win::ProcessStartTime());
  if (cmd == "kill" && argc > 2) {
    std::fflush(nullptr);
    kill(getpid(), std::atoi(argv[2]));
  }
  return 0;
}
