#include "ufMain.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "common/uuCoding.h"
#include "common/uuCommon.h"
#include "platform/process/process.h"
#include "platform/ui/dialogs.h"
#include "printclient/uuConfig.h"

TzfMain* zfMain = nullptr;

namespace {

void HackLog(const std::string& text) {
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.hack", text);
}

void ResultBox(const std::string& text) {
  ui::MessageBox(text, uuConfig::kAppTitle, ui::MB_OK | ui::MB_ICONINFORMATION);
}

// Calls Application.Terminate when the handler is left, however it is left.
struct TerminateOnExit {
  bool armed = true;
  ~TerminateOnExit() {
    if (armed) ui::Application().Terminate();
  }
};

}  // namespace

win::DWORD VersionExitCode(const std::string& version) {
  std::string v = version;
  std::transform(v.begin(), v.end(), v.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return static_cast<win::DWORD>(v.at(9) - 'a') +
         100u * static_cast<win::DWORD>(std::stoul(v.substr(3, 6)));
}

CLS_IMPLEMENT_COMPONENT(TzfMain)

TzfMain::TzfMain(ui::TComponent* AOwner) : ui::TForm(AOwner) {
  SetName("zfMain");
  BorderStyle = ui::TFormBorderStyle::bsDialog;
  SetClientWidth(345);
  SetClientHeight(112);
  Font.SetName("細明體");
  Font.SetHeight(-16);
  Font.SetCharset(win::CHINESEBIG5_CHARSET);

  pnHint = new ui::TPanel(this);
  pnHint->SetName("pnHint");
  pnHint->SetParent(this);
  pnHint->SetAlign(ui::TAlign::alClient);
  pnHint->Caption = "單據列印處理中";
  pnHint->Font.SetName("標楷體");
  pnHint->Font.SetHeight(-21);
  pnHint->Font.SetCharset(win::CHINESEBIG5_CHARSET);
  pnHint->BevelInner = ui::TBevelCut::bvLowered;
  pnHint->BorderWidth = 5;

  Timer1 = new ui::TTimer(this);
  Timer1->SetName("Timer1");
  Timer1->SetEnabled(false);
  Timer1->OnTimer = [this](ui::TObject* s) { Timer1Timer(s); };

  OnCreate = [this](ui::TObject* s) { FormCreate(s); };
  ExitProcess = [](win::DWORD code) { win::ExitProcess(code); };
  DecodeParam = uuCoding::DecodeParam;
}

TzfMain::~TzfMain() {
  if (zfMain == this) zfMain = nullptr;
}

void TzfMain::FormCreate(ui::TObject*) {
  ui::Application().SetTitle(uuConfig::kAppTitle);
  Caption = uuConfig::kAppTitle + " " + uuConfig::kVersion;
  Timer1->SetEnabled(false);
  Timer1->SetInterval(500);
  Timer1->SetEnabled(true);
}

void TzfMain::Timer1Timer(ui::TObject*) {
  Timer1->SetEnabled(false);
  TerminateOnExit finally;

  if (win::ParamCount() != 1) {
    HackLog("參數數量錯誤: " + std::to_string(win::ParamCount()));
    ui::ShowMessage("ZolmetPrint\r檔名: " + win::GetModuleFileName() + "\r" + "版本: " +
                    uuConfig::kVersion);
    return;
  }
  const std::string argument = win::ParamStr(1);
  if (argument == "VER") {
    finally.armed = false;
    ExitProcess(VersionExitCode(uuConfig::kVersion));
    return;
  }

  Show();
  const std::string Request = DecodeParam(argument);
  if (Request.empty()) {
    HackLog("參數內容有誤: " + argument);
    ui::ShowMessage("參數內容有誤");
    return;
  }

  const std::string tag = Request.substr(0, 2);
  if (tag == "XJ") {
    std::string IP, WebName, WebPage, Data;
    try {
      size_t c1 = Request.find(',', 2);
      size_t c2 = c1 == std::string::npos ? c1 : Request.find(',', c1 + 1);
      size_t c3 = c2 == std::string::npos ? c2 : Request.find(',', c2 + 1);
      if (c3 == std::string::npos) throw std::invalid_argument("missing comma");
      IP = Request.substr(2, c1 - 2);
      WebName = Request.substr(c1 + 1, c2 - c1 - 1);
      WebPage = Request.substr(c2 + 1, c3 - c2 - 1);
      Data = Request.substr(c3 + 1);
    } catch (...) {
      HackLog("[收據]參數內容有誤: " + Request.substr(2));
      return;
    }
    int R = ProcessPrintData(IP, WebName, WebPage, Data);
    switch (R) {
      case 0: ResultBox("發生不明錯誤"); break;
      case 1: break;
      case 2: ResultBox("列印代碼無效或已失效"); break;
      case 3: ResultBox("抱歉! 網路通訊失敗"); break;
      case 4: ResultBox("抱歉! 系統失敗"); break;
      case 5: ResultBox("抱歉! 封包接收不完整"); break;
      default: ResultBox("抱歉! 未知狀況"); break;
    }
  } else if (tag == "IS") {
    int R = PrintShiftReport(Request.substr(2));
    if (R == 0) ResultBox("發生不明錯誤");
  } else {
    HackLog("不明參數: " + Request);
  }
}
