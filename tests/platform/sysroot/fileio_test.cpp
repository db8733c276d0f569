#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/sysroot/fileio.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempRoot;
using testing_support::WriteFile;

namespace {

std::vector<std::string> Names(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

// Runs BODY in a child process and answers its exit status (BODY's errno
// when it fails, 0 when it succeeds).
int InChild(const std::function<bool()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : (errno ? errno : 255));
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(ReplaceFile, ReplacesWholeWithTheGivenModeAndLeavesNothingBeside) {
  TempRoot root;
  std::string dir = root.path() + "/d";
  fs::create_directories(dir);
  std::string file = dir + "/a.ini";
  ASSERT_TRUE(sysroot::ReplaceFile(file, "one"));
  std::string big(1 << 20, 'x');
  ASSERT_TRUE(sysroot::ReplaceFile(file, big, 0600));
  EXPECT_EQ(ReadFile(file), big);
  struct stat st;
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(sysroot::ReplaceFile(file, ""));
  EXPECT_EQ(ReadFile(file), "");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.ini"});
}

TEST(ReplaceFile, AFolderThatCannotBeWrittenKeepsTheOldFile) {
  TempRoot root;
  std::string dir = root.path() + "/ro";
  fs::create_directories(dir);
  std::string file = dir + "/a.ini";
  WriteFile(file, "old");
  chmod(root.path().c_str(), 0755);
  chmod(dir.c_str(), 0555);
  // The superuser writes anywhere: the child becomes nobody first.
  int result = InChild([&] {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return false;
    return sysroot::ReplaceFile(file, "new");
  });
  chmod(dir.c_str(), 0755);
  EXPECT_EQ(result, EACCES);
  EXPECT_EQ(ReadFile(file), "old");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.ini"});
}

TEST(ReplaceFile, AWriteThatFailsHalfWayKeepsTheOldFileAndRemovesTheNew) {
  TempRoot root;
  std::string file = root.path() + "/a.ini";
  WriteFile(file, "old");
  // A file size limit stops the write part way, as a full disk would.
  int result = InChild([&] {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{4096, 4096};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return false;
    return sysroot::ReplaceFile(file, std::string(100000, 'n'));
  });
  EXPECT_EQ(result, EFBIG);
  EXPECT_EQ(ReadFile(file), "old");
  auto names = Names(root.path());
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }), 0);
}

TEST(ReplaceFile, TargetsThatCannotBeFilesFailWithTheirCause) {
  TempRoot root;
  // A folder in the target's place: the rename fails and the new file goes.
  std::string dir = root.path() + "/taken";
  fs::create_directories(dir + "/inside");
  errno = 0;
  EXPECT_FALSE(sysroot::ReplaceFile(dir, "x"));
  EXPECT_EQ(errno, EISDIR);
  EXPECT_TRUE(fs::is_directory(dir + "/inside"));
  // A path through a regular file.
  WriteFile(root.path() + "/plain", "p");
  errno = 0;
  EXPECT_FALSE(sysroot::ReplaceFile(root.path() + "/plain/a.ini", "x"));
  EXPECT_EQ(errno, ENOTDIR);
  EXPECT_EQ(ReadFile(root.path() + "/plain"), "p");
  auto names = Names(root.path());
  EXPECT_EQ(std::count_if(names.begin(), names.end(), [](const std::string& n) { return n[0] == '.'; }), 0);
}

// A run killed while it replaced a file leaves its hidden temporary; the
// next run that replaces a file there removes it, and only what no living
// process owns and what carries this system's own prefix: a user's hidden
// files that look like numbered names stay.
TEST(ReplaceFile, TemporariesOfKilledProcessesAreClearedByALaterOne) {
  TempRoot root;
  const std::string dir = root.path() + "/forms";
  fs::create_directories(dir);
  const std::string file = dir + "/forms.ini";
  auto hidden = [&] {
    std::vector<std::string> out;
    for (const std::string& n : Names(dir))
      if (n[0] == '.') out.push_back(n);
    return out;
  };
  // Killed after it made its temporary, before the rename.
  pid_t child = fork();
  if (child == 0) {
    std::string name = sysroot::OwnedTemplate(dir + "/" + sysroot::kTempPrefix);
    _exit(mkstemp(name.data()) >= 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(hidden().size(), 1u);
  // One of a process that lives stays, and so do the user's.
  const std::string living = dir + "/" + sysroot::kTempPrefix + "1-abcdef";
  WriteFile(living, "");
  for (const char* user : {".notes.2019-backup", ".photos.4000000-summer", ".forms.ini.99999999-abcdef"})
    WriteFile(dir + "/" + user, "the user's");
  ASSERT_TRUE(sysroot::ReplaceFile(file, "[forms]"));
  EXPECT_EQ(hidden(), (std::vector<std::string>{".forms.ini.99999999-abcdef", ".notes.2019-backup",
                                                ".photos.4000000-summer", std::string(sysroot::kTempPrefix) + "1-abcdef"}));
  EXPECT_EQ(ReadFile(file), "[forms]");
}

// A lock that another process keeps is waited for within the bound, then
// refused with the file's name.
TEST(FileLock, AWaitForALockHeldElsewhereEnds) {
  TempRoot root;
  const std::string path = root.path() + "/forms.ini.lock";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  if (holder == 0) {
    sysroot::FileLock held(path);
    if (write(ready[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  setenv("ZOLMET_LOCK_WAIT_MS", "200", 1);
  for (bool exclusive : {true, false}) {
    sysroot::FileLock lock(path, exclusive);
    EXPECT_FALSE(lock.ok());
    EXPECT_EQ(errno, EWOULDBLOCK);
    EXPECT_EQ(lock.error(), "The file " + path + " stayed locked by another process for 200 ms.");
    EXPECT_EQ(sysroot::LastLockFailure(), lock.error());
  }
  unsetenv("ZOLMET_LOCK_WAIT_MS");
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  sysroot::FileLock free(path);
  EXPECT_TRUE(free.ok());
}
