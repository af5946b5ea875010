#include "large_pages.h"

#include <stdint.h>
#include <sys/mman.h>

namespace portslot::audit {

void prefer_large_pages(void *start, size_t size)
{
    constexpr uintptr_t large = uintptr_t{1} << 21;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(start) + large - 1) & ~(large - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(start) + size) & ~(large - 1);
    if (first < last)
        madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
}

} // namespace portslot::audit
