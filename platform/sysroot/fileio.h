// File handles in the shape of the runtime's file routines: FileCreate gives
// a handle of 1 or more, or -1 with the last error set. Below them, the host
// side's whole-file replacement and lock files.
#pragma once
#include <string>
#include <sys/types.h>

#include "platform/sysroot/files.h"

namespace win {

// Creates WINPATH, replacing an old file. A program file that a process runs
// or has loaded is refused with ERROR_SHARING_VIOLATION.
int FileCreate(const std::string& winPath);
// Writes COUNT bytes; the number written, or -1.
long FileWrite(int handle, const void* buffer, unsigned long count);
void FileClose(int handle);
// Creates the folder with all missing parents; true when it exists after.
bool ForceDirectories(const std::string& winDir);

// The Windows and system folders copied into BUFFER of SIZE characters:
// the length without the NUL, or the size needed (NUL counted) when BUFFER
// is too small, which is then left untouched.
UINT GetWindowsDirectory(char* buffer, UINT size);
UINT GetSystemDirectory(char* buffer, UINT size);

}  // namespace win

namespace sysroot {

// Replaces the host file PATH with DATA: writes a private file beside it,
// flushes it to the disk and renames it over PATH, so readers see the old
// file or the new one, never half of one. False with errno set when it
// fails; the old file is then untouched and the private file gone.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode = 0644);

// Holds a lock on the host file PATH (created when missing, with its
// folders) for its lifetime: exclusive for changes, shared for reading. A
// shared lock never creates the file: a reader may only be allowed to read.
class FileLock {
 public:
  explicit FileLock(const std::string& path, bool exclusive = true);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace sysroot
