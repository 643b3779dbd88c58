#include "storage/postgres_engine.hpp"
#include "storage/server_engine.hpp"

#include "storage/database_uri.hpp"
#include "storage/many_rows.hpp"
#include "storage/plain_text.hpp"
#include "storage/postgres_statement.hpp"
#include "storage/server_failures.hpp"
#include "storage/statement_parameters.hpp"

#include <libpq-fe.h>

#include <cctype>
#include <charconv>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <utility>
#include <vector>

namespace quorvel::storage {

namespace {

// The key of the advisory lock that imports into one database take turns on.
constexpr const char* kTakeTurn = "SELECT pg_advisory_lock(7238633396597645)";
constexpr const char* kTryTurn = "SELECT pg_try_advisory_lock(7238633396597645)";
// As long as the file engine waits for a busy database.
constexpr const char* kSession = "SET lock_timeout = '10s'";
// The statements sent about the savepoint with every line once lines fail, prepared once per
// connection: the server then neither parses nor describes them each time.
constexpr std::array<const char*, 3> kPointStatements{kSetPoint, kLetPointGo, kBackToPoint};
const char* PointName(const char* sql) {
    return sql == kSetPoint ? "quorvel_set" : sql == kLetPointGo ? "quorvel_let_go" : "quorvel_back";
}
// A transaction starts by keeping the other writers of the tables an import writes waiting until
// it ends: what it reads of them then holds until it commits. EXCLUSIVE mode lets readers in. A
// table the database lacks is left out, so that its absence shows where a statement uses it.
constexpr const char* kBegin =
    "BEGIN; DO $$DECLARE t text; BEGIN FOREACH t IN ARRAY ARRAY['club', 'licence', 'selection'] LOOP "
    "IF to_regclass(t) IS NOT NULL THEN EXECUTE 'LOCK TABLE ' || quote_ident(t) || ' IN EXCLUSIVE MODE'; "
    "END IF; END LOOP; END$$; SELECT txid_current(), txid_current_snapshot()::text";
// A BEGIN on a connection that dropped meanwhile is tried on a new one this many times.
constexpr int kBeginTries = 3;

std::atomic<long long> reconnectLimitMs{60000};

// Waits a little longer each time, never past `deadline`.
void PauseBefore(std::chrono::steady_clock::time_point deadline, std::chrono::milliseconds& pause) {
    auto left = deadline - std::chrono::steady_clock::now();
    if (left > std::chrono::steady_clock::duration::zero())
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(pause, left));
    pause = std::min(pause * 2, std::chrono::milliseconds(2000));
}

std::string FirstLine(const char* text) {
    std::string s = text != nullptr ? text : "";
    if (auto end = s.find('\n'); end != std::string::npos) s.erase(end);
    return s;
}

} // namespace

std::chrono::milliseconds ReconnectLimit() noexcept {
    return std::chrono::milliseconds(reconnectLimitMs.load());
}

void SetReconnectLimit(std::chrono::milliseconds limit) noexcept {
    reconnectLimitMs.store(limit.count());
}

std::string PostgresParameters(std::string_view sql, int& count) {
    return WithParameters(sql, count, [](std::string& out, int n) { out += '$' + std::to_string(n); });
}

PostgresEngine::PostgresEngine(const std::string& uri, std::function<void()> waiting, bool takeTurn)
    : uri_(uri), waiting_(std::move(waiting)), takeTurn_(takeTurn) {
    conn_ = PQconnectdb(uri.c_str());
    if (PQstatus(conn_) != CONNECTION_OK) {
        std::string message = WithoutPassword(FirstLine(PQerrorMessage(conn_)), uri);
        PQfinish(conn_);
        // The server's own words (a database or role that does not exist, a refused password),
        // without libpq's "connection to server at ... failed: " before them.
        if (auto fatal = message.find("FATAL:  "); fatal != std::string::npos) message.erase(0, fatal);
        throw Error(kCantOpen, message);
    }
    try {
        Setup();
    } catch (...) {
        PQfinish(conn_);
        throw;
    }
}

void PostgresEngine::Setup() {
    if (PQsetClientEncoding(conn_, "UTF8") != 0) Fail(nullptr, {});
    if (takeTurn_) TakeTurn();
    Exec(kSession);
    for (const char* sql : kPointStatements) {
        PGresult* result = PQprepare(conn_, PointName(sql), sql, 0, nullptr);
        if (PQresultStatus(result) != PGRES_COMMAND_OK) Fail(result, sql);
        PQclear(result);
    }
}

bool PostgresEngine::SendPoint(const char* sql) noexcept {
    return PQsendQueryPrepared(conn_, PointName(sql), 0, nullptr, nullptr, nullptr, 0) == 1;
}

