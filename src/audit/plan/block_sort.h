// Ordering devices by block.
#ifndef PORTSLOT_AUDIT_BLOCK_SORT_H
#define PORTSLOT_AUDIT_BLOCK_SORT_H

#include <stdint.h>

#include "growing_array.h"

namespace portslot::audit {

// Orders `devices` by block, keeping input order within a block, in time
// linear in their number.
void sort_by_block(growing_array<uint64_t> &devices);

} // namespace portslot::audit

#endif
