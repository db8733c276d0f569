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
#include "report/forms/ppRegister.h"

int main(int argc, char** argv) {
  // A write to a closed pipe fails like any other write instead of ending
  // the program before it can log and tell the user.
  std::signal(SIGPIPE, SIG_IGN);
  win::InitArguments(argc, argv);
  setup::LayOutMissingRootOnFirstUse();
  // The report library's classes, devices ("Printer") and dialogs (the
  // cancel dialog), every layer from the forms down.
  ppRegisterForms();
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
      return ufMain::ProcessPrintData(IP, WebName, WebPage, Data,
                                      [](int Lines, const std::string& Barcode, const std::string& Text,
                                         std::string& Cause) {
                                        return zfMain && zfMain->PrintReceipt(Lines, Barcode, Text, &Cause);
                                      });
    };
    Application.Run();
  } catch (const std::exception& e) {
    std::cerr << "ZolmetPrint: " << ui::ForTerminal(e.what()) << "\n";
    code = 1;
  }
  Application.Shutdown();
  return code;
}
