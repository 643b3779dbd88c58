// bench_import: how fast the licence import, the re-import of a known export and the IUF update
// run, each against the database engine's own ceiling for the same result.
//
//   bench_import [--rounds N] [--large N] [--small N] [--no-wal]
//                [--gen PATH_TO_gen_export] [--reference FILE] [--work DIR]
//
// gen_export writes a 300,000-line export (--large) and a 30,000-line one (--small, 0 for none).
// Each of the N rounds (default 5) then measures, always in this order:
//   1. the import ceiling, then bImport_Licence, each into its own new database;
//   2. the re-import ceiling, then bImport_Licence of the same export again, both on the database
//      the import just filled (every line is known);
//   3. the IUF ceiling, then bImport_CodeIUF, each on its own copy of that filled database;
//   4. bImport_Licence of the small export into a new database (per-line cost against scale).
// One last import of the large export runs on a database in write-ahead-log mode (--no-wal skips
// it).
//
// A ceiling is the least the engine has to do for the import's result: one prepared indexed
// SELECT per line, plus one prepared INSERT or UPDATE per row the import writes, all in one
// transaction, on a connection opened with the import's key and page cache. It binds exactly the
// bytes the import stores (see CeilingImport), so that the two sides write the same database:
// after the first round the tables are compared row by row, and after every round the file
// sizes, with a warning when they differ.
//
// The two sides of a phase run back to back in the same round, so a busy moment of the machine
// weighs on both. The figures are the medians over the rounds; a ratio is the median of the
// per-round ratios quorvel / ceiling. Every measured run is a child process, so its peak resident
// memory is its own.
//
// Prints one block per round, then a summary against the targets: ratio <= 1.3 for each phase,
// peak memory of the large import < 100 MiB, per-line time large / small <= 1.3. Timing never
// fails the run: the exit status is 1 only when a phase failed, 2 for a usage or set-up error.

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- measuring

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs `work` in a child process; returns its wall time and peak resident memory.
Measure InChild(const std::function<bool()>& work) {
    std::fflush(stdout);
    int pipefd[2];
    if (::pipe(pipefd) != 0) std::abort();
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipefd[0]);
        bool ok = false;
        try {
            ok = work();
        } catch (const std::exception& e) {
            std::cerr << "  failed: " << e.what() << "\n";
        }
        char c = ok ? '1' : '0';
        if (::write(pipefd[1], &c, 1) != 1) _exit(3);
        _exit(0);
    }
    ::close(pipefd[1]);
    char c = '0';
    if (::read(pipefd[0], &c, 1) != 1) c = '0';
    ::close(pipefd[0]);
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = ru.ru_maxrss;
    m.ok = c == '1' && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

double Median(std::vector<double> v) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The two sides of one phase over the rounds.
struct Phase {
    Phase(const char* n, long l) : name(n), lines(l) {}

    const char* name;
    long lines;
    std::vector<double> ceiling, quorvel, ratio;
    long peakKiB = 0; // quorvel's side, highest of the rounds
    bool failed = false;

    void Add(const Measure& c, const Measure& q) {
        ceiling.push_back(c.seconds);
        quorvel.push_back(q.seconds);
        ratio.push_back(q.seconds / c.seconds);
        peakKiB = std::max(peakKiB, q.peakKiB);
        failed |= !c.ok || !q.ok;
        std::printf("  %-26s ceiling %6.2f s   quorvel %6.2f s   ratio %5.2f   %6.1f MiB%s\n", name,
                    c.seconds, q.seconds, q.seconds / c.seconds, q.peakKiB / 1024.0,
                    c.ok && q.ok ? ""
                    : c.ok       ? "   (quorvel FAILED)"
                                 : "   (ceiling FAILED)");
        std::fflush(stdout);
    }
};

// ---------------------------------------------------------------- the engine, directly

// A database opened as the import opens it: its key, a first read, its page cache.
class Database {
public:
    explicit Database(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &h_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) Fail(path);
        Exec("PRAGMA key = 'quenoril'");
        Exec("SELECT count(*) FROM sqlite_master");
        Exec("PRAGMA cache_size = -32768");
    }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() { sqlite3_close_v2(h_); }

    void Exec(const char* sql) {
        if (sqlite3_exec(h_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(sql);
    }
    sqlite3* Handle() const { return h_; }
    [[noreturn]] void Fail(std::string_view what) const {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(h_));
    }

private:
    sqlite3* h_ = nullptr;
};

