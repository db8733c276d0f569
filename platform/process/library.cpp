#include "library.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>

#include "platform/process/process.h"
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

namespace {

struct SearchByAddress {
  std::uintptr_t address;
  bool found = false;
  std::string name;
};

int ByAddress(struct dl_phdr_info* info, size_t, void* data) {
  auto* s = static_cast<SearchByAddress*>(data);
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const auto& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    std::uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    if (s->address >= start && s->address < start + ph.p_memsz) {
      s->found = true;
      s->name = info->dlpi_name ? info->dlpi_name : "";
      return 1;
    }
  }
  return 0;
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct SearchByName {
  std::string wanted;
  std::string found;
};

int ByName(struct dl_phdr_info* info, size_t, void* data) {
  auto* s = static_cast<SearchByName*>(data);
  std::string name = info->dlpi_name ? info->dlpi_name : "";
  if (name.empty()) return 0;
  if (name == s->wanted || strcasecmp(BaseName(name).c_str(), BaseName(s->wanted).c_str()) == 0) {
    s->found = name;
    return 1;
  }
  return 0;
}

}  // namespace

bool FindLoadedFile(const void* address, std::string& hostPath) {
  SearchByAddress s{reinterpret_cast<std::uintptr_t>(address), false, ""};
  dl_iterate_phdr(ByAddress, &s);
  hostPath = s.name;
  return s.found;
}

bool FindLoadedLibrary(const std::string& name, std::string& hostPath) {
  SearchByName s{name, ""};
  if (!name.empty()) dl_iterate_phdr(ByName, &s);
  hostPath = s.found;
  return !s.found.empty();
}

std::string ModuleFileNameOf(const void* address) {
  std::string host;
  if (!FindLoadedFile(address, host)) return "";
  if (host.empty()) return GetModuleFileName();
  char buf[PATH_MAX];
  return sysroot::WinPath(realpath(host.c_str(), buf) ? buf : host.c_str());
}

}  // namespace win
