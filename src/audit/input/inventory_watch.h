// Mapped inventories whose files shrink while they are read: their pages
// gone, which the system reports as a bus error, end the run as a change.
#ifndef PORTSLOT_AUDIT_INVENTORY_WATCH_H
#define PORTSLOT_AUDIT_INVENTORY_WATCH_H

#include <stddef.h>

#include "inventory.h"

namespace portslot::audit {

// From now on, a mapped inventory whose file shrinks while it is read ends
// the run with "changed while being read", naming the one of the first
// `*loaded` of `*inventories` that holds the address.
void watch_mappings(const inventory *const *inventories, const size_t *loaded);

} // namespace portslot::audit

#endif
