#pragma once
// Counts as the secretary reads them: "48 985", thousands apart.

#include <string>
#include <string_view>

namespace quorvel::tracelog {

// `value` with its thousands set apart by `separator` (a space, or a no-break space on the page).
inline std::string Grouped(long value, std::string_view separator = " ") {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out = value < 0 ? "-" : "";
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
        out += digits[i];
    }
    return out;
}

} // namespace quorvel::tracelog
