#include "automation/class_objects.hpp"

#include "automation/identity.hpp"
#include "base/current_error.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/error.hpp>
#include <quorvel/host_form.hpp>

#include <atomic>
#include <cstring>
#include <exception>
#include <new>
#include <optional>
#include <string>
#include <type_traits>

namespace quorvel::automation {

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> locks{0};

// ---- Lifetime shared by every object -----------------------------------------------------

// Each object is a struct whose first member is its C interface, itself starting with a
// quorvel_object, so the interface pointer handed out is also the object's address.
template <class Interface> struct Object {
    Interface iface;
    std::atomic<std::uint32_t> references{1};
};

template <class Obj> std::uint32_t AddRef(quorvel_object* self) {
    if (self == nullptr) return 0;
    return ++reinterpret_cast<Obj*>(self)->references;
}

template <class Obj> std::uint32_t Release(quorvel_object* self) {
    if (self == nullptr) return 0;
    auto* object = reinterpret_cast<Obj*>(self);
    std::uint32_t left = --object->references;
    if (left == 0) {
        delete object;
        --liveObjects;
    }
    return left;
}

template <class Obj> Obj* New() {
    static_assert(std::is_standard_layout_v<Obj>);
    auto* object = new (std::nothrow) Obj{};
    if (object == nullptr) return nullptr;
    object->iface.object.AddRef = &AddRef<Obj>;
    object->iface.object.Release = &Release<Obj>;
    ++liveObjects;
    return object;
}

// ---- Calls into the import classes ---------------------------------------------------------

std::string Text(const char* text) {
    return text != nullptr ? std::string(text) : std::string();
}

void ClearError(quorvel_error* error) {
    if (error == nullptr) return;
    error->number = 0;
    error->description[0] = '\0';
}

void SetError(quorvel_error* error, long number, const std::string& description) {
    if (error == nullptr) return;
    error->number = static_cast<std::int32_t>(number);
    std::size_t n = description.size();
    if (n >= sizeof error->description) {
        n = sizeof error->description - 1;
        // Never cut inside a UTF-8 sequence: back up over continuation bytes.
        while (n > 0 && (static_cast<unsigned char>(description[n]) & 0xC0) == 0x80)
            --n;
    }
    std::memcpy(error->description, description.data(), n);
    error->description[n] = '\0';
}

// The caller's callback table seen as a HostForm. A missing callback is the error a form
// without the expected control raises.
class CallbackForm : public HostForm {
public:
    explicit CallbackForm(const quorvel_host_form& table) : table_(table) {}

