#include "sysroot.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <strings.h>
#include <sys/stat.h>

#include "codepage.h"
#include "fileio.h"

namespace fs = std::filesystem;

namespace sysroot {
namespace {

std::mutex g_mutex;
std::string g_override;
LayOutFunction g_layOut;
thread_local const std::string* t_root = nullptr;

// Roots this process has looked at for a first-run lay-out.
std::mutex g_firstUseMutex;
std::set<std::string> g_seen;

bool IsSep(char c) { return c == '\\' || c == '/'; }

// Finds NAME in DIR, exactly or else ignoring ASCII case.
std::string MatchEntry(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return name;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (strcasecmp(entry.c_str(), name.c_str()) == 0) return entry;
  }
  return name;
}

std::string Configured(LayOutFunction& layOut) {
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    layOut = g_layOut;
    if (!g_override.empty()) return g_override;
  }
  if (const char* env = std::getenv("ZOLMET_ROOT"); env && *env) {
    std::string r = env;
    while (r.size() > 1 && r.back() == '/') r.pop_back();
    return r;
  }
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.zolmet";
}

// The first use of ROOT in this process: a missing root is laid out. Other
// threads wait here until it is in place.
void FirstUse(const std::string& root, const LayOutFunction& layOut) {
  std::lock_guard<std::mutex> lock(g_firstUseMutex);
  if (!g_seen.insert(root).second) return;
  struct stat st;
  if (lstat(root.c_str(), &st) == 0) return;
  std::string error;
  if (!LayOutMissingRoot(root, layOut, error))
    std::fprintf(stderr, "%s: cannot lay out the system root %s: %s\n", program_invocation_short_name,
                 root.c_str(), error.c_str());
}

std::string ErrnoText(int err) { return std::error_code(err, std::generic_category()).message(); }

}  // namespace

std::string Root() {
  if (t_root) return *t_root;
  LayOutFunction layOut;
  std::string root = Configured(layOut);
  if (layOut) FirstUse(root, layOut);
  return root;
}

void SetFirstRunLayOut(LayOutFunction layOut) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_layOut = std::move(layOut);
}

bool LayOutMissingRoot(const std::string& hostRoot, const LayOutFunction& layOut, std::string& error) {
  std::error_code ec;
  if (fs::exists(fs::symlink_status(hostRoot, ec))) return true;
  ec.clear();
  if (fs::path parent = fs::path(hostRoot).parent_path(); !parent.empty()) fs::create_directories(parent, ec);
  if (ec) {
    error = ec.message();
    return false;
  }
  FileLock lock(hostRoot + ".lock");
  if (!lock.ok()) {
    error = lock.error();
    return false;
  }
  // Another process may have laid it out while this one waited.
  if (fs::exists(fs::symlink_status(hostRoot, ec))) return true;
  const std::string staging = hostRoot + ".new";
  fs::remove_all(staging, ec);  // left by a lay-out that was cut short
  if (mkdir(staging.c_str(), 0777) != 0) {
    error = ErrnoText(errno);
    return false;
  }
  bool ok;
  {
    ThreadRoot scope(staging);
    ok = layOut(staging, error);
  }
  if (ok && rename(staging.c_str(), hostRoot.c_str()) != 0) {
    error = ErrnoText(errno);
    ok = false;
  }
  if (!ok) fs::remove_all(staging, ec);
  return ok;
}

ThreadRoot::ThreadRoot(const std::string& folder) : folder_(folder), previous_(t_root) { t_root = &folder_; }

ThreadRoot::~ThreadRoot() { t_root = previous_; }

void SetRoot(const std::string& hostFolder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_override = hostFolder;
  while (g_override.size() > 1 && g_override.back() == '/') g_override.pop_back();
}

