// The C interface's own functions: creation, and wrappers that call through an object's
// function table.

#include "automation/activation.hpp"
#include "automation/class_objects.hpp"
#include "automation/registry_file.hpp"

#include <quorvel/quorvel.h>

extern "C" {

quorvel_hresult quorvel_CreateInstance(const quorvel_guid* clsid, const quorvel_guid* riid, void** ppv) {
    if (ppv == nullptr) return QUORVEL_E_POINTER;
    *ppv = nullptr;
    if (riid == nullptr) return QUORVEL_E_INVALIDARG;
    void* created = nullptr;
    quorvel_hresult hr = quorvel::automation::GetClassObject(clsid, &QUORVEL_IID_IClassFactory, &created);
    if (QUORVEL_FAILED(hr)) return hr;
    auto* factory = static_cast<quorvel_class_factory*>(created);
    hr = factory->CreateInstance(factory, riid, ppv);
    factory->object.Release(&factory->object);
    return hr;
}

quorvel_hresult quorvel_CreateInstanceByProgID(const char* progid, const quorvel_guid* riid, void** ppv) {
    std::string registry;
    try {
        registry = quorvel::automation::RegistryFilePath();
    } catch (...) {
        if (ppv != nullptr) *ppv = nullptr;
        return QUORVEL_REGDB_E_READREGDB;
    }
    return quorvel::automation::CreateInstanceByProgID(registry, progid, riid, ppv);
}

uint32_t quorvel_AddRef(quorvel_object* object) {
    return object != nullptr ? object->AddRef(object) : 0;
}

uint32_t quorvel_Release(quorvel_object* object) {
    return object != nullptr ? object->Release(object) : 0;
}

quorvel_hresult quorvel_bImport_Licence(quorvel_clsRecupLicence* self, const char* strFileBase_P,
                                        const char* strRepSource, const char* strRepTempo,
                                        const char* strFileTrace_P, const quorvel_host_form* objFormCible,
                                        quorvel_bool* pResult, quorvel_error* pError) {
    if (self == nullptr) return QUORVEL_E_POINTER;
    return self->bImport_Licence(self, strFileBase_P, strRepSource, strRepTempo, strFileTrace_P, objFormCible,
                                 pResult, pError);
}

quorvel_hresult quorvel_bImport_CodeIUF(quorvel_clsMajIUF* self, const char* strRepSource,
                                        const char* strFileBase_P, const char* strFileTrace_P,
                                        const quorvel_host_form* objFormCible, quorvel_bool bOnlyMonCLub,
                                        const char* strCodeMonClub, quorvel_bool* pResult,
                                        quorvel_error* pError) {
    if (self == nullptr) return QUORVEL_E_POINTER;
    return self->bImport_CodeIUF(self, strRepSource, strFileBase_P, strFileTrace_P, objFormCible,
                                 bOnlyMonCLub, strCodeMonClub, pResult, pError);
}

} // extern "C"
