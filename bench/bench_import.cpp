// bench_import: how fast the licence import, the re-import of a known export and the IUF update
// run, each against the database engine's own ceiling for the same result; and the licence import
// into PostgreSQL beside pgloader's load of the same file.
//
//   bench_import [--rounds N] [--large N] [--small N] [--no-wal]
//                [--pg URI] [--pg-fast URI] [--pg-rounds N] [--no-pg]
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
// PostgreSQL: with --pg URI, or else when QUORVEL_TEST_PG_URI is set (scripts/bench.sh sets it
// to a throwaway cluster that syncs its writes to disk, as a default server does), --pg-rounds
// rounds (default 3) follow the file rounds. The URI names a database of a server on which the
// benchmark may create and drop databases. Each round:
//   1. pgloader: a new database holding one table of licence.txt's 24 fixed-width fields, all
//      text, with its (code_club, licence) index made before the load; then the pgloader
//      program loads the large export's licence.txt into it (a plain COPY of every line: no
//      trimming, no lookup, no rule) and must leave one row per line;
//   2. quorvel: a new database set up as init-db sets it up, then bImport_Licence of the large
//      export's club.txt and licence.txt into it, which must leave as many Licence rows as the
//      file database held after its import;
//   3. bImport_Licence of the same export again into that database (every line known), then
//      bImport_CodeIUF of its IUF file there;
//   4. bImport_Licence, into a new database, of the export with every club code's country made
//      one that does not exist ("ZZZ"): every club line and every licence line is refused by the
//      geography, and nothing is stored;
//   5. bImport_Licence of the small export into a new database whose Licence table refuses, by a
//      CHECK constraint, every licence number ending in 7: one line in ten fails, and each must
//      cost that line alone.
// With --pg-fast URI (scripts/bench.sh --fast-cluster: a cluster with fsync=off), each round then
// does steps 1, 2 and 5 again on that server. All databases are dropped after each round. Without
// pgloader or without a server to connect to, the part is skipped and says why; --no-pg skips it.
//
// Prints one block per round, then a summary against the targets: ratio <= 1.3 for each phase,
// peak memory of the large import < 100 MiB, per-line time large / small <= 1.3; and for
// PostgreSQL: import / pgloader <= 1.3, import with every club refused / clean import <= 1.5
// (medians of the per-round ratios), re-import and IUF update <= 2.0 times the file database's
// (median over median), the small import with one line in ten refused >= 20,000 lines/s. Timing never fails
// the run: the exit status is 1 only when a phase failed, 2 for a usage or set-up error.

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
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

