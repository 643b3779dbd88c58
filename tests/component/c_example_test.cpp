// The C example program: a host written in C that registers the library, creates both classes by
// their ProgIDs and imports the bundled sample export.

#include "process_helpers.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using quorvel::test::Scalar;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

TEST(CExample, ImportsTheSampleExportThroughTheRegistryFile) {
    TempDir dir;
    std::string db = dir / "club.db";
    quorvel::test::CreateDatabase(db);
    fs::create_directories(dir / "work");
    std::string config = dir / "config";

    auto run = quorvel::test::RunProgram(
        {QUORVEL_C_EXAMPLE, db, QUORVEL_SAMPLE_DIR, dir / "work", dir / "licences.log", dir / "iuf.log"},
        {{"XDG_CONFIG_HOME", config}});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("bImport_Licence: true, progress 100"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("label 2: Fichier codes_iuf.txt"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("bImport_CodeIUF: true"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("DllCanUnloadNow: yes"), std::string::npos) << run.output;

    // The sample's licences and IUF codes are in the database.
    EXPECT_EQ(Scalar(db, "select count(*) from Club"), "7");
    EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "21");
    EXPECT_EQ(Scalar(db, "select count(*) from Selection"), "2");
    EXPECT_EQ(Scalar(db, "select count(*) from Licence where Code_unique <> ''"), "19");
    EXPECT_EQ(quorvel::test::ReadTrace(dir / "licences.log").back().rfind("Fin importation : ", 0), 0u);
    EXPECT_EQ(quorvel::test::ReadTrace(dir / "iuf.log").back().rfind("Fin mise à jour : ", 0), 0u);
    // The example unregistered the library again, leaving no registry file behind.
    EXPECT_FALSE(fs::exists(config + "/quorvel/registry.ini"));
}
