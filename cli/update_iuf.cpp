// update-iuf: the licences' IUF codes from the IUF files of a folder.

#include "arguments.hpp"
#include "i18n.hpp"
#include "command.hpp"
#include "iuf_checks.hpp"
#include "run_command.hpp"

#include <iostream>
#include <memory>

namespace quorvel::cli {

Command AddUpdateIuf(CLI::App& app) {
    auto a = std::make_shared<RunArgs>();
    a->iuf = true;
    auto* iuf =
        app.add_subcommand("update-iuf", _("Write the licences' IUF codes from the IUF files of a folder."));
    iuf->add_option("--db", a->db,
                    _("Database file of the club application (must exist), or a postgresql:// URI"))
        ->required();
    iuf->add_option("--source", a->source,
                    _("Folder whose IUF files (45-character lines) are read; "
                      "other files are reported and skipped"))
        ->required();
    iuf->add_option("--trace", a->trace, _("TraceLog file to create (Windows-1252 text, CR LF)"))->required();
    CLI::Option* club =
        iuf->add_option("--club", a->club,
                        _("Only update the licences of this club (13-character federal code; small "
                          "letters are read as capitals)"));
    iuf->add_option("--today", a->today, _("Pin today's date (YYYY-MM-DD) for the TraceLog's time stamps"))
        ->check(RealDate());
    iuf->add_flag("--dry-run", a->dryRun,
                  _("Preview: write the TraceLog as a real update would, change nothing"));
    iuf->add_option("--report", a->report, _("Also write a JSON report of the counts, warnings and errors"));
    AddRunOutputOptions(iuf, *a);
    iuf->footer(_("Example:") + "\n  " +
                _("quorvel update-iuf --db club.db --source iuf/ --trace iuf.log --club FRA1750750123"));
    return {iuf, [a, club] {
                a->clubGiven = club->count() > 0;
                // Federal codes are written in capitals: "fra1010350007" means FRA1010350007.
                if (std::string capitals = ClubInCapitals(a->club); capitals != a->club) {
                    std::cerr << Fill(_("quorvel update-iuf: --club {1} read as {2}"), {a->club, capitals})
                              << "\n";
                    a->club = capitals;
                }
                return RunImportCommand(*a);
            }};
}

} // namespace quorvel::cli
