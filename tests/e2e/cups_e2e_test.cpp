// The real ZolmetPrint handing its receipts, through the printer "Zolmet"'s
// command, to a real CUPS queue that writes PDFs (cups-pdf): what arrives in
// the queue's output folder, and a stopped or missing queue failing the job
// with lp's own words. Needs root, as it adds a queue and starts the
// scheduler when none runs; skipped without root or CUPS.
#include <gtest/gtest.h>

#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <sstream>

#include "tests/e2e/print_program.h"

using namespace print_e2e;

namespace {

constexpr int kLimitSeconds = 20;  // the hand-over's time limit
const std::string kQueuePrefix = "zolmet-test-";

std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

// Why this machine cannot run the test; empty when it can.
std::string WhyNoCups() {
  if (geteuid() != 0) return "not root: the CUPS test adds a queue and may start the scheduler";
  // CUPS's administration tools are in sbin, which not every root's PATH has.
  const char* path = std::getenv("PATH");
  const std::string current = path ? path : "";
  if ((":" + current + ":").find(":/usr/sbin:") == std::string::npos)
    setenv("PATH", (current.empty() ? "/usr/sbin" : current + ":/usr/sbin").c_str(), 1);
  for (const char* tool : {"cupsd", "lpadmin", "lpinfo", "lpstat", "lp", "cupsdisable", "cupsreject"})
    if (Shell(std::string("command -v ") + tool + " >/dev/null && echo found") != "found\n")
      return std::string("CUPS is not installed (no ") + tool + "; scripts/install-deps.sh installs it)";
  if (!fs::exists("/usr/lib/cups/backend/cups-pdf"))
    return "cups-pdf is not installed (scripts/install-deps.sh installs it)";
  return "";
}

bool SchedulerRuns() { return Shell("lpstat -r 2>/dev/null") == "scheduler is running\n"; }

// The machine's scheduler: the one that runs, or "cupsd -f" started here
// and stopped by its process id when this goes.
class Scheduler {
 public:
  ~Scheduler() { Stop(); }

