#include "uuZolmetStart.h"

#include <exception>
#include <time.h>

#include "platform/gdi/colors.h"
#include "platform/sysroot/codepage.h"
#include "uuIdentity.h"
#include "uuInvoice.h"
#include "uuPrintMethods.h"

namespace control::uuZolmetStart {

std::string& ModulePath() {
  static std::string path;
  return path;
}
std::atomic<long> ObjectCount{0};
std::atomic<long> LockCount{0};

using namespace com;
using namespace Zolmet_TLB;

namespace {

// The Color property is an OLE_COLOR: a system colour is 0x80000000 | its
// index, where the class library's TColor holds it as 0xFF000000 | index;
// any other colour is 0x00BBGGRR in both.
constexpr std::int32_t OleColor(gdi::TColor c) {
  return gdi::IsSystemColor(c) ? static_cast<std::int32_t>(0x80000000u | (static_cast<std::uint32_t>(c) & 0xFFu)) : c;
}
static_assert(OleColor(gdi::clBtnFace) == static_cast<std::int32_t>(0x8000000Fu));
static_assert(OleColor(gdi::clRed) == 0x0000FF);

std::string ToAnsi(const BSTR& s) { return cp::Utf16ToBig5(s); }
BSTR ToWide(const std::string& s) { return cp::Big5ToUtf16(s); }

// Runs a method body; an exception it lets escape becomes a failing result
// with the exception's text as the error description.
template <class F>
HRESULT SafeCall(F&& body) {
  try {
    body();
    return S_OK;
  } catch (const std::exception& e) {
    SetErrorInfo(u"Zolmet", ToWide(e.what()));
    return E_FAIL;
  } catch (...) {
    SetErrorInfo(u"Zolmet", u"Unknown exception");
    return E_UNEXPECTED;
  }
}

VARIANT ToVariant(VARIANT_BOOL v) { return VARIANT::Bool(v != 0); }
VARIANT ToVariant(std::int32_t v) { return VARIANT::I4(v); }
VARIANT ToVariant(const BSTR& v) { return VARIANT::Str(v); }

// Calls a member that hands its value back through an out pointer and puts
// the value in RET.
template <class T, class Call>
HRESULT Returning(VARIANT& ret, Call&& call) {
  T v{};
  HRESULT r = call(&v);
  ret = ToVariant(v);
  return r;
}

template <class T>
T FromVariant(const VARIANT& v);
template <>
VARIANT_BOOL FromVariant<VARIANT_BOOL>(const VARIANT& v) { return v.boolVal ? VARIANT_TRUE : VARIANT_FALSE; }
template <>
std::int32_t FromVariant<std::int32_t>(const VARIANT& v) { return v.lVal; }
template <>
BSTR FromVariant<BSTR>(const VARIANT& v) { return v.bstrVal; }

std::uint32_t ClockSeed() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return static_cast<std::uint32_t>(ts.tv_sec) * 1000003u ^ static_cast<std::uint32_t>(ts.tv_nsec);
}

}  // namespace

TZolmetStart::TZolmetStart() {
  ++ObjectCount;
  FVisible = VARIANT_TRUE;
  FAxBorderStyle = afbNone;
  FCaption = u"ZolmetStart";
  FColor = OleColor(gdi::clBtnFace);
  FFont = u"MS Sans Serif";
  FPixelsPerInch = 96;
  FPrintScale = poProportional;
  FScaled = VARIANT_TRUE;
  FSnapBuffer = 10;
  FEnabled = VARIANT_TRUE;
  Initialize();
  DefinePropertyPages();
  ActiveFormCreate();
  Fire(OnCreate);
}

TZolmetStart::~TZolmetStart() {
  Fire(OnDestroy);
  if (events_) events_->Release();
  --ObjectCount;
}

void TZolmetStart::ActiveFormCreate() { random_.seed(ClockSeed()); }

void TZolmetStart::DefinePropertyPages() {}

void TZolmetStart::EventSinkChanged(IDispatch* sink) {
  if (sink) sink->AddRef();
  if (events_) events_->Release();
  events_ = sink;
}

void TZolmetStart::Initialize() {
  auto fires = [this](DISPID id) {
    return [this, id] {
      DISPPARAMS p;
      FireEvent(id, p);
    };
  };
  OnActivate = fires(DISPID_OnActivate);
  OnClick = fires(DISPID_OnClick);
  OnCreate = fires(DISPID_OnCreate);
  OnDblClick = fires(DISPID_OnDblClick);
  OnDestroy = fires(DISPID_OnDestroy);
  OnDeactivate = fires(DISPID_OnDeactivate);
  OnPaint = fires(DISPID_OnPaint);
  OnKeyPress = [this](char& key) {
    std::int16_t k = static_cast<unsigned char>(key);
    DISPPARAMS p;
    p.args.push_back(VARIANT::I2Ref(&k));
    FireEvent(DISPID_OnKeyPress, p);
    key = static_cast<char>(k);
  };
}

