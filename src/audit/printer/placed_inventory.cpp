#include "placed_inventory.h"

#include <stdint.h>
#include <string.h>

#include "csv_rewrite.h"
#include "decimal.h"
#include "device_ranges.h"
#include "fatal.h"
#include "line_numbers.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// A new device's placement as written: its range's ends and its server.
struct placement_texts {
    char text[column_values::most][256];

    // Gives `c` the values of `choice` (none for a device placed nowhere).
    void set(const range_assignment &a, const fleet_ranges &t, uint64_t choice, column_values &c)
    {
        c.given = choice != range_assignment::nowhere_choice;
        if (!c.given)
            return;
        const range_choice &r = a.choices.items[choice];
        c.sizes[0] = put_decimal(text[0], static_cast<uint64_t>(r.port_min));
        c.sizes[1] = put_decimal(text[1], static_cast<uint64_t>(r.port_max));
        size_t size;
        const char *name = server_name(t, r.server, size);
        c.sizes[2] = size; // (a host name, at most 253 bytes)
        if (size != 0) // (no name: no text to copy from)
            memcpy(text[2], name, size);
        for (size_t k = 0; k < column_values::most; ++k)
            c.text[k] = text[k];
    }
};

void write_csv(const fleet &inventories, const range_assignment &a, bool with_server, output &out)
{
    const inventory &inv = inventories.files[0];
    const uint32_t given[3] = {inv.port_min_column, inv.port_max_column, inv.server_column};
    static const char *const names[3] = {"port_min", "port_max", "server"};
    column_values c;
    write_header_with(inv, names, given, with_server || inv.server_column != 0 ? 3 : 2, c, out);
    placement_texts texts;
    size_t at = 0; // the next new device
    write_records_with(
        inv, c,
        [&](uint64_t place, column_values &values) {
            while (at < a.new_devices.size && a.new_devices.items[at] >> 16 < place)
                ++at;
            if (at < a.new_devices.size && a.new_devices.items[at] >> 16 == place)
                texts.set(a, *inventories.ranges, a.new_devices.items[at] & 0xffff, values);
        },
        out);
}

// A plain inventory, or one of fields: as CSV, each device's address and
// label, then its placement.
void write_as_csv(const fleet &inventories, const range_assignment &a, bool with_server, output &out)
{
    out.text(with_server ? "mac,label,port_min,port_max,server\n" : "mac,label,port_min,port_max\n");
    column_values c;
    placement_texts texts;
    for (size_t i = 0; i < a.new_devices.size; ++i) {
        const uint64_t offset = a.new_devices.items[i] >> 16;
        const entry e = entry_at(inventories, offset);
        put_csv_field(out, e.mac, e.mac_size, ',');
        out.text(",");
        growing_array<char> label;
        append(label, e.before, e.before_size);
        append(label, &e.joiner, e.joiner != 0);
        append(label, e.after, e.after_size);
        put_csv_field(out, label.items, label.size, ',');
        texts.set(a, *inventories.ranges, a.new_devices.items[i] & 0xffff, c);
        for (size_t k = 0; k < (with_server ? 3u : 2u); ++k) {
            out.text(",");
            if (c.given)
                put_csv_field(out, c.text[k], c.sizes[k], ',');
        }
        out.text("\n");
    }
}

} // namespace

void write_placed_inventory(const fleet &inventories, const range_assignment &a, bool with_server,
                            output &out, output &err)
{
    // The new devices placed nowhere, by their lines.
    growing_array<uint64_t> lines;
    for (size_t i = 0; i < a.new_devices.size; ++i)
        if ((a.new_devices.items[i] & 0xffff) == range_assignment::nowhere_choice)
            lines.push(a.new_devices.items[i] >> 16);
    number_lines(inventories, lines.items, lines.size, lines.items);
    for (size_t i = 0; i < lines.size; ++i) {
        write_place(err, inventories.files[0].name, lines.items[i]);
        err.text(": placed nowhere: its block is taken in every range on every server\n");
    }
    err.flush();
    if (inventories.files[0].format.kind == record_format::csv)
        write_csv(inventories, a, with_server, out);
    else
        write_as_csv(inventories, a, with_server, out);
}

void write_placement_summary(const fleet &inventories, const range_assignment &a, output &err)
{
    const fleet_ranges &t = *inventories.ranges;
    uint64_t placed = 0, with_setting = 0;
    for (size_t c = 0; c < a.choices.size; ++c) {
        placed += a.choices.items[c].devices;
        with_setting += c == 0 ? 0 : a.choices.items[c].devices;
    }
    // Devices kept in ranges outside the choices are not in the fleet's
    // range: each has a setting of its own.
    const uint64_t outside = a.kept + a.new_devices.size - a.nowhere - placed;
    with_setting += outside;
    const uint64_t devices = a.kept + a.new_devices.size;
    err.number(static_cast<int64_t>(devices));
    err.text(devices == 1 ? " device (" : " devices (");
    err.number(static_cast<int64_t>(a.kept));
    err.text(" placed before):");
    const bool servers = a.choices.items[a.choices.size - 1].server != 0; // (one choice at least)
    uint32_t server = UINT32_MAX; // the server said last
    for (size_t c = 0; c < a.choices.size; ++c) {
        const range_choice &choice = a.choices.items[c];
        if (choice.devices == 0 && c != 0) // (a range cut but taken by none)
            continue;
        const bool new_server = choice.server != server;
        if (servers && new_server) {
            size_t size;
            const char *name = server_name(t, choice.server, size);
            err.text(c == 0 ? " on " : "; on ");
            write_escaped(err, name, size);
            err.text(":");
        }
        err.text(new_server ? " " : ", ");
        server = choice.server;
        err.number(static_cast<int64_t>(choice.devices));
        err.text(c == 0 ? " in the fleet's range " : " in ");
        err.number(choice.port_min);
        err.text("-");
        err.number(choice.port_max);
    }
    err.text("; ");
    err.number(static_cast<int64_t>(with_setting));
    err.text(" with a setting, ");
    err.number(static_cast<int64_t>(a.nowhere));
    err.text(a.nowhere == 0 ? " placed nowhere" : " placed nowhere (another server or more ranges would take them)");
    if (outside > 0) {
        err.text(", ");
        err.number(static_cast<int64_t>(outside));
        err.text(" kept in ranges outside these");
    }
    err.text("\n");
}

} // namespace portslot::audit
