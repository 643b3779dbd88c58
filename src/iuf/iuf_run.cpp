#include "iuf/iuf_run.hpp"

#include "base/file_system.hpp"
#include "iuf/iuf_file.hpp"
#include "session/import_session.hpp"
#include "session/line_count.hpp"
#include "tracelog/progress.hpp"
#include "tracelog/trace_log.hpp"

#include <cstdint>
#include <limits>

namespace quorvel {

bool bFichierIUF(const std::string& path) {
    return intLongueurLigne(path) == kLongueurLigneIUF;
}

bool bMaj_CodesIUF(ImportSession& session, const std::string& strRepSource, bool bOnlyMonCLub,
                   const std::string& strCodeMonClub) {
    std::int32_t lngTotal = 0;
    for (const std::string& path : base::ListFiles(strRepSource)) {
        bool iuf = false;
        try {
            iuf = bFichierIUF(path);
        } catch (const Error& e) {
            // A file that cannot be read is left aside like a file of other lines.
            std::string note = "Le fichier " + path + " ne peut pas être lu." + std::string(tracelog::kCrLf) +
                               tracelog::strTexteErreur(e) + std::string(tracelog::kCrLf) +
                               "Traitement annulé pour ce fichier";
            session.trace.WriteFileEntry(note, path, "Erreur", note);
            continue;
        }
        if (session.objForm != nullptr) {
            session.objForm->SetLabelCaption(2, "Fichier " + base::GetFileName(path));
            session.objForm->Refresh();
        }
        if (!iuf) {
            std::string note = "Longueur des lignes dans le fichier " + path + " insuffisante." +
                               std::string(tracelog::kCrLf) + "Traitement annulé pour ce fichier";
            session.trace.WriteFileEntry(note, path, "Warning", note);
            continue;
        }
        std::int32_t lignes = lngNombreLignes(session.trace, path, kLongueurLigneIUF);
        if (lignes > std::numeric_limits<std::int32_t>::max() - lngTotal)
            throw Error(errnum::kOverflow, "Dépassement de capacité");
        lngTotal += lignes;
        if (lngTotal == 0) {
            session.trace.Write("Aucune licence mise à jour.");
            continue;
        }
        double dblPas = 100.0 / lngTotal;
        tracelog::MetProgression(session.objForm, 0);
        Maj_FichierIUF(session, path, dblPas, lignes, bOnlyMonCLub, strCodeMonClub);
    }
    session.trace.Write("Fin mise à jour : " + tracelog::strDateHeure(session.Now()));
    return true;
}

} // namespace quorvel
