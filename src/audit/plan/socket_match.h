// The plan beside the sockets that listen on the server: which devices are
// connected (some port of their block listens, and the block is theirs
// alone), which are not (no port of their block listens), which cannot be
// told (their block is shared and listens: one of them holds it, and the
// sockets cannot say which), and which ports of the range
// listen that no device of the inventory holds (a device missing from it, or
// another service).
#ifndef PORTSLOT_AUDIT_SOCKET_MATCH_H
#define PORTSLOT_AUDIT_SOCKET_MATCH_H

#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "port_set.h"

namespace portslot::audit {

struct port_holders;

struct socket_match {
    const port_set &listening;
    uint64_t connected = 0, not_connected = 0, cannot_tell = 0; // devices
    growing_array<int32_t> unheld;             // ports, ascending
    // The devices that hold their blocks' SSH ports, as their host keys
    // say (--identify); null when not asked. Ports an unknown key answers.
    const port_holders *holders = nullptr;
    uint64_t unknown_keys = 0;
};

// Matches the sorted, distinct `devices`, placed in `range` (or each in its
// own of `ranges`, never null), with `m.listening`.
void match_sockets(const growing_array<uint64_t> &devices, const port_range &range,
                   const fleet_ranges *ranges, socket_match &m);

} // namespace portslot::audit

#endif
