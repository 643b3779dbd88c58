// Cutting a licence.txt line into its fields: positions, trimming, the surname, the dates and the
// birth date that must agree with the licence number.

#include "support/test_support.hpp"

#include "base/text_conversion.hpp"
#include "licences/licence_record.hpp"

#include <quorvel/error.hpp>

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using namespace licences;

LicenceRecord Fill(const LicenceLine& l, std::size_t length = 248, std::string_view today = "20260615") {
    std::string line = l.Build().substr(0, length);
    base::ConvertDosInPlace(line);
    LicenceRecord r;
    Remplir_Licence(line, today, r);
    return r;
}

TEST(LicenceRecord, AFullLineGivesItsTwentyFourFieldsWithoutSurroundingSpaces) {
    LicenceLine l;
    l.suite = "  B\xE2t. B  ";
    l.flags = "ONOONN";
    l.origineClub = "FRA1010350007";
    l.origineLicence = "061005";
    l.codeUnique = "IUF-42";
    LicenceRecord r = Fill(l);
    EXPECT_EQ(r.fields, (std::array<std::string, 24>{"FRA1750750001",
                                                     "851234",
                                                     "DUPONT",
                                                     "Jean",
                                                     "M",
                                                     "19850503",
                                                     "FRA",
                                                     "1 rue de la Paix",
                                                     "Bât. B",
                                                     "75001",
                                                     "PARIS",
                                                     "0102030405",
                                                     "O",
                                                     "N",
                                                     "O",
                                                     "O",
                                                     "N",
                                                     "N",
                                                     "20250901",
                                                     "20250915",
                                                     "C",
                                                     "N",
                                                     "FRA1010350007061005",
                                                     "IUF-42"}));
    EXPECT_EQ(r.origin.club, "FRA1010350007");
    EXPECT_EQ(r.origin.licence, "061005");
}

TEST(LicenceRecord, OnlySpacesAreTrimmed) {
    LicenceLine l;
    l.prenom = "\tJean ";
    EXPECT_EQ(Fill(l)[kPrenom], "\tJean");
}

TEST(LicenceRecord, TheOriginPartsKeepTheirPositions) {
    LicenceLine l;
    l.origineClub = "  FRA10103";
    l.origineLicence = "0610";
    LicenceRecord r = Fill(l);
    EXPECT_EQ(r[kOrigine], "FRA10103   0610");
    EXPECT_EQ(r.origin.club, "FRA10103");
    EXPECT_EQ(r.origin.licence, "0610");
}

TEST(LicenceRecord, AShortLineLeavesTheMissingFieldsEmpty) {
    LicenceLine l;
    l.origineClub = "FRA1010350007";
    l.origineLicence = "061005";
    LicenceRecord r = Fill(l, 207);
    EXPECT_EQ(r[21], "N");
    EXPECT_EQ(r[kOrigine], "");
    EXPECT_EQ(r[kCodeUnique], "");
    EXPECT_EQ(r.origin.club, "");
    EXPECT_EQ(r.origin.licence, "");
    r = Fill(l, 200);
    EXPECT_EQ(r[kDateDepot], "20250901");
    EXPECT_EQ(r[kDateObliteration], "");
    EXPECT_EQ(r[20], "");
}

TEST(LicenceRecord, DatesAreReorderedOnlyWhenEightCharactersLong) {
    LicenceLine l;
    l.depot = " 0109202";
    l.obliteration = "ABCDEFGH";
    LicenceRecord r = Fill(l);
    EXPECT_EQ(r[kDateDepot], "");
    EXPECT_EQ(r[kDateObliteration], "EFGHCDAB");
    l.depot = "01011990";
    l.obliteration = "";
    r = Fill(l);
    EXPECT_EQ(r[kDateDepot], "19900101");
    EXPECT_EQ(r[kDateObliteration], "");
}

TEST(LicenceRecord, TheSurnameIsFoldedToPlainCapitalsAndTheFirstNameKept) {
    LicenceLine l;
    l.nom = "H\x82l\x8Ane M\x81ller";
    l.prenom = "J\x82r\x93me";
    LicenceRecord r = Fill(l);
    EXPECT_EQ(r[kNom], "HELENE MULLER");
    EXPECT_EQ(r[kPrenom], "Jérôme");

    l.nom = "  d'\xC9"
            "b\x8Ane-\xC7"
            "ava  "; // d'Ébène-Çava, capitals in Windows-1252
    EXPECT_EQ(Fill(l)[kNom], "D'EBENE-CAVA");
    l.nom = "B\x97"; // ù has no plain form here
    EXPECT_EQ(Fill(l)[kNom], "BÙ");
    l.nom = "\x83\x84\x85\x87\x88\x89\x8B\x8C\x94\x96";
    EXPECT_EQ(Fill(l)[kNom], "AAACEEIIOU");
}

// The birth date agrees with the two-digit year at the head of the licence number.
struct BirthCase {
    std::string licence;
    std::string naissance;
    std::string today;
    std::string stored;
};

class BirthDate : public ::testing::TestWithParam<BirthCase> {};

TEST_P(BirthDate, IsRepairedFromTheLicenceYear) {
    const BirthCase& c = GetParam();
    LicenceLine l;
    l.licence = c.licence;
    l.naissance = c.naissance;
    EXPECT_EQ(Fill(l, 248, c.today)[kDateNaissance], c.stored);
}

INSTANTIATE_TEST_SUITE_P(
    LicenceRecord, BirthDate,
    ::testing::Values(BirthCase{"851234", "03051985", "20260615", "19850503"}, // years agree
                      BirthCase{"851234", "", "20260615", "19850101"},         // missing
                      BirthCase{"851234", "03051986", "20260615", "19850101"}, // disagrees
                      BirthCase{"851234", "0305198", "20260615", "19850101"},  // malformed
                      BirthCase{"001234", "01012000", "20260615", "20000101"},
                      BirthCase{"091776", "09092008", "20260615", "20090101"},
                      BirthCase{"291234", "", "20260615", "19290101"}, // the 2000s end at 29 ...
                      BirthCase{"301234", "", "20260615", "19300101"}, // ... and 30 is in the 1900s
                      BirthCase{"261234", "", "20260615", "20260101"}, // today's year is not future
                      BirthCase{"271234", "", "20261231", "19270101"}, // a future year is a century back
                      BirthCase{"271234", "", "20270101", "20270101"}, // until that day comes
                      BirthCase{"8", "", "20260615", "20080101"},      // a one-digit year
                      BirthCase{"", "", "20260615", ""}));             // nothing to compare

TEST(LicenceRecord, ALicenceThatDoesNotOpenWithAYearIsATypeMismatch) {
    for (std::string licence : {"AB1234", "8A1234", "-11234"}) {
        LicenceLine l;
        l.licence = licence;
        try {
            Fill(l);
            ADD_FAILURE() << licence << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), errnum::kTypeMismatch) << licence;
        }
    }
    LicenceLine l;
    l.licence = "";
    EXPECT_THROW(Fill(l), Error); // an empty licence number against a birth date
}

} // namespace
} // namespace quorvel::test
