// The plan: the devices of a fleet in block order, each listed once, in the
// range they were placed in; which of them have rows; and what the summary
// counts. A device stays eight bytes (its block's first port and where its
// record is); its record is read again for its row, which gives a printer
// all it writes: the block's ports, the address (checked to give the block
// still), the label, the inventory, where the record starts (for its fields)
// and, when asked, its line.
#ifndef PORTSLOT_AUDIT_PLAN_H
#define PORTSLOT_AUDIT_PLAN_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <type_traits>

#include "block_of_address.h"
#include "block_sort.h"
#include "fleet.h"
#include "growing_array.h"
#include "label_columns.h"
#include "socket_match.h"

namespace portslot::audit {

struct plan_summary {
    uint64_t devices = 0;
    uint64_t blocks = 0; // whole blocks of the range
    uint64_t blocks_in_use = 0;
    uint64_t shared_blocks = 0;
    uint64_t sharing_devices = 0; // devices in shared blocks
    // Beside the sockets that listen (--listening): devices connected and
    // not, devices of shared blocks that listen (one of them is connected,
    // the sockets cannot tell which), and ports of the range that listen,
    // held by no device.
    bool listening = false;
    uint64_t connected = 0, not_connected = 0, cannot_tell = 0, unheld_ports = 0;
    // With --identify: the ports where a host key no device of the block
    // has answers.
    uint64_t unknown_keys = 0;
    bool identified = false;

    // The devices that share whatever their addresses are: each block beyond
    // the last holds at least one device more, and the first shared block
    // holds two, so devices - blocks + 1 at least.
    uint64_t must_share() const { return devices > blocks ? devices - blocks + 1 : 0; }
};

// Which devices have rows.
enum class rows_of { shared_blocks, every_device };

struct plan {
    port_range range;
    const growing_array<uint64_t> &devices; // sorted by block, distinct
    rows_of rows;
    plan_summary summary;
    const socket_match *sockets = nullptr; // --listening: the sockets beside the plan
    const fleet_ranges *ranges = nullptr;  // the devices' own ranges, where placed

    // True when the block of `count` devices has rows.
    bool has_rows(size_t count) const { return count > 1 || rows == rows_of::every_device; }
};

// The plan of the sorted, distinct `devices`, placed in `range`; with
// `sockets`, beside them.
plan make_plan(const growing_array<uint64_t> &devices, const port_range &range, rows_of rows,
               const socket_match *sockets = nullptr, const fleet_ranges *ranges = nullptr);

// The last port of the block whose first is `first`, as portslot
// --port-num <count> gives it: the block's ports lie two apart.
inline int32_t last_port(int32_t first, const port_range &range)
{
    return static_cast<int32_t>(int64_t{first} + 2 * (int64_t{range.port_count} - 1));
}

// Ends the run: the file of the record at `offset` has changed since the
// plan was made.
[[noreturn]] void changed_since_planned(const fleet &inventories, uint64_t offset);

// A device's row: its block's ports and whether others share it, its entry
// (whose address is a copy, checked), its place, its inventory (an index),
// where its record starts (in the plain format, at its address) and its
// line (numbered rows only; else 0).
struct plan_row {
    int32_t first, last;
    bool shared;
    const block_layout *range; // the device's range
    uint32_t server;           // and its server's index
    entry e;
    uint64_t offset;
    size_t inventory;
    const char *record;
    uint64_t line;
};

// Where an inventory drops columns, the label of `r` without them.
inline void drop_row_columns(bool dropping, const fleet &inventories, plan_row &r,
                             growing_array<char> &label)
{
    if (dropping) [[unlikely]]
        drop_columns(inventories, r.offset, r.e, label);
}

namespace detail {

template <bool Plain, bool BlankFields, bool Numbered, class Block, class Row>
void walk_rows(const plan &p, const fleet &inventories, const uint64_t *lines, Block &&block,
               Row &&row)
{
    const growing_array<uint64_t> &devices = p.devices;
    const block_layout layout(p.range.port_min, p.range.port_max, p.range.port_count);
    const fleet_ranges *const ranges = inventories.ranges;
    const bool placed = ranges != nullptr && ranges->placed();
    constexpr size_t ahead = 64; // records fetched ahead, as blocks visit them out of order
    char mac[24];
    growing_array<char> label; // a label without the columns dropped (--drop-column)
    const bool dropping = drops_columns(inventories);
    size_t numbered = 0;
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        if (!p.has_rows(end - begin)) // a device alone, not listed: its record is not read
            continue;
        plan_row r;
        r.first = first_port_of(devices.items[begin]);
        r.last = last_port(r.first, p.range);
        r.shared = end - begin > 1;
        r.range = placed ? &ranges->layout_of(r.first) : &layout;
        r.server = server_of(devices.items[begin]);
        r.line = 0;
        block(r.first, r.last, r.shared);
        for (size_t i = begin; i < end; ++i) {
            if (i + ahead < devices.size) {
                // A line may cross into the next cache line.
                const char *line = text_at(inventories, offset_of(devices.items[i + ahead]));
                __builtin_prefetch(line);
                __builtin_prefetch(line + 48);
            }
            r.offset = offset_of(devices.items[i]);
            r.inventory = read_device_record<Plain, BlankFields>(inventories, r.offset, r.e, r.record);
            if (Numbered) r.line = lines[numbered++]; // (one line: a constant, no branch)
            if (r.e.mac_size == 17) {
                memcpy(mac, r.e.mac, 16); // (fixed sizes: a few moves, not a call)
                mac[16] = r.e.mac[16];
            } else {
                r.e.mac_size = r.e.mac_size < 18 ? r.e.mac_size : 18; // 18 bytes give no port
                memcpy(mac, r.e.mac, r.e.mac_size);
            }
            r.e.mac = mac;
            if (first_port_of_address(mac, r.e.mac_size, *r.range) != r.first)
                changed_since_planned(inventories, r.offset);
            drop_row_columns(!Plain && dropping, inventories, r, label);
            row(static_cast<const plan_row &>(r));
        }
    }
}

// The other formats' walks in functions of their own, so that the plain
// format's loop, inlined where its rows are written, is compiled alone.
template <bool BlankFields, bool Numbered, class Block, class Row>
[[gnu::noinline]] void walk_rows_apart(const plan &p, const fleet &inventories,
                                       const uint64_t *lines, Block &&block, Row &&row)
{
    walk_rows<false, BlankFields, Numbered>(p, inventories, lines, block, row);
}

template <bool Numbered, class Block, class Row>
void rows_of_plan(std::true_type /* plain */, const plan &p, const fleet &inventories,
                  const uint64_t *lines, Block &&block, Row &&row)
{
    walk_rows<true, false, Numbered>(p, inventories, lines, block, row);
}

template <bool Numbered, class Block, class Row>
void rows_of_plan(std::false_type /* plain */, const plan &p, const fleet &inventories,
                  const uint64_t *lines, Block &&block, Row &&row)
{
    if (splits_at_blanks(inventories))
        walk_rows_apart<true, Numbered>(p, inventories, lines, block, row);
    else
        walk_rows_apart<false, Numbered>(p, inventories, lines, block, row);
}

} // namespace detail

