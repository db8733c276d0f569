// File handles in the shape of the runtime's file routines: FileCreate gives
// a handle of 1 or more, or -1 with the last error set. Below them, the host
// side's whole-file replacement and lock files.
#pragma once
#include <string>
#include <vector>
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
// flushes it to the disk, renames it over PATH and flushes the folder, so
// readers see the old file or the new one, never half of one, and a
// replacement made is kept through a crash. False with errno set when it
// fails; the old file is then untouched and the private file gone.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode = 0644);
// The same replacement, whole or not at all, without flushing anything to
// the disk: for files that describe this running process only, which a
// crash makes stale anyway.
bool ReplaceFileUnflushed(const std::string& path, const std::string& data, mode_t mode = 0644);

// Flushes the folder of the host file PATH (its names) to the disk; 0 or
// the errno of the failure.
int SyncFolderOf(const std::string& path);

// The private files of this system beside the files they become: hidden,
// named by kTempPrefix, the owner's process id, "-" and six characters, so
// that nothing else in a folder can be taken for one.
inline constexpr const char* kTempPrefix = ".zolmet-tmp-";
// Makes such a file in FOLDER (opened for writing); its descriptor, or -1
// with errno set. Those of dead processes there are cleared first.
int MakeTemp(const std::string& folder, std::string& path);
// Gives the whole file TMP the name PATH: over what PATH names when
// REPLACE (a link is replaced, never followed), else only when nothing has
// that name (EEXIST). Then flushes the folder unless told not to. 0 or the
// errno of the failure; TMP is gone in every case.
int PlaceFile(const std::string& tmp, const std::string& path, bool replace, bool flush = true);
// A private file in FOLDER (MakeTemp) holding DATA with MODE, synced (unless
// told not to) and closed; its name in TMP. 0, or the errno of the first
// failure (nothing is left then).
int WriteTemp(const std::string& folder, const std::string& data, mode_t mode, std::string& tmp,
              bool flush = true);

// The names in the host folder FOLDER (without "." and ".."), as the
// system lists them; false with errno set when it cannot be read.
bool ListNames(const std::string& folder, std::vector<std::string>& names);

// Writes all SIZE bytes of DATA to FD, again after a short or interrupted
// write; 0, or the errno of the failure (EIO for a write that takes none).
int WriteAll(int fd, const char* data, size_t size);

// Holds a lock on the host file PATH (created when missing, with its
// folders) for its lifetime: exclusive for changes, shared for reading. A
// shared lock never creates the file: a reader may only be allowed to read.
// The wait for a lock that another process holds is bounded (LockWaitMs);
// when it runs out the lock is not held, errno is EWOULDBLOCK and error()
// (and LastLockFailure on this thread) names the file.
class FileLock {
 public:
  explicit FileLock(const std::string& path, bool exclusive = true);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool ok() const { return fd_ >= 0; }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  std::string error_;
};

// The longest wait for a file lock: 30 s, or the milliseconds in
// ZOLMET_LOCK_WAIT_MS.
unsigned LockWaitMs();
// Takes the lock of the open file FD within LockWaitMs; false with errno
// set when it cannot.
bool LockWithin(int fd, bool exclusive);
// The cause of this thread's last lock that ran out of time.
std::string LastLockFailure();

// Temporary files that name the process owning them: PREFIX, the process
// id, "-" and six characters. OwnedTemplate gives the template for
// mkstemp; ClearOrphans removes, once per process for each folder and
// prefix, such files in FOLDER whose process no longer lives (the id
// follows PREFIX at once: nothing else of the name is taken for it).
std::string OwnedTemplate(const std::string& prefix);
void ClearOrphans(const std::string& folder, const std::string& prefix);

// The folder for temporary files: $TMPDIR, else /tmp.
std::string TempDir();

}  // namespace sysroot
