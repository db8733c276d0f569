#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/topwindows.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;

TEST(TopWindows, ShownWindowIsFoundByClassUntilHidden) {
  testing_support::TempRoot root;
  EXPECT_EQ(ui::FindWindow("IEFrame"), 0u);
  ui::TopWindowHandle a = ui::ShowTopWindow("TzfMain", "Installer");
  ui::TopWindowHandle b = ui::ShowTopWindow("IEFrame", "Page - Browser");
  ASSERT_NE(a, 0u);
  ASSERT_NE(b, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(ui::FindWindow("ieframe"), b);
  EXPECT_EQ(ui::FindWindow("IEFrame", "Page - Browser"), b);
  EXPECT_EQ(ui::FindWindow("IEFrame", "Other"), 0u);
  EXPECT_EQ(ui::FindWindow("", "Installer"), a);
  ui::SetTopWindowCaption(b, "Line one\nline two");
  EXPECT_EQ(ui::FindWindow("", "Line one\nline two"), b);
  EXPECT_EQ(ui::TopWindows().size(), 2u);
  ui::HideTopWindow(b);
  EXPECT_EQ(ui::FindWindow("IEFrame"), 0u);
  ui::HideTopWindow(a);
  EXPECT_TRUE(ui::TopWindows().empty());
}

TEST(TopWindows, WindowOfAnotherProcessEndsWithIt) {
  testing_support::TempRoot root;
  win::HPROCESS p = win::CreateProcess(
      "\"" + sysroot::WinPath(testing_support::BinPath("zolmet-test-child")) + "\" sleep 20000");
  ASSERT_NE(p, nullptr);
  ui::TopWindowHandle w = ui::ShowTopWindowOf(win::ProcessId(p), "IEFrame", "");
  ASSERT_NE(w, 0u);
  EXPECT_EQ(ui::FindWindow("IEFrame"), w);
  ASSERT_TRUE(win::TerminateProcess(p, 1));
  ASSERT_EQ(win::WaitForSingleObject(p, 5000), win::WAIT_OBJECT_0);
  EXPECT_EQ(ui::FindWindow("IEFrame"), 0u);
  EXPECT_EQ(ui::ShowTopWindowOf(win::ProcessId(p), "IEFrame", ""), 0u);
}

TEST(TopWindows, StaleOrDamagedEntriesAreIgnored) {
  testing_support::TempRoot root;
  fs::path dir = fs::path(root.path()) / "Platform" / "TopWindows";
  fs::create_directories(dir);
  // This process's pid with a start time that is not its own: a reused pid.
  std::ofstream(dir / "77.win") << getpid() << "\n1\nIEFrame\n";
  std::ofstream(dir / "x.win") << "garbage";
  std::ofstream(dir / "78.win") << "";
  EXPECT_EQ(ui::FindWindow("IEFrame"), 0u);
  EXPECT_FALSE(fs::exists(dir / "77.win"));
}
