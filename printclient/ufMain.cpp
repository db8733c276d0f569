#include "ufMain.h"

#include <algorithm>
#include <cctype>

#include "common/uuCoding.h"
#include "common/uuCommon.h"
#include "platform/process/process.h"
#include "platform/ui/dialogs.h"
#include "printclient/ufMainReceipt.h"
#include "printclient/uuConfig.h"

namespace printclient {

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
  StartMinute = uuCoding::MinuteCount(win::Now());
  DecodeParam = [this](const std::string& Argument) { return uuCoding::DecodeParam(Argument, StartMinute); };
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
    uuCoding::TReceiptFields f;
    if (!uuCoding::SplitReceiptRequest(Request, f)) {
      HackLog("[收據]參數內容有誤: " + Request.substr(2));
      return;
    }
    const int R = ProcessPrintData(f.IP, f.WebName, f.WebPage, f.Data);
    switch (R) {
      case ufMain::prFault: ResultBox("發生不明錯誤"); break;
      case ufMain::prDone: break;
      case ufMain::prCodeInvalid: ResultBox("列印代碼無效或已失效"); break;
      case ufMain::prDownloadFailed: ResultBox("抱歉! 網路通訊失敗"); break;
      case ufMain::prPrintFailed: ResultBox("抱歉! 系統失敗"); break;
      case ufMain::prIncomplete: ResultBox("抱歉! 封包接收不完整"); break;
      default: ResultBox("抱歉! 未知狀況"); break;
    }
  } else if (tag == "IS") {
    if (PrintShiftReport(Request.substr(2)) == ufMain::prFault) ResultBox("發生不明錯誤");
  } else {
    HackLog("不明參數: " + Request);
  }
}

}  // namespace printclient
