// The print program's jobs under injected faults, each run followed by one
// checker of what must hold over the whole system root: a full disk at every
// 4 KB from 20 to 200 KB free with three kinds of printer, kills at seeded
// random moments each followed by a normal run, links planted where jobs and
// logs are written, user files beside a print to a file, and a pipe and a
// device as the output. Each case prints its table: runs, faults injected,
// invariants broken.
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <algorithm>
#include <sstream>
#include <regex>
#include <iostream>
#include <map>
#include <random>
#include <set>

#include "platform/gdi/gdi.h"
#include "tests/e2e/full_disk.h"

using namespace print_e2e;
using testing_support::WriteFile;

namespace {

const std::string kFolder = "C:\\Zolmet\\Printed\\Zolmet";
const std::string kLogs = "C:\\Zolmet\\Logs";

// What files say, for telling later whether they changed: the content of a
// file, the target of a link, "absent".
std::map<std::string, std::string> Snapshot(const std::vector<std::string>& paths) {
  std::map<std::string, std::string> out;
  for (const std::string& p : paths) {
    std::error_code ec;
    auto st = fs::symlink_status(p, ec);
    if (ec || !fs::exists(st)) out[p] = "absent";
    else if (fs::is_symlink(st)) out[p] = "link " + fs::read_symlink(p, ec).string();
    else if (fs::is_regular_file(st)) out[p] = "file " + ReadFile(p);
    else out[p] = "special " + std::to_string(static_cast<int>(st.type()));
  }
  return out;
}

std::vector<std::string> Keys(const std::map<std::string, std::string>& m) {
  std::vector<std::string> out;
  for (const auto& [k, v] : m) out.push_back(k);
  return out;
}

bool PngWhole(const std::string& path) {
  const std::string data = ReadFile(path);
  // The signature, and the end chunk cairo writes last.
  return data.size() > 20 && data.compare(0, 8, "\x89PNG\r\n\x1a\n") == 0 &&
         data.compare(data.size() - 12, 12, std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12)) == 0;
}

// A temporary "zolmet-<kind>-<pid>-XXXXXX" whose process still runs.
bool Living(const std::string& name) {
  std::smatch m;
  return std::regex_match(name, m, std::regex("zolmet-[a-z]+-([0-9]+)-.{6}")) &&
         kill(static_cast<pid_t>(std::stol(m[1].str())), 0) == 0;
}

// The invariants over a system root, and the files the jobs must not touch
// (outside the root, or the user's beside the jobs), given before the runs.
class Checker {
 public:
  Checker(std::string root, std::vector<std::string> guarded)
      : root_(std::move(root)), guarded_(Snapshot(guarded)) {}

  // Every broken invariant, each one line. SETTLED: a normal run has
  // followed the last fault, so nothing may be left unfinished.
  std::vector<std::string> Check(bool settled) const {
    std::vector<std::string> bad;
    for (const auto& [path, before] : Snapshot(Keys(guarded_)))
      if (before != guarded_.at(path)) bad.push_back("changed or gone: " + path);
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root_, fs::directory_options::none, ec);
         it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path p = it->path();
      const std::string name = p.filename().string();
      if (name == "Program Files" || name == "C-on-disk") {
        it.disable_recursion_pending();
        continue;
      }
      if (guarded_.count(p.string()) || it->is_symlink(ec) || !it->is_regular_file(ec)) continue;
      if (settled && name.rfind(".zolmet-tmp-", 0) == 0) bad.push_back("temporary left: " + p.string());
      if (settled && name.rfind("zolmet-", 0) == 0 && p.parent_path().filename() == "tmp" && !Living(name))
        bad.push_back("temporary left: " + p.string());
      if (p.extension() == ".job") CheckRecord(p, settled, bad);
      else if (p.extension() == ".pdf" && settled && !PdfReads(p)) bad.push_back("broken PDF: " + p.string());
      else if (p.extension() == ".png" && settled && !PngWhole(p.string()))
        bad.push_back("broken PNG: " + p.string());
    }
    return bad;
  }

 private:
  static void CheckRecord(const fs::path& rec, bool settled, std::vector<std::string>& bad) {
    const std::string text = ReadFile(rec.string());
    if (text.find("Printer=") != 0) {
      bad.push_back("not a record: " + rec.string());
      return;
    }
    if (settled && text.find("Status=printing\r") != std::string::npos)
      bad.push_back("still printing: " + rec.string());
    // Whatever a record names is whole.
    std::smatch m;
    for (auto it = text.cbegin(); std::regex_search(it, text.cend(), m, std::regex("(Pdf|Png)=([^\r]*)\r"));
         it = m[0].second) {
      const fs::path file = rec.parent_path() / m[2].str();
      std::error_code ec;
      if (!fs::is_regular_file(fs::symlink_status(file, ec)))
        bad.push_back(rec.filename().string() + " names what is not a file of its own: " + file.string());
      else if (m[1] == "Pdf" ? !PdfReads(file) : !PngWhole(file.string()))
        bad.push_back(rec.filename().string() + " names a broken or missing file: " + file.string());
    }
  }

  std::string root_;
  std::map<std::string, std::string> guarded_;
};

