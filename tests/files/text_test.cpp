// DOS letters, Windows-1252 <-> UTF-8, and dates.

#include "base/encoding.hpp"
#include "base/text_conversion.hpp"

#include <gtest/gtest.h>

using namespace quorvel::base;

TEST(TextConversion, TheFifteenDosLettersAndNothingElse) {
    EXPECT_EQ(Cp1252ToUtf8(strConversionDos("\x82l\x8Ave")), "élève");
    EXPECT_EQ(Cp1252ToUtf8(strConversionDos("\x81\x82\x83\x84\x85\x87\x88\x89\x8A\x8B\x8C\x93\x94\x96\x97")),
              "üéâäàçêëèïîôöûù");
    // Capitals and other DOS letters keep the Windows-1252 character of their byte.
    EXPECT_EQ(strConversionDos("\x90\x86\x80\x8E\x99\x9A\xA0"), "\x90\x86\x80\x8E\x99\x9A\xA0");
    EXPECT_EQ(strConversionDos("plain ASCII 123 'x'"), "plain ASCII 123 'x'");
}

TEST(TextConversion, DateInverseRearrangesAnyEightCharacters) {
    EXPECT_EQ(strDateInverse("31121999"), "19991231");
    EXPECT_EQ(strDateInverse("ABCDEFGH"), "EFGHCDAB");
    EXPECT_EQ(strDateInverse("3112199"), "");
    EXPECT_EQ(strDateInverse(""), "");
}

TEST(Encoding, Windows1252RoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9C\xA0\xE9"), "€œ\u00A0é");
    EXPECT_EQ(Utf8ToCp1252("日本"), "??");
    EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?"); // a truncated sequence
}

TEST(Encoding, LetterCaseCoversAccentedLetters) {
    EXPECT_EQ(Cp1252Lower('\xC9'), '\xE9'); // É -> é
    EXPECT_EQ(Cp1252Upper('\xF9'), '\xD9'); // ù -> Ù
    EXPECT_EQ(Cp1252Upper('\x9C'), '\x8C'); // œ -> Œ
    EXPECT_EQ(Cp1252Upper('\xFF'), '\x9F'); // ÿ -> Ÿ
    EXPECT_EQ(Cp1252Upper('\xDF'), '\xDF'); // ß has no capital here
    EXPECT_EQ(Cp1252Lower('\xD7'), '\xD7'); // × is not a letter
}