std::string HostPath(const std::string& winPath) {
  std::string p = cp::Big5ToUtf8(winPath);
  fs::path out;
  size_t i = 0;
  bool absolute = false;
  if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
    char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));
    // Drive Z is the host's own file system, as WinPath gives it.
    out = drive == 'Z' ? fs::path("/") : fs::path(Root()) / std::string(1, drive);
    i = 2;
    absolute = true;
  } else if (!p.empty() && IsSep(p[0])) {
    out = fs::path(Root()) / "C";
    absolute = true;
  }
  bool trailing = !p.empty() && IsSep(p.back());
  // As on Windows, ".." stops at the drive's root: nothing leaves the root.
  const size_t floor = absolute ? out.string().size() : 0;
  std::string part;
  auto flush = [&] {
    if (part.empty() || part == ".") {
    } else if (part == "..") {
      if (out.has_filename() && out.string().size() > floor) out = out.parent_path();
    } else {
      out /= absolute || !out.empty() ? MatchEntry(out.empty() ? fs::path(".") : out, part) : part;
    }
    part.clear();
  };
  for (; i < p.size(); ++i) {
    if (IsSep(p[i])) flush();
    else part += p[i];
  }
  flush();
  std::string s = out.string();
  if (trailing && (s.empty() || s.back() != '/')) s += '/';
  return s;
}

std::string WinPath(const std::string& hostPath) {
  std::string root = Root() + "/";
  std::string rest;
  std::string drive;
  if (hostPath.compare(0, root.size(), root) == 0 && hostPath.size() > root.size() &&
      std::isalpha(static_cast<unsigned char>(hostPath[root.size()])) &&
      (hostPath.size() == root.size() + 1 || hostPath[root.size() + 1] == '/')) {
    drive = std::string(1, hostPath[root.size()]) + ":";
    rest = hostPath.substr(root.size() + 1);
  } else if (!hostPath.empty() && hostPath[0] == '/') {
    drive = "Z:";
    rest = hostPath;
  } else {
    rest = hostPath;
  }
  for (char& c : rest)
    if (c == '/') c = '\\';
  if (!drive.empty() && rest.empty()) rest = "\\";
  return cp::Utf8ToBig5(drive + rest);
}

std::string WindowsDir() { return "C:\\Windows"; }
std::string SystemDir() { return "C:\\Windows\\System32"; }

std::string JoinWin(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '\\') return dir + name;
  return dir + "\\" + name;
}

bool ReadHostFile(const std::string& hostPath, std::string& data) {
  std::ifstream f(hostPath, std::ios::binary);
  if (!f) return false;
  std::ostringstream s;
  s << f.rdbuf();
  if (f.bad()) return false;
  data = s.str();
  return true;
}

bool ReadHostFileKept(const std::string& hostPath, std::string& data) {
  struct Kept {
    struct stat st;
    std::string data;
  };
  static std::mutex mutex;
  static auto* kept = new std::map<std::string, Kept>;
  struct stat st;
  if (stat(hostPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadHostFile(hostPath, data);
  auto same = [&st](const struct stat& k) {
    return k.st_dev == st.st_dev && k.st_ino == st.st_ino && k.st_size == st.st_size &&
           k.st_mtim.tv_sec == st.st_mtim.tv_sec && k.st_mtim.tv_nsec == st.st_mtim.tv_nsec &&
           k.st_ctim.tv_sec == st.st_ctim.tv_sec && k.st_ctim.tv_nsec == st.st_ctim.tv_nsec;
  };
  {
    std::lock_guard<std::mutex> lock(mutex);
    auto it = kept->find(hostPath);
    if (it != kept->end() && same(it->second.st)) {
      data = it->second.data;
      return true;
    }
  }
  // Kept under the state seen before the read: a change while reading makes
  // the next call read again.
  if (!ReadHostFile(hostPath, data)) return false;
  std::lock_guard<std::mutex> lock(mutex);
  (*kept)[hostPath] = Kept{st, data};
  return true;
}

}  // namespace sysroot
