#pragma once
// The hash codes of a set of two-part text keys, without the keys: a few bytes a key where a
// pass needs only to know that a key is surely not among those it added.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quorvel::base {

// Keys match without regard to the case of the letters a-z. MaybeContains() is true for every
// key added; for a key never added, only when its 64-bit hash code equals one added (about one
// chance in 2^45 for each key of a national file).
class KeyHashes {
public:
    void Add(std::string_view first, std::string_view second);
    bool MaybeContains(std::string_view first, std::string_view second) const noexcept;
    // Removes every key and lets go of the memory.
    void Clear() noexcept;

private:
    // The two parts' hash, never 0 (an empty slot).
    static std::uint64_t Hash(std::string_view first, std::string_view second) noexcept;
    // The slot holding `hash`, or the empty slot where it would go.
    std::size_t Find(std::uint64_t hash) const noexcept;

    std::vector<std::uint64_t> slots_; // a power of two long, or empty
    std::size_t count_ = 0;
};

} // namespace quorvel::base
