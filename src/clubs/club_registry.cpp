#include "clubs/club_registry.hpp"

#include "clubs/geo_validation.hpp"
#include "session/import_session.hpp"

namespace quorvel::clubs {

namespace {
constexpr std::string_view kUpdateIntitule = "Update Club set Intitule = ?1 where Num = ?2";
constexpr std::string_view kInsertClub =
    "INSERT INTO Club (Code_federal, Intitule, Selection) VALUES (?1, ?2, ?3)";
} // namespace

ClubResult iTraite_Club(ImportSession& session, std::string_view code, std::string_view name,
                        std::string& message) {
    if (session.colClubsTraites.Contains(code)) return ClubResult::AlreadyHandled;
    message.clear();

    storage::ResultTable table;
    session.clubLookup.Find(session.objConnexion, code, table);
    if (table.Count(0) >= 1) {
        // When several rows share the code, the first one decides.
        const std::string& num = table.Item(0, 1);
        const std::string& stored = table.Item(1, 1);
        if (stored == kNomInconnu && name != kNomInconnu) {
            session.clubLookup.Storing(session.objConnexion, code);
            session.objConnexion.Execute(kUpdateIntitule, {name, num});
            return ClubResult::NameFilledIn;
        }
        if (stored != name) {
            message = "Le code club ";
            message += code;
            message += " est déjà utilisé pour le club : ";
            message += stored;
            return ClubResult::OtherName;
        }
        return ClubResult::SameName;
    }

    if (!bVerif_CodeClub(session, code)) {
        message = "Le code club est erronné : ";
        message += code;
        return ClubResult::Refused;
    }
    try {
        Creer_Club(session, code, name);
    } catch (const Error&) {
        // The database's own reason is not passed on: the caller reports the code alone.
        message = "Erreur lors de la sauvegarde du club avec le code ";
        message += code;
        message += '.';
        return ClubResult::Refused;
    }
    return ClubResult::Created;
}

void Creer_Club(ImportSession& session, std::string_view code, std::string_view name) {
    session.clubLookup.Storing(session.objConnexion, code);
    session.objConnexion.Execute(kInsertClub, {code, name, bCode_Selection(code) ? 1 : 0});
}

bool bCode_Selection(std::string_view code) {
    return (code.size() < 4 ? code : code.substr(code.size() - 4)) == "0000";
}

} // namespace quorvel::clubs
