#include "storage/licence_lookup.hpp"

#include "storage/plain_text.hpp"
#include "storage/queries.hpp"

#include <cctype>
#include <string>
#include <utility>

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
// The same for keys of printable ASCII only: those the collation holds equal are found by
// folding a-z (see AnswersAhead::TryFetch()), which spares the server a sort of the keys.
constexpr std::string_view kSelectPlainLicences =
    "SELECT k.i, (l.Num IS NOT NULL)::int, l.Nom, l.Prenom, l.Num, k.i "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i) "
    "LEFT JOIN LATERAL (SELECT Nom, Prenom, Num FROM Licence WHERE Code_Club = k.c AND Licence = k.n "
    "ORDER BY Num LIMIT 1) l ON true";

// The first licences stored, enough to tell a table that holds only the few this pass has just
// stored from one that holds others.
constexpr std::string_view kFirstLicences = "select Code_club, Licence from Licence limit 64";
// The Licence table's columns, on the file.
constexpr std::string_view kLicenceColumns = "PRAGMA table_info(Licence)";
// On a server: how many of the two key columns hold text, compared as this program's databases
// do or byte for byte.
constexpr std::string_view kServerTextKeyColumns =
    "SELECT count(*) FROM information_schema.columns WHERE table_schema = current_schema() "
    "AND lower(table_name) = 'licence' AND lower(column_name) IN ('code_club', 'licence') "
    "AND data_type IN ('text', 'character varying', 'character') "
    "AND coalesce(collation_name, 'default') IN ('nocase', 'default', 'C', 'POSIX')";

constexpr std::string_view kCountLicence =
    "SELECT count(*) FROM Licence WHERE Code_Club = ?1 and Licence = ?2";
// For each key of the window its count, and the Num of its only licence (0 unless just one).
constexpr std::string_view kCountLicences =
    "SELECT k.i, 1, l.c, CASE WHEN l.c = 1 THEN l.m ELSE 0 END, k.i "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i) "
    "CROSS JOIN LATERAL (SELECT count(*) AS c, min(Num) AS m FROM Licence "
    "WHERE Code_Club = k.c and Licence = k.n) l";

// True when the key columns compare their values as text, as a new database's do. A column of
// numeric affinity would store "0850300" and "850300" as one number, equal where their text is not.
bool TextKeyColumns(Connection& db) {
    if (db.Remote()) return lngRequeteValeur(db, kServerTextKeyColumns, {}) == 2;
    int text = 0;
    db.Query(kLicenceColumns, {}, [&](const Row& row) {
        std::string name(row.Text(1)), type(row.Text(2));
        for (std::string* s : {&name, &type})
            for (char& c : *s)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if ((name == "CODE_CLUB" || name == "LICENCE") &&
            (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
             type.find("TEXT") != std::string::npos))
            ++text;
    });
    return text == 2;
}

// True when every key wanted is Plain(): a key of other characters may be held equal to one the
// pass stored nothing like. (On a server only plain keys are answered without a query: the hashes
// fold letters a-z only.)
bool AllPlain(const std::vector<AheadKey>& keys) noexcept {
    for (const AheadKey& key : keys)
        if (key.wanted && !(Plain(key.first) && Plain(key.second))) return false;
    return true;
}

// The window query: for keys that are all plain, the one that leaves their equals to folding.
std::string_view SelectLicences(bool plain) noexcept {
    return plain ? kSelectPlainLicences : kSelectLicences;
}

} // namespace

std::size_t LicenceLookup::Window(const Connection& db) const noexcept {
    return ahead_.Window(db);
}

