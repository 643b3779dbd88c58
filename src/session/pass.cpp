#include "session/pass.hpp"

#include "base/current_error.hpp"
#include "base/data_file.hpp"
#include "session/import_session.hpp"
#include "tracelog/progress.hpp"
#include "tracelog/trace_log.hpp"

namespace quorvel {

namespace {

void EndPass(ImportSession& session, bool completed, long lines, const PassBody& body) {
    std::vector<std::pair<const char*, long>> counts{{"lines", lines}};
    for (const auto& count : body.Counts())
        counts.push_back(count);
    session.recorder.EndPass(completed, counts);
}

} // namespace

void RunPass(ImportSession& session, const std::string& path, double dblPas, const PassInfo& info,
             PassBody& body) {
    base::DataFile file;
    long lines = 0;
    session.recorder.BeginPass(info.name, path);
    try {
        file.Open(path);
        while (!file.AtEnd()) {
            if (session.cancel != nullptr && session.cancel->load())
                throw Error(errnum::kCancelled, "Traitement arrêté à la demande de l'utilisateur");
            ++lines;
            body.Line(file.ReadLine(), lines);
            tracelog::AvanceProgression(session.objForm, dblPas);
        }
        file.Close();
        session.objConnexion.Commit();
        body.Summary(lines);
        EndPass(session, true, lines, body);
    } catch (...) {
        Error e = base::CurrentError();
        file.Close();
        if (info.alwaysLineEntry)
            tracelog::TraceLigne(session.trace, lines,
                                 std::string(info.interrupted) + std::string(tracelog::kCrLf) +
                                     tracelog::strTexteErreur(e),
                                 "Erreur");
        else
            tracelog::TraceErreur(session.trace, info.interrupted, lines, &e);
        // What was stored before the failure stays stored.
        session.objConnexion.Commit();
        EndPass(session, false, lines, body);
    }
    session.trace.Write("");
}

} // namespace quorvel