class Statement {
public:
    Statement(Database& db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db.Handle(), sql, -1, &s_, nullptr) != SQLITE_OK) db.Fail(sql);
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement() { sqlite3_finalize(s_); }

    // Text is bound as text even when empty, as the import binds it (never NULL).
    Statement& Text(int index, std::string_view text) {
        sqlite3_bind_text(s_, index, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                          SQLITE_STATIC);
        return *this;
    }
    Statement& Integer(int index, std::int64_t value) {
        sqlite3_bind_int64(s_, index, value);
        return *this;
    }
    // Steps once: true with a row to read, false when the statement is done.
    bool Step() {
        int rc = sqlite3_step(s_);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) db_.Fail(sqlite3_sql(s_));
        return rc == SQLITE_ROW;
    }
    // Runs a statement that returns no row.
    void Run() {
        Step();
        Reset();
    }
    void Reset() { sqlite3_reset(s_); }
    sqlite3_stmt* Handle() const { return s_; }

private:
    Database& db_;
    sqlite3_stmt* s_ = nullptr;
};

// Calls `f` with every line of `path`, its line end removed.
template <class F> void ForEachLine(const std::string& path, F&& f) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        f(std::string_view(line));
    }
}

// ---------------------------------------------------------------- the bytes the import stores

// The statements the import runs, word for word.
constexpr const char* kSelectClub = "select Num, Intitule from Club where Code_federal = ?1";
constexpr const char* kInsertClub =
    "INSERT INTO Club (Code_federal, Intitule, Selection) VALUES (?1, ?2, ?3)";
constexpr const char* kSelectLicence =
    "select Nom, Prenom, Num from Licence where Code_Club = ?1 and Licence = ?2";
constexpr const char* kInsertLicence =
    "INSERT INTO Licence (Code_club, licence, Nom, Prenom, sexe"
    ", Date_Naissance, Nationalite, Adresse, Suite_adresse, Code_Postal, Localite, Telephone"
    ", Sportive, Synchro, Water_Polo, Plongeon, Dirigeant, Maitre, Date_Depot"
    ", Date_obliteration, Type_licence, Nature, Code_unique, Date_suppr"
    ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, "
    "?21, ?22, ?23, ?24)";
constexpr const char* kInsertSelection = "INSERT INTO Selection (Code_Sel, Num_Lic) VALUES (?1, ?2)";
constexpr const char* kSelectInter = "SELECT CodeInter FROM Region WHERE Region.Code = ?1";
constexpr const char* kCountLicence = "SELECT count(*) FROM Licence WHERE Code_Club = ?1 and Licence = ?2";
constexpr const char* kUpdateCode =
    "UPDATE Licence Set Code_unique = ?1 WHERE Code_Club = ?2 and Licence = ?3";

constexpr std::array<int, 24> kLicenceWidths = {13, 6, 25, 20, 1, 8, 3, 30, 30, 7, 26, 14,
                                                1,  1, 1,  1,  1, 1, 8, 8,  1,  1, 19, 22};
enum : std::size_t { kClub = 0, kLicence = 1, kNom = 2, kBirth = 5, kDepot = 18, kStamp = 19, kOrigin = 22 };

