// The IUF code update, driven through the public method (and once through the command line)
// on a real encrypted database and real files.

#include "support/test_support.hpp"

#include <quorvel/clock.hpp>
#include <quorvel/clsMajIUF.hpp>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::test {
namespace {

using Lines = std::vector<std::string>;

// Regions of the bundled reference data: 08 belongs to inter-region 4, 11 to inter-region 5;
// no region 99 exists.
constexpr const char* kMonClub = "FRA4080380012";   // IUF short code 080380012
constexpr const char* kAutreClub = "FRA5110750001"; // IUF short code 110750001

// A text as an SQL literal of the test's own statements.
std::string Literal(const std::string& s) {
    std::string r = "'";
    for (char c : s)
        r += c == '\'' ? std::string("''") : std::string(1, c);
    return r + "'";
}

std::string Fit(const std::string& s, std::size_t width) {
    std::string r = s.substr(0, width);
    r.resize(width, ' ');
    return r;
}

// One 45-character IUF line: short club code (9), licence number (6), IUF code (30).
std::string IufLine(const std::string& club, const std::string& licence, const std::string& code) {
    return Fit(club, 9) + Fit(licence, 6) + Fit(code, 30);
}

class IufUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(source);
        CreateDatabase(db);
    }

    void AddLicence(const std::string& club, const std::string& licence, const std::string& nom = "DUPONT") {
        Exec(db, "INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES (" + Literal(club) + ", " +
                     Literal(licence) + ", " + Literal(nom) + ", 'Jean')");
    }

    // The Code_unique of every row of a licence, in insertion order.
    Lines CodesOf(const std::string& club, const std::string& licence) {
        Lines codes;
        for (auto& row : Query(db, "SELECT Code_unique FROM Licence WHERE Code_club = " + Literal(club) +
                                       " AND licence = " + Literal(licence) + " ORDER BY Num"))
            codes.push_back(row[0]);
        return codes;
    }

    void WriteSource(const std::string& name, const std::string& bytes) {
        WriteFile(source + "/" + name, bytes);
    }

    bool Run(HostForm* form = nullptr, bool bOnlyMonCLub = false, const std::string& club = "") {
        clsMajIUF updater(FixedClock(2026, 12, 6));
        return updater.bImport_CodeIUF(source, db, trace, form, bOnlyMonCLub, club);
    }

    // The TraceLog without its start line, its empty line and its closing line, once those are
    // checked.
    Lines Body() {
        Lines lines = ReadTrace(trace);
        EXPECT_GE(lines.size(), 3u);
        if (lines.size() < 3) return lines;
        EXPECT_EQ(lines[0], "Début de l'import : 06/12/2026 00:00:00");
        EXPECT_EQ(lines[1], "");
        EXPECT_EQ(lines.back(), "Fin mise à jour : 06/12/2026 00:00:00");
        return Lines(lines.begin() + 2, lines.end() - 1);
    }

    TempDir dir;
    std::string db = dir / "club.db";
    std::string source = dir / "source";
    std::string trace = dir / "trace.log";
};

TEST_F(IufUpdate, OnlyFilesOfIufLinesAreReadAndEveryOtherFileIsReportedAndSkipped) {
    AddLicence(kMonClub, "100001");
    AddLicence(kMonClub, "100002");
    AddLicence(kMonClub, "100003");
    AddLicence(kMonClub, "100009");
    WriteSource("licence.txt", CrLfLines({LicenceLine{}.Build()}));
    WriteSource("club.txt", CrLfLines({ClubLine(kMonClub, "CN MONTELIMAR")}));
    WriteSource("codes.iuf", CrLfLines({IufLine("080380012", "100001", "IUF0001"),
                                        IufLine("080380012", "100002", "IUF0002"),
                                        IufLine("080380012", "100003", "IUF0003")}));
    // First lines one character short of, and one past, an IUF line.
    WriteSource("court.txt", CrLfLines({IufLine("080380012", "100009", "X").substr(0, 44)}));
    WriteSource("long.txt", CrLfLines({IufLine("080380012", "100009", "X") + "Z"}));
    WriteSource("vide.txt", "");
    // Files of subfolders are not examined.
    WriteSource("sous/codes.iuf", CrLfLines({IufLine("080380012", "100009", "CACHE")}));

    EXPECT_TRUE(Run());

    auto rejected = [&](const std::string& name) {
        return Lines{"Longueur des lignes dans le fichier " + source + "/" + name + " insuffisante.",
                     "Traitement annulé pour ce fichier"};
    };
    Lines expected = rejected("club.txt");
    for (const auto& l : {"", "Mise à jour de 3 licences sur 3.", "0 licence inconnue.", ""})
        expected.push_back(l);
    for (const auto& name : {"court.txt", "licence.txt", "long.txt", "vide.txt"})
        for (const auto& l : rejected(name))
            expected.push_back(l);
    EXPECT_EQ(Body(), expected);

    EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"IUF0001"});
    EXPECT_EQ(CodesOf(kMonClub, "100002"), Lines{"IUF0002"});
    EXPECT_EQ(CodesOf(kMonClub, "100003"), Lines{"IUF0003"});
    EXPECT_EQ(CodesOf(kMonClub, "100009"), Lines{"NULL"});
}

