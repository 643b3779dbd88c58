#pragma once
// The connection to the host database: an SQLCipher file opened with the database password.
//
// Work is grouped into transactions so that a large import does not pay one disk sync per
// statement: the first statement opens a transaction and it is committed once it has been open
// for the commit interval, and whenever Commit() is called (end of a pass, an interruption,
// disconnection). A failing statement undoes only itself; what ran before it stays and is
// committed with the rest. The write lock is never held longer than about one interval, so the
// host application can still reach the database during an import.

#include <quorvel/error.hpp>

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
    std::string_view Text(int column) const;
    long long Integer(int column) const;

private:
    sqlite3_stmt* stmt_;
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
        StepGuard guard{this, stmt};
        while (Step(stmt))
            onRow(Row(stmt));
        guard.Finish();
        return Row(stmt).ColumnCount();
    }

    // Ends the current transaction, making its work durable (a no-op in preview).
    void Commit();
    // Called before each commit (the TraceLog is written through then, so that it never tells
    // less than the database holds).
    void SetBeforeCommit(std::function<void()> f) { beforeCommit_ = std::move(f); }
    // How long a transaction may stay open before it is committed.
    void SetCommitInterval(std::chrono::milliseconds interval) { interval_ = interval; }
    // In preview nothing is ever committed: Close() and the destructor roll everything back.
    void SetPreview(bool preview) { preview_ = preview; }

private:
    struct StepGuard {
        Connection* conn;
        sqlite3_stmt* stmt;
        bool finished = false;
        void Finish();
        ~StepGuard();
    };
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };

    sqlite3_stmt* Start(std::string_view sql, Params params);
    bool Step(sqlite3_stmt* stmt);
    void AfterStatement();
    void BeginIfNeeded();
    void OpenFile(const std::string& path, const std::string& key, bool create);
    void Run(const char* sql);
    void CloseHandle() noexcept;
    [[noreturn]] void Fail(int rc);

    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*, StringHash, std::equal_to<>> cache_;
    bool inTransaction_ = false;
    bool preview_ = false;
    std::chrono::steady_clock::time_point transactionStart_{};
    std::chrono::milliseconds interval_{250};
    std::function<void()> beforeCommit_;
};

// The database-level secret of the club application's database: the SQLCipher key.
inline constexpr std::string_view kDatabaseKey = "quenoril";

// The connection string that the import builds for a database path.
std::string ConnectionString(const std::string& strFileBase);

} // namespace quorvel::storage
