#include "placed_inventory.h"

#include <stdint.h>
#include <string.h>

#include "decimal.h"
#include "device_ranges.h"
#include "fatal.h"
#include "line_numbers.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// A CSV field of `size` bytes at `text`, quoted where it holds the
// delimiter, a quote, or a line end.
void put_csv_field(output &out, const char *text, size_t size, char delimiter)
{
    bool quote = false;
    for (size_t i = 0; i < size && !quote; ++i)
        quote = text[i] == delimiter || text[i] == '"'; // (a line end ends the record)
    if (!quote) {
        out.bytes(text, size);
        return;
    }
    out.text("\"");
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '"')
            out.text("\"");
        out.bytes(text + i, 1);
    }
    out.text("\"");
}

// The placement columns as written: each one's column (from 1), and the
// values of the device in hand (`given`: a new device's).
struct placement_out {
    uint32_t columns[3];
    size_t count; // 2, or 3 with a server
    char delimiter;
    bool given = false;
    char text[3][256];
    size_t sizes[3];

    int which(uint32_t column) const
    {
        for (size_t k = 0; k < count; ++k)
            if (columns[k] == column)
                return static_cast<int>(k);
        return -1;
    }
    void set(const range_assignment &a, const fleet_ranges &t, uint64_t choice)
    {
        given = choice != range_assignment::nowhere_choice;
        if (!given)
            return;
        const range_choice &c = a.choices.items[choice];
        sizes[0] = put_decimal(text[0], static_cast<uint64_t>(c.port_min));
        sizes[1] = put_decimal(text[1], static_cast<uint64_t>(c.port_max));
        size_t size;
        const char *name = server_name(t, c.server, size);
        sizes[2] = size; // (a host name, at most 253 bytes)
        if (size != 0) // (no name: no text to copy from)
            memcpy(text[2], name, size);
    }
};

// The record at `record` (which ends at `stop`), its placement fields given
// where it is new, and fields up to the last placement column.
void write_record(output &out, const inventory &inv, const char *record, const placement_out &p)
{
    uint32_t last = 0;
    for (size_t k = 0; k < p.count; ++k)
        last = p.columns[k] > last ? p.columns[k] : last;
    const char delimiter = p.delimiter;
    uint32_t columns = 0;
    walk_csv_fields(record, inv.text + inv.size, delimiter,
                    [&](uint32_t column, const char *start, const char *stop) {
                        if (column > 1)
                            out.bytes(&delimiter, 1);
                        const int k = p.given ? p.which(column) : -1;
                        if (k >= 0)
                            put_csv_field(out, p.text[k], p.sizes[k], delimiter);
                        else
                            out.bytes(start, static_cast<size_t>(stop - start));
                        columns = column;
                        return true;
                    });
    for (uint32_t column = columns + 1; column <= last; ++column) {
        out.bytes(&delimiter, 1);
        const int k = p.given ? p.which(column) : -1;
        if (k >= 0)
            put_csv_field(out, p.text[k], p.sizes[k], delimiter);
    }
}

// The number of the header's columns.
uint32_t header_columns(const inventory &inv)
{
    uint32_t columns = 0;
    if (inv.header != nullptr)
        walk_csv_fields(inv.header, inv.header + inv.header_size, inv.format.delimiter,
                        [&](uint32_t column, const char *, const char *) {
                            columns = column;
                            return true;
                        });
    return columns;
}

void write_csv(const fleet &inventories, const range_assignment &a, bool with_server, output &out)
{
    const inventory &inv = inventories.files[0];
    const char *const end = inv.text + inv.size;
    placement_out p;
    p.delimiter = inv.format.delimiter;
    p.count = with_server || inv.server_column != 0 ? 3 : 2;
    uint32_t next = header_columns(inv);
    const uint32_t given[3] = {inv.port_min_column, inv.port_max_column, inv.server_column};
    static const char *const names[3] = {"port_min", "port_max", "server"};
    const char *cursor = inv.text;
    if (inv.header != nullptr) {
        out.bytes(inv.text, static_cast<size_t>(inv.header + inv.header_size - inv.text));
        cursor = inv.header + inv.header_size;
    }
    for (size_t k = 0; k < p.count; ++k) {
        p.columns[k] = given[k] != 0 ? given[k] : ++next;
        if (given[k] == 0) {
            if (next > 1)
                out.bytes(&p.delimiter, 1);
            out.text(names[k]);
        }
    }
    if (inv.header == nullptr) // (an empty file: the header is all there is)
        out.text("\n");
    size_t at = 0; // the next new device
    for_each_record(inv, inv.text + inv.records_start, inv.records_line,
                    [&](const entry &e, const char *record) {
                        out.bytes(cursor, static_cast<size_t>(record - cursor));
                        const uint64_t place = static_cast<uint64_t>(
                            (e.spans_lines && find_line_end(record, e.mac) != e.mac ? record : e.mac) - inv.text);
                        while (at < a.new_devices.size && a.new_devices.items[at] >> 16 < place)
                            ++at;
                        const bool is_new = at < a.new_devices.size && a.new_devices.items[at] >> 16 == place;
                        p.given = false;
                        if (is_new)
                            p.set(a, *inventories.ranges, a.new_devices.items[at] & 0xffff);
                        const char *stop = record;
                        walk_csv_fields(record, end, p.delimiter, [&](uint32_t, const char *, const char *s) {
                            stop = s;
                            return true;
                        });
                        if (e.malformed != no_fault)
                            out.bytes(record, static_cast<size_t>(stop - record));
                        else
                            write_record(out, inv, record, p);
                        cursor = stop;
                    });
    out.bytes(cursor, static_cast<size_t>(end - cursor));
}

// A plain inventory, or one of fields: as CSV, each device's address and
// label, then its placement.
void write_as_csv(const fleet &inventories, const range_assignment &a, bool with_server, output &out)
{
    out.text(with_server ? "mac,label,port_min,port_max,server\n" : "mac,label,port_min,port_max\n");
    placement_out p;
    p.delimiter = ',';
    for (size_t i = 0; i < a.new_devices.size; ++i) {
        const uint64_t offset = a.new_devices.items[i] >> 16;
        const entry e = by_format(inventories, [&](auto plain) { return entry_at<plain()>(inventories, offset); });
        put_csv_field(out, e.mac, e.mac_size, ',');
        out.text(",");
        growing_array<char> label;
        append(label, e.before, e.before_size);
        append(label, &e.joiner, e.joiner != 0);
        append(label, e.after, e.after_size);
        put_csv_field(out, label.items, label.size, ',');
        p.set(a, *inventories.ranges, a.new_devices.items[i] & 0xffff);
        for (size_t k = 0; k < (with_server ? 3u : 2u); ++k) {
            out.text(",");
            if (p.given)
                put_csv_field(out, p.text[k], p.sizes[k], ',');
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
