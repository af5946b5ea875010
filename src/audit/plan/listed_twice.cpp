#include "listed_twice.h"

#include <algorithm>

namespace portslot::audit {

namespace {

// Ports are even, so no device is all ones: that marks an entry dropped.
constexpr uint64_t dropped = ~uint64_t{0};

// drop_listed_twice over the block devices[begin, end) of at least two
// entries, for one format and one entry kept.
template <bool Plain, kept_entry Keep>
void drop_in_block(identity_table &work, growing_array<uint64_t> &devices, size_t begin, size_t end,
                   const fleet &inventories, growing_array<duplicate> &duplicates)
{
    constexpr size_t ahead = 64; // records fetched ahead, as blocks visit them out of order
    work.make_room(end - begin);
    // The first met of a device is kept: with `last`, from the block's last
    // entry back.
    size_t met = 0;
    for (size_t n = begin; n < end; ++n) {
        const size_t i = Keep == kept_entry::first ? n : end - 1 - (n - begin);
        if (Keep == kept_entry::first && i + ahead < devices.size) {
            // A line may cross into the next cache line.
            const char *line = text_at(inventories, offset_of(devices.items[i + ahead]));
            __builtin_prefetch(line);
            __builtin_prefetch(line + 48);
        }
        const uint64_t offset = offset_of(devices.items[i]);
        work.addresses.items[met] = address_at<Plain>(inventories, offset);
        work.offsets.items[met] = offset;
        const size_t kept = work.find_or_add(met);
        if (kept == met) {
            ++met;
            continue;
        }
        duplicates.push(duplicate{offset, work.offsets.items[kept]});
        devices.items[i] = dropped;
    }
}

} // namespace

namespace {

// In a fleet placed in several ranges one address may stand in two blocks:
// its entries are found by the block it gives in the command line's range,
// and the devices kept are those whose entries are.
void drop_placed_twice(growing_array<uint64_t> &devices, const fleet &inventories,
                       const growing_array<uint64_t> &homes, kept_entry keep,
                       growing_array<duplicate> &duplicates)
{
    growing_array<uint64_t> home;
    home.reserve(homes.size);
    for (size_t i = 0; i < homes.size; ++i)
        home.push(homes.items[i]);
    sort_by_block(home); // (stable: in input order within a block)
    drop_listed_twice(home, inventories, keep, duplicates);
    if (duplicates.size == 0)
        return;
    for (size_t i = 0; i < home.size; ++i)
        home.items[i] = offset_of(home.items[i]);
    std::sort(home.items, home.items + home.size);
    size_t kept = 0;
    for (size_t i = 0; i < devices.size; ++i)
        if (std::binary_search(home.items, home.items + home.size, offset_of(devices.items[i])))
            devices.items[kept++] = devices.items[i];
    devices.size = kept;
}

} // namespace

void drop_listed_twice(growing_array<uint64_t> &devices, const fleet &inventories, kept_entry keep,
                       growing_array<duplicate> &duplicates)
{
    const fleet_ranges *ranges = inventories.ranges;
    if (ranges != nullptr && ranges->placed() &&
        (ranges->layouts.size > 1 || ranges->server_count() > 1)) {
        fleet homes = inventories;
        homes.ranges = nullptr; // (compared by the home block alone)
        drop_placed_twice(devices, homes, ranges->homes, keep, duplicates);
        return;
    }
    identity_table work;
    by_format(inventories, [&](auto plain) {
        for (size_t begin = 0, end; begin < devices.size; begin = end) {
            end = block_end(devices, begin);
            if (end - begin == 1)
                continue;
            if (keep == kept_entry::first)
                drop_in_block<plain(), kept_entry::first>(work, devices, begin, end, inventories,
                                                          duplicates);
            else
                drop_in_block<plain(), kept_entry::last>(work, devices, begin, end, inventories,
                                                         duplicates);
        }
    });
    if (duplicates.size == 0)
        return;
    devices.size = static_cast<size_t>(
        std::remove(devices.items, devices.items + devices.size, dropped) - devices.items);
    sort_by_reported(duplicates);
}

} // namespace portslot::audit
