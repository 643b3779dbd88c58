#pragma once
// What update-iuf tells beside its summary: a --club the database holds no licence of, and files
// skipped because they look like another export.

#include "run_command.hpp"

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::cli {

// `club` in capitals, as federal codes are written ("fra1010350007" is FRA1010350007).
std::string ClubInCapitals(const std::string& club);

// A warning when the database holds no licence of the club `a.club`, naming the nearest code it
// holds; empty when it holds some, or when the database cannot be read (the run then says why).
std::string ClubWarning(const RunArgs& a);

// For each file the update left aside because its lines are not 45 characters long, what it
// looks like (a licence or club export), one line each.
std::string SkippedFileNotes(const RunReport& report);

} // namespace quorvel::cli
