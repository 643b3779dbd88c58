// Whatever file, folder or database the user hands over, a call says what went wrong (a TraceLog
// entry, or exit status 2 with one stderr line naming the path and the cause) and loses nothing
// already stored: every test first imports the bundled sample export, then the bad input, and
// checks that the database is sound and the earlier rows unchanged. No TraceLog, error text or
// output of any of these runs shows the database key.

#include "support/test_support.hpp"

#include "base/encoding.hpp"
#include "base/text_conversion.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <random>

using namespace quorvel;
using quorvel::test::Query;
using quorvel::test::ReadFile;
using quorvel::test::Scalar;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;
namespace fs = std::filesystem;
using Rows = std::vector<std::vector<std::string>>;

namespace {

constexpr const char* kKey = "quenoril";
constexpr int kNobody = 65534;

struct CliOutcome {
    int status = -1; // -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// `bytes` pseudo-random bytes (NUL, CR and LF among them), the same on every run.
std::string Garbage(std::size_t bytes, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s(bytes, '\0');
    for (char& c : s)
        c = static_cast<char>(byte(gen));
    return s;
}

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

bool AnyStartsWith(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

// A licence of a Paris club that the sample does not hold, with a birth date matching its number.
quorvel::test::LicenceLine NewLicence(const std::string& number) {
    quorvel::test::LicenceLine l;
    l.club = "FRA5110750012";
    l.licence = number;
    l.naissance = "010119" + number.substr(0, 2);
    return l;
}

std::string Sample(const std::string& name) {
    return ReadFile(std::string(QUORVEL_SAMPLE_DIR) + "/" + name);
}

// A read-only connection to a database, opened with its key.
class Reader {
public:
    explicit Reader(const std::string& path) {
        sqlite3_open_v2(path.c_str(), &handle_, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(handle_, "PRAGMA key = 'quenoril'", nullptr, nullptr, nullptr);
    }
    ~Reader() { sqlite3_close(handle_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // Every row of `sql` as text; a failure part-way adds a last row that names it.
    Rows All(const std::string& sql) {
        Rows rows;
        sqlite3_stmt* stmt = nullptr;
        int rc = sqlite3_prepare_v2(handle_, sql.c_str(), -1, &stmt, nullptr);
        while (stmt != nullptr && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            rows.emplace_back();
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const unsigned char* t = sqlite3_column_text(stmt, c);
                rows.back().push_back(t == nullptr ? "NULL" : reinterpret_cast<const char*>(t));
            }
        }
        if (rc != SQLITE_DONE) rows.push_back({std::string("failed: ") + sqlite3_errmsg(handle_)});
        sqlite3_finalize(stmt);
        return rows;
    }

private:
    sqlite3* handle_ = nullptr;
};

class BadInput : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        ASSERT_TRUE(Import(QUORVEL_SAMPLE_DIR)) << "the good export imports first";
        before = Stored();
        ASSERT_FALSE(before["Licence"].empty());
    }

    // Whatever the run did, the key never shows in anything it wrote or said.
    void TearDown() override {
        for (const auto& text : said)
            EXPECT_EQ(text.find(kKey), std::string::npos) << text;
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path(), ec)) {
            if (!entry.is_regular_file(ec) || entry.path().extension() == ".db") continue;
            fs::permissions(entry.path(), fs::perms::owner_read, fs::perm_options::add, ec);
            EXPECT_EQ(ReadFile(entry.path().string()).find(kKey), std::string::npos) << entry.path();
        }
    }

    // An export folder holding the sample's three files, with `files` replacing them (a file
    // mapped to nothing is left out).
    std::string Export(const std::map<std::string, std::optional<std::string>>& files) {
        std::string folder = dir / ("export" + std::to_string(++exports));
        fs::create_directories(folder);
        for (const char* name : {"licence.txt", "club.txt", "origine.txt"})
            if (!files.count(name)) WriteFile(folder + "/" + name, Sample(name));
        for (const auto& [name, bytes] : files)
            if (bytes) WriteFile(folder + "/" + name, *bytes);
        return folder;
    }

