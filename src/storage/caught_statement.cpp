#include "storage/caught_statement.hpp"

#include "storage/plain_text.hpp"
#include "storage/statement_parameters.hpp"

namespace quorvel::storage {

namespace {

constexpr std::string_view kQuote = "$quorvel$";

// True for a write that returns nothing and that the function's body can hold as it is.
bool Writes(std::string_view sql) {
    std::string lower;
    AppendFolded(lower, sql);
    const std::size_t start = lower.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    const std::string_view head = std::string_view(lower).substr(start);
    if (!head.starts_with("insert ") && !head.starts_with("update ") && !head.starts_with("delete "))
        return false;
    return lower.find("returning") == std::string::npos && lower.find(';') == std::string::npos &&
           lower.find(kQuote) == std::string::npos;
}

} // namespace

std::string CaughtStatementFunction(std::string_view sql, std::string_view name,
                                    const std::vector<std::string>& types) {
    if (!Writes(sql)) return {};
    int count = 0;
    bool known = true;
    // A parameter reads its text as the statement alone would: with its type's input.
    std::string body = WithParameters(sql, count, [&](std::string& out, int n) {
        if (n > static_cast<int>(types.size())) {
            known = false;
            return;
        }
        const std::string& type = types[static_cast<std::size_t>(n) - 1];
        if (type == "text" || type == "unknown")
            out += '$' + std::to_string(n);
        else
            out += "CAST($" + std::to_string(n) + " AS " + type + ")";
    });
    if (!known || count != static_cast<int>(types.size())) return {};
    std::string text = "CREATE FUNCTION pg_temp." + std::string(name) + "(";
    for (int n = 1; n <= count; ++n)
        text += n == 1 ? "text" : ", text";
    text += ") RETURNS text LANGUAGE plpgsql AS ";
    text += kQuote;
    // (a column never reads as one of the function's own names)
    text += "\n#variable_conflict use_column\nBEGIN\n";
    text += body;
    text += ";\nRETURN NULL;\nEXCEPTION WHEN OTHERS THEN\nRETURN SQLSTATE || SQLERRM;\nEND\n";
    text += kQuote;
    return text;
}

std::string CaughtStatementCall(std::string_view name, int count) {
    std::string text = "SELECT pg_temp." + std::string(name) + "(";
    for (int n = 1; n <= count; ++n)
        text += (n == 1 ? "?" : ", ?") + std::to_string(n);
    return text + ")";
}

} // namespace quorvel::storage
