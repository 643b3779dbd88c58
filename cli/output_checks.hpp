#pragma once
// Outputs checked before a run opens anything, and the working folder it needs.

#include "run_command.hpp"

#include <string>

namespace quorvel::cli {

// Why the command line cannot run as given (a --club of the wrong length, a report that would
// overwrite an input or another output), as one line for stderr; empty when it can.
std::string RefusedArguments(const RunArgs& args);

// The working folder of an import, made when it does not exist yet and removed again after a
// preview that made it.
class WorkFolder {
public:
    explicit WorkFolder(const RunArgs& args) : args_(args) {}
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    // Makes the folder when needed; an error line for stderr when it cannot.
    std::string Make();

private:
    const RunArgs& args_;
    bool made_ = false;
};

} // namespace quorvel::cli
