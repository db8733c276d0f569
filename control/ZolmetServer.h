// The in-process server around TZolmetStart: its class factory, unload
// answer and registration.
#pragma once
#include <string>

#include "platform/com/com.h"
#include "platform/com/registration.h"

namespace control::ZolmetServer {

extern const char kProgID[];  // "Zolmet.ZolmetStart"

com::HRESULT GetClassObject(const com::CLSID& clsid, const com::IID& iid, void** object);
com::HRESULT CanUnloadNow();
// Register and unregister the control served from MODULEPATH.
com::HRESULT RegisterServer(const std::string& modulePath);
com::HRESULT UnregisterServer(const std::string& modulePath);

com::ServerRegistration Registration(const std::string& modulePath);

}  // namespace control::ZolmetServer
