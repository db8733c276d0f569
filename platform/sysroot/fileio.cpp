#include "fileio.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
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

namespace sysroot {

bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode) {
  // The private file is hidden and beside the target, so the rename stays on
  // one file system and listings of the folder never show it.
  size_t slash = path.rfind('/');
  std::string tmp = slash == std::string::npos ? "." + path : path.substr(0, slash + 1) + "." + path.substr(slash + 1);
  tmp += ".XXXXXX";
  int fd = mkostemp(tmp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  int err = 0;
  for (size_t done = 0; done < data.size() && !err;) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n >= 0) done += static_cast<size_t>(n);
    else if (errno != EINTR) err = errno;
  }
  if (!err && fchmod(fd, mode) != 0) err = errno;
  if (!err && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && !err) err = errno;
  if (!err && rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  if (err) {
    unlink(tmp.c_str());
    errno = err;
    return false;
  }
  return true;
}

FileLock::FileLock(const std::string& path, bool exclusive) {
  if (exclusive) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  } else {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd_ < 0) return;
  int r;
  do {
    r = flock(fd_, exclusive ? LOCK_EX : LOCK_SH);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    close(fd_);
    fd_ = -1;
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace sysroot
