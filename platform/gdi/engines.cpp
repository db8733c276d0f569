// The engines: recording (pages kept in memory), cairo (a PDF, PNG pages
// and a job record in the printer's output folder, then the hand-over
// command) and raster (32-bit pixels drawn at once).
#include <cairo-pdf.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <csignal>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "dc_internal.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace gdi {

bool Engine::BeginDocument(Job&, int, int, Failure&) { return true; }
bool Engine::AddPage(Job&, Page&, Failure&) { return true; }
bool Engine::EndDocument(Job& job, Failure&) {
  job.status = job.cutShort ? "cancelled" : "done";
  return true;
}
// Given up: by the caller, or after a step failed (the job keeps its cause).
void Engine::AbortDocument(Job& job) { job.status = job.error.empty() ? "aborted" : "failed"; }
void Engine::Draw(const Op&) {}

namespace {

Failure TooLarge(int width, int height) {
  return {win::ERROR_NOT_ENOUGH_MEMORY, "The page of " + std::to_string(width) + " x " + std::to_string(height) +
                                            " pixels is too large for an image."};
}

// A cairo failure: out of memory, or output that could not be written.
Failure CairoFailure(cairo_status_t st, const std::string& what) {
  return {st == CAIRO_STATUS_NO_MEMORY ? win::ERROR_NOT_ENOUGH_MEMORY : win::ERROR_WRITE_FAULT,
          "Cannot write " + what + ": " + cairo_status_to_string(st) + "."};
}

Failure FileFailure(int err, const std::string& what) {
  Failure f;
  f.code = win::SetLastErrorFromErrno(err);
  f.text = what + ": " + std::strerror(err) + ".";
  return f;
}

double TenthsToPoints(int tenths) { return tenths * 72.0 / 254.0; }

// A job without a page is no job: it fails, and nothing is handed over.
bool HasPages(const Job& job, Failure& why) {
  if (!job.pages.empty()) return true;
  why = {win::ERROR_NO_DATA, "The job has no page: nothing was printed."};
  return false;
}

// ---- recording

class RecordingEngine : public Engine {
 public:
  bool BeginDocument(Job& job, int, int, Failure&) override {
    job.number = NextRecordedJobNumber();
    return true;
  }
  bool EndDocument(Job& job, Failure& why) override {
    bool ok = HasPages(job, why);
    if (ok) Engine::EndDocument(job, why);
    else job.status = "empty";
    if (!ok) KeepFirstFailure(job, why);
    AddRecordedJob(job);
    return ok;
  }
  void AbortDocument(Job& job) override {
    Engine::AbortDocument(job);
    AddRecordedJob(job);
  }
};

// ---- cairo: PDF, PNG pages, job record, hand-over

// A file cairo writes through its stream functions. Cairo 1.16 reports
// success after a failed write, so the first failure is kept here. The
// file is written under a private name beside its own and takes its name
// only when whole (Close), so a killed job never leaves half a file under
// it; a device or a pipe named as the output is written directly.
class OutputFile {
 public:
  ~OutputFile() { Discard(); }

  // REPLACE: PATH may be taken over from whatever has that name; else
  // PATH must be free when the file is closed.
  bool Open(const std::string& path, bool replace, Failure& why) {
    Discard();
    path_ = path;
    replace_ = replace;
    err_ = 0;
    // Only an output named by the job may be a device: elsewhere a name
    // that is there is never written through.
    device_ = replace && IsDevice(path);
    if (device_) fd_ = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    else fd_ = sysroot::MakeTemp(fs::path(path).parent_path().string(), tmp_);
    if (fd_ < 0) {
      why = FileFailure(errno, "Cannot write " + path);
      return false;
    }
    return true;
  }

  // A name that is there and is neither a file nor a folder: a device, a
  // pipe, a socket. Such an output is never removed and gets no files beside it.
  static bool IsDevice(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
  }

  // Cairo hands over its output in pieces of a few bytes: they are
  // gathered and written a buffer, or a page, at a time.
  static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length) {
    auto* f = static_cast<OutputFile*>(closure);
    if (f->err_) return CAIRO_STATUS_WRITE_ERROR;
    f->buffer_.append(reinterpret_cast<const char*>(data), length);
    if (f->buffer_.size() >= kBuffer) f->Flush();
    return f->err_ ? CAIRO_STATUS_WRITE_ERROR : CAIRO_STATUS_SUCCESS;
  }

