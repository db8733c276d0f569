// Registration of in-process servers and type libraries in the registry
// store (HKEY_CLASSES_ROOT), and the host's side: finding a registered
// class by ProgID or CLSID, loading its server and creating the object.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "com.h"
#include "typeinfo.h"

namespace com {

struct ServerRegistration {
  CLSID clsid;
  std::string description;
  std::string progId;
  std::string modulePath;       // Windows path of the server file
  std::string threadingModel;   // "Apartment"
  // ActiveX control entries.
  bool control = false;
  DWORD miscStatus = 0;
  int toolboxBitmap = 1;
  std::string version;          // "1.0"
  GUID typeLib{};
  std::vector<std::pair<std::string, std::string>> verbs;  // number, "text,flags,state"
};

// The keys every registration lives under, as a fresh system has them.
// ADDED, when given, gets the path of each key that was missing.
bool EnsureBaseKeys(std::vector<std::string>* added = nullptr);

// One locked change of the store each; false when it cannot be written.
bool RegisterServer(const ServerRegistration& r);
bool UnregisterServer(const ServerRegistration& r);
// Records the library and its interfaces (both kinds, marshalled by the
// automation marshaller); the unregistration removes the same keys.
bool RegisterTypeLib(const TypeLib& lib, const std::string& modulePath);
bool UnRegisterTypeLib(const TypeLib& lib);

// Host side.
bool CLSIDFromProgID(const std::string& progId, CLSID& out);
std::string InprocServerPath(const CLSID& clsid);  // "" when not registered
// Loads the registered server (kept loaded) and asks it for the class object.
HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** object);
HRESULT CoCreateInstance(const CLSID& clsid, const IID& iid, void** object);
// Unloads every server that says it may go.
void CoFreeUnusedLibraries();

// The standard entry points of an in-process server.
using DllGetClassObjectProc = HRESULT (*)(const CLSID* clsid, const IID* iid, void** object);
using DllCanUnloadNowProc = HRESULT (*)();
using DllRegisterServerProc = HRESULT (*)();

}  // namespace com
