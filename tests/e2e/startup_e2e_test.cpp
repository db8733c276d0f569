// The real ZolmetPrint, installed in a fresh system root and started as the
// browser control starts it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>

#include "common/uuCoding.h"
#include "platform/process/clock.h"
#include "platform/process/process.h"
#include "platform/sysroot/files.h"
#include "tests/support/testroot.h"

extern char** environ;

namespace fs = std::filesystem;
using testing_support::ReadFile;

namespace {

const bool kNoTerminal = std::freopen("/dev/null", "r", stdin) != nullptr;

const std::string kProgram = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
const std::string kHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
const std::string kLogs = "C:\\Zolmet\\Logs\\";

// A fresh root with the print program installed where the control looks.
class Installed {
 public:
  Installed() {
    std::string target = root.Host(kProgram);
    fs::create_directories(fs::path(target).parent_path());
    fs::copy_file(testing_support::BinPath("ZolmetPrint"), target);
    fs::permissions(target, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec,
                    fs::perm_options::add);
  }
  // Starts the program through the process layer with ARGS, the clock set
  // to CLOCK ("" for the real one); returns its exit code.
  win::DWORD Run(const std::string& args, const std::string& clock = "") {
    if (!clock.empty()) setenv("ZOLMET_CLOCK", clock.c_str(), 1);
    win::HPROCESS p = win::CreateProcess("\"" + kProgram + "\"" + (args.empty() ? "" : " " + args));
    unsetenv("ZOLMET_CLOCK");
    EXPECT_TRUE(p) << win::GetLastError();
    if (!p) return 0xFFFFFFFF;
    EXPECT_EQ(win::WaitForSingleObject(p, 30000), win::WAIT_OBJECT_0);
    win::DWORD code = 0;
    EXPECT_TRUE(win::GetExitCodeProcess(p, code));
    return code;
  }
  std::string Log(const std::string& day, const std::string& kind) const {
    return ReadFile(root.Host(kLogs + day + "." + kind + ".txt"));
  }
  std::vector<std::string> LogFiles() const {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : fs::directory_iterator(root.Host(kLogs), ec)) out.push_back(e.path().filename());
    return out;
  }

  testing_support::TempRoot root;
};

// The scramble made at CLOCK, as the control would make it then.
std::string Scramble(const std::string& text, const std::string& clock) {
  win::DateTimeParts p;
  EXPECT_EQ(std::sscanf(clock.c_str(), "%d-%d-%d %d:%d:%d", &p.year, &p.month, &p.day, &p.hour,
                        &p.minute, &p.second),
            6);
  return uuCoding::EncodeWithMinutes(text, uuCoding::MinuteCount(win::EncodeDateTime(p)));
}

}  // namespace

TEST(ZolmetPrint, VersionQueryThroughTheProcessLayerGivesTheWholeCode) {
  ASSERT_TRUE(kNoTerminal);
  Installed inst;
  EXPECT_EQ(inst.Run("VER"), 9083100u);
  EXPECT_TRUE(inst.LogFiles().empty());
}

TEST(ZolmetPrint, VersionQueryFromAShellGivesTheLowByteSilently) {
  Installed inst;
  std::string errFile = inst.root.path() + "/stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("ZOLMET_", 0) != 0) env.emplace_back(*e);
  env.push_back("ZOLMET_ROOT=" + inst.root.path());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = inst.root.Host(kProgram);
  std::string script = "exec \"$0\" VER";
  const char* argv[] = {"sh", "-c", script.c_str(), program.c_str(), nullptr};
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 9083100 & 0xFF);
  EXPECT_EQ(ReadFile(errFile), "");
  EXPECT_TRUE(inst.LogFiles().empty());
}

// A request is accepted in the minute it was made and the next, refused two
// minutes later. Its "J" falls on the first byte of the minute key, so a
// wrong minute cannot pass the tag check.
TEST(ZolmetPrint, ScrambledRequestLivesForTheMinuteItWasMadeAndTheNext) {
  const std::string made = "2026-12-08 10:30:10";
  std::string request = "127.0.0.1,127.0.0.1:9,/,A1,B2cdXJ";
  ASSERT_EQ((request.size() - 1) % 4, 0u);
  std::string arg = Scramble(request, made);
  for (std::string day : {std::string("2026-12-08 10:30:59"), std::string("2026-12-08 10:31:10")}) {
    Installed inst;
    EXPECT_EQ(inst.Run(arg, day), 0u) << day;
    // Until the receipt routine is wired in, the accepted request lands in the debug log.
    EXPECT_EQ(inst.Log("261208", "ZolmetPrint.debug"),
              kHeader + "[" + day.substr(11) + "] ProcessPrintData: 127.0.0.1,127.0.0.1:9,/,A1,B2cd\r\n\r\n")
        << day;
    EXPECT_EQ(inst.Log("261208", "ZolmetPrint.hack"), "") << day;
  }
  Installed inst;
  EXPECT_EQ(inst.Run(arg, "2026-12-08 10:32:10"), 0u);
  EXPECT_EQ(inst.Log("261208", "ZolmetPrint.hack"),
            kHeader + "[10:32:10] 參數內容有誤: " + arg + "\r\n\r\n");
  EXPECT_EQ(inst.Log("261208", "ZolmetPrint.debug"), "");
}

TEST(ZolmetPrint, HackLogOfAFreshRootHoldsHeaderAndEntriesByteForByte) {
  Installed inst;
  EXPECT_EQ(inst.Run("", "2009-08-31 23:59:58"), 0u);
  EXPECT_EQ(inst.Run("ver", "2009-08-31 23:59:59"), 0u);
  EXPECT_EQ(inst.Run("VER x", "2009-09-01 00:00:00"), 0u);
  EXPECT_EQ(inst.Run(Scramble("no commasXJ", "2009-09-01 00:00:01"), "2009-09-01 00:00:01"), 0u);
  // Big5 bytes, CR LF; a new day starts a new file with its own header.
  EXPECT_EQ(inst.Log("090831", "ZolmetPrint.hack"),
            "Orvane\xA1\x44\x44ravik\xC1\xCA\xA5\x64\xAF\xB8 v20090831a\r\n\r\n"
            "[23:59:58] \xB0\xD1\xBC\xC6\xBC\xC6\xB6q\xBF\xF9\xBB~: 0\r\n\r\n"
            "[23:59:59] \xB0\xD1\xBC\xC6\xA4\xBA\xAE\x65\xA6\xB3\xBB~: ver\r\n\r\n");
  EXPECT_EQ(inst.Log("090901", "ZolmetPrint.hack"),
            kHeader + "[00:00:00] 參數數量錯誤: 2\r\n\r\n" +
                "[00:00:01] [收據]參數內容有誤: no commas\r\n\r\n");
  EXPECT_EQ(inst.LogFiles().size(), 2u);
}
