#pragma once
// Answers about the reference tables (countries, inter-regions, regions, departments) that the
// geographic check of club codes asks. A run never writes these tables: an answer read once holds
// for the whole run, so a question that many lines repeat (a club code refused line after line)
// costs one query, and on a server one round trip, per run.

#include "storage/connection.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

namespace quorvel::storage {

class ReferenceAnswers {
public:
    // The count that `sql` (a count over reference tables) gives for `params`: asked with
    // lngRequeteValeur the first time, remembered after. A query that fails is not remembered:
    // it throws, and the next time asks again.
    std::int32_t Count(Connection& db, std::string_view sql, Params params);

private:
    std::unordered_map<std::string, std::int32_t> answers_;
    std::string key_;
};

} // namespace quorvel::storage
