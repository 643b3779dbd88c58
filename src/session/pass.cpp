#include "session/pass.hpp"

#include "base/current_error.hpp"
#include "base/data_file.hpp"
#include "session/import_session.hpp"
#include "session/unit_of_work.hpp"
#include "tracelog/progress.hpp"
#include "tracelog/trace_log.hpp"

#include <atomic>
#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>

namespace quorvel {

namespace {

// A batch ends after this long, or after this many lines, whichever comes first.
constexpr std::chrono::milliseconds kBatchTime{1000};
std::atomic<long> batchLines{100000};
std::function<void()> afterBatch;
// Once a line has failed in a batch, on an engine with savepoints, each line of the rest of the
// batch takes one, so that a later failure costs that line alone. They are only sent, and the
// outcomes read as they come back: a failure is then seen a few lines after its own, and only
// those lines are done again. At most this many are kept before the pass waits for them all.
constexpr std::size_t kMostSavepoints = 64;
// After a failure, the window read ahead starts this small and doubles with every window that
// follows: a question about many lines costs the server as much as its lines are many, and after
// a failure its answers may be thrown away soon.
constexpr std::size_t kSmallWindow = 16;

void WriteInterruptionEntry(ImportSession& session, const PassInfo& info, long line, const Error& e) {
    if (info.alwaysLineEntry)
        tracelog::TraceLigne(session.trace, line,
                             std::string(info.interrupted) + std::string(tracelog::kCrLf) +
                                 tracelog::strTexteErreur(e),
                             "Erreur");
    else
        tracelog::TraceErreur(session.trace, info.interrupted, line, &e);
}

void WriteInterruption(ImportSession& session, const PassInfo& info, long line, const Error& e) {
    session.recorder.Interrupted(line, e.number(),
                                 std::string(info.interrupted) + "\n" + tracelog::strTexteErreur(e));
    try {
        WriteInterruptionEntry(session, info, line, e);
    } catch (...) {
        session.recorder.InterruptionWritten();
        throw;
    }
    session.recorder.InterruptionWritten();
}

// One pass over one file, batch after batch.
class PassRun {
public:
    PassRun(ImportSession& session, const std::string& path, double dblPas, long estimate,
            const PassInfo& info, PassBody& body)
        : session_(session), db_(session.objConnexion), path_(path), dblPas_(dblPas), estimate_(estimate),
          info_(info), body_(body), work_(session, body), window_(body.LookAhead()),
          savepoints_(db_.HasSavepoints()) {}

    void Run();

private:
    // How a batch's lines went.
    struct Batch {
        std::optional<Error> failure;
        bool atEnd = false;
    };
    // What follows a batch.
    enum class Next { NewBatch, SameBatch, Stop };

    // --- The batch plan. A batch done again ends after line redoUntil_; the lines after it up to
    // aloneUntil_ are then handled one by one, each statement standing alone, as if no batch
    // existed. On an engine with savepoints they stay in the batch, which then goes on guarded:
    // a savepoint after every line.
    bool Alone() const noexcept { return lines_ >= redoUntil_ && lines_ < aloneUntil_; }
    // Before line lines_ + 1: a savepoint once the batch is guarded.
    void GuardIfDue();
    bool BatchFull() const;
    // Starts a batch after the last line handled.
    void BeginBatch();
    // Handles lines until the batch is full, the file ends, or a line fails or loses the batch.
    Batch RunBatch();
    // Commits the batch, or goes on with it after a failure that took it back to its savepoint.
    Next EndBatch(Batch& batch);

    // --- The redo: back to the first line of the batch under way.
    void ReadBatchAgain();
    // The database undid the batch because of one of its lines.
    void RedoAfterLoss();
    // A line's failure took the batch back to its savepoint: the lines after it are done again,
    // the failing one alone.
    void RedoFromSavepoint();
    // The database is out of reach: the batch is undone and the pass stops at its first line.
    void StopUnreachable(Batch& batch);
    // The line done alone lost the whole transaction again (in a preview, where nothing is
    // committed, it holds the whole run): the pass stops at that line.
    void StopLostAgain(Batch& batch);

