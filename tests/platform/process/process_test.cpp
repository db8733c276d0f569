#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/process/clock.h"
#include "platform/process/library.h"
#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::TempRoot;

namespace {

// Installs the test child into the root under a Windows name.
std::string InstallChild(const TempRoot& root, const std::string& winPath) {
  std::string host = root.Host(winPath);
  fs::create_directories(fs::path(host).parent_path());
  fs::copy_file(testing_support::BinPath("zolmet-test-child"), host,
                fs::copy_options::overwrite_existing);
  return winPath;
}

std::string RunAndCapture(const std::string& cmdLine, const std::string& cwd = "") {
  // One file for each test process: the cases run side by side.
  std::string out = (fs::temp_directory_path() / ("zolmet-child-out-" + std::to_string(getpid()))).string();
  // The child prints to our stdout; run it with stdout sent to a file.
  fflush(stdout);
  int saved = dup(1);
  FILE* f = fopen(out.c_str(), "w");
  dup2(fileno(f), 1);
  auto p = win::CreateProcess(cmdLine, cwd);
  if (p) win::WaitForSingleObject(p, win::INFINITE);
  fflush(stdout);
  dup2(saved, 1);
  close(saved);
  fclose(f);
  std::string s = testing_support::ReadFile(out);
  fs::remove(out);
  return s;
}

// Blocks until the child has ended, leaving it for its owner to collect
// (one collected already has ended too).
void WaitUntilEnded(int pid) {
  siginfo_t info{};
  int r;
  do {
    r = waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
  } while (r < 0 && errno == EINTR);
  ASSERT_TRUE(r == 0 || errno == ECHILD) << "child " << pid << ": " << std::strerror(errno);
}

// PID is gone: reaped, not left a zombie.
void ExpectReaped(int pid) {
  errno = 0;
  EXPECT_NE(kill(pid, 0), 0) << "child " << pid << " is still a zombie";
  EXPECT_EQ(errno, ESRCH);
}

}  // namespace

TEST(CommandLine, SplitsLikeTheSystem) {
  using V = std::vector<std::string>;
  EXPECT_EQ(win::SplitArguments(""), V{});
  EXPECT_EQ(win::SplitArguments("  a  b "), (V{"a", "b"}));
  EXPECT_EQ(win::SplitArguments("\"a b\" c"), (V{"a b", "c"}));
  EXPECT_EQ(win::SplitArguments("a\\\\\"b c\""), (V{"a\\b c"}));
  EXPECT_EQ(win::SplitArguments("a\\\"b"), (V{"a\"b"}));
  EXPECT_EQ(win::SplitArguments("c:\\dir\\x"), (V{"c:\\dir\\x"}));
  EXPECT_EQ(win::SplitArguments("\"\""), (V{""}));
}

TEST(CommandLine, FindsAnUnquotedProgramWithSpaces) {
  TempRoot root;
  InstallChild(root, "C:\\Program Files\\Zolmet\\ZolmetPrint.exe");
  auto parsed = win::ParseCommandLine("C:\\Program Files\\Zolmet\\ZolmetPrint.exe ABC12 x");
  EXPECT_EQ(parsed.program, "C:\\Program Files\\Zolmet\\ZolmetPrint.exe");
  EXPECT_EQ(parsed.args, (std::vector<std::string>{"ABC12", "x"}));
  // ".exe" is implied, and bare names are looked for in the system folder.
  InstallChild(root, "C:\\Windows\\System32\\regsvr32.exe");
  EXPECT_EQ(win::ParseCommandLine("regsvr32 /s x").program, "C:\\Windows\\System32\\regsvr32.exe");
  EXPECT_EQ(win::ParseCommandLine("\"C:\\Program Files\\Zolmet\\ZolmetPrint\" VER").args,
            std::vector<std::string>{"VER"});
}

