#include "licences/selection_membership.hpp"

#include "session/import_session.hpp"

namespace quorvel::licences {

namespace {
constexpr std::string_view kInsertSelection = "INSERT INTO Selection (Code_Sel, Num_Lic) VALUES (?1, ?2)";

bool IsWholeNumber(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}
} // namespace

void Ajout_Selection(ImportSession& session, std::string_view strCodeSel, std::string_view strNumLic) {
    // Num_Lic holds a licence row's key: anything but a number is refused, never stored as text.
    if (!IsWholeNumber(strNumLic))
        throw Error(errnum::kTypeMismatch, "Incompatibilité de type : le numéro de licence « " +
                                               std::string(strNumLic) + " » n'est pas un nombre");
    session.objConnexion.Execute(kInsertSelection, {strCodeSel, strNumLic});
}

} // namespace quorvel::licences
