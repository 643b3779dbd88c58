#include "automation/com_objects_windows.hpp"

#include "automation/identity.hpp"
#include "automation/method_calls_windows.hpp"

#include <atomic>
#include <new>

namespace quorvel::automation {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> locks{0};

template <class T> const GUID& Guid(const T& g) {
    static_assert(sizeof(T) == sizeof(GUID));
    return reinterpret_cast<const GUID&>(g);
}

// IUnknown and IDispatch of one class; `Method` is the class's own (MethodCall in
// method_calls_windows.hpp) and `Dual` the table layout of its dual interface.
template <class Dual, class Method> class Automation : public Dual {
public:
    explicit Automation(const ClassIdentity& identity) : identity_(identity) { ++liveObjects; }
    virtual ~Automation() { --liveObjects; }

    HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == Guid(*identity_.iid))
            *ppv = static_cast<Dual*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return ++references_; }
    ULONG __stdcall Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT __stdcall GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT __stdcall GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    HRESULT __stdcall GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (names == nullptr || ids == nullptr) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            bool method =
                i == 0 && ::CompareStringOrdinal(names[0], -1, Method::kName, -1, TRUE) == CSTR_EQUAL;
            ids[i] = method ? Method::kDispId : DISPID_UNKNOWN;
            if (!method) hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT __stdcall Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* exception, UINT* argError) override {
        if (id != Method::kDispId) return DISP_E_MEMBERNOTFOUND;
        if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
        return Method::Invoke(params, result, exception, argError);
    }

private:
    const ClassIdentity& identity_;
    std::atomic<ULONG> references_{1};
};

class RecupLicence final : public Automation<DualRecupLicence, RecupLicenceCall> {
public:
    using Automation::Automation;
    HRESULT __stdcall bImport_Licence(BSTR* base, BSTR* source, BSTR* tempo, BSTR* trace, IDispatch** form,
                                      VARIANT_BOOL* result) override {
        return RecupLicenceCall::Direct(base, source, tempo, trace, form, result);
    }
};

class MajIUF final : public Automation<DualMajIUF, MajIUFCall> {
public:
    using Automation::Automation;
    HRESULT __stdcall bImport_CodeIUF(BSTR* source, BSTR* base, BSTR* trace, IDispatch** form,
                                      VARIANT_BOOL* onlyMyClub, BSTR* myClub, VARIANT_BOOL* result) override {
        return MajIUFCall::Direct(source, base, trace, form, onlyMyClub, myClub, result);
    }
};

class Factory final : public IClassFactory {
public:
    explicit Factory(const ClassIdentity& identity) : identity_(identity) { ++liveObjects; }
    ~Factory() { --liveObjects; }

    HRESULT __stdcall QueryInterface(REFIID riid, void** ppv) override {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) return E_NOINTERFACE;
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG __stdcall AddRef() override { return ++references_; }
    ULONG __stdcall Release() override {
        ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT __stdcall CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    HRESULT __stdcall LockServer(BOOL lock) override {
        if (lock)
            ++locks;
        else if (locks.fetch_sub(1) <= 0)
            ++locks; // more unlocks than locks: ignored
        return S_OK;
    }

private:
    const ClassIdentity& identity_;
    std::atomic<ULONG> references_{1};
};

HRESULT Factory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    IDispatch* object = nullptr;
    if (identity_.clsid == &QUORVEL_CLSID_clsRecupLicence)
        object = new (std::nothrow) RecupLicence(identity_);
    else
        object = new (std::nothrow) MajIUF(identity_);
    if (object == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace

HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    const ClassIdentity* identity = FindClass(reinterpret_cast<const quorvel_guid&>(clsid));
    if (identity == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) Factory(*identity);
    if (factory == nullptr) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

bool CanUnload() {
    return liveObjects.load() == 0 && locks.load() <= 0;
}

} // namespace quorvel::automation
