#include "Zolmet_TLB.h"

namespace control::Zolmet_TLB {

using namespace com;

const GUID LIBID_Zolmet = MakeGuid("FB8A24E6-DEA8-4384-A1D7-E5EAEDF55277");
const IID IID_IZolmetStart = MakeGuid("87C4FB8B-4401-49E2-B07B-D39EEA1C0AE4");
const IID DIID_IZolmetStartEvents = MakeGuid("6C8A7547-0216-4526-832D-61F5C70997AF");
const CLSID CLSID_ZolmetStart = MakeGuid("8070D7AB-9D3F-4EB9-9405-70447F713814");

namespace {

TypeLib Build() {
  TypeLib lib;
  lib.name = "Zolmet";
  lib.helpString = "Zolmet Library";
  lib.libid = LIBID_Zolmet;
  lib.major = 1;
  lib.minor = 0;
  lib.lcid = 0x409;
  lib.imports = {LIBID_StdOle};

  TypeInfo intf;
  intf.name = "IZolmetStart";
  intf.guid = IID_IZolmetStart;
  intf.kind = TypeKind::Dual;
  intf.helpString = "Dispatch interface for ZolmetStart Control";
#define ZOLMET_PROPERTY_FUNCS(name, id, vt, type)                           \
  intf.funcs.push_back({#name, id, InvokeKind::PropGet, {}, vt});            \
  intf.funcs.push_back({#name, id, InvokeKind::PropPut, {{"Value", vt}}, VT_EMPTY});
  ZOLMET_FORM_PROPERTIES(ZOLMET_PROPERTY_FUNCS)
#undef ZOLMET_PROPERTY_FUNCS
  auto method = [&](const char* name, DISPID id, std::vector<ParamDesc> params, std::uint16_t result) {
    intf.funcs.push_back({name, id, InvokeKind::Method, std::move(params), result});
  };
  method("Print", DISPID_Print,
         {{"IP", VT_BSTR}, {"WebName", VT_BSTR}, {"WebPage", VT_BSTR}, {"Data", VT_BSTR}}, VT_I4);
  method("GetInfo", DISPID_GetInfo, {{"n", VT_I4}}, VT_BSTR);
  method("GetIPInfo", DISPID_GetIPInfo, {}, VT_BSTR);
  method("PrintTurn", DISPID_PrintTurn, {{"Data", VT_BSTR}}, VT_I4);
  method("GetVer", DISPID_GetVer, {}, VT_BSTR);
  method("GetInfoSize", DISPID_GetInfoSize, {}, VT_I4);
  method("GetPrinterVer", DISPID_GetPrinterVer, {}, VT_BSTR);
  method("GetInnerVer", DISPID_GetInnerVer, {}, VT_BSTR);
  method("GetFileName", DISPID_GetFileName, {}, VT_BSTR);
  method("Invoice", DISPID_Invoice, {{"Data", VT_BSTR}}, VT_BSTR);
  lib.types.push_back(intf);

  TypeInfo events;
  events.name = "IZolmetStartEvents";
  events.guid = DIID_IZolmetStartEvents;
  events.kind = TypeKind::DispInterface;
  events.helpString = "Events interface for ZolmetStart Control";
  for (auto [name, id] : {std::pair{"OnActivate", DISPID_OnActivate}, {"OnClick", DISPID_OnClick},
                          {"OnCreate", DISPID_OnCreate}, {"OnDblClick", DISPID_OnDblClick},
                          {"OnDestroy", DISPID_OnDestroy}, {"OnDeactivate", DISPID_OnDeactivate},
                          {"OnKeyPress", DISPID_OnKeyPress}, {"OnPaint", DISPID_OnPaint}}) {
    std::vector<ParamDesc> params;
    if (id == DISPID_OnKeyPress) params.push_back({"Key", static_cast<std::uint16_t>(VT_BYREF | VT_I2)});
    events.funcs.push_back({name, id, InvokeKind::Method, params, VT_EMPTY});
  }
  lib.types.push_back(events);

  TypeInfo coclass;
  coclass.name = "ZolmetStart";
  coclass.guid = CLSID_ZolmetStart;
  coclass.kind = TypeKind::CoClass;
  coclass.helpString = "ZolmetStart Control";
  coclass.defaultInterface = IID_IZolmetStart;
  coclass.defaultSource = DIID_IZolmetStartEvents;
  lib.types.push_back(coclass);

  auto enumeration = [&](const char* name, std::vector<std::pair<std::string, int>> values) {
    TypeInfo e;
    e.name = name;
    e.kind = TypeKind::Enum;
    e.enumValues = std::move(values);
    lib.types.push_back(e);
  };
  enumeration("TxActiveFormBorderStyle", {{"afbNone", 0}, {"afbSingle", 1}, {"afbSunken", 2}, {"afbRaised", 3}});
  enumeration("TxPrintScale", {{"poNone", 0}, {"poProportional", 1}, {"poPrintToFit", 2}});
  enumeration("TxMouseButton", {{"mbLeft", 0}, {"mbRight", 1}, {"mbMiddle", 2}});
  return lib;
}

}  // namespace

const TypeLib& ZolmetTypeLib() {
  static const TypeLib lib = Build();
  return lib;
}

const TypeInfo& IZolmetStartInfo() { return *ZolmetTypeLib().Find(IID_IZolmetStart); }
const TypeInfo& IZolmetStartEventsInfo() { return *ZolmetTypeLib().Find(DIID_IZolmetStartEvents); }

}  // namespace control::Zolmet_TLB
