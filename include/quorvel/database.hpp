#pragma once
// Creation of a new, empty host database (the club application's own file).

#include <quorvel/export.h>

#include <quorvel/error.hpp>

#include <string>
#include <string_view>

namespace quorvel {

// Creates a new encrypted database at `path` with the host application's tables (Info, Club,
// Licence, Selection, Pays, Inter_Region, Region, Departement), Info holding one row with
// LastClose true. When `referenceFile` is not empty, the reference tables are filled from
// that file (see data/reference/france.txt for its format). Throws quorvel::Error if `path`
// already exists, or if the file cannot be created or the reference file read.
// `path` may also be a PostgreSQL URI (postgresql://user@host:port/dbname): the tables are then
// created in that database, which must exist and hold none of them yet.
QUORVEL_API void CreateHostDatabase(const std::string& path, const std::string& referenceFile);

// True when `database` names a PostgreSQL database (a postgresql:// or postgres:// URI) rather
// than a file.
QUORVEL_API bool IsServerUri(std::string_view database) noexcept;

// `database` as it may be printed or stored in a report: a file's path as it is; a URI with
// the password of its user information and of its `password` parameters replaced by "***"
// (an unencoded '@' in the password included).
QUORVEL_API std::string ShownDatabase(const std::string& database);

} // namespace quorvel
