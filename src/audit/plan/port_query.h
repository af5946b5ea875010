// --port: which devices hold a port.
#ifndef PORTSLOT_AUDIT_PORT_QUERY_H
#define PORTSLOT_AUDIT_PORT_QUERY_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

// Keeps, of the sorted `devices`, those whose block in `range` (of `blocks`
// blocks) holds one of the `count` `ports`, in block order. Says of each
// port that no device holds so, and why when no block can hold it. True
// when a device holds every one.
bool keep_port_holders(growing_array<uint64_t> &devices, const int32_t *ports, size_t count,
                       const port_range &range, int64_t blocks, output &err);

} // namespace portslot::audit

#endif
