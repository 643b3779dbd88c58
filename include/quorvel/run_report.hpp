#pragma once
// Options of a run, and the machine-readable report of what it did.

#include <quorvel/export.h>

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {

// One warning or error of a run, as the TraceLog reports it.
struct ReportEntry {
    // The file concerned: the working copy of club.txt or licence.txt, or an IUF file; empty
    // when the entry concerns the run as a whole (a connection failure, a missing file...).
    std::string file;
    // Line number in that file (from 1); 0 when the entry concerns no particular line.
    long line = 0;
    // "Erreur" (the line or the run was abandoned) or "Warning" (it went on).
    std::string kind;
    // Codes involved, as read from the line; empty when the line has none.
    std::string club;
    std::string licence;
    std::string selection;
    // The message, as written in the TraceLog (line breaks as "\n").
    std::string message;
};

// The counts of a club pass, a licence pass and an IUF file, by name.
struct ClubCounts {
    long lines = 0, created = 0, known = 0, knownOtherName = 0, updated = 0, errors = 0;
};
struct LicenceCounts {
    long lines = 0, imported = 0, known = 0, relay = 0, errors = 0, clubsAdded = 0;
};
struct IufCounts {
    long lines = 0, updated = 0, unknown = 0;
};

// One pass over one file, with the counts of its TraceLog summary.
struct PassReport {
    // "clubs", "licences" or "iuf".
    std::string pass;
    std::string file;
    // False when the pass was interrupted: its counts then stop at the line that failed, and the
    // TraceLog has no summary for it.
    bool completed = false;
    // The counts in the order of the TraceLog summary, e.g. {"lines", 10}, {"created", 3}...
    std::vector<std::pair<std::string, long>> counts;

    // The count named `name`; 0 when the pass has none of that name.
    long Count(std::string_view name) const {
        for (const auto& [n, value] : counts)
            if (n == name) return value;
        return 0;
    }
    // The counts as fields (a pass of another kind gives zeros).
    ClubCounts Clubs() const {
        return {Count("lines"),          Count("created"), Count("known"),
                Count("knownOtherName"), Count("updated"), Count("errors")};
    }
    LicenceCounts Licences() const {
        return {Count("lines"), Count("imported"), Count("known"),
                Count("relay"), Count("errors"),   Count("clubsAdded")};
    }
    IufCounts Iuf() const { return {Count("lines"), Count("updated"), Count("unknown")}; }
};

// What one call did. Filled by the public methods when ImportOptions::report is set.
struct QUORVEL_API RunReport {
    static constexpr int kVersion = 1;

    // "bImport_Licence" or "bImport_CodeIUF".
    std::string method;
    bool preview = false;
    // When the run started, as the TraceLog's first line gives it ("dd/mm/yyyy hh:mm:ss"); empty
    // when the call stopped before its TraceLog was opened.
    std::string started;
    // The source folder and the database file, as the caller named them (a PostgreSQL URI
    // without its password).
    std::string source;
    std::string database;
    // True when the method returned a result; false when an error left it (see errorNumber).
    bool returned = false;
    bool result = false;
    long errorNumber = 0;
    std::string errorDescription;
    std::vector<PassReport> passes;
    std::vector<ReportEntry> entries;

    // The report as a JSON document (UTF-8), following docs/run-report.schema.json.
    std::string ToJson() const;
    // The report as one self-contained HTML page in French (UTF-8, no script, printable on A4),
    // for the club's secretary.
    std::string ToHtml() const;
};

// Where a run stands: handed to ImportOptions::progress after every line of a file.
struct ProgressStep {
    // "clubs", "licences" or "iuf"; "waiting" once, before the run waits for another import into
    // the same PostgreSQL database to end (no file, no lines).
    std::string_view pass;
    // The file being read (a working copy, or an IUF file).
    std::string_view file;
    // Lines handled so far in this file.
    long line = 0;
    // Lines the file is expected to hold (its size over its first line's length).
    long estimate = 0;
    // True once: the file is done, read to its end or its pass interrupted.
    bool finished = false;
};

// How a public method runs.
struct ImportOptions {
    // Do everything and write the TraceLog as a real run would, but leave the database unchanged
    // (nothing is committed) and remove the working copies before returning. The TraceLog's line
    // after the start line says that the run is a preview.
    bool preview = false;
    // When not null, receives the run's counts, warnings and errors.
    RunReport* report = nullptr;
    // When not null, read before each line: once it is true (set from another thread or a signal
    // handler, e.g. a Cancel button), the pass under way stops after its current line, keeps and
    // commits what it stored, and writes its interruption ("stopped on request"); every later
    // pass stops the same way. The method then returns normally.
    const std::atomic<bool>* cancel = nullptr;
    // When set, called at the start of each file, after each of its lines and when it is done: a
    // plain alternative to the HostForm's progress bar. (A batch of lines that the database undid
    // is done again, so `line` may step back.)
    std::function<void(const ProgressStep&)> progress;
    // When not empty, the PostgreSQL database to run on (postgresql://user@host:port/dbname; libpq
    // reads PGPASSWORD, ~/.pgpass, PGSSLMODE... as usual), in place of the database file the
    // method names, which is then not used. The method's own database parameter always names a
    // file.
    std::string server;
};

} // namespace quorvel
