// The club registry: its six outcomes, the messages callers report, and the rows it writes.

#include "support/session.hpp"

#include "clubs/club_registry.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

using clubs::ClubResult;
using clubs::iTraite_Club;

class ClubRegistry : public ::testing::Test {
protected:
    TempDir dir;
    OpenSession s{dir};
    std::string message = "left by the caller";

    ClubResult Traite(const std::string& code, const std::string& name) {
        return iTraite_Club(*s, code, name, message);
    }
    void Store(const std::string& code, const std::string& name) {
        s.Change("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('" + code + "', '" + name +
                 "', 0)");
    }
    std::vector<std::vector<std::string>> Clubs() {
        return s.Rows("SELECT Code_federal, Intitule, Selection FROM Club");
    }
};

TEST_F(ClubRegistry, ANewValidCodeIsCreatedUnderTheGivenName) {
    EXPECT_EQ(Traite("FRA1010350007", "Rennes Aquatique Club"), ClubResult::Created);
    EXPECT_EQ(message, "");
    EXPECT_EQ(Clubs(),
              (std::vector<std::vector<std::string>>{{"FRA1010350007", "Rennes Aquatique Club", "0"}}));
}

TEST_F(ClubRegistry, ANewSelectionCodeIsCreatedAsASelection) {
    EXPECT_EQ(Traite("FRA5110000000", "Sélection régionale"), ClubResult::Created);
    EXPECT_EQ(Clubs(),
              (std::vector<std::vector<std::string>>{{"FRA5110000000", "Sélection régionale", "1"}}));
}

TEST_F(ClubRegistry, AnInvalidNewCodeIsRefusedAndNothingIsStored) {
    for (std::string code : {"FRA101035000", "FRA10103500071", "FRA9010350007", "FRAX010350007"}) {
        EXPECT_EQ(Traite(code, "Club"), ClubResult::Refused) << code;
        EXPECT_EQ(message, "Le code club est erronné : " + code);
    }
    EXPECT_TRUE(Clubs().empty());
}

TEST_F(ClubRegistry, AFailedCreationIsRefusedWithoutTheDatabaseReason) {
    s.Change("CREATE TRIGGER refuse BEFORE INSERT ON Club BEGIN SELECT RAISE(ABORT, 'refusé'); END");
    EXPECT_EQ(Traite("FRA1010350007", "Club"), ClubResult::Refused);
    EXPECT_EQ(message, "Erreur lors de la sauvegarde du club avec le code FRA1010350007.");
}

TEST_F(ClubRegistry, ThePlaceholderNameIsReplacedByTheFirstRealName) {
    Store("FRA1010350007", "Null");
    EXPECT_EQ(Traite("FRA1010350007", "Club de l'Ouest"), ClubResult::NameFilledIn);
    EXPECT_EQ(message, "");
    EXPECT_EQ(s.Value("SELECT Intitule FROM Club"), "Club de l'Ouest");
}

TEST_F(ClubRegistry, TheSameNameIsKnownAndNothingIsWritten) {
    Store("FRA1010350007", "Null");
    EXPECT_EQ(Traite("FRA1010350007", "Null"), ClubResult::SameName);
    Store("FRA3070340004", "Sète");
    EXPECT_EQ(Traite("fra3070340004", "Sète"), ClubResult::SameName);
    EXPECT_EQ(message, "");
    EXPECT_EQ(s.Value("SELECT count(*) FROM Club"), "2");
}

TEST_F(ClubRegistry, AnyOtherNameIsReportedAndTheStoredNameStays) {
    Store("FRA1010350007", "Rennes AC");
    for (std::string name : {"Null", "RENNES AC", "Rennes  AC", "Stade rennais"}) {
        EXPECT_EQ(Traite("FRA1010350007", name), ClubResult::OtherName) << name;
        EXPECT_EQ(message, "Le code club FRA1010350007 est déjà utilisé pour le club : Rennes AC");
    }
    EXPECT_EQ(s.Value("SELECT Intitule FROM Club"), "Rennes AC");
}

TEST_F(ClubRegistry, ACodeHandledDuringTheCallIsAnsweredWithoutTheDatabase) {
    s->colClubsTraites.Add("FRA1010350007");
    s.Change("DROP TABLE Club");
    EXPECT_EQ(Traite("fra1010350007", "Any name"), ClubResult::AlreadyHandled);
    EXPECT_EQ(message, "left by the caller");
}

TEST_F(ClubRegistry, ADatabaseFailureIsAFailureWithTheErrorText) {
    s.Change("DROP TABLE Club");
    EXPECT_EQ(Traite("FRA1010350007", "Club"), ClubResult::Failed);
    EXPECT_EQ(message.rfind("Erreur n° ", 0), 0u) << message;
    EXPECT_NE(message.find("Club"), std::string::npos) << message;
}

TEST_F(ClubRegistry, AStoredNameThatIsNullInTheDatabaseIsAFailure) {
    s.Change("INSERT INTO Club (Code_federal, Intitule) VALUES ('FRA1010350007', NULL)");
    EXPECT_EQ(Traite("FRA1010350007", "Club"), ClubResult::Failed);
    EXPECT_EQ(message, "Erreur n° 94: Utilisation incorrecte de Null");
}

TEST_F(ClubRegistry, NamesAndCodesWithQuotesAreStoredIntact) {
    EXPECT_EQ(Traite("FRA1010350007", "L'Étoile d'O'Neil"), ClubResult::Created);
    EXPECT_EQ(Traite("FRA1'; DROP T", "x"), ClubResult::Refused);
    EXPECT_EQ(Clubs(), (std::vector<std::vector<std::string>>{{"FRA1010350007", "L'Étoile d'O'Neil", "0"}}));
}

TEST(SelectionCode, IsACodeEndingInFourZeros) {
    EXPECT_TRUE(clubs::bCode_Selection("FRA5110000000"));
    EXPECT_TRUE(clubs::bCode_Selection("0000"));
    EXPECT_FALSE(clubs::bCode_Selection("FRA5110750012"));
    EXPECT_FALSE(clubs::bCode_Selection("FRA511000000 "));
    EXPECT_FALSE(clubs::bCode_Selection("000"));
    EXPECT_FALSE(clubs::bCode_Selection(""));
}

} // namespace
} // namespace quorvel::test
