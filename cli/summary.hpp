#pragma once
// What the terminal is told after a run, in UTF-8 and in the TraceLog's words.

#include <quorvel/run_report.hpp>

#include <string>
#include <vector>

namespace quorvel::cli {

// Per pass, the counts of its TraceLog summary (or where it was interrupted); the number of
// warnings and errors with the first few; where the TraceLog and the reports are. `outputs` are
// "TraceLog : t.log"-like lines.
std::string Summary(const RunReport& report, const std::vector<std::string>& outputs);

// Why a run could not start, as its last error entry says it, on one line; empty when no entry
// says it.
std::string StartFailure(const RunReport& report);

} // namespace quorvel::cli
