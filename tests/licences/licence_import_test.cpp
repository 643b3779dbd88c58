// The licence pass, driven through the public import: what each kind of line writes to the
// TraceLog and to the database.

#include "support/import_run.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using Lines = std::vector<std::string>;
using Rows = std::vector<Lines>;

LicenceLine Swimmer(const std::string& club, const std::string& licence, const std::string& nom = "DUPONT",
                    const std::string& prenom = "Jean") {
    LicenceLine l;
    l.club = club;
    l.licence = licence;
    l.nom = nom;
    l.prenom = prenom;
    l.naissance = "";
    return l;
}

// Léa, as the export writes it (é is the DOS byte 0x82).
const std::string kLea = "L\x82"
                         "a";

LicenceLine SelectionEntry(const std::string& licence, const std::string& ownClub,
                           const std::string& ownLicence) {
    LicenceLine l = Swimmer("FRA5110000000", licence, "MARTIN", kLea);
    l.origineClub = ownClub;
    l.origineLicence = ownLicence;
    return l;
}

Lines Summary(long imported, long lines, long known, long relay, long errors, long clubs) {
    auto s = [](long n) { return n > 1 ? "s" : ""; };
    using std::to_string;
    return {"",
            "Récupération de " + to_string(imported) + " licence" + s(imported) + " sur " + to_string(lines) +
                ".",
            to_string(known) + " licence" + s(known) + " déjà connue" + s(known) + ".",
            to_string(relay) + " licence" + s(relay) + " de type relais.",
            to_string(errors) + " entrée" + s(errors) + " en erreur.",
            to_string(clubs) + " club" + s(clubs) + " ajouté" + s(clubs) + " avec le libellé Null.",
            ""};
}

