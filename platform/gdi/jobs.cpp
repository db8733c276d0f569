// Documents and pages of printing contexts, handed to the context's
// engine; the job record; the hand-over command; the recorded jobs.
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <unistd.h>

#include "dc_internal.h"
#include "platform/process/process.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"

namespace fs = std::filesystem;

namespace gdi {
namespace {

std::mutex g_recordMutex;
std::vector<Job>& Recorded() {
  static std::vector<Job> v;
  return v;
}

}  // namespace

int NextRecordedJobNumber() {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  return static_cast<int>(Recorded().size()) + 1;
}

void AddRecordedJob(const Job& job) {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  Recorded().push_back(job);
}

std::vector<Job> RecordedJobs() {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  return Recorded();
}

void ClearRecordedJobs() {
  std::lock_guard<std::mutex> lock(g_recordMutex);
  Recorded().clear();
}

void CutShortDocument(win::HDC dc) {
  if (win::Dcs().Contains(dc) && dc->inDoc) dc->job.cutShort = true;
}

std::string DocumentError(win::HDC dc) { return win::Dcs().Contains(dc) ? dc->job.error : std::string(); }

const std::vector<Page>* DocumentPages(win::HDC dc) {
  return win::Dcs().Contains(dc) && dc->inDoc ? &dc->job.pages : nullptr;
}

void KeepFirstFailure(Job& job, const Failure& why) {
  if (!job.error.empty()) return;
  job.error = why.text;
  job.errorCode = why.code ? why.code : win::ERROR_GEN_FAILURE;
}

namespace {

// One line of the record: a text without line breaks.
std::string OneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

}  // namespace

std::string FormatRecord(const Job& j) {
  std::ostringstream o;
  o << "Printer=" << j.printer << "\r\n"
    << "Document=" << j.document << "\r\n"
    << "Status=" << j.status << "\r\n";
  // A job being printed names its program, so that a later one can tell
  // when it was left unfinished.
  if (j.status == "printing") o << "Process=" << getpid() << "\r\n";
  if (!j.error.empty()) o << "Error=" << OneLine(j.error) << "\r\n";
  o << "Copies=" << j.copies << "\r\n"
    << "Pages=" << j.pages.size() << "\r\n";
  for (size_t i = 0; i < j.pages.size(); ++i)
    o << "Page" << i + 1 << "=" << j.pages[i].widthTenths << "," << j.pages[i].heightTenths << ","
      << j.pages[i].width << "," << j.pages[i].height << "\r\n";
  // Only the files the job wrote whole are named: a job that failed has none.
  if (j.pdfWritten) o << "Pdf=" << fs::path(j.pdfPath).filename().string() << "\r\n";
  for (const auto& p : j.pngPaths) o << "Png=" << fs::path(p).filename().string() << "\r\n";
  return o.str();
}

bool WriteRecord(const Job& j, Failure& why) {
  if (j.recordPath.empty()) return true;
  if (sysroot::ReplaceFile(j.recordPath, FormatRecord(j))) return true;
  int err = errno ? errno : EIO;
  why.code = win::SetLastErrorFromErrno(err);
  why.text = "Cannot write the job record " + j.recordPath + ": " + std::strerror(err) + ".";
  return false;
}

namespace {

// The most of a command's output that its failure keeps.
constexpr std::streamoff kMaxOutput = 1000;

// The end of what a command wrote to PATH, as one line of Big5 text; empty
// when it wrote nothing but blanks.
std::string CommandOutput(const std::string& path) {
  std::ifstream f(path, std::ios::binary | std::ios::ate);
  if (!f) return "";
  const std::streamoff size = f.tellg();
  const std::streamoff from = size > kMaxOutput ? size - kMaxOutput : 0;
  f.seekg(from);
  std::string utf8(static_cast<size_t>(size - from), '\0');
  f.read(utf8.data(), static_cast<std::streamsize>(utf8.size()));
  utf8.resize(static_cast<size_t>(f.gcount()));
  size_t start = 0;
  if (from > 0) {  // cut: start at a whole character
    while (start < utf8.size() && (static_cast<unsigned char>(utf8[start]) & 0xC0) == 0x80) ++start;
  }
  std::string text;
  for (char c : cp::Utf8ToBig5(std::string_view(utf8).substr(start))) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (!blank) text += c;
    else if (!text.empty() && text.back() != ' ') text += ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return from > 0 && !text.empty() ? "..." + text : text;
}

// Width x height of a page in millimetres ("82x57.9").
std::string PageMillimetres(const Page& page) {
  auto mm = [](int tenths) {
    std::string s = std::to_string(tenths / 10);
    if (tenths % 10) s += "." + std::to_string(tenths % 10);
    return s;
  };
  return mm(page.widthTenths) + "x" + mm(page.heightTenths);
}

// A temporary file removed with this; one left by a killed program is
// cleared by a later one.
struct TempFile {
  std::string path;
  TempFile() {
    sysroot::ClearOrphans(sysroot::TempDir(), "zolmet-output-");
    std::string name = sysroot::OwnedTemplate(sysroot::TempDir() + "/zolmet-output-");
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
      ::close(fd);
      path = name;
    }
  }
  ~TempFile() {
    if (!path.empty()) ::unlink(path.c_str());
  }
};

}  // namespace

