#include "files/origin_file.hpp"

#include "component/import_session.hpp"
#include "files/data_file.hpp"
#include "files/encoding.hpp"
#include "files/file_system.hpp"
#include "files/text_conversion.hpp"

namespace quorvel::files {

void TraceOrigine(ImportSession& session) {
    DataFile file;
    try {
        std::string origin;
        if (FileExists(session.strFileOrigine)) {
            file.Open(session.strFileOrigine);
            // A line saved as UTF-8 is shown as it was written, not as Windows-1252 bytes.
            std::string line(file.ReadLine());
            Utf8LineToCp1252(line);
            origin = Cp1252ToUtf8(line);
        } else {
            origin = std::string(report::kCrLf) + "Fichier origine.txt non disponible";
        }
        session.trace.Write("Données source générées par l'application : " + origin);
        session.trace.Write("");
    } catch (const Error& e) {
        report::TraceErreur(session.trace, "Une erreur s'est produite lors de la lecture du fichier origine.txt",
                            0, &e);
    }
    file.Close();
}

} // namespace quorvel::files
