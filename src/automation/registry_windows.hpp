#pragma once
// What registration writes in the Windows registry: for each class its CLSID key (the ProgID as
// its name, InprocServer32 with this DLL's path and the threading model, ProgID, Programmable,
// VERSION) and its ProgID key (with Clsid). Per machine under HKEY_CLASSES_ROOT (regsvr32 run
// as administrator), or per user under HKEY_CURRENT_USER\Software\Classes
// (regsvr32 /n /i:user).

#include "automation/com_windows.hpp"

namespace quorvel::automation {

enum class RegistryScope { kMachine, kUser };

// Records both classes as served by the DLL at `modulePath`, replacing an earlier registration.
HRESULT RegisterServer(RegistryScope scope, const std::wstring& modulePath);
// Removes every key RegisterServer writes, and nothing else.
HRESULT UnregisterServer(RegistryScope scope);

} // namespace quorvel::automation
