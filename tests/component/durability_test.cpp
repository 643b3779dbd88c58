// Grouped commits never cost stored rows: a statement refused in the middle of a large file undoes
// only itself, and an interruption keeps every row before it, readable by another connection.

#include "support/test_support.hpp"

#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::Scalar;
using quorvel::test::TempDir;

namespace {

constexpr int kLines = 40000;

// `kLines` licences of one Paris club, numbered 800000 + i; line `letters` (1-based, 0 for none)
// has a licence number that does not open with a year.
void WriteExport(const std::string& folder, int letters) {
    std::vector<std::string> rows;
    for (int i = 1; i <= kLines; ++i) {
        quorvel::test::LicenceLine l;
        l.club = "FRA5110750012";
        l.licence = i == letters ? "XX0000" : std::to_string(800000 + i);
        l.naissance = "01011980";
        rows.push_back(l.Build());
    }
    quorvel::test::WriteFile(folder + "/licence.txt", quorvel::test::CrLfLines(rows));
}

class Durability : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        std::filesystem::create_directories(work);
    }
    std::vector<std::string> Import() {
        clsRecupLicence importer(FixedClock(2026, 12, 6));
        EXPECT_TRUE(importer.bImport_Licence(db, src, work, trace, nullptr));
        return quorvel::test::ReadTrace(trace);
    }
    TempDir dir;
    std::string db = dir / "club.db";
    std::string src = dir / "export";
    std::string work = dir / "work";
    std::string trace = dir / "t.log";
};

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text) != lines.end();
}

} // namespace

TEST_F(Durability, ARowRefusedMidFileUndoesOnlyItself) {
    quorvel::test::Exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.licence = '820000' "
                            "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    WriteExport(src, 0);
    auto lines = Import();
    EXPECT_TRUE(Contains(lines, "Erreur Ligne n° : 20000.")) << "the refused line is reported";
    EXPECT_TRUE(Contains(lines, "Récupération de 39999 licences sur 40000."));
    // Read by another connection once the call has returned.
    EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "39999");
    EXPECT_EQ(Scalar(db, "select count(*) from Licence where licence = '819999' or licence = '820001'"), "2");
}

TEST_F(Durability, AnInterruptionKeepsEveryEarlierRow) {
    WriteExport(src, 30000);
    auto lines = Import();
    EXPECT_TRUE(Contains(lines, "Import des licences interrompu."));
    EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "29999");
    EXPECT_EQ(Scalar(db, "select max(licence) from Licence"), "829999");
    EXPECT_EQ(Scalar(db, "PRAGMA integrity_check"), "ok");
}
