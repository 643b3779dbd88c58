#pragma once
// The geography carried by a federal club code: country (3), inter-region (1), region (2),
// department (3), club number (4).

#include <string>
#include <string_view>

namespace quorvel {
struct ImportSession;

namespace clubs {

// True when the code's geographic pieces exist in the reference tables and each belongs to the
// piece above it. A French code may stop at any depth ("0"/"00"/"000" stand for no such level);
// a foreign code is valid only without an inter-region. Queries stop at the first check that
// fails. Throws when a query fails.
bool bVerif_CodeClub(ImportSession& session, std::string_view code);

// The inter-region (CodeInter) of a region, as text; empty when no region has that code.
std::string vCodeInter_Region(ImportSession& session, std::string_view region);

} // namespace clubs
} // namespace quorvel