// Waits for child `pid`, started at `start`: its wall time, its peak resident memory, and ok when
// it exited with status 0.
Measure Waited(pid_t pid, std::chrono::steady_clock::time_point start) {
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = ru.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

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
    Measure m = Waited(pid, start);
    m.ok = m.ok && c == '1';
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

// ---------------------------------------------------------------- PostgreSQL: quorvel beside pgloader

// Rows of `table` in the file database `path`.
long CountRows(const std::string& path, const char* table) {
    Database db(path);
    std::string sql = std::string("SELECT count(*) FROM ") + table;
    Statement count(db, sql.c_str());
    count.Step();
    return static_cast<long>(sqlite3_column_int64(count.Handle(), 0));
}

// A postgresql:// URI cut around its database name, so that the benchmark can name the databases
// it creates on the same server: SERVER/NAME?PARAMETERS.
class PgUri {
public:
    explicit PgUri(const std::string& uri) {
        std::size_t scheme = uri.find("://");
        if (!quorvel::IsServerUri(uri) || scheme == std::string::npos)
            throw std::runtime_error("not a postgresql:// URI: " + uri);
        std::size_t question = uri.find('?', scheme + 3);
        std::string head = uri.substr(0, question);
        if (question != std::string::npos) params_ = uri.substr(question);
        server_ = head.substr(0, head.find('/', scheme + 3));
    }

    // Database `name` of the same server, with the same parameters.
    std::string Of(const std::string& name) const { return server_ + "/" + name + params_; }

    // Table `table` of database `name`, as pgloader names a target: the part after '?' is the
    // table, so the URI's own parameters do not go to pgloader.
    std::string PgloaderTarget(const std::string& name, const std::string& table) const {
        return server_ + "/" + name + "?" + table;
    }

    // The server as it may be printed: without the password it may hold.
    std::string Shown() const { return quorvel::ShownDatabase(server_ + params_); }

private:
    std::string server_, params_;
};

// A libpq connection for the set-up and the checks around the measured runs.
class PgConnection {
public:
    explicit PgConnection(const std::string& uri) : c_(PQconnectdb(uri.c_str())) {
        if (PQstatus(c_) != CONNECTION_OK) {
            std::string why = PQerrorMessage(c_);
            PQfinish(c_);
            throw std::runtime_error("cannot connect to PostgreSQL: " + Chomp(why));
        }
        // DROP DATABASE IF EXISTS and its like have nothing to tell here.
        PQsetNoticeProcessor(
            c_, [](void*, const char*) {}, nullptr);
    }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection() { PQfinish(c_); }

    // Runs `sql`; returns the first column of its first row, empty when it returns no row.
    std::string Exec(const std::string& sql) {
        PGresult* r = PQexec(c_, sql.c_str());
        ExecStatusType status = PQresultStatus(r);
        std::string value =
            status == PGRES_TUPLES_OK && PQntuples(r) > 0 && PQnfields(r) > 0 ? PQgetvalue(r, 0, 0) : "";
        PQclear(r);
        if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
            throw std::runtime_error(sql + ": " + Chomp(PQerrorMessage(c_)));
        return value;
    }
    long Count(const char* table) { return std::stol(Exec(std::string("SELECT count(*) FROM ") + table)); }

    // Drops database `name` if it exists; since PostgreSQL 13 even while a connection lingers.
    void DropDatabase(const std::string& name) {
        Exec("DROP DATABASE IF EXISTS " + name + (PQserverVersion(c_) >= 130000 ? " WITH (FORCE)" : ""));
    }

private:
    static std::string Chomp(std::string s) {
        while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
            s.pop_back();
        return s;
    }
    PGconn* c_;
};

// The full path of program `name` found on PATH; empty when there is none.
std::string OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path ? path : "/usr/bin:/bin";
    while (true) {
        std::size_t colon = dirs.find(':');
        std::string candidate = std::string(dirs.substr(0, colon)) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) return {};
        dirs.remove_prefix(colon + 1);
    }
}

// Runs `args` as a child process, its output into `log`; returns its wall time and peak resident
// memory, ok when it exits with status 0.
Measure RunProgram(const std::vector<std::string>& args, const std::string& log) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = ::open("/dev/null", O_RDONLY);
        if (out < 0 || in < 0) _exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(out, 2);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    return Waited(pid, start);
}

// licence.txt's fields as pgloader's table names them, in the order of kLicenceWidths.
constexpr std::array<const char*, 24> kLicenceColumns = {
    "code_club",   "licence",           "nom",           "prenom",      "sexe",        "date_naissance",
    "nationalite", "adresse",           "suite_adresse", "code_postal", "localite",    "telephone",
    "sportive",    "synchro",           "water_polo",    "plongeon",    "dirigeant",   "maitre",
    "date_depot",  "date_obliteration", "type_licence",  "nature",      "code_unique", "origine"};

// pgloader's table: every field as text, and the key the import looks a licence up by, indexed
// before the load as quorvel's Licence table is.
std::string PgloaderTable() {
    std::string sql = "CREATE TABLE licence (";
    for (std::size_t i = 0; i < kLicenceColumns.size(); ++i)
        sql.append(i == 0 ? "" : ", ").append(kLicenceColumns[i]).append(" text");
    return sql + "); CREATE INDEX licence_key ON licence (code_club, licence)";
}

