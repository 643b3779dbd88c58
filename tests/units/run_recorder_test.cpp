// What the run report keeps of a run's entries: their kinds (the message with what the line read
// left out), the same entries in memory or spilled to a file, both taken back exactly when a batch
// is undone; and texts as a terminal or a page may show them.

#include "tracelog/entry_kind.hpp"
#include "tracelog/run_recorder.hpp"

#include <gtest/gtest.h>

using quorvel::ReportEntry;
using quorvel::RunReport;

TEST(RunRecorder, AnEntrysKindLeavesOutItsCodesNamesAndFile) {
    struct {
        ReportEntry entry;
        const char* kind;
    } const kTable[] = {
        {{"w/licence.txt", 3, "Warning", "FRA1010350007", "091342", "",
          "Licence (FRA1010350007 + 091342) déjà utilisée.\nNom dans la base : QUEMENER Anaïs\nNom dans "
          "fichier : "
          "Quéméner Anaïs"},
         "Licence (… + …) déjà utilisée. Nom dans la base : … Nom dans fichier : …"},
        {{"w/licence.txt", 9, "Erreur", "FRA1010350007", "851237", "",
          "Echec lors de la mémorisation du nageur DUPONT Jean, licence 851237, Club FRA1010350007.\n"},
         "Echec lors de la mémorisation du nageur …, licence …, Club …."},
        {{"iuf/b.txt", 0, "Warning", "", "", "",
          "Longueur des lignes dans le fichier iuf/b.txt insuffisante.\nTraitement annulé pour ce fichier"},
         "Longueur des lignes dans le fichier … insuffisante. Traitement annulé pour ce fichier"},
        {{"w/licence.txt", 4, "Erreur", "", "", "",
          "Une erreur s'est produite lors de l'ajout d'une licence.\nErreur n° 19: refus"},
         "Une erreur s'est produite lors de l'ajout d'une licence. Erreur n° 19: refus"},
    };
    for (const auto& row : kTable)
        EXPECT_EQ(quorvel::tracelog::KindOf(row.entry), row.kind);
    EXPECT_EQ(quorvel::Printable("a\x1b[31mb\x7f\xc2\x81\x01é\n"), "a\\x1B[31mb\\x7F\\x81\\x01é\n");
}

TEST(RunRecorder, AnUndoneBatchTakesBackItsEntriesGroupsAndInterruptionWhetherSpilledOrNot) {
    for (bool spill : {false, true}) {
        RunReport report;
        report.spillEntries = spill;
        quorvel::tracelog::RunRecorder recorder(&report);
        recorder.BeginPass("licences", "w/licence.txt");
        auto known = [&](long line) {
            recorder.SetCodes("FRA1", std::to_string(line));
            recorder.Entry(line, "Warning", "Licence (FRA1 + " + std::to_string(line) + ") déjà utilisée.");
        };
        known(1);
        recorder.Mark();
        known(2);
        recorder.Entry(3, "Erreur", "Refus");
        recorder.Interrupted(3, 19, "Import des licences interrompu.\r\nErreur n° 19: refus");
        recorder.Entry(3, "Erreur", "Import des licences interrompu.\r\nErreur n° 19: refus");
        recorder.InterruptionWritten();
        recorder.Rewind();
        known(2);
        recorder.EndPass(true, {{quorvel::tracelog::PassCount::Lines, 2}});

        ASSERT_EQ(report.groups.size(), 1u) << spill;
        EXPECT_EQ(report.groups[0].count, 2);
        EXPECT_EQ(report.groups[0].first.size(), 2u);
        EXPECT_EQ(report.warnings + report.errors, 2);
        EXPECT_EQ(report.passes[0].stoppedAt, 0);
        const std::string json = report.ToJson();
        EXPECT_EQ(report.entries.empty(), spill);
        EXPECT_NE(
            json.find("\"line\": 1, \"kind\": \"Warning\", \"codes\": {\"club\": \"FRA1\", \"licence\": "
                      "\"1\", \"selection\": \"\"}, \"message\": \"Licence (FRA1 + 1) déjà utilisée.\"},\n"
                      "    {\"file\": \"w/licence.txt\", \"line\": 2,"),
            std::string::npos)
            << json;
        EXPECT_EQ(json.find("\"line\": 3"), std::string::npos) << json;
    }
}
