// The licence import run as a whole: the order of its TraceLog sections, the progress step, and
// complete imports of the bundled sample export.

#include "support/import_run.hpp"

#include "base/encoding.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace quorvel::test {
namespace {

using Lines = std::vector<std::string>;
namespace fs = std::filesystem;

// The TraceLog's exact bytes, with each date and time replaced by "<date>".
std::string TraceBytes(const std::string& path) {
    static const std::regex kDate(R"(\d\d/\d\d/\d\d\d\d \d\d:\d\d:\d\d)");
    return std::regex_replace(ReadFile(path), kDate, "<date>");
}

Lines ClubSummary(const std::string& first, const std::string& known, const std::string& errors) {
    return {"", first, known, "0 club déjà connu sous un autre libellé.", "0 club mis à jour.", errors, ""};
}

const Lines kZeroLicences = {"",
                             "Récupération de 0 licence sur 0.",
                             "0 licence déjà connue.",
                             "0 licence de type relais.",
                             "0 entrée en erreur.",
                             "0 club ajouté avec le libellé Null.",
                             ""};

Lines Cat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class LicenceImportRun : public ::testing::Test {
protected:
    ImportRun run;
    std::vector<std::string> LicenceLines(int n, std::size_t length = 248) {
        std::vector<std::string> lines;
        for (int i = 0; i < n; ++i) {
            LicenceLine l;
            l.club = "FRA9990000001"; // refused: every line is an error
            l.licence = std::to_string(850000 + i);
            lines.push_back(l.Build().substr(0, length));
        }
        return lines;
    }
};

TEST_F(LicenceImportRun, TheSampleExportIsImportedWithItsWholeTraceLog) {
    for (const auto& f : fs::directory_iterator(QUORVEL_SAMPLE_DIR))
        fs::copy_file(f.path(), fs::path(run.source) / f.path().filename());
    RecordingForm form;
    EXPECT_TRUE(run.Run(FixedClock(2026, 6, 15), &form));

    const Lines expected = {
        "Début de l'import : <date>",
        "",
        "Données source générées par l'application : Registre federal des licences - export 3.2",
        "",
        "Vérification des clubs depuis fichier Club.txt",
        "",
        "Récupération de 6 clubs sur 6.",
        "0 club déjà connu.",
        "0 club déjà connu sous un autre libellé.",
        "0 club mis à jour.",
        "0 club en erreur.",
        "",
        "",
        "Traitement des licences depuis fichier Licence.txt",
        "Warning Ligne n° : 22.",
        "Code club (FRA6120450018) inconnu de la base. Création avec Le libelle Null.",
        "",
        "Récupération de 21 licences sur 25.",
        "0 licence déjà connue.",
        "1 licence de type relais.",
        "0 entrée en erreur.",
        "1 club ajouté avec le libellé Null.",
        "",
        "Fin importation : <date>",
    };
    EXPECT_EQ(TraceBytes(run.trace), base::Utf8ToCp1252(CrLfLines(expected)));
    EXPECT_EQ(form.values.front(), 0);
    EXPECT_NEAR(form.values.back(), 100, 1e-9);
    EXPECT_EQ(form.values.size(), 1u + 6 + 25);

    EXPECT_EQ(run.Value("SELECT count(*) FROM Licence"), "21");
    EXPECT_EQ(run.Value("SELECT count(*) FROM Club"), "7");
    EXPECT_EQ(run.Rows("SELECT s.Code_Sel, l.Code_club, l.licence, l.Nom FROM Selection s JOIN Licence l ON "
                       "l.Num = s.Num_Lic ORDER BY s.Num"),
              (std::vector<Lines>{{"FRA5110000000", "FRA5110750012", "081502", "DUPONT"},
                                  {"FRA5110000000", "FRA5110750012", "071877", "BENARD"}}));
    EXPECT_EQ(
        run.Rows("SELECT Nom, Prenom, Date_Naissance FROM Licence WHERE licence IN ('091342', '091776') "
                 "ORDER BY licence"),
        (std::vector<Lines>{{"QUEMENER", "Anaïs", "20090602"}, {"CHATELAIN", "Hugo", "20090101"}}));
}

TEST_F(LicenceImportRun, ASecondImportOfTheSameExportFindsEveryLicenceKnown) {
    for (const auto& f : fs::directory_iterator(QUORVEL_SAMPLE_DIR))
        fs::copy_file(f.path(), fs::path(run.source) / f.path().filename());
    ASSERT_TRUE(run.Run());
    ASSERT_TRUE(run.Run());

    EXPECT_EQ(run.ClubSection(),
              ClubSummary("Récupération de 0 club sur 6.", "6 clubs déjà connus.", "0 club en erreur."));
    Lines licences = run.LicenceSection();
    Lines summary(licences.end() - 7, licences.end());
    EXPECT_EQ(summary, (Lines{"", "Récupération de 0 licence sur 25.", "21 licences déjà connues.",
                              "1 licence de type relais.", "0 entrée en erreur.",
                              "0 club ajouté avec le libellé Null.", ""}));
    // Only the surnames written with accents or small letters differ from their stored capitals.
    Lines warnings;
    for (const auto& line : licences)
        if (line.rfind("Warning", 0) == 0) warnings.push_back(line);
    EXPECT_EQ(warnings, (Lines{"Warning Ligne n° : 3.", "Warning Ligne n° : 9.", "Warning Ligne n° : 10.",
                               "Warning Ligne n° : 12.", "Warning Ligne n° : 16.", "Warning Ligne n° : 19.",
                               "Warning Ligne n° : 23.", "Warning Ligne n° : 25."}));
    EXPECT_EQ(Lines(licences.begin(), licences.begin() + 4),
              (Lines{"Warning Ligne n° : 3.", "Licence (FRA1010350007 + 091342) déjà utilisée.",
                     "Nom dans la base : QUEMENER Anaïs", "Nom dans fichier : Quéméner Anaïs"}));
    EXPECT_EQ(run.Value("SELECT count(*) FROM Licence"), "21");
    EXPECT_EQ(run.Value("SELECT count(*) FROM Selection"), "2");
    EXPECT_TRUE(fs::exists(run.work + "/licence1.txt"));
}

TEST_F(LicenceImportRun, WithoutClubFileTheLicencesAloneSetTheProgressStep) {
    run.Licences(LicenceLines(4));
    RecordingForm form;
    EXPECT_TRUE(run.Run(FixedClock(2026, 6, 15), &form));
    Lines trace = run.Trace();
    EXPECT_EQ(trace[2], "Fichier club.txt non trouvé dans le répertoire : " + run.source);
    EXPECT_EQ(trace[3], "Fichier origine.txt non trouvé dans le répertoire : " + run.source);
    EXPECT_EQ(Lines(trace.begin() + 7, trace.begin() + 10),
              (Lines{"Fichier Club.txt non disponible.", "",
                     "Traitement des licences depuis fichier Licence.txt"}));
    EXPECT_EQ(form.values, (std::vector<double>{0, 25, 50, 75, 100}));
}

TEST_F(LicenceImportRun, BothFilesShareOneStepAndTheRunSucceedsWhenEveryLineIsRejected) {
    std::vector<std::string> clubs;
    for (int i = 0; i < 10; ++i)
        clubs.push_back(ClubLine("FRA999000000" + std::to_string(i), "Inconnu"));
    run.Clubs(clubs);
    run.Licences(LicenceLines(30));
    RecordingForm form;
    EXPECT_TRUE(run.Run(FixedClock(2026, 6, 15), &form));
    std::vector<double> expected{0};
    for (int i = 1; i <= 40; ++i)
        expected.push_back(i * 2.5);
    EXPECT_EQ(form.values, expected);
    Lines clubSection = run.ClubSection();
    EXPECT_EQ(Lines(clubSection.end() - 7, clubSection.end()),
              ClubSummary("Récupération de 0 club sur 10.", "0 club déjà connu.", "10 clubs en erreur."));
    EXPECT_EQ(run.LicenceSection().back(), "");
    EXPECT_EQ(*(run.LicenceSection().end() - 3), "30 entrées en erreur.");
}

TEST_F(LicenceImportRun, ShortFirstLinesAreReportedBeforeTheClubSection) {
    run.Origine("Registre");
    run.Clubs({ClubLine("FRA1010350007", "Rennes").substr(0, 40)});
    run.Licences(LicenceLines(1, 240));
    EXPECT_TRUE(run.Run());
    Lines trace = run.Trace();
    EXPECT_EQ(Lines(trace.begin() + 4, trace.begin() + 12),
              (Lines{"Warning Les lignes dans le fichier club.txt n'ont pas la longueur requise.",
                     "Les informations pourront être incomplètes.", "",
                     "Warning Les lignes dans le fichier licence.txt n'ont pas la longueur requise.",
                     "Les informations pourront être incomplètes.", "",
                     "Vérification des clubs depuis fichier Club.txt", ""}));
    EXPECT_EQ(trace[12], "Récupération de 1 club sur 1.");
}

TEST_F(LicenceImportRun, EmptyDataFilesImportNothingAndSucceed) {
    run.Origine("Registre");
    run.Clubs({});
    run.Licences({});
    RecordingForm form;
    EXPECT_TRUE(run.Run(FixedClock(2026, 6, 15), &form));
    EXPECT_EQ(run.Trace(),
              (Lines{"Début de l'import : <date>", "", "Données source générées par l'application : Registre",
                     "", "Aucune licence et aucun club importé."}));
    EXPECT_TRUE(form.values.empty());
}

TEST_F(LicenceImportRun, AnEmptyLicenceFileBesideClubsStillRunsBothPasses) {
    run.Origine("Registre");
    run.Clubs({ClubLine("FRA1010350007", "Rennes")});
    run.Licences({});
    EXPECT_TRUE(run.Run());
    EXPECT_EQ(run.Trace(),
              Cat({{"Début de l'import : <date>", "", "Données source générées par l'application : Registre",
                    "", "Vérification des clubs depuis fichier Club.txt"},
                   ClubSummary("Récupération de 1 club sur 1.", "0 club déjà connu.", "0 club en erreur."),
                   {"", "Traitement des licences depuis fichier Licence.txt"},
                   kZeroLicences,
                   {"Fin importation : <date>"}}));
}

} // namespace
} // namespace quorvel::test
