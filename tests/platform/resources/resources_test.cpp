#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <random>

#include "platform/process/process.h"
#include "platform/resources/resources.h"
#include "platform/resources/version.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::BinPath;
using testing_support::ReadFile;
using testing_support::WriteFile;

namespace {

std::string Bytes(win::HMODULE module, win::HRSRC r) {
  const void* p = win::LockResource(win::LoadResource(module, r));
  return p ? std::string(static_cast<const char*>(p), win::SizeofResource(module, r)) : "";
}

std::string SelfPath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : "";
}

// The four words of FILE's fixed file version, "" when it has none.
std::string FileVersion(const std::string& winFile, win::VS_FIXEDFILEINFO* out = nullptr) {
  win::DWORD handle = 1;
  win::DWORD size = win::GetFileVersionInfoSize(winFile, &handle);
  EXPECT_EQ(handle, 0u);
  if (size == 0) return "";
  std::vector<char> buf(size + 1);
  if (!win::GetFileVersionInfo(winFile, 0, size, buf.data())) return "?";
  void* p = nullptr;
  win::UINT len = 0;
  if (!win::VerQueryValue(buf.data(), "\\", &p, &len) || len != sizeof(win::VS_FIXEDFILEINFO))
    return "?";
  auto* fi = static_cast<win::VS_FIXEDFILEINFO*>(p);
  if (out) *out = *fi;
  return std::to_string(fi->dwFileVersionMS >> 16) + "." + std::to_string(fi->dwFileVersionMS & 0xFFFF) +
         "." + std::to_string(fi->dwFileVersionLS >> 16) + "." + std::to_string(fi->dwFileVersionLS & 0xFFFF);
}

std::string Objcopy(const std::string& file, const std::string& section) {
  std::string cmd = std::string(ZOLMET_OBJCOPY) + " --remove-section=.zolmet_rsrc --add-section .zolmet_rsrc=" +
                    section + " " + file + " 2>&1";
  return std::system(cmd.c_str()) == 0 ? "" : "objcopy failed";
}

class ResourcesTest : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  std::string dir = root.Host("C:\\res");
  void SetUp() override { fs::create_directories(dir); }
  // A copy of the plain test child (no resources) with SECTION added.
  std::string WithSection(const std::string& name, const std::string& section) {
    std::string file = dir + "/" + name;
    fs::copy_file(BinPath("zolmet-test-child"), file);
    WriteFile(dir + "/" + name + ".sec", section);
    EXPECT_EQ(Objcopy(file, dir + "/" + name + ".sec"), "");
    return "C:\\res\\" + name;
  }
};

}  // namespace

