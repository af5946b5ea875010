// The search behind --suggest: the number of blocks under which a fleet
// leaves the fewest devices sharing, and among those the smallest.
#ifndef PORTSLOT_AUDIT_SUGGEST_H
#define PORTSLOT_AUDIT_SUGGEST_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "unavoidable_sharing.h"

namespace portslot::audit {

struct suggestion {
    int64_t blocks;
    uint64_t sharing; // devices in shared blocks
};

// How a search that runs for longer than `after_ms` (about a second) tells
// how far it has come: `tried` of the `last` numbers of blocks it may try,
// and the best so far; once more with `tried` 0 when it is done.
struct search_progress {
    void (*report)(void *context, int64_t tried, int64_t last, suggestion best);
    void *context;
    int64_t after_ms = 1000;
};

// Over every number of blocks from 1 to `max_blocks` (at least 1), for the distinct
// devices whose keys are `keys`: a device's block is its key modulo the
// number of blocks, as in the derivation. It stops where no larger number
// can do better. `progress` may be null.
suggestion search_blocks(const uint64_t *keys, size_t count, int64_t max_blocks,
                         const search_progress *progress = nullptr);

// The range from range.port_min that holds `blocks` blocks, and no more.
port_range range_of_blocks(const port_range &range, int64_t blocks);

// Finds the range up to range.port_max (of `max_blocks` blocks) that leaves
// the fewest of the distinct `devices` sharing, and among those the
// smallest, and gives the devices their blocks in it; gathers in
// `inseparable` the devices that no range within the bounds separates.
// `progress` may be null.
port_range suggest_range(growing_array<uint64_t> &devices, const fleet &inventories,
                         const port_range &range, int64_t max_blocks,
                         const search_progress *progress, inseparable_groups &inseparable);

} // namespace portslot::audit

#endif
