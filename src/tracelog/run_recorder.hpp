#pragma once
// Collects what a run reports (counts, warnings, errors) into the caller's RunReport. Every call
// is a no-op when the caller asked for no report, so the passes pay nothing for it.

#include <quorvel/run_report.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel::tracelog {

class RunRecorder {
public:
    explicit RunRecorder(RunReport* report = nullptr) : report_(report) {}

    // A pass starts over `file`; entries then name that file.
    void BeginPass(std::string_view pass, std::string_view file);
    // The pass ends, with the counts of its summary (or those reached when it was interrupted).
    void EndPass(bool completed, const std::vector<std::pair<const char*, long>>& counts);

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

    // A batch of lines starts; Rewind() takes back the entries made since.
    void Mark() noexcept { marked_ = report_ != nullptr ? report_->entries.size() : 0; }
    void Rewind() { RewindTo(marked_); }
    // How many entries were made: a point RewindTo() can take the record back to.
    std::size_t Size() const noexcept { return report_ != nullptr ? report_->entries.size() : 0; }
    void RewindTo(std::size_t size) {
        if (report_ != nullptr && report_->entries.size() > size) report_->entries.resize(size);
    }

private:
    void StoreCodes(std::string_view club, std::string_view licence, std::string_view selection);

    RunReport* report_;
    std::size_t marked_ = 0;
    std::string file_;
    std::string club_;
    std::string licence_;
    std::string selection_;
};

} // namespace quorvel::tracelog
