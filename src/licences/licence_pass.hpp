#pragma once
// The licence pass: every line of licence.txt, from the club check to the licence's storage.

#include <string>

namespace quorvel {
struct ImportSession;

namespace licences {

// Reads licence.txt (`strFichier`) from start to end. For each line, in this order: a relay
// licence (number starting with R or r) is counted and skipped; the line's club goes through the
// club registry (an unknown valid club is created under the placeholder name); a selection entry
// is resolved to the swimmer's own club and licence number; a licence already handled during the
// call is skipped silently; a licence the database does not know is stored, a known one may join
// the selection and is checked against the stored name. Warnings and errors are written with the
// line number, the progress bar advances by `dblPas` per line, and five counted lines close the
// pass.
//
// A run-time failure (the file cannot be read, a lookup fails, a licence number that does not
// open with a year, ...) ends the pass with "Import des licences interrompu." and the error, for
// the current line, and no summary; what was stored before stays stored. Nothing leaves the pass.
void Import_Licences(ImportSession& session, const std::string& strFichier, double dblPas, long estimate);

} // namespace licences
} // namespace quorvel
