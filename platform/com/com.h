// COM in the shape an in-process server and its host need: GUIDs, result
// codes, reference-counted interfaces, variants for dispatch calls, class
// factories, connection points for events and IObjectSafety.
//
// Both sides are built by the same compiler, so interfaces are C++ abstract
// classes and strings are std::u16string (the BSTR of this platform).
// Dispatch arguments are passed left to right.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace com {

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using DISPID = std::int32_t;
using LCID = std::uint32_t;
using BSTR = std::u16string;

constexpr HRESULT Hr(std::uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = Hr(0x80004001);
constexpr HRESULT E_NOINTERFACE = Hr(0x80004002);
constexpr HRESULT E_POINTER = Hr(0x80004003);
constexpr HRESULT E_FAIL = Hr(0x80004005);
constexpr HRESULT E_UNEXPECTED = Hr(0x8000FFFF);
constexpr HRESULT E_OUTOFMEMORY = Hr(0x8007000E);
constexpr HRESULT E_INVALIDARG = Hr(0x80070057);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = Hr(0x80020003);
constexpr HRESULT DISP_E_PARAMNOTFOUND = Hr(0x80020004);
constexpr HRESULT DISP_E_TYPEMISMATCH = Hr(0x80020005);
constexpr HRESULT DISP_E_UNKNOWNNAME = Hr(0x80020006);
constexpr HRESULT DISP_E_EXCEPTION = Hr(0x80020009);
constexpr HRESULT DISP_E_OVERFLOW = Hr(0x8002000A);
constexpr HRESULT DISP_E_BADPARAMCOUNT = Hr(0x8002000E);
constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = Hr(0x8002802B);
constexpr HRESULT CLASS_E_NOAGGREGATION = Hr(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = Hr(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = Hr(0x80040154);
constexpr HRESULT CONNECT_E_NOCONNECTION = Hr(0x80040200);
constexpr HRESULT CONNECT_E_ADVISELIMIT = Hr(0x80040201);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = Hr(0x80040202);
constexpr HRESULT SELFREG_E_TYPELIB = Hr(0x80040200);
constexpr HRESULT SELFREG_E_CLASS = Hr(0x80040201);

inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline bool FAILED(HRESULT hr) { return hr < 0; }

// A short English text for a result code ("" when unknown).
std::string HResultText(HRESULT hr);

struct GUID {
  std::uint32_t Data1 = 0;
  std::uint16_t Data2 = 0, Data3 = 0;
  std::uint8_t Data4[8] = {};
  friend bool operator==(const GUID& a, const GUID& b);
};
using IID = GUID;
using CLSID = GUID;

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without braces, any case.
bool GuidFromString(std::string_view text, GUID& out);
// The same, from a literal known to be well formed.
GUID MakeGuid(std::string_view text);
// Upper case, with braces.
std::string GuidToString(const GUID& g);

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;
extern const IID IID_IClassFactory;
extern const IID IID_IObjectSafety;
extern const IID IID_IConnectionPointContainer;
extern const IID IID_IConnectionPoint;
extern const GUID CLSID_PSOAInterface;  // the automation marshaller of dual interfaces
extern const GUID LIBID_StdOle;         // the standard OLE automation library

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// QueryInterface of an object that offers one interface beside IUnknown,
// the one whose id is WANT: hands out SELF with a reference.
template <class I>
HRESULT QueryOneInterface(I* self, const IID& want, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!(iid == IID_IUnknown) && !(iid == want)) return E_NOINTERFACE;
  *object = self;
  self->AddRef();
  return S_OK;
}

// Variant types used by dispatch calls.
enum VARTYPE : std::uint16_t {
  VT_EMPTY = 0,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_BOOL = 11,
  VT_UNKNOWN = 13,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_BYREF = 0x4000,
};
using VARIANT_BOOL = std::int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
  std::uint16_t vt = VT_EMPTY;
  std::int32_t lVal = 0;         // VT_I4
  std::int16_t iVal = 0;         // VT_I2
  VARIANT_BOOL boolVal = 0;      // VT_BOOL
  BSTR bstrVal;                  // VT_BSTR
  std::int16_t* piVal = nullptr; // VT_BYREF | VT_I2
  IUnknown* punkVal = nullptr;   // VT_UNKNOWN / VT_DISPATCH (not owned)

  static VARIANT I4(std::int32_t v);
  static VARIANT I2(std::int16_t v);
  static VARIANT Bool(bool v);
  static VARIANT Str(BSTR v);
  static VARIANT I2Ref(std::int16_t* p);
};

// Converts V to type VT (VT_I2, VT_I4, VT_BOOL or VT_BSTR) as automation
// does: numbers from decimal text and back, booleans as -1/0. False with
// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW in HR when it cannot.
bool ChangeType(const VARIANT& v, std::uint16_t vt, VARIANT& out, HRESULT& hr);
// The variant as text (for a host printing results).
std::u16string VariantText(const VARIANT& v);

struct DISPPARAMS {
  std::vector<VARIANT> args;  // left to right
};

struct EXCEPINFO {
  std::uint16_t wCode = 0;
  BSTR bstrSource;
  BSTR bstrDescription;
  HRESULT scode = S_OK;
};

constexpr std::uint16_t DISPATCH_METHOD = 1;
constexpr std::uint16_t DISPATCH_PROPERTYGET = 2;
constexpr std::uint16_t DISPATCH_PROPERTYPUT = 4;
constexpr DISPID DISPID_UNKNOWN = -1;

struct TypeInfo;

class IDispatch : public IUnknown {
 public:
  virtual HRESULT GetTypeInfoCount(unsigned* count) = 0;
  virtual HRESULT GetTypeInfo(unsigned index, LCID lcid, const TypeInfo** info) = 0;
  virtual HRESULT GetIDsOfNames(const IID& riid, const std::u16string* names, unsigned count,
                                LCID lcid, DISPID* ids) = 0;
  virtual HRESULT Invoke(DISPID id, const IID& riid, LCID lcid, std::uint16_t flags,
                         DISPPARAMS& params, VARIANT* result, EXCEPINFO* excep,
                         unsigned* argErr) = 0;

 protected:
  ~IDispatch() = default;
};

class IClassFactory : public IUnknown {
 public:
  virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
  virtual HRESULT LockServer(bool lock) = 0;

 protected:
  ~IClassFactory() = default;
};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 2;

class IObjectSafety : public IUnknown {
 public:
  virtual HRESULT GetInterfaceSafetyOptions(const IID& riid, DWORD* supported, DWORD* enabled) = 0;
  virtual HRESULT SetInterfaceSafetyOptions(const IID& riid, DWORD mask, DWORD enabled) = 0;

 protected:
  ~IObjectSafety() = default;
};

class IConnectionPoint : public IUnknown {
 public:
  virtual HRESULT GetConnectionInterface(IID* iid) = 0;
  virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
  virtual HRESULT Unadvise(DWORD cookie) = 0;

 protected:
  ~IConnectionPoint() = default;
};

class IConnectionPointContainer : public IUnknown {
 public:
  virtual HRESULT FindConnectionPoint(const IID& iid, IConnectionPoint** point) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

// Holds one reference; releases it when it goes.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ComPtr& operator=(const ComPtr& o) {
    // Taken before Reset, which would clear it when O is this pointer itself.
    T* p = o.p_;
    if (p) p->AddRef();
    Reset();
    p_ = p;
    return *this;
  }
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and hands out the slot.
  void** out() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T** outTyped() {
    Reset();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

// COM on the calling thread: CoInitialize gives S_OK the first time, then
// S_FALSE; each call needs its CoUninitialize, and the last one ends COM on
// the thread. CoUninitialize without COM does nothing.
HRESULT CoInitialize(void* reserved = nullptr);
void CoUninitialize();
// The calling thread's CoInitialize calls not yet undone.
int CoInitializeCount();

// The calling thread's error information: set by a method that fails, read
// by the dispatcher that reports the failure to the caller.
void SetErrorInfo(const std::u16string& source, const std::u16string& description);
bool GetErrorInfo(std::u16string& source, std::u16string& description);  // and clears it
void ClearErrorInfo();

}  // namespace com
