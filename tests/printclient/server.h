// The print-data server as a child process on 127.0.0.1, serving a folder.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

namespace printdata_test {

class ServerProcess {
 public:
  // Starts build/bin/printdata-server on FOLDER (lifetime 300 s, seed 1)
  // with EXTRA arguments and waits for its port.
  explicit ServerProcess(const std::string& folder, const std::string& path = "/",
                         const std::vector<std::string>& extra = {});
  ~ServerProcess();  // SIGTERM, then waits for it
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  std::string host() const { return "127.0.0.1:" + std::to_string(port_); }
  // Sends SIGTERM and returns the exit status (waitpid form), or -1 when it
  // did not stop within LIMITMS.
  int Stop(int limitMs = 5000);
  // Waits for it to end by itself and returns the exit status.
  int WaitForEnd();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A port on 127.0.0.1 that nothing listens on.
int UnusedPort();

}  // namespace printdata_test
