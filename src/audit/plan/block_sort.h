// Ordering devices by block.
#ifndef PORTSLOT_AUDIT_BLOCK_SORT_H
#define PORTSLOT_AUDIT_BLOCK_SORT_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// Orders `devices` by block, keeping input order within a block, in time
// linear in their number.
void sort_by_block(growing_array<uint64_t> &devices);

// Orders `values` by their bits from `low` up to, not with, `high` (the bits
// above must be the same in all of them), keeping the order of values whose
// bits are equal, in time linear in their number.
void sort_by_bits(growing_array<uint64_t> &values, int low, int high);

// The end of the block that starts at `begin`.
inline size_t block_end(const growing_array<uint64_t> &devices, size_t begin)
{
    const uint64_t block = block_of(devices.items[begin]);
    size_t end = begin + 1;
    while (end < devices.size && block_of(devices.items[end]) == block)
        ++end;
    return end;
}

} // namespace portslot::audit

#endif
