// The connection to the club application's database: opening under the key with the LastClose
// bookkeeping, queries, grouped commits, preview, and the creation of a new database.

#include "storage/queries.hpp"
#include <quorvel/database.hpp>
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <thread>

using namespace quorvel;
using namespace quorvel::storage;
using namespace quorvel::test;

namespace {

long ErrorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        EXPECT_EQ(e.description().find("quenoril"), std::string::npos) << "the key never shows";
        return e.number();
    }
    return 0;
}

} // namespace

TEST(Storage, ConnectingSetsLastCloseFalseAtOnceAndDisconnectingSetsItTrue) {
    TempDir dir;
    std::string db = dir / "club.db";
    CreateDatabase(db);
    Connection c;
    Connect(c, DatabaseName::File(db));
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "0"); // seen by another connection at once
    Connect(c, DatabaseName::File(db));                       // reconnecting closes, then reopens
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "0");
    Disconnect(c);
    EXPECT_EQ(c.State(), 0);
    EXPECT_EQ(Scalar(db, "select LastClose from Info"), "1");

    EXPECT_EQ(ErrorNumber([&] { Connect(c, DatabaseName::File(dir / "absent.db")); }), 14);
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.db")) << "never created";
    // A file path is a file path, whatever it looks like: only a caller's explicit choice reaches
    // a server.
    try {
        Connect(c, DatabaseName::File("postgresql://127.0.0.1:1/club"));
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 14);
        EXPECT_EQ(e.description(), "unable to open database file");
    }
    EXPECT_EQ(ErrorNumber([&] { c.Open(DatabaseName::File(db, "x")); }), 26);
    for (const char* bytes : {"not a database at all, not even close to one............", ""}) {
        WriteFile(dir / "other.db", bytes);
        EXPECT_EQ(ErrorNumber([&] { Connect(c, DatabaseName::File(dir / "other.db")); }), 26);
        EXPECT_EQ(ReadFile(dir / "other.db"), bytes) << "left as it was";
    }
    EXPECT_EQ(c.State(), 0);
    EXPECT_EQ(ReadFile(db).find("SQLite format 3"), std::string::npos) << "unreadable without the key";
}

TEST(Storage, QueriesReadTextAndAFailingStatementUndoesOnlyItself) {
    TempDir dir;
    std::string db = dir / "club.db";
    CreateDatabase(db);
    Exec(db, "CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN NEW.licence = 'BAD' "
             "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    Connection c;
    Connect(c, DatabaseName::File(db));
    for (const char* licence : {"OK1", "BAD", "OK2"}) {
        try {
            c.Execute("INSERT INTO Licence (Code_club, licence, Nom) VALUES ('fra1', ?1, ?2)",
                      {licence, "L'Étoile"});
        } catch (const Error& e) {
            EXPECT_EQ(e.description(), "refus");
        }
    }
    ResultTable t;
    RequeteTableau(c, t, "select Num, Nom from Licence where Code_club = ?1 order by Num", {"FRA1"});
    ASSERT_EQ(t.Count(0), 2u) << "codes compare without regard to case";
    EXPECT_EQ(t.Item(1, 2), "L'Étoile");
    EXPECT_EQ(ErrorNumber([&] { t.Item(1, 3); }), errnum::kSubscriptOutOfRange);
    RequeteTableau(c, t, "select Num, Nom from Licence where 0");
    EXPECT_EQ(t.Columns(), 2);
    EXPECT_EQ(t.Count(1), 0u);

    EXPECT_EQ(ErrorNumber([&] { RequeteTableau(c, t, "select Prenom from Licence"); }),
              errnum::kInvalidUseOfNull);
    EXPECT_EQ(ErrorNumber([&] { lngRequeteValeur(c, "select 1 where 0"); }), errnum::kNoCurrentRecord);
    EXPECT_EQ(ErrorNumber([&] { c.Execute("INSERT INTO Nowhere VALUES (1)"); }), 1);
    EXPECT_EQ(lngRequeteValeur(c, "select count(*) from Licence"), 2) << "still usable";
    Disconnect(c);
    EXPECT_EQ(Scalar(db, "select group_concat(licence) from Licence"), "OK1,OK2");
}

TEST(Storage, AnUndoneTransactionIsToldAndAPreviewChangesNoByte) {
    TempDir dir;
    std::string db = dir / "club.db";
    CreateDatabase(db);
    Exec(db, "CREATE TRIGGER undo BEFORE INSERT ON Licence WHEN NEW.licence = 'X' "
             "BEGIN SELECT RAISE(ROLLBACK, 'tout annulé'); END;");
    {
        Connection c;
        Connect(c, DatabaseName::File(db));
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '1')");
        c.Commit();
        EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "1") << "seen once committed";
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '2')");
        EXPECT_FALSE(c.TransactionLost());
        EXPECT_EQ(
            ErrorNumber([&] { c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', 'X')"); }),
            19);
        EXPECT_TRUE(c.TransactionLost()) << "the engine undid licence 2 with it";
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '3')");
        c.Rollback();
        EXPECT_FALSE(c.TransactionLost());
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '4')");
    }
    EXPECT_EQ(Scalar(db, "select group_concat(licence) from Licence"), "1,4");
    std::string before = ReadFile(db);
    {
        Connection c;
        c.SetPreview(true);
        Connect(c, DatabaseName::File(db));
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('A', '3')");
        EXPECT_EQ(lngRequeteValeur(c, "select count(*) from Licence"), 3);
        Disconnect(c);
    }
    EXPECT_EQ(ReadFile(db), before);
}

