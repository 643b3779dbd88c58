// Inserts of one row made into inserts of many, for a server.

#include "storage/insert_rows.hpp"

#include <gtest/gtest.h>

#include <string>

using quorvel::storage::ManyRowsInsert;

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
