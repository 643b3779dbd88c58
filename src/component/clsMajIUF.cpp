// The IUF update's public method: the frame around the run.

#include <quorvel/clsMajIUF.hpp>

#include "component/import_session.hpp"
#include "component/run_frame.hpp"
#include "component/source_paths.hpp"
#include "database/queries.hpp"
#include "iuf/iuf_run.hpp"

namespace quorvel {

namespace {
const std::string kLineBreak(report::kCrLf);
}

clsMajIUF::clsMajIUF(Clock clock) : clock_(std::move(clock)) {}

bool clsMajIUF::bImport_CodeIUF(const std::string& strRepSource, const std::string& strFileBase_P,
                                const std::string& strFileTrace_P, HostForm* objFormCible, bool bOnlyMonCLub,
                                const std::string& strCodeMonClub, const ImportOptions& options) {
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    session.strFileBase = strFileBase_P;
    RunFrame frame(
        session, options, "bImport_CodeIUF",
        "Aperçu de la mise à jour : simulation, aucune modification n'est enregistrée dans la base.");
    try {
        frame.Start();
        bool result = false;
        if (!bLecteurPret(strRepSource)) {
            session.trace.Write("Le lecteur source n'est pas pret.");
            session.trace.Write("Import annulé.");
            session.recorder.RunEntry("Erreur", "Le lecteur source n'est pas pret.");
        } else {
            session.objForm = objFormCible;
            std::string strErreur;
            if (!db::bConnexion(session.objConnexion, session.strFileBase, strErreur)) {
                std::string message = "Erreur de connexion dans dll de mise à jour des codes IUF." +
                                      kLineBreak + "Mise à jour annulée." + kLineBreak + strErreur;
                session.trace.Write(message);
                session.recorder.RunEntry("Erreur", message);
            } else {
                result = bMaj_CodesIUF(session, strRepSource, bOnlyMonCLub, strCodeMonClub);
                frame.Disconnect();
            }
        }
        session.trace.Close();
        session.objForm = nullptr;
        frame.Finish(result);
        return result;
    } catch (const Error& e) {
        frame.Fail(e);
        throw;
    }
}

} // namespace quorvel
