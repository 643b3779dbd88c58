#pragma once
// What a database engine offers the connection: prepared statements run with bound values, their
// rows, and transactions. The connection keeps the batching, the preview and the bookkeeping of an
// undone transaction; an engine only tells whether a transaction is still open after a failure.

#include <quorvel/error.hpp>

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace quorvel::storage {

// A value bound to a statement's parameter (?1, ?2...): text (UTF-8) or integer. Text is not
// copied: it must live until the statement has run.
struct Param {
    enum class Kind { Text, Integer };
    Param(std::string_view t) : kind(Kind::Text), text(t) {}
    Param(const std::string& t) : kind(Kind::Text), text(t) {}
    Param(const char* t) : kind(Kind::Text), text(t) {}
    Param(long long i) : kind(Kind::Integer), integer(i) {}
    Param(int i) : kind(Kind::Integer), integer(i) {}
    Param(long i) : kind(Kind::Integer), integer(i) {}

    Kind kind;
    std::string_view text;
    long long integer = 0;
};
using Params = std::initializer_list<Param>;

// A statement being run, seen through its current row.
class Row {
public:
    virtual int ColumnCount() const = 0;
    virtual bool IsNull(int column) const = 0;
    // The value's text form: text as stored, integers in decimal, reals as the engine prints them.
    // Valid until the next call.
    virtual std::string_view Text(int column) const = 0;
    virtual long long Integer(int column) const = 0;

protected:
    ~Row() = default;
};

class Engine {
public:
    virtual ~Engine() = default;

    // The statement of text `sql` (prepared once per text) with `params` bound, ready to step.
    virtual Row& Start(std::string_view sql, Params params) = 0;
    // Moves to the next row; false once there is none. Throws quorvel::Error when the statement
    // fails.
    virtual bool Step(Row& statement) = 0;
    // Makes the statement ready for its next run and lets go of its values.
    virtual void Reset(Row& statement) noexcept = 0;
    // Runs statements without parameters, one after the other.
    virtual void Run(const char* sql) = 0;
    // Sends a statement that returns no row, inside the open transaction, without waiting for its
    // outcome when the engine gains by it (a server a round trip away). Its failure is then thrown
    // by a later call (at the latest Commit), and TakeFailedItem() names the item it was sent for
    // (see SetItem()). Returns false when the engine did nothing: the caller runs the statement
    // as usual.
    virtual bool Send(std::string_view /*sql*/, Params /*params*/) { return false; }
    // Waits for the outcome of every statement sent, and throws the first failure.
    virtual void Settle() {}
    // The item of the sent statement whose failure the error last thrown reports (0 when that
    // error is not a sent statement's), and forgets it.
    virtual long TakeFailedItem() noexcept { return 0; }

    virtual void Begin() = 0;
    virtual void Commit() = 0;
    // Undoes the open transaction, if any.
    virtual void Rollback() noexcept = 0;
    // True while a transaction is open: after a failure, false tells that the engine ended it.
    virtual bool InTransaction() const noexcept = 0;
    // True when a writer keeps every other writer out until it commits: a long import then leaves
    // them a moment now and then.
    virtual bool WriterExcludesOthers() const noexcept = 0;
    // True when every statement that returns rows costs a round trip to a server: callers then
    // gain by asking many things at once.
    virtual bool Remote() const noexcept { return false; }
    // True while the link to the database is down (a server whose connection dropped): the work
    // of the transaction under way, if any, is gone, and the next statement makes the link again.
    virtual bool Dropped() const noexcept { return false; }
    // True once the link could not be made again within the time the engine allows: every later
    // statement fails at once.
    virtual bool Unreachable() const noexcept { return false; }
    // True when the last Commit() failed without the engine being able to learn whether the
    // transaction was stored (the link dropped during COMMIT and the server stayed out of reach).
    virtual bool OutcomeUnknown() const noexcept { return false; }
    // In preview, nothing is committed and one transaction holds the whole run: a failing statement
    // must then undo only itself.
    virtual void SetPreview(bool /*preview*/) noexcept {}

    // True when a transaction can be taken back to a point inside it (a savepoint).
    virtual bool HasSavepoints() const noexcept { return false; }
    // Marks the point of the open transaction that a failure which would end it takes it back to
    // instead (the point marked before is let go). It may be only sent: a statement sent before it
    // that fails later takes the transaction back to the point in force when that statement was
    // sent, and the points sent after it are never marked. `line` is the item the point follows.
    // An engine may keep fewer points than it is asked for (see PostgresEngine): the failure then
    // tells the item after the point the transaction went back to.
    virtual void Savepoint(long /*line*/) {}
    // Reads, without waiting, the outcomes of the statements sent that have come back. True when
    // one of them failed: Settle() then throws that failure.
    virtual bool FailureArrived() noexcept { return false; }
    // True, once, when the last failure took the transaction back to that point rather than
    // ending it.
    virtual bool TakeUndoneToSavepoint() noexcept { return false; }
    // True when the statement that made item `item` fail is known, and fails again without
    // being run when the item is done again in this transaction.
    virtual bool KnowsFailureOf(long /*item*/) const noexcept { return false; }
    // True while lines done again after a failure are still to send statements that the database
    // ran already (see PostgresEngine): the transaction must not end before they have.
    virtual bool Replaying() const noexcept { return false; }
    // True from a failure because the lines done again no longer send what the database ran for
    // them, until the next statement.
    virtual bool Parted() const noexcept { return false; }
    // The item (the line) the statements that follow are for.
    virtual void SetItem(long /*item*/) noexcept {}
    // When on, each statement stands alone inside the transaction (as in preview): a failing one
    // undoes only itself. Only for an engine with savepoints.
    virtual void SetStatementsAlone(bool /*on*/) noexcept {}
    // A number that changes whenever another connection has committed a change to the database,
    // read inside this engine's open transaction; 0 when the engine cannot tell (callers then take
    // it that anyone may have written anything).
    virtual std::uint64_t ChangesByOthers() { return 0; }
    // Sends query `sql` inside the open transaction, its rows to be read by TakeAhead(), so that
    // the server works on it while the caller goes on. False when the engine cannot (a file,
    // where a query costs no round trip), outside a transaction, or while statements stand
    // alone: nothing is sent. A query sent ahead replaces the one before.
    virtual bool SendAhead(std::string_view /*sql*/, Params /*params*/) { return false; }
    // The query sent ahead as a statement to Step() through, once every statement sent before it
    // is known good (throws their failure); nullptr when its rows did not come back in the open
    // transaction (a failure before it, a commit, a new link).
    virtual Row* TakeAhead() { return nullptr; }
};

} // namespace quorvel::storage
