#include "placement.h"

#include <algorithm>

#include "block_of_address.h"
#include "block_sort.h"

namespace portslot::audit {

uint64_t key_of(const entry &e)
{
    return key_of_address(e.mac, e.mac_size);
}

void keys_of(const growing_array<uint64_t> &devices, const fleet &inventories,
             growing_array<uint64_t> &keys)
{
    by_format(inventories, [&](auto plain) {
        for (size_t i = 0; i < devices.size; ++i)
            keys.push(key_of(entry_at<plain()>(inventories, offset_of(devices.items[i]))));
    });
}

void place_devices(growing_array<uint64_t> &devices, const fleet &inventories,
                   const port_range &range)
{
    const block_layout layout(range.port_min, range.port_max, range.port_count);
    by_format(inventories, [&](auto plain) {
        for (size_t i = 0; i < devices.size; ++i) {
            const uint64_t offset = offset_of(devices.items[i]);
            const entry e = entry_at<plain()>(inventories, offset);
            devices.items[i] =
                make_device(first_port_of_address(e.mac, e.mac_size, layout), offset);
        }
    });
    // The devices are in the order of their old blocks now: back to input
    // order (ascending offsets) first, so that each new block lists its
    // devices in input order.
    std::sort(devices.items, devices.items + devices.size,
              [](uint64_t a, uint64_t b) { return offset_of(a) < offset_of(b); });
    sort_by_block(devices);
}

} // namespace portslot::audit