void PostgresEngine::TakeTurn() {
    if (waiting_) {
        PGresult* result = PQexec(conn_, kTryTurn);
        bool taken = PQresultStatus(result) == PGRES_TUPLES_OK && PQgetvalue(result, 0, 0)[0] == 't';
        PQclear(result);
        if (taken) return;
        waiting_();
    }
    Exec(kTakeTurn);
}

void PostgresEngine::Reconnect() {
    if (PQstatus(conn_) != CONNECTION_BAD) return;
    if (unreachable_) Fail(nullptr, {});
    ForgetSent();
    lastXid_ = 0; // anyone may have written while the link was down
    for (auto& [sql, statement] : cache_) {
        statement->prepared_ = false;
        // (the functions of the session are gone with it)
        statement->caught_ = Caught::Unknown;
    }
    caughtPending_.clear();
    const auto deadline = std::chrono::steady_clock::now() + ReconnectLimit();
    std::chrono::milliseconds pause(50);
    for (;;) {
        PQreset(conn_);
        if (PQstatus(conn_) == CONNECTION_OK) {
            try {
                Setup();
                return;
            } catch (...) {
                // Dropped again while it was being set up: tried again below.
                if (PQstatus(conn_) != CONNECTION_BAD) throw;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            unreachable_ = true;
            Fail(nullptr, {});
        }
        PauseBefore(deadline, pause);
    }
}

bool PostgresEngine::Dropped() const noexcept {
    return PQstatus(conn_) == CONNECTION_BAD;
}

PostgresEngine::~PostgresEngine() {
    ForgetSent();
    cache_.clear();
    PQfinish(conn_);
}

void PostgresEngine::Fail(PGresult* result, std::string_view sql) {
    oneByOne_ = true;
    std::string state, message;
    if (result != nullptr) {
        const char* s = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        const char* m = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        state = s != nullptr ? s : "";
        message = m != nullptr ? m : FirstLine(PQresultErrorMessage(result));
        PQclear(result);
    }
    // (A connection made again may fail with words that quote the URI.)
    if (message.empty()) message = WithoutPassword(FirstLine(PQerrorMessage(conn_)), uri_);
    Error error = ServerFailure(state, message, sql);
    // A failure that no function caught (a statement the server could not prepare, a query)
    // ends a transaction whose lines run caught: done again, they take savepoints, so that it
    // costs them only that line.
    const bool uncaught = catching_ && (PQtransactionStatus(conn_) == PQTRANS_INERROR || undoneToSavepoint_);
    if (uncaught) {
        catchingOff_ = true;
        catching_ = false;
        done_.clear();
        ran_.clear();
    }
    // The server refuses every further statement of a transaction that failed: it is taken back
    // to its savepoint, or else undone, and the connection learns that its work since is gone.
    if (PQtransactionStatus(conn_) == PQTRANS_INERROR && !undoneToSavepoint_) {
        PGresult* back = savepoint_ ? PQexec(conn_, kBackToPoint) : nullptr;
        if (back != nullptr && PQresultStatus(back) == PGRES_COMMAND_OK) {
            undoneToSavepoint_ = true;
            ForgetCatches();
        } else {
            savepoint_ = false;
            PQclear(PQexec(conn_, "ROLLBACK"));
        }
        PQclear(back);
    }
    // (the savepoint of lines run caught follows a line further back than the one that failed)
    if (uncaught && undoneToSavepoint_) failedItem_ = pointAfter_ + 1;
    throw error;
}

void PostgresEngine::Exec(const char* sql, std::string_view shownSql) {
    PGresult* result = PQexec(conn_, sql);
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        Fail(result, shownSql.empty() ? sql : shownSql);
    PQclear(result);
}

void PostgresEngine::Run(const char* sql) {
    Settle();
    Reconnect();
    Exec(sql);
}

void PostgresEngine::Begin() {
    Settle();
    outcomeUnknown_ = false;
    savepoint_ = pointHeld_ = false;
    known_.reset();
    catching_ = false;
    pointAfter_ = -1;
    ForgetRan();
    ForgetCatches();
    for (int attempt = 1;; ++attempt) {
        Reconnect();
        transaction_.clear();
        PGresult* result = PQexec(conn_, kBegin);
        if (PQresultStatus(result) == PGRES_TUPLES_OK) {
            transaction_ = PQgetvalue(result, 0, 0);
            NoteOthers(PQgetvalue(result, 0, 1));
            PQclear(result);
            return;
        }
        // A connection found dropped only now (its server process ended between two
        // transactions) is made again: nothing was lost.
        if (PQstatus(conn_) != CONNECTION_BAD || attempt == kBeginTries) Fail(result, "BEGIN");
        PQclear(result);
    }
}

namespace {

// True when `snapshot` (txid_current_snapshot()'s text, xmin:xmax:in-progress list), taken as
// transaction `xid` began, shows every transaction numbered before it ended: none in progress,
// and the last one ended is the one just before.
bool AllBeforeEnded(std::string_view snapshot, std::uint64_t xid) {
    const std::size_t first = snapshot.find(':');
    const std::size_t second = snapshot.find(':', first == std::string_view::npos ? first : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return false;
    if (second + 1 != snapshot.size()) return false; // transactions in progress
    std::uint64_t xmax = 0;
    const char* begin = snapshot.data() + first + 1;
    const char* end = snapshot.data() + second;
    return std::from_chars(begin, end, xmax).ptr == end && xmax == xid;
}

} // namespace

// Nobody else committed anything between the start of the last transaction and the start of this
// one when that one began after every other had ended, and no transaction number was given out
// between the two (any writer takes one, so even one that only now takes its turn on the tables
// shows). Anything else, this connection's own savepoints included, counts as a change.
void PostgresEngine::NoteOthers(std::string_view snapshot) noexcept {
    std::uint64_t xid = 0;
    std::from_chars(transaction_.data(), transaction_.data() + transaction_.size(), xid);
    if (lastXid_ == 0 || !lastAlone_ || xid != lastXid_ + 1) ++othersMark_;
    lastXid_ = xid;
    lastAlone_ = xid != 0 && AllBeforeEnded(snapshot, xid);
}

std::string PostgresEngine::TransactionStatus() noexcept {
    const char* values[] = {transaction_.c_str()};
    PGresult* result =
        PQexecParams(conn_, "SELECT txid_status($1::bigint)", 1, nullptr, values, nullptr, nullptr, 0);
    std::string status;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1 && !PQgetisnull(result, 0, 0))
        status = PQgetvalue(result, 0, 0);
    PQclear(result);
    return status;
}

bool PostgresEngine::CommittedAfterAll() noexcept {
    if (transaction_.empty() || PQstatus(conn_) != CONNECTION_BAD) return false;
    const auto deadline = std::chrono::steady_clock::now() + ReconnectLimit();
    std::chrono::milliseconds pause(50);
    for (;;) {
        std::string status;
        try {
            Reconnect();
            status = TransactionStatus();
        } catch (...) {
        }
        if (status == "committed") return true;
        if (status == "aborted") return false;
        // Out of reach, dropped again, or the old server process still ending the transaction.
        if (unreachable_ || std::chrono::steady_clock::now() >= deadline) {
            outcomeUnknown_ = true;
            return false;
        }
        PauseBefore(deadline, pause);
    }
}

void PostgresEngine::Commit() {
    Settle();
    if (!done_.empty()) Diverged(done_.front().item);
    catching_ = false;
    ForgetRan();
    DropAhead();
    savepoint_ = pointHeld_ = false;
    known_.reset();
    PGresult* result = PQexec(conn_, "COMMIT");
    if (PQresultStatus(result) != PGRES_COMMAND_OK) {
        if (CommittedAfterAll()) {
            PQclear(result);
            return;
        }
        if (outcomeUnknown_) {
            PQclear(result);
            throw Error(kIoError, "la connexion au serveur a été perdue pendant la validation et le serveur "
                                  "n'a pas pu être joint pour savoir si elle a abouti");
        }
        Fail(result, {});
    }
    // A transaction that had failed ends in ROLLBACK, without an error.
    bool undone = std::string_view(PQcmdStatus(result)) == "ROLLBACK";
    PQclear(result);
    if (undone) throw Error(kIoError, "cannot commit - the transaction was undone");
    caughtPending_.clear();
}

void PostgresEngine::Rollback() noexcept {
    group_ = {};
    Sent failed{0, nullptr, 0};
    // The work is undone anyway: what failed in it no longer matters.
    PQclear(Drain(failed));
    DropAhead();
    known_.reset();
    ForgetRan();
    catching_ = false;
    failedItem_ = 0;
    savepoint_ = pointHeld_ = false;
    if (InTransaction()) PQclear(PQexec(conn_, "ROLLBACK"));
}

void PostgresEngine::ForgetSent() noexcept {
    DropAhead();
    group_ = {};
    sent_.clear();
    confirmed_ = 0;
    skipToSync_ = false;
    pointHeld_ = false;
    PQclear(std::exchange(arrived_, nullptr));
    ForgetRan();
}

bool PostgresEngine::KeptAhead(const Sent& sent, PGresult* result) noexcept {
    if (!sent.ahead || sent.statement != ahead_ || PQresultStatus(result) != PGRES_TUPLES_OK) return false;
    PQclear(std::exchange(aheadRows_, result));
    return true;
}

void PostgresEngine::DropAhead() noexcept {
    ahead_ = nullptr;
    PQclear(std::exchange(aheadRows_, nullptr));
}

bool PostgresEngine::SendAhead(std::string_view sql, Params params) {
    parted_ = false;
    if (preview_ || statementsAlone_ || !InTransaction() || PQstatus(conn_) != CONNECTION_OK) return false;
    // (its answers would tell of lines not done again yet)
    if (!done_.empty()) Diverged(done_.front().item);
    Statement& statement = Prepared(sql);
    statement.Clear();
    statement.Bind(params);
    SendGroup();
    DropAhead();
    if (PQpipelineStatus(conn_) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_) != 1) return false;
    if (PQsendQueryPrepared(conn_, statement.name_.c_str(), static_cast<int>(statement.values_.size()),
                            statement.pointers_.data(), nullptr, nullptr, 0) != 1)
        return false;
    sent_.push_back({0, &statement, statement.Digest(), Sent::Point::None, true});
    ahead_ = &statement;
    // The server answers as soon as it is done, while the caller goes on.
    PQsendFlushRequest(conn_);
    PQflush(conn_);
    return true;
}

