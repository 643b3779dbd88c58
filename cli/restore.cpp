// restore: the database file put back as it was before the last run, from the copy made then.

#include "backup.hpp"
#include "i18n.hpp"
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

// "2026-12-07 12:30:05" ("07/12/2026 à 12:30:05" in French), read from the copy's name.
std::string When(const std::string& copy) {
    std::string s = copy.substr(copy.rfind(kBackupMark) + std::strlen(kBackupMark), 15);
    // TRANSLATORS: a copy's date and time: {1} year, {2} month, {3} day, {4} hh:mm:ss.
    return Fill(_("{1}-{2}-{3} {4}"), {s.substr(0, 4), s.substr(4, 2), s.substr(6, 2),
                                       s.substr(9, 2) + ":" + s.substr(11, 2) + ":" + s.substr(13, 2)});
}

// Why the database may not be put back without --force; empty when nothing changed since the run.
std::string Changed(const RestoreArgs& a, const std::string& copy) {
    std::error_code ec;
    if (!fs::exists(a.db, ec)) return {};
    std::string recorded;
    std::ifstream(copy + kAfterRunMark) >> recorded;
    if (recorded.empty())
        return Fill(
            _("the database's state at the end of the import of {1} was not recorded (import killed?): "
              "there is no telling whether it changed since"),
            {When(copy)});
    try {
        if (ContentFingerprint(a.db) == recorded) return {};
    } catch (const Error& e) {
        return Fill(_("the database no longer opens (Error no. {1}: {2})"),
                    {std::to_string(e.number()), e.description()});
    }
    return Fill(_("the database changed since the import of {1} (another application or another import "
                  "wrote to it): putting it back would wipe out those changes too"),
                {When(copy)});
}

bool Confirmed(const RestoreArgs& a, const std::string& copy) {
    if (a.yes) return true;
    std::cout << Fill(_("Put {1} back as it was before the import of {2} (copy {3})? What that import wrote "
                        "will be lost. [y/N] "),
                      {a.db, When(copy), copy})
              << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    for (char& c : answer)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    // Both languages' yes, whatever the question's language.
    return answer == "o" || answer == "oui" || answer == "y" || answer == "yes";
}

int RunRestore(const RestoreArgs& a) {
    const std::string me = _("quorvel restore: ");
    if (IsServerUri(a.db)) {
        std::cerr << me
                  << _("quorvel does not copy a PostgreSQL database; put it back with pg_restore from your "
                       "pg_dump copy (see the README).")
                  << "\n";
        return kExitError;
    }
    const std::string folder = BackupFolder(a.db, a.backup);
    const std::string where = folder.empty() ? _("the current folder") : folder;
    std::vector<std::string> copies = Backups(a.db, folder);
    if (copies.empty()) {
        std::cerr << me
                  << Fill(_("no copy of {1} in {2} ({3}YYYYMMDD-HHMMSS): nothing to put back."),
                          {a.db, where, fs::path(a.db).filename().string() + kBackupMark})
                  << "\n";
        return kExitFalse;
    }
    const std::string copy = copies.back();
    if (std::string why = Changed(a, copy); !why.empty() && !a.force) {
        std::cerr << me << why
                  << Fill(_(". Nothing was done; --force puts the copy {1} back all the same."), {copy})
                  << "\n";
        return kExitFalse;
    }
    if (!Confirmed(a, copy)) {
        std::cout << _("Nothing was done.") << "\n";
        return kExitFalse;
    }
    try {
        CopyDatabaseFile(copy, a.db);
    } catch (const Error& e) {
        std::cerr << me
                  << Fill(_("failed: Error no. {1}: {2}; the database was left as it was."),
                          {std::to_string(e.number()), e.description()})
                  << "\n";
        return kExitError;
    }
    std::error_code ec;
    fs::remove(copy, ec);
    fs::remove(copy + kAfterRunMark, ec);
    const long older = static_cast<long>(copies.size()) - 1;
    std::cout << Fill(_("Database {1} put back as it was before the import of {2}."), {a.db, When(copy)})
              << " "
              << Fill(P_("{1} older copy in {2}.", "{1} older copies in {2}.", older),
                      {std::to_string(older), where})
              << "\n";
    return kExitTrue;
}

} // namespace

Command AddRestore(CLI::App& app) {
    auto a = std::make_shared<RestoreArgs>();
    auto* cmd = app.add_subcommand(
        "restore", _("Put the database file back as it was before the last run, from the copy made then."));
    cmd->add_option("--db", a->db, _("Database file of the club application"))->required();
    cmd->add_option("--backup", a->backup.folder, _("Folder of the copies (default: beside the database)"));
    cmd->add_flag("--force", a->force,
                  _("Put the copy back even when the database changed since that run (those changes are "
                    "lost)"));
    cmd->add_flag("-y,--yes", a->yes, _("Do not ask before putting the copy back"));
    cmd->footer(_("Example:") + "\n  quorvel restore --db club.db\n" +
                _("The copy used is removed afterwards: a second restore goes back one run further."));
    return {cmd, [a] { return RunRestore(*a); }};
}

} // namespace quorvel::cli
