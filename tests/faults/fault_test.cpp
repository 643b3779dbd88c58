// Failures injected into whole imports: a refused row, an interrupted pass, a killed process, two
// imports and a reader sharing the database, a damaged page. Whatever happens, the database stays
// sound and keeps every row stored before the failure.

#include "support/support.hpp"

#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
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
// pauses past the commit interval, so that some work is committed and some is not.
class StopAtForm : public RecordingForm {
public:
    StopAtForm(double threshold, int fd) : threshold_(threshold), fd_(fd) {}
    void SetProgressValue(double v) override {
        value = v;
        if (v >= threshold_ / 2 && !paused_) {
            paused_ = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
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
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(20000));
    Exec(w.db, "CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.Nom = 'NOM10000' "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    ASSERT_TRUE(Import(w, w.work));
    auto lines = ReadTrace(w.trace);
    EXPECT_TRUE(Has(lines, "Erreur Ligne n° : 10001."));
    EXPECT_TRUE(Has(lines, "Récupération de 19999 licences sur 20000."));
    EXPECT_EQ(Scalar(w.db, "select count(*) from Licence"), "19999");
    EXPECT_EQ(Scalar(w.db, "select count(*) from Licence where Nom in ('NOM9999', 'NOM10001')"), "2");

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

TEST(Faults, TwoImportsAtOnceStoreWhatOneImportWouldAndWaitForABriefReader) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(6000));
    std::vector<pid_t> children;
    for (int k = 0; k < 2; ++k) {
        pid_t pid = ::fork();
        if (pid == 0) {
            w.trace = w.dir / ("t" + std::to_string(k) + ".log"); // this process's own copy
            _exit(Import(w, w.dir / ("work" + std::to_string(k))) ? 0 : 1);
        }
        children.push_back(pid);
    }
    // A reader holds the database for a while; it is opened after the fork, as a connection
    // must never cross one.
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(w.db.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_exec(reader, "PRAGMA key = 'quenoril'; BEGIN; SELECT count(*) FROM Licence;", nullptr, nullptr,
                 nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close_v2(reader);
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
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
