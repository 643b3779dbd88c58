#pragma once
// The questions the passes ask about the licences a line names by its club code and licence
// number: "which licence is stored first under this key?" (the licence pass) and "how many
// licences are stored under this key?" (the IUF update). On the file each line asks its own
// question, one query per key. On a server, where each query costs a round trip, a window of the
// lines ahead asks in one query, and each line takes its answer from there while it holds (see
// AnswersAhead). While the table holds only what this pass stored and nobody else writes, a key
// the pass stored nothing like is answered "not stored" without asking, on either engine.

#include "base/key_hashes.hpp"
#include "storage/answers_ahead.hpp"
#include "storage/connection.hpp"
#include "storage/result_table.hpp"

#include <cstddef>
#include <cstdint>
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

    // Sends the question of the window after the one Ahead() asked (lines `first`...), for Ahead()
    // to take when that window comes (see AnswersAhead::FetchNext()): FirstStored only, once the
    // table holds others' licences (a first import asks only the keys it may have stored, window
    // by window). It never throws.
    void AheadNext(Connection& db, long first, const std::vector<AheadKey>& keys) noexcept;
    // True when AheadNext() would send the next window's question (its keys are worth building):
    // a window whose lines store drops the answers asked after it, so the next is asked ahead
    // only when the last one stored nothing.
    bool AsksNext() const noexcept {
        return question_ == Question::FirstStored && alone_ == Alone::No && !lastWindowStored_;
    }

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
    // The Num of the only licence stored under (`club`, `licence`), as the window read ahead
    // answered line `line`: empty when that answer does not hold or counted other than one.
    std::string_view OnlyNum(long line, std::string_view club, std::string_view licence) const;

    // Line `line` stored (or tried to store) a licence under (`club`, `licence`): answers it may
    // change are dropped.
    void Stored(long line, std::string_view club, std::string_view licence);
    // Forgets every answer read ahead (the lines that stored something were undone).
    void Forget() noexcept {
        ahead_.Clear();
        StopAnsweringAlone();
    }
    // Where the answers stand, and back there once the lines after it were undone inside the
    // transaction (see AnswersAhead::BackTo()).
    AnswersAhead::Point Here() const noexcept { return ahead_.Here(); }
    void BackTo(const AnswersAhead::Point& point) noexcept {
        ahead_.BackTo(point);
        StopAnsweringAlone();
    }

private:
    // True when (`club`, `licence`) is surely not stored, without a query: the table held only
    // licences this pass stored when it first looked, nobody else has committed anything since,
    // and this pass stored nothing under that key. A first import into an empty table then asks
    // nothing.
    bool SurelyAbsent(Connection& db, std::string_view club, std::string_view licence);
    // SurelyAbsent() once OnlyOurs() holds.
    bool SurelyAbsentKey(const Connection& db, std::string_view club,
                         std::string_view licence) const noexcept;
    // Whether only this pass has stored licences, confirmed for the open transaction.
    bool OnlyOurs(Connection& db);
    // OnlyOurs() for a window, in the transaction its lines will run in, without throwing.
    bool AloneAhead(Connection& db) noexcept;
    // Whether every licence the table holds now was stored by this pass.
    bool HoldsOnlyOurs(Connection& db);
    // Lines were undone: from here every line asks (a file whose lines fail went slower with the
    // answers without a query, and its batches take savepoints, which end them anyway).
    void StopAnsweringAlone() noexcept {
        alone_ = Alone::No;
        ours_.Clear();
    }

    Question question_;
    AnswersAhead ahead_;
    enum class Alone { Unknown, Yes, No };
    Alone alone_ = Alone::Unknown;
    std::uint64_t confirmedIn_ = 0; // the transaction OnlyOurs() last held in
    Connection::ChangeMark mark_{}; // other connections' commits when the pass first looked
    // Every key this pass stored or tried to store under, as the table compares them (letters
    // a-z without regard to case).
    base::KeyHashes ours_;
    // Whether every key stored under holds only printable ASCII characters (see Plain()).
    bool plainOnly_ = true;
    // The last window asked only the keys this pass may have stored under (maybeOurs_).
    bool askedOnlyOurs_ = false;
    std::vector<AheadKey> maybeOurs_;
    // Whether a line stored something since the last window was asked, and before that window.
    bool storedSinceAhead_ = false;
    bool lastWindowStored_ = false;
};

} // namespace quorvel::storage
