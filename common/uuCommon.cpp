#include "uuCommon.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/process/clock.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace uuCommon {

const std::string kPrintLogHeader = "Orvane．Dravik購卡站 v20090831a\r\n\r\n";
const std::string kControlLogHeader = "ZolmetOCX v20090831a\r\n";
const std::string kLogDir = "C:\\Zolmet\\Logs\\";

namespace {

// One append under the file's lock. One cut short (a full disk) is taken
// back while the lock is still held, so nobody else's entry can follow it
// and be cut with it: the file never holds part of an entry, the entry is
// lost instead.
bool AppendEntry(const std::string& path, const std::string& entry) {
  // A link in the log's place is never followed: the entry is lost.
  int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    errno = EINVAL;
    return false;
  }
  if (!sysroot::LockWithin(fd, true)) {
    close(fd);
    errno = EWOULDBLOCK;
    return false;
  }
  ssize_t n;
  do n = write(fd, entry.data(), entry.size());
  while (n < 0 && errno == EINTR);
  const int writeErrno = errno;
  bool ok = n == static_cast<ssize_t>(entry.size());
  if (n > 0 && !ok) {
    // The append ended at the file offset; cut back to where it began.
    off_t end = lseek(fd, 0, SEEK_CUR);
    if (end >= n) {
      int r = ftruncate(fd, end - n);
      (void)r;
    }
  }
  close(fd);  // and with it the lock
  errno = !ok && n >= 0 ? ENOSPC : writeErrno;
  return ok;
}

// Creates PATH holding CONTENT, or fails when it exists already. The file
// appears whole: it is written under a private name and linked into place.
bool CreateWhole(const std::string& path, const std::string& content) {
  const size_t slash = path.rfind('/');
  std::string tmp;
  int err = sysroot::WriteTemp(slash == std::string::npos ? "." : path.substr(0, slash), content, 0644, tmp);
  if (!err) err = sysroot::PlaceFile(tmp, path, false);
  errno = err;
  return err == 0;
}

// TEXT cut to at most MAX bytes, never inside a two-byte character, and
// marked as cut with its whole length.
std::string Capped(const std::string& text, size_t max) {
  if (text.size() <= max) return text;
  const std::string mark = " ... (" + std::to_string(text.size()) + " bytes)";
  const size_t room = max > mark.size() ? max - mark.size() : 0;
  size_t kept = 0;
  while (kept < room) {
    const size_t step = static_cast<unsigned char>(text[kept]) >= 0x81 ? 2 : 1;
    if (kept + step > room) break;
    kept += step;
  }
  return text.substr(0, kept) + mark;
}

}  // namespace

std::string ForLog(const std::string& text) {
  const size_t kept = std::min(text.size(), kMaxLoggedText);
  std::string out;
  out.reserve(kept + 32);
  for (size_t i = 0; i < kept; ++i) {
    const char c = text[i];
    if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else out += c;
  }
  if (text.size() > kept) out += " ... (" + std::to_string(text.size()) + " bytes)";
  return out;
}

bool ForceDir(const std::string& DirIn) {
  try {
    std::string Dir = DirIn;
    if (!Dir.empty() && Dir.back() == '\\') Dir.pop_back();
    if (Dir.empty()) return false;
    if (win::DirectoryExists(Dir)) return true;
    size_t slash = Dir.rfind('\\');
    // A path without a parent part cannot be created.
    if (slash == std::string::npos) return false;
    if (!ForceDir(Dir.substr(0, slash + 1))) return false;
    return win::CreateDirectory(Dir) || win::DirectoryExists(Dir);
  } catch (...) {
    return false;
  }
}

void WriteLog(const std::string& DirIn, const std::string& Kind, const std::string& Text,
              const std::string& Header) {
  try {
    if (DirIn.empty()) return;
    std::string Dir = DirIn;
    if (Dir.back() != '\\') Dir += '\\';
    if (!ForceDir(Dir)) return;
    win::DateTimeParts t = win::DecodeDateTime(win::Now());
    char name[16];
    std::snprintf(name, sizeof name, "%02d%02d%02d", t.year % 100, t.month, t.day);
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "[%02d:%02d:%02d] ", t.hour, t.minute, t.second);
    // The whole entry, text and the lines that close it, within the cap.
    std::string entry = stamp + Capped(Text, kMaxEntry - std::strlen(stamp) - 4) + "\r\n\r\n";
    std::string path = sysroot::HostPath(Dir + name + "." + Kind + ".txt");
    if (AppendEntry(path, entry)) return;
    if (errno != ENOENT) return;
    if (CreateWhole(path, Header + entry)) return;
    AppendEntry(path, entry);  // another process created it first
  } catch (...) {
  }
}

}  // namespace uuCommon
