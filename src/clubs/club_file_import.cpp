#include "clubs/club_file_import.hpp"

#include "clubs/club_registry.hpp"
#include "component/import_session.hpp"
#include "files/data_file.hpp"
#include "files/encoding.hpp"
#include "files/text_conversion.hpp"
#include "report/progress.hpp"
#include "report/run_time_error.hpp"

namespace quorvel::clubs {

namespace {

// A line shorter than this cannot hold the code and at least one character of the name.
constexpr std::size_t kLongueurMinimale = 14;
constexpr std::size_t kLongueurCode = 13;
constexpr std::size_t kLongueurNom = 30;

struct Counters {
    long lignes = 0;
    long crees = 0;
    long misAJour = 0;
    long connus = 0;
    long connusAutreNom = 0;
    long erreurs = 0;
};

void TraceResume(report::TraceLog& trace, const Counters& n) {
    using std::to_string;
    report::TracePluriel(trace, n.crees,
                         std::string(report::kCrLf) + "Récupération de " + to_string(n.crees) +
                             " club<PLURIEL> sur " + to_string(n.lignes) + ".");
    report::TracePluriel(trace, n.connus, to_string(n.connus) + " club<PLURIEL> déjà connu<PLURIEL>.");
    report::TracePluriel(trace, n.connusAutreNom,
                         to_string(n.connusAutreNom) +
                             " club<PLURIEL> déjà connu<PLURIEL> sous un autre libellé.");
    report::TracePluriel(trace, n.misAJour, to_string(n.misAJour) + " club<PLURIEL> mis à jour.");
    report::TracePluriel(trace, n.erreurs, to_string(n.erreurs) + " club<PLURIEL> en erreur.");
}

// The summary's counts, in its order, for the run report.
void EndPass(report::RunRecorder& recorder, bool completed, const Counters& n) {
    recorder.EndPass(completed, {{"lines", n.lignes},
                                 {"created", n.crees},
                                 {"known", n.connus},
                                 {"knownOtherName", n.connusAutreNom},
                                 {"updated", n.misAJour},
                                 {"errors", n.erreurs}});
}

} // namespace

void Import_Club(ImportSession& session, const std::string& strFichier, double dblPas) {
    report::TraceLog& trace = session.trace;
    files::DataFile file;
    Counters n;
    report::RunRecorder& recorder = session.recorder;
    recorder.BeginPass("clubs", strFichier);
    try {
        file.Open(strFichier);
        std::string line, code, name, message;
        while (!file.AtEnd()) {
            ++n.lignes;
            message.clear();
            line.assign(file.ReadLine());
            if (!files::Utf8LineToCp1252(line)) files::ConvertDosInPlace(line);
            recorder.SetCodes({}, {});

            if (line.size() < kLongueurMinimale) {
                report::TraceLigne(
                    trace, n.lignes,
                    "La longueur de la ligne ne permet de contenir le code et le libellé du club", "Erreur");
                ++n.erreurs;
                report::AvanceProgression(session.objForm, dblPas);
                continue;
            }
            std::string_view raw = line;
            files::AssignCp1252AsUtf8(code, files::TrimSpaces(raw.substr(0, kLongueurCode)));
            files::AssignCp1252AsUtf8(name, files::TrimSpaces(raw.substr(kLongueurCode, kLongueurNom)));
            if (name.empty()) name = kNomInconnu;
            recorder.SetCodes(code, {});

            switch (iTraite_Club(session, code, name, message)) {
            case ClubResult::Failed:
            case ClubResult::Refused:
                // A refused code stays out of colClubsTraites: a later line with it is examined again.
                report::TraceLigne(trace, n.lignes, message, "Erreur");
                ++n.erreurs;
                report::AvanceProgression(session.objForm, dblPas);
                continue;
            case ClubResult::AlreadyHandled:
                report::AvanceProgression(session.objForm, dblPas);
                continue;
            case ClubResult::Created:
                ++n.crees;
                break;
            case ClubResult::NameFilledIn:
                ++n.misAJour;
                break;
            case ClubResult::SameName:
                ++n.connus;
                break;
            case ClubResult::OtherName:
                // This report has no "Erreur"/"Warning" tag and no full stop after the number.
                trace.Write("Ligne n° : " + std::to_string(n.lignes) + " " + message +
                            std::string(report::kCrLf) + "Nom dans le fichier : " + name);
                recorder.Entry(n.lignes, "Warning", message + "\nNom dans le fichier : " + name);
                ++n.connusAutreNom;
                break;
            }
            session.colClubsTraites.Add(code);
            report::AvanceProgression(session.objForm, dblPas);
        }
        TraceResume(trace, n);
        session.objConnexion.Commit();
        EndPass(recorder, true, n);
    } catch (...) {
        Error e = report::CurrentError();
        report::TraceLigne(trace, n.lignes,
                           "Import des clubs interrompu." + std::string(report::kCrLf) +
                               report::strTexteErreur(e.number(), e.description()),
                           "Erreur");
        // The clubs stored before the failure stay stored.
        session.objConnexion.Commit();
        EndPass(recorder, false, n);
    }
    trace.Write("");
    file.Close();
}

} // namespace quorvel::clubs
