// Writing the plan: a row per device listed, and the summary.
#ifndef PORTSLOT_AUDIT_PLAN_WRITER_H
#define PORTSLOT_AUDIT_PLAN_WRITER_H

#include <stdint.h>

#include "device_identity.h"
#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

struct plan_summary {
    uint64_t devices = 0;
    uint64_t blocks_in_use = 0;
    uint64_t shared_blocks = 0;
    uint64_t sharing_devices = 0; // devices in shared blocks
};

// Writes one line per device of the sorted `devices`,
// "first-last<TAB>mac<TAB>label": every device when `all`, else only those
// that share their block with another device; control bytes escaped when
// `escape`. Of a device listed twice the first entry is kept, and every
// later one goes to `duplicates`, in input order.
plan_summary write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                        const port_range &range, bool all, bool escape, output &out,
                        growing_array<duplicate> &duplicates);

// "D devices, U of B blocks in use, S shared by K devices", and when there
// are more devices than blocks a second line with the sharing that no choice
// of addresses avoids.
void write_summary(const plan_summary &summary, int64_t blocks, output &out);

} // namespace portslot::audit

#endif
