#include "duplicate_report.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "decimal.h"
#include "line_index.h"
#include "shown_text.h"

namespace portslot::audit {

void write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err)
{
    if (duplicates.size == 0)
        return;
    // Line numbers are counted only now, in one pass over each inventory,
    // for the entries that need them.
    growing_array<uint64_t> offsets;
    for (size_t i = 0; i < duplicates.size; ++i) {
        offsets.push(duplicates.items[i].reported);
        offsets.push(duplicates.items[i].kept);
    }
    std::sort(offsets.items, offsets.items + offsets.size);
    offsets.size = static_cast<size_t>(std::unique(offsets.items, offsets.items + offsets.size) -
                                       offsets.items);
    uint64_t *lines = static_cast<uint64_t *>(reallocate(nullptr, offsets.size * sizeof(uint64_t)));
    number_lines(inventories, offsets.items, offsets.size, lines);

    const auto put_place = [&](uint64_t offset) {
        const size_t at = static_cast<size_t>(
            std::lower_bound(offsets.items, offsets.items + offsets.size, offset) - offsets.items);
        char digits[20];
        const char *name = inventories.inventories[inventories.index_of(offset)].name;
        write_escaped(err, name, strlen(name));
        err.text(":");
        err.bytes(digits, put_decimal(digits, lines[at]));
    };
    for (size_t i = 0; i < duplicates.size; ++i) {
        put_place(duplicates.items[i].reported);
        err.text(": duplicate of ");
        put_place(duplicates.items[i].kept);
        err.text("\n");
    }
    free(lines);
}

void keep_last_entries(growing_array<uint64_t> &devices, const fleet &inventories,
                       growing_array<duplicate> &superseded)
{
    // Ports are even, so no device is all ones: that marks an entry dropped.
    constexpr uint64_t dropped = ~uint64_t{0};
    block_work work;
    by_format(inventories, [&](auto plain) {
        for (size_t begin = 0, end; begin < devices.size; begin = end) {
            end = block_end(devices, begin);
            if (end - begin == 1)
                continue;
            work.make_room(end - begin);
            // From the block's last entry back: the first met of a device is
            // its last, and every other is superseded by it.
            size_t kept = 0;
            for (size_t i = end; i-- > begin;) {
                const uint64_t offset = offset_of(devices.items[i]);
                work.addresses.items[kept] = address_of(entry_at<plain()>(inventories, offset));
                work.offsets.items[kept] = offset;
                const size_t last = work.first_of(kept);
                if (last == kept) {
                    ++kept;
                    continue;
                }
                superseded.push(duplicate{offset, work.offsets.items[last]});
                devices.items[i] = dropped;
            }
        }
    });
    devices.size = static_cast<size_t>(
        std::remove(devices.items, devices.items + devices.size, dropped) - devices.items);
    sort_by_later(superseded);
}

} // namespace portslot::audit
