#include "automation/method_calls_windows.hpp"

#include "automation/dispatch_form_windows.hpp"
#include "automation/identity.hpp"
#include "base/current_error.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <string>
#include <vector>

namespace quorvel::automation {

namespace {

const wchar_t kRecupLicenceSource[] = L"quorvel.clsRecupLicence";
const wchar_t kMajIUFSource[] = L"quorvel.clsMajIUF";

// The run's arguments, read from either way in.
struct LicenceArguments {
    std::string base, source, tempo, trace;
    IDispatch* form = nullptr; // AddRef'd
};
struct IufArguments {
    std::string source, base, trace, myClub;
    bool onlyMyClub = false;
    IDispatch* form = nullptr; // AddRef'd
};

bool RunLicence(const LicenceArguments& a) {
    DispatchForm form(a.form);
    clsRecupLicence importer;
    return importer.bImport_Licence(a.base, a.source, a.tempo, a.trace, &form);
}

bool RunIuf(const IufArguments& a) {
    DispatchForm form(a.form);
    clsMajIUF updater;
    return updater.bImport_CodeIUF(a.source, a.base, a.trace, &form, a.onlyMyClub, a.myClub);
}

// Runs `call`, which gives the method's Boolean; an error leaving it becomes the exception of
// Invoke (`exception` given) or the thread's error information (the table's way in).
template <class Call>
HRESULT Guarded(Call&& call, VARIANT_BOOL& result, EXCEPINFO* exception, bool invoked, const wchar_t* source,
                const quorvel_guid* iid) noexcept {
    try {
        result = call() ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    } catch (...) {
        Error e = base::CurrentError();
        if (invoked) {
            FillException(exception, e, source);
            return DISP_E_EXCEPTION;
        }
        SetThreadError(e, source, reinterpret_cast<const GUID&>(*iid));
        return ErrorResult(e);
    }
}

// The positional arguments of an Invoke call, first one first; null when the count is wrong.
const VARIANT* Arguments(const DISPPARAMS* params, UINT expected, HRESULT& hr) {
    hr = S_OK;
    if (params == nullptr)
        hr = DISP_E_BADPARAMCOUNT;
    else if (params->cNamedArgs != 0)
        hr = DISP_E_NONAMEDARGS;
    else if (params->cArgs != expected)
        hr = DISP_E_BADPARAMCOUNT;
    return hr == S_OK ? params->rgvarg : nullptr;
}

// Argument `i` (0 is the first) of `count` given in Invoke's reversed order.
const VARIANT& Nth(const VARIANT* args, UINT count, UINT i) {
    return args[count - 1 - i];
}

void Answer(VARIANT* result, VARIANT_BOOL value) {
    if (result == nullptr) return;
    ::VariantInit(result);
    V_VT(result) = VT_BOOL;
    V_BOOL(result) = value;
}

std::string Text(const BSTR* text) {
    return text != nullptr && *text != nullptr ? Utf8(*text, static_cast<int>(::SysStringLen(*text)))
                                               : std::string();
}

IDispatch* Object(IDispatch** form) {
    IDispatch* object = form != nullptr ? *form : nullptr;
    if (object != nullptr) object->AddRef();
    return object;
}

} // namespace

HRESULT RecupLicenceCall::Invoke(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    HRESULT hr;
    const VARIANT* args = Arguments(params, 5, hr);
    if (args == nullptr) return hr;
    LicenceArguments a;
    UINT at = 0;
    try {
        std::string* texts[] = {&a.base, &a.source, &a.tempo, &a.trace};
        for (; at < 4; ++at)
            *texts[at] = TextArgument(Nth(args, 5, at));
        a.form = ObjectArgument(Nth(args, 5, 4));
    } catch (...) {
        if (argError != nullptr) *argError = 5 - 1 - at;
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT_BOOL answer = VARIANT_FALSE;
    hr = Guarded([&] { return RunLicence(a); }, answer, exception, true, kRecupLicenceSource,
                 &QUORVEL_IID__clsRecupLicence);
    if (a.form != nullptr) a.form->Release();
    if (SUCCEEDED(hr)) Answer(result, answer);
    return hr;
}

HRESULT RecupLicenceCall::Direct(BSTR* base, BSTR* source, BSTR* tempo, BSTR* trace, IDispatch** form,
                                 VARIANT_BOOL* result) {
    if (result == nullptr) return E_POINTER;
    LicenceArguments a{Text(base), Text(source), Text(tempo), Text(trace), Object(form)};
    HRESULT hr = Guarded([&] { return RunLicence(a); }, *result, nullptr, false, kRecupLicenceSource,
                         &QUORVEL_IID__clsRecupLicence);
    if (a.form != nullptr) a.form->Release();
    return hr;
}

HRESULT MajIUFCall::Invoke(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    HRESULT hr;
    const VARIANT* args = Arguments(params, 6, hr);
    if (args == nullptr) return hr;
    IufArguments a;
    UINT at = 0;
    try {
        a.source = TextArgument(Nth(args, 6, at++));
        a.base = TextArgument(Nth(args, 6, at++));
        a.trace = TextArgument(Nth(args, 6, at++));
        a.form = ObjectArgument(Nth(args, 6, at++));
        a.onlyMyClub = BooleanArgument(Nth(args, 6, at++));
        a.myClub = TextArgument(Nth(args, 6, at));
    } catch (...) {
        if (a.form != nullptr) a.form->Release();
        if (argError != nullptr) *argError = 6 - 1 - at;
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT_BOOL answer = VARIANT_FALSE;
    hr = Guarded([&] { return RunIuf(a); }, answer, exception, true, kMajIUFSource, &QUORVEL_IID__clsMajIUF);
    if (a.form != nullptr) a.form->Release();
    if (SUCCEEDED(hr)) Answer(result, answer);
    return hr;
}

HRESULT MajIUFCall::Direct(BSTR* source, BSTR* base, BSTR* trace, IDispatch** form, VARIANT_BOOL* onlyMyClub,
                           BSTR* myClub, VARIANT_BOOL* result) {
    if (result == nullptr) return E_POINTER;
    IufArguments a{Text(source),
                   Text(base),
                   Text(trace),
                   Text(myClub),
                   onlyMyClub != nullptr && *onlyMyClub != VARIANT_FALSE,
                   Object(form)};
    HRESULT hr =
        Guarded([&] { return RunIuf(a); }, *result, nullptr, false, kMajIUFSource, &QUORVEL_IID__clsMajIUF);
    if (a.form != nullptr) a.form->Release();
    return hr;
}

} // namespace quorvel::automation
