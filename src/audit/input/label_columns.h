// Columns of a CSV inventory left out of its devices' labels (--drop-column),
// so that an inventory holding the keys serves every audit: which columns
// they are in each file, and a label without them.
#ifndef PORTSLOT_AUDIT_LABEL_COLUMNS_H
#define PORTSLOT_AUDIT_LABEL_COLUMNS_H

#include <stddef.h>
#include <stdint.h>

#include "growing_array.h"
#include "fleet.h"
#include "inventory.h"
#include "inventory_lines.h"

namespace portslot::audit {

// Finds the `count` columns `names` (each a column's name, compared as the
// address column's is, or a number from 1) in the header of `inv`. A column
// it does not have, or the addresses' own, ends the run.
void find_dropped_columns(inventory &inv, const char *const *names, size_t count);

inline bool is_dropped(const inventory &inv, uint64_t column)
{
    for (size_t i = 0; i < inv.dropped_count; ++i)
        if (inv.dropped[i] == column)
            return true;
    return false;
}

// True when an inventory of `inventories` drops a column.
bool drops_columns(const fleet &inventories);

// The label of `e`, the record at `offset` of `inventories`, without the
// columns its inventory drops: written into `label`, which `e` then points
// to.
[[gnu::noinline]] void drop_columns(const fleet &inventories, uint64_t offset, entry &e,
                                    growing_array<char> &label);

} // namespace portslot::audit

#endif
