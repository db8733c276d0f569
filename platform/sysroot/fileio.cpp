#include "fileio.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "codepage.h"

#include "inuse.h"
#include "sysroot.h"

namespace win {
namespace {

bool EndsWithExe(const std::string& name) {
  if (name.size() < 4) return false;
  return cp::SameText(std::string_view(name).substr(name.size() - 4), ".exe");
}

UINT CopyOut(const std::string& text, char* buffer, UINT size) {
  if (!buffer || text.size() + 1 > size) return static_cast<UINT>(text.size() + 1);
  text.copy(buffer, text.size());
  buffer[text.size()] = '\0';
  return static_cast<UINT>(text.size());
}

}  // namespace

UINT GetWindowsDirectory(char* buffer, UINT size) { return CopyOut(sysroot::WindowsDir(), buffer, size); }
UINT GetSystemDirectory(char* buffer, UINT size) { return CopyOut(sysroot::SystemDir(), buffer, size); }

int FileCreate(const std::string& winPath) {
  std::string host = sysroot::HostPath(winPath);
  if (sysroot::FileInUseByProcess(host)) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return -1;
  }
  // Programs are created executable, as every file is runnable on Windows.
  mode_t mode = EndsWithExe(winPath) ? 0777 : 0666;
  int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return -1;
  }
  // Handles below 1 mean failure to callers; keep clear of 0.
  if (fd == 0) {
    int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    if (moved < 0) {
      SetLastErrorFromErrno(errno);
      return -1;
    }
    fd = moved;
  }
  return fd;
}

long FileWrite(int handle, const void* buffer, unsigned long count) {
  const char* p = static_cast<const char*>(buffer);
  unsigned long done = 0;
  while (done < count) {
    ssize_t n = write(handle, p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      return done ? static_cast<long>(done) : -1;
    }
    done += static_cast<unsigned long>(n);
  }
  return static_cast<long>(done);
}

void FileClose(int handle) {
  if (handle > 0) close(handle);
}

bool ForceDirectories(const std::string& winDir) {
  std::string dir = winDir;
  while (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
  if (dir.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (DirectoryExists(dir)) return true;
  size_t slash = dir.rfind('\\');
  if (slash != std::string::npos && slash > 0) {
    std::string parent = dir.substr(0, slash);
    if (parent.size() == 2 && parent[1] == ':') parent += '\\';
    if (parent != dir && !ForceDirectories(parent)) return false;
  }
  if (CreateDirectory(dir)) return true;
  DWORD err = GetLastError();
  if (DirectoryExists(dir)) return true;
  SetLastError(err);
  return false;
}

}  // namespace win
