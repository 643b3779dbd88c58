#pragma once
// The question the passes ask about a club code: "which club is stored under this code, with its
// Num and name?". On the file each code asks its own question, one query per code. On a server,
// where each query costs a round trip, the codes of a window of lines ahead ask in one query, and
// each line takes its answer from there while it holds (see AnswersAhead).
//
// An answer holds while the database writes nothing but what this lookup was told of: the
// creation or renaming of a club drops the answers for its code (every answer, when the Club
// table has triggers of the database's own, which may write anything); any other write drops
// every answer, since a trigger may have stored a club with it.

#include "storage/answers_ahead.hpp"
#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quorvel::storage {

class ClubLookup {
public:
    // How many lines ahead are worth asking about at once on `db` (0: each code asks alone).
    std::size_t Window(const Connection& db) const noexcept;
    // Asks at once about `codes` (repeats allowed). It never throws: a failure leaves each code
    // to ask alone (see AnswersAhead::TryFetch()).
    void Ahead(Connection& db, const std::vector<std::string>& codes) noexcept;
    // Fills `table` with the Num and name of the first club stored under `code` (one row, or
    // none). Throws when the query fails.
    void Find(Connection& db, std::string_view code, ResultTable& table);
    // The next statement written on `db` creates or renames the club `code`.
    void Storing(const Connection& db, std::string_view code);
    // Forgets every answer read ahead (the lines that stored something were undone).
    void Forget() noexcept { ahead_.Clear(); }

private:
    AnswersAhead ahead_;
    // The place of each code asked in the window (the "line" of AnswersAhead, from 1).
    std::unordered_map<std::string, long> places_;
    std::vector<AheadKey> keys_;
    // The writes the answers have seen: any other one drops them.
    std::uint64_t writes_ = 0;
};

} // namespace quorvel::storage
