#include "storage/connection.hpp"

#include <sqlite3.h>

#include <charconv>
#include <climits>
#include <filesystem>
#include <thread>

namespace quorvel::storage {

namespace {

constexpr std::string_view kDataSource = "Data Source=";
constexpr std::string_view kPassword = ";Jet OLEDB:Database Password=";
constexpr int kBusyTimeoutMs = 10000;
// A connection that has held the write lock this long pauses for other writers before it takes
// it again, for longer than the engine's busy handler sleeps between two tries.
constexpr std::chrono::seconds kHoldAtMost{2};
constexpr std::chrono::milliseconds kPauseForOthers{150};
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

std::string ConnectionString(const std::string& strFileBase) {
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + strFileBase + std::string(kPassword) +
           std::string(kDatabaseKey) + ";";
}

int Row::ColumnCount() const {
    return sqlite3_column_count(stmt_);
}
bool Row::IsNull(int column) const {
    return sqlite3_column_type(stmt_, column) == SQLITE_NULL;
}
std::string_view Row::Text(int column) const {
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
long long Row::Integer(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

Connection::~Connection() {
    if (db_ == nullptr) return;
    if (inTransaction_) {
        sqlite3_exec(db_, preview_ ? "ROLLBACK" : "COMMIT", nullptr, nullptr, nullptr);
        if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        inTransaction_ = false;
    }
    CloseHandle();
}

void Connection::Fail(int rc) {
    int code = rc & 0xFF;
    std::string message = db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
    if (db_ != nullptr && inTransaction_) {
        // After a damaged page or a failed write the engine refuses every further statement of the
        // transaction ("SQL logic error"), COMMIT included: it is undone, as the engine undoes it
        // by itself in other cases, and the caller learns that its work since the last commit is
        // gone.
        if (!sqlite3_get_autocommit(db_) &&
            (code == SQLITE_CORRUPT || code == SQLITE_NOTADB || code == SQLITE_IOERR || code == SQLITE_FULL ||
             code == SQLITE_NOMEM))
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        if (sqlite3_get_autocommit(db_)) {
            inTransaction_ = false;
            lost_ = true;
            releasedAt_ = std::chrono::steady_clock::now();
        }
    }
    throw Error(code, message);
}

void Connection::Open(const std::string& connectionString) {
    if (db_ != nullptr) Close();
    auto ds = connectionString.find(kDataSource);
    auto pw = connectionString.rfind(kPassword);
    if (ds == std::string::npos || pw == std::string::npos || pw < ds)
        throw Error(errnum::kBadArgument, "Chaîne de connexion non reconnue.");
    std::string path = connectionString.substr(ds + kDataSource.size(), pw - ds - kDataSource.size());
    std::string key = connectionString.substr(pw + kPassword.size());
    if (!key.empty() && key.back() == ';') key.pop_back();
    OpenFile(path, key, false);
}

void Connection::Create(const std::string& path) {
    if (db_ != nullptr) Close();
    OpenFile(path, std::string(kDatabaseKey), true);
}

void Connection::OpenFile(const std::string& path, const std::string& key, bool create) {
    // The engine would take an empty file for a new database and write a header into it.
    std::error_code ec;
    if (!create && std::filesystem::is_regular_file(path, ec) && std::filesystem::file_size(path, ec) == 0 &&
        !ec)
        throw Error(SQLITE_NOTADB, sqlite3_errstr(SQLITE_NOTADB));
    sqlite3* db = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
        sqlite3_close(db);
        throw Error(rc & 0xFF, message);
    }
    db_ = db;
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    try {
        Run(("PRAGMA key = " + QuoteSql(key)).c_str());
        // The first read proves the key: a wrong one reads garbage and fails here.
        Run("SELECT count(*) FROM sqlite_master");
        Run(("PRAGMA cache_size = -" + std::to_string(kCacheKiB)).c_str());
    } catch (...) {
        CloseHandle();
        throw;
    }
}

void Connection::ExecuteScript(const char* sql) {
    BeginIfNeeded();
    Run(sql);
}

void Connection::Run(const char* sql) {
    int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) Fail(rc);
}

void Connection::CloseHandle() noexcept {
    for (auto& [sql, stmt] : cache_)
        sqlite3_finalize(stmt);
    cache_.clear();
    recent_.fill({});
    sqlite3_close_v2(db_);
    db_ = nullptr;
    inTransaction_ = false;
}

void Connection::Close() {
    if (db_ == nullptr) return;
    if (inTransaction_) {
        if (preview_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            inTransaction_ = false;
        } else {
            Commit();
        }
    }
    CloseHandle();
}

void Connection::BeginIfNeeded() {
    if (inTransaction_ || (statementCommits_ && !preview_)) return;
    auto now = std::chrono::steady_clock::now();
    if (now - releasedAt_ >= kPauseForOthers) {
        // The lock was free long enough for a waiting writer to take it.
        lockedSince_ = now;
    } else if (now - lockedSince_ >= kHoldAtMost) {
        // Another writer polls the lock at least every 100 ms while it waits: a longer pause
        // lets it in.
        std::this_thread::sleep_for(kPauseForOthers);
        lockedSince_ = std::chrono::steady_clock::now();
    }
    Run("BEGIN IMMEDIATE");
    inTransaction_ = true;
}

void Connection::Commit() {
    lost_ = false;
    if (db_ == nullptr || !inTransaction_ || preview_) return;
    if (beforeCommit_) beforeCommit_();
    Run("COMMIT");
    inTransaction_ = false;
    releasedAt_ = std::chrono::steady_clock::now();
}

void Connection::Rollback() noexcept {
    if (db_ != nullptr && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    if (inTransaction_ || lost_) releasedAt_ = std::chrono::steady_clock::now();
    inTransaction_ = false;
    lost_ = false;
}

sqlite3_stmt* Connection::Recent(std::string_view sql) const noexcept {
    // The statements of a line are few and their texts are constants: they are found by where
    // their text lies, then checked, without hashing it.
    for (const RecentStatement& r : recent_)
        if (r.where == sql.data() && r.sql != nullptr && *r.sql == sql) return r.stmt;
    return nullptr;
}

sqlite3_stmt* Connection::Start(std::string_view sql, Params params) {
    if (db_ == nullptr)
        throw Error(errnum::kObjectClosed, "L'opération n'est pas autorisée si l'objet est fermé.");
    BeginIfNeeded();
    sqlite3_stmt* stmt = Recent(sql);
    if (stmt == nullptr) {
        auto it = cache_.find(sql);
        if (it == cache_.end()) {
            int rc = sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt, nullptr);
            if (rc != SQLITE_OK) Fail(rc);
            it = cache_.emplace(std::string(sql), stmt).first;
        }
        stmt = it->second;
        recent_[nextRecent_++ % recent_.size()] = {sql.data(), &it->first, stmt};
    }
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
    return stmt;
}

bool Connection::Step(sqlite3_stmt* stmt) {
    int rc = sqlite3_step(stmt);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    rc = sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    Fail(rc == SQLITE_OK ? SQLITE_ERROR : rc);
}

Connection::StepGuard::~StepGuard() {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
}

void Connection::Execute(std::string_view sql, Params params) {
    sqlite3_stmt* stmt = Start(sql, params);
    StepGuard guard{stmt};
    while (Step(stmt)) {
    }
}

} // namespace quorvel::storage