void TZolmetStart::FireEvent(DISPID id, DISPPARAMS& params) {
  if (!events_) return;
  // Keep the sink while it runs: it may disconnect itself.
  IDispatch* sink = events_;
  sink->AddRef();
  EXCEPINFO excep;
  sink->Invoke(id, IID_NULL, 0x409, DISPATCH_METHOD, params, nullptr, &excep, nullptr);
  sink->Release();
}

HRESULT TZolmetStart::QueryInterface(const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IZolmetStart)
    *object = static_cast<IZolmetStart*>(this);
  else if (iid == IID_IObjectSafety)
    *object = static_cast<IObjectSafety*>(this);
  else if (iid == IID_IConnectionPointContainer)
    *object = static_cast<IConnectionPointContainer*>(this);
  else
    return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

ULONG TZolmetStart::AddRef() { return ++refCount_; }

ULONG TZolmetStart::Release() {
  ULONG n = --refCount_;
  if (n == 0) {
    // Held while it goes: a page that touches it from its last event must
    // not start a second destruction.
    refCount_ = 1;
    delete this;
  }
  return n;
}

HRESULT TZolmetStart::GetTypeInfoCount(unsigned* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

HRESULT TZolmetStart::GetTypeInfo(unsigned index, LCID, const TypeInfo** info) {
  if (!info) return E_POINTER;
  *info = nullptr;
  if (index != 0) return Hr(0x8002000B);  // DISP_E_BADINDEX
  *info = &IZolmetStartInfo();
  return S_OK;
}

HRESULT TZolmetStart::GetIDsOfNames(const IID&, const std::u16string* names, unsigned count, LCID,
                                    DISPID* ids) {
  return com::GetIDsOfNames(IZolmetStartInfo(), names, count, ids);
}

HRESULT TZolmetStart::Invoke(DISPID id, const IID&, LCID, std::uint16_t flags, DISPPARAMS& params,
                             VARIANT* result, EXCEPINFO* excep, unsigned* argErr) {
  AddRef();  // a method may make the page drop its last reference
  HRESULT hr = InvokeByType(IZolmetStartInfo(), id, flags, params, result, excep, argErr,
                            [this](const FuncDesc& f, std::vector<VARIANT>& a, VARIANT& ret) -> HRESULT {
    switch (f.id) {
#define ZOLMET_PROPERTY_CASE(name, pid, vt, type)                        \
  case pid:                                                              \
    if (f.kind == InvokeKind::PropGet)                                   \
      return Returning<type>(ret, [&](type* v) { return get_##name(v); }); \
    return put_##name(FromVariant<type>(a[0]));
      ZOLMET_FORM_PROPERTIES(ZOLMET_PROPERTY_CASE)
#undef ZOLMET_PROPERTY_CASE
      case DISPID_Print:
        return Returning<std::int32_t>(ret, [&](auto* v) {
          return Print(a[0].bstrVal, a[1].bstrVal, a[2].bstrVal, a[3].bstrVal, v);
        });
      case DISPID_PrintTurn: return Returning<std::int32_t>(ret, [&](auto* v) { return PrintTurn(a[0].bstrVal, v); });
      case DISPID_GetInfoSize: return Returning<std::int32_t>(ret, [&](auto* v) { return GetInfoSize(v); });
      case DISPID_GetInfo: return Returning<BSTR>(ret, [&](auto* v) { return GetInfo(a[0].lVal, v); });
      case DISPID_Invoice: return Returning<BSTR>(ret, [&](auto* v) { return Invoice(a[0].bstrVal, v); });
      case DISPID_GetIPInfo: return Returning<BSTR>(ret, [&](auto* v) { return GetIPInfo(v); });
      case DISPID_GetVer: return Returning<BSTR>(ret, [&](auto* v) { return GetVer(v); });
      case DISPID_GetPrinterVer: return Returning<BSTR>(ret, [&](auto* v) { return GetPrinterVer(v); });
      case DISPID_GetInnerVer: return Returning<BSTR>(ret, [&](auto* v) { return GetInnerVer(v); });
      case DISPID_GetFileName: return Returning<BSTR>(ret, [&](auto* v) { return GetFileName(v); });
      default: return DISP_E_MEMBERNOTFOUND;
    }
  });
  Release();
  return hr;
}

#define ZOLMET_DEFINE_ACCESSORS(name, id, vt, type)                   \
  HRESULT TZolmetStart::get_##name(type* Value) {                     \
    if (!Value) return E_POINTER;                                     \
    *Value = F##name;                                                 \
    return S_OK;                                                      \
  }                                                                   \
  HRESULT TZolmetStart::put_##name(const type& Value) {               \
    F##name = Value;                                                  \
    return S_OK;                                                      \
  }
ZOLMET_FORM_PROPERTIES(ZOLMET_DEFINE_ACCESSORS)
#undef ZOLMET_DEFINE_ACCESSORS

HRESULT TZolmetStart::Print(const BSTR& IP, const BSTR& WebName, const BSTR& WebPage, const BSTR& Data,
                            std::int32_t* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = uuPrintMethods::Print(ToAnsi(IP), ToAnsi(WebName), ToAnsi(WebPage), ToAnsi(Data)); });
}

