#pragma once
// What the terminal is told after a run, in UTF-8 and in the TraceLog's words.

#include <quorvel/run_report.hpp>

#include <string>
#include <vector>

namespace quorvel::cli {

// The outcome in words (and how to go on after an interruption); per pass the counts of its
// TraceLog summary (or where it was interrupted), the lines no count includes, its time and
// speed; the warnings and errors by kind, with the first lines of each; where the TraceLog and
// the reports are. `outputs` are "TraceLog : t.log"-like lines.
std::string Summary(const RunReport& report, const std::vector<std::string>& outputs);

// Why a run could not start, as its last error entry says it, on one line; empty when no entry
// says it.
std::string StartFailure(const RunReport& report);

} // namespace quorvel::cli
