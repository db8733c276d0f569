#include "ufMain.h"

#include <exception>

#include "installer/uuConfig.h"
#include "platform/process/process.h"
#include "platform/resources/resources.h"
#include "platform/resources/version.h"
#include "platform/sysroot/fileio.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/topwindows.h"

namespace installer {

TzfMain* zfMain = nullptr;

namespace {

const char* const kAskText =
    "確認已關閉所有瀏覽器相關軟體?\r如果還沒有，請現在將它們關閉，再按確定鈕.\r若不知道怎麼判斷，請儘量關閉所有程式";
const char* const kIEWindowText = "發現IE視窗，請務必先關閉所有 IE 視窗";

// A command-line word in quotes: a path with a space stays one word.
std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// The folder part of a Windows file name, with its trailing "\".
std::string ExtractFilePath(const std::string& fileName) {
  size_t slash = fileName.find_last_of("\\:");
  return slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
}

// One of the system folders as the program reads it: at most 200
// characters into a 201-character buffer.
template <typename F>
std::string ReadFolder(F get) {
  char buf[201] = {};
  win::UINT n = get(buf, 200);
  return n > 0 && n < 201 ? std::string(buf, n) : "";
}

}  // namespace

CLS_IMPLEMENT_COMPONENT(TzfMain)

TzfMain::TzfMain(ui::TComponent* AOwner) : ui::TForm(AOwner) {
  SetName("zfMain");
  BorderStyle = ui::TFormBorderStyle::bsSingle;
  BorderIcons = 0;
  Position = ui::TPosition::poDesktopCenter;
  SetClientWidth(653);
  SetClientHeight(558);
  Font.SetName("細明體");
  Font.SetHeight(-16);
  Font.SetCharset(win::CHINESEBIG5_CHARSET);

  pnMain = new ui::TPanel(this);
  pnMain->SetName("pnMain");
  pnMain->SetParent(this);
  pnMain->SetAlign(ui::TAlign::alClient);
  pnMain->BevelInner = ui::TBevelCut::bvLowered;
  pnMain->BorderWidth = 5;
  pnMain->Font = Font;

  Panel1 = new ui::TPanel(this);
  Panel1->SetName("Panel1");
  Panel1->SetParent(pnMain);
  Panel1->SetAlign(ui::TAlign::alTop);
  Panel1->SetHeight(41);
  Panel1->BevelOuter = ui::TBevelCut::bvRaised;
  Panel1->Font = Font;

  ui::TFont buttonFont = Font;
  buttonFont.SetName("標楷體");
  buttonFont.SetHeight(-19);

  bnRegFiles = new ui::TSpeedButton(this);
  bnRegFiles->SetName("bnRegFiles");
  bnRegFiles->SetParent(Panel1);
  bnRegFiles->SetBounds(8, 4, 161, 33);
  bnRegFiles->Caption = "開始 安裝/更新";
  bnRegFiles->Flat = true;
  bnRegFiles->Font = buttonFont;
  bnRegFiles->OnClick = [this](ui::TObject* s) { bnRegFilesClick(s); };

  bnClose = new ui::TSpeedButton(this);
  bnClose->SetName("bnClose");
  bnClose->SetParent(Panel1);
  bnClose->SetBounds(176, 4, 81, 33);
  bnClose->Caption = "結束";
  bnClose->Flat = true;
  bnClose->Font = buttonFont;
  bnClose->OnClick = [this](ui::TObject* s) { bnCloseClick(s); };

  Panel2 = new ui::TPanel(this);
  Panel2->SetName("Panel2");
  Panel2->SetParent(pnMain);
  Panel2->SetAlign(ui::TAlign::alClient);
  Panel2->Font = Font;

  edNote = new ui::TMemo(this);
  edNote->SetName("edNote");
  edNote->SetParent(Panel2);
  edNote->SetAlign(ui::TAlign::alClient);
  edNote->ReadOnly = true;
  edNote->BorderStyle = ui::TBorderStyle::bsNone;
  edNote->Color = 15658734;
  edNote->Font = Font;

  OnCreate = [this](ui::TObject* s) { FormCreate(s); };
}

TzfMain::~TzfMain() {
  if (zfMain == this) zfMain = nullptr;
}

void TzfMain::FormCreate(ui::TObject*) {
  Caption = "Dravik安裝包 v20090831a";
  uuConfig::AppPath = ExtractFilePath(win::ParamStr(0));
  uuConfig::WinDir = ReadFolder(win::GetWindowsDirectory);
  uuConfig::SysDir = ReadFolder(win::GetSystemDirectory);
  AutoSize = true;
}

void TzfMain::bnRegFilesClick(ui::TObject*) {
  if (ui::MessageBox(kAskText, "避免衝突確認", ui::MB_YESNO | ui::MB_ICONQUESTION | ui::MB_DEFBUTTON2) !=
      ui::IDYES)
    return;
  if (ui::FindWindow("IEFrame") != 0) {
    edNote->Lines.Add(kIEWindowText);
    ui::ShowMessage(kIEWindowText);
    return;
  }
  if (InstallFiles()) ui::ShowMessage("安裝/更新 成功");
  else ui::ShowMessage("安裝/更新 失敗");
}

void TzfMain::bnCloseClick(ui::TObject*) { ui::Application().Terminate(); }

bool TzfMain::InstallFiles() {
  auto Add = [this](const std::string& line) { edNote->Lines.Add(line); };
  const std::string printer = kInstallDir + kPrinterFile;
  const std::string control = kInstallDir + kControlFile;
  std::string Err;

  edNote->Lines.Clear();
  Add("安裝包 版本: " + GetFileVersionStr(win::ParamStr(0)));
  Add(kPrinterFile);
  if (win::FileExists(printer)) {
    Add("  舊有版本: " + GetFileVersionStr(printer));
    if (!win::DeleteFile(printer)) {
      Add("  刪除失敗. 可能使用中");
      Add("  請確認關閉Dravik列印程式, 或者重新開機");
      return false;
    }
  } else {
    Add("  不存在");
  }
  if (!ExtractResFile("printer", kInstallDir, kPrinterFile, Err)) {
    Add("  建立新版本檔案, 失敗: " + Err);
    return false;
  }
  Add("  建立新版本: " + GetFileVersionStr(printer));

  Add(kControlFile);
  if (!win::FileExists(control)) {
    Add("  不存在");
  } else {
    Add("  舊有版本: " + GetFileVersionStr(control));
    win::DWORD code =
        RunAndWait(Quoted(uuConfig::SysDir + "\\regsvr32.exe") + " /u /s " + Quoted(kControlFile), kInstallDir, Err);
    if (!Err.empty()) {
      Add("  解除 OCX 失敗: " + Err);
      return false;
    }
    Add("  解除 OCX (" + std::to_string(code) + ")");
    if (!win::DeleteFile(control)) {
      Add("  刪除失敗. 可能使用中");
      Add("  請先關閉所有瀏覽器(IE)");
      return false;
    }
    const std::string downloaded = uuConfig::WinDir + "\\Downloaded Program Files\\" + kControlFile;
    if (win::FileExists(downloaded) && !win::DeleteFile(downloaded)) {
      Add("  刪除失敗. 可能使用中");
      Add("  請先關閉所有瀏覽器(IE)");
      return false;
    }
  }
  if (!ExtractResFile("control", kInstallDir, kControlFile, Err)) {
    Add("  建立新版本檔案, 失敗: " + Err);
    return false;
  }
  Add("  建立新版本: " + GetFileVersionStr(control));

  win::DWORD code = RunAndWait(Quoted(uuConfig::SysDir + "\\regsvr32.exe") + " /s " + Quoted(kControlFile), kInstallDir, Err);
  if (!Err.empty()) {
    Add("  安裝 OCX 失敗: " + Err);
    return false;
  }
  Add("  安裝 OCX (" + std::to_string(code) + ")");
  // A control the registration tool could not register is no success.
  if (code != 0) return false;
  bnRegFiles->Enabled = false;
  return true;
}

std::string GetFileVersionStr(const std::string& FileName) {
  try {
    win::VS_FIXEDFILEINFO fi;
    return rsrc::ReadFixedFileInfo(FileName, fi) ? rsrc::FileVersionText(fi, '.') : "";
  } catch (...) {
    return "";
  }
}

bool ExtractResFile(const std::string& ResName, const std::string& Dir, const std::string& FileName,
                    std::string& Err) {
  Err.clear();
  const void* data = nullptr;
  win::DWORD size = 0;
  try {
    win::HMODULE instance = win::GetModuleHandle();
    win::HRSRC res = win::FindResource(instance, ResName, "bin");
    if (!res) {
      Err = "找不到資源項目";
    } else if (win::HGLOBAL loaded = win::LoadResource(instance, res); !loaded) {
      Err = "取得資源項目失敗";
    } else if ((size = win::SizeofResource(instance, res)) == 0) {
      Err = "取得資源大小失敗";
    } else if (!(data = win::LockResource(loaded))) {
      Err = "取得資源位址失敗";
    }
  } catch (const std::exception& e) {
    Err = std::string("資源處理失敗: ") + e.what();
  }
  if (!Err.empty()) return false;

  std::string path;
  try {
    if (!win::ForceDirectories(Dir)) {
      Err = "建立資料夾失敗";
      return false;
    }
    path = Dir.empty() || Dir.back() == '\\' ? Dir + FileName : Dir + "\\" + FileName;
    int handle = win::FileCreate(path);
    if (handle < 1) {
      Err = "建立檔案失敗";
      return false;
    }
    long written = -1;
    try {
      written = win::FileWrite(handle, data, size);
    } catch (...) {
      win::FileClose(handle);
      throw;
    }
    win::FileClose(handle);
    if (written != static_cast<long>(size)) {
      Err = "寫檔失敗";
      // A half-written program must not pass for an installed one.
      win::DeleteFile(path);
      return false;
    }
  } catch (const std::exception& e) {
    Err = std::string("寫檔失敗: ") + e.what();
    return false;
  }
  return true;
}

win::DWORD RunAndWait(const std::string& CommandLine, const std::string& Dir, std::string& Err) {
  Err.clear();
  try {
    win::HPROCESS process = win::CreateProcess(CommandLine, Dir);
    if (!process) {
      Err = "執行失敗";
      return 0;
    }
    if (win::WaitForSingleObject(process, 10000) != win::WAIT_OBJECT_0) {
      Err = "等待失敗";
      return 0;
    }
    win::DWORD code = 0;
    if (!win::GetExitCodeProcess(process, code)) {
      Err = "取回傳值失敗";
      return 0;
    }
    return code;
  } catch (...) {
    Err = "系統錯誤";
    return 0;
  }
}

}  // namespace installer
