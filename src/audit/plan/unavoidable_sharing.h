// Devices that share a block whatever range --suggest could find: saying
// which, so that nobody searches for a range that cannot exist.
#ifndef PORTSLOT_AUDIT_UNAVOIDABLE_SHARING_H
#define PORTSLOT_AUDIT_UNAVOIDABLE_SHARING_H

#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

// The number that two keys must be equal modulo to share a block under every
// number of blocks from 1 to `max_blocks`: the least common multiple of those
// numbers, or 0 when it exceeds every key (the keys must then be equal).
uint64_t inseparable_modulus(int64_t max_blocks);

// For the sorted `devices`, placed in the range found: "portslot-audit:
// these devices share a block in every range up to --port-max N: MAC
// (FILE:LINE), ..." once for each group of distinct devices that no range of
// 1 to `max_blocks` blocks separates.
void write_unavoidable_sharing(const growing_array<uint64_t> &devices, const fleet &inventories,
                               int64_t max_blocks, int32_t port_max, output &err);

} // namespace portslot::audit

#endif
