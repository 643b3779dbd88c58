// The HTML report as a real browser reads it: the sample import's counts and warning, the
// preview's mark, and names that would be markup if they were not escaped.

#include "support/support.hpp"

#include <gtest/gtest.h>

using namespace quorvel::test;

TEST(HtmlReport, ABrowserShowsTheCountsTheWarningAndWhetherItWasAPreview) {
    if (RunProgram({"sh", "-c", "command -v chromium"}).status != 0)
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
        Outcome page =
            RunProgram({"chromium", "--headless", "--no-sandbox", "--disable-gpu",
                        "--user-data-dir=" + w.dir / "profile", "--dump-dom", "file://" + w.dir / "r.html"});
        ASSERT_EQ(page.status, 0) << page.err;
        const std::string& dom = page.out;
        for (const char* shown :
             {"Licences récupérées</th><td class=\"n\">21</td>", "Clubs récupérés</th><td class=\"n\">6</td>",
              "De type relais</th><td class=\"n\">1</td>", "<th colspan=\"5\">Club FRA6120450018</th>",
              "Code club (FRA6120450018) inconnu de la base. Création avec Le libelle Null.",
              "<dd>06/12/2026 00:00:00</dd>", "export &lt;b&gt;&amp;\"'</dd>"})
            EXPECT_NE(dom.find(shown), std::string::npos) << shown << "\n" << dom;
        EXPECT_EQ(dom.find("<b>"), std::string::npos) << "a folder's name became markup";
        EXPECT_EQ(dom.find("Aperçu : rien n'a été enregistré dans la base.") != std::string::npos, preview);
    }
}
