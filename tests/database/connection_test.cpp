// The host database: opening with the key, LastClose bookkeeping, the two read operations,
// grouped commits and the schema of a new database.

#include "database/queries.hpp"
#include "support/test_support.hpp"

#include <quorvel/database.hpp>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace quorvel;
using namespace quorvel::db;
using quorvel::test::Exec;
using quorvel::test::Query;
using quorvel::test::Scalar;
using quorvel::test::TempDir;

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override { quorvel::test::CreateDatabase(path); }
    TempDir dir;
    std::string path = dir / "club.db";
};

} // namespace

TEST_F(DatabaseTest, ConnectingSetsLastCloseFalseAndDisconnectingSetsItTrue) {
    Connection c;
    std::string err = "untouched";
    ASSERT_TRUE(bConnexion(c, path, err));
    EXPECT_EQ(err, "untouched");
    EXPECT_EQ(c.State(), 1);
    EXPECT_EQ(Scalar(path, "select LastClose from Info"), "0"); // seen by another connection at once

    ASSERT_TRUE(bConnexion(c, path, err)); // reconnecting closes (true) and reopens (false)
    EXPECT_EQ(Scalar(path, "select LastClose from Info"), "0");

    ASSERT_TRUE(bDeconnexion(c, err));
    EXPECT_EQ(c.State(), 0);
    EXPECT_EQ(Scalar(path, "select LastClose from Info"), "1");
    EXPECT_TRUE(bDeconnexion(c, err)); // never opened / already closed: nothing to do
}

TEST_F(DatabaseTest, AMissingFileOrAWrongKeyFailsWithTheEngineError) {
    Connection c;
    std::string err;
    EXPECT_FALSE(bConnexion(c, dir / "absent.db", err));
    EXPECT_EQ(err.rfind("Erreur n° 14: ", 0), 0u) << err;
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.db")); // never created

    EXPECT_THROW(c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
                        ";Jet OLEDB:Database Password=wrong;"),
                 Error);
    try {
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path + ";Jet OLEDB:Database Password=wrong;");
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 26);
        EXPECT_EQ(e.description().find("wrong"), std::string::npos); // the key never shows
    }
    EXPECT_EQ(c.State(), 0);
}

TEST_F(DatabaseTest, AFileIsNeverReadableWithoutTheKey) {
    std::string head = quorvel::test::ReadFile(path).substr(0, 16);
    EXPECT_NE(head, std::string("SQLite format 3\0", 16));
}

TEST_F(DatabaseTest, ScalarAndTabularQueries) {
    Connection c;
    std::string err;
    ASSERT_TRUE(bConnexion(c, path, err));
    EXPECT_EQ(lngRequeteValeur(c, "select count(*) from Club"), 0);

    c.Execute("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES (?1, ?2, ?3)",
              {"FRA1750750001", "Club A", 0});
    c.Execute("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES (?1, ?2, ?3)",
              {"FRA1750750002", "L'Étoile", 0});
    c.Execute("INSERT INTO Club (Code_federal, Intitule, Selection) VALUES (?1, ?2, ?3)",
              {"FRA1750750003", "Club C", 1});

    ResultTable t;
    RequeteTableau(c, t, "select Num, Intitule from Club order by Num");
    ASSERT_EQ(t.Columns(), 2);
    ASSERT_EQ(t.Count(0), 3u);
    EXPECT_EQ(t.Item(0, 1), "1");
    EXPECT_EQ(t.Item(0, 3), "3");
    EXPECT_EQ(t.Item(1, 2), "L'Étoile");
    EXPECT_THROW(t.Item(1, 4), Error);

    RequeteTableau(c, t, "select Num, Intitule from Club where Code_federal = ?1", {"fra1750750002"});
    EXPECT_EQ(t.Count(0), 1u) << "codes compare without regard to case";

    RequeteTableau(c, t, "select Num, Intitule from Club where Code_federal = ?1", {"nothing"});
    EXPECT_EQ(t.Columns(), 2);
    EXPECT_EQ(t.Count(0), 0u);
    EXPECT_EQ(t.Count(1), 0u);
    EXPECT_EQ(t.Count(7), 0u);

    EffaceTableau(t);
    EXPECT_EQ(t.Count(0), 0u);
    ASSERT_TRUE(bDeconnexion(c, err));
}

