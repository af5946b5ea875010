// Devices that share a block whatever range --suggest could find: which they
// are, so that nobody searches for a range that cannot exist.
#ifndef PORTSLOT_AUDIT_UNAVOIDABLE_SHARING_H
#define PORTSLOT_AUDIT_UNAVOIDABLE_SHARING_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// The number that two keys must be equal modulo to share a block under every
// number of blocks from 1 to `max_blocks`: the least common multiple of those
// numbers, or 0 when it exceeds every key (the keys must then be equal).
uint64_t inseparable_modulus(int64_t max_blocks);

// A device that shares a block in every range: where its record is, and its
// address.
struct inseparable_device {
    uint64_t value, offset; // its key modulo the inseparable modulus
    const char *mac;
    size_t mac_size;
};

// The groups of distinct devices that no range of 1 to `max_blocks` blocks
// separates: their devices one group after another (in input order within
// a group), and where each group ends.
struct inseparable_groups {
    growing_array<inseparable_device> devices;
    growing_array<size_t> ends;
};

// The groups among the sorted `devices`, placed in the range found.
void find_inseparable_groups(const growing_array<uint64_t> &devices, const fleet &inventories,
                             int64_t max_blocks, inseparable_groups &groups);

} // namespace portslot::audit

#endif
