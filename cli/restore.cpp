// restore: the database file put back as it was before the last run, from the copy made then.

#include "backup.hpp"
#include "command.hpp"
#include "exit_status.hpp"

#include <quorvel/database.hpp>
#include <quorvel/database_tools.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>

namespace quorvel::cli {

namespace {

namespace fs = std::filesystem;

struct RestoreArgs {
    std::string db;
    BackupArgs backup;
    bool force = false;
    bool yes = false;
};

// "07/12/2026 à 12:30:05", read from the copy's name.
std::string When(const std::string& copy) {
    std::string s = copy.substr(copy.rfind(kBackupMark) + std::strlen(kBackupMark), 15);
    return s.substr(6, 2) + "/" + s.substr(4, 2) + "/" + s.substr(0, 4) + " à " + s.substr(9, 2) + ":" +
           s.substr(11, 2) + ":" + s.substr(13, 2);
}

// Why the database may not be put back without --force; empty when nothing changed since the run.
std::string Changed(const RestoreArgs& a, const std::string& copy) {
    std::error_code ec;
    if (!fs::exists(a.db, ec)) return {};
    std::string recorded;
    std::ifstream(copy + kAfterRunMark) >> recorded;
    const std::string run = "l'import du " + When(copy);
    if (recorded.empty())
        return "l'état de la base à la fin de " + run +
               " n'a pas été enregistré (import arrêté brutalement ?) : impossible de savoir si elle a "
               "changé depuis";
    try {
        if (ContentFingerprint(a.db) == recorded) return {};
    } catch (const Error& e) {
        return "la base ne s'ouvre plus (Erreur n° " + std::to_string(e.number()) + ": " + e.description() +
               ")";
    }
    return "la base a changé depuis " + run +
           " (une autre application ou un autre import y a écrit) : la remettre effacerait aussi ces "
           "changements";
}

bool Confirmed(const RestoreArgs& a, const std::string& copy) {
    if (a.yes) return true;
    std::cout << "Remettre " << a.db << " dans l'état d'avant l'import du " << When(copy) << " (copie "
              << copy << ") ? Ce que cet import a écrit sera perdu. [o/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "o" || answer == "O" || answer == "oui" || answer == "y" || answer == "yes";
}

int RunRestore(const RestoreArgs& a) {
    const std::string me = "quorvel restore : ";
    if (IsServerUri(a.db)) {
        std::cerr << me
                  << "quorvel ne copie pas une base PostgreSQL ; remettez-la avec pg_restore depuis votre "
                     "copie pg_dump (voir le README).\n";
        return kExitError;
    }
    const std::string folder = BackupFolder(a.db, a.backup);
    const std::string where = folder.empty() ? std::string("le dossier courant") : folder;
    std::vector<std::string> copies = Backups(a.db, folder);
    if (copies.empty()) {
        std::cerr << me << "aucune copie de " << a.db << " dans " << where << " ("
                  << fs::path(a.db).filename().string() << kBackupMark
                  << "AAAAMMJJ-HHMMSS) : rien à remettre.\n";
        return kExitFalse;
    }
    const std::string copy = copies.back();
    if (std::string why = Changed(a, copy); !why.empty() && !a.force) {
        std::cerr << me << why << ". Rien n'a été fait ; --force remet quand même la copie " << copy << ".\n";
        return kExitFalse;
    }
    if (!Confirmed(a, copy)) {
        std::cout << "Rien n'a été fait.\n";
        return kExitFalse;
    }
    try {
        CopyDatabaseFile(copy, a.db);
    } catch (const Error& e) {
        std::cerr << me << "échec : Erreur n° " << e.number() << ": " << e.description()
                  << " ; la base est restée telle quelle.\n";
        return kExitError;
    }
    std::error_code ec;
    fs::remove(copy, ec);
    fs::remove(copy + kAfterRunMark, ec);
    std::cout << "Base " << a.db << " remise dans l'état d'avant l'import du " << When(copy) << ". "
              << copies.size() - 1 << " copie(s) plus ancienne(s) dans " << where << ".\n";
    return kExitTrue;
}

} // namespace

Command AddRestore(CLI::App& app) {
    auto a = std::make_shared<RestoreArgs>();
    auto* cmd = app.add_subcommand(
        "restore", "Put the database file back as it was before the last run, from the copy made then.");
    cmd->add_option("--db", a->db, "Database file of the club application")->required();
    cmd->add_option("--backup", a->backup.folder, "Folder of the copies (default: beside the database)");
    cmd->add_flag("--force", a->force,
                  "Put the copy back even when the database changed since that run (those changes are lost)");
    cmd->add_flag("-y,--yes", a->yes, "Do not ask before putting the copy back");
    cmd->footer("Example:\n  quorvel restore --db club.db\n"
                "The copy used is removed afterwards: a second restore goes back one run further.");
    return {cmd, [a] { return RunRestore(*a); }};
}

} // namespace quorvel::cli
