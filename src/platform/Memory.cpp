#include "platform/Memory.h"

#include <sys/mman.h>

#include <cstdint>

namespace kr {

void AdviseLargePages(void* p, size_t n) {
#ifdef MADV_HUGEPAGE
    constexpr uintptr_t kLarge = uintptr_t(2) << 20;
    uintptr_t first = (reinterpret_cast<uintptr_t>(p) + kLarge - 1) & ~(kLarge - 1);
    uintptr_t last = (reinterpret_cast<uintptr_t>(p) + n) & ~(kLarge - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)p;
    (void)n;
#endif
}

}  // namespace kr
