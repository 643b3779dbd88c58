#include "session/origin_file.hpp"

#include "base/data_file.hpp"
#include "base/encoding.hpp"
#include "base/file_system.hpp"
#include "base/text_conversion.hpp"
#include "session/import_session.hpp"

namespace quorvel {

void TraceOrigine(ImportSession& session) {
    base::DataFile file;
    try {
        std::string origin;
        if (base::FileExists(session.strFileOrigine)) {
            file.Open(session.strFileOrigine);
            // A line saved as UTF-8 is shown as it was written, not as Windows-1252 bytes.
            std::string line(file.ReadLine());
            base::Utf8LineToCp1252(line);
            origin = base::Cp1252ToUtf8(line);
        } else {
            origin = std::string(tracelog::kCrLf) + "Fichier origine.txt non disponible";
        }
        session.trace.Write("Données source générées par l'application : " + origin);
        session.trace.Write("");
    } catch (const Error& e) {
        tracelog::TraceErreur(session.trace,
                              "Une erreur s'est produite lors de la lecture du fichier origine.txt", 0, &e);
    }
    file.Close();
}

} // namespace quorvel
