#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/uuCommon.h"
#include "platform/process/clock.h"
#include "platform/sysroot/files.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::TempRoot;

namespace {

struct FixedClock {
  explicit FixedClock(win::DateTimeParts p) { win::SetNowForTesting(win::EncodeDateTime(p)); }
  ~FixedClock() { win::SetNowForTesting(std::nullopt); }
};

}  // namespace

TEST(ForceDir, CreatesMissingParentsWithOrWithoutTrailingSeparator) {
  TempRoot root;
  EXPECT_TRUE(uuCommon::ForceDir("C:\\Zolmet\\Logs\\"));
  EXPECT_TRUE(win::DirectoryExists("C:\\Zolmet\\Logs"));
  EXPECT_TRUE(uuCommon::ForceDir("C:\\Zolmet\\Logs"));
  EXPECT_TRUE(uuCommon::ForceDir("C:\\a\\b\\c"));
  EXPECT_TRUE(fs::is_directory(root.path() + "/C/a/b/c"));
  // No parent part, and nothing at all: cannot be created.
  EXPECT_FALSE(uuCommon::ForceDir("Logs"));
  EXPECT_FALSE(uuCommon::ForceDir(""));
  EXPECT_FALSE(uuCommon::ForceDir("\\"));
}

TEST(WriteLog, LaysOutTheDaysFileByteForByte) {
  TempRoot root;
  FixedClock clock({2009, 8, 31, 9, 5, 7});
  uuCommon::WriteLog("C:\\Zolmet\\Logs\\", "ZolmetPrint.err", "first");
  uuCommon::WriteLog("C:\\Zolmet\\Logs", "ZolmetPrint.err", "second\rline");
  uuCommon::WriteLog("C:\\Zolmet\\Logs", "ZolmetPrint.err", "");
  std::string file = ReadFile(root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt"));
  EXPECT_EQ(file,
            "Orvane．Dravik購卡站 v20090831a\r\n\r\n"
            "[09:05:07] first\r\n\r\n"
            "[09:05:07] second\rline\r\n\r\n"
            "[09:05:07] \r\n\r\n");
  // The header bytes are Big5.
  EXPECT_EQ(file.substr(6, 2), "\xA1\x44");
}

TEST(WriteLog, ControlHeaderHasNoEmptyLine) {
  TempRoot root;
  FixedClock clock({2026, 1, 2, 23, 59, 59});
  uuCommon::WriteLog("C:\\Zolmet\\Logs\\", "Zolmet.debug", "x", uuCommon::kControlLogHeader);
  EXPECT_EQ(ReadFile(root.Host("C:\\Zolmet\\Logs\\260102.Zolmet.debug.txt")),
            "ZolmetOCX v20090831a\r\n[23:59:59] x\r\n\r\n");
}

TEST(WriteLog, EachDayHasItsOwnFile) {
  TempRoot root;
  {
    FixedClock clock({2009, 8, 31, 23, 59, 59});
    uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.hack", "a");
  }
  {
    FixedClock clock({2009, 9, 1, 0, 0, 0});
    uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.hack", "b");
  }
  EXPECT_NE(ReadFile(root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.hack.txt")).find("] a"),
            std::string::npos);
  EXPECT_NE(ReadFile(root.Host("C:\\Zolmet\\Logs\\090901.ZolmetPrint.hack.txt")).find("] b"),
            std::string::npos);
}

TEST(WriteLog, UnwritableFolderLosesTheEntryQuietly) {
  if (geteuid() == 0) {
    // Root ignores permissions: block the folder with a file instead.
    TempRoot root;
    testing_support::WriteFile(root.path() + "/C/Zolmet", "not a folder");
    uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "lost");
    EXPECT_FALSE(uuCommon::ForceDir(uuCommon::kLogDir));
    return;
  }
  TempRoot root;
  fs::create_directories(root.path() + "/C/Zolmet/Logs");
  chmod((root.path() + "/C/Zolmet/Logs").c_str(), 0500);
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "lost");
  chmod((root.path() + "/C/Zolmet/Logs").c_str(), 0700);
  EXPECT_TRUE(fs::is_empty(root.path() + "/C/Zolmet/Logs"));
}

