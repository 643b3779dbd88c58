#include "automation/activation.hpp"

#include "automation/class_objects.hpp"
#include "automation/identity.hpp"
#include "automation/registration.hpp"
#include "automation/registry_file.hpp"

#include <dlfcn.h>

#include <filesystem>
#include <new>

namespace quorvel::automation {

namespace {

using GetClassObjectFunction = quorvel_hresult (*)(const quorvel_guid*, const quorvel_guid*, void**);

// This library's own DllGetClassObject when `serverPath` is this very file; otherwise the one
// of the library at `serverPath`, loaded once and kept for the life of the process.
quorvel_hresult ServerEntryPoint(const std::string& serverPath, GetClassObjectFunction& entry) {
    std::error_code ec;
    if (std::filesystem::equivalent(serverPath, ModulePath(), ec)) {
        entry = &GetClassObject;
        return QUORVEL_S_OK;
    }
    void* library = ::dlopen(serverPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return QUORVEL_CO_E_DLLNOTFOUND;
    void* symbol = ::dlsym(library, "DllGetClassObject");
    if (symbol == nullptr) return QUORVEL_CO_E_ERRORINDLL;
    entry = reinterpret_cast<GetClassObjectFunction>(symbol);
    return QUORVEL_S_OK;
}

} // namespace

quorvel_hresult CreateInstanceByProgID(const std::string& registryPath, const char* progId,
                                       const quorvel_guid* riid, void** ppv) {
    if (ppv == nullptr) return QUORVEL_E_POINTER;
    *ppv = nullptr;
    if (progId == nullptr || riid == nullptr) return QUORVEL_E_INVALIDARG;
    try {
        std::string serverPath;
        quorvel_guid clsid{};
        try {
            RegistryFile registry = RegistryFile::Load(registryPath);
            auto clsidText = registry.Value(std::string(progId) + "\\Clsid", "@");
            auto parsed = clsidText ? ParseGuid(*clsidText) : std::nullopt;
            if (!parsed) return QUORVEL_CO_E_CLASSSTRING;
            clsid = *parsed;
            auto server = registry.Value("CLSID\\" + GuidToString(clsid) + "\\InprocServer32", "@");
            if (!server || server->empty()) return QUORVEL_REGDB_E_CLASSNOTREG;
            serverPath = *server;
        } catch (const std::bad_alloc&) {
            throw;
        } catch (...) {
            return QUORVEL_REGDB_E_READREGDB;
        }

        GetClassObjectFunction entry = nullptr;
        if (quorvel_hresult hr = ServerEntryPoint(serverPath, entry); QUORVEL_FAILED(hr)) return hr;
        void* created = nullptr;
        if (quorvel_hresult hr = entry(&clsid, &QUORVEL_IID_IClassFactory, &created); QUORVEL_FAILED(hr))
            return hr;
        auto* factory = static_cast<quorvel_class_factory*>(created);
        quorvel_hresult hr = factory->CreateInstance(factory, riid, ppv);
        factory->object.Release(&factory->object);
        return hr;
    } catch (const std::bad_alloc&) {
        return QUORVEL_E_OUTOFMEMORY;
    } catch (...) {
        return QUORVEL_E_FAIL;
    }
}

} // namespace quorvel::automation
