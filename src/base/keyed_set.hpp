#pragma once
// A set of text keys matched without regard to letter case: the clubs and licences a call has
// already handled.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace quorvel::base {

// Keys match when they differ only in the case of the letters a-z ("fra1" finds "FRA1").
class KeyedSet {
public:
    // Adds `key`; throws quorvel::Error (key already associated) when it is already present.
    void Add(std::string_view key);
    bool Contains(std::string_view key) const;
    // Removes every key.
    void Clear() noexcept {
        keys_.clear();
        added_.clear();
    }
    // Starts remembering the keys added from now on, so that Rewind() can take them out again.
    void Mark() noexcept { added_.clear(); }
    // Removes the keys added since Mark().
    void Rewind() noexcept;

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
    // The keys added since Mark(), in order (a set's elements stay in place as it grows).
    std::vector<const std::string*> added_;
};

} // namespace quorvel::base
