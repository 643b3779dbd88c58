#include "base/huge_array.hpp"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

namespace quorvel::base {

void* AllocateLarge(std::size_t& bytes) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    void* p = nullptr;
    if (bytes >= kHugePage) {
        bytes = (bytes + kHugePage - 1) / kHugePage * kHugePage;
        p = std::aligned_alloc(kHugePage, bytes);
        if (p != nullptr) ::madvise(p, bytes, MADV_HUGEPAGE);
    } else {
        p = std::malloc(bytes);
    }
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

} // namespace quorvel::base
