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

const ReferenceAnswers::Pairs& ReferenceAnswers::Rows(Connection& db, std::string_view sql) {
    if (const Pairs* known = KnownRows(sql)) return *known;
    Pairs rows;
    db.Query(sql, {}, [&rows](const Row& row) {
        if (row.IsNull(0)) return;
        std::optional<std::string> second;
        if (!row.IsNull(1)) second.emplace(row.Text(1));
        rows.emplace_back(row.Text(0), std::move(second));
    });
    return rows_.emplace(std::string(sql), std::move(rows)).first->second;
}

const ReferenceAnswers::Pairs* ReferenceAnswers::KnownRows(std::string_view sql) const {
    auto known = rows_.find(std::string(sql));
    return known != rows_.end() ? &known->second : nullptr;
}

} // namespace quorvel::storage
