#include "base/keyed_set.hpp"

#include <quorvel/error.hpp>

#include <algorithm>
#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace quorvel::base {

namespace {

inline char Fold(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
}

std::uint64_t FoldHash(std::string_view s) noexcept {
    std::uint64_t h = 1469598103934665603ull;
    for (char c : s) {
        h ^= static_cast<unsigned char>(Fold(c));
        h *= 1099511628211ull;
    }
    // The low bits pick the slot: mix the high ones down.
    return h ^ (h >> 29) ^ (h >> 47);
}

} // namespace

std::size_t KeyedSet::Find(std::string_view key, std::uint64_t hash) const noexcept {
    const std::size_t mask = slotCount_ - 1;
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

bool KeyedSet::Contains(std::string_view key) const {
    if (keys_.empty()) return false;
    return slots_[Find(key, FoldHash(key))] != kEmpty;
}

void KeyedSet::Add(std::string_view key) {
    // At most half full, so that probe runs stay short.
    if ((keys_.size() + 1) * 2 > slotCount_) Rehash(slotCount_ == 0 ? 64 : slotCount_ * 2);
    std::uint64_t hash = FoldHash(key);
    std::size_t slot = Find(key, hash);
    if (slots_[slot] != kEmpty)
        throw Error(errnum::kDuplicateKey, "Cette clé est déjà associée à un élément de cette collection");
    Key k{hash, static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(key.size())};
    for (char c : key)
        text_ += Fold(c);
    slots_[slot] = Slot(hash, keys_.size());
    keys_.push_back(k);
}

void KeyedSet::Free::operator()(std::uint64_t* p) const noexcept {
    std::free(p);
}

void KeyedSet::Rehash(std::size_t size) {
    constexpr std::size_t kHugePage = 2 << 20;
    std::size_t bytes = size * sizeof(std::uint64_t);
    void* p = bytes >= kHugePage ? std::aligned_alloc(kHugePage, bytes) : std::malloc(bytes);
    if (p == nullptr) throw std::bad_alloc();
    if (bytes >= kHugePage) ::madvise(p, bytes, MADV_HUGEPAGE);
    slots_.reset(static_cast<std::uint64_t*>(p));
    slotCount_ = size;
    std::fill_n(slots_.get(), size, kEmpty);
    const std::size_t mask = size - 1;
    for (std::size_t index = 0; index < keys_.size(); ++index) {
        std::size_t slot = keys_[index].hash & mask;
        while (slots_[slot] != kEmpty)
            slot = (slot + 1) & mask;
        slots_[slot] = Slot(keys_[index].hash, index);
    }
}

void KeyedSet::Reserve(std::size_t count, std::size_t length) {
    std::size_t size = slotCount_ == 0 ? 64 : slotCount_;
    while (count * 2 > size)
        size *= 2;
    if (size > slotCount_) Rehash(size);
    keys_.reserve(count);
    text_.reserve(count * length);
}

void KeyedSet::Rewind() noexcept {
    // The table always looks as if its keys had been added in order (Rehash() places them so):
    // the newest key lies on no other key's probe run, and its slot can simply be emptied.
    while (keys_.size() > marked_) {
        const Key& k = keys_.back();
        slots_[Find(std::string_view(text_).substr(k.offset, k.length), k.hash)] = kEmpty;
        text_.resize(k.offset);
        keys_.pop_back();
    }
}

void KeyedSet::Clear() noexcept {
    text_.clear();
    keys_.clear();
    slots_.reset();
    slotCount_ = 0;
    marked_ = 0;
}

} // namespace quorvel::base
