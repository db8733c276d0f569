// The installer program as a person runs it: in a terminal (a real
// pseudo-terminal), in a fresh system root, carrying the freshly built print
// program and control.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/process/process.h"
#include "platform/registry/registry.h"
#include "platform/resources/resources.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::BinPath;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

const std::string kPrinter = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
const std::string kControl = "C:\\Program Files\\Zolmet\\Zolmet.ocx";

std::string U(const std::string& big5) { return cp::Big5ToUtf8(big5); }

// A program on a pseudo-terminal, with the system root in its environment.
class Terminal {
 public:
  Terminal(const std::string& program, const std::string& root) {
    pid_ = forkpty(&fd_, nullptr, nullptr, nullptr);
    if (pid_ == 0) {
      setenv("ZOLMET_ROOT", root.c_str(), 1);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Terminal() {
    if (pid_ > 0 && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  // Reads until the output since the last answer holds TEXT and a prompt
  // follows it (or the program ends); the output since the last answer.
  std::string WaitFor(const std::string& text, int timeoutMs = 30000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      size_t at = out_.find(text, mark_);
      if (at != std::string::npos && out_.find("> ", at) != std::string::npos) break;
      if (!Read(50)) break;  // the program has ended
    }
    return out_.substr(mark_);
  }
  void Type(const std::string& line) {
    mark_ = out_.size();
    std::string l = line + "\n";
    EXPECT_EQ(write(fd_, l.data(), l.size()), static_cast<ssize_t>(l.size()));
  }
  // Waits for the program to end; its exit status, or -1.
  int Wait(int timeoutMs = 30000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      if (!Read(50)) std::this_thread::sleep_for(std::chrono::milliseconds(50));
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        while (Read(50)) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
    }
    return -1;
  }
  const std::string& Output() const { return out_; }

 private:
  bool Read(int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return true;
    char buf[4096];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    for (ssize_t i = 0; i < n; ++i)
      if (buf[i] != '\r') out_ += buf[i];
    return true;
  }
  pid_t pid_ = -1;
  int fd_ = -1;
  bool ended_ = false;
  std::string out_;
  size_t mark_ = 0;
};

class InstallerE2E : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  std::string installer = BinPath("ZolmetInstall");
  void SetUp() override {
    fs::copy_file(BinPath("zolmet-test-regsvr32"), root.Host("C:\\Windows\\System32\\regsvr32.exe"));
  }
  std::string RegLog() const { return ReadFile(root.Host("C:\\regsvr32.log")); }
  // Starts the installer, presses "開始 安裝/更新" and answers Yes; the text
  // shown up to the next choice of buttons.
  std::string Install(Terminal& t) {
    t.WaitFor(U("開始 安裝/更新"));
    t.Type("1");
    t.WaitFor(U("避免衝突確認"));
    t.Type("1");
    return t.WaitFor(U("結束"));
  }
};

}  // namespace

TEST_F(InstallerE2E, WithoutTerminalNothingIsTouched) {
  // Standard input is not a terminal and nothing is scripted: the form,
  // which has no default button, is closed and the program ends.
  std::string cmd = "ZOLMET_ROOT=\"" + root.path() + "\" \"" + installer + "\" </dev/null >/dev/null 2>&1";
  int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_FALSE(win::DirectoryExists("C:\\Program Files\\Zolmet"));
  EXPECT_EQ(RegLog(), "");
}

TEST_F(InstallerE2E, FirstInstallationInAFreshRoot) {
  Terminal t(installer, root.path());
  std::string first = t.WaitFor(U("開始 安裝/更新"));
  EXPECT_NE(first.find(U("Dravik安裝包 v20090831a")), std::string::npos) << first;
  t.Type("1");
  std::string question = t.WaitFor(U("避免衝突確認"));
  EXPECT_NE(question.find(U("確認已關閉所有瀏覽器相關軟體?")), std::string::npos) << question;
  t.Type("1");
  std::string shown = t.WaitFor(U("結束"));
  EXPECT_NE(shown.find(U("安裝/更新 成功")), std::string::npos) << shown;
  std::string memo = U("安裝包 版本: \nZolmetPrint.exe\n  不存在\n  建立新版本: \nZolmet.ocx\n  不存在\n  建立新版本: ");
  EXPECT_NE(shown.find(memo), std::string::npos) << shown;
  EXPECT_NE(shown.find(U("  安裝 OCX (0)")), std::string::npos) << shown;
  // The start button is out of use once the installation is done; it
  // keeps its number.
  EXPECT_NE(shown.find(U("1) 開始 安裝/更新 (disabled)")), std::string::npos) << shown;
  t.Type("2");  // 結束
  EXPECT_EQ(t.Wait(), 0);

  EXPECT_TRUE(ReadFile(root.Host(kPrinter)) == ReadFile(BinPath("ZolmetPrint")));
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == ReadFile(BinPath("Zolmet.ocx")));
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");

  // The installed print program runs and answers its version.
  win::HPROCESS ver = win::CreateProcess(kPrinter + " VER", "C:\\Program Files\\Zolmet");
  ASSERT_NE(ver, nullptr);
  ASSERT_EQ(win::WaitForSingleObject(ver, 30000), win::WAIT_OBJECT_0);
  win::DWORD code = 0;
  EXPECT_TRUE(win::GetExitCodeProcess(ver, code));
  EXPECT_EQ(code, 9083100u);
}