  // Writes what is gathered.
  void Flush() {
    if (!err_) err_ = sysroot::WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
  }

  // The first write failure so far, as the job's cause; what is gathered
  // is written first.
  bool Good(Failure& why) {
    if (fd_ >= 0) Flush();
    if (!err_) return true;
    why = FileFailure(err_, "Cannot write " + path_);
    return false;
  }

  // Flushes the file to the disk, closes it and gives it its name; a file
  // that failed goes.
  bool Close(Failure& why) {
    if (fd_ < 0) return Good(why);
    Flush();
    // A device (no disk behind it) cannot be flushed and need not be.
    if (!err_ && ::fsync(fd_) != 0 && errno != EINVAL) err_ = errno;
    if (!err_ && !device_ && ::fchmod(fd_, 0644) != 0) err_ = errno;
    if (::close(fd_) != 0 && !err_ && errno != EINTR) err_ = errno;
    fd_ = -1;
    if (!device_) {
      if (err_) ::unlink(tmp_.c_str());
      else err_ = sysroot::PlaceFile(tmp_, path_, replace_);
      tmp_.clear();
    }
    return Good(why);
  }

  // Given up: closed, and the private file removed (never the name it
  // was to take, nor a device).
  void Discard() {
    buffer_.clear();
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    tmp_.clear();
  }


 private:
  static constexpr size_t kBuffer = 1 << 16;
  std::string path_, tmp_;
  std::string buffer_;
  int fd_ = -1;
  int err_ = 0;
  bool replace_ = false, device_ = false;
};

std::mutex g_jobMutex;  // job numbers within this process

std::set<std::string>& SweptFolders() {
  static auto* swept = new std::set<std::string>;
  return *swept;
}

// The values of the lines KEY=... of a job record.
std::vector<std::string> RecordValues(const std::string& record, const std::string& key) {
  std::vector<std::string> out;
  const std::string head = key + "=";
  size_t pos = 0;
  while (pos < record.size()) {
    size_t end = record.find("\r\n", pos);
    if (end == std::string::npos) end = record.size();
    if (record.compare(pos, head.size(), head) == 0) out.push_back(record.substr(pos + head.size(), end - pos - head.size()));
    pos = end + 2;
  }
  return out;
}

std::string ReadSmallFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  std::string out;
  struct stat st;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size < (1 << 20)) {
    out.resize(static_cast<size_t>(st.st_size));
    ssize_t n = ::read(fd, out.data(), out.size());
    out.resize(n > 0 ? static_cast<size_t>(n) : 0);
  }
  ::close(fd);
  return out;
}

bool IsRecord(const std::string& text) {
  return text.compare(0, 8, "Printer=") == 0 && !RecordValues(text, "Status").empty();
}

bool IsRegularFile(const fs::path& p) {
  struct stat st;
  return ::lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The job number a record's file name carries ("job-0012.job": 12), or 0.
long JobNumberOf(const std::string& name) {
  if (name.size() < 9 || name.compare(0, 4, "job-") != 0 || name.compare(name.size() - 4, 4, ".job") != 0) return 0;
  long n = 0;
  for (size_t i = 4; i + 4 < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || n > 100000000) return 0;
    n = n * 10 + (name[i] - '0');
  }
  return n;
}

// Where the last sweep of FOLDER left off (Platform/JobSweeps): a file per
// folder, named by a hash of its path and naming it.
std::string SweepFile(const fs::path& folder) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : folder.string()) h = (h ^ c) * 1099511628211ull;
  char name[32];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(h));
  return sysroot::Root() + "/Platform/JobSweeps/" + name;
}

// Which job numbers in the next free place each process of this folder takes
// next: one after the highest it has seen.
std::map<std::string, long>& NextNumbers() {
  static auto* next = new std::map<std::string, long>;
  return *next;
}

}  // namespace

std::string FormatSweep(const Sweep& sweep) {
  std::string out = "folder " + sweep.folder + "\nmax " + std::to_string(sweep.max) + "\nlive";
  for (long n : sweep.live) out += " " + std::to_string(n);
  return out + "\n";
}