TEST(Storage, ANewDatabaseHoldsTheTablesAndTheFrenchReferenceData) {
    TempDir dir;
    std::string db = dir / "club.db";
    CreateDatabase(db);
    EXPECT_EQ(Scalar(db, "select count(*) from Info where LastClose = 1"), "1");
    EXPECT_EQ(Scalar(db, "select count(*) from Departement d left join Region r on r.Code = d.Region "
                         "left join Inter_Region i on i.Code = r.CodeInter where i.Code is null"),
              "0")
        << "every department lies in a region of an inter-region";
    EXPECT_EQ(Scalar(db, "select count(*) from Departement where Code in ('075', '02A', '02B', '971')"), "4");
    EXPECT_EQ(Scalar(db, "select count(*) || min(length(Code)) || max(length(Code)) from Region"), "1822");
    EXPECT_EQ(Scalar(db, "select count(*) from Pays where code = 'fra'"), "1");
    EXPECT_EQ(ErrorNumber([&] { CreateDatabase(db); }), errnum::kFileExists);

    std::string bare = dir / "bare.db";
    CreateDatabase(bare, false);
    EXPECT_EQ(Scalar(bare, "select count(*) from Pays"), "0");
    EXPECT_EQ(Scalar(bare,
                     "select count(*) from sqlite_master where type = 'table' and name in "
                     "('Info','Club','Licence','Selection','Pays','Inter_Region','Region','Departement')"),
              "8");
    WriteFile(dir / "ref.txt", "\t# comment\n  [Pays]\n  FRA ;\tFrance \t\n");
    CreateHostDatabase(dir / "ref.db", dir / "ref.txt");
    EXPECT_EQ(Scalar(dir / "ref.db", "select code || '|' || Libelle from Pays"), "FRA|France");
    WriteFile(dir / "bad.txt", "[Pays]\nFRA;France\n[Nowhere]\n");
    EXPECT_EQ(ErrorNumber([&] { CreateHostDatabase(dir / "bad.db", dir / "bad.txt"); }),
              errnum::kBadArgument);
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.db")) << "a failed creation leaves no file";
}

TEST(Storage, AReferenceFileLineThatFitsNoTableIsRefusedWithItsNumber) {
    TempDir dir;
    struct Refused {
        const char* text;
        const char* why;
    };
    const Refused refused[] = {
        {"# no section yet\nFRA;France\n", ", ligne 2 : ligne de données mal formée"},
        {"[Pays]\nFRA;France;Europe\n", ", ligne 2 : ligne de données mal formée"},
        {"[Region]\n\n11;1\n", ", ligne 3 : ligne de données mal formée"},
        {"[Pays]\nFRA;France\n[Nowhere]\n", ", ligne 3 : section inconnue [Nowhere]"},
    };
    for (const Refused& r : refused) {
        WriteFile(dir / "ref.txt", r.text);
        try {
            CreateHostDatabase(dir / "ref.db", dir / "ref.txt");
            ADD_FAILURE() << r.text << ": accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), errnum::kBadArgument) << r.text;
            EXPECT_EQ(e.description(), std::string(dir / "ref.txt") + r.why) << r.text;
        }
        EXPECT_FALSE(std::filesystem::exists(dir / "ref.db")) << r.text;
    }
    // Blank lines, comments and spaces around fields are no rows.
    WriteFile(dir / "ref.txt", "[Inter_Region]\n \n# 9;comment\n  1 ; Nord \n\t\n[Region]\n#\n11;1;Ile\n");
    CreateHostDatabase(dir / "ref.db", dir / "ref.txt");
    EXPECT_EQ(Scalar(dir / "ref.db", "select group_concat(Code || '|' || Libelle) from Inter_Region"),
              "1|Nord");
    EXPECT_EQ(Scalar(dir / "ref.db", "select Code || CodeInter || Libelle from Region"), "111Ile");
}
