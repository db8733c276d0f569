// A fresh system root in a temporary folder for one test; removed after.
#pragma once
#include <string>

namespace testing_support {

class TempRoot {
 public:
  TempRoot();   // lays the root out and makes it this process's root
  ~TempRoot();  // restores the previous root and removes the folder
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::string& path() const { return path_; }
  // Host path of a Windows path under this root.
  std::string Host(const std::string& winPath) const;

 private:
  std::string path_;
};

std::string ReadFile(const std::string& hostPath);
void WriteFile(const std::string& hostPath, const std::string& data);
// Runs a shell command and returns what it printed on standard output.
std::string Shell(const std::string& command);
// The file name of a built program or library (next to the test programs).
std::string BinPath(const std::string& name);
// Whether process PID is gone or a zombie within about TRIES x 10 ms (a
// kill lands asynchronously); its /proc stat line as it last read in STAT.
bool GoneOrZombie(int pid, int tries, std::string& stat);

}  // namespace testing_support