bool ParseSweep(const std::string& text, Sweep& sweep) {
  sweep = Sweep();
  const size_t a = text.find('\n'), b = a == std::string::npos ? a : text.find('\n', a + 1),
               c = b == std::string::npos ? b : text.find('\n', b + 1);
  if (c == std::string::npos || c + 1 != text.size() || text.compare(0, 7, "folder ") != 0 ||
      text.compare(a + 1, 4, "max ") != 0 || text.compare(b + 1, 4, "live") != 0)
    return false;
  auto number = [](const std::string& t, long& v) {
    if (t.empty() || t.size() > 9 || t.find_first_not_of("0123456789") != std::string::npos) return false;
    v = std::stol(t);
    return true;
  };
  Sweep s;
  s.folder = text.substr(7, a - 7);
  if (!number(text.substr(a + 5, b - a - 5), s.max)) return false;
  std::string live = text.substr(b + 5, c - b - 5);
  if (!live.empty() && live[0] != ' ') return false;
  for (size_t pos = 0; pos < live.size();) {
    const size_t end = std::min(live.find(' ', pos + 1), live.size());
    long n = 0;
    if (!number(live.substr(pos + 1, end - pos - 1), n) || n > s.max || !s.live.insert(n).second) return false;
    pos = end;
  }
  sweep = std::move(s);
  return true;
}

void ForgetSweptFolders() {
  std::lock_guard<std::mutex> lock(g_jobMutex);
  SweptFolders().clear();
  NextNumbers().clear();
}

namespace {

// Jobs in FOLDER whose program ended while they printed (killed, or the
// machine stopped): their records say so, and the files they do not name
// (a job's files named after it, left whole or not) go. Once per folder in
// a process, and on what the folder gained since its last sweep: records
// numbered above the highest that sweep saw, and those it left printing.
// Job numbers only grow (NameFiles), so no other record can be printing.
// Gives the highest job number in the folder.
long EndDeadJobs(const fs::path& folder) {
  {
    std::lock_guard<std::mutex> lock(g_jobMutex);
    if (!SweptFolders().insert(folder.string()).second) return 0;
  }
  std::error_code ec;
  // Plain names: a folder of a year's receipts holds tens of thousands.
  std::vector<std::string> names;
  sysroot::ListNames(folder.string(), names);
  Sweep last, next;
  std::string state;
  const std::string stateFile = SweepFile(folder);
  bool known = sysroot::ReadHostFile(stateFile, state) && ParseSweep(state, last) && last.folder == folder.string();
  next.folder = folder.string();
  for (const std::string& recName : names) next.max = std::max(next.max, JobNumberOf(recName));
  // A folder whose highest number is now below the state's was emptied (or
  // its newest jobs deleted): its numbers begin again inside what the state
  // covers, so every record is read.
  if (next.max < last.max) known = false;
  for (const std::string& recName : names) {
    if (recName.size() < 4 || recName.compare(recName.size() - 4, 4, ".job") != 0) continue;
    const fs::path rec = folder / recName;
    const long number = JobNumberOf(recName);
    if (known && number > 0 && number <= last.max && !last.live.count(number)) continue;
    const std::string text = ReadSmallFile(rec.string());
    if (!IsRecord(text) || RecordValues(text, "Status") != std::vector<std::string>{"printing"}) continue;
    const auto writer = RecordValues(text, "Process");
    const long pid = writer.empty() ? 0 : std::atol(writer.front().c_str());
    if (pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
      if (number > 0) next.live.insert(number);
      continue;
    }
    std::set<std::string> named;
    for (const char* key : {"Pdf", "Png"})
      for (const auto& v : RecordValues(text, key)) named.insert(v);
    const std::string stem = rec.stem().string();
    for (const std::string& name : names) {
      const bool pdf = name == stem + ".pdf";
      const bool png = name.size() > stem.size() + 6 && name.compare(0, stem.size() + 2, stem + "-p") == 0 &&
                       name.compare(name.size() - 4, 4, ".png") == 0;
      const fs::path file = folder / name;
      if ((pdf || png) && !named.count(name) && IsRegularFile(file)) fs::remove(file, ec);
    }
    std::string ended;
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      end = end == std::string::npos ? text.size() : end + 2;
      std::string line = text.substr(pos, end - pos);
      if (line.compare(0, 15, "Status=printing") == 0)
        line = "Status=aborted\r\nError=The program printing the job ended before the job did.\r\n";
      if (line.compare(0, 8, "Process=") != 0) ended += line;
      pos = end;
    }
    sysroot::ReplaceFile(rec.string(), ended);
  }
  // A lost or stale state only makes the next sweep read more; one that
  // still says the same is left alone.
  if (!known || !(next == last)) {
    std::filesystem::create_directories(fs::path(stateFile).parent_path(), ec);
    sysroot::ReplaceFileUnflushed(stateFile, FormatSweep(next));
  }
  return next.max;
}

