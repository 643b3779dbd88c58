// The end-to-end cases: every folder beside this file is one run of a public method on real files
// and a fresh database (see README.md). The runner compares the TraceLog, the stored rows, the
// result and the report with the folder's expected/ files, or writes them when
// QUORVEL_UPDATE_CASES=1. With QUORVEL_TEST_PG_URI set (a PostgreSQL maintenance database, see
// scripts/pg-cluster.sh), every case runs again on a fresh PostgreSQL database, against the same
// expected files.

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>

namespace fs = std::filesystem;
using namespace quorvel;

namespace {

const fs::path kCases = QUORVEL_CASES_DIR;

std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> parts;
    std::istringstream in(s);
    for (std::string part; std::getline(in, part, sep);)
        parts.push_back(part);
    return parts;
}

// case.txt: one key=value a line; '#' starts a comment line.
std::map<std::string, std::string> Settings(const fs::path& file) {
    std::map<std::string, std::string> settings{{"today", "2026-06-15"}, {"reference", "1"}};
    for (const auto& line : Split(Read(file), '\n'))
        if (auto eq = line.find('='); eq != std::string::npos && line[0] != '#')
            settings[line.substr(0, eq)] = line.substr(eq + 1);
    return settings;
}

// Windows-1252 to UTF-8; the bytes the code page leaves undefined keep their own code point.
std::string Cp1252ToUtf8(const std::string& text) {
    static const std::u16string kC1 =
        u"\u20AC\x81\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039"
        u"\u0152\x8D\u017D\x8F\x90\u2018\u2019\u201C\u201D\u2022\u2013\u2014"
        u"\u02DC\u2122\u0161\u203A\u0153\x9D\u017E\u0178";
    std::string out;
    for (unsigned char b : text) {
        unsigned cp = b >= 0x80 && b < 0xA0 ? kC1[b - 0x80] : b;
        if (cp < 0x80)
            out += static_cast<char>(cp);
        else if (cp < 0x800)
            out += {char(0xC0 | cp >> 6), char(0x80 | (cp & 0x3F))};
        else
            out += {char(0xE0 | cp >> 12), char(0x80 | (cp >> 6 & 0x3F)), char(0x80 | (cp & 0x3F))};
    }
    return out;
}

// Records what the run shows on the caller's form: each bar value and each label.
class RecordingForm : public HostForm {
public:
    double ProgressValue() const override { return value_; }
    void SetProgressValue(double v) override {
        log += (std::ostringstream() << std::setprecision(10) << (value_ = v) << "\n").str();
    }
    void SetLabelCaption(int index, const std::string& caption) override {
        log += "label " + std::to_string(index) + " " + caption + "\n";
    }
    void Refresh() override {}
    std::string log;

private:
    double value_ = 0;
};

void Replace(std::string& text, const std::string& from, const std::string& to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// Every row of `sql`, one a line after the column names; texts quoted as SQL literals so that
// types and empty texts show.
std::string Rows(sqlite3* db, const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        return std::string("error: ") + sqlite3_errmsg(db) + "\n";
    std::string out;
    for (int c = 0; c < sqlite3_column_count(stmt); ++c)
        out += (c ? " | " : "") + std::string(sqlite3_column_name(stmt, c));
    out += "\n";
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            auto text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, c));
            std::string value = text ? text : "NULL";
            if (sqlite3_column_type(stmt, c) == SQLITE_TEXT)
                Replace(value, "'", "''"), value = "'" + value + "'";
            out += (c ? " | " : "") + value;
        }
        out += "\n";
    }
    sqlite3_finalize(stmt);
    return out;
}

