#include "run_command.hpp"
#include "i18n.hpp"

#include "arguments.hpp"
#include "database_advice.hpp"
#include "exit_status.hpp"
#include "iuf_checks.hpp"
#include "outcome_text.hpp"
#include "output_checks.hpp"
#include "progress_display.hpp"
#include "stop_signal.hpp"
#include "summary.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <fstream>
#include <iostream>
#include <vector>

namespace quorvel::cli {

namespace {

// Writes the run's JSON report (or its HTML page) when one was asked for; false (with a message)
// when it cannot.
bool WriteReport(const std::string& path, const RunReport& report, bool html = false) {
    if (path.empty()) return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (html)
        out << report.ToHtml();
    else
        report.WriteJson(out);
    out.close();
    if (!out) {
        std::cerr << Fill(_("quorvel: cannot write the report {1}"), {path}) << "\n";
        return false;
    }
    return true;
}

// Runs the library's method; its result.
bool Run(const RunArgs& a, RunReport& report, ProgressDisplay& display) {
    ImportOptions options;
    options.preview = a.dryRun;
    if (quorvel::IsServerUri(a.db)) options.server = a.db;
    options.report = &report;
    options.cancel = StopFlag();
    options.progress = [&display](const ProgressStep& step) {
        if (step.pass == "waiting")
            std::cerr << _("Waiting for another import into this database to end...") << "\n";
        else
            display.Step(step);
    };
    if (a.iuf) {
        clsMajIUF updater(ClockFor(a.today));
        return updater.bImport_CodeIUF(a.source, a.db, a.trace, nullptr, !a.club.empty(), a.club, options);
    }
    clsRecupLicence importer(ClockFor(a.today));
    return importer.bImport_Licence(a.db, a.source, a.work, a.trace, nullptr, options);
}

// The run's exit status, noted in its report: its outcome's, or 128 + the signal that stopped it.
int Status(RunReport& report) {
    if (StopSignal() != 0) report.exitStatus = 128 + StopSignal();
    return report.exitStatus;
}

// What the terminal is told after a run that returned.
void Tell(const RunArgs& a, bool ok, int status, const RunReport& report, const std::string& backup) {
    if (!ok) {
        std::string why = StartFailure(report);
        std::cerr << Fill(_("quorvel {1}: {2} (see the TraceLog {3})"),
                          {a.Command(), why.empty() ? _("the run could not start") : why, a.trace})
                  << "\n";
        if (std::string advice = DatabaseAdvice(a.db, report); !advice.empty())
            std::cerr << "quorvel " << a.Command() << ": " << advice << "\n";
    }
    if (a.quiet) {
        // One line: the one on stderr when the run could not start.
        if (status != kExitTrue && ok) std::cout << OutcomeLine(report) << "\n";
        return;
    }
    std::vector<std::string> outputs{Fill(_("TraceLog: {1}"), {a.trace})};
    if (!a.report.empty()) outputs.push_back(Fill(_("Report: {1}"), {a.report}));
    if (!a.html.empty()) outputs.push_back(Fill(_("HTML page: {1}"), {a.html}));
    if (!backup.empty()) outputs.push_back(Fill(_("Copy of the database before the import: {1}"), {backup}));
    std::cout << Summary(report, outputs);
    if (a.iuf) std::cout << SkippedFileNotes(report);
}

} // namespace

void AddRunOutputOptions(CLI::App* command, RunArgs& a) {
    command->add_flag(
        "-q,--quiet", a.quiet,
        _("Print nothing when the run got through with nothing in error, else only the outcome's line "
          "(the TraceLog still tells everything)"));
    command->add_option("--html", a.html,
                        _("Also write the report as an HTML page to read or print (in French)"));
    AddBackupOptions(command, a.backup);
}

int RunImportCommand(const RunArgs& a) {
    std::string refused = RefusedArguments(a);
    if (!refused.empty()) {
        std::cerr << refused << "\n";
        return kExitError;
    }
    WorkFolder work(a);
    if (std::string failed = work.Make(); !failed.empty()) {
        std::cerr << failed << "\n";
        return kExitError;
    }
    if (std::string warning = ClubWarning(a); !warning.empty()) std::cerr << warning << "\n";
    RunBackup backup;
    if (std::string failed = backup.Make(a.db, a.backup, a.dryRun, a.Command()); !failed.empty()) {
        std::cerr << failed << "\n";
        return kExitError;
    }
    ProgressDisplay display;
    RunReport report;
    report.spillEntries = true; // the page and the summary need only the entries' groups
    CatchStopSignals();
    try {
        bool ok = Run(a, report, display);
        display.Finish();
        // A run that could not start wrote nothing: its copy would only push out an older one.
        ok ? backup.Keep() : backup.Drop();
        int status = Status(report);
        if (!WriteReport(a.report, report) || !WriteReport(a.html, report, true)) return kExitError;
        Tell(a, ok, status, report, backup.Path());
        return status;
    } catch (const Error& e) {
        display.Finish();
        // An error before any pass began wrote nothing (a missing source folder).
        report.passes.empty() ? backup.Drop() : backup.Keep();
        report.exitStatus = kExitError;
        Status(report);
        WriteReport(a.report, report);
        WriteReport(a.html, report, true);
        std::cerr << Fill(_("quorvel {1}: failed: Error no. {2}: {3}"),
                          {a.Command(), std::to_string(e.number()), e.description()})
                  << "\n";
        return StopSignal() != 0 ? 128 + StopSignal() : kExitError;
    }
}

} // namespace quorvel::cli
