// Failures injected into whole imports: a refused row, an interrupted pass, a killed process, two
// imports sharing the database, a damaged page, a full disk, a reader or a writer beside a run.
// Whatever happens, the database stays sound, keeps every row stored before the failure, and the
// TraceLog's counts equal its rows.

#include "session/pass.hpp"
#include "support/support.hpp"

#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/run_report.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <functional>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quorvel;
using namespace quorvel::test;

namespace {

bool Import(Workspace& w, const std::string& work, HostForm* form = nullptr) {
    std::filesystem::create_directories(work);
    return clsRecupLicence(FixedClock(2026, 12, 6)).bImport_Licence(w.db, w.source, work, w.trace, form);
}

bool Has(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

// What an import stored, without the keys the database assigns.
std::vector<std::vector<std::string>> Content(const std::string& db) {
    return Query(db, "select Code_club, licence, Nom, Date_Naissance from Licence order by 1, 2");
}

// What the engine finds wrong with the file, the failure's own message last.
std::vector<std::string> Damage(const std::string& db) {
    sqlite3* h = nullptr;
    std::vector<std::string> rows;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    auto onRow = [](void* out, int, char** values, char**) {
        static_cast<std::vector<std::string>*>(out)->emplace_back(values[0] ? values[0] : "NULL");
        return 0;
    };
    if (sqlite3_exec(h, "PRAGMA key = 'quenoril'; PRAGMA integrity_check", onRow, &rows, nullptr) !=
        SQLITE_OK)
        rows.emplace_back(sqlite3_errmsg(h));
    sqlite3_close(h);
    return rows;
}

// Reports reaching `threshold` percent through a pipe, then waits to be killed. Half-way there it
// pauses past the time a batch of lines may last, so that some work is committed and some is not.
class StopAtForm : public RecordingForm {
public:
    StopAtForm(double threshold, int fd) : threshold_(threshold), fd_(fd) {}
    void SetProgressValue(double v) override {
        value = v;
        if (v >= threshold_ / 2 && !paused_) {
            paused_ = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        }
        if (v >= threshold_) {
            if (::write(fd_, "x", 1) != 1) _exit(3);
            for (;;)
                ::pause();
        }
    }

private:
    double threshold_;
    int fd_;
    bool paused_ = false;
};

} // namespace

TEST(Faults, ARowRefusedMidFileUndoesOnlyItselfAndAnInterruptionKeepsEveryEarlierRow) {
    // The engine undoes the refused statement alone, or the whole transaction with it.
    for (const char* undo : {"ABORT", "ROLLBACK"}) {
        SCOPED_TRACE(undo);
        Workspace w;
        WriteFile(w.source + "/licence.txt", LicenceLines(20000));
        Exec(w.db, std::string("CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.Nom = 'NOM10000' "
                               "BEGIN SELECT RAISE(") +
                       undo + ", 'refus'); END;");
        RunReport report;
        std::filesystem::create_directories(w.work);
        ImportOptions options;
        options.report = &report;
        ASSERT_TRUE(clsRecupLicence(FixedClock(2026, 12, 6))
                        .bImport_Licence(w.db, w.source, w.work, w.trace, nullptr, options));
        auto lines = ReadTrace(w.trace);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "Erreur Ligne n° : 10001."), 2);
        EXPECT_TRUE(Has(lines, "Récupération de 19999 licences sur 20000."));
        EXPECT_TRUE(Has(lines, "1 entrée en erreur."));
        EXPECT_EQ(std::count_if(report.entries.begin(), report.entries.end(),
                                [](const ReportEntry& e) { return e.line == 10001; }),
                  2);
        EXPECT_EQ(Scalar(w.db, "select count(*) from Licence"), "19999");
        EXPECT_EQ(Scalar(w.db, "select count(*) from Licence where Nom in ('NOM9999', 'NOM10001')"), "2");
    }

    // A licence number that does not open with a year stops the pass at its line.
    Workspace v;
    std::string text = LicenceLines(20000);
    text.replace(15000 * 250 + 13, 2, "XX");
    WriteFile(v.source + "/licence.txt", text);
    ASSERT_TRUE(Import(v, v.work));
    EXPECT_TRUE(Has(ReadTrace(v.trace), "Import des licences interrompu."));
    EXPECT_EQ(Scalar(v.db, "select count(*) from Licence"), "15000");
    EXPECT_EQ(Scalar(v.db, "PRAGMA integrity_check"), "ok");
}

