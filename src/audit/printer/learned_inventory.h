// --learn's output: the CSV inventory as it was, each device a host key was
// learnt for given that key in the host-key column, appended where the
// header lacks it.
#ifndef PORTSLOT_AUDIT_LEARNED_INVENTORY_H
#define PORTSLOT_AUDIT_LEARNED_INVENTORY_H

#include <stdint.h>

#include "growing_array.h"
#include "inventory.h"
#include "output.h"
#include "port_holders.h"

namespace portslot::audit {

// Writes `inv` (CSV; its records from `base` in the fleet's offsets) with
// the `learned` keys (their texts in `texts`) in column `column`, or in a
// column `name` appended when `column` is 0.
void write_learned_inventory(const inventory &inv, uint64_t base, uint32_t column,
                             const char *name, const growing_array<learned_key> &learned,
                             const char *texts, output &out);

} // namespace portslot::audit

#endif
