// Files, folders and the thread's last error, in the Windows shape the
// system's code expects. Paths are Windows paths under the system root.
#pragma once
#include <cstdint>
#include <string>

namespace win {

using DWORD = std::uint32_t;
using WORD = std::uint16_t;
using BYTE = std::uint8_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using ULONG = std::uint32_t;

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_LOCK_VIOLATION = 33;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_BUFFER_OVERFLOW = 111;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr DWORD WAIT_TIMEOUT_ERROR = 258;

DWORD GetLastError();
void SetLastError(DWORD code);
// Sets the last error from errno and returns it.
DWORD SetLastErrorFromErrno(int err);
// The system's text for an error code (Big5, no trailing line break);
// later layers add their own ranges with RegisterErrorMessages.
std::string SysErrorMessage(DWORD code);
using ErrorMessageLookup = const char* (*)(DWORD code);
void RegisterErrorMessages(ErrorMessageLookup lookup);

bool FileExists(const std::string& winPath);       // a file, not a folder
bool DirectoryExists(const std::string& winPath);
bool CreateDirectory(const std::string& winPath);  // parent must exist
// Refused with ERROR_ACCESS_DENIED while a process runs or has loaded the file.
bool DeleteFile(const std::string& winPath);

}  // namespace win
