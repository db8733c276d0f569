#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

// A folder of its own for each test, with no root in it yet.
class FirstRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "zolmet-first-XXXXXX").string();
    ASSERT_TRUE(mkdtemp(tmpl.data()));
    dir = tmpl;
    root = dir + "/.zolmet";
  }
  void TearDown() override {
    sysroot::SetFirstRunLayOut(nullptr);
    sysroot::SetRoot("");
    fs::remove_all(dir);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename());
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string dir, root;
};

// A lay-out that writes through the Windows paths, as the real one does.
bool WriteWinIni(const std::string& hostRoot, std::string& error) {
  if (sysroot::Root() != hostRoot) {
    error = "the root is not the one being laid out";
    return false;
  }
  fs::create_directories(hostRoot + "/C/Windows");
  return sysroot::ReplaceFile(sysroot::HostPath("C:\\Windows\\win.ini"), "[windows]\r\n");
}

}  // namespace

TEST_F(FirstRun, ThreadsStartingAtOnceLayTheRootOutOnce) {
  std::atomic<int> calls{0};
  std::atomic<int> failures{0};
  auto layOut = [&](const std::string& r, std::string& error) {
    ++calls;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return WriteWinIni(r, error);
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&] {
      std::string error;
      if (!sysroot::LayOutMissingRoot(root, layOut, error)) ++failures;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(ReadFile(root + "/C/Windows/win.ini"), "[windows]\r\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{".zolmet", ".zolmet.lock"}));
}

TEST_F(FirstRun, AFailedLayOutLeavesNoRootAndARootThatExistsIsLeftAlone) {
  std::string error;
  auto failing = [](const std::string& r, std::string& e) {
    WriteFile(r + "/half", "made before the failure");
    e = "disk full";
    return false;
  };
  EXPECT_FALSE(sysroot::LayOutMissingRoot(root, failing, error));
  EXPECT_EQ(error, "disk full");
  EXPECT_EQ(Names(), std::vector<std::string>{".zolmet.lock"});

  fs::create_directories(root);
  int calls = 0;
  auto counting = [&](const std::string&, std::string&) { return ++calls > 0; };
  EXPECT_TRUE(sysroot::LayOutMissingRoot(root, counting, error));
  EXPECT_EQ(calls, 0);
  EXPECT_TRUE(fs::is_empty(root));

  // A path through a regular file cannot become a root.
  WriteFile(dir + "/plain", "");
  EXPECT_FALSE(sysroot::LayOutMissingRoot(dir + "/plain/root", counting, error));
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(error.empty());
}

TEST_F(FirstRun, TheFirstUseOfAMissingRootLaysItOutAndTellsOnceWhenItCannot) {
  int calls = 0;
  sysroot::SetFirstRunLayOut([&](const std::string& r, std::string& error) {
    ++calls;
    return WriteWinIni(r, error);
  });
  sysroot::SetRoot(root);
  EXPECT_EQ(sysroot::Root(), root);
  EXPECT_EQ(sysroot::HostPath("C:\\Windows\\win.ini"), root + "/C/Windows/win.ini");
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ReadFile(root + "/C/Windows/win.ini"), "[windows]\r\n");

  WriteFile(dir + "/plain", "");
  const std::string bad = dir + "/plain/root";
  sysroot::SetRoot(bad);
  testing::internal::CaptureStderr();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(sysroot::Root(), bad);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(calls, 1);
  EXPECT_NE(err.find(": cannot lay out the system root " + bad + ": Not a directory\n"), std::string::npos) << err;
  EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

TEST_F(FirstRun, ARelativeRootIsMadeInTheWorkingFolder) {
  const fs::path was = fs::current_path();
  fs::current_path(dir);
  std::string error;
  bool ok = sysroot::LayOutMissingRoot("rel", WriteWinIni, error);
  fs::current_path(was);
  EXPECT_TRUE(ok) << error;
  EXPECT_EQ(ReadFile(dir + "/rel/C/Windows/win.ini"), "[windows]\r\n");
}
