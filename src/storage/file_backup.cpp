// Consistent copies of a database file through the engine's online backup, under the key.

#include <quorvel/database_tools.hpp>

#include "storage/connection.hpp"

#include <sqlite3.h>

#include <filesystem>

namespace quorvel {

namespace {

// How long a copy waits for other writers before it gives up.
constexpr int kWaitMs = 10000;
constexpr int kPauseMs = 50;

// An open database handle, closed whatever happens.
struct Handle {
    sqlite3* db = nullptr;
    ~Handle() { sqlite3_close_v2(db); }

    [[noreturn]] void Fail(int rc) const {
        throw Error(rc & 0xFF, db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    }
    // Opens `path` under the application's key and proves the key with a first read.
    void Open(const std::string& path, int flags) {
        int rc = sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK) Fail(rc);
        sqlite3_busy_timeout(db, kWaitMs);
        const std::string key = "PRAGMA key = '" + std::string(storage::kDatabaseKey) + "'";
        if ((rc = sqlite3_exec(db, key.c_str(), nullptr, nullptr, nullptr)) != SQLITE_OK) Fail(rc);
        if ((rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr)) !=
            SQLITE_OK)
            Fail(rc);
    }
};

void Copy(const std::string& from, const std::string& to, bool created) {
    Handle source, target;
    source.Open(from, SQLITE_OPEN_READWRITE);
    target.Open(to, SQLITE_OPEN_READWRITE | (created ? SQLITE_OPEN_CREATE : 0));
    sqlite3_backup* backup = sqlite3_backup_init(target.db, "main", source.db, "main");
    if (backup == nullptr) target.Fail(sqlite3_errcode(target.db));
    int rc = SQLITE_OK;
    for (int waited = 0;; waited += kPauseMs) {
        rc = sqlite3_backup_step(backup, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || waited >= kWaitMs) break;
        sqlite3_sleep(kPauseMs);
    }
    sqlite3_backup_finish(backup);
    if (rc != SQLITE_DONE) target.Fail(rc);
}

} // namespace

void CopyDatabaseFile(const std::string& from, const std::string& to) {
    std::error_code ec;
    const bool created = !std::filesystem::exists(to, ec);
    if (!std::filesystem::is_regular_file(from, ec))
        throw Error(SQLITE_CANTOPEN, "unable to open database file: " + from);
    try {
        Copy(from, to, created);
    } catch (...) {
        if (created) std::filesystem::remove(to, ec);
        throw;
    }
}

} // namespace quorvel
