// Processes in the shape the system's code expects: Windows command lines,
// waits with time limits and 32-bit exit codes.
//
// Linux exit statuses hold 8 bits. ExitProcess hands the whole code to a
// parent that started this process through this layer (a file named in
// ZOLMET_EXIT_FILE); GetExitCodeProcess reads it back. A parent that is not
// ours sees the low byte.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "platform/sysroot/files.h"

namespace win {

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD STILL_ACTIVE = 259;
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

class Process;
using HPROCESS = std::shared_ptr<Process>;

// Splits a Windows command line the way the system does: the program is a
// quoted first token, or the shortest run of space-separated words that names
// an existing file (".exe" added when the name has no extension); a bare name
// is looked for in the working folder, the system folder and the Windows
// folder. The arguments follow the usual quoting rules.
struct ParsedCommandLine {
  std::string program;  // Windows path as found, or the first word
  std::vector<std::string> args;
};
ParsedCommandLine ParseCommandLine(const std::string& commandLine,
                                   const std::string& currentDirectory = "");
std::vector<std::string> SplitArguments(const std::string& text);

// Starts a program; nullptr with the last error set when it cannot start.
// CURRENTDIRECTORY is a Windows folder; empty keeps the caller's.
HPROCESS CreateProcess(const std::string& commandLine, const std::string& currentDirectory = "");
// Starts a program of this system (HOSTPROGRAM is a host path, not a
// Windows one) with ARGS, for commands the platform's own settings name,
// such as a printer's hand-over command. It leads a process group of its
// own, so TerminateProcess also ends what it started; the group is killed
// too when this process dies or collects its leader.
HPROCESS CreateHostProcess(const std::string& hostProgram, const std::vector<std::string>& args);
// Starts a program without keeping a handle; > 31 when it started.
unsigned WinExec(const std::string& commandLine, int show);
// Collects the ended children that nobody holds a handle to (started by
// WinExec, or left running when their last handle went); the number still
// running. Code that is about to be unloaded waits for 0, as nobody would
// collect them afterwards.
int RunningChildren();
DWORD WaitForSingleObject(const HPROCESS& process, DWORD milliseconds);
bool GetExitCodeProcess(const HPROCESS& process, DWORD& exitCode);
bool TerminateProcess(const HPROCESS& process, DWORD exitCode);
// The signal that ended PROCESS (a crash, or a kill); 0 when it exited by
// itself or still runs. Its exit code is then 128 + the signal, as a shell
// tells it: no code the program chose.
int TerminationSignal(const HPROCESS& process);
int ProcessId(const HPROCESS& process);

[[noreturn]] void ExitProcess(DWORD exitCode);

// The program's arguments, as the runtime gives them (call InitArguments
// from main first). ParamStr(0) is the program's full Windows file name.
void InitArguments(int argc, char** argv);
int ParamCount();
std::string ParamStr(int index);

std::string GetModuleFileName();  // full Windows path of the running program
std::string GetComputerName();    // upper case, at most 15 characters
void Sleep(DWORD milliseconds);

}  // namespace win