TEST_F(IufUpdate, AFolderWithoutFilesWritesOnlyTheClosingLine) {
    std::filesystem::create_directories(source + "/vide");
    EXPECT_TRUE(Run());
    EXPECT_EQ(Body(), Lines{});
}

TEST_F(IufUpdate, EachLineIsCutIntoClubLicenceAndCodeAndTheClubCodeIsRebuiltFromItsRegion) {
    AddLicence(kMonClub, "100001");         // plain
    AddLicence(kMonClub, "100002", "ROW1"); // stored twice: both rows get the code
    AddLicence(kMonClub, "100002", "ROW2");
    AddLicence(kMonClub, "100003");        // its line runs past 45 characters
    AddLicence(kMonClub, "100004");        // its line stops inside the code
    AddLicence(kMonClub, "1234");          // the file's field is "1234  ": not the same licence
    AddLicence("FRA0990750001", "100005"); // region 99 is not in the reference data
    AddLicence(kAutreClub, "200001");      // the region changes from line to line
    AddLicence(kAutreClub, "200002");
    AddLicence("FRA4080380'12", "10'001"); // apostrophes reach the database intact
    AddLicence(kMonClub, "100006");
    WriteSource(
        "codes.iuf",
        CrLfLines({IufLine("080380012", "100001", "  1234567  "), IufLine("080380012", "100002", "DOUBLE"),
                   IufLine("080380012", "100003", "TRENTE") + "IGNORE",
                   IufLine("080380012", "100004", "COURT").substr(0, 18), IufLine("080380012", "1234", "NON"),
                   IufLine("990750001", "100005", "SANSREGION"),
                   IufLine("110750001", "200001", "AUTRE\xE9"), // é in the file's code page
                   IufLine("080380012", "100009", "INCONNUE"), IufLine("110750001", "200002", "RETOUR"),
                   IufLine("080380'12", "10'001", "O'CODE"),
                   IufLine("080380012", "100006", "L'IUF' ;DROP TABLE Licence;--"),
                   ""})); // a blank last line is a line read, of no licence

    EXPECT_TRUE(Run());

    EXPECT_EQ(Body(), (Lines{"", "Mise à jour de 8 licences sur 12.", "4 licences inconnues.", ""}));
    EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"1234567"});
    EXPECT_EQ(CodesOf(kMonClub, "100002"), (Lines{"DOUBLE", "DOUBLE"}));
    EXPECT_EQ(CodesOf(kMonClub, "100003"), Lines{"TRENTE"});
    EXPECT_EQ(CodesOf(kMonClub, "100004"), Lines{"COU"});
    EXPECT_EQ(CodesOf(kMonClub, "1234"), Lines{"NULL"});
    EXPECT_EQ(CodesOf("FRA0990750001", "100005"), Lines{"NULL"});
    EXPECT_EQ(CodesOf(kAutreClub, "200001"), Lines{"AUTREé"});
    EXPECT_EQ(CodesOf(kAutreClub, "200002"), Lines{"RETOUR"});
    EXPECT_EQ(CodesOf("FRA4080380'12", "10'001"), Lines{"O'CODE"});
    EXPECT_EQ(CodesOf(kMonClub, "100006"), Lines{"L'IUF' ;DROP TABLE Licence;--"});
}

TEST_F(IufUpdate, ClubFilterUsesOnlyTheLinesOfTheCallersClubButCountsEveryLineRead) {
    AddLicence(kMonClub, "100001");
    AddLicence(kAutreClub, "200001");
    // Touching the other club's licence in any way would end the file with an error.
    Exec(db, "CREATE TRIGGER autre BEFORE UPDATE ON Licence WHEN OLD.licence = '200001' "
             "BEGIN SELECT RAISE(ABORT, 'autre club'); END;");
    WriteSource("codes.iuf",
                CrLfLines({IufLine("080380012", "100001", "MIEN"), IufLine("110750001", "200001", "AUTRE"),
                           IufLine("990750001", "300001", "SANSREGION"),
                           IufLine("080380012", "100099", "INCONNUE")}));

    RecordingForm form;
    EXPECT_TRUE(Run(&form, true, kMonClub));
    EXPECT_EQ(Body(), (Lines{"", "Mise à jour de 1 licence sur 4.", "1 licence inconnue.", ""}));
    EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"MIEN"});
    EXPECT_EQ(CodesOf(kAutreClub, "200001"), Lines{"NULL"});
    // Skipped lines still advance the bar.
    EXPECT_EQ(form.values, (std::vector<double>{0, 25, 50, 75, 100}));

    // The comparison is exact, although the database compares codes without regard to case.
    Exec(db, "UPDATE Licence SET Code_unique = NULL WHERE licence = '100001'");
    for (const std::string& club : {std::string("fra4080380012"), std::string()}) {
        SCOPED_TRACE("club '" + club + "'");
        EXPECT_TRUE(Run(nullptr, true, club));
        EXPECT_EQ(Body(), (Lines{"", "Mise à jour de 0 licence sur 4.", "0 licence inconnue.", ""}));
        EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"NULL"});
    }
}

