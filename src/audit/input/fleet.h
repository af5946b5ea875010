// A run's fleet: its inventories one after another, the range the devices
// are given blocks in, and a device as the plan keeps it; the fleet loaded
// (fleet.cpp: every inventory named, in whole, and each of its
// devices given its block in the range; lines that give no port and files
// that cannot be read are reported, and the rest is still audited), and a
// device's record read again.
#ifndef PORTSLOT_AUDIT_FLEET_H
#define PORTSLOT_AUDIT_FLEET_H

#include <stddef.h>
#include <stdint.h>

#include <algorithm>
#include <type_traits>

#include "block_of_address.h"
#include "device_ranges.h"
#include "growing_array.h"
#include "inventory.h"
#include "inventory_records.h"
#include "output.h"
#include "record_format.h"

namespace portslot::audit {

// All inventories of a run, one after another: a device's place is an offset
// into their concatenation.
struct fleet {
    inventory *files;
    uint64_t *bases; // where each inventory starts
    size_t count;
    bool plain = true; // every inventory in the plain format
    const fleet_ranges *ranges = nullptr; // the devices' ranges and servers

    // The inventory holding `offset`.
    size_t index_of(uint64_t offset) const
    {
        if (count == 1)
            return 0;
        // The last inventory that starts at or before the offset.
        return static_cast<size_t>(std::upper_bound(bases, bases + count, offset) - bases) - 1;
    }
};

// Where a device's record is known by: its address, which the record's first
// line holds but for a CSV record whose fields before the address hold a line
// end; then the record's start. (The plan reads the address alone of every
// device, and from there finds the record when it needs it: record_at.)
[[gnu::always_inline]] inline const char *device_place(const char *record, const entry &e,
                                                       const record_format &format)
{
    if (format.kind == record_format::csv && e.spans_lines && find_line_end(record, e.mac) != e.mac)
        return record;
    return e.mac;
}

// The start of the record of the device whose place is `place` in `inv`
// (device_place): the place itself where it starts a record
// (starts_record: a line end comes just before it, or the records start
// there); else the start of its line, blanks aside in the formats that skip
// them.
inline bool starts_record(const inventory &inv, const char *place)
{
    return inv.format.kind == record_format::plain || place == inv.text + inv.records_start ||
           detail::class_of(place[-1]) == detail::line_end;
}
inline const char *record_at(const inventory &inv, const char *place)
{
    if (starts_record(inv, place))
        return place;
    // Back to the line's start, eight bytes at a time: the last line end in a
    // word is the highest of its exact marks.
    const char *const first = inv.text + inv.records_start;
    const char *p = place;
    for (; p - first >= 8; p -= 8) {
        const uint64_t word = load_word(p - 8);
        if (marks_below(word, 0x0e) == 0) // (no byte that could end a line)
            continue;
        const uint64_t ends = exact_marks_of(word, '\n') | exact_marks_of(word, '\r');
        if (ends != 0) {
            p -= 8 - (63 - static_cast<unsigned>(__builtin_clzll(ends))) / 8 - 1;
            break;
        }
    }
    while (p != first && detail::class_of(p[-1]) != detail::line_end)
        --p;
    // (Records split at a delimiter start at their line's start, blanks and
    // all; those split at blanks, at their first non-blank.)
    if (inv.format.kind == record_format::fields && inv.format.delimiter == 0)
        while (detail::class_of(*p) == detail::blank)
            ++p;
    return p;
}

// True when the fleet's records are split at runs of blanks: their labels
// are read back from their addresses (BlankFields below), which are never
// their first fields (those are the plain format).
inline bool splits_at_blanks(const fleet &inventories)
{
    const record_format &format = inventories.files[0].format; // (one format a run)
    return format.kind == record_format::fields && format.delimiter == 0;
}

// The record of the device whose place is `offset`, read again into `e`,
// with where it starts (in the plain format, at the address); returns the
// index of its inventory. `Plain` says that every inventory is in the plain
// format, the one read fastest; `BlankFields` that every one is split at
// runs of blanks (splits_at_blanks), which it must say for such a fleet.
// (Inline: the plan calls it once a device.)
template <bool Plain, bool BlankFields = false>
[[gnu::always_inline]] inline size_t read_device_record(const fleet &inventories, uint64_t offset,
                                                        entry &e, const char *&start)
{
    const size_t i = inventories.index_of(offset);
    const inventory &inv = inventories.files[i];
    const char *record = inv.text + (offset - inventories.bases[i]);
    e.line = 0;
    if constexpr (Plain) {
        // (Only what the plain format leaves unset, not the whole entry.)
        e.has_quote = e.no_field = false;
        e.joiner = 0;
        e.before = record;
        e.before_size = 0;
        read_plain_line(record, inv.text + inv.size, e);
        start = record;
        return i;
    } else {
        uint64_t line_ends = 0;
        e.has_nul = false; // (not looked for again)
        // Split at runs of blanks, from its address on (field 2 or later),
        // back over the fields before it (which start the label).
        if constexpr (BlankFields) {
            read_blank_fields_from_address(inv.text + inv.records_start, record,
                                           inv.text + inv.size, inv.format.field, e);
            start = e.before;
            return i;
        }
        // From its address on too, where the delimiter is no blank (a blank
        // one could stand inside a quoted address, which the way back would
        // take for the field's start).
        start = record_at(inv, record);
        const char delimiter = inv.format.delimiter;
        if (start != record && delimiter != 0 && detail::class_of(delimiter) != detail::blank)
            read_split_from_address(start, record, inv.text + inv.size, inv.format, e);
        else
            detail::read_split_record(start, inv.text + inv.size, inv.format, e, line_ends,
                                      address_checks::skipped);
        return i;
    }
}

// The fields of the record of the device whose place is `offset`.
template <bool Plain>
[[gnu::always_inline]] inline entry entry_at(const fleet &inventories, uint64_t offset)
{
    entry e;
    const char *start;
    if constexpr (!Plain) {
        if (splits_at_blanks(inventories)) {
            read_device_record<false, true>(inventories, offset, e, start);
            return e;
        }
    }
    read_device_record<Plain>(inventories, offset, e, start);
    return e;
}

// Calls `work(std::bool_constant<Plain>{})` with Plain true when every
// inventory of the fleet is plain: the stages that read every device take
// the plain format's fast path.
template <class Work> decltype(auto) by_format(const fleet &inventories, Work &&work)
{
    if (inventories.plain)
        return work(std::true_type{});
    return work(std::false_type{});
}

// The same, whatever the fleet's format.
inline entry entry_at(const fleet &inventories, uint64_t offset)
{
    return by_format(inventories, [&](auto plain) { return entry_at<plain()>(inventories, offset); });
}

inline const char *text_at(const fleet &inventories, uint64_t offset)
{
    const size_t i = inventories.index_of(offset);
    return inventories.files[i].text + (offset - inventories.bases[i]);
}

// A device as the plan keeps it, in eight bytes: the index of its server,
// above the first port of its block (what portslot --port-num 1 prints in
// its range), above the offset of its record (in the plain format, of its
// address) among the fleet's inventories. Its server and first port are its
// block: devices with the same share it, as ranges in use are the same or
// apart.
constexpr int offset_bits = 33;
constexpr int port_bits = 17;
constexpr uint64_t max_offset = (uint64_t{1} << offset_bits) - 1;
inline uint64_t make_device(int32_t first_port, uint64_t offset, uint32_t server = 0)
{
    return (uint64_t{server} << port_bits | uint32_t(first_port)) << offset_bits | offset;
}
inline int32_t first_port_of(uint64_t device)
{
    return int32_t(device >> offset_bits & ((uint64_t{1} << port_bits) - 1));
}
inline uint32_t server_of(uint64_t device)
{
    return uint32_t(device >> (offset_bits + port_bits));
}
// The block of a device, as compared: its server and its first port.
inline uint64_t block_of(uint64_t device)
{
    return device >> offset_bits;
}
inline uint64_t offset_of(uint64_t device)
{
    return device & max_offset;
}

// The fleet as loaded.
struct loaded_fleet {
    inventory *files = nullptr;
    uint64_t *bases = nullptr;
    size_t count = 0;                // inventories loaded
    growing_array<uint64_t> devices; // in input order
    bool complete = true;            // every line gave a port, every file was read
    bool read_whole = true;          // every file was read, its CSV header too
    uint64_t refused = 0;            // records that gave no port
    fleet_ranges ranges;             // the ranges and servers of the devices

    loaded_fleet() = default;
    loaded_fleet(const loaded_fleet &) = delete;
    loaded_fleet &operator=(const loaded_fleet &) = delete;
    ~loaded_fleet();

    bool plain = true; // every inventory in the plain format

    fleet view() const { return fleet{files, bases, count, plain, &ranges}; }
};

// What to load, and how its records hold their addresses.
struct fleet_source {
    const char *const *files;
    size_t file_count;
    record_format format;
    const char *field_name; // with CSV: the address column's name, or null
    const char *const *servers = nullptr; // --server, in order
    size_t server_count = 0;
};

// Loads the inventories of `source` into `loaded`. A file named twice, or
// under two names, is read once. Inventories too large to audit, and CSV
// inventories without the address column, end the run.
void load_fleet(const fleet_source &source, const port_range &range, loaded_fleet &loaded,
                output &err);

// Ends the run when an inventory has changed since it was loaded: lines
// read from it since may hold old text and new.
void check_unchanged(const loaded_fleet &loaded);

} // namespace portslot::audit

#endif
