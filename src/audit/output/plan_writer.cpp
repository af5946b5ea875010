#include "plan_writer.h"

#include <string.h>

#include <algorithm>

#include "block_of_address.h"
#include "decimal.h"
#include "fatal.h"
#include "json_rows.h"
#include "json_text.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

void put_count(output &out, uint64_t count, const char *noun)
{
    char digits[20];
    out.bytes(digits, put_decimal(digits, count));
    out.text(" ");
    out.text(noun);
    if (count != 1)
        out.text("s");
}

// A row whose label joins text from both sides of the address, or that goes
// to a terminal (`escape`: control bytes shown escaped), or is longer than
// the output's buffer: written piece by piece.
void write_row_in_pieces(output &out, const char *ports, size_t ports_size, const entry &e,
                         bool escape)
{
    const auto put = [&](const char *text, size_t n) {
        if (escape)
            write_escaped(out, text, n);
        else
            out.bytes(text, n);
    };
    out.bytes(ports, ports_size);
    put(e.mac, e.mac_size);
    out.bytes("\t", 1);
    put(e.before, e.before_size);
    put(&e.joiner, e.joiner != 0);
    put(e.label, e.label_size);
    out.bytes("\n", 1);
}

// A row whose label joins the text before the address and after it, copied
// into the output's buffer at once where it can be.
void write_joined_row(output &out, const char (&ports)[24], size_t ports_size, const entry &e,
                      bool escape)
{
    const size_t joined = e.joiner != 0;
    const size_t size = ports_size + e.mac_size + e.before_size + joined + e.label_size + 2;
    char *to = escape ? nullptr : out.room(size + sizeof ports);
    if (to == nullptr) {
        write_row_in_pieces(out, ports, ports_size, e, escape);
        return;
    }
    memcpy(to, ports, sizeof ports);
    to += ports_size;
    memcpy(to, e.mac, e.mac_size);
    to += e.mac_size;
    *to++ = '\t';
    memcpy(to, e.before, e.before_size);
    to += e.before_size;
    *to = e.joiner;
    to += joined;
    memcpy(to, e.label, e.label_size);
    to[e.label_size] = '\n';
    out.commit(size);
}

// "first-last<TAB>" (`ports`), the address, a tab, the label and a line end,
// copied into the output's buffer at once where it can be.
void write_row(output &out, const char (&ports)[24], size_t ports_size, const entry &e, bool escape)
{
    const size_t size = ports_size + e.mac_size + e.label_size + 2;
    // Room for the fixed-size copies too, which may reach past the row.
    char *to =
        escape || e.before_size != 0 || e.joiner != 0 ? nullptr : out.room(size + sizeof ports);
    if (to == nullptr) {
        write_joined_row(out, ports, ports_size, e, escape);
        return;
    }
    // Copies of a fixed size are a few moves, not a call.
    memcpy(to, ports, sizeof ports);
    to += ports_size;
    if (e.mac_size == 17) {
        memcpy(to, e.mac, 16);
        to[16] = e.mac[16];
    } else {
        memcpy(to, e.mac, e.mac_size);
    }
    to += e.mac_size;
    *to++ = '\t';
    memcpy(to, e.label, e.label_size);
    to[e.label_size] = '\n';
    out.commit(size);
}

// The last port of the block whose first is `first`, as portslot
// --port-num <count> gives it: the block's ports lie two apart.
int32_t last_port(int32_t first, const port_range &range)
{
    return static_cast<int32_t>(int64_t{first} + 2 * (int64_t{range.port_count} - 1));
}

// "first-last<TAB>" for the block whose first port is `first`; returns its
// length.
size_t block_ports(int32_t first, const port_range &range, char (&ports)[24])
{
    size_t n = put_decimal(ports, static_cast<uint32_t>(first));
    ports[n++] = '-';
    n += put_decimal(ports + n, static_cast<uint32_t>(last_port(first, range)));
    ports[n++] = '\t';
    return n;
}

// Makes `row`, the entry of the device at `offset`, show its address read
// once into `mac`, for both the row and the check that it still gives the
// block `first`: a row is true of one text. An address that no longer does
// ends the run, as its file has changed since the plan was made.
[[gnu::noinline, gnu::cold]] void changed(const fleet &inventories, uint64_t offset)
{
    fatal(inventories.inventories[inventories.index_of(offset)].name, "changed while being read");
}
[[gnu::always_inline]] inline void check_row(entry &row, uint64_t offset, int32_t first,
                                              const block_layout &layout,
                                              const fleet &inventories, char (&mac)[24])
{
    if (row.mac_size == 17) {
        memcpy(mac, row.mac, 16); // (fixed sizes: a few moves, not a call)
        mac[16] = row.mac[16];
    } else {
        row.mac_size = row.mac_size < 18 ? row.mac_size : 18; // 18 bytes give no port
        memcpy(mac, row.mac, row.mac_size);
    }
    row.mac = mac;
    if (first_port_of(mac, row.mac_size, layout) != first)
        changed(inventories, offset);
}

} // namespace

