// A build without libpq (the Windows one): a postgresql:// URI is refused as a database that
// cannot be opened, with a message that says why. Nothing below the constructor is ever reached.

#include "storage/postgres_engine.hpp"

#include "storage/connection.hpp"

namespace quorvel::storage {

class PostgresEngine::Statement {};

namespace {
[[noreturn]] void Absent() {
    throw Error(errnum::kInternal, "PostgreSQL n'est pas disponible dans cette version de quorvel.");
}
} // namespace

PostgresEngine::PostgresEngine(const std::string& uri) {
    throw Error(14, "PostgreSQL n'est pas disponible dans cette version de quorvel : " + Shown(uri));
}
PostgresEngine::~PostgresEngine() = default;

Row& PostgresEngine::Start(std::string_view, Params) {
    Absent();
}
bool PostgresEngine::Step(Row&) {
    Absent();
}
void PostgresEngine::Reset(Row&) noexcept {}
void PostgresEngine::Run(const char*) {
    Absent();
}
bool PostgresEngine::Send(std::string_view, Params, long) {
    Absent();
}
void PostgresEngine::Settle() {}
long PostgresEngine::TakeFailedItem() noexcept {
    return 0;
}
void PostgresEngine::Begin() {
    Absent();
}
void PostgresEngine::Commit() {
    Absent();
}
void PostgresEngine::Rollback() noexcept {}
bool PostgresEngine::InTransaction() const noexcept {
    return false;
}

std::string PostgresParameters(std::string_view sql, int& count) {
    count = 0;
    return std::string(sql);
}

} // namespace quorvel::storage
