#include "port_query.h"

#include <algorithm>

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

} // namespace

void keep_port_holders(growing_array<uint64_t> &devices, const int32_t *ports, size_t count,
                       const port_range &range, int64_t blocks, growing_array<port_miss> &misses)
{
    const int64_t first = int64_t{range.port_min} + (range.port_min & 1);
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