TEST_F(DatabaseTest, FailingQueriesRaiseAndLeaveNothingOpen) {
    Connection c;
    std::string err;
    ASSERT_TRUE(bConnexion(c, path, err));
    c.Execute("INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES ('A', '1', NULL, 'x')");
    ResultTable t;
    try {
        RequeteTableau(c, t, "select Nom, Prenom from Licence");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), errnum::kInvalidUseOfNull);
    }
    EXPECT_THROW(lngRequeteValeur(c, "select count(*) from NoSuchTable"), Error);
    EXPECT_THROW(lngRequeteValeur(c, "select 1 where 0"), Error); // no row
    EXPECT_THROW(c.Execute("INSERT INTO Nowhere VALUES (1)"), Error);
    // The connection is still usable and what ran before the failures is kept.
    EXPECT_EQ(lngRequeteValeur(c, "select count(*) from Licence"), 1);
    ASSERT_TRUE(bDeconnexion(c, err));
    EXPECT_EQ(Scalar(path, "select count(*) from Licence"), "1");
}

TEST_F(DatabaseTest, AFailingStatementKeepsTheWorkBeforeIt) {
    Exec(path, "CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.licence = 'BAD' "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    Connection c;
    std::string err;
    ASSERT_TRUE(bConnexion(c, path, err));
    c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', 'OK1')");
    EXPECT_THROW(c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', 'BAD')"), Error);
    c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', 'OK2')");
    c.Commit();
    EXPECT_EQ(Scalar(path, "select group_concat(licence) from Licence"), "OK1,OK2");
    ASSERT_TRUE(bDeconnexion(c, err));
}

TEST_F(DatabaseTest, WorkBecomesDurableWithinTheCommitInterval) {
    Connection c;
    std::string err;
    ASSERT_TRUE(bConnexion(c, path, err));
    c.SetCommitInterval(std::chrono::milliseconds(50));
    c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '1')");
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '2')"); // passes the interval
    EXPECT_EQ(Scalar(path, "select count(*) from Licence"), "2");
    ASSERT_TRUE(bDeconnexion(c, err));
}

TEST_F(DatabaseTest, APreviewLeavesTheFileByteForByteUnchanged) {
    std::string before = quorvel::test::ReadFile(path);
    {
        Connection c;
        c.SetPreview(true);
        std::string err;
        ASSERT_TRUE(bConnexion(c, path, err));
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '1')");
        EXPECT_EQ(lngRequeteValeur(c, "select count(*) from Licence"), 1);
        ASSERT_TRUE(bDeconnexion(c, err));
    }
    EXPECT_EQ(quorvel::test::ReadFile(path), before);
}

TEST(Schema, ANewDatabaseHoldsTheTablesAndTheFrenchReferenceData) {
    TempDir dir;
    std::string path = dir / "club.db";
    quorvel::test::CreateDatabase(path);
    EXPECT_EQ(Scalar(path, "select count(*) from Info where LastClose = 1"), "1");
    EXPECT_EQ(Scalar(path, "select count(*) from Pays where code = 'FRA'"), "1");
    EXPECT_EQ(Scalar(path, "select count(*) from Inter_Region where Code = 0"), "1");
    // Every department names an existing region, every region an existing inter-region.
    EXPECT_EQ(Scalar(path, "select count(*) from Departement d left join Region r on r.Code = d.Region "
                           "where r.Code is null"),
              "0");
    EXPECT_EQ(Scalar(path, "select count(*) from Region r left join Inter_Region i on i.Code = r.CodeInter "
                           "where i.Code is null"),
              "0");
    EXPECT_EQ(Scalar(path, "select count(*) from Departement where Code in ('075', '02A', '02B', '971')"), "4");
    EXPECT_EQ(Scalar(path, "select min(length(Code)) || max(length(Code)) from Region"), "22");
    EXPECT_THROW(quorvel::test::CreateDatabase(path), Error); // never overwrites

    std::string bare = dir / "bare.db";
    quorvel::test::CreateDatabase(bare, false);
    EXPECT_EQ(Scalar(bare, "select count(*) from Pays"), "0");
    EXPECT_EQ(Scalar(bare, "select count(*) from sqlite_master where type = 'table' and name in "
                           "('Info','Club','Licence','Selection','Pays','Inter_Region','Region','Departement')"),
              "8");
}