    double ProgressValue() const override {
        return Required(table_.get_progress_value, "get_progress_value")(table_.user_data);
    }
    void SetProgressValue(double value) override {
        Required(table_.set_progress_value, "set_progress_value")(table_.user_data, value);
    }
    void SetLabelCaption(int index, const std::string& caption) override {
        Required(table_.set_label_caption, "set_label_caption")(table_.user_data, index, caption.c_str());
    }
    void Refresh() override { Required(table_.refresh, "refresh")(table_.user_data); }

private:
    template <class F> static F Required(F f, const char* name) {
        if (f == nullptr)
            throw Error(errnum::kNotSupported,
                        std::string("Propriété ou méthode non gérée par cet objet : ") + name);
        return f;
    }
    const quorvel_host_form& table_;
};

// Runs `call`; an error escaping it becomes QUORVEL_DISP_E_EXCEPTION with `error` filled.
template <class Call> quorvel_hresult Guarded(quorvel_error* error, Call&& call) noexcept {
    try {
        call();
        return QUORVEL_S_OK;
    } catch (...) {
        Error e = base::CurrentError();
        SetError(error, e.number(), e.description());
    }
    return QUORVEL_DISP_E_EXCEPTION;
}

using RecupLicenceObject = Object<quorvel_clsRecupLicence>;
using MajIUFObject = Object<quorvel_clsMajIUF>;

quorvel_hresult bImport_Licence(quorvel_clsRecupLicence* self, const char* strFileBase_P,
                                const char* strRepSource, const char* strRepTempo, const char* strFileTrace_P,
                                const quorvel_host_form* objFormCible, quorvel_bool* pResult,
                                quorvel_error* pError) {
    ClearError(pError);
    if (self == nullptr || pResult == nullptr) return QUORVEL_E_POINTER;
    *pResult = QUORVEL_FALSE;
    return Guarded(pError, [&] {
        std::optional<CallbackForm> form;
        if (objFormCible != nullptr) form.emplace(*objFormCible);
        clsRecupLicence importer;
        bool result = importer.bImport_Licence(Text(strFileBase_P), Text(strRepSource), Text(strRepTempo),
                                               Text(strFileTrace_P), form ? &*form : nullptr);
        *pResult = result ? QUORVEL_TRUE : QUORVEL_FALSE;
    });
}

quorvel_hresult bImport_CodeIUF(quorvel_clsMajIUF* self, const char* strRepSource, const char* strFileBase_P,
                                const char* strFileTrace_P, const quorvel_host_form* objFormCible,
                                quorvel_bool bOnlyMonCLub, const char* strCodeMonClub, quorvel_bool* pResult,
                                quorvel_error* pError) {
    ClearError(pError);
    if (self == nullptr || pResult == nullptr) return QUORVEL_E_POINTER;
    *pResult = QUORVEL_FALSE;
    return Guarded(pError, [&] {
        std::optional<CallbackForm> form;
        if (objFormCible != nullptr) form.emplace(*objFormCible);
        clsMajIUF updater;
        bool result =
            updater.bImport_CodeIUF(Text(strRepSource), Text(strFileBase_P), Text(strFileTrace_P),
                                    form ? &*form : nullptr, bOnlyMonCLub != 0, Text(strCodeMonClub));
        *pResult = result ? QUORVEL_TRUE : QUORVEL_FALSE;
    });
}

// ---- Class factory -------------------------------------------------------------------------

struct FactoryObject {
    quorvel_class_factory iface;
    std::atomic<std::uint32_t> references{1};
    const ClassIdentity* identity = nullptr;
};

quorvel_hresult CreateInstance(quorvel_class_factory* self, const quorvel_guid* riid, void** ppv) {
    if (ppv == nullptr) return QUORVEL_E_POINTER;
    *ppv = nullptr;
    if (self == nullptr) return QUORVEL_E_POINTER;
    if (riid == nullptr) return QUORVEL_E_INVALIDARG;
    const ClassIdentity& identity = *reinterpret_cast<FactoryObject*>(self)->identity;
    if (!(*riid == *identity.iid) && !(*riid == QUORVEL_IID_IUnknown)) return QUORVEL_E_NOINTERFACE;

    if (identity.clsid == &QUORVEL_CLSID_clsRecupLicence) {
        auto* object = New<RecupLicenceObject>();
        if (object == nullptr) return QUORVEL_E_OUTOFMEMORY;
        object->iface.bImport_Licence = &bImport_Licence;
        *ppv = &object->iface;
    } else {
        auto* object = New<MajIUFObject>();
        if (object == nullptr) return QUORVEL_E_OUTOFMEMORY;
        object->iface.bImport_CodeIUF = &bImport_CodeIUF;
        *ppv = &object->iface;
    }
    return QUORVEL_S_OK;
}

quorvel_hresult LockServer(quorvel_class_factory* self, int lock) {
    if (self == nullptr) return QUORVEL_E_POINTER;
    if (lock != 0) {
        ++locks;
        return QUORVEL_S_OK;
    }
    long held = locks.load();
    do {
        if (held == 0) return QUORVEL_E_UNEXPECTED;
    } while (!locks.compare_exchange_weak(held, held - 1));
    return QUORVEL_S_OK;
}

} // namespace

quorvel_hresult GetClassObject(const quorvel_guid* clsid, const quorvel_guid* riid, void** ppv) {
    if (ppv == nullptr) return QUORVEL_E_POINTER;
    *ppv = nullptr;
    if (clsid == nullptr || riid == nullptr) return QUORVEL_E_INVALIDARG;
    const ClassIdentity* identity = FindClass(*clsid);
    if (identity == nullptr) return QUORVEL_CLASS_E_CLASSNOTAVAILABLE;
    if (!(*riid == QUORVEL_IID_IClassFactory) && !(*riid == QUORVEL_IID_IUnknown))
        return QUORVEL_E_NOINTERFACE;
    auto* factory = New<FactoryObject>();
    if (factory == nullptr) return QUORVEL_E_OUTOFMEMORY;
    factory->identity = identity;
    factory->iface.CreateInstance = &CreateInstance;
    factory->iface.LockServer = &LockServer;
    *ppv = &factory->iface;
    return QUORVEL_S_OK;
}

bool CanUnload() {
    return liveObjects.load() == 0 && locks.load() == 0;
}

} // namespace quorvel::automation
