#pragma once
// The PostgreSQL engine: a database named by a postgresql:// URI (libpq reads PGPASSWORD,
// ~/.pgpass, PGSSLMODE... as usual), for clubs with several workstations and for leagues.
//
// It reads as the file database does: statements keep their ?N parameters (rewritten once per
// text), failures carry the file engine's numbers (a constraint or a trigger's RAISE EXCEPTION
// 19, a full disk 13, a lock not obtained 5) and its messages for a missing table or column.
// A failed statement ends the whole transaction, which the connection then reports as undone.
// Inside a transaction, statements that return no row are only sent (libpq's pipeline mode) and
// their outcomes read at the next statement that returns rows, at the commit, or every
// kSendAtMost statements: a line then costs no round trip for its writes.
// Imports into one database take turns: each connection holds the database's advisory lock
// until it closes. Each transaction keeps other writers of Club, Licence and Selection waiting
// until it ends (readers go on), so that what it read of them still holds when it writes: the
// file database gives its one writer the same. A connection that drops is made again before the
// next statement, trying again with growing pauses while the server restarts (the work of the
// transaction it was in is reported lost), so that the batch is simply done again; one that drops
// during COMMIT is made again the same way, and the server tells whether that transaction was
// stored. When the server stays out of reach, the outcome of that COMMIT is reported unknown.
// Once lines fail in a transaction, each write of a line runs caught (see storage/caught_statement)
// rather than after a savepoint: a failure then stops nothing sent after it. The lines from the
// failing one are done again, and what the server already ran for them is taken as done, unless
// they no longer send the same statements: the transaction is then undone, and done again with
// savepoints.

#include "storage/engine.hpp"
#include "storage/many_rows.hpp"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct pg_conn;
struct pg_result;

namespace quorvel::storage {

class PostgresEngine final : public Engine {
public:
    // Connects to `uri`. Throws quorvel::Error 14 when the server cannot be reached or refuses.
    // `waiting`, when set, is called before the connection waits for another import's turn. A
    // reader (`takeTurn` false) never waits for one.
    explicit PostgresEngine(const std::string& uri, std::function<void()> waiting = {}, bool takeTurn = true);
    ~PostgresEngine() override;

    Row& Start(std::string_view sql, Params params) override;
    bool Step(Row& statement) override;
    void Reset(Row& statement) noexcept override;
    void Run(const char* sql) override;
    bool Send(std::string_view sql, Params params) override;
    void Settle() override;
    long TakeFailedItem() noexcept override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;
    bool InTransaction() const noexcept override;
    bool WriterExcludesOthers() const noexcept override { return false; }
    bool Remote() const noexcept override { return true; }
    bool Dropped() const noexcept override;
    bool Unreachable() const noexcept override { return unreachable_; }
    bool OutcomeUnknown() const noexcept override { return outcomeUnknown_; }
    void SetPreview(bool preview) noexcept override { preview_ = preview; }
    bool HasSavepoints() const noexcept override { return true; }
    void Savepoint(long line) override;
    bool FailureArrived() noexcept override;
    bool TakeUndoneToSavepoint() noexcept override;
    bool KnowsFailureOf(long item) const noexcept override;
    bool Replaying() const noexcept override { return !done_.empty(); }
    bool Parted() const noexcept override { return parted_; }
    void SetItem(long item) noexcept override { item_ = item; }
    void SetStatementsAlone(bool on) noexcept override { statementsAlone_ = on; }
    // Read as each transaction begins (see NoteOthers()), at no cost of its own.
    std::uint64_t ChangesByOthers() override { return othersMark_; }
    bool SendAhead(std::string_view sql, Params params) override;
    Row* TakeAhead() override;

private:
    class Statement;
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    // A statement that the server ran for line `item` while its writes run caught: its failure
    // once known, and the rows of a query.
    struct Done {
        long item;
        const Statement* statement;
        std::uint64_t values;
        std::optional<Error> failure;
        std::shared_ptr<pg_result> rows;
    };
    // A statement sent whose outcome is not read yet.
    struct Sent {
        long item;
        const Statement* statement;
        // A digest of the values it was sent with.
        std::uint64_t values;
        // What a statement of the engine's own does to the savepoint (see pointHeld_).
        enum class Point : std::uint8_t { None, Set, LetGo } point = Point::None;
        // True for the query sent ahead (see SendAhead()): its rows are kept as they come.
        bool ahead = false;
        // True for a write run caught: its answer is its failure, or NULL.
        bool caught = false;
        // Where it is kept in ran_, while the writes run caught.
        Done* ran = nullptr;
    };
    // A statement sent that failed and took the transaction back to its savepoint. Done again
    // for the same line in the same transaction, on the same rows (the savepoint gave back what
    // followed), it fails again without being run: a line that fails costs no second try.
    struct KnownFailure {
        Sent sent;
        Error error;
    };
    // The statements sent at most before their outcomes are read: the server's answers wait in
    // the connection's buffers meanwhile.
    static constexpr std::size_t kSendAtMost = 1000;
    // The statements sent at most ahead of the last outcome read, when FailureArrived() is asked,
    // and how often it asks the server for the outcomes of those that went well.
    static constexpr std::size_t kAheadAtMost = 200;
    static constexpr std::size_t kAskEvery = 16;