TEST_F(InstallerE2E, SecondInstallationAndARunningPrintProgram) {
  {
    Terminal t(installer, root.path());
    ASSERT_NE(Install(t).find(U("安裝/更新 成功")), std::string::npos);
    t.Type("2");
    EXPECT_EQ(t.Wait(), 0);
  }
  {
    Terminal t(installer, root.path());
    std::string shown = Install(t);
    EXPECT_NE(shown.find(U("安裝/更新 成功")), std::string::npos) << shown;
    EXPECT_NE(shown.find(U("ZolmetPrint.exe\n  舊有版本: \n  建立新版本: \nZolmet.ocx\n  舊有版本: ")),
              std::string::npos) << shown;
    EXPECT_NE(shown.find(U("  解除 OCX (0)\n  建立新版本: ")), std::string::npos) << shown;
    t.Type("2");
    EXPECT_EQ(t.Wait(), 0);
  }
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/u /s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");

  // A print program running from the installed file stops the next one.
  fs::remove(root.Host(kPrinter));
  fs::copy_file(BinPath("zolmet-test-child"), root.Host(kPrinter));
  win::HPROCESS running = win::CreateProcess("\"" + kPrinter + "\" sleep 30000");
  ASSERT_NE(running, nullptr);
  std::string control = ReadFile(root.Host(kControl));
  {
    Terminal t(installer, root.path());
    std::string shown = Install(t);
    EXPECT_NE(shown.find(U("安裝/更新 失敗")), std::string::npos) << shown;
    EXPECT_NE(shown.find(U("ZolmetPrint.exe\n  舊有版本: \n  刪除失敗. 可能使用中\n"
                           "  請確認關閉Dravik列印程式, 或者重新開機\n")),
              std::string::npos) << shown;
    EXPECT_EQ(shown.find("Zolmet.ocx"), std::string::npos) << shown;
    // The start button stays for another try.
    EXPECT_NE(shown.find(U("開始 安裝/更新")), std::string::npos) << shown;
    t.Type("2");
    EXPECT_EQ(t.Wait(), 0);
  }
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == control);
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/u /s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");
  win::TerminateProcess(running, 1);
  win::WaitForSingleObject(running, 5000);
}

