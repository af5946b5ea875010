// The plan as JSON Lines: one object a line, each with its "type": the
// range --suggest found, a device for each row, and the summary.
#include "plan_printer.h"

#include <stdlib.h>
#include <string.h>

#include <span>

#include "csv_keys.h"
#include "decimal.h"
#include "inventory_records.h"
#include "json_text.h"
#include "label_columns.h"
#include "line_numbers.h"
#include "memory.h"
#include "plan.h"
#include "port_holders.h"

namespace portslot::audit {

namespace {

// The columns of the CSV record of `r` but those its inventory drops, each
// under its key, as JSON members.
void write_csv_fields(output &out, const fleet &inventories, const plan_row &r,
                      const csv_keys &keys)
{
    const auto put = [&](const char *text, size_t size) { write_json_chars(out, text, size); };
    for_each_field(inventories, r,
                   [&](size_t kept, uint32_t column, const char *start, const char *stop) {
                       if (kept > 0)
                           out.text(",");
                       keys.write(out, r.inventory, column);
                       out.text("\"");
                       csv_value(start, stop, put);
                       out.text("\"");
                   });
}

// `{"type":"device","first":F,"last":L,"mac":"`, the same for a whole
// block; returns its length.
size_t json_row_start(int32_t first, int32_t last, char (&start)[64])
{
    char *to = put_text(start, "{\"type\":\"device\",\"first\":");
    to += put_decimal(to, static_cast<uint32_t>(first));
    to = put_text(to, ",\"last\":");
    to += put_decimal(to, static_cast<uint32_t>(last));
    to = put_text(to, ",\"mac\":\"");
    return static_cast<size_t>(to - start);
}

// For each inventory, `","file":"NAME","line":` with its name escaped, the
// same for each of its rows, and the keys of its CSV columns.
struct json_names {
    growing_array<char> text;
    growing_array<size_t> starts; // of each inventory's, and the end
    csv_keys columns;

