// quorvel: brings the swimming federation's exports into the club application's database.

#include "terminal_form.hpp"

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
    for (const auto& file : files)
        if (fs::equivalent(report, file, ec)) return file;
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

// Parses YYYY-MM-DD into a fixed clock; throws CLI::ValidationError on a bad date.
quorvel::Clock ParseToday(const std::string& text) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 || m < 1 || m > 12 || d < 1 ||
        d > 31 || y < 1900 || y > 9999)
        throw CLI::ValidationError("--today", "expected a date as YYYY-MM-DD, got '" + text + "'");
    return quorvel::FixedClock(y, m, d);
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

// Writes the run's JSON report when one was asked for; false (with a message) when it cannot.
bool WriteReport(const std::string& path, const quorvel::RunReport& report) {
    if (path.empty()) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << report.ToJson();
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
    app.set_version_flag("--version", std::string("quorvel ") + QUORVEL_FILE_VERSION_TEXT +
                                          " (file version " QUORVEL_FILE_VERSION ")");
    app.footer("Exit status: 0 when the run got through, 1 when it could not start (see the TraceLog),\n"
               "2 when it failed with an error (one line on stderr), 3 when it got through but a pass\n"
               "was interrupted (the TraceLog says at which line), 130 or 143 when Ctrl-C or SIGTERM\n"
               "stopped it (after the current line; what was stored stays, and the TraceLog says so).\n"
               "Run 'quorvel COMMAND --help' for each command's options and an example.");

    // import-licences
    std::string db, source, work, trace, today, club, reference, reportFile;
    bool noReference = false;
    bool dryRun = false;
    auto* imp = app.add_subcommand("import-licences",
                                   "Import clubs (club.txt) and licences (licence.txt) of an export folder.");
    imp->add_option("--db", db, "Database file of the club application (must exist)")->required();
    imp->add_option("--source", source, "Folder holding licence.txt, club.txt and origine.txt")->required();
    imp->add_option("--work", work,
                    "Working folder that receives copies of the export files "
                    "(licence.txt, licence1.txt... the first free name)")
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
    imp->footer(
        "Example:\n  quorvel import-licences --db club.db --source export/ --work work/ --trace import.log\n"
        "A licence.txt missing from the source folder imports nothing (exit 1).");

    // update-iuf
    auto* iuf =
        app.add_subcommand("update-iuf", "Write the licences' IUF codes from the IUF files of a folder.");
    iuf->add_option("--db", db, "Database file of the club application (must exist)")->required();
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
    iuf->footer(
        "Example:\n  quorvel update-iuf --db club.db --source iuf/ --trace iuf.log --club FRA1750750123");

    // init-db
    auto* init = app.add_subcommand("init-db", "Create a new, empty encrypted club database.");
    init->add_option("DB", db, "Database file to create (refused if it already exists)")->required();
    init->add_flag("--no-reference", noReference,
                   "Leave the reference tables (countries, inter-regions, regions, departments) empty");
    init->add_option("--reference", reference, "Reference data file to load instead of the bundled one");
    init->footer("Example:\n  quorvel init-db club.db\n"
                 "The file is encrypted: open it with the sqlcipher shell and PRAGMA key='quenoril';");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
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
            std::cout << "Database created: " << db << "\n";
            return kExitTrue;
        } catch (const quorvel::Error& e) {
            return Fail("init-db", e);
        }
    }

    quorvel::cli::TerminalForm form;
    quorvel::RunReport report;
    quorvel::ImportOptions options;
    options.preview = dryRun;
    options.report = &report;
    options.cancel = &stopRequested;
    const std::string command = imp->parsed() ? "import-licences" : "update-iuf";
    if (!reportFile.empty()) {
        std::string clash =
            ReportClash(reportFile, {db, trace}, source, imp->parsed() ? work : std::string());
        if (!clash.empty()) {
            std::cerr << "quorvel " << command << ": the report " << reportFile << " would overwrite "
                      << clash << "; choose another name (nothing was changed)\n";
            return kExitError;
        }
    }
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    try {
        bool ok = false;
        if (imp->parsed()) {
            quorvel::clsRecupLicence importer(clock ? *clock : quorvel::SystemClock());
            ok = importer.bImport_Licence(db, source, work, trace, &form, options);
        } else {
            quorvel::clsMajIUF updater(clock ? *clock : quorvel::SystemClock());
            ok = updater.bImport_CodeIUF(source, db, trace, &form, !club.empty(), club, options);
        }
        form.Finish();
        std::cout << "TraceLog: " << trace << "\n";
        if (!WriteReport(reportFile, report)) return kExitError;
        if (stopSignal != 0) return 128 + stopSignal;
        for (const auto& pass : report.passes)
            if (!pass.completed) return kExitInterrupted;
        return ok ? kExitTrue : kExitFalse;
    } catch (const quorvel::Error& e) {
        form.Finish();
        WriteReport(reportFile, report);
        Fail(command, e);
        return stopSignal != 0 ? 128 + stopSignal : kExitError;
    }
}
