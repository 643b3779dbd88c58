// quorvel: brings the swimming federation's exports into the club application's database.

#include "progress_display.hpp"
#include "suggestion.hpp"
#include "summary.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>
#include <quorvel/identity.h>

#include <CLI/CLI.hpp>

#include <atomic>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitTrue = 0;
constexpr int kExitFalse = 1;
constexpr int kExitError = 2;
constexpr int kExitInterrupted = 3;

// Set by SIGINT and SIGTERM: the run stops after its current line, and the program exits with
// 128 + the signal's number once the TraceLog and the report are written.
std::atomic<bool> stopRequested{false};
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void RequestStop(int signal) {
    stopSignal = signal;
    stopRequested.store(true);
}

// The report may not overwrite the database, the TraceLog, a file of the source folder or a
// working copy; nothing has been opened when it is refused.
std::string ReportClash(const std::string& report, const std::vector<std::string>& others,
                        const std::string& source, const std::string& work) {
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::string> files = others;
    for (const auto& entry : fs::directory_iterator(source, ec))
        files.push_back(entry.path().string());
    // Outputs not written yet are compared by name.
    auto same = [&](const std::string& file) {
        return fs::equivalent(report, file, ec) ||
               fs::absolute(report, ec).lexically_normal() == fs::absolute(file, ec).lexically_normal();
    };
    for (const auto& file : files)
        if (!file.empty() && same(file)) return file;
    fs::path path(report);
    std::string name = path.filename().string();
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!work.empty() &&
        fs::equivalent(path.has_parent_path() ? path.parent_path() : fs::path("."), work, ec))
        for (const char* copy : {"licence", "club", "origine"})
            if (name.rfind(copy, 0) == 0) return report + " (une copie de travail)";
    return {};
}

// Parses YYYY-MM-DD, a real calendar date, into a fixed clock; throws CLI::ValidationError
// otherwise.
quorvel::Clock ParseToday(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    bool read = std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 && text.size() == 10;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (!read || y < 1900 || y > 9999 || m < 1 || m > 12 || d < 1 || d > kDays[m - 1] + (m == 2 && leap))
        throw CLI::ValidationError("--today", "expected a real date as YYYY-MM-DD, got '" + text + "'");
    return quorvel::FixedClock(y, m, d);
}

// For a command or option the parser did not know, the nearest one as a suggestion.
std::string Suggestion(const CLI::App& app, int argc, char** argv) {
    std::vector<std::string> commands;
    for (const CLI::App* sub : app.get_subcommands({}))
        commands.push_back(sub->get_name());
    if (argc < 2) return {};
    std::string first = argv[1];
    if (first.empty() || first[0] == '-') return {};
    const CLI::App* command = nullptr;
    for (const CLI::App* sub : app.get_subcommands({}))
        if (sub->get_name() == first) command = sub;
    if (command == nullptr) {
        std::string near = quorvel::cli::Nearest(first, commands);
        return "unknown command '" + first + "'" + (near.empty() ? "" : "; did you mean '" + near + "'?");
    }
    std::vector<std::string> options;
    for (const CLI::Option* option : command->get_options())
        for (const std::string& name : option->get_lnames())
            options.push_back("--" + name);
    for (int i = 2; i < argc; ++i) {
        std::string word = argv[i];
        if (word.rfind("--", 0) != 0) continue;
        word = word.substr(0, word.find('='));
        if (std::find(options.begin(), options.end(), word) != options.end()) continue;
        std::string near = quorvel::cli::Nearest(word, options);
        return "unknown option '" + word + "'" + (near.empty() ? "" : "; did you mean '" + near + "'?");
    }
    return {};
}

// The bundled reference data: beside an installed program (<prefix>/share/quorvel/...), at the
// configured install prefix, or in the source tree of a build.
std::string DefaultReference() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto beside = exe.parent_path().parent_path() / "share/quorvel/reference/france.txt";
        if (std::filesystem::exists(beside, ec)) return beside.string();
    }
    if (std::filesystem::exists(QUORVEL_INSTALLED_REFERENCE, ec)) return QUORVEL_INSTALLED_REFERENCE;
    return QUORVEL_SOURCE_REFERENCE;
}

// Writes the run's JSON report (or its HTML page) when one was asked for; false (with a message)
// when it cannot.
bool WriteReport(const std::string& path, const quorvel::RunReport& report, bool html = false) {
    if (path.empty()) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << (html ? report.ToHtml() : report.ToJson());
    out.close();
    if (!out) {
        std::cerr << "quorvel: cannot write the report " << path << "\n";
        return false;
    }
    return true;
}

