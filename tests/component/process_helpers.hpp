#pragma once
// Running other programs from a test, and changing this process's environment for one test.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

struct ProgramResult {
    int exitCode = -1;  // -1 when the program did not exit normally
    std::string output; // standard output and standard error, interleaved
};

// Runs `argv` (argv[0] looked up in PATH) in `folder` (this process's folder when empty), with
// this process's environment changed by `environment`: a value sets a variable, nullopt unsets it.
ProgramResult
RunProgram(const std::vector<std::string>& argv,
           const std::vector<std::pair<std::string, std::optional<std::string>>>& environment = {},
           const std::string& folder = "");

// Sets (or, with nullopt, unsets) one variable of this process until the end of the scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(std::string name, const std::optional<std::string>& value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

} // namespace quorvel::test
