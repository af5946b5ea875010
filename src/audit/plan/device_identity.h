// Which entries are one device: two entries are one device when their
// addresses are the same text once colons are dropped, letters compared
// without case. As such entries give the same block, they are looked for
// block by block (listed_twice.h).
#ifndef PORTSLOT_AUDIT_DEVICE_IDENTITY_H
#define PORTSLOT_AUDIT_DEVICE_IDENTITY_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "ascii.h"
#include "block_sort.h"
#include "fleet.h"
#include "growing_array.h"
#include "inventory_lines.h"

namespace portslot::audit {

// An entry of a device listed twice that is reported, and the one kept (the
// first, or with --keep-last the last).
struct duplicate {
    uint64_t reported, kept; // offsets of the two entries' records
};

// A device's address as one value: the twelve bytes that are not colons, ASCII
// letters in lower case. (Only addresses that gave a port get here, and those
// hold exactly twelve.)
struct address {
    uint64_t high;
    uint32_t low;

    bool operator==(const address &other) const { return high == other.high && low == other.low; }
    size_t hash(int bits) const
    {
        const uint64_t mixed = (high ^ (uint64_t{low} << 17)) * 0x9e3779b97f4a7c15u;
        return static_cast<size_t>(mixed >> (64 - bits));
    }
};

inline address address_of(const entry &e)
{
    unsigned char bytes[12] = {};
    const auto *mac = reinterpret_cast<const unsigned char *>(e.mac);
    // (One test of all five colons, in the usual form.)
    if (e.mac_size == 17 && ((mac[2] ^ ':') | (mac[5] ^ ':') | (mac[8] ^ ':') | (mac[11] ^ ':') |
                             (mac[14] ^ ':')) == 0) {
        // The usual form, "aa:bb:cc:dd:ee:ff".
        for (size_t i = 0; i < 6; ++i) {
            bytes[2 * i] = letter_cases.lower[mac[3 * i]];
            bytes[2 * i + 1] = letter_cases.lower[mac[3 * i + 1]];
        }
    } else {
        size_t n = 0;
        // A device's address holds exactly twelve bytes that are not colons.
        for (size_t i = 0; i < e.mac_size; ++i)
            if (mac[i] != ':')
                bytes[n++] = letter_cases.lower[mac[i]];
    }
    // (Packed lowest byte first on any machine, as address_at packs them.)
    address a{};
    for (size_t i = 0; i < 8; ++i)
        a.high |= uint64_t{bytes[i]} << 8 * i;
    for (size_t i = 0; i < 4; ++i)
        a.low |= uint32_t{bytes[8 + i]} << 8 * i;
    return a;
}

// The address of the device whose place is `offset`, read no further than
// the address. (A device's place is its address, where its record's first
// line holds it; and the usual form of a device's address, five colons where
// they stand, is 17 bytes: with twelve that are not colons, no shorter text
// has them there.)
template <bool Plain>
[[gnu::always_inline]] inline address address_at(const fleet &inventories, uint64_t offset)
{
    const size_t i = inventories.index_of(offset);
    const inventory &inv = inventories.files[i];
    const char *const mac = inv.text + (offset - inventories.bases[i]);
    const char *const end = inv.text + inv.size;
    const auto *m = reinterpret_cast<const unsigned char *>(mac);
    // (A CSV record whose fields before the address hold a line end is known
    // by its start, which is no address.)
    bool address_here = true;
    if constexpr (!Plain)
        address_here = inv.format.kind != record_format::csv || !starts_record(inv, mac);
    if (address_here && end - mac >= 17 &&
        ((m[2] ^ ':') | (m[5] ^ ':') | (m[8] ^ ':') | (m[11] ^ ':') | (m[14] ^ ':')) == 0) {
        const auto &low = letter_cases.lower;
        address a;
        a.high = uint64_t{low[m[0]]} | uint64_t{low[m[1]]} << 8 | uint64_t{low[m[3]]} << 16 |
                 uint64_t{low[m[4]]} << 24 | uint64_t{low[m[6]]} << 32 | uint64_t{low[m[7]]} << 40 |
                 uint64_t{low[m[9]]} << 48 | uint64_t{low[m[10]]} << 56;
        a.low = uint32_t{low[m[12]]} | uint32_t{low[m[13]]} << 8 | uint32_t{low[m[15]]} << 16 |
                uint32_t{low[m[16]]} << 24;
        return a;
    }
    entry e;
    if constexpr (Plain) {
        e.mac = mac;
        const char *p = mac;
        while (p != end && detail::class_of(*p) == detail::ordinary)
            ++p;
        e.mac_size = static_cast<size_t>(p - mac);
    } else {
        read_address(record_at(inv, mac), end, inv.format, e);
    }
    return address_of(e);
}

// One block's entries while they are checked for devices listed twice.
struct identity_table {
    growing_array<address> addresses;
    growing_array<uint64_t> offsets;
    growing_array<uint32_t> slots; // a hash table of positions + 1; 0 is empty
    int slot_bits = 0;

    // Room for `size` entries.
    void make_room(size_t size)
    {
        while (addresses.capacity < size) {
            addresses.grow();
            offsets.grow();
        }
        slot_bits = 1;
        while ((size_t{1} << slot_bits) < 2 * size)
            ++slot_bits;
        while (slots.capacity < (size_t{1} << slot_bits))
            slots.grow();
        for (size_t i = 0; i < (size_t{1} << slot_bits); ++i)
            slots.items[i] = 0;
    }

    // The position of an earlier entry with the same address as entry `i`
    // (the first, as only first entries are remembered); else `i`, which is
    // remembered from now on.
    size_t find_or_add(size_t i)
    {
        const size_t mask = (size_t{1} << slot_bits) - 1;
        for (size_t slot = addresses.items[i].hash(slot_bits);; slot = (slot + 1) & mask) {
            const uint32_t held = slots.items[slot];
            if (held == 0) {
                slots.items[slot] = static_cast<uint32_t>(i + 1);
                return i;
            }
            if (addresses.items[held - 1] == addresses.items[i])
                return held - 1;
        }
    }
};

// Duplicates in the input order of the entries reported.
inline void sort_by_reported(growing_array<duplicate> &duplicates)
{
    std::sort(duplicates.items, duplicates.items + duplicates.size,
              [](const duplicate &a, const duplicate &b) { return a.reported < b.reported; });
}

} // namespace portslot::audit

#endif