    // One licence import of `source` (in process) into `into` (the test's database unless said),
    // in a working folder of its own. An error that leaves the call is kept in `said` and thrown on.
    bool Import(const std::string& source, std::string into = "") {
        if (into.empty()) into = db;
        std::string work = dir / ("work" + std::to_string(++runs));
        fs::create_directories(work);
        trace = dir / ("import" + std::to_string(runs) + ".log");
        clsRecupLicence importer(FixedClock(2026, 6, 15));
        try {
            return importer.bImport_Licence(into, source, work, trace, nullptr);
        } catch (const Error& e) {
            said.push_back(e.description());
            throw;
        }
    }

    bool UpdateIuf(const std::string& source) {
        trace = dir / ("iuf" + std::to_string(++runs) + ".log");
        clsMajIUF updater(FixedClock(2026, 6, 15));
        try {
            return updater.bImport_CodeIUF(source, db, trace, nullptr, false, "");
        } catch (const Error& e) {
            said.push_back(e.description());
            throw;
        }
    }

    std::vector<std::string> Trace() const { return quorvel::test::ReadTrace(trace); }

    // The command-line program with `args`, its output and errors captured apart. With
    // `unprivileged`, a root test process runs it as the user nobody, for whom file permissions
    // count (root reads and writes whatever they say); nullopt when that is impossible here.
    std::optional<CliOutcome> Cli(std::vector<std::string> args, bool unprivileged = false) {
        std::string out = dir / ("cli" + std::to_string(++runs) + ".out");
        std::string err = dir / ("cli" + std::to_string(runs) + ".err");
        args.insert(args.begin(), QUORVEL_CLI);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = ::fork();
        if (pid == 0) {
            int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
            if (o < 0 || e < 0 || ::dup2(o, 1) < 0 || ::dup2(e, 2) < 0) _exit(126);
            if (unprivileged && ::geteuid() == 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                _exit(125);
            ::execv(argv[0], argv.data());
            _exit(127);
        }
        int raw = 0;
        ::waitpid(pid, &raw, 0);
        CliOutcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        if (o.status == 125 && unprivileged) return std::nullopt;
        o.out = ReadFile(out);
        o.err = ReadFile(err);
        said.push_back(o.err);
        return o;
    }

    // The arguments of an import through the command line, into `database` (the test's database
    // unless said).
    std::vector<std::string> ImportArgs(const std::string& source, const std::string& work,
                                        const std::string& tracePath, std::string database = "") {
        fs::create_directories(work);
        trace = tracePath;
        return {"import-licences",
                "--db",
                database.empty() ? db : database,
                "--source",
                source,
                "--work",
                work,
                "--trace",
                trace,
                "--today",
                "2026-06-15"};
    }

    // Lets the user nobody reach the test's folder and write the database and the TraceLog.
    void OpenToEveryone() {
        fs::permissions(dir.path(), fs::perms::all);
        fs::permissions(db, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
    }

    // Every row of the tables the import writes, by table, and under "integrity_check" what the
    // engine finds wrong with the file ("ok" when nothing), all read through one connection.
    std::map<std::string, Rows> Stored() {
        Reader reader(db);
        std::map<std::string, Rows> rows;
        rows["integrity_check"] = reader.All("PRAGMA integrity_check");
        for (const auto& t : reader.All("select name from sqlite_master where type = 'table' and name in "
                                        "('Club', 'Licence', 'Selection')"))
            rows[t[0]] = reader.All("select * from " + t[0] + " order by Num");
        return rows;
    }

    // The database is sound and every row stored before the bad input is still there, unchanged
    // (rows added after them are not looked at).
    void ExpectNothingLost() {
        auto now = Stored();
        EXPECT_EQ(now["integrity_check"], (Rows{{"ok"}}));
        for (const auto& [table, rows] : before) {
            if (table == "integrity_check") continue;
            ASSERT_TRUE(now.count(table)) << table;
            Rows earlier(now[table].begin(),
                         now[table].begin() + static_cast<long>(std::min(rows.size(), now[table].size())));
            EXPECT_EQ(earlier, rows) << table;
        }
    }

    // Exit status 2 and exactly one stderr line holding every piece of `expected`.
    static void ExpectOneErrorLine(const CliOutcome& o, std::initializer_list<std::string> expected) {
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << o.err;
        for (const auto& piece : expected)
            EXPECT_NE(o.err.find(piece), std::string::npos) << "\"" << piece << "\" in: " << o.err;
    }

    TempDir dir;
    std::string db = dir / "club.db";
    std::string trace;
    std::map<std::string, Rows> before;
    std::vector<std::string> said;
    int exports = 0;
    int runs = 0;
};

// The licence pass ended: with its summary, or with its interruption message.
bool LicencePassEnded(const std::vector<std::string>& lines) {
    auto pass = std::find(lines.begin(), lines.end(), "Traitement des licences depuis fichier Licence.txt");
    return std::any_of(pass, lines.end(), [](const std::string& l) {
        return l == "Import des licences interrompu." ||
               (l.size() > 10 && l.compare(l.size() - 10, 10, "en erreur.") == 0);
    });
}

// PRAGMA integrity_check's findings, read to the end even when the engine gives up part-way.
Rows Damage(const std::string& db) {
    return Reader(db).All("PRAGMA integrity_check");
}

} // namespace

TEST_F(BadInput, GarbageInAnyExportFileIsReportedAndLosesNothing) {
    for (const char* name : {"licence.txt", "club.txt", "origine.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Import(Export({{name, Garbage(8000, 7)}})));
        auto lines = Trace();
        EXPECT_TRUE(Contains(lines, "Fin importation : 15/06/2026 00:00:00"));
        EXPECT_TRUE(LicencePassEnded(lines));
        if (std::string(name) != "origine.txt") {
            EXPECT_TRUE(AnyStartsWith(lines, "Erreur Ligne n° : "));
        }
        ExpectNothingLost();
    }
    // The IUF update skips a file of garbage (its first line is not 45 characters long), and
    // reports as unknown the licences of garbage lines that follow a 45-character first line.
    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/garbage.txt", Garbage(8000, 11));
    WriteFile(iuf + "/iuf_then_garbage.txt", std::string(45, '9') + "\r\n" + Garbage(8000, 13));
    EXPECT_TRUE(UpdateIuf(iuf));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Longueur des lignes dans le fichier " + iuf + "/garbage.txt insuffisante."));
    EXPECT_TRUE(AnyStartsWith(lines, "Mise à jour de 0 licence sur "));
    ExpectNothingLost();
}

TEST_F(BadInput, NulBytesAreReportedAndNeverWrittenToTheTraceLog) {
    // A file of zeros (space reserved, never written: what a crash can leave behind) and a good line
    // with NUL bytes in its club code.
    std::string zeros(4096, '\0');
    quorvel::test::LicenceLine nulClub;
    nulClub.club = std::string("FRA\0\0\0\0\0\0\0\0\0\0", 13);
    for (const char* name : {"licence.txt", "club.txt", "origine.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Import(Export({{name, zeros}})));
        EXPECT_TRUE(LicencePassEnded(Trace()));
        EXPECT_EQ(ReadFile(trace).find('\0'), std::string::npos);
        ExpectNothingLost();
    }
    EXPECT_TRUE(Import(Export({{"licence.txt", quorvel::test::CrLfLines({nulClub.Build()})}})));
    // The NUL bytes show as "?".
    EXPECT_TRUE(Contains(Trace(), "Code club (FRA" + std::string(10, '?') +
                                      ") inconnu de la base. Echec de la création avec Le libelle Null."));
    ExpectNothingLost();

    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/zeros.txt", std::string(45, '\0') + "\r\n" + std::string(45, '\0'));
    EXPECT_TRUE(UpdateIuf(iuf));
    EXPECT_TRUE(Contains(Trace(), "2 licences inconnues."));
    ExpectNothingLost();
}

TEST_F(BadInput, ATenMegabyteLineIsCutIntoItsFieldsLikeAnyOther) {
    const std::string tail(10 << 20, 'x');
    quorvel::test::LicenceLine licence = NewLicence("991234");
    std::string clubs = Sample("club.txt");
    std::string club = clubs.substr(clubs.find("FRA5110750012"), 43); // a club the database knows
    EXPECT_TRUE(Import(Export({{"licence.txt", licence.Build() + tail + "\r\n"},
                               {"club.txt", club + tail},
                               {"origine.txt", "Registre " + tail}})));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Données source générées par l'application : Registre " + tail));
    EXPECT_TRUE(Contains(lines, "1 club déjà connu."));
    EXPECT_TRUE(Contains(lines, "Récupération de 1 licence sur 1."));
    // Fields are cut at their places; what follows the record is not read.
    EXPECT_EQ(Query(db, "select Nom, Date_Naissance, Code_unique from Licence where licence = '991234'"),
              (Rows{{"DUPONT", "19990101", "1234567"}}));
    ExpectNothingLost();

    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/long.txt", tail + "\r\n");
    EXPECT_TRUE(UpdateIuf(iuf));
    EXPECT_TRUE(Contains(Trace(), "Longueur des lignes dans le fichier " + iuf + "/long.txt insuffisante."));
    ExpectNothingLost();
}

TEST_F(BadInput, AFileWithoutALineEndIsReadToItsLastByte) {
    quorvel::test::LicenceLine licence = NewLicence("991235");
    EXPECT_TRUE(Import(Export({{"licence.txt", licence.Build()},
                               {"club.txt", quorvel::test::ClubLine("FRA5110750099", "Sans fin de ligne")},
                               {"origine.txt", "Registre sans fin de ligne"}})));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Données source générées par l'application : Registre sans fin de ligne"));
    EXPECT_TRUE(Contains(lines, "Récupération de 1 club sur 1."));
    EXPECT_TRUE(Contains(lines, "Récupération de 1 licence sur 1."));
    EXPECT_EQ(Scalar(db, "select Intitule from Club where Code_federal = 'FRA5110750099'"),
              "Sans fin de ligne");

    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/codes.txt", "110750012991235" + std::string("7654321") + std::string(23, ' '));
    EXPECT_TRUE(UpdateIuf(iuf));
    EXPECT_EQ(Scalar(db, "select Code_unique from Licence where licence = '991235'"), "7654321");
    ExpectNothingLost();
}

TEST_F(BadInput, AnExportSavedAgainAsUtf8ImportsTheSameRowsAsTheDosOne) {
    // An editor saves the export as UTF-8 with a byte-order mark: each accented letter takes two
    // bytes, which would shift every field after it.
    auto utf8 = [](const std::string& name) {
        return "\xEF\xBB\xBF" + base::Cp1252ToUtf8(base::strConversionDos(Sample(name)));
    };
    std::string fromDos = dir / "dos.db";
    std::string fromUtf8 = dir / "utf8.db";
    quorvel::test::CreateDatabase(fromDos);
    quorvel::test::CreateDatabase(fromUtf8);
    ASSERT_TRUE(Import(QUORVEL_SAMPLE_DIR, fromDos));
    auto dosTrace = quorvel::test::ReadTraceNoDates(trace);
    ASSERT_TRUE(Import(Export({{"licence.txt", utf8("licence.txt")},
                               {"club.txt", utf8("club.txt")},
                               {"origine.txt", utf8("origine.txt")}}),
                       fromUtf8));
    EXPECT_EQ(quorvel::test::ReadTraceNoDates(trace), dosTrace);
    for (std::string table : {"Club", "Licence", "Selection"})
        EXPECT_EQ(Query(fromUtf8, "select * from " + table + " order by Num"),
                  Query(fromDos, "select * from " + table + " order by Num"))
            << table;
}

TEST_F(BadInput, AFolderOrAPipeWhereAFileIsExpected) {
    // licence.txt is a folder: not found, nothing imported.
    std::string source = Export({{"licence.txt", std::nullopt}});
    fs::create_directories(source + "/licence.txt");
    EXPECT_FALSE(Import(source));
    EXPECT_TRUE(Contains(Trace(), "Fichier licence.txt non trouvé dans le répertoire : " + source));

    // club.txt is a folder: reported missing, the licences still come in.
    source = Export({{"club.txt", std::nullopt}});
    fs::create_directories(source + "/club.txt");
    EXPECT_TRUE(Import(source));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Fichier club.txt non trouvé dans le répertoire : " + source));
    EXPECT_TRUE(Contains(lines, "Fichier Club.txt non disponible."));
    EXPECT_TRUE(Contains(lines, "Récupération de 0 licence sur 25."));

    // A named pipe is no file either: nothing waits for a writer that never comes.
    source = Export({{"licence.txt", std::nullopt}});
    ASSERT_EQ(::mkfifo((source + "/licence.txt").c_str(), 0644), 0);
    EXPECT_FALSE(Import(source));
    EXPECT_TRUE(Contains(Trace(), "Fichier licence.txt non trouvé dans le répertoire : " + source));
    std::string iuf = dir / "iuf-with-pipe";
    fs::create_directories(iuf);
    ASSERT_EQ(::mkfifo((iuf + "/codes.txt").c_str(), 0644), 0);
    EXPECT_TRUE(UpdateIuf(iuf));
    EXPECT_EQ(quorvel::test::ReadTraceNoDates(trace),
              (std::vector<std::string>{"Début de l'import : <date>", "", "Fin mise à jour : <date>"}));

    // The TraceLog is a folder: the call fails, naming it.
    std::string folderTrace = dir / "trace-folder";
    fs::create_directories(folderTrace);
    auto o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "w1", folderTrace));
    ExpectOneErrorLine(*o, {folderTrace, "Un dossier se trouve là où un fichier est attendu"});

    // The database is a folder: the connection fails, the TraceLog says so.
    fs::create_directories(dir / "db-folder");
    o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "w2", dir / "t2.log", dir / "db-folder"));
    EXPECT_EQ(o->status, 1) << o->err;
    lines = Trace();
    EXPECT_TRUE(Contains(lines, "Erreur de connexion dans dll d'import des licences."));
    EXPECT_TRUE(Contains(lines, "Erreur n° 14: unable to open database file"));
    ExpectNothingLost();
}