// pgloader's command: licence.txt cut at its field widths, copied into `target` as it stands.
// The file is read as latin1, where every byte is a character: the export's DOS letters include
// bytes that Windows-1252 leaves undefined (0x81 is ü), on which pgloader would stop.
std::string PgloaderCommand(const std::string& licenceFile, const std::string& target) {
    std::string fields, columns;
    int at = 0;
    for (std::size_t i = 0; i < kLicenceColumns.size(); ++i) {
        const char* comma = i + 1 < kLicenceColumns.size() ? "," : "";
        fields += "    " + std::string(kLicenceColumns[i]) + " from " + std::to_string(at) + " for " +
                  std::to_string(kLicenceWidths[i]) + comma + "\n";
        columns += std::string(kLicenceColumns[i]) + comma + (*comma ? " " : "");
        at += kLicenceWidths[i];
    }
    return "LOAD FIXED\n  FROM '" + licenceFile + "'\n  WITH ENCODING latin1\n  (\n" + fields +
           "  )\n  INTO " + target + "\n  TARGET COLUMNS (" + columns +
           ")\n  WITH truncate, disable triggers;\n";
}

// A copy of the export in `dir` whose every club the geography refuses: each line of club.txt
// and licence.txt names a country that does not exist ("ZZZ") where its club code starts.
std::string RefusedExport(const std::string& dir) {
    std::string out = dir + "-refused";
    fs::create_directories(out);
    for (const char* name : {"club.txt", "licence.txt"}) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        std::ofstream to(out + "/" + name, std::ios::binary | std::ios::trunc);
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() >= 3) line.replace(0, 3, "ZZZ");
            to << line << '\n';
        }
        if (!to.flush()) throw std::runtime_error("cannot write " + out + "/" + name);
    }
    if (fs::exists(dir + "/origine.txt"))
        fs::copy_file(dir + "/origine.txt", out + "/origine.txt", fs::copy_options::overwrite_existing);
    return out;
}

// What the PostgreSQL rounds share: the exports, the programs and what the file rounds found.
struct PgSetup {
    std::string pgloader, work, reference, largeDir, refusedDir, iufDir, smallDir;
    long largeLines = 0, smallLines = 0;
    long fileLicenceRows = 0; // what the file database holds after its import
    std::function<Measure(const std::string& db, const std::string& dir, const std::string& tag)> import;
    std::function<Measure(const std::string& db, const std::string& dir)> iuf;
};

// One server's rounds. Each round: pgloader's load of licence.txt into a new database beside
// quorvel's import of the export into another; with `full`, then quorvel's re-import of the
// export into the database it filled (every line known), the IUF update of that database, and
// the import of the export whose every club is refused into a third new database.
class PgServerRounds {
public:
    PgServerRounds(std::string label, const std::string& uri, bool full)
        : label_(std::move(label)), uri_(uri), pg_(uri), full_(full) {}

    void Round(long round, long rounds, const PgSetup& setup) {
        Measure p, q, r, u, x, t;
        try {
            p = Load(setup);
            q = Import(setup);
            if (full_) {
                r = setup.import(pg_.Of(kImported), setup.largeDir, "pg-reimport");
                r.ok &= Expect(pg_.Of(kImported), "Licence", setup.fileLicenceRows, "the re-import");
                u = setup.iuf(pg_.Of(kImported), setup.iufDir);
                x = Refused(setup);
            }
            if (!setup.smallDir.empty()) t = TenthRefused(setup);
            DropAll();
        } catch (const std::exception& e) {
            std::printf("  %s round %ld FAILED: %s\n", label_.c_str(), round, e.what());
            failed = true;
            try { // the next round drops them first, but not after the last
                DropAll();
            } catch (const std::exception&) {
            }
            return;
        }
        Add(round, rounds, p, q, r, u, x);
        if (!setup.smallDir.empty()) {
            tenth.push_back(t.seconds);
            failed |= !t.ok;
            std::printf("  %-26s one line in ten refused, %ld lines: %6.2f s (%.0f lines/s)%s\n", "",
                        setup.smallLines, t.seconds, setup.smallLines / t.seconds, t.ok ? "" : "   (FAILED)");
        }
    }

    const std::string& Label() const { return label_; }
    bool Full() const { return full_; }
    std::vector<double> pgloader, import, importRatio, reimport, iuf, refused, refusedRatio, tenth;
    long peakKiB = 0; // quorvel's import, highest of the rounds
    bool failed = false;

private:
    static constexpr const char* kLoaded = "quorvel_bench_pgloader";
    static constexpr const char* kImported = "quorvel_bench_import";
    static constexpr const char* kRefused = "quorvel_bench_refused";
    static constexpr const char* kTenth = "quorvel_bench_tenth";

