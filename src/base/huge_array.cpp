#include "base/huge_array.hpp"

#include <cstdlib>
#include <new>
#ifndef _WIN32
#include <sys/mman.h>
#endif

namespace quorvel::base {

#ifdef _WIN32
// Windows gives large pages only to accounts holding a privilege that club workstations do not
// grant: plain memory, which std::free releases like the rest.
void* AllocateLarge(std::size_t& bytes) {
    void* p = std::malloc(bytes);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
#else
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
#endif

} // namespace quorvel::base
