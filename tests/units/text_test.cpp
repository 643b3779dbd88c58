// Reading export files: line ends, the DOS letters, Windows-1252 and UTF-8, dates.

#include "base/data_file.hpp"
#include "base/encoding.hpp"
#include "base/text_conversion.hpp"
#include "support/support.hpp"

#include <quorvel/error.hpp>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::base;
using Lines = std::vector<std::string>;

namespace {

Lines Read(const std::string& bytes) {
    test::TempDir dir;
    test::WriteFile(dir / "f.txt", bytes);
    DataFile f;
    f.Open(dir / "f.txt");
    Lines lines;
    while (!f.AtEnd())
        lines.emplace_back(f.ReadLine());
    return lines;
}

} // namespace

TEST(DataFile, LinesEndAtCrLfLoneCrOrLoneLfWhateverTheirLength) {
    EXPECT_EQ(Read("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(Read("a\r\n\r\n"), (Lines{"a", ""})) << "a blank last line is a line";
    EXPECT_EQ(Read(""), Lines{});
    EXPECT_EQ(Read(std::string("x\0y\r\n", 5)), (Lines{std::string("x\0y", 3)}));
    std::string edge((1 << 20) - 1, 'y'); // CR ends one read buffer, LF opens the next
    EXPECT_EQ(Read(edge + "\r\nz\r\n").back(), "z");
    EXPECT_EQ(Read(edge + "\r\nz\r\n").size(), 2u);
    EXPECT_EQ(Read("\xEF\xBB\xBF"
                   "a\r\n\xEF\xBB\xBF"),
              (Lines{"a", "\xEF\xBB\xBF"}))
        << "a byte-order mark opens the file only";

    // A huge line is read to its end, and only what any record needs of it is kept.
    test::TempDir dir;
    test::WriteFile(dir / "long.txt", std::string(3'000'000, 'x') + "\r\nz");
    DataFile f;
    f.Open(dir / "long.txt");
    EXPECT_TRUE(f.ReadLine() == std::string(DataFile::kMaxKept, 'x'));
    EXPECT_EQ(f.LastLineLength(), 3'000'000u);
    EXPECT_EQ(f.ReadLine(), "z");

    test::WriteFile(dir / "utf16.txt", "\xFF\xFEl\0i\0");
    for (auto [path, number] : {std::pair{dir / "utf16.txt", errnum::kBadFileFormat},
                                std::pair{std::string("/nonexistent/f.txt"), errnum::kFileNotFound}}) {
        try {
            DataFile().Open(path);
            ADD_FAILURE() << path;
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        }
    }
}

TEST(DataFile, ReadingAgainFromAnOffsetGivesTheSameLines) {
    // Mixed line ends, and a line that crosses from one read buffer into the next.
    const std::string content = "x\ny\rz\r\nw\n" + std::string((1 << 20) - 5, 'p') + "\r\nq\rr\ns";
    test::TempDir dir;
    test::WriteFile(dir / "f.txt", content);
    DataFile f;
    f.Open(dir / "f.txt");
    std::vector<std::uint64_t> starts;
    Lines lines;
    while (!f.AtEnd()) {
        starts.push_back(f.Tell());
        lines.emplace_back(f.ReadLine());
    }
    ASSERT_EQ(lines.size(), 8u);
    // Reads up to line `until`, then again from line `from`, as a batch done again does: back
    // within the buffer in hand, back into the buffer before it, and on to the end.
    f.Seek(0);
    std::size_t next = 0;
    for (auto [until, from] : {std::pair{3u, 1u}, {3u, 0u}, {6u, 5u}, {7u, 2u}, {8u, 6u}, {8u, 0u}}) {
        for (; next < until; ++next)
            ASSERT_EQ(f.ReadLine(), lines[next]) << "line " << next;
        f.Seek(starts[from]);
        next = from;
    }
    for (; next < lines.size(); ++next)
        EXPECT_EQ(f.ReadLine(), lines[next]) << "line " << next;
    EXPECT_TRUE(f.AtEnd());
}

TEST(Text, DosLettersWindows1252AndUtf8) {
    EXPECT_EQ(Cp1252ToUtf8(strConversionDos("\x81\x82\x83\x84\x85\x87\x88\x89\x8A\x8B\x8C\x93\x94\x96\x97")),
              "üéâäàçêëèïîôöûù");
    EXPECT_EQ(strConversionDos("\x90\x86\x80\x8E\x99\x9A\xA0 x'"), "\x90\x86\x80\x8E\x99\x9A\xA0 x'")
        << "capitals and other bytes stay";
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
    EXPECT_EQ(Cp1252ToUtf8("\x80\x9C\xA0\xE9"), "€œ\u00A0é");
    EXPECT_EQ(Utf8ToCp1252("日本 a\xC3"), "?? a?");

    std::string line = "\xEF\xBB\xBF"
                       "DUPONT Hélène";
    EXPECT_TRUE(Utf8LineToCp1252(line));
    EXPECT_EQ(line, "DUPONT H\xE9l\xE8ne") << "one byte a letter, the byte-order mark dropped";
    line = "H\x82l\x8Ane";
    EXPECT_FALSE(Utf8LineToCp1252(line)) << "DOS bytes are not UTF-8";
    line = "plain";
    EXPECT_FALSE(Utf8LineToCp1252(line));

    EXPECT_EQ(Cp1252Upper('\x9C'), '\x8C'); // œ -> Œ
    EXPECT_EQ(Cp1252Upper('\xFF'), '\x9F'); // ÿ -> Ÿ
    EXPECT_EQ(Cp1252Upper('\xDF'), '\xDF'); // ß has no capital here
    EXPECT_EQ(Cp1252Lower('\xD7'), '\xD7'); // × is not a letter
    EXPECT_EQ(Cp1252Lower('\xC9'), '\xE9');

    EXPECT_EQ(strDateInverse("31121999"), "19991231");
    EXPECT_EQ(strDateInverse("3112199"), "");
    EXPECT_EQ(TrimSpaces("  a\tb  "), "a\tb");
    EXPECT_EQ(TrimSpaces("   "), "");
}
