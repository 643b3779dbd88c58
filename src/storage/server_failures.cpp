#include "storage/server_failures.hpp"

#include <cctype>

namespace quorvel::storage {

namespace {

// The text between the `n`th pair of double quotes of `message`.
std::string Quoted(std::string_view message, int n) {
    std::size_t at = 0;
    for (int i = 0; i <= n; ++i) {
        auto open = message.find('"', at);
        if (open == std::string_view::npos) return {};
        auto close = message.find('"', open + 1);
        if (close == std::string_view::npos) return {};
        if (i == n) return std::string(message.substr(open + 1, close - open - 1));
        at = close + 1;
    }
    return {};
}

// `name` as the statement spells it (the server folds unquoted names to small letters).
std::string AsWritten(std::string_view sql, const std::string& name) {
    auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = 0; at + name.size() <= sql.size(); ++at) {
        if ((at > 0 && word(sql[at - 1])) || (at + name.size() < sql.size() && word(sql[at + name.size()])))
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(sql[at + i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        if (same) return std::string(sql.substr(at, name.size()));
    }
    return name;
}

} // namespace

Error ServerFailure(std::string_view state, std::string message, std::string_view sql) {
    if (state.starts_with("23") || state == "P0001") return Error(kConstraint, message);
    if (state == "53100") return Error(kFull, "database or disk is full");
    if (state == "55P03" || state == "40P01" || state == "40001") return Error(kBusy, "database is locked");
    if (state == "42P01") return Error(kSqlError, "no such table: " + AsWritten(sql, Quoted(message, 0)));
    if (state == "42703") {
        std::string column = AsWritten(sql, Quoted(message, 0));
        std::string table = Quoted(message, 1);
        return Error(kSqlError, table.empty()
                                    ? "no such column: " + column
                                    : "table " + AsWritten(sql, table) + " has no column named " + column);
    }
    if (state.starts_with("22")) return Error(kMismatch, message);
    if (state.empty() || state.starts_with("08") || state.starts_with("57P")) return Error(kIoError, message);
    return Error(kSqlError, message);
}

} // namespace quorvel::storage