// One row of a case's table.
struct Tally {
  std::string what;
  int runs = 0, faults = 0, violations = 0;
};

// The table, then every invariant broken, one a line.
void PrintTable(const std::vector<Tally>& rows, const std::vector<std::string>& broken) {
  std::cout << "| faults | runs | injected | violations |\n|---|---|---|---|\n";
  for (const Tally& t : rows)
    std::cout << "| " << t.what << " | " << t.runs << " | " << t.faults << " | " << t.violations << " |\n";
  for (const std::string& b : broken) std::cout << "broken: " << U(b) << "\n";
}

// One receipt per reply, for printers that hand it over.
class OneReceiptServer {
 public:
  explicit OneReceiptServer(const std::string& folder) {
    fs::create_directories(folder);
    std::ofstream(folder + "/one.txt") << "key 2\nreceipt 2000001000014\n" << cp::Big5ToUtf8("單張收據") << "\n.\n";
    server_ = std::make_unique<printdata_test::ServerProcess>(folder, "/Zolmet/");
  }
  std::string Request() { return "10.1.1.1," + server_->host() + ",/Zolmet/,oneXJ"; }

 private:
  std::unique_ptr<printdata_test::ServerProcess> server_;
};

// The three printers the cases run: the demo printer (PDF and PNG), one
// writing PNG pages only, one handing each PDF to a command that copies it
// whole into TOOK (what the printer took).
enum class Kind { Default, PngOnly, Command };
const char* Name(Kind k) { return k == Kind::Default ? "default" : k == Kind::PngOnly ? "PNG only" : "Command="; }

void Install(Kind kind, const std::string& took) {
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  if (kind == Kind::PngOnly) z.formats = {"png"};
  if (kind == Kind::Command)
    z.command = "f=$(basename \"$1\"); cp \"$1\" '" + took + "'/.part && mv '" + took + "'/.part '" + took +
                "'/\"$f\"; :";
  ASSERT_TRUE(spool::InstallPrinter(z));
}

// Every error log of the root, one after another.
std::string ErrLogs(const std::string& logs) {
  std::string all;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(logs, ec))
    if (e.path().filename().string().find(".ZolmetPrint.err.") != std::string::npos) all += ReadFile(e.path());
  return all;
}

// A receipt the printer took is never told as failed, and its record says
// it was printed, or, when the record cannot be written, the error log does.
// A kill after the command took it may leave it aborted (never failed).
void CheckTaken(const std::string& took, const std::string& folder, const std::string& logs, const Outcome& r,
                bool killed, std::vector<std::string>& bad) {
  std::error_code ec;
  for (auto& e : fs::directory_iterator(took, ec)) {
    const std::string name = e.path().filename().string();
    if (name[0] == '.') continue;
    const std::string stem = fs::path(name).stem().string();
    const std::string record = ReadFile(folder + "/" + stem + ".job");
    const bool done = record.find("Status=done\r") != std::string::npos;
    const bool logged = ErrLogs(logs).find(stem + ".job could not say so") != std::string::npos;
    if (!done && !logged && !(killed && record.find("Status=aborted\r") != std::string::npos))
      bad.push_back("taken by the printer, record not done: " + name + "\n" + record);
    fs::remove(e.path(), ec);
    if (r.err.find(U("抱歉! 列印失敗")) != std::string::npos) bad.push_back("taken by the printer, told failed: " + name);
  }
}

}  // namespace

