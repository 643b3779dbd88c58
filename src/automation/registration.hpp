#pragma once
// What registration records about this library in the registry file, and where the library is.

#include "automation/registry_file.hpp"

#include <string>

namespace quorvel::automation {

// Records the two classes, their ProgIDs and interfaces and the type library, served by the
// library file `modulePath`, replacing an earlier registration.
void RegisterServer(RegistryFile& file, const std::string& modulePath);

// Removes every key that RegisterServer writes, and nothing else.
void UnregisterServer(RegistryFile& file);

// Absolute path of the file that holds this code: the shared library, or the program itself
// when the library is linked statically. Throws quorvel::Error when it cannot be found.
std::string ModulePath();

} // namespace quorvel::automation
