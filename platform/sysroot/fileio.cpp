#include "fileio.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>
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

namespace {

thread_local std::string t_lockFailure;

// The owner's process id in NAME when it was made from
// OwnedTemplate(PREFIX); 0 when it was not.
pid_t OwnerOf(const std::string& name, const std::string& prefix) {
  constexpr size_t kSuffix = 7;  // "-" and the six characters
  if (name.size() < prefix.size() + 1 + kSuffix || name.compare(0, prefix.size(), prefix) != 0) return 0;
  const size_t dash = name.size() - kSuffix;
  if (name[dash] != '-' || dash - prefix.size() > 9) return 0;
  for (size_t i = prefix.size(); i < dash; ++i)
    if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
  return static_cast<pid_t>(std::stol(name.substr(prefix.size(), dash - prefix.size())));
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

std::string TempDir() {
  const char* dir = std::getenv("TMPDIR");
  return dir && *dir == '/' ? dir : "/tmp";
}

std::string OwnedTemplate(const std::string& prefix) {
  return prefix + std::to_string(getpid()) + "-XXXXXX";
}

void ClearOrphans(const std::string& folder, const std::string& prefix) {
  static std::mutex mutex;
  static std::set<std::string> cleared;
  {
    std::lock_guard<std::mutex> lock(mutex);
    if (!cleared.insert(folder + '\0' + prefix).second) return;
  }
  std::vector<std::string> names;
  ListNames(folder, names);
  for (const std::string& name : names) {
    const pid_t owner = OwnerOf(name, prefix);
    if (owner > 0 && kill(owner, 0) != 0 && errno == ESRCH) unlink((folder + "/" + name).c_str());
  }
}

unsigned LockWaitMs() {
  const char* ms = std::getenv("ZOLMET_LOCK_WAIT_MS");
  if (ms && *ms) {
    char* end = nullptr;
    unsigned long v = std::strtoul(ms, &end, 10);
    if (*end == '\0' && v <= 3600000) return static_cast<unsigned>(v);
  }
  return 30000;
}

bool LockWithin(int fd, bool exclusive) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(LockWaitMs());
  auto pause = std::chrono::milliseconds(1);
  while (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return false;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) {
      errno = EWOULDBLOCK;
      return false;
    }
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, deadline - now));
    pause = std::min(pause * 2, std::chrono::milliseconds(50));
  }
  return true;
}

std::string LastLockFailure() { return t_lockFailure; }

int WriteAll(int fd, const char* data, size_t size) {
  for (size_t done = 0; done < size;) {
    ssize_t n = write(fd, data + done, size - done);
    if (n > 0) done += static_cast<size_t>(n);
    else if (n == 0) return EIO;
    else if (errno != EINTR) return errno;
  }
  return 0;
}

int SyncFolderOf(const std::string& path) {
  int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
  close(fd);
  return err;
}

int MakeTemp(const std::string& folder, std::string& path) {
  ClearOrphans(folder, kTempPrefix);
  path = OwnedTemplate(folder + "/" + kTempPrefix);
  return mkostemp(path.data(), O_CLOEXEC);
}

bool ListNames(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* dir = opendir(folder.c_str());
  if (!dir) return false;
  errno = 0;
  while (const dirent* e = readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.emplace_back(e->d_name);
    errno = 0;
  }
  const int err = errno;
  closedir(dir);
  errno = err;
  return err == 0;
}

int PlaceFile(const std::string& tmp, const std::string& path, bool replace, bool flush) {
  int err = 0;
  if (replace) {
    if (rename(tmp.c_str(), path.c_str()) != 0) err = errno;
  } else if (link(tmp.c_str(), path.c_str()) != 0) {
    err = errno;
  }
  if (err || !replace) unlink(tmp.c_str());
  if (!err && flush) err = SyncFolderOf(path);
  return err;
}

int WriteTemp(const std::string& folder, const std::string& data, mode_t mode, std::string& tmp, bool flush) {
  int fd = MakeTemp(folder, tmp);
  if (fd < 0) return errno;
  int err = WriteAll(fd, data.data(), data.size());
  if (!err && fchmod(fd, mode) != 0) err = errno;
  if (!err && flush && fsync(fd) != 0) err = errno;
  if (close(fd) != 0 && !err) err = errno;
  if (err) unlink(tmp.c_str());
  return err;
}

namespace {

bool Replace(const std::string& path, const std::string& data, mode_t mode, bool flush) {
  // The private file is beside the target, so the rename stays on one file
  // system; it names this process, so that one left by a killed process is
  // cleared by a later one.
  std::string tmp;
  int err = WriteTemp(FolderOf(path), data, mode, tmp, flush);
  if (!err) err = PlaceFile(tmp, path, true, flush);
  if (err) {
    errno = err;
    return false;
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode) {
  return Replace(path, data, mode, true);
}

bool ReplaceFileUnflushed(const std::string& path, const std::string& data, mode_t mode) {
  return Replace(path, data, mode, false);
}

FileLock::FileLock(const std::string& path, bool exclusive) {
  if (exclusive) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  } else {
    fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd_ < 0) {
    const int err = errno;
    error_ = "Cannot open the lock file " + path + ": " + std::strerror(err) + ".";
    errno = err;
    return;
  }
  if (LockWithin(fd_, exclusive)) return;
  const int err = errno;
  close(fd_);
  fd_ = -1;
  if (err == EWOULDBLOCK) {
    const unsigned ms = LockWaitMs();
    error_ = "The file " + path + " stayed locked by another process for " +
             (ms % 1000 ? std::to_string(ms) + " ms." : std::to_string(ms / 1000) + " s.");
    t_lockFailure = error_;
  } else {
    error_ = "Cannot lock the file " + path + ": " + std::strerror(err) + ".";
  }
  errno = err;
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);
}

}  // namespace sysroot
