// The HTML report as a real browser reads it and prints it: the sample import's counts and
// warning, the preview's mark, names that would be markup if they were not escaped; a large run's
// page grouped by kind, small, printed on A4 with each kind's heading kept with its rows.

#include "support/support.hpp"

#include <gtest/gtest.h>

#include <chrono>

using namespace quorvel::test;

namespace {

bool Missing(const char* program) {
    return RunProgram({"sh", "-c", std::string("command -v ") + program}).status != 0;
}

Outcome Chromium(const Workspace& w, std::vector<std::string> args) {
    std::vector<std::string> command{"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                                     "--user-data-dir=" + w.dir / "profile"};
    command.insert(command.end(), args.begin(), args.end());
    return RunProgram(command);
}

} // namespace

TEST(HtmlReport, ABrowserShowsTheCountsTheWarningAndWhetherItWasAPreview) {
    if (Missing("chromium"))
        GTEST_SKIP() << "chromium is not installed: scripts/test.sh installs it for this test";
    Workspace w;
    const std::string source = w.dir / "export <b>&\"'";
    std::filesystem::create_directory(source);
    for (const char* name : {"licence.txt", "club.txt", "origine.txt"})
        WriteFile(source + "/" + name, ReadFile(std::string(QUORVEL_SAMPLE_DIR) + "/" + name));
    for (bool preview : {true, false}) { // the preview first: it leaves the database as it was
        std::vector<std::string> args{
            "import-licences", "--db",  w.db,      "--source",   source,   "--work",        w.work,
            "--trace",         w.trace, "--today", "2026-12-06", "--html", w.dir / "r.html"};
        if (preview) args.push_back("--dry-run");
        ASSERT_EQ(Quorvel(args).status, 0);
        Outcome page = Chromium(w, {"--dump-dom", "file://" + w.dir / "r.html"});
        ASSERT_EQ(page.status, 0) << page.err;
        const std::string& dom = page.out;
        for (const char* shown :
             {"Licences récupérées</th><td class=\"n\">21</td>", "Clubs récupérés</th><td class=\"n\">6</td>",
              "De type relais</th><td class=\"n\">1</td>",
              "Autres lignes (entrées de sélection, lignes répétées…)</th><td class=\"n\">3</td>",
              "<span class=\"tag Warning\">Avertissement</span> × 1 — Code club (…) inconnu de la base.",
              "<td>FRA6120450018</td><td>081611</td>",
              "Code club (FRA6120450018) inconnu de la base. Création avec Le libelle Null.",
              "<dd>06/12/2026 00:00:00</dd>", "export &lt;b&gt;&amp;\"'</dd>"})
            EXPECT_NE(dom.find(shown), std::string::npos) << shown << "\n" << dom;
        EXPECT_EQ(dom.find("<b>"), std::string::npos) << "a folder's name became markup";
        EXPECT_EQ(dom.find("Aperçu : rien n'a été enregistré dans la base.") != std::string::npos, preview);
        EXPECT_NE(dom.find(preview ? "<p class=\"status ok\">Aperçu terminé : aucune ligne en erreur."
                                   : "<p class=\"status ok\">Import terminé : aucune ligne en erreur."),
                  std::string::npos);
    }
}

TEST(HtmlReport, ALargeRunIsToldByKindOnAPageThatStaysSmallAndPrintsWithItsHeadingsKept) {
    if (Missing("chromium") || Missing("pdftotext"))
        GTEST_SKIP() << "chromium or poppler-utils is not installed: scripts/test.sh installs them";
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(20000));
    ASSERT_EQ(Quorvel({"import-licences", "--db", w.db, "--source", w.source, "--work", w.work, "--trace",
                       w.trace, "--quiet"})
                  .status,
              0);
    // Every stored name now differs from the file's, and every new licence is refused; one club
    // code holds an escape character.
    Exec(w.db, "UPDATE Licence SET Nom = 'Z' || Nom; CREATE TRIGGER refuse BEFORE INSERT ON Licence "
               "BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    WriteFile(w.source + "/licence.txt", LicenceLines(22000));
    WriteFile(w.source + "/club.txt", "FRA10\x1b"
                                      "0350007Rennes Aquatique Club          \r\n");
    const std::string page = w.dir / "r.html", json = w.dir / "r.json";
    Outcome o = Quorvel({"import-licences", "--db", w.db, "--source", w.source, "--work", w.work, "--trace",
                         w.trace, "--html", page, "--report", json});
    EXPECT_EQ(o.status, 4) << o.out << o.err;
    for (const char* told :
         {"Import terminé avec 2 001 lignes en erreur : les autres lignes sont enregistrées.\n",
          "  Avertissement × 20 000 : Licence (… + …) déjà utilisée. Nom dans la base : … "
          "Nom dans fichier : …\n",
          "  Erreur × 2 000 : Une erreur s'est produite lors de l'ajout d'une licence. "
          "Erreur n° 19: refus\n",
          "    (et 19 997 autres)\n", "Le code club est erronné : FRA10\\x1B0350007\n"})
        EXPECT_NE(o.out.find(told), std::string::npos) << told << "\n" << o.out;
    EXPECT_EQ(o.out.find('\x1b'), std::string::npos);
    std::string report = ReadFile(json);
    std::size_t entries = 0;
    for (std::size_t at = report.find("\"kind\": "); at != std::string::npos;
         at = report.find("\"kind\": ", at + 1))
        ++entries;
    EXPECT_EQ(entries, 24002u) << "the JSON lists every entry";
    EXPECT_LT(ReadFile(page).size(), 100u * 1024);

    const auto started = std::chrono::steady_clock::now();
    Outcome printed =
        Chromium(w, {"--no-pdf-header-footer", "--print-to-pdf=" + w.dir / "r.pdf", "file://" + page});
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_EQ(printed.status, 0) << printed.err;
    EXPECT_EQ(RunProgram({"pdftoppm", "-png", "-r", "30", "-f", "1", "-l", "1", w.dir / "r.pdf", w.dir / "p"})
                  .status,
              0);
    EXPECT_TRUE(std::filesystem::exists(w.dir / "p-1.png") || std::filesystem::exists(w.dir / "p-01.png"));
    // No page ends on a kind's heading: each is printed with its rows.
    std::string text = RunProgram({"pdftotext", "-layout", w.dir / "r.pdf", "-"}).out;
    for (std::size_t from = 0, end; (end = text.find('\f', from)) != std::string::npos; from = end + 1) {
        std::string sheet = text.substr(from, end - from);
        std::size_t last = sheet.find_last_not_of(" \n");
        std::string tail = sheet.substr(sheet.rfind('\n', last) + 1, last);
        EXPECT_EQ(tail.find(" × "), std::string::npos) << "a heading ends a page: " << tail;
    }
}
