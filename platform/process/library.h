// Libraries loaded at run time, by Windows path (LoadLibrary and friends),
// and the loaded files of the process: the one place that asks the loader.
#pragma once
#include <string>

#include "platform/sysroot/files.h"

namespace win {

// A library loaded for its code (resources.h's HMODULE reads files as data).
using HLIBRARY = void*;

// Loads the shared library at a Windows path ("Z:\..." names a host path
// outside the system root). Null with the last error set on failure.
HLIBRARY LoadLibrary(const std::string& winPath);
void* GetProcAddress(HLIBRARY module, const char* name);
bool FreeLibrary(HLIBRARY module);
// The loader's own text for the last failure of this thread ("" if none).
std::string LibraryErrorText();

// The Windows path of the loaded file that holds ADDRESS (a library's own
// module name when given one of its functions); "" when none does.
std::string ModuleFileNameOf(const void* address);

// The loaded file that holds ADDRESS: true with its host path as the
// loader names it, "" for the running program.
bool FindLoadedFile(const void* address, std::string& hostPath);
// A loaded shared library named by its file name (case ignored) or by the
// path it was loaded with: true with that path.
bool FindLoadedLibrary(const std::string& name, std::string& hostPath);

// Host path of a library's Windows path; a bare name is in the working folder.
std::string LibraryHostPath(const std::string& winPath);

}  // namespace win
