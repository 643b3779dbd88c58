#pragma once
// A session of the import opened on a fresh database, for tests that drive one step of the import
// (a pass, the club registry, the licence storage) directly.

#include "support/test_support.hpp"

#include "session/import_session.hpp"

#include <string>
#include <vector>

namespace quorvel::test {

class OpenSession {
public:
    // Creates `dir`/club.db (with the French reference data when `reference`), connects the
    // session to it and opens its TraceLog at `dir`/trace.txt. Today is 15 June 2026 unless
    // `clock` says otherwise.
    explicit OpenSession(const TempDir& dir, bool reference = true, Clock clock = FixedClock(2026, 6, 15));
    ~OpenSession();
    OpenSession(const OpenSession&) = delete;
    OpenSession& operator=(const OpenSession&) = delete;

    ImportSession& operator*() { return session; }
    ImportSession* operator->() { return &session; }

    // The TraceLog written so far, as in ReadTrace.
    std::vector<std::string> Trace();
    // Commits the session's pending work, then runs `sql` on the database from a second connection.
    std::vector<std::vector<std::string>> Rows(const std::string& sql);
    std::string Value(const std::string& sql);
    // Commits, then runs a statement that changes the database from a second connection.
    void Change(const std::string& sql);

    std::string dbPath;
    std::string tracePath;
    ImportSession session;
};

} // namespace quorvel::test