TEST(Faults, AnImportKilledMidwayLosesNothingThatASecondImportDoesNotComplete) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(6000));
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        StopAtForm form(60, fds[1]);
        Import(w, w.work, &form);
        _exit(0);
    }
    ::close(fds[1]);
    char c = 0;
    ASSERT_EQ(::read(fds[0], &c, 1), 1) << "the import never got to 60 %";
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(fds[0]);

    EXPECT_EQ(Scalar(w.db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Scalar(w.db, "select LastClose from Info"), "0") << "the host can tell the import did not end";
    EXPECT_GT(std::stol(Scalar(w.db, "select count(*) from Licence")), 0) << "committed rows stay";
    ASSERT_TRUE(Import(w, w.dir / "work2"));
    EXPECT_EQ(Scalar(w.db, "select count(*) from Licence"), "6000");
    EXPECT_EQ(Scalar(w.db, "select LastClose from Info"), "1");
}

TEST(Faults, TwoImportsAtOnceStoreWhatOneImportWould) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(6000));
    EXPECT_TRUE(BothAtOnce([&](int k) {
        w.trace = w.dir / ("t" + std::to_string(k) + ".log"); // this process's own copy
        return Import(w, w.dir / ("work" + std::to_string(k)));
    }));
    EXPECT_EQ(Scalar(w.db, "PRAGMA integrity_check"), "ok");
    Workspace alone;
    WriteFile(alone.source + "/licence.txt", LicenceLines(6000));
    ASSERT_TRUE(Import(alone, alone.work));
    EXPECT_EQ(Content(w.db), Content(alone.db));
    for (int k = 0; k < 2; ++k)
        for (const auto& line : ReadTrace(w.dir / ("t" + std::to_string(k) + ".log")))
            EXPECT_EQ(line.find("interrompu"), std::string::npos) << line;
}

TEST(Faults, ADamagedDatabaseIsReportedAndNotDamagedFurther) {
    Workspace w;
    for (const char* name : {"licence.txt", "club.txt"})
        WriteFile(w.source + "/" + name, ReadFile(std::string(QUORVEL_SAMPLE_DIR) + "/" + name));
    ASSERT_TRUE(Import(w, w.work));
    // The pages of the index that every licence lookup reads are overwritten.
    long page =
        std::stol(Scalar(w.db, "select rootpage from sqlite_master where name = 'Licence_Club_Licence'"));
    long size = std::stol(Scalar(w.db, "PRAGMA page_size"));
    std::string bytes = ReadFile(w.db);
    std::fill(bytes.begin() + (page - 1) * size, bytes.begin() + (page + 1) * size, '\xAA');
    WriteFile(w.db, bytes);
    auto damage = Damage(w.db);
    ASSERT_NE(damage, std::vector<std::string>{"ok"});
    auto clubs = Query(w.db, "select * from Club order by Num");

    ASSERT_TRUE(Import(w, w.dir / "work2"));
    auto lines = ReadTrace(w.trace);
    EXPECT_TRUE(Has(lines, "6 clubs déjà connus."));
    EXPECT_TRUE(Has(lines, "Import des licences interrompu."));
    EXPECT_TRUE(Has(lines, "Erreur n° 11: database disk image is malformed"));
    EXPECT_EQ(Damage(w.db), damage);
    EXPECT_EQ(Query(w.db, "select * from Club order by Num"), clubs);
}

