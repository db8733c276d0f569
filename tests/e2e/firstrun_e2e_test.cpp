// The first run: programs started on a system root that does not exist yet.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

#include "platform/sysroot/codepage.h"
#include "tests/support/testroot.h"

extern char** environ;

namespace fs = std::filesystem;
using testing_support::BinPath;
using testing_support::ReadFile;

namespace {

const std::string kHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
const std::string kEntry = "[10:32:10] 參數數量錯誤: 0\r\n\r\n";

class FirstRunE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "zolmet-firstrun-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    dir = tmpl;
    root = dir + "/.zolmet";
  }
  void TearDown() override { fs::remove_all(dir); }

  // Starts ZolmetPrint without arguments on ROOT, its standard error going
  // to a file of its own; the clock is fixed so the day's log is known.
  pid_t Start(const std::string& rootFolder, int n) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::strncmp(*e, "ZOLMET_ROOT=", 12) != 0 && std::strncmp(*e, "ZOLMET_CLOCK=", 13) != 0) env.push_back(*e);
    env.push_back("ZOLMET_ROOT=" + rootFolder);
    env.push_back("ZOLMET_CLOCK=2026-12-08 10:32:10");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = BinPath("ZolmetPrint");
    char* argv[] = {program.data(), nullptr};
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, ErrFile(n).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, program.c_str(), &fa, nullptr, argv, envp.data()), 0);
    posix_spawn_file_actions_destroy(&fa);
    return pid;
  }
  int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  std::string ErrFile(int n) const { return dir + "/err" + std::to_string(n) + ".txt"; }
  std::string HackLog() const { return ReadFile(root + "/C/Zolmet/Logs/261208.ZolmetPrint.hack.txt"); }
  // What zolmet-sysroot prints for ROOT.
  std::string SysrootSays() const {
    return testing_support::Shell("\"" + BinPath("zolmet-sysroot") + "\" \"" + root + "\" 2>&1");
  }
  // The folder beside the root, without the standard error files.
  std::vector<std::string> Beside() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
      if (e.path().filename().string().rfind("err", 0) != 0) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }

  std::string dir, root;
};

}  // namespace

TEST_F(FirstRunE2E, ZolmetPrintLaysOutAMissingRootAndLogsThere) {
  ASSERT_EQ(Wait(Start(root, 0)), 0);
  // The day's hack log is Big5, byte for byte.
  EXPECT_EQ(HackLog(), kHeader + kEntry) << cp::Big5ToUtf8(HackLog());
  EXPECT_EQ(ReadFile(ErrFile(0)).find("system root"), std::string::npos) << ReadFile(ErrFile(0));
  // The lay-out is zolmet-sysroot's own.
  EXPECT_EQ(SysrootSays(), root + "\nnothing to add\n");
  EXPECT_EQ(Beside(), (std::vector<std::string>{".zolmet", ".zolmet.lock"}));
}

TEST_F(FirstRunE2E, FiftyProgramsStartingAtOnceLayItOutOnceAndAllLog) {
  std::vector<pid_t> pids;
  for (int i = 0; i < 50; ++i) pids.push_back(Start(root, i));
  for (pid_t pid : pids) EXPECT_EQ(Wait(pid), 0);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(ReadFile(ErrFile(i)).find("system root"), std::string::npos) << ReadFile(ErrFile(i));
  std::string log = HackLog();
  ASSERT_EQ(log.rfind(kHeader, 0), 0u) << cp::Big5ToUtf8(log);
  std::string entries = log.substr(kHeader.size());
  size_t count = 0;
  for (size_t at = 0; (at = entries.find(kEntry, at)) != std::string::npos; at += kEntry.size()) ++count;
  EXPECT_EQ(count, 50u);
  EXPECT_EQ(entries.size(), 50 * kEntry.size());
  EXPECT_EQ(SysrootSays(), root + "\nnothing to add\n");
  EXPECT_EQ(Beside(), (std::vector<std::string>{".zolmet", ".zolmet.lock"}));
}

TEST_F(FirstRunE2E, ARootThatCannotBeMadeIsSaidInOneLine) {
  testing_support::WriteFile(dir + "/plain", "a file, not a folder");
  const std::string bad = dir + "/plain/root";
  ASSERT_EQ(Wait(Start(bad, 0)), 0);
  std::string err = ReadFile(ErrFile(0));
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = err.find('\n', at)) != std::string::npos; at = end + 1)
    if (err.find(bad, at) < end) lines.push_back(err.substr(at, end - at));
  ASSERT_EQ(lines.size(), 1u) << err;
  EXPECT_EQ(lines[0], "ZolmetPrint: cannot lay out the system root " + bad + ": Not a directory");
  EXPECT_EQ(ReadFile(dir + "/plain"), "a file, not a folder");
}
