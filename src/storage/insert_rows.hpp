#pragma once
// Inserts of one row each, sent one after the other, go to a server as fewer statements of many
// rows: each statement costs the server its own start, as much as the row it stores.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::storage {

// `sql`, an INSERT of one row whose values are its parameters in order
// ("INSERT INTO T (a, b) VALUES (?1, ?2)"), made into the same INSERT of `rows` rows
// ("... VALUES (?1, ?2), (?3, ?4)" for 2), the rows stored in the order written. Empty when `sql`
// is not of that form.
std::string ManyRowsInsert(std::string_view sql, std::size_t rows);

} // namespace quorvel::storage
