// The line numbers of records, counted only where something names them
// (devices listed twice, JSON rows, devices no range separates), in one pass
// over the text rather than noted for every record while loading.
#ifndef PORTSLOT_AUDIT_LINE_NUMBERS_H
#define PORTSLOT_AUDIT_LINE_NUMBERS_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"

namespace portslot::audit {

// The line on which each record at `offsets` (ascending) starts, in one
// pass over each inventory. `lines` may be `offsets` itself.
void number_lines(const fleet &inventories, const uint64_t *offsets, size_t count, uint64_t *lines);

} // namespace portslot::audit

#endif
