// Type library "Zolmet": the ids, the dual interface IZolmetStart, the event
// interface IZolmetStartEvents and the coclass ZolmetStart, as code and as
// data for dispatch and registration.
#pragma once
#include <cstdint>

#include "platform/com/com.h"
#include "platform/com/typeinfo.h"

namespace control::Zolmet_TLB {

using com::BSTR;
using com::HRESULT;
using com::VARIANT_BOOL;

extern const com::GUID LIBID_Zolmet;
extern const com::IID IID_IZolmetStart;
extern const com::IID DIID_IZolmetStartEvents;
extern const com::CLSID CLSID_ZolmetStart;

enum TxActiveFormBorderStyle { afbNone, afbSingle, afbSunken, afbRaised };
enum TxPrintScale { poNone, poProportional, poPrintToFit };
enum TxMouseButton { mbLeft, mbRight, mbMiddle };

// Form properties in vtable order: name, dispatch id, variant type, C++ type.
#define ZOLMET_FORM_PROPERTIES(X)                          \
  X(Visible, 201, com::VT_BOOL, VARIANT_BOOL)              \
  X(AutoScroll, 202, com::VT_BOOL, VARIANT_BOOL)           \
  X(AutoSize, 203, com::VT_BOOL, VARIANT_BOOL)             \
  X(AxBorderStyle, 204, com::VT_I4, std::int32_t)          \
  X(Caption, -518, com::VT_BSTR, BSTR)                     \
  X(Color, -501, com::VT_I4, std::int32_t)                 \
  X(Font, -512, com::VT_BSTR, BSTR)                        \
  X(KeyPreview, 205, com::VT_BOOL, VARIANT_BOOL)           \
  X(PixelsPerInch, 206, com::VT_I4, std::int32_t)          \
  X(PrintScale, 207, com::VT_I4, std::int32_t)             \
  X(Scaled, 208, com::VT_BOOL, VARIANT_BOOL)               \
  X(Active, 209, com::VT_BOOL, VARIANT_BOOL)               \
  X(DropTarget, 210, com::VT_BOOL, VARIANT_BOOL)           \
  X(HelpFile, 211, com::VT_BSTR, BSTR)                     \
  X(ScreenSnap, 212, com::VT_BOOL, VARIANT_BOOL)           \
  X(SnapBuffer, 213, com::VT_I4, std::int32_t)             \
  X(DoubleBuffered, 214, com::VT_BOOL, VARIANT_BOOL)       \
  X(AlignDisabled, 215, com::VT_BOOL, VARIANT_BOOL)        \
  X(VisibleDockClientCount, 216, com::VT_I4, std::int32_t) \
  X(Enabled, -514, com::VT_BOOL, VARIANT_BOOL)

// Dispatch ids of the methods.
enum : com::DISPID {
  DISPID_Print = 217,
  DISPID_GetInfo = 218,
  DISPID_GetIPInfo = 219,
  DISPID_PrintTurn = 220,
  DISPID_GetVer = 221,
  DISPID_GetInfoSize = 222,
  DISPID_GetPrinterVer = 223,
  DISPID_GetInnerVer = 224,
  DISPID_GetFileName = 225,
  DISPID_Invoice = 226,
};

// Dispatch ids of IZolmetStartEvents.
enum : com::DISPID {
  DISPID_OnActivate = 201,
  DISPID_OnClick = 202,
  DISPID_OnCreate = 203,
  DISPID_OnDblClick = 204,
  DISPID_OnDestroy = 205,
  DISPID_OnDeactivate = 206,
  DISPID_OnKeyPress = 207,
  DISPID_OnPaint = 208,
};

class IZolmetStart : public com::IDispatch {
 public:
#define ZOLMET_DECLARE_ACCESSORS(name, id, vt, type) \
  virtual HRESULT get_##name(type* Value) = 0;       \
  virtual HRESULT put_##name(const type& Value) = 0;
  ZOLMET_FORM_PROPERTIES(ZOLMET_DECLARE_ACCESSORS)
#undef ZOLMET_DECLARE_ACCESSORS

  virtual HRESULT Print(const BSTR& IP, const BSTR& WebName, const BSTR& WebPage, const BSTR& Data,
                        std::int32_t* Value) = 0;
  virtual HRESULT GetInfo(std::int32_t n, BSTR* Value) = 0;
  virtual HRESULT GetIPInfo(BSTR* Value) = 0;
  virtual HRESULT PrintTurn(const BSTR& Data, std::int32_t* Value) = 0;
  virtual HRESULT GetVer(BSTR* Value) = 0;
  virtual HRESULT GetInfoSize(std::int32_t* Value) = 0;
  virtual HRESULT GetPrinterVer(BSTR* Value) = 0;
  virtual HRESULT GetInnerVer(BSTR* Value) = 0;
  virtual HRESULT GetFileName(BSTR* Value) = 0;
  virtual HRESULT Invoice(const BSTR& Data, BSTR* Value) = 0;

 protected:
  ~IZolmetStart() = default;
};

// The library as data.
const com::TypeLib& ZolmetTypeLib();
const com::TypeInfo& IZolmetStartInfo();
const com::TypeInfo& IZolmetStartEventsInfo();

}  // namespace control::Zolmet_TLB
