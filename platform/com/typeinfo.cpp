#include "typeinfo.h"

#include <memory>

namespace com {
namespace {

bool SameName(const std::u16string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != static_cast<unsigned char>(y)) return false;
  }
  return true;
}

}  // namespace

const FuncDesc* TypeInfo::Find(DISPID id, InvokeKind kind) const {
  for (const auto& f : funcs)
    if (f.id == id && f.kind == kind) return &f;
  return nullptr;
}

const TypeInfo* TypeLib::Find(const GUID& guid) const {
  for (const auto& t : types)
    if (t.guid == guid) return &t;
  return nullptr;
}

const TypeInfo* TypeLib::FindByName(const std::string& name) const {
  for (const auto& t : types)
    if (t.name == name) return &t;
  return nullptr;
}

HRESULT GetIDsOfNames(const TypeInfo& type, const std::u16string* names, unsigned count, DISPID* ids) {
  if (count == 0) return S_OK;
  if (!names || !ids) return E_POINTER;
  for (unsigned i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  const FuncDesc* member = nullptr;
  for (const auto& f : type.funcs)
    if (SameName(names[0], f.name)) {
      member = &f;
      break;
    }
  if (!member) return DISP_E_UNKNOWNNAME;
  ids[0] = member->id;
  HRESULT hr = S_OK;
  for (unsigned i = 1; i < count; ++i) {
    for (size_t p = 0; p < member->params.size(); ++p)
      if (SameName(names[i], member->params[p].name)) ids[i] = static_cast<DISPID>(p);
    if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT InvokeByType(const TypeInfo& type, DISPID id, std::uint16_t flags, DISPPARAMS& params,
                     VARIANT* result, EXCEPINFO* excep, unsigned* argErr, const MemberCall& call) {
  const FuncDesc* f = nullptr;
  if (flags & DISPATCH_PROPERTYPUT) {
    f = type.Find(id, InvokeKind::PropPut);
  } else {
    if (flags & DISPATCH_METHOD) f = type.Find(id, InvokeKind::Method);
    if (!f && (flags & DISPATCH_PROPERTYGET)) {
      f = type.Find(id, InvokeKind::PropGet);
      if (!f) f = type.Find(id, InvokeKind::Method);
    }
    if (!f && (flags & DISPATCH_METHOD)) f = type.Find(id, InvokeKind::PropGet);
  }
  if (!f) return DISP_E_MEMBERNOTFOUND;
  if (params.args.size() != f->params.size()) return DISP_E_BADPARAMCOUNT;

  std::vector<VARIANT> args(f->params.size());
  auto temps = std::make_unique<std::int16_t[]>(f->params.size() + 1);
  for (size_t i = 0; i < f->params.size(); ++i) {
    std::uint16_t want = f->params[i].vt;
    const VARIANT& given = params.args[i];
    HRESULT hr = S_OK;
    if (want & VT_BYREF) {
      if (given.vt == want) {
        if (!given.piVal) return E_POINTER;
        args[i] = given;
        continue;
      }
      VARIANT v;
      if (!ChangeType(given, want & ~VT_BYREF, v, hr)) {
        if (argErr) *argErr = static_cast<unsigned>(i);
        return hr;
      }
      temps[i] = v.iVal;
      args[i] = VARIANT::I2Ref(&temps[i]);
      continue;
    }
    if (!ChangeType(given, want, args[i], hr)) {
      if (argErr) *argErr = static_cast<unsigned>(i);
      return hr;
    }
  }

  VARIANT ret;
  ClearErrorInfo();
  HRESULT hr = call(*f, args, ret);
  if (FAILED(hr)) {
    if (!excep) return hr;
    std::u16string source, description;
    if (!GetErrorInfo(source, description)) {
      std::string text = HResultText(hr);
      description.assign(text.begin(), text.end());
    }
    excep->wCode = 0;
    excep->bstrSource = source;
    excep->bstrDescription = description;
    excep->scode = hr;
    return DISP_E_EXCEPTION;
  }
  if (result) *result = f->result == VT_EMPTY ? VARIANT() : ret;
  return hr;
}

}  // namespace com
