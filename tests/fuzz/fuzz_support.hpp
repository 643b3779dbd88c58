#pragma once
// What the fuzz targets share: a private folder per process, databases holding the bundled sample
// export, sessions opened on them, and the way a target reports a broken property.

#include "session/import_session.hpp"
#include "storage/connection.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::fuzz {

// A folder of this process (on /dev/shm when it exists, else under the temporary folder), removed
// when the process exits (after a finding, by the next fuzz process that starts).
const std::string& ProcessFolder();

// Writes `size` bytes to `path`, replacing the file.
void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size);
void WriteBytes(const std::string& path, std::string_view bytes);

// Creates (once per process) a database with the reference data into which the bundled sample
// export has been imported, and returns its path. Targets copy it instead of changing it.
const std::string& SampleDatabase();

// Every row of a query, as text: values separated by "|", rows ended by a line break.
std::string Rows(storage::Connection& connection, std::string_view sql);

// A finding unless the rows of the sample database that no import may change or remove (clubs by
// code, licences with their club, number, names and birth date, selection rows) read through
// `connection` as they did when the sample was imported.
void CheckSampleRows(storage::Connection& connection);

// Opens `db`, checks it and closes it again: a finding unless PRAGMA integrity_check answers "ok",
// Info.LastClose is true (every call closed the database) and the sample's rows are intact.
void CheckDatabase(const std::string& db);

// A session connected to a database of its own (a copy of the sample database), with its
// TraceLog open, as the public method prepares it for a pass.
class OpenSession {
public:
    explicit OpenSession(const std::string& name);
    ImportSession& operator*() { return session_; }
    // Empties the TraceLog and the sets of clubs and licences handled, as a new call would.
    void Restart();
    const std::string& db() const { return db_; }

private:
    std::string db_;
    std::string trace_;
    ImportSession session_;
};

// Reports a broken property and stops the process, so that the fuzzer keeps the input.
[[noreturn]] void Finding(std::string_view what);

} // namespace quorvel::fuzz
