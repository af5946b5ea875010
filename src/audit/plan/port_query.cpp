#include "port_query.h"

#include <string.h>

#include <algorithm>

#include "block_of_address.h"

namespace portslot::audit {

namespace {

// Orders devices against the block at `first_port`, for the binary searches:
// the device's block comes before it, or it comes before the device's.
bool before_block(uint64_t device, int32_t first_port)
{
    return first_port_of(device) < first_port;
}

bool precedes_block_of(int32_t first_port, uint64_t device)
{
    return first_port < first_port_of(device);
}

// The first port of the block of `layout` (null: none) that holds `port`,
// or 0 with why none does (end: past the last whole block).
int32_t block_holding(const block_layout *layout, int64_t port, port_miss &why)
{
    const bool outside = layout == nullptr; // (a range found holds the port)
    const int64_t first = outside ? 0 : layout->first_port;
    const int64_t block_size = outside ? 2 : 2 * int64_t{layout->port_count};
    const int64_t end = outside ? 0 : first + block_size * static_cast<int64_t>(layout->blocks);
    const bool odd = !outside && port % 2 != 0;
    const bool past = !outside && !odd && port >= end;
    why = port_miss{static_cast<int32_t>(port),
                    layout == nullptr ? port_miss::no_range
                    : outside ? port_miss::outside
                    : odd   ? port_miss::odd
                    : past  ? port_miss::past
                            : port_miss::unheld,
                    static_cast<int32_t>(end - 2)};
    return static_cast<int32_t>(outside || odd || past ? 0
                                                       : first + (port - first) / block_size * block_size);
}

// keep_port_holders for devices in ranges of their own, on servers of their
// own: in one pass, as a block's devices may be on any server.
void keep_placed_holders(growing_array<uint64_t> &devices, const int32_t *ports, size_t count,
                         const fleet_ranges &ranges, growing_array<port_miss> &misses)
{
    growing_array<int32_t> wanted; // first ports, in the order asked
    growing_array<port_miss> whys;
    for (size_t i = 0; i < count; ++i) {
        port_miss why;
        wanted.push(block_holding(ranges.range_holding(ports[i]), ports[i], why));
        whys.push(why);
    }
    growing_array<int32_t> sorted;
    for (size_t i = 0; i < count; ++i)
        if (wanted.items[i] != 0)
            sorted.push(wanted.items[i]);
    std::sort(sorted.items, sorted.items + sorted.size);
    growing_array<bool> held;
    held.reserve(sorted.size + 1);
    memset(held.items, 0, sorted.size + 1);
    size_t kept = 0;
    for (size_t i = 0; i < devices.size; ++i) {
        const int32_t *at = std::lower_bound(sorted.items, sorted.items + sorted.size,
                                             first_port_of(devices.items[i]));
        if (at != sorted.items + sorted.size && *at == first_port_of(devices.items[i])) {
            held.items[at - sorted.items] = true;
            devices.items[kept++] = devices.items[i];
        }
    }
    devices.size = kept;
    for (size_t i = 0; i < count; ++i) {
        const int32_t *at = std::lower_bound(sorted.items, sorted.items + sorted.size, wanted.items[i]);
        if (wanted.items[i] == 0 || !held.items[at - sorted.items])
            misses.push(whys.items[i]);
    }
}

} // namespace

void keep_port_holders(growing_array<uint64_t> &devices, const int32_t *ports, size_t count,
                       const port_range &range, int64_t blocks, growing_array<port_miss> &misses,
                       const fleet_ranges *ranges)
{
    if (ranges->placed()) {
        keep_placed_holders(devices, ports, count, *ranges, misses);
        return;
    }
    const int64_t first = first_even_port(range.port_min);
    const int64_t block_size = 2 * int64_t{range.port_count};
    const int64_t end = first + block_size * blocks; // past the last whole block
    uint64_t *const items = devices.items;
    // The first port of the block of each port that a block can hold.
    growing_array<int32_t> wanted;
    for (size_t i = 0; i < count; ++i) {
        const int64_t port = ports[i];
        const bool outside = port < range.port_min || port > range.port_max;
        const bool odd = !outside && port % 2 != 0;
        const bool past = !outside && !odd && port >= end;
        const auto block_first = static_cast<int32_t>(
            outside || odd || past ? 0 : first + (port - first) / block_size * block_size);
        const uint64_t *at =
            std::lower_bound(items, items + devices.size, block_first, before_block);
        const bool held = !outside && !odd && !past && at != items + devices.size &&
                          first_port_of(*at) == block_first;
        if (held)
            wanted.push(block_first);
        else
            misses.push(port_miss{ports[i],
                                  outside ? port_miss::outside
                                  : odd   ? port_miss::odd
                                  : past  ? port_miss::past
                                          : port_miss::unheld,
                                  static_cast<int32_t>(end - 2)});
    }
    // The devices of the blocks wanted, moved to the front in block order.
    std::sort(wanted.items, wanted.items + wanted.size);
    size_t kept = 0;
    for (size_t i = 0; i < wanted.size; ++i) {
        if (i > 0 && wanted.items[i] == wanted.items[i - 1])
            continue;
        uint64_t *const last = items + devices.size;
        uint64_t *lo = std::lower_bound(items + kept, last, wanted.items[i], before_block);
        uint64_t *hi = std::upper_bound(lo, last, wanted.items[i], precedes_block_of);
        std::copy(lo, hi, items + kept); // never forward of where it reads
        kept += static_cast<size_t>(hi - lo);
    }
    devices.size = kept;
}

} // namespace portslot::audit
