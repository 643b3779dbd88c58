// The TraceLog's bytes: Windows-1252, CR LF, entry forms and the plural rule.

#include "tracelog/progress.hpp"
#include "tracelog/trace_log.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::tracelog;
using quorvel::test::ReadFile;
using quorvel::test::TempDir;

namespace {

std::string Written(const std::function<void(TraceLog&)>& write) {
    TempDir dir;
    TraceLog trace;
    trace.Open(dir / "trace.log");
    write(trace);
    trace.Close();
    return ReadFile(dir / "trace.log");
}

} // namespace

TEST(TraceLog, EntriesAreWindows1252TextEndingInCrLf) {
    std::string bytes = Written([](TraceLog& t) {
        t.Write("Début");
        t.Write("");
        t.Write("n° 3 à");
    });
    EXPECT_EQ(bytes, "D\xE9" "but\r\n\r\nn\xB0 3 \xE0\r\n");
}

TEST(TraceLog, OpeningEmptiesAnExistingFileAndAMissingFolderFailsNamingThePath) {
    TempDir dir;
    quorvel::test::WriteFile(dir / "t.log", "old content\r\n");
    {
        TraceLog trace;
        trace.Open(dir / "t.log");
        trace.Write("new");
        trace.Close();
    }
    EXPECT_EQ(ReadFile(dir / "t.log"), "new\r\n");

    TraceLog trace;
    try {
        trace.Open(dir / "missing/t.log");
        FAIL() << "opening in a missing folder must fail";
    } catch (const Error& e) {
        EXPECT_NE(e.description().find("missing/t.log"), std::string::npos) << e.description();
    }
}

TEST(TraceLog, TraceLigneAndTraceErreurFrameTheMessage) {
    std::string bytes = Written([](TraceLog& t) {
        TraceLigne(t, 12, "M", "Erreur");
        TraceLigne(t, 3, "sans tag", "");
        TraceErreur(t, "seul", 0);
        TraceErreur(t, "avec ligne", 7);
        Error current(94, "Utilisation incorrecte de Null");
        TraceErreur(t, "pendant une erreur", 0, &current);
        Error negative(-2147467259, "Erreur non spécifiée");
        TraceErreur(t, "négatif", 4, &negative);
    });
    EXPECT_EQ(bytes, "Erreur Ligne n\xB0 : 12.\r\nM\r\n"
                     " Ligne n\xB0 : 3.\r\nsans tag\r\n"
                     "seul\r\n"
                     "Erreur Ligne n\xB0 : 7.\r\navec ligne\r\n"
                     "pendant une erreur\r\nErreur n\xB0 94: Utilisation incorrecte de Null\r\n"
                     "Erreur Ligne n\xB0 : 4.\r\nn\xE9gatif\r\nErreur n\xB0 -2147467259: Erreur non sp\xE9" "cifi\xE9" "e\r\n");
}

TEST(TraceLog, PluralMarkersFollowTheOneCountPassed) {
    std::string bytes = Written([](TraceLog& t) {
        TracePluriel(t, 3, " club<PLURIEL> déjà connu<PLURIEL>.");
        TracePluriel(t, 2, " licence<PLURIEL> sur ");
        TracePluriel(t, 1, "1 club<PLURIEL> déjà connu<PLURIEL>.");
        TracePluriel(t, 0, "0 club<PLURIEL>.");
        TracePluriel(t, -5, "-5 club<PLURIEL>.");
        TracePluriel(t, 9, "sans marqueur");
        TracePluriel(t, 2, "<pluriel> reste");
    });
    EXPECT_EQ(bytes, " clubs d\xE9j\xE0 connus.\r\n"
                     " licences sur \r\n"
                     "1 club d\xE9j\xE0 connu.\r\n"
                     "0 club.\r\n"
                     "-5 club.\r\n"
                     "sans marqueur\r\n"
                     "<pluriel> reste\r\n");
}

TEST(TraceLog, DateTimeTextIsTheFrenchShortDateAndLongTime) {
    EXPECT_EQ(strDateHeure(LocalDateTime{2026, 12, 6, 17, 38, 4}), "06/12/2026 17:38:04");
    EXPECT_EQ(strTexteErreur(3024, "desc"), "Erreur n° 3024: desc");
}

TEST(Progress, StepsClimbToExactlyOneHundredAndStayThere) {
    quorvel::test::RecordingForm form;
    for (int i = 0; i < 42; ++i) AvanceProgression(&form, 2.5);
    ASSERT_EQ(form.values.size(), 42u);
    EXPECT_DOUBLE_EQ(form.values[0], 2.5);
    EXPECT_DOUBLE_EQ(form.values[1], 5.0);
    EXPECT_DOUBLE_EQ(form.values[38], 97.5);
    EXPECT_DOUBLE_EQ(form.values[39], 100.0);
    EXPECT_DOUBLE_EQ(form.values[41], 100.0);

    quorvel::test::RecordingForm big;
    for (int i = 0; i < 5; ++i) AvanceProgression(&big, 30);
    EXPECT_EQ(big.values, (std::vector<double>{30, 60, 90, 100, 100}));

    AvanceProgression(nullptr, 30); // no form: nothing to show, no failure
    MetProgression(nullptr, 0);
}
