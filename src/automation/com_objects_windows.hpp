#pragma once
// The automation objects of quorvel.dll: a class factory per class, and the two classes, each
// answering IDispatch (late binding: bImport_Licence / bImport_CodeIUF by name, dispatch
// identifier 0x60030000) and its dual interface (_clsRecupLicence / _clsMajIUF: the method in
// the table after IDispatch's own, by-reference arguments, the Boolean as out value).

#include "automation/com_windows.hpp"

namespace quorvel::automation {

// A new class factory for `clsid`, as DllGetClassObject hands it out.
HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// True when no object and no lock of the factories is alive.
bool CanUnload();

} // namespace quorvel::automation
