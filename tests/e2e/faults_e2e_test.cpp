// The real ZolmetPrint under faults: drive C on a small tmpfs with 40 to
// 120 KB free (needs root to mount it; skipped without), the program killed
// while its printer's command runs, and the forms' lock held by a process
// that hangs.
#include <signal.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <cstring>
#include <iostream>

#include "tests/e2e/print_program.h"

using namespace print_e2e;

namespace {

// The demo reply of the print-data server.
class DemoServer {
 public:
  DemoServer() : server_(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts", "/Zolmet/") {}
  std::string Request() { return "10.1.1.1," + server_.host() + ",/Zolmet/,demoXJ"; }

 private:
  printdata_test::ServerProcess server_;
};

std::vector<fs::path> Files(const std::string& folder, const std::string& extension) {
  std::vector<fs::path> out;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == extension) out.push_back(e.path());
  return out;
}

bool PdfReads(const fs::path& pdf) {
  return fs::exists(pdf) && Shell("pdfinfo '" + pdf.string() + "' >/dev/null 2>&1 && echo ok") == "ok\n";
}

}  // namespace

// Drive C of the root (all but the program, which is far larger than the
// disk) on a tmpfs of its own.
class FullDisk : public PrintProgram {
 protected:
  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "not root: the test mounts a small tmpfs";
    ASSERT_NO_FATAL_FAILURE(PrintProgram::SetUp());
    drive_ = root_.path() + "/C";
    const std::string kept = root_.path() + "/C-on-disk";
    fs::rename(drive_, kept);
    fs::create_directory(drive_);
    std::uintmax_t used = 0;
    for (auto& e : fs::recursive_directory_iterator(kept))
      if (e.is_regular_file() && e.path().string().find("/Program Files/") == std::string::npos)
        used += (e.file_size() + 4095) / 4096 * 4096 + 4096;
    const std::string options = "size=" + std::to_string(used / 1024 + 2048) + "k,mode=0755";
    ASSERT_EQ(mount("tmpfs", drive_.c_str(), "tmpfs", 0, options.c_str()), 0) << std::strerror(errno);
    mounted_ = true;
    for (auto& e : fs::directory_iterator(kept)) {
      const fs::path to = fs::path(drive_) / e.path().filename();
      if (e.path().filename() == "Program Files") fs::create_directory_symlink(e.path(), to);
      else fs::copy(e.path(), to, fs::copy_options::recursive);
    }
  }
  void TearDown() override {
    if (mounted_) umount2(drive_.c_str(), MNT_DETACH);
  }

  // Leaves FREE bytes free on the drive, the filler taking the rest.
  void LeaveFree(std::uintmax_t free) {
    const std::string filler = drive_ + "/filler";
    fs::remove(filler);
    struct statvfs st;
    ASSERT_EQ(statvfs(drive_.c_str(), &st), 0);
    std::uintmax_t now = std::uintmax_t{st.f_bavail} * st.f_frsize;
    ASSERT_GE(now, free);
    int fd = open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const std::string zeros(4096, '\0');
    for (std::uintmax_t n = now - free; n > 0; n -= 4096) ASSERT_EQ(write(fd, zeros.data(), 4096), 4096);
    close(fd);
    ASSERT_EQ(statvfs(drive_.c_str(), &st), 0);
    ASSERT_EQ(std::uintmax_t{st.f_bavail} * st.f_frsize, free);
  }

  std::string drive_;
  bool mounted_ = false;
};

// Every print either leaves whole PDFs that pdfinfo reads, or fails with
// "列印失敗"; no record says done of a broken or missing file, and a failed
// job leaves no part of its PDF.
TEST_F(FullDisk, EveryPrintIsWholeOrFailsAndIsToldSo) {
  DemoServer server;
  const std::string folder = root_.Host("C:\\Zolmet\\Printed\\Zolmet");
  std::string summary;
  int whole = 0, failed = 0;
  for (int kb = 40; kb <= 120; kb += 4) {
    SCOPED_TRACE(std::to_string(kb) + " KB free");
    std::error_code ec;
    fs::remove_all(folder, ec);
    fs::remove_all(root_.Host("C:\\Zolmet\\Logs"), ec);
    ASSERT_NO_FATAL_FAILURE(LeaveFree(std::uintmax_t(kb) * 1024));
    Outcome r = Start(server.Request());
    EXPECT_EQ(r.code, 0u);
    const bool told = r.err.find(U("抱歉! 列印失敗")) != std::string::npos;
    int done = 0;
    for (const fs::path& record : Files(folder, ".job")) {
      const std::string text = ReadFile(record.string());
      fs::path pdf = record;
      pdf.replace_extension(".pdf");
      if (text.find("Status=done\r\n") != std::string::npos) {
        ++done;
        EXPECT_TRUE(PdfReads(pdf)) << record << "\n" << text;
      } else {
        EXPECT_FALSE(fs::exists(pdf)) << record << "\n" << text;
        EXPECT_EQ(text.find("Pdf="), std::string::npos) << text;
      }
    }
    for (const fs::path& pdf : Files(folder, ".pdf")) EXPECT_TRUE(PdfReads(pdf)) << pdf;
    // Both receipts whole and nothing told, or the failure told.
    EXPECT_TRUE((done == 2 && !told) || told) << done << " done\n" << r.err;
    std::string cause;
    if (told) {
      const size_t at = r.err.find("No space left on device");
      cause = at == std::string::npos ? "" : ": No space left on device";
    }
    summary += std::to_string(kb) + " KB: " + std::to_string(done) + " whole" +
               (told ? ", then 列印失敗" + cause : "") + "\n";
    (told ? failed : whole) += 1;
  }
  std::cout << U(summary);
  // The sweep crosses from failing to printing.
  EXPECT_GT(failed, 0);
  EXPECT_GT(whole, 0);
}

