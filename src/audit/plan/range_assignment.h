// --place: each device that has no range of its own yet is given one, and a
// server: the fleet's range where its block there is free, else the first
// overflow range where it is, else the next server's ranges in the same
// order. Devices placed already keep their blocks. Without overflow ranges
// given, the bounds are cut into the fleet's range and overflow ranges so
// that the fewest devices need a setting. (Not --suggest's placement, which
// moves every device into one range.)
#ifndef PORTSLOT_AUDIT_RANGE_ASSIGNMENT_H
#define PORTSLOT_AUDIT_RANGE_ASSIGNMENT_H

#include <stddef.h>
#include <stdint.h>

#include "block_of_address.h"
#include "fleet.h"
#include "growing_array.h"

namespace portslot::audit {

// A range a new device may take, on a server (an index of fleet_ranges).
struct range_choice {
    int32_t port_min, port_max;
    uint32_t server;
    uint64_t devices = 0; // placed in it, new or not
};

// What --place decided: the ranges in the order tried, and each new
// device's choice by its place (`offset << 16 | choice`, in input order;
// choice `nowhere` when every block it could take is taken).
struct range_assignment {
    growing_array<range_choice> choices;
    growing_array<uint64_t> new_devices;
    uint64_t kept = 0;     // devices placed already
    uint64_t nowhere = 0;  // new devices placed nowhere
    static constexpr uint64_t nowhere_choice = 0xffff;
};

// What --place is given: the bounds (the fleet's range when `overflow` is
// given), the overflow ranges, the servers (at least one index).
struct placement_request {
    port_range bounds;
    const port_bounds *overflow;
    size_t overflow_count;
    size_t server_count; // the first servers of fleet_ranges, in order
};

// Places the distinct `devices` of `inventories` (loaded with the fleet's
// ranges). A device is new when its record has no placement fields filled.
// false after saying why on `err` when an overflow range given holds ports
// of another range in part.
bool assign_ranges(const growing_array<uint64_t> &devices, const fleet &inventories,
                   const placement_request &request, range_assignment &result, output &err);

} // namespace portslot::audit

#endif
