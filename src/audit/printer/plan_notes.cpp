#include "plan_notes.h"

#include <stdlib.h>
#include <unistd.h>

#include "fatal.h"
#include "record_places.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// Writes "MAC (FILE:LINE)" for each device of the group [from, to).
void write_group(const inseparable_device *from, const inseparable_device *to,
                 const record_places &places, int32_t port_max, output &err)
{
    warn(err, "these devices share a block in every range up to --port-max ");
    err.number(port_max);
    err.text(":");
    for (const inseparable_device *r = from; r != to; ++r) {
        err.text(r == from ? " " : ", ");
        write_cut(err, r->mac, r->mac_size, 64);
        err.text(" (");
        places.write(err, r->offset);
        err.text(")");
    }
    err.text("\n");
}

} // namespace

void write_port_misses(const growing_array<port_miss> &misses, const port_range &range,
                       output &err)
{
    for (size_t i = 0; i < misses.size; ++i) {
        warn(err, "no device holds port ");
        err.number(misses.items[i].port);
        switch (misses.items[i].why) {
        case port_miss::outside:
            err.text(": it is outside the range ");
            err.number(range.port_min);
            err.text(" to ");
            err.number(range.port_max);
            break;
        case port_miss::no_range:
            err.text(": no range the devices are placed in holds it");
            break;
        case port_miss::odd:
            err.text(": it is odd, and blocks hold even ports only");
            break;
        case port_miss::past:
            err.text(": it is past the last whole block, which ends at ");
            err.number(misses.items[i].last_whole);
            break;
        case port_miss::unheld:
            break;
        }
        err.text("\n");
    }
}

void write_progress(output &err, const port_range &range, int64_t tried, int64_t last,
                    suggestion best)
{
    err.text("\r");
    if (tried != 0) {
        warn(err, "searching: ");
        err.number(tried);
        err.text(" of ");
        err.number(last);
        err.text(" block counts (");
        err.number(tried * 100 / last);
        err.text("%), best so far --port-max ");
        err.number(range_of_blocks(range, best.blocks).port_max);
        err.text(" with ");
        err.number(static_cast<int64_t>(best.sharing));
        err.text(" devices sharing");
    }
    err.text("\x1b[K");
    err.flush();
}

terminal_progress::terminal_progress(output &to, const port_range &over)
    : err(to),
      range(over), progress{[](void *context, int64_t tried, int64_t last, suggestion best) {
                                const auto *self = static_cast<const terminal_progress *>(context);
                                write_progress(self->err, self->range, tried, last, best);
                            },
                            this}
{
}

const search_progress *progress_on_terminal(terminal_progress &on)
{
    if (const char *ms = getenv("PORTSLOT_AUDIT_PROGRESS_MS"))
        on.progress.after_ms = atoi(ms);
    return isatty(2) == 1 ? &on.progress : nullptr;
}

void write_unavoidable_sharing(const inseparable_groups &groups, const fleet &inventories,
                               int32_t port_max, output &err)
{
    // The lines of all the groups' devices in one pass over the text (a
    // pass a group would cost the file once per group).
    record_places places(inventories);
    for (size_t k = 0; k < groups.devices.size; ++k)
        places.add(groups.devices.items[k].offset);
    places.number();
    for (size_t g = 0, from = 0; g < groups.ends.size; from = groups.ends.items[g++])
        write_group(groups.devices.items + from, groups.devices.items + groups.ends.items[g], places,
                    port_max, err);
}

} // namespace portslot::audit