// A print program killed while its printer's command runs takes the
// command with it, so a rerun does not print the receipt twice; what it
// left in the temporary folder is cleared by the next run.
TEST_F(PrintProgram, AKilledPrintTakesItsCommandAlongAndTheNextRunClearsItsFiles) {
  const std::string pidFile = root_.path() + "/command.pid";
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.command = "sh -c 'echo $$ >" + pidFile + "; exec sleep 1000'";
  ASSERT_TRUE(spool::InstallPrinter(z));
  const std::string tmp = root_.path() + "/tmp";
  fs::create_directories(tmp);
  setenv("TMPDIR", tmp.c_str(), 1);
  setenv("ZOLMET_CLOCK", kClock.c_str(), 1);
  win::HPROCESS print = win::CreateProcess("\"" + kProgram + "\" " + Argument("shiftIS"));
  unsetenv("ZOLMET_CLOCK");
  ASSERT_TRUE(print);
  while (std::atoi(ReadFile(pidFile).c_str()) <= 0) {
    ASSERT_EQ(win::WaitForSingleObject(print, 10), win::WAIT_TIMEOUT);
  }
  const int command = std::atoi(ReadFile(pidFile).c_str());
  ASSERT_EQ(kill(win::ProcessId(print), SIGKILL), 0);
  win::WaitForSingleObject(print, win::INFINITE);
  // The command goes (at most a zombie nobody collects is left); a kill
  // lands asynchronously, so it is given a moment.
  std::string stat;
  const bool gone = testing_support::GoneOrZombie(command, 500, stat);
  EXPECT_TRUE(gone) << stat;
  if (!gone) kill(command, SIGKILL);
  auto leftovers = [&] {
    std::vector<std::string> out;
    for (auto& e : fs::directory_iterator(tmp)) {
      const std::string name = e.path().filename().string();
      if (name.find("-" + std::to_string(win::ProcessId(print)) + "-") != std::string::npos) out.push_back(name);
    }
    return out;
  };
  EXPECT_FALSE(leftovers().empty());
  z.command = "true";
  ASSERT_TRUE(spool::InstallPrinter(z));
  Outcome r = Start("shiftIS");
  unsetenv("TMPDIR");
  EXPECT_EQ(Log("ZolmetPrint.err"), "") << r.err;
  EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

// A process that hangs holding the forms' lock fails later prints after
// the wait's bound, with a message naming the lock file.
TEST_F(PrintProgram, AHeldFormsLockFailsThePrintNamingTheFile) {
  const std::string lock = root_.Host("C:\\Windows\\System32\\spool") + "/forms.ini.lock";
  fs::create_directories(fs::path(lock).parent_path());
  int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX), 0);
  setenv("ZOLMET_LOCK_WAIT_MS", "300", 1);
  DemoServer server;
  Outcome r = Start(server.Request());
  unsetenv("ZOLMET_LOCK_WAIT_MS");
  close(fd);
  EXPECT_EQ(r.code, 0u);
  const std::string named = "The file " + lock + " stayed locked by another process for 300 ms.";
  EXPECT_NE(r.err.find(named), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(U("抱歉! 列印失敗")), std::string::npos) << r.err;
  EXPECT_NE(Log("ZolmetPrint.err").find("原因: "), std::string::npos) << U(Log("ZolmetPrint.err"));
  EXPECT_NE(Log("ZolmetPrint.err").find(named), std::string::npos) << U(Log("ZolmetPrint.err"));
  EXPECT_EQ(Jobs(), 0u);
}
