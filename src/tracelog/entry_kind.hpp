#pragma once
// The kind of an entry: its message, on one line, with what the line read left out (codes,
// names), so that a run's many entries fall in a few groups.

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::tracelog {

std::string KindOf(const ReportEntry& entry);

} // namespace quorvel::tracelog
