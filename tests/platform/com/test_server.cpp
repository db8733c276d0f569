// An in-process server for the COM tests: one dispatch class with a sum, a
// property and a member that fails; it counts its live objects and locks.
#include <atomic>

#include "platform/com/com.h"
#include "platform/com/typeinfo.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

using namespace com;

EXPORT HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object);
EXPORT HRESULT DllCanUnloadNow();
EXPORT long TestLiveObjects();

namespace {

const CLSID kClsid = MakeGuid("{5A3C0E61-7F0D-4C41-9C3B-0D2E7A10B001}");
std::atomic<long> g_objects{0}, g_locks{0};

const TypeInfo& Type() {
  static const TypeInfo t = [] {
    TypeInfo i;
    i.name = "ITest";
    i.kind = TypeKind::Dual;
    i.funcs.push_back({"Sum", 1, InvokeKind::Method, {{"a", VT_I4}, {"b", VT_I2}}, VT_I4});
    i.funcs.push_back({"Caption", 2, InvokeKind::PropGet, {}, VT_BSTR});
    i.funcs.push_back({"Caption", 2, InvokeKind::PropPut, {{"Value", VT_BSTR}}, VT_EMPTY});
    i.funcs.push_back({"Fail", 3, InvokeKind::Method, {{"how", VT_I4}}, VT_EMPTY});
    return i;
  }();
  return t;
}

class Object : public IDispatch {
 public:
  Object() { ++g_objects; }
  virtual ~Object() { --g_objects; }
  HRESULT QueryInterface(const IID& iid, void** object) override {
    return QueryOneInterface<IDispatch>(this, IID_IDispatch, iid, object);
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT GetTypeInfoCount(unsigned* count) override {
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(unsigned, LCID, const TypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const IID&, const std::u16string* names, unsigned count, LCID, DISPID* ids) override {
    return com::GetIDsOfNames(Type(), names, count, ids);
  }
  HRESULT Invoke(DISPID id, const IID&, LCID, std::uint16_t flags, DISPPARAMS& params, VARIANT* result,
                 EXCEPINFO* excep, unsigned* argErr) override {
    return InvokeByType(Type(), id, flags, params, result, excep, argErr,
                        [this](const FuncDesc& f, std::vector<VARIANT>& a, VARIANT& ret) -> HRESULT {
                          if (f.id == 1) {
                            ret = VARIANT::I4(a[0].lVal + a[1].iVal);
                          } else if (f.id == 2 && f.kind == InvokeKind::PropGet) {
                            ret = VARIANT::Str(caption_);
                          } else if (f.id == 2) {
                            caption_ = a[0].bstrVal;
                          } else if (a[0].lVal <= 1) {  // Fail(1) says why; Fail(0) says it and succeeds
                            SetErrorInfo(u"Test", u"the printer is off");
                            return a[0].lVal ? E_FAIL : S_OK;
                          } else {  // Fail(2) says nothing
                            return E_OUTOFMEMORY;
                          }
                          return S_OK;
                        });
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::u16string caption_;
};

class Factory : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    return QueryOneInterface<IClassFactory>(this, IID_IClassFactory, iid, object);
  }
  // The factory is static: its references are server locks.
  ULONG AddRef() override { return static_cast<ULONG>(++g_locks); }
  ULONG Release() override { return static_cast<ULONG>(--g_locks); }
  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* o = new Object;
    HRESULT hr = o->QueryInterface(iid, object);
    o->Release();
    return hr;
  }
  HRESULT LockServer(bool lock) override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

HRESULT DllGetClassObject(const CLSID* clsid, const IID* iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(*clsid == kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(*iid, object);
}

HRESULT DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

long TestLiveObjects() { return g_objects; }