std::mutex g_unrecordedMutex;
std::vector<std::string> g_unrecorded;

// A record rewritten where it stands: it needs no new room on the disk.
bool RewriteInPlace(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::pwrite(fd, data.data(), data.size(), 0) == static_cast<ssize_t>(data.size()) &&
            ::ftruncate(fd, static_cast<off_t>(data.size())) == 0 && ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

// Cairo takes a compressor's quarter megabyte for every PDF page and
// frees it when the page is written, and a PNG page takes its pixels and
// frees them. Given back to the system each time, such memory costs a
// shrink of the heap (or an unmapping), a TLB flush on every processor
// the process ran on and a page fault every 4 KB when it is taken again:
// the process keeps up to 8 MB of freed heap instead, and takes blocks of
// up to 4 MB from it (once per process).
void KeepFreedHeap() {
  static std::once_flag once;
  std::call_once(once, [] {
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 8 << 20);
  });
}

class CairoEngine : public Engine {
 public:
  explicit CairoEngine(const spool::PrinterDef& def) : def_(def) {}
  ~CairoEngine() override { Abandon(); }

  bool BeginDocument(Job& job, int widthTenths, int heightTenths, Failure& why) override {
    KeepFreedHeap();
    if (!Printable(widthTenths, heightTenths, why) || !NameFiles(job, why)) return false;
    // The PDF is what the command takes; a print to a file is a PDF.
    writesPdf_ = def_.WritesPdf() || !def_.command.empty() || !job.output.empty();
    open_ = true;
    // Only a file named as the output may take the place of what is there.
    if (writesPdf_ && !OpenPdf(job.pdfPath, !job.output.empty(), widthTenths, heightTenths, why)) {
      // What was begun goes; the record tells why when it can be written.
      KeepFirstFailure(job, why);
      Fail(job);
      return false;
    }
    return true;
  }

  bool AddPage(Job& job, Page& page, Failure& why) override {
    if (!open_) {
      why = {win::ERROR_INVALID_PARAMETER, "No document is open."};
      return false;
    }
    if (!Printable(page.widthTenths, page.heightTenths, why)) return false;
    if (surface_) {
      cairo_pdf_surface_set_size(surface_, TenthsToPoints(page.widthTenths), TenthsToPoints(page.heightTenths));
      cairo_t* cr = cairo_create(surface_);
      cairo_scale(cr, 72.0 / def_.dpiX, 72.0 / def_.dpiY);
      for (const auto& op : page.ops) RenderOp(cr, op);
      cairo_show_page(cr);
      cairo_status_t st = cairo_status(cr);
      cairo_destroy(cr);
      if (!pdf_.Good(why)) return false;
      if (st != CAIRO_STATUS_SUCCESS) {
        why = CairoFailure(st, "the PDF");
        return false;
      }
    }
    if (def_.WritesPng() && !device_) {
      fs::path pdf(job.pdfPath);
      const std::string name = pdf.stem().string() + "-p" + std::to_string(job.pages.size()) + ".png";
      const std::string png = (pdf.parent_path() / name).string();
      if (!WritePng(page, png, earlier_.count(name) > 0, why)) return false;
      job.pngPaths.push_back(png);  // removed with the job should it fail
    }
    // Written: only its size is kept, so a long job does not hold every
    // page's drawing (and pictures) until it ends.
    std::vector<Op>().swap(page.ops);
    return true;
  }

