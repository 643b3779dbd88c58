#include "base/keyed_set.hpp"

#include <quorvel/error.hpp>

namespace quorvel::base {

namespace {
inline unsigned char Fold(char c) {
    auto b = static_cast<unsigned char>(c);
    return (b >= 'a' && b <= 'z') ? static_cast<unsigned char>(b - 32) : b;
}
} // namespace

std::size_t KeyedSet::FoldHash::operator()(std::string_view s) const noexcept {
    std::size_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= Fold(c);
        h *= 1099511628211ull;
    }
    return h;
}

bool KeyedSet::FoldEqual::operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Fold(a[i]) != Fold(b[i])) return false;
    return true;
}

void KeyedSet::Add(std::string_view key) {
    auto [at, added] = keys_.emplace(key);
    if (!added)
        throw Error(errnum::kDuplicateKey, "Cette clé est déjà associée à un élément de cette collection");
    added_.push_back(&*at);
}

void KeyedSet::Rewind() noexcept {
    for (auto it = added_.rbegin(); it != added_.rend(); ++it)
        keys_.erase(keys_.find(**it));
    added_.clear();
}

bool KeyedSet::Contains(std::string_view key) const {
    return keys_.find(key) != keys_.end();
}

} // namespace quorvel::base
