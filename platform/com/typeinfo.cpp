#include "typeinfo.h"

#include <memory>
#include <sstream>

#include "platform/resources/resources.h"

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

namespace {

const char* KindName(TypeKind k) {
  switch (k) {
    case TypeKind::Dual: return "dual";
    case TypeKind::DispInterface: return "dispinterface";
    case TypeKind::CoClass: return "coclass";
    case TypeKind::Enum: return "enum";
  }
  return "?";
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    size_t tab = line.find('\t', start);
    out.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return out;
    start = tab + 1;
  }
}

}  // namespace

std::string SaveTypeLib(const TypeLib& lib) {
  std::ostringstream out;
  out << "typelib\t" << lib.name << "\t" << lib.helpString << "\t" << GuidToString(lib.libid) << "\t" << lib.major
      << "\t" << lib.minor << "\t" << lib.lcid << "\n";
  for (const auto& g : lib.imports) out << "import\t" << GuidToString(g) << "\n";
  for (const auto& t : lib.types) {
    out << "type\t" << KindName(t.kind) << "\t" << t.name << "\t" << GuidToString(t.guid) << "\t" << t.helpString
        << "\t" << GuidToString(t.defaultInterface) << "\t" << GuidToString(t.defaultSource) << "\n";
    for (const auto& f : t.funcs) {
      out << "func\t" << f.name << "\t" << f.id << "\t" << static_cast<int>(f.kind) << "\t" << f.result;
      for (const auto& p : f.params) out << "\t" << p.name << "\t" << p.vt;
      out << "\n";
    }
    for (const auto& [name, value] : t.enumValues) out << "value\t" << name << "\t" << value << "\n";
  }
  return out.str();
}

bool LoadTypeLib(const std::string& bytes, TypeLib& out) {
  TypeLib lib;
  std::istringstream in(bytes);
  std::string line;
  bool header = false;
  try {
    while (std::getline(in, line)) {
      std::vector<std::string> f = Fields(line);
      if (f[0] == "typelib" && f.size() == 7 && !header) {
        lib.name = f[1];
        lib.helpString = f[2];
        if (!GuidFromString(f[3], lib.libid)) return false;
        lib.major = static_cast<std::uint16_t>(std::stoul(f[4]));
        lib.minor = static_cast<std::uint16_t>(std::stoul(f[5]));
        lib.lcid = static_cast<LCID>(std::stoul(f[6]));
        header = true;
      } else if (f[0] == "import" && f.size() == 2 && header) {
        GUID g;
        if (!GuidFromString(f[1], g)) return false;
        lib.imports.push_back(g);
      } else if (f[0] == "type" && f.size() == 7 && header) {
        TypeInfo t;
        static const TypeKind kinds[] = {TypeKind::Dual, TypeKind::DispInterface, TypeKind::CoClass, TypeKind::Enum};
        bool known = false;
        for (TypeKind k : kinds)
          if (f[1] == KindName(k)) {
            t.kind = k;
            known = true;
          }
        t.name = f[2];
        t.helpString = f[4];
        if (!known || !GuidFromString(f[3], t.guid) || !GuidFromString(f[5], t.defaultInterface) ||
            !GuidFromString(f[6], t.defaultSource))
          return false;
        lib.types.push_back(t);
      } else if (f[0] == "func" && f.size() >= 5 && f.size() % 2 == 1 && !lib.types.empty()) {
        int kind = std::stoi(f[3]);
        if (kind != 1 && kind != 2 && kind != 4) return false;
        FuncDesc fd{f[1], std::stoi(f[2]), static_cast<InvokeKind>(kind), {},
                    static_cast<std::uint16_t>(std::stoul(f[4]))};
        for (size_t i = 5; i + 1 < f.size(); i += 2)
          fd.params.push_back({f[i], static_cast<std::uint16_t>(std::stoul(f[i + 1]))});
        lib.types.back().funcs.push_back(fd);
      } else if (f[0] == "value" && f.size() == 3 && !lib.types.empty()) {
        lib.types.back().enumValues.emplace_back(f[1], std::stoi(f[2]));
      } else {
        return false;
      }
    }
  } catch (...) {
    return false;
  }
  if (!header) return false;
  out = std::move(lib);
  return true;
}

bool LoadTypeLibFromFile(const std::string& winPath, TypeLib& out) {
  win::HMODULE module = win::LoadLibraryAsDataFile(winPath);
  if (!module) return false;
  bool ok = false;
  if (win::HRSRC res = win::FindResource(module, "1", "TYPELIB"))
    if (const void* data = win::LockResource(win::LoadResource(module, res)))
      ok = LoadTypeLib(std::string(static_cast<const char*>(data), win::SizeofResource(module, res)), out);
  win::FreeLibraryAsDataFile(module);
  return ok;
}

}  // namespace com
