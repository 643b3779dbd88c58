#include "session/line_count.hpp"

#include "base/data_file.hpp"
#include "base/file_system.hpp"
#include "tracelog/trace_log.hpp"

#include <limits>

namespace quorvel {

std::uint64_t varTailleFichier(const std::string& strFichier) {
    if (!base::FileExists(strFichier)) return 0;
    return base::FileSize(strFichier);
}

std::int64_t intLongueurLigne(const std::string& strFichier) {
    if (!base::FileExists(strFichier)) return 0;
    base::DataFile file;
    file.Open(strFichier);
    if (file.AtEnd()) return 0;
    file.ReadLine();
    return static_cast<std::int64_t>(file.LastLineLength()) + 2;
}

std::int32_t lngNombreLignes(tracelog::TraceLog& trace, const std::string& strFichier,
                             std::int64_t intLongueurRequise) {
    if (!base::FileExists(strFichier)) return 0;
    std::uint64_t size = varTailleFichier(strFichier);
    std::int64_t length = intLongueurLigne(strFichier);
    if (size == 0 || length <= 0) return 0; // an empty file holds no line and gets no warning
    auto len = static_cast<std::uint64_t>(length);
    std::uint64_t q = size / len;
    std::uint64_t r = size % len;
    if (2 * r > len || (2 * r == len && (q % 2) == 1)) ++q;
    if (length < intLongueurRequise) {
        std::string note = "Les lignes dans le fichier " + base::GetFileName(strFichier) +
                           " n'ont pas la longueur requise." + std::string(tracelog::kCrLf) +
                           "Les informations pourront être incomplètes." + std::string(tracelog::kCrLf);
        trace.WriteFileEntry("Warning " + note, strFichier, "Warning", note);
    }
    if (q > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw Error(errnum::kOverflow, "Dépassement de capacité");
    return static_cast<std::int32_t>(q);
}

} // namespace quorvel