// The drive fills up at every step of 4 KB from 20 to 200 KB free, with each
// printer: every run leaves whole files or none, and a receipt the command
// took is printed as far as the user and the record are concerned.
TEST_F(FullDisk, EveryStepOfAFullDiskKeepsTheJobInvariants) {
  DemoServer demo;
  OneReceiptServer one(root_.path() + "/receipts");
  const std::string folder = root_.Host(kFolder);
  const std::string took = root_.path() + "/took";
  fs::create_directories(took);
  std::vector<Tally> rows;
  std::vector<std::string> all;
  for (Kind kind : {Kind::Default, Kind::PngOnly, Kind::Command}) {
    Tally t{std::string("full disk, ") + Name(kind) + " printer"};
    ASSERT_NO_FATAL_FAILURE(Install(kind, took));
    for (int kb = 20; kb <= 200; kb += 4) {
      std::error_code ec;
      fs::remove_all(folder, ec);
      fs::remove_all(root_.Host(kLogs), ec);
      for (auto& e : fs::directory_iterator(took, ec)) fs::remove(e.path(), ec);
      Checker checker(root_.path(), {});
      ASSERT_NO_FATAL_FAILURE(LeaveFree(std::uintmax_t(kb) * 1024));
      Outcome r = Start(kind == Kind::Command ? one.Request() : demo.Request());
      ++t.runs;
      ++t.faults;
      std::vector<std::string> bad = checker.Check(true);
      if (kind == Kind::Command) CheckTaken(took, folder, root_.Host(kLogs), r, false, bad);
      if (kind == Kind::PngOnly && !Files(folder, ".pdf").empty()) bad.push_back("a PDF from a PNG-only printer");
      t.violations += static_cast<int>(bad.size());
      for (auto& b : bad) all.push_back(std::to_string(kb) + " KB, " + Name(kind) + ": " + b);
    }
    rows.push_back(t);
  }
  PrintTable(rows, all);
  EXPECT_EQ(all, std::vector<std::string>{});
}

// The program killed at seeded random moments of a print, each kill followed
// by a normal run: after it nothing is left broken, unfinished or temporary.
TEST_F(PrintProgram, KillsAtRandomMomentsLeaveNothingBrokenAfterTheNextRun) {
  DemoServer demo;
  OneReceiptServer one(root_.path() + "/receipts");
  const std::string folder = root_.Host(kFolder);
  const std::string took = root_.path() + "/took";
  const std::string tmp = root_.path() + "/tmp";
  fs::create_directories(took);
  fs::create_directories(tmp);
  setenv("TMPDIR", tmp.c_str(), 1);
  std::mt19937 random(41);
  Tally t{"SIGKILL at a random moment, then a normal run"};
  std::vector<std::string> all;
  // How long a whole run takes here, the shorter of two (the first loads
  // what later runs find cached): the kills fall within it.
  std::uint64_t whole = UINT64_MAX;
  for (int i = 0; i < 2; ++i) {
    const std::uint64_t started = win::MonotonicMs();
    Start(demo.Request());
    whole = std::min(whole, win::MonotonicMs() - started);
  }
  for (int run = 0; run < 40; ++run) {
    const Kind kind = static_cast<Kind>(run % 3);
    ASSERT_NO_FATAL_FAILURE(Install(kind, took));
    const std::string request = kind == Kind::Command ? one.Request() : demo.Request();
    setenv("ZOLMET_CLOCK", kClock.c_str(), 1);
    win::HPROCESS print = win::CreateProcess("\"" + kProgram + "\" " + Argument(request));
    unsetenv("ZOLMET_CLOCK");
    ASSERT_TRUE(print);
    const auto at = static_cast<win::DWORD>(random() % (whole + 1));
    if (win::WaitForSingleObject(print, at) == win::WAIT_TIMEOUT) {
      kill(static_cast<pid_t>(win::ProcessId(print)), SIGKILL);
      ++t.faults;
    }
    win::WaitForSingleObject(print, win::INFINITE);
    Outcome r = Start(request);
    t.runs += 2;
    std::vector<std::string> bad = Checker(root_.path(), {}).Check(true);
    if (kind == Kind::Command) CheckTaken(took, folder, root_.Host(kLogs), r, true, bad);
    t.violations += static_cast<int>(bad.size());
    for (auto& b : bad) all.push_back("run " + std::to_string(run) + ", " + Name(kind) + ": " + b);
  }
  unsetenv("TMPDIR");
  EXPECT_GT(t.faults, 0);  // some kill landed
  PrintTable({t}, all);
  EXPECT_EQ(all, std::vector<std::string>{});
}

