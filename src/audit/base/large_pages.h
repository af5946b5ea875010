// Large pages for large blocks of memory: far fewer page faults and TLB
// misses when millions of devices are held.
#ifndef PORTSLOT_AUDIT_LARGE_PAGES_H
#define PORTSLOT_AUDIT_LARGE_PAGES_H

#include <stddef.h>

namespace portslot::audit {

// Asks for large pages for the whole 2 MiB pages within [start, start + size).
void prefer_large_pages(void *start, size_t size);

} // namespace portslot::audit

#endif
