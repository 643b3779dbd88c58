#pragma once
// Collects what a run reports (counts, warnings, errors, times) into the caller's RunReport: every
// entry in order (in memory, or in a temporary file when the caller asked so), and the same
// grouped by kind. Every call is a no-op when the caller asked for no report, so the passes pay
// nothing for it.

#include "tracelog/pass_count.hpp"

#include <quorvel/run_report.hpp>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvel::tracelog {

class RunRecorder {
public:
    explicit RunRecorder(RunReport* report = nullptr);

    // A pass starts over `file`; entries then name that file.
    void BeginPass(std::string_view pass, std::string_view file);
    // The pass ends, with the counts of its summary (or those reached when it was interrupted).
    void EndPass(bool completed, const PassCounts& counts);
    // The pass stops at `line` for error `number`, told by `message`; the entry written until
    // InterruptionWritten() is that interruption, not a line's error.
    void Interrupted(long line, long number, std::string_view message);
    void InterruptionWritten() noexcept { interrupting_ = false; }

    // The codes of the line being handled: entries made until the next call carry them.
    void SetCodes(std::string_view club, std::string_view licence, std::string_view selection = {}) {
        if (report_ != nullptr) StoreCodes(club, licence, selection);
    }

    // The TraceLog's entry writers feed these three.
    // An entry about line `line` of the current pass's file.
    void Entry(long line, std::string_view kind, std::string_view message);
    // An entry about a whole file (a line-length warning, a file left aside).
    void FileEntry(std::string_view file, std::string_view kind, std::string_view message);
    // An entry about the run as a whole.
    void RunEntry(std::string_view kind, std::string_view message) { FileEntry({}, kind, message); }

    // Where the report stands: a point RewindTo() takes it back to.
    struct Snapshot {
        std::size_t entries = 0;
        std::uint64_t spillSize = 0;
        long spillCount = 0;
        long warnings = 0, errors = 0;
        std::vector<std::pair<long, std::size_t>> groups; // count and first entries kept
        long stoppedAt = 0, stopNumber = 0;
        std::string stopMessage;
    };
    Snapshot Here() const;
    // Takes back the entries made since `point`.
    void RewindTo(const Snapshot& point);

    // A batch of lines starts; Rewind() takes back the entries made since.
    void Mark() { marked_ = Here(); }
    void Rewind() { RewindTo(marked_); }

private:
    void StoreCodes(std::string_view club, std::string_view licence, std::string_view selection);
    void Add(ReportEntry entry);
    void Group(const ReportEntry& entry);

    RunReport* report_;
    // Where the report stood when the batch started.
    Snapshot marked_;
    std::unordered_map<std::string, std::size_t> groupOf_;
    std::chrono::steady_clock::time_point passStarted_;
    bool interrupting_ = false;
    std::string file_;
    std::string club_;
    std::string licence_;
    std::string selection_;
};

} // namespace quorvel::tracelog
