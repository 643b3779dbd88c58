#pragma once
// The two methods as automation calls: the dual interfaces' tables, and each method's way in
// through IDispatch::Invoke (arguments as a script host passes them) or through the table
// (by-reference BSTRs and objects, as a compiled host passes them). A run-time error leaves as
// an automation exception carrying its number and its French description.

#include "automation/com_windows.hpp"

namespace quorvel::automation {

// _clsRecupLicence: IDispatch, then bImport_Licence.
struct DualRecupLicence : IDispatch {
    virtual HRESULT __stdcall bImport_Licence(BSTR* strFileBase_P, BSTR* strRepSource, BSTR* strRepTempo,
                                              BSTR* strFileTrace_P, IDispatch** objFormCible,
                                              VARIANT_BOOL* result) = 0;
};

// _clsMajIUF: IDispatch, then bImport_CodeIUF.
struct DualMajIUF : IDispatch {
    virtual HRESULT __stdcall bImport_CodeIUF(BSTR* strRepSource, BSTR* strFileBase_P, BSTR* strFileTrace_P,
                                              IDispatch** objFormCible, VARIANT_BOOL* bOnlyMonCLub,
                                              BSTR* strCodeMonClub, VARIANT_BOOL* result) = 0;
};

struct RecupLicenceCall {
    static constexpr const wchar_t* kName = L"bImport_Licence";
    static constexpr DISPID kDispId = 0x60030000;
    static HRESULT Invoke(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError);
    static HRESULT Direct(BSTR* base, BSTR* source, BSTR* tempo, BSTR* trace, IDispatch** form,
                          VARIANT_BOOL* result);
};

struct MajIUFCall {
    static constexpr const wchar_t* kName = L"bImport_CodeIUF";
    static constexpr DISPID kDispId = 0x60030000;
    static HRESULT Invoke(DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError);
    static HRESULT Direct(BSTR* source, BSTR* base, BSTR* trace, IDispatch** form, VARIANT_BOOL* onlyMyClub,
                          BSTR* myClub, VARIANT_BOOL* result);
};

} // namespace quorvel::automation
