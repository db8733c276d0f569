// The real ZolmetPrint under faults: drive C on a small tmpfs with 40 to
// 120 KB free (needs root to mount it; skipped without), the program killed
// while its printer's command runs, and the forms' lock held by a process
// that hangs.
#include <signal.h>
#include <sys/file.h>

#include <cstring>
#include <iostream>

#include "tests/e2e/full_disk.h"

using namespace print_e2e;

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
