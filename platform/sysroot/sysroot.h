// The system root: every Windows path of the system maps to a folder under it.
#pragma once
#include <string>

namespace sysroot {

// Host folder of the root: $ZOLMET_ROOT, else $HOME/.zolmet; no trailing slash.
std::string Root();
// Overrides the root for this process (tests); empty restores the default.
void SetRoot(const std::string& hostFolder);

// "C:\Zolmet\Logs\" -> <root>/C/Zolmet/Logs/ (Big5 in, UTF-8 out). A path
// without a drive but with a leading "\" is on drive C; a relative path stays
// relative. Each component that does not exist as written is matched against
// the folder's entries without regard to case, as Windows names are.
std::string HostPath(const std::string& winPath);
// The reverse: a host path under the root becomes "X:\..."; any other
// absolute host path becomes "Z:\..." with its slashes turned round, and
// HostPath turns drive Z back into the host path.
std::string WinPath(const std::string& hostPath);

std::string WindowsDir();  // "C:\Windows"
std::string SystemDir();   // "C:\Windows\System32"

// Joins a Windows folder and a name with exactly one "\" between them.
std::string JoinWin(const std::string& dir, const std::string& name);

// Reads the whole file at HOSTPATH into DATA; false when it cannot be read.
bool ReadHostFile(const std::string& hostPath, std::string& data);

}  // namespace sysroot
