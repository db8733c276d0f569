// ZolmetPrint: the one-shot receipt print program.
#include <exception>
#include <iostream>

#include "common/uuCommon.h"
#include "platform/process/process.h"
#include "platform/sysroot/codepage.h"
#include "platform/ui/forms.h"
#include "printclient/ufMain.h"

namespace {

// Stand-ins until the receipt and shift-report routines are wired in: they
// note the request in the debug log and report it done.
int LogPrintRequest(const std::string& IP, const std::string& WebName, const std::string& WebPage,
                    const std::string& Data) {
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.debug",
                     "ProcessPrintData: " + IP + "," + WebName + "," + WebPage + "," + Data);
  return 1;
}

int LogShiftReport(const std::string& Text) {
  uuCommon::WriteLog(uuCommon::kLogDir, "ZolmetPrint.debug", "PrintShiftReport: " + Text);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  ui::TApplication& Application = ui::Application();
  int code = 0;
  try {
    Application.Initialize();
    Application.ShowMainForm = false;
    Application.SetTitle("Dravik列印器");
    zfMain = Application.CreateForm<TzfMain>();
    zfMain->ProcessPrintData = LogPrintRequest;
    zfMain->PrintShiftReport = LogShiftReport;
    Application.Run();
  } catch (const std::exception& e) {
    std::cerr << "ZolmetPrint: " << cp::Big5ToUtf8(e.what()) << "\n";
    code = 1;
  }
  Application.Shutdown();
  return code;
}
