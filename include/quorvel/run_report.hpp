#pragma once
// Options of a run, and the machine-readable report of what it did.

#include <quorvel/export.h>

#include <atomic>
#include <functional>
#include <iosfwd>
#include <memory>
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

// Warnings or errors of one kind: those whose message reads the same once its codes (club,
// licence, names read from the line) are left out.
struct EntryGroup {
    // "Erreur" or "Warning".
    std::string kind;
    // The message with its codes left out, on one line: "Licence (… + …) déjà utilisée. …".
    std::string text;
    long count = 0;
    // The first entries of this kind, in the order of the run (at most RunReport::kFirstOfGroup).
    std::vector<ReportEntry> first;
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
    // How long the pass took, in seconds (the machine's own measure, not the run's clock).
    double seconds = 0;
    // For an interrupted pass: the line where it stopped (0: before its first line), the error's
    // number (18 when the run was asked to stop) and the TraceLog's words for it.
    long stoppedAt = 0;
    long stopNumber = 0;
    std::string stopMessage;

    // Lines that none of the other counts includes (selection entries, repeated keys...), so that
    // the counts add up to the lines read; 0 for an interrupted pass.
    long Uncounted() const {
        if (!completed) return 0;
        long rest = Count("lines");
        for (const auto& [n, value] : counts)
            if (n != "lines" && n != "clubsAdded") rest -= value;
        return rest > 0 ? rest : 0;
    }

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

// Where the entries of a run report went when they were not kept in memory.
class EntrySpill;

// How a run ended, from best to worst; RunReport::Outcome() tells.
enum class RunOutcome {
    Completed,    // every pass read its file to the end, no line in error
    LinesInError, // every pass read its file to the end, some lines or files in error
    Interrupted,  // a pass stopped before the end of its file
    NotStarted,   // the run could not start (the method returned false)
    Failed,       // an error left the method
};

// What one call did. Filled by the public methods when ImportOptions::report is set.
struct QUORVEL_API RunReport {
    static constexpr int kVersion = 2;
    // How many entries of each kind `groups` keeps, and how many kinds at most (later kinds are
    // counted in the last one, "autres messages").
    static constexpr std::size_t kFirstOfGroup = 10;
    static constexpr std::size_t kGroups = 100;

    // "bImport_Licence" or "bImport_CodeIUF".
    std::string method;
    bool preview = false;
    // When the run started and ended, by the run's clock, in ISO 8601 local time
    // ("2026-12-06T10:15:02"); `started` is empty when the call stopped before its TraceLog was
    // opened. The duration is the machine's own measure, in seconds.
    std::string started;
    std::string finished;
    double durationSeconds = 0;
    // The exit status the program gives this run: 0 completed, 1 not started, 2 failed, 3
    // interrupted, 4 lines in error (the program sets 128 + the signal's number when one stopped
    // it).
    int exitStatus = 0;
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
    // Every warning and error, in the order of the TraceLog (interruptions included), unless
    // `spillEntries` was set.
    std::vector<ReportEntry> entries;
    // The same grouped by kind, the passes' interruptions left out, and their numbers.
    std::vector<EntryGroup> groups;
    long warnings = 0;
    long errors = 0;
    // Set before the run: the entries go to a temporary file instead of `entries`, so that a run
    // of any size keeps only `groups` in memory; WriteJson() reads them back.
    bool spillEntries = false;
    std::shared_ptr<EntrySpill> spill;

    RunOutcome Outcome() const;
    // True when nothing was stored or found already stored although lines were in error.
    bool NothingStored() const;
    // The status of Outcome(): 0, 4, 3, 1 or 2.
    int StatusOfOutcome() const;
    // The outcome in French words, on one line, as the terminal's summary and the page open with
    // it ("Import terminé avec 3 erreurs : les autres lignes sont enregistrées.").
    std::string OutcomeText() const;
    // For an interrupted run, how to go on ("Relancer la même commande reprend l'import..."); empty
    // otherwise.
    std::string ResumeText() const;
    // The interrupted pass, or null.
    const PassReport* InterruptedPass() const;
    // Why a run could not start: its last error entry of no line, or null.
    const ReportEntry* StartFailureEntry() const;

    // The report as a JSON document (UTF-8), following docs/run-report.schema.json.
    std::string ToJson() const;
    void WriteJson(std::ostream& out) const;
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
    // With `finished`: the pass stopped before the end of its file, at `line`.
    bool interrupted = false;
};

// `text` as a terminal or a page may show it: control characters (C0 but the line break, DEL and
// C1, which includes the bytes Windows-1252 leaves undefined) written "\x1B".
QUORVEL_API std::string Printable(std::string_view text);

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
