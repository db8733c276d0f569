#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <sys/stat.h>

#include "platform/process/clock.h"
#include "platform/registry/ini.h"
#include "platform/registry/inifiles.h"
#include "platform/registry/registry.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;
using testing_support::TempRoot;
using testing_support::WriteFile;

namespace {

// The locale settings of one case, put back after it.
class LocaleScope {
 public:
  LocaleScope() : saved_(cls::FormatSettings()) {}
  ~LocaleScope() { cls::FormatSettings() = saved_; }

 private:
  cls::TFormatSettings saved_;
};

double At(int year, int month, int day, int hour, int minute, int second) {
  win::DateTimeParts p;
  p.year = year, p.month = month, p.day = day, p.hour = hour, p.minute = minute, p.second = second;
  return win::EncodeDateTime(p);
}

// Writes every kind through FILE and reads each back, in the given locale.
void ExpectTypedRoundTrip(cls::TCustomIniFile& file) {
  const double when = At(2026, 5, 17, 13, 30, 5);
  file.WriteInteger("Typed", "Int", -123456);
  file.WriteBool("Typed", "On", true);
  file.WriteBool("Typed", "Off", false);
  file.WriteFloat("Typed", "Float", 2.5);
  file.WriteDate("Typed", "Date", when);
  file.WriteTime("Typed", "Time", when);
  file.WriteDateTime("Typed", "Stamp", when);
  EXPECT_EQ(file.ReadString("Typed", "On", ""), "1");
  EXPECT_EQ(file.ReadString("Typed", "Off", ""), "0");
  EXPECT_EQ(file.ReadInteger("Typed", "Int", 0), -123456);
  EXPECT_TRUE(file.ReadBool("Typed", "On", false));
  EXPECT_FALSE(file.ReadBool("Typed", "Off", true));
  EXPECT_DOUBLE_EQ(file.ReadFloat("Typed", "Float", 0), 2.5);
  EXPECT_DOUBLE_EQ(file.ReadDate("Typed", "Date", 0), At(2026, 5, 17, 0, 0, 0));
  EXPECT_NEAR(file.ReadTime("Typed", "Time", 0), At(1899, 12, 30, 13, 30, 5), 1e-9);
  EXPECT_NEAR(file.ReadDateTime("Typed", "Stamp", 0), when, 1e-9);
}

// Texts a reader cannot take give the default, whatever the store.
void ExpectUnreadableGivesTheDefault(cls::TCustomIniFile& file) {
  file.WriteString("Bad", "Word", "abc");
  file.WriteString("Bad", "Big", "2147483648");  // one past the 32-bit range
  file.WriteString("Bad", "Two", "2");
  EXPECT_EQ(file.ReadInteger("Bad", "Word", 7), 7);
  EXPECT_EQ(file.ReadInteger("Bad", "Big", 7), 7);
  EXPECT_EQ(file.ReadInteger("Bad", "Missing", 7), 7);
  EXPECT_TRUE(file.ReadBool("Bad", "Word", true));
  EXPECT_TRUE(file.ReadBool("Bad", "Two", false));  // any integer but 0
  EXPECT_DOUBLE_EQ(file.ReadFloat("Bad", "Word", 1.5), 1.5);
  EXPECT_DOUBLE_EQ(file.ReadDate("Bad", "Big", 3), 3);
  EXPECT_DOUBLE_EQ(file.ReadTime("Bad", "Word", 4), 4);
  EXPECT_DOUBLE_EQ(file.ReadDateTime("Nowhere", "Word", 5), 5);
  EXPECT_EQ(file.ReadString("Bad", "Missing", "dflt"), "dflt");
}

}  // namespace

TEST(IniFileFace, ABareNameLivesInTheWindowsFolderAndKeepsTextValues) {
  TempRoot root;
  EXPECT_EQ(ini::ProfileFile("Pagewright.ini"), root.Host("C:\\Windows\\Pagewright.ini"));
  EXPECT_EQ(ini::ProfileFile("sub\\x.ini"), root.Host("C:\\Windows\\sub\\x.ini"));
  EXPECT_EQ(ini::ProfileFile("D:\\Data\\x.ini"), root.Host("D:\\Data\\x.ini"));
  EXPECT_EQ(ini::ProfileFile("\\Data\\x.ini"), root.Host("C:\\Data\\x.ini"));

  cls::TIniFile file("Pagewright.ini");
  EXPECT_EQ(file.FileName(), "Pagewright.ini");
  ExpectTypedRoundTrip(file);
  ExpectUnreadableGivesTheDefault(file);
  const std::string text = ReadFile(root.Host("C:\\Windows\\Pagewright.ini"));
  EXPECT_NE(text.find("[Typed]\r\nInt=-123456\r\nOn=1\r\nOff=0\r\nFloat=2.5\r\nDate=2026/5/17\r\n"
                      "Time=13:30:05\r\nStamp=2026/5/17 13:30:05\r\n"),
            std::string::npos)
      << text;
}

