// Version blocks: a resource of type "VERSION" named "1" holding the fixed
// file information, a translation and string values, and the functions that
// read it from a file on disk.
//
// Sub-blocks answered by VerQueryValue: "\" (VS_FIXEDFILEINFO),
// "\VarFileInfo\Translation" (language and code page, two 16-bit words) and
// "\StringFileInfo\<language><code page in 8 hex digits>\<key>" (the value,
// a NUL-terminated string; the length counts the NUL).
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/sysroot/files.h"

namespace win {

constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
constexpr DWORD VFT_APP = 1;
constexpr DWORD VFT_DLL = 2;

struct VS_FIXEDFILEINFO {
  DWORD dwSignature;
  DWORD dwStrucVersion;
  DWORD dwFileVersionMS;
  DWORD dwFileVersionLS;
  DWORD dwProductVersionMS;
  DWORD dwProductVersionLS;
  DWORD dwFileFlagsMask;
  DWORD dwFileFlags;
  DWORD dwFileOS;
  DWORD dwFileType;
  DWORD dwFileSubtype;
  DWORD dwFileDateMS;
  DWORD dwFileDateLS;
};

// Size of FILENAME's version information, 0 (last error set) when the file
// is missing or has none. HANDLE is set to 0.
DWORD GetFileVersionInfoSize(const std::string& fileName, DWORD* handle);
// Copies at most LEN bytes of the version information into DATA.
bool GetFileVersionInfo(const std::string& fileName, DWORD handle, DWORD len, void* data);
// Points BUFFER into BLOCK at SUBBLOCK; LEN is its size in bytes (for
// strings, characters with the NUL). False when there is no such value.
bool VerQueryValue(const void* block, const std::string& subBlock, void** buffer, UINT* len);

}  // namespace win

namespace rsrc {

// What a program's version block says; used by the build tool and tests.
struct VersionDefinition {
  std::uint16_t file[4] = {0, 0, 0, 0};
  std::uint16_t product[4] = {0, 0, 0, 0};
  win::DWORD fileType = win::VFT_APP;
  std::uint16_t language = 0x0409;
  std::uint16_t codePage = 0x04E4;
  std::vector<std::pair<std::string, std::string>> strings;  // in order
};

// The bytes of a version resource for DEF.
std::string BuildVersionBlock(const VersionDefinition& def);
// "1.0.0.27" -> four words; false when it is not up to four numbers < 65536.
bool ParseVersionNumbers(const std::string& text, std::uint16_t out[4]);

// The fixed file information of FILENAME's version block; false when the
// file is missing or has none.
bool ReadFixedFileInfo(const std::string& fileName, win::VS_FIXEDFILEINFO& info);
// The four file version numbers joined by SEPARATOR.
std::string FileVersionText(const win::VS_FIXEDFILEINFO& info, char separator);

}  // namespace rsrc