Row* PostgresEngine::TakeAhead() {
    if (ahead_ == nullptr) return nullptr;
    Statement& statement = *ahead_;
    try {
        Settle();
    } catch (...) {
        DropAhead();
        throw;
    }
    ahead_ = nullptr;
    if (aheadRows_ == nullptr) return nullptr;
    statement.Clear();
    statement.result_ = std::exchange(aheadRows_, nullptr);
    return &statement;
}

void PostgresEngine::Confirmed(const Sent& sent) noexcept {
    if (sent.point != Sent::Point::None) pointHeld_ = sent.point == Sent::Point::Set;
}

PGresult* PostgresEngine::Drain(Sent& failed, PGresult** answer) noexcept {
    const std::size_t last = sent_.size() - 1;
    PGresult* failure = std::exchange(arrived_, nullptr);
    if (failure != nullptr) {
        failed = arrivedFor_;
        failedItem_ = failed.item;
    }
    bool backSent = false;
    // A failure takes the transaction back to its savepoint in the round trip that reads it.
    auto sendBack = [&] {
        backSent = savepoint_ && !preview_ && SendPoint(kBackToPoint) && PQpipelineSync(conn_) == 1;
    };
    // The failures caught, in order: the places of their statements in sent_, and their answers.
    std::vector<std::pair<std::size_t, std::string>> caught;
    if (PQpipelineStatus(conn_) != PQ_PIPELINE_OFF && PQpipelineSync(conn_) == 1) {
        if (failure != nullptr) sendBack();
        if (std::exchange(skipToSync_, false)) ReadToSync([](std::size_t, PGresult*) { return false; });
        ReadToSync([&](std::size_t command, PGresult* result) {
            const std::size_t i = confirmed_ + command;
            if (failure == nullptr && i < sent_.size() && sent_[i].caught &&
                PQresultStatus(result) == PGRES_TUPLES_OK) {
                if (PQntuples(result) == 1 && PQgetisnull(result, 0, 0) == 0)
                    caught.emplace_back(i, PQgetvalue(result, 0, 0));
                return false;
            }
            if (answer != nullptr && i == last && failure == nullptr && *answer == nullptr &&
                PQresultStatus(result) != PGRES_FATAL_ERROR) {
                *answer = result;
                return true;
            }
            if (failure == nullptr && i < sent_.size() && KeptAhead(sent_[i], result)) return true;
            if (failure != nullptr || PQresultStatus(result) != PGRES_FATAL_ERROR || i >= sent_.size())
                return false;
            failure = result;
            failed = sent_[i];
            failedItem_ = failed.item;
            sendBack();
            return true;
        });
        if (backSent)
            ReadToSync([&](std::size_t command, PGresult* result) {
                if (command == 0) undoneToSavepoint_ = PQresultStatus(result) == PGRES_COMMAND_OK;
                if (undoneToSavepoint_) ForgetCatches();
                return false;
            });
    }
    if (failure == nullptr)
        for (std::size_t i = confirmed_; i < sent_.size(); ++i)
            Confirmed(sent_[i]);
    else if (!undoneToSavepoint_)
        pointHeld_ = false;
    if (failure == nullptr && !caught.empty()) KeepDone(caught);
    sent_.clear();
    confirmed_ = 0;
    if (PQpipelineStatus(conn_) != PQ_PIPELINE_OFF) PQexitPipelineMode(conn_);
    return failure;
}

