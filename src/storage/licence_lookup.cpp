#include "storage/licence_lookup.hpp"

#include "storage/queries.hpp"

#include <string>

namespace quorvel::storage {

namespace {

// Only the first licence stored counts.
constexpr std::string_view kSelectLicence =
    "select Nom, Prenom, Num from Licence where Code_Club = ?1 and Licence = ?2 order by Num limit 1";
// For each key of the window its first licence stored, and the first key of the window that the
// key columns' collation holds equal to it.
constexpr std::string_view kSelectLicences =
    "SELECT k.i, (l.Num IS NOT NULL)::int, l.Nom, l.Prenom, l.Num, "
    "min(k.i) OVER (PARTITION BY k.c COLLATE nocase, k.n COLLATE nocase) "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i) "
    "LEFT JOIN LATERAL (SELECT Nom, Prenom, Num FROM Licence WHERE Code_Club = k.c AND Licence = k.n "
    "ORDER BY Num LIMIT 1) l ON true";

constexpr std::string_view kCountLicence =
    "SELECT count(*) FROM Licence WHERE Code_Club = ?1 and Licence = ?2";
constexpr std::string_view kCountLicences =
    "SELECT k.i, 1, (SELECT count(*) FROM Licence WHERE Code_Club = k.c and Licence = k.n), k.i "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i)";

} // namespace

std::size_t LicenceLookup::Window(const Connection& db) const noexcept {
    return ahead_.Window(db);
}

void LicenceLookup::Ahead(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept {
    if (question_ == Question::FirstStored)
        ahead_.TryFetch(db, kSelectLicences, 3, first, keys);
    else
        ahead_.TryFetch(db, kCountLicences, 1, first, keys);
}

void LicenceLookup::FirstStored(Connection& db, long line, std::string_view club, std::string_view licence,
                                ResultTable& table) {
    if (!ahead_.Answer(line, club, licence, table))
        RequeteTableau(db, table, kSelectLicence, {club, licence});
}

long LicenceLookup::Count(Connection& db, long line, std::string_view club, std::string_view licence) {
    return ahead_.Count(db, kCountLicence, line, club, licence);
}

} // namespace quorvel::storage
