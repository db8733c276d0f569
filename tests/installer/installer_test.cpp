#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

#include "installer/ufMain.h"
#include "installer/uuConfig.h"
#include "platform/process/process.h"
#include "platform/sysroot/sysroot.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "platform/ui/topwindows.h"
#include "tests/support/testroot.h"

namespace fs = std::filesystem;
using testing_support::BinPath;
using testing_support::ReadFile;
using testing_support::WriteFile;
using namespace installer;

namespace {

const std::string kPrinter = "C:\\Program Files\\Zolmet\\ZolmetPrint.exe";
const std::string kControl = "C:\\Program Files\\Zolmet\\Zolmet.ocx";
const std::string kDownloaded = "C:\\Windows\\Downloaded Program Files\\Zolmet.ocx";

class InstallerTest : public ::testing::Test {
 protected:
  testing_support::TempRoot root;
  TzfMain* form = nullptr;

  void SetUp() override {
    ui::SetEchoDialogs(false);
    ui::ClearRecordedDialogs();
    ui::ClearScriptedAnswers();
    fs::copy_file(BinPath("zolmet-test-regsvr32"), root.Host("C:\\Windows\\System32\\regsvr32.exe"));
    form = ui::NewForm<TzfMain>(&ui::Application());
  }
  void TearDown() override {
    ui::ClearScriptedAnswers();
    ui::Application().Shutdown();
    ui::SetEchoDialogs(true);
  }

  // Presses "開始 安裝/更新" and answers the question with ANSWER; the message
  // shown at the end ("" when none).
  std::string Press(int answer = ui::IDYES) {
    ui::ClearRecordedDialogs();
    ui::ScriptAnswers({answer, ui::IDOK});
    form->bnRegFiles->Click();
    auto dialogs = ui::RecordedDialogs();
    EXPECT_GE(dialogs.size(), 1u);
    if (dialogs.empty()) return "?";
    EXPECT_EQ(dialogs[0].caption, "避免衝突確認");
    EXPECT_EQ(dialogs[0].icon, ui::MB_ICONQUESTION);
    EXPECT_EQ(dialogs[0].buttons, (std::vector<int>{ui::IDYES, ui::IDNO}));
    return dialogs.size() > 1 ? dialogs.back().text : "";
  }
  std::vector<std::string> Memo() const {
    std::vector<std::string> out;
    for (int i = 0; i < form->edNote->Lines.Count(); ++i) out.push_back(form->edNote->Lines[i]);
    return out;
  }
  std::string RegLog() const { return ReadFile(root.Host("C:\\regsvr32.log")); }
  void RegMode(const std::string& mode) { WriteFile(root.Host("C:\\regsvr32.mode"), mode); }
  std::string Resource(const char* stand) const { return ReadFile(BinPath(stand)); }
};

using Lines = std::vector<std::string>;

}  // namespace

TEST_F(InstallerTest, FormDesign) {
  EXPECT_EQ(form->Caption, "Dravik安裝包 v20090831a");
  EXPECT_EQ(form->bnRegFiles->Caption, "開始 安裝/更新");
  EXPECT_EQ(form->bnClose->Caption, "結束");
  EXPECT_EQ(form->bnRegFiles->Font.Name(), "標楷體");
  EXPECT_EQ(form->Font.Name(), "細明體");
  EXPECT_TRUE(form->edNote->ReadOnly);
  EXPECT_EQ(form->edNote->Color, 15658734);
  EXPECT_EQ(form->BorderIcons, 0u);
  EXPECT_TRUE(form->AutoSize);
  EXPECT_EQ(uuConfig::WinDir, "C:\\Windows");
  EXPECT_EQ(uuConfig::SysDir, "C:\\Windows\\System32");
  EXPECT_EQ(uuConfig::AppPath, sysroot::WinPath(fs::path(BinPath("installer_test")).parent_path().string()) + "\\");
}

TEST_F(InstallerTest, FirstInstallationThenUpdate) {
  EXPECT_EQ(Press(), "安裝/更新 成功");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  不存在", "  建立新版本: ", "Zolmet.ocx",
                           "  不存在", "  建立新版本: 1.0.0.27", "  安裝 OCX (0)"}));
  EXPECT_TRUE(ReadFile(root.Host(kPrinter)) == Resource("zolmet-test-child"));
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == Resource("libzolmet-test-ocx.so"));
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");
  EXPECT_FALSE(form->bnRegFiles->Enabled);

  // An update: the old control is unregistered before its files go.
  form->bnRegFiles->Enabled = true;
  WriteFile(root.Host(kDownloaded), "old download");
  WriteFile(root.Host(kPrinter), "old print program");
  EXPECT_EQ(Press(), "安裝/更新 成功");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  舊有版本: ", "  建立新版本: ", "Zolmet.ocx",
                           "  舊有版本: 1.0.0.27", "  解除 OCX (0)", "  建立新版本: 1.0.0.27", "  安裝 OCX (0)"}));
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/u /s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");
  EXPECT_FALSE(win::FileExists(kDownloaded));
  EXPECT_TRUE(ReadFile(root.Host(kPrinter)) == Resource("zolmet-test-child"));
  EXPECT_FALSE(form->bnRegFiles->Enabled);
}

