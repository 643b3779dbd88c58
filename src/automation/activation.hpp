#pragma once
// Creation of a class by its ProgID through the registry file, as the platform's object
// creation does it: ProgID -> CLSID -> server library -> DllGetClassObject -> factory.

#include <quorvel/quorvel.h>

#include <string>

namespace quorvel::automation {

// Creates the class registered under `progId` in the registry file `registryPath`.
quorvel_hresult CreateInstanceByProgID(const std::string& registryPath, const char* progId,
                                       const quorvel_guid* riid, void** ppv);

} // namespace quorvel::automation
