#include "database_advice.hpp"
#include "i18n.hpp"

#include <quorvel/database.hpp>

#include <filesystem>

namespace quorvel::cli {

namespace {

constexpr long kCantOpen = 14;
constexpr long kNotADatabase = 26;

// The text between the first pair of double quotes after `after` in `text`; empty when none.
std::string Quoted(const std::string& text, const std::string& after) {
    auto at = text.find(after);
    if (at == std::string::npos) return {};
    auto open = text.find('"', at + after.size() - 1);
    auto close = open == std::string::npos ? open : text.find('"', open + 1);
    return close == std::string::npos ? std::string() : text.substr(open + 1, close - open - 1);
}

std::string ServerAdvice(const std::string& db, const std::string& description) {
    const std::string shown = ShownDatabase(db);
    if (std::string name = Quoted(description, "database \"");
        !name.empty() && description.find("does not exist") != std::string::npos)
        return Fill(_("The PostgreSQL database {1} does not exist: create it with 'createdb -O ROLE {1}', "
                      "then its tables with 'quorvel init-db {2}' (see the README, PostgreSQL)."),
                    {name, shown});
    if (std::string role = Quoted(description, "role \""); !role.empty())
        return Fill(_("The role {1} does not exist on the server: create it with 'createuser {1}' (see "
                      "the README, PostgreSQL)."),
                    {role});
    if (description.find("permission denied") != std::string::npos)
        return _("The role lacks the rights it needs on the database: create the database with 'createdb "
                 "-O ROLE', or give it the schema (ALTER SCHEMA public OWNER TO ROLE); see the README, "
                 "PostgreSQL.");
    if (description.starts_with("no such table"))
        return Fill(_("The PostgreSQL database lacks the application's tables: create them with 'quorvel "
                      "init-db {1}'."),
                    {shown});
    return {};
}

} // namespace

std::string DatabaseAdvice(const std::string& db, long number, const std::string& description) {
    if (IsServerUri(db)) return ServerAdvice(db, description);
    std::error_code ec;
    if (number == kCantOpen && !std::filesystem::exists(db, ec))
        return Fill(_("The database {1} does not exist: create it with 'quorvel init-db {1}', or give --db "
                      "the database file of the club application."),
                    {db});
    if (number == kNotADatabase)
        return Fill(_("The file {1} does not open with the application's key: it is not a club database "
                      "(a plain SQLite database, an empty file or a text) or it was encrypted with another "
                      "key. Check the file given to --db."),
                    {db});
    if (description.starts_with("no such table"))
        return Fill(_("The database {1} lacks the application's tables ({2}): it is not a club database, "
                      "or it is incomplete. 'quorvel info --db {1}' tells what it holds; 'quorvel init-db "
                      "NEW.db' creates a complete one."),
                    {db, description});
    return {};
}

std::string DatabaseAdvice(const std::string& db, const RunReport& report) {
    static const std::string kMark = "Erreur n° ";
    // (The entries themselves may be spilled to a file: their groups keep the first of each kind.)
    for (const auto& group : report.groups)
        for (const auto& entry : group.first) {
            if (entry.message.rfind("Erreur de connexion", 0) != 0) continue;
            auto at = entry.message.rfind(kMark);
            if (at == std::string::npos) continue;
            std::size_t colon = entry.message.find(": ", at);
            if (colon == std::string::npos) continue;
            long number = std::strtol(entry.message.c_str() + at + kMark.size(), nullptr, 10);
            return DatabaseAdvice(db, number, entry.message.substr(colon + 2));
        }
    return {};
}

} // namespace quorvel::cli
