#pragma once
// The club pass: every line of club.txt goes through the club registry.

#include <string>

namespace quorvel {
struct ImportSession;

namespace clubs {

// Reads club.txt (`strFichier`) from start to end: each line's code (13 characters) and name (30)
// go to iTraite_Club, whose outcome is counted and, for a refusal or a differing name, reported
// with the line number; the codes handled join colClubsTraites. Advances the progress bar by
// `dblPas` per line and ends with the five-line summary. A failure (the file cannot be read, the
// TraceLog or the form fails) ends the pass with "Import des clubs interrompu." and no summary;
// nothing leaves the pass.
void Import_Club(ImportSession& session, const std::string& strFichier, double dblPas, long estimate);

} // namespace clubs
} // namespace quorvel
