// The IUF update's public method: the frame around the run.

#include <quorvel/clsMajIUF.hpp>

#include "component/import_session.hpp"
#include "component/source_paths.hpp"
#include "database/queries.hpp"
#include "iuf/iuf_run.hpp"

namespace quorvel {

clsMajIUF::clsMajIUF(Clock clock) : clock_(std::move(clock)) {}

bool clsMajIUF::bImport_CodeIUF(const std::string& strRepSource, const std::string& strFileBase_P,
                                const std::string& strFileTrace_P, HostForm* objFormCible, bool bOnlyMonCLub,
                                const std::string& strCodeMonClub) {
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    session.strFileBase = strFileBase_P;
    session.trace.Open(session.strFileTrace);
    session.trace.Write("Début de l'import : " + report::strDateHeure(session.Now()) + std::string(report::kCrLf));

    bool result = false;
    if (!bLecteurPret(strRepSource)) {
        session.trace.Write("Le lecteur source n'est pas pret.");
        session.trace.Write("Import annulé.");
    } else {
        session.objForm = objFormCible;
        std::string strErreur;
        if (!db::bConnexion(session.objConnexion, session.strFileBase, strErreur)) {
            session.trace.Write("Erreur de connexion dans dll de mise à jour des codes IUF." +
                                std::string(report::kCrLf) + "Mise à jour annulée." + std::string(report::kCrLf) +
                                strErreur);
        } else {
            result = bMaj_CodesIUF(session, strRepSource, bOnlyMonCLub, strCodeMonClub);
            if (!db::bDeconnexion(session.objConnexion, strErreur))
                report::TraceErreur(session.trace,
                                    "Une erreur s'est produite lors de la déconnexion." +
                                        std::string(report::kCrLf) + strErreur,
                                    0);
        }
    }
    session.trace.Close();
    session.objForm = nullptr;
    return result;
}

} // namespace quorvel
