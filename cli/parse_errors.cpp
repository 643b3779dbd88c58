#include "parse_errors.hpp"

#include "i18n.hpp"

#include <regex>

namespace quorvel::cli {

namespace {

// CLI11's own English message, translated when it is one of the usual ones.
std::string Translated(const std::string& message) {
    std::smatch m;
    if (message == "A subcommand is required") return _("A command is required");
    static const std::regex required("^(\\S+) is required$");
    if (std::regex_match(message, m, required)) return Fill(_("{1} is required"), {m[1]});
    static const std::regex extras("^The following arguments? (?:was|were) not expected: (.*)$");
    if (std::regex_match(message, m, extras)) return Fill(_("Not expected: {1}"), {m[1]});
    static const std::regex missing("^(\\S+): ([0-9]+) required (\\S+) missing$");
    if (std::regex_match(message, m, missing)) return Fill(_("{1} needs a value"), {m[1]});
    return message;
}

} // namespace

std::string ParseFailure(const CLI::App* app, const CLI::Error& e) {
    std::string out = Translated(e.what()) + "\n";
    if (app->get_help_ptr() != nullptr)
        out += Fill(_("Run with {1} for more information."), {app->get_help_ptr()->get_name()}) + "\n";
    return out;
}

} // namespace quorvel::cli
