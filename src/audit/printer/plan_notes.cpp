#include "plan_notes.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "fatal.h"
#include "line_numbers.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// Writes "MAC (FILE:LINE)" for each device of the group [from, to), the
// lines looked up among `offsets` (ascending) and their `lines`.
void write_group(const inseparable_device *from, const inseparable_device *to, const fleet &inventories,
                 const growing_array<uint64_t> &offsets, const uint64_t *lines, int32_t port_max,
                 output &err)
{
    warn(err, "these devices share a block in every range up to --port-max ");
    err.number(port_max);
    err.text(":");
    for (const inseparable_device *r = from; r != to; ++r) {
        const size_t at = static_cast<size_t>(
            std::lower_bound(offsets.items, offsets.items + offsets.size, r->offset) -
            offsets.items);
        err.text(r == from ? " " : ", ");
        write_cut(err, r->mac, r->mac_size, 64);
        err.text(" (");
        write_place(err, inventories.files[inventories.index_of(r->offset)].name, lines[at]);
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
    growing_array<uint64_t> offsets;
    for (size_t k = 0; k < groups.devices.size; ++k)
        offsets.push(groups.devices.items[k].offset);
    std::sort(offsets.items, offsets.items + offsets.size);
    growing_array<uint64_t> lines;
    lines.reserve(offsets.size);
    number_lines(inventories, offsets.items, offsets.size, lines.items);
    for (size_t g = 0, from = 0; g < groups.ends.size; from = groups.ends.items[g++])
        write_group(groups.devices.items + from, groups.devices.items + groups.ends.items[g], inventories, offsets,
                    lines.items, port_max, err);
}

} // namespace portslot::audit
