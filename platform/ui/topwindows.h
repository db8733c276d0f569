// Shown top-level windows of all processes, kept in the system root so that
// one process can look for another's window (FindWindow). A window belongs
// to its process: when the process ends, its windows are gone.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace ui {

using TopWindowHandle = std::uint64_t;  // 0: none

struct TopWindowInfo {
  TopWindowHandle handle = 0;
  int pid = 0;
  std::string className;  // Big5
  std::string caption;    // Big5
};

// Registers a shown top-level window of this process.
TopWindowHandle ShowTopWindow(const std::string& className, const std::string& caption);
// The same for a window of process PID (tests fill the registry with it);
// 0 when that process is not running.
TopWindowHandle ShowTopWindowOf(int pid, const std::string& className, const std::string& caption);
void HideTopWindow(TopWindowHandle window);
void SetTopWindowCaption(TopWindowHandle window, const std::string& caption);

// The shown windows of running processes, oldest first.
std::vector<TopWindowInfo> TopWindows();
// The first window whose class (case ignored) and caption (exact) match;
// an empty class or caption matches any. 0 when there is none.
TopWindowHandle FindWindow(const std::string& className, const std::string& windowName = "");

}  // namespace ui