TEST_F(ResourcesTest, RunningProgramFindsItsResourcesByNameInAnyCase) {
  std::string sample = ReadFile(std::string(ZOLMET_SOURCE_DIR) + "/tests/platform/resources/resources_sample.bin");
  for (auto [name, type] : {std::pair{"Small", "BIN"}, {"SMALL", "bin"}, {"small", "Bin"}}) {
    win::HRSRC r = win::FindResource(nullptr, name, type);
    ASSERT_NE(r, nullptr) << name << " " << type;
    EXPECT_EQ(Bytes(nullptr, r), sample);
  }
  // A resource built by another target is that target's file, byte for byte.
  win::HRSRC child = win::FindResource(win::GetModuleHandle(), "child", "BIN");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(Bytes(nullptr, child), ReadFile(BinPath("zolmet-test-child")));
  EXPECT_NE(win::FindResource(nullptr, "Note", "TEXT"), nullptr);

  EXPECT_EQ(win::FindResource(nullptr, "Smal", "BIN"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(win::FindResource(nullptr, "Small", "BINX"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_TYPE_NOT_FOUND);
  EXPECT_EQ(win::FindResource(nullptr, "Note", "BIN"), nullptr);
  EXPECT_EQ(win::LoadResource(nullptr, nullptr), nullptr);
  EXPECT_EQ(win::SizeofResource(nullptr, nullptr), 0u);
  EXPECT_EQ(win::LockResource(nullptr), nullptr);
  EXPECT_NE(win::SysErrorMessage(win::ERROR_RESOURCE_NAME_NOT_FOUND).find("resource name"),
            std::string::npos);
}

TEST_F(ResourcesTest, VersionBlockOfOwnFileRootAndStrings) {
  std::string self = sysroot::WinPath(SelfPath());
  win::VS_FIXEDFILEINFO fi{};
  EXPECT_EQ(FileVersion(self, &fi), "3.1.4.1592");
  EXPECT_EQ(fi.dwSignature, win::VS_FFI_SIGNATURE);
  EXPECT_EQ(fi.dwProductVersionMS, 0x00020000u);
  EXPECT_EQ(fi.dwProductVersionLS, 0u);
  EXPECT_EQ(fi.dwFileType, win::VFT_APP);

  win::DWORD size = win::GetFileVersionInfoSize(self, nullptr);
  std::vector<char> buf(size);
  ASSERT_TRUE(win::GetFileVersionInfo(self, 0, size, buf.data()));
  void* p;
  win::UINT len;
  ASSERT_TRUE(win::VerQueryValue(buf.data(), "\\VarFileInfo\\Translation", &p, &len));
  ASSERT_EQ(len, 4u);
  std::uint16_t tr[2];
  std::memcpy(tr, p, 4);
  EXPECT_EQ(tr[0], 0x0409);
  EXPECT_EQ(tr[1], 0x04E4);
  ASSERT_TRUE(win::VerQueryValue(buf.data(), "\\StringFileInfo\\040904E4\\OleSelfRegister", &p, &len));
  EXPECT_EQ(len, 1u);
  EXPECT_STREQ(static_cast<char*>(p), "");
  ASSERT_TRUE(win::VerQueryValue(buf.data(), "\\StringFileInfo\\040904e4\\fileversion", &p, &len));
  EXPECT_STREQ(static_cast<char*>(p), "3.1.4.1592");
  ASSERT_TRUE(win::VerQueryValue(buf.data(), "\\StringFileInfo\\040904E4\\Comments", &p, &len));
  EXPECT_STREQ(static_cast<char*>(p), "a = b");
  EXPECT_FALSE(win::VerQueryValue(buf.data(), "\\StringFileInfo\\040904E4\\ProductName", &p, &len));
  EXPECT_FALSE(win::VerQueryValue(buf.data(), "\\StringFileInfo\\080404B0\\FileVersion", &p, &len));
  EXPECT_FALSE(win::VerQueryValue(buf.data(), "\\Nothing", &p, &len));
  EXPECT_EQ(p, nullptr);

  // A buffer too small is refused rather than half filled.
  EXPECT_FALSE(win::GetFileVersionInfo(self, 0, size - 1, buf.data()));
  EXPECT_EQ(win::GetLastError(), win::ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(ResourcesTest, LoadedLibraryHasItsOwnResourcesAndVersion) {
  std::string lib = BinPath("libzolmet-test-reslib.so");
  void* h = dlopen(lib.c_str(), RTLD_NOW);
  ASSERT_NE(h, nullptr) << dlerror();
  void* marker = dlsym(h, "zolmet_test_reslib_marker");
  ASSERT_NE(marker, nullptr);
  win::HMODULE byAddress = win::ModuleFromAddress(marker);
  win::HMODULE byName = win::GetModuleHandle("LIBZOLMET-TEST-RESLIB.SO");
  ASSERT_NE(byAddress, nullptr);
  EXPECT_EQ(byAddress, byName);
  EXPECT_NE(byAddress, win::GetModuleHandle());
  EXPECT_EQ(win::ModuleFromAddress(reinterpret_cast<const void*>(&SelfPath)), win::GetModuleHandle());

  win::HRSRC r = win::FindResource(byAddress, "small", "bin");
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(Bytes(byAddress, r), ReadFile(std::string(ZOLMET_SOURCE_DIR) + "/tests/platform/resources/resources_lib.cpp"));
  // A handle of another module is refused.
  EXPECT_EQ(win::LoadResource(nullptr, r), nullptr);
  EXPECT_EQ(win::FindResource(byAddress, "CHILD", "BIN"), nullptr);

  win::VS_FIXEDFILEINFO fi{};
  EXPECT_EQ(FileVersion(sysroot::WinPath(lib), &fi), "7.6.5.4");
  EXPECT_EQ(fi.dwFileType, win::VFT_DLL);
  EXPECT_EQ(win::GetModuleHandle("no-such-library.so"), nullptr);
  dlclose(h);
}

TEST_F(ResourcesTest, MissingFileSectionOrVersion) {
  // A program without a resource section.
  fs::copy_file(BinPath("zolmet-test-child"), dir + "/plain");
  win::HMODULE plain = win::LoadLibraryAsDataFile("C:\\res\\plain");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(win::FindResource(plain, "PRINTER", "BIN"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_DATA_NOT_FOUND);
  EXPECT_EQ(FileVersion("C:\\res\\plain"), "");
  EXPECT_EQ(win::GetLastError(), win::ERROR_RESOURCE_TYPE_NOT_FOUND);

  // Resources but no version block.
  std::string noVersion = WithSection("noversion", rsrc::Pack({{"BIN", "PRINTER", "abc"}}));
  EXPECT_EQ(FileVersion(noVersion), "");
  win::HMODULE m = win::LoadLibraryAsDataFile(noVersion);
  EXPECT_EQ(Bytes(m, win::FindResource(m, "printer", "bin")), "abc");

  EXPECT_EQ(win::LoadLibraryAsDataFile("C:\\res\\missing"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FileVersion("C:\\res\\missing"), "");
  EXPECT_EQ(win::GetLastError(), win::ERROR_FILE_NOT_FOUND);

  // Not a program at all, and an empty file.
  WriteFile(dir + "/text.exe", "MZ this is not an ELF file\n");
  WriteFile(dir + "/empty.exe", "");
  for (const char* f : {"C:\\res\\text.exe", "C:\\res\\empty.exe"}) {
    EXPECT_EQ(FileVersion(f), "");
    EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);
    win::HMODULE t = win::LoadLibraryAsDataFile(f);
    EXPECT_EQ(win::FindResource(t, "x", "BIN"), nullptr);
    EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);
  }
}

TEST_F(ResourcesTest, DamagedSectionIsRefusedWithoutReadingBeyondIt) {
  rsrc::VersionDefinition def;
  rsrc::ParseVersionNumbers("1.2.3.4", def.file);
  std::string good = rsrc::Pack({{"BIN", "PRINTER", std::string(1000, 'p')},
                                 {rsrc::kVersionType, rsrc::kVersionName, rsrc::BuildVersionBlock(def)}});
  // Every truncation and a flipped byte in every header position.
  rsrc::Table t;
  ASSERT_TRUE(t.Parse(good));
  for (size_t n = 0; n < good.size(); n += (n < 200 ? 1 : 97)) {
    rsrc::Table cut;
    if (cut.Parse(good.substr(0, n))) {
      for (const auto& it : cut.Items()) EXPECT_LE(it.data.size(), n);
    }
  }
  for (size_t i = 0; i < 120; ++i) {
    std::string bad = good;
    bad[i] = static_cast<char>(bad[i] ^ 0xA5);
    rsrc::Table damaged;
    damaged.Parse(bad);  // any answer, as long as it stays inside
  }
  // A data file is read as it is when opened.
  std::string again = WithSection("again", good);
  win::HMODULE first = win::LoadLibraryAsDataFile(again);
  EXPECT_EQ(Bytes(first, win::FindResource(first, "PRINTER", "BIN")).size(), 1000u);
  WriteFile(dir + "/again.sec", rsrc::Pack({{"BIN", "PRINTER", "new"}}));
  ASSERT_EQ(Objcopy(sysroot::HostPath(again), dir + "/again.sec"), "");
  win::HMODULE second = win::LoadLibraryAsDataFile(again);
  EXPECT_EQ(Bytes(second, win::FindResource(second, "PRINTER", "BIN")), "new");
  EXPECT_EQ(Bytes(first, win::FindResource(first, "PRINTER", "BIN")).size(), 1000u);
  EXPECT_TRUE(win::FreeLibraryAsDataFile(first));
  EXPECT_TRUE(win::FreeLibraryAsDataFile(second));
  EXPECT_FALSE(win::FreeLibraryAsDataFile(second));
  EXPECT_FALSE(win::FreeLibraryAsDataFile(win::GetModuleHandle()));

  std::string huge = good;
  huge[4] = '\xff';  // count far beyond the section
  std::string file = WithSection("damaged", huge);
  win::HMODULE m = win::LoadLibraryAsDataFile(file);
  EXPECT_EQ(win::FindResource(m, "PRINTER", "BIN"), nullptr);
  EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);
  EXPECT_EQ(FileVersion(file), "");
  EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);

  // A version block whose stated size disagrees with its resource.
  std::string block = rsrc::BuildVersionBlock(def);
  block[4] = static_cast<char>(block[4] + 1);
  std::string badVersion = WithSection("badversion", rsrc::Pack({{"VERSION", "1", block}}));
  EXPECT_EQ(FileVersion(badVersion), "");
  EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);

  // Section headers pointing past the end of the file.
  std::string ok = WithSection("truncated", good);
  std::string host = sysroot::HostPath(ok);
  fs::resize_file(host, fs::file_size(host) - 64);
  EXPECT_EQ(FileVersion(ok), "");
  EXPECT_EQ(win::GetLastError(), win::ERROR_BAD_EXE_FORMAT);
}

TEST_F(ResourcesTest, BigBinaryResourceComesBackWhole) {
  std::string big(24u << 20, '\0');
  std::mt19937 rng(7);
  for (size_t i = 0; i < big.size(); i += 4) {
    std::uint32_t v = rng();
    std::memcpy(big.data() + i, &v, 4);
  }
  std::string file = WithSection("big", rsrc::Pack({{"BIN", "small", "s"}, {"BIN", "Big", big}}));
  win::HMODULE m = win::LoadLibraryAsDataFile(file);
  win::HRSRC r = win::FindResource(m, "BIG", "bin");
  ASSERT_NE(r, nullptr);
  ASSERT_EQ(win::SizeofResource(m, r), big.size());
  EXPECT_TRUE(Bytes(m, r) == big);
  EXPECT_EQ(Bytes(m, win::FindResource(m, "small", "BIN")), "s");
}

TEST(VersionNumbers, ParseAndRefuse) {
  std::uint16_t v[4] = {9, 9, 9, 9};
  EXPECT_TRUE(rsrc::ParseVersionNumbers("1.0.0.27", v));
  EXPECT_EQ(v[3], 27);
  EXPECT_TRUE(rsrc::ParseVersionNumbers("65535.2", v));
  EXPECT_EQ(v[0], 65535);
  EXPECT_EQ(v[2], 0);
  for (const char* bad : {"", "1..2", "1.2.3.4.5", "65536", "1.a", "1.", "-1"})
    EXPECT_FALSE(rsrc::ParseVersionNumbers(bad, v)) << bad;
}
