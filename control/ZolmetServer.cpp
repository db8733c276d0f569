#include "ZolmetServer.h"

#include <new>

#include "Zolmet_TLB.h"
#include "platform/process/process.h"
#include "uuZolmetStart.h"

namespace control::ZolmetServer {

using namespace com;

const char kProgID[] = "Zolmet.ZolmetStart";

namespace {

constexpr DWORD OLEMISC_ACTSLIKELABEL = 0x2000;
constexpr DWORD OLEMISC_SIMPLEFRAME = 0x10000;

// The active-form factory: one per process, never freed.
class TZolmetFactory : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    return QueryOneInterface<IClassFactory>(this, IID_IClassFactory, iid, object);
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }

  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) uuZolmetStart::TZolmetStart();
    if (!control) return E_OUTOFMEMORY;
    HRESULT hr = control->QueryInterface(iid, object);
    static_cast<Zolmet_TLB::IZolmetStart*>(control)->Release();
    return hr;
  }

  HRESULT LockServer(bool lock) override {
    if (lock) ++uuZolmetStart::LockCount;
    else if (uuZolmetStart::LockCount > 0) --uuZolmetStart::LockCount;
    return S_OK;
  }
};

TZolmetFactory g_factory;

}  // namespace

ServerRegistration Registration(const std::string& modulePath) {
  ServerRegistration r;
  r.clsid = Zolmet_TLB::CLSID_ZolmetStart;
  r.description = Zolmet_TLB::ZolmetTypeLib().Find(r.clsid)->helpString;
  r.progId = kProgID;
  r.modulePath = modulePath;
  r.threadingModel = "Apartment";
  r.control = true;
  r.miscStatus = OLEMISC_SIMPLEFRAME | OLEMISC_ACTSLIKELABEL;
  r.toolboxBitmap = 1;
  r.version = "1.0";
  r.typeLib = Zolmet_TLB::LIBID_Zolmet;
  return r;
}

HRESULT GetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(clsid == Zolmet_TLB::CLSID_ZolmetStart)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, object);
}

HRESULT CanUnloadNow() {
  // Print programs it started are collected by this code, so it stays until they end.
  return uuZolmetStart::ObjectCount == 0 && uuZolmetStart::LockCount == 0 && win::RunningChildren() == 0 ? S_OK
                                                                                                         : S_FALSE;
}

HRESULT RegisterServer(const std::string& modulePath) {
  if (modulePath.empty()) return SELFREG_E_CLASS;
  if (!com::EnsureBaseKeys() || !com::RegisterServer(Registration(modulePath))) return SELFREG_E_CLASS;
  if (!com::RegisterTypeLib(Zolmet_TLB::ZolmetTypeLib(), modulePath)) return SELFREG_E_TYPELIB;
  return S_OK;
}

HRESULT UnregisterServer(const std::string& modulePath) {
  if (!com::UnregisterServer(Registration(modulePath))) return SELFREG_E_CLASS;
  if (!com::UnRegisterTypeLib(Zolmet_TLB::ZolmetTypeLib())) return SELFREG_E_TYPELIB;
  return S_OK;
}

}  // namespace control::ZolmetServer