// Calls `block(first, last, shared)` for each block of `p` that has rows, then
// `row(plan_row)` for each of its devices, its label without the columns its
// inventory drops. The walk is compiled twice, the plain format's (when
// every inventory is plain: by_format) apart from the others'.
template <class Block, class Row>
void for_each_row(const plan &p, const fleet &inventories, Block &&block, Row &&row)
{
    by_format(inventories, [&](auto plain) {
        detail::rows_of_plan<false>(plain, p, inventories, nullptr, block, row);
    });
}

// The line of each row of `p`, in the order the rows come.
void number_rows(const plan &p, const fleet &inventories, growing_array<uint64_t> &lines);

// The same, each row with its line, from number_rows.
template <class Block, class Row>
void for_each_numbered_row(const plan &p, const fleet &inventories,
                           const growing_array<uint64_t> &lines, Block &&block, Row &&row)
{
    by_format(inventories, [&](auto plain) {
        detail::rows_of_plan<true>(plain, p, inventories, lines.items, block, row);
    });
}

// The fields of the row `r` of a CSV inventory: calls `field(column, start,
// stop)` for each (its column from 1, as written: csv_value reads its value)
// but those its inventory drops, with how many were kept before it.
template <class Field>
void for_each_field(const fleet &inventories, const plan_row &r, Field &&field)
{
    const inventory &inv = inventories.files[r.inventory];
    const bool dropping = inv.dropped_count != 0;
    size_t kept = 0;
    walk_csv_fields(r.record, inv.text + inv.size, inv.format.delimiter,
                    [&](uint32_t column, const char *start, const char *stop) {
                        if (dropping && is_dropped(inv, column)) [[unlikely]]
                            return true;
                        field(kept++, column, start, stop);
                        return true;
                    });
}

// Beside the sockets (--listening): calls `put(port)` for each port of the
// block from `first` that listens.
template <class Put> void for_each_listening_port(const plan &p, int32_t first, Put &&put)
{
    for (int64_t k = 0, port = first; k < p.range.port_count && port <= 65535; ++k, port += 2)
        if (p.sockets->listening.has(port))
            put(static_cast<int32_t>(port));
}

} // namespace portslot::audit

#endif
