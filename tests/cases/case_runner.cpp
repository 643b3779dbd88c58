// The end-to-end cases: every folder beside this file is one run of a public method on real files
// and a fresh database (see README.md). The runner compares the TraceLog, the stored rows, the
// result and the report with the folder's expected/ files, or writes them when
// QUORVEL_UPDATE_CASES=1.

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <gtest/gtest.h>
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
std::map<std::string, std::string> RunCase(const fs::path& dir) {
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
    const std::string &src = paths["$SOURCE"], &work = paths["$WORK"], &db = paths["$DB"],
                      &trace = paths["$TRACE"];
    if (cfg["missing"].find("DB") == std::string::npos)
        CreateHostDatabase(db, cfg["reference"] == "1" ? QUORVEL_REFERENCE_FILE : "");
    if (fs::exists(dir / "setup.sql")) {
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
    out["report.json"] = report.ToJson() + "\n";
    if (cfg["progress"] == "1") out["progress.txt"] = form.log;

    std::string bytes = Read(trace), bare = bytes;
    Replace(bare, "\r\n", "");
    EXPECT_EQ(bare.find_first_of("\r\n"), std::string::npos)
        << "the TraceLog has a line end other than CR LF";
    out["trace.txt"] = fs::exists(trace) ? Cp1252ToUtf8(bytes) : "no TraceLog\r\n";
    Replace(out["trace.txt"], "\r\n", "\n");

    std::string& rows = out["rows.txt"];
    if (sqlite3* h = Open(db, SQLITE_OPEN_READONLY)) {
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

class Case : public ::testing::TestWithParam<std::string> {};

TEST_P(Case, Run) {
    const fs::path dir = kCases / GetParam();
    const bool update =
        std::getenv("QUORVEL_UPDATE_CASES") && std::string(std::getenv("QUORVEL_UPDATE_CASES")) == "1";
    for (const auto& [name, actual] : RunCase(dir)) {
        const fs::path file = dir / "expected" / name;
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

INSTANTIATE_TEST_SUITE_P(Cases, Case, ::testing::ValuesIn(CaseNames()), [](const auto& info) {
    std::string name = info.param;
    for (auto& c : name)
        c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
});

} // namespace
