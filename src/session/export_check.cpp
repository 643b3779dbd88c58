#include "session/export_check.hpp"

#include "base/data_file.hpp"
#include "base/file_system.hpp"

#include <algorithm>

namespace quorvel {

namespace {

const std::string kLineBreak(tracelog::kCrLf);

} // namespace

char cSeparateurAuLieuDeChamps(const std::string& path, std::size_t length, int fields) {
    const long atLeast = std::max(1, fields / 2);
    base::DataFile file;
    file.Open(path);
    bool any = false;
    bool candidates[2] = {true, true}; // ';', tab
    const char separators[2] = {';', '\t'};
    while (!file.AtEnd()) {
        std::string_view line = file.ReadLine();
        if (file.LastLineLength() == length) return 0;
        if (line.find_first_not_of(' ') == std::string_view::npos) continue;
        any = true;
        for (int i = 0; i < 2; ++i)
            candidates[i] = candidates[i] && std::count(line.begin(), line.end(), separators[i]) >= atLeast;
        if (!candidates[0] && !candidates[1]) return 0;
    }
    if (!any) return 0;
    return candidates[0] ? ';' : '\t';
}

bool bFichierExport(tracelog::TraceLog& trace, const std::string& path, std::size_t length, int fields) {
    if (!base::FileExists(path)) return true;
    const std::string name = base::GetFileName(path);
    char separator = 0;
    try {
        separator = cSeparateurAuLieuDeChamps(path, length, fields);
    } catch (const Error& e) {
        if (e.number() == errnum::kBadFileFormat)
            trace.WriteFileEntry(e.description() + kLineBreak + "Import annulé.", path, "Erreur",
                                 e.description());
        throw;
    }
    if (separator == 0) return true;
    const std::string shown = separator == ';' ? "le séparateur \";\"" : "une tabulation";
    const std::string note = "Ce n'est pas un export de la fédération : aucune ligne de " +
                             std::to_string(length) + " caractères, " + shown +
                             " sur chaque ligne (fichier réenregistré par un tableur ?). Reprenez le fichier "
                             "exporté tel quel.";
    trace.WriteFileEntry(
        "Le fichier " + name +
            " n'est pas un export de la fédération : aucune ligne n'a la longueur requise (" +
            std::to_string(length) + " caractères) et chaque ligne contient " + shown + "." + kLineBreak +
            "Import annulé.",
        path, "Erreur", note);
    return false;
}

} // namespace quorvel