  // Empty once a scheduler answers; else why none does.
  std::string Start(const std::string& log) {
    if (SchedulerRuns()) return "";
    pid_ = fork();
    if (pid_ == 0) {
      prctl(PR_SET_PDEATHSIG, SIGTERM);  // it never outlives the test
      int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
      }
      execlp("cupsd", "cupsd", "-f", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid_ < 0) return std::string("cannot start cupsd: ") + std::strerror(errno);
    for (int i = 0; i < 200; ++i) {
      if (SchedulerRuns()) return "";
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return "cupsd ended at once: " + ReadFile(log);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return "cupsd did not answer within 10 s";
  }

  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200 && waitpid(pid_, nullptr, WNOHANG) != pid_; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (kill(pid_, 0) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// A cups-pdf queue of this test process, removed when this goes.
class PdfQueue {
 public:
  ~PdfQueue() {
    if (!name_.empty()) Shell("lpadmin -x '" + name_ + "' 2>/dev/null");
  }

  // Empty once added; else why not. Queues of test runs that were killed
  // before they could remove theirs go first.
  std::string Add() {
    std::istringstream queues(Shell("lpstat -e 2>/dev/null"));
    for (std::string q; std::getline(queues, q);) {
      if (q.rfind(kQueuePrefix, 0) != 0) continue;
      const int pid = std::atoi(q.c_str() + kQueuePrefix.size());
      if (pid > 0 && kill(pid, 0) != 0 && errno == ESRCH) Shell("lpadmin -x '" + q + "' 2>/dev/null");
    }
    const std::string ppd = Trimmed(Shell("lpinfo -m 2>/dev/null | grep -i 'CUPS-PDF' | head -n 1 | cut -d' ' -f1"));
    if (ppd.empty()) return "lpinfo -m lists no cups-pdf PPD";
    const std::string name = kQueuePrefix + std::to_string(getpid());
    // Poppler's cairo makes the PostScript, so that the text stays text.
    const std::string out = Shell("lpadmin -p '" + name + "' -E -v cups-pdf:/ -m '" + ppd +
                                  "' -o pdftops-renderer-default=pdftocairo 2>&1; echo \"exit $?\"");
    if (out.find("exit 0\n") == std::string::npos) return "lpadmin could not add " + name + ": " + out;
    name_ = name;
    return "";
  }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

// The folder cups-pdf writes this user's jobs to: "Out" of its
// configuration (its default when none), with ${HOME} and ${USER} put in.
std::string CupsPdfOut() {
  std::string out = "/var/spool/cups-pdf/${USER}";
  std::istringstream conf(ReadFile("/etc/cups/cups-pdf.conf"));
  const std::regex key("\\s*Out\\s+(.*\\S)\\s*");
  for (std::string line; std::getline(conf, line);) {
    std::smatch m;
    if (std::regex_match(line, m, key)) out = m[1].str();
  }
  const passwd* pw = getpwuid(geteuid());
  for (auto [name, value] : {std::pair<std::string, std::string>{"${HOME}", pw ? pw->pw_dir : ""},
                             {"${USER}", pw ? pw->pw_name : ""}})
    for (size_t at; (at = out.find(name)) != std::string::npos;) out.replace(at, name.size(), value);
  return out;
}

// The PDFs in FOLDER with the times they were written.
std::map<std::string, fs::file_time_type> PdfsIn(const std::string& folder) {
  std::map<std::string, fs::file_time_type> pdfs;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == ".pdf") pdfs[e.path().string()] = e.last_write_time(ec);
  return pdfs;
}


class CupsQueue : public PrintProgram {
 protected:
  void SetUp() override {
    const std::string why = WhyNoCups();
    if (!why.empty()) GTEST_SKIP() << why;
    setenv("LC_ALL", "C", 1);  // lp's messages as the checks read them
    PrintProgram::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_EQ(scheduler_.Start(root_.path() + "/cupsd.log"), "");
    ASSERT_EQ(queue_.Add(), "");
    out_ = CupsPdfOut();
    outExisted_ = fs::exists(out_);
    before_ = PdfsIn(out_);
    HandTo(queue_.name());
  }

  void TearDown() override {
    std::error_code ec;
    for (const std::string& pdf : arrived_) fs::remove(pdf, ec);
    if (!out_.empty() && !outExisted_ && fs::is_empty(out_, ec)) fs::remove(out_, ec);
  }

  // "Zolmet" hands each PDF to QUEUE, on paper of the receipt's size.
  void HandTo(const std::string& queue) {
    spool::PrinterDef d = spool::DemoReceiptPrinter();
    d.command = "lp -d " + queue + " -o media=Custom.${ZOLMET_PAGE_MM}mm";
    d.commandTimeout = kLimitSeconds;
    ASSERT_TRUE(spool::InstallPrinter(d));
  }

  // Width and height in points of page 1 of PDF as it is shown (a page
  // turned a quarter shows its height across); -1 when unreadable.
  static std::pair<double, double> ShownPoints(const std::string& pdf) {
    double w = -1, h = -1;
    if (std::sscanf(PdfPageSizeOf(pdf).c_str(), "%lf x %lf", &w, &h) != 2) return {-1, -1};
    std::smatch m;
    const std::string info = Shell("pdfinfo '" + pdf + "' 2>/dev/null");
    if (std::regex_search(info, m, std::regex("Page rot: +(90|270)\n"))) std::swap(w, h);
    return {w, h};
  }

  // The PDFs written in the queue's output folder since the test began
  // (cups-pdf names them by the job's title, so one may replace an older
  // file), oldest first, once the queue is idle; waits up to a minute for
  // COUNT of them.
  std::vector<std::string> Arrived(size_t count) {
    std::vector<std::string> pdfs;
    for (int i = 0; i < 300; ++i) {
      pdfs.clear();
      for (const auto& [p, written] : PdfsIn(out_))
        if (!before_.count(p) || before_.at(p) != written) pdfs.push_back(p);
      const bool idle = Shell("lpstat -o '" + queue_.name() + "' 2>/dev/null").empty();
      if (idle && pdfs.size() >= count &&
          std::all_of(pdfs.begin(), pdfs.end(), [](const std::string& p) { return !PdfPageSizeOf(p).empty(); }))
        break;
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    std::sort(pdfs.begin(), pdfs.end(), [](const std::string& a, const std::string& b) {
      return fs::last_write_time(a) < fs::last_write_time(b);
    });
    arrived_.insert(arrived_.end(), pdfs.begin(), pdfs.end());
    return pdfs;
  }

  Scheduler scheduler_;
  PdfQueue queue_;
  std::string out_;
  bool outExisted_ = false;
  std::map<std::string, fs::file_time_type> before_;
  std::vector<std::string> arrived_;
};

}  // namespace

TEST_F(CupsQueue, EachReceiptArrivesWithItsPageSizeAndText) {
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ");
  EXPECT_EQ(r.code, 0u);
  EXPECT_EQ(r.out, "");  // lp's own words are the hand-over's, not the program's
  EXPECT_EQ(Log("ZolmetPrint.err"), "");
  for (int n : {1, 2}) {
    EXPECT_NE(Record(n).find("Status=done\r\n"), std::string::npos) << Record(n);
    EXPECT_EQ(Record(n).find("Error="), std::string::npos) << Record(n);
    // The PDF and the PNG stay as the record of what was printed.
    EXPECT_TRUE(fs::exists(Job(n, ".pdf")));
    EXPECT_TRUE(fs::exists(Job(n, "-p1.png")));
  }

  std::vector<std::string> pdfs = Arrived(2);
  ASSERT_EQ(pdfs.size(), 2u) << "in " << out_;
  for (int n : {1, 2}) {
    SCOPED_TRACE(pdfs[n - 1]);
    // CUPS's PostScript road keeps whole points.
    auto [w, h] = ShownPoints(pdfs[n - 1]);
    auto [rw, rh] = ShownPoints(Job(n, ".pdf"));
    ASSERT_GT(rw, 0);
    EXPECT_NEAR(w, rw, 1.0);
    EXPECT_NEAR(h, rh, 1.0);
  }
  std::string text = PdfTextOf(pdfs[0]);
  for (const char* line : {"Orvane Dravik購卡站", "點數卡 300 點 NT$ 300", "合計 NT$ 300", "謝謝光臨"})
    EXPECT_NE(text.find(U(line)), std::string::npos) << U(line) << "\n" << text;
  text = PdfTextOf(pdfs[1]);
  EXPECT_NE(text.find(U("交易序號 20090831-0001")), std::string::npos) << text;
}

TEST_F(CupsQueue, AStoppedOrMissingQueueFailsTheJobWithLpsOwnWords) {
  Shell("cupsdisable '" + queue_.name() + "'; cupsreject -r 'stopped by the test' '" + queue_.name() + "'");
  printdata_test::ServerProcess server(std::string(ZOLMET_SOURCE_DIR) + "/tools/printdata-server/receipts",
                                       "/Zolmet/");
  const std::string missing = kQueuePrefix + "missing-" + std::to_string(getpid());
  struct Case {
    std::string queue, words;
  };
  int job = 0;
  for (const Case& c : {Case{queue_.name(), "lp: Destination \"" + queue_.name() + "\" is not accepting jobs."},
                        Case{missing, "lp: Error - The printer or class does not exist."}}) {
    SCOPED_TRACE(c.queue);
    HandTo(c.queue);
    ++job;
    const auto start = std::chrono::steady_clock::now();
    Outcome r = Start("10.1.1.1," + server.host() + ",/Zolmet/,demoXJ");
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kLimitSeconds);
    EXPECT_EQ(r.code, 0u);
    // The first receipt fails; the second is not tried.
    const std::string cause = "The command \"lp -d " + c.queue +
                              " -o media=Custom.${ZOLMET_PAGE_MM}mm\" ended with exit code 1. Its output: ";
    const std::string record = Record(job);
    EXPECT_NE(record.find("Status=failed\r\n"), std::string::npos) << record;
    EXPECT_NE(record.find("Error=" + cause), std::string::npos) << record;
    EXPECT_NE(record.find(c.words), std::string::npos) << record;
    EXPECT_EQ(Record(job + 1), "");
    // The error log's entry of the failed receipt ends with that cause.
    const std::string log = Log("ZolmetPrint.err");
    const size_t entry = log.rfind("] 列印失敗\r" "Orvane ");
    ASSERT_NE(entry, std::string::npos) << U(log);
    const size_t why = log.find("\r原因: ", entry);
    ASSERT_NE(why, std::string::npos) << U(log);
    EXPECT_NE(log.find(cause, why), std::string::npos) << U(log);
    EXPECT_NE(log.find(c.words, why), std::string::npos) << U(log);
    EXPECT_NE(r.err.find(c.words), std::string::npos) << r.err;
  }
  EXPECT_TRUE(Arrived(0).empty());
}
