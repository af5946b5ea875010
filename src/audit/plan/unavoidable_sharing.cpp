#include "unavoidable_sharing.h"

#include <algorithm>

#include "device_identity.h"
#include "placement.h"

namespace portslot::audit {

uint64_t inseparable_modulus(int64_t max_blocks)
{
    constexpr uint64_t keys = uint64_t{1} << 24; // a key is six hexadecimal digits
    uint64_t lcm = 1;
    for (uint64_t n = 2; n <= static_cast<uint64_t>(max_blocks); ++n) {
        uint64_t a = lcm, b = n;
        while (b != 0) {
            const uint64_t r = a % b;
            a = b;
            b = r;
        }
        lcm = lcm / a * n;
        if (lcm >= keys)
            return 0;
    }
    return lcm;
}

void find_inseparable_groups(const growing_array<uint64_t> &devices, const fleet &inventories,
                             int64_t max_blocks, inseparable_groups &groups)
{
    const uint64_t modulus = inseparable_modulus(max_blocks);
    growing_array<inseparable_device> block;
    growing_array<inseparable_device> &grouped = groups.devices;
    growing_array<size_t> &group_ends = groups.ends;
    for (size_t begin = 0, end; begin < devices.size; begin = end) {
        end = block_end(devices, begin);
        // Devices that share in every range share in the range found too.
        if (end - begin == 1)
            continue;
        block.size = 0;
        by_format(inventories, [&](auto plain) {
            for (size_t i = begin; i < end; ++i) {
                const uint64_t offset = offset_of(devices.items[i]);
                const entry e = entry_at<plain()>(inventories, offset);
                const uint64_t key = key_of(e);
                block.push(inseparable_device{modulus != 0 ? key % modulus : key, offset, e.mac, e.mac_size});
            }
        });
        // (In input order within a group: offsets ascend.)
        std::sort(block.items, block.items + block.size, [](const inseparable_device &a, const inseparable_device &b) {
            return a.value != b.value ? a.value < b.value : a.offset < b.offset;
        });
        for (size_t i = 0, j; i < block.size; i = j) {
            for (j = i + 1; j < block.size && block.items[j].value == block.items[i].value; ++j) {
            }
            for (size_t k = i; j - i > 1 && k < j; ++k)
                grouped.push(block.items[k]);
            if (j - i > 1)
                group_ends.push(grouped.size);
        }
    }
}

} // namespace portslot::audit
