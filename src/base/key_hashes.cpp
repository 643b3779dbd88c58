#include "base/key_hashes.hpp"

#include "base/keyed_set.hpp"

namespace quorvel::base {

std::uint64_t KeyHashes::Hash(std::string_view first, std::string_view second) noexcept {
    // The unit separator keeps ("AB", "C") apart from ("A", "BC").
    std::uint64_t hash = FoldedHash(first, "\x1f") ^ FoldedHash(second) * 31;
    return hash != 0 ? hash : 1;
}

std::size_t KeyHashes::Find(std::uint64_t hash) const noexcept {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0 && slots_[slot] != hash)
        slot = (slot + 1) & mask;
    return slot;
}

void KeyHashes::Add(std::string_view first, std::string_view second) {
    // At most three quarters full, so that a probe ends soon.
    if ((count_ + 1) * 4 > slots_.size() * 3) {
        std::vector<std::uint64_t> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, 0);
        for (std::uint64_t hash : old)
            if (hash != 0) slots_[Find(hash)] = hash;
    }
    const std::uint64_t hash = Hash(first, second);
    std::uint64_t& slot = slots_[Find(hash)];
    if (slot == 0) ++count_;
    slot = hash;
}

bool KeyHashes::MaybeContains(std::string_view first, std::string_view second) const noexcept {
    if (slots_.empty()) return false;
    const std::uint64_t hash = Hash(first, second);
    return slots_[Find(hash)] == hash;
}

void KeyHashes::Clear() noexcept {
    std::vector<std::uint64_t>().swap(slots_);
    count_ = 0;
}

} // namespace quorvel::base
