#include "support/session.hpp"

#include "storage/queries.hpp"

#include <stdexcept>

namespace quorvel::test {

OpenSession::OpenSession(const TempDir& dir, bool reference, Clock clock)
    : dbPath(dir / "club.db"), tracePath(dir / "trace.txt") {
    CreateDatabase(dbPath, reference);
    session.clock = std::move(clock);
    session.strFileBase = dbPath;
    session.strFileTrace = tracePath;
    session.trace.Open(tracePath);
    storage::Connexion(session.objConnexion, dbPath);
}

OpenSession::~OpenSession() {
    try {
        storage::Deconnexion(session.objConnexion);
    } catch (...) {
    }
}

std::vector<std::string> OpenSession::Trace() {
    session.trace.Flush();
    return ReadTrace(tracePath);
}

std::vector<std::vector<std::string>> OpenSession::Rows(const std::string& sql) {
    session.objConnexion.Commit();
    return Query(dbPath, sql);
}

std::string OpenSession::Value(const std::string& sql) {
    session.objConnexion.Commit();
    return Scalar(dbPath, sql);
}

void OpenSession::Change(const std::string& sql) {
    session.objConnexion.Commit();
    Exec(dbPath, sql);
}

} // namespace quorvel::test