// PostgreSQL folds the names of columns to small letters: they show as the file database
// declares them.
std::string Declared(const std::string& name) {
    static const std::map<std::string, std::string> names = [] {
        std::map<std::string, std::string> m;
        char pattern[] = "/tmp/quorvel-names-XXXXXX";
        const fs::path dir = ::mkdtemp(pattern);
        CreateHostDatabase(dir / "n.db", "");
        sqlite3* db = nullptr;
        sqlite3_open_v2((dir / "n.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(db, "PRAGMA key='quenoril';", nullptr, nullptr, nullptr);
        for (const auto* table : {"Club", "Licence", "Selection", "Info"}) {
            sqlite3_stmt* stmt = nullptr;
            sqlite3_prepare_v2(db, ("SELECT * FROM " + std::string(table)).c_str(), -1, &stmt, nullptr);
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                std::string n = sqlite3_column_name(stmt, c), lower = n;
                std::transform(n.begin(), n.end(), lower.begin(), ::tolower);
                m[lower] = n;
            }
            sqlite3_finalize(stmt);
        }
        sqlite3_close(db);
        fs::remove_all(dir);
        return m;
    }();
    auto it = names.find(name);
    return it != names.end() ? it->second : name;
}

// Rows() of a PostgreSQL database; integers bare, everything else quoted.
std::string Rows(PGconn* db, const std::string& sql, const std::string& table) {
    PGresult* r = PQexec(db, sql.c_str());
    std::string out;
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        const char* state = PQresultErrorField(r, PG_DIAG_SQLSTATE);
        out = std::string("error: ") +
              (state && std::string(state) == "42P01" ? "no such table: " + table : PQresultErrorMessage(r)) +
              "\n";
        PQclear(r);
        return out;
    }
    for (int c = 0; c < PQnfields(r); ++c)
        out += (c ? " | " : "") + Declared(PQfname(r, c));
    out += "\n";
    for (int row = 0; row < PQntuples(r); ++row) {
        for (int c = 0; c < PQnfields(r); ++c) {
            std::string value = PQgetisnull(r, row, c) ? "NULL" : PQgetvalue(r, row, c);
            Oid type = PQftype(r, c);
            if (!PQgetisnull(r, row, c) && type != 20 && type != 21 && type != 23)
                Replace(value, "'", "''"), value = "'" + value + "'";
            out += (c ? " | " : "") + value;
        }
        out += "\n";
    }
    PQclear(r);
    return out;
}

// The case's own PostgreSQL database, created empty (or, with `create` false, only dropped):
// its URI.
std::string ServerDatabase(const std::string& name, bool create) {
    const std::string maintenance = std::getenv("QUORVEL_TEST_PG_URI");
    PGconn* c = PQconnectdb(maintenance.c_str());
    EXPECT_EQ(PQstatus(c), CONNECTION_OK) << PQerrorMessage(c);
    std::string db = "quorvel_" + name;
    for (auto& ch : db)
        ch = std::isalnum(static_cast<unsigned char>(ch)) ? std::tolower(ch) : '_';
    PQclear(PQexec(c, ("DROP DATABASE IF EXISTS " + db + " WITH (FORCE)").c_str()));
    if (create) {
        PGresult* r = PQexec(c, ("CREATE DATABASE " + db).c_str());
        EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << PQerrorMessage(c);
        PQclear(r);
    }
    PQfinish(c);
    return maintenance.substr(0, maintenance.rfind('/') + 1) + db;
}

sqlite3* Open(const std::string& path, int flags) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, flags, nullptr) == SQLITE_OK &&
        sqlite3_exec(db, "PRAGMA key='quenoril';", nullptr, nullptr, nullptr) == SQLITE_OK)
        return db;
    sqlite3_close(db);
    return nullptr;
}