TEST_F(BadInput, AnUnreadableFileFailsTheCallNamingIt) {
    std::string source = Export({});
    ::chmod((source + "/licence.txt").c_str(), 0);
    OpenToEveryone();
    fs::create_directories(dir / "work");
    fs::permissions(dir / "work", fs::perms::all);
    auto o = Cli(ImportArgs(source, dir / "work", dir / "t1.log"), true);
    if (!o)
        GTEST_SKIP() << "running as root and unable to act as the user nobody, for whom permissions count";
    ExpectOneErrorLine(*o, {"Erreur n° 70", "Permission refusée", source + "/licence.txt"});

    ::chmod((source + "/licence.txt").c_str(), 0644);
    ::chmod((source + "/club.txt").c_str(), 0);
    o = Cli(ImportArgs(source, dir / "work", dir / "t2.log"), true);
    ExpectOneErrorLine(*o, {"Erreur n° 70", "Permission refusée", source + "/club.txt"});

    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/codes.txt", Sample("codes_iuf.txt"));
    ::chmod((iuf + "/codes.txt").c_str(), 0);
    o = Cli({"update-iuf", "--db", db, "--source", iuf, "--trace", dir / "t3.log"}, true);
    ExpectOneErrorLine(*o, {"Erreur n° 70", "Permission refusée", iuf + "/codes.txt"});
    ExpectNothingLost();
}

