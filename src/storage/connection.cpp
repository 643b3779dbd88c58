#include "storage/connection.hpp"

#include "base/current_error.hpp"
#include "storage/server_engine.hpp"
#include "storage/sqlite_engine.hpp"

#include <thread>

namespace quorvel::storage {

namespace {

// A connection that has held the write lock this long pauses for other writers before it takes
// it again, for longer than the engine's busy handler sleeps between two tries.
constexpr std::chrono::seconds kHoldAtMost{2};
constexpr std::chrono::milliseconds kPauseForOthers{150};

} // namespace

DatabaseName DatabaseName::Named(const std::string& database) {
    return IsServerUri(database) ? Server(database) : File(database);
}

Connection::~Connection() {
    if (engine_ == nullptr) return;
    if (inTransaction_) {
        try {
            if (preview_)
                engine_->Rollback();
            else
                engine_->Commit();
        } catch (...) {
        }
        engine_->Rollback();
        inTransaction_ = false;
    }
    CloseHandle();
}

void Connection::Failed() noexcept {
    if (engine_ == nullptr) return;
    long sentFor = engine_->TakeFailedItem();
    if (std::current_exception()) lostError_ = base::CurrentError();
    if (engine_->TakeUndoneToSavepoint()) {
        lost_ = toSavepoint_ = true;
        lostItem_ = sentFor != 0 ? sentFor : item_;
        return;
    }
    if (engine_->Unreachable()) {
        // (Called while the engine's failure is being handled.)
        if (std::current_exception()) unreachableError_ = base::CurrentError();
        inTransaction_ = false;
        return;
    }
    if ((inTransaction_ && !engine_->InTransaction()) || engine_->Dropped()) {
        inTransaction_ = false;
        lost_ = true;
        lostItem_ = sentFor != 0 ? sentFor : item_;
        releasedAt_ = std::chrono::steady_clock::now();
    }
}

void Connection::Attach(std::unique_ptr<Engine> engine) {
    engine_ = std::move(engine);
    ++links_;
    engine_->SetPreview(preview_);
    engine_->SetItem(item_);
}

std::optional<Connection::ChangeMark> Connection::ChangesByOthers() {
    if (engine_ == nullptr || Transaction() == 0) return std::nullopt;
    try {
        std::uint64_t changes = engine_->ChangesByOthers();
        if (changes != 0) return ChangeMark{links_, changes};
    } catch (const Error&) {
        // Reading it changes nothing: the caller goes on as when the engine cannot tell.
    }
    return std::nullopt;
}

void Connection::Open(const DatabaseName& database) {
    if (engine_ != nullptr) Close();
    if (database.engine == DatabaseName::Engine::Server)
        Attach(ServerEngine(database.where, waitNotice_));
    else
        Attach(std::make_unique<SqliteEngine>(database.where, database.key, false));
}

void Connection::OpenToRead(const DatabaseName& database) {
    if (engine_ != nullptr) Close();
    if (database.engine == DatabaseName::Engine::Server)
        Attach(ServerEngine(database.where, nullptr, false));
    else
        Attach(std::make_unique<SqliteEngine>(database.where, database.key, false));
}

void Connection::Create(const std::string& path) {
    if (engine_ != nullptr) Close();
    if (IsServerUri(path))
        Attach(ServerEngine(path));
    else
        Attach(std::make_unique<SqliteEngine>(path, std::string(kDatabaseKey), true));
}

void Connection::ExecuteScript(const char* sql) {
    ++writes_;
    BeginIfNeeded();
    Run(sql);
}

void Connection::Run(const char* sql) {
    try {
        engine_->Run(sql);
    } catch (...) {
        Failed();
        throw;
    }
}

void Connection::CloseHandle() noexcept {
    engine_.reset();
    inTransaction_ = false;
}

void Connection::Close() {
    if (engine_ == nullptr) return;
    if (inTransaction_) {
        if (preview_) {
            engine_->Rollback();
            inTransaction_ = false;
        } else {
            Commit();
        }
    }
    CloseHandle();
}

void Connection::BeginIfNeeded() {
    if (inTransaction_ || (statementCommits_ && !preview_)) return;
    if (engine_->WriterExcludesOthers()) {
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
    }
    engine_->Begin();
    inTransaction_ = true;
    ++transaction_;
}

void Connection::Commit() {
    lost_ = toSavepoint_ = false;
    outcomeUnknown_ = false;
    if (engine_ == nullptr || !inTransaction_ || preview_) return;
    if (beforeCommit_) beforeCommit_();
    try {
        engine_->Commit();
    } catch (...) {
        if (engine_->OutcomeUnknown()) {
            // Neither stored nor lost as far as anyone knows: not to be done again.
            outcomeUnknown_ = true;
            inTransaction_ = false;
            throw;
        }
        Failed();
        throw;
    }
    inTransaction_ = false;
    releasedAt_ = std::chrono::steady_clock::now();
}

void Connection::Rollback() noexcept {
    if (engine_ != nullptr) engine_->Rollback();
    if (inTransaction_ || lost_) releasedAt_ = std::chrono::steady_clock::now();
    inTransaction_ = false;
    lost_ = toSavepoint_ = false;
}

void Connection::SetEachStatementAlone(bool on) noexcept {
    statementsAlone_ = on;
    statementCommits_ = on && !HasSavepoints();
    if (engine_ != nullptr) engine_->SetStatementsAlone(on && HasSavepoints());
}

void Connection::Savepoint(long line) {
    if (engine_ == nullptr || !inTransaction_ || preview_) return;
    try {
        engine_->Savepoint(line);
    } catch (...) {
        Failed();
        throw;
    }
}

Row& Connection::Start(std::string_view sql, Params params) {
    if (engine_ == nullptr)
        throw Error(errnum::kObjectClosed, "L'opération n'est pas autorisée si l'objet est fermé.");
    BeginIfNeeded();
    try {
        return engine_->Start(sql, params);
    } catch (...) {
        Failed();
        throw;
    }
}

bool Connection::SendAhead(std::string_view sql, Params params) {
    if (engine_ == nullptr || !inTransaction_ || preview_ || statementsAlone_) return false;
    try {
        return engine_->SendAhead(sql, params);
    } catch (...) {
        Failed();
        throw;
    }
}

Row* Connection::AheadRow() {
    // (the engine forgets the query sent ahead when its transaction ends)
    if (engine_ == nullptr) return nullptr;
    try {
        return engine_->TakeAhead();
    } catch (...) {
        Failed();
        throw;
    }
}

bool Connection::Step(Row& row) {
    try {
        return engine_->Step(row);
    } catch (...) {
        Failed();
        throw;
    }
}

void Connection::Flush() {
    if (engine_ == nullptr || !inTransaction_) return;
    try {
        engine_->Settle();
    } catch (...) {
        Failed();
        throw;
    }
}

void Connection::Poll() {
    if (engine_ != nullptr && inTransaction_ && engine_->FailureArrived()) Flush();
}

void Connection::Execute(std::string_view sql, Params params) {
    ++writes_;
    if (engine_ != nullptr && !preview_ && !statementsAlone_) {
        BeginIfNeeded();
        try {
            if (engine_->Send(sql, params)) return;
        } catch (...) {
            Failed();
            throw;
        }
    }
    Row& row = Start(sql, params);
    StepGuard guard{*engine_, row};
    while (Step(row)) {
    }
}

} // namespace quorvel::storage
