#pragma once
// Keyed sets that remember which clubs and licences a call has already handled, and the
// field-width lists of the fixed-width files.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>

namespace quorvel::clubs {

// A set of text keys matched without regard to letter case ("fra1" finds "FRA1").
class KeyedSet {
public:
    // Adds `key`; throws quorvel::Error (key already associated) when it is already present.
    void Add(std::string_view key);
    bool Contains(std::string_view key) const;
    // Vide_Collection: removes every key.
    void Clear() noexcept { keys_.clear(); }
    std::size_t Count() const noexcept { return keys_.size(); }

private:
    struct FoldHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept;
    };
    struct FoldEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const noexcept;
    };
    std::unordered_set<std::string, FoldHash, FoldEqual> keys_;

    friend bool bCherche_Collection(const KeyedSet&, std::string_view, std::string&);
};

// Looks `key` up without ever failing: true with `value` holding the key's item when present,
// false with `value` empty otherwise. Items of these sets are their keys.
bool bCherche_Collection(const KeyedSet& collection, std::string_view key, std::string& value);

// Widths of the three fields of an IUF line: short club code, licence number, IUF code.
inline constexpr std::array<int, 3> kLongueursIUF = {9, 6, 30};

// Widths of the 24 fields of a licence.txt line (their sum is the 248 characters of a line).
inline constexpr std::array<int, 24> kLongueursLicence = {13, 6, 25, 20, 1, 8, 3, 30, 30, 7, 26, 14,
                                                          1,  1, 1,  1,  1, 1, 8, 8,  1,  1, 19, 22};

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
// what remains. `out` must have one element per width.
template <std::size_t N>
void CutFields(std::string_view line, const std::array<int, N>& widths,
               std::array<std::string_view, N>& out) {
    std::size_t p = 0;
    for (std::size_t i = 0; i < N; ++i) {
        out[i] = p < line.size() ? line.substr(p, static_cast<std::size_t>(widths[i])) : std::string_view();
        p += static_cast<std::size_t>(widths[i]);
    }
}

} // namespace quorvel::clubs
