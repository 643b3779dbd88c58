// The IUF update's public method: the frame around the run.

#include <quorvel/clsMajIUF.hpp>

#include "iuf/iuf_run.hpp"
#include "session/import_session.hpp"
#include "session/line_count.hpp"
#include "session/run_frame.hpp"
#include "session/source_paths.hpp"

#include <filesystem>

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
        // The IUF files of the folder are protected; any other file there (an earlier TraceLog...)
        // is not read by the update and may be replaced.
        std::vector<ProtectedFile> files{{strFileBase_P, "la base de données"}};
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(strRepSource, ec)) {
            try {
                if (intLongueurLigne(entry.path().string()) == kLongueurLigneIUF)
                    files.push_back({entry.path().string(), "un fichier IUF"});
            } catch (const Error&) {
            }
        }
        VerifierSortie(strFileTrace_P, files, {});
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