TEST(IniFileFace, FloatsAndTimesFollowTheLocale) {
  TempRoot root;
  LocaleScope locale;
  cls::FormatSettings().DecimalSeparator = ',';
  cls::FormatSettings().LongTimeFormat = "hh:nn:ss ampm";
  cls::TIniFile file("locale.ini");
  ExpectTypedRoundTrip(file);
  EXPECT_EQ(file.ReadString("Typed", "Float", ""), "2,5");
  EXPECT_EQ(file.ReadString("Typed", "Time", ""), "01:30:05 下午");
  cls::FormatSettings().LongTimeFormat = "ampm hh:nn:ss";  // the marker first keeps 24 hours
  ExpectTypedRoundTrip(file);
  EXPECT_EQ(file.ReadString("Typed", "Time", ""), "下午 13:30:05");
  // A float written under another separator does not read.
  file.WriteString("Typed", "Dot", "2.5");
  EXPECT_DOUBLE_EQ(file.ReadFloat("Typed", "Dot", -1), -1);
}

TEST(IniFileFace, EraseSectionRemovesTheSectionWhereverItRepeats) {
  TempRoot root;
  const std::string host = root.Host("C:\\Windows\\erase.ini");
  WriteFile(host, "; keep\ntop=1\n[a]\nx=1\n; a's note\n[b]\ny=2\n[A]\nz=3\n");
  cls::TIniFile file("erase.ini");
  file.EraseSection("a");
  EXPECT_EQ(ReadFile(host), "; keep\ntop=1\n[b]\ny=2\n");
  file.EraseSection("");
  EXPECT_EQ(ReadFile(host), "; keep\n[b]\ny=2\n");
  file.EraseSection("none");
  EXPECT_EQ(file.ReadString("b", "y", ""), "2");
}

// The ini file cannot be replaced (a folder has its name): the write raises,
// the folder is as it was and no temporary file is left beside it.
TEST(IniFileFace, AWriteThatCannotBeStoredRaises) {
  TempRoot root;
  namespace fs = std::filesystem;
  const fs::path windows = root.Host("C:\\Windows");
  fs::create_directories(windows / "blocked.ini");
  // ReplaceFile's private files are hidden neighbours of the target.
  const auto leftovers = [&] {
    int n = 0;
    for (const auto& e : fs::directory_iterator(windows)) n += e.path().filename().string().rfind(".blocked", 0) == 0;
    return n;
  };
  cls::TIniFile file("blocked.ini");
  try {
    file.WriteInteger("s", "k", 1);
    FAIL() << "no exception";
  } catch (const cls::EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to C:\\Windows\\blocked.ini");
  }
  EXPECT_EQ(leftovers(), 0);
  EXPECT_TRUE(fs::is_directory(windows / "blocked.ini"));
  EXPECT_EQ(file.ReadInteger("s", "k", 9), 9);  // unreadable: the default
}

// A line break would write a section of its own, a key with "=" could not
// be read back: both are refused and the file keeps its bytes.
TEST(IniFileFace, WhatCouldNotBeReadBackIsRefused) {
  TempRoot root;
  cls::TIniFile file("refused.ini");
  file.WriteString("Report", "Title", "kept");
  const std::string before = ReadFile(root.Host("C:\\Windows\\refused.ini"));
  using TWrite = std::tuple<const char*, const char*, const char*>;
  for (auto [section, key, value] : {TWrite{"Report", "Title", "a\r\n[Evil]\r\nx=1"}, TWrite{"Report", "a=b", "v"},
                                     TWrite{"Report", "Title", "line\nbreak"}, TWrite{"Re]port", "k", "v"},
                                     TWrite{"Report", "[k", "v"}, TWrite{"Report", " ", "v"}}) {
    EXPECT_THROW(file.WriteString(section, key, value), cls::EIniFileException) << key << "=" << value;
    EXPECT_EQ(ReadFile(root.Host("C:\\Windows\\refused.ini")), before);
  }
  EXPECT_EQ(file.ReadString("Report", "Title", ""), "kept");
  EXPECT_EQ(file.ReadString("Evil", "x", "none"), "none");
}

TEST(RegistryIniFace, SectionsAreSubkeysOfTheCurrentUsersKey) {
  TempRoot root;
  cls::TRegistryIniFile file("Pagewright");
  ExpectTypedRoundTrip(file);
  ExpectUnreadableGivesTheDefault(file);
  EXPECT_EQ(reg::GetValue(reg::Hive::CurrentUser, "Pagewright\\Typed", "Int"), "-123456");
  EXPECT_EQ(reg::GetValue(reg::Hive::CurrentUser, "PAGEWRIGHT\\typed", "on"), "1");
  EXPECT_FALSE(reg::GetValue(reg::Hive::LocalMachine, "Pagewright\\Typed", "Int"));
  file.EraseSection("Typed");
  EXPECT_FALSE(reg::KeyExists(reg::Hive::CurrentUser, "Pagewright\\Typed"));
  EXPECT_TRUE(reg::KeyExists(reg::Hive::CurrentUser, "Pagewright\\Bad"));
  file.EraseSection("Typed");  // a missing section is no error
}

TEST(RegistryIniFace, AStoreThatCannotBeWrittenRaises) {
  TempRoot root;
  namespace fs = std::filesystem;
  // The hive's file is a folder: it can be neither read nor replaced.
  const fs::path registry = fs::path(root.path()) / "Registry";
  fs::remove(registry / "HKEY_CURRENT_USER.reg");
  fs::create_directories(registry / "HKEY_CURRENT_USER.reg");
  cls::TRegistryIniFile file("Pagewright");
  EXPECT_THROW(file.WriteBool("s", "k", true), cls::EIniFileException);
  EXPECT_FALSE(file.ReadBool("s", "k", false));
}
