// The club pass over club.txt: per-line reports, the summary, progress and interruption.

#include "support/session.hpp"

#include "clubs/club_pass.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using Lines = std::vector<std::string>;

// A form whose progress bar fails from its `failAt`-th update on.
class FailingForm : public RecordingForm {
public:
    explicit FailingForm(int failAt) : failAt_(failAt) {}
    void SetProgressValue(double v) override {
        if (++calls_ >= failAt_) throw Error(438, "Propriété ou méthode non gérée par cet objet");
        RecordingForm::SetProgressValue(v);
    }

private:
    int failAt_;
    int calls_ = 0;
};

class ClubPass : public ::testing::Test {
protected:
    TempDir dir;
    OpenSession s{dir};
    std::string file = dir / "club.txt";

    Lines Run(const Lines& lines, double dblPas = 1) {
        WriteFile(file, CrLfLines(lines));
        clubs::Import_Club(*s, file, dblPas);
        return s.Trace();
    }
    void Store(const std::string& code, const std::string& name) {
        s.Change("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('" + code + "', '" + name +
                 "', 0)");
    }
};

TEST_F(ClubPass, ReportsEachOutcomeAndCountsItInTheSummary) {
    Store("FRA3070340004", "Null");
    Store("FRA7149710003", "Pointe-à-Pitre Nautique");
    Store("FRA4090130021", "Club nautique");
    Lines trace = Run({
        ClubLine("FRA1010350007", "Rennes Aquatique Club"),
        ClubLine("FRA1010350007", "Un autre nom"),
        "FRA10103",
        ClubLine("FRA9990000001", "Inconnu"),
        ClubLine("FRA3070340004", "Entente aquatique de S\x8A"
                                  "te"),
        ClubLine("FRA7149710003", "Pointe-\x85-Pitre Nautique"),
        ClubLine("FRA4090130021", "Club nautique de l'Huveaune"),
        ClubLine("FRA5110750012", ""),
    });
    EXPECT_EQ(trace,
              (Lines{
                  "Erreur Ligne n° : 3.",
                  "La longueur de la ligne ne permet de contenir le code et le libellé du club",
                  "Erreur Ligne n° : 4.",
                  "Le code club est erronné : FRA9990000001",
                  "Ligne n° : 7 Le code club FRA4090130021 est déjà utilisé pour le club : Club nautique",
                  "Nom dans le fichier : Club nautique de l'Huveaune",
                  "",
                  "Récupération de 2 clubs sur 8.",
                  "1 club déjà connu.",
                  "1 club déjà connu sous un autre libellé.",
                  "1 club mis à jour.",
                  "2 clubs en erreur.",
                  "",
              }));
    EXPECT_EQ(s.Rows("SELECT Code_federal, Intitule FROM Club ORDER BY Code_federal"),
              (std::vector<Lines>{{"FRA1010350007", "Rennes Aquatique Club"},
                                  {"FRA3070340004", "Entente aquatique de Sète"},
                                  {"FRA4090130021", "Club nautique"},
                                  {"FRA5110750012", "Null"},
                                  {"FRA7149710003", "Pointe-à-Pitre Nautique"}}));
    for (std::string code :
         {"FRA1010350007", "FRA3070340004", "FRA4090130021", "FRA5110750012", "FRA7149710003"})
        EXPECT_TRUE(s->colClubsTraites.Contains(code)) << code;
    EXPECT_FALSE(s->colClubsTraites.Contains("FRA9990000001"));
}

TEST_F(ClubPass, AnEmptyFileGivesASingularSummaryOfZeros) {
    EXPECT_EQ(Run({}), (Lines{"", "Récupération de 0 club sur 0.", "0 club déjà connu.",
                              "0 club déjà connu sous un autre libellé.", "0 club mis à jour.",
                              "0 club en erreur.", ""}));
}

TEST_F(ClubPass, ALineNeedsTheCodeAndOneCharacterOfName) {
    Lines trace = Run({"FRA1010350007", "FRA3070340004 ", "FRA4090130021X"});
    EXPECT_EQ(Lines(trace.begin(), trace.begin() + 3),
              (Lines{"Erreur Ligne n° : 1.",
                     "La longueur de la ligne ne permet de contenir le code et le libellé du club", ""}));
    EXPECT_EQ(trace[3], "Récupération de 2 clubs sur 3.");
    EXPECT_EQ(s.Rows("SELECT Code_federal, Intitule FROM Club ORDER BY Code_federal"),
              (std::vector<Lines>{{"FRA3070340004", "Null"}, {"FRA4090130021", "X"}}));
}

TEST_F(ClubPass, ARefusedCodeIsExaminedAgainOnItsNextLine) {
    Lines trace = Run({ClubLine("FRA9990000001", "A"), ClubLine("FRA9990000001", "A")});
    EXPECT_EQ(Lines(trace.begin(), trace.begin() + 4),
              (Lines{"Erreur Ligne n° : 1.", "Le code club est erronné : FRA9990000001",
                     "Erreur Ligne n° : 2.", "Le code club est erronné : FRA9990000001"}));
    EXPECT_EQ(trace[9], "2 clubs en erreur.");
}

TEST_F(ClubPass, TheBarAdvancesOnceForEveryLineWhateverItsOutcome) {
    RecordingForm form;
    s->objForm = &form;
    Run({ClubLine("FRA1010350007", "A"), ClubLine("FRA1010350007", "B"), "short",
         ClubLine("FRA9990000001", "C")},
        30);
    EXPECT_EQ(form.values, (std::vector<double>{30, 60, 90, 100}));
}

TEST_F(ClubPass, AFailureInterruptsThePassAndKeepsTheClubsAlreadyStored) {
    FailingForm form(2);
    s->objForm = &form;
    Lines trace =
        Run({ClubLine("FRA1010350007", "A"), ClubLine("FRA3070340004", "B"), ClubLine("FRA4090130021", "C")});
    EXPECT_EQ(trace, (Lines{"Erreur Ligne n° : 2.", "Import des clubs interrompu.",
                            "Erreur n° 438: Propriété ou méthode non gérée par cet objet", ""}));
    EXPECT_EQ(s.Value("SELECT count(*) FROM Club"), "2");
}

TEST_F(ClubPass, AFileThatCannotBeReadInterruptsBeforeTheFirstLine) {
    std::filesystem::create_directories(file);
    clubs::Import_Club(*s, file, 1);
    Lines trace = s.Trace();
    ASSERT_EQ(trace.size(), 4u);
    EXPECT_EQ(trace[0], "Erreur Ligne n° : 0.");
    EXPECT_EQ(trace[1], "Import des clubs interrompu.");
    EXPECT_EQ(trace[2].rfind("Erreur n° 75: ", 0), 0u) << trace[2];
    EXPECT_EQ(trace[3], "");
}

} // namespace
} // namespace quorvel::test
