// A preview does everything a real run does and says so, but leaves the database file exactly
// as it was and keeps no working copies.

#include "support/test_support.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <gtest/gtest.h>

using namespace quorvel;
using quorvel::test::ReadFile;
using quorvel::test::ReadTrace;
using quorvel::test::TempDir;
using Lines = std::vector<std::string>;

namespace {

class PreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        std::filesystem::create_directories(work);
    }
    bool Import(bool preview, const std::string& trace) {
        clsRecupLicence importer(FixedClock(2026, 12, 6));
        ImportOptions options;
        options.preview = preview;
        return importer.bImport_Licence(db, QUORVEL_SAMPLE_DIR, work, trace, nullptr, options);
    }
    bool Update(bool preview, const std::string& trace) {
        clsMajIUF updater(FixedClock(2026, 12, 6));
        ImportOptions options;
        options.preview = preview;
        return updater.bImport_CodeIUF(QUORVEL_SAMPLE_DIR, db, trace, nullptr, false, "", options);
    }
    // The TraceLog without the preview's second line.
    static Lines WithoutPreviewLine(Lines lines) {
        EXPECT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[1].rfind("Aperçu de ", 0), 0u) << lines[1];
        lines.erase(lines.begin() + 1);
        return lines;
    }
    TempDir dir;
    std::string db = dir / "club.db";
    std::string work = dir / "work";
};

} // namespace

TEST_F(PreviewTest, APreviewOfTheSampleChangesNoByteAndTellsWhatTheImportThenDoes) {
    std::string before = ReadFile(db);
    ASSERT_TRUE(Import(true, dir / "preview.log"));
    EXPECT_EQ(ReadFile(db), before);
    EXPECT_TRUE(std::filesystem::is_empty(work)) << "no working copy outlives the preview";
    auto preview = ReadTrace(dir / "preview.log");
    EXPECT_EQ(preview[1],
              "Aperçu de l'import : simulation, aucune modification n'est enregistrée dans la base.");

    ASSERT_TRUE(Import(false, dir / "real.log"));
    EXPECT_EQ(WithoutPreviewLine(preview), ReadTrace(dir / "real.log"));
    EXPECT_EQ(quorvel::test::Scalar(db, "select count(*) from Licence"), "21");
}

TEST_F(PreviewTest, APreviewOfAnIufUpdateChangesNoByteEither) {
    ASSERT_TRUE(Import(false, dir / "import.log"));
    std::string before = ReadFile(db);
    ASSERT_TRUE(Update(true, dir / "preview.log"));
    EXPECT_EQ(ReadFile(db), before);
    ASSERT_TRUE(Update(false, dir / "real.log"));
    EXPECT_EQ(WithoutPreviewLine(ReadTrace(dir / "preview.log")), ReadTrace(dir / "real.log"));
    EXPECT_EQ(quorvel::test::Scalar(db, "select count(*) from Licence where Code_unique <> ''"), "19");
}

TEST_F(PreviewTest, TheCommandLineTakesDryRunAndWritesTheReport) {
    std::string before = ReadFile(db);
    std::string cmd = std::string(QUORVEL_CLI) + " import-licences --db " + db + " --source " +
                      QUORVEL_SAMPLE_DIR + " --work " + work + " --trace " + (dir / "t.log") +
                      " --today 2026-12-06 --dry-run --report " + (dir / "r.json") + " > /dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(ReadFile(db), before);
    std::string json = ReadFile(dir / "r.json");
    EXPECT_NE(json.find("\"preview\": true"), std::string::npos);
    EXPECT_NE(json.find("\"imported\": 21"), std::string::npos);
}