    void DropAll() {
        PgConnection server(uri_);
        for (const char* name : {kLoaded, kImported, kRefused, kTenth})
            server.DropDatabase(name);
    }

    // pgloader's load of licence.txt into a new database.
    Measure Load(const PgSetup& setup) {
        DropAll();
        std::string command = setup.work + "/licence-" + std::to_string(commands_++) + ".load";
        std::string log = setup.work + "/pgloader.log";
        {
            std::ofstream out(command);
            out << PgloaderCommand(fs::absolute(setup.largeDir + "/licence.txt").string(),
                                   pg_.PgloaderTarget(kLoaded, "licence"));
            if (!out.flush()) throw std::runtime_error("cannot write " + command);
        }
        PgConnection(uri_).Exec(std::string("CREATE DATABASE ") + kLoaded);
        PgConnection(pg_.Of(kLoaded)).Exec(PgloaderTable());
        Measure p = RunProgram({setup.pgloader, "--root-dir", setup.work + "/pgloader", command}, log);
        long rows = PgConnection(pg_.Of(kLoaded)).Count("licence");
        if (!p.ok || rows != setup.largeLines) {
            std::printf("  pgloader: %ld rows for %ld lines, exit %s (see %s)\n", rows, setup.largeLines,
                        p.ok ? "0" : "not 0", log.c_str());
            p.ok = false;
        }
        return p;
    }

    // quorvel's import of `dir` into the new database `name`, once `before` (if any) has run there.
    Measure ImportInto(const PgSetup& setup, const char* name, const std::string& dir, const std::string& tag,
                       const char* before = nullptr) {
        PgConnection(uri_).Exec(std::string("CREATE DATABASE ") + name);
        quorvel::CreateHostDatabase(pg_.Of(name), setup.reference);
        if (before != nullptr) PgConnection(pg_.Of(name)).Exec(before);
        return setup.import(pg_.Of(name), dir, tag);
    }

    Measure Import(const PgSetup& setup) {
        Measure q = ImportInto(setup, kImported, setup.largeDir, "pg-import");
        q.ok &= Expect(pg_.Of(kImported), "Licence", setup.fileLicenceRows, "the import");
        return q;
    }

    Measure Refused(const PgSetup& setup) {
        Measure x = ImportInto(setup, kRefused, setup.refusedDir, "pg-refused");
        x.ok &= Expect(pg_.Of(kRefused), "Licence", 0, "the import of refused clubs");
        x.ok &= Expect(pg_.Of(kRefused), "Club", 0, "the import of refused clubs");
        return x;
    }

    Measure TenthRefused(const PgSetup& setup) {
        Measure t =
            ImportInto(setup, kTenth, setup.smallDir, "pg-tenth",
                       "ALTER TABLE Licence ADD CONSTRAINT refuse_7 CHECK (right(licence, 1) <> '7')");
        PgConnection db(pg_.Of(kTenth));
        const long stored = db.Count("Licence");
        if (stored < setup.smallLines * 8 / 10 || stored >= setup.smallLines) {
            std::printf("  after the import with one line in ten refused: %ld Licence rows for %ld lines\n",
                        stored, setup.smallLines);
            t.ok = false;
        }
        return t;
    }

    // True when `table` of `db` holds `rows` rows; says so otherwise.
    static bool Expect(const std::string& db, const char* table, long rows, const char* after) {
        long held = PgConnection(db).Count(table);
        if (held == rows) return true;
        std::printf("  after %s into PostgreSQL: %ld %s rows, expected %ld\n", after, held, table, rows);
        return false;
    }

