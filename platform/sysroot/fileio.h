// File handles in the shape of the runtime's file routines: FileCreate gives
// a handle of 1 or more, or -1 with the last error set.
#pragma once
#include <string>

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
