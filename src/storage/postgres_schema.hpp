#pragma once
// The club application's tables in a PostgreSQL database, read as the file database's: code
// columns compare without regard to case, row numbers are one more than the largest the table
// ever held, taken back with the transaction that took them.

namespace quorvel::storage {

// The statements that create the tables in an empty database.
extern const char* const kPostgresSchema;
// A query that counts the application's tables already in the database.
extern const char* const kPostgresTablesPresent;

} // namespace quorvel::storage
