// ZolmetInstall: installs or updates the print program and the browser
// control from its own resources.
#include <exception>
#include <iostream>

#include "installer/ufMain.h"
#include "platform/process/process.h"
#include "platform/setup/setup.h"
#include "platform/ui/dialogs.h"
#include "platform/ui/forms.h"

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  setup::LayOutMissingRootOnFirstUse();
  ui::TApplication& Application = ui::Application();
  int code = 0;
  try {
    Application.Initialize();
    Application.SetTitle("Dravik ActiveX 安裝包");
    installer::zfMain = Application.CreateForm<installer::TzfMain>();
    Application.Run();
  } catch (const std::exception& e) {
    std::cerr << "ZolmetInstall: " << ui::ForTerminal(e.what()) << "\n";
    code = 1;
  }
  Application.Shutdown();
  return code;
}
