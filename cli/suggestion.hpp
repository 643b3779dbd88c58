#pragma once
// "Did you mean ...?" for a mistyped command or option.

#include <CLI/CLI.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// The candidate closest to `word` in edits (letters inserted, removed, replaced or swapped), when
// it is close enough to be what was meant; empty otherwise.
std::string Nearest(std::string_view word, const std::vector<std::string>& candidates);

// For a command or option of argv that `app` does not know, "unknown ...; did you mean ...?";
// empty when every word is known.
std::string Suggestion(const CLI::App& app, int argc, char** argv);

} // namespace quorvel::cli
