// info: what a database holds, in French: engine, tables and their rows, reference data, the
// last run's close, the copies made before the runs.

#include "backup.hpp"
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
    return Grouped(static_cast<long>(n)) + (n > 1 ? " lignes" : " ligne");
}

// The tables, one per line; what is missing and who provides it.
void TellTables(std::ostream& out, const DatabaseSummary& s) {
    bool anyTable = false, referenceMissing = false, referenceEmpty = false, ownMissing = false;
    out << "Tables :\n";
    for (const TableSummary& t : s.tables) {
        out << "  " << std::left << std::setw(14) << t.name;
        out << (t.present ? Rows(t.rows) : std::string("absente")) << (t.reference ? "  (référence)" : "")
            << "\n";
        anyTable |= t.present;
        ownMissing |= !t.present && !t.reference;
        referenceMissing |= t.reference && !t.present;
        referenceEmpty |= t.reference && t.present && t.rows == 0;
    }
    if (!anyTable) {
        out << "Aucune table de l'application : ce n'est pas une base du club. Créez-en une avec "
               "quorvel init-db FICHIER.\n";
        return;
    }
    if (ownMissing)
        out << "Tables de l'application manquantes : l'import s'arrêtera. La base doit venir de "
               "l'application du club ou de quorvel init-db.\n";
    if (referenceMissing || referenceEmpty)
        out << "Données de référence : manquantes (pays, inter-régions, régions, départements). quorvel "
               "init-db "
               "les charge dans une base neuve ; pour une base existante, l'application du club doit les "
               "fournir. Sans elles, les clubs sont refusés et les codes IUF ne trouvent pas leur région.\n";
    else
        out << "Données de référence : présentes.\n";
}

void TellLastRun(std::ostream& out, const DatabaseSummary& s) {
    if (!s.lastClose)
        out << "Dernière exécution : inconnue (pas de ligne dans Info).\n";
    else if (*s.lastClose)
        out << "Dernière exécution : base fermée proprement (Info.LastClose = vrai).\n";
    else
        out << "Dernière exécution : base non fermée (Info.LastClose = faux) : un import est en cours, ou le "
               "dernier s'est arrêté sans fermer la base.\n";
}

int RunInfo(const std::string& db) {
    DatabaseSummary s;
    try {
        s = DescribeDatabase(db);
    } catch (const Error& e) {
        std::cerr << "quorvel info : impossible d'ouvrir " << ShownDatabase(db) << " : Erreur n° "
                  << e.number() << ": " << e.description() << "\n";
        if (std::string advice = DatabaseAdvice(db, e.number(), e.description()); !advice.empty())
            std::cerr << "quorvel info : " << advice << "\n";
        return kExitError;
    }
    std::ostringstream out;
    out << "Base : " << ShownDatabase(db) << "\n"
        << "Moteur : " << (s.server ? "PostgreSQL" : "SQLCipher (fichier chiffré)") << "\n";
    TellTables(out, s);
    TellLastRun(out, s);
    if (!s.server) {
        std::vector<std::string> copies = Backups(db, BackupFolder(db, {}));
        if (copies.empty())
            out << "Copies avant import : aucune à côté de la base.\n";
        else
            out << "Copies avant import : " << copies.size() << ", la dernière " << copies.back() << ".\n";
    }
    std::cout << out.str();
    return kExitTrue;
}

} // namespace

Command AddInfo(CLI::App& app) {
    auto db = std::make_shared<std::string>();
    auto* cmd =
        app.add_subcommand("info", "Tell what a database holds: tables, rows, reference data, last run.");
    cmd->add_option("--db", *db, "Database file of the club application, or a postgresql:// URI")->required();
    cmd->footer("Example:\n  quorvel info --db club.db");
    return {cmd, [db] { return RunInfo(*db); }};
}

} // namespace quorvel::cli