std::string_view Trim(std::string_view s) {
    std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

bool IsSelection(std::string_view code) {
    return (code.size() < 4 ? code : code.substr(code.size() - 4)) == "0000";
}

// The export writes accented letters as DOS bytes; the database holds UTF-8, and surnames in
// capitals without accents (ù alone keeps its accent). These are the letters an export uses.
struct DosLetters {
    std::array<std::string_view, 256> utf8{}, surname{};
    DosLetters() {
        static constexpr struct {
            unsigned char dos;
            const char* utf8;
            const char* surname;
        } kLetters[] = {{0x81, "ü", "U"}, {0x82, "é", "E"}, {0x83, "â", "A"}, {0x84, "ä", "A"},
                        {0x85, "à", "A"}, {0x87, "ç", "C"}, {0x88, "ê", "E"}, {0x89, "ë", "E"},
                        {0x8A, "è", "E"}, {0x8B, "ï", "I"}, {0x8C, "î", "I"}, {0x93, "ô", "O"},
                        {0x94, "ö", "O"}, {0x96, "û", "U"}, {0x97, "ù", "Ù"}};
        for (const auto& l : kLetters) {
            utf8[l.dos] = l.utf8;
            surname[l.dos] = l.surname;
        }
    }
};
const DosLetters kDos;

void AppendText(std::string& out, std::string_view field) {
    for (char c : field) {
        auto b = static_cast<unsigned char>(c);
        if (b < 0x80)
            out.push_back(c);
        else if (!kDos.utf8[b].empty())
            out += kDos.utf8[b];
        else // not written by the generator; the row comparison would show it
            out += {static_cast<char>(0xC0 | (b >> 6)), static_cast<char>(0x80 | (b & 0x3F))};
    }
}

void AppendSurname(std::string& out, std::string_view field) {
    for (char c : field) {
        auto b = static_cast<unsigned char>(c);
        if (b >= 'a' && b <= 'z')
            out.push_back(static_cast<char>(b - 'a' + 'A'));
        else if (b >= 0x80 && !kDos.surname[b].empty())
            out += kDos.surname[b];
        else
            AppendText(out, std::string_view(&c, 1));
    }
}

// ddmmyyyy -> yyyymmdd; anything but 8 characters is stored empty.
void AppendDate(std::string& out, std::string_view date) {
    if (date.size() != 8) return;
    out.append(date.substr(4, 4)).append(date.substr(2, 2)).append(date.substr(0, 2));
}

// One licence.txt line cut at its field widths, and the key the import looks it up by.
struct LicenceLine {
    std::array<std::string_view, 24> raw; // as cut, spaces kept
    std::string_view club, licence;       // the lookup key, trimmed
    std::string_view selection;           // the selection's code for a selection entry, else empty

    // Cuts `line`; false for a relay line, which the import neither looks up nor stores.
    bool Read(std::string_view line) {
        std::size_t p = 0;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            raw[i] = p < line.size() ? line.substr(p, kLicenceWidths[i]) : std::string_view();
            p += kLicenceWidths[i];
        }
        if (!raw[kLicence].empty() && (raw[kLicence][0] == 'R' || raw[kLicence][0] == 'r')) return false;
        club = Trim(raw[kClub]);
        licence = Trim(raw[kLicence]);
        selection = {};
        // A selection entry stands for the swimmer's own licence, named in its Origine field.
        // The generated export always names it; an entry without one would be kept under the
        // selection, which this ceiling does not reproduce.
        if (IsSelection(raw[kClub])) {
            std::string_view origin = raw[kOrigin];
            std::string_view ownClub = Trim(origin.substr(0, std::min<std::size_t>(13, origin.size())));
            std::string_view ownLicence =
                Trim(origin.size() > 13 ? origin.substr(13, 6) : std::string_view());
            if (!ownClub.empty() && !ownLicence.empty()) {
                selection = club;
                club = ownClub;
                licence = ownLicence;
            }
        }
        return true;
    }

    // The Licence row's columns in the order of kInsertLicence: every field trimmed and in
    // UTF-8, the surname in capitals, the dates as yyyymmdd, Origine left out. The generated
    // birth years agree with the licence numbers, so the import's repair of a birth date never
    // applies.
    void Values(std::array<std::string, 23>& v) const {
        std::size_t k = 0;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (i == kOrigin) continue;
            std::string& out = v[k++];
            out.clear();
            std::string_view field = Trim(raw[i]);
            if (i == kClub)
                AppendText(out, club);
            else if (i == kLicence)
                AppendText(out, licence);
            else if (i == kNom)
                AppendSurname(out, field);
            else if (i == kBirth || i == kDepot || i == kStamp)
                AppendDate(out, field);
            else
                AppendText(out, field);
        }
    }
};

// club.txt: code and name, each trimmed.
struct ClubLine {
    std::string_view code;
    std::string name;
    void Read(std::string_view line) {
        code = Trim(line.substr(0, std::min<std::size_t>(13, line.size())));
        name.clear();
        AppendText(name, Trim(line.size() > 13 ? line.substr(13, 30) : std::string_view()));
    }
};

// ---------------------------------------------------------------- the ceilings

