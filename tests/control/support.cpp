#include "support.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "control/ZolmetServer.h"
#include "control/Zolmet_TLB.h"
#include "platform/process/clock.h"
#include "platform/serial/serial.h"
#include "platform/sysroot/sysroot.h"
#include "tests/support/testroot.h"

extern char** environ;
namespace fs = std::filesystem;

namespace control_test {

void Install(const std::string& name, const std::string& winPath) {
  fs::path dst = sysroot::HostPath(winPath);
  fs::create_directories(dst.parent_path());
  fs::copy_file(testing_support::BinPath(name), dst, fs::copy_options::overwrite_existing);
}

void InstallFakePrinter() { Install("zolmet-test-printer", "C:\\Program Files\\Zolmet\\ZolmetPrint.exe"); }

void InstallFakeAdapters(const std::string& adapters) {
  Install("libzolmet-test-iphlpapi.so", "C:\\Windows\\System32\\IPHLPAPI.DLL");
  std::string file = sysroot::Root() + "/adapters.txt";
  testing_support::WriteFile(file, adapters);
  setenv("ZOLMET_TEST_ADAPTERS", file.c_str(), 1);
}

std::string ReadLog(const std::string& kind) {
  std::string dir = sysroot::HostPath("C:\\Zolmet\\Logs\\");
  std::error_code ec;
  std::string suffix = "." + kind + ".txt";
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::string name = e.path().filename().string();
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      return testing_support::ReadFile(e.path().string());
  }
  return "";
}

RunResult Run(const std::string& program, const std::vector<std::string>& args,
              const std::map<std::string, std::string>& extraEnv) {
  std::string outFile = sysroot::Root() + "/.run-out", errFile = sysroot::Root() + "/.run-err";
  std::vector<std::string> argStore{program.find('/') == std::string::npos ? testing_support::BinPath(program) : program};
  argStore.insert(argStore.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string s = *e;
    size_t eq = s.find('=');
    if (eq != std::string::npos) env[s.substr(0, eq)] = s.substr(eq + 1);
  }
  env["ZOLMET_ROOT"] = sysroot::Root();
  for (const auto& [k, v] : extraEnv) env[k] = v;
  std::vector<std::string> envStore;
  for (const auto& [k, v] : env) envStore.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = -1;
  RunResult r;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return r;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  r.out = testing_support::ReadFile(outFile);
  r.err = testing_support::ReadFile(errFile);
  return r;
}

com::HRESULT CallByName(com::IDispatch* object, const std::u16string& member, std::vector<com::VARIANT> args,
                        com::VARIANT& result, com::EXCEPINFO& excep) {
  com::DISPID id = com::DISPID_UNKNOWN;
  com::HRESULT hr = object->GetIDsOfNames(com::IID_NULL, &member, 1, 0x409, &id);
  if (com::FAILED(hr)) return hr;
  com::DISPPARAMS params;
  params.args = std::move(args);
  return object->Invoke(id, com::IID_NULL, 0x409, com::DISPATCH_METHOD | com::DISPATCH_PROPERTYGET, params,
                        &result, &excep, nullptr);
}

com::IDispatch* CreateControl() {
  com::ComPtr<com::IClassFactory> factory;
  if (com::FAILED(control::ZolmetServer::GetClassObject(control::Zolmet_TLB::CLSID_ZolmetStart, com::IID_IClassFactory, factory.out())))
    return nullptr;
  com::IDispatch* object = nullptr;
  if (com::FAILED(factory->CreateInstance(nullptr, com::IID_IDispatch, reinterpret_cast<void**>(&object))))
    return nullptr;
  return object;
}

}  // namespace control_test
