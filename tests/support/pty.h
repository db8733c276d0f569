// A pseudo-terminal whose slave stands for COM1 in the port map.
#pragma once
#include <string>

namespace testing_support {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  const std::string& SlavePath() const { return slave_; }
  // What has arrived, waiting until nothing more comes for QUIETMS.
  std::string Read(int quietMs = 200);
  int Master() const { return master_; }
  int SlaveFd() const { return slaveFd_; }

 private:
  int master_ = -1;
  int slaveFd_ = -1;  // kept open so the line stays up between writers
  std::string slave_;
};

}  // namespace testing_support
