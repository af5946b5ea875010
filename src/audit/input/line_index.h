// The line numbers of records, counted only when something names them.
#ifndef PORTSLOT_AUDIT_LINE_INDEX_H
#define PORTSLOT_AUDIT_LINE_INDEX_H

#include <stddef.h>
#include <stdint.h>

#include <algorithm>

#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// The line on which each record at `offsets` (ascending) starts, in one
// pass over each inventory.
void number_lines(const fleet &inventories, const uint64_t *offsets, size_t count, uint64_t *lines);

// The line of every device, for a plan that names them all: the offsets of
// their records, ascending, and their lines.
struct line_index {
    growing_array<uint64_t> offsets, lines;

    // The line of the device whose record is at `offset`.
    uint64_t line_of(uint64_t offset) const
    {
        const uint64_t *at = std::lower_bound(offsets.items, offsets.items + offsets.size, offset);
        return lines.items[at - offsets.items];
    }
};

} // namespace portslot::audit

#endif
