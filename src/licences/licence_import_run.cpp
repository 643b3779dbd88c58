#include "licences/licence_import_run.hpp"

#include "base/file_system.hpp"
#include "clubs/club_pass.hpp"
#include "licences/licence_pass.hpp"
#include "licences/licence_record.hpp"
#include "session/import_session.hpp"
#include "session/line_count.hpp"
#include "session/export_check.hpp"
#include "session/origin_file.hpp"
#include "tracelog/progress.hpp"

#include <algorithm>
#include <cstdint>

namespace quorvel {

namespace {
// Record lengths of the two data files, line end included.
constexpr std::int64_t kLongueurClub = 43;
constexpr std::int64_t kLongueurLicence = 248;
// A licence's key: its club code and its number.
constexpr std::size_t kLongueurCleLicence = 13 + 6;
} // namespace

bool bExportsLisibles(ImportSession& session) {
    return bFichierExport(session.trace, session.strFileLicence, kLongueurLicence, licences::kFieldCount) &&
           bFichierExport(session.trace, session.strFileClub, kLongueurClub, 2);
}

bool bTraitementImport(ImportSession& session) {
    tracelog::TraceLog& trace = session.trace;
    TraceOrigine(session);

    std::int64_t nClubs = lngNombreLignes(trace, session.strFileClub, kLongueurClub);
    std::int64_t nLicences = lngNombreLignes(trace, session.strFileLicence, kLongueurLicence);
    std::int64_t total = nClubs + nLicences;
    if (total == 0) {
        trace.Write("Aucune licence et aucun club importé.");
        return true;
    }
    // The bar climbs by one step per line of either file.
    double dblPas = 100.0 / static_cast<double>(total);
    tracelog::MetProgression(session.objForm, 0);

    if (base::FileExists(session.strFileClub)) {
        trace.Write("Vérification des clubs depuis fichier Club.txt");
        clubs::Import_Club(session, session.strFileClub, dblPas, static_cast<long>(nClubs));
    } else {
        trace.Write("Fichier Club.txt non disponible.");
    }
    trace.Write("");
    trace.Write("Traitement des licences depuis fichier Licence.txt");
    // Room for the licences handled, at once rather than by doublings (up to a national file).
    session.colLicencesTraitees.Reserve(static_cast<std::size_t>(std::min<std::int64_t>(nLicences, 500000)),
                                        kLongueurCleLicence);
    licences::Import_Licences(session, session.strFileLicence, dblPas, static_cast<long>(nLicences));
    trace.Write("Fin importation : " + tracelog::strDateHeure(session.Now()));
    return true;
}

} // namespace quorvel
