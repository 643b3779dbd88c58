#include "session/run_frame.hpp"

#include "base/current_error.hpp"
#include "session/source_paths.hpp"
#include "storage/queries.hpp"
#include "tracelog/trace_log.hpp"

#include <chrono>
#include <cstdio>

namespace quorvel {

namespace {
const std::string kLineBreak(tracelog::kCrLf);

// "2026-12-06T10:15:02": ISO 8601, local time.
std::string Iso8601(const LocalDateTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return buf;
}
} // namespace

RunFrame::RunFrame(ImportSession& session, const ImportOptions& options, const char* method,
                   const char* previewLine, const std::string& source, const std::string& database)
    : session_(session), report_(options.report), preview_(options.preview), previewLine_(previewLine) {
    if (report_ != nullptr) {
        const bool spill = report_->spillEntries;
        *report_ = RunReport{};
        report_->spillEntries = spill;
        report_->method = method;
        report_->preview = preview_;
        report_->source = source;
        report_->database = ShownDatabase(database);
    }
    session_.recorder = tracelog::RunRecorder(report_);
    session_.trace.SetRecorder(&session_.recorder);
    session_.objConnexion.SetPreview(preview_);
    ImportSession& s = session_;
    session_.objConnexion.SetBeforeCommit([&s] { s.trace.Flush(); });
    session_.cancel = options.cancel;
    session_.progress = options.progress ? &options.progress : nullptr;
}

void RunFrame::Start() {
    session_.trace.Open(session_.strFileTrace);
    const LocalDateTime now = session_.Now();
    if (report_ != nullptr) report_->started = Iso8601(now);
    std::string start = "Début de l'import : " + tracelog::strDateHeure(now);
    if (preview_) {
        session_.trace.Write(start);
        session_.trace.Write(previewLine_ + kLineBreak);
    } else {
        session_.trace.Write(start + kLineBreak);
    }
}

bool RunFrame::SourceReady(const std::string& strRepSource) {
    bool ready = false;
    try {
        ready = bLecteurPret(strRepSource);
    } catch (const Error& e) {
        // The call fails with the error; the TraceLog says why first.
        const std::string message = "Dossier source introuvable." + kLineBreak + "Import annulé." +
                                    kLineBreak + tracelog::strTexteErreur(e);
        session_.trace.WriteFileEntry(message, {}, "Erreur", message);
        throw;
    }
    if (ready) return true;
    const std::string message = "Le lecteur source n'est pas pret.";
    session_.trace.WriteFileEntry(message, {}, "Erreur", message);
    session_.trace.Write("Import annulé.");
    return false;
}

bool RunFrame::Connect(std::string_view failureLines) {
    // Another import into the same server database holds its turn: the caller is told that the
    // run waits for it, rather than seeing it stand still.
    session_.objConnexion.SetWaitNotice([this] {
        if (session_.progress != nullptr) (*session_.progress)(ProgressStep{"waiting", {}, 0, 0, false});
        if (session_.objForm != nullptr) {
            session_.objForm->SetLabelCaption(2, "En attente de la fin d'un autre import dans cette base...");
            session_.objForm->Refresh();
        }
    });
    try {
        storage::Connect(session_.objConnexion, session_.database);
        return true;
    } catch (const Error& e) {
        std::string message = std::string(failureLines) + kLineBreak + tracelog::strTexteErreur(e);
        session_.trace.WriteFileEntry(message, {}, "Erreur", message);
        return false;
    }
}

void RunFrame::Disconnect() {
    try {
        storage::Disconnect(session_.objConnexion);
    } catch (const Error& e) {
        std::string message =
            "Une erreur s'est produite lors de la déconnexion." + kLineBreak + tracelog::strTexteErreur(e);
        session_.trace.WriteFileEntry(message, {}, "Erreur", message);
    }
}

bool RunFrame::Finish(bool result) {
    session_.trace.Close();
    session_.objForm = nullptr;
    if (report_ != nullptr) {
        report_->returned = true;
        report_->result = result;
        Ended();
    }
    return result;
}

Error RunFrame::Fail() {
    Error error = base::CurrentError();
    if (report_ != nullptr) {
        report_->returned = false;
        report_->errorNumber = error.number();
        report_->errorDescription = error.description();
        Ended();
    }
    return error;
}

void RunFrame::Ended() {
    report_->finished = Iso8601(session_.Now());
    report_->durationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
    report_->exitStatus = report_->StatusOfOutcome();
}

RunFrame::~RunFrame() {
    for (const auto& path : copies_)
        std::remove(path.c_str());
}

} // namespace quorvel
