#pragma once
// The connection to the host database: an SQLCipher file opened with the database password.
//
// Work is grouped into transactions so that a large import does not pay one disk sync per
// statement: the first statement opens a transaction, and it lasts until Commit() (the passes
// commit a batch of lines at a time) or Rollback(). The engine may roll a transaction back by
// itself (a full disk, a failed write, a trigger raising ROLLBACK): TransactionLost() then tells
// the caller that the work since the last commit is gone. Other writers get their turn: a
// connection that has held the write lock for a while leaves it free for a moment before it
// takes it again.

#include <quorvel/error.hpp>

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

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

// One row of a query being read.
class Row {
public:
    explicit Row(sqlite3_stmt* stmt) : stmt_(stmt) {}
    int ColumnCount() const;
    bool IsNull(int column) const;
    // The value's text form: text as stored, integers in decimal, reals as the engine prints them.
    // Valid until the next call.
    std::string_view Text(int column) const;
    long long Integer(int column) const;

private:
    sqlite3_stmt* stmt_;
    mutable char number_[24];
};

class Connection {
public:
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Commits pending work (or rolls it back in preview) and closes, without reporting.
    ~Connection();

    // Opens the database named by `connectionString`, which reads
    // "...;Data Source=<path>;Jet OLEDB:Database Password=<key>;": the path is opened (never
    // created) and the password is the SQLCipher key. Throws quorvel::Error with the engine's
    // result code and message when the file is missing, is not a database or the key is wrong.
    void Open(const std::string& connectionString);
    // Creates the database file `path` (which must not exist yet) under the database key, and
    // opens it. Throws quorvel::Error with the engine's result code and message on failure.
    void Create(const std::string& path);
    // Commits pending work and closes. Throws (and stays open) when the commit fails.
    void Close();
    // 1 while open, 0 when closed.
    int State() const noexcept { return db_ != nullptr ? 1 : 0; }

    // Runs a statement that changes data.
    void Execute(std::string_view sql, Params params = {});
    // Runs several statements without parameters (a new database's schema).
    void ExecuteScript(const char* sql);

    // Runs a query and calls `onRow(const Row&)` for every row, in order. The statement is
    // reset whatever happens, so a query that fails part-way leaves nothing open. Returns the
    // number of selected columns.
    template <class F> int Query(std::string_view sql, Params params, F&& onRow) {
        sqlite3_stmt* stmt = Start(sql, params);
        StepGuard guard{stmt};
        while (Step(stmt))
            onRow(Row(stmt));
        return Row(stmt).ColumnCount();
    }

    // Ends the current transaction, making its work durable (a no-op in preview), and forgets
    // that the engine undid an earlier one. Throws
    // quorvel::Error when the engine refuses; the work is then still pending or already lost, and
    // the caller rolls back.
    void Commit();
    // Undoes the work since the last commit, and forgets that the engine undid it by itself.
    void Rollback() noexcept;
    // True when the engine rolled back a transaction on its own since the last Commit() or
    // Rollback(): the statements that ran in it are undone.
    bool TransactionLost() const noexcept { return lost_; }
    // Called before each commit (the TraceLog is written through then, so that it never tells
    // less than the database holds).
    void SetBeforeCommit(std::function<void()> f) { beforeCommit_ = std::move(f); }
    // When on, every statement is committed on its own as it runs, outside any transaction (not
    // in preview). Call it between transactions.
    void SetStatementCommits(bool on) noexcept { statementCommits_ = on; }
    // In preview nothing is ever committed: Close() and the destructor roll everything back.
    void SetPreview(bool preview) { preview_ = preview; }

private:
    // Resets a statement (and clears its values) once it has run, whatever happens.
    struct StepGuard {
        sqlite3_stmt* stmt;
        ~StepGuard();
    };
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    sqlite3_stmt* Start(std::string_view sql, Params params);
    sqlite3_stmt* Recent(std::string_view sql) const noexcept;
    bool Step(sqlite3_stmt* stmt);
    void BeginIfNeeded();
    void OpenFile(const std::string& path, const std::string& key, bool create);
    void Run(const char* sql);
    void CloseHandle() noexcept;
    [[noreturn]] void Fail(int rc);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*, StringHash, std::equal_to<>> cache_;
    // The statements used last, by the address of the text they were asked with.
    struct RecentStatement {
        const char* where = nullptr;
        const std::string* sql = nullptr;
        sqlite3_stmt* stmt = nullptr;
    };
    std::array<RecentStatement, 8> recent_{};
    std::size_t nextRecent_ = 0;
    bool inTransaction_ = false;
    bool lost_ = false;
    bool statementCommits_ = false;
    bool preview_ = false;
    // Since when the write lock has been taken without a pause for other writers.
    std::chrono::steady_clock::time_point lockedSince_{};
    // When the write lock was last given up.
    std::chrono::steady_clock::time_point releasedAt_{};
    std::function<void()> beforeCommit_;
};

// The database-level secret of the club application's database: the SQLCipher key.
inline constexpr std::string_view kDatabaseKey = "quenoril";

// The connection string that the import builds for a database path.
std::string ConnectionString(const std::string& strFileBase);

} // namespace quorvel::storage
