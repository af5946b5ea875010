// Every allocation of the audit goes through here. Running out of memory
// ends the run, in one place: the stages never see a failed allocation.
// Tests make any one allocation fail to see it handled.
#ifndef PORTSLOT_AUDIT_MEMORY_H
#define PORTSLOT_AUDIT_MEMORY_H

#include <stddef.h>

namespace portslot::audit {

// realloc(block, size), and calloc(count, size), that never return null:
// when memory runs out the run ends with "SUBJECT: Cannot allocate memory".
void *reallocate(void *block, size_t size);
void *allocate_zeroed(size_t count, size_t size);

// Ends the run as above.
[[noreturn]] void out_of_memory();

// What the run is working on, for that message: an inventory's name while it
// is read, else null (then the message names nothing).
void set_memory_subject(const char *subject);

// For tests: the allocation after the next `granted` ones fails; a negative
// number lets every one succeed. allocations() counts those asked for.
void fail_allocation_after(long granted);
long allocations();

} // namespace portslot::audit

#endif