// Hands the job's finished PDF to COMMAND, run by the shell with the PDF as
// its last argument and ZOLMET_PAGE_MM set to the first page's size, through
// the process layer. What the command writes is kept for its failure. A
// command still running after LIMIT seconds is stopped with all it started.
bool HandOver(const std::string& command, const Job& job, int limitSeconds, Failure& why) {
  const std::string quoted = "\"" + command + "\"";
  TempFile output;
  if (output.path.empty()) {
    why.code = win::SetLastErrorFromErrno(errno);
    why.text = "The command " + quoted + " could not be started: no file for its output: " +
               std::strerror(errno) + ".";
    return false;
  }
  // The command runs in a subshell, so that an "exit" in it still reaches
  // the line after; that line leaves the status in the process layer's side
  // channel, which tells it even when this program ignores its children's
  // ends and the system collects them unseen.
  // The command has lines of its own, so that a comment in it ends there.
  const std::string script =
      "zolmet_output=$2; ZOLMET_PAGE_MM=$3; export ZOLMET_PAGE_MM; set -- \"$1\"\n(\n" + command +
      " \"$1\"\n) >\"$zolmet_output\" 2>&1\ns=$?; echo \"$$ $s\" >\"$ZOLMET_EXIT_FILE\"; exit $s";
  const std::string pageSize = job.pages.empty() ? "" : PageMillimetres(job.pages.front());
  win::HPROCESS p = win::CreateHostProcess("/bin/sh", {"-c", script, "sh", job.pdfPath, output.path, pageSize});
  if (!p) {
    why.code = win::GetLastError();
    why.text = "The command " + quoted + " could not be started.";
    return false;
  }
  // What the command wrote, after the sentence that says how it ended.
  auto withOutput = [&output](std::string text) {
    std::string written = CommandOutput(output.path);
    return written.empty() ? text : text + " Its output: " + written;
  };
  const win::DWORD limitMs = static_cast<win::DWORD>(std::max(1, limitSeconds)) * 1000u;
  if (win::WaitForSingleObject(p, limitMs) != win::WAIT_OBJECT_0) {
    win::TerminateProcess(p, 1);
    why.code = win::WAIT_TIMEOUT_ERROR;
    why.text = withOutput("The command " + quoted + " did not end within " + std::to_string(limitSeconds) +
                          " s and was stopped.");
    return false;
  }
  win::DWORD code = 0;
  if (!win::GetExitCodeProcess(p, code)) {
    why.code = win::ERROR_GEN_FAILURE;
    why.text = withOutput("The command " + quoted + " ended without an exit status.");
    return false;
  }
  if (code != 0) {
    why.code = win::ERROR_GEN_FAILURE;
    why.text = withOutput("The command " + quoted + " ended with exit code " + std::to_string(code) + ".");
    return false;
  }
  return true;
}

}  // namespace gdi

namespace win {
namespace {

// Fails a step of the document: the job keeps its first cause, and the
// last error is that cause's code.
int FailDocument(HDC dc, const gdi::Failure& why) {
  gdi::KeepFirstFailure(dc->job, why);
  SetLastError(dc->job.errorCode);
  return SP_ERROR;
}

}  // namespace

int StartDocA(HDC dc, const DOCINFOA* info) {
  if (!Valid(dc)) return SP_ERROR;
  if (dc->kind != DeviceContext::Printer || dc->inDoc || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  gdi::Job job;
  job.printer = dc->def.name;
  job.document = info->lpszDocName ? info->lpszDocName : "";
  job.output = info->lpszOutput ? info->lpszOutput : "";
  job.copies = dc->hasMode && (dc->mode.dmFields & DM_COPIES) ? std::max<short>(1, dc->mode.dmCopies) : 1;
  job.status = "printing";
  gdi::Failure why;
  bool begun = dc->engine->BeginDocument(job, dc->page.width, dc->page.length, why);
  dc->job = std::move(job);  // the last document's cause goes with it
  if (!begun) return FailDocument(dc, why);
  dc->inDoc = true;
  dc->inPage = false;
  return dc->job.number;
}

int StartPage(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc || dc->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->current = gdi::Page();
  dc->current.widthTenths = dc->page.width;
  dc->current.heightTenths = dc->page.length;
  dc->current.width = dc->Px(dc->page.width, false);
  dc->current.height = dc->Px(dc->page.length, true);
  dc->inPage = true;
  return 1;
}

int EndPage(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc || !dc->inPage) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->inPage = false;
  dc->job.pages.push_back(std::move(dc->current));
  gdi::Failure why;
  if (!dc->engine->AddPage(dc->job, dc->job.pages.back(), why)) return FailDocument(dc, why);
  return 1;
}

int EndDoc(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  if (dc->inPage && EndPage(dc) <= 0) {
    AbortDoc(dc);
    SetLastError(dc->job.errorCode);
    return SP_ERROR;
  }
  dc->inDoc = false;
  gdi::Failure why;
  return dc->engine->EndDocument(dc->job, why) ? 1 : FailDocument(dc, why);
}

int AbortDoc(HDC dc) {
  if (!Valid(dc)) return SP_ERROR;
  if (!dc->inDoc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->inDoc = dc->inPage = false;
  dc->engine->AbortDocument(dc->job);
  return 1;
}

}  // namespace win
