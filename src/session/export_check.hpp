#pragma once
// A file that is plainly not an export (a spreadsheet's re-save, a text in UTF-16), told before
// anything is copied or stored.

#include "tracelog/trace_log.hpp"

#include <cstddef>
#include <string>

namespace quorvel {

// The separator (';' or a tab) when `path` is plainly not an export of records of `length`
// characters and `fields` fields: it has lines, none of them of that length, and every line that
// is not blank holds that separator at least once for every two fields (a spreadsheet writes one
// between every two). 0 otherwise: an export with some short or long lines, or a few ';' in its
// texts, is read as usual. Throws what opening the file throws (UTF-16 included).
char cSeparateurAuLieuDeChamps(const std::string& path, std::size_t length, int fields);

// True when the export file `path` (missing: true) can be read as an export of such records.
// Otherwise writes why in the TraceLog, with "Import annulé.", and returns false; a UTF-16 text
// is told there too before its error leaves.
bool bFichierExport(tracelog::TraceLog& trace, const std::string& path, std::size_t length, int fields);

} // namespace quorvel
