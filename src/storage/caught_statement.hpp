#pragma once
// A write whose failure is caught where it runs. Once lines fail in a batch, a server runs each
// write of a line inside a function of the session whose block catches any error: the error
// comes back as the function's answer, and the statements sent after it run as they would have,
// instead of being skipped until the failure is dealt with. The write's own work is undone by
// the block, as it would be by the failure.

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::storage {

// The statement that creates the temporary function `name`, which runs `sql` (an INSERT, UPDATE
// or DELETE with ?N parameters) with its parameters given as text and read as `types` (the
// server's names of the types the statement itself takes them as, from the first), and answers
// NULL, or the failure's SQLSTATE followed by its message. Empty when `sql` cannot run there: any
// other statement, one that returns rows, or one that holds the function's quotes.
std::string CaughtStatementFunction(std::string_view sql, std::string_view name,
                                    const std::vector<std::string>& types);
// The call of that function, its `count` parameters written ?1 to ?count.
std::string CaughtStatementCall(std::string_view name, int count);

} // namespace quorvel::storage
