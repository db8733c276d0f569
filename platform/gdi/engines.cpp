// The engines: recording (pages kept in memory), cairo (a PDF, PNG pages
// and a job record in the printer's output folder, then the hand-over
// command) and raster (32-bit pixels drawn at once).
#include <cairo-pdf.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <new>
#include <unistd.h>

#include "dc_internal.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace gdi {

bool Engine::BeginDocument(Job&, int, int, Failure&) { return true; }
bool Engine::AddPage(Job&, Page&, Failure&) { return true; }
bool Engine::EndDocument(Job& job, Failure&) {
  job.status = "done";
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
// success after a failed write, so the first failure is kept here; Close
// flushes the file to the disk and answers it.
class OutputFile {
 public:
  ~OutputFile() { Discard(); }

  bool Open(const std::string& path, Failure& why) {
    Discard();
    path_ = path;
    err_ = 0;
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
      why = FileFailure(errno, "Cannot write " + path);
      return false;
    }
    return true;
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

  // Flushes and closes the file; a file that failed is removed.
  bool Close(Failure& why) {
    if (fd_ < 0) return Good(why);
    Flush();
    // A device (no disk behind it) cannot be flushed and need not be.
    if (!err_ && ::fsync(fd_) != 0 && errno != EINVAL) err_ = errno;
    if (::close(fd_) != 0 && !err_ && errno != EINTR) err_ = errno;
    fd_ = -1;
    if (err_) ::unlink(path_.c_str());
    return Good(why);
  }

  // Given up: closed and removed.
  void Discard() {
    buffer_.clear();
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(path_.c_str());
  }

 private:
  static constexpr size_t kBuffer = 1 << 16;
  std::string path_;
  std::string buffer_;
  int fd_ = -1;
  int err_ = 0;
};

std::mutex g_jobMutex;  // job numbers within this process

class CairoEngine : public Engine {
 public:
  explicit CairoEngine(const spool::PrinterDef& def) : def_(def) {}
  ~CairoEngine() override { Abandon(); }

  bool BeginDocument(Job& job, int widthTenths, int heightTenths, Failure& why) override {
    if (!NameFiles(job, why)) return false;
    if (!WriteRecord(job, why) || !OpenPdf(job.pdfPath, widthTenths, heightTenths, why)) {
      // What was begun goes; the record tells why when it can be written.
      KeepFirstFailure(job, why);
      Fail(job);
      return false;
    }
    return true;
  }

  bool AddPage(Job& job, Page& page, Failure& why) override {
    if (!surface_) {
      why = {win::ERROR_INVALID_PARAMETER, "No document is open."};
      return false;
    }
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
    if (def_.WritesPng()) {
      fs::path pdf(job.pdfPath);
      std::string png = (pdf.parent_path() / pdf.stem()).string() + "-p" + std::to_string(job.pages.size()) + ".png";
      job.pngPaths.push_back(png);  // removed with the job should it fail
      if (!WritePng(page, png, why)) return false;
    }
    // Written: only its size is kept, so a long job does not hold every
    // page's drawing (and pictures) until it ends.
    std::vector<Op>().swap(page.ops);
    return true;
  }

  bool EndDocument(Job& job, Failure& why) override {
    if (!ClosePdf(why) || !HasPages(job, why)) {
      KeepFirstFailure(job, why);  // the cause goes into the record
      Fail(job, job.pages.empty() ? "empty" : "failed");
      return false;
    }
    // A whole PDF that the command did not take stays for another try.
    bool ok = def_.command.empty() || HandOver(def_.command, job, def_.commandTimeout, why);
    if (!ok) KeepFirstFailure(job, why);
    job.status = ok ? "done" : "failed";
    Failure unwritten;
    if (!WriteRecord(job, unwritten) && ok) {
      // A job whose record cannot say it is done fails; its files go too,
      // unless the command has them already.
      why = unwritten;
      KeepFirstFailure(job, why);
      job.status = "failed";
      if (def_.command.empty()) Fail(job);
      return false;
    }
    return ok;
  }

  void AbortDocument(Job& job) override {
    Engine::AbortDocument(job);
    Fail(job, job.status);
  }

 private:
  // The job ends without output: what it wrote is removed, then the record
  // tells why (or goes too, when it cannot be written).
  void Fail(Job& job, const std::string& status = "failed") {
    Abandon();
    std::error_code ec;
    if (!job.pdfPath.empty()) fs::remove(job.pdfPath, ec);
    for (const auto& p : job.pngPaths) fs::remove(p, ec);
    job.pngPaths.clear();
    job.status = status;
    Failure unwritten;
    if (!WriteRecord(job, unwritten) && !job.recordPath.empty()) fs::remove(job.recordPath, ec);
  }

  // The job's number and files: the output file asked for, or the next
  // free job-NNNN in the printer's output folder.
  bool NameFiles(Job& job, Failure& why) {
    std::error_code ec;
    if (!job.output.empty()) {
      fs::path p = sysroot::HostPath(job.output);
      fs::create_directories(p.parent_path(), ec);
      job.pdfPath = p.string();
      job.recordPath = (p.parent_path() / p.stem()).string() + ".job";
      job.number = 1;
      return true;
    }
    fs::path folder = sysroot::HostPath(def_.OutputFolder());
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder)) {
      why = FileFailure(ec ? ec.value() : ENOTDIR, "Cannot make the output folder " + folder.string());
      return false;
    }
    // The job number is the first whose record can be made new.
    std::lock_guard<std::mutex> lock(g_jobMutex);
    for (int n = 1; n < 1000000; ++n) {
      char name[32];
      std::snprintf(name, sizeof name, "job-%04d", n);
      std::string rec = (folder / (std::string(name) + ".job")).string();
      int fd = ::open(rec.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
      if (fd >= 0) {
        ::close(fd);
        job.number = n;
        job.recordPath = rec;
        job.pdfPath = (folder / name).string() + ".pdf";
        return true;
      }
      if (errno != EEXIST) {
        why = FileFailure(errno, "Cannot make the job record " + rec);
        return false;
      }
    }
    why = {win::ERROR_FILE_EXISTS, "No job number is free in " + folder.string() + "."};
    return false;
  }

  bool OpenPdf(const std::string& path, int w, int h, Failure& why) {
    if (!pdf_.Open(path, why)) return false;
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
  static bool WritePng(const Page& page, const std::string& path, Failure& why) {
    RasterEngine raster;
    if (!raster.DrawPage(page, why)) return false;
    OutputFile file;
    if (!file.Open(path, why)) return false;
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

bool RasterEngine::DrawPage(const Page& page, Failure& why) {
  if (page.width <= 0 || page.height <= 0 || page.width > kMaxSide || page.height > kMaxSide) {
    why = TooLarge(page.width, page.height);
    return false;
  }
  try {
    SetTarget(std::make_shared<std::vector<std::uint32_t>>(static_cast<size_t>(page.width) * page.height,
                                                             0xFFFFFFFFu),
              page.width, page.height);
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

}  // namespace gdi
