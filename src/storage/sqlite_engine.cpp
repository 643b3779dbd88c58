#include "storage/sqlite_engine.hpp"

#include <sqlite3.h>

#include <charconv>
#include <filesystem>

namespace quorvel::storage {

namespace {

constexpr int kBusyTimeoutMs = 10000;
// Page cache of the connection: licence keys arrive in random order, so a large cache keeps
// the index pages of a national file in memory.
constexpr int kCacheKiB = 32 * 1024;

std::string QuoteSql(std::string_view text) {
    std::string s = "'";
    for (char c : text) {
        if (c == '\'') s += '\'';
        s += c;
    }
    s += '\'';
    return s;
}

} // namespace

class SqliteEngine::Statement final : public Row {
public:
    explicit Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int ColumnCount() const override { return sqlite3_column_count(stmt_); }
    bool IsNull(int column) const override { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    std::string_view Text(int column) const override {
        if (sqlite3_column_type(stmt_, column) == SQLITE_INTEGER) {
            // Written here rather than by the engine, which would allocate a text copy of the value.
            auto [end, ec] =
                std::to_chars(number_, number_ + sizeof number_, sqlite3_column_int64(stmt_, column));
            return std::string_view(number_, static_cast<std::size_t>(end - number_));
        }
        const unsigned char* p = sqlite3_column_text(stmt_, column);
        int n = sqlite3_column_bytes(stmt_, column);
        return p == nullptr ? std::string_view() : std::string_view(reinterpret_cast<const char*>(p), n);
    }
    long long Integer(int column) const override { return sqlite3_column_int64(stmt_, column); }

    sqlite3_stmt* stmt_;

private:
    mutable char number_[24];
};

SqliteEngine::SqliteEngine(const std::string& path, const std::string& key, bool create) {
    // The engine would take an empty file for a new database and write a header into it.
    std::error_code ec;
    if (!create && std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 &&
        !ec)
        throw Error(SQLITE_NOTADB, sqlite3_errstr(SQLITE_NOTADB));
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        throw Error(rc & 0xFF, message);
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    try {
        Run(("PRAGMA key = " + QuoteSql(key)).c_str());
        // The first read proves the key: a wrong one reads garbage and fails here.
        Run("SELECT count(*) FROM sqlite_master");
        Run(("PRAGMA cache_size = -" + std::to_string(kCacheKiB)).c_str());
    } catch (...) {
        sqlite3_close_v2(db_);
        throw;
    }
}

SqliteEngine::~SqliteEngine() {
    cache_.clear();
    sqlite3_close_v2(db_);
}

void SqliteEngine::Fail(int rc) {
    int code = rc & 0xFF;
    std::string message = sqlite3_errmsg(db_);
    // After a damaged page or a failed write the engine refuses every further statement of the
    // transaction ("SQL logic error"), COMMIT included: it is undone, as the engine undoes it by
    // itself in other cases.
    if (!sqlite3_get_autocommit(db_) && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB ||
                                         code == SQLITE_IOERR || code == SQLITE_FULL || code == SQLITE_NOMEM))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw Error(code, message);
}

void SqliteEngine::Run(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

void SqliteEngine::Begin() {
    Run("BEGIN IMMEDIATE");
}

void SqliteEngine::Commit() {
    Run("COMMIT");
}

void SqliteEngine::Rollback() noexcept {
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqliteEngine::InTransaction() const noexcept {
    return !sqlite3_get_autocommit(db_);
}

// The engine's data version moves only with other connections' commits (this one's own writes
// leave it); it starts at 1, so 0 stays free for "cannot tell".
std::uint64_t SqliteEngine::ChangesByOthers() {
    Row& row = Start("PRAGMA data_version", {});
    std::uint64_t version = 0;
    try {
        if (Step(row)) version = static_cast<std::uint64_t>(row.Integer(0));
    } catch (...) {
        Reset(row); // left ready for the next reading
        throw;
    }
    Reset(row);
    return version;
}

SqliteEngine::Statement* SqliteEngine::Recent(std::string_view sql) const noexcept {
    // The statements of a line are few and their texts are constants: they are found by where
    // their text lies, then checked, without hashing it.
    for (const RecentStatement& r : recent_)
        if (r.where == sql.data() && r.sql != nullptr && *r.sql == sql) return r.stmt;
    return nullptr;
}

Row& SqliteEngine::Start(std::string_view sql, Params params) {
    Statement* statement = Recent(sql);
    if (statement == nullptr) {
        auto it = cache_.find(sql);
        if (it == cache_.end()) {
            sqlite3_stmt* stmt = nullptr;
            int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
            if (rc != SQLITE_OK) Fail(rc);
            it = cache_.emplace(std::string(sql), std::make_unique<Statement>(stmt)).first;
        }
        statement = it->second.get();
        recent_[nextRecent_++ % recent_.size()] = {sql.data(), &it->first, statement};
    }
    sqlite3_stmt* stmt = statement->stmt_;
    int index = 1;
    for (const Param& p : params) {
        int rc = p.kind == Param::Kind::Text
                     ? sqlite3_bind_text(stmt, index, p.text.data(), static_cast<int>(p.text.size()),
                                         SQLITE_STATIC)
                     : sqlite3_bind_int64(stmt, index, p.integer);
        if (rc != SQLITE_OK) {
            sqlite3_clear_bindings(stmt);
            Fail(rc);
        }
        ++index;
    }
    return *statement;
}

bool SqliteEngine::Step(Row& statement) {
    sqlite3_stmt* stmt = static_cast<Statement&>(statement).stmt_;
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    rc = sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    Fail(rc == SQLITE_OK ? SQLITE_ERROR : rc);
}

void SqliteEngine::Reset(Row& statement) noexcept {
    sqlite3_stmt* stmt = static_cast<Statement&>(statement).stmt_;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

} // namespace quorvel::storage
