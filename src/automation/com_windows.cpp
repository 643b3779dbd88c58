#include "automation/com_windows.hpp"

namespace quorvel::automation {

BSTR NewBstr(const std::string& text) {
    std::wstring wide = Wide(text);
    return ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

namespace {

// The value behind a reference argument.
const VARIANT& Dereferenced(const VARIANT& argument) {
    if (V_VT(&argument) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(&argument) != nullptr)
        return *V_VARIANTREF(&argument);
    return argument;
}

// `argument` converted to `type` in `out` (cleared by the caller); references are followed by
// the system's own conversion.
void Converted(const VARIANT& argument, VARTYPE type, VARIANT& out) {
    ::VariantInit(&out);
    HRESULT hr = ::VariantChangeType(&out, const_cast<VARIANT*>(&Dereferenced(argument)), 0, type);
    if (FAILED(hr)) throw Error(errnum::kTypeMismatch, "Incompatibilité de type");
}

} // namespace

std::string TextArgument(const VARIANT& argument) {
    const VARIANT& value = Dereferenced(argument);
    if (V_VT(&value) == VT_EMPTY || V_VT(&value) == VT_NULL) return {};
    VARIANT text;
    Converted(value, VT_BSTR, text);
    std::string result = Utf8(V_BSTR(&text), static_cast<int>(::SysStringLen(V_BSTR(&text))));
    ::VariantClear(&text);
    return result;
}

bool BooleanArgument(const VARIANT& argument) {
    VARIANT flag;
    Converted(argument, VT_BOOL, flag);
    return V_BOOL(&flag) != VARIANT_FALSE;
}

IDispatch* ObjectArgument(const VARIANT& argument) {
    const VARIANT& value = Dereferenced(argument);
    IUnknown* unknown = nullptr;
    switch (V_VT(&value)) {
    case VT_EMPTY:
    case VT_NULL:
        return nullptr;
    case VT_DISPATCH:
    case VT_UNKNOWN:
        unknown = V_UNKNOWN(&value);
        break;
    case VT_DISPATCH | VT_BYREF:
    case VT_UNKNOWN | VT_BYREF:
        unknown = V_UNKNOWNREF(&value) != nullptr ? *V_UNKNOWNREF(&value) : nullptr;
        break;
    default:
        throw Error(errnum::kTypeMismatch, "Incompatibilité de type");
    }
    if (unknown == nullptr) return nullptr;
    IDispatch* form = nullptr;
    if (FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&form))))
        throw Error(errnum::kObjectRequired, "Objet requis");
    return form;
}

HRESULT ErrorResult(const Error& error) {
    long n = error.number();
    if (n > 0 && n <= 0xFFFF) return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, n);
    return n < 0 ? static_cast<HRESULT>(n) : E_FAIL;
}

void FillException(EXCEPINFO* info, const Error& error, const wchar_t* source) {
    if (info == nullptr) return;
    *info = EXCEPINFO{};
    info->scode = ErrorResult(error);
    info->bstrSource = ::SysAllocString(source);
    info->bstrDescription = NewBstr(error.description());
}

void SetThreadError(const Error& error, const wchar_t* source, REFIID iid) {
    ICreateErrorInfo* create = nullptr;
    if (FAILED(::CreateErrorInfo(&create))) return;
    std::wstring description = Wide(error.description());
    create->SetGUID(iid);
    create->SetSource(const_cast<LPOLESTR>(source));
    create->SetDescription(description.data());
    IErrorInfo* info = nullptr;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
        ::SetErrorInfo(0, info);
        info->Release();
    }
    create->Release();
}

} // namespace quorvel::automation
