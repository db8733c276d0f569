// regsvr32: registers or unregisters an in-process server by calling its
// DllRegisterServer or DllUnregisterServer.
//   regsvr32 [/u] [/s] FILE
// FILE is a Windows path, or a host path starting with "/". Exit code 0 on
// success; 1 bad arguments, 3 the file cannot be loaded, 4 the entry point
// is missing, 5 the entry point failed. /s keeps quiet.
#include <cstdio>
#include <string>

#include "platform/com/com.h"
#include "platform/process/library.h"
#include "platform/com/registration.h"
#include "platform/process/process.h"
#include "platform/setup/setup.h"
#include "platform/sysroot/codepage.h"
#include "platform/sysroot/sysroot.h"

namespace {

bool g_silent = false;

int Report(int code, const std::string& big5Text) {
  if (!g_silent) std::fprintf(code == 0 ? stdout : stderr, "%s\n", cp::Big5ToUtf8(big5Text).c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  win::InitArguments(argc, argv);
  setup::LayOutMissingRootOnFirstUse();
  bool unregister = false;
  std::string file;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "/u" || a == "/U" || a == "-u") unregister = true;
    else if (a == "/s" || a == "/S" || a == "-s") g_silent = true;
    else if (file.empty()) file = a;
    else return Report(1, "usage: regsvr32 [/u] [/s] FILE");
  }
  if (file.empty()) return Report(1, "usage: regsvr32 [/u] [/s] FILE");
  std::string winFile = file[0] == '/' ? sysroot::WinPath(file) : cp::Utf8ToBig5(file);

  win::HLIBRARY module = win::LoadLibrary(winFile);
  if (!module)
    return Report(3, "LoadLibrary(\"" + winFile + "\") failed: " + cp::Utf8ToBig5(win::LibraryErrorText()));
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto proc = reinterpret_cast<com::DllRegisterServerProc>(win::GetProcAddress(module, entry));
  if (!proc) {
    win::FreeLibrary(module);
    return Report(4, winFile + " was loaded, but the " + entry + " entry point was not found.");
  }
  com::HRESULT hr = proc();
  win::FreeLibrary(module);
  if (com::FAILED(hr)) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return Report(5, std::string(entry) + " in " + winFile + " failed. Return code was: " + code);
  }
  return Report(0, std::string(entry) + " in " + winFile + " succeeded.");
}
