#pragma once
// Answers about the reference tables (countries, inter-regions, regions, departments) that the
// geographic check of club codes asks. A run never writes these tables: an answer read once holds
// for the whole run, so a question that many lines repeat (a club code refused line after line)
// costs one query, and on a server one round trip, per run.

#include "storage/connection.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel::storage {

class ReferenceAnswers {
public:
    // The count that `sql` (a count over reference tables) gives for `params`: asked with
    // lngRequeteValeur the first time, remembered after. A query that fails is not remembered:
    // it throws, and the next time asks again.
    std::int32_t Count(Connection& db, std::string_view sql, Params params);

    // The rows of a query over reference tables with two columns, as texts: a row whose first
    // column is NULL is left out, a NULL second column reads as no value.
    using Pairs = std::vector<std::pair<std::string, std::optional<std::string>>>;
    // The rows of `sql` (without parameters): read the first time, remembered after. A query
    // that fails is not remembered: it throws, and the next time reads again.
    const Pairs& Rows(Connection& db, std::string_view sql);
    // The rows of `sql` when they were read already in the run; null otherwise (nothing is read).
    const Pairs* KnownRows(std::string_view sql) const;

private:
    std::unordered_map<std::string, std::int32_t> answers_;
    std::unordered_map<std::string, Pairs> rows_;
    std::string key_;
};

} // namespace quorvel::storage
