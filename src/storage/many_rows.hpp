#pragma once
// Inserts or updates of one row each, sent one after the other, go to a server as fewer statements
// of many rows: each statement costs the server its own start, as much as the row it writes.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::storage {

// `sql`, an INSERT of one row whose values are its parameters in order
// ("INSERT INTO T (a, b) VALUES (?1, ?2)"), made into the same INSERT of `rows` rows
// ("... VALUES (?1, ?2), (?3, ?4)" for 2), the rows stored in the order written. Empty when `sql`
// is not of that form.
std::string ManyRowsInsert(std::string_view sql, std::size_t rows);

// `sql`, an UPDATE that sets columns to parameters and finds its rows by columns equal to the
// others ("UPDATE T SET a = ?1 WHERE b = ?2 and c = ?3", each parameter once), made into one
// UPDATE for `rows` sets of parameters, numbered on (?4, ?5, ?6 for the second). Each row of the
// table takes the values of the set whose key finds it: the caller sends together only sets whose
// keys no row can match twice. Empty when `sql` is not of that form.
// `types` names the type of each parameter's column (from 0): the values of the first set are
// written as such, so that each compares with its column as the one-row statement's does.
std::string ManyRowsUpdate(std::string_view sql, std::size_t rows, const std::vector<std::string>& types);
// An UPDATE of that form: its table, the column each parameter (from 0) goes with, and the
// parameters it finds its rows by.
struct UpdateShape {
    std::string table;
    std::vector<std::string> columns;
    std::vector<std::size_t> keys;
};
// Nothing when `sql` is not of that form.
std::optional<UpdateShape> UpdateShapeOf(std::string_view sql);

} // namespace quorvel::storage
