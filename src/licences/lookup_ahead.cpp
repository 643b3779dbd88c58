#include "licences/lookup_ahead.hpp"

namespace quorvel::licences {

namespace {

// One row per key, in the keys' order: its first licence, if any, and the first key of the window
// that the collation of the key columns holds equal to it.
constexpr std::string_view kLookupMany =
    "SELECT k.i, l.Nom, l.Prenom, l.Num, min(k.i) OVER (PARTITION BY k.c COLLATE nocase, k.n COLLATE nocase) "
    "FROM unnest(?1::text[], ?2::text[]) WITH ORDINALITY AS k(c, n, i) "
    "LEFT JOIN LATERAL (SELECT Nom, Prenom, Num FROM Licence WHERE Code_Club = k.c AND Licence = k.n "
    "ORDER BY Num LIMIT 1) l ON true";

// Appends `value` to an array literal, quoted.
void AppendElement(std::string& array, std::string_view value) {
    array += array.empty() ? "{\"" : ",\"";
    for (char c : value) {
        if (c == '"' || c == '\\') array += '\\';
        array += c;
    }
    array += '"';
}

} // namespace

void LookupAhead::Fetch(storage::Connection& db, long first, const std::vector<LookupKey>& keys) {
    entries_.clear();
    first_ = first;
    clubs_.clear();
    licences_.clear();
    for (const LookupKey& key : keys) {
        entries_.emplace_back().key = key;
        if (!key.wanted) continue;
        AppendElement(clubs_, key.club);
        AppendElement(licences_, key.licence);
    }
    if (clubs_.empty()) return;
    clubs_ += '}';
    licences_ += '}';
    // The rows come by key in the order sent: row i answers the i-th key wanted.
    std::vector<Entry*> wanted;
    for (Entry& entry : entries_)
        if (entry.key.wanted) wanted.push_back(&entry);
    db.Query(kLookupMany, {clubs_, licences_}, [&](const storage::Row& row) {
        long i = row.Integer(0);
        if (i < 1 || i > static_cast<long>(wanted.size())) return;
        Entry& entry = *wanted[i - 1];
        entry.same = row.Integer(4);
        entry.found = !row.IsNull(3);
        // A licence without a name reads as the lookup's own failure would: left to the line.
        if (entry.found && (row.IsNull(1) || row.IsNull(2))) return;
        if (entry.found) {
            entry.nom = row.Text(1);
            entry.prenom = row.Text(2);
            entry.num = row.Text(3);
        }
        entry.answered = true;
    });
}

const LookupAhead::Entry* LookupAhead::At(long line) const noexcept {
    if (line < first_ || line - first_ >= static_cast<long>(entries_.size())) return nullptr;
    return &entries_[static_cast<std::size_t>(line - first_)];
}

bool LookupAhead::Answer(long line, std::string_view club, std::string_view licence,
                         storage::ResultTable& table) const {
    const Entry* entry = At(line);
    if (entry == nullptr || !entry->answered || entry->key.club != club || entry->key.licence != licence)
        return false;
    table.Reset(3);
    if (entry->found) {
        table.Append(0, entry->nom);
        table.Append(1, entry->prenom);
        table.Append(2, entry->num);
    }
    return true;
}

void LookupAhead::Stored(long line, std::string_view storedClub, std::string_view storedLicence) {
    const Entry* entry = At(line);
    if (entry == nullptr || !entry->key.wanted || entry->key.club != storedClub ||
        entry->key.licence != storedLicence) {
        Clear();
        return;
    }
    const long same = entry->same;
    for (Entry& other : entries_)
        if (other.key.wanted && other.same == same) other.answered = false;
}

} // namespace quorvel::licences