// Links planted where a job's files and the day's log go, pointing outside
// the root (one to nothing), and a user's hidden files beside the jobs: no
// run follows a link or touches a file it did not make, and a job that
// finds its name taken fails naming the file.
TEST_F(PrintProgram, PlantedLinksAndUsersFilesAreNeverFollowedOrTouched) {
  DemoServer demo;
  const std::string folder = root_.Host(kFolder);
  const std::string logs = root_.Host(kLogs);
  const std::string outside = root_.path() + "-outside";
  fs::create_directories(outside);
  fs::create_directories(folder);
  fs::create_directories(logs);
  fs::create_directories(root_.Host("C:\\Windows\\System32\\spool"));
  std::vector<std::string> guarded;
  auto plant = [&](const std::string& link, const std::string& target, bool make) {
    if (make) WriteFile(target, "outside " + target);
    fs::create_symlink(target, link);
    guarded.push_back(link);
    guarded.push_back(target);
  };
  plant(folder + "/job-0001.pdf", outside + "/receipt.pdf", true);
  plant(folder + "/job-0002-p1.png", outside + "/page.png", true);
  plant(folder + "/job-0003.pdf", outside + "/created.pdf", false);
  plant(logs + "/090831.ZolmetPrint.debug.txt", outside + "/debug.txt", true);
  for (const std::string& user : {folder + "/.notes.2019-backup", folder + "/.photos.4000000-summer",
                                  root_.Host("C:\\Windows\\System32\\spool") + "/.notes.2019-backup"}) {
    WriteFile(user, "the user's");
    guarded.push_back(user);
  }
  Checker checker(root_.path(), guarded);
  Tally t{"planted links and user files"};
  t.faults = 4 + 3;
  std::vector<std::string> bad;
  for (int run = 0; run < 3; ++run) {
    Outcome r = Start(demo.Request());
    ++t.runs;
    // Job 1 finds a link where its PDF goes: it fails, naming the file.
    if (run == 0 && r.err.find(folder + "/job-0001.pdf") == std::string::npos)
      bad.push_back("the failure does not name the link: " + r.err);
  }
  // A print to a file, too (rewrites hidden files beside it through its record).
  for (auto& b : checker.Check(true)) bad.push_back(b);
  t.violations = static_cast<int>(bad.size());
  PrintTable({t}, bad);
  EXPECT_EQ(bad, std::vector<std::string>{});
  fs::remove_all(outside);
}

namespace {

// One page printed to the output file OUTPUT through the printer "Zolmet";
// whether the document ended well.
bool PrintToFile(const std::string& output) {
  win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  if (!dc) return false;
  win::DOCINFOA di;
  di.cbSize = sizeof di;
  di.lpszDocName = "to a file";
  di.lpszOutput = output.c_str();
  bool ok = win::StartDocA(dc, &di) > 0 && win::StartPage(dc) > 0 && win::EndPage(dc) > 0 && win::EndDoc(dc) > 0;
  win::DeleteDC(dc);
  return ok;
}

}  // namespace

