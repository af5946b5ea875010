// --port: which devices hold a port.
#ifndef PORTSLOT_AUDIT_PORT_QUERY_H
#define PORTSLOT_AUDIT_PORT_QUERY_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// A port asked that no device holds, and why: no device's block holds it,
// or no block can (outside the range, odd, past its last whole block).
struct port_miss {
    int32_t port;
    enum { unheld, outside, odd, past, no_range } why; // no_range: in no device's own range
    int32_t last_whole; // past: the last port of the range's last whole block
};

// Keeps, of the sorted `devices`, those whose block in `range` (of `blocks`
// blocks), or in their own range (`ranges`, where placed), holds one of the
// `count` `ports`, in block order; the ports that no device holds go into
// `misses`, in the order asked.
void keep_port_holders(growing_array<uint64_t> &devices, const int32_t *ports, size_t count,
                       const port_range &range, int64_t blocks, growing_array<port_miss> &misses,
                       const fleet_ranges *ranges = nullptr);

} // namespace portslot::audit

#endif
