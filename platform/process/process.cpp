#include "process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <mutex>
#include <new>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "clock.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

extern char** environ;

namespace win {

class Process {
 public:
  pid_t pid = -1;
  std::string exitFile;  // host path of the side channel
  bool finished = false;
  DWORD exitCode = STILL_ACTIVE;
  bool exitKnown = false;
  bool ownGroup = false;  // leads a process group of its own
  int lifeLine = -1;      // write end of the pipe whose end kills its group
  int signal = 0;         // the signal that ended it

  ~Process();
  // Collects the child if it has ended; BLOCK waits for it.
  bool Reap(bool block);
};

namespace {

std::mutex g_mutex;
std::vector<HPROCESS> g_orphans;  // started without a handle, not yet reaped
std::vector<std::string> g_args;

// Children whose last handle went while they still ran (a wait that timed
// out), collected later so that they do not stay zombies. Never destroyed,
// so that handles going during the program's exit or a library's unloading
// find it intact; its room is given back once no child is left, so that a
// library unloaded then leaves nothing behind. Room for every child that
// has a handle is kept ahead (capacity >= size + g_handled), so a handle
// going never allocates and no child is ever dropped from it.
std::mutex g_lostMutex;
std::vector<pid_t>& Lost() {
  alignas(std::vector<pid_t>) static unsigned char storage[sizeof(std::vector<pid_t>)];
  static auto* lost = new (storage) std::vector<pid_t>;
  return *lost;
}
size_t g_handled = 0;  // children whose handles have not all gone

// With the list locked: gives its room back when no child is left.
void ReleaseLostRoom() {
  if (Lost().empty() && g_handled == 0) std::vector<pid_t>().swap(Lost());
}

void ReapOrphans() {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::erase_if(g_orphans, [](const HPROCESS& p) { return p->Reap(false); });
  }
  std::lock_guard<std::mutex> lock(g_lostMutex);
  std::erase_if(Lost(), [](pid_t pid) {
    int status = 0;
    pid_t r;
    do {
      r = waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    return r != 0;
  });
  ReleaseLostRoom();
}

bool HasExtension(const std::string& name) {
  size_t slash = name.find_last_of("\\/:");
  size_t dot = name.rfind('.');
  return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

bool IsFile(const std::string& winPath) {
  struct stat st;
  return stat(sysroot::HostPath(winPath).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Resolves a program name to an existing file, or returns "".
std::string FindProgram(std::string name, const std::string& cwd) {
  if (!HasExtension(name)) name += ".exe";
  bool hasPath = name.find_first_of("\\/:") != std::string::npos;
  if (hasPath) {
    if (!cwd.empty() && name.size() > 1 && name[1] != ':' && name[0] != '\\') {
      std::string inCwd = sysroot::JoinWin(cwd, name);
      if (IsFile(inCwd)) return inCwd;
    }
    return IsFile(name) ? name : "";
  }
  std::vector<std::string> dirs;
  if (!cwd.empty()) dirs.push_back(cwd);
  dirs.push_back(sysroot::SystemDir());
  dirs.push_back(sysroot::WindowsDir());
  for (const auto& d : dirs) {
    std::string p = sysroot::JoinWin(d, name);
    if (IsFile(p)) return p;
  }
  if (cwd.empty() && IsFile(name)) return name;
  return "";
}

std::string CurrentWinDir() {
  char buf[4096];
  if (!getcwd(buf, sizeof buf)) return "";
  return sysroot::WinPath(buf);
}

}  // namespace

Process::~Process() {
  if (lifeLine >= 0) close(lifeLine);
  if (pid > 0) {
    const bool ended = Reap(false);
    std::lock_guard<std::mutex> lock(g_lostMutex);
    --g_handled;
    if (!ended) Lost().push_back(pid);  // within the room kept for it
    ReleaseLostRoom();
  }
  if (!exitFile.empty()) unlink(exitFile.c_str());
}

bool Process::Reap(bool block) {
  if (finished) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;
  finished = true;
  if (lifeLine >= 0) {
    close(lifeLine);
    lifeLine = -1;
  }
  // Without a status (the child was collected elsewhere, as when SIGCHLD is
  // ignored) only the side channel can tell the code.
  exitKnown = r > 0;
  if (r > 0 && WIFEXITED(status)) exitCode = static_cast<DWORD>(WEXITSTATUS(status));
  else if (r > 0 && WIFSIGNALED(status)) {
    signal = WTERMSIG(status);
    exitCode = 128u + static_cast<DWORD>(signal);
  }
  // The whole code, when the child left it through ExitProcess.
  if (FILE* f = std::fopen(exitFile.c_str(), "r")) {
    long childPid = 0;
    unsigned long code = 0;
    if (std::fscanf(f, "%ld %lu", &childPid, &code) == 2 && childPid == pid) {
      exitCode = static_cast<DWORD>(code);
      exitKnown = true;
    }
    std::fclose(f);
  }
  return true;
}

std::vector<std::string> SplitArguments(const std::string& s) {
  std::vector<std::string> out;
  size_t i = 0;
  while (true) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i >= s.size()) break;
    std::string arg;
    bool quoted = false;
    for (; i < s.size(); ++i) {
      char c = s[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        size_t n = 0;
        while (i < s.size() && s[i] == '\\') {
          ++n;
          ++i;
        }
        if (i < s.size() && s[i] == '"') {
          arg.append(n / 2, '\\');
          if (n % 2) arg += '"';
          else quoted = !quoted;
        } else {
          arg.append(n, '\\');
          --i;
        }
      } else if (c == '"') {
        quoted = !quoted;
      } else {
        arg += c;
      }
    }
    out.push_back(std::move(arg));
  }
  return out;
}

ParsedCommandLine ParseCommandLine(const std::string& line, const std::string& cwd) {
  ParsedCommandLine r;
  size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  if (i < line.size() && line[i] == '"') {
    size_t end = line.find('"', i + 1);
    std::string name = line.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
    std::string found = FindProgram(name, cwd);
    r.program = found.empty() ? name : found;
    r.args = SplitArguments(end == std::string::npos ? "" : line.substr(end + 1));
    return r;
  }
  // Unquoted: grow the name word by word until it names a file.
  size_t pos = i;
  std::string firstWord;
  while (pos <= line.size()) {
    size_t sp = line.find_first_of(" \t", pos);
    std::string candidate = line.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
    if (firstWord.empty()) firstWord = candidate;
    std::string found = FindProgram(candidate, cwd);
    if (!found.empty()) {
      r.program = found;
      r.args = SplitArguments(sp == std::string::npos ? "" : line.substr(sp));
      return r;
    }
    if (sp == std::string::npos) break;
    pos = sp + 1;
  }
  r.program = firstWord;
  size_t sp = line.find_first_of(" \t", i);
  r.args = SplitArguments(sp == std::string::npos ? "" : line.substr(sp));
  return r;
}

namespace {

// Starts HOSTPROGRAM with ARGS (after the program's own name) in HOSTCWD
// (empty: ours); GROUP puts it in a process group of its own.
HPROCESS Spawn(const std::string& hostProgram, const std::vector<std::string>& args,
               const std::string& hostCwd, bool group) {
  auto proc = std::make_shared<Process>();
  // The side channel names this process, so that one left by a killed
  // program is cleared by a later one.
  sysroot::ClearOrphans(sysroot::TempDir(), "zolmet-exit-");
  std::string tmpl = sysroot::OwnedTemplate(sysroot::TempDir() + "/zolmet-exit-");
  int fd = mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  close(fd);
  proc->exitFile = tmpl;

  // A group's life is tied to ours: its leader starts a watcher on the read
  // end of a pipe that only we hold open, and when that ends (we died, or
  // collected the leader) the watcher kills the whole group.
  int lifeLine[2] = {-1, -1};
  if (group && pipe2(lifeLine, O_CLOEXEC) != 0) {
    SetLastErrorFromErrno(errno);
    return nullptr;
  }
  std::vector<std::string> argStore;
  if (group) {
    argStore = {"/bin/sh", "-c",
                "{ read zolmet_line <&3; kill -KILL 0; } </dev/null >/dev/null 2>&1 & exec 3<&-; exec \"$0\" \"$@\""};
  }
  argStore.push_back(hostProgram);
  for (const auto& a : args) argStore.push_back(a);
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  // The child shares our system root and gets its own side channel.
  std::vector<std::string> envStore;
  for (char** e = environ; e && *e; ++e) {
    if (std::strncmp(*e, "ZOLMET_EXIT_FILE=", 17) == 0 || std::strncmp(*e, "ZOLMET_ROOT=", 12) == 0)
      continue;
    envStore.emplace_back(*e);
  }
  envStore.push_back("ZOLMET_ROOT=" + sysroot::Root());
  envStore.push_back("ZOLMET_EXIT_FILE=" + proc->exitFile);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Only the standard handles are passed on, as the system does when
  // handles are not inherited.
  if (group) posix_spawn_file_actions_adddup2(&actions, lifeLine[0], 3);
  posix_spawn_file_actions_addclosefrom_np(&actions, group ? 4 : 3);
  if (!hostCwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, hostCwd.c_str());
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  // The child starts with default signal handling, whatever ours is.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attr, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
  if (group) {
    posix_spawnattr_setpgroup(&attr, 0);
    flags |= POSIX_SPAWN_SETPGROUP;
  }
  posix_spawnattr_setflags(&attr, flags);
  pid_t pid = -1;
  int rc = 0;
  {
    // Room for the child in the abandoned list, should its handle go while
    // it runs; a child that could be lost track of is not started.
    std::lock_guard<std::mutex> lock(g_lostMutex);
    try {
      Lost().reserve(Lost().size() + g_handled + 1);
    } catch (const std::bad_alloc&) {
      rc = ENOMEM;
    }
    if (rc == 0) rc = posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), envp.data());
    if (rc == 0) ++g_handled;
    else ReleaseLostRoom();
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (group) close(lifeLine[0]);
  if (rc != 0) {
    if (group) close(lifeLine[1]);
    SetLastErrorFromErrno(rc);
    return nullptr;
  }
  proc->lifeLine = group ? lifeLine[1] : -1;
  proc->pid = pid;
  proc->ownGroup = group;
  return proc;
}

}  // namespace

HPROCESS CreateProcess(const std::string& commandLine, const std::string& currentDirectory) {
  ReapOrphans();
  std::string cwd = currentDirectory;
  if (!cwd.empty() && !DirectoryExists(cwd)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return nullptr;
  }
  ParsedCommandLine parsed = ParseCommandLine(commandLine, cwd.empty() ? CurrentWinDir() : cwd);
  std::string hostProgram = sysroot::HostPath(parsed.program);
  struct stat st;
  if (parsed.program.empty() || stat(hostProgram.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return Spawn(hostProgram, parsed.args, cwd.empty() ? "" : sysroot::HostPath(cwd), false);
}

HPROCESS CreateHostProcess(const std::string& hostProgram, const std::vector<std::string>& args) {
  ReapOrphans();
  struct stat st;
  if (hostProgram.empty() || stat(hostProgram.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return Spawn(hostProgram, args, "", true);
}

int RunningChildren() {
  ReapOrphans();
  std::lock_guard<std::mutex> lock(g_mutex);
  std::lock_guard<std::mutex> lostLock(g_lostMutex);
  return static_cast<int>(g_orphans.size() + Lost().size());
}

unsigned WinExec(const std::string& commandLine, int) {
  HPROCESS p = CreateProcess(commandLine);
  if (!p) {
    DWORD e = GetLastError();
    return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? static_cast<unsigned>(e) : 0u;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  g_orphans.push_back(p);
  return 33;
}

DWORD WaitForSingleObject(const HPROCESS& p, DWORD ms) {
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  if (ms == INFINITE) {
    p->Reap(true);
    return WAIT_OBJECT_0;
  }
  std::uint64_t deadline = MonotonicMs() + ms;
  DWORD step = 1;
  while (!p->Reap(false)) {
    std::uint64_t now = MonotonicMs();
    if (now >= deadline) return WAIT_TIMEOUT;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint64_t>(step, deadline - now)));
    step = std::min<DWORD>(step * 2, 20);
  }
  return WAIT_OBJECT_0;
}

bool GetExitCodeProcess(const HPROCESS& p, DWORD& code) {
  if (!p) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  p->Reap(false);
  if (p->finished && !p->exitKnown) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  code = p->finished ? p->exitCode : STILL_ACTIVE;
  return true;
}

bool TerminateProcess(const HPROCESS& p, DWORD) {
  if (!p || p->finished) return false;
  // A process leading its own group takes what it started with it.
  if (kill(p->ownGroup ? -p->pid : p->pid, SIGKILL) != 0) return false;
  p->Reap(true);
  return true;
}

int ProcessId(const HPROCESS& p) { return p ? p->pid : -1; }

int TerminationSignal(const HPROCESS& p) {
  if (!p) return 0;
  p->Reap(false);
  return p->signal;
}

void ExitProcess(DWORD exitCode) {
  if (const char* file = std::getenv("ZOLMET_EXIT_FILE"); file && *file) {
    int fd = open(file, O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd >= 0) {
      char buf[64];
      int n = std::snprintf(buf, sizeof buf, "%ld %lu\n", static_cast<long>(getpid()),
                            static_cast<unsigned long>(exitCode));
      if (n > 0 && write(fd, buf, static_cast<size_t>(n)) < 0) {
      }
      close(fd);
    }
  }
  std::fflush(nullptr);
  _exit(static_cast<int>(exitCode & 0xFF));
}

void InitArguments(int argc, char** argv) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_args.assign(argv, argv + argc);
}

int ParamCount() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_args.empty() ? 0 : static_cast<int>(g_args.size()) - 1;
}

std::string ParamStr(int index) {
  if (index == 0) return GetModuleFileName();
  std::lock_guard<std::mutex> lock(g_mutex);
  if (index < 0 || static_cast<size_t>(index) >= g_args.size()) return "";
  return g_args[static_cast<size_t>(index)];
}

std::string GetModuleFileName() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return "";
  buf[n] = 0;
  return sysroot::WinPath(buf);
}

std::string GetComputerName() {
  std::string name;
  if (const char* env = std::getenv("ZOLMET_COMPUTERNAME"); env && *env) {
    name = env;
  } else {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) == 0) name = buf;
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
  }
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (name.size() > 15) name.resize(15);
  return name;
}

void Sleep(DWORD ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace win
