// A build without libpq (the Windows one): a postgresql:// URI is refused as a database that
// cannot be opened, with a message that says why.

#include "storage/server_engine.hpp"

#include <quorvel/database.hpp>

namespace quorvel::storage {

std::unique_ptr<Engine> ServerEngine(const std::string& uri, std::function<void()>, bool) {
    throw Error(14, "PostgreSQL n'est pas disponible dans cette version de quorvel : " +
                        quorvel::ShownDatabase(uri));
}

} // namespace quorvel::storage