// A print to a file beside files of the user's: only the file named is
// replaced, a record or page in the way refuses the job, a target the record
// would take is refused; a pipe gets the PDF and a device's failure leaves
// the device, neither getting a record beside it.
TEST_F(PrintProgram, PrintsToFilesPipesAndDevicesTouchOnlyWhatTheyMake) {
  const std::string out = root_.Host("C:\\Out");
  fs::create_directories(out);
  std::vector<std::string> guarded;
  for (const char* user : {"plan.job", "plan-p1.png", "print.job", "notes.job"}) {
    WriteFile(out + "/" + user, std::string("the user's ") + user);
    guarded.push_back(out + "/" + user);
  }
  WriteFile(out + "/new-p1.png", "the user's page");
  guarded.push_back(out + "/new-p1.png");
  const std::string fifo = out + "/pipe", device = out + "/full";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  guarded.push_back(fifo);
  // A device that fails every write, as /dev/full does (making one needs root).
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0) << std::strerror(errno);
    guarded.push_back(device);
  }
  Checker checker(root_.path(), guarded);
  Tally t{"print to file, pipe, device"};
  std::vector<std::string> bad;
  auto expect = [&](bool printed, bool want, const std::string& what) {
    ++t.runs;
    ++t.faults;
    if (printed != want) bad.push_back(what + (printed ? ": printed" : ": refused"));
  };
  expect(PrintToFile("C:\\Out\\plan.pdf"), false, "a target whose record is the user's");
  expect(PrintToFile("C:\\Out\\print.job"), false, "a target the record would take");
  // A target of our own: printed, and printed again over itself.
  expect(PrintToFile("C:\\Out\\receipt.pdf"), true, "a free target");
  expect(PrintToFile("C:\\Out\\receipt.pdf"), true, "the same target again");
  expect(PrintToFile("C:\\Out\\new.pdf"), false, "a target whose page name is the user's");
  // A pipe with a reader: the PDF goes through it.
  std::string piped;
  std::thread reader([&] { piped = ReadFile(fifo); });
  expect(PrintToFile("C:\\Out\\pipe"), true, "a pipe");
  reader.join();
  if (piped.compare(0, 5, "%PDF-") != 0) bad.push_back("the pipe got no PDF");
  if (root) expect(PrintToFile("C:\\Out\\full"), false, "a full device");
  for (const char* beside : {"pipe.job", "full.job", "pipe-p1.png", "full-p1.png"})
    if (fs::exists(out + "/" + beside)) bad.push_back(std::string("made beside a device: ") + beside);
  for (auto& b : checker.Check(true)) bad.push_back(b);
  t.violations = static_cast<int>(bad.size());
  PrintTable({t}, bad);
  EXPECT_EQ(bad, std::vector<std::string>{});
}

// A record that cannot be written at all once the printer took the receipt
// (here the command leaves a folder in its place): the run is no failure,
// and the error log says the job reached the printer.
TEST_F(PrintProgram, AReceiptTakenWhoseRecordCannotBeWrittenIsLoggedAsPrinted) {
  OneReceiptServer one(root_.path() + "/receipts");
  const std::string folder = root_.Host(kFolder);
  const std::string took = root_.path() + "/took";
  fs::create_directories(took);
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.command = "cp \"$1\" '" + took + "'/ && r=\"$(dirname \"$1\")/$(basename \"$1\" .pdf).job\" && rm -f \"$r\" && "
              "mkdir \"$r\" && :";
  ASSERT_TRUE(spool::InstallPrinter(z));
  Outcome r = Start(one.Request());
  EXPECT_EQ(r.err.find(U("抱歉! 列印失敗")), std::string::npos) << r.err;
  ASSERT_TRUE(fs::is_directory(folder + "/job-0001.job"));
  std::vector<std::string> bad;
  CheckTaken(took, folder, root_.Host(kLogs), r, false, bad);
  EXPECT_EQ(bad, std::vector<std::string>{});
  EXPECT_NE(ErrLogs(root_.Host(kLogs)).find("Job 1 reached the printer Zolmet, but its record "),
            std::string::npos)
      << ErrLogs(root_.Host(kLogs));
}

