// The licence import's public method: the frame around the run (TraceLog, drive test,
// connection, working copies, release).

#include <quorvel/clsRecupLicence.hpp>

#include "licences/licence_import_run.hpp"
#include "session/import_session.hpp"
#include "session/run_frame.hpp"
#include "session/source_paths.hpp"

namespace quorvel {

clsRecupLicence::clsRecupLicence(Clock clock) : clock_(std::move(clock)) {}

bool clsRecupLicence::bImport_Licence(const std::string& strFileBase, const std::string& strRepSource,
                                      const std::string& strRepTempo, const std::string& strFileTrace_P,
                                      HostForm* objFormCible, const ImportOptions& options) {
    const bool server = !options.server.empty();
    const std::string& strFileBase_P = server ? options.server : strFileBase;
    // Every file and the database close with the session, whichever way the call ends.
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    RunFrame frame(session, options, "bImport_Licence",
                   "Aperçu de l'import : simulation, aucune modification n'est enregistrée dans la base.",
                   strRepSource, strFileBase_P);
    try {
        session.database = server ? storage::DatabaseName::Server(strFileBase_P)
                                  : storage::DatabaseName::File(strFileBase_P);
        session.strFileLicence = strFichierSource(strRepSource, "licence.txt");
        session.strFileClub = strFichierSource(strRepSource, "club.txt");
        session.strFileOrigine = strFichierSource(strRepSource, "origine.txt");
        VerifierSortie(strFileTrace_P,
                       {{strFileBase_P, "la base de données"},
                        {session.strFileLicence, "un fichier source"},
                        {session.strFileClub, "un fichier source"},
                        {session.strFileOrigine, "un fichier source"}},
                       server ? std::string() : strFileBase_P, strRepTempo);
        if (std::string clash = WorkFolderClash(strRepTempo, strRepSource); !clash.empty())
            throw Error(errnum::kBadArgument, clash);
        frame.Start();
        ViderCollections(session);

        bool result = false;
        if (frame.SourceReady(strRepSource)) {
            session.objForm = objFormCible;
            if (frame.Connect("Erreur de connexion dans dll d'import des licences.\r\nImport annulé.")) {
                // Without licence.txt nothing is imported, not even the clubs.
                auto copy = [&](std::string& path, std::string_view kindIfMissing) {
                    bool copied = bCopieSource(session.trace, path, strRepTempo, kindIfMissing);
                    if (copied) frame.CopyMade(path);
                    return copied;
                };
                if (bExportsLisibles(session) && copy(session.strFileLicence, "Erreur")) {
                    copy(session.strFileClub, "Warning");
                    copy(session.strFileOrigine, "Warning");
                    result = bTraitementImport(session);
                }
                frame.Disconnect();
            }
        }
        ViderCollections(session);
        return frame.Finish(result);
    } catch (...) {
        throw frame.Fail();
    }
}

} // namespace quorvel
