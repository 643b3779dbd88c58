#pragma once
// The way back: a copy of the database file made before a run writes to it, and the copies a
// later `quorvel restore` puts back.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace quorvel::cli {

// "NAME.avant-import-YYYYMMDD-HHMMSS": what follows the database's own name.
inline constexpr const char* kBackupMark = ".avant-import-";
// Beside each copy, the content fingerprint the database had when the run that followed it ended.
inline constexpr const char* kAfterRunMark = ".apres";
// Copies kept for each database.
inline constexpr std::size_t kBackupsKept = 5;

// The options that choose where the copies go.
struct BackupArgs {
    std::string folder; // --backup DIR; empty: beside the database
    bool none = false;  // --no-backup
};
void AddBackupOptions(CLI::App* command, BackupArgs& args);

// The folder of the copies of `db` (empty: the current folder).
std::string BackupFolder(const std::string& db, const BackupArgs& args);
// The copies of `db` in `folder`, oldest first (the names sort by time).
std::vector<std::string> Backups(const std::string& db, const std::string& folder);

// The copy of one run: made before it, recorded (or dropped) after it.
class RunBackup {
public:
    // Makes the copy of the database file `db` (none for a server, a preview or --no-backup, or
    // when the file does not exist: the run then says why it cannot start). An error line for
    // stderr when the copy cannot be made.
    std::string Make(const std::string& db, const BackupArgs& args, bool preview, const char* command);
    // After a run that stored something: the database's fingerprint is recorded beside the copy
    // and the oldest copies beyond kBackupsKept are removed.
    void Keep();
    // After a run that could not start (nothing was written): the copy is removed again.
    void Drop();
    const std::string& Path() const { return copy_; }

private:
    std::string db_, copy_, folder_;
};

} // namespace quorvel::cli
