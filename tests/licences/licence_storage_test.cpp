// Storing a new licence and the selection membership rows. What the licence pass reports around
// them is tested with the pass itself.

#include "support/session.hpp"

#include "files/text_conversion.hpp"
#include "licences/licence_insertion.hpp"
#include "licences/selection_membership.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using namespace licences;
using Lines = std::vector<std::string>;
using Rows = std::vector<Lines>;

class LicenceStorage : public ::testing::Test {
protected:
    TempDir dir;
    OpenSession s{dir};
    long clubsCrees = 0;

    LicenceRecord Record(const LicenceLine& l) {
        std::string line = l.Build();
        files::ConvertDosInPlace(line);
        LicenceRecord r;
        Remplir_Licence(line, "20260615", r);
        return r;
    }
    bool Store(LicenceRecord& r, long line = 7) { return bAjout_Licence(*s, r, clubsCrees, line); }
    Rows Licences() { return s.Rows("SELECT Num, Code_club, licence, Nom FROM Licence ORDER BY Num"); }
    Rows Selections() { return s.Rows("SELECT Code_Sel, Num_Lic FROM Selection ORDER BY Num"); }

    static LicenceLine SelectionEntry(const std::string& ownClub, const std::string& ownLicence) {
        LicenceLine l;
        l.club = "FRA5110000000";
        l.licence = "081502";
        l.nom = "DUPONT";
        l.origineClub = ownClub;
        l.origineLicence = ownLicence;
        return l;
    }
};

TEST_F(LicenceStorage, AnOrdinaryLicenceIsOneRowOfEveryFieldButItsOrigin) {
    LicenceLine l;
    l.origineClub = "FRA1010350007";
    l.origineLicence = "061005";
    l.codeUnique = "1234567";
    LicenceRecord r = Record(l);
    EXPECT_TRUE(Store(r));
    EXPECT_EQ(
        s.Rows("SELECT Code_club, licence, Nom, Prenom, sexe, Date_Naissance, Nationalite, Adresse, "
               "Suite_adresse, Code_Postal, Localite, Telephone, Sportive, Synchro, Water_Polo, Plongeon, "
               "Dirigeant, Maitre, Date_Depot, Date_obliteration, Type_licence, Nature, Code_unique, "
               "quote(Date_suppr) FROM Licence"),
        (Rows{{"FRA1750750001",
               "851234",
               "DUPONT",
               "Jean",
               "M",
               "19850503",
               "FRA",
               "1 rue de la Paix",
               "",
               "75001",
               "PARIS",
               "0102030405",
               "O",
               "O",
               "O",
               "O",
               "O",
               "O",
               "20250901",
               "20250915",
               "C",
               "N",
               "1234567",
               "''"}}));
    EXPECT_TRUE(Selections().empty());
    EXPECT_TRUE(s.Trace().empty());
}

TEST_F(LicenceStorage, ASelectionEntryIsStoredUnderTheSwimmersOwnClubAndJoinsTheSelection) {
    s.Change("INSERT INTO Licence (Code_club, licence, Nom) VALUES ('FRA1010350007', '000001', 'AUTRE')");
    LicenceRecord r = Record(SelectionEntry("FRA5110750012", "081777"));
    s->colClubsTraites.Add("FRA5110750012");
    EXPECT_TRUE(Store(r));
    EXPECT_EQ(r[kCodeClub], "FRA5110750012");
    EXPECT_EQ(r[kLicence], "081777");
    EXPECT_EQ(Licences(),
              (Rows{{"1", "FRA1010350007", "000001", "AUTRE"}, {"2", "FRA5110750012", "081777", "DUPONT"}}));
    EXPECT_EQ(Selections(), (Rows{{"FRA5110000000", "2"}}));
    EXPECT_TRUE(s.Trace().empty());
    EXPECT_EQ(clubsCrees, 0);
}

TEST_F(LicenceStorage, AFailedMembershipIsReportedButTheLicenceStays) {
    s->colClubsTraites.Add("FRA5110750012");
    s.Change(
        "CREATE TRIGGER refuse BEFORE INSERT ON Selection BEGIN SELECT RAISE(ABORT, 'sélection close'); END");
    LicenceRecord r = Record(SelectionEntry("FRA5110750012", "081777"));
    EXPECT_TRUE(Store(r, 3));
    EXPECT_EQ(s.Trace(),
              (Lines{"Erreur Ligne n° : 3.", "Problème lors de l'ajout du nageur dans la sélection.",
                     "Erreur n° 19: sélection close"}));
    EXPECT_EQ(Licences().size(), 1u);
}

TEST_F(LicenceStorage, ARowThatCannotBeFoundAgainDoesNotJoinTheSelection) {
    s->colClubsTraites.Add("FRA5110750012");
    s.Change(
        "CREATE TRIGGER vanish AFTER INSERT ON Licence BEGIN DELETE FROM Licence WHERE Num = NEW.Num; END");
    LicenceRecord r = Record(SelectionEntry("FRA5110750012", "081777"));
    EXPECT_FALSE(Store(r, 5));
    EXPECT_EQ(s.Trace(),
              (Lines{"Erreur Ligne n° : 5.", "La licence n'a pas été correctement insérée dans la base.",
                     "Impossible de l'ajouter à la sélection."}));
    EXPECT_TRUE(Selections().empty());
}

TEST_F(LicenceStorage, AMembershipLinksTheSelectionCodeToTheLicenceKey) {
    std::string error = "untouched";
    EXPECT_TRUE(bAjout_Selection(*s, "FRA1230000000", "42", error));
    EXPECT_TRUE(bAjout_Selection(*s, "FRA'230000000", "43", error));
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(s.Rows("SELECT Code_Sel, Num_Lic, typeof(Num_Lic) FROM Selection ORDER BY Num"),
              (Rows{{"FRA1230000000", "42", "integer"}, {"FRA'230000000", "43", "integer"}}));
}

TEST_F(LicenceStorage, AMembershipWithoutALicenceKeyIsRefused) {
    for (std::string key : {"", "4 2", "x"}) {
        std::string error;
        EXPECT_FALSE(bAjout_Selection(*s, "FRA1230000000", key, error)) << key;
        EXPECT_EQ(error.rfind("Erreur n° ", 0), 0u) << error;
    }
    EXPECT_TRUE(Selections().empty());
}

} // namespace
} // namespace quorvel::test
