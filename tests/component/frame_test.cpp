// What both public methods do around their run: TraceLog, drive test, connection, working
// copies, and the release of everything on every path.

#include "session/source_paths.hpp"
#include "support/test_support.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::ReadTraceNoDates;
using quorvel::test::Scalar;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;
using Lines = std::vector<std::string>;

namespace {

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        std::filesystem::create_directories(src);
        std::filesystem::create_directories(work);
    }
    bool Import(HostForm* form = nullptr) {
        clsRecupLicence importer(FixedClock(2026, 12, 6));
        return importer.bImport_Licence(db, src, work, trace, form);
    }
    TempDir dir;
    std::string db = dir / "club.db";
    std::string src = dir / "export";
    std::string work = dir / "work";
    std::string trace = dir / "trace.log";
};

} // namespace

TEST_F(FrameTest, TheTraceLogStartsWithTheStartLineAndAnEmptyLine) {
    EXPECT_FALSE(Import());
    auto lines = quorvel::test::ReadTrace(trace);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Début de l'import : 06/12/2026 00:00:00");
    EXPECT_EQ(lines[1], "");
}

TEST_F(FrameTest, AMissingLicenceFileImportsNothingNotEvenClubs) {
    WriteFile(src + "/club.txt", quorvel::test::CrLfLines({quorvel::test::ClubLine("FRA1750750001", "Club")}));
    EXPECT_FALSE(Import());
    EXPECT_EQ(ReadTraceNoDates(trace),
              (Lines{"Début de l'import : <date>", "", "Fichier licence.txt non trouvé dans le répertoire : " + src}));
    EXPECT_EQ(Scalar(db, "select count(*) from Club"), "0");
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1"); // the connection was closed normally
    EXPECT_TRUE(std::filesystem::is_empty(work));
}

TEST_F(FrameTest, AConnectionFailureIsReportedAndTheRunNotStarted) {
    WriteFile(src + "/licence.txt", "");
    db = dir / "absent.db";
    EXPECT_FALSE(Import());
    EXPECT_EQ(ReadTraceNoDates(trace), (Lines{"Début de l'import : <date>", "",
                                              "Erreur de connexion dans dll d'import des licences.",
                                              "Import annulé.", "Erreur n° 14: unable to open database file"}));
    EXPECT_TRUE(std::filesystem::is_empty(work));

    clsMajIUF updater(FixedClock(2026, 12, 6));
    EXPECT_FALSE(updater.bImport_CodeIUF(src, db, trace, nullptr, false, ""));
    EXPECT_EQ(ReadTraceNoDates(trace), (Lines{"Début de l'import : <date>", "",
                                              "Erreur de connexion dans dll de mise à jour des codes IUF.",
                                              "Mise à jour annulée.", "Erreur n° 14: unable to open database file"}));
}

TEST_F(FrameTest, AWrongKeyIsAConnectionFailure) {
    // A plain (unencrypted) SQLite file is not readable with the key.
    std::string plain = dir / "plain.db";
    WriteFile(plain, std::string("SQLite format 3\0", 16) + std::string(4080, '\0'));
    db = plain;
    WriteFile(src + "/licence.txt", "");
    EXPECT_FALSE(Import());
    auto lines = ReadTraceNoDates(trace);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4].rfind("Erreur n° 26: ", 0), 0u) << lines[4];
}

TEST_F(FrameTest, AMissingSourceFolderFailsTheCallAndReleasesEverything) {
    src = dir / "no-such-folder";
    try {
        Import();
        FAIL() << "a missing source folder is an error, not a false result";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errnum::kPathNotFound);
        EXPECT_NE(e.description().find("no-such-folder"), std::string::npos);
    }
    EXPECT_EQ(ReadTraceNoDates(trace), (Lines{"Début de l'import : <date>", ""}));
    // Nothing stays held: the next call opens the same TraceLog and database again.
    src = dir / "export";
    WriteFile(src + "/licence.txt", "");
    EXPECT_TRUE(Import());
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1");
}

TEST_F(FrameTest, ATraceLogThatCannotBeCreatedFailsTheCall) {
    trace = dir / "missing-folder/trace.log";
    EXPECT_THROW(Import(), Error);
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1"); // the database was never opened
}

TEST_F(FrameTest, WorkingCopiesTakeTheFirstFreeNameAndEarlierCopiesStay) {
    WriteFile(src + "/licence.txt", "");
    WriteFile(work + "/licence.txt", "old");
    WriteFile(work + "/licence1.txt", "older");
    WriteFile(work + "/licence3.txt", "other");
    EXPECT_TRUE(Import());
    EXPECT_TRUE(std::filesystem::exists(work + "/licence2.txt"));
    EXPECT_EQ(quorvel::test::ReadFile(work + "/licence.txt"), "old");
    EXPECT_EQ(quorvel::test::ReadFile(work + "/licence1.txt"), "older");
    // The missing optional files are reported and the import goes on.
    auto lines = ReadTraceNoDates(trace);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "Fichier club.txt non trouvé dans le répertoire : " + src);
    EXPECT_EQ(lines[3], "Fichier origine.txt non trouvé dans le répertoire : " + src);
}

TEST_F(FrameTest, AMissingWorkingFolderFailsTheCallNamingIt) {
    WriteFile(src + "/licence.txt", "");
    work = dir / "no-work";
    try {
        Import();
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("no-work"), std::string::npos) << e.description();
    }
}

TEST(SourcePaths, JoiningAndFreeNames) {
    EXPECT_EQ(strCheminFichier("/export", "club.txt"), "/export/club.txt");
    EXPECT_EQ(strCheminFichier("/export/", "club.txt"), "/export/club.txt");
    EXPECT_EQ(strCheminFichier("", "club.txt"), "/club.txt");
    TempDir dir;
    EXPECT_EQ(strNomLibre("/src/licence.txt", dir.path().string()), dir / "licence.txt");
    WriteFile(dir / "licence.txt", "");
    EXPECT_EQ(strNomLibre("/src/licence.txt", dir.path().string()), dir / "licence1.txt");
    WriteFile(dir / "README", "");
    EXPECT_EQ(strNomLibre("/src/README", dir.path().string()), dir / "README1"); // a name without extension
}

namespace {
// Reads LastClose from another connection each time the import moves the bar.
class LastCloseSpy : public quorvel::test::RecordingForm {
public:
    explicit LastCloseSpy(std::string db) : db_(std::move(db)) {}
    void SetProgressValue(double v) override {
        RecordingForm::SetProgressValue(v);
        seen.push_back(Scalar(db_, "select LastClose from Info"));
    }
    std::vector<std::string> seen;

private:
    std::string db_;
};
} // namespace

TEST_F(FrameTest, LastCloseReadsFalseDuringTheCallAndTrueAfterIt) {
    quorvel::test::LicenceLine line;
    WriteFile(src + "/licence.txt", quorvel::test::CrLfLines({line.Build()}));
    LastCloseSpy spy(db);
    EXPECT_TRUE(Import(&spy));
    ASSERT_FALSE(spy.seen.empty());
    for (const auto& v : spy.seen) EXPECT_EQ(v, "0");
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1");
}