// A system folder whose name holds a space: the registration tool's path is
// quoted, so a planted "C:\Program.exe" is never started in its place.
TEST_F(InstallerTest, RegistrationNeverStartsAPlantedProgram) {
  fs::create_directories(root.Host("C:\\Program Files\\System32"));
  fs::copy_file(BinPath("zolmet-test-regsvr32"), root.Host("C:\\Program Files\\System32\\regsvr32.exe"));
  fs::copy_file(BinPath("zolmet-test-planted"), root.Host("C:\\Program.exe"));
  uuConfig::SysDir = "C:\\Program Files\\System32";
  EXPECT_TRUE(form->InstallFiles());
  EXPECT_TRUE(form->InstallFiles());  // an update: unregistration, then registration
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/u /s Zolmet.ocx|C:\\Program Files\\Zolmet\n"
                      "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");
  EXPECT_FALSE(fs::exists(root.Host("C:\\planted.txt")));
}

TEST_F(InstallerTest, DecliningOrAnOpenBrowserTouchesNothing) {
  EXPECT_EQ(Press(ui::IDNO), "");
  EXPECT_TRUE(Memo().empty());
  EXPECT_FALSE(win::DirectoryExists("C:\\Program Files\\Zolmet"));

  ui::TopWindowHandle browser = ui::ShowTopWindow("IEFrame", "Zolmet - Internet Explorer");
  EXPECT_EQ(Press(), "發現IE視窗，請務必先關閉所有 IE 視窗");
  EXPECT_EQ(Memo(), (Lines{"發現IE視窗，請務必先關閉所有 IE 視窗"}));
  EXPECT_FALSE(win::DirectoryExists("C:\\Program Files\\Zolmet"));
  EXPECT_EQ(RegLog(), "");
  EXPECT_TRUE(form->bnRegFiles->Enabled);
  ui::HideTopWindow(browser);
}

TEST_F(InstallerTest, RunningPrintProgramStopsTheUpdate) {
  ASSERT_EQ(Press(), "安裝/更新 成功");
  std::string control = ReadFile(root.Host(kControl));
  win::HPROCESS running = win::CreateProcess("\"" + kPrinter + "\" sleep 20000");
  ASSERT_NE(running, nullptr);
  form->bnRegFiles->Enabled = true;
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  舊有版本: ", "  刪除失敗. 可能使用中",
                           "  請確認關閉Dravik列印程式, 或者重新開機"}));
  EXPECT_EQ(RegLog(), "/s Zolmet.ocx|C:\\Program Files\\Zolmet\n");
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == control);
  EXPECT_TRUE(form->bnRegFiles->Enabled);
  win::TerminateProcess(running, 1);
  win::WaitForSingleObject(running, 5000);
}

TEST_F(InstallerTest, LoadedControlCannotBeReplaced) {
  ASSERT_EQ(Press(), "安裝/更新 成功");
  void* loaded = dlopen(root.Host(kControl).c_str(), RTLD_NOW);
  ASSERT_NE(loaded, nullptr) << dlerror();
  form->bnRegFiles->Enabled = true;
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  舊有版本: ", "  建立新版本: ", "Zolmet.ocx",
                           "  舊有版本: 1.0.0.27", "  解除 OCX (0)", "  刪除失敗. 可能使用中",
                           "  請先關閉所有瀏覽器(IE)"}));
  EXPECT_TRUE(win::FileExists(kControl));
  dlclose(loaded);
}

TEST_F(InstallerTest, UnwritableProgramFolder) {
  WriteFile(root.Host("C:\\Program Files\\Zolmet"), "a file where the folder should be");
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  不存在", "  建立新版本檔案, 失敗: 建立資料夾失敗"}));
  EXPECT_EQ(RegLog(), "");
}

TEST_F(InstallerTest, RegistrationToolMissingOrFailing) {
  fs::remove(root.Host("C:\\Windows\\System32\\regsvr32.exe"));
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  EXPECT_EQ(Memo().back(), "  安裝 OCX 失敗: 執行失敗");
  EXPECT_TRUE(form->bnRegFiles->Enabled);

  fs::copy_file(BinPath("zolmet-test-regsvr32"), root.Host("C:\\Windows\\System32\\regsvr32.exe"));
  RegMode("exit 5");
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  // The unregistration's exit code is shown only; the registration's decides.
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  舊有版本: ", "  建立新版本: ", "Zolmet.ocx",
                           "  舊有版本: 1.0.0.27", "  解除 OCX (5)", "  建立新版本: 1.0.0.27", "  安裝 OCX (5)"}));
  EXPECT_TRUE(form->bnRegFiles->Enabled);
}