TEST_F(BadInput, ASourcePathThatIsAFileFailsTheCallNamingIt) {
    std::string file = dir / "not-a-folder.txt";
    WriteFile(file, "x");
    auto o = Cli(ImportArgs(file, dir / "w", dir / "t1.log"));
    ExpectOneErrorLine(*o, {"Erreur n° 76", "ce n'est pas un dossier", file});
    o = Cli({"update-iuf", "--db", db, "--source", file, "--trace", dir / "t2.log"});
    ExpectOneErrorLine(*o, {"Erreur n° 76", "ce n'est pas un dossier", file});
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1") << "the database was never opened";
    ExpectNothingLost();
}

TEST_F(BadInput, AMissingOrReadOnlyWorkingFolderFailsTheCallNamingIt) {
    std::string missing = dir / "no-work";
    auto o = Cli({"import-licences", "--db", db, "--source", QUORVEL_SAMPLE_DIR, "--work", missing, "--trace",
                  dir / "t1.log"});
    ExpectOneErrorLine(*o, {"Erreur n° 53", missing + "/licence.txt"});
    ExpectNothingLost();

    std::string readOnly = dir / "read-only-work";
    fs::create_directories(readOnly);
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    OpenToEveryone();
    o = Cli({"import-licences", "--db", db, "--source", QUORVEL_SAMPLE_DIR, "--work", readOnly, "--trace",
             dir / "t2.log"},
            true);
    if (!o)
        GTEST_SKIP() << "running as root and unable to act as the user nobody, for whom permissions count";
    ExpectOneErrorLine(*o, {"Erreur n° 70", "Permission refusée", readOnly + "/licence.txt"});
    EXPECT_TRUE(fs::is_empty(readOnly));
    ExpectNothingLost();
}

