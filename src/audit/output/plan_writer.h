// Writing the plan: a row per device listed, and the summary.
#ifndef PORTSLOT_AUDIT_PLAN_WRITER_H
#define PORTSLOT_AUDIT_PLAN_WRITER_H

#include <stdint.h>

#include "device_identity.h"
#include "fleet.h"
#include "growing_array.h"
#include "line_index.h"
#include "output.h"

namespace portslot::audit {

struct plan_summary {
    uint64_t devices = 0;
    uint64_t blocks_in_use = 0;
    uint64_t shared_blocks = 0;
    uint64_t sharing_devices = 0; // devices in shared blocks
};

// How the plan is written.
struct plan_style {
    bool all = false;    // every device, not only those that share a block
    bool escape = false; // control bytes escaped (for a terminal)
    // JSON Lines instead of text, naming each device's line from here.
    const line_index *json = nullptr;
};

// Writes one row per device of the sorted, distinct `devices`: every device
// with `style.all`, else only those that share their block with another. As
// text, "first-last<TAB>mac<TAB>label".
plan_summary write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                        const port_range &range, const plan_style &style, output &out);

// "D devices, U of B blocks in use, S shared by K devices", and when there
// are more devices than blocks a second line with the sharing that no choice
// of addresses avoids; or all of it as one JSON object.
void write_summary(const plan_summary &summary, int64_t blocks, bool json, output &out);

// The options of a range found, "--port-min N --port-max N --port-count N",
// or as a JSON object.
void write_range(const port_range &range, bool json, output &out);

} // namespace portslot::audit

#endif
