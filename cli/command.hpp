#pragma once
// The program's commands. Each registers itself on the application and says how it runs once
// the command line has chosen it; main() only registers them and runs the one chosen.

#include <CLI/CLI.hpp>

#include <functional>

namespace quorvel::cli {

struct Command {
    CLI::App* app = nullptr;
    // Runs the command once its options are parsed; returns the exit status.
    std::function<int()> run;
};

Command AddInitDb(CLI::App& app);
Command AddImportLicences(CLI::App& app);
Command AddUpdateIuf(CLI::App& app);
Command AddInfo(CLI::App& app);
Command AddRestore(CLI::App& app);

} // namespace quorvel::cli