TEST(WriteLog, ProcessesWritingTogetherNeverInterleave) {
  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  const int kProcs = 6, kEntries = 200;
  std::string big(3000, 'x');
  std::vector<pid_t> kids;
  for (int p = 0; p < kProcs; ++p) {
    pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0; i < kEntries; ++i)
        uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.debug",
                           std::to_string(p) + ":" + big + ":" + std::to_string(p));
      _exit(0);
    }
    kids.push_back(pid);
  }
  for (pid_t k : kids) waitpid(k, nullptr, 0);
  std::string file = ReadFile(root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.debug.txt"));
  const std::string header = uuCommon::kPrintLogHeader;
  ASSERT_EQ(file.compare(0, header.size(), header), 0);
  EXPECT_EQ(file.find(header, 1), std::string::npos);
  size_t pos = header.size(), count = 0;
  while (pos < file.size()) {
    size_t end = file.find("\r\n\r\n", pos);
    ASSERT_NE(end, std::string::npos);
    std::string entry = file.substr(pos, end - pos);
    ASSERT_EQ(entry.substr(0, 11), "[12:00:00] ");
    std::string body = entry.substr(11);
    char who = body[0];
    EXPECT_EQ(body, std::string(1, who) + ":" + big + ":" + std::string(1, who));
    pos = end + 4;
    ++count;
  }
  EXPECT_EQ(count, static_cast<size_t>(kProcs * kEntries));
}

