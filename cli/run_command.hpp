#pragma once
// What import-licences and update-iuf share: their options, the checks made before anything is
// touched, the run, its reports and what the terminal is told.

#include "backup.hpp"

#include <string>

namespace quorvel::cli {

struct RunArgs {
    bool iuf = false; // update-iuf rather than import-licences
    std::string db, source, work, trace, today, club, report, html;
    bool dryRun = false;
    bool quiet = false;
    bool clubGiven = false;
    BackupArgs backup;

    const char* Command() const { return iuf ? "update-iuf" : "import-licences"; }
};

// The options both commands give the same way after --report: --quiet, --html and the backup's.
void AddRunOutputOptions(CLI::App* command, RunArgs& args);

// Runs the command and returns its exit status.
int RunImportCommand(const RunArgs& args);

} // namespace quorvel::cli