template <class F> bool PostgresEngine::ReadToSync(F take, bool wait) noexcept {
    std::size_t command = 0;
    bool ended = false;
    while (PQstatus(conn_) == CONNECTION_OK && (wait || PQisBusy(conn_) == 0)) {
        PGresult* result = PQgetResult(conn_);
        if (result == nullptr) {
            // Two nulls in a row: nothing more is on its way (yet).
            if (ended) break;
            ended = true;
            ++command;
            continue;
        }
        ended = false;
        if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) {
            PQclear(result);
            return true;
        }
        if (!take(command, result)) PQclear(result);
    }
    return false;
}

bool PostgresEngine::FailureArrived() noexcept {
    if (arrived_ != nullptr) return true;
    if (catching_) {
        // A failure caught stops nothing: it is read at the next sync point.
        PQflush(conn_);
        return false;
    }
    if (confirmed_ == sent_.size() || PQpipelineStatus(conn_) == PQ_PIPELINE_OFF) return false;
    // The server sends a failure back at once; what went well, only when asked (or at a sync
    // point), which is done now and then, and always when it lags too far behind.
    const bool behind = sent_.size() - confirmed_ > kAheadAtMost;
    const bool ask = behind || ++polls_ % kAskEvery == 0;
    if ((ask && PQsendFlushRequest(conn_) != 1) || PQflush(conn_) != 0 || PQconsumeInput(conn_) != 1)
        return PQstatus(conn_) != CONNECTION_OK;
    // What comes back for the statements the server skipped after a failure is read as it comes.
    if (skipToSync_) {
        if (!ReadToSync([](std::size_t, PGresult*) { return false; }, false)) return false;
        skipToSync_ = false;
    }
    while (confirmed_ < sent_.size()) {
        // Waits for the server when it lags too far behind: a failure is then seen soon.
        if ((!behind || sent_.size() - confirmed_ <= kAheadAtMost) && PQisBusy(conn_) != 0) break;
        PGresult* result = PQgetResult(conn_);
        if (result == nullptr) {
            Confirmed(sent_[confirmed_++]);
        } else if (PQresultStatus(result) == PGRES_FATAL_ERROR) {
            arrived_ = result;
            arrivedFor_ = sent_[confirmed_];
            return true;
        } else if (!KeptAhead(sent_[confirmed_], result)) {
            PQclear(result);
        }
    }
    return false;
}

