// The ranges and servers that an inventory's placement columns (port_min,
// port_max, server) give its devices, one table for the fleet: each range in
// use once, the same as another or apart from every other (so that two
// blocks hold a port in common only when they are the same block), each
// server once. A device without a placement takes the command line's range
// on the first server. (Not --suggest's placement: that one moves the whole
// fleet into one range.)
#ifndef PORTSLOT_AUDIT_DEVICE_RANGES_H
#define PORTSLOT_AUDIT_DEVICE_RANGES_H

#include <stddef.h>
#include <stdint.h>

#include "block_of_address.h"
#include "growing_array.h"
#include "inventory.h"
#include "record_parts.h"

namespace portslot::audit {

// What keeps a record's placement from being taken.
enum class placement_fault : unsigned char {
    none,
    not_a_port,      // a bound that is no number from 1 to 65535
    half_given,      // one bound without the other
    no_block,        // a range that holds no whole block
    overlaps,        // a range that holds ports of another in part
    not_a_host,      // a server that is no host name or address
    too_many_servers // more servers than a device can be told apart by
};

// The most servers a fleet may have (a device keeps its server's index in
// 14 bits).
constexpr size_t max_servers = 16383;

struct fleet_ranges {
    int32_t port_count = 2;
    port_range fleet{};                 // the command line's range
    growing_array<block_layout> layouts; // each range in use; [0] the command line's
    bool fleet_in_use = false;           // [0] is marked in `owner`
    // --place: a device without a placement takes none yet (its block in
    // [0] only sorts it), as the fleet's range is still to be chosen.
    bool placing = false;
    // Per port, 1 + the index of the range that holds it, or 0; null while
    // no inventory has placement columns (every device in [0]).
    uint16_t *owner = nullptr;
    growing_array<int32_t> starts; // the ranges' first ports, ascending
    // While devices are placed: each device, in input order, as its block in
    // the command line's range would be (make_device, server 0), so that one
    // device listed twice with two placements is still found.
    growing_array<uint64_t> homes;
    // The servers: [0] the first (an empty field's), then in order of first
    // mention (those given on the command line first); each name's bytes
    // from name_starts[i] to name_starts[i + 1].
    growing_array<char> names;
    growing_array<size_t> name_starts;
    uint32_t *slots = nullptr; // hash table of server indexes + 1
    size_t given_servers = 1;  // the first servers, given on the command line (or the one unnamed)
    size_t slot_count = 0;

    fleet_ranges() = default;
    fleet_ranges(const fleet_ranges &) = delete;
    fleet_ranges &operator=(const fleet_ranges &) = delete;
    ~fleet_ranges();

    bool placed() const { return owner != nullptr; }
    size_t server_count() const { return name_starts.size - 1; }
    // The range whose block starts at `first` (a device's).
    const block_layout &layout_of(int32_t first) const
    {
        return owner == nullptr ? layouts.items[0] : layouts.items[owner[first] - 1];
    }
    // The range that holds `port` (0 to 65535), or null (devices placed only).
    const block_layout *range_holding(int32_t port) const;
};

// Sets up `t` for a fleet given `fleet` on the command line, and its servers
// (`names`, `count`; the first is the first server), or none.
void start_fleet_ranges(fleet_ranges &t, const port_range &fleet, const char *const *names,
                        size_t count);

// From now on, devices are placed each in its own range: the table of ports
// is made (the devices so far all took the command line's range). Once.
void start_placing(fleet_ranges &t, bool devices_before);

// A record's placement as its fields give it (each a value, without its
// quotes; empty where the field is empty or missing).
struct placement_fields {
    const char *port_min = nullptr, *port_max = nullptr, *server = nullptr;
    size_t port_min_size = 0, port_max_size = 0, server_size = 0;
};

// The placement columns of `inv`, as a record scan notes them
// (for_each_record with spots).
inline column_spots placement_spots(const inventory &inv)
{
    return column_spots(inv.port_min_column, inv.port_max_column, inv.server_column);
}
inline bool has_placement_columns(const inventory &inv)
{
    return inv.port_min_column != 0 || inv.port_max_column != 0 || inv.server_column != 0;
}

// The placement that the fields noted in `spots` give. `scratch` holds
// values whose quotes are taken off.
void placement_from_spots(const column_spots &spots, placement_fields &fields,
                          growing_array<char> &scratch);

// Reads the placement columns of the CSV record at `record` of `inv`.
void read_placement_fields(const inventory &inv, const char *record, placement_fields &fields,
                           growing_array<char> &scratch);

// The index of the range and of the server that `fields` give, taken into
// `t` if new; placement_fault::none, else why not.
placement_fault take_placement(fleet_ranges &t, const placement_fields &fields, uint32_t &range,
                               uint32_t &server);

// The placements taken from an inventory's records, by the bytes of their
// fields (from the first placement field's start to the last's end, as
// written): a placed inventory repeats a few, a range and a server each, and
// the same bytes always give the same placement once it is taken.
struct placement_memo {
    struct slot {
        const char *text = nullptr; // (in the inventory's text)
        size_t size = 0;
        uint32_t range = 0, server = 0;
    };
    static constexpr size_t slot_count = 256;
    slot slots[slot_count];
};

// take_placement for the record whose fields `spots` noted, through `memo`.
placement_fault take_noted_placement(fleet_ranges &t, placement_memo &memo,
                                     const column_spots &spots, growing_array<char> &scratch,
                                     uint32_t &range, uint32_t &server);

// The index of the server named `name` (`size` bytes, compared without
// case), taken into `t` if new; -1 when it is no host name, -2 when there
// are too many.
int64_t server_index(fleet_ranges &t, const char *name, size_t size);

// The index of the range [min, max] (a whole block at least), taken into `t`
// if new; -1 when it holds ports of another range in part.
int64_t range_index(fleet_ranges &t, int32_t min, int32_t max);

// The ports from the lowest range in use to the highest (the command line's
// range while no device is placed in one of its own).
port_range span_of_ranges(const fleet_ranges &t);

// The name of server `i` (empty for an unnamed first server).
inline const char *server_name(const fleet_ranges &t, size_t i, size_t &size)
{
    size = t.name_starts.items[i + 1] - t.name_starts.items[i];
    return t.names.items + t.name_starts.items[i];
}

// A fault's words, as in "FILE:LINE: WORDS".
const char *placement_fault_text(placement_fault fault);

} // namespace portslot::audit

#endif
