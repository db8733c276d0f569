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
