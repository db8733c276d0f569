// The system root: every Windows path of the system maps to a folder under it.
#pragma once
#include <functional>
#include <string>

namespace sysroot {

// Host folder of the root: $ZOLMET_ROOT, else $HOME/.zolmet; no trailing slash.
// Where a first-run lay-out is set and the root does not exist, the first
// call lays it out (LayOutMissingRoot) or says on standard error, in one
// line, why it cannot.
std::string Root();
// Overrides the root for this process (tests); empty restores the default.
void SetRoot(const std::string& hostFolder);

// Lays out a fresh root in the host folder given; false with ERROR set when
// it cannot.
using LayOutFunction = std::function<bool(const std::string& hostRoot, std::string& error)>;
// Programs name the lay-out a missing root gets on first use (none by
// default: a missing root then stays missing).
void SetFirstRunLayOut(LayOutFunction layOut);
// Lays out HOSTROOT with LAYOUT when it does not exist; a root that exists
// is left alone. Under the lock of its "<root>.lock" neighbour, so that
// processes starting at once lay it out once, the root is built as
// "<root>.new" and renamed into place: it appears whole or not at all.
// False with ERROR set when it cannot be made.
bool LayOutMissingRoot(const std::string& hostRoot, const LayOutFunction& layOut, std::string& error);

// While it lives, Root() answers FOLDER on this thread only (a root being
// laid out before it is in place).
class ThreadRoot {
 public:
  explicit ThreadRoot(const std::string& folder);
  ~ThreadRoot();
  ThreadRoot(const ThreadRoot&) = delete;
  ThreadRoot& operator=(const ThreadRoot&) = delete;

 private:
  std::string folder_;
  const std::string* previous_;
};

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
// The same for a small file read again and again: read afresh only when the
// file's identity, size or times differ from those of its last read in the
// process (a file replaced whole is a new file).
bool ReadHostFileKept(const std::string& hostPath, std::string& data);

}  // namespace sysroot
