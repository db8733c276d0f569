#include "tests/support/pty.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <unistd.h>

#include "platform/serial/serial.h"

namespace testing_support {

Pty::Pty() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
  slave_ = ptsname(master_);
  slaveFd_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveFd_ < 0) throw std::runtime_error("cannot open " + slave_);
  serial::SetPortMapEntry("COM1", slave_);
}

Pty::~Pty() {
  if (slaveFd_ >= 0) close(slaveFd_);
  if (master_ >= 0) close(master_);
}

std::string Pty::Read(int quietMs) {
  std::string out;
  while (true) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) break;
    char buf[65536];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  return out;
}

}  // namespace testing_support
