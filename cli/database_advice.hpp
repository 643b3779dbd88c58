#pragma once
// What to do about a database that could not be opened: a sentence that names the fix.

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::cli {

// For the failure `number` / `description` met opening `db` (a file or a postgresql:// URI), what
// to do, in French; empty when there is nothing more useful to say than the failure itself.
std::string DatabaseAdvice(const std::string& db, long number, const std::string& description);

// The same for a run that could not start, read from its connection failure's entry.
std::string DatabaseAdvice(const std::string& db, const RunReport& report);

} // namespace quorvel::cli
