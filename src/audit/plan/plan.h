// The plan: the devices of a fleet in block order, each listed once, in the
// range they were placed in; which of them have rows; and what the summary
// counts. A device stays eight bytes (its block's first port and where its
// record is); its record is read again when its row is written.
#ifndef PORTSLOT_AUDIT_PLAN_H
#define PORTSLOT_AUDIT_PLAN_H

#include <stdint.h>

#include "block_sort.h"
#include "fleet.h"
#include "growing_array.h"
#include "socket_match.h"

namespace portslot::audit {

struct plan_summary {
    uint64_t devices = 0;
    uint64_t blocks = 0; // whole blocks of the range
    uint64_t blocks_in_use = 0;
    uint64_t shared_blocks = 0;
    uint64_t sharing_devices = 0; // devices in shared blocks
    // Beside the sockets that listen (--listening): devices connected and
    // not, devices of shared blocks that listen (one of them is connected,
    // the sockets cannot tell which), and ports of the range that listen,
    // held by no device.
    bool listening = false;
    uint64_t connected = 0, not_connected = 0, cannot_tell = 0, unheld_ports = 0;

    // The devices that share whatever their addresses are: each block beyond
    // the last holds at least one device more, and the first shared block
    // holds two, so devices - blocks + 1 at least.
    uint64_t must_share() const { return devices > blocks ? devices - blocks + 1 : 0; }
};

// Which devices have rows.
enum class rows_of { shared_blocks, every_device };

struct plan {
    port_range range;
    const growing_array<uint64_t> &devices; // sorted by block, distinct
    rows_of rows;
    plan_summary summary;
    const socket_match *sockets = nullptr; // --listening: the sockets beside the plan

    // True when the block of `count` devices has rows.
    bool has_rows(size_t count) const { return count > 1 || rows == rows_of::every_device; }
};

// The plan of the sorted, distinct `devices`, placed in `range`; with
// `sockets`, beside them.
plan make_plan(const growing_array<uint64_t> &devices, const port_range &range, rows_of rows,
               const socket_match *sockets = nullptr);

// The last port of the block whose first is `first`, as portslot
// --port-num <count> gives it: the block's ports lie two apart.
inline int32_t last_port(int32_t first, const port_range &range)
{
    return static_cast<int32_t>(int64_t{first} + 2 * (int64_t{range.port_count} - 1));
}

} // namespace portslot::audit

#endif
