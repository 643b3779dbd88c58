#pragma once
// The engine for a database named by a postgresql:// URI: PostgreSQL's (storage/postgres_engine)
// in a build with libpq, or one that refuses the URI with a message that says why in a build
// without it (storage/postgres_absent, the Windows one).

#include "storage/engine.hpp"

#include <functional>
#include <memory>
#include <string>

namespace quorvel::storage {

// Connects to `uri`. `waiting` is told when another import holds the database's turn; a
// connection that only reads (`takeTurn` false) does not wait for it. Throws quorvel::Error 14
// when the server cannot be reached or refuses, or when this build has no PostgreSQL.
std::unique_ptr<Engine> ServerEngine(const std::string& uri, std::function<void()> waiting = {},
                                     bool takeTurn = true);

} // namespace quorvel::storage
