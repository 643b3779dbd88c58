// The program speaks the user's language: French when the locale's messages are French, English
// otherwise; the TraceLog is the same bytes in both.

#include "support/support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

using namespace quorvel::test;

namespace {

namespace fs = std::filesystem;

// The summary without each pass's time and speed, which are the machine's own.
std::string WithoutTimes(const std::string& summary) {
    static const std::regex time(" — [0-9]+,[0-9] s(, [0-9 ]+ (lignes|lines)/s)?");
    return std::regex_replace(summary, time, "");
}

Outcome Preview(const Workspace& w, const std::vector<std::string>& environment) {
    return Quorvel({"import-licences", "--db", w.db, "--source", QUORVEL_SAMPLE_DIR, "--work", w.work,
                    "--trace", w.trace, "--today", "2026-12-06", "--dry-run"},
                   environment);
}

} // namespace

TEST(Language, TheSummaryFollowsTheLocaleAndTheTraceLogDoesNot) {
    Workspace w;
    const std::string summary =
        "Clubs (club.txt): 6 lines — 6 created, 0 already known, 0 known under another "
        "name, 0 updated, 0 in error\n";
    const std::string sommaire = "Clubs (club.txt) : 6 lignes — 6 créés, 0 déjà connu, 0 connu sous un autre "
                                 "libellé, 0 mis à jour, 0 en erreur\n";
    Outcome english = Preview(w, {"LC_ALL=", "LANG=C.UTF-8"});
    const std::string trace = ReadFile(w.trace);
    EXPECT_EQ(english.status, 0) << english.err;
    EXPECT_EQ(WithoutTimes(english.out).substr(0, 200),
              ("Preview completed: no line in error.\nPreview: nothing was stored in the database.\n" +
               summary +
               "Licences (licence.txt): 25 lines — 21 imported, 0 already known, 1 relay, 0 in error, 1 club "
               "added, 3 others (selection entries, repeated lines…)\n")
                  .substr(0, 200))
        << english.out;
    EXPECT_NE(english.out.find("1 warning, 0 errors, in 1 kind:\n  Warning × 1: "), std::string::npos);
    EXPECT_NE(english.out.find("    licence.txt line 22: Code club (FRA6120450018) inconnu"),
              std::string::npos)
        << "the library's own messages stay as the TraceLog has them";

    Outcome french = Preview(w, {});
    EXPECT_EQ(french.status, 0) << french.err;
    EXPECT_EQ(WithoutTimes(french.out)
                  .rfind("Aperçu terminé : aucune ligne en erreur.\n"
                         "Aperçu : rien n'a été enregistré dans la base.\n" +
                             sommaire,
                         0),
              0u)
        << french.out;
    EXPECT_NE(french.out.find("1 avertissement, 0 erreur, en 1 sorte :\n  Avertissement × 1 : "),
              std::string::npos);
    EXPECT_EQ(ReadFile(w.trace), trace) << "the TraceLog does not change with the language";

    // gettext's LANGUAGE chooses among languages under any locale but "C" (whose messages are the
    // program's own English).
    EXPECT_NE(WithoutTimes(Preview(w, {"LC_ALL=C.UTF-8", "LANGUAGE=fr"}).out).find(sommaire),
              std::string::npos);
    EXPECT_NE(WithoutTimes(Preview(w, {"LC_ALL=C", "LANGUAGE=fr"}).out).find(summary), std::string::npos);
}

TEST(Language, TheHelpIsTranslatedWhereverTheProgramIsMoved) {
    EXPECT_EQ(Quorvel({"import-licences", "--help"}, {"LC_ALL=C.UTF-8"}).out.substr(0, 16),
              "Import clubs (cl");
    // An installed tree moved elsewhere: the catalogue beside the program's bin folder is found.
    TempDir dir;
    const fs::path build = fs::path(QUORVEL_CLI).parent_path().parent_path();
    const std::string catalogue = "share/locale/fr/LC_MESSAGES/quorvel.mo";
    fs::create_directories(dir / "bin");
    fs::create_directories(dir / "share/locale/fr/LC_MESSAGES");
    fs::copy_file(QUORVEL_CLI, dir / "bin/quorvel");
    fs::copy_file(build / catalogue, dir / catalogue);
    Outcome moved = RunProgram({dir / "bin/quorvel", "import-licences", "--help"}, kFrench);
    EXPECT_EQ(moved.out.substr(0, 50), "Importer les clubs (club.txt) et les licences (lic") << moved.out;
    EXPECT_NE(moved.out.find("\nUtilisation: "), std::string::npos);
    EXPECT_NE(moved.out.find("--db TEXTE OBLIGATOIRE      Fichier de la base"), std::string::npos);
}
