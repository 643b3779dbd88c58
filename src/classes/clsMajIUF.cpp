// The IUF update's public method: the frame around the run.

#include <quorvel/clsMajIUF.hpp>

#include "base/file_system.hpp"
#include "iuf/iuf_run.hpp"
#include "session/import_session.hpp"
#include "session/run_frame.hpp"
#include "session/source_paths.hpp"

namespace quorvel {

clsMajIUF::clsMajIUF(Clock clock) : clock_(std::move(clock)) {}

bool clsMajIUF::bImport_CodeIUF(const std::string& strRepSource, const std::string& strFileBase,
                                const std::string& strFileTrace_P, HostForm* objFormCible, bool bOnlyMonCLub,
                                const std::string& strCodeMonClub, const ImportOptions& options) {
    const bool server = !options.server.empty();
    const std::string& strFileBase_P = server ? options.server : strFileBase;
    ImportSession session;
    session.clock = clock_;
    session.strFileTrace = strFileTrace_P;
    session.database =
        server ? storage::DatabaseName::Server(strFileBase_P) : storage::DatabaseName::File(strFileBase_P);
    RunFrame frame(
        session, options, "bImport_CodeIUF",
        "Aperçu de la mise à jour : simulation, aucune modification n'est enregistrée dans la base.",
        strRepSource, strFileBase_P);
    try {
        // The IUF files of the folder are protected; any other file there (an earlier TraceLog, a
        // file that cannot be read) is not read by the update and may be replaced. A folder that
        // cannot be listed protects nothing here: the drive test below reports it.
        std::vector<ProtectedFile> files{{strFileBase_P, "la base de données"}};
        std::vector<std::string> paths;
        try {
            paths = base::ListFiles(strRepSource);
        } catch (const Error&) {
        }
        for (const std::string& path : paths) {
            try {
                if (bFichierIUF(path)) files.push_back({path, "un fichier IUF"});
            } catch (const Error&) {
            }
        }
        VerifierSortie(strFileTrace_P, files, server ? std::string() : strFileBase_P, {});
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
