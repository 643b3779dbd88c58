#include "support/support.hpp"

#include "base/encoding.hpp"

#include <quorvel/database.hpp>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace quorvel::test {

namespace fs = std::filesystem;

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("quorvel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

Workspace::Workspace()
    : db(dir / "club.db"), source(dir / "export"), work(dir / "work"), trace(dir / "trace.log") {
    CreateDatabase(db);
    fs::create_directories(source);
    fs::create_directories(work);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> ReadTrace(const std::string& path) {
    std::string text = base::Cp1252ToUtf8(ReadFile(path));
    std::vector<std::string> lines;
    for (std::size_t from = 0; from < text.size();) {
        auto at = text.find("\r\n", from);
        lines.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        from = at == std::string::npos ? text.size() : at + 2;
    }
    return lines;
}

void CreateDatabase(const std::string& path, bool reference) {
    CreateHostDatabase(path, reference ? QUORVEL_REFERENCE_FILE : "");
}

std::vector<std::vector<std::string>> Query(const std::string& db, const std::string& sql) {
    sqlite3* h = nullptr;
    std::vector<std::vector<std::string>> rows;
    std::string error;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
        sqlite3_exec(h, "PRAGMA key = 'quenoril'", nullptr, nullptr, nullptr) == SQLITE_OK) {
        auto onRow = [](void* out, int n, char** values, char**) {
            auto& r = static_cast<std::vector<std::vector<std::string>>*>(out)->emplace_back();
            for (int i = 0; i < n; ++i)
                r.emplace_back(values[i] != nullptr ? values[i] : "NULL");
            return 0;
        };
        char* message = nullptr;
        if (sqlite3_exec(h, sql.c_str(), onRow, &rows, &message) != SQLITE_OK)
            error = message ? message : "?";
        sqlite3_free(message);
    } else {
        error = sqlite3_errmsg(h);
    }
    sqlite3_close(h);
    if (!error.empty()) throw std::runtime_error(sql + ": " + error);
    return rows;
}

std::string Scalar(const std::string& db, const std::string& sql) {
    auto rows = Query(db, sql);
    return rows.empty() || rows[0].empty() ? "" : rows[0][0];
}

void Exec(const std::string& db, const std::string& sql) {
    Query(db, sql);
}

std::string LicenceLines(int count, int first) {
    std::string text;
    char line[256];
    for (int i = first; i < first + count; ++i) {
        // club, licence, surname, first name, sex, birth date, then the remaining fields blank.
        std::snprintf(line, sizeof line, "FRA5110750012%02d%04d%-25s%-20sM0101%04d%-175s\r\n",
                      85 + i / 10000 % 10, i % 10000, ("NOM" + std::to_string(i)).c_str(), "Prenom",
                      1985 + i / 10000 % 10, "");
        text += line;
    }
    return text;
}

Outcome RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    TempDir dir;
    std::string command = "env";
    auto quote = [](const std::string& s) {
        std::string q = "'";
        for (char c : s)
            q += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return q + "'";
    };
    for (const auto& e : environment)
        command += " " + quote(e);
    for (const auto& a : args)
        command += " " + quote(a);
    command += " >" + quote(dir / "out") + " 2>" + quote(dir / "err") + " </dev/null";
    int raw = std::system(command.c_str());
    Outcome run;
    run.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(dir / "out");
    run.err = ReadFile(dir / "err");
    return run;
}

Outcome Quorvel(const std::vector<std::string>& args, const std::vector<std::string>& environment) {
    std::vector<std::string> all{QUORVEL_CLI};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<std::string> language = kFrench;
    language.insert(language.end(), environment.begin(), environment.end());
    return RunProgram(all, language);
}

bool BothAtOnce(const std::function<bool(int)>& work) {
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
        children[k] = ::fork();
        if (children[k] == 0) _exit(work(k) ? 0 : 1);
    }
    bool both = true;
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        both = both && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return both;
}

} // namespace quorvel::test

namespace quorvel::test {

std::string ServerSql(const std::string& uri, const std::string& sql) {
    PGconn* c = PQconnectdb(uri.c_str());
    PGresult* r = PQexec(c, sql.c_str());
    EXPECT_TRUE(PQresultStatus(r) == PGRES_TUPLES_OK || PQresultStatus(r) == PGRES_COMMAND_OK)
        << PQerrorMessage(c);
    std::string value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    PQfinish(c);
    return value;
}

bool ServerWorkspace(Workspace& w, const std::string& name) {
    const char* maintenance = std::getenv("QUORVEL_TEST_PG_URI");
    if (maintenance == nullptr) return false;
    ServerSql(maintenance, "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    ServerSql(maintenance, "CREATE DATABASE " + name);
    w.db = std::string(maintenance).substr(0, std::string(maintenance).rfind('/') + 1) + name;
    CreateHostDatabase(w.db, QUORVEL_REFERENCE_FILE);
    WriteFile(w.source + "/licence.txt", LicenceLines(6000));
    return true;
}

} // namespace quorvel::test