void PostgresEngine::BackAtOnce() {
    PGresult* result = std::exchange(arrived_, nullptr);
    const Sent failed = arrivedFor_;
    // The server skips what follows the failure up to this sync point.
    sent_.clear();
    confirmed_ = 0;
    skipToSync_ = true;
    const bool sent = PQpipelineSync(conn_) == 1 && SendPoint(kBackToPoint);
    if (sent) sent_.push_back({0, nullptr, 0, Sent::Point::Set});
    failedItem_ = failed.item;
    undoneToSavepoint_ = sent;
    ForgetCatches();
    try {
        Fail(result, failed.statement != nullptr ? failed.statement->source_ : std::string_view());
    } catch (const Error& e) {
        if (undoneToSavepoint_ && failed.statement != nullptr) known_.emplace(KnownFailure{failed, e});
        throw;
    }
}

void PostgresEngine::Settle() {
    Settle(nullptr);
}

void PostgresEngine::Settle(PGresult** answer) {
    SendGroup();
    if (arrived_ != nullptr && pointHeld_ && savepoint_ && !preview_ && PQstatus(conn_) == CONNECTION_OK)
        BackAtOnce();
    if (sent_.empty() && arrived_ == nullptr && PQpipelineStatus(conn_) == PQ_PIPELINE_OFF) return;
    // A connection lost meanwhile is reported against the first statement sent.
    long first = sent_.empty() ? 0 : sent_.front().item;
    if (PQstatus(conn_) == CONNECTION_BAD) {
        // Nothing more comes from it: making it again leaves pipeline mode.
        ForgetSent();
        if (first == 0) return;
        failedItem_ = first;
        Fail(nullptr, {});
    }
    Sent failed{0, nullptr, 0};
    PGresult* failure = Drain(failed, answer);
    if (failure == nullptr && caughtFailure_) {
        // The lines from the failing one are done again, on what the server ran since.
        if (answer != nullptr) PQclear(std::exchange(*answer, nullptr));
        Error caught = std::move(*caughtFailure_);
        caughtFailure_.reset();
        throw caught;
    }
    if (failure == nullptr && PQstatus(conn_) == CONNECTION_OK) return;
    if (failure == nullptr) failedItem_ = first;
    try {
        Fail(failure, failed.statement != nullptr ? failed.statement->source_ : std::string_view());
    } catch (const Error& e) {
        if (undoneToSavepoint_ && failed.statement != nullptr) known_.emplace(KnownFailure{failed, e});
        throw;
    }
}

void PostgresEngine::FailAgainIfKnown(const Statement& statement, long item) {
    while (!failedBefore_.empty() && failedBefore_.front().item < item)
        failedBefore_.pop_front();
    if (!failedBefore_.empty() && failedBefore_.front().item == item &&
        failedBefore_.front().statement == &statement && failedBefore_.front().values == statement.Digest()) {
        Error error = *failedBefore_.front().failure;
        // (kept as the server's: the line may be done again once more)
        if (catching_) ran_.push_back(std::move(failedBefore_.front()));
        failedBefore_.pop_front();
        throw error;
    }
    if (!known_ || known_->sent.item != item || known_->sent.statement != &statement ||
        known_->sent.values != statement.Digest())
        return;
    Error error = known_->error;
    known_.reset();
    throw error;
}