TEST(Process, HandsTheWhole32BitExitCodeToItsParent) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\Program Files\\Zolmet\\Child.exe");
  auto p = win::CreateProcess(exe + " exit 9083100");
  ASSERT_TRUE(p);
  ASSERT_EQ(win::WaitForSingleObject(p, 10000), win::WAIT_OBJECT_0);
  win::DWORD code = 0;
  ASSERT_TRUE(win::GetExitCodeProcess(p, code));
  EXPECT_EQ(code, 9083100u);

  p = win::CreateProcess(exe + " exit 4294967295");
  ASSERT_TRUE(p);
  win::WaitForSingleObject(p, win::INFINITE);
  win::GetExitCodeProcess(p, code);
  EXPECT_EQ(code, 0xFFFFFFFFu);

  // A plain return is read as it is.
  p = win::CreateProcess(exe);
  win::WaitForSingleObject(p, win::INFINITE);
  win::GetExitCodeProcess(p, code);
  EXPECT_EQ(code, 0u);
}

TEST(Process, WaitEndsAtItsTimeLimit) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  auto p = win::CreateProcess(exe + " sleep 3000");
  ASSERT_TRUE(p);
  auto t0 = win::MonotonicMs();
  EXPECT_EQ(win::WaitForSingleObject(p, 200), win::WAIT_TIMEOUT);
  EXPECT_LT(win::MonotonicMs() - t0, 2000u);
  win::DWORD code = 0;
  win::GetExitCodeProcess(p, code);
  EXPECT_EQ(code, win::STILL_ACTIVE);
  EXPECT_TRUE(win::TerminateProcess(p, 1));
}

TEST(Process, ReportsWhatCannotStart) {
  TempRoot root;
  EXPECT_FALSE(win::CreateProcess("C:\\nothing\\here.exe"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_LT(win::WinExec("C:\\nothing\\here.exe x", win::SW_SHOWNORMAL), 32u);
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  EXPECT_FALSE(win::CreateProcess(exe, "C:\\missing-folder"));
  EXPECT_GT(win::WinExec(exe + " exit 3", win::SW_SHOWNORMAL), 31u);
}

TEST(Process, PassesArgumentsFolderAndRoot) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\Program Files\\Zolmet\\Child.exe");
  std::string out = RunAndCapture(exe + " args \"two words\"", "C:\\Program Files");
  EXPECT_NE(out.find("[C:\\Program Files\\Zolmet\\Child.exe]"), std::string::npos) << out;
  EXPECT_NE(out.find("[two words]"), std::string::npos) << out;
  EXPECT_NE(out.find("cwd=" + root.path() + "/C/Program Files"), std::string::npos) << out;
  out = RunAndCapture(exe + " env ZOLMET_ROOT");
  EXPECT_EQ(out, root.path() + "\n");
}

TEST(Clock, EncodesAndDecodesDates) {
  EXPECT_DOUBLE_EQ(win::EncodeDateTime({1899, 12, 30}), 0.0);
  EXPECT_DOUBLE_EQ(win::EncodeDateTime({2009, 8, 31}), 40056.0);
  EXPECT_DOUBLE_EQ(win::EncodeDateTime({2009, 8, 31, 12}), 40056.5);
  auto p = win::DecodeDateTime(win::EncodeDateTime({2026, 12, 8, 23, 59, 59, 999}));
  EXPECT_EQ(p.year, 2026);
  EXPECT_EQ(p.month, 12);
  EXPECT_EQ(p.day, 8);
  EXPECT_EQ(p.hour, 23);
  EXPECT_EQ(p.minute, 59);
  EXPECT_EQ(p.second, 59);
  EXPECT_EQ(p.millisecond, 999);
  win::SetNowForTesting(40056.25);
  EXPECT_DOUBLE_EQ(win::Now(), 40056.25);
  win::SetNowForTesting(std::nullopt);
  EXPECT_GT(win::Now(), 46000.0);
}

TEST(Computer, NameIsUpperCaseAndShort) {
  std::string n = win::GetComputerName();
  EXPECT_LE(n.size(), 15u);
  for (char c : n) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c)));
}

