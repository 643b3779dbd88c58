#pragma once
// Which database a run works on, chosen once from the caller's arguments: the club application's
// SQLCipher file with its key, or a PostgreSQL database named by its URI. The connection opens
// the engine it names; nothing above storage/ asks which one it is.

#include <string>
#include <string_view>

namespace quorvel::storage {

// The database-level secret of the club application's database: the SQLCipher key.
inline constexpr std::string_view kDatabaseKey = "quenoril";

struct DatabaseName {
    enum class Engine { File, Server };

    // The file at `path`, opened under `key`.
    static DatabaseName File(std::string path, std::string key = std::string(kDatabaseKey)) {
        return {Engine::File, std::move(path), std::move(key)};
    }
    // The PostgreSQL database named by `uri`.
    static DatabaseName Server(std::string uri) { return {Engine::Server, std::move(uri), {}}; }
    // A server for a postgresql:// or postgres:// URI, otherwise a file.
    static DatabaseName Named(const std::string& database);

    Engine engine = Engine::File;
    // The file's path or the server's URI, as the caller gave it.
    std::string where;
    // The file's key; empty for a server.
    std::string key;
};

} // namespace quorvel::storage
