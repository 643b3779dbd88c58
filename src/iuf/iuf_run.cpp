#include "iuf/iuf_run.hpp"

#include "component/import_session.hpp"

namespace quorvel {

// Placeholder until the IUF file update lands.
bool bMaj_CodesIUF(ImportSession& session, const std::string&, bool, const std::string&) {
    session.trace.Write("Fin mise à jour : " + report::strDateHeure(session.Now()));
    return true;
}

} // namespace quorvel