    void Add(long round, long rounds, const Measure& p, const Measure& q, const Measure& r, const Measure& u,
             const Measure& x) {
        pgloader.push_back(p.seconds);
        import.push_back(q.seconds);
        importRatio.push_back(q.seconds / p.seconds);
        peakKiB = std::max(peakKiB, q.peakKiB);
        failed |= !p.ok || !q.ok;
        std::string name = label_ + " " + std::to_string(round) + "/" + std::to_string(rounds);
        std::printf("  %-26s pgloader %6.2f s   import %6.2f s (%4.2f)", name.c_str(), p.seconds, q.seconds,
                    q.seconds / p.seconds);
        if (full_) {
            reimport.push_back(r.seconds);
            iuf.push_back(u.seconds);
            refused.push_back(x.seconds);
            refusedRatio.push_back(x.seconds / q.seconds);
            failed |= !r.ok || !u.ok || !x.ok;
            std::printf("   re-import %6.2f s   IUF %6.2f s   clubs refused %6.2f s (%4.2f)", r.seconds,
                        u.seconds, x.seconds, x.seconds / q.seconds);
        }
        bool ok = p.ok && q.ok && (!full_ || (r.ok && u.ok && x.ok));
        std::printf("%s\n", ok ? "" : "   (FAILED)");
        std::fflush(stdout);
    }

    std::string label_, uri_;
    PgUri pg_;
    bool full_;
    int commands_ = 0; // numbers the pgloader command files
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
    std::cerr << "usage: bench_import [--rounds N] [--large N] [--small N] [--no-wal]\n"
                 "                    [--pg URI] [--pg-fast URI] [--pg-rounds N] [--no-pg]\n"
                 "                    [--gen PATH] [--reference FILE] [--work DIR]\n";
    return 2;
}

const char* Verdict(bool met) {
    return met ? "met" : "MISSED";
}

// One line of the PostgreSQL summary: `what` took `measured` s against `against` s.
void PgTarget(const char* what, double measured, const char* side, double against, double ratio,
              const char* target, bool met) {
    std::printf("  %-34s %7.2f s   %-12s %7.2f s   ratio %5.2f   target %s: %s\n", what, measured, side,
                against, ratio, target, Verdict(met));
}

// The summary of one server's rounds, against the file database's re-import and IUF update.
void PgSummary(const PgServerRounds& server, long lines, long smallLines, const Phase& again,
               const Phase& iuf) {
    if (server.importRatio.empty()) {
        std::printf("\n%s: no round completed\n", server.Label().c_str());
        return;
    }
    std::printf("\n%s: medians of %zu rounds, %ld lines%s\n", server.Label().c_str(),
                server.importRatio.size(), lines, server.failed ? "  (a round FAILED)" : "");
    double ratio = Median(server.importRatio);
    PgTarget("import, new database", Median(server.import), "pgloader", Median(server.pgloader), ratio,
             "<= 1.3", ratio <= 1.3);
    if (!server.tenth.empty()) {
        const double perSecond = static_cast<double>(smallLines) / Median(server.tenth);
        std::printf("  %-34s %7.2f s   %ld lines: %.0f lines/s   target >= 20000 lines/s: %s\n",
                    "one line in ten refused", Median(server.tenth), smallLines, perSecond,
                    Verdict(perSecond >= 20000));
    }
    if (!server.Full()) return;
    ratio = Median(server.refusedRatio);
    PgTarget("every club refused by geography", Median(server.refused), "import", Median(server.import),
             ratio, "<= 1.5", ratio <= 1.5);
    ratio = Median(server.reimport) / Median(again.quorvel);
    PgTarget("re-import, all known", Median(server.reimport), "file engine", Median(again.quorvel), ratio,
             "<= 2.0", ratio <= 2.0);
    ratio = Median(server.iuf) / Median(iuf.quorvel);
    PgTarget("IUF update", Median(server.iuf), "file engine", Median(iuf.quorvel), ratio, "<= 2.0",
             ratio <= 2.0);
    std::printf("  peak memory, PostgreSQL import  %.1f MiB (highest of the rounds)\n",
                server.peakKiB / 1024.0);
}

