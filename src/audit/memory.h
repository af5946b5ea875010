// Every allocation of the audit goes through here: running out of memory is
// an input like any other, and tests make any one allocation fail to see it
// handled.
#ifndef PORTSLOT_AUDIT_MEMORY_H
#define PORTSLOT_AUDIT_MEMORY_H

#include <stddef.h>

namespace portslot::audit {

// realloc(block, size), and calloc(count, size): null when memory ran out.
void *reallocate(void *block, size_t size);
void *allocate_zeroed(size_t count, size_t size);

// For tests: the allocation after the next `granted` ones fails, and every
// one after it succeeds again; a negative number lets every one succeed.
void fail_allocation_after(long granted);

} // namespace portslot::audit

#endif
