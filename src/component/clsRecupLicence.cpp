// The licence import's public method: the frame around the run (TraceLog, drive test,
// connection, working copies, release).

#include <quorvel/clsRecupLicence.hpp>

#include "component/import_session.hpp"
#include "component/licence_import_run.hpp"
#include "component/run_frame.hpp"
#include "component/source_paths.hpp"
#include "database/queries.hpp"

namespace quorvel {

namespace {

const std::string kLineBreak(report::kCrLf);

// Copies one export file and notes the copy, reporting a missing file.
bool CopieSource(ImportSession& session, RunFrame& frame, std::string& strFichier,
                 const std::string& strRepTempo) {
    if (bCopieSource(session.trace, strFichier, strRepTempo)) {
        frame.CopyMade(strFichier);
        return true;
    }
    return false;
}

} // namespace

clsRecupLicence::clsRecupLicence(Clock clock) : clock_(std::move(clock)) {}

bool clsRecupLicence::bImport_Licence(const std::string& strFileBase_P, const std::string& strRepSource,
                                      const std::string& strRepTempo, const std::string& strFileTrace_P,
                                      HostForm* objFormCible, const ImportOptions& options) {
    // Every file and the database close with the session, whichever way the call ends.
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    RunFrame frame(session, options, "bImport_Licence",
                   "Aperçu de l'import : simulation, aucune modification n'est enregistrée dans la base.");
    try {
        frame.Start();
        session.strFileBase = strFileBase_P;
        session.strFileLicence = strCheminFichier(strRepSource, "licence.txt");
        session.strFileClub = strCheminFichier(strRepSource, "club.txt");
        session.strFileOrigine = strCheminFichier(strRepSource, "origine.txt");
        ViderCollections(session);

        bool result = false;
        if (!bLecteurPret(strRepSource)) {
            session.trace.Write("Le lecteur source n'est pas pret.");
            session.trace.Write("Import annulé.");
            session.recorder.RunEntry("Erreur", "Le lecteur source n'est pas pret.");
        } else {
            session.objForm = objFormCible;
            std::string strErreur;
            if (!db::bConnexion(session.objConnexion, session.strFileBase, strErreur)) {
                std::string message = "Erreur de connexion dans dll d'import des licences." + kLineBreak +
                                      "Import annulé." + kLineBreak + strErreur;
                session.trace.Write(message);
                session.recorder.RunEntry("Erreur", message);
            } else {
                std::string licence = session.strFileLicence;
                if (CopieSource(session, frame, session.strFileLicence, strRepTempo)) {
                    for (std::string* other : {&session.strFileClub, &session.strFileOrigine}) {
                        std::string path = *other;
                        if (!CopieSource(session, frame, *other, strRepTempo))
                            session.recorder.FileEntry(path, "Warning", "Fichier non trouvé.");
                    }
                    result = bTraitementImport(session);
                } else {
                    session.recorder.FileEntry(licence, "Erreur", "Fichier non trouvé.");
                }
                frame.Disconnect();
            }
        }
        ViderCollections(session);
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
