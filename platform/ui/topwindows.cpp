#include "topwindows.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/sysroot.h"

namespace fs = std::filesystem;

namespace ui {
namespace {

// One file per window: "<handle>.win" holding the owner's pid, its start
// time (so that a reused pid does not keep a window alive), the class and
// the caption.
fs::path Folder() { return fs::path(sysroot::Root()) / "Platform" / "TopWindows"; }

std::atomic<std::uint32_t> g_serial{0};

// The start time of process PID in clock ticks since boot, or "" when it is
// not running (a zombie counts as ended).
std::string StartTime(int pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  if (!std::getline(f, stat)) return "";
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return "";
  std::istringstream rest(stat.substr(close + 1));
  std::string field;
  // Fields after the name: state is 3, start time is 22.
  for (int i = 3; i <= 22; ++i) {
    if (!(rest >> field)) return "";
    if (i == 3 && (field == "Z" || field == "X")) return "";
  }
  return field;
}

bool Write(const fs::path& file, const TopWindowInfo& w, const std::string& start) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  // A window lives as long as its process: nothing to keep through a crash.
  return sysroot::ReplaceFileUnflushed(file.string(),
                                       std::to_string(w.pid) + "\n" + start + "\n" + w.className + "\n" + w.caption);
}

bool Read(const fs::path& file, TopWindowInfo& w, std::string& start) {
  std::ifstream f(file, std::ios::binary);
  std::string pid;
  if (!std::getline(f, pid) || !std::getline(f, start) || !std::getline(f, w.className)) return false;
  std::ostringstream rest;
  rest << f.rdbuf();
  w.caption = rest.str();
  try {
    w.pid = std::stoi(pid);
    w.handle = std::stoull(file.stem().string());
  } catch (...) {
    return false;
  }
  return true;
}

fs::path FileOf(TopWindowHandle window) { return Folder() / (std::to_string(window) + ".win"); }

}  // namespace

TopWindowHandle ShowTopWindowOf(int pid, const std::string& className, const std::string& caption) {
  std::string start = StartTime(pid);
  if (start.empty()) return 0;
  TopWindowInfo w;
  w.pid = pid;
  w.className = className;
  w.caption = caption;
  // Unique across processes: the pid in the high bits, a serial below.
  w.handle = (static_cast<TopWindowHandle>(pid) << 24) | ((++g_serial) & 0xFFFFFF);
  return Write(FileOf(w.handle), w, start) ? w.handle : 0;
}

TopWindowHandle ShowTopWindow(const std::string& className, const std::string& caption) {
  return ShowTopWindowOf(static_cast<int>(getpid()), className, caption);
}

void HideTopWindow(TopWindowHandle window) {
  if (!window) return;
  std::error_code ec;
  fs::remove(FileOf(window), ec);
}

void SetTopWindowCaption(TopWindowHandle window, const std::string& caption) {
  TopWindowInfo w;
  std::string start;
  fs::path file = FileOf(window);
  if (!window || !Read(file, w, start)) return;
  w.caption = caption;
  Write(file, w, start);
}

std::vector<TopWindowInfo> TopWindows() {
  std::vector<std::pair<fs::file_time_type, TopWindowInfo>> found;
  std::error_code ec;
  for (fs::directory_iterator it(Folder(), ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().extension() != ".win") continue;
    TopWindowInfo w;
    std::string start;
    if (!Read(it->path(), w, start)) continue;
    if (StartTime(w.pid) != start) {
      std::error_code ignore;
      fs::remove(it->path(), ignore);  // its process has ended
      continue;
    }
    std::error_code timeEc;
    found.emplace_back(fs::last_write_time(it->path(), timeEc), std::move(w));
  }
  std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.handle < b.second.handle;
  });
  std::vector<TopWindowInfo> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

TopWindowHandle FindWindow(const std::string& className, const std::string& windowName) {
  for (const auto& w : TopWindows())
    if ((className.empty() || cp::SameText(w.className, className)) &&
        (windowName.empty() || w.caption == windowName))
      return w.handle;
  return 0;
}

}  // namespace ui
