// Looking after the database from the command line: the copy made before a run and `restore`,
// `info`, and the outputs refused before a run writes anything.

#include "support/support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

Outcome Import(const Workspace& w, std::vector<std::string> more = {}) {
    std::vector<std::string> args{"import-licences", "--db", w.db,      "--source", w.source,
                                  "--work",          w.work, "--trace", w.trace};
    args.insert(args.end(), more.begin(), more.end());
    return Quorvel(args);
}

// `restore` answering `answer` to its question.
Outcome Restore(const Workspace& w, const std::string& answer, const std::string& more = "") {
    return RunProgram(
        {"sh", "-c", "echo " + answer + " | '" + QUORVEL_CLI + "' restore --db '" + w.db + "' " + more},
        kFrench);
}

std::vector<std::string> Copies(const Workspace& w) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(w.db).parent_path()))
        if (entry.path().filename().string().starts_with("club.db.avant-import-"))
            names.push_back(entry.path());
    return names;
}

} // namespace

TEST(Maintenance, EachRunIsPrecededByACopyThatRestorePutsBackUnlessTheDatabaseChangedSince) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(3));
    ASSERT_EQ(Import(w).status, 0);
    WriteFile(w.source + "/licence.txt", LicenceLines(5));
    Outcome second = Import(w);
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_NE(second.out.find("Copie de la base avant l'import : " + w.db + ".avant-import-"),
              std::string::npos);
    EXPECT_EQ(Copies(w).size(), 4u) << "two copies, each with its record";
    EXPECT_EQ(Scalar(w.db, "SELECT count(*) FROM Licence"), "5");

    Outcome no = Restore(w, "n");
    EXPECT_EQ(no.status, 1);
    EXPECT_EQ(Scalar(w.db, "SELECT count(*) FROM Licence"), "5");
    Outcome yes = Restore(w, "o");
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_EQ(Scalar(w.db, "SELECT count(*) FROM Licence"), "3") << "as before the second run";

    Exec(w.db, "DELETE FROM Licence WHERE Num = 1"); // written by someone else since the first run
    Outcome changed = Restore(w, "o");
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.err.find("la base a changé depuis l'import du"), std::string::npos) << changed.err;
    EXPECT_EQ(Scalar(w.db, "SELECT count(*) FROM Licence"), "2");
    EXPECT_EQ(Restore(w, "o", "--force").status, 0);
    EXPECT_EQ(Scalar(w.db, "SELECT count(*) FROM Licence"), "0");
    EXPECT_EQ(Restore(w, "o").status, 1) << "no copy left";

    for (int i = 0; i < 6; ++i)
        Import(w);
    EXPECT_EQ(Copies(w).size(), 10u) << "the last 5 copies are kept";
    Import(w, {"--dry-run"});
    Import(w, {"--no-backup"});
    fs::create_directory(w.dir / "copies");
    Import(w, {"--backup", w.dir / "copies"});
    EXPECT_EQ(Copies(w).size(), 10u);
    EXPECT_EQ(std::distance(fs::directory_iterator(w.dir / "copies"), {}), 2);
    Outcome unwritable = Import(w, {"--backup", w.dir / "nowhere"});
    EXPECT_EQ(unwritable.status, 2);
    EXPECT_NE(unwritable.err.find("--no-backup"), std::string::npos) << unwritable.err;
}

