#include "files/origin_file.hpp"

#include "component/import_session.hpp"
#include "files/data_file.hpp"
#include "files/encoding.hpp"
#include "files/file_system.hpp"

namespace quorvel::files {

void TraceOrigine(ImportSession& session) {
    DataFile file;
    try {
        std::string origin;
        if (FileExists(session.strFileOrigine)) {
            file.Open(session.strFileOrigine);
            origin = Cp1252ToUtf8(file.ReadLine());
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
