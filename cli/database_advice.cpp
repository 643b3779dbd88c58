#include "database_advice.hpp"

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
        return "La base PostgreSQL " + name + " n'existe pas : créez-la avec « createdb -O RÔLE " + name +
               " », puis ses tables avec « quorvel init-db " + shown + " » (voir le README, PostgreSQL).";
    if (std::string role = Quoted(description, "role \""); !role.empty())
        return "Le rôle " + role + " n'existe pas sur le serveur : créez-le avec « createuser " + role +
               " » (voir le README, PostgreSQL).";
    if (description.find("permission denied") != std::string::npos)
        return "Le rôle n'a pas les droits nécessaires sur la base : créez-la avec « createdb -O RÔLE », ou "
               "donnez-lui le schéma (ALTER SCHEMA public OWNER TO RÔLE) ; voir le README, PostgreSQL.";
    if (description.starts_with("no such table"))
        return "La base PostgreSQL n'a pas les tables de l'application : créez-les avec « quorvel init-db " +
               shown + " ».";
    return {};
}

} // namespace

std::string DatabaseAdvice(const std::string& db, long number, const std::string& description) {
    if (IsServerUri(db)) return ServerAdvice(db, description);
    std::error_code ec;
    if (number == kCantOpen && !std::filesystem::exists(db, ec))
        return "La base " + db + " n'existe pas : créez-la avec « quorvel init-db " + db +
               " », ou indiquez avec --db le fichier de la base de l'application du club.";
    if (number == kNotADatabase)
        return "Le fichier " + db +
               " ne s'ouvre pas avec la clé de l'application : ce n'est pas une base du club (une base "
               "SQLite "
               "non chiffrée, un fichier vide ou un texte) ou elle a été chiffrée avec une autre clé. "
               "Vérifiez le "
               "fichier donné à --db.";
    if (description.starts_with("no such table"))
        return "La base " + db + " n'a pas les tables de l'application (" + description +
               ") : ce n'est pas une base du club, ou elle est incomplète. « quorvel info --db " + db +
               " » dit ce qu'elle contient ; « quorvel init-db NOUVELLE.db » en crée une complète.";
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
