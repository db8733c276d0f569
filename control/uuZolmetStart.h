// The control: the active form TZolmetStart behind IZolmetStart, with its
// events, IObjectSafety and its connection point for the page's event sink.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "Zolmet_TLB.h"

namespace control::uuZolmetStart {

// Full file name of the loaded control file (set when the library loads).
std::string& ModulePath();

// Live objects and server locks, for DllCanUnloadNow.
extern std::atomic<long> ObjectCount;
extern std::atomic<long> LockCount;

using com::BSTR;
using com::DWORD;
using com::HRESULT;
using com::IID;
using com::ULONG;
using com::VARIANT_BOOL;

class TZolmetStart final : public Zolmet_TLB::IZolmetStart,
                     public com::IObjectSafety,
                     public com::IConnectionPointContainer {
 public:
  TZolmetStart();  // holds one reference
  TZolmetStart(const TZolmetStart&) = delete;
  TZolmetStart& operator=(const TZolmetStart&) = delete;

  // IUnknown
  HRESULT QueryInterface(const IID& iid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

  // IDispatch
  HRESULT GetTypeInfoCount(unsigned* count) override;
  HRESULT GetTypeInfo(unsigned index, com::LCID lcid, const com::TypeInfo** info) override;
  HRESULT GetIDsOfNames(const IID& riid, const std::u16string* names, unsigned count, com::LCID lcid,
                        com::DISPID* ids) override;
  HRESULT Invoke(com::DISPID id, const IID& riid, com::LCID lcid, std::uint16_t flags, com::DISPPARAMS& params,
                 com::VARIANT* result, com::EXCEPINFO* excep, unsigned* argErr) override;

  // IZolmetStart: form properties (stored values) and the methods.
#define ZOLMET_OVERRIDE_ACCESSORS(name, id, vt, type) \
  HRESULT get_##name(type* Value) override;           \
  HRESULT put_##name(const type& Value) override;
  ZOLMET_FORM_PROPERTIES(ZOLMET_OVERRIDE_ACCESSORS)
#undef ZOLMET_OVERRIDE_ACCESSORS
  HRESULT Print(const BSTR& IP, const BSTR& WebName, const BSTR& WebPage, const BSTR& Data,
                std::int32_t* Value) override;
  HRESULT GetInfo(std::int32_t n, BSTR* Value) override;
  HRESULT GetIPInfo(BSTR* Value) override;
  HRESULT PrintTurn(const BSTR& Data, std::int32_t* Value) override;
  HRESULT GetVer(BSTR* Value) override;
  HRESULT GetInfoSize(std::int32_t* Value) override;
  HRESULT GetPrinterVer(BSTR* Value) override;
  HRESULT GetInnerVer(BSTR* Value) override;
  HRESULT GetFileName(BSTR* Value) override;
  HRESULT Invoice(const BSTR& Data, BSTR* Value) override;

  // IObjectSafety
  HRESULT GetInterfaceSafetyOptions(const IID& riid, DWORD* supported, DWORD* enabled) override;
  HRESULT SetInterfaceSafetyOptions(const IID& riid, DWORD mask, DWORD enabled) override;

  // IConnectionPointContainer
  HRESULT FindConnectionPoint(const IID& iid, com::IConnectionPoint** point) override;

  // The active form's own operations.
  void DefinePropertyPages();                    // adds no property page
  void EventSinkChanged(com::IDispatch* sink);   // keeps the page's sink
  void Initialize();                             // hooks the form's events to the firers

  // What the form's window reports; each reaches the page's sink when one
  // is connected. KeyPress hands the key to the page and takes back the
  // key the page leaves.
  void Activate() { Fire(OnActivate); }
  void Click() { Fire(OnClick); }
  void DblClick() { Fire(OnDblClick); }
  void Deactivate() { Fire(OnDeactivate); }
  void Paint() { Fire(OnPaint); }
  void KeyPress(char& key) {
    if (OnKeyPress) OnKeyPress(key);
  }

  // The form's size in pixels.
  static constexpr int kWidth = 219, kHeight = 125;

 private:
  ~TZolmetStart();

  class TEventPoint : public com::IConnectionPoint {
   public:
    explicit TEventPoint(TZolmetStart& owner) : owner_(owner) {}
    HRESULT QueryInterface(const IID& iid, void** object) override;
    ULONG AddRef() override { return owner_.AddRef(); }
    ULONG Release() override { return owner_.Release(); }
    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT Advise(com::IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;

   private:
    TZolmetStart& owner_;
  };

  static void Fire(const std::function<void()>& handler) {
    if (handler) handler();
  }
  void FireEvent(com::DISPID id, com::DISPPARAMS& params);
  void ActiveFormCreate();

  std::atomic<ULONG> refCount_{1};
  TEventPoint eventPoint_{*this};
  com::IDispatch* events_ = nullptr;  // the page's sink, one reference
  DWORD safetyOptions_ = 0;
  std::mt19937 random_;

  // Form events, hooked by Initialize.
  std::function<void()> OnActivate, OnClick, OnCreate, OnDblClick, OnDestroy, OnDeactivate, OnPaint;
  std::function<void(char&)> OnKeyPress;

#define ZOLMET_PROPERTY_FIELD(name, id, vt, type) type F##name{};
  ZOLMET_FORM_PROPERTIES(ZOLMET_PROPERTY_FIELD)
#undef ZOLMET_PROPERTY_FIELD
};

}  // namespace control::uuZolmetStart
