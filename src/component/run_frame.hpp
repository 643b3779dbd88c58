#pragma once
// What the two public methods share around their run: the start of the TraceLog, the preview's
// bookkeeping, and the report of how the call ended.

#include "component/import_session.hpp"

#include <quorvel/run_report.hpp>

#include <string>
#include <vector>

namespace quorvel {

// Sets up a session for one call: attaches the report and puts the connection in preview; Start()
// opens the TraceLog and writes the start line (and, for a preview, the line that says so).
// On destruction (whichever way the call ends) removes a preview's working copies.
class RunFrame {
public:
    RunFrame(ImportSession& session, const ImportOptions& options, const char* method,
             const char* previewLine);
    ~RunFrame();
    RunFrame(const RunFrame&) = delete;
    RunFrame& operator=(const RunFrame&) = delete;

    void Start();
    // A working copy made for this call (removed at the end of a preview).
    void CopyMade(const std::string& path) {
        if (preview_) copies_.push_back(path);
    }
    // Closes the connection (LastClose true); a failure is reported and does not change the result.
    void Disconnect();
    // The call returned `result`.
    void Finish(bool result);
    // The call is leaving with `error`.
    void Fail(const Error& error);

private:
    ImportSession& session_;
    RunReport* report_;
    bool preview_;
    const char* previewLine_;
    std::vector<std::string> copies_;
};

} // namespace quorvel
