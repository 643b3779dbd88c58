#include "support/test_support.hpp"

#include "base/encoding.hpp"

#include <quorvel/database.hpp>
#include <quorvel/error.hpp>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
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

std::string RecordingForm::Format(double v) {
    std::ostringstream s;
    s << v;
    return s.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::path p(path);
    if (p.has_parent_path()) fs::create_directories(p.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string CrLfLines(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines) s += l + "\r\n";
    return s;
}

std::vector<std::string> ReadTrace(const std::string& path) {
    std::string text = base::Cp1252ToUtf8(ReadFile(path));
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < text.size()) {
        auto at = text.find("\r\n", from);
        if (at == std::string::npos) {
            lines.push_back(text.substr(from));
            break;
        }
        lines.push_back(text.substr(from, at - from));
        from = at + 2;
    }
    return lines;
}

std::vector<std::string> ReadTraceNoDates(const std::string& path) {
    static const std::regex kDate(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
    auto lines = ReadTrace(path);
    for (auto& l : lines) l = std::regex_replace(l, kDate, "<date>");
    return lines;
}

void CreateDatabase(const std::string& path, bool reference) {
    CreateHostDatabase(path, reference ? QUORVEL_REFERENCE_FILE : "");
}

namespace {
struct Db {
    sqlite3* db = nullptr;
    explicit Db(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open " + path);
        sqlite3_busy_timeout(db, 10000);
        sqlite3_exec(db, "PRAGMA key = 'quenoril'", nullptr, nullptr, nullptr);
    }
    ~Db() { sqlite3_close_v2(db); }
};
} // namespace

std::vector<std::vector<std::string>> Query(const std::string& dbPath, const std::string& sql) {
    Db d(dbPath);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(d.db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(std::string("bad query: ") + sqlite3_errmsg(d.db));
    std::vector<std::vector<std::string>> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            const unsigned char* t = sqlite3_column_text(stmt, c);
            row.push_back(t == nullptr ? "NULL" : reinterpret_cast<const char*>(t));
        }
        rows.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw std::runtime_error(std::string("query failed: ") + sqlite3_errmsg(d.db));
    return rows;
}

void Exec(const std::string& dbPath, const std::string& sql) {
    Db d(dbPath);
    char* err = nullptr;
    if (sqlite3_exec(d.db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::string m = err ? err : "?";
        sqlite3_free(err);
        throw std::runtime_error("exec failed: " + m);
    }
}

std::string Scalar(const std::string& dbPath, const std::string& sql) {
    auto rows = Query(dbPath, sql);
    if (rows.size() != 1 || rows[0].size() != 1) throw std::runtime_error("not a scalar: " + sql);
    return rows[0][0];
}

namespace {
std::string Fit(const std::string& s, std::size_t width) {
    std::string r = s.substr(0, width);
    r.resize(width, ' ');
    return r;
}
} // namespace

std::string LicenceLine::Build() const {
    std::string f = flags;
    f.resize(6, ' ');
    std::string s = Fit(club, 13) + Fit(licence, 6) + Fit(nom, 25) + Fit(prenom, 20) + Fit(sexe, 1) +
                    Fit(naissance, 8) + Fit(nationalite, 3) + Fit(adresse, 30) + Fit(suite, 30) +
                    Fit(codePostal, 7) + Fit(localite, 26) + Fit(telephone, 14) + f + Fit(depot, 8) +
                    Fit(obliteration, 8) + Fit(type, 1) + Fit(nature, 1) + Fit(origineClub, 13) +
                    Fit(origineLicence, 6) + Fit(codeUnique, 22);
    return s;
}

std::string ClubLine(const std::string& code, const std::string& name) { return Fit(code, 13) + Fit(name, 30); }

} // namespace quorvel::test
