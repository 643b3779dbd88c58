// info: what a database holds: engine, tables and their rows, reference data, the
// last run's close, the copies made before the runs.

#include "backup.hpp"
#include "i18n.hpp"
#include "command.hpp"
#include "database_advice.hpp"
#include "exit_status.hpp"
#include "progress_display.hpp"

#include <quorvel/database.hpp>
#include <quorvel/database_tools.hpp>

#include <iomanip>
#include <iostream>
#include <memory>
#include <sstream>

namespace quorvel::cli {

namespace {

std::string Rows(long long n) {
    return Fill(P_("{1} row", "{1} rows", static_cast<long>(n)), {Grouped(static_cast<long>(n))});
}

// The tables, one per line; what is missing and who provides it.
void TellTables(std::ostream& out, const DatabaseSummary& s) {
    bool anyTable = false, referenceMissing = false, referenceEmpty = false, ownMissing = false;
    out << _("Tables:") << "\n";
    for (const TableSummary& t : s.tables) {
        out << "  " << std::left << std::setw(14) << t.name;
        out << (t.present ? Rows(t.rows) : _("missing")) << (t.reference ? "  " + _("(reference)") : "")
            << "\n";
        anyTable |= t.present;
        ownMissing |= !t.present && !t.reference;
        referenceMissing |= t.reference && !t.present;
        referenceEmpty |= t.reference && t.present && t.rows == 0;
    }
    if (!anyTable) {
        out << _("None of the application's tables: this is not a club database. Create one with quorvel "
                 "init-db FILE.")
            << "\n";
        return;
    }
    if (ownMissing)
        out << _("Application tables missing: the import will stop. The database must come from the club "
                 "application or from quorvel init-db.")
            << "\n";
    if (referenceMissing || referenceEmpty)
        out << _("Reference data: missing (countries, inter-regions, regions, departments). quorvel init-db "
                 "loads them into a new database; for an existing one, the club application must provide "
                 "them. Without them, clubs are refused and IUF codes do not find their region.")
            << "\n";
    else
        out << _("Reference data: present.") << "\n";
}

void TellLastRun(std::ostream& out, const DatabaseSummary& s) {
    if (!s.lastClose)
        out << _("Last run: unknown (no row in Info).") << "\n";
    else if (*s.lastClose)
        out << _("Last run: database closed cleanly (Info.LastClose = true).") << "\n";
    else
        out << _("Last run: database not closed (Info.LastClose = false): an import is running, or the last "
                 "one stopped without closing the database.")
            << "\n";
}

int RunInfo(const std::string& db) {
    DatabaseSummary s;
    try {
        s = DescribeDatabase(db);
    } catch (const Error& e) {
        std::cerr << Fill(_("quorvel info: cannot open {1}: Error no. {2}: {3}"),
                          {ShownDatabase(db), std::to_string(e.number()), e.description()})
                  << "\n";
        if (std::string advice = DatabaseAdvice(db, e.number(), e.description()); !advice.empty())
            std::cerr << _("quorvel info: ") << advice << "\n";
        return kExitError;
    }
    std::ostringstream out;
    out << Fill(_("Database: {1}"), {ShownDatabase(db)}) << "\n"
        << Fill(_("Engine: {1}"), {s.server ? std::string("PostgreSQL") : _("SQLCipher (encrypted file)")})
        << "\n";
    TellTables(out, s);
    TellLastRun(out, s);
    if (!s.server) {
        std::vector<std::string> copies = Backups(db, BackupFolder(db, {}));
        if (copies.empty())
            out << _("Copies before import: none beside the database.") << "\n";
        else
            out << Fill(_("Copies before import: {1}, the latest {2}."),
                        {std::to_string(copies.size()), copies.back()})
                << "\n";
    }
    std::cout << out.str();
    return kExitTrue;
}

} // namespace

Command AddInfo(CLI::App& app) {
    auto db = std::make_shared<std::string>();
    auto* cmd =
        app.add_subcommand("info", _("Tell what a database holds: tables, rows, reference data, last run."));
    cmd->add_option("--db", *db, _("Database file of the club application, or a postgresql:// URI"))
        ->required();
    cmd->footer(_("Example:") + "\n  quorvel info --db club.db");
    return {cmd, [db] { return RunInfo(*db); }};
}

} // namespace quorvel::cli
