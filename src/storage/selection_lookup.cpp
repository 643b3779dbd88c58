#include "storage/selection_lookup.hpp"

#include "storage/queries.hpp"

#include <string>

namespace quorvel::storage {

namespace {

constexpr std::string_view kCountSelection =
    "select count(*) from Selection where Code_Sel = ?1 and Num_Lic = ?2";
// Each key asks alone: equal keys are told apart by their Num, which the lines compare exactly.
constexpr std::string_view kCountSelections =
    "SELECT k.i, 1, (SELECT count(*) FROM Selection WHERE Code_Sel = k.c AND Num_Lic = k.n::integer), k.i "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i)";

} // namespace

std::size_t SelectionLookup::Window(const Connection& db) const noexcept {
    return ahead_.Window(db);
}

void SelectionLookup::Ahead(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept {
    ahead_.TryFetch(db, kCountSelections, 1, first, keys);
}

long SelectionLookup::Count(Connection& db, long line, std::string_view code, std::string_view num) {
    return ahead_.Count(db, kCountSelection, line, code, num);
}

} // namespace quorvel::storage
