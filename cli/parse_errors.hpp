#pragma once
// The command line's refusals in the user's language.

#include <CLI/CLI.hpp>

#include <string>

namespace quorvel::cli {

// What stderr is told when CLI11 refuses the command line: its message, in the user's language
// for the usual refusals (a missing option, a word not expected), then where to find help.
std::string ParseFailure(const CLI::App* app, const CLI::Error& e);

} // namespace quorvel::cli
