#pragma once
// Fields of a fixed-width record, cut on the raw single-byte line.

#include <array>
#include <cstddef>
#include <string_view>

namespace quorvel::base {

// Field `index` of `line` cut with the given widths, as CutFields cuts it.
template <std::size_t N>
constexpr std::string_view FieldAt(std::string_view line, const std::array<int, N>& widths,
                                   std::size_t index) {
    std::size_t p = 0;
    for (std::size_t i = 0; i < index; ++i)
        p += static_cast<std::size_t>(widths[i]);
    return p < line.size() ? line.substr(p, static_cast<std::size_t>(widths[index])) : std::string_view();
}

// Cuts `line` into consecutive fields of the given widths: field i starts where the previous
// one ended; a start beyond the line's end gives an empty field, a field running past it gives
// what remains.
template <std::size_t N>
void CutFields(std::string_view line, const std::array<int, N>& widths,
               std::array<std::string_view, N>& out) {
    std::size_t p = 0;
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = p < line.size() ? line.substr(p, static_cast<std::size_t>(widths[i])) : std::string_view();
        p += static_cast<std::size_t>(widths[i]);
    }
}

} // namespace quorvel::base
