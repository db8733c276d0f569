// ZolmetPrint: the one-shot receipt print program.
#include <csignal>
#include <exception>
#include <iostream>

#include "platform/process/process.h"
#include "platform/setup/setup.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"
#include "printclient/ufMain.h"
#include "printclient/ufMainReceipt.h"
#include "report/output/ppRegister.h"

namespace {

// Receipts are not laid out yet: each checked receipt goes to standard
// output (UTF-8), bar code first.
bool WriteReceipt(int Lines, const std::string& Barcode, const std::string& Text) {
  std::cout << "--- receipt (" << Lines << " lines) " << (Barcode.empty() ? "no bar code" : ui::ForTerminal(Barcode))
            << "\n" << ui::ForTerminal(Text) << "\n" << std::flush;
  return static_cast<bool>(std::cout);
}

}  // namespace

int main(int argc, char** argv) {
  // A write to a closed pipe fails like any other write instead of ending
  // the program before it can log and tell the user.
  std::signal(SIGPIPE, SIG_IGN);
  win::InitArguments(argc, argv);
  setup::LayOutMissingRootOnFirstUse();
  ppRegisterOutput();
  ui::TApplication& Application = ui::Application();
  int code = 0;
  try {
    Application.Initialize();
    Application.ShowMainForm = false;
    Application.SetTitle("Dravik列印器");
    using namespace printclient;
    zfMain = Application.CreateForm<TzfMain>();
    zfMain->ProcessPrintData = [](const std::string& IP, const std::string& WebName,
                                  const std::string& WebPage, const std::string& Data) {
      return ufMain::ProcessPrintData(IP, WebName, WebPage, Data, WriteReceipt);
    };
    zfMain->PrintShiftReport = [](const std::string& Text) {
      return ufMain::PrintShiftReport(Text, WriteReceipt);
    };
    Application.Run();
  } catch (const std::exception& e) {
    std::cerr << "ZolmetPrint: " << ui::ForTerminal(e.what()) << "\n";
    code = 1;
  }
  Application.Shutdown();
  return code;
}
