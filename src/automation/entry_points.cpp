// The four entry points of the in-process server, with C linkage.

#include "automation/class_objects.hpp"
#include "automation/registration.hpp"
#include "automation/registry_file.hpp"

#include <quorvel/quorvel.h>

namespace {

template <class Change> quorvel_hresult ChangeRegistry(Change&& change) noexcept {
    try {
        using namespace quorvel::automation;
        RegistryFile file = RegistryFile::Load(RegistryFilePath());
        change(file);
        file.Save();
        return QUORVEL_S_OK;
    } catch (...) {
        return QUORVEL_SELFREG_E_CLASS;
    }
}

} // namespace

extern "C" {

quorvel_hresult DllRegisterServer(void) {
    return ChangeRegistry([](quorvel::automation::RegistryFile& file) {
        RegisterServer(file, quorvel::automation::ModulePath());
    });
}

quorvel_hresult DllUnregisterServer(void) {
    return ChangeRegistry([](quorvel::automation::RegistryFile& file) { UnregisterServer(file); });
}

quorvel_hresult DllGetClassObject(const quorvel_guid* rclsid, const quorvel_guid* riid, void** ppv) {
    return quorvel::automation::GetClassObject(rclsid, riid, ppv);
}

quorvel_hresult DllCanUnloadNow(void) {
    return quorvel::automation::CanUnload() ? QUORVEL_S_OK : QUORVEL_S_FALSE;
}

} // extern "C"
