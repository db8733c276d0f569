// Serial ports: a port name such as "COM1" opened as a file reaches the host
// device that the system root's port map names for it (<root>/ports.ini,
// lines "COM1=/dev/ttyS0"; a port without an entry is /dev/ttyS<n-1>).
// The system's "mode" command is stood in for by SetLineParameters.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

namespace serial {

// "COM1", "com1", "COM1:" and "\\.\COM1" all give "COM1"; nullopt for a
// name that is not a port.
std::optional<std::string> PortName(const std::string& fileName);

std::string PortMapFile();  // host path of the map
// The host device of PORT ("" when PORT is not a port name).
std::string DevicePath(const std::string& port);
// Sets or adds one entry of the map.
bool SetPortMapEntry(const std::string& port, const std::string& device);
// Writes the default map (COM1 -> /dev/ttyS0) under HOSTROOT unless one exists.
bool WriteDefaultPortMap(const std::string& hostRoot);

struct LineParameters {
  int baud = 9600;
  int dataBits = 8;
  int stopBits = 1;   // 1 or 2
  char parity = 'n';  // n, e, o
};

// Parses the "mode" command's parameters, "COM1: baud=9600 data=8 stop=1
// parity=n"; false when the first word is not a port or a value is unknown.
bool ParseModeParameters(const std::string& params, std::string& port, LineParameters& line);
// Applies the parameters to the port's device with termios.
bool SetLineParameters(const std::string& port, const LineParameters& line);

// Runs the "mode" command as ShellExecute would: the result is > 32 when the
// command could be started ("mode.com" in the system folder), else the
// error number (2 when it is missing). The parameters are then applied on
// their own; a port that cannot be set is not reported, as the command's
// own failure would not be.
unsigned ShellExecuteMode(const std::string& params);

// Opens a port for writing, never blocking; -1 with the last error set.
int OpenPort(const std::string& fileName);
// Writes what the device takes now: the count, 0 when it takes nothing,
// -1 with the last error set on a failure.
long WritePort(int fd, const void* data, std::size_t count);
// Drops output the device has not sent yet, so that closing does not wait
// for it (after a time limit has run out).
void AbandonOutput(int fd);
void ClosePort(int fd);

}  // namespace serial
