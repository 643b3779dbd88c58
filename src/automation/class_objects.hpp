#pragma once
// The objects behind the C interface: the class factory and the instances of the two classes,
// with the count of live objects and locks that tells whether the library may be unloaded.

#include <quorvel/quorvel.h>

namespace quorvel::automation {

// A new class factory for `clsid` (see DllGetClassObject in quorvel.h).
quorvel_hresult GetClassObject(const quorvel_guid* clsid, const quorvel_guid* riid, void** ppv);

// True when no factory, no instance and no lock is alive.
bool CanUnload();

} // namespace quorvel::automation
