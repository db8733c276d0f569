#include "library.h"

#include <climits>
#include <cstdlib>
#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace win {
namespace {
thread_local std::string t_loadError;
}

std::string LibraryHostPath(const std::string& winPath) {
  std::string host = sysroot::HostPath(winPath);
  if (!host.empty() && host.find('/') == std::string::npos) host = "./" + host;
  return host;
}

HLIBRARY LoadLibrary(const std::string& winPath) {
  t_loadError.clear();
  std::string host = LibraryHostPath(winPath);
  struct stat st;
  if (winPath.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    t_loadError = "file not found: " + host;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  void* h = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!h) {
    const char* e = dlerror();
    t_loadError = e ? e : "dlopen failed";
    SetLastError(ERROR_BAD_EXE_FORMAT);
  }
  return h;
}

void* GetProcAddress(HLIBRARY module, const char* name) {
  if (!module || !name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  dlerror();
  void* p = dlsym(module, name);
  if (!p) SetLastError(ERROR_PROC_NOT_FOUND);
  return p;
}

bool FreeLibrary(HLIBRARY module) { return module && dlclose(module) == 0; }

std::string LibraryErrorText() { return t_loadError; }

std::string ModuleFileNameOf(const void* address) {
  Dl_info info{};
  if (!dladdr(address, &info) || !info.dli_fname) return "";
  char buf[PATH_MAX];
  const char* full = realpath(info.dli_fname, buf) ? buf : info.dli_fname;
  return sysroot::WinPath(full);
}

}  // namespace win
