#pragma once
// The licence import run: origin line, line estimates, club pass, licence pass, closing line.

namespace quorvel {
struct ImportSession;

// Runs once the database is open and licence.txt has been copied. Returns true when it ran to
// its end. The TraceLog stays open for the caller.
bool bTraitementImport(ImportSession& session);

// Before anything is copied: true when the export's licence.txt and club.txt (missing ones
// included) can be read as exports. Otherwise the TraceLog says why (session/export_check) and
// the import does not start.
bool bExportsLisibles(ImportSession& session);

} // namespace quorvel