void LicenceLookup::Ahead(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept {
    askedOnlyOurs_ = false;
    lastWindowStored_ = std::exchange(storedSinceAhead_, false);
    if (question_ == Question::Count) {
        ahead_.TryFetch(db, kCountLicences, 2, first, keys);
        return;
    }
    if (!AloneAhead(db) || !AllPlain(keys)) {
        const bool plain = AllPlain(keys);
        ahead_.TryFetch(db, SelectLicences(plain), 3, first, keys, plain);
        return;
    }
    // Only the keys this pass may have stored under need asking: the others are surely absent.
    maybeOurs_ = keys;
    bool any = false;
    for (AheadKey& key : maybeOurs_) {
        key.wanted = key.wanted && !SurelyAbsentKey(db, key.first, key.second);
        any |= key.wanted;
    }
    askedOnlyOurs_ = true;
    if (any)
        ahead_.TryFetch(db, SelectLicences(true), 3, first, maybeOurs_, true);
    else
        ahead_.Clear();
}

void LicenceLookup::AheadNext(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept {
    if (AsksNext()) ahead_.FetchNext(db, SelectLicences(AllPlain(keys)), first, keys);
}

bool LicenceLookup::AloneAhead(Connection& db) noexcept {
    if (alone_ == Alone::No) return false;
    try {
        db.Begin();
        return OnlyOurs(db);
    } catch (...) {
        return false; // the window's query meets the same failure and tells it
    }
}

void LicenceLookup::FirstStored(Connection& db, long line, std::string_view club, std::string_view licence,
                                ResultTable& table) {
    if (ahead_.Answer(line, club, licence, table)) return;
    if (SurelyAbsent(db, club, licence))
        table.Reset(3);
    else
        RequeteTableau(db, table, kSelectLicence, {club, licence});
}

void LicenceLookup::Stored(long line, std::string_view club, std::string_view licence) {
    // A key the window did not ask, because the pass had stored nothing like it, is held equal
    // to none of the keys it asked (those are like keys the pass stored): their answers stay.
    const bool plain = Plain(club) && Plain(licence);
    storedSinceAhead_ = true;
    if (!askedOnlyOurs_ || !plain || ahead_.Asked(line, club, licence)) ahead_.Stored(line, club, licence);
    if (alone_ == Alone::No) return;
    ours_.Add(club, licence);
    plainOnly_ = plainOnly_ && plain;
}

bool LicenceLookup::SurelyAbsent(Connection& db, std::string_view club, std::string_view licence) {
    if (question_ != Question::FirstStored || alone_ == Alone::No || !OnlyOurs(db)) return false;
    return SurelyAbsentKey(db, club, licence);
}

bool LicenceLookup::SurelyAbsentKey(const Connection& db, std::string_view club,
                                    std::string_view licence) const noexcept {
    if (db.Remote() && !(plainOnly_ && Plain(club) && Plain(licence))) return false;
    return !ours_.MaybeContains(club, licence);
}

bool LicenceLookup::HoldsOnlyOurs(Connection& db) {
    ResultTable first;
    try {
        if (!TextKeyColumns(db)) return false;
        RequeteTableau(db, first, kFirstLicences, {});
    } catch (const Error&) {
        return false; // the line's own query fails the same way and tells it
    }
    const std::size_t rows = first.Count(0);
    if (rows >= 64) return false;
    for (std::size_t row = 1; row <= rows; ++row) {
        if (!ours_.MaybeContains(first.Item(0, row), first.Item(1, row))) return false;
    }
    return true;
}

bool LicenceLookup::OnlyOurs(Connection& db) {
    const std::uint64_t transaction = db.Transaction();
    if (transaction == 0) return false; // each statement commits alone: anyone may write between
    if (transaction == confirmedIn_) return alone_ == Alone::Yes;
    std::optional<Connection::ChangeMark> mark = db.ChangesByOthers();
    if (!mark || (alone_ == Alone::Yes && *mark != mark_)) {
        alone_ = Alone::No;
    } else if (alone_ == Alone::Unknown) {
        alone_ = HoldsOnlyOurs(db) ? Alone::Yes : Alone::No;
        mark_ = *mark;
    }
    if (alone_ == Alone::No) ours_.Clear();
    confirmedIn_ = transaction;
    return alone_ == Alone::Yes;
}

long LicenceLookup::Count(Connection& db, long line, std::string_view club, std::string_view licence) {
    return ahead_.Count(db, kCountLicence, line, club, licence);
}

std::string_view LicenceLookup::OnlyNum(long line, std::string_view club, std::string_view licence) const {
    std::string_view num = ahead_.Value(line, club, licence, 1);
    return num == "0" ? std::string_view{} : num;
}

} // namespace quorvel::storage
