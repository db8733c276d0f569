#include "registration.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "platform/process/library.h"
#include "platform/registry/registry.h"

namespace com {
namespace {

constexpr reg::Hive kHKCR = reg::Hive::ClassesRoot;

std::string ClsidKey(const CLSID& c) { return "CLSID\\" + GuidToString(c); }

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('\\');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

std::string VersionText(const TypeLib& lib) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x.%x", lib.major, lib.minor);
  return buf;
}

std::mutex g_modulesMutex;
std::map<std::string, win::HLIBRARY> g_modules;  // Windows path -> loaded server

}  // namespace

bool EnsureBaseKeys(std::vector<std::string>* added) {
  std::vector<std::string> missing;
  bool ok = reg::Modify(kHKCR, [&](reg::Tree& t) {
    for (const char* k : {"CLSID", "Interface", "TypeLib"})
      if (!t.KeyExists(k)) {
        t.CreateKey(k);
        missing.push_back(std::string(reg::HiveName(kHKCR)) + "\\" + k);
      }
  });
  if (ok && added) added->insert(added->end(), missing.begin(), missing.end());
  return ok;
}

bool RegisterServer(const ServerRegistration& r) {
  return reg::Modify(kHKCR, [&](reg::Tree& t) {
    std::string key = ClsidKey(r.clsid);
    t.SetValue(key, "", r.description);
    t.SetValue(key + "\\InprocServer32", "", r.modulePath);
    t.SetValue(key + "\\InprocServer32", "ThreadingModel", r.threadingModel);
    if (!r.progId.empty()) {
      t.SetValue(key + "\\ProgID", "", r.progId);
      t.SetValue(r.progId, "", r.description);
      t.SetValue(r.progId + "\\CLSID", "", GuidToString(r.clsid));
    }
    if (r.control) {
      t.CreateKey(key + "\\Control");
      t.SetValue(key + "\\MiscStatus", "", "0");
      t.SetValue(key + "\\MiscStatus\\1", "", std::to_string(r.miscStatus));
      t.SetValue(key + "\\ToolboxBitmap32", "", r.modulePath + "," + std::to_string(r.toolboxBitmap));
      t.CreateKey(key + "\\Verb");
      for (const auto& [n, text] : r.verbs) t.SetValue(key + "\\Verb\\" + n, "", text);
      t.SetValue(key + "\\Version", "", r.version);
      t.SetValue(key + "\\TypeLib", "", GuidToString(r.typeLib));
    }
  });
}

bool UnregisterServer(const ServerRegistration& r) {
  return reg::Modify(kHKCR, [&](reg::Tree& t) {
    t.DeleteKey(ClsidKey(r.clsid));
    if (!r.progId.empty()) t.DeleteKey(r.progId);
  });
}

bool RegisterTypeLib(const TypeLib& lib, const std::string& modulePath) {
  return reg::Modify(kHKCR, [&](reg::Tree& t) {
    std::string libKey = "TypeLib\\" + GuidToString(lib.libid) + "\\" + VersionText(lib);
    t.SetValue(libKey, "", lib.helpString);
    char lcid[16];
    std::snprintf(lcid, sizeof lcid, "%x", lib.lcid);
    t.SetValue(libKey + "\\" + lcid + "\\win32", "", modulePath);
    t.SetValue(libKey + "\\FLAGS", "", "0");
    t.SetValue(libKey + "\\HELPDIR", "", FolderOf(modulePath));
    for (const auto& type : lib.types) {
      if (type.kind != TypeKind::Dual && type.kind != TypeKind::DispInterface) continue;
      std::string key = "Interface\\" + GuidToString(type.guid);
      t.SetValue(key, "", type.name);
      t.SetValue(key + "\\ProxyStubClsid", "", GuidToString(CLSID_PSOAInterface));
      t.SetValue(key + "\\ProxyStubClsid32", "", GuidToString(CLSID_PSOAInterface));
      t.SetValue(key + "\\TypeLib", "", GuidToString(lib.libid));
      t.SetValue(key + "\\TypeLib", "Version", VersionText(lib));
    }
  });
}

bool UnRegisterTypeLib(const TypeLib& lib) {
  return reg::Modify(kHKCR, [&](reg::Tree& t) {
    std::string base = "TypeLib\\" + GuidToString(lib.libid);
    t.DeleteKey(base + "\\" + VersionText(lib));
    if (t.SubKeys(base).empty() && t.ValueNames(base).empty()) t.DeleteKey(base);
    for (const auto& type : lib.types)
      if (type.kind == TypeKind::Dual || type.kind == TypeKind::DispInterface)
        t.DeleteKey("Interface\\" + GuidToString(type.guid));
  });
}

bool CLSIDFromProgID(const std::string& progId, CLSID& out) {
  auto v = reg::GetValue(kHKCR, progId + "\\CLSID", "");
  return v && GuidFromString(*v, out);
}

std::string InprocServerPath(const CLSID& clsid) {
  return reg::GetValue(kHKCR, ClsidKey(clsid) + "\\InprocServer32", "").value_or("");
}

HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  std::string path = InprocServerPath(clsid);
  if (path.empty()) return REGDB_E_CLASSNOTREG;
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  win::HLIBRARY& module = g_modules[path];
  if (!module) module = win::LoadLibrary(path);
  if (!module) {
    g_modules.erase(path);
    return Hr(0x8007007E);  // the module could not be found
  }
  auto get = reinterpret_cast<DllGetClassObjectProc>(win::GetProcAddress(module, "DllGetClassObject"));
  if (!get) return Hr(0x8007007F);
  return get(&clsid, &iid, object);
}

HRESULT CoCreateInstance(const CLSID& clsid, const IID& iid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  ComPtr<IClassFactory> factory;
  HRESULT hr = CoGetClassObject(clsid, IID_IClassFactory, factory.out());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(nullptr, iid, object);
}

void CoFreeUnusedLibraries() {
  std::lock_guard<std::mutex> lock(g_modulesMutex);
  for (auto it = g_modules.begin(); it != g_modules.end();) {
    auto canUnload = reinterpret_cast<DllCanUnloadNowProc>(win::GetProcAddress(it->second, "DllCanUnloadNow"));
    if (canUnload && canUnload() == S_OK) {
      win::FreeLibrary(it->second);
      it = g_modules.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace com
