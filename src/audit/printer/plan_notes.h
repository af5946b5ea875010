// What the plan's stages find that is said on standard error: the ports
// that no device holds (--port), and for --suggest the progress of its
// search and the devices that no range separates.
#ifndef PORTSLOT_AUDIT_PLAN_NOTES_H
#define PORTSLOT_AUDIT_PLAN_NOTES_H

#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"
#include "port_query.h"
#include "suggest.h"
#include "unavoidable_sharing.h"

namespace portslot::audit {

// "portslot-audit: no device holds port P" for each of `misses`, and why
// when no block of `range` can hold it.
void write_port_misses(const growing_array<port_miss> &misses, const port_range &range,
                       output &err);

// The line that a search over `range` shows on a terminal, rewritten in
// place; cleared when `tried` is 0.
void write_progress(output &err, const port_range &range, int64_t tried, int64_t last,
                    suggestion best);

// Progress that writes that line to `err`, both of which must outlive the
// search.
struct terminal_progress {
    output &err;
    const port_range &range;
    search_progress progress;

    terminal_progress(output &to, const port_range &over);
    terminal_progress(const terminal_progress &) = delete;
};

// The progress of `on`, where standard error is a terminal (a person
// watching); else null. PORTSLOT_AUDIT_PROGRESS_MS, for the tests, shortens
// the second it waits before the first line.
const search_progress *progress_on_terminal(terminal_progress &on);

// "portslot-audit: these devices share a block in every range up to
// --port-max N: MAC (FILE:LINE), ..." for each group.
void write_unavoidable_sharing(const inseparable_groups &groups, const fleet &inventories,
                               int32_t port_max, output &err);

} // namespace portslot::audit

#endif
