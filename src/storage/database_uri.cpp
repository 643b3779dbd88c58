// How a database is named on screen and in files: a PostgreSQL URI never shows its password.

#include <quorvel/database.hpp>

#include "storage/database_uri.hpp"

#include <cctype>
#include <utility>
#include <vector>

namespace quorvel {

namespace {

constexpr std::string_view kMask = "***";

// `text` with its %XX escapes decoded (an incomplete escape is kept as written), in small letters.
std::string Decoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// The '@' that ends the user information, or npos when the URI holds none. A password may hold
// an unencoded '@', '/' or '?': the last '@' before the first '?' is taken, and failing that the
// last '@' that a host and a path follow.
std::size_t UserInfoEnd(std::string_view uri, std::size_t start) {
    std::size_t query = uri.find('?', start);
    std::size_t at = query == std::string_view::npos ? uri.rfind('@') : uri.rfind('@', query);
    if (at != std::string_view::npos && at >= start) return at;
    for (at = uri.rfind('@'); at != std::string_view::npos && at >= start; at = uri.rfind('@', at - 1)) {
        std::string_view rest = uri.substr(at + 1);
        if (rest.find('/') < rest.find('=')) return at;
        if (at == 0) break;
    }
    return std::string_view::npos;
}

using Span = std::pair<std::size_t, std::size_t>; // first, one past the last

// Where the passwords of the URI `uri` stand, left to right: the user information's, then the
// values of the `password` parameters (the key compared decoded and without regard to case, as
// libpq decodes it).
std::vector<Span> PasswordSpans(std::string_view uri) {
    std::vector<Span> spans;
    const std::size_t user = uri.find("://") + 3;
    std::size_t after = user;
    if (std::size_t at = UserInfoEnd(uri, user); at != std::string_view::npos) {
        std::size_t colon = uri.find(':', user);
        if (colon < at) spans.emplace_back(colon + 1, at);
        after = at + 1;
    }
    std::size_t query = uri.find('?', after);
    for (std::size_t at = query; at != std::string_view::npos && at < uri.size();) {
        ++at;
        std::size_t end = std::min(uri.find('&', at), uri.size());
        std::size_t equals = uri.find('=', at);
        if (equals < end && Decoded(uri.substr(at, equals - at)) == "password")
            spans.emplace_back(equals + 1, end);
        at = end;
    }
    return spans;
}

} // namespace

bool IsServerUri(std::string_view database) noexcept {
    return database.starts_with("postgresql://") || database.starts_with("postgres://");
}

std::string ShownDatabase(const std::string& database) {
    if (!IsServerUri(database)) return database;
    std::string shown = database;
    auto spans = PasswordSpans(database);
    for (auto span = spans.rbegin(); span != spans.rend(); ++span)
        shown.replace(span->first, span->second - span->first, kMask);
    return shown;
}

namespace storage {

std::string WithoutPassword(std::string message, const std::string& uri) {
    // Masks `secret` wherever `next` follows it ("" for anywhere).
    auto mask = [&message](const std::string& secret, std::string_view next) {
        std::string found = secret + std::string(next);
        for (std::size_t at = 0; !secret.empty() && (at = message.find(found, at)) != std::string::npos;) {
            message.replace(at, secret.size(), kMask);
            at += kMask.size();
        }
    };
    if (!IsServerUri(uri)) return message;
    for (const auto& [first, last] : PasswordSpans(uri)) {
        std::string password = uri.substr(first, last - first);
        mask(password, "");
        // An unencoded '@' ends the user information early for libpq: what follows it is read as
        // the host's name and may be quoted in a message.
        for (std::size_t at = password.find('@'); at != std::string::npos; at = password.find('@', at + 1))
            mask(password.substr(at + 1), "@");
    }
    return message;
}

} // namespace storage

} // namespace quorvel
