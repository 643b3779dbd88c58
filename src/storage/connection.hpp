#pragma once
// The connection to the host database: an SQLCipher file opened with the database password, or
// a PostgreSQL database named by its URI. The engine behind it (storage/sqlite_engine,
// storage/postgres_engine) makes both read the same to the rest of the code.
//
// Work is grouped into transactions so that a large import does not pay one disk sync per
// statement: the first statement opens a transaction, and it lasts until Commit() (the passes
// commit a batch of lines at a time) or Rollback(). The engine may roll a transaction back by
// itself (a full disk, a failed write, a trigger raising ROLLBACK): TransactionLost() then tells
// the caller that the work since the last commit is gone (PostgreSQL ends the whole transaction
// at any failed statement, which reads the same way). Other writers get their turn: a
// connection that has held the write lock for a while leaves it free for a moment before it
// takes it again.

#include "storage/database_name.hpp"
#include "storage/engine.hpp"

#include <quorvel/database.hpp>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <optional>
#include <string_view>

namespace quorvel::storage {

class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Commits pending work (or rolls it back in preview) and closes, without reporting.
    ~Connection();

    // Opens `database`: a file is opened (never created) under its key, and throws
    // quorvel::Error with the engine's result code and message when the file is missing, is not
    // a database or the key is wrong; a server is connected to, and throws quorvel::Error 14 when
    // it cannot be reached, refuses, or has no such database.
    void Open(const DatabaseName& database);
    // Opens `database` to read only: on a server, never waits for an import's turn (a reader never
    // writes).
    void OpenToRead(const DatabaseName& database);
    // Called when Open() of a server is about to wait for another import into the same database to end.
    void SetWaitNotice(std::function<void()> f) { waitNotice_ = std::move(f); }
    // Creates the database file `path` (which must not exist yet) under the database key, and
    // opens it; for a PostgreSQL URI, connects to the existing (empty) database. Throws quorvel::Error with
    // the engine's result code and message on failure.
    void Create(const std::string& path);
    // Commits pending work and closes. Throws (and stays open) when the commit fails.
    void Close();
    // 1 while open, 0 when closed.
    int State() const noexcept { return engine_ != nullptr ? 1 : 0; }

    // Opens the transaction that the next statement would open, when none is open: what is read
    // from here holds until it ends. Throws as a statement would.
    void Begin() {
        if (engine_ != nullptr) BeginIfNeeded();
    }
    // Runs a statement that changes data. Inside a batch, on a server, it may only be sent: a
    // failure then shows later, as the loss of the transaction (see LostItem()).
    void Execute(std::string_view sql, Params params = {});
    // How many statements that change data were started since the connection was made, whether
    // they succeeded or not: an answer read before holds only while it stays the same, unless
    // its reader was told what each write changed (see ClubLookup).
    std::uint64_t Writes() const noexcept { return writes_; }
    // True when the database is a server a round trip away (see Engine::Remote()). Only storage
    // asks: it decides how much to ask at once (see LicenceLookup).
    bool Remote() const noexcept { return engine_ != nullptr && engine_->Remote(); }
    // Runs several statements without parameters (a new database's schema).
    void ExecuteScript(const char* sql);

    // Runs a query and calls `onRow(const Row&)` for every row, in order. The statement is
    // reset whatever happens, so a query that fails part-way leaves nothing open. Returns the
    // number of selected columns.
    template <class F> int Query(std::string_view sql, Params params, F&& onRow) {
        Row& row = Start(sql, params);
        StepGuard guard{*engine_, row};
        while (Step(row))
            onRow(static_cast<const Row&>(row));
        return row.ColumnCount();
    }

    // Sends a query whose rows TakeAhead() reads later, so that a server works on it while the
    // caller goes on (see Engine::SendAhead()). False when nothing was sent: the engine cannot,
    // or no transaction is open.
    bool SendAhead(std::string_view sql, Params params);
    // Calls `onRow(const Row&)` for every row of the query sent ahead, once the statements sent
    // before it are known good (throws their failure as Flush() does). False, without a row, when
    // its rows did not come back in the transaction still open: the caller asks again.
    template <class F> bool TakeAhead(F&& onRow) {
        Row* row = AheadRow();
        if (row == nullptr) return false;
        StepGuard guard{*engine_, *row};
        while (Step(*row))
            onRow(static_cast<const Row&>(*row));
        return true;
    }

