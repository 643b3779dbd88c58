#pragma once
// Paths of the export files and their working copies.

#include "tracelog/trace_log.hpp"

#include <quorvel/output_check.hpp>

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {
struct ImportSession;

// `strRep` + "/" + `strNom`, without doubling a final "/" (an empty folder gives "/" + name).
std::string strCheminFichier(const std::string& strRep, const std::string& strNom);

// The export file `strNom` of the folder `strRep`: exports often come from systems where names
// match without regard to case, so when no file bears the name exactly, the first one (in byte
// order) whose name differs from it only in the case of the letters a-z is taken ("LICENCE.TXT"
// for "licence.txt"). When there is none, the exact path.
std::string strFichierSource(const std::string& strRep, const std::string& strNom);

// True when the volume holding the folder answers; throws when the folder does not exist.
bool bLecteurPret(const std::string& strRep);

// When `strFichier` exists, copies it into `strRepTempo` under a free name (its own name in small
// letters: "LICENCE.TXT" is copied as "licence.txt"), sets `strFichier` to the copy's path and
// returns true. Otherwise writes "Fichier <name> non trouvé dans le
// répertoire : <folder>" (the report lists it as `kindIfMissing`), empties `strFichier` and
// returns false. A failing copy throws.
bool bCopieSource(tracelog::TraceLog& trace, std::string& strFichier, const std::string& strRepTempo,
                  std::string_view kindIfMissing);

// Copies `strFichier` to strNomLibre(strNomCopie, strRepTempo) and returns the copy's path.
std::string strCopieFichier(const std::string& strFichier, const std::string& strNomCopie,
                            const std::string& strRepTempo);

// The first name of the series name.ext, name1.ext, name2.ext... that no file of `strRepTempo`
// uses yet. Earlier copies are never overwritten.
std::string strNomLibre(const std::string& strFichier, const std::string& strRepTempo);

// Refuses `output` (a TraceLog path) when OutputClash finds a reason, by throwing quorvel::Error
// with it. Nothing is opened.
void VerifierSortie(const std::string& output, const std::vector<ProtectedFile>& files,
                    const std::string& database, const std::string& strRepTempo);

// Empties the session's sets of clubs and licences handled.
void ViderCollections(ImportSession& session);

} // namespace quorvel
