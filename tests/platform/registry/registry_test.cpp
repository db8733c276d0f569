#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/registry/registry.h"
#include "tests/support/testroot.h"

using reg::Hive;

TEST(RegistryTree, KeysAndValuesIgnoreCaseAndKeepTheirSpelling) {
  reg::Tree t;
  t.SetValue("CLSID\\{ABC}\\InprocServer32", "ThreadingModel", "Apartment");
  t.SetValue("clsid\\{abc}\\inprocserver32", "", "C:\\x.ocx");
  EXPECT_TRUE(t.KeyExists("CLSID"));
  EXPECT_TRUE(t.KeyExists("Clsid\\{Abc}"));
  EXPECT_EQ(t.GetValue("CLSID\\{ABC}\\InprocServer32", "threadingmodel"), "Apartment");
  EXPECT_EQ(t.GetValue("CLSID\\{ABC}\\InprocServer32\\", ""), "C:\\x.ocx");
  EXPECT_EQ(t.SubKeys("CLSID"), std::vector<std::string>{"{ABC}"});
  EXPECT_FALSE(t.GetValue("CLSID\\{ABC}", "").has_value());
}

TEST(RegistryTree, DeleteKeyTakesTheWholeSubtreeOnly) {
  reg::Tree t;
  t.SetValue("A\\B\\C", "v", "1");
  t.SetValue("A\\BB", "v", "2");
  EXPECT_TRUE(t.DeleteKey("a\\b"));
  EXPECT_FALSE(t.KeyExists("A\\B\\C"));
  EXPECT_TRUE(t.KeyExists("A\\BB"));
  EXPECT_FALSE(t.DeleteKey("A\\B"));
  EXPECT_FALSE(t.DeleteKey(""));  // the hive itself stays
}

// "許" is B3 5C in Big5: its second byte is a backslash that separates nothing.
TEST(RegistryTree, Big5NamesKeepATrailByteThatLooksLikeASeparator) {
  reg::Tree t;
  const std::string name = "許";
  ASSERT_EQ(name, "\xB3\x5C");
  t.SetValue("Software\\" + name + "\\Sub\\", "v", "1");
  EXPECT_EQ(t.SubKeys("Software"), std::vector<std::string>{name});
  EXPECT_EQ(t.SubKeys("Software\\" + name), std::vector<std::string>{"Sub"});
  EXPECT_EQ(t.GetValue("Software\\" + name + "\\Sub", "v"), "1");
  EXPECT_FALSE(t.KeyExists("Software\\\xB3"));
  EXPECT_TRUE(t.DeleteKey("Software\\" + name));
  EXPECT_TRUE(t.SubKeys("Software").empty());
}

TEST(RegistryTree, SerializedFormKeepsAwkwardBytes) {
  reg::Tree t;
  std::string odd = "tab\there\nnew\\slash\r\x01 \xA4\x5C end";  // a Big5 character whose second byte is '\'
  t.SetValue("Key\\With \xA4\x5C", "na\tme", odd);
  reg::Tree back = reg::Tree::Parse(t.Serialize());
  EXPECT_EQ(back.GetValue("Key\\With \xA4\x5C", "na\tme"), odd);
  EXPECT_EQ(back.Dump(), t.Dump());
}

TEST(RegistryStore, ChangesPersistPerHive) {
  testing_support::TempRoot root;
  EXPECT_FALSE(reg::KeyExists(Hive::ClassesRoot, "X"));
  ASSERT_TRUE(reg::SetValue(Hive::ClassesRoot, "X\\Y", "n", "v"));
  EXPECT_EQ(reg::GetValue(Hive::ClassesRoot, "x\\y", "N"), "v");
  EXPECT_FALSE(reg::KeyExists(Hive::CurrentUser, "X"));
  EXPECT_TRUE(reg::DeleteKey(Hive::ClassesRoot, "X"));
  EXPECT_FALSE(reg::DeleteKey(Hive::ClassesRoot, "X"));
  EXPECT_TRUE(reg::Load(Hive::ClassesRoot).Dump().empty());
}

// Several processes writing at once lose nothing.
TEST(RegistryStore, ConcurrentWritersKeepEveryValue) {
  testing_support::TempRoot root;
  constexpr int kProcs = 4, kEach = 25;
  std::vector<pid_t> kids;
  for (int p = 0; p < kProcs; ++p) {
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      bool ok = true;
      for (int i = 0; i < kEach; ++i)
        ok = reg::SetValue(Hive::LocalMachine, "Proc" + std::to_string(p), "v" + std::to_string(i), "x") && ok;
      _exit(ok ? 0 : 1);
    }
    kids.push_back(pid);
  }
  for (pid_t pid : kids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  reg::Tree t = reg::Load(Hive::LocalMachine);
  for (int p = 0; p < kProcs; ++p)
    EXPECT_EQ(t.ValueNames("Proc" + std::to_string(p)).size(), static_cast<size_t>(kEach));
}

// A user who may read the store but not take its lock for writing (here the
// lock's name is held by a folder) still sees what is registered.
TEST(RegistryStore, ReadersThatCannotLockStillRead) {
  testing_support::TempRoot root;
  ASSERT_TRUE(reg::SetValue(Hive::ClassesRoot, "Zolmet.ZolmetStart\\CLSID", "", "{X}"));
  std::string lock = root.path() + "/Registry/.lock";
  ASSERT_EQ(unlink(lock.c_str()), 0);
  ASSERT_EQ(mkdir(lock.c_str(), 0755), 0);
  EXPECT_EQ(reg::GetValue(Hive::ClassesRoot, "Zolmet.ZolmetStart\\CLSID", ""), "{X}");
  EXPECT_FALSE(reg::SetValue(Hive::ClassesRoot, "Other", "", "v"));  // writers need the lock
  rmdir(lock.c_str());
}
