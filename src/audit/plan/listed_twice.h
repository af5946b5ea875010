// Devices listed twice: one entry of each is kept, the others reported.
#ifndef PORTSLOT_AUDIT_LISTED_TWICE_H
#define PORTSLOT_AUDIT_LISTED_TWICE_H

#include <stdint.h>

#include "device_identity.h"
#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// Which entry of a device listed twice is kept: the first, or the last (for
// append logs, where a device's later entry is the current one).
enum class kept_entry { first, last };

// Keeps one entry of each device of the sorted `devices` (in block order
// still), and puts each other one in `duplicates`, in input order.
void drop_listed_twice(growing_array<uint64_t> &devices, const fleet &inventories, kept_entry keep,
                       growing_array<duplicate> &duplicates);

} // namespace portslot::audit

#endif