// The import's result at the engine's cost. The import does not only fill Licence: on a new
// database it also creates every club of club.txt, and files each selection entry as the
// swimmer's own licence plus a Selection row. The ceiling writes those rows too, so that both
// sides store the same bytes and the database sizes can be compared: per club line a SELECT and
// an INSERT into Club; per licence line (relay lines aside, the import ignores them) a SELECT
// and, for a licence not yet stored, an INSERT into Licence, plus an INSERT into Selection for
// a selection entry.
bool CeilingImport(const std::string& path, const std::string& exportDir) {
    Database db(path);
    db.Exec("BEGIN IMMEDIATE");
    {
        Statement findClub(db, kSelectClub), addClub(db, kInsertClub);
        ClubLine c;
        ForEachLine(exportDir + "/club.txt", [&](std::string_view line) {
            c.Read(line);
            bool known = findClub.Text(1, c.code).Step();
            findClub.Reset();
            if (!known) addClub.Text(1, c.code).Text(2, c.name).Integer(3, IsSelection(c.code) ? 1 : 0).Run();
        });

        Statement find(db, kSelectLicence), add(db, kInsertLicence), join(db, kInsertSelection);
        LicenceLine l;
        std::array<std::string, 23> values;
        ForEachLine(exportDir + "/licence.txt", [&](std::string_view line) {
            if (!l.Read(line)) return;
            bool known = find.Text(1, l.club).Text(2, l.licence).Step();
            find.Reset();
            if (known) return;
            l.Values(values);
            for (std::size_t i = 0; i < values.size(); ++i)
                add.Text(static_cast<int>(i + 1), values[i]);
            add.Text(24, "").Run();
            if (!l.selection.empty())
                join.Text(1, l.selection).Integer(2, sqlite3_last_insert_rowid(db.Handle())).Run();
        });
    }
    db.Exec("COMMIT");
    return true;
}

// A second import of the same export finds every club and licence: one SELECT per line of
// club.txt and licence.txt (relay lines aside), bound with the values the import looks them up
// by.
bool CeilingReimport(const std::string& path, const std::string& exportDir) {
    Database db(path);
    db.Exec("BEGIN IMMEDIATE");
    long missing = 0;
    {
        Statement findClub(db, kSelectClub), find(db, kSelectLicence);
        ClubLine c;
        ForEachLine(exportDir + "/club.txt", [&](std::string_view line) {
            c.Read(line);
            missing += findClub.Text(1, c.code).Step() ? 0 : 1;
            findClub.Reset();
        });
        LicenceLine l;
        ForEachLine(exportDir + "/licence.txt", [&](std::string_view line) {
            if (!l.Read(line)) return;
            missing += find.Text(1, l.club).Text(2, l.licence).Step() ? 0 : 1;
            find.Reset();
        });
    }
    db.Exec("COMMIT");
    if (missing > 0) std::cerr << "  re-import ceiling: " << missing << " lines not found in the database\n";
    return missing == 0;
}

// The IUF update: per line the club's full code is rebuilt from its region's inter-region (looked
// up when the region changes, as the import does), then a counting SELECT and, for a licence
// the database holds, the UPDATE of its Code_unique; the import's values: the 13-character club
// code, the licence number as it stands in the file, the IUF code trimmed.
bool CeilingIuf(const std::string& path, const std::string& iufFile) {
    Database db(path);
    db.Exec("BEGIN IMMEDIATE");
    {
        Statement inter(db, kSelectInter), count(db, kCountLicence), update(db, kUpdateCode);
        std::string region, codeInter, codeClub;
        ForEachLine(iufFile, [&](std::string_view line) {
            auto cut = [&](std::size_t at, std::size_t n) {
                return at < line.size() ? line.substr(at, n) : std::string_view();
            };
            std::string_view club = cut(0, 9), licence = cut(9, 6), iuf = cut(15, 30);
            if (club.substr(0, 2) != region) {
                region.assign(club.substr(0, 2));
                codeInter.clear();
                if (inter.Text(1, region).Step())
                    codeInter = reinterpret_cast<const char*>(sqlite3_column_text(inter.Handle(), 0));
                inter.Reset();
            }
            codeClub.assign("FRA").append(codeInter).append(club);
            count.Text(1, codeClub).Text(2, licence).Step();
            bool known = sqlite3_column_int64(count.Handle(), 0) > 0;
            count.Reset();
            if (known) update.Text(1, Trim(iuf)).Text(2, codeClub).Text(3, licence).Run();
        });
    }
    db.Exec("COMMIT");
    return true;
}

