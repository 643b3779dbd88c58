#include "iuf/iuf_run.hpp"

#include "component/import_session.hpp"
#include "files/file_system.hpp"
#include "files/line_count.hpp"
#include "iuf/iuf_file.hpp"
#include "report/progress.hpp"
#include "report/trace_log.hpp"

#include <cstdint>
#include <limits>

namespace quorvel {

namespace {
// An IUF line holds 45 characters, 47 with its line end.
constexpr std::int64_t kLongueurIUF = 47;
} // namespace

bool bMaj_CodesIUF(ImportSession& session, const std::string& strRepSource, bool bOnlyMonCLub,
                   const std::string& strCodeMonClub) {
    bool result = false;
    std::int32_t lngTotal = 0;
    for (const std::string& path : files::ListFiles(strRepSource)) {
        std::int64_t longueur = files::intLongueurLigne(path);
        if (session.objForm != nullptr) {
            session.objForm->SetLabelCaption(2, "Fichier " + files::GetFileName(path));
            session.objForm->Refresh();
        }
        if (longueur != kLongueurIUF) {
            session.trace.Write("Longueur des lignes dans le fichier " + path + " insuffisante.");
            session.trace.Write("Traitement annulé pour ce fichier");
            session.recorder.FileEntry(path, "Warning",
                                       "Longueur des lignes dans le fichier " + path +
                                           " insuffisante.\nTraitement annulé pour ce fichier");
            continue;
        }
        std::int32_t lignes = files::lngNombreLignes(session.trace, path, kLongueurIUF);
        if (lignes > std::numeric_limits<std::int32_t>::max() - lngTotal)
            throw Error(6, "Dépassement de capacité");
        lngTotal += lignes;
        if (lngTotal == 0) {
            session.trace.Write("Aucune licence mise à jour.");
            continue;
        }
        double dblPas = 100.0 / lngTotal;
        report::MetProgression(session.objForm, 0);
        Maj_FichierIUF(session, path, dblPas, bOnlyMonCLub, strCodeMonClub);
    }
    result = true;
    session.trace.Write("Fin mise à jour : " + report::strDateHeure(session.Now()));
    return result;
}

} // namespace quorvel
