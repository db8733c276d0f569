#include "serial.h"

#include <cerrno>
#include <fcntl.h>
#include <sstream>
#include <termios.h>
#include <unistd.h>

#include "platform/registry/ini.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"

namespace serial {
namespace {

speed_t Speed(int baud) {
  switch (baud) {
    case 110: return B110;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B0;
  }
}

}  // namespace

std::optional<std::string> PortName(const std::string& fileName) {
  std::string n = cp::UpperAscii(fileName);
  if (n.rfind("\\\\.\\", 0) == 0) n = n.substr(4);
  if (!n.empty() && n.back() == ':') n.pop_back();
  if (n.size() < 4 || n.size() > 6 || n.compare(0, 3, "COM") != 0) return std::nullopt;
  for (size_t i = 3; i < n.size(); ++i)
    if (n[i] < '0' || n[i] > '9') return std::nullopt;
  if (n[3] == '0') return std::nullopt;
  return n;
}

std::string PortMapFile() { return sysroot::Root() + "/ports.ini"; }

std::string DevicePath(const std::string& port) {
  auto name = PortName(port);
  if (!name) return "";
  // The map has no sections; one written under a heading is read all the same.
  ini::File map;
  if (ini::Load(PortMapFile(), map))
    for (const auto& line : map.Lines())
      if (line.kind == ini::File::Kind::Entry && cp::SameText(line.name, *name)) return line.value;
  return "/dev/ttyS" + std::to_string(std::stoi(name->substr(3)) - 1);
}

bool SetPortMapEntry(const std::string& port, const std::string& device) {
  auto name = PortName(port);
  if (!name) return false;
  return ini::Modify(PortMapFile(), [&](ini::File& map) { map.Set("", *name, device); });
}

bool WriteDefaultPortMap(const std::string& hostRoot) {
  std::string file = hostRoot + "/ports.ini";
  if (access(file.c_str(), F_OK) == 0) return true;
  ini::File map;
  map.Set("", "COM1", "/dev/ttyS0");
  return sysroot::ReplaceFile(file, map.Serialize());
}

bool ParseModeParameters(const std::string& params, std::string& port, LineParameters& line) {
  std::istringstream in(params);
  std::string word;
  if (!(in >> word)) return false;
  auto name = PortName(word);
  if (!name) return false;
  port = *name;
  while (in >> word) {
    size_t eq = word.find('=');
    if (eq == std::string::npos) return false;
    std::string key = cp::LowerAscii(word.substr(0, eq)), value = cp::LowerAscii(word.substr(eq + 1));
    try {
      if (key == "baud") line.baud = std::stoi(value);
      else if (key == "data") line.dataBits = std::stoi(value);
      else if (key == "stop") line.stopBits = std::stoi(value);
      else if (key == "parity" && value.size() == 1) line.parity = value[0];
      else return false;
    } catch (...) {
      return false;
    }
  }
  return Speed(line.baud) != B0 && line.dataBits >= 5 && line.dataBits <= 8 &&
         (line.stopBits == 1 || line.stopBits == 2) &&
         (line.parity == 'n' || line.parity == 'e' || line.parity == 'o');
}

bool SetLineParameters(const std::string& port, const LineParameters& line) {
  std::string dev = DevicePath(port);
  if (dev.empty()) return false;
  int fd = open(dev.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  termios t{};
  bool ok = tcgetattr(fd, &t) == 0;
  if (ok) {
    cfmakeraw(&t);
    cfsetispeed(&t, Speed(line.baud));
    cfsetospeed(&t, Speed(line.baud));
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | CSTOPB | PARENB | PARODD);
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[line.dataBits - 5] | CLOCAL | CREAD;
    if (line.stopBits == 2) t.c_cflag |= CSTOPB;
    if (line.parity != 'n') t.c_cflag |= PARENB;
    if (line.parity == 'o') t.c_cflag |= PARODD;
    ok = tcsetattr(fd, TCSANOW, &t) == 0;
  }
  close(fd);
  return ok;
}

unsigned ShellExecuteMode(const std::string& params) {
  if (!win::FileExists(sysroot::JoinWin(sysroot::SystemDir(), "mode.com"))) return 2;
  std::string port;
  LineParameters line;
  if (ParseModeParameters(params, port, line)) SetLineParameters(port, line);
  return 42;
}

int OpenPort(const std::string& fileName) {
  std::string dev = DevicePath(fileName);
  if (dev.empty()) {
    win::SetLastError(win::ERROR_FILE_NOT_FOUND);
    return -1;
  }
  int fd = open(dev.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) win::SetLastErrorFromErrno(errno);
  return fd;
}

long WritePort(int fd, const void* data, std::size_t count) {
  while (true) {
    ssize_t n = write(fd, data, count);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    win::SetLastErrorFromErrno(errno);
    return -1;
  }
}

void AbandonOutput(int fd) {
  if (fd >= 0) tcflush(fd, TCOFLUSH);
}

void ClosePort(int fd) {
  if (fd >= 0) close(fd);
}

}  // namespace serial
