#pragma once
// On a server every query costs a round trip: a pass asks one keyed question for each of its next
// lines in one query, and answers each line's own question from it for as long as nothing stored
// since can change the answer. Answers hold only inside the transaction that asked: other
// writers wait for it to end, and may change anything after.

#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::storage {

// The two parts of the key a line asks its question with (a club code and a licence number).
struct AheadKey {
    std::string first;
    std::string second;
    // False for a line that asks nothing.
    bool wanted = false;
};

class AnswersAhead {
public:
    // Asks at once the question of lines `first`, `first` + 1... (see Fetch()), once the
    // statements sent before are known good, without throwing: a failure of its own leaves each
    // line to ask for itself, and a second one stops the asking ahead (see GaveUp()). A statement
    // sent before that failed has ended the transaction: the caller sees it there. The answers
    // sent for by FetchNext() are taken when they fit. With `foldSame`, the caller has made sure
    // that every key wanted holds only printable ASCII (see Plain()): the keys held equal are
    // then found here, by folding letters a-z, and `sql` may return anything in its last column.
    void TryFetch(Connection& db, std::string_view sql, int values, long first,
                  const std::vector<AheadKey>& keys, bool foldSame = false) noexcept;
    // Sends the question of the window after the one being answered (lines `first`...) without
    // waiting: the server works on it while the lines before go on. TryFetch() for that very
    // window then takes its answers, unless something was stored or undone since, or the
    // transaction ended (it then asks again). It never throws.
    void FetchNext(Connection& db, std::string_view sql, long first,
                   const std::vector<AheadKey>& keys) noexcept;
    // True once the query has failed twice: the pass no longer asks ahead.
    bool GaveUp() const noexcept { return failures_ >= 2; }
    // How many lines ahead are worth asking about at once on `db`: a window on a server, where
    // each query costs a round trip, until the asking is given up; 0 (each line asks alone)
    // on the file.
    std::size_t Window(const Connection& db) const noexcept;
    // The count answered for line `line` asked with (`a`, `b`) when the answer holds (see
    // Answer()); otherwise the count `sql` returns for (`a`, `b`) as ?1 and ?2. Throws when that
    // query fails.
    long Count(Connection& db, std::string_view sql, long line, std::string_view a, std::string_view b) const;
    // Value `column` (from 0) of line `line`'s answer when that answer holds (see Answer());
    // empty otherwise.
    std::string_view Value(long line, std::string_view a, std::string_view b, std::size_t column) const;
    // Fills `table` with line `line`'s answer (one row, or none), when it was asked with exactly
    // (`a`, `b`), in the transaction still open, and still holds. False otherwise: the line then
    // asks for itself.
    bool Answer(long line, std::string_view a, std::string_view b, ResultTable& table) const;
    // True when the last window asked line `line`'s question with exactly (`a`, `b`).
    bool Asked(long line, std::string_view a, std::string_view b) const noexcept {
        const Entry* entry = At(line);
        return entry != nullptr && entry->key.wanted && entry->key.first == a && entry->key.second == b;
    }
    // Line `line` stored something under (`a`, `b`): every answer for a key the database holds
    // equal to it is dropped (every answer, when that is not the key the line asked with).
    void Stored(long line, std::string_view a, std::string_view b);
    // Something was stored under a key whose second part is `b`, a part the database compares
    // exactly: every answer whose key has that second part is dropped, whatever its first.
    void StoredSecond(std::string_view b);
    // Forgets every answer (the lines that stored something were undone).
    void Clear() noexcept {
        entries_.clear();
        wanted_.clear();
        dropped_.clear();
        ++reads_;
        next_.sent = false;
    }

    // Where the answers stand: a point BackTo() takes them back to.
    struct Point {
        std::uint64_t reads = 0;
        std::size_t dropped = 0;
    };
    Point Here() const noexcept { return {reads_, dropped_.size()}; }
    // The lines after `point` were undone inside the transaction (back to a savepoint): the answers
    // they dropped by storing hold again, and answers read after `point` are forgotten (they may
    // tell what those lines stored).
    void BackTo(const Point& point) noexcept;

private:
    // Asks at once the question of lines `first`, `first` + 1... that want one. `sql` takes the
    // keys' two parts as two text arrays (?1, ?2) and returns, for the i-th key sent (i from 1),
    // a row: i, 1 when the answer has a row (0 when it has none), that row's `values` columns,
    // then the first i whose key the database holds equal to this one. An answer holding a NULL
    // is left to the line. Throws when the query fails.
    void Fetch(Connection& db, std::string_view sql, int values, long first,
               const std::vector<AheadKey>& keys);
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    struct Entry {
        AheadKey key;
        bool answered = false;
        std::vector<std::string> values; // empty: no answer row
        // The first line of the window whose key the database holds equal to this one.
        long same = 0;
        // The next entry whose key the database holds equal to this one (kNone after the last).
        std::size_t nextSame = kNone;
    };
    // Links the entries of each key held equal, in order (see Entry::nextSame); first finds them
    // by folding a-z when asked to (see TryFetch()).
    void LinkSameKeys();
    void FoldSameKeys();
    // Sets the entries for the window of `keys` from line `first`, and the two arrays that ask
    // its wanted keys (firsts_, seconds_). False when no key is wanted.
    bool Prepare(long first, const std::vector<AheadKey>& keys);
    // Reads one row of the answer into its entry.
    void Take(const Row& row);
    // Takes the answers of the window sent for by FetchNext() when it asked exactly what
    // Prepare() just set and they came back in the transaction still open; false otherwise.
    bool TakeNext(Connection& db, std::string_view sql);
    const Entry* At(long line) const noexcept;
    // Line `line`'s entry, when it was asked with exactly (`a`, `b`), in the transaction still
    // open, and its answer still holds.
    const Entry* Held(long line, std::string_view a, std::string_view b) const;

    long first_ = 0;
    const Connection* db_ = nullptr;
    // The transaction the answers were read in.
    std::uint64_t transaction_ = 0;
    int values_ = 0;
    bool foldSame_ = false;
    int failures_ = 0;
    std::vector<Entry> entries_;
    // The entries whose key is asked, in the order asked (the query's i, from 1).
    std::vector<std::size_t> wanted_;
    // A number for the answers read, new with every window and every Clear().
    std::uint64_t reads_ = 0;
    // The entries whose answers the lines dropped, in order.
    std::vector<std::size_t> dropped_;
    std::string firsts_, seconds_;
    // The window sent ahead by FetchNext(), while nothing stored or undone can have changed its
    // answers (Clear(), Stored(), StoredSecond() and BackTo() end it).
    struct Next {
        bool sent = false;
        long first = 0;
        std::string sql, firsts, seconds;
    };
    Next next_;
};

} // namespace quorvel::storage
