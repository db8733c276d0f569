#include "report/model/ppIniStorage.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry/registry.h"
#include "tests/support/testroot.h"

using testing_support::ReadFile;
using testing_support::TempRoot;

namespace {

// The process-wide store class and name of one case, put back after it.
class StorageScope {
 public:
  StorageScope() : type_(ppIniStorageType()), name_(ppIniStorageName()) {}
  ~StorageScope() {
    ppSetIniStorageType(type_);
    ppSetIniStorageName(name_);
  }

 private:
  TppIniStorageClass type_;
  std::string name_;
};

}  // namespace

TEST(IniStorage, TheDefaultStoreIsPagewrightIniInTheWindowsFolder) {
  TempRoot root;
  StorageScope scope;
  EXPECT_EQ(ppIniStorageType().Class, &TppIniFile::StaticClass());
  EXPECT_EQ(ppIniStorageName(), "($WINSYS)\\Pagewright.ini");
  {
    cls::Owned<TppIniStorage> store = CreateIniStorage();
    ASSERT_TRUE(cls::ObjectIs<TppIniFile>(store.get()));
    store->WriteInteger("TextSearchSettingsDialog", "FormTop", 120);
  }
  const std::string text = ReadFile(root.path() + "/C/Windows/Pagewright.ini");
  EXPECT_NE(text.find("[TextSearchSettingsDialog]\r\nFormTop=120\r\n"), std::string::npos) << text;
  cls::Owned<TppIniStorage> again = CreateIniStorage();
  EXPECT_EQ(again->ReadInteger("TextSearchSettingsDialog", "FormTop", 0), 120);
  EXPECT_EQ(again->ReadInteger("TextSearchSettingsDialog", "FormLeft", -1), -1);
  // Nothing went to the registry.
  EXPECT_FALSE(reg::KeyExists(reg::Hive::CurrentUser, "Pagewright"));
}

TEST(IniStorage, TheRegistryStoreKeepsTheSameSectionsAndKeysUnderItsKey) {
  TempRoot root;
  StorageScope scope;
  ppSetIniStorageType(ppIniStorageClassOf<TppRegistry>());
  ppSetIniStorageName("Pagewright");
  {
    cls::Owned<TppIniStorage> store = CreateIniStorage();
    ASSERT_TRUE(cls::ObjectIs<TppRegistry>(store.get()));
    store->WriteInteger("TextSearchSettingsDialog", "FormTop", 120);
    store->WriteBool("TextSearchSettingsDialog", "CaseSensitive", true);
  }
  EXPECT_EQ(reg::GetValue(reg::Hive::CurrentUser, "Pagewright\\TextSearchSettingsDialog", "FormTop"), "120");
  EXPECT_EQ(reg::GetValue(reg::Hive::CurrentUser, "Pagewright\\TextSearchSettingsDialog", "CaseSensitive"), "1");
  EXPECT_FALSE(std::filesystem::exists(root.path() + "/C/Windows/Pagewright.ini"));
  cls::Owned<TppIniStorage> again = CreateIniStorage();
  EXPECT_EQ(again->ReadInteger("TextSearchSettingsDialog", "FormTop", 0), 120);
  again->EraseSection("TextSearchSettingsDialog");
  EXPECT_EQ(again->ReadInteger("TextSearchSettingsDialog", "FormTop", 7), 7);
}

// "($WINSYS)\" goes wherever it stands and however it is spelt; what is
// left is named as the profile functions name files.
TEST(IniStorage, TheWindowsFolderMarkIsRemovedIgnoringCase) {
  TempRoot root;
  StorageScope scope;
  ppSetIniStorageName("($winsys)\\Sub\\($WinSys)\\x.ini");
  CreateIniStorage()->WriteString("s", "k", "v");
  EXPECT_EQ(ReadFile(root.path() + "/C/Windows/Sub/x.ini"), "[s]\r\nk=v\r\n");
  ppSetIniStorageName("D:\\Settings\\y.ini");
  CreateIniStorage()->WriteFloat("s", "f", 0.25);
  EXPECT_EQ(ReadFile(root.path() + "/D/Settings/y.ini"), "[s]\r\nf=0.25\r\n");
}

TEST(IniStorage, AFailedWriteRaisesThroughTheStore) {
  TempRoot root;
  StorageScope scope;
  std::filesystem::create_directories(root.path() + "/C/Windows/Pagewright.ini");
  cls::Owned<TppIniStorage> store = CreateIniStorage();
  EXPECT_THROW(store->WriteString("TextSearchSettingsDialog", "FormTop", "1"), cls::EIniFileException);
  EXPECT_EQ(store->ReadInteger("TextSearchSettingsDialog", "FormTop", 5), 5);
}

TEST(IniStorage, PlugInsAreListedOnceInRegistrationOrder) {
  auto names = [] {
    std::vector<std::string> out;
    for (const TppIniStorageClass& c : TppIniStoragePlugIns::Classes())
      out.push_back(c.DisplayName() + "=" + c.DefaultStorageName());
    return out;
  };
  const std::vector<std::string> both = {"IniFile=($WINSYS)\\Pagewright.ini", "Registry=Pagewright"};
  EXPECT_EQ(names(), both);
  TppIniStoragePlugIns::Register(ppIniStorageClassOf<TppIniFile>());
  EXPECT_EQ(names(), both);
  TppIniStoragePlugIns::UnRegister(&TppIniFile::StaticClass());
  EXPECT_EQ(names(), std::vector<std::string>{"Registry=Pagewright"});
  TppIniStoragePlugIns::Register(ppIniStorageClassOf<TppIniFile>());
  EXPECT_EQ(names(), (std::vector<std::string>{"Registry=Pagewright", "IniFile=($WINSYS)\\Pagewright.ini"}));
}
