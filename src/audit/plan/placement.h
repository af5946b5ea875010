// Giving the devices of a fleet their blocks in another range, for the
// search: the keys of the distinct devices, and their places again.
#ifndef PORTSLOT_AUDIT_PLACEMENT_H
#define PORTSLOT_AUDIT_PLACEMENT_H

#include <stdint.h>

#include "device_identity.h"
#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// The key of the device of `e`, as the derivation reads it from the address.
uint64_t key_of(const entry &e);

// The key of each of `devices`, as the derivation reads it from the address.
void keys_of(const growing_array<uint64_t> &devices, const fleet &inventories,
             growing_array<uint64_t> &keys);

// Gives every device the block that `range` gives it, and sorts them by
// block, in input order within a block.
void place_devices(growing_array<uint64_t> &devices, const fleet &inventories,
                   const port_range &range);

} // namespace portslot::audit

#endif
