#pragma once
// Text the server's collation compares as the file does.

#include <string>
#include <string_view>

namespace quorvel::storage {

// True when `text` holds only printable ASCII characters. The server's collation holds two such
// texts equal exactly when they differ only in the case of letters a-z, as the file does; it holds
// some other characters equal in ways that folding a-z does not tell (a superscript two to a two,
// a full-width capital to its small letter).
inline bool Plain(std::string_view text) noexcept {
    for (unsigned char c : text)
        if (c < 0x20 || c > 0x7e) return false;
    return true;
}

// Appends `text` with its letters A-Z made small: two Plain() texts the server's collation holds
// equal append the same.
inline void AppendFolded(std::string& to, std::string_view text) {
    for (char c : text)
        to += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace quorvel::storage
