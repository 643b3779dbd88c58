// The program's contract: exit status 0 / 1 / 2, one clear stderr line on an error, a preview
// that changes nothing, the JSON report, help with an example for every command.

#include "support/support.hpp"

#include <quorvel/identity.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

using namespace quorvel::test;

namespace {

// The summary without each pass's time and speed, which are the machine's own.
std::string WithoutTimes(const std::string& summary) {
    static const std::regex time(" — [0-9]+,[0-9] s(, [0-9 ]+ lignes/s)?");
    return std::regex_replace(summary, time, "");
}

std::vector<std::string> Import(const Workspace& w, const std::string& source,
                                std::vector<std::string> more = {}) {
    std::vector<std::string> args{"import-licences", "--db", w.db,      "--source", source,
                                  "--work",          w.work, "--trace", w.trace,    "--today",
                                  "2026-12-06"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

} // namespace

TEST(Cli, ExitStatusAndTheTerminalFollowTheRunsResult) {
    Workspace w;
    Outcome ok = Quorvel(Import(w, QUORVEL_SAMPLE_DIR, {"--no-backup"}));
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(WithoutTimes(ok.out),
              "Import terminé : aucune ligne en erreur.\n"
              "Clubs (club.txt) : 6 lignes — 6 créés, 0 déjà connu, 0 connu sous un autre libellé, "
              "0 mis à jour, 0 en erreur\n"
              "Licences (licence.txt) : 25 lignes — 21 importées, 0 déjà connue, 1 de type relais, "
              "0 en erreur, 1 club ajouté, 3 autres (entrées de sélection, lignes répétées…)\n"
              "1 avertissement, 0 erreur, en 1 sorte :\n"
              "  Avertissement × 1 : Code club (…) inconnu de la base. Création avec Le libelle Null.\n"
              "    licence.txt ligne 22 : Code club (FRA6120450018) inconnu de la base. "
              "Création avec Le libelle Null.\n"
              "TraceLog : " +
                  w.trace + "\n");
    EXPECT_EQ(ReadTrace(w.trace)[0], "Début de l'import : 06/12/2026 00:00:00");
    Outcome quiet = Quorvel(Import(w, QUORVEL_SAMPLE_DIR, {"--quiet"}));
    EXPECT_EQ(quiet.out + quiet.err, "");

    Outcome cannot = Quorvel(Import(w, w.source + "//", {"--html", w.dir / "cannot.html"}));
    EXPECT_EQ(cannot.status, 1) << "no licence.txt";
    EXPECT_EQ(ReadTrace(w.trace)[2], "Fichier licence.txt non trouvé dans le répertoire : " + w.source);
    EXPECT_EQ(cannot.err, "quorvel import-licences : Fichier non trouvé. — " + w.source +
                              "//licence.txt (voir le TraceLog " + w.trace + ")\n");
    EXPECT_NE(ReadFile(w.dir / "cannot.html")
                  .find("Import non commencé : Fichier non trouvé. — " + w.source + "//licence.txt"),
              std::string::npos)
        << "the page tells why the run could not start";

    Outcome failed = Quorvel(Import(w, w.dir / "missing", {"--report", w.dir / "r.json"}));
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
    EXPECT_NE(failed.err.find("Erreur n° 76: Chemin d'accès introuvable : " + w.dir / "missing"),
              std::string::npos)
        << failed.err;
    EXPECT_NE(ReadFile(w.dir / "r.json").find("\"error\": {\"number\": 76"), std::string::npos);

    Outcome iuf = Quorvel({"update-iuf", "--db", w.db, "--source", QUORVEL_SAMPLE_DIR, "--trace",
                           w.dir / "i.log", "--club", "FRA5110750012", "--today", "2026-12-06"});
    EXPECT_EQ(iuf.status, 0) << iuf.err;
    auto lines = ReadTrace(w.dir / "i.log");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Mise à jour de 4 licences sur 20."), lines.end());
}

TEST(Cli, APreviewChangesNoByteAndReportsWhatTheImportWouldDo) {
    Workspace w;
    std::string before = ReadFile(w.db);
    Outcome preview = Quorvel(Import(w, QUORVEL_SAMPLE_DIR, {"--dry-run", "--report", w.dir / "r.json"}));
    EXPECT_EQ(preview.status, 0) << preview.err;
    EXPECT_EQ(ReadFile(w.db), before);
    EXPECT_TRUE(std::filesystem::is_empty(w.work)) << "no working copy stays";
    auto lines = ReadTrace(w.trace);
    EXPECT_EQ(lines[1],
              "Aperçu de l'import : simulation, aucune modification n'est enregistrée dans la base.");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Récupération de 21 licences sur 25."), lines.end());
    std::string report = ReadFile(w.dir / "r.json");
    EXPECT_NE(report.find("\"preview\": true"), std::string::npos) << report;
    EXPECT_NE(report.find("\"imported\": 21"), std::string::npos) << report;
}

TEST(Cli, BadArgumentsAreRefusedClearlyAndEveryCommandExplainsItself) {
    Workspace w;
    const std::vector<std::string> english{"LC_ALL=C.UTF-8"};
    Outcome again = Quorvel({"init-db", w.db});
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("existe déjà"), std::string::npos) << again.err;
    for (const char* today : {"06/12/2026", "2026-02-30", "2025-02-29", "2026-12-6"}) {
        Outcome date = Quorvel({"import-licences", "--db", w.db, "--source", "x", "--work", "y", "--trace",
                                "z", "--today", today},
                               english);
        EXPECT_EQ(date.status, 2);
        EXPECT_NE(date.err.find("expected a real date as YYYY-MM-DD"), std::string::npos) << date.err;
    }
    Outcome club =
        Quorvel({"update-iuf", "--db", w.db, "--source", "x", "--trace", "z", "--club", "FRA999"}, english);
    EXPECT_EQ(club.status, 2);
    EXPECT_NE(club.err.find("13 characters"), std::string::npos) << club.err;
    EXPECT_EQ(Quorvel({"import-licences", "--db", w.db}).status, 2) << "required options missing";
    EXPECT_EQ(Quorvel({}).status, 2) << "no command";
    EXPECT_EQ(Quorvel({"import-licence"}, english).err,
              "quorvel: unknown command 'import-licence'; did you mean 'import-licences'?\n"
              "Run 'quorvel --help' for the commands and their options.\n");
    EXPECT_EQ(Quorvel({"import-licence"}).err,
              "quorvel: commande inconnue « import-licence » ; vouliez-vous dire « import-licences » ?\n"
              "Lancez « quorvel --help » pour les commandes et leurs options.\n");
    EXPECT_NE(Quorvel({"update-iuf", "--sourse", "x"}, english).err.find("did you mean '--source'?"),
              std::string::npos);
    EXPECT_EQ(Quorvel({"import-licences", "--db", w.db}).err,
              "--source est obligatoire\nLancez avec --help pour plus d'informations.\n");
    EXPECT_FALSE(std::filesystem::exists("z")) << "nothing ran";

    // A working folder that does not exist yet is made.
    std::vector<std::string> args = Import(w, QUORVEL_SAMPLE_DIR);
    args[6] = w.dir / "new/work";
    Outcome made = Quorvel(args);
    EXPECT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(std::filesystem::exists(w.dir / "new/work/licence.txt"));

    for (const char* command : {"import-licences", "update-iuf", "init-db"}) {
        Outcome help = Quorvel({command, "--help"}, english);
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Example:"), std::string::npos) << command;
        EXPECT_NE(Quorvel({command, "--help"}).out.find("Exemple :"), std::string::npos) << command;
    }
    Outcome version = Quorvel({"-V"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find(QUORVEL_FILE_VERSION_TEXT), std::string::npos) << version.out;
}

TEST(Cli, AnOutputNamingTheDatabaseOrASourceFileIsRefusedBeforeAnythingIsTouched) {
    Workspace w;
    for (const char* name : {"licence.txt", "club.txt"})
        WriteFile(w.source + "/" + name, ReadFile(std::string(QUORVEL_SAMPLE_DIR) + "/" + name));
    std::string db = ReadFile(w.db), licences = ReadFile(w.source + "/licence.txt");
    for (std::vector<std::string> more : {std::vector<std::string>{}, {"--dry-run"}}) {
        for (const std::string& trace : {w.db, w.source + "/licence.txt", w.work + "/LICENCE1.TXT"}) {
            std::vector<std::string> args = Import(w, w.source, more);
            args[8] = trace;
            Outcome o = Quorvel(args);
            EXPECT_EQ(o.status, 2) << trace;
            EXPECT_NE(o.err.find("Erreur n° 5: Le fichier de sortie " + trace + " désigne"),
                      std::string::npos)
                << o.err;
        }
        for (const std::string& output : {w.db, w.trace}) { // the TraceLog does not exist yet
            Outcome report = Quorvel(Import(w, w.source, {"--report", output}));
            EXPECT_EQ(report.status, 2);
            EXPECT_NE(report.err.find("Le fichier de sortie " + output + " désigne"), std::string::npos)
                << report.err;
        }
    }
    EXPECT_EQ(ReadFile(w.db), db);
    EXPECT_EQ(ReadFile(w.source + "/licence.txt"), licences);
    EXPECT_TRUE(std::filesystem::is_empty(w.work));
}

TEST(Cli, AnInterruptedPassHasItsOwnExitStatusAndCopiesStayAsPrivateAsTheirSource) {
    Workspace w;
    std::string text = LicenceLines(3);
    text.replace(250 + 13, 2, "XX"); // line 2's licence number does not open with a year
    WriteFile(w.source + "/licence.txt", text);
    std::filesystem::permissions(w.source + "/licence.txt",
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    Outcome o = Quorvel(Import(w, w.source));
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_EQ(std::filesystem::status(w.work + "/licence.txt").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(Cli, SigtermStopsAfterTheCurrentLineAndTheRecordMatchesTheDatabase) {
    Workspace w;
    WriteFile(w.source + "/licence.txt", LicenceLines(150000));
    std::string command = std::string(QUORVEL_CLI) + " import-licences --db " + w.db + " --source " +
                          w.source + " --work " + w.work + " --trace " + w.trace + " --report " +
                          w.dir / "r.json" + " & pid=$!; until grep -qs 'Traitement des licences' " +
                          w.trace + "; do sleep 0.02; done; kill -TERM $pid; wait $pid; exit $?";
    // Stopped once the licence pass has begun (its heading reaches the file with the first commit).
    Outcome o = RunProgram({"sh", "-c", command}, kFrench);
    ASSERT_EQ(o.status, 143) << o.err;
    auto lines = ReadTrace(w.trace);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Import des licences interrompu."), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Erreur n° 18: Traitement arrêté à la demande de l'utilisateur"),
              lines.end());
    std::string stored = Scalar(w.db, "select count(*) from Licence");
    std::string report = ReadFile(w.dir / "r.json");
    EXPECT_NE(report.find("\"imported\": " + stored + ","), std::string::npos) << stored;
    EXPECT_NE(report.find("\"exitStatus\": 143"), std::string::npos);
    EXPECT_EQ(Scalar(w.db, "select LastClose from Info"), "1");
    // The terminal tells the interruption as the run's state, not as a line's error, and how to go on.
    EXPECT_EQ(o.out.rfind("Import interrompu à la ligne ", 0), 0) << o.out;
    EXPECT_NE(o.out.find(" de licence.txt : Erreur n° 18: Traitement arrêté à la demande de l'utilisateur\n"
                         "Relancer la même commande reprend l'import : les licences déjà enregistrées sont "
                         "reconnues et passées.\n"),
              std::string::npos)
        << o.out;
    EXPECT_EQ(o.out.find("Erreur × "), std::string::npos) << o.out;
    // And it does: what was stored is known.
    Outcome again = Quorvel({"import-licences", "--db", w.db, "--source", w.source, "--work", w.work,
                             "--trace", w.dir / "again.log", "--report", w.dir / "again.json"});
    EXPECT_EQ(again.status, 0) << again.out;
    EXPECT_NE(ReadFile(w.dir / "again.json").find("\"known\": " + stored + ","), std::string::npos);
}

TEST(Cli, LinesInErrorExitWithFourAndTheOutcomeComesFirstEvenWhenQuiet) {
    Workspace w;
    Exec(w.db, "CREATE TRIGGER refuse_club BEFORE INSERT ON Club BEGIN SELECT RAISE(ABORT, 'refus'); END;"
               "CREATE TRIGGER refuse BEFORE INSERT ON Licence BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    Outcome none = Quorvel(Import(w, QUORVEL_SAMPLE_DIR, {"--quiet", "--report", w.dir / "none.json"}));
    EXPECT_EQ(none.status, 4);
    EXPECT_EQ(none.out, "Import terminé sans rien enregistrer : 30 lignes en erreur.\n");
    EXPECT_NE(ReadFile(w.dir / "none.json").find("\"exitStatus\": 4, \"warnings\": 0, \"errors\": 30"),
              std::string::npos);

    Exec(w.db,
         "DROP TRIGGER refuse_club; DROP TRIGGER refuse; CREATE TRIGGER refuse BEFORE INSERT ON Licence "
         "WHEN NEW.licence = '081502' BEGIN SELECT RAISE(ABORT, 'refus'); END;");
    Outcome some = Quorvel(Import(w, QUORVEL_SAMPLE_DIR));
    EXPECT_EQ(some.status, 4);
    EXPECT_EQ(some.out.substr(0, some.out.find('\n')),
              "Import terminé avec 2 lignes en erreur : les autres lignes sont enregistrées.");
    EXPECT_NE(some.out.find("  Erreur × 2 : Une erreur s'est produite lors de l'ajout d'une licence. "
                            "Erreur n° 19: refus\n"),
              std::string::npos)
        << some.out;
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_TEST_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_TEST_ASAN 1
#endif

TEST(Cli, AGigabyteLineRunsInBoundedMemory) {
#ifdef QUORVEL_TEST_ASAN
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit";
#endif
    Workspace w;
    // A sparse file: one line of 1 GiB (zero bytes, no line end), beside a real IUF file.
    std::filesystem::create_directories(w.source);
    WriteFile(w.source + "/a.iuf", "");
    std::filesystem::resize_file(w.source + "/a.iuf", std::uintmax_t{1} << 30);
    WriteFile(w.source + "/b.iuf", std::string(45, ' ') + "\r\n");
    std::string command = "ulimit -v 524288; exec " + std::string(QUORVEL_CLI) + " update-iuf --db " + w.db +
                          " --source " + w.source + " --trace " + w.trace;
    Outcome o = RunProgram({"sh", "-c", command});
    EXPECT_EQ(o.status, 0) << o.err;
    auto lines = ReadTrace(w.trace);
    EXPECT_NE(std::find(lines.begin(), lines.end(),
                        "Longueur des lignes dans le fichier " + w.source + "/a.iuf insuffisante."),
              lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Mise à jour de 0 licence sur 1."), lines.end());
}

TEST(Cli, OnATerminalTheProgressNamesEachFileAndEndsAtItsTrueCount) {
    Workspace w;
    std::string command = QUORVEL_CLI;
    for (const std::string& arg : Import(w, QUORVEL_SAMPLE_DIR, {"--quiet"}))
        command += " " + arg;
    Outcome o = RunProgram({"script", "-qec", command, "/dev/null"}, kFrench); // stderr made a terminal
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("Clubs            [##############################] 100 %   6 lignes"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("Licences         [####################..........]  68 %   17 / 25 lignes"),
              std::string::npos);
    EXPECT_NE(o.out.find("Licences         [##############################] 100 %   25 lignes"),
              std::string::npos);

    // A narrow terminal: no line of the help or of the progress is wider; an interrupted pass's bar
    // stays where it stopped.
    std::string text = LicenceLines(3);
    text.replace(250 + 13, 2, "XX"); // line 2's licence number does not open with a year
    WriteFile(w.source + "/licence.txt", text);
    std::string narrow = "stty cols 44; " + std::string(QUORVEL_CLI) + " update-iuf --help; " + QUORVEL_CLI;
    for (const std::string& arg : Import(w, w.source, {"--quiet"}))
        narrow += " " + arg;
    Outcome n = RunProgram({"script", "-qec", narrow, "/dev/null"}, kFrench);
    EXPECT_EQ(n.status, 3) << n.out;
    EXPECT_NE(n.out.find("\rLicences  66 %   2 / 3 lignes — interrompu"), std::string::npos) << n.out;
    std::string line;
    for (char c : n.out + "\n") {
        if (c != '\r' && c != '\n') {
            line += c;
            continue;
        }
        std::size_t columns = 0;
        for (char b : line.substr(0, line.find("\033[K")))
            columns += (static_cast<unsigned char>(b) & 0xC0) != 0x80;
        if (line.rfind("Import interrompu", 0) != 0) {
            EXPECT_LE(columns, 44u) << line;
        }
        line.clear();
    }
    Outcome help = Quorvel({"import-licences", "--help"}); // no terminal: 80 columns
    for (std::size_t from = 0, end; (end = help.out.find('\n', from)) != std::string::npos; from = end + 1) {
        std::string line = help.out.substr(from, end - from);
        EXPECT_LE(std::count_if(line.begin(), line.end(), [](char b) { return (b & 0xC0) != 0x80; }), 80)
            << line;
    }
}
