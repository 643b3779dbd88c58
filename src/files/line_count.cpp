#include "files/line_count.hpp"

#include "files/data_file.hpp"
#include "files/file_system.hpp"
#include "report/run_recorder.hpp"

#include <limits>

namespace quorvel::files {

std::uint64_t varTailleFichier(const std::string& strFichier) {
    if (!FileExists(strFichier)) return 0;
    return FileSize(strFichier);
}

std::int64_t intLongueurLigne(const std::string& strFichier) {
    if (!FileExists(strFichier)) return 0;
    DataFile file;
    file.Open(strFichier);
    if (file.AtEnd()) return 0;
    return static_cast<std::int64_t>(file.ReadLine().size()) + 2;
}

std::int32_t lngNombreLignes(report::TraceLog& trace, const std::string& strFichier,
                             std::int64_t intLongueurRequise) {
    if (!FileExists(strFichier)) return 0;
    std::uint64_t size = varTailleFichier(strFichier);
    std::int64_t length = intLongueurLigne(strFichier);
    if (size == 0 || length <= 0) return 0; // an empty file holds no line and gets no warning
    auto len = static_cast<std::uint64_t>(length);
    std::uint64_t q = size / len;
    std::uint64_t r = size % len;
    if (2 * r > len || (2 * r == len && (q % 2) == 1)) ++q;
    if (length < intLongueurRequise) {
        std::string s = "Warning Les lignes dans le fichier ";
        s += GetFileName(strFichier);
        s += " n'ont pas la longueur requise.";
        s += report::kCrLf;
        s += "Les informations pourront être incomplètes.";
        s += report::kCrLf;
        trace.Write(s);
        if (report::RunRecorder* r = trace.Recorder()) r->FileEntry(strFichier, "Warning", s.substr(8));
    }
    if (q > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()))
        throw Error(6, "Dépassement de capacité");
    return static_cast<std::int32_t>(q);
}

} // namespace quorvel::files