namespace {

template <bool Plain, bool Json>
plan_summary write_plan_as(const growing_array<uint64_t> &devices, const fleet &inventories,
                           const port_range &range, const plan_style &style, output &out)
{
    plan_summary summary;
    const json_names names(Json ? inventories : fleet{nullptr, nullptr, 0});
    char ports[24], mac[24], row_start[64];
    const block_layout layout(range.port_min, range.port_max, range.port_count);
    constexpr size_t ahead = 64; // records fetched ahead, as blocks visit them out of order
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        const int32_t first = first_port_of(devices.items[begin]);
        const bool shared = end - begin > 1;
        ++summary.blocks_in_use;
        summary.devices += end - begin;
        if (shared) {
            ++summary.shared_blocks;
            summary.sharing_devices += end - begin;
        }
        if (!shared && !style.all) // a device alone, not listed: its line is not read
            continue;
        const size_t ports_size = Json ? json_row_start(first, last_port(first, range), row_start)
                                       : block_ports(first, range, ports);
        for (size_t i = begin; i < end; ++i) {
            if (i + ahead < devices.size) {
                // A line may cross into the next cache line.
                const char *line = text_at(inventories, offset_of(devices.items[i + ahead]));
                __builtin_prefetch(line);
                __builtin_prefetch(line + 48);
            }
            const uint64_t offset = offset_of(devices.items[i]);
            entry row = entry_at<Plain>(inventories, offset);
            check_row(row, offset, first, layout, inventories, mac);
            if constexpr (Json)
                write_json_row(out, row_start, ports_size, row, offset, shared, inventories, names,
                               *style.json);
            else
                write_row(out, ports, ports_size, row, style.escape);
        }
    }
    return summary;
}

} // namespace

plan_summary write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                        const port_range &range, const plan_style &style, output &out)
{
    return by_format(inventories, [&](auto plain) {
        if (style.json != nullptr)
            return write_plan_as<plain(), true>(devices, inventories, range, style, out);
        return write_plan_as<plain(), false>(devices, inventories, range, style, out);
    });
}

void write_summary(const plan_summary &summary, int64_t blocks, bool json, output &out)
{
    const auto devices = static_cast<int64_t>(summary.devices);
    // Each block beyond the last holds at least one device more, and the
    // first shared block holds two: devices - blocks + 1 at least.
    const uint64_t must_share = devices > blocks ? static_cast<uint64_t>(devices - blocks + 1) : 0;
    if (json) {
        out.text("{\"type\":\"summary\",");
        write_json_number(out, "devices", summary.devices);
        out.text(",");
        write_json_number(out, "blocks", static_cast<uint64_t>(blocks));
        out.text(",");
        write_json_number(out, "blocks_in_use", summary.blocks_in_use);
        out.text(",");
        write_json_number(out, "shared_blocks", summary.shared_blocks);
        out.text(",");
        write_json_number(out, "sharing_devices", summary.sharing_devices);
        out.text(",");
        write_json_number(out, "must_share", must_share);
        out.text("}\n");
        return;
    }
    char digits[20];
    put_count(out, summary.devices, "device");
    out.text(", ");
    out.bytes(digits, put_decimal(digits, summary.blocks_in_use));
    out.text(" of ");
    put_count(out, static_cast<uint64_t>(blocks), "block");
    out.text(" in use, ");
    out.bytes(digits, put_decimal(digits, summary.shared_blocks));
    out.text(" shared by ");
    put_count(out, summary.sharing_devices, "device");
    out.text("\n");
    if (must_share != 0) {
        out.text("more devices than blocks: at least ");
        put_count(out, must_share, "device");
        out.text(" must share, whatever the addresses are\n");
    }
}

void write_range(const port_range &range, bool json, output &out)
{
    if (json) {
        out.text("{\"type\":\"range\",\"port_min\":");
        out.number(range.port_min);
        out.text(",\"port_max\":");
        out.number(range.port_max);
        out.text(",\"port_count\":");
        out.number(range.port_count);
        out.text("}\n");
        return;
    }
    out.text("--port-min ");
    out.number(range.port_min);
    out.text(" --port-max ");
    out.number(range.port_max);
    out.text(" --port-count ");
    out.number(range.port_count);
    out.text("\n");
}

} // namespace portslot::audit
