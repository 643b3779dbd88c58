#include "base/keyed_set.hpp"

#include <quorvel/error.hpp>

namespace quorvel::base {

namespace {

inline char Fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

constexpr std::uint64_t kHashStart = 1469598103934665603ull;

std::uint64_t HashOn(std::uint64_t h, std::string_view s) noexcept {
    for (char c : s) {
        h ^= static_cast<unsigned char>(Fold(c));
        h *= 1099511628211ull;
    }
    return h;
}

// The low bits pick the slot: the high ones are mixed down.
std::uint64_t Mixed(std::uint64_t h) noexcept {
    return h ^ (h >> 29) ^ (h >> 47);
}

} // namespace

std::uint64_t FoldedHash(std::string_view first, std::string_view second) noexcept {
    return Mixed(HashOn(HashOn(kHashStart, first), second));
}

std::size_t KeyedSet::Find(std::string_view key, std::uint64_t hash) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        std::uint64_t held = slots_[slot];
        if (held == kEmpty) return slot;
        if ((held ^ hash) >> 32 != 0) continue;
        const Key& k = keys_[held & 0xFFFFFFFFu];
        if (k.hash != hash || k.length != key.size()) continue;
        const char* stored = text_.data() + k.offset;
        std::size_t i = 0;
        while (i < key.size() && Fold(key[i]) == stored[i])
            ++i;
        if (i == key.size()) return slot;
    }
}

void KeyedSet::Prefetch(std::string_view first, std::string_view second) const noexcept {
    if (slots_.empty()) return;
    std::uint64_t hash = FoldedHash(first, second);
    __builtin_prefetch(slots_.data() + (hash & (slots_.size() - 1)));
}

bool KeyedSet::Contains(std::string_view key) const {
    if (keys_.empty()) return false;
    return slots_[Find(key, FoldedHash(key))] != kEmpty;
}

void KeyedSet::Add(std::string_view key) {
    // At most half full, so that probe runs stay short.
    if ((keys_.size() + 1) * 2 > slots_.size()) Rehash(slots_.empty() ? 64 : slots_.size() * 2);
    std::uint64_t hash = FoldedHash(key);
    std::size_t slot = Find(key, hash);
    if (slots_[slot] != kEmpty)
        throw Error(errnum::kDuplicateKey, "Cette clé est déjà associée à un élément de cette collection");
    Key k{hash, static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(key.size())};
    char* folded = text_.append(key.size());
    for (std::size_t i = 0; i < key.size(); ++i)
        folded[i] = Fold(key[i]);
    slots_[slot] = Slot(hash, keys_.size());
    keys_.push_back(k);
}

void KeyedSet::Rehash(std::size_t size) {
    slots_.assign(size, kEmpty);
    const std::size_t mask = size - 1;
    for (std::size_t index = 0; index < keys_.size(); ++index) {
        std::size_t slot = keys_[index].hash & mask;
        while (slots_[slot] != kEmpty)
            slot = (slot + 1) & mask;
        slots_[slot] = Slot(keys_[index].hash, index);
    }
}

void KeyedSet::Reserve(std::size_t count, std::size_t length) {
    std::size_t size = slots_.empty() ? 64 : slots_.size();
    while (count * 2 > size)
        size *= 2;
    if (size > slots_.size()) Rehash(size);
    keys_.reserve(count);
    text_.reserve(count * length);
}

void KeyedSet::RewindTo(std::size_t size) noexcept {
    // The table always looks as if its keys had been added in order (Rehash() places them so):
    // the newest key lies on no other key's probe run, and its slot can simply be emptied.
    while (keys_.size() > size) {
        const Key& k = keys_.back();
        slots_[Find(std::string_view(text_.data() + k.offset, k.length), k.hash)] = kEmpty;
        text_.resize_down(k.offset);
        keys_.pop_back();
    }
}

void KeyedSet::Clear() noexcept {
    text_.clear();
    keys_.clear();
    slots_.clear();
    marked_ = 0;
}

} // namespace quorvel::base