  bool EndDocument(Job& job, Failure& why) override {
    const bool closed = !writesPdf_ || ClosePdf(why);
    job.pdfWritten = closed && writesPdf_ && !device_;
    if (!closed || !HasPages(job, why)) {
      KeepFirstFailure(job, why);  // the cause goes into the record
      Fail(job, job.pages.empty() ? "empty" : "failed");
      return false;
    }
    open_ = false;
    // A job cut short keeps its pages, says so, and is never handed over.
    if (job.cutShort) {
      job.status = "cancelled";
      if (job.error.empty())
        job.error = "Cancelled after page " + std::to_string(job.pages.size()) + ": the rest was not printed.";
      Failure unwritten;
      if (!WriteRecord(job, unwritten)) Fail(job, "cancelled");
      return true;
    }
    // A whole PDF that the command did not take stays for another try.
    const bool handed = !def_.command.empty();
    if (handed && !HandOver(def_.command, job, def_.commandTimeout, why)) {
      KeepFirstFailure(job, why);
      job.status = "failed";
      Failure unwritten;
      WriteRecord(job, unwritten);
      return false;
    }
    // Made only for the command.
    if (job.pdfWritten && !def_.WritesPdf() && job.output.empty()) {
      std::error_code ec;
      fs::remove(job.pdfPath, ec);
      job.pdfWritten = false;
    }
    job.status = "done";
    Failure unwritten;
    if (WriteRecord(job, unwritten)) return true;
    // The printer has the receipt: the job is done, and its record says so
    // in the room it already takes when a new one cannot be written.
    if (handed) {
      if (!RewriteInPlace(job.recordPath, FormatRecord(job))) {
        // Not even that: whoever logs is told, so that the receipt is not
        // taken for lost and printed again.
        std::lock_guard<std::mutex> lock(g_unrecordedMutex);
        g_unrecorded.push_back("Job " + std::to_string(job.number) + " reached the printer " + job.printer +
                               ", but its record " + sysroot::WinPath(job.recordPath) +
                               " could not say so: " + unwritten.text);
      }
      return true;
    }
    // A job whose record cannot say it is done fails; its files go too.
    why = unwritten;
    KeepFirstFailure(job, why);
    Fail(job);
    return false;
  }

  void AbortDocument(Job& job) override {
    Engine::AbortDocument(job);
    Fail(job, job.status);
  }

 private:
  // Margins the printer cannot print on that cover the whole paper leave
  // nothing to print on: the job is refused, naming the definition's line.
  bool Printable(int widthTenths, int heightTenths, Failure& why) const {
    if (def_.unprintLeft + def_.unprintRight < widthTenths && def_.unprintTop + def_.unprintBottom < heightTenths)
      return true;
    why = {win::ERROR_INVALID_PARAMETER,
           "The line Unprintable=" + std::to_string(def_.unprintLeft) + "," + std::to_string(def_.unprintTop) + "," +
               std::to_string(def_.unprintRight) + "," + std::to_string(def_.unprintBottom) + " of the printer " +
               def_.name + " leaves nothing printable on paper of " + std::to_string(widthTenths) + " x " +
               std::to_string(heightTenths) + " tenths of a millimetre."};
    return false;
  }

  // The job ends without output: what it wrote is removed, then the record
  // tells why (or goes too, when it cannot be written).
  void Fail(Job& job, const std::string& status = "failed") {
    Abandon();
    open_ = false;
    std::error_code ec;
    if (job.pdfWritten) fs::remove(job.pdfPath, ec);
    job.pdfWritten = false;
    for (const auto& p : job.pngPaths) fs::remove(p, ec);
    job.pngPaths.clear();
    job.status = status;
    Failure unwritten;
    if (!WriteRecord(job, unwritten) && !job.recordPath.empty()) fs::remove(job.recordPath, ec);
  }

