#pragma once
// A run's outcome in the user's language, as the summary opens with it.

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::cli {

// The outcome on one line ("Import completed with 3 lines in error: the other lines are stored.").
std::string OutcomeLine(const RunReport& report);

// For an interrupted run, how to go on; empty otherwise.
std::string ResumeLine(const RunReport& report);

} // namespace quorvel::cli
