// A write that a server runs inside a function of the session that catches its failure.

#include "storage/caught_statement.hpp"

#include <gtest/gtest.h>

#include <string>

TEST(CaughtStatement, AWriteRunsInAFunctionReadingEachParameterAsItsTypeAndAnythingElseDoesNot) {
    using quorvel::storage::CaughtStatementCall;
    using quorvel::storage::CaughtStatementFunction;
    const std::string made =
        CaughtStatementFunction("INSERT INTO T (a, b, c) VALUES (?1, ?2, 'x?3')", "f", {"text", "integer"});
    EXPECT_EQ(made, "CREATE FUNCTION pg_temp.f(text, text) RETURNS text LANGUAGE plpgsql AS $quorvel$\n"
                    "#variable_conflict use_column\nBEGIN\n"
                    "INSERT INTO T (a, b, c) VALUES ($1, CAST($2 AS integer), 'x?3');\n"
                    "RETURN NULL;\nEXCEPTION WHEN OTHERS THEN\nRETURN SQLSTATE || SQLERRM;\nEND\n$quorvel$");
    EXPECT_EQ(CaughtStatementCall("f", 2), "SELECT pg_temp.f(?1, ?2)");
    EXPECT_NE(CaughtStatementFunction("  update T set a = ? where b = ?", "f", {"text", "unknown"}), "");
    for (const char* other : {
             "SELECT a FROM T WHERE b = ?1",                // rows to read
             "INSERT INTO T (a) VALUES (?1) RETURNING Num", // rows sent back
             "DELETE FROM T; DELETE FROM U",                // two statements
             "INSERT INTO T (a) VALUES ('$quorvel$')",      // the function's own quote
         })
        EXPECT_EQ(CaughtStatementFunction(other, "f", {"text"}), "") << other;
    // Types that do not match the parameters the statement holds.
    EXPECT_EQ(CaughtStatementFunction("INSERT INTO T (a, b) VALUES (?1, ?2)", "f", {"text"}), "");
}
