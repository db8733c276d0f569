#include "files.h"

#include <cerrno>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "inuse.h"
#include "sysroot.h"

namespace win {
namespace {

thread_local DWORD t_lastError = 0;

std::mutex g_lookupMutex;
std::vector<ErrorMessageLookup>& Lookups() {
  static std::vector<ErrorMessageLookup> v;
  return v;
}

const char* BaseMessage(DWORD code) {
  switch (code) {
    case ERROR_SUCCESS: return "The operation completed successfully.";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified.";
    case ERROR_PATH_NOT_FOUND: return "The system cannot find the path specified.";
    case ERROR_ACCESS_DENIED: return "Access is denied.";
    case ERROR_INVALID_HANDLE: return "The handle is invalid.";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough storage is available to process this command.";
    case ERROR_BAD_FORMAT: return "An attempt was made to load a program with an incorrect format.";
    case ERROR_WRITE_FAULT: return "The system cannot write to the specified device.";
    case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning.";
    case ERROR_SHARING_VIOLATION:
      return "The process cannot access the file because it is being used by another process.";
    case ERROR_LOCK_VIOLATION:
      return "The process cannot access the file because another process has locked a portion of the file.";
    case ERROR_NOT_SUPPORTED: return "The request is not supported.";
    case ERROR_FILE_EXISTS: return "The file exists.";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect.";
    case ERROR_BUFFER_OVERFLOW: return "The file name is too long.";
    case ERROR_INSUFFICIENT_BUFFER: return "The data area passed to a system call is too small.";
    case ERROR_MOD_NOT_FOUND: return "The specified module could not be found.";
    case ERROR_PROC_NOT_FOUND: return "The specified procedure could not be found.";
    case ERROR_BAD_EXE_FORMAT: return "The file is not a valid application.";
    case ERROR_NO_DATA: return "The pipe is being closed.";
    case ERROR_DISK_FULL: return "There is not enough space on the disk.";
    case ERROR_ALREADY_EXISTS: return "Cannot create a file when that file already exists.";
    case WAIT_TIMEOUT_ERROR: return "The wait operation timed out.";
    default: return nullptr;
  }
}

}  // namespace

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD code) { t_lastError = code; }

DWORD SetLastErrorFromErrno(int err) {
  DWORD code;
  switch (err) {
    case 0: code = ERROR_SUCCESS; break;
    case ENOENT: code = ERROR_FILE_NOT_FOUND; break;
    case ENOTDIR: code = ERROR_PATH_NOT_FOUND; break;
    case EACCES:
    case EPERM:
    case EROFS: code = ERROR_ACCESS_DENIED; break;
    case ETXTBSY:
    case EBUSY: code = ERROR_SHARING_VIOLATION; break;
    case ENOSPC:
    case EFBIG: code = ERROR_DISK_FULL; break;
    case EWOULDBLOCK: code = ERROR_LOCK_VIOLATION; break;
    case EEXIST: code = ERROR_ALREADY_EXISTS; break;
    case ENOMEM: code = ERROR_NOT_ENOUGH_MEMORY; break;
    case ENOEXEC: code = ERROR_BAD_FORMAT; break;
    default: code = ERROR_INVALID_PARAMETER; break;
  }
  t_lastError = code;
  return code;
}

void RegisterErrorMessages(ErrorMessageLookup lookup) {
  std::lock_guard<std::mutex> lock(g_lookupMutex);
  Lookups().push_back(lookup);
}

std::string SysErrorMessage(DWORD code) {
  if (const char* m = BaseMessage(code)) return m;
  std::lock_guard<std::mutex> lock(g_lookupMutex);
  for (auto lookup : Lookups())
    if (const char* m = lookup(code)) return m;
  return "Unknown error " + std::to_string(code) + ".";
}

bool FileExists(const std::string& winPath) {
  struct stat st;
  if (stat(sysroot::HostPath(winPath).c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& winPath) {
  struct stat st;
  if (stat(sysroot::HostPath(winPath).c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return S_ISDIR(st.st_mode);
}

bool CreateDirectory(const std::string& winPath) {
  if (mkdir(sysroot::HostPath(winPath).c_str(), 0777) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool DeleteFile(const std::string& winPath) {
  std::string host = sysroot::HostPath(winPath);
  // A program file that a process runs or has loaded stays, as on Windows.
  if (sysroot::FileInUseByProcess(host)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (unlink(host.c_str()) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

}  // namespace win
