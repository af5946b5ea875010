// The plan's rows as they are gathered, whatever they are written as: for
// each block that has rows, its ports; for each of its devices, its record
// read again, with its address read once for both the row and the check that
// it still gives the block (a row is true of one text).
#ifndef PORTSLOT_AUDIT_PLAN_ROWS_H
#define PORTSLOT_AUDIT_PLAN_ROWS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "block_of_address.h"
#include "fleet.h"
#include "label_columns.h"
#include "plan.h"

namespace portslot::audit {

// Ends the run: the file of the record at `offset` has changed since the
// plan was made.
[[noreturn]] void changed_since_planned(const fleet &inventories, uint64_t offset);

// A device's row: its block's ports and whether others share it, its entry
// (whose address is a copy, checked), and where its record is.
struct plan_row {
    int32_t first, last;
    bool shared;
    entry e;
    uint64_t offset;
};

// Where an inventory drops columns, the label of `r` without them.
inline void drop_row_columns(bool dropping, const fleet &inventories, plan_row &r,
                             growing_array<char> &label)
{
    if (dropping) [[unlikely]]
        drop_columns(inventories, r.offset, r.e, label);
}

// Calls `block(first, last, shared)` for each block of `p` that has rows, then
// `row(plan_row)` for each of its devices, its label without the columns its
// inventory drops.
template <bool Plain, class Block, class Row>
void for_each_row(const plan &p, const fleet &inventories, Block &&block, Row &&row)
{
    const growing_array<uint64_t> &devices = p.devices;
    const block_layout layout(p.range.port_min, p.range.port_max, p.range.port_count);
    constexpr size_t ahead = 64; // records fetched ahead, as blocks visit them out of order
    char mac[24];
    growing_array<char> label; // a label without the columns dropped (--drop-column)
    const bool dropping = drops_columns(inventories);
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        if (!p.has_rows(end - begin)) // a device alone, not listed: its record is not read
            continue;
        plan_row r;
        r.first = first_port_of(devices.items[begin]);
        r.last = last_port(r.first, p.range);
        r.shared = end - begin > 1;
        block(r.first, r.last, r.shared);
        for (size_t i = begin; i < end; ++i) {
            if (i + ahead < devices.size) {
                // A line may cross into the next cache line.
                const char *line = text_at(inventories, offset_of(devices.items[i + ahead]));
                __builtin_prefetch(line);
                __builtin_prefetch(line + 48);
            }
            r.offset = offset_of(devices.items[i]);
            r.e = entry_at<Plain>(inventories, r.offset);
            if (r.e.mac_size == 17) {
                memcpy(mac, r.e.mac, 16); // (fixed sizes: a few moves, not a call)
                mac[16] = r.e.mac[16];
            } else {
                r.e.mac_size = r.e.mac_size < 18 ? r.e.mac_size : 18; // 18 bytes give no port
                memcpy(mac, r.e.mac, r.e.mac_size);
            }
            r.e.mac = mac;
            if (first_port_of_address(mac, r.e.mac_size, layout) != r.first)
                changed_since_planned(inventories, r.offset);
            drop_row_columns(!Plain && dropping, inventories, r, label);
            row(static_cast<const plan_row &>(r));
        }
    }
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
