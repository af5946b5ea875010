#include "device_ranges.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include <portslot/port_derivation.h>

#include "ascii.h"
#include "jump_hosts.h"
#include "memory.h"
#include "record_fields.h"

namespace portslot::audit {

namespace {

constexpr size_t port_slots = 65536;

uint64_t hash_of(const char *name, size_t size)
{
    uint64_t h = 14695981039346656037u;
    for (size_t i = 0; i < size; ++i)
        h = (h ^ letter_cases.lower[static_cast<unsigned char>(name[i])]) * 1099511628211u;
    return h;
}

bool same_name(const fleet_ranges &t, size_t i, const char *name, size_t size)
{
    size_t n;
    const char *known = server_name(t, i, n);
    if (n != size)
        return false;
    for (size_t k = 0; k < size; ++k)
        if (letter_cases.lower[static_cast<unsigned char>(known[k])] !=
            letter_cases.lower[static_cast<unsigned char>(name[k])])
            return false;
    return true;
}

// Puts server `i` into the hash table, which is kept at most half full.
void hash_server(fleet_ranges &t, size_t i)
{
    if (2 * (t.server_count() + 1) > t.slot_count) {
        const size_t grown = t.slot_count == 0 ? 64 : 2 * t.slot_count;
        free(t.slots);
        t.slots = static_cast<uint32_t *>(allocate_zeroed(grown, sizeof(uint32_t)));
        t.slot_count = grown;
        for (size_t k = 1; k < t.server_count(); ++k)
            if (k != i)
                hash_server(t, k);
    }
    size_t n;
    const char *name = server_name(t, i, n);
    for (size_t s = hash_of(name, n) & (t.slot_count - 1);; s = (s + 1) & (t.slot_count - 1))
        if (t.slots[s] == 0) {
            t.slots[s] = static_cast<uint32_t>(i + 1);
            return;
        }
}

void add_server(fleet_ranges &t, const char *name, size_t size)
{
    append(t.names, name, size);
    t.name_starts.push(t.names.size);
    if (size != 0)
        hash_server(t, t.server_count() - 1);
}

// A bound: decimal digits, blanks around them aside, from 1 to 65535; or -1.
int32_t read_bound(const char *p, size_t size)
{
    const char *end = p + size;
    p = detail::skip_blanks(p, end);
    end = detail::trim_end(p, end);
    if (end - p > 5) // (an empty bound is told apart before)
        return -1;
    int32_t value = 0;
    for (; p != end; ++p) {
        if (*p < '0' || *p > '9')
            return -1;
        value = value * 10 + (*p - '0');
    }
    return value >= 1 && value <= 65535 ? value : -1;
}

// Marks the ports of range `index` as its own.
void mark_range(fleet_ranges &t, uint32_t index)
{
    const block_layout &l = t.layouts.items[index];
    for (int32_t port = l.port_min; port <= l.port_max; ++port)
        t.owner[port] = static_cast<uint16_t>(index + 1);
    int32_t *at = std::lower_bound(t.starts.items, t.starts.items + t.starts.size, l.port_min);
    const size_t k = static_cast<size_t>(at - t.starts.items);
    t.starts.push(0);
    memmove(t.starts.items + k + 1, t.starts.items + k, (t.starts.size - 1 - k) * sizeof(int32_t));
    t.starts.items[k] = l.port_min;
}

// True when [min, max] holds no port of a range in use.
bool apart(const fleet_ranges &t, int32_t min, int32_t max)
{
    if (t.owner[max] != 0) // (owner[min] is looked at first: range_index)
        return false;
    // (Every range lies whole in [min, max] or outside it: one inside starts inside.)
    const int32_t *at = std::lower_bound(t.starts.items, t.starts.items + t.starts.size, min);
    return at == t.starts.items + t.starts.size || *at > max;
}

} // namespace

fleet_ranges::~fleet_ranges()
{
    free(owner);
    free(slots);
}

const block_layout *fleet_ranges::range_holding(int32_t port) const
{
    return owner[port] == 0 ? nullptr : &layouts.items[owner[port] - 1];
}

void start_fleet_ranges(fleet_ranges &t, const port_range &fleet, const char *const *names,
                        size_t count)
{
    t.port_count = fleet.port_count;
    t.fleet = fleet;
    t.layouts.push(block_layout(fleet.port_min, fleet.port_max, fleet.port_count));
    t.name_starts.push(0);
    if (count == 0)
        add_server(t, "", 0);
    for (size_t i = 0; i < count; ++i)
        server_index(t, names[i], strlen(names[i]));
    t.given_servers = t.server_count();
}

void start_placing(fleet_ranges &t, bool devices_before)
{
    t.owner = static_cast<uint16_t *>(allocate_zeroed(port_slots, sizeof(uint16_t)));
    if (devices_before) {
        t.fleet_in_use = true;
        mark_range(t, 0);
    }
}

int64_t server_index(fleet_ranges &t, const char *name, size_t size)
{
    if (size == 0)
        return 0;
    if (t.slot_count != 0)
        for (size_t s = hash_of(name, size) & (t.slot_count - 1); t.slots[s] != 0;
             s = (s + 1) & (t.slot_count - 1))
            if (same_name(t, t.slots[s] - 1, name, size))
                return t.slots[s] - 1;
    if (!is_server_name(name, size))
        return -1;
    if (t.server_count() == max_servers)
        return -2;
    add_server(t, name, size);
    return static_cast<int64_t>(t.server_count() - 1);
}

int64_t range_index(fleet_ranges &t, int32_t min, int32_t max)
{
    if (const uint16_t at = t.owner[min]; at != 0) {
        const block_layout &l = t.layouts.items[at - 1];
        return l.port_min == min && l.port_max == max ? at - 1 : -1;
    }
    // (Once in use, the fleet's range is found above.)
    if (min == t.fleet.port_min && max == t.fleet.port_max) {
        if (!apart(t, min, max))
            return -1;
        t.fleet_in_use = true;
        mark_range(t, 0);
        return 0;
    }
    if (!apart(t, min, max))
        return -1;
    t.layouts.push(block_layout(min, max, t.port_count));
    mark_range(t, static_cast<uint32_t>(t.layouts.size - 1));
    return static_cast<int64_t>(t.layouts.size - 1);
}

void placement_from_spots(const column_spots &spots, placement_fields &fields,
                          growing_array<char> &scratch)
{
    // An unquoted value is pointed at in the text; a quoted one is gathered
    // in `scratch` first, pointed at once it has stopped growing.
    scratch.size = 0;
    const char *text[3] = {};
    size_t at[3] = {}, sizes[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char *const start = spots.start[i];
        const char *const stop = start == nullptr ? nullptr : spots.stop[i]; // (a field not there)
        if (start == stop || *start != '"') {
            text[i] = start;
            sizes[i] = static_cast<size_t>(stop - start);
            continue;
        }
        at[i] = scratch.size;
        csv_value(start, stop, [&](const char *piece, size_t size) { append(scratch, piece, size); });
        sizes[i] = scratch.size - at[i];
    }
    for (int i = 0; i < 3; ++i)
        if (text[i] == nullptr)
            text[i] = scratch.items + at[i];
    fields.port_min = text[0];
    fields.port_max = text[1];
    fields.server = text[2];
    fields.port_min_size = sizes[0];
    fields.port_max_size = sizes[1];
    fields.server_size = sizes[2];
}

void read_placement_fields(const inventory &inv, const char *record, placement_fields &fields,
                           growing_array<char> &scratch)
{
    column_spots spots = placement_spots(inv);
    const uint32_t last = std::max(spots.columns[0], std::max(spots.columns[1], spots.columns[2]));
    walk_csv_fields(record, inv.text + inv.size, inv.format.delimiter,
                    [&](uint32_t column, const char *start, const char *stop) {
                        for (int k = 0; k < 3; ++k)
                            if (column == spots.columns[k]) {
                                spots.start[k] = start;
                                spots.stop[k] = stop;
                            }
                        return column < last;
                    });
    placement_from_spots(spots, fields, scratch);
}

placement_fault take_placement(fleet_ranges &t, const placement_fields &fields, uint32_t &range,
                               uint32_t &server)
{
    const char *end = fields.port_min + fields.port_min_size;
    const bool min_empty = detail::skip_blanks(fields.port_min, end) == end;
    end = fields.port_max + fields.port_max_size;
    const bool max_empty = detail::skip_blanks(fields.port_max, end) == end;
    if (min_empty != max_empty)
        return placement_fault::half_given;
    const int64_t s = server_index(t, fields.server, fields.server_size);
    if (s < 0)
        return s == -1 ? placement_fault::not_a_host : placement_fault::too_many_servers;
    server = static_cast<uint32_t>(s);
    int32_t min = t.fleet.port_min, max = t.fleet.port_max;
    if (min_empty && t.placing && s == 0) {
        range = 0;
        return placement_fault::none;
    }
    if (!min_empty) {
        min = read_bound(fields.port_min, fields.port_min_size);
        max = read_bound(fields.port_max, fields.port_max_size);
        if (min < 0 || max < 0)
            return placement_fault::not_a_port;
        if (portslot::port_block_count(min, max, t.port_count) <= 0)
            return placement_fault::no_block;
    }
    const int64_t r = range_index(t, min, max);
    if (r < 0)
        return placement_fault::overlaps;
    range = static_cast<uint32_t>(r);
    return placement_fault::none;
}

namespace {

// A hash of `size` bytes at `p`, eight at a time.
uint64_t hash_of_bytes(const char *p, size_t size)
{
    uint64_t h = size * 0x9e3779b97f4a7c15u;
    for (; size >= 8; p += 8, size -= 8) {
        uint64_t word;
        memcpy(&word, p, 8);
        h = (h ^ word) * 0xff51afd7ed558ccdu;
    }
    uint64_t rest = 0;
    memcpy(&rest, p, size);
    h = (h ^ rest) * 0xc4ceb9fe1a85ec53u;
    return h ^ (h >> 29);
}

} // namespace

placement_fault take_noted_placement(fleet_ranges &t, placement_memo &memo,
                                     const column_spots &spots, growing_array<char> &scratch,
                                     uint32_t &range, uint32_t &server)
{
    placement_memo::slot *slot = nullptr;
    // The fields are noted in the order of their columns, so a record that
    // has the last has them all; one that has not is taken as it comes.
    const char *const from = spots.start[spots.slots[spots.first]];
    const char *const to = spots.stop[spots.slots[2]];
    if (spots.start[spots.slots[2]] != nullptr) {
        const auto size = static_cast<size_t>(to - from);
        slot = &memo.slots[hash_of_bytes(from, size) % placement_memo::slot_count];
        if (slot->text != nullptr && slot->size == size && memcmp(slot->text, from, size) == 0) {
            range = slot->range;
            server = slot->server;
            return placement_fault::none;
        }
    }
    placement_fields fields;
    placement_from_spots(spots, fields, scratch);
    const placement_fault fault = take_placement(t, fields, range, server);
    if (slot != nullptr && fault == placement_fault::none)
        *slot = placement_memo::slot{from, static_cast<size_t>(to - from), range, server};
    return fault;
}

port_range span_of_ranges(const fleet_ranges &t)
{
    port_range span = t.fleet;
    if (!t.placed() || t.layouts.size == 1)
        return span;
    const size_t from = t.fleet_in_use ? 0 : 1;
    span.port_min = t.layouts.items[from].port_min;
    span.port_max = t.layouts.items[from].port_max;
    for (size_t i = from + 1; i < t.layouts.size; ++i) {
        span.port_min = std::min(span.port_min, t.layouts.items[i].port_min);
        span.port_max = std::max(span.port_max, t.layouts.items[i].port_max);
    }
    return span;
}

const char *placement_fault_text(placement_fault fault)
{
    // (In the enumeration's order.)
    static constexpr const char *texts[] = {
        "",
        "port_min or port_max is no port from 1 to 65535",
        "port_min and port_max go together: one is empty",
        "port_min to port_max holds no whole block",
        ("port_min to port_max holds ports of another range in part (ranges must be the same or "
         "apart)"),
        "the server is no host name or address",
        "more than 16383 servers",
    };
    return texts[static_cast<size_t>(fault)];
}

} // namespace portslot::audit
