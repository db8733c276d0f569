#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "platform/serial/serial.h"
#include "platform/sysroot/files.h"
#include "tests/support/pty.h"
#include "tests/support/testroot.h"

TEST(SerialPorts, PortNamesInTheirWindowsSpellings) {
  EXPECT_EQ(serial::PortName("COM1"), "COM1");
  EXPECT_EQ(serial::PortName("com1:"), "COM1");
  EXPECT_EQ(serial::PortName("\\\\.\\COM12"), "COM12");
  for (const char* bad : {"", "COM", "COM0", "COMX", "LPT1", "C:\\COM1", "COM1234"})
    EXPECT_FALSE(serial::PortName(bad).has_value()) << bad;
}

TEST(SerialPorts, TheMapNamesTheDevice) {
  testing_support::TempRoot root;
  EXPECT_EQ(serial::DevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(serial::DevicePath("COM3"), "/dev/ttyS2");
  EXPECT_EQ(serial::DevicePath("PRN"), "");
  ASSERT_TRUE(serial::SetPortMapEntry("com1", "/dev/pts/77"));
  ASSERT_TRUE(serial::SetPortMapEntry("COM2", "/dev/null"));
  EXPECT_EQ(serial::DevicePath("COM1:"), "/dev/pts/77");
  EXPECT_EQ(serial::DevicePath("COM2"), "/dev/null");
  EXPECT_TRUE(serial::WriteDefaultPortMap(root.path()));  // keeps the map there is
  EXPECT_EQ(serial::DevicePath("COM1"), "/dev/pts/77");
  // A map written by hand under a section heading still names its devices;
  // the first entry of a port wins, and a change goes to the top.
  testing_support::WriteFile(serial::PortMapFile(), "; receipt printer\n[Ports]\nCOM3 = /dev/ttyUSB0\n");
  EXPECT_EQ(serial::DevicePath("COM3"), "/dev/ttyUSB0");
  ASSERT_TRUE(serial::SetPortMapEntry("COM3", "/dev/ttyUSB1"));
  EXPECT_EQ(serial::DevicePath("COM3"), "/dev/ttyUSB1");
}

TEST(SerialPorts, ModeParameters) {
  std::string port;
  serial::LineParameters line;
  ASSERT_TRUE(serial::ParseModeParameters("COM1: baud=9600 data=8 stop=1 parity=n", port, line));
  EXPECT_EQ(port, "COM1");
  EXPECT_EQ(line.baud, 9600);
  EXPECT_EQ(line.dataBits, 8);
  EXPECT_EQ(line.stopBits, 1);
  EXPECT_EQ(line.parity, 'n');
  for (const char* bad : {"", "LPT1: baud=9600", "COM1: baud=1234", "COM1: data=9", "COM1: parity=x",
                          "COM1: speed=9600", "COM1: baud=fast"})
    EXPECT_FALSE(serial::ParseModeParameters(bad, port, line)) << bad;
}

TEST(SerialPorts, ModeSetsTheLineOnTheMappedDevice) {
  testing_support::TempRoot root;
  testing_support::Pty pty;
  EXPECT_EQ(serial::ShellExecuteMode("COM1: baud=9600 data=8 stop=1 parity=n"), 2u);  // no mode.com
  testing_support::WriteFile(root.Host("C:\\Windows\\System32\\mode.com"), "mode");
  termios before{};
  tcgetattr(pty.SlaveFd(), &before);
  EXPECT_GT(serial::ShellExecuteMode("COM1: baud=9600 data=8 stop=1 parity=n"), 32u);
  termios t{};
  ASSERT_EQ(tcgetattr(pty.SlaveFd(), &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (CSTOPB | PARENB), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);  // raw: bytes go out as given
}

TEST(SerialPorts, OpenAndWriteNeverBlock) {
  testing_support::TempRoot root;
  serial::SetPortMapEntry("COM2", root.path() + "/missing/tty");
  EXPECT_EQ(serial::OpenPort("COM2"), -1);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(serial::OpenPort("NUL"), -1);

  testing_support::Pty pty;
  int fd = serial::OpenPort("COM1");
  ASSERT_GE(fd, 0);
  std::string chunk(1 << 16, 'x');
  long total = 0, n;
  // Nobody reads: the device fills up and then takes nothing, without blocking.
  for (int i = 0; i < 200 && (n = serial::WritePort(fd, chunk.data(), chunk.size())) > 0; ++i) total += n;
  EXPECT_GT(total, 0);
  // The kernel may still move a little of it on meanwhile; the device stays full.
  for (int i = 0; i < 1000 && n != 0; ++i) n = serial::WritePort(fd, chunk.data(), chunk.size());
  EXPECT_EQ(n, 0);
  serial::AbandonOutput(fd);
  serial::ClosePort(fd);
}
