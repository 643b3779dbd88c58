#include "session/source_paths.hpp"

#include "base/file_system.hpp"
#include "session/import_session.hpp"

#include <cctype>
#include <filesystem>

namespace quorvel {

namespace {
std::string SmallLetters(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}
} // namespace

std::string strFichierSource(const std::string& strRep, const std::string& strNom) {
    std::string path = strCheminFichier(strRep, strNom);
    if (base::FileExists(path)) return path;
    try {
        for (const std::string& file : base::ListFiles(strRep))
            if (SmallLetters(base::GetFileName(file)) == SmallLetters(strNom)) return file;
    } catch (const Error&) {
        // A folder that cannot be listed is reported when the file is looked for.
    }
    return path;
}

std::string strCheminFichier(const std::string& strRep, const std::string& strNom) {
    std::string path = strRep;
    if (path.empty() || !base::IsPathSeparator(path.back())) path += base::kPathSeparator;
    path += strNom;
    return path;
}

bool bLecteurPret(const std::string& strRep) {
    return base::DriveReady(strRep);
}

bool bCopieSource(tracelog::TraceLog& trace, std::string& strFichier, const std::string& strRepTempo,
                  std::string_view kindIfMissing) {
    if (base::FileExists(strFichier)) {
        strFichier = strCopieFichier(strFichier, SmallLetters(base::GetFileName(strFichier)), strRepTempo);
        return true;
    }
    trace.WriteFileEntry("Fichier " + base::GetFileName(strFichier) +
                             " non trouvé dans le répertoire : " + base::GetParentFolderName(strFichier),
                         strFichier, kindIfMissing, "Fichier non trouvé.");
    strFichier.clear();
    return false;
}

std::string strCopieFichier(const std::string& strFichier, const std::string& strNomCopie,
                            const std::string& strRepTempo) {
    std::string destination = strNomLibre(strNomCopie, strRepTempo);
    base::CopyFile(strFichier, destination);
    return destination;
}

std::string strNomLibre(const std::string& strFichier, const std::string& strRepTempo) {
    std::string name = base::GetFileName(strFichier);
    std::string candidate = strCheminFichier(strRepTempo, name);
    std::string ext = base::GetExtensionName(strFichier);
    std::string base = name.substr(0, name.size() - ext.size() - (ext.empty() ? 0 : 1));
    int i = 0;
    while (base::NameTaken(candidate)) {
        if (i == 32767)
            throw Error(errnum::kOverflow,
                        "Dépassement de capacité : aucun nom libre pour " + name + " dans " + strRepTempo);
        ++i;
        candidate = strCheminFichier(strRepTempo, base + std::to_string(i) + (ext.empty() ? "" : "." + ext));
    }
    return candidate;
}

void VerifierSortie(const std::string& output, const std::vector<ProtectedFile>& files,
                    const std::string& database, const std::string& strRepTempo) {
    std::string clash = OutputClash(output, files, database, strRepTempo);
    if (!clash.empty()) throw Error(errnum::kBadArgument, clash);
}

void ViderCollections(ImportSession& session) {
    session.colClubsTraites.Clear();
    session.colLicencesTraitees.Clear();
}

} // namespace quorvel