    // Ends the current transaction, making its work durable (a no-op in preview), and forgets
    // that the engine undid an earlier one. Throws
    // quorvel::Error when the engine refuses; the work is then still pending or already lost, and
    // the caller rolls back.
    void Commit();
    // Undoes the work since the last commit, and forgets that the engine undid it by itself.
    void Rollback() noexcept;
    // True when the engine rolled back a transaction on its own since the last Commit() or
    // Rollback(): the statements that ran in it are undone. A link to a server that dropped reads
    // the same way, in a transaction or not: the statement that met it did nothing.
    bool TransactionLost() const noexcept { return lost_; }
    // True while the link to a server is down after a failure (made again by the next statement).
    bool LinkDropped() const noexcept { return engine_ != nullptr && engine_->Dropped(); }
    // True when the last statement failed because the lines done again no longer send what the
    // database ran for them (see Engine::Parted()): no fault of that statement.
    bool Parted() const noexcept { return engine_ != nullptr && engine_->Parted(); }
    // True once the database is out of reach for good (a server that could not be joined again):
    // every statement fails, and a pass stops rather than blame its lines.
    bool Unreachable() const noexcept { return engine_ != nullptr && engine_->Unreachable(); }
    // Why the database is out of reach (the engine's last word), once Unreachable().
    const Error& UnreachableError() const noexcept { return unreachableError_; }
    // True when the last Commit() failed without anyone knowing whether the work was stored.
    bool OutcomeUnknown() const noexcept { return outcomeUnknown_; }
    // A number for the open transaction, new with every transaction; 0 outside one. What was read
    // under one number holds while it stays the same (other writers wait for this one).
    std::uint64_t Transaction() const noexcept { return inTransaction_ ? transaction_ : 0; }
    // Where the other connections' commits stand, read inside the open transaction: two equal
    // marks read through the same link mean that nobody else committed anything in between.
    struct ChangeMark {
        std::uint64_t link = 0;
        std::uint64_t changes = 0;
        bool operator==(const ChangeMark&) const = default;
    };
    // The mark, or nothing when the engine cannot tell or no transaction is open.
    std::optional<ChangeMark> ChangesByOthers();
    // The failure that lost the transaction, once TransactionLost().
    const Error& LostError() const noexcept { return lostError_; }
    // The statements that follow are done for item `item` (a line of a pass).
    void SetItem(long item) noexcept {
        item_ = item;
        if (engine_ != nullptr) engine_->SetItem(item);
    }
    // Once the transaction is lost: the item whose statement failed, which may be earlier than the
    // current one when its statement was only sent.
    long LostItem() const noexcept { return lostItem_; }
    // Waits for the outcome of the statements sent, and throws the first failure.
    void Flush();
    // Called before each commit (the TraceLog is written through then, so that it never tells
    // less than the database holds).
    void SetBeforeCommit(std::function<void()> f) { beforeCommit_ = std::move(f); }
    // When on, every statement stands alone: a failing one undoes only itself, as if each were
    // committed on its own. On an engine with savepoints they run inside the transaction; otherwise
    // each is committed on its own, outside any transaction (not in preview), and it is called
    // between transactions.
    void SetEachStatementAlone(bool on) noexcept;
    // True when a transaction can be taken back to a point inside it (see Savepoint()).
    bool HasSavepoints() const noexcept { return engine_ != nullptr && engine_->HasSavepoints(); }
    // Marks the point of the open transaction that a failure which would end it takes it back to
    // instead; the loss then reads as TransactionLost() with LostToSavepoint(). On a server it is
    // only sent: a statement sent before it that fails later takes the transaction back to the
    // point marked before that statement (see LostItem()), and those marked after it are gone.
    // `line` is the line the point follows; LostItem() may then name the line after an earlier
    // point, which the work went back to.
    void Savepoint(long line);
    // Reads, without waiting, the outcomes of the statements sent that have come back, and throws
    // (as Flush() does) when one of them failed.
    void Poll();
    // True when the statement that made item `item` fail is known: done again, the item meets the
    // same failure without the statement being run (see Engine::KnowsFailureOf()).
    bool KnowsFailureOf(long item) const noexcept {
        return engine_ != nullptr && engine_->KnowsFailureOf(item);
    }
    // True when the work lost is only the work since the savepoint: the transaction goes on.
    bool LostToSavepoint() const noexcept { return lost_ && toSavepoint_; }
    // True while the lines done again are still to reach what the database ran already: the
    // batch goes on until they have (see Engine::Replaying()).
    bool Replaying() const noexcept { return engine_ != nullptr && engine_->Replaying(); }
    // The caller has taken back what the work since the savepoint did: the transaction goes on.
    void ForgetLossToSavepoint() noexcept { lost_ = toSavepoint_ = false; }
    // In preview nothing is ever committed: Close() and the destructor roll everything back.
    void SetPreview(bool preview) {
        preview_ = preview;
        if (engine_ != nullptr) engine_->SetPreview(preview);
    }

private:
    // Resets a statement (and clears its values) once it has run, whatever happens.
    struct StepGuard {
        Engine& engine;
        Row& row;
        ~StepGuard() { engine.Reset(row); }
    };

    Row& Start(std::string_view sql, Params params);
    bool Step(Row& row);
    Row* AheadRow();
    void BeginIfNeeded();
    void Attach(std::unique_ptr<Engine> engine);
    void Run(const char* sql);
    // After the engine failed: when it ended the transaction by itself, its work is lost.
    void Failed() noexcept;
    void CloseHandle() noexcept;

    std::unique_ptr<Engine> engine_;
    bool inTransaction_ = false;
    std::uint64_t transaction_ = 0;
    std::uint64_t links_ = 0; // engines attached so far
    bool lost_ = false;
    bool outcomeUnknown_ = false;
    Error unreachableError_{0, ""};
    Error lostError_{0, ""};
    long item_ = 0;
    long lostItem_ = 0;
    std::uint64_t writes_ = 0;
    bool statementCommits_ = false;
    bool statementsAlone_ = false;
    bool toSavepoint_ = false;
    bool preview_ = false;
    // Since when the write lock has been taken without a pause for other writers.
    std::chrono::steady_clock::time_point lockedSince_{};
    // When the write lock was last given up.
    std::chrono::steady_clock::time_point releasedAt_{};
    std::function<void()> beforeCommit_;
    std::function<void()> waitNotice_;
};

} // namespace quorvel::storage