TEST_F(IufUpdate, ProgressRestartsForEachFileWithAStepOverTheRunningLineTotal) {
    for (const char* l : {"100001", "100002", "100003", "100004", "100005"})
        AddLicence(kMonClub, l);
    WriteSource("a.iuf",
                CrLfLines({IufLine("080380012", "100001", "A"), IufLine("080380012", "100002", "A")}));
    WriteSource("b.txt", "pas un fichier IUF\r\n");
    WriteSource("c.iuf", CrLfLines({IufLine("080380012", "100003", "C"), IufLine("080380012", "100004", "C"),
                                    IufLine("080380012", "100005", "C")}));
    RecordingForm form;

    EXPECT_TRUE(Run(&form));

    // 100 / 2 for the first file, 100 / (2 + 3) for the second.
    EXPECT_EQ(form.events, (Lines{"label 2 Fichier a.iuf", "refresh", "value 0", "value 50", "value 100",
                                  "label 2 Fichier b.txt", "refresh", "label 2 Fichier c.iuf", "refresh",
                                  "value 0", "value 20", "value 40", "value 60"}));
}

TEST_F(IufUpdate, AFailingUpdateInterruptsItsFileKeepsEarlierUpdatesAndTheRunGoesOn) {
    for (const char* l : {"100001", "100002", "100003", "100004"})
        AddLicence(kMonClub, l);
    AddLicence(kAutreClub, "200001");
    Exec(db, "CREATE TRIGGER boom BEFORE UPDATE ON Licence WHEN NEW.Code_unique = 'BOOM' "
             "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    WriteSource("a.iuf",
                CrLfLines({IufLine("080380012", "100001", "A1"), IufLine("080380012", "100002", "A2"),
                           IufLine("080380012", "100003", "BOOM"), IufLine("080380012", "100004", "A4")}));
    WriteSource("b.iuf", CrLfLines({IufLine("110750001", "200001", "B1")}));
    RecordingForm form;

    EXPECT_TRUE(Run(&form));

    EXPECT_EQ(Body(),
              (Lines{"Erreur Ligne n° : 3.", "Mise à jour des codes IUF interrompu.", "Erreur n° 19: refus",
                     "", "", "Mise à jour de 1 licence sur 1.", "0 licence inconnue.", ""}));
    EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"A1"});
    EXPECT_EQ(CodesOf(kMonClub, "100002"), Lines{"A2"});
    EXPECT_EQ(CodesOf(kMonClub, "100003"), Lines{"NULL"});
    EXPECT_EQ(CodesOf(kMonClub, "100004"), Lines{"NULL"}); // the rest of the file is not read
    EXPECT_EQ(CodesOf(kAutreClub, "200001"), Lines{"B1"});
    // The bar advanced for the two lines handled before the failure only.
    EXPECT_EQ(form.values, (std::vector<double>{0, 25, 50, 0, 20}));
}

TEST_F(IufUpdate, CommandLineUpdatesOneClubAndReportsSuccess) {
    AddLicence(kMonClub, "100001");
    AddLicence(kAutreClub, "200001");
    WriteSource("codes.iuf",
                CrLfLines({IufLine("080380012", "100001", "MIEN"), IufLine("110750001", "200001", "AUTRE")}));
    std::string command = std::string(QUORVEL_CLI) + " update-iuf --db '" + db + "' --source '" + source +
                          "' --trace '" + trace + "' --club " + kMonClub +
                          " --today 2026-12-06 >/dev/null 2>&1";

    int status = std::system(command.c_str());

    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Body(), (Lines{"", "Mise à jour de 1 licence sur 2.", "0 licence inconnue.", ""}));
    EXPECT_EQ(CodesOf(kMonClub, "100001"), Lines{"MIEN"});
    EXPECT_EQ(CodesOf(kAutreClub, "200001"), Lines{"NULL"});
}

} // namespace
} // namespace quorvel::test
