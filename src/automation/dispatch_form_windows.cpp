#include "automation/dispatch_form_windows.hpp"

#include <dispex.h>

#include <cmath>

namespace quorvel::automation {

namespace {

// Script engines' extended dispatch interface; mingw's import libraries lack its identifier.
const IID kIID_IDispatchEx = {0xa6ef9860, 0xc720, 0x11d0, {0x93, 0x37, 0x00, 0xa0, 0xc9, 0x0d, 0xca, 0xa9}};

// A VARIANT that clears itself.
struct Value {
    VARIANT v;
    Value() { ::VariantInit(&v); }
    ~Value() { ::VariantClear(&v); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
};

[[noreturn]] void NotSupported() {
    throw Error(errnum::kNotSupported, "Propriété ou méthode non gérée par cet objet");
}

[[noreturn]] void Raised(HRESULT hr, EXCEPINFO& info) {
    if (info.pfnDeferredFillIn != nullptr) info.pfnDeferredFillIn(&info);
    std::string description = Utf8(info.bstrDescription);
    long number = info.wCode != 0 ? info.wCode : HRESULT_CODE(info.scode);
    ::SysFreeString(info.bstrSource);
    ::SysFreeString(info.bstrDescription);
    ::SysFreeString(info.bstrHelpFile);
    if (description.empty()) description = "Erreur Automation";
    throw Error(number != 0 ? number : HRESULT_CODE(hr), description);
}

// Calls member `name` of `object` with `flags` and `params`; the result goes to `result`.
void Call(IDispatch* object, const wchar_t* name, WORD flags, DISPPARAMS& params, VARIANT* result) {
    IDispatchEx* ex = nullptr;
    DISPID id = DISPID_UNKNOWN;
    EXCEPINFO info{};
    HRESULT hr;
    if (SUCCEEDED(object->QueryInterface(kIID_IDispatchEx, reinterpret_cast<void**>(&ex)))) {
        BSTR member = ::SysAllocString(name);
        hr = ex->GetDispID(member, fdexNameCaseInsensitive, &id);
        ::SysFreeString(member);
        if (SUCCEEDED(hr)) hr = ex->InvokeEx(id, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
        ex->Release();
    } else {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (SUCCEEDED(hr))
            hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &info, nullptr);
    }
    if (hr == DISP_E_UNKNOWNNAME || hr == DISP_E_MEMBERNOTFOUND) NotSupported();
    if (hr == DISP_E_EXCEPTION) Raised(hr, info);
    if (FAILED(hr)) throw Error(HRESULT_CODE(hr), "Erreur Automation");
}

// The object that member `name` of `object` returns (with `index` as its argument when >= 0).
IDispatch* Member(IDispatch* object, const wchar_t* name, int index = -1) {
    VARIANT argument;
    ::VariantInit(&argument);
    V_VT(&argument) = VT_I2;
    V_I2(&argument) = static_cast<SHORT>(index);
    DISPPARAMS params{index >= 0 ? &argument : nullptr, nullptr, index >= 0 ? 1u : 0u, 0};
    Value result;
    Call(object, name, index >= 0 ? DISPATCH_PROPERTYGET | DISPATCH_METHOD : DISPATCH_PROPERTYGET, params,
         &result.v);
    if (V_VT(&result.v) != VT_DISPATCH || V_DISPATCH(&result.v) == nullptr)
        throw Error(errnum::kObjectRequired, "Objet requis");
    IDispatch* member = V_DISPATCH(&result.v);
    member->AddRef();
    return member;
}

// Sets property `name` of `object` to `value`.
void Put(IDispatch* object, const wchar_t* name, VARIANT& value) {
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    Call(object, name, DISPATCH_PROPERTYPUT, params, nullptr);
}

// The form's progress bar.
struct Bar {
    IDispatch* bar;
    explicit Bar(IDispatch* form) : bar(Member(form, L"ProgressBar1")) {}
    ~Bar() { bar->Release(); }
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;
};

} // namespace

DispatchForm::DispatchForm(IDispatch* form) : form_(form) {
    if (form_ != nullptr) form_->AddRef();
}

DispatchForm::~DispatchForm() {
    if (form_ != nullptr) form_->Release();
}

namespace {
IDispatch* Required(IDispatch* form) {
    if (form == nullptr)
        throw Error(errnum::kObjectNotSet, "Variable objet ou variable de bloc With non définie");
    return form;
}
} // namespace

double DispatchForm::ProgressValue() const {
    Bar bar(Required(form_));
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Value value, number;
    Call(bar.bar, L"Value", DISPATCH_PROPERTYGET, none, &value.v);
    if (FAILED(::VariantChangeType(&number.v, &value.v, 0, VT_R8)))
        throw Error(errnum::kTypeMismatch, "Incompatibilité de type");
    return V_R8(&number.v);
}

void DispatchForm::SetProgressValue(double value) {
    Bar bar(Required(form_));
    VARIANT v;
    ::VariantInit(&v);
    // Whole values go as 16-bit integers, as the run writes 0 and 100; steps keep their fraction.
    if (value == std::floor(value) && std::fabs(value) <= 32767) {
        V_VT(&v) = VT_I2;
        V_I2(&v) = static_cast<SHORT>(value);
    } else {
        V_VT(&v) = VT_R8;
        V_R8(&v) = value;
    }
    Put(bar.bar, L"Value", v);
}

void DispatchForm::SetLabelCaption(int index, const std::string& caption) {
    IDispatch* label = Member(Required(form_), L"lb_message", index);
    Value text;
    V_VT(&text.v) = VT_BSTR;
    V_BSTR(&text.v) = NewBstr(caption);
    try {
        Put(label, L"Caption", text.v);
    } catch (...) {
        label->Release();
        throw;
    }
    label->Release();
}

void DispatchForm::Refresh() {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Call(Required(form_), L"Refresh", DISPATCH_METHOD, none, nullptr);
}

} // namespace quorvel::automation
