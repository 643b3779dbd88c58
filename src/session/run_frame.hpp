#pragma once
// What the two public methods share around their run: the start of the TraceLog, the drive
// test, the connection and its release, the preview's working copies, and the report of how the
// call ended.

#include "session/import_session.hpp"

#include <quorvel/run_report.hpp>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Sets up a session for one call: attaches the report (which names the call's source folder and
// database) and puts the connection in preview. On destruction (whichever way the call ends)
// removes a preview's working copies.
class RunFrame {
public:
    RunFrame(ImportSession& session, const ImportOptions& options, const char* method,
             const char* previewLine, const std::string& source, const std::string& database);
    ~RunFrame();
    RunFrame(const RunFrame&) = delete;
    RunFrame& operator=(const RunFrame&) = delete;

    // Opens the TraceLog and writes the start line (and, for a preview, the line that says so);
    // the report takes the same date.
    void Start();
    // True when the source folder's drive answers; otherwise reports it and returns false.
    // Throws when the folder does not exist.
    bool SourceReady(const std::string& strRepSource);
    // Opens the database. A failure is reported under `failureLines` (the TraceLog's own lines
    // before the error text) and gives false.
    bool Connect(std::string_view failureLines);
    // A working copy made for this call (removed at the end of a preview).
    void CopyMade(const std::string& path) {
        if (preview_) copies_.push_back(path);
    }
    // Closes the connection (LastClose true); a failure is reported and does not change the result.
    void Disconnect();
    // Closes the TraceLog and notes that the call returned `result`.
    bool Finish(bool result);
    // Notes the error leaving the call, and returns it.
    Error Fail();

private:
    // The report's end: time, duration and exit status.
    void Ended();

    ImportSession& session_;
    std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
    RunReport* report_;
    bool preview_;
    const char* previewLine_;
    std::vector<std::string> copies_;
};

} // namespace quorvel
