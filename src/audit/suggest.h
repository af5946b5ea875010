// The search behind --suggest: the number of blocks under which a fleet
// leaves the fewest devices sharing, and among those the smallest.
#ifndef PORTSLOT_AUDIT_SUGGEST_H
#define PORTSLOT_AUDIT_SUGGEST_H

#include <stddef.h>
#include <stdint.h>

namespace portslot::audit {

struct suggestion {
    int64_t blocks;   // 0 when memory ran out
    uint64_t sharing; // devices in shared blocks
};

// How a search that runs for more than a second tells how far it has come:
// `tried` of the `last` numbers of blocks it may try, and the best so far;
// once more with `tried` 0 when it is done.
struct search_progress {
    void (*report)(void *context, int64_t tried, int64_t last, suggestion best);
    void *context;
};

// Over every number of blocks from 1 to `max_blocks`, for the distinct
// devices whose keys are `keys`: a device's block is its key modulo the
// number of blocks, as in the derivation. It stops where no larger number
// can do better. `progress` may be null.
suggestion search_blocks(const uint64_t *keys, size_t count, int64_t max_blocks,
                         const search_progress *progress = nullptr);

} // namespace portslot::audit

#endif
