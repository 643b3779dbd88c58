#include "component/run_frame.hpp"

#include "database/queries.hpp"
#include "report/trace_log.hpp"

#include <cstdio>

namespace quorvel {

RunFrame::RunFrame(ImportSession& session, const ImportOptions& options, const char* method,
                   const char* previewLine)
    : session_(session), report_(options.report), preview_(options.preview), previewLine_(previewLine) {
    if (report_ != nullptr) {
        *report_ = RunReport{};
        report_->method = method;
        report_->preview = preview_;
    }
    session_.recorder = report::RunRecorder(report_);
    session_.trace.SetRecorder(&session_.recorder);
    session_.objConnexion.SetPreview(preview_);
}

void RunFrame::Start() {
    session_.trace.Open(session_.strFileTrace);
    std::string start = "Début de l'import : " + report::strDateHeure(session_.Now());
    if (preview_) {
        session_.trace.Write(start);
        session_.trace.Write(std::string(previewLine_) + std::string(report::kCrLf));
    } else {
        session_.trace.Write(start + std::string(report::kCrLf));
    }
}

void RunFrame::Disconnect() {
    std::string strErreur;
    if (db::bDeconnexion(session_.objConnexion, strErreur)) return;
    std::string message =
        "Une erreur s'est produite lors de la déconnexion." + std::string(report::kCrLf) + strErreur;
    report::TraceErreur(session_.trace, message, 0);
    session_.recorder.RunEntry("Erreur", message);
}

void RunFrame::Finish(bool result) {
    if (report_ != nullptr) {
        report_->returned = true;
        report_->result = result;
    }
}

void RunFrame::Fail(const Error& error) {
    if (report_ != nullptr) {
        report_->returned = false;
        report_->errorNumber = error.number();
        report_->errorDescription = error.description();
    }
}

RunFrame::~RunFrame() {
    for (const auto& path : copies_)
        std::remove(path.c_str());
}

} // namespace quorvel