TEST(Process, ChildWhoseHandleIsDroppedIsNotLeftAZombie) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  int pid = -1;
  {
    auto p = win::CreateProcess(exe + " sleep 100");
    ASSERT_TRUE(p);
    pid = win::ProcessId(p);
    EXPECT_EQ(win::WaitForSingleObject(p, 0), win::WAIT_TIMEOUT);
  }  // the handle goes while the child still runs
  WaitUntilEnded(pid);
  // Starting the next program collects whatever ended before.
  auto q = win::CreateProcess(exe + " exit 0");
  ASSERT_TRUE(q);
  win::WaitForSingleObject(q, win::INFINITE);
  ExpectReaped(pid);
}

TEST(Process, ChildGetsNoneOfOurFilesBeyondTheStandardThree) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);  // inheritable, as a host program's may be
  auto p = win::CreateProcess(exe + " sleep 3000");
  ASSERT_TRUE(p);
  close(fds[1]);
  // With the write end closed here, the pipe ends at once unless the child
  // holds a copy of it.
  pollfd r{fds[0], POLLIN, 0};
  EXPECT_EQ(poll(&r, 1, 1500), 1);
  char c;
  EXPECT_EQ(read(fds[0], &c, 1), 0);
  close(fds[0]);
  EXPECT_TRUE(win::TerminateProcess(p, 1));
}

// With SIGCHLD ignored the kernel collects children itself: a code the
// child left through the side channel is still read, a plain exit status
// is unknown and never taken for success.
TEST(Process, ExitCodeWithoutAStatusIsNotTakenForSuccess) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  struct sigaction ignore {}, old {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &old);
  auto viaChannel = win::CreateProcess(exe + " exit 7");
  auto plain = win::CreateProcess(exe);
  ASSERT_TRUE(viaChannel && plain);
  EXPECT_EQ(win::WaitForSingleObject(viaChannel, 10000), win::WAIT_OBJECT_0);
  EXPECT_EQ(win::WaitForSingleObject(plain, 10000), win::WAIT_OBJECT_0);
  sigaction(SIGCHLD, &old, nullptr);
  win::DWORD code = 0;
  EXPECT_TRUE(win::GetExitCodeProcess(viaChannel, code));
  EXPECT_EQ(code, 7u);
  EXPECT_FALSE(win::GetExitCodeProcess(plain, code));
}

