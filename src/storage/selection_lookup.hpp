#pragma once
// The question the licence pass asks about a selection entry whose swimmer is already stored:
// "how many Selection rows link this selection code to this licence Num?". On the file each line
// asks its own question, one query per key. On a server, where each query costs a round trip, a
// window of the lines ahead asks in one query, and each line takes its answer from there while it
// holds (see AnswersAhead).
//
// Num_Lic is a whole number the database compares exactly: a Selection row stored for a Num drops
// every answer for that Num, whatever its selection code.

#include "storage/answers_ahead.hpp"
#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace quorvel::storage {

class SelectionLookup {
public:
    // How many lines ahead are worth asking about at once on `db` (0: each line asks alone).
    std::size_t Window(const Connection& db) const noexcept;
    // Asks at once the question of lines `first`, `first` + 1... whose key (selection code, Num)
    // is wanted. It never throws: a failure leaves each line to ask alone (see
    // AnswersAhead::TryFetch()).
    void Ahead(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept;
    // How many Selection rows line `line` finds under (`code`, `num`). Throws when the query fails.
    long Count(Connection& db, long line, std::string_view code, std::string_view num);

    // A Selection row was stored (or tried) for the licence `num`: the answers it may change are
    // dropped.
    void Stored(std::string_view num) { ahead_.StoredSecond(num); }
    // Forgets every answer read ahead (the lines that stored something were undone).
    void Forget() noexcept { ahead_.Clear(); }
    // Where the answers stand, and back there once the lines after it were undone inside the
    // transaction (see AnswersAhead::BackTo()).
    AnswersAhead::Point Here() const noexcept { return ahead_.Here(); }
    void BackTo(const AnswersAhead::Point& point) noexcept { ahead_.BackTo(point); }

private:
    AnswersAhead ahead_;
};

} // namespace quorvel::storage