namespace {

// A tmpfs of `size` mounted for a test, and unmounted after it. Mounting needs root: `mounted`
// says whether it worked.
struct SmallDisk {
    explicit SmallDisk(const std::string& size) : path(dir / "disk") {
        std::filesystem::create_directories(path);
        mounted = RunProgram({"mount", "-t", "tmpfs", "-o", "size=" + size, "tmpfs", path}).status == 0;
    }
    ~SmallDisk() {
        if (mounted) RunProgram({"umount", path});
    }
    TempDir dir;
    std::string path;
    bool mounted = false;
};

// Stops the run the first time the bar moves, until the parent answers through the pipes.
class HandshakeForm : public RecordingForm {
public:
    HandshakeForm(int out, int in, std::chrono::microseconds slowness)
        : out_(out), in_(in), slowness_(slowness) {}
    void SetProgressValue(double v) override {
        value = v;
        if (++steps_ % 10 == 0) std::this_thread::sleep_for(slowness_);
        if (done_) return;
        done_ = true;
        char c = 'x';
        if (::write(out_, &c, 1) != 1 || ::read(in_, &c, 1) != 1) _exit(3);
    }

private:
    int out_, in_;
    std::chrono::microseconds slowness_;
    long steps_ = 0;
    bool done_ = false;
};

// Runs an import of `w` in a child process that waits at its first progress step until `during`
// has run in this process, and spends `slowness` every ten steps; returns the import's result.
bool ImportAround(Workspace& w, const std::function<void()>& during,
                  std::chrono::microseconds slowness = {}) {
    int toParent[2], toChild[2];
    if (::pipe(toParent) != 0 || ::pipe(toChild) != 0) return false;
    pid_t pid = ::fork();
    if (pid == 0) {
        HandshakeForm form(toParent[1], toChild[0], slowness);
        _exit(Import(w, w.work, &form) ? 0 : 1);
    }
    char c = 0;
    bool started = ::read(toParent[0], &c, 1) == 1;
    if (started) during();
    if (::write(toChild[1], "x", 1) != 1) started = false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        ::close(fd);
    return started && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The TraceLog with the workspace's own paths taken out, so that two workspaces compare.
std::vector<std::string> TraceOf(const Workspace& w) {
    auto lines = ReadTrace(w.trace);
    for (auto& line : lines)
        for (const std::string& path : {w.source, w.work})
            for (auto at = line.find(path); at != std::string::npos; at = line.find(path))
                line.replace(at, path.size(), "$");
    return lines;
}

long Count(const std::string& db, const std::string& table) {
    return std::stol(Scalar(db, "select count(*) from " + table));
}

} // namespace

TEST(Faults, ADiskThatFillsUpMidImportLeavesEveryLineNotStoredWithItsEntry) {
    SmallDisk disk("1m");
    if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    Workspace w;
    std::string db = disk.path + "/club.db";
    std::filesystem::copy_file(w.db, db);
    w.db = db;
    WriteFile(w.source + "/licence.txt", LicenceLines(12000));
    RunReport report;
    ImportOptions options;
    options.report = &report;
    clsRecupLicence(FixedClock(2026, 12, 6))
        .bImport_Licence(w.db, w.source, w.work, w.trace, nullptr, options);
    long stored = Count(db, "Licence");
    EXPECT_GT(stored, 0);
    EXPECT_LT(stored, 12000) << "the disk was meant to fill up";
    auto lines = ReadTrace(w.trace);
    EXPECT_TRUE(Has(lines, "Récupération de " + std::to_string(stored) + " licences sur 12000."));
    EXPECT_TRUE(Has(lines, std::to_string(12000 - stored) + " entrées en erreur."));
    long lineErrors = std::count_if(report.entries.begin(), report.entries.end(),
                                    [](const ReportEntry& e) { return e.line > 0 && e.kind == "Erreur"; });
    EXPECT_GE(lineErrors, 12000 - stored) << "every line not stored has its entry";
    LicenceCounts counts = report.passes.back().Licences();
    EXPECT_EQ(counts.imported, stored);
    EXPECT_EQ(counts.imported + counts.errors, counts.lines);
    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
}

// The lines of a re-import: every known licence under another name (a warning each), then a new
// one.
std::string KnownUnderOtherNamesAndNew(int count) {
    std::string known = LicenceLines(count), fresh = LicenceLines(count, 10000), text;
    for (int i = 0; i < count; ++i) {
        std::string line = known.substr(i * 250, 250);
        std::string name = "AUTRE" + std::to_string(i);
        line.replace(19, name.size(), name);
        text += line + fresh.substr(i * 250, 250);
    }
    return text;
}

TEST(Faults, ATraceLogWhoseDiskFillsUpStopsTheRunWithTheCountsOfTheRowsAndNoHalfEntry) {
    SmallDisk disk("192k");
    if (!disk.mounted) GTEST_SKIP() << "mounting a tmpfs needs root";
    struct Engine {
        const char* name;
        bool server;
    };
    for (Engine engine : {Engine{"file", false}, Engine{"server", true}}) {
        SCOPED_TRACE(engine.name);
        Workspace w;
        if (engine.server && !ServerWorkspace(w, "quorvel_trace_full")) continue;
        ImportOptions options;
        if (engine.server) options.server = w.db;
        WriteFile(w.source + "/licence.txt", LicenceLines(4000));
        std::filesystem::create_directories(w.work);
        auto import = [&](const std::string& trace) {
            return clsRecupLicence(FixedClock(2026, 12, 6))
                .bImport_Licence(w.db, w.source, w.work, trace, nullptr, options);
        };
        ASSERT_TRUE(import(w.trace));
        auto rows = [&] {
            return std::stol(engine.server ? ServerSql(w.db, "select count(*) from Licence")
                                           : Scalar(w.db, "select count(*) from Licence"));
        };
        WriteFile(w.source + "/licence.txt", KnownUnderOtherNamesAndNew(4000));
        SetBatchLines(400);
        RunReport report;
        options.report = &report;
        const std::string trace = disk.path + "/trace.txt";
        long number = 0;
        try {
            import(trace);
        } catch (const Error& e) {
            number = e.number();
        }
        SetBatchLines(100000);
        EXPECT_EQ(number, errnum::kDiskFull);
        LicenceCounts n = report.passes.back().Licences();
        EXPECT_GT(n.imported, 0) << "batches were stored before the disk filled up";
        EXPECT_EQ(n.imported + 4000, rows()) << "the batch whose entries could not be written is undone";
        std::string text = ReadFile(trace);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
        auto lines = ReadTrace(trace);
        long warnings = std::count_if(lines.begin(), lines.end(),
                                      [](const std::string& l) { return l.starts_with("Warning Ligne"); });
        long ends = std::count_if(lines.begin(), lines.end(),
                                  [](const std::string& l) { return l.starts_with("Nom dans fichier"); });
        EXPECT_EQ(warnings, ends) << "every entry is whole";
        EXPECT_EQ(warnings, n.known) << "the TraceLog tells each known licence stored before it filled up";
        std::filesystem::remove(trace);
    }
}

TEST(Faults, AReaderHoldingTheDatabasePastTheBusyTimeoutBlamesNoLine) {
    auto sample = [](Workspace& w) {
        for (const char* name : {"licence.txt", "club.txt"})
            WriteFile(w.source + "/" + name, ReadFile(std::string(QUORVEL_SAMPLE_DIR) + "/" + name));
    };
    Workspace alone, shared;
    sample(alone);
    sample(shared);
    ASSERT_TRUE(Import(alone, alone.work));
    // The club pass's commit waits for the reader past the connection's 10 s busy timeout.
    ASSERT_TRUE(ImportAround(shared, [&] {
        sqlite3* reader = nullptr;
        sqlite3_open_v2(shared.db.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_exec(reader, "PRAGMA key = 'quenoril'; BEGIN; SELECT count(*) FROM Club;", nullptr, nullptr,
                     nullptr);
        std::thread([reader] {
            std::this_thread::sleep_for(std::chrono::milliseconds(11000));
            sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close_v2(reader);
        }).detach();
    }));
    EXPECT_EQ(TraceOf(shared), TraceOf(alone));
    EXPECT_EQ(Query(shared.db, "select * from Club order by Num"),
              Query(alone.db, "select * from Club order by Num"));
    EXPECT_EQ(Content(shared.db), Content(alone.db));
}

TEST(Faults, AnotherWriterGetsItsTurnDuringALongImport) {
    constexpr int kLines = 50000;
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(kLines));
    int rc = -1;
    std::string seen;
    std::thread writer;
    // A host form slow to draw its bar stretches the import over several seconds.
    ASSERT_TRUE(ImportAround(
        w,
        [&] {
            writer = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                sqlite3* h = nullptr;
                sqlite3_open_v2(w.db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
                sqlite3_busy_timeout(h, 5000);
                rc = sqlite3_exec(h,
                                  "PRAGMA key = 'quenoril'; INSERT INTO Club (Code_federal, Intitule) "
                                  "VALUES ('FRA9999999999', 'Autre écriture')",
                                  nullptr, nullptr, nullptr);
                sqlite3_exec(
                    h, "SELECT count(*) FROM Licence",
                    [](void* out, int, char** values, char**) {
                        *static_cast<std::string*>(out) = values[0];
                        return 0;
                    },
                    &seen, nullptr);
                sqlite3_close_v2(h);
            });
        },
        std::chrono::microseconds(600)));
    writer.join();
    EXPECT_EQ(rc, SQLITE_OK);
    EXPECT_LT(std::stol(seen), kLines) << "the write came in while the import was under way";
    EXPECT_EQ(Count(w.db, "Licence"), kLines);
    EXPECT_EQ(Count(w.db, "Club where Code_federal = 'FRA9999999999'"), 1);
}

