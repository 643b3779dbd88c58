#include "session/pass.hpp"

#include "base/current_error.hpp"
#include "base/data_file.hpp"
#include "session/import_session.hpp"
#include "session/unit_of_work.hpp"
#include "tracelog/progress.hpp"
#include "tracelog/trace_log.hpp"

#include <chrono>
#include <optional>

namespace quorvel {

namespace {

// A batch ends after this long, or after this many lines, whichever comes first.
constexpr std::chrono::milliseconds kBatchTime{1000};
constexpr long kBatchLines = 100000;

void EndPass(ImportSession& session, bool completed, long lines, const PassBody& body) {
    std::vector<std::pair<const char*, long>> counts{{"lines", lines}};
    for (const auto& count : body.Counts())
        counts.push_back(count);
    session.recorder.EndPass(completed, counts);
}

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

} // namespace

void RunPass(ImportSession& session, const std::string& path, double dblPas, long estimate,
             const PassInfo& info, PassBody& body) {
    base::DataFile file;
    // A second reader runs ahead of the first for a body that looks ahead.
    base::DataFile ahead;
    const std::size_t window = body.LookAhead();
    std::vector<std::string> upcoming;
    long shownUntil = 0; // lines up to this one were shown to body.Ahead()
    storage::Connection& db = session.objConnexion;
    UnitOfWork work(session, body);
    long lines = 0;
    // A batch done again ends after line `redoUntil`; lines after it up to `aloneUntil` are then
    // handled one by one, each statement committed on its own, as if no batch existed.
    long redoUntil = 0;
    long aloneUntil = 0;
    bool completed = false;
    session.recorder.BeginPass(info.name, path);
    // Back to the first line of the batch under way.
    auto readBatchAgain = [&] {
        file.Seek(work.Offset());
        lines = work.Line();
        if (window > 0) {
            ahead.Seek(work.Offset());
            shownUntil = lines;
        }
    };
    // Shows the body the lines after `lines`, once those shown before are handled. The lines are
    // the main reader's to report on: a read failure here only ends what is shown.
    auto showAhead = [&] {
        if (window == 0 || lines < shownUntil || body.LookAhead() == 0) return;
        upcoming.clear();
        try {
            while (upcoming.size() < window && !ahead.AtEnd())
                upcoming.emplace_back(ahead.ReadLine());
        } catch (...) {
        }
        if (upcoming.empty()) return;
        shownUntil = lines + static_cast<long>(upcoming.size());
        db.SetItem(lines + 1);
        body.Ahead(lines + 1, upcoming);
    };
    auto progress = [&](bool finished) {
        if (session.progress != nullptr)
            (*session.progress)({info.name, path, lines, estimate, finished, finished && !completed});
    };
    progress(false);
    try {
        // A batch holds the pass's lines and nothing else.
        db.Commit();
        file.Open(path);
        if (window > 0) ahead.Open(path);
        for (;;) {
            const bool alone = lines >= redoUntil && lines < aloneUntil;
            db.SetStatementCommits(alone);
            work.Begin(lines, file.Tell());
            const auto started = std::chrono::steady_clock::now();
            std::optional<Error> failure;
            bool atEnd = false;
            try {
                for (;;) {
                    if (file.AtEnd()) {
                        atEnd = true;
                        break;
                    }
                    if (session.cancel != nullptr && session.cancel->load())
                        throw Error(errnum::kCancelled, "Traitement arrêté à la demande de l'utilisateur");
                    showAhead();
                    if (db.TransactionLost()) break;
                    ++lines;
                    db.SetItem(lines);
                    body.Line(file.ReadLine(), lines);
                    tracelog::AvanceProgression(session.objForm, dblPas);
                    progress(false);
                    if (alone || db.TransactionLost() || lines == redoUntil ||
                        lines - work.Line() >= kBatchLines ||
                        // (the clock is read every 64 lines)
                        ((lines & 63) == 0 && std::chrono::steady_clock::now() - started >= kBatchTime))
                        break;
                }
                // Statements only sent may still fail: the batch's outcome is known from here.
                db.Flush();
            } catch (...) {
                failure = base::CurrentError();
            }
            if (db.TransactionLost()) {
                // A line made the engine undo the batch: the lines before it are done again as a
                // batch, then it alone.
                redoUntil = db.LostItem() - 1;
                aloneUntil = db.LostItem();
                work.Undo();
                readBatchAgain();
                continue;
            }
            if (failure) WriteInterruption(session, info, lines, *failure);
            if (std::optional<Error> refused = work.Commit()) {
                // The commit was refused for no line of its own: the batch is done again, line by
                // line, so that each line not stored gets its own entry.
                redoUntil = work.Line();
                aloneUntil = lines;
                readBatchAgain();
                continue;
            }
            if (failure) break;
            if (atEnd) {
                completed = true;
                break;
            }
        }
        db.SetStatementCommits(false);
        work.Release();
        file.Close();
        if (completed) body.Summary(lines);
    } catch (...) {
        // The file could not be opened or read again: every batch is committed or undone by now.
        Error e = base::CurrentError();
        db.SetStatementCommits(false);
        work.Release();
        file.Close();
        WriteInterruption(session, info, lines, e);
    }
    EndPass(session, completed, lines, body);
    progress(true);
    session.trace.Write("");
}

} // namespace quorvel
