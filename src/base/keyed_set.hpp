#pragma once
// A set of text keys matched without regard to letter case: the clubs and licences a call has
// already handled.

#include <cstddef>
#include "base/huge_array.hpp"

#include <cstdint>
#include <string_view>

namespace quorvel::base {

// The hash code of the key `first` + `second` with the letters a-z folded to capitals, so that
// keys that differ only in their case share it.
std::uint64_t FoldedHash(std::string_view first, std::string_view second = {}) noexcept;

// Keys match when they differ only in the case of the letters a-z ("fra1" finds "FRA1").
//
// A national file adds hundreds of thousands of short keys and looks each one up: they are kept
// folded, end to end in one block of text, and found through an open-addressing table of their
// hash codes, so a lookup costs one or two cache misses and no allocation.
class KeyedSet {
public:
    // Adds `key`; throws quorvel::Error (key already associated) when it is already present.
    void Add(std::string_view key);
    bool Contains(std::string_view key) const;
    // Tells the processor to fetch the slot where the key `first` + `second` would be, so that a
    // lookup of it a little later finds it in the cache.
    void Prefetch(std::string_view first, std::string_view second) const noexcept;
    // Removes every key.
    void Clear() noexcept;
    // Makes room for `count` keys in all, of about `length` bytes each, at once.
    void Reserve(std::size_t count, std::size_t length);
    // Starts remembering the keys added from now on, so that Rewind() can take them out again.
    void Mark() noexcept { marked_ = keys_.size(); }
    // Removes the keys added since Mark().
    void Rewind() noexcept { RewindTo(marked_); }
    // How many keys were added: a point RewindTo() can take the set back to.
    std::size_t Size() const noexcept { return keys_.size(); }
    // Removes the keys added after the first `size`.
    void RewindTo(std::size_t size) noexcept;

private:
    struct Key {
        std::uint64_t hash;
        std::uint32_t offset; // in text_
        std::uint32_t length;
    };
    // A slot holds the upper half of its key's hash code and the key's index in keys_, so that
    // most probes that do not match are told apart without reading the key.
    static constexpr std::uint64_t kEmpty = UINT64_MAX;
    static std::uint64_t Slot(std::uint64_t hash, std::size_t index) noexcept {
        return (hash & 0xFFFFFFFF00000000ull) | index;
    }

    // The slot holding `key` (of hash `hash`), or the empty slot where it would go.
    std::size_t Find(std::string_view key, std::uint64_t hash) const noexcept;
    void Rehash(std::size_t size);

    HugeArray<char> text_; // the keys, folded, end to end
    HugeArray<Key> keys_;  // in the order they were added
    // Slot() or kEmpty; a power of two long.
    HugeArray<std::uint64_t> slots_;
    std::size_t marked_ = 0;
};

} // namespace quorvel::base
