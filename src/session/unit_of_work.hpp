#pragma once
// A batch of lines as one unit of work: its rows, TraceLog entries, report entries, counts and
// progress are published together when its commit succeeds, and all taken back together when the
// database loses or refuses its work.

#include "tracelog/run_recorder.hpp"

#include <quorvel/error.hpp>

#include <cstdint>
#include <optional>

namespace quorvel {
struct ImportSession;
class PassBody;

class UnitOfWork {
public:
    UnitOfWork(ImportSession& session, PassBody& body) : session_(session), body_(body) {}
    ~UnitOfWork() { Release(); }
    UnitOfWork(const UnitOfWork&) = delete;
    UnitOfWork& operator=(const UnitOfWork&) = delete;

    // A batch starts after line `line` of the file, its next line read from `offset`. What was
    // written to the TraceLog before goes to the file.
    void Begin(long line, std::uint64_t offset);
    // The last line before the batch, and where the batch's first line starts.
    long Line() const noexcept { return line_; }
    std::uint64_t Offset() const noexcept { return offset_; }

    // Takes back everything the batch did: the database's work, the entries, the counts, the keys
    // handled and the progress.
    void Undo();

    // A savepoint inside the batch, after line `line`, the next line read from `offset`: a line
    // that fails later takes the work back to the last savepoint before it rather than to the
    // batch's start. Savepoints pile up until KeepNewestSavepoint().
    void MarkSavepoint(long line, std::uint64_t offset);
    // How many points are kept (the batch's start counts as one).
    std::size_t Savepoints() const noexcept { return points_.size(); }
    // Forgets every savepoint but the newest: the work before it is known good.
    void KeepNewestSavepoint();
    // The last line before the newest savepoint (the batch's start when there is none), and
    // where the line after it starts.
    long SavepointLine() const noexcept { return points_.back().line; }
    std::uint64_t SavepointOffset() const noexcept { return points_.back().offset; }
    // Line `failed` took the database back to the last savepoint before it: takes back what the
    // lines after that savepoint did, and forgets the savepoints after it.
    void UndoToSavepoint(long failed);
    // How a commit ended.
    enum class Outcome {
        Stored,
        // The database refused it: the batch is undone.
        Refused,
        // The link to the database dropped during the commit and nobody can tell whether the
        // batch was stored: it is kept as it is (entries, counts), neither undone nor done again.
        Unknown,
    };
    // Writes the TraceLog through, then commits; `why` receives the failure of a commit not
    // stored. A TraceLog that cannot be written undoes the whole batch (the database's work, the
    // entries, the counts) and throws: the database never holds what the TraceLog does not tell,
    // and the TraceLog ends with the last entry of the batch before.
    Outcome Commit(std::optional<Error>& why);
    // Entries go to the TraceLog file as they come again.
    void Release() noexcept;

private:
    ImportSession& session_;
    PassBody& body_;
    // Where a part of the work starts, and what was written or known there.
    struct Point {
        long line = 0;
        std::uint64_t offset = 0;
        std::size_t held = 0;
        tracelog::RunRecorder::Snapshot entries;
        std::size_t clubs = 0;
        std::size_t licences = 0;
        double progress = 0;
    };
    Point Here(long line, std::uint64_t offset) const;

    long line_ = 0;
    std::uint64_t offset_ = 0;
    double progress_ = 0;
    std::vector<Point> points_;
};

} // namespace quorvel
