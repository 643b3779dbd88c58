// Reading export files: line ends, estimates and the first-line check, the origin line.

#include "session/import_session.hpp"
#include "base/data_file.hpp"
#include "session/line_count.hpp"
#include "session/origin_file.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::base;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;

namespace {

std::vector<std::string> Lines(const std::string& bytes) {
    TempDir dir;
    WriteFile(dir / "f.txt", bytes);
    DataFile f;
    f.Open(dir / "f.txt");
    std::vector<std::string> lines;
    while (!f.AtEnd()) lines.emplace_back(f.ReadLine());
    return lines;
}

using Lines_t = std::vector<std::string>;

} // namespace

TEST(DataFile, LinesEndAtCrLfLoneCrOrLoneLf) {
    EXPECT_EQ(Lines("a\r\nb\rc\nd"), (Lines_t{"a", "b", "c", "d"}));
    EXPECT_EQ(Lines("a\r\n"), (Lines_t{"a"}));
    EXPECT_EQ(Lines("a\r\n\r\n"), (Lines_t{"a", ""})); // a blank last line is a line
    EXPECT_EQ(Lines(""), Lines_t{});
    EXPECT_EQ(Lines(std::string("x\0y\r\n", 5)), (Lines_t{std::string("x\0y", 3)}));
}

TEST(DataFile, LinesLongerThanTheReadBufferAndCrLfSplitAcrossIt) {
    std::string longLine(3'000'000, 'x');
    EXPECT_EQ(Lines(longLine + "\r\nz"), (Lines_t{longLine, "z"}));
    std::string edge((1 << 20) - 1, 'y'); // CR is the buffer's last byte, LF the next one's first
    EXPECT_EQ(Lines(edge + "\r\nz\r\n"), (Lines_t{edge, "z"}));
}

TEST(DataFile, OpeningAFolderOrAMissingFileFailsNamingIt) {
    TempDir dir;
    DataFile f;
    for (const std::string& path : {dir / "missing.txt", dir.path().string()}) {
        try {
            f.Open(path);
            FAIL() << path;
        } catch (const Error& e) {
            EXPECT_NE(e.description().find(path), std::string::npos) << e.description();
        }
    }
}

class LineCountTest : public ::testing::Test {
protected:
    std::vector<std::string> Trace() {
        trace.Close();
        return quorvel::test::ReadTrace(dir / "t.log");
    }
    void SetUp() override { trace.Open(dir / "t.log"); }
    TempDir dir;
    tracelog::TraceLog trace;
};

TEST_F(LineCountTest, EstimateRoundsHalvesToEven) {
    std::string first(41, 'a');
    auto fileOf = [&](std::size_t size) {
        std::string bytes = first + "\r\n";
        bytes.resize(size, 'b');
        WriteFile(dir / "c.txt", bytes);
        return lngNombreLignes(trace, dir / "c.txt", 43);
    };
    EXPECT_EQ(fileOf(4300), 100);
    EXPECT_EQ(fileOf(4321), 100);
    EXPECT_EQ(fileOf(4322), 101);
    EXPECT_EQ(fileOf(43 * 2 + 43 / 2 + 1), 3);
    EXPECT_EQ(fileOf(43 * 5 / 2 + 0), 2); // 107 / 43 = 2.49
    WriteFile(dir / "h.txt", std::string(4, 'x') + "\r\n" + std::string(9, 'y')); // 15 / 6 = 2.5 -> 2
    EXPECT_EQ(lngNombreLignes(trace, dir / "h.txt", 0), 2);
    WriteFile(dir / "h.txt", std::string(4, 'x') + "\r\n" + std::string(15, 'y')); // 21 / 6 = 3.5 -> 4
    EXPECT_EQ(lngNombreLignes(trace, dir / "h.txt", 0), 4);
    EXPECT_EQ(Trace(), std::vector<std::string>{});
}

TEST_F(LineCountTest, AShortFirstLineIsReportedByTheFileName) {
    WriteFile(dir / "club2.txt", std::string(40, 'a') + "\r\n");
    WriteFile(dir / "ok.txt", std::string(41, 'a') + "\r\n");
    EXPECT_EQ(lngNombreLignes(trace, dir / "club2.txt", 43), 1);
    EXPECT_EQ(lngNombreLignes(trace, dir / "ok.txt", 43), 1);
    EXPECT_EQ(Trace(), (std::vector<std::string>{
                           "Warning Les lignes dans le fichier club2.txt n'ont pas la longueur requise.",
                           "Les informations pourront être incomplètes.", ""}));
}

TEST_F(LineCountTest, MissingAndEmptyFilesCountZeroWithoutWarning) {
    WriteFile(dir / "empty.txt", "");
    EXPECT_EQ(lngNombreLignes(trace, dir / "empty.txt", 248), 0);
    EXPECT_EQ(lngNombreLignes(trace, dir / "absent.txt", 248), 0);
    EXPECT_EQ(lngNombreLignes(trace, "", 248), 0);
    EXPECT_EQ(intLongueurLigne(dir / "empty.txt"), 0);
    EXPECT_EQ(intLongueurLigne(dir / "absent.txt"), 0);
    EXPECT_EQ(Trace(), std::vector<std::string>{});
}

class OriginTest : public ::testing::Test {
protected:
    std::vector<std::string> TraceOf(const std::string& path) {
        ImportSession s;
        s.trace.Open(dir / "t.log");
        s.strFileOrigine = path;
        TraceOrigine(s);
        s.trace.Close();
        return quorvel::test::ReadTrace(dir / "t.log");
    }
    TempDir dir;
};

TEST_F(OriginTest, TheFirstLineOnlyAsWrittenWithoutDosConversion) {
    WriteFile(dir / "origine.txt", "Appli \x82t\xE9 v2\r\nsecond\r\n");
    EXPECT_EQ(TraceOf(dir / "origine.txt"),
              (std::vector<std::string>{"Données source générées par l'application : Appli \u201At\u00E9 v2", ""}));
}

TEST_F(OriginTest, AMissingFileAndAnEmptyFile) {
    EXPECT_EQ(TraceOf(""), (std::vector<std::string>{"Données source générées par l'application : ",
                                                     "Fichier origine.txt non disponible", ""}));
    WriteFile(dir / "origine.txt", "");
    auto lines = TraceOf(dir / "origine.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Une erreur s'est produite lors de la lecture du fichier origine.txt");
    EXPECT_EQ(lines[1].rfind("Erreur n° 62: ", 0), 0u) << lines[1];
}