long PostgresEngine::TakeFailedItem() noexcept {
    return std::exchange(failedItem_, 0);
}

void PostgresEngine::Savepoint(long line) {
    if (preview_ || !InTransaction()) return;
    SendGroup();
    if (!catchingOff_) {
        catching_ = true;
        // The point is marked only where every statement sent has its outcome read (the point
        // marked last among them) and the lines done again have caught up with what the server
        // ran: it then follows line `line`.
        if (!sent_.empty() || !done_.empty()) return;
        pointAfter_ = line;
        // (what the lines up to here ran is never done again)
        while (!ran_.empty() && ran_.front().item <= line)
            ran_.pop_front();
    }
    if (PQpipelineStatus(conn_) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_) != 1)
        Fail(nullptr, kSetPoint);
    for (const char* sql : {savepoint_ ? kLetPointGo : nullptr, kSetPoint}) {
        if (sql == nullptr) continue;
        sent_.push_back({0, nullptr, 0, sql == kSetPoint ? Sent::Point::Set : Sent::Point::LetGo});
        if (!SendPoint(sql)) {
            Settle();
            Fail(nullptr, sql);
        }
    }
    savepoint_ = true;
}

bool PostgresEngine::TakeUndoneToSavepoint() noexcept {
    return std::exchange(undoneToSavepoint_, false);
}

bool PostgresEngine::Send(std::string_view sql, Params params) {
    const long item = item_;
    parted_ = false;
    if (preview_ || statementsAlone_) return false;
    Statement& statement = Prepared(sql);
    statement.Clear();
    statement.Bind(params);
    // (what the server ran for a line done again is not sent again)
    if (const std::optional<Done> done = done_.empty() ? std::nullopt : TakeDone(statement, item, false)) {
        if (done->failure) throw *done->failure;
        return true;
    }
    FailAgainIfKnown(statement, item);
    if (!catching_ && Keep(statement, item)) return true;
    SendGroup();
    SendBound(statement, item, catching_ && CatchReady(statement) ? statement.call_ : nullptr);
    return true;
}

void PostgresEngine::SendBound(Statement& statement, long item, Statement* call) {
    if (PQpipelineStatus(conn_) == PQ_PIPELINE_OFF && PQenterPipelineMode(conn_) != 1)
        Fail(nullptr, statement.source_);
    sent_.push_back({item, &statement, statement.Digest(), Sent::Point::None, false, call != nullptr});
    if (catching_) {
        ran_.push_back({item, &statement, sent_.back().values, std::nullopt, nullptr});
        sent_.back().ran = &ran_.back();
    }
    Statement& sending = call != nullptr ? *call : statement;
    if (call != nullptr)
        for (std::size_t i = 0; i < statement.values_.size(); ++i) {
            call->values_[i].swap(statement.values_[i]);
            call->pointers_[i] = statement.pointers_[i] != nullptr ? call->values_[i].c_str() : nullptr;
        }
    bool sent = PQsendQueryPrepared(conn_, sending.name_.c_str(), static_cast<int>(sending.values_.size()),
                                    sending.pointers_.data(), nullptr, nullptr, 0) == 1;
    if (!sent || sent_.size() >= kSendAtMost) Settle();
    if (!sent) {
        failedItem_ = item;
        Fail(nullptr, statement.source_);
    }
}

// A statement of many rows that fails is blamed on the line of its first row: the batch is done
// again up to that line, then line after line, each with a savepoint, until the line at fault
// fails alone. A savepoint sends the rows kept before it, so that no statement spans two. After a
// first failure rows go one by one: a file with a refused line often holds more, and there a
// statement of many rows ran twice as slow in all (30,000 lines, one in ten refused).
bool PostgresEngine::Keep(Statement& statement, long item) {
    if (oneByOne_ || !ManyRowsForm(statement)) return false;
    if (group_.single != &statement) SendGroup();
    // The row is read before any rows kept are sent, which binds theirs to the same statement.
    const std::size_t from = group_.values.size();
    for (std::size_t i = 0; i < statement.values_.size(); ++i) {
        group_.values.push_back(statement.values_[i]);
        group_.nulls.push_back(statement.pointers_[i] == nullptr);
    }
    bool alone = false;
    if (statement.manyRows_ == ManyRows::Update) {
        std::string key;
        alone = !UpdateKey(statement, key);
        // A key of other characters goes alone; a row kept with the same key goes first.
        if (alone || !group_.keys.insert(key).second) {
            SendBefore(from);
            if (!alone) group_.keys.insert(key);
        }
    }
    group_.single = &statement;
    group_.items.push_back(item);
    if (alone || group_.items.size() == kGroupRows) SendGroup();
    return true;
}

