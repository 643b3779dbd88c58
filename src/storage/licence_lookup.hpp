#pragma once
// The questions the passes ask about the licences a line names by its club code and licence
// number: "which licence is stored first under this key?" (the licence pass) and "how many
// licences are stored under this key?" (the IUF update). On the file each line asks its own
// question, one query per key. On a server, where each query costs a round trip, a window of the
// lines ahead asks in one query, and each line takes its answer from there while it holds (see
// AnswersAhead).

#include "storage/answers_ahead.hpp"
#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstddef>
#include <string_view>
#include <vector>

namespace quorvel::storage {

class LicenceLookup {
public:
    enum class Question {
        // Surname, first name and Num of the first licence stored (by Num).
        FirstStored,
        // How many licences are stored.
        Count,
    };
    explicit LicenceLookup(Question question) : question_(question) {}

    // How many lines ahead are worth asking about at once on `db` (0: each line asks alone).
    std::size_t Window(const Connection& db) const noexcept;
    // Asks at once the question of lines `first`, `first` + 1... whose key is wanted. It never
    // throws: a failure leaves each line to ask alone (see AnswersAhead::TryFetch()).
    void Ahead(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept;

    // FirstStored for line `line`, keyed by (`club`, `licence`): `table` gets the licence's
    // surname, first name and Num as one row, or no row. Throws when the query fails.
    void FirstStored(Connection& db, long line, std::string_view club, std::string_view licence,
                     ResultTable& table);
    // FirstStored for line `line` as read ahead, without a query: false when no answer holds.
    bool KnownFirstStored(long line, std::string_view club, std::string_view licence,
                          ResultTable& table) const {
        return question_ == Question::FirstStored && ahead_.Answer(line, club, licence, table);
    }
    // Count for line `line`, keyed by (`club`, `licence`). Throws when the query fails.
    long Count(Connection& db, long line, std::string_view club, std::string_view licence);

    // Line `line` stored a licence under (`club`, `licence`): answers it may change are dropped.
    void Stored(long line, std::string_view club, std::string_view licence) {
        ahead_.Stored(line, club, licence);
    }
    // Forgets every answer read ahead (the lines that stored something were undone).
    void Forget() noexcept { ahead_.Clear(); }
    // Where the answers stand, and back there once the lines after it were undone inside the
    // transaction (see AnswersAhead::BackTo()).
    AnswersAhead::Point Here() const noexcept { return ahead_.Here(); }
    void BackTo(const AnswersAhead::Point& point) noexcept { ahead_.BackTo(point); }

private:
    Question question_;
    AnswersAhead ahead_;
};

} // namespace quorvel::storage
