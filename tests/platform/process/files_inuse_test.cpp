#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>

#include "platform/process/process.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::BinPath;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

class FilesInUseTest : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  const std::string prog = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
  void SetUp() override {
    ASSERT_TRUE(win::ForceDirectories("C:\\Program Files\\Zolmet\\"));
    fs::copy_file(BinPath("zolmet-test-child"), root.Host(prog));
  }
};

}  // namespace

TEST_F(FilesInUseTest, RunningProgramCannotBeDeletedOrOverwritten) {
  std::string before = ReadFile(root.Host(prog));
  win::HPROCESS p = win::CreateProcess("\"" + prog + "\" sleep 20000", "C:\\Program Files\\Zolmet");
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(win::DeleteFile(prog));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_EQ(win::FileCreate(prog), -1);
  EXPECT_EQ(win::GetLastError(), win::ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadFile(root.Host(prog)), before);

  // Another copy of the same program is not in use.
  fs::copy_file(root.Host(prog), root.Host("C:\\copy.exe"));
  EXPECT_TRUE(win::DeleteFile("C:\\copy.exe"));

  ASSERT_TRUE(win::TerminateProcess(p, 1));
  EXPECT_EQ(win::WaitForSingleObject(p, 5000), win::WAIT_OBJECT_0);
  EXPECT_TRUE(win::DeleteFile(prog));
  EXPECT_FALSE(win::FileExists(prog));
}

TEST_F(FilesInUseTest, LoadedLibraryCannotBeDeleted) {
  std::string lib = "C:\\Program Files\\Zolmet\\Zolmet.ocx";
  fs::copy_file(BinPath("libzolmet-test-reslib.so"), root.Host(lib));
  void* h = dlopen(root.Host(lib).c_str(), RTLD_NOW);
  ASSERT_NE(h, nullptr) << dlerror();
  EXPECT_FALSE(win::DeleteFile(lib));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ACCESS_DENIED);
  EXPECT_TRUE(win::FileExists(lib));
  dlclose(h);
}

TEST_F(FilesInUseTest, CreateWriteAndFolders) {
  EXPECT_TRUE(win::ForceDirectories("C:\\a\\b\\c\\"));
  EXPECT_TRUE(win::DirectoryExists("C:\\a\\b\\c"));
  EXPECT_TRUE(win::ForceDirectories("C:\\a\\b\\c"));  // already there
  WriteFile(root.Host("C:\\file"), "x");
  EXPECT_FALSE(win::ForceDirectories("C:\\file\\sub"));

  int h = win::FileCreate("C:\\a\\b\\c\\new.exe");
  ASSERT_GE(h, 1);
  EXPECT_EQ(win::FileWrite(h, "hello", 5), 5);
  win::FileClose(h);
  EXPECT_EQ(ReadFile(root.Host("C:\\a\\b\\c\\new.exe")), "hello");
  EXPECT_NE(fs::status(root.Host("C:\\a\\b\\c\\new.exe")).permissions() & fs::perms::owner_exec, fs::perms::none);
  // Replacing an old file.
  h = win::FileCreate("C:\\a\\b\\c\\new.exe");
  EXPECT_EQ(win::FileWrite(h, "hi", 2), 2);
  win::FileClose(h);
  EXPECT_EQ(ReadFile(root.Host("C:\\a\\b\\c\\new.exe")), "hi");
  EXPECT_EQ(win::FileCreate("C:\\missing\\new.exe"), -1);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);

  char buf[201];
  EXPECT_EQ(win::GetWindowsDirectory(buf, 200), 10u);
  EXPECT_STREQ(buf, "C:\\Windows");
  EXPECT_EQ(win::GetSystemDirectory(buf, 200), 19u);
  EXPECT_STREQ(buf, "C:\\Windows\\System32");
  EXPECT_EQ(win::GetSystemDirectory(buf, 5), 20u);
}