// One run of the case in `dir`, in a temporary folder: every output under its expected/ name, with
// the temporary paths written as placeholders.
std::map<std::string, std::string> RunCase(const fs::path& dir, bool server) {
    auto cfg = Settings(dir / "case.txt");
    const bool onlyMyClub = cfg.count("club") > 0; // club=CODE limits an IUF update to that club
    char pattern[] = "/tmp/quorvel-case-XXXXXX";
    const fs::path tmp = ::mkdtemp(pattern);
    std::map<std::string, std::string> paths{{"$SOURCE", tmp / "source"},
                                             {"$WORK", tmp / "work"},
                                             {"$DB", tmp / "club.db"},
                                             {"$TRACE", tmp / "trace.txt"}};
    // missing=DB,TRACE...: those paths lie in a folder that does not exist.
    for (const auto& name : Split(cfg["missing"], ','))
        paths["$" + name] = tmp / "absent" / fs::path(paths["$" + name]).filename();
    for (const auto* sub : {"source", "work"})
        fs::exists(dir / sub) ? fs::copy(dir / sub, tmp / sub, fs::copy_options::recursive)
                              : void(fs::create_directories(tmp / sub));
    const bool dbMissing = cfg["missing"].find("DB") != std::string::npos;
    if (server) paths["$DB"] = ServerDatabase(dir.filename(), !dbMissing);
    const std::string &src = paths["$SOURCE"], &work = paths["$WORK"], &db = paths["$DB"],
                      &trace = paths["$TRACE"];
    if (!dbMissing) CreateHostDatabase(db, cfg["reference"] == "1" ? QUORVEL_REFERENCE_FILE : "");
    if (server && fs::exists(dir / "setup.sql")) {
        // setup.pg.sql when the statements differ (triggers), setup.sql otherwise.
        PGconn* h = PQconnectdb(db.c_str());
        PGresult* r =
            PQexec(h, Read(dir / (fs::exists(dir / "setup.pg.sql") ? "setup.pg.sql" : "setup.sql")).c_str());
        EXPECT_EQ(PQresultStatus(r), PGRES_COMMAND_OK) << PQerrorMessage(h);
        PQclear(r);
        PQfinish(h);
    } else if (fs::exists(dir / "setup.sql")) {
        sqlite3* h = Open(db, SQLITE_OPEN_READWRITE);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(h, Read(dir / "setup.sql").c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << error;
        sqlite3_free(error);
        sqlite3_close(h);
    }

    // The steps run one after the other on the same folders; the outputs are those of the last.
    int y = 0, m = 0, d = 0;
    std::sscanf(cfg["today"].c_str(), "%d-%d-%d", &y, &m, &d);
    RecordingForm form;
    RunReport report;
    std::map<std::string, std::string> out;
    auto steps = Split(cfg["method"], ',');
    for (std::size_t i = 0; i < steps.size(); ++i) {
        ImportOptions options;
        options.preview = i + 1 == steps.size() && cfg["preview"] == "1";
        options.report = i + 1 == steps.size() ? &report : nullptr;
        if (server) options.server = db;
        form.log.clear();
        try {
            bool r = steps[i] == "iuf"
                         ? clsMajIUF(FixedClock(y, m, d))
                               .bImport_CodeIUF(src, db, trace, &form, onlyMyClub, cfg["club"], options)
                         : clsRecupLicence(FixedClock(y, m, d))
                               .bImport_Licence(db, src, work, trace, &form, options);
            out["result.txt"] = r ? "true\n" : "false\n";
        } catch (const Error& e) {
            out["result.txt"] = "error " + std::to_string(e.number()) + ": " + e.description() + "\n";
        }
    }
    // The groups count every entry but the passes' interruptions, once, batches undone or not,
    // and keep the first of each kind.
    long grouped = 0, interrupted = 0;
    for (const EntryGroup& group : report.groups)
        grouped += group.count;
    for (const PassReport& pass : report.passes)
        interrupted += !pass.completed;
    EXPECT_EQ(grouped, report.warnings + report.errors);
    EXPECT_LE(static_cast<long>(report.entries.size()) - grouped, interrupted);
    EXPECT_GE(static_cast<long>(report.entries.size()), grouped);
    for (const EntryGroup& group : report.groups)
        for (const ReportEntry& first : group.first)
            EXPECT_NE(std::find_if(report.entries.begin(), report.entries.end(),
                                   [&](const ReportEntry& e) {
                                       return e.message == first.message && e.line == first.line;
                                   }),
                      report.entries.end());
    // Durations are the machine's own: left out of the comparison.
    report.durationSeconds = 0;
    for (PassReport& pass : report.passes)
        pass.seconds = 0;
    out["report.json"] = report.ToJson() + "\n";
    if (cfg["progress"] == "1") out["progress.txt"] = form.log;

    std::string bytes = Read(trace), bare = bytes;
    Replace(bare, "\r\n", "");
    EXPECT_EQ(bare.find_first_of("\r\n"), std::string::npos)
        << "the TraceLog has a line end other than CR LF";
    out["trace.txt"] = fs::exists(trace) ? Cp1252ToUtf8(bytes) : "no TraceLog\r\n";
    Replace(out["trace.txt"], "\r\n", "\n");

    std::string& rows = out["rows.txt"];
    PGconn* pg = server && !dbMissing ? PQconnectdb(db.c_str()) : nullptr;
    if (pg != nullptr && PQstatus(pg) == CONNECTION_OK) {
        for (const auto* table : {"Club", "Licence", "Selection"})
            rows += "[" + std::string(table) + "]\n" +
                    Rows(pg, "SELECT * FROM " + std::string(table) + " ORDER BY Num", table);
        rows += "[Info]\n" + Rows(pg, "SELECT LastClose FROM Info", "Info");
    } else if (sqlite3* h = server ? nullptr : Open(db, SQLITE_OPEN_READONLY)) {
        for (const auto* table : {"Club", "Licence", "Selection"})
            rows += "[" + std::string(table) + "]\n" +
                    Rows(h, "SELECT * FROM " + std::string(table) + " ORDER BY Num");
        rows += "[Info]\n" + Rows(h, "SELECT LastClose FROM Info");
        sqlite3_close(h);
    } else {
        rows += "no database\n";
    }
    std::map<std::string, std::uintmax_t> kept; // the working folder: copies left, with their sizes
    if (fs::is_directory(work))
        for (const auto& f : fs::directory_iterator(work))
            kept[f.path().filename()] = fs::file_size(f.path());
    rows += "[work]\n";
    for (const auto& [name, size] : kept)
        rows += name + " " + std::to_string(size) + "\n";
    for (auto& [name, text] : out)
        for (const auto& [placeholder, path] : paths)
            Replace(text, path, placeholder);
    PQfinish(pg);
    if (server) ServerDatabase(dir.filename(), false);
    fs::remove_all(tmp);
    return out;
}

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(kCases))
        if (entry.is_directory()) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void Check(const fs::path& dir, bool server) {
    const bool update = !server && std::getenv("QUORVEL_UPDATE_CASES") &&
                        std::string(std::getenv("QUORVEL_UPDATE_CASES")) == "1";
    for (const auto& [name, actual] : RunCase(dir, server)) {
        // expected.pg/ holds the files that differ on PostgreSQL (the server's own messages).
        const fs::path file = server && fs::exists(dir / "expected.pg" / name) ? dir / "expected.pg" / name
                                                                               : dir / "expected" / name;
        if (update) {
            fs::create_directories(file.parent_path());
            std::ofstream(file, std::ios::binary) << actual;
            continue;
        }
        const std::string expected =
            fs::exists(file) ? Read(file) : "(missing: QUORVEL_UPDATE_CASES=1 writes it)";
        if (expected == actual) continue;
        auto want = Split(expected, '\n'), got = Split(actual, '\n');
        std::size_t line = 0;
        while (line < want.size() && line < got.size() && want[line] == got[line])
            ++line;
        ADD_FAILURE() << file << " differs from line " << line + 1
                      << ":\n  expected: " << (line < want.size() ? want[line] : "(end)")
                      << "\n  actual:   " << (line < got.size() ? got[line] : "(end)") << "\nactual output:\n"
                      << actual;
    }
}

class Case : public ::testing::TestWithParam<std::string> {};
class PostgreSQL : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, Run) {
    Check(kCases / GetParam(), false);
}

// case.txt's postgresql-skip=REASON leaves a case out on PostgreSQL.
TEST_P(PostgreSQL, Run) {
    if (std::getenv("QUORVEL_TEST_PG_URI") == nullptr) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    const fs::path dir = kCases / GetParam();
    if (auto skip = Settings(dir / "case.txt")["postgresql-skip"]; !skip.empty()) GTEST_SKIP() << skip;
    Check(dir, true);
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (auto& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(CaseNames()), TestName);
INSTANTIATE_TEST_SUITE_P(Cases, PostgreSQL, ::testing::ValuesIn(CaseNames()), TestName);

} // namespace
