// The entry points of quorvel.dll, the in-process automation server, exported by name
// (quorvel.def): DllRegisterServer, DllUnregisterServer, DllGetClassObject, DllCanUnloadNow,
// and DllInstall for a registration per user (regsvr32 /n /i:user quorvel.dll).

#include "automation/com_objects_windows.hpp"
#include "automation/registry_windows.hpp"

namespace {

HMODULE thisModule = nullptr;

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(thisModule, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

using quorvel::automation::RegistryScope;

HRESULT Register(RegistryScope scope) {
    std::wstring path = ModulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    return quorvel::automation::RegisterServer(scope, path);
}

} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        thisModule = instance;
        ::DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllRegisterServer() {
    return Register(RegistryScope::kMachine);
}

STDAPI DllUnregisterServer() {
    return quorvel::automation::UnregisterServer(RegistryScope::kMachine);
}

// regsvr32 /n /i:user registers for the current user only (no administrator needed);
// regsvr32 /u /n /i:user removes that registration.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) {
    RegistryScope scope = RegistryScope::kMachine;
    if (commandLine != nullptr && ::CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL)
        scope = RegistryScope::kUser;
    return install ? Register(scope) : quorvel::automation::UnregisterServer(scope);
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
    return quorvel::automation::GetClassObject(clsid, riid, ppv);
}

STDAPI DllCanUnloadNow() {
    return quorvel::automation::CanUnload() ? S_OK : S_FALSE;
}

} // extern "C"