    // The statement of text `sql`, prepared on the server.
    Statement& Prepared(std::string_view sql);
    // Inserts or updates of one row each, of one statement, kept to be sent as statements of many
    // rows (see storage/many_rows): the values of each row in turn, and each row's line.
    enum class ManyRows : std::uint8_t { Unknown, No, Insert, Update };
    enum class Caught : std::uint8_t { Unknown, No, Ready };
    struct Group {
        Statement* single = nullptr;
        // The keys of the updates kept, folded (see UpdateKey()).
        std::unordered_set<std::string> keys;
        std::vector<std::string> values;
        std::vector<bool> nulls;
        std::vector<long> items;
    };
    // The most rows one statement inserts (a power of two: a group goes as statements of 64, 32...
    // rows, so that few are prepared).
    static constexpr std::size_t kGroupRows = 64;
    // Keeps the row `statement` would write, for line `item`; false when it is not an insert or an
    // update that can go with others.
    bool Keep(Statement& statement, long item);
    // True when rows of `statement` can go many to one statement (found once per statement).
    bool ManyRowsForm(Statement& statement);
    // Reads the types of the columns an update's parameters go with; false when one is not found.
    bool ColumnTypes(Statement& statement, const UpdateShape& update);
    // The key an update finds its row by, folded; false when it cannot go with others.
    static bool UpdateKey(const Statement& statement, std::string& key);
    // Sends the rows kept before the one whose values start at `from`, which stays kept.
    void SendBefore(std::size_t from);
    // Sends the rows kept, before anything else is sent or awaited.
    void SendGroup();
    void SendRows(Group& group, std::size_t from, std::size_t rows);
    // Sends `statement` as bound, for line `item`, its outcome to be read later; with `call`, it
    // runs caught, through that call.
    void SendBound(Statement& statement, long item, Statement* call = nullptr);
    // True when `statement` can run caught: its function is made the first time, standing alone
    // in the transaction (made again when that one does not commit). A server that refuses it has
    // the transaction's lines take savepoints instead.
    bool CatchReady(Statement& statement);
    // The functions made by the open transaction are gone (it was taken back to a savepoint, or
    // did not commit): they are made again when next needed.
    void ForgetCatches() noexcept;
    // Forgets what the server ran for the lines of the transaction (it ended, or its work is gone).
    void ForgetRan() noexcept;
    // The server's names of the types of the parameters of `statement`, as prepared.
    std::vector<std::string> ParameterTypes(const Statement& statement);
    // The lines from the one of the first failure caught are to be done again: what the server
    // ran for them is kept, each write with its failure, if any (`caught`: their places in sent_,
    // and the answers).
    void KeepDone(const std::vector<std::pair<std::size_t, std::string>>& caught);
    // Takes the next statement the server ran for the lines done again, which must be `statement`
    // for line `item` with the same values (a query when `query`): it is kept as run again.
    // Otherwise the lines done again no longer send what the server ran: see Diverged(). Queries
    // of this line or before that it no longer asks are passed over; nothing when none is left.
    std::optional<Done> TakeDone(const Statement& statement, long item, bool query);
    // Keeps the query `statement` just ran and its rows, for the line under way.
    void KeepQuery(const Statement& statement);
    // The transaction holds statements that the lines done again from line `item` no longer send:
    // it goes back to its savepoint, the failures of the lines before `item` known, or else it is
    // undone (reported lost from line `item`) and lines take savepoints from then on.
    [[noreturn]] void Diverged(long item);
    // Reads the outcome of every statement sent and ends pipeline mode. Returns the first
    // failure's result, with what was sent, or nullptr.
    // With `answer`, the result of the last statement sent goes there when nothing failed before.
    pg_result* Drain(Sent& failed, pg_result** answer = nullptr) noexcept;
    // Settle(), keeping the result of the last statement sent in `answer`.
    void Settle(pg_result** answer);
    // True while statements only sent wait for their outcomes, on a sound connection.
    bool Pipelined() const noexcept;
    // The result of the query `statement`, sent after the statements only sent: their outcomes
    // and its rows come back in one round trip. Throws the first failure.
    pg_result* InPipeline(Statement& statement);
    // Reads the results up to the next sync point, handing each to `take(command, result)`,
    // `command` counting the statements from 0 (each one's results end with a null); `take`
    // returns true when it keeps the result. After a failure the count may be off: only the first
    // failure tells its statement. Without `wait`, it reads only what has come back already.
    // True once the sync point is read.
    template <class F> bool ReadToSync(F take, bool wait = true) noexcept;
    // Forgets the statements sent (the connection dropped, or their outcomes are read).
    void ForgetSent() noexcept;
    // Keeps `result` when it is the rows of the query sent ahead, `sent`; false otherwise.
    bool KeptAhead(const Sent& sent, pg_result* result) noexcept;
    // Forgets the query sent ahead and its rows (the transaction they belong to ends).
    void DropAhead() noexcept;
    // Notes what a statement whose outcome was read did to the savepoint.
    void Confirmed(const Sent& sent) noexcept;
    // The failure read by FailureArrived() came while the statements after it are still on their
    // way, and the transaction holds a savepoint from before it: takes the transaction back
    // there without waiting (the server skips those statements up to a sync point, then the
    // rollback runs before whatever is sent next), and throws the failure.
    [[noreturn]] void BackAtOnce();
    // Throws the known failure when `statement` is the one that failed for line `item`.
    void FailAgainIfKnown(const Statement& statement, long item);
    // After the connection dropped during COMMIT: connects again and asks the server whether the
    // transaction was stored all the same. Sets outcomeUnknown_ when the server cannot tell.
    bool CommittedAfterAll() noexcept;
    // Moves othersMark_ unless the transaction that began with `snapshot` surely follows the
    // last one with nobody else's commit in between.
    void NoteOthers(std::string_view snapshot) noexcept;
    // The server's word on the transaction: "committed", "aborted", "in progress", or empty when
    // it cannot be asked or no longer knows.
    std::string TransactionStatus() noexcept;
    // Sets up a new session: text in UTF-8, the turn of this import, the wait for locks, the
    // savepoint's statements prepared.
    void Setup();
    // Sends one of the savepoint's statements (kSetPoint...), prepared by Setup().
    bool SendPoint(const char* sql) noexcept;
    // Takes the database's turn among imports, telling `waiting_` first when another holds it.
    void TakeTurn();
    // Connects again when the connection dropped, trying with growing pauses for as long as
    // ReconnectLimit() allows; the statements are prepared again as they come. Throws (and the
    // server is then out of reach for good) when no connection could be made.
    void Reconnect();
    // The result of the statement that `run` sends, which must succeed: in preview, where the whole
    // run is one transaction, a failure undoes only that statement, as in the file engine.
    template <class F> pg_result* Alone(F run, std::string_view sql);
    // The result of `statement` run standing alone inside the transaction, in one round trip: a
    // failure undoes only the statement (and throws).
    pg_result* AloneInOne(Statement& statement);
    // Runs `sql` and keeps its result only to check it; throws the mapped error.
    void Exec(const char* sql, std::string_view shownSql = {});
    // Throws the error of `result` (or of the connection when there is none), read as the file
    // engine would report it, after undoing a transaction the failure has ended.
    [[noreturn]] void Fail(pg_result* result, std::string_view sql);

