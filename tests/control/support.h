// Helpers of the control's tests: installing built files into a system
// root, pseudo-terminals standing for serial ports, running programs, and
// calling the control by name.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "platform/com/com.h"
#include "tests/support/pty.h"

namespace control_test {

using testing_support::Pty;

// Copies the built file NAME to WINPATH under the current system root.
void Install(const std::string& name, const std::string& winPath);
// The print program stand-in at "C:\Program Files\Zolmet\ZolmetPrint.exe".
void InstallFakePrinter();
// The stand-in IP helper as the system folder's IPHLPAPI.DLL, reading
// ADAPTERS (lines as fake_iphlpapi.cpp describes).
void InstallFakeAdapters(const std::string& adapters);

// The day's control log of KIND ("Zolmet.err", "Zolmet.debug"); '' when none.
std::string ReadLog(const std::string& kind);

struct RunResult {
  int exitCode = -1;
  std::string out, err;
};
// Runs a built program (or the program at a host path) with the current
// system root and EXTRAENV; waits.
RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& extraEnv = {});

// Calls MEMBER of OBJECT with ARGS by name, as a script does.
com::HRESULT CallByName(com::IDispatch* object, const std::u16string& member, std::vector<com::VARIANT> args,
                        com::VARIANT& result, com::EXCEPINFO& excep);

// Creates the control through its class factory.
com::IDispatch* CreateControl();

}  // namespace control_test