  // The job's number, files and first record: the output file asked for,
  // or the next free job-NNNN in the printer's output folder.
  bool NameFiles(Job& job, Failure& why) {
    std::error_code ec;
    job.status = "printing";
    if (!job.output.empty()) return NameOutputFiles(job, why);
    fs::path folder = sysroot::HostPath(def_.OutputFolder());
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
      why = FileFailure(ec ? ec.value() : ENOTDIR, "Cannot make the output folder " + folder.string());
      return false;
    }
    const long highest = EndDeadJobs(folder);
    // The record appears whole, under the first number free after the
    // highest this process has seen there.
    std::string tmp;
    int err = sysroot::WriteTemp(folder.string(), FormatRecord(job), 0644, tmp);
    const bool written = err == 0;
    std::lock_guard<std::mutex> lock(g_jobMutex);
    long& next = NextNumbers()[folder.string()];
    next = std::max(next, highest + 1);
    for (long n = next; !err && n < 1000000; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "job-%04ld", n);
      std::string rec = (folder / (std::string(name) + ".job")).string();
      if (::link(tmp.c_str(), rec.c_str()) == 0) {
        ::unlink(tmp.c_str());
        next = n + 1;
        job.number = static_cast<int>(n);
        job.recordPath = rec;
        job.pdfPath = (folder / name).string() + ".pdf";
        if ((err = sysroot::SyncFolderOf(rec)) == 0) return true;
        why = FileFailure(err, "Cannot write the job record " + rec);
        ::unlink(rec.c_str());
        job.recordPath.clear();
        return false;
      }
      if (errno != EEXIST) err = errno;
    }
    if (written) ::unlink(tmp.c_str());
    why = err ? FileFailure(err, "Cannot make a job record in " + folder.string())
              : Failure{win::ERROR_FILE_EXISTS, "No job number is free in " + folder.string() + "."};
    return false;
  }

  // A print to a file: the file named, with its record and pages beside it.
  // A device or a pipe gets the PDF alone. Files of an earlier print to the
  // same file (its record and what that names) are replaced; any other
  // file in the way refuses the job.
  bool NameOutputFiles(Job& job, Failure& why) {
    std::error_code ec;
    fs::path p = sysroot::HostPath(job.output);
    job.number = 1;
    job.pdfPath = p.string();
    if (OutputFile::IsDevice(p.string())) {
      device_ = true;
      return true;
    }
    fs::create_directories(p.parent_path(), ec);
    const fs::path rec = p.parent_path() / (p.stem().string() + ".job");
    if (rec == p) {
      why = {win::ERROR_FILE_EXISTS, "The output file " + p.string() + " would be its own job record."};
      return false;
    }
    struct stat st;
    if (::lstat(rec.c_str(), &st) == 0) {
      const std::string earlier = ReadSmallFile(rec.string());
      if (!S_ISREG(st.st_mode) || !IsRecord(earlier)) {
        why = {win::ERROR_FILE_EXISTS, "The file " + rec.string() + " is in the way of the job record."};
        return false;
      }
      for (const auto& v : RecordValues(earlier, "Png")) earlier_.insert(v);
    }
    job.recordPath = rec.string();
    return WriteRecord(job, why);
  }

  bool OpenPdf(const std::string& path, bool replace, int w, int h, Failure& why) {
    if (!pdf_.Open(path, replace, why)) return false;
    surface_ = cairo_pdf_surface_create_for_stream(OutputFile::Write, &pdf_, TenthsToPoints(std::max(1, w)),
                                                   TenthsToPoints(std::max(1, h)));
    if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
      why = CairoFailure(cairo_surface_status(surface_), path);
      Abandon();
      return false;
    }
    return true;
  }

  // Finishes the PDF and flushes it to the disk; a write that failed on
  // the way fails it with its own cause.
  bool ClosePdf(Failure& why) {
    if (!surface_) {
      why = {win::ERROR_INVALID_PARAMETER, "No document is open."};
      return false;
    }
    cairo_surface_finish(surface_);
    cairo_status_t st = cairo_surface_status(surface_);
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (!pdf_.Close(why)) return false;
    if (st != CAIRO_STATUS_SUCCESS) {
      why = CairoFailure(st, "the PDF");
      return false;
    }
    return true;
  }

  void Abandon() {
    if (surface_) {
      cairo_surface_finish(surface_);
      cairo_surface_destroy(surface_);
      surface_ = nullptr;
    }
    pdf_.Discard();
  }

  // The page drawn by the raster engine, written as a PNG of the depth it
  // needs.
  static bool WritePng(const Page& page, const std::string& path, bool replace, Failure& why) {
    RasterEngine raster;
    if (!raster.DrawPage(page, why)) return false;
    OutputFile file;
    if (!file.Open(path, replace, why)) return false;
    bool encoded = WritePixelsPng(*raster.Pixels(), page.width, page.height, [&](const unsigned char* data, size_t n) {
      return OutputFile::Write(&file, data, static_cast<unsigned int>(n)) == CAIRO_STATUS_SUCCESS;
    });
    // A write failure is the cause the encoder's comes from.
    if (!file.Good(why)) return false;
    if (!encoded) {
      why = {win::ERROR_NOT_ENOUGH_MEMORY, "Cannot encode " + path};
      return false;  // the file goes with it
    }
    return file.Close(why);
  }

  spool::PrinterDef def_;
  OutputFile pdf_;
  cairo_surface_t* surface_ = nullptr;
  bool open_ = false, writesPdf_ = true, device_ = false;
  std::set<std::string> earlier_;  // pages an earlier print to the same file named
};

}  // namespace

