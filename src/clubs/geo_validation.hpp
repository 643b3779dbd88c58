#pragma once
// The geography carried by a federal club code: country (3), inter-region (1), region (2),
// department (3), club number (4).

#include "storage/reference_answers.hpp"

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

// Every region of the reference tables with its inter-region as vCodeInter_Region() gives it (no
// value when it has none), read once per run: the run never writes those tables. Throws when
// the query fails.
const storage::ReferenceAnswers::Pairs& RegionInters(ImportSession& session);
// The same when it was read already in the run; null otherwise (nothing is read).
const storage::ReferenceAnswers::Pairs* KnownRegionInters(const ImportSession& session);

} // namespace clubs
} // namespace quorvel
