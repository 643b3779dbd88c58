#include "storage/reference_answers.hpp"

#include "storage/queries.hpp"

namespace quorvel::storage {

std::int32_t ReferenceAnswers::Count(Connection& db, std::string_view sql, Params params) {
    // The statement, then each value with its kind, each part after its length.
    key_.assign(std::to_string(sql.size())).append(1, ':').append(sql);
    for (const Param& p : params) {
        const std::string value =
            p.kind == Param::Kind::Text ? std::string(p.text) : std::to_string(p.integer);
        key_.append(p.kind == Param::Kind::Text ? ";t" : ";i").append(std::to_string(value.size()));
        key_.append(1, ':').append(value);
    }
    if (auto known = answers_.find(key_); known != answers_.end()) return known->second;
    const std::int32_t count = lngRequeteValeur(db, sql, params);
    answers_.emplace(key_, count);
    return count;
}

} // namespace quorvel::storage
