// scripts/demo.sh against this build, as `make demo` runs it: without a
// terminal, in a folder of its own, with a ZOLMET_ROOT and a HOME that it
// must leave alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>

#include "platform/sysroot/codepage.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

std::string U(const std::string& big5) { return cp::Big5ToUtf8(big5); }

class Folder {
 public:
  Folder() {
    char tmpl[] = "/tmp/zolmet-demo-test-XXXXXX";
    if (mkdtemp(tmpl)) path_ = tmpl;
  }
  ~Folder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

size_t Entries(const std::string& dir) {
  size_t n = 0;
  for (auto it = fs::recursive_directory_iterator(dir); it != fs::recursive_directory_iterator(); ++it) ++n;
  return n;
}

TEST(DemoE2E, RunsTheMainJobInItsOwnRootAndShowsWhatItDid) {
  Folder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string cwd = folder.path() + "/run", home = folder.path() + "/home",
                    exported = folder.path() + "/exported-root";
  fs::create_directories(cwd);
  fs::create_directories(home);
  fs::create_directories(exported);
  WriteFile(exported + "/keep", "x");
  // A previous run's root is wiped.
  WriteFile(cwd + "/demo-root/left-over", "x");

  const std::string build = fs::path(ZOLMET_BIN_DIR).parent_path().string();
  const std::string cmd = "cd '" + cwd + "' && HOME='" + home + "' ZOLMET_ROOT='" + exported +
                          "' timeout 120 bash '" ZOLMET_SOURCE_DIR "/scripts/demo.sh' '" + build +
                          "' </dev/null >'" + folder.path() + "/out' 2>&1";
  int status = std::system(cmd.c_str());
  const std::string out = ReadFile(folder.path() + "/out");
  ASSERT_TRUE(WIFEXITED(status)) << out;
  EXPECT_EQ(WEXITSTATUS(status), 0) << out;

  // Each step says what it is and what came of it.
  for (const std::string& line : {
           "== 1. system root: " + cwd + "/demo-root\n",
           U("] 安裝/更新 成功\n"),
           U("      安裝 OCX (0)\n"),
           std::string("    GetVer         -> 1,0,0,27\n"),
           std::string("    GetInnerVer    -> v20090831a\n"),
           std::string("    GetPrinterVer  -> v20090831a\n"),
           std::string("    GetIPInfo      -> "),
           std::string("Print returned 1 (1: the print program was started); it has ended\n"),
           "--- job-0001: 820x579 tenths of a mm, Status=done\n    " + cwd +
               "/demo-root/C/Zolmet/Printed/Zolmet/job-0001.pdf\n    " + cwd +
               "/demo-root/C/Zolmet/Printed/Zolmet/job-0001-p1.png\n",
           U("Orvane Dravik購卡站\n"),
           U("Orvane 購卡站 收據\n"),
           std::string("--- job-0002: 820x301 tenths of a mm, Status=done\n"),
           U("交易序號 20090831-0001\n"),
           U("本收據無條碼\n"),
           U("] 列印完成\n"),
           std::string("    GET /Zolmet/PrintData.aspx?d=demo\n"),
           "--- " + cwd + "/demo-root/C/Zolmet/Logs/",
           U("[OCX][Print] IP=127.0.0.1 Web=127.0.0.1:"),
           U("[EXE][Print][L] 示範單據開始\n"),
           std::string("== 7. stop the print-data server\nstopped\n"),
           std::string("== done: 2 receipts fetched, checked and printed on \"Zolmet\"\n"),
       })
    EXPECT_NE(out.find(line), std::string::npos) << "missing: " << line << "\n" << out;
  EXPECT_EQ(out.find("FAILED"), std::string::npos) << out;
  EXPECT_EQ(out.find(U("列印失敗")), std::string::npos) << out;
  EXPECT_EQ(out.find("job-0003"), std::string::npos) << out;

  // The installed files are the freshly built ones.
  const std::string installed = cwd + "/demo-root/C/Program Files/Zolmet/";
  EXPECT_TRUE(ReadFile(installed + "ZolmetPrint.exe") == ReadFile(testing_support::BinPath("ZolmetPrint")));
  EXPECT_TRUE(ReadFile(installed + "Zolmet.ocx") == ReadFile(testing_support::BinPath("Zolmet.ocx")));
  EXPECT_FALSE(fs::exists(cwd + "/demo-root/left-over"));
  // Nothing outside its own root.
  EXPECT_EQ(Entries(home), 0u);
  EXPECT_EQ(Entries(exported), 1u);
}

}  // namespace
