// The writes of lines run caught, and the lines done again on what the server ran (see
// PostgresEngine and storage/caught_statement).

#include "storage/caught_statement.hpp"
#include "storage/postgres_statement.hpp"
#include "storage/server_failures.hpp"

#include <algorithm>

namespace quorvel::storage {

void PostgresEngine::ForgetCatches() noexcept {
    for (Statement* statement : caughtPending_)
        statement->caught_ = Caught::Unknown;
    caughtPending_.clear();
}

void PostgresEngine::ForgetRan() noexcept {
    done_.clear();
    ran_.clear();
    failedBefore_.clear();
    caughtFailure_.reset();
}

bool PostgresEngine::KnowsFailureOf(long item) const noexcept {
    if (known_ && known_->sent.item == item) return true;
    auto fails = [&](const Done& done) { return done.item == item && done.failure; };
    return std::any_of(done_.begin(), done_.end(), fails) ||
           std::any_of(failedBefore_.begin(), failedBefore_.end(), fails);
}

std::vector<std::string> PostgresEngine::ParameterTypes(const Statement& statement) {
    std::vector<std::string> types;
    PGresult* described = PQdescribePrepared(conn_, statement.name_.c_str());
    if (PQresultStatus(described) != PGRES_COMMAND_OK) Fail(described, statement.source_);
    std::string oids = "{";
    for (int i = 0; i < PQnparams(described); ++i)
        oids += (i == 0 ? "" : ",") + std::to_string(PQparamtype(described, i));
    oids += '}';
    PQclear(described);
    const char* values[] = {oids.c_str()};
    PGresult* names = PQexecParams(conn_,
                                   "SELECT format_type(t, NULL) FROM unnest($1::oid[]) WITH ORDINALITY AS "
                                   "u(t, i) ORDER BY i",
                                   1, nullptr, values, nullptr, nullptr, 0);
    if (PQresultStatus(names) != PGRES_TUPLES_OK) Fail(names, statement.source_);
    for (int row = 0; row < PQntuples(names); ++row)
        types.emplace_back(PQgetvalue(names, row, 0));
    PQclear(names);
    return types;
}

bool PostgresEngine::CatchReady(Statement& statement) {
    if (statement.caught_ != Caught::Unknown) return statement.caught_ == Caught::Ready;
    Settle();
    const std::string name = "quorvel_caught_" + std::to_string(++caughtFunctions_);
    const std::string create = CaughtStatementFunction(statement.source_, name, ParameterTypes(statement));
    statement.caught_ = Caught::No;
    if (create.empty()) return false;
    PGresult* made = PQexec(conn_, (std::string(kSavepoint) + "; " + create + "; " + kEndStatement).c_str());
    const bool ok = PQresultStatus(made) == PGRES_COMMAND_OK;
    PQclear(made);
    if (!ok) {
        if (PQtransactionStatus(conn_) == PQTRANS_INERROR)
            PQclear(PQexec(conn_, (std::string(kUndoStatement) + "; " + kEndStatement).c_str()));
        if (PQstatus(conn_) != CONNECTION_OK) Fail(nullptr, statement.source_);
        // No PL/pgSQL, or no right to make temporary functions.
        catchingOff_ = true;
        catching_ = false;
        return false;
    }
    statement.call_ = &Prepared(CaughtStatementCall(name, static_cast<int>(statement.values_.size())));
    statement.caught_ = Caught::Ready;
    caughtPending_.push_back(&statement);
    return true;
}

void PostgresEngine::KeepDone(const std::vector<std::pair<std::size_t, std::string>>& caught) {
    for (const auto& [i, answer] : caught) {
        const std::size_t split = std::min<std::size_t>(answer.size(), 5);
        sent_[i].ran->failure =
            ServerFailure(answer.substr(0, split), answer.substr(split), sent_[i].statement->source_);
    }
    const long first = sent_[caught.front().first].item;
    caughtFailure_ = sent_[caught.front().first].ran->failure;
    // (what the lines before ran stays known, should a later line take them back to the savepoint)
    while (!ran_.empty() && ran_.back().item >= first) {
        done_.push_front(std::move(ran_.back()));
        ran_.pop_back();
    }
    failedItem_ = first;
    undoneToSavepoint_ = true;
}

std::optional<PostgresEngine::Done> PostgresEngine::TakeDone(const Statement& statement, long item,
                                                             bool query) {
    auto same = [&](const Done& done) {
        return done.item == item && done.statement == &statement && done.values == statement.Digest() &&
               (done.rows != nullptr) == query;
    };
    // (a query changes nothing: one the line no longer asks, such as the window read as it began,
    // leaves the server where the line done again expects it)
    while (!done_.empty() && done_.front().rows != nullptr && done_.front().item <= item &&
           !same(done_.front()))
        done_.pop_front();
    if (done_.empty()) return std::nullopt;
    if (!same(done_.front())) Diverged(std::min(item, done_.front().item));
    ran_.push_back(std::move(done_.front()));
    done_.pop_front();
    return ran_.back();
}

void PostgresEngine::KeepQuery(const Statement& statement) {
    std::shared_ptr<PGresult> rows(PQcopyResult(statement.result_, PG_COPYRES_ATTRS | PG_COPYRES_TUPLES),
                                   PQclear);
    if (rows == nullptr) throw Error(kIoError, "out of memory");
    ran_.push_back({item_, &statement, statement.Digest(), std::nullopt, std::move(rows)});
}

void PostgresEngine::Diverged(long item) {
    parted_ = true;
    const Error error(kIoError, "a line done again no longer sends what the server ran for it");
    if (savepoint_ && pointHeld_ && pointAfter_ >= 0 && pointAfter_ < item && sent_.empty() &&
        PQpipelineStatus(conn_) == PQ_PIPELINE_OFF) {
        // The lines before `item` send what they sent: their failures still hold, done again.
        std::deque<Done> failures;
        for (std::deque<Done>* list : {&ran_, &done_, &failedBefore_})
            for (Done& done : *list)
                if (done.failure && done.item > pointAfter_ && done.item < item)
                    failures.push_back(std::move(done));
        std::stable_sort(failures.begin(), failures.end(),
                         [](const Done& a, const Done& b) { return a.item < b.item; });
        done_.clear();
        ran_.clear();
        PGresult* back = PQexec(conn_, kBackToPoint);
        const bool ok = PQresultStatus(back) == PGRES_COMMAND_OK;
        PQclear(back);
        if (ok) {
            failedBefore_ = std::move(failures);
            failedItem_ = pointAfter_ + 1;
            undoneToSavepoint_ = true;
            ForgetCatches();
            throw error;
        }
    }
    // Done again with savepoints, the lines send what they send; caught, they could part again.
    catchingOff_ = true;
    Rollback();
    failedItem_ = item;
    throw error;
}

} // namespace quorvel::storage
