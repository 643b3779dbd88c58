#pragma once
// Looking after a host database: what it holds, its fingerprint, and consistent copies of a
// database file (the way back before a run writes to it).

#include <quorvel/export.h>

#include <quorvel/error.hpp>

#include <optional>
#include <string>
#include <vector>

namespace quorvel {

// One of the application's tables.
struct TableSummary {
    std::string name;       // as the application names it: "Info", "Club", "Licence"...
    bool present = false;   // the database holds it
    long long rows = 0;     // its number of rows, when present
    bool reference = false; // reference data (countries, inter-regions, regions, departments)
};

// What a database holds, read without changing anything (Info.LastClose included).
struct DatabaseSummary {
    bool server = false; // a PostgreSQL database rather than an SQLCipher file
    std::vector<TableSummary>
        tables;                    // Info, Club, Licence, Selection, Pays, Inter_Region, Region, Departement
    std::optional<bool> lastClose; // Info.LastClose, when Info holds a row
};

// Opens `database` (a file opened with the application's key, never created, or a postgresql://
// URI) and describes it. Throws quorvel::Error when it cannot be opened.
QUORVEL_API DatabaseSummary DescribeDatabase(const std::string& database);

// The club codes the licences of `database` are stored under (Licence.Code_club), each once, in
// ascending order. Throws quorvel::Error when they cannot be read.
QUORVEL_API std::vector<std::string> LicenceClubCodes(const std::string& database);

// A fingerprint of every row of the application's tables in `database`: equal fingerprints mean
// the same content (the file's bytes may differ). Throws quorvel::Error when it cannot be read.
QUORVEL_API std::string ContentFingerprint(const std::string& database);

// Copies the database file `from` onto `to` consistently, through the engine's online backup,
// under the application's key: writers of `from` wait for the copy (or it starts again after
// them), and a `to` that exists is replaced page by page under its own lock, so that its readers
// never see half of it. Throws quorvel::Error when either cannot be opened or the copy fails
// (`to` is then left as it was, or, when it did not exist, removed).
QUORVEL_API void CopyDatabaseFile(const std::string& from, const std::string& to);

} // namespace quorvel
