#pragma once
// Storage of a new licence as a Licence row. A selection entry is stored under the swimmer's own
// club and licence number and the swimmer joins the selection.

#include "licences/licence_record.hpp"

#include <string>

namespace quorvel {
struct ImportSession;

namespace licences {

// Inserts `record` into Licence (every field but Origine; Date_suppr empty).
//
// For a selection entry (club code ending in "0000"), the record is first moved to the swimmer's
// own club and licence number taken from its Origine: fields 0 and 1 are rewritten in the
// caller's record (field 1 only when the own licence number is not empty; otherwise an error
// entry says that the selection's number is used). The own club goes through the club registry
// (a creation is reported and counted in `lngClubsCrees`). After the insertion the new row's Num
// is read back and the swimmer is added to the selection; `joined` gets that Num (it stays empty
// when no Selection row was tried).
//
// Returns true when the licence row is stored, even if joining the selection then failed (which is
// reported). Returns false when the own club is refused, the new row cannot be found again, or
// the database fails; each case has already written its own TraceLog entry for line `lngLigne`.
// Throws only when the TraceLog itself cannot be written.
bool bAjout_Licence(ImportSession& session, LicenceRecord& record, long& lngClubsCrees, long lngLigne,
                    std::string& joined);

} // namespace licences
} // namespace quorvel
