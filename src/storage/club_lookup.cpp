#include "storage/club_lookup.hpp"

#include "storage/queries.hpp"

namespace quorvel::storage {

namespace {

// When several clubs share the code, the first one the engine returns decides.
constexpr std::string_view kSelectClub = "select Num, Intitule from Club where Code_federal = ?1";
// For each code of the window its club, when exactly one is stored under it (when several are,
// the code asks alone, so that the same one decides), and the first code of the window that
// the column's collation holds equal to it; all of them, when triggers of the database's own
// on Club may write other clubs than the one a line stores. The second array is unused.
constexpr std::string_view kSelectClubs =
    "SELECT k.i, (c.n > 0)::int, CASE WHEN c.n = 1 THEN c.num END, CASE WHEN c.n = 1 THEN c.intitule END, "
    "CASE WHEN EXISTS (SELECT 1 FROM pg_trigger WHERE tgrelid = 'club'::regclass AND NOT tgisinternal "
    "AND tgname NOT IN ('club_num', 'club_gone')) THEN 1 "
    "ELSE min(k.i) OVER (PARTITION BY k.c COLLATE nocase) END "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, unused, i) "
    "CROSS JOIN LATERAL (SELECT count(*) AS n, min(Num) AS num, min(Intitule) AS intitule "
    "FROM Club WHERE Code_federal = k.c) c";

} // namespace

std::size_t ClubLookup::Window(const Connection& db) const noexcept {
    return ahead_.Window(db);
}

void ClubLookup::Ahead(Connection& db, const std::vector<std::string>& codes) noexcept {
    places_.clear();
    keys_.clear();
    try {
        for (const std::string& code : codes)
            if (places_.try_emplace(code, static_cast<long>(keys_.size()) + 1).second)
                keys_.push_back({code, {}, true});
    } catch (...) {
        keys_.clear();
    }
    if (keys_.empty()) {
        ahead_.Clear();
        return;
    }
    ahead_.TryFetch(db, kSelectClubs, 2, 1, keys_);
    writes_ = db.Writes();
}

void ClubLookup::Find(Connection& db, std::string_view code, ResultTable& table) {
    if (db.Writes() == writes_) {
        auto place = places_.find(std::string(code));
        if (place != places_.end() && ahead_.Answer(place->second, code, {}, table)) return;
    }
    RequeteTableau(db, table, kSelectClub, {code});
}

void ClubLookup::Storing(const Connection& db, std::string_view code) {
    auto place = places_.find(std::string(code));
    if (db.Writes() != writes_ || place == places_.end())
        ahead_.Clear();
    else
        ahead_.Stored(place->second, code, {});
    writes_ = db.Writes() + 1;
}

} // namespace quorvel::storage