int Fail(const std::string& command, const quorvel::Error& e) {
    std::cerr << "quorvel " << command << ": failed: Erreur n° " << e.number() << ": " << e.description()
              << "\n";
    return kExitError;
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{"quorvel brings the swimming federation's export files into the club application's\n"
                 "encrypted database and writes a French TraceLog of what was done."};
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", std::string("quorvel ") + QUORVEL_FILE_VERSION_TEXT +
                                             " (file version " QUORVEL_FILE_VERSION ")");
    app.footer("Exit status: 0 when the run got through, 1 when it could not start (see the TraceLog),\n"
               "2 when it failed with an error (one line on stderr), 3 when it got through but a pass\n"
               "was interrupted (the TraceLog says at which line), 130 or 143 when Ctrl-C or SIGTERM\n"
               "stopped it (after the current line; what was stored stays, and the TraceLog says so).\n"
               "Run 'quorvel COMMAND --help' for each command's options and an example.");

    // import-licences
    std::string db, source, work, trace, today, club, reference, reportFile, htmlFile;
    bool noReference = false;
    bool dryRun = false;
    bool quiet = false;
    auto* imp = app.add_subcommand("import-licences",
                                   "Import clubs (club.txt) and licences (licence.txt) of an export folder.");
    imp->add_option("--db", db, "Database file of the club application (must exist), or a postgresql:// URI")
        ->required();
    imp->add_option("--source", source, "Folder holding licence.txt, club.txt and origine.txt")->required();
    imp->add_option("--work", work,
                    "Working folder that receives copies of the export files "
                    "(licence.txt, licence1.txt... the first free name); created when missing")
        ->required();
    imp->add_option("--trace", trace, "TraceLog file to create (Windows-1252 text, CR LF)")->required();
    imp->add_option("--today", today,
                    "Pin today's date (YYYY-MM-DD) for the birth-date check and the "
                    "TraceLog's time stamps (which then read 00:00:00)");
    imp->add_flag("--dry-run", dryRun,
                  "Preview: read and check everything and write the TraceLog as a real import would, "
                  "but change nothing in the database and keep no working copies");
    imp->add_option("--report", reportFile,
                    "Also write a JSON report of the counts, warnings and errors "
                    "(schema: docs/run-report.schema.json)");
    imp->add_flag("-q,--quiet", quiet, "Print nothing on success (the TraceLog still tells everything)");
    imp->add_option("--html", htmlFile, "Also write the report as an HTML page to read or print (in French)");
    imp->footer(
        "Example:\n  quorvel import-licences --db club.db --source export/ --work work/ --trace import.log\n"
        "A licence.txt missing from the source folder imports nothing (exit 1).");

    // update-iuf
    auto* iuf =
        app.add_subcommand("update-iuf", "Write the licences' IUF codes from the IUF files of a folder.");
    iuf->add_option("--db", db, "Database file of the club application (must exist), or a postgresql:// URI")
        ->required();
    iuf->add_option("--source", source,
                    "Folder whose IUF files (45-character lines) are read; "
                    "other files are reported and skipped")
        ->required();
    iuf->add_option("--trace", trace, "TraceLog file to create (Windows-1252 text, CR LF)")->required();
    iuf->add_option("--club", club,
                    "Only update the licences of this club (13-character federal code, "
                    "compared exactly)");
    iuf->add_option("--today", today, "Pin today's date (YYYY-MM-DD) for the TraceLog's time stamps");
    iuf->add_flag("--dry-run", dryRun, "Preview: write the TraceLog as a real update would, change nothing");
    iuf->add_option("--report", reportFile, "Also write a JSON report of the counts, warnings and errors");
    iuf->add_flag("-q,--quiet", quiet, "Print nothing on success (the TraceLog still tells everything)");
    iuf->add_option("--html", htmlFile, "Also write the report as an HTML page to read or print (in French)");
    iuf->footer(
        "Example:\n  quorvel update-iuf --db club.db --source iuf/ --trace iuf.log --club FRA1750750123");

    // init-db
    auto* init = app.add_subcommand("init-db", "Create a new, empty encrypted club database.");
    init->add_option("DB", db,
                     "Database file to create (refused if it already exists), or the postgresql:// URI of an "
                     "empty database")
        ->required();
    init->add_flag("--no-reference", noReference,
                   "Leave the reference tables (countries, inter-regions, regions, departments) empty");
    init->add_option("--reference", reference, "Reference data file to load instead of the bundled one");
    init->footer("Example:\n  quorvel init-db club.db\n"
                 "The file is encrypted: open it with the sqlcipher shell and PRAGMA key='quenoril';\n"
                 "  quorvel init-db postgresql://club@server/club   (tables created in that empty database)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::string suggestion = e.get_exit_code() == 0 ? std::string() : Suggestion(app, argc, argv);
        if (!suggestion.empty()) {
            std::cerr << "quorvel: " << suggestion
                      << "\nRun 'quorvel --help' for the commands and their options.\n";
            return kExitError;
        }
        int rc = app.exit(e);
        return rc == 0 ? 0 : kExitError;
    }

    std::optional<quorvel::Clock> clock;
    try {
        if (!today.empty()) clock = ParseToday(today);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : kExitError;
    }

    if (init->parsed()) {
        try {
            quorvel::CreateHostDatabase(
                db, noReference ? std::string() : (reference.empty() ? DefaultReference() : reference));
            std::cout << "Database created: " << quorvel::ShownDatabase(db) << "\n";
            return kExitTrue;
        } catch (const quorvel::Error& e) {
            return Fail("init-db", e);
        }
    }

    const std::string command = imp->parsed() ? "import-licences" : "update-iuf";
    if (iuf->parsed() && iuf->count("--club") > 0 && club.size() != 13) {
        std::cerr << "quorvel update-iuf: --club expects a federal club code of 13 characters "
                     "(e.g. FRA1750750123), got '"
                  << club << "' (" << club.size() << " characters); nothing was changed\n";
        return kExitError;
    }
    quorvel::cli::ProgressDisplay display;
    quorvel::RunReport report;
    quorvel::ImportOptions options;
    options.preview = dryRun;
    if (quorvel::IsServerUri(db)) options.server = db;
    options.report = &report;
    options.cancel = &stopRequested;
    options.progress = [&display](const quorvel::ProgressStep& step) { display.Step(step); };
    if (!reportFile.empty()) {
        std::string clash =
            ReportClash(reportFile, {db, trace}, source, imp->parsed() ? work : std::string());
        if (!clash.empty()) {
            std::cerr << "quorvel " << command << ": the report " << reportFile << " would overwrite "
                      << clash << "; choose another name (nothing was changed)\n";
            return kExitError;
        }
    }
    if (!htmlFile.empty()) {
        std::string clash = ReportClash(htmlFile, {db, trace, reportFile}, source, imp->parsed() ? work : "");
        if (!clash.empty()) {
            std::cerr << "quorvel " << command << ": the HTML page " << htmlFile << " would overwrite "
                      << clash << "; choose another name (nothing was changed)\n";
            return kExitError;
        }
    }
    // A working folder that does not exist yet is made (and removed again after a preview).
    bool workMade = false;
    if (imp->parsed()) {
        std::error_code ec;
        if (!std::filesystem::exists(work, ec)) {
            workMade = std::filesystem::create_directories(work, ec);
            if (ec) {
                std::cerr << "quorvel import-licences: cannot create the working folder " << work << ": "
                          << ec.message() << "\n";
                return kExitError;
            }
        }
    }
    struct RemoveAfterPreview {
        bool remove;
        const std::string& folder;
        ~RemoveAfterPreview() {
            std::error_code ec;
            if (remove) std::filesystem::remove(folder, ec);
        }
    } removeWork{workMade && dryRun, work};
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    try {
        bool ok = false;
        if (imp->parsed()) {
            quorvel::clsRecupLicence importer(clock ? *clock : quorvel::SystemClock());
            ok = importer.bImport_Licence(db, source, work, trace, nullptr, options);
        } else {
            quorvel::clsMajIUF updater(clock ? *clock : quorvel::SystemClock());
            ok = updater.bImport_CodeIUF(source, db, trace, nullptr, !club.empty(), club, options);
        }
        display.Finish();
        if (!WriteReport(reportFile, report)) return kExitError;
        if (!WriteReport(htmlFile, report, true)) return kExitError;
        int status = ok ? kExitTrue : kExitFalse;
        for (const auto& pass : report.passes)
            if (!pass.completed) status = kExitInterrupted;
        if (stopSignal != 0) status = 128 + stopSignal;
        if (!ok) {
            std::string why = quorvel::cli::StartFailure(report);
            std::cerr << "quorvel " << command << ": " << (why.empty() ? "the run could not start" : why)
                      << " (see the TraceLog " << trace << ")\n";
        }
        if (!quiet || status != kExitTrue) {
            std::vector<std::string> outputs{"TraceLog : " + trace};
            if (!reportFile.empty()) outputs.push_back("Rapport : " + reportFile);
            if (!htmlFile.empty()) outputs.push_back("Page HTML : " + htmlFile);
            std::cout << quorvel::cli::Summary(report, outputs);
        }
        return status;
    } catch (const quorvel::Error& e) {
        display.Finish();
        WriteReport(reportFile, report);
        WriteReport(htmlFile, report, true);
        Fail(command, e);
        return stopSignal != 0 ? 128 + stopSignal : kExitError;
    }
}
