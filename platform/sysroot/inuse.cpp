#include "inuse.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace sysroot {
namespace {

bool IsElf(const std::string& hostPath) {
  int fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char magic[4] = {};
  bool elf = read(fd, magic, 4) == 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0;
  close(fd);
  return elf;
}

// Whether /proc/PID/maps maps the file (device and inode, or its path).
bool MapsFile(const char* pid, const struct stat& file, const std::string& realPath) {
  std::string maps = std::string("/proc/") + pid + "/maps";
  FILE* f = std::fopen(maps.c_str(), "r");
  if (!f) return false;
  bool found = false;
  char line[PATH_MAX + 256];
  while (!found && std::fgets(line, sizeof line, f)) {
    unsigned devMajor = 0, devMinor = 0;
    unsigned long long inode = 0;
    int pathAt = 0;
    if (std::sscanf(line, "%*s %*s %*s %x:%x %llu %n", &devMajor, &devMinor, &inode, &pathAt) < 3)
      continue;
    if (inode == 0) continue;
    if (inode == file.st_ino && devMajor == major(file.st_dev) && devMinor == minor(file.st_dev)) {
      found = true;
      break;
    }
    // Overlay file systems show the underlying device; the path still tells.
    std::string path = line + pathAt;
    while (!path.empty() && (path.back() == '\n' || path.back() == ' ')) path.pop_back();
    if (inode == file.st_ino && path == realPath) found = true;
  }
  std::fclose(f);
  return found;
}

}  // namespace

bool FileInUseByProcess(const std::string& hostPath) {
  struct stat file;
  if (stat(hostPath.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) return false;
  bool elf = IsElf(hostPath);
  if (!elf) return false;  // only programs and libraries are run or loaded
  char* resolved = realpath(hostPath.c_str(), nullptr);
  std::string realPath = resolved ? resolved : hostPath;
  std::free(resolved);

  DIR* proc = opendir("/proc");
  if (!proc) return false;
  bool inUse = false;
  while (struct dirent* e = readdir(proc)) {
    const char* pid = e->d_name;
    if (*pid < '0' || *pid > '9') continue;
    struct stat exe;
    std::string exePath = std::string("/proc/") + pid + "/exe";
    if (stat(exePath.c_str(), &exe) == 0 && exe.st_ino == file.st_ino && exe.st_dev == file.st_dev) {
      inUse = true;
      break;
    }
    if (MapsFile(pid, file, realPath)) {
      inUse = true;
      break;
    }
  }
  closedir(proc);
  return inUse;
}

}  // namespace sysroot
