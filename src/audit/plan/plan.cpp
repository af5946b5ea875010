#include "plan.h"

#include <portslot/port_derivation.h>

#include <string.h>

#include "fatal.h"
#include "line_numbers.h"

namespace portslot::audit {

namespace {

// The whole blocks of the ranges that the devices take on each server.
uint64_t blocks_in_ranges(const growing_array<uint64_t> &devices, const fleet_ranges &ranges)
{
    growing_array<uint32_t> counted; // per range, 1 + the last server counted
    counted.reserve(ranges.layouts.size);
    memset(counted.items, 0, ranges.layouts.size * sizeof(uint32_t));
    uint64_t blocks = 0;
    for (size_t i = 0; i < devices.size; ++i) {
        const uint32_t range = ranges.owner[first_port_of(devices.items[i])] - 1u;
        const uint32_t server = server_of(devices.items[i]) + 1;
        if (counted.items[range] != server) {
            counted.items[range] = server;
            blocks += ranges.layouts.items[range].blocks;
        }
    }
    return blocks;
}

} // namespace

plan make_plan(const growing_array<uint64_t> &devices, const port_range &range, rows_of rows,
               const socket_match *sockets, const fleet_ranges *ranges)
{
    plan_summary summary;
    summary.blocks =
        ranges != nullptr && ranges->placed() && devices.size > 0 // (none: the range's)
            ? blocks_in_ranges(devices, *ranges)
            : static_cast<uint64_t>(
                  portslot::port_block_count(range.port_min, range.port_max, range.port_count));
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        ++summary.blocks_in_use;
        summary.devices += end - begin;
        if (end - begin > 1) {
            ++summary.shared_blocks;
            summary.sharing_devices += end - begin;
        }
    }
    if (sockets != nullptr) {
        summary.listening = true;
        summary.connected = sockets->connected;
        summary.not_connected = sockets->not_connected;
        summary.cannot_tell = sockets->cannot_tell;
        summary.unheld_ports = sockets->unheld.size;
        summary.unknown_keys = sockets->unknown_keys;
        summary.identified = sockets->holders != nullptr;
    }
    return plan{range, devices, rows, summary, sockets, ranges};
}

void changed_since_planned(const fleet &inventories, uint64_t offset)
{
    fatal(inventories.files[inventories.index_of(offset)].name, "changed while being read");
}

// The records' offsets sorted, with each row's place below its offset (a
// fleet holds fewer than 2^31 records, each of 13 bytes at least), their
// lines counted in one pass over each inventory, and put back in the rows'
// order.
void number_rows(const plan &p, const fleet &inventories, growing_array<uint64_t> &row_lines)
{
    constexpr int place_bits = 64 - offset_bits;
    const growing_array<uint64_t> &devices = p.devices;
    growing_array<uint64_t> placed;
    placed.reserve(devices.size);
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        if (p.has_rows(end - begin))
            for (size_t i = begin; i < end; ++i)
                placed.push(offset_of(devices.items[i]) << place_bits | placed.size);
    }
    sort_by_bits(placed, place_bits, 64);
    row_lines.reserve(placed.size);
    row_lines.size = placed.size;
    growing_array<uint64_t> lines; // in the offsets' order
    lines.reserve(placed.size);
    for (size_t k = 0; k < placed.size; ++k)
        lines.push(placed.items[k] >> place_bits);
    number_lines(inventories, lines.items, lines.size, lines.items);
    for (size_t k = 0; k < placed.size; ++k)
        row_lines.items[placed.items[k] & ((uint64_t{1} << place_bits) - 1)] = lines.items[k];
}

} // namespace portslot::audit
