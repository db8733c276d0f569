// Libraries loaded at run time, by Windows path (LoadLibrary and friends).
#pragma once
#include <string>

namespace win {

using HMODULE = void*;

constexpr unsigned ERROR_MOD_NOT_FOUND = 126;
constexpr unsigned ERROR_PROC_NOT_FOUND = 127;
constexpr unsigned ERROR_BAD_EXE_FORMAT = 193;

// Loads the shared library at a Windows path under the system root ("Z:\..."
// names a host path outside it). Null with the last error set on failure.
HMODULE LoadLibrary(const std::string& winPath);
void* GetProcAddress(HMODULE module, const char* name);
bool FreeLibrary(HMODULE module);
// The loader's own text for the last failure of this thread ("" if none).
std::string LibraryErrorText();

// The Windows path of the loaded file that holds ADDRESS (a library's own
// module name when given one of its functions).
std::string ModuleFileNameOf(const void* address);

// Host path for a Windows path, "Z:\" standing for the host's "/".
std::string LibraryHostPath(const std::string& winPath);

}  // namespace win
