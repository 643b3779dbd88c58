// The licence import's public method: the frame around the run (TraceLog, drive test,
// connection, working copies, release).

#include <quorvel/clsRecupLicence.hpp>

#include "component/import_session.hpp"
#include "component/licence_import_run.hpp"
#include "component/source_paths.hpp"
#include "database/queries.hpp"

namespace quorvel {

clsRecupLicence::clsRecupLicence(Clock clock) : clock_(std::move(clock)) {}

bool clsRecupLicence::bImport_Licence(const std::string& strFileBase_P, const std::string& strRepSource,
                                      const std::string& strRepTempo, const std::string& strFileTrace_P,
                                      HostForm* objFormCible) {
    // Every file and the database close with the session, whichever way the call ends.
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    session.trace.Open(session.strFileTrace);
    session.trace.Write("Début de l'import : " + report::strDateHeure(session.Now()) + std::string(report::kCrLf));

    session.strFileBase = strFileBase_P;
    session.strFileLicence = strCheminFichier(strRepSource, "licence.txt");
    session.strFileClub = strCheminFichier(strRepSource, "club.txt");
    session.strFileOrigine = strCheminFichier(strRepSource, "origine.txt");
    ViderCollections(session);

    bool result = false;
    if (!bLecteurPret(strRepSource)) {
        session.trace.Write("Le lecteur source n'est pas pret.");
        session.trace.Write("Import annulé.");
    } else {
        session.objForm = objFormCible;
        std::string strErreur;
        if (!db::bConnexion(session.objConnexion, session.strFileBase, strErreur)) {
            session.trace.Write("Erreur de connexion dans dll d'import des licences." + std::string(report::kCrLf) +
                                "Import annulé." + std::string(report::kCrLf) + strErreur);
        } else {
            if (bCopieSource(session.trace, session.strFileLicence, strRepTempo)) {
                bCopieSource(session.trace, session.strFileClub, strRepTempo);
                bCopieSource(session.trace, session.strFileOrigine, strRepTempo);
                result = bTraitementImport(session);
            }
            if (!db::bDeconnexion(session.objConnexion, strErreur))
                report::TraceErreur(session.trace,
                                    "Une erreur s'est produite lors de la déconnexion." +
                                        std::string(report::kCrLf) + strErreur,
                                    0);
        }
    }
    ViderCollections(session);
    session.trace.Close();
    session.objForm = nullptr;
    return result;
}

} // namespace quorvel