TEST_F(BadInput, ATraceLogThatCannotBeCreatedOrWrittenFailsTheCallNamingIt) {
    std::string inMissing = dir / "no-folder/trace.log";
    auto o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "w1", inMissing));
    ExpectOneErrorLine(*o, {"Erreur n° 53", inMissing});
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1") << "the database was never opened";
    o = Cli({"update-iuf", "--db", db, "--source", QUORVEL_SAMPLE_DIR, "--trace", inMissing});
    ExpectOneErrorLine(*o, {"Erreur n° 53", inMissing});

    // A full disk: the TraceLog cannot be written out, which the call reports; the rows the run
    // stored are kept.
    if (fs::exists("/dev/full")) {
        std::string source =
            Export({{"licence.txt", quorvel::test::CrLfLines({NewLicence("991236").Build()})}});
        o = Cli(ImportArgs(source, dir / "w2", "/dev/full"));
        ExpectOneErrorLine(*o, {"Erreur n° 61", "Disque plein", "/dev/full"});
        EXPECT_EQ(Scalar(db, "select count(*) from Licence where licence = '991236'"), "1");
    }
    ExpectNothingLost();
}

TEST_F(BadInput, AReadOnlyDatabaseIsAConnectionFailure) {
    OpenToEveryone();
    fs::permissions(db, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string bytes = ReadFile(db);
    fs::create_directories(dir / "work");
    fs::permissions(dir / "work", fs::perms::all);
    auto o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "work", dir / "t.log"), true);
    if (!o)
        GTEST_SKIP() << "running as root and unable to act as the user nobody, for whom permissions count";
    EXPECT_EQ(o->status, 1) << o->err;
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Erreur de connexion dans dll d'import des licences."));
    EXPECT_TRUE(Contains(lines, "Erreur n° 8: attempt to write a readonly database"));
    EXPECT_EQ(ReadFile(db), bytes);
    ExpectNothingLost();
}

