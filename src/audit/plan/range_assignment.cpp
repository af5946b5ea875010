#include "range_assignment.h"

#include <string.h>

#include <algorithm>

#include "block_of_address.h"
#include "block_sort.h"
#include "device_ranges.h"
#include "fatal.h"
#include "shown_text.h"

#include <portslot/port_derivation.h>

namespace portslot::audit {

namespace {

// A device as --place sees it: where it is, whether it is new, its key, and
// (placed already) its server and block.
struct placed_device {
    uint64_t offset;
    uint64_t key;
    bool is_new;
    uint32_t server;
    int32_t first;
};

// Blocks taken, by first port, on each server that new devices may take.
struct taken_blocks {
    growing_array<uint64_t> bits; // 1024 words a server
    void reset(size_t servers)
    {
        bits.reserve(servers * 1024);
        bits.size = servers * 1024;
        memset(bits.items, 0, bits.size * sizeof(uint64_t));
    }
    bool take(uint32_t server, int32_t port)
    {
        uint64_t &word = bits.items[server * 1024 + static_cast<uint32_t>(port) / 64];
        const uint64_t bit = uint64_t{1} << (port % 64);
        const bool was = (word & bit) != 0;
        word |= bit;
        return !was;
    }
};

// True when the record at `record` of `inv` gives a range or a server.
bool has_placement(const inventory &inv, const char *record, growing_array<char> &scratch)
{
    // (port_max alone places nothing: the bounds go together, as loading checked.)
    if (inv.port_min_column == 0 && inv.server_column == 0)
        return false;
    placement_fields fields;
    read_placement_fields(inv, record, fields, scratch);
    const auto empty = [](const char *p, size_t size) {
        return detail::skip_blanks(p, p + size) == p + size;
    };
    return !empty(fields.port_min, fields.port_min_size) || !empty(fields.server, fields.server_size);
}

template <bool Plain>
void read_devices(const growing_array<uint64_t> &devices, const fleet &inventories,
                  growing_array<placed_device> &out)
{
    growing_array<uint64_t> by_place;
    by_place.reserve(devices.size);
    for (size_t i = 0; i < devices.size; ++i)
        by_place.push(devices.items[i]);
    sort_by_bits(by_place, 0, offset_bits);
    growing_array<char> scratch;
    for (size_t i = 0; i < by_place.size; ++i) {
        const uint64_t device = by_place.items[i];
        entry e;
        const char *start;
        const size_t k = read_device_record<Plain>(inventories, offset_of(device), e, start);
        const inventory &inv = inventories.files[k];
        bool is_new = true;
        if constexpr (!Plain) // (a plain inventory has no columns)
            is_new = !has_placement(inv, start, scratch);
        out.push(placed_device{offset_of(device), key_of_address(e.mac, e.mac_size), is_new,
                               server_of(device), first_port_of(device)});
    }
}

// The first port of the block of `key` in `l`.
inline int32_t block_in(const block_layout &l, uint64_t key)
{
    return static_cast<int32_t>(l.first_port + 2 * static_cast<int64_t>(key % l.blocks) * l.port_count);
}

// Places the new devices in the choices' order; how many take a choice past
// the first, and how many none.
struct tally {
    uint64_t with_setting = 0, nowhere = 0;
    bool better_than(const tally &o) const
    {
        return nowhere != o.nowhere ? nowhere < o.nowhere : with_setting < o.with_setting;
    }
};

tally place_new(const growing_array<placed_device> &all, const growing_array<range_choice> &choices,
                const growing_array<block_layout> &layouts, taken_blocks &taken,
                growing_array<uint64_t> *assigned)
{
    tally t;
    for (size_t i = 0; i < all.size; ++i) {
        const placed_device &d = all.items[i];
        if (!d.is_new)
            continue;
        size_t c = 0;
        while (c < choices.size && !taken.take(choices.items[c].server, block_in(layouts.items[c], d.key)))
            ++c;
        t.with_setting += c != 0 && c < choices.size;
        t.nowhere += c == choices.size;
        if (assigned != nullptr)
            assigned->push(d.offset << 16 | (c < choices.size ? c : range_assignment::nowhere_choice));
    }
    return t;
}

// [low, high] cut into block-aligned pieces: the first `first_blocks`
// blocks, then the rest in halves, a quarter, ... (at most 12 pieces).
void cut(int32_t low, int32_t high, int32_t count, int64_t first_blocks,
         growing_array<port_bounds> &pieces)
{
    const int64_t start = first_even_port(low);
    int64_t blocks = portslot::port_block_count(low, high, count);
    int64_t at = start;
    int64_t take = std::min(first_blocks, blocks);
    for (int n = 0; blocks > 0; ++n) {
        if (n == 11) // (take is at least 1: first_blocks is, and half the rest rounded up)
            take = blocks;
        const int64_t last = std::min<int64_t>(at + 2 * take * count - 1, high);
        pieces.push(port_bounds{static_cast<int32_t>(at), static_cast<int32_t>(last)});
        at += 2 * take * count;
        blocks -= take;
        take = (blocks + 1) / 2;
    }
}

void add_choices(const growing_array<port_bounds> &ranges, size_t servers, int32_t count,
                 growing_array<range_choice> &choices, growing_array<block_layout> &layouts)
{
    choices.size = layouts.size = 0;
    for (uint32_t s = 0; s < servers; ++s)
        for (size_t r = 0; r < ranges.size; ++r) {
            choices.push(range_choice{ranges.items[r].low, ranges.items[r].high, s});
            layouts.push(block_layout(ranges.items[r].low, ranges.items[r].high, count));
        }
}

bool overlap_in_part(const port_bounds &a, const port_bounds &b)
{
    const bool same = a.low == b.low && a.high == b.high;
    return !same && a.low <= b.high && b.low <= a.high;
}

// The overflow ranges given, after the fleet's: false after saying why
// when one holds no block, or ports of another range in part.
bool given_ranges(const placement_request &request, const growing_array<port_bounds> &held,
                  growing_array<port_bounds> &ranges, output &err)
{
    ranges.push(port_bounds{request.bounds.port_min, request.bounds.port_max});
    for (size_t i = 0; i < request.overflow_count; ++i)
        ranges.push(request.overflow[i]);
    for (size_t i = 0; i < ranges.size; ++i) {
        const port_bounds &r = ranges.items[i];
        const port_bounds *other = nullptr;
        for (size_t j = 0; j < ranges.size + held.size && other == nullptr; ++j) {
            const port_bounds &o = j < ranges.size ? ranges.items[j] : held.items[j - ranges.size];
            if (j != i && overlap_in_part(r, o))
                other = &o;
        }
        const bool no_block = portslot::port_block_count(r.low, r.high, request.bounds.port_count) <= 0;
        if (other == nullptr && !no_block)
            continue;
        warn(err, i == 0 ? "the fleet's range " : "--overflow ");
        err.number(r.low);
        err.text("-");
        err.number(r.high);
        if (no_block) {
            err.text(" holds no whole block\n");
            return false;
        }
        err.text(" holds ports of the range ");
        err.number(other->low);
        err.text("-");
        err.number(other->high);
        err.text(" in part (ranges must be the same or apart)\n");
        return false;
    }
    return true;
}

// The ranges the devices placed already hold (those with most devices
// first), then the rest of the bounds cut into overflow ranges.
void keep_and_cut(const port_range &bounds, growing_array<port_bounds> &held,
                  const growing_array<uint64_t> &held_count, growing_array<port_bounds> &ranges)
{
    growing_array<size_t> order;
    for (size_t i = 0; i < held.size; ++i)
        order.push(i);
    std::sort(order.items, order.items + order.size, [&](size_t a, size_t b) {
        return held_count.items[a] != held_count.items[b] ? held_count.items[a] > held_count.items[b]
                                                          : a < b; // (of equal ones, the first held)
    });
    for (size_t i = 0; i < order.size; ++i)
        ranges.push(held.items[order.items[i]]);
    std::sort(held.items, held.items + held.size,
              [](const port_bounds &a, const port_bounds &b) { return a.low < b.low; });
    int64_t low = bounds.port_min;
    for (size_t i = 0; i <= held.size; ++i) {
        const int64_t high = i < held.size ? int64_t{held.items[i].low} - 1 : bounds.port_max;
        if (high > int64_t{bounds.port_max} ? low <= bounds.port_max : low <= high) {
            const auto top = static_cast<int32_t>(std::min<int64_t>(high, bounds.port_max));
            cut(static_cast<int32_t>(low), top, bounds.port_count,
                (portslot::port_block_count(static_cast<int32_t>(low), top, bounds.port_count) + 1) / 2,
                ranges);
        }
        if (i < held.size)
            low = std::max<int64_t>(low, int64_t{held.items[i].high} + 1);
    }
}

// With no device placed yet: the fleet's range of the bounds' first blocks
// (60 to 100 %) that leaves the fewest devices with a setting (and none
// placed nowhere, where it can), the rest cut in halves after it.
void best_cut(const port_range &bounds, size_t servers, const growing_array<placed_device> &all,
              growing_array<port_bounds> &ranges)
{
    const int64_t blocks = portslot::port_block_count(bounds.port_min, bounds.port_max, bounds.port_count);
    growing_array<range_choice> choices;
    growing_array<block_layout> layouts;
    taken_blocks taken;
    tally best{};
    int64_t best_blocks = blocks;
    bool first = true;
    // Tried from four fifths outwards, so that of equal cuts the one kept
    // leaves room both in the fleet's range and after it for devices to come.
    for (int step = 0; step <= 40; ++step) {
        const int percent = step % 2 == 0 ? 80 + step / 2 : 80 - (step + 1) / 2; // (60 to 100)
        const int64_t fleet_blocks = std::max<int64_t>(1, blocks * percent / 100);
        growing_array<port_bounds> pieces;
        cut(bounds.port_min, bounds.port_max, bounds.port_count, fleet_blocks, pieces);
        add_choices(pieces, servers, bounds.port_count, choices, layouts);
        taken.reset(servers);
        const tally t = place_new(all, choices, layouts, taken, nullptr);
        if (first || t.better_than(best)) {
            best = t;
            best_blocks = fleet_blocks;
            first = false;
        }
    }
    cut(bounds.port_min, bounds.port_max, bounds.port_count, best_blocks, ranges);
}

} // namespace

bool assign_ranges(const growing_array<uint64_t> &devices, const fleet &inventories,
                   const placement_request &request, range_assignment &result, output &err)
{
    const fleet_ranges &table = *inventories.ranges;
    growing_array<placed_device> all;
    by_format(inventories, [&](auto plain) { read_devices<plain()>(devices, inventories, all); });

    // The ranges the devices placed already hold.
    growing_array<port_bounds> held;
    growing_array<uint64_t> held_count;
    for (size_t i = 0; i < all.size; ++i) {
        if (all.items[i].is_new)
            continue;
        ++result.kept;
        const block_layout &l = table.layout_of(all.items[i].first);
        size_t r = 0;
        while (r < held.size && held.items[r].low != l.port_min) // (same start: same range)
            ++r;
        if (r == held.size) {
            held.push(port_bounds{l.port_min, l.port_max});
            held_count.push(0);
        }
        ++held_count.items[r];
    }

    growing_array<port_bounds> ranges;
    if (request.overflow_count > 0) {
        if (!given_ranges(request, held, ranges, err))
            return false;
    } else if (held.size > 0) {
        keep_and_cut(request.bounds, held, held_count, ranges);
    } else {
        best_cut(request.bounds, request.server_count, all, ranges);
    }

    growing_array<block_layout> layouts;
    add_choices(ranges, request.server_count, request.bounds.port_count, result.choices, layouts);
    taken_blocks taken;
    taken.reset(request.server_count);
    for (size_t i = 0; i < all.size; ++i) {
        const placed_device &d = all.items[i];
        if (d.is_new)
            continue;
        if (d.server < request.server_count)
            taken.take(d.server, d.first);
        const block_layout &l = table.layout_of(d.first);
        for (size_t c = 0; c < result.choices.size; ++c) {
            range_choice &choice = result.choices.items[c];
            if (choice.server == d.server && choice.port_min == l.port_min) // (as above)
                ++choice.devices;
        }
    }
    result.nowhere = place_new(all, result.choices, layouts, taken, &result.new_devices).nowhere;
    for (size_t i = 0; i < result.new_devices.size; ++i) {
        const uint64_t c = result.new_devices.items[i] & 0xffff;
        if (c != range_assignment::nowhere_choice)
            ++result.choices.items[c].devices;
    }
    return true;
}

} // namespace portslot::audit
