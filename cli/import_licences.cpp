// import-licences: the clubs and licences of an export folder.

#include "arguments.hpp"
#include "i18n.hpp"
#include "command.hpp"
#include "run_command.hpp"

#include <memory>

namespace quorvel::cli {

Command AddImportLicences(CLI::App& app) {
    auto a = std::make_shared<RunArgs>();
    auto* imp = app.add_subcommand(
        "import-licences", _("Import clubs (club.txt) and licences (licence.txt) of an export folder."));
    imp->add_option("--db", a->db,
                    _("Database file of the club application (must exist), or a postgresql:// URI"))
        ->required();
    imp->add_option("--source", a->source, _("Folder holding licence.txt, club.txt and origine.txt"))
        ->required();
    imp->add_option("--work", a->work,
                    _("Working folder that receives copies of the export files "
                      "(licence.txt, licence1.txt... the first free name); created when missing"))
        ->required();
    imp->add_option("--trace", a->trace, _("TraceLog file to create (Windows-1252 text, CR LF)"))->required();
    imp->add_option("--today", a->today,
                    _("Pin today's date (YYYY-MM-DD) for the birth-date check and the "
                      "TraceLog's time stamps (which then read 00:00:00)"))
        ->check(RealDate());
    imp->add_flag("--dry-run", a->dryRun,
                  _("Preview: read and check everything and write the TraceLog as a real import would, "
                    "but change nothing in the database and keep no working copies"));
    imp->add_option("--report", a->report,
                    _("Also write a JSON report of the counts, warnings and errors "
                      "(schema: docs/run-report.schema.json)"));
    AddRunOutputOptions(imp, *a);
    imp->footer(_("Example:") + "\n  " +
                _("quorvel import-licences --db club.db --source export/ --work work/ --trace import.log") +
                "\n" + _("A licence.txt missing from the source folder imports nothing (exit 1)."));
    return {imp, [a] { return RunImportCommand(*a); }};
}

} // namespace quorvel::cli
