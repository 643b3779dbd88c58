#pragma once
// Checks and conversions of the command line's values.

#include <quorvel/clock.hpp>

#include <CLI/CLI.hpp>

#include <string>

namespace quorvel::cli {

// --today: a real calendar date written YYYY-MM-DD.
CLI::Validator RealDate();
// The run's clock: the machine's, or `today` (checked by RealDate) at 00:00:00.
Clock ClockFor(const std::string& today);

} // namespace quorvel::cli
