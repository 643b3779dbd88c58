#pragma once
// The update of the licences' IUF codes from one IUF file.

#include <string>

namespace quorvel {
struct ImportSession;

// Reads the IUF file `path` line by line. Each 45-character line names a club by its short code
// (region, department, club number), a licence number and the licence's IUF code; the club's
// full federal code is rebuilt from the region's inter-region, and every matching licence of
// the Licence table receives the code in Code_unique. With `bOnlyMonCLub`, lines of any club
// other than `strCodeMonClub` (compared exactly, letter case included) are read but not used.
// The progress bar advances by `dblPas` for every line read.
//
// Writes a two-line summary, or the interruption message when a failure stops the file (the
// updates already made stay), then an empty line. A failure while reading the file or updating
// the database is reported and the call returns normally; only a failure to write the TraceLog
// or to make the earlier updates durable leaves it.
void Maj_FichierIUF(ImportSession& session, const std::string& path, double dblPas, long estimate,
                    bool bOnlyMonCLub, const std::string& strCodeMonClub);

} // namespace quorvel