TEST_F(BadInput, ADamagedDatabaseIsReportedAndNotDamagedFurther) {
    // Pages in the middle of the file overwritten: the import reads them, reports the engine's
    // "malformed" error and goes on; what the engine finds wrong before and after is the same.
    // The pages are those of the index that every licence lookup reads.
    long page =
        std::stol(Scalar(db, "select rootpage from sqlite_master where name = 'Licence_Club_Licence'"));
    long size = std::stol(Scalar(db, "PRAGMA page_size"));
    std::string bytes = ReadFile(db);
    ASSERT_LT((page + 1) * size, static_cast<long>(bytes.size()));
    std::fill(bytes.begin() + (page - 1) * size, bytes.begin() + (page + 1) * size, '\xAA');
    WriteFile(db, bytes);
    Rows damage = Damage(db);
    ASSERT_NE(damage, (Rows{{"ok"}}));

    auto o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "w", dir / "t.log"));
    EXPECT_EQ(o->status, 0) << "the passes report the damage themselves: " << o->err;
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "6 clubs déjà connus."));
    EXPECT_TRUE(Contains(lines, "Import des licences interrompu."));
    EXPECT_TRUE(Contains(lines, "Erreur n° 11: database disk image is malformed"));
    EXPECT_EQ(Damage(db), damage);
    EXPECT_EQ(Query(db, "select * from Club order by Num"), before["Club"]);
}

