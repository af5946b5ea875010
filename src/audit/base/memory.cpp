#include "memory.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include "fatal.h"

namespace portslot::audit {

namespace {

long allocations_until_failure = -1;
long allocations_made = 0;
const char *memory_subject = nullptr;

void *granted(void *block)
{
    if (block == nullptr)
        out_of_memory();
    return block;
}

bool grant()
{
    ++allocations_made;
    if (allocations_until_failure < 0)
        return true;
    return allocations_until_failure-- != 0;
}

} // namespace

void *reallocate(void *block, size_t size)
{
    return granted(grant() ? realloc(block, size) : nullptr);
}

void *allocate_zeroed(size_t count, size_t size)
{
    return granted(grant() ? calloc(count, size) : nullptr);
}

void out_of_memory()
{
    fatal(memory_subject, strerror(ENOMEM));
}

void set_memory_subject(const char *subject)
{
    memory_subject = subject;
}

void fail_allocation_after(long granted)
{
    allocations_until_failure = granted;
}

long allocations()
{
    return allocations_made;
}

} // namespace portslot::audit
