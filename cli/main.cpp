// quorvel: brings the swimming federation's exports into the club application's database.

#include "command.hpp"
#include "exit_status.hpp"
#include "help_format.hpp"
#include "i18n.hpp"
#include "parse_errors.hpp"
#include "suggestion.hpp"

#include <quorvel/identity.h>

#include <iostream>
#include <optional>
#include <vector>

namespace {

void Describe(CLI::App& app) {
    using quorvel::cli::_;
    auto formatter = std::make_shared<quorvel::cli::WrappingFormatter>();
    // TRANSLATORS: the help's labels, as in "Usage: quorvel [OPTIONS] SUBCOMMAND".
    formatter->label("Usage", _("Usage"));
    formatter->label("OPTIONS", _("OPTIONS"));
    formatter->label("SUBCOMMAND", _("SUBCOMMAND"));
    formatter->label("REQUIRED", _("REQUIRED"));
    formatter->label("TEXT", _("TEXT"));
    app.formatter(formatter);
    app.failure_message(quorvel::cli::ParseFailure);
    app.require_subcommand(1);
    app.set_version_flag("-V,--version",
                         std::string("quorvel ") + QUORVEL_FILE_VERSION_TEXT + " (" + _("file version") +
                             " " QUORVEL_FILE_VERSION ")",
                         _("Print the version and exit"));
    app.set_help_flag("-h,--help", _("Print this help message and exit"));
    app.footer(_("Exit status: 0 when the run got through, 1 when it could not start (see the TraceLog), "
                 "2 when it failed with an error (one line on stderr), 3 when it got through but a pass "
                 "was interrupted (the TraceLog says at which line), 4 when it got through with lines in "
                 "error, 130 or 143 when Ctrl-C or SIGTERM stopped it (after the current line; what was "
                 "stored stays, and the TraceLog says so).\n"
                 "Run 'quorvel COMMAND --help' for each command's options and an example."));
}

// Parses the command line; the exit status when the program ends there (help, version, refusal).
std::optional<int> Parse(CLI::App& app, int argc, char** argv) {
    try {
        app.parse(argc, argv);
        return std::nullopt;
    } catch (const CLI::ParseError& e) {
        std::string suggestion =
            e.get_exit_code() == 0 ? std::string() : quorvel::cli::Suggestion(app, argc, argv);
        if (!suggestion.empty()) {
            std::cerr << "quorvel: " << suggestion << "\n"
                      << quorvel::cli::_("Run 'quorvel --help' for the commands and their options.") << "\n";
            return quorvel::cli::kExitError;
        }
        return app.exit(e) == 0 ? quorvel::cli::kExitTrue : quorvel::cli::kExitError;
    }
}

} // namespace

int main(int argc, char** argv) {
    quorvel::cli::SetUpLanguage();
    CLI::App app{quorvel::cli::_("quorvel brings the swimming federation's export files into the club "
                                 "application's encrypted database and writes a French TraceLog of what "
                                 "was done.")};
    Describe(app);
    const std::vector<quorvel::cli::Command> commands{
        quorvel::cli::AddInitDb(app), quorvel::cli::AddImportLicences(app), quorvel::cli::AddUpdateIuf(app),
        quorvel::cli::AddInfo(app),   quorvel::cli::AddRestore(app),
    };
    for (const quorvel::cli::Command& command : commands)
        command.app->group(quorvel::cli::_("Subcommands"));
    if (std::optional<int> status = Parse(app, argc, argv)) return *status;
    for (const quorvel::cli::Command& command : commands)
        if (command.app->parsed()) return command.run();
    return quorvel::cli::kExitError;
}