bool PostgresEngine::ManyRowsForm(Statement& statement) {
    if (statement.manyRows_ == ManyRows::Unknown) {
        statement.manyRows_ = ManyRows::No;
        if (!ManyRowsInsert(statement.source_, 2).empty()) statement.manyRows_ = ManyRows::Insert;
        const std::optional<UpdateShape> update = UpdateShapeOf(statement.source_);
        if (update && ColumnTypes(statement, *update)) {
            statement.keys_ = update->keys;
            statement.manyRows_ = ManyRows::Update;
        }
    }
    return statement.manyRows_ != ManyRows::No;
}

// The values of an UPDATE of many rows come as a list whose columns take their types from the
// first row: those are read from the table (once per statement and connection), so that a number
// column compares with a number, as in the one-row statement. False when one is not found.
bool PostgresEngine::ColumnTypes(Statement& statement, const UpdateShape& update) {
    Settle();
    const char* values[] = {update.table.c_str()};
    PGresult* result =
        PQexecParams(conn_,
                     "SELECT lower(attname), format_type(atttypid, atttypmod) FROM pg_attribute "
                     "WHERE attrelid = to_regclass($1) AND attnum > 0 AND NOT attisdropped",
                     1, nullptr, values, nullptr, nullptr, 0);
    std::unordered_map<std::string, std::string> types;
    if (PQresultStatus(result) == PGRES_TUPLES_OK)
        for (int row = 0; row < PQntuples(result); ++row)
            types.emplace(PQgetvalue(result, row, 0), PQgetvalue(result, row, 1));
    PQclear(result);
    statement.types_.clear();
    for (std::string column : update.columns) {
        for (char& c : column)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto type = types.find(column);
        if (type == types.end()) return false;
        statement.types_.push_back(type->second);
    }
    return true;
}

// Updates go together only while no row can be found by two of them: their keys are Plain() and
// differ once letters a-z are folded. False for a key of other characters, whose update then goes
// alone.
bool PostgresEngine::UpdateKey(const Statement& statement, std::string& key) {
    for (std::size_t k : statement.keys_) {
        if (statement.pointers_[k] == nullptr || !Plain(statement.values_[k])) return false;
        AppendFolded(key, statement.values_[k]);
        key += '\x1f';
    }
    return true;
}

void PostgresEngine::SendBefore(std::size_t from) {
    std::vector<std::string> row(
        std::make_move_iterator(group_.values.begin() + static_cast<std::ptrdiff_t>(from)),
        std::make_move_iterator(group_.values.end()));
    std::vector<bool> nulls(group_.nulls.begin() + static_cast<std::ptrdiff_t>(from), group_.nulls.end());
    group_.values.resize(from);
    group_.nulls.resize(from);
    SendGroup();
    group_.values = std::move(row);
    group_.nulls = std::move(nulls);
}

void PostgresEngine::SendGroup() {
    if (group_.items.empty()) return;
    Group group = std::exchange(group_, {});
    if (PQstatus(conn_) == CONNECTION_BAD) {
        // Its rows are lost with the transaction: never sent on a connection made again.
        ForgetSent();
        failedItem_ = group.items.front();
        Fail(nullptr, {});
    }
    std::size_t from = 0;
    for (std::size_t rows = kGroupRows; rows > 0; rows /= 2)
        for (; group.items.size() - from >= rows; from += rows)
            SendRows(group, from, rows);
}

void PostgresEngine::SendRows(Group& group, std::size_t from, std::size_t rows) {
    Statement& statement =
        rows == 1 ? *group.single
                  : Prepared(group.single->manyRows_ == ManyRows::Update
                                 ? ManyRowsUpdate(group.single->source_, rows, group.single->types_)
                                 : ManyRowsInsert(group.single->source_, rows));
    const std::size_t columns = group.single->values_.size();
    for (std::size_t i = 0; i < statement.values_.size(); ++i) {
        statement.values_[i] = std::move(group.values[from * columns + i]);
        statement.pointers_[i] = group.nulls[from * columns + i] ? nullptr : statement.values_[i].c_str();
    }
    SendBound(statement, group.items[from]);
}

bool PostgresEngine::InTransaction() const noexcept {
    PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

template <class F> PGresult* PostgresEngine::Alone(F run, std::string_view sql) {
    const bool alone = (preview_ || statementsAlone_) && InTransaction();
    if (alone) Exec(kSavepoint);
    PGresult* result = run();
    ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        if (alone && PQtransactionStatus(conn_) == PQTRANS_INERROR) PQclear(PQexec(conn_, kUndoStatement));
        Fail(result, sql);
    }
    if (alone) Exec(kEndStatement);
    return result;
}

