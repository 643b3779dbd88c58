#include "licences/licence_insertion.hpp"

#include "base/current_error.hpp"
#include "clubs/club_registry.hpp"
#include "licences/selection_membership.hpp"
#include "session/import_session.hpp"
#include "storage/queries.hpp"

namespace quorvel::licences {

namespace {

constexpr std::string_view kInsertLicence =
    "INSERT INTO Licence (Code_club, licence, Nom, Prenom, sexe"
    ", Date_Naissance, Nationalite, Adresse, Suite_adresse, Code_Postal, Localite, Telephone"
    ", Sportive, Synchro, Water_Polo, Plongeon, Dirigeant, Maitre, Date_Depot"
    ", Date_obliteration, Type_licence, Nature, Code_unique, Date_suppr"
    ") VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, "
    "?21, ?22, ?23, ?24)";
constexpr std::string_view kSelectNum = "SELECT Num from Licence where Code_Club = ?1 AND Licence = ?2";

const std::string kLineBreak(tracelog::kCrLf);

// Moves the selection entry `record` to the swimmer's own club and licence number, the own club
// going through the club registry. Returns false, with the entries written, when the club is
// refused.
bool VersLicenceOrigine(ImportSession& session, LicenceRecord& record, long& lngClubsCrees, long lngLigne) {
    tracelog::TraceLog& trace = session.trace;
    const LicenceOrigin& origin = record.origin;
    if (origin.licence.empty())
        tracelog::TraceErreur(
            trace,
            "Véritable numéro de licence introuvable, utilisation de celui de la sélection : " +
                record[kLicence],
            lngLigne);
    else
        record[kLicence] = origin.licence;

    std::string message;
    clubs::ClubResult result = clubs::ClubResult::Refused;
    try {
        result = clubs::iTraite_Club(session, origin.club, clubs::kNomInconnu, message);
    } catch (...) {
        message = tracelog::strTexteErreur(base::CurrentError());
    }
    if (result == clubs::ClubResult::Refused) {
        trace.Write("Une erreur s'est produite dans la fonction d'ajout de club." + kLineBreak + message);
        return false;
    }
    if (result == clubs::ClubResult::Created) {
        trace.Write("Création d'un club avec le code " + origin.club + " et libellé " +
                    std::string(clubs::kNomInconnu));
        ++lngClubsCrees;
    }
    record[kCodeClub] = origin.club;
    return true;
}

// The licence just stored for a selection entry joins the selection `codeSelection`. Returns
// false, with the entries written, when the licence is not stored after all.
bool RejointSelection(ImportSession& session, const LicenceRecord& record, const std::string& codeSelection,
                      long lngLigne, std::string& joined) {
    tracelog::TraceLog& trace = session.trace;
    storage::ResultTable table;
    storage::RequeteTableau(session.objConnexion, table, kSelectNum, {record[kCodeClub], record[kLicence]});
    if (table.Count(0) < 1) {
        tracelog::TraceErreur(trace,
                              "La licence n'a pas été correctement insérée dans la base." + kLineBreak +
                                  "Impossible de l'ajouter à la sélection.",
                              lngLigne);
        return false;
    }
    const std::string& num = table.Item(0, 1);
    joined = num;

    try {
        Ajout_Selection(session, codeSelection, num);
    } catch (...) {
        tracelog::TraceErreur(trace,
                              "Problème lors de l'ajout du nageur dans la sélection." + kLineBreak +
                                  tracelog::strTexteErreur(base::CurrentError()),
                              lngLigne);
        // When the engine undid the whole transaction, the licence went with the selection.
        if (session.objConnexion.TransactionLost()) return false;
    }
    return true;
}

} // namespace

bool bAjout_Licence(ImportSession& session, LicenceRecord& record, long& lngClubsCrees, long lngLigne,
                    std::string& joined) {
    joined.clear();
    try {
        const std::string codeSelection = record[kCodeClub];
        const bool selection = clubs::bCode_Selection(record[kCodeClub]);
        if (selection && !VersLicenceOrigine(session, record, lngClubsCrees, lngLigne)) return false;

        const auto& f = record.fields;
        session.objConnexion.Execute(kInsertLicence, {f[0],  f[1],  f[2],  f[3],  f[4],  f[5],  f[6],  f[7],
                                                      f[8],  f[9],  f[10], f[11], f[12], f[13], f[14], f[15],
                                                      f[16], f[17], f[18], f[19], f[20], f[21], f[23], ""});
        return !selection || RejointSelection(session, record, codeSelection, lngLigne, joined);
    } catch (...) {
        Error e = base::CurrentError();
        tracelog::TraceErreur(session.trace, "Une erreur s'est produite lors de l'ajout d'une licence.",
                              lngLigne, &e);
        return false;
    }
}

} // namespace quorvel::licences