TEST_F(BadInput, ADatabaseWithoutATableOrAColumnInterruptsOnlyWhatNeedsIt) {
    // No Licence table: the clubs are checked, the licence pass stops at its first line.
    quorvel::test::Exec(db, "ALTER TABLE Licence RENAME TO Licence_old");
    before = Stored();
    EXPECT_TRUE(Import(QUORVEL_SAMPLE_DIR));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "6 clubs déjà connus."));
    EXPECT_TRUE(Contains(lines, "Import des licences interrompu."));
    EXPECT_TRUE(Contains(lines, "Erreur n° 1: no such table: Licence"));
    EXPECT_TRUE(UpdateIuf(QUORVEL_SAMPLE_DIR));
    EXPECT_TRUE(Contains(Trace(), "Mise à jour des codes IUF interrompu."));
    ExpectNothingLost();
    EXPECT_EQ(Query(db, "select * from Licence_old order by Num").size(), 21u);
    quorvel::test::Exec(db, "ALTER TABLE Licence_old RENAME TO Licence");

    // Licence without its Prenom column: every lookup fails.
    quorvel::test::Exec(db, "CREATE TABLE L2 AS SELECT Num, Code_club, licence, Nom FROM Licence; "
                            "ALTER TABLE Licence RENAME TO Licence_full; ALTER TABLE L2 RENAME TO Licence");
    before = Stored();
    EXPECT_TRUE(Import(QUORVEL_SAMPLE_DIR));
    EXPECT_TRUE(Contains(Trace(), "Erreur n° 1: no such column: Prenom"));
    ExpectNothingLost();
    quorvel::test::Exec(db, "DROP TABLE Licence; ALTER TABLE Licence_full RENAME TO Licence");

    // No Selection table: a selection entry stores the swimmer and reports the membership it
    // could not store.
    quorvel::test::Exec(db, "DROP TABLE Selection");
    before = Stored();
    quorvel::test::LicenceLine entry = NewLicence("991238");
    entry.club = "FRA5110000000";
    entry.origineClub = "FRA5110750012";
    entry.origineLicence = "991237";
    EXPECT_TRUE(Import(Export({{"licence.txt", quorvel::test::CrLfLines({entry.Build()})}})));
    lines = Trace();
    EXPECT_TRUE(Contains(lines, "Problème lors de l'ajout du nageur dans la sélection."));
    EXPECT_TRUE(Contains(lines, "Erreur n° 1: no such table: Selection"));
    EXPECT_TRUE(Contains(lines, "Récupération de 1 licence sur 1."));
    EXPECT_EQ(Scalar(db, "select Code_club from Licence where licence = '991237'"), "FRA5110750012");
    ExpectNothingLost();

    // No Info table: the connection cannot record that it is open, and nothing starts.
    quorvel::test::Exec(db, "DROP TABLE Info");
    before = Stored();
    EXPECT_FALSE(Import(QUORVEL_SAMPLE_DIR));
    EXPECT_TRUE(Contains(Trace(), "Erreur n° 1: no such table: Info"));
    ExpectNothingLost();
}

