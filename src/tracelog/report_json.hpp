#pragma once
// One entry of the run report as the JSON document writes it, on one line.

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::tracelog {

void AppendEntryJson(std::string& out, const ReportEntry& entry);

} // namespace quorvel::tracelog