PostgresEngine::Statement& PostgresEngine::Prepared(std::string_view sql) {
    auto it = cache_.find(sql);
    if (it == cache_.end()) {
        int count = 0;
        std::string text = PostgresParameters(sql, count);
        auto made = std::make_unique<Statement>(std::move(text), "q" + std::to_string(++prepared_), count);
        it = cache_.emplace(std::string(sql), std::move(made)).first;
        it->second->source_ = it->first;
    }
    Statement& statement = *it->second;
    if (!statement.prepared_) {
        Settle();
        Reconnect();
        PQclear(Alone(
            [&] { return PQprepare(conn_, statement.name_.c_str(), statement.sql_.c_str(), 0, nullptr); },
            sql));
        statement.prepared_ = true;
    }
    return statement;
}

Row& PostgresEngine::Start(std::string_view sql, Params params) {
    parted_ = false;
    SendGroup();
    // A query after statements only sent goes with them (see InPipeline()).
    if (!Pipelined()) {
        Settle();
        Reconnect();
    }
    Statement& statement = Prepared(sql);
    statement.Clear();
    statement.Bind(params);
    // A line done again reads what it read the first time: the server has run the lines after it
    // since.
    if (const std::optional<Done> done = done_.empty() ? std::nullopt : TakeDone(statement, item_, true)) {
        statement.result_ = PQcopyResult(done->rows.get(), PG_COPYRES_ATTRS | PG_COPYRES_TUPLES);
        if (statement.result_ == nullptr) throw Error(kIoError, "out of memory");
    }
    return statement;
}

PGresult* PostgresEngine::AloneInOne(Statement& statement) {
    // The savepoint, the statement and the release go together; after a failure the server skips
    // the release, and the statement alone is taken back.
    bool sent =
        PQenterPipelineMode(conn_) == 1 &&
        PQsendQueryParams(conn_, kSavepoint, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
        PQsendQueryPrepared(conn_, statement.name_.c_str(), static_cast<int>(statement.values_.size()),
                            statement.pointers_.data(), nullptr, nullptr, 0) == 1 &&
        PQsendQueryParams(conn_, kEndStatement, 0, nullptr, nullptr, nullptr, nullptr, 0) == 1 &&
        PQpipelineSync(conn_) == 1;
    PGresult* outcome = nullptr;
    if (sent)
        ReadToSync([&](std::size_t command, PGresult* result) {
            if (command != 1 || outcome != nullptr) return false;
            outcome = result;
            return true;
        });
    PQexitPipelineMode(conn_);
    ExecStatusType status = PQresultStatus(outcome);
    if (sent && (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)) return outcome;
    if (PQtransactionStatus(conn_) == PQTRANS_INERROR)
        PQclear(PQexec(conn_, (std::string(kUndoStatement) + "; " + kEndStatement).c_str()));
    Fail(outcome, statement.source_);
}

bool PostgresEngine::Pipelined() const noexcept {
    return !preview_ && !statementsAlone_ && !sent_.empty() && arrived_ == nullptr &&
           PQpipelineStatus(conn_) != PQ_PIPELINE_OFF && PQstatus(conn_) == CONNECTION_OK;
}

PGresult* PostgresEngine::InPipeline(Statement& statement) {
    const bool sent =
        PQsendQueryPrepared(conn_, statement.name_.c_str(), static_cast<int>(statement.values_.size()),
                            statement.pointers_.data(), nullptr, nullptr, 0) == 1;
    if (sent) sent_.push_back({0, &statement, statement.Digest()});
    PGresult* rows = nullptr;
    // Throws the failure of a statement sent before, or of the query.
    Settle(&rows);
    if (sent && rows != nullptr) return rows;
    PQclear(rows);
    Fail(nullptr, statement.source_);
}

bool PostgresEngine::Step(Row& row) {
    Statement& statement = static_cast<Statement&>(row);
    const bool asked = statement.result_ == nullptr;
    if (statement.result_ == nullptr && (preview_ || statementsAlone_) && InTransaction()) {
        statement.result_ = AloneInOne(statement);
    } else if (statement.result_ == nullptr && Pipelined()) {
        statement.result_ = InPipeline(statement);
    } else if (statement.result_ == nullptr) {
        statement.result_ = Alone(
            [&] {
                return PQexecPrepared(conn_, statement.name_.c_str(),
                                      static_cast<int>(statement.values_.size()), statement.pointers_.data(),
                                      nullptr, nullptr, 0);
            },
            statement.source_);
    }
    if (asked && catching_) KeepQuery(statement);
    return ++statement.row_ < PQntuples(statement.result_);
}

void PostgresEngine::Reset(Row& row) noexcept {
    static_cast<Statement&>(row).Clear();
}

std::unique_ptr<Engine> ServerEngine(const std::string& uri, std::function<void()> waiting, bool takeTurn) {
    return std::make_unique<PostgresEngine>(uri, std::move(waiting), takeTurn);
}

} // namespace quorvel::storage
