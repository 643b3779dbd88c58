#pragma once
// The one skeleton of a pass over a data file: the club pass, the licence pass and each IUF file
// read their lines, count them, advance the progress bar, commit, write their summary or their
// interruption, and end their part of the run report through it.
//
// Lines are committed in batches, each one unit of work. When the engine undoes a batch because
// of one of its lines, the lines before that one are done again as a batch, and that line alone
// with each statement committed on its own; when a batch's commit is refused, its lines are done
// again that way, one by one. A line then fares as it would without batches, with its own
// truthful entries, and the counts and entries published are those of what the database holds.

#include "tracelog/pass_count.hpp"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvel {
struct ImportSession;

// What one pass does with its file.
class PassBody {
public:
    virtual ~PassBody() = default;
    // Handles line `number` (from 1), its raw bytes as read. A failure thrown here interrupts the
    // pass.
    virtual void Line(std::string_view raw, long number) = 0;
    // Writes the summary of a pass that read `lines` lines to its end.
    virtual void Summary(long lines) = 0;
    // The counts of the summary after "lines", in its order, for the run report.
    virtual tracelog::PassCounts Counts() const = 0;
    // A batch of lines starts: remembers the counts.
    virtual void Mark() = 0;
    // The batch is undone: back to the counts remembered, forgetting whatever the batch's lines
    // taught about the database (what they stored is gone).
    virtual void Rewind() = 0;
    // A point inside the batch that a failing line may take the work back to: remembers the
    // counts, as Mark() does for the batch's start. Points pile up, oldest first (see
    // SavepointStates).
    virtual void MarkSavepoint() = 0;
    // Back to the counts of point `point` (0 for the oldest kept), forgetting what the lines since
    // taught; the points after it are dropped.
    virtual void RewindSavepoint(std::size_t point) = 0;
    // Drops every point but the newest (the work before it is known good).
    virtual void KeepNewestSavepoint() = 0;
    // How many lines the body wants to see before it handles them (0: none).
    virtual std::size_t LookAhead() const { return 0; }
    // The raw lines `first`, `first` + 1... about to be handled. It must not throw; a failure
    // that ends the transaction is seen by the pass as the failure of line `first`.
    virtual void Ahead(long /*first*/, const std::vector<std::string>& /*lines*/) noexcept {}
    // The raw lines of the window after the one just shown to Ahead(), which comes next unless the
    // lines before it fail or the batch ends: the body may start asking about them now, to take
    // the answers when Ahead() shows them (storage tells whether they still hold). It must not
    // throw.
    virtual void AheadNext(long /*first*/, const std::vector<std::string>& /*lines*/) noexcept {}
    // True when AheadNext() would ask about the window after the one shown: the pass reads that
    // window only then.
    virtual bool WantsNext() const noexcept { return false; }
};

// What a body remembers at each point of a batch, oldest first.
template <class State> class SavepointStates {
public:
    void Mark(State state) { states_.push_back(std::move(state)); }
    // The state of point `point`, the points after it dropped.
    const State& BackTo(std::size_t point) {
        states_.resize(point + 1);
        return states_.back();
    }
    void KeepNewest() { states_.erase(states_.begin(), states_.end() - 1); }

private:
    std::vector<State> states_;
};

// How a pass names itself.
struct PassInfo {
    // "clubs", "licences" or "iuf" in the run report.
    const char* name;
    // The TraceLog's first line when a failure interrupts the pass ("Import des clubs interrompu.").
    const char* interrupted;
    // True when the interruption is a tagged line entry even before the first line is read
    // ("Ligne n° : 0."); otherwise it is then a plain entry.
    bool alwaysLineEntry;
};

// Reads `path` from start to end, handing every line to `body` and advancing the bar by `dblPas`
// after each line handled. A stop request of the caller is a failure raised before the next
// line. At the end the work is committed and the summary written. A failure
// stops the pass: what was stored before it is committed, the interruption is written with the
// line number and the error, and nothing leaves the pass but a failure to write the TraceLog.
// Either way an empty line closes it.
// `estimate` is the number of lines the caller expects the file to hold, for the caller's
// progress callback.
void RunPass(ImportSession& session, const std::string& path, double dblPas, long estimate,
             const PassInfo& info, PassBody& body);

// The most lines one batch holds: 100,000 unless set otherwise (the fault tests shorten it to
// put a commit where they want one).
void SetBatchLines(long lines) noexcept;
// Called after each batch is stored, outside any transaction (the fault tests write there as
// another program would); an empty function (the default) for none.
void SetAfterBatch(std::function<void()> f);

} // namespace quorvel