TEST(WriteLog, FullDiskLosesWholeEntriesAndTearsNone) {
  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  // Entry I holds I, a colon and a run of x whose length varies, so some
  // entries still fit after others no longer do.
  auto text = [](int i) { return std::to_string(i) + ":" + std::string(static_cast<size_t>(i * 37 % 300), 'x'); };
  const rlim_t kLimit = 4000;
  const int kEntries = 120;
  pid_t pid = fork();
  if (pid == 0) {
    // The file-size limit stands in for a full disk: a write is cut short
    // at the limit, the next one fails.
    signal(SIGXFSZ, SIG_IGN);
    rlimit lim{kLimit, kLimit};
    setrlimit(RLIMIT_FSIZE, &lim);
    for (int i = 0; i < kEntries; ++i) uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", text(i));
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  std::string file = ReadFile(root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt"));
  const std::string header = uuCommon::kPrintLogHeader;
  ASSERT_EQ(file.compare(0, header.size(), header), 0);
  EXPECT_LE(file.size(), kLimit);
  EXPECT_GT(file.size(), kLimit - 400);  // the limit was reached
  size_t pos = header.size();
  int last = -1, count = 0;
  while (pos < file.size()) {
    size_t end = file.find("\r\n\r\n", pos);
    ASSERT_NE(end, std::string::npos) << "torn tail: " << file.substr(pos);
    std::string entry = file.substr(pos, end - pos);
    ASSERT_EQ(entry.substr(0, 11), "[12:00:00] ") << entry;
    int i = std::atoi(entry.c_str() + 11);
    EXPECT_GT(i, last);
    EXPECT_EQ(entry.substr(11), text(i));
    last = i;
    pos = end + 4;
    ++count;
  }
  EXPECT_GT(count, 10);
  EXPECT_LT(count, kEntries);  // some were lost
}

// Outside text is logged with its line breaks shown and cut to 64 KiB; the
// entry around it keeps its own format.
TEST(WriteLog, OutsideTextCanNeitherForgeEntriesNorGrowPast64KiB) {
  using uuCommon::ForLog;
  EXPECT_EQ(ForLog("plain 中文"), "plain 中文");
  EXPECT_EQ(ForLog("a\r\n[12:00:00] forged\r\n\r\nb\rc\nd"), "a\\r\\n[12:00:00] forged\\r\\n\\r\\nb\\rc\\nd");
  const size_t kMax = 64 * 1024;
  EXPECT_EQ(ForLog(std::string(kMax, 'x')), std::string(kMax, 'x'));
  // Cut at 64 KiB of the text itself; N is its whole length.
  const std::string big = std::string(kMax - 1, 'y') + "\r\n" + std::string(1 << 20, 'z');
  EXPECT_EQ(ForLog(big), std::string(kMax - 1, 'y') + "\\r ... (" + std::to_string(big.size()) + " bytes)");

  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "head\r" + ForLog("x\r\n[12:00:00] fake\r\n") + "\rtail");
  EXPECT_EQ(ReadFile(root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt")),
            uuCommon::kPrintLogHeader + "[12:00:00] head\rx\\r\\n[12:00:00] fake\\r\\n\rtail\r\n\r\n");
}

// However many pieces an entry is made of, the whole entry stays within
// 64 KiB, cut at a whole character and marked with the text's length.
TEST(WriteLog, EveryEntryStaysWithin64KiBWhateverItIsMadeOf) {
  using uuCommon::ForLog;
  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  const std::string file = root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt");
  const std::string key(1 << 20, '7');
  const std::vector<std::string> texts = {
      "密鑰索引有誤: " + ForLog(key) + "\r" + ForLog("K" + key + "\rEND\r"),
      ForLog(std::string(1 << 20, 'a')) + ForLog(std::string(1 << 20, 'b')) + ForLog(std::string(1 << 20, 'c')) +
          ForLog(std::string(1 << 20, 'd')),
      std::string(70000, 'x') + "中文中文中文",
      "x" + std::string(40000, '\xA4'),
  };
  for (const std::string& text : texts) {
    fs::remove(file);
    uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", text);
    const std::string entry = ReadFile(file).substr(uuCommon::kPrintLogHeader.size());
    EXPECT_LE(entry.size(), uuCommon::kMaxEntry);
    EXPECT_EQ(entry.substr(entry.size() - 4), "\r\n\r\n");
    const std::string mark = " ... (" + std::to_string(text.size()) + " bytes)\r\n\r\n";
    if (text.size() + 15 > uuCommon::kMaxEntry) {
      ASSERT_GE(entry.size(), mark.size());
      EXPECT_EQ(entry.substr(entry.size() - mark.size()), mark);
      // The kept text is the text's beginning, whole characters only.
      const std::string kept = entry.substr(11, entry.size() - 11 - mark.size());
      EXPECT_EQ(text.compare(0, kept.size(), kept), 0);
      size_t i = 0;
      while (i < kept.size()) i += static_cast<unsigned char>(kept[i]) >= 0x81 ? 2 : 1;
      EXPECT_EQ(i, kept.size());
    }
  }
}

// A link where the day's log goes (to a file outside the root, or to
// nothing) is never followed: the entry is lost, the link and its target stay.
TEST(WriteLog, ALinkInTheLogsPlaceIsNeverFollowed) {
  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  const std::string logs = root.Host("C:\\Zolmet\\Logs");
  fs::create_directories(logs);
  const std::string outside = root.path() + "-outside";
  fs::create_directories(outside);
  testing_support::WriteFile(outside + "/kept.txt", "kept");
  fs::create_symlink(outside + "/kept.txt", logs + "/090831.ZolmetPrint.debug.txt");
  fs::create_symlink(outside + "/made.txt", logs + "/090831.ZolmetPrint.err.txt");
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.debug", "entry");
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "entry");
  EXPECT_EQ(ReadFile(outside + "/kept.txt"), "kept");
  EXPECT_FALSE(fs::exists(outside + "/made.txt"));
  EXPECT_TRUE(fs::is_symlink(logs + "/090831.ZolmetPrint.debug.txt"));
  EXPECT_TRUE(fs::is_symlink(logs + "/090831.ZolmetPrint.err.txt"));
  fs::remove_all(outside);
}

// An entry is appended under the lock a repair of a cut-short append takes,
// so no repair can cut it: while another holds the file's lock, nothing is
// appended; once it lets go, the entry follows.
TEST(WriteLog, AppendsWaitForTheLockThatRepairsTake) {
  TempRoot root;
  FixedClock clock({2009, 8, 31, 12, 0, 0});
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "first");
  const std::string path = root.Host("C:\\Zolmet\\Logs\\090831.ZolmetPrint.err.txt");
  const std::string before = ReadFile(path);
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  pid_t pid = fork();
  if (pid == 0) {
    uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.err", "second");
    _exit(0);
  }
  // The writer is given time to append; it must not.
  for (int i = 0; i < 30; ++i) {
    usleep(10000);
    ASSERT_EQ(ReadFile(path), before);
  }
  flock(fd, LOCK_UN);
  close(fd);
  waitpid(pid, nullptr, 0);
  EXPECT_EQ(ReadFile(path), before + "[12:00:00] second\r\n\r\n");
}