TEST_F(BadInput, ADatabaseUnderAnotherKeyOrNotADatabaseIsAConnectionFailure) {
    std::string other = dir / "other.db";
    sqlite3* handle = nullptr;
    ASSERT_EQ(sqlite3_open(other.c_str(), &handle), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(handle, "PRAGMA key = 'autre'; CREATE TABLE Info (LastClose INTEGER);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(handle);
    std::string notADatabase = dir / "licence-as-db.db";
    WriteFile(notADatabase, Sample("licence.txt"));
    for (const std::string& path : {other, notADatabase}) {
        SCOPED_TRACE(path);
        std::string bytes = ReadFile(path);
        auto o = Cli(ImportArgs(QUORVEL_SAMPLE_DIR, dir / "w", dir / "t.log", path));
        EXPECT_EQ(o->status, 1) << o->err;
        EXPECT_TRUE(Contains(Trace(), "Erreur n° 26: file is encrypted or is not a database"));
        EXPECT_EQ(ReadFile(path), bytes) << "left as it was";
    }
    ExpectNothingLost();
}

TEST_F(BadInput, CodesAndNamesThatLookLikeSqlAreStoredAsTheyAre) {
    const std::string attack = "'; DROP TABLE Licence; --";
    const std::string tables = "select group_concat(name) from sqlite_master where type = 'table'";
    const std::string tablesBefore = Scalar(db, tables);
    // The birth date's "year" matches the number's first two characters, so the number is kept.
    quorvel::test::LicenceLine l = NewLicence("';DROP");
    l.nom = attack;
    l.prenom = "x' OR '1'='1";
    l.adresse = attack;
    std::string clubs = quorvel::test::CrLfLines({quorvel::test::ClubLine("'; DROP TABLE", "Injection"),
                                                  quorvel::test::ClubLine("FRA5110750098", attack)});
    EXPECT_TRUE(
        Import(Export({{"licence.txt", quorvel::test::CrLfLines({l.Build()})}, {"club.txt", clubs}})));
    auto lines = Trace();
    EXPECT_TRUE(Contains(lines, "Le code club est erronné : '; DROP TABLE"));
    EXPECT_TRUE(Contains(lines, "Récupération de 1 licence sur 1."));
    EXPECT_EQ(Query(db, "select Nom, Prenom, Adresse from Licence where licence = ''';DROP'"),
              (Rows{{"'; DROP TABLE LICENCE; --", "x' OR '1'='1", attack}}));
    EXPECT_EQ(Scalar(db, "select Intitule from Club where Code_federal = 'FRA5110750098'"), attack);

    std::string iuf = dir / "iuf";
    WriteFile(iuf + "/codes.txt", "110750012';DROP" + attack + std::string(5, ' ') + "\r\n");
    EXPECT_TRUE(UpdateIuf(iuf));
    EXPECT_EQ(Scalar(db, "select Code_unique from Licence where licence = ''';DROP'"), attack);
    EXPECT_EQ(Scalar(db, tables), tablesBefore);
    ExpectNothingLost();
}

TEST_F(BadInput, FilesAreCreatedWithTheUsersPermissionsAndTheDatabaseIsNeverReadableWithoutTheKey) {
    for (mode_t mask : {mode_t{022}, mode_t{027}}) {
        SCOPED_TRACE(mask);
        mode_t previous = ::umask(mask);
        std::string fresh = dir / ("fresh" + std::to_string(mask) + ".db");
        auto init = Cli({"init-db", fresh});
        EXPECT_TRUE(Import(QUORVEL_SAMPLE_DIR));
        ::umask(previous);
        ASSERT_EQ(init->status, 0) << init->err;
        struct stat st {};
        for (const std::string& path : {trace, dir / ("work" + std::to_string(runs)) + "/licence.txt",
                                        dir / ("work" + std::to_string(runs)) + "/club.txt", fresh}) {
            ASSERT_EQ(::stat(path.c_str(), &st), 0) << path;
            EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask) << path;
        }
    }
    // Neither the header nor a stored name can be read from the file without the key.
    std::string bytes = ReadFile(db);
    EXPECT_NE(bytes.substr(0, 16), std::string("SQLite format 3\0", 16));
    for (const char* stored : {"GUILLOU", "Rennes Aquatique", "FRA1010350007", "CREATE TABLE"})
        EXPECT_EQ(bytes.find(stored), std::string::npos) << stored;
}