TEST(Library, LoadedFilesOfTheProcess) {
  testing_support::TempRoot root;
  std::string host;
  // This program's own code is the running program.
  ASSERT_TRUE(win::FindLoadedFile(reinterpret_cast<const void*>(&win::GetModuleFileName), host));
  EXPECT_EQ(host, "");
  EXPECT_EQ(win::ModuleFileNameOf(reinterpret_cast<const void*>(&win::GetModuleFileName)),
            win::GetModuleFileName());
  EXPECT_EQ(win::ModuleFileNameOf(nullptr), "");
  // A library by its file name, case ignored.
  win::HLIBRARY lib = win::LoadLibrary(sysroot::WinPath(testing_support::BinPath("libzolmet-test-reslib.so")));
  ASSERT_NE(lib, nullptr) << win::LibraryErrorText();
  ASSERT_TRUE(win::FindLoadedLibrary("LIBZOLMET-TEST-RESLIB.SO", host));
  EXPECT_EQ(std::filesystem::path(host).filename(), "libzolmet-test-reslib.so");
  EXPECT_FALSE(win::FindLoadedLibrary("no-such-library.so", host));
  EXPECT_EQ(win::GetProcAddress(lib, "NoSuchEntry"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_PROC_NOT_FOUND);
  EXPECT_TRUE(win::FreeLibrary(lib));
}

// A program that comes to run late (a loaded machine, a scan of its file)
// still knows when the system started it: here a script waits 400 ms and
// then becomes the program, in the same process.
TEST(Clock, ProcessStartIsWhenTheSystemStartedTheProcess) {
  TempRoot root;
  InstallChild(root, "C:\\t\\Child.exe");
  testing_support::WriteFile(root.Host("C:\\t\\Late.exe"),
                             "#!/bin/sh\nsleep 0.4\nexec '" + root.Host("C:\\t\\Child.exe") + "' \"$@\"\n");
  fs::permissions(root.Host("C:\\t\\Late.exe"), fs::perms::owner_all, fs::perm_options::add);
  constexpr double kMsPerDay = 86400000.0;
  const win::TDateTime before = win::Now();
  double now = 0, start = 0;
  // RunAndCapture waits for the child; the start is bounded by what was
  // read before it and by the child's own clock.
  std::string out = RunAndCapture("C:\\t\\Late.exe started");
  ASSERT_EQ(std::sscanf(out.c_str(), "%lf %lf", &now, &start), 2) << out;
  EXPECT_GE((start - before) * kMsPerDay, -2.0);
  // Less a clock tick (10 ms), to which the start is rounded.
  EXPECT_GE((now - start) * kMsPerDay, 390.0);
  // A clock that stands still has no other time.
  win::SetNowForTesting(40056.25);
  EXPECT_DOUBLE_EQ(win::ProcessStartTime(), 40056.25);
  win::SetNowForTesting(std::nullopt);
  EXPECT_LE(win::ProcessStartTime(), win::Now());
}

// ZOLMET_CLOCK sets a child's clock: standing still, or running from a time
// it showed at a given Unix time.
TEST(Clock, ChildClockFromTheEnvironment) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  double now = 0, start = 0;
  setenv("ZOLMET_CLOCK", "2009-08-31 12:00:29.250", 1);
  std::string out = RunAndCapture(exe + " started");
  ASSERT_EQ(std::sscanf(out.c_str(), "%lf %lf", &now, &start), 2) << out;
  EXPECT_DOUBLE_EQ(now, win::EncodeDateTime({2009, 8, 31, 12, 0, 29, 250}));
  EXPECT_DOUBLE_EQ(start, now);
  // Shown 1.5 s ago: it runs on from there, and the child started after it.
  const long long unixMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  setenv("ZOLMET_CLOCK", ("2009-08-31 12:00:29.250@" + std::to_string(unixMs - 1500)).c_str(), 1);
  out = RunAndCapture(exe + " started");
  unsetenv("ZOLMET_CLOCK");
  ASSERT_EQ(std::sscanf(out.c_str(), "%lf %lf", &now, &start), 2) << out;
  const win::TDateTime shown = win::EncodeDateTime({2009, 8, 31, 12, 0, 30, 750});
  EXPECT_GE(start, shown - 0.5 / 86400000.0);
  EXPECT_GE(now, start);
}

// However many children are left running when their handles go, each is
// collected once it ends: none stays a zombie.
TEST(Process, EveryAbandonedChildIsCollected) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  std::vector<int> pids;
  for (int i = 0; i < 100; ++i) {
    auto p = win::CreateProcess(exe + " sleep 2000");
    ASSERT_TRUE(p);
    pids.push_back(win::ProcessId(p));
    EXPECT_EQ(win::WaitForSingleObject(p, 0), win::WAIT_TIMEOUT);
  }  // each handle goes while its child still runs
  EXPECT_GE(win::RunningChildren(), 1);
  for (int pid : pids) WaitUntilEnded(pid);
  EXPECT_EQ(win::RunningChildren(), 0);
  for (int pid : pids) ExpectReaped(pid);
}

// A child that a signal ended chose no exit code.
TEST(Process, SignalThatEndedAChildIsTold) {
  TempRoot root;
  std::string exe = InstallChild(root, "C:\\t\\Child.exe");
  auto killed = win::CreateProcess(exe + " kill 9");
  auto exited = win::CreateProcess(exe + " exit 137");
  ASSERT_TRUE(killed && exited);
  win::WaitForSingleObject(killed, win::INFINITE);
  win::WaitForSingleObject(exited, win::INFINITE);
  EXPECT_EQ(win::TerminationSignal(killed), 9);
  EXPECT_EQ(win::TerminationSignal(exited), 0);
  win::DWORD code = 0;
  EXPECT_TRUE(win::GetExitCodeProcess(exited, code));
  EXPECT_EQ(code, 137u);
  EXPECT_EQ(win::TerminationSignal(nullptr), 0);
}