int Bench(int argc, char** argv) {
    std::string gen = QUORVEL_GEN_EXPORT;
    std::string reference = QUORVEL_REFERENCE;
    std::string work = (fs::temp_directory_path() / "quorvel-bench").string();
    std::string pgUri, pgFastUri;
    long small = 30000, large = 300000, rounds = 5, pgRounds = 3;
    bool wal = true, noPg = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--no-wal") {
            wal = false;
            continue;
        }
        if (a == "--no-pg") {
            noPg = true;
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
        else if (a == "--pg")
            pgUri = value;
        else if (a == "--pg-rounds")
            pgRounds = std::atol(value);
        else if (a == "--pg-fast")
            pgFastUri = value;
        else
            return Usage();
    }
    if (rounds < 1 || large < 1 || small < 0 || pgRounds < 1) return Usage();
    if (pgUri.empty() && std::getenv("QUORVEL_TEST_PG_URI")) pgUri = std::getenv("QUORVEL_TEST_PG_URI");

    // The PostgreSQL rounds need the pgloader program and a server that lets them in; without
    // either they are skipped, and the reason is printed at the start and in the summary.
    std::string pgSkipped, pgloader;
    std::optional<PgUri> pg;
    if (noPg) {
        pgSkipped = "--no-pg";
    } else if (pgUri.empty()) {
        pgSkipped = "no server (--pg URI, or QUORVEL_TEST_PG_URI)";
    } else if ((pgloader = OnPath("pgloader")).empty()) {
        pgSkipped = "pgloader not found (Debian package pgloader)";
    } else {
        try {
            pg.emplace(pgUri);
            PgConnection probe(pgUri);
        } catch (const std::exception& e) {
            pg.reset();
            pgSkipped = e.what();
        }
    }

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
            quorvel::ImportOptions options;
            if (quorvel::IsServerUri(db)) options.server = db;
            return importer.bImport_Licence(db, dir, folder, log, nullptr, options);
        });
        fs::remove_all(folder);
        return m;
    };
    auto iufUpdate = [&](const std::string& db, const std::string& dir) {
        std::string log = work + "/iuf.log";
        fs::remove(log);
        return InChild([&] {
            quorvel::clsMajIUF updater(clock);
            quorvel::ImportOptions options;
            if (quorvel::IsServerUri(db)) options.server = db;
            return updater.bImport_CodeIUF(dir, db, log, nullptr, false, "", options);
        });
    };

    std::printf("quorvel benchmark: licence import, re-import and IUF update against the engine's ceiling\n");
    if (pg)
        std::printf("PostgreSQL: %ld rounds on %s after the file rounds, licence import beside pgloader\n",
                    pgRounds, pg->Shown().c_str());
    else
        std::printf("PostgreSQL: skipped (%s)\n", pgSkipped.c_str());
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
    long fileLicenceRows = 0; // what the file database holds after the first round's import

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
        // The re-import added no row: this is the count the import left, which the import into
        // PostgreSQL must reach too.
        if (round == 1 && pg) fileLicenceRows = CountRows(importDb, "Licence");
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

    // The PostgreSQL rounds: on the server named, then, for --pg-fast, the import alone on a
    // server that does not sync its writes to disk.
    std::vector<PgServerRounds> servers;
    if (pg) {
        PgSetup setup;
        setup.pgloader = pgloader;
        setup.work = work;
        setup.reference = reference;
        setup.largeDir = largeDir;
        setup.refusedDir = RefusedExport(largeDir);
        setup.iufDir = iufDir;
        setup.largeLines = largeLines;
        setup.smallDir = smallDir;
        setup.smallLines = smallLines;
        setup.fileLicenceRows = fileLicenceRows;
        setup.import = import;
        setup.iuf = iufUpdate;
        servers.emplace_back("PostgreSQL", pgUri, true);
        if (!pgFastUri.empty()) servers.emplace_back("PostgreSQL, fsync off", pgFastUri, false);
        std::printf("PostgreSQL: pgloader copies licence.txt into a table of %zu text columns; quorvel "
                    "imports club.txt and licence.txt, imports them again, updates the IUF codes, and "
                    "imports the export whose every club is refused, then the small export with one line in "
                    "ten refused\n",
                    kLicenceColumns.size());
        for (long round = 1; round <= pgRounds; ++round)
            for (PgServerRounds& server : servers)
                server.Round(round, pgRounds, setup);
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

    if (!pg) std::printf("\nPostgreSQL: skipped (%s)\n", pgSkipped.c_str());
    bool pgFailed = false;
    for (const PgServerRounds& server : servers) {
        PgSummary(server, largeLines, smallLines, again, iuf);
        pgFailed |= server.failed;
    }

    bool ok =
        !first.failed && !again.failed && !iuf.failed && !smallFailed && (!wal || walRun.ok) && !pgFailed;
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