    pg_conn* conn_ = nullptr;
    std::string uri_;
    std::function<void()> waiting_;
    bool takeTurn_ = true;
    std::unordered_map<std::string, std::unique_ptr<Statement>, StringHash, std::equal_to<>> cache_;
    int prepared_ = 0;
    std::vector<Sent> sent_;
    // The query sent ahead, and its rows once they came back.
    Statement* ahead_ = nullptr;
    pg_result* aheadRows_ = nullptr;
    // True once a statement has failed on this connection: no more rows are kept (see Keep()).
    bool oneByOne_ = false;
    Group group_;
    // How many of the statements sent have their whole outcome read (see FailureArrived()).
    std::size_t confirmed_ = 0;
    // How many times FailureArrived() was asked.
    std::size_t polls_ = 0;
    // The failure FailureArrived() read, with what was sent, until Drain() takes it.
    pg_result* arrived_ = nullptr;
    Sent arrivedFor_{0, nullptr, 0};
    // True while the transaction surely holds a savepoint: one was marked, and not let go, by the
    // statements whose outcomes were read.
    bool pointHeld_ = false;
    // True when the results up to the next sync point are those of statements the server
    // skipped after a failure already handled (see BackAtOnce()).
    bool skipToSync_ = false;
    long failedItem_ = 0;
    // The server's number of the open transaction.
    std::string transaction_;
    bool preview_ = false;
    bool statementsAlone_ = false;
    // A savepoint marks the point a failure takes the open transaction back to.
    bool savepoint_ = false;
    bool undoneToSavepoint_ = false;
    std::optional<KnownFailure> known_;
    // True while the lines of the transaction run their writes caught.
    bool catching_ = false;
    // True once this connection's lines take savepoints instead.
    bool catchingOff_ = false;
    // While writes run caught, the savepoint follows this line (-1: none); it is marked at sync
    // points, where nothing sent is waiting for its outcome.
    long pointAfter_ = -1;
    // Failures of lines taken back to the savepoint because a later line no longer sent what the
    // server ran: done again in the same order, they fail again without being sent.
    std::deque<Done> failedBefore_;
    int caughtFunctions_ = 0;
    // The statements whose functions the open transaction made.
    std::vector<Statement*> caughtPending_;
    // The statements the server ran already for the lines done again, oldest first.
    std::deque<Done> done_;
    // What the server ran while writes run caught, from the line under way at the last sync point
    // read without a failure caught (the line done again after a failure may start before it).
    std::deque<Done> ran_;
    long item_ = 0;
    // See Parted().
    bool parted_ = false;
    // The first failure caught, until Settle() throws it.
    std::optional<Error> caughtFailure_;
    bool unreachable_ = false;
    bool outcomeUnknown_ = false;
    // See ChangesByOthers(): the last transaction's number (0 after a new connection), whether
    // every transaction before it had ended as it began, and the mark (never 0).
    std::uint64_t lastXid_ = 0;
    bool lastAlone_ = false;
    std::uint64_t othersMark_ = 1;
};

// How long a dropped connection is tried again before the server is taken as out of reach: 60 s
// unless set otherwise (the fault tests shorten it).
std::chrono::milliseconds ReconnectLimit() noexcept;
void SetReconnectLimit(std::chrono::milliseconds limit) noexcept;

// The statement text with its ?N parameters written $N, and the number of parameters.
std::string PostgresParameters(std::string_view sql, int& count);

} // namespace quorvel::storage