// Every name a print places in a folder (a record, a PDF, a page, a log made
// whole) is followed by a sync of that folder before the program ends, so
// that what was reported done is still there after a crash of the machine.
TEST_F(PrintProgram, EveryNamePlacedInAFolderIsSyncedInIt) {
  if (std::system("strace -qq -o /dev/null true >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "strace cannot trace a process here";
  DemoServer demo;
  OneReceiptServer one(root_.path() + "/receipts");
  const std::string took = root_.path() + "/took";
  fs::create_directories(took);
  for (Kind kind : {Kind::Default, Kind::PngOnly, Kind::Command}) {
    SCOPED_TRACE(Name(kind));
    ASSERT_NO_FATAL_FAILURE(Install(kind, took));
    const std::string trace = root_.path() + "/trace.txt";
    const std::string request = kind == Kind::Command ? one.Request() : demo.Request();
    Shell("ZOLMET_ROOT='" + root_.path() + "' ZOLMET_CLOCK='" + kClock + "' strace -f -qq -y -o '" + trace +
          "' -e trace=link,linkat,rename,renameat,renameat2,fsync,fdatasync '" + root_.Host(kProgram) + "' " +
          Argument(request) + " </dev/null >/dev/null 2>&1");
    std::istringstream lines(ReadFile(trace));
    const std::regex placed(R"re((link|linkat|rename|renameat|renameat2)\(.*"([^"]+)"(, [0-9A-Z_|]+)?\) = 0$)re");
    const std::regex synced(R"re((fsync|fdatasync)\([0-9]+<([^>]+)>\) = 0$)re");
    std::vector<std::string> pending;  // folders with a name placed and no sync since
    int places = 0;
    for (std::string line; std::getline(lines, line);) {
      std::smatch m;
      if (std::regex_search(line, m, placed)) {
        const std::string folder = fs::weakly_canonical(fs::path(m[2].str()).parent_path()).string();
        // The system's drive only: the command's own folder is not ours.
        if (folder.rfind(fs::weakly_canonical(root_.Host("C:\\")).string(), 0) != 0) continue;
        ++places;
        if (std::find(pending.begin(), pending.end(), folder) == pending.end()) pending.push_back(folder);
      } else if (std::regex_search(line, m, synced)) {
        std::erase(pending, m[2].str());
      }
    }
    EXPECT_GE(places, 2);  // the record, at least twice
    EXPECT_EQ(pending, std::vector<std::string>{});
    if (kind == Kind::Default) {
      EXPECT_TRUE(fs::exists(Job(1, ".pdf")));
    }
  }
}

// Small truths of a job's end: a document cut short after two of its pages
// keeps them, is recorded "cancelled" and is not handed to the command;
// margins the printer cannot print on that cover the paper refuse the job,
// naming the line.
TEST_F(PrintProgram, ACutShortJobIsNotHandedOverAndMarginsCoveringThePaperAreRefused) {
  const std::string folder = root_.Host(kFolder);
  const std::string handed = root_.path() + "/handed";
  spool::PrinterDef z = spool::DemoReceiptPrinter();
  z.command = "touch '" + handed + "'";
  ASSERT_TRUE(spool::InstallPrinter(z));
  win::HDC dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  ASSERT_TRUE(dc);
  win::DOCINFOA di;
  di.cbSize = sizeof di;
  di.lpszDocName = "five pages";
  ASSERT_GT(win::StartDocA(dc, &di), 0);
  for (int page = 0; page < 2; ++page) {
    ASSERT_GT(win::StartPage(dc), 0);
    ASSERT_GT(win::EndPage(dc), 0);
  }
  gdi::CutShortDocument(dc);
  EXPECT_GT(win::EndDoc(dc), 0);  // a cancel is no failure
  win::DeleteDC(dc);
  const std::string record = Record(1);
  EXPECT_NE(record.find("Status=cancelled\r\nError=Cancelled after page 2"), std::string::npos) << record;
  EXPECT_NE(record.find("Pages=2\r"), std::string::npos) << record;
  EXPECT_FALSE(fs::exists(handed));
  EXPECT_EQ(Checker(root_.path(), {}).Check(true), std::vector<std::string>{});

  z.unprintLeft = 500;
  z.unprintRight = 400;  // 90 mm of an 82 mm paper
  ASSERT_TRUE(spool::InstallPrinter(z));
  dc = win::CreateDCA(nullptr, "Zolmet", nullptr, nullptr);
  ASSERT_TRUE(dc);
  EXPECT_LE(win::StartDocA(dc, &di), 0);
  EXPECT_NE(gdi::DocumentError(dc).find("The line Unprintable=500,0,400,0 of the printer Zolmet"), std::string::npos)
      << gdi::DocumentError(dc);
  win::DeleteDC(dc);
  EXPECT_EQ(Jobs(), 1u);
  EXPECT_FALSE(fs::exists(handed));
}
