#pragma once
// Opening and closing the host database with its Info.LastClose bookkeeping, and the two read
// operations every pass uses: a count and a whole result copied into a ResultTable.

#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvel::storage {

// Closes the connection if open, opens `database` and sets Info.LastClose to false (made durable
// at once, so a crash leaves it false). Throws quorvel::Error when any of it fails.
void Connect(Connection& connection, const DatabaseName& database);

// Sets Info.LastClose to true and closes the connection if it is open. Throws quorvel::Error
// when that fails (the connection then stays open).
void Disconnect(Connection& connection);

// Updates Info.LastClose on every row of Info.
void MajLastClose(Connection& connection, bool value);

// The first field of the first row as a 32-bit integer. Throws when the statement fails, when it
// returns no row, when the value is NULL or does not fit.
std::int32_t lngRequeteValeur(Connection& connection, std::string_view sql, Params params = {});

// Replaces `table` by the whole result of `sql`: one column of text values per selected column,
// rows in the order read. Throws when the statement fails or a value is NULL (a NULL has no text
// form); the table then holds the rows read before the failure.
void RequeteTableau(Connection& connection, ResultTable& table, std::string_view sql, Params params = {});

} // namespace quorvel::storage
