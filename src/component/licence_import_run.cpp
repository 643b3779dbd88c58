#include "component/licence_import_run.hpp"

#include "component/import_session.hpp"

namespace quorvel {

// Placeholder until the club and licence passes land.
bool bTraitementImport(ImportSession& session) {
    session.trace.Write("Fin importation : " + report::strDateHeure(session.Now()));
    return true;
}

} // namespace quorvel