// Writes one licence through a connection of its own at the first progress step after `after`
// where the import leaves the database free (never waiting for it).
TEST(Faults, ALicenceAnotherProgramStoresBetweenTwoBatchesOfAFirstImportIsFoundThere) {
    // A first import knows every licence it stored itself; one stored by another program between
    // two of its batches must still be found there, not stored a second time.
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(400));
    SetBatchLines(100);
    int batches = 0;
    SetAfterBatch([&] {
        if (++batches == 2)
            Exec(w.db, "INSERT INTO Licence (Code_club, Licence, Nom, Prenom) "
                       "VALUES ('fra5110750012', '850349', 'AUTRE', 'Prenom')");
    });
    bool imported = Import(w, w.work);
    SetAfterBatch({});
    SetBatchLines(100000);
    ASSERT_TRUE(imported);
    ASSERT_GE(batches, 2);
    EXPECT_EQ(Count(w.db, "Licence where Licence = '850349'"), 1);
    EXPECT_EQ(Count(w.db, "Licence"), 400);
    EXPECT_TRUE(Has(ReadTrace(w.trace), "Nom dans fichier : NOM349 Prenom")) << "line 350 is a known licence";
}

TEST(Faults, ALicenceColumnOfNumbersFindsALicenceSpeltAnotherWayInTheSameFirstImport) {
    // In a database whose licence column stores numbers, "085000" and "85000" are one licence:
    // the second line finds the first line's row, as the table compares them.
    Workspace w;
    std::string table = Scalar(w.db, "select sql from sqlite_master where name = 'Licence'");
    const std::string text = "licence           TEXT COLLATE NOCASE";
    ASSERT_NE(table.find(text), std::string::npos);
    table.replace(table.find(text), text.size(), "licence NUMERIC");
    Exec(w.db, "DROP INDEX Licence_Club_Licence; DROP TABLE Licence; " + table +
                   "; CREATE INDEX Licence_Club_Licence ON Licence (Code_club, licence)");
    std::string lines = LicenceLines(2);
    lines.replace(13, 6, "085000");
    lines.replace(250 + 13, 6, "85000 ");
    WriteFile(w.source + "/licence.txt", lines);
    ASSERT_TRUE(Import(w, w.work));
    EXPECT_EQ(Count(w.db, "Licence"), 1);
}