TEST_F(InstallerE2E, OpenBrowserWindowStopsBeforeAnythingIsTouched) {
  win::HPROCESS browser = win::CreateProcess("\"" + sysroot::WinPath(BinPath("zolmet-test-browser")) + "\"");
  ASSERT_NE(browser, nullptr);
  for (int i = 0; i < 200 && !fs::exists(fs::path(root.path()) / "Platform" / "TopWindows"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(25));
  {
    Terminal t(installer, root.path());
    std::string shown = Install(t);
    EXPECT_NE(shown.find(U("發現IE視窗，請務必先關閉所有 IE 視窗")), std::string::npos) << shown;
    EXPECT_EQ(shown.find(U("安裝/更新 成功")), std::string::npos) << shown;
    EXPECT_EQ(shown.find(U("安裝/更新 失敗")), std::string::npos) << shown;
    EXPECT_EQ(shown.find("ZolmetPrint.exe"), std::string::npos) << shown;
    t.Type("2");
    EXPECT_EQ(t.Wait(), 0);
  }
  EXPECT_FALSE(win::DirectoryExists("C:\\Program Files\\Zolmet"));
  EXPECT_EQ(RegLog(), "");
  win::TerminateProcess(browser, 1);
  win::WaitForSingleObject(browser, 5000);
}

TEST_F(InstallerE2E, MissingResourceEndsInFailure) {
  // A copy of the installer that carries the print program but no control.
  std::string copy = root.Host("C:\\ZolmetInstall.exe");
  fs::copy_file(installer, copy);
  win::HMODULE own = win::LoadLibraryAsDataFile(sysroot::WinPath(installer));
  win::HRSRC printer = win::FindResource(own, "PRINTER", "BIN");
  ASSERT_NE(printer, nullptr);
  const char* bytes = static_cast<const char*>(win::LockResource(win::LoadResource(own, printer)));
  std::string section = rsrc::Pack({{"BIN", "PRINTER", std::string(bytes, win::SizeofResource(own, printer))}});
  WriteFile(copy + ".rsrc", section);
  std::string cmd = std::string(ZOLMET_OBJCOPY) + " --remove-section=.zolmet_rsrc --add-section .zolmet_rsrc=" +
                    copy + ".rsrc " + copy;
  ASSERT_EQ(std::system(cmd.c_str()), 0);

  Terminal t(copy, root.path());
  std::string shown = Install(t);
  EXPECT_NE(shown.find(U("安裝/更新 失敗")), std::string::npos) << shown;
  EXPECT_NE(shown.find(U("Zolmet.ocx\n  不存在\n  建立新版本檔案, 失敗: 找不到資源項目\n")), std::string::npos)
      << shown;
  t.Type("2");
  EXPECT_EQ(t.Wait(), 0);
  EXPECT_FALSE(win::FileExists(kControl));
  EXPECT_EQ(RegLog(), "");
}

namespace {

// A root laid out with the system's own tools (the real registration tool).
class InstallerWithRealParts : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  void SetUp() override {
    std::string cmd = "\"" + BinPath("zolmet-sysroot") + "\" \"" + root.path() + "\" >/dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  // What the page stand-in prints for CALLS.
  std::string Page(const std::string& calls) {
    std::string cmd = "ZOLMET_ROOT=\"" + root.path() + "\" \"" + BinPath("zolmet-page") + "\" " + calls + " 2>&1";
    std::string out;
    if (FILE* f = popen(cmd.c_str(), "r")) {
      char buf[4096];
      size_t n;
      while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
      pclose(f);
    }
    return out;
  }
  std::string Install() {
    Terminal t(BinPath("ZolmetInstall"), root.path());
    t.WaitFor(U("開始 安裝/更新"));
    t.Type("1");
    t.WaitFor(U("避免衝突確認"));
    t.Type("1");
    std::string shown = t.WaitFor(U("結束"));
    t.Type(shown.find(U("開始 安裝/更新")) == std::string::npos ? "1" : "2");
    EXPECT_EQ(t.Wait(), 0);
    return shown;
  }
};

const std::string kServerKey = "CLSID\\{8070D7AB-9D3F-4EB9-9405-70447F713814}\\InprocServer32";

}  // namespace

TEST_F(InstallerWithRealParts, InstallRegisterAndAskTheControl) {
  std::string shown = Install();
  EXPECT_NE(shown.find(U("安裝/更新 成功")), std::string::npos) << shown;
  EXPECT_NE(shown.find(U("ZolmetPrint.exe\n  不存在\n  建立新版本: \nZolmet.ocx\n  不存在\n"
                         "  建立新版本: 1.0.0.27\n  安裝 OCX (0)\n")),
            std::string::npos) << shown;
  EXPECT_EQ(reg::GetValue(reg::Hive::ClassesRoot, kServerKey, ""), "C:\\Program Files\\Zolmet\\Zolmet.ocx");
  EXPECT_EQ(reg::GetValue(reg::Hive::ClassesRoot, kServerKey, "ThreadingModel"), "Apartment");
  EXPECT_EQ(Page("GetVer \\; GetPrinterVer"), "1,0,0,27\nv20090831a\n");

  // An update over it: unregistered, replaced, registered again.
  shown = Install();
  EXPECT_NE(shown.find(U("安裝/更新 成功")), std::string::npos) << shown;
  EXPECT_NE(shown.find(U("Zolmet.ocx\n  舊有版本: 1.0.0.27\n  解除 OCX (0)\n  建立新版本: 1.0.0.27\n"
                         "  安裝 OCX (0)\n")),
            std::string::npos) << shown;
  EXPECT_EQ(reg::GetValue(reg::Hive::ClassesRoot, kServerKey, ""), "C:\\Program Files\\Zolmet\\Zolmet.ocx");
  EXPECT_EQ(Page("GetVer \\; GetPrinterVer"), "1,0,0,27\nv20090831a\n");
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == ReadFile(BinPath("Zolmet.ocx")));
}
