// Inserts and updates of one row made into statements of many, for a server.

#include "storage/many_rows.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using quorvel::storage::ManyRowsInsert;
using quorvel::storage::ManyRowsUpdate;
using quorvel::storage::UpdateShapeOf;

TEST(ManyRowsInsert, AnInsertOfParametersInOrderTakesManyRowsAndAnythingElseNone) {
    EXPECT_EQ(ManyRowsInsert("INSERT INTO T (a, b) VALUES (?1, ?2)", 3),
              "INSERT INTO T (a, b) VALUES (?1, ?2), (?3, ?4), (?5, ?6)");
    EXPECT_EQ(ManyRowsInsert("INSERT INTO T (a) VALUES (?1)", 1), "INSERT INTO T (a) VALUES (?1)");
    const std::string ten =
        "INSERT INTO T (a, b, c, d, e, f, g, h, i, j) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)";
    EXPECT_EQ(ManyRowsInsert(ten, 2), ten + ", (?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20)");
    for (const char* other : {
             "INSERT INTO T (a, b) VALUES (?2, ?1)",        // parameters out of order
             "INSERT INTO T (a, b) VALUES (?1, 'x')",       // a value of its own
             "INSERT INTO T (a) VALUES (?1) RETURNING Num", // rows sent back
             "INSERT INTO T (a) SELECT ?1",                 // no VALUES
             "UPDATE T SET a = ?1",                         // not an insert
             "INSERT INTO T (a) VALUES (?1), (?2)",         // already many
             "INSERT INTO T (a) VALUES ()",
         })
        EXPECT_EQ(ManyRowsInsert(other, 2), "") << other;
    EXPECT_EQ(ManyRowsInsert("INSERT INTO T (a) VALUES (?1)", 0), "");
}

TEST(ManyRowsUpdate, AnUpdateOfParametersTakesItsRowsFromAListAndAnythingElseNone) {
    const char* iuf = "UPDATE Licence Set Code_unique = ?1 WHERE Code_Club = ?2 and Licence = ?3";
    EXPECT_EQ(ManyRowsUpdate(iuf, 2, {"text", "text", "character varying(6)"}),
              "UPDATE Licence SET Code_unique = quorvel_v.p1 FROM (VALUES (?1::text, ?2::text, "
              "?3::character varying(6)), (?4, ?5, ?6)) AS quorvel_v(p1, p2, p3) "
              "WHERE Licence.Code_Club = quorvel_v.p2 AND Licence.Licence = quorvel_v.p3");
    ASSERT_TRUE(UpdateShapeOf(iuf));
    EXPECT_EQ(UpdateShapeOf(iuf)->keys, (std::vector<std::size_t>{1, 2}));
    ASSERT_TRUE(UpdateShapeOf("UPDATE T SET a = ?2, b = ?3 WHERE c = ?1"));
    EXPECT_EQ(UpdateShapeOf("UPDATE T SET a = ?2, b = ?3 WHERE c = ?1")->keys, (std::vector<std::size_t>{0}));
    const auto club = UpdateShapeOf("Update Club set Intitule = ?1 where Num = ?2");
    ASSERT_TRUE(club);
    EXPECT_EQ(club->columns, (std::vector<std::string>{"Intitule", "Num"}));
    EXPECT_EQ(club->table, "Club");
    EXPECT_EQ(ManyRowsUpdate(iuf, 2, {"text"}), "") << "a type for each parameter";
    for (const char* other : {
             "UPDATE T SET a = ?1",               // every row
             "UPDATE T SET a = ?1 WHERE b = ?1",  // a parameter twice
             "UPDATE T SET a = ?1 WHERE b = ?3",  // one left out
             "UPDATE T SET a = 'x' WHERE b = ?1", // a value of its own
             "UPDATE T SET a = ?1 WHERE b = ?2 OR c = ?3",
             "UPDATE T SET a = ?1 WHERE b > ?2",
             "DELETE FROM T WHERE a = ?1",
         }) {
        EXPECT_EQ(ManyRowsUpdate(other, 2, {"text", "text", "text"}), "") << other;
        EXPECT_FALSE(UpdateShapeOf(other)) << other;
    }
}
