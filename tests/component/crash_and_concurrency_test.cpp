// An import killed in the middle, and imports sharing the database with other users: the database
// stays sound, and what one uninterrupted import would store is what ends up stored.

#include "support/test_support.hpp"

#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sqlite3.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quorvel;
using quorvel::test::Query;
using quorvel::test::Scalar;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;

namespace {

// An export of `lines` licences over 40 clubs of Paris, with a selection entry every 50 lines.
void WriteExport(const std::string& folder, int lines) {
    std::vector<std::string> rows;
    rows.reserve(static_cast<std::size_t>(lines));
    for (int i = 0; i < lines; ++i) {
        quorvel::test::LicenceLine l;
        char club[16];
        std::snprintf(club, sizeof club, "FRA511075%04d", 1 + i % 40);
        char licence[8];
        std::snprintf(licence, sizeof licence, "%02d%04d", 80 + i % 20, i % 10000);
        l.club = club;
        l.licence = licence;
        l.naissance = "0101" + std::to_string(1980 + i % 20);
        l.nom = "NOM" + std::to_string(i);
        if (i % 50 == 49) { // a selection entry naming the previous line's swimmer
            char prevClub[16];
            std::snprintf(prevClub, sizeof prevClub, "FRA511075%04d", 1 + (i - 1) % 40);
            l.origineClub = prevClub;
            char prev[8];
            std::snprintf(prev, sizeof prev, "%02d%04d", 80 + (i - 1) % 20, (i - 1) % 10000);
            l.origineLicence = prev;
            l.club = "FRA5110000000";
        }
        rows.push_back(l.Build());
    }
    WriteFile(folder + "/licence.txt", quorvel::test::CrLfLines(rows));
}

// The stored rows, without the keys the database assigns.
std::vector<std::vector<std::string>> Content(const std::string& db) {
    auto licences =
        Query(db, "select Code_club, licence, Nom, Prenom, Date_Naissance, Code_unique from Licence "
                  "order by Code_club, licence");
    auto clubs = Query(db, "select Code_federal, Intitule, Selection from Club order by Code_federal");
    auto selections = Query(db, "select s.Code_Sel, l.Code_club, l.licence from Selection s join Licence l "
                                "on l.Num = s.Num_Lic order by 1, 2, 3");
    licences.insert(licences.end(), clubs.begin(), clubs.end());
    licences.insert(licences.end(), selections.begin(), selections.end());
    return licences;
}

bool Import(const std::string& db, const std::string& src, const std::string& work, const std::string& trace,
            HostForm* form = nullptr) {
    std::filesystem::create_directories(work);
    clsRecupLicence importer(FixedClock(2026, 12, 6));
    return importer.bImport_Licence(db, src, work, trace, form);
}

// Half-way through, lets the import commit what it did so far (by pausing longer than the commit
// interval); at `threshold` tells the parent through a pipe, then waits to be killed with work
// still uncommitted.
class StopAtForm : public quorvel::test::RecordingForm {
public:
    StopAtForm(double threshold, int fd) : threshold_(threshold), fd_(fd) {}
    void SetProgressValue(double v) override {
        value = v;
        if (v >= threshold_ / 2 && !paused_) {
            paused_ = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(400));
        }
        if (v >= threshold_) {
            char c = 'x';
            if (::write(fd_, &c, 1) != 1) _exit(3);
            for (;;)
                ::pause();
        }
    }

private:
    double threshold_;
    int fd_;
    bool paused_ = false;
};

class SharedDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        WriteExport(src, 6000);
    }
    TempDir dir;
    std::string db = dir / "club.db";
    std::string src = dir / "export";
};

} // namespace

TEST_F(SharedDatabase, AnImportKilledMidwayLosesNothingThatASecondImportDoesNotComplete) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        StopAtForm form(60, fds[1]);
        Import(db, src, dir / "work1", dir / "t1.log", &form);
        _exit(0);
    }
    ::close(fds[1]);
    char c = 0;
    ASSERT_EQ(::read(fds[0], &c, 1), 1) << "the import never got to 60 %";
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "0"); // the host can tell the import did not end
    long stored = std::stol(Scalar(db, "select count(*) from Licence"));
    EXPECT_GT(stored, 0) << "rows committed before the kill stay";

    ASSERT_TRUE(Import(db, src, dir / "work2", dir / "t2.log"));
    std::string reference = dir / "reference.db";
    quorvel::test::CreateDatabase(reference);
    ASSERT_TRUE(Import(reference, src, dir / "work3", dir / "t3.log"));
    EXPECT_EQ(Content(db), Content(reference));
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1");
}

TEST_F(SharedDatabase, TwoImportsAtOnceStoreWhatTwoImportsInTurnWould) {
    pid_t children[2];
    for (int k = 0; k < 2; ++k) {
        children[k] = ::fork();
        if (children[k] == 0) {
            bool ok =
                Import(db, src, dir / ("work" + std::to_string(k)), dir / ("t" + std::to_string(k) + ".log"));
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
    std::string reference = dir / "reference.db";
    quorvel::test::CreateDatabase(reference);
    ASSERT_TRUE(Import(reference, src, dir / "work3", dir / "t3.log"));
    EXPECT_EQ(Content(db), Content(reference));
    EXPECT_EQ(Scalar(db, "select count(*) from (select Code_club, licence from Licence "
                         "group by Code_club, licence having count(*) > 1)"),
              "0");
}

TEST_F(SharedDatabase, AnImportWaitsForAReaderThatHoldsTheDatabaseBriefly) {
    sqlite3* reader = nullptr;
    ASSERT_EQ(sqlite3_open_v2(db.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    sqlite3_exec(reader, "PRAGMA key = 'quenoril'; BEGIN; SELECT count(*) FROM Licence;", nullptr, nullptr,
                 nullptr);
    std::thread release([reader] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        sqlite3_exec(reader, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_TRUE(Import(db, src, dir / "work", dir / "t.log"));
    release.join();
    sqlite3_close_v2(reader);
    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
    auto trace = quorvel::test::ReadTrace(dir / "t.log");
    bool interrupted = false;
    for (const auto& l : trace)
        interrupted |= l.find("interrompu") != std::string::npos;
    EXPECT_FALSE(interrupted);
    EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "5880"); // 6000 lines less 120 selection entries
}