TEST(Maintenance, InfoTellsWhatADatabaseHoldsAndWhatIsMissing) {
    Workspace w;
    Outcome fresh = Quorvel({"info", "--db", w.db});
    EXPECT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_NE(fresh.out.find("Moteur : SQLCipher"), std::string::npos);
    EXPECT_NE(fresh.out.find("  Licence       0 ligne\n"), std::string::npos) << fresh.out;
    EXPECT_NE(fresh.out.find("Données de référence : présentes."), std::string::npos);
    EXPECT_NE(fresh.out.find("Info.LastClose = vrai"), std::string::npos);

    Exec(w.db, "DROP TABLE Region; UPDATE Info SET LastClose = 0");
    Outcome partial = Quorvel({"info", "--db", w.db});
    EXPECT_NE(partial.out.find("  Region        absente  (référence)"), std::string::npos) << partial.out;
    EXPECT_NE(partial.out.find("Données de référence : manquantes"), std::string::npos);
    EXPECT_NE(partial.out.find("Info.LastClose = faux"), std::string::npos);

    WriteFile(w.dir / "text.db", "hello\n");
    Outcome text = Quorvel({"info", "--db", w.dir / "text.db"});
    EXPECT_EQ(text.status, 2);
    EXPECT_EQ(text.out, "");
    EXPECT_NE(text.err.find("ne s'ouvre pas avec la clé de l'application"), std::string::npos) << text.err;

    // The runs that cannot open the database say what to do.
    Outcome missing = Quorvel({"import-licences", "--db", w.dir / "none.db", "--source", w.source, "--work",
                               w.work, "--trace", w.trace});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("créez-la avec « quorvel init-db " + w.dir / "none.db"), std::string::npos)
        << missing.err;
    Exec(w.db, "DROP TABLE Info");
    Outcome bare = Import(w);
    EXPECT_NE(bare.err.find("n'a pas les tables de l'application (no such table: Info)"), std::string::npos)
        << bare.err;
    EXPECT_TRUE(Copies(w).empty()) << "a run that could not start keeps no copy";
}

TEST(Maintenance, OutputsThatCannotBeWrittenOrThatTheEngineOwnsAreRefusedBeforeTheRun) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(2));
    const std::string db = ReadFile(w.db);
    auto refused = [&](std::vector<std::string> more, const std::string& why) {
        Outcome o = Import(w, more);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_NE(o.err.find(why), std::string::npos) << o.err;
        EXPECT_EQ(ReadFile(w.db), db) << "nothing written";
        EXPECT_TRUE(Copies(w).empty()) << "no copy either";
    };
    refused({"--report", "/dev/full"}, "Impossible d'écrire /dev/full");
    refused({"--html", w.dir / "missing/page.html"}, "Impossible d'écrire " + w.dir / "missing/page.html");
    refused({"--report", w.db + "-journal"}, "un fichier de travail du moteur de la base");
    std::vector<std::string> args{"import-licences", "--db", w.db,      "--source",   w.source,
                                  "--work",          w.work, "--trace", w.db + "-wal"};
    EXPECT_EQ(Quorvel(args).status, 2);
    args[8] = w.trace;
    for (const std::string& work : {w.source, w.source + "/copies"}) {
        args[6] = work;
        Outcome o = Quorvel(args);
        EXPECT_EQ(o.status, 2);
        EXPECT_NE(o.err.find("dossier source " + w.source), std::string::npos) << o.err;
    }
    EXPECT_FALSE(fs::exists(w.source + "/copies"));

    args[4] = w.dir / "no-source";
    args[6] = w.dir / "new-work";
    Outcome missing = Quorvel(args);
    EXPECT_EQ(missing.status, 2);
    EXPECT_FALSE(fs::exists(w.dir / "new-work")) << "no empty working folder left behind";
    EXPECT_EQ(ReadTrace(w.trace)[2], "Dossier source introuvable.");
    EXPECT_EQ(ReadFile(w.db), db);
}

TEST(Maintenance, UpdateIufReadsTheClubInCapitalsAndNamesTheNearestStoredOne) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(2)); // club FRA5110750012
    ASSERT_EQ(Import(w, {"--no-backup"}).status, 0);
    auto iuf = [&](const std::string& club) {
        return Quorvel({"update-iuf", "--db", w.db, "--source", w.source, "--trace", w.dir / "i.log",
                        "--club", club, "--no-backup"});
    };
    Outcome small = iuf("fra5110750012");
    EXPECT_EQ(small.status, 0) << small.err;
    EXPECT_EQ(small.err, "quorvel update-iuf : --club fra5110750012 lu FRA5110750012\n");
    EXPECT_NE(
        small.out.find("Note : licence.txt a des lignes de 248 caractères, comme un export de licences"),
        std::string::npos)
        << small.out;
    Outcome unknown = iuf("FRA5110750021");
    EXPECT_NE(unknown.err.find("aucune licence du club FRA5110750021 : la mise à jour n'en changera aucune. "
                               "Code le plus proche dans la base : FRA5110750012."),
              std::string::npos)
        << unknown.err;
}
