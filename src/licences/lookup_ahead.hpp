#pragma once
// On a server every query costs a round trip: the licence pass looks the licences of the next
// lines up in one query, and answers each line's own lookup from it for as long as nothing the
// pass stored since can change the answer.

#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::licences {

// The club code and licence number a line looks its licence up by.
struct LookupKey {
    std::string club;
    std::string licence;
    // False for a line that looks nothing up (a relay licence).
    bool wanted = false;
};

class LookupAhead {
public:
    // Looks up at once the keys of lines `first`, `first` + 1... The answers are those of the
    // pass's own lookup: the first stored licence (by number) whose club code and licence number
    // equal the key, compared as the database compares them. Throws when the query fails.
    void Fetch(storage::Connection& db, long first, const std::vector<LookupKey>& keys);
    // Fills `table` as the pass's own lookup of (`club`, `licence`) for line `line` would (Nom,
    // Prenom, Num; one row or none), when the answer fetched still holds. False otherwise: the
    // line then runs its own query.
    bool Answer(long line, std::string_view club, std::string_view licence, storage::ResultTable& table) const;
    // Line `line` stored a licence under (`storedClub`, `storedLicence`): every answer for a key
    // the database holds equal to it is dropped (every answer, when that is not the line's key).
    void Stored(long line, std::string_view storedClub, std::string_view storedLicence);
    // Forgets every answer (the lines that stored licences were undone).
    void Clear() noexcept { entries_.clear(); }

private:
    struct Entry {
        LookupKey key;
        bool answered = false;
        bool found = false;
        std::string nom, prenom, num;
        // The first line of the window whose key the database holds equal to this one.
        long same = 0;
    };
    const Entry* At(long line) const noexcept;

    long first_ = 0;
    std::vector<Entry> entries_;
    std::string clubs_, licences_;
};

} // namespace quorvel::licences