    explicit json_names(const fleet &inventories);
};

json_names::json_names(const fleet &inventories) : columns(inventories)
{
    for (size_t i = 0; i < inventories.count; ++i) {
        const char *name = inventories.files[i].name;
        const size_t size = strlen(name);
        while (text.capacity < text.size + 6 * size + 32)
            text.grow();
        starts.push(text.size);
        char *to = put_text(text.items + text.size, "\",\"file\":\"");
        to = put_json_chars(to, name, size);
        to = put_text(to, "\",\"line\":");
        text.size = static_cast<size_t>(to - text.items);
    }
    starts.push(text.size);
}

// `,"port_min":N,"port_max":M,"server":"NAME"`: the range the device's
// block is in, and its server (where the fleet names servers).
void write_placement(output &out, const fleet_ranges &ranges, const plan_row &r)
{
    char digits[20];
    out.text(",\"port_min\":");
    out.bytes(digits, put_decimal(digits, static_cast<uint64_t>(r.range->port_min)));
    out.text(",\"port_max\":");
    out.bytes(digits, put_decimal(digits, static_cast<uint64_t>(r.range->port_max)));
    if (ranges.server_count() > 1 || ranges.name_starts.items[1] != 0) {
        size_t size;
        const char *name = server_name(ranges, r.server, size);
        out.text(",\"server\":\"");
        write_json_chars(out, name, size);
        out.text("\"");
    }
}

// A device as one JSON object on a line of its own, composed in the
// output's buffer (each byte of text takes at most six there): its block's
// `row_start`, its address, label, file and line, whether its block is
// shared, and from CSV its record's columns by their keys.
// Beside the sockets, `listening` follows: `,"listening":[P,P]`.
[[gnu::always_inline]] inline void write_json_row(output &out, const char (&row_start)[64],
                                                  size_t row_start_size, const plan_row &r,
                                                  const fleet &inventories, const json_names &names,
                                                  const growing_array<char> &listening)
{
    const entry &e = r.e;
    const bool shared = r.shared;
    const uint64_t line = r.line;
    const size_t i = r.inventory;
    const inventory &inv = inventories.files[i];
    const char *name = names.text.items + names.starts.items[i];
    const size_t name_size = names.starts.items[i + 1] - names.starts.items[i];
    const size_t text = e.mac_size + e.before_size + 1 + e.after_size;
    char *const start = text < (size_t{1} << 12) ? out.room(120 + name_size + 6 * text) : nullptr;
    if (start == nullptr) { // a label too long for the buffer: piece by piece
        out.bytes(row_start, row_start_size);
        write_json_chars(out, e.mac, e.mac_size);
        out.text("\",\"label\":\"");
        write_json_chars(out, e.before, e.before_size);
        write_json_chars(out, &e.joiner, e.joiner != 0);
        write_json_chars(out, e.after, e.after_size);
        out.bytes(name, name_size);
        char digits[20];
        out.bytes(digits, put_decimal(digits, line));
        out.text(shared ? ",\"shared\":true" : ",\"shared\":false");
    } else {
        memcpy(start, row_start, sizeof row_start); // (a fixed size: a few moves)
        char *to = put_json_chars(start + row_start_size, e.mac, e.mac_size);
        to = put_text(to, "\",\"label\":\"");
        to = put_json_chars(to, e.before, e.before_size);
        to = put_json_chars(to, &e.joiner, e.joiner != 0);
        to = put_json_chars(to, e.after, e.after_size);
        memcpy(to, name, name_size);
        to += name_size;
        to += put_decimal(to, line);
        to = shared ? put_text(to, ",\"shared\":true") : put_text(to, ",\"shared\":false");
        out.commit(static_cast<size_t>(to - start));
    }
    if (listening.size != 0)
        out.bytes(listening.items, listening.size);
    if (inventories.ranges != nullptr && inventories.ranges->placed()) [[unlikely]]
        write_placement(out, *inventories.ranges, r);
    if (inv.format.kind == record_format::csv) {
        out.text(",\"fields\":{");
        write_csv_fields(out, inventories, r, names.columns);
        out.text("}");
    }
    out.bytes("}\n", 2);
}

// `,"listening":[P,P]`: the ports of the block from `first` that listen;
// with --identify, for a block asked about, `,"identified":"STATE"` (held,
// unknown_key, no_answer, not_told) and for a block held `,"holder":"MAC"`.
void listening_member(const plan &p, int32_t first, growing_array<char> &text)
{
    const size_t most = 96 + 6 * size_t(p.range.port_count < 32768 ? p.range.port_count : 32768);
    while (text.capacity < most)
        text.grow();
    char *at = put_text(text.items, ",\"listening\":[");
    char *const listing = at;
    for_each_listening_port(p, first, [&](int32_t port) {
        if (at != listing)
            *at++ = ',';
        at += put_decimal(at, static_cast<uint32_t>(port));
    });
    *at++ = ']';
    const block_holder *b = p.sockets->holders != nullptr ? p.sockets->holders->of(first) : nullptr;
    if (b != nullptr && b->state == holder_state::held) {
        at = put_text(at, ",\"identified\":\"held\",\"holder\":\"");
        memcpy(at, b->mac, 17);
        at += 17;
        *at++ = '"';
    } else if (b != nullptr && b->state == holder_state::unknown_key) {
        at = put_text(at, ",\"identified\":\"unknown_key\"");
    } else if (b != nullptr && b->state == holder_state::no_answer) {
        at = put_text(at, ",\"identified\":\"no_answer\"");
    } else if (b != nullptr) {
        at = put_text(at, ",\"identified\":\"not_told\"");
    }
    text.size = static_cast<size_t>(at - text.items);
}

void write_rows(const plan &p, const fleet &inventories, const rows_place &to)
{
    growing_array<uint64_t> lines;
    number_rows(p, inventories, lines);
    const json_names names(inventories);
    char row_start[64];
    size_t row_start_size = 0;
    growing_array<char> listening; // empty but --listening
    for_each_numbered_row(
        p, inventories, lines,
        [&](int32_t first, int32_t last, bool) {
            row_start_size = json_row_start(first, last, row_start);
            if (p.sockets != nullptr)
                listening_member(p, first, listening);
        },
        [&](const plan_row &row) {
            write_json_row(to.out, row_start, row_start_size, row, inventories, names, listening);
        });
    if (p.sockets != nullptr)
        for (size_t i = 0; i < p.sockets->unheld.size; ++i) {
            to.out.text("{\"type\":\"port_without_device\",\"port\":");
            to.out.number(p.sockets->unheld.items[i]);
            to.out.text("}\n");
        }
}

void write_summary(const plan_summary &summary, output &out)
{
    struct member {
        const char *name;
        uint64_t value;
    };
    const member counts[] = {
        {"devices", summary.devices},
        {"blocks", summary.blocks},
        {"blocks_in_use", summary.blocks_in_use},
        {"shared_blocks", summary.shared_blocks},
        {"sharing_devices", summary.sharing_devices},
        {"must_share", summary.must_share()},
        {"connected", summary.connected}, // (beside the sockets only, from here)
        {"not_connected", summary.not_connected},
        {"cannot_tell", summary.cannot_tell},
        {"ports_without_device", summary.unheld_ports},
        {"unknown_host_keys", summary.unknown_keys}, // (with --identify only)
    };
    const std::span<const member> written(
        counts, !summary.listening ? 6 : summary.identified ? 11 : 10);
    out.text("{\"type\":\"summary\"");
    for (const member &m : written) {
        out.text(",");
        write_json_number(out, m.name, m.value);
    }
    out.text("}\n");
}

void write_range(const port_range &range, output &out)
{
    out.text("{\"type\":\"range\",\"port_min\":");
    out.number(range.port_min);
    out.text(",\"port_max\":");
    out.number(range.port_max);
    out.text(",\"port_count\":");
    out.number(range.port_count);
    out.text("}\n");
}

} // namespace

const plan_printer json_printer{write_range, write_rows, write_summary};

} // namespace portslot::audit