TEST_F(InstallerTest, UnregistrationThatHangsKeepsTheOldControl) {
  ASSERT_EQ(Press(), "安裝/更新 成功");
  std::string control = ReadFile(root.Host(kControl));
  RegMode("sleep 11000");
  form->bnRegFiles->Enabled = true;
  EXPECT_EQ(Press(), "安裝/更新 失敗");
  EXPECT_EQ(Memo(), (Lines{"安裝包 版本: ", "ZolmetPrint.exe", "  舊有版本: ", "  建立新版本: ", "Zolmet.ocx",
                           "  舊有版本: 1.0.0.27", "  解除 OCX 失敗: 等待失敗"}));
  EXPECT_TRUE(ReadFile(root.Host(kControl)) == control);
}

TEST_F(InstallerTest, ExtractRunAndVersionHelpers) {
  std::string err = "stale";
  EXPECT_FALSE(ExtractResFile("nosuch", "C:\\Out\\", "x.exe", err));
  EXPECT_EQ(err, "找不到資源項目");
  EXPECT_FALSE(win::DirectoryExists("C:\\Out"));
  // Names in any case; a folder without a trailing "\" and missing parents.
  EXPECT_TRUE(ExtractResFile("Control", "C:\\Out\\deep", "c.ocx", err));
  EXPECT_EQ(err, "");
  EXPECT_TRUE(ReadFile(root.Host("C:\\Out\\deep\\c.ocx")) == Resource("libzolmet-test-ocx.so"));
  WriteFile(root.Host("C:\\Blocked"), "");
  EXPECT_FALSE(ExtractResFile("printer", "C:\\Blocked\\", "p.exe", err));
  EXPECT_EQ(err, "建立資料夾失敗");
  fs::create_directories(root.Host("C:\\Out\\dir.exe"));
  EXPECT_FALSE(ExtractResFile("printer", "C:\\Out\\", "dir.exe", err));
  EXPECT_EQ(err, "建立檔案失敗");

  EXPECT_EQ(GetFileVersionStr("C:\\Out\\deep\\c.ocx"), "1.0.0.27");
  EXPECT_EQ(GetFileVersionStr("C:\\Out\\missing.ocx"), "");
  EXPECT_EQ(GetFileVersionStr(sysroot::WinPath(BinPath("zolmet-test-child"))), "");

  RegMode("exit 9083100");
  EXPECT_EQ(RunAndWait("C:\\Windows\\System32\\regsvr32.exe a", "C:\\Out", err), 9083100u);
  EXPECT_EQ(err, "");
  EXPECT_EQ(RunAndWait("C:\\Windows\\System32\\nothing.exe", "C:\\Out", err), 0u);
  EXPECT_EQ(err, "執行失敗");
  EXPECT_EQ(RunAndWait("C:\\Windows\\System32\\regsvr32.exe", "C:\\NoFolder", err), 0u);
  EXPECT_EQ(err, "執行失敗");
}

TEST_F(InstallerTest, CloseEndsTheApplication) {
  EXPECT_FALSE(ui::Application().Terminated());
  form->bnClose->Click();
  EXPECT_TRUE(ui::Application().Terminated());
}

TEST_F(InstallerTest, WithNobodyToAnswerTheQuestionTakesNo) {
  // No scripted answer and no terminal: the question's default button.
  int saved = dup(STDIN_FILENO);
  int null = open("/dev/null", O_RDONLY);
  ASSERT_GE(null, 0);
  dup2(null, STDIN_FILENO);
  close(null);
  ui::ClearRecordedDialogs();
  form->bnRegFiles->Click();
  dup2(saved, STDIN_FILENO);
  close(saved);
  auto dialogs = ui::RecordedDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].answer, ui::IDNO);
  EXPECT_TRUE(Memo().empty());
  EXPECT_FALSE(win::DirectoryExists("C:\\Program Files\\Zolmet"));
}

TEST_F(InstallerTest, ProgramLoopDrivenByScriptedClicksAndAnswers) {
  // The form as the program block runs it: shown, its buttons pressed.
  ui::Application().Shutdown();
  ui::Application().Initialize();
  ui::Application().SetTitle("Dravik ActiveX 安裝包");
  form = ui::Application().CreateForm<TzfMain>();
  ui::ClearRecordedDialogs();
  ui::ScriptClicks({"bnRegFiles", "bnClose"});
  ui::ScriptAnswers({ui::IDYES, ui::IDOK});
  ui::Application().Run();
  EXPECT_FALSE(ui::HasScriptedClick());
  auto dialogs = ui::RecordedDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1].caption, "Dravik ActiveX 安裝包");
  EXPECT_EQ(dialogs[1].text, "安裝/更新 成功");
  EXPECT_TRUE(win::FileExists(kPrinter));
  EXPECT_TRUE(win::FileExists(kControl));
  EXPECT_FALSE(form->bnRegFiles->Enabled);
}