// ---------------------------------------------------------------- comparing the results

// Rows of `table` that differ between the databases `a` and `b`, compared in Num order, column
// by column (storage class and bytes); `first` tells the first difference.
long DifferingRows(const std::string& a, const std::string& b, const char* table, std::string& first) {
    Database da(a), db(b);
    std::string sql = std::string("SELECT * FROM ") + table + " ORDER BY Num";
    Statement sa(da, sql.c_str()), sb(db, sql.c_str());
    long differing = 0;
    for (long row = 1;; ++row) {
        bool ra = sa.Step(), rb = sb.Step();
        if (!ra && !rb) break;
        bool same = ra && rb;
        int column = 0;
        for (int n = sqlite3_column_count(sa.Handle()); same && column < n; ++column) {
            sqlite3_stmt* x = sa.Handle();
            sqlite3_stmt* y = sb.Handle();
            int type = sqlite3_column_type(x, column);
            if (type != sqlite3_column_type(y, column)) {
                same = false;
            } else if (type == SQLITE_INTEGER) {
                same = sqlite3_column_int64(x, column) == sqlite3_column_int64(y, column);
            } else if (type != SQLITE_NULL) {
                const void* px = sqlite3_column_blob(x, column);
                const void* py = sqlite3_column_blob(y, column);
                int nx = sqlite3_column_bytes(x, column);
                same = nx == sqlite3_column_bytes(y, column) && (nx == 0 || std::memcmp(px, py, nx) == 0);
            }
        }
        if (same) continue;
        if (differing++ == 0)
            first = "row " + std::to_string(row) +
                    (ra && rb ? std::string(", column ") + sqlite3_column_name(sa.Handle(), column - 1)
                              : std::string(", present on one side only"));
        if (!ra || !rb) {
            // One side has ended: the rest of the other side differs.
            Statement& rest = ra ? sa : sb;
            while (rest.Step())
                ++differing;
            break;
        }
    }
    return differing;
}

// Compares the tables of the ceiling's database with the import's, and says so.
bool SameRows(const std::string& ceilingDb, const std::string& importDb,
              std::initializer_list<const char*> tables, const char* when) {
    bool same = true;
    for (const char* table : tables) {
        std::string first;
        long n = 0;
        try {
            n = DifferingRows(ceilingDb, importDb, table, first);
        } catch (const std::exception& e) {
            std::printf("  WARNING: %s, the %s tables could not be compared: %s\n", when, table, e.what());
            same = false;
            continue;
        }
        if (n == 0) continue;
        same = false;
        std::printf("  WARNING: %s, %ld rows of %s differ between the ceiling and quorvel (first: %s); "
                    "the ratio compares different work\n",
                    when, n, table, first.c_str());
    }
    if (same) {
        std::printf("  rows %s identical on both sides:", when);
        for (const char* table : tables)
            std::printf(" %s", table);
        std::printf("\n");
    }
    return same;
}

// The sizes of the two databases of a phase: the first pair, and whether any pair differed by
// more than 1 %.
struct Sizes {
    std::uintmax_t ceiling = 0, quorvel = 0;
    bool differ = false;

    void Check(const char* when, const std::string& ceilingDb, const std::string& importDb) {
        std::uintmax_t c = fs::file_size(ceilingDb), q = fs::file_size(importDb);
        if (ceiling == 0) {
            ceiling = c;
            quorvel = q;
            std::printf("  database size %s: ceiling %ju bytes, quorvel %ju bytes\n", when, c, q);
        }
        if (std::fabs(static_cast<double>(q) - static_cast<double>(c)) > 0.01 * static_cast<double>(c)) {
            differ = true;
            std::printf("  WARNING: database size %s differs by more than 1 %%: ceiling %ju bytes, quorvel "
                        "%ju bytes\n",
                        when, c, q);
        }
    }
};

// ---------------------------------------------------------------- set-up

long CountLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    long n = 0;
    while (std::getline(in, line))
        ++n;
    return n;
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::cerr << "command failed: " << command << "\n";
        std::exit(2);
    }
}

