#pragma once
// "Did you mean ...?" for a mistyped command or option.

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::cli {

// The candidate closest to `word` in edits (letters inserted, removed, replaced or swapped), when
// it is close enough to be what was meant; empty otherwise.
std::string Nearest(std::string_view word, const std::vector<std::string>& candidates);

} // namespace quorvel::cli
