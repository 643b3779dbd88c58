// The IUF update's public method: the frame around the run.

#include <quorvel/clsMajIUF.hpp>

#include "iuf/iuf_run.hpp"
#include "session/import_session.hpp"
#include "session/run_frame.hpp"

namespace quorvel {

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
        if (frame.SourceReady(strRepSource)) {
            session.objForm = objFormCible;
            if (frame.Connect(
                    "Erreur de connexion dans dll de mise à jour des codes IUF.\r\nMise à jour annulée.")) {
                result = bMaj_CodesIUF(session, strRepSource, bOnlyMonCLub, strCodeMonClub);
                frame.Disconnect();
            }
        }
        return frame.Finish(result);
    } catch (...) {
        throw frame.Fail();
    }
}

} // namespace quorvel
