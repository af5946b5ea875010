// The port plan of a fleet: which block each device gets, which blocks are
// shared, and the lines and summary that say so.
#ifndef PORTSLOT_AUDIT_PORT_PLAN_H
#define PORTSLOT_AUDIT_PORT_PLAN_H

#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

namespace portslot::audit {

struct port_range {
    std::int32_t port_min, port_max, port_count;
};

struct device {
    std::int32_t first_port; // of its block: what portslot --port-num 1 prints
    const char *mac;         // as written in the inventory
    std::string_view label;
};

struct plan_summary {
    std::size_t devices = 0;
    std::size_t blocks_in_use = 0;
    std::size_t shared_blocks = 0;
    std::size_t sharing_devices = 0; // devices in shared blocks
};

// Orders `devices` by block, keeping input order within a block, and writes
// one line per device, "first-last<TAB>mac<TAB>label": every device when
// `all`, else only those that share their block.
plan_summary write_plan(std::vector<device> &devices, const port_range &range, bool all,
                        std::FILE *out);

// "D devices, U of B blocks in use, S shared by K devices", and when there
// are more devices than blocks a second line with the sharing that no choice
// of addresses avoids.
void write_summary(const plan_summary &summary, std::int64_t blocks, std::FILE *out);

} // namespace portslot::audit

#endif
