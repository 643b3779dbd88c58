#pragma once
// The component's fixed identity (identity.h) as the registration and the class factory use it.

#include <quorvel/identity.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quorvel::automation {

// One creatable class with its default interface.
struct ClassIdentity {
    std::string_view name;   // "clsRecupLicence"
    std::string_view progId; // "quorvel.clsRecupLicence"
    const quorvel_guid* clsid;
    std::string_view interfaceName; // "_clsRecupLicence"
    const quorvel_guid* iid;
};

// The two classes, clsRecupLicence first.
const std::array<ClassIdentity, 2>& Classes();

// The class whose CLSID is `clsid`, or null.
const ClassIdentity* FindClass(const quorvel_guid& clsid);

bool operator==(const quorvel_guid& a, const quorvel_guid& b);

// The registry text form: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
std::string GuidToString(const quorvel_guid& guid);
// Reads the registry text form (either case, braces required); nullopt when malformed.
std::optional<quorvel_guid> ParseGuid(std::string_view text);

} // namespace quorvel::automation
