// --place's output: the inventory as it was, each new device's range (and
// server) filled in its placement columns, appended where the header lacks
// them; and the summary of where the devices went.
#ifndef PORTSLOT_AUDIT_PLACED_INVENTORY_H
#define PORTSLOT_AUDIT_PLACED_INVENTORY_H

#include "fleet.h"
#include "output.h"
#include "range_assignment.h"

namespace portslot::audit {

// Writes the fleet's one inventory with the placement of `a` (with a server
// column when `with_server`) on `out`, as CSV; the new devices placed
// nowhere are said on `err`.
void write_placed_inventory(const fleet &inventories, const range_assignment &a, bool with_server,
                            output &out, output &err);

// "N devices: N in the fleet's range A-B, N in A-B, ...; N with a setting,
// N placed nowhere", a server a part where there are several.
void write_placement_summary(const fleet &inventories, const range_assignment &a, output &err);

} // namespace portslot::audit

#endif
