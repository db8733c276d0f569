#include <filesystem>

#include <gtest/gtest.h>

#include "platform/sysroot/codepage.h"
#include "platform/sysroot/files.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::TempRoot;

TEST(SysRoot, MapsWindowsPathsUnderTheRoot) {
  TempRoot root;
  EXPECT_EQ(sysroot::HostPath("C:\\Zolmet\\Logs\\"), root.path() + "/C/Zolmet/Logs/");
  EXPECT_EQ(sysroot::HostPath("c:\\Windows\\win.ini"), root.path() + "/C/Windows/win.ini");
  EXPECT_EQ(sysroot::HostPath("\\Windows"), root.path() + "/C/Windows");
  EXPECT_EQ(sysroot::HostPath("D:/a/../b/./c"), root.path() + "/D/b/c");
  // ".." stops at the drive's root, so no path leaves the system root.
  EXPECT_EQ(sysroot::HostPath("C:\\..\\..\\etc\\passwd"), root.path() + "/C/etc/passwd");
  EXPECT_EQ(sysroot::HostPath("\\Windows\\..\\..\\x"), root.path() + "/C/x");
  EXPECT_EQ(sysroot::HostPath("rel\\dir"), "rel/dir");
  // An existing entry is found whatever the case of the name.
  EXPECT_EQ(sysroot::HostPath("C:\\WINDOWS\\SYSTEM32\\x.dll"),
            root.path() + "/C/Windows/System32/x.dll");
}

TEST(SysRoot, MapsHostPathsBack) {
  TempRoot root;
  EXPECT_EQ(sysroot::WinPath(root.path() + "/C/Program Files/Zolmet/ZolmetPrint.exe"),
            "C:\\Program Files\\Zolmet\\ZolmetPrint.exe");
  EXPECT_EQ(sysroot::WinPath(root.path() + "/C"), "C:\\");
  EXPECT_EQ(sysroot::WinPath("/usr/bin/env"), "Z:\\usr\\bin\\env");
  // Big5 names travel as UTF-8 on disk.
  std::string big5 = "C:\\記錄";
  EXPECT_EQ(sysroot::HostPath(big5), root.path() + "/C/\xE8\xA8\x98\xE9\x8C\x84");  // UTF-8
  EXPECT_EQ(sysroot::WinPath(sysroot::HostPath(big5)), big5);
}

TEST(SysRoot, JoinsWithOneSeparator) {
  EXPECT_EQ(sysroot::JoinWin("C:\\a", "b"), "C:\\a\\b");
  EXPECT_EQ(sysroot::JoinWin("C:\\a\\", "b"), "C:\\a\\b");
  EXPECT_EQ(sysroot::JoinWin("", "b"), "b");
}

TEST(CodePage, RoundTripsBig5AndReplacesWhatItCannotMap) {
  const std::string big5 = "單據列印處理中";  // compiled as CP950
  ASSERT_EQ(big5.size(), 14u);
  EXPECT_EQ(static_cast<unsigned char>(big5[0]), 0xB3);
  EXPECT_EQ(cp::Big5ToUtf8(big5), "\xe5\x96\xae\xe6\x93\x9a\xe5\x88\x97\xe5\x8d\xb0\xe8\x99\x95\xe7\x90\x86\xe4\xb8\xad");
  EXPECT_EQ(cp::Utf8ToBig5(cp::Big5ToUtf8(big5)), big5);
  EXPECT_EQ(cp::Utf16ToBig5(cp::Big5ToUtf16(big5)), big5);
  // A character with no Big5 form, a lone lead byte, broken UTF-8.
  EXPECT_EQ(cp::Utf8ToBig5("a\xF0\x9F\x98\x80" "b"), "a?b");
  EXPECT_EQ(cp::Big5ToUtf8("ab\xB3"), "ab?");
  EXPECT_EQ(cp::Utf8ToBig5("x\xC3("), "x?(");
  EXPECT_EQ(cp::Utf16ToBig5(u"a\xD83D"), "a?");
  EXPECT_EQ(cp::Big5ToUtf8(""), "");
}

TEST(CodePage, NamesCompareWithoutAsciiCaseButBig5Exactly) {
  // "\xA4\x61" is one Big5 character whose second byte is an 'a'.
  EXPECT_EQ(cp::UpperAscii("ab\xA4\x61z"), "AB\xA4\x61Z");
  EXPECT_EQ(cp::LowerAscii("C:\\WINDOWS\xA4\x41"), "c:\\windows\xA4\x41");
  EXPECT_TRUE(cp::SameText("Zolmet\xA4\x61", "ZOLMET\xA4\x61"));
  EXPECT_FALSE(cp::SameText("\xA4\x61", "\xA4\x41"));
  EXPECT_FALSE(cp::SameText("ab", "abc"));
}

TEST(Files, ReportTheLastError) {
  TempRoot root;
  EXPECT_TRUE(win::DirectoryExists("C:\\Windows"));
  EXPECT_FALSE(win::FileExists("C:\\Windows"));
  EXPECT_FALSE(win::CreateDirectory("C:\\no\\such"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(win::CreateDirectory("C:\\new"));
  EXPECT_FALSE(win::CreateDirectory("C:\\new"));
  EXPECT_EQ(win::GetLastError(), win::ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(win::DeleteFile("C:\\missing.txt"));
  EXPECT_EQ(win::SysErrorMessage(win::ERROR_FILE_NOT_FOUND),
            "The system cannot find the file specified.");
  EXPECT_EQ(win::SysErrorMessage(99999), "Unknown error 99999.");
  // Codes several areas set are known here, whichever area is linked.
  EXPECT_EQ(win::SysErrorMessage(win::ERROR_INSUFFICIENT_BUFFER),
            "The data area passed to a system call is too small.");
}