HRESULT TZolmetStart::PrintTurn(const BSTR& Data, std::int32_t* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = uuPrintMethods::PrintTurn(ToAnsi(Data)); });
}

HRESULT TZolmetStart::GetInfo(std::int32_t n, BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuIdentity::GetInfo(n, random_)); });
}

HRESULT TZolmetStart::GetIPInfo(BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuIdentity::GetIPInfo()); });
}

HRESULT TZolmetStart::GetInfoSize(std::int32_t* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = uuIdentity::GetInfoSize(); });
}

HRESULT TZolmetStart::GetVer(BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuPrintMethods::GetVer(ModulePath())); });
}

HRESULT TZolmetStart::GetPrinterVer(BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuPrintMethods::GetPrinterVer()); });
}

HRESULT TZolmetStart::GetInnerVer(BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuPrintMethods::kInnerVersion); });
}

HRESULT TZolmetStart::GetFileName(BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(ModulePath()); });
}

HRESULT TZolmetStart::Invoice(const BSTR& Data, BSTR* Value) {
  if (!Value) return E_POINTER;
  return SafeCall([&] { *Value = ToWide(uuInvoice::Invoice(ToAnsi(Data))); });
}

HRESULT TZolmetStart::GetInterfaceSafetyOptions(const IID& riid, DWORD* supported, DWORD* enabled) {
  if (!supported || !enabled) return E_POINTER;
  void* unk = nullptr;
  HRESULT hr = QueryInterface(riid, &unk);
  if (SUCCEEDED(hr)) {
    static_cast<IZolmetStart*>(this)->Release();
    *supported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;
    *enabled = safetyOptions_ & *supported;
  } else {
    *supported = 0;
    *enabled = 0;
  }
  return hr;
}

HRESULT TZolmetStart::SetInterfaceSafetyOptions(const IID& riid, DWORD mask, DWORD enabled) {
  void* unk = nullptr;
  HRESULT hr = QueryInterface(riid, &unk);
  if (SUCCEEDED(hr)) {
    static_cast<IZolmetStart*>(this)->Release();
    safetyOptions_ = enabled & mask;
  }
  return hr;
}

HRESULT TZolmetStart::FindConnectionPoint(const IID& iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  if (!(iid == DIID_IZolmetStartEvents)) return CONNECT_E_NOCONNECTION;
  *point = &eventPoint_;
  AddRef();
  return S_OK;
}

HRESULT TZolmetStart::TEventPoint::QueryInterface(const IID& iid, void** object) {
  return QueryOneInterface<IConnectionPoint>(this, IID_IConnectionPoint, iid, object);
}

HRESULT TZolmetStart::TEventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = DIID_IZolmetStartEvents;
  return S_OK;
}

HRESULT TZolmetStart::TEventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!sink || !cookie) return E_POINTER;
  *cookie = 0;
  if (owner_.events_) return CONNECT_E_ADVISELIMIT;
  ComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(DIID_IZolmetStartEvents, events.out())) &&
      FAILED(sink->QueryInterface(IID_IDispatch, events.out())))
    return CONNECT_E_CANNOTCONNECT;
  owner_.EventSinkChanged(events.get());
  *cookie = 1;
  return S_OK;
}

HRESULT TZolmetStart::TEventPoint::Unadvise(DWORD cookie) {
  if (cookie != 1 || !owner_.events_) return CONNECT_E_NOCONNECTION;
  owner_.EventSinkChanged(nullptr);
  return S_OK;
}

}  // namespace control::uuZolmetStart
