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
// until it closes. A connection that drops is made again before the next transaction (the work
// of the one it was in is reported lost), so that the batch is simply done again; one that drops
// during COMMIT is made again at once, and the server tells whether that transaction was stored.

#include "storage/engine.hpp"

#include <memory>
#include <functional>
#include <string>
#include <unordered_map>
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
    bool Send(std::string_view sql, Params params, long item) override;
    void Settle() override;
    long TakeFailedItem() noexcept override;
    void Begin() override;
    void Commit() override;
    void Rollback() noexcept override;
    bool InTransaction() const noexcept override;
    bool WriterExcludesOthers() const noexcept override { return false; }
    bool Remote() const noexcept override { return true; }
    void SetPreview(bool preview) noexcept override { preview_ = preview; }

private:
    class Statement;
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    // A statement sent whose outcome is not read yet.
    struct Sent {
        long item;
        const Statement* statement;
    };
    // The statements sent at most before their outcomes are read: the server's answers wait in
    // the connection's buffers meanwhile.
    static constexpr std::size_t kSendAtMost = 1000;

    // The statement of text `sql`, prepared on the server.
    Statement& Prepared(std::string_view sql);
    // Reads the outcome of every statement sent and ends pipeline mode. Returns the first
    // failure's result, with its statement, or nullptr.
    pg_result* Drain(const Statement*& failed) noexcept;
    // After the connection dropped during COMMIT: connects again and asks the server whether the
    // transaction was stored all the same.
    bool CommittedAfterAll() noexcept;
    // Sets up a new session: text in UTF-8, the turn of this import, the wait for locks.
    void Setup();
    // Takes the database's turn among imports, telling `waiting_` first when another holds it.
    void TakeTurn();
    // Connects again when the connection dropped; the statements are prepared again as they come.
    void Reconnect();
    // The result of the statement that `run` sends, which must succeed: in preview, where the whole
    // run is one transaction, a failure undoes only that statement, as in the file engine.
    template <class F> pg_result* Alone(F run, std::string_view sql);
    // Runs `sql` and keeps its result only to check it; throws the mapped error.
    void Exec(const char* sql, std::string_view shownSql = {});
    // Throws the error of `result` (or of the connection when there is none), read as the file
    // engine would report it, after undoing a transaction the failure has ended.
    [[noreturn]] void Fail(pg_result* result, std::string_view sql);

    pg_conn* conn_ = nullptr;
    std::function<void()> waiting_;
    bool takeTurn_ = true;
    std::unordered_map<std::string, std::unique_ptr<Statement>, StringHash, std::equal_to<>> cache_;
    int prepared_ = 0;
    std::vector<Sent> sent_;
    long failedItem_ = 0;
    // The server's number of the open transaction.
    std::string transaction_;
    bool preview_ = false;
};

// The statement text with its ?N parameters written $N, and the number of parameters.
std::string PostgresParameters(std::string_view sql, int& count);

} // namespace quorvel::storage
