#include "memory.h"

#include <stdlib.h>

namespace portslot::audit {

namespace {

long allocations_until_failure = -1;

bool grant()
{
    if (allocations_until_failure < 0)
        return true;
    return allocations_until_failure-- != 0;
}

} // namespace

void *reallocate(void *block, size_t size)
{
    return grant() ? realloc(block, size) : nullptr;
}

void *allocate_zeroed(size_t count, size_t size)
{
    return grant() ? calloc(count, size) : nullptr;
}

void fail_allocation_after(long granted)
{
    allocations_until_failure = granted;
}

} // namespace portslot::audit