std::unique_ptr<Engine> MakePrinterEngine(const spool::PrinterDef& def) {
  switch (def.backend) {
    case spool::PrinterBackend::Record: return std::make_unique<RecordingEngine>();
    case spool::PrinterBackend::Cairo: break;
  }
  return std::make_unique<CairoEngine>(def);
}

// ---- raster

void RasterEngine::SetTarget(std::shared_ptr<std::vector<std::uint32_t>> pixels, int width, int height) {
  if (!pixels || width <= 0 || height <= 0 ||
      pixels->size() < static_cast<size_t>(width) * static_cast<size_t>(height)) {
    pixels_.reset();
    width_ = height_ = 0;
    return;
  }
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
}

void RasterEngine::Draw(const Op& op) { DrawOps(&op, 1); }

void RasterEngine::DrawOps(const Op* ops, size_t count) {
  if (!pixels_ || count == 0) return;
  int stride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width_);
  if (stride != width_ * 4) return;
  // A target taller than cairo can draw on is drawn in bands of rows.
  for (int top = 0; top < height_; top += kMaxSide) {
    int rows = std::min(kMaxSide, height_ - top);
    auto* data = reinterpret_cast<unsigned char*>(pixels_->data() + static_cast<size_t>(top) * width_);
    cairo_surface_t* s = cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width_, rows, stride);
    cairo_t* cr = cairo_create(s);
    cairo_translate(cr, 0, -top);
    for (size_t i = 0; i < count; ++i) RenderOp(cr, ops[i]);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    cairo_surface_destroy(s);
  }
}

namespace {

// Memory about to be written whole, mapped in one call instead of a page
// fault every 4 KB (a page's pixels are a megabyte and more). Where the
// system cannot, the writes map it as before.
void MapForWriting(void* data, size_t bytes) {
#ifndef MADV_POPULATE_WRITE
#define MADV_POPULATE_WRITE 23
#endif
  const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
  const uintptr_t from = (reinterpret_cast<uintptr_t>(data) + page - 1) & ~(page - 1);
  const uintptr_t to = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(page - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
}

}  // namespace

bool RasterEngine::DrawPage(const Page& page, Failure& why) {
  if (page.width <= 0 || page.height <= 0 || page.width > kMaxSide || page.height > kMaxSide) {
    why = TooLarge(page.width, page.height);
    return false;
  }
  try {
    const size_t count = static_cast<size_t>(page.width) * page.height;
    auto pixels = std::make_shared<std::vector<std::uint32_t>>();
    pixels->reserve(count);
    MapForWriting(pixels->data(), count * sizeof(std::uint32_t));
    pixels->assign(count, 0xFFFFFFFFu);
    SetTarget(std::move(pixels), page.width, page.height);
  } catch (const std::bad_alloc&) {
    why = TooLarge(page.width, page.height);
    return false;
  }
  DrawOps(page.ops.data(), page.ops.size());  // one surface for the whole page
  return true;
}

bool RasterEngine::AddPage(Job&, Page& page, Failure& why) { return DrawPage(page, why); }

std::vector<std::uint32_t> RenderPage(const Page& page) {
  RasterEngine raster;
  Failure why;
  if (!raster.DrawPage(page, why)) return {};
  return std::move(*raster.Pixels());
}

std::vector<std::string> TakeUnrecordedJobs() {
  std::lock_guard<std::mutex> lock(g_unrecordedMutex);
  std::vector<std::string> out;
  out.swap(g_unrecorded);
  return out;
}

}  // namespace gdi