Lines Concat(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const std::string kRennes = "FRA1010350007";
const std::string kParis = "FRA5110750012";
const std::string kSelection = "FRA5110000000";

class LicencePass : public ::testing::Test {
protected:
    ImportRun run;
    // The clubs of the tests are known from club.txt, so the licence pass finds them handled.
    void SetUp() override {
        run.Clubs({ClubLine(kRennes, "Rennes"), ClubLine(kParis, "Paris"), ClubLine(kSelection, "IDF")});
    }
    Lines Import(const std::vector<LicenceLine>& lines, Clock clock = FixedClock(2026, 6, 15)) {
        Lines text;
        for (const auto& l : lines)
            text.push_back(l.Build());
        run.Licences(text);
        EXPECT_TRUE(run.Run(std::move(clock)));
        return run.LicenceSection();
    }
    Rows Licences() { return run.Rows("SELECT Code_club, licence, Nom, Prenom FROM Licence ORDER BY Num"); }
};

TEST_F(LicencePass, NewLicencesAreStoredAndCounted) {
    EXPECT_EQ(Import({Swimmer(kRennes, "851234"), Swimmer(kParis, "901111", "Lef\x8Avre", "Th\x82o")}),
              Summary(2, 2, 0, 0, 0, 0));
    EXPECT_EQ(Licences(),
              (Rows{{kRennes, "851234", "DUPONT", "Jean"}, {kParis, "901111", "LEFEVRE", "Théo"}}));
}

TEST_F(LicencePass, ARepeatedLineIsSkippedSilently) {
    LicenceLine l = Swimmer(kRennes, "851234");
    EXPECT_EQ(Import({l, l}), Summary(1, 2, 0, 0, 0, 0));
    EXPECT_EQ(Licences().size(), 1u);
}

TEST_F(LicencePass, RelayLicencesAreCountedAndNothingElse) {
    EXPECT_EQ(
        Import({Swimmer(kRennes, "R00451", "RELAIS 4X50"), Swimmer("FRA3070340004", "r00452", "RELAIS")}),
        Summary(0, 2, 0, 2, 0, 0));
    EXPECT_TRUE(Licences().empty());
    EXPECT_EQ(run.Value("SELECT count(*) FROM Club WHERE Code_federal = 'FRA3070340004'"), "0");
}

TEST_F(LicencePass, AnUnknownValidClubIsCreatedUnderThePlaceholderName) {
    EXPECT_EQ(Import({Swimmer("FRA3070340004", "061555"), Swimmer("FRA3070340004", "081008")}),
              Concat({"Warning Ligne n° : 1.",
                      "Code club (FRA3070340004) inconnu de la base. Création avec Le libelle Null."},
                     Summary(2, 2, 0, 0, 0, 1)));
    EXPECT_EQ(run.Value("SELECT Intitule FROM Club WHERE Code_federal = 'FRA3070340004'"), "Null");
}

TEST_F(LicencePass, ARefusedClubIsAnErrorOnEachOfItsLines) {
    LicenceLine l = Swimmer("FRA9990000001", "851234");
    LicenceLine shortCode = Swimmer("FRA12", "851235");
    EXPECT_EQ(
        Import({l, l, shortCode}),
        Concat({"Erreur Ligne n° : 1.",
                "Code club (FRA9990000001) inconnu de la base. Echec de la création avec Le libelle Null.",
                "Erreur Ligne n° : 2.",
                "Code club (FRA9990000001) inconnu de la base. Echec de la création avec Le libelle Null.",
                "Erreur Ligne n° : 3.",
                "Code club (FRA12        ) inconnu de la base. Echec de la création avec Le libelle Null."},
               Summary(0, 3, 0, 0, 3, 0)));
    EXPECT_TRUE(Licences().empty());
}

TEST_F(LicencePass, ABlankLineIsAnErrorForItsEmptyClubCode) {
    run.Licences({Swimmer(kRennes, "851234").Build(), "", Swimmer(kRennes, "851235").Build()});
    EXPECT_TRUE(run.Run(FixedClock(2026, 6, 15)));
    EXPECT_EQ(run.LicenceSection(),
              Concat({"Erreur Ligne n° : 2.",
                      "Code club () inconnu de la base. Echec de la création avec Le libelle Null."},
                     Summary(2, 3, 0, 0, 1, 0)));
}

TEST_F(LicencePass, AKnownLicenceUnderAnotherNameIsReportedAndKept) {
    Import({Swimmer(kRennes, "851234", "Dupont", "Jean")});
    EXPECT_EQ(Import({Swimmer(kRennes, "851234", "DUPONT", "Jean"), Swimmer(kRennes, "851234", "x", "y")}),
              Summary(0, 2, 1, 0, 0, 0));
    EXPECT_EQ(Import({Swimmer(kRennes, "851234", "Dupont", "Jean-Paul")}),
              Concat({"Warning Ligne n° : 1.", "Licence (FRA1010350007 + 851234) déjà utilisée.",
                      "Nom dans la base : DUPONT Jean", "Nom dans fichier : Dupont Jean-Paul"},
                     Summary(0, 1, 1, 0, 0, 0)));
    EXPECT_EQ(Licences(), (Rows{{kRennes, "851234", "DUPONT", "Jean"}}));
}

TEST_F(LicencePass, ASelectionEntryStoresTheSwimmerUnderTheirOwnClubOnce) {
    EXPECT_EQ(Import({SelectionEntry("081502", kParis, "081777"), Swimmer(kParis, "081777", "MARTIN", kLea),
                      SelectionEntry("081502", kParis, "081777")}),
              Summary(1, 3, 0, 0, 0, 0));
    EXPECT_EQ(Licences(), (Rows{{kParis, "081777", "MARTIN", "Léa"}}));
    EXPECT_EQ(run.Rows("SELECT Code_Sel, Num_Lic FROM Selection"), (Rows{{kSelection, "1"}}));
}

TEST_F(LicencePass, AnUnknownOriginClubIsCreatedByTheLoop) {
    EXPECT_EQ(Import({SelectionEntry("081502", "FRA3070340004", "081777")}),
              Concat({"Warning Ligne n° : 1.",
                      "Code club (FRA3070340004) inconnu de la base. Création avec Le libelle Null."},
                     Summary(1, 1, 0, 0, 0, 1)));
}

TEST_F(LicencePass, ABlankOriginLicenceKeepsTheSelectionsNumberUnderTheOwnClub) {
    EXPECT_EQ(
        Import({SelectionEntry("081502", "FRA3070340004", "")}),
        Concat({"Warning Ligne n° : 1.",
                "Enregistrement dans une sélection, mais information sur la licence origine (code club + "
                "licence) erronée.",
                "Erreur Ligne n° : 1.",
                "Véritable numéro de licence introuvable, utilisation de celui de la sélection : 081502",
                "Création d'un club avec le code FRA3070340004 et libellé Null"},
               Summary(1, 1, 0, 0, 0, 1)));
    EXPECT_EQ(Licences(), (Rows{{"FRA3070340004", "081502", "MARTIN", "Léa"}}));
    EXPECT_EQ(run.Rows("SELECT Code_Sel, Num_Lic FROM Selection"), (Rows{{kSelection, "1"}}));
}

TEST_F(LicencePass, ABlankOriginLicenceIsFoundAgainOnTheNextImport) {
    Import({SelectionEntry("081502", "FRA3070340004", "")});
    EXPECT_EQ(
        Import({SelectionEntry("081502", "FRA3070340004", "")}),
        Concat({"Warning Ligne n° : 1.",
                "Enregistrement dans une sélection, mais information sur la licence origine (code club + "
                "licence) erronée."},
               Summary(0, 1, 1, 0, 0, 0)));
    EXPECT_EQ(Licences(), (Rows{{"FRA3070340004", "081502", "MARTIN", "Léa"}}));
    EXPECT_EQ(run.Rows("SELECT Code_Sel, Num_Lic FROM Selection"), (Rows{{kSelection, "1"}}));
}

TEST_F(LicencePass, AShortLicenceNumberIsFoundAgainOnTheNextImport) {
    Import({Swimmer(kParis, "8512")});
    EXPECT_EQ(Import({Swimmer(kParis, "8512")}), Summary(0, 1, 1, 0, 0, 0));
    EXPECT_EQ(Licences(), (Rows{{kParis, "8512", "DUPONT", "Jean"}}));
}

TEST_F(LicencePass, ARefusedOriginClubStoresNothing) {
    EXPECT_EQ(
        Import({SelectionEntry("081502", "FRA9990000001", "081777")}),
        Concat({"Warning Ligne n° : 1.",
                "Enregistrement dans une sélection, mais information sur la licence origine (code club + "
                "licence) erronée.",
                "Une erreur s'est produite dans la fonction d'ajout de club.",
                "Le code club est erronné : FRA9990000001", "Erreur Ligne n° : 1.",
                "Echec lors de la mémorisation du nageur MARTIN Léa, licence 081777, Club FRA5110000000.",
                "Le code club est erronné : FRA9990000001"},
               Summary(0, 1, 0, 0, 1, 0)));
    EXPECT_TRUE(Licences().empty());
    EXPECT_TRUE(run.Rows("SELECT * FROM Selection").empty());
}

TEST_F(LicencePass, AKnownSwimmerJoinsTheSelectionOnlyOnce) {
    Import({Swimmer(kParis, "081777", "MARTIN", kLea)});
    EXPECT_EQ(Import({SelectionEntry("081502", kParis, "081777")}), Summary(0, 1, 1, 0, 0, 0));
    EXPECT_EQ(Import({SelectionEntry("081502", kParis, "081777")}), Summary(0, 1, 1, 0, 0, 0));
    EXPECT_EQ(run.Rows("SELECT Code_Sel, Num_Lic FROM Selection"), (Rows{{kSelection, "1"}}));
}

TEST_F(LicencePass, AKnownSwimmerThatCannotJoinTheSelectionIsAnError) {
    Import({Swimmer(kParis, "081777", "MARTIN", kLea)});
    run.Change(
        "CREATE TRIGGER refuse BEFORE INSERT ON Selection BEGIN SELECT RAISE(ABORT, 'sélection close'); END");
    EXPECT_EQ(
        Import({SelectionEntry("081502", kParis, "081777"), SelectionEntry("081502", kParis, "081777")}),
        Concat({"Erreur Ligne n° : 1.", "Erreur n° 19: sélection close",
                "Problème lors de l'insertion dans la sélection.", "Erreur Ligne n° : 2.",
                "Erreur n° 19: sélection close", "Problème lors de l'insertion dans la sélection."},
               Summary(0, 2, 2, 0, 2, 0)));
}

TEST_F(LicencePass, AFailedInsertionNamesTheSwimmerAndTheRegistryMessage) {
    run.Change("INSERT INTO Club (Code_federal, Intitule) VALUES ('FRA3070340004', 'Sète')");
    run.Change(
        "CREATE TRIGGER refuse BEFORE INSERT ON Licence BEGIN SELECT RAISE(ABORT, 'base pleine'); END");
    EXPECT_EQ(
        Import({Swimmer(kRennes, "851234"), Swimmer("FRA3070340004", "851235"),
                Swimmer("FRA3070340004", "851236")}),
        Concat({"Erreur Ligne n° : 1.", "Une erreur s'est produite lors de l'ajout d'une licence.",
                "Erreur n° 19: base pleine", "Erreur Ligne n° : 1.",
                "Echec lors de la mémorisation du nageur DUPONT Jean, licence 851234, Club FRA1010350007.",
                "", "Erreur Ligne n° : 2.", "Une erreur s'est produite lors de l'ajout d'une licence.",
                "Erreur n° 19: base pleine", "Erreur Ligne n° : 2.",
                "Echec lors de la mémorisation du nageur DUPONT Jean, licence 851235, Club FRA3070340004.",
                "Le code club FRA3070340004 est déjà utilisé pour le club : Sète", "Erreur Ligne n° : 3.",
                "Une erreur s'est produite lors de l'ajout d'une licence.", "Erreur n° 19: base pleine",
                "Erreur Ligne n° : 3.",
                "Echec lors de la mémorisation du nageur DUPONT Jean, licence 851236, Club FRA3070340004.",
                "Le code club FRA3070340004 est déjà utilisé pour le club : Sète"},
               Summary(0, 3, 0, 0, 3, 0)));
}

TEST_F(LicencePass, QuotesAndNoBreakSpacesAreStoredIntact) {
    LicenceLine l = Swimmer(kRennes, "851234", "O'Neil", "K\x82vin");
    l.adresse = "8 rue d'Ys\xA0"
                "bis";
    Import({l});
    EXPECT_EQ(run.Rows("SELECT Nom, Prenom, Adresse FROM Licence"),
              (Rows{{"O'NEIL", "Kévin", "8 rue d'Ys\u00A0bis"}}));
}

TEST_F(LicencePass, TheBirthDateFollowsTheInjectedToday) {
    Import({Swimmer(kRennes, "271234")}, FixedClock(2026, 12, 31));
    Import({Swimmer(kParis, "271234")}, FixedClock(2027, 1, 1));
    EXPECT_EQ(run.Rows("SELECT Code_club, Date_Naissance FROM Licence ORDER BY Num"),
              (Rows{{kRennes, "19270101"}, {kParis, "20270101"}}));
}

TEST_F(LicencePass, ALicenceWithoutAYearInterruptsThePassAndKeepsTheEarlierLines) {
    EXPECT_EQ(Import({Swimmer(kRennes, "851234"), Swimmer(kRennes, "861234"), Swimmer(kRennes, "AB1234"),
                      Swimmer(kRennes, "871234")}),
              (Lines{"Erreur Ligne n° : 3.", "Import des licences interrompu.",
                     "Erreur n° 13: Incompatibilité de type", ""}));
    EXPECT_EQ(Licences().size(), 2u);
}

TEST_F(LicencePass, ADatabaseFailureInterruptsThePassAndKeepsTheEarlierLines) {
    Import({Swimmer(kParis, "081777", "MARTIN", kLea)});
    run.Change("DROP TABLE Selection");
    EXPECT_EQ(Import({Swimmer(kRennes, "851234"), SelectionEntry("081502", kParis, "081777"),
                      Swimmer(kRennes, "861234")}),
              (Lines{"Erreur Ligne n° : 2.", "Import des licences interrompu.",
                     "Erreur n° 1: no such table: Selection", ""}));
    EXPECT_EQ(Licences(), (Rows{{kParis, "081777", "MARTIN", "Léa"}, {kRennes, "851234", "DUPONT", "Jean"}}));
}

TEST_F(LicencePass, AStoredNameThatIsNullInterruptsThePass) {
    run.Change("INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('FRA1010350007', '851234', "
               "NULL, 'Jean')");
    EXPECT_EQ(Import({Swimmer(kRennes, "851234")}),
              (Lines{"Erreur Ligne n° : 1.", "Import des licences interrompu.",
                     "Erreur n° 94: Utilisation incorrecte de Null", ""}));
}

TEST_F(LicencePass, TwoSelectionEntriesSharingTheSelectionNumberButNotTheOriginInterrupt) {
    EXPECT_EQ(
        Import({SelectionEntry("081502", kParis, "081777"), SelectionEntry("081502", kRennes, "081888")}),
        (Lines{"Erreur Ligne n° : 2.", "Import des licences interrompu.",
               "Erreur n° 457: Cette clé est déjà associée à un élément de cette collection", ""}));
    EXPECT_EQ(Licences().size(), 2u);
}

TEST_F(LicencePass, AnEmptyFileWritesTheSummaryOfZeros) {
    run.Licences({});
    EXPECT_TRUE(run.Run());
    EXPECT_EQ(run.LicenceSection(), Summary(0, 0, 0, 0, 0, 0));
}

} // namespace
} // namespace quorvel::test
