#include "setup.h"

#include <cerrno>
#include <system_error>
#include <unistd.h>

#include "platform/com/registration.h"
#include "platform/serial/serial.h"
#include "platform/spool/printerdef.h"
#include "platform/sysroot/fileio.h"
#include "platform/sysroot/layout.h"
#include "platform/sysroot/sysroot.h"

namespace setup {
namespace {

std::string Cause() { return ": " + std::error_code(errno, std::generic_category()).message(); }

// The folder of the running program, where the build puts the system tools.
std::string ProgramFolder() {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  self[n] = 0;
  std::string path = self;
  return path.substr(0, path.rfind('/'));
}

// Copies the tool FROM to the system folder as NAME unless it is there as is.
bool InstallTool(const std::string& root, const std::string& from, const std::string& name, mode_t mode,
                 std::vector<std::string>& added, std::string& error) {
  std::string data, old;
  if (!sysroot::ReadHostFile(from, data)) {
    error = "cannot read " + from + Cause();
    return false;
  }
  std::string target = root + "/C/Windows/System32/" + name;
  if (sysroot::ReadHostFile(target, old) && old == data) return true;
  if (!sysroot::ReplaceFile(target, data, mode)) {
    error = "cannot write " + target + Cause();
    return false;
  }
  added.push_back("C:\\Windows\\System32\\" + name);
  return true;
}

bool LayOutSystemFiles(const std::string& root, std::vector<std::string>& added, std::string& error) {
  std::string bin = ProgramFolder();
  if (!InstallTool(root, bin + "/regsvr32", "regsvr32.exe", 0755, added, error) ||
      !InstallTool(root, bin + "/IPHLPAPI.DLL", "IPHLPAPI.DLL", 0755, added, error))
    return false;
  // The "mode" command; the platform applies its parameters itself.
  std::string mode = root + "/C/Windows/System32/mode.com", text;
  if (!sysroot::ReadHostFile(mode, text) || text != "mode: serial line parameters\n") {
    if (!sysroot::ReplaceFile(mode, "mode: serial line parameters\n")) {
      error = "cannot write " + mode + Cause();
      return false;
    }
    added.push_back("C:\\Windows\\System32\\mode.com");
  }
  if (access(serial::PortMapFile().c_str(), F_OK) != 0) {
    if (!serial::WriteDefaultPortMap(root)) {
      error = "cannot write " + serial::PortMapFile() + Cause();
      return false;
    }
    added.push_back("ports.ini");
  }
  if (!com::EnsureBaseKeys(&added)) {
    error = "cannot write the registry under " + root;
    return false;
  }
  return true;
}

bool LayOutDemoPrinter(std::vector<std::string>& added, std::string& error) {
  const spool::PrinterDef demo = spool::DemoReceiptPrinter();
  spool::PrinterDef there;
  if (!spool::LoadPrinter(demo.name, there) ||
      spool::FormatDefinition(there) != spool::FormatDefinition(demo)) {
    if (!spool::InstallPrinter(demo)) {
      error = "cannot install the printer " + demo.name;
      return false;
    }
    added.push_back("printer " + demo.name);
  }
  if (spool::GetProfileString("windows", "device", "").empty()) {
    if (!spool::SetDefaultPrinter(demo.name)) {
      error = "cannot make " + demo.name + " the default printer";
      return false;
    }
    added.push_back("default printer " + demo.name);
  }
  return true;
}

}  // namespace

bool LayOutRoot(const std::string& root, std::vector<std::string>& added, std::string& error) {
  sysroot::ThreadRoot scope(root);
  if (!sysroot::LayOut(root, &added)) {
    error = "cannot make the folders of " + root + Cause();
    return false;
  }
  return LayOutSystemFiles(root, added, error) && LayOutDemoPrinter(added, error);
}

void LayOutMissingRootOnFirstUse() {
  sysroot::SetFirstRunLayOut([](const std::string& root, std::string& error) {
    std::vector<std::string> added;
    return LayOutRoot(root, added, error);
  });
}

}  // namespace setup