int Usage() {
    std::cerr << "usage: bench_import [--rounds N] [--large N] [--small N] [--no-wal] [--gen PATH]\n"
                 "                    [--reference FILE] [--work DIR]\n";
    return 2;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

int Bench(int argc, char** argv) {
    std::string gen = QUORVEL_GEN_EXPORT;
    std::string reference = QUORVEL_REFERENCE;
    std::string work = (fs::temp_directory_path() / "quorvel-bench").string();
    long small = 30000, large = 300000, rounds = 5;
    bool wal = true;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--no-wal") {
            wal = false;
            continue;
        }
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        if (a == "--gen")
            gen = value;
        else if (a == "--reference")
            reference = value;
        else if (a == "--work")
            work = value;
        else if (a == "--small")
            small = std::atol(value);
        else if (a == "--large")
            large = std::atol(value);
        else if (a == "--rounds")
            rounds = std::atol(value);
        else
            return Usage();
    }
    if (rounds < 1 || large < 1 || small < 0) return Usage();

    fs::remove_all(work);
    fs::create_directories(work);
    auto exportOf = [&](long n) {
        std::string dir = work + "/export" + std::to_string(n);
        Run(gen + " --out " + dir + " --licences " + std::to_string(n) + " --seed 7 --reference " +
            reference);
        fs::create_directories(dir + "-iuf");
        fs::rename(dir + "/iuf.txt", dir + "-iuf/iuf.txt");
        return dir;
    };
    auto freshDb = [&](const std::string& name) {
        std::string db = work + "/" + name + ".db";
        fs::remove(db);
        quorvel::CreateHostDatabase(db, reference);
        return db;
    };
    auto clock = quorvel::FixedClock(2026, 12, 6);
    // Each run gets an empty working folder, removed afterwards, and a new TraceLog, kept until
    // the next run of its kind.
    auto import = [&](const std::string& db, const std::string& dir, const std::string& tag) {
        std::string folder = work + "/work-" + tag, log = work + "/" + tag + ".log";
        fs::remove(log);
        fs::create_directories(folder);
        Measure m = InChild([&] {
            quorvel::clsRecupLicence importer(clock);
            return importer.bImport_Licence(db, dir, folder, log, nullptr);
        });
        fs::remove_all(folder);
        return m;
    };
    auto iufUpdate = [&](const std::string& db, const std::string& dir) {
        std::string log = work + "/iuf.log";
        fs::remove(log);
        return InChild([&] {
            quorvel::clsMajIUF updater(clock);
            return updater.bImport_CodeIUF(dir, db, log, nullptr, false, "");
        });
    };

    std::printf("quorvel benchmark: licence import, re-import and IUF update against the engine's ceiling\n");
    std::string largeDir = exportOf(large);
    std::string smallDir = small > 0 ? exportOf(small) : std::string();
    std::string iufDir = largeDir + "-iuf";
    long largeLines = CountLines(largeDir + "/licence.txt");
    long smallLines = small > 0 ? CountLines(smallDir + "/licence.txt") : 0;
    long iufLines = CountLines(iufDir + "/iuf.txt");
    std::printf("%ld rounds; ratio = quorvel / ceiling, peak memory of quorvel's run\n", rounds);

    Phase first("import, new database", largeLines);
    Phase again("re-import, all known", largeLines);
    Phase iuf("IUF update", iufLines);
    std::vector<double> smallSeconds;
    bool smallFailed = false;
    Sizes importSizes, iufSizes;
    bool rowsSame = true;

    for (long round = 1; round <= rounds; ++round) {
        std::printf("round %ld/%ld\n", round, rounds);
        std::string ceilingDb = freshDb("ceiling"), importDb = freshDb("import");
        Measure c = InChild([&] { return CeilingImport(ceilingDb, largeDir); });
        Measure q = import(importDb, largeDir, "import");
        first.Add(c, q);
        importSizes.Check("after the import", ceilingDb, importDb);
        if (round == 1)
            rowsSame &= SameRows(ceilingDb, importDb, {"Club", "Licence", "Selection"}, "after the import");
        fs::remove(ceilingDb);

        c = InChild([&] { return CeilingReimport(importDb, largeDir); });
        q = import(importDb, largeDir, "reimport");
        again.Add(c, q);

        // Both sides start from the same filled database.
        std::string iufCeilingDb = work + "/iuf-ceiling.db", iufImportDb = work + "/iuf-import.db";
        fs::copy_file(importDb, iufCeilingDb, fs::copy_options::overwrite_existing);
        fs::copy_file(importDb, iufImportDb, fs::copy_options::overwrite_existing);
        fs::remove(importDb);
        c = InChild([&] { return CeilingIuf(iufCeilingDb, iufDir + "/iuf.txt"); });
        q = iufUpdate(iufImportDb, iufDir);
        iuf.Add(c, q);
        iufSizes.Check("after the IUF update", iufCeilingDb, iufImportDb);
        if (round == 1) rowsSame &= SameRows(iufCeilingDb, iufImportDb, {"Licence"}, "after the IUF update");
        fs::remove(iufCeilingDb);
        fs::remove(iufImportDb);

        if (small > 0) {
            std::string smallDb = freshDb("small");
            Measure s = import(smallDb, smallDir, "small");
            smallSeconds.push_back(s.seconds);
            smallFailed |= !s.ok;
            std::printf("  %-26s quorvel %6.2f s (%ld lines)%s\n", "import, small export", s.seconds,
                        smallLines, s.ok ? "" : "   (FAILED)");
            fs::remove(smallDb);
        }
    }

    Measure walRun;
    if (wal) {
        // Once, last: the same import on a database the host keeps in write-ahead-log mode.
        std::string walDb = freshDb("wal");
        {
            Database db(walDb);
            db.Exec("PRAGMA journal_mode = WAL");
        }
        walRun = import(walDb, largeDir, "wal");
        std::printf("WAL journal: %-14s quorvel %6.2f s%s\n", "import", walRun.seconds,
                    walRun.ok ? "" : "   (FAILED)");
        fs::remove(walDb);
        fs::remove(walDb + "-wal");
        fs::remove(walDb + "-shm");
    }

    constexpr double kRatioTarget = 1.3;
    std::printf("\nSummary: medians of %ld rounds\n", rounds);
    std::printf("  %-26s %9s %10s %9s %12s %7s\n", "", "lines", "ceiling", "quorvel", "quorvel/ceil",
                "<= 1.3");
    for (const Phase* p : {&first, &again, &iuf}) {
        double ratio = Median(p->ratio);
        std::printf("  %-26s %9ld %8.2f s %7.2f s %12.2f %7s   (%.0f lines/s)%s\n", p->name, p->lines,
                    Median(p->ceiling), Median(p->quorvel), ratio, Verdict(ratio <= kRatioTarget),
                    p->lines / Median(p->quorvel), p->failed ? "  FAILED" : "");
    }
    std::printf("  peak memory, large import  %.1f MiB (highest of the rounds), target < 100 MiB: %s\n",
                first.peakKiB / 1024.0, Verdict(first.peakKiB < 100 * 1024));
    if (small > 0) {
        double perLine = (Median(first.quorvel) / largeLines) / (Median(smallSeconds) / smallLines);
        std::printf("  per-line time %ld / %ld lines: %.2f, target <= 1.3: %s\n", largeLines, smallLines,
                    perLine, Verdict(perLine <= kRatioTarget));
    }
    if (wal)
        std::printf("  WAL / rollback journal, large import: %.2f (one round)\n",
                    walRun.seconds / Median(first.quorvel));
    std::printf("  database size after the import:     ceiling %ju bytes, quorvel %ju bytes%s\n",
                importSizes.ceiling, importSizes.quorvel, importSizes.differ ? "  DIFFER" : "");
    std::printf("  database size after the IUF update: ceiling %ju bytes, quorvel %ju bytes%s\n",
                iufSizes.ceiling, iufSizes.quorvel, iufSizes.differ ? "  DIFFER" : "");
    std::printf("  rows written by the ceiling and by quorvel: %s\n",
                rowsSame ? "identical" : "DIFFERENT (see the warnings above)");

    bool ok = !first.failed && !again.failed && !iuf.failed && !smallFailed && (!wal || walRun.ok);
    if (!ok) std::printf("\nA phase failed: see the messages above and the TraceLogs in %s\n", work.c_str());
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return Bench(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "bench_import: " << e.what() << "\n";
        return 2;
    }
}