    // --- Reading ahead. Answers hold only in the transaction that read them, so the window
    // starts again with every batch.
    void RestartAhead(bool afterFailure = false);
    void ShowAhead();
    // Reads up to `count` lines ahead into `lines`; a read failure only ends them.
    void ReadAhead(std::vector<std::string>& lines, std::size_t count);
    // Shows the body the full window after the one just shown, for it to ask about at once.
    void ShowFollowing();

    void Progress(bool finished);
    void EndPass(bool completed);

    ImportSession& session_;
    storage::Connection& db_;
    const std::string& path_;
    double dblPas_;
    long estimate_;
    const PassInfo& info_;
    PassBody& body_;
    UnitOfWork work_;
    base::DataFile file_;
    // A second reader runs ahead of the first for a body that looks ahead.
    base::DataFile ahead_;
    const std::size_t window_;
    std::size_t nextWindow_ = window_;
    std::vector<std::string> upcoming_;
    // The window after the one shown, already read and shown to AheadNext(), from line
    // followingFirst_ (empty when there is none).
    std::vector<std::string> following_;
    long followingFirst_ = 0;
    long shownUntil_ = 0; // lines up to this one were shown to body.Ahead()
    long lines_ = 0;
    long redoUntil_ = 0;
    long aloneUntil_ = 0;
    const bool savepoints_;
    // True once the batch takes a savepoint after each line.
    bool guarded_ = false;
    // lines_ when the last window was shown to the body (its answers were read then).
    long shownAt_ = -1;
    long lastFailed_ = 0;
    // The line whose failure last undid the whole batch.
    long lostBefore_ = -1;
    // The line after which the batch takes a savepoint at once (the last that failed).
    long checkpointAt_ = -1;
    std::chrono::steady_clock::time_point started_;
    bool completed_ = false;
};

bool PassRun::BatchFull() const {
    // (the lines done again end where the database is)
    if (db_.Replaying()) return false;
    // Without savepoints, lines alone are outside any batch.
    if (!savepoints_ && (Alone() || lines_ == redoUntil_)) return true;
    return db_.TransactionLost() || db_.Unreachable() ||
           lines_ - work_.Line() >= batchLines.load(std::memory_order_relaxed) ||
           // (the clock is read every 64 lines)
           ((lines_ & 63) == 0 && std::chrono::steady_clock::now() - started_ >= kBatchTime);
}

void PassRun::BeginBatch() {
    db_.SetEachStatementAlone(Alone());
    work_.Begin(lines_, file_.Tell());
    started_ = std::chrono::steady_clock::now();
    guarded_ = false;
    RestartAhead();
}

void PassRun::GuardIfDue() {
    if (!savepoints_ || Alone() || db_.TransactionLost()) return;
    // From right after a line that failed: a later failure then never takes the work back before it.
    if (!guarded_ && lines_ != checkpointAt_) return;
    guarded_ = true;
    if (work_.Savepoints() >= kMostSavepoints) {
        // Every statement sent so far has succeeded once this returns.
        db_.Flush();
        work_.KeepNewestSavepoint();
    }
    work_.MarkSavepoint(lines_, file_.Tell());
}

PassRun::Batch PassRun::RunBatch() {
    Batch batch;
    try {
        for (;;) {
            if (file_.AtEnd()) {
                batch.atEnd = true;
                break;
            }
            if (session_.cancel != nullptr && session_.cancel->load() && !db_.Replaying())
                throw Error(errnum::kCancelled, "Traitement arrêté à la demande de l'utilisateur");
            if (savepoints_) db_.SetEachStatementAlone(Alone());
            ShowAhead();
            if (db_.TransactionLost()) break;
            // (after the window: its answers then hold back to this savepoint)
            GuardIfDue();
            ++lines_;
            db_.SetItem(lines_);
            body_.Line(file_.ReadLine(), lines_);
            tracelog::AvanceProgression(session_.objForm, dblPas_);
            Progress(false);
            if (guarded_) db_.Poll();
            if (BatchFull()) break;
        }
        // Statements only sent may still fail: the batch's outcome is known from here.
        db_.Flush();
    } catch (...) {
        batch.failure = base::CurrentError();
    }
    return batch;
}

PassRun::Next PassRun::EndBatch(Batch& batch) {
    if (db_.Unreachable()) StopUnreachable(batch);
    if (db_.LostToSavepoint()) {
        RedoFromSavepoint();
        return Next::SameBatch;
    }
    if (db_.TransactionLost() && db_.LostItem() == lostBefore_ && !db_.LinkDropped()) StopLostAgain(batch);
    if (db_.TransactionLost()) {
        RedoAfterLoss();
        return Next::NewBatch;
    }
    if (batch.failure) WriteInterruption(session_, info_, lines_, *batch.failure);
    std::optional<Error> why;
    switch (work_.Commit(why)) {
    case UnitOfWork::Outcome::Stored:
        if (afterBatch) afterBatch();
        break;
    case UnitOfWork::Outcome::Refused:
        // The commit was refused for no line of its own: the batch is done again, line by line,
        // so that each line not stored gets its own entry.
        redoUntil_ = work_.Line();
        aloneUntil_ = lines_;
        checkpointAt_ = aloneUntil_;
        ReadBatchAgain();
        return Next::NewBatch;
    case UnitOfWork::Outcome::Unknown: {
        // Its lines are neither counted lost nor done again: the pass stops and says so.
        Error unknown(why->number(), "lignes " + std::to_string(work_.Line() + 1) + " à " +
                                         std::to_string(lines_) + " : " + why->description());
        work_.Release();
        WriteInterruption(session_, info_, lines_, unknown);
        return Next::Stop;
    }
    }
    if (batch.failure) return Next::Stop;
    completed_ = batch.atEnd;
    return batch.atEnd ? Next::Stop : Next::NewBatch;
}

void PassRun::ReadBatchAgain() {
    file_.Seek(work_.Offset());
    lines_ = work_.Line();
    RestartAhead(true);
}

void PassRun::RedoAfterLoss() {
    // A line made the engine undo the batch: the lines before it are done again as a batch, then
    // it alone.
    redoUntil_ = db_.LostItem() - 1;
    aloneUntil_ = db_.LostItem();
    checkpointAt_ = aloneUntil_;
    lostBefore_ = aloneUntil_;
    work_.Undo();
    ReadBatchAgain();
}

void PassRun::RedoFromSavepoint() {
    const long failed = db_.LostItem();
    work_.UndoToSavepoint(failed);
    const long from = work_.SavepointLine();
    redoUntil_ = std::max(failed - 1, from);
    aloneUntil_ = redoUntil_ + 1;
    // A line whose failing statement is known fails the same way done again with the others, at
    // no cost; one that fails twice in a row goes alone.
    if (db_.KnowsFailureOf(failed) && failed != lastFailed_) aloneUntil_ = redoUntil_ = failed;
    lastFailed_ = failed;
    checkpointAt_ = failed;
    file_.Seek(work_.SavepointOffset());
    lines_ = from;
    // The answers read before the savepoint still hold (the body took back what the lines undone
    // did to them); a window read after it is read again.
    if (shownAt_ > from) RestartAhead(true);
}

void PassRun::StopLostAgain(Batch& batch) {
    const long line = db_.LostItem();
    Error why = db_.LostError();
    work_.Undo();
    ReadBatchAgain();
    lines_ = line;
    batch.failure = why;
}

void PassRun::StopUnreachable(Batch& batch) {
    work_.Undo();
    ReadBatchAgain();
    lines_ = work_.Line() + 1;
    batch.failure = db_.UnreachableError();
}

void PassRun::RestartAhead(bool afterFailure) {
    if (window_ == 0) return;
    if (afterFailure) nextWindow_ = std::min(window_, kSmallWindow);
    ahead_.Seek(file_.Tell());
    shownUntil_ = lines_;
    following_.clear();
}

void PassRun::ReadAhead(std::vector<std::string>& lines, std::size_t count) {
    lines.clear();
    try {
        while (lines.size() < count && !ahead_.AtEnd())
            lines.emplace_back(ahead_.ReadLine());
    } catch (...) {
    }
}

void PassRun::ShowFollowing() {
    if (upcoming_.size() < window_ || !body_.WantsNext()) return;
    ReadAhead(following_, window_);
    followingFirst_ = shownUntil_ + 1;
    if (!following_.empty()) body_.AheadNext(followingFirst_, following_);
}

// Shows the body the lines after lines_, once those shown before are handled. The lines are the
// main reader's to report on: a read failure here only ends what is shown. Lines handled alone
// ask for themselves.
void PassRun::ShowAhead() {
    if (window_ == 0 || lines_ < shownUntil_ || body_.LookAhead() == 0 || Alone()) return;
    // A statement sent that failed is seen here, before the window: the answers read before
    // then still hold once the work is taken back to the savepoint before that statement.
    db_.Flush();
    // (a window is read ahead only after a full one, at full size; RestartAhead() forgets it)
    if (!following_.empty() && followingFirst_ == lines_ + 1) {
        upcoming_.swap(following_);
    } else {
        upcoming_.clear();
        try {
            // (the window starts after the last line handled, which a line done alone may have
            // moved past where the reader ahead stopped)
            ahead_.Seek(file_.Tell());
            ReadAhead(upcoming_, nextWindow_);
        } catch (...) {
        }
    }
    following_.clear();
    if (upcoming_.empty()) return;
    shownUntil_ = lines_ + static_cast<long>(upcoming_.size());
    shownAt_ = lines_;
    nextWindow_ = std::min(window_, nextWindow_ * 2);
    db_.SetItem(lines_ + 1);
    body_.Ahead(lines_ + 1, upcoming_);
    ShowFollowing();
}

void PassRun::Progress(bool finished) {
    if (session_.progress != nullptr)
        (*session_.progress)({info_.name, path_, lines_, estimate_, finished, finished && !completed_});
}

void PassRun::EndPass(bool completed) {
    tracelog::PassCounts counts{{tracelog::PassCount::Lines, lines_}};
    for (const auto& count : body_.Counts())
        counts.push_back(count);
    session_.recorder.EndPass(completed, counts);
}

void PassRun::Run() {
    session_.recorder.BeginPass(info_.name, path_);
    Progress(false);
    try {
        // A batch holds the pass's lines and nothing else.
        db_.Commit();
        file_.Open(path_);
        if (window_ > 0) ahead_.Open(path_);
        for (Next next = Next::NewBatch; next != Next::Stop;) {
            if (next == Next::NewBatch) BeginBatch();
            Batch batch = RunBatch();
            next = EndBatch(batch);
        }
        db_.SetEachStatementAlone(false);
        work_.Release();
        file_.Close();
        if (completed_) body_.Summary(lines_);
    } catch (const tracelog::TraceLogFailure&) {
        // The TraceLog cannot be written: the batch is undone, and the run stops with what the
        // database holds counted.
        db_.SetEachStatementAlone(false);
        work_.Release();
        EndPass(false);
        throw;
    } catch (...) {
        // The file could not be opened or read again: every batch is committed or undone by now.
        Error e = base::CurrentError();
        db_.SetEachStatementAlone(false);
        work_.Release();
        file_.Close();
        WriteInterruption(session_, info_, lines_, e);
    }
    EndPass(completed_);
    Progress(true);
    session_.trace.Write("");
}

} // namespace

void RunPass(ImportSession& session, const std::string& path, double dblPas, long estimate,
             const PassInfo& info, PassBody& body) {
    PassRun(session, path, dblPas, estimate, info, body).Run();
}

void SetBatchLines(long lines) noexcept {
    batchLines.store(lines);
}

void SetAfterBatch(std::function<void()> f) {
    afterBatch = std::move(f);
}

} // namespace quorvel
