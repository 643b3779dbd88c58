#pragma once
// What the fuzz targets share: a scratch folder per process, a database holding the bundled sample
// export and watching its rows, a session connected to it, and the way a target reports a finding.

#include "session/import_session.hpp"

#include <fstream>

namespace quorvel::fuzz {

// A new folder of this process under the temporary folder (scripts/fuzz.sh points TMPDIR at
// memory and removes it afterwards).
const std::string& Folder();

inline void WriteFile(const std::string& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A database into which the bundled sample export was imported, made once per process. Its table
// Watch counts the clubs and licences added since (columns clubs, licences) and names in `changed`
// every table of which a stored row was removed or had a column changed that no import may change
// (a club's code or selection mark, a licence's club, number, names or birth date, any selection
// entry).
const std::string& SampleDatabase();

// The session of a call, connected to the sample database, its TraceLog just emptied, no club or
// licence handled yet.
ImportSession& Session();

// Every row of `sql` as text: values separated by "|", rows ended by a line break.
std::string Rows(storage::Connection& connection, std::string_view sql);

// Reports a broken property and stops the process, so that the fuzzer keeps the input.
[[noreturn]] void Finding(std::string_view what);

} // namespace quorvel::fuzz
