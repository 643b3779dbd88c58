// init-db: a new database with the application's tables and, unless told otherwise, the French
// reference data.

#include "arguments.hpp"
#include "i18n.hpp"
#include "command.hpp"
#include "database_advice.hpp"
#include "exit_status.hpp"
#include "platform.hpp"

#include <quorvel/database.hpp>

#include <filesystem>
#include <iostream>
#include <memory>

namespace quorvel::cli {

namespace {

// The bundled reference data: beside an installed program (<prefix>/share/quorvel/..., or
// reference/ in the program's own folder as the Windows package has it), at the configured
// install prefix, or in the source tree of a build.
std::string DefaultReference() {
    std::error_code ec;
    if (auto exe = ProgramFile(); !exe.empty()) {
        for (auto beside : {exe.parent_path().parent_path() / "share/quorvel/reference/france.txt",
                            exe.parent_path() / "reference" / "france.txt"})
            if (std::filesystem::exists(beside, ec)) return beside.string();
    }
    if (std::filesystem::exists(QUORVEL_INSTALLED_REFERENCE, ec)) return QUORVEL_INSTALLED_REFERENCE;
    return QUORVEL_SOURCE_REFERENCE;
}

struct InitArgs {
    std::string db, reference;
    bool noReference = false;
};

int RunInitDb(const InitArgs& a) {
    try {
        CreateHostDatabase(a.db, a.noReference ? std::string()
                                               : (a.reference.empty() ? DefaultReference() : a.reference));
        std::cout << Fill(_("Database created: {1}"), {quorvel::ShownDatabase(a.db)}) << "\n";
        return kExitTrue;
    } catch (const Error& e) {
        std::cerr << Fill(_("quorvel init-db: failed: Error no. {1}: {2}"),
                          {std::to_string(e.number()), e.description()})
                  << "\n";
        if (std::string advice = DatabaseAdvice(a.db, e.number(), e.description()); !advice.empty())
            std::cerr << "quorvel init-db: " << advice << "\n";
        return kExitError;
    }
}

} // namespace

Command AddInitDb(CLI::App& app) {
    auto args = std::make_shared<InitArgs>();
    auto* init = app.add_subcommand("init-db", _("Create a new, empty encrypted club database."));
    init->add_option("DB", args->db,
                     _("Database file to create (refused if it already exists), or the postgresql:// URI of "
                       "an empty database"))
        ->required();
    init->add_flag("--no-reference", args->noReference,
                   _("Leave the reference tables (countries, inter-regions, regions, departments) empty"));
    init->add_option("--reference", args->reference,
                     _("Reference data file to load instead of the bundled one"));
    init->footer(_("Example:") + "\n  quorvel init-db club.db\n" +
                 _("The file is encrypted: open it with the sqlcipher shell and PRAGMA key='quenoril';") +
                 "\n  quorvel init-db postgresql://club@server/club   " +
                 _("(tables created in that empty database)"));
    return {init, [args] { return RunInitDb(*args); }};
}

} // namespace quorvel::cli
