// Zolmet.ocx: the four entry points of the in-process server.
#include "ZolmetServer.h"
#include "platform/process/library.h"
#include "uuZolmetStart.h"

#define ZOLMET_EXPORT extern "C" __attribute__((visibility("default")))

ZOLMET_EXPORT com::HRESULT DllGetClassObject(const com::CLSID* clsid, const com::IID* iid, void** object);
ZOLMET_EXPORT com::HRESULT DllCanUnloadNow();
ZOLMET_EXPORT com::HRESULT DllRegisterServer();
ZOLMET_EXPORT com::HRESULT DllUnregisterServer();

namespace {

// The library's file name, taken when it is loaded.
__attribute__((constructor)) void TakeModulePath() {
  control::uuZolmetStart::ModulePath() = win::ModuleFileNameOf(reinterpret_cast<const void*>(&DllGetClassObject));
}

}  // namespace

com::HRESULT DllGetClassObject(const com::CLSID* clsid, const com::IID* iid, void** object) {
  if (!object) return com::E_POINTER;
  *object = nullptr;
  if (!clsid || !iid) return com::E_INVALIDARG;
  return control::ZolmetServer::GetClassObject(*clsid, *iid, object);
}

com::HRESULT DllCanUnloadNow() { return control::ZolmetServer::CanUnloadNow(); }

com::HRESULT DllRegisterServer() { return control::ZolmetServer::RegisterServer(control::uuZolmetStart::ModulePath()); }

com::HRESULT DllUnregisterServer() { return control::ZolmetServer::UnregisterServer(control::uuZolmetStart::ModulePath()); }
