#pragma once
// Membership of a selection (a team list kept like a club): one Selection row linking the
// selection's code to a licence row's Num.

#include <string>
#include <string_view>

namespace quorvel {
struct ImportSession;

namespace licences {

// Inserts the row (`strCodeSel`, `strNumLic`) into Selection; `strNumLic` is the licence row's Num
// as text. Does not look for the same pair first: the callers do. Throws quorvel::Error when the
// row cannot be stored, including when `strNumLic` is not a whole number (a type mismatch).
// Writes nothing to the TraceLog.
void Ajout_Selection(ImportSession& session, std::string_view strCodeSel, std::string_view strNumLic);

} // namespace licences
} // namespace quorvel
