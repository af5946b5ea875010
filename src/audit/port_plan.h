// The port plan of a fleet: which block each device gets, which devices are
// listed twice, which blocks are shared, and the lines and summary that say so.
#ifndef PORTSLOT_AUDIT_PORT_PLAN_H
#define PORTSLOT_AUDIT_PORT_PLAN_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include "inventory.h"
#include "memory.h"
#include "output.h"

namespace portslot::audit {

struct port_range {
    int32_t port_min, port_max, port_count;
};

// All inventories of a run, one after another: a device's place is an offset
// into their concatenation.
struct fleet {
    inventory *inventories;
    uint64_t *bases; // where each inventory starts
    size_t count;

    // The inventory holding `offset`.
    size_t index_of(uint64_t offset) const;
};

// A device as the plan keeps it, in eight bytes: the first port of its block
// (what portslot --port-num 1 prints; never negative) above the offset of its
// address among the fleet's inventories.
constexpr int offset_bits = 33;
constexpr uint64_t max_offset = (uint64_t{1} << offset_bits) - 1;
inline uint64_t make_device(int32_t first_port, uint64_t offset)
{
    return uint64_t(uint32_t(first_port)) << offset_bits | offset;
}
inline int32_t first_port_of(uint64_t device)
{
    return int32_t(device >> offset_bits);
}
inline uint64_t offset_of(uint64_t device)
{
    return device & max_offset;
}

// Asks for large pages for a large block of memory: far fewer page faults
// and TLB misses when millions of devices are held.
void prefer_large_pages(void *start, size_t size);

// A growing array of plain values; every allocation failure is reported.
template <class T> struct growing_array {
    T *items = nullptr;
    size_t size = 0, capacity = 0;

    growing_array() = default;
    growing_array(const growing_array &) = delete;
    growing_array &operator=(const growing_array &) = delete;
    ~growing_array() { free(items); }
    bool push(const T &item) { return (size < capacity || grow()) && (items[size++] = item, true); }

    // Doubles the room; large blocks are remapped rather than copied.
    bool grow()
    {
        const size_t grown = capacity == 0 ? 4096 : capacity * 2;
        T *bigger = grown <= SIZE_MAX / sizeof(T)
                        ? static_cast<T *>(reallocate(items, grown * sizeof(T)))
                        : nullptr;
        if (bigger == nullptr)
            return false;
        items = bigger;
        capacity = grown;
        prefer_large_pages(items, capacity * sizeof(T));
        return true;
    }
};

struct duplicate {
    uint64_t later, first; // offsets of the two entries' addresses
};

// Orders `devices` by block, keeping input order within a block, in time
// linear in their number. False when out of memory.
bool sort_by_block(growing_array<uint64_t> &devices);

// "FILE:LINE: duplicate of FILE:LINE" for each duplicate. False when out of memory.
bool write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err);

struct plan_summary {
    uint64_t devices = 0;
    uint64_t blocks_in_use = 0;
    uint64_t shared_blocks = 0;
    uint64_t sharing_devices = 0; // devices in shared blocks
};

// Writes one line per device of the sorted `devices`,
// "first-last<TAB>mac<TAB>label": every device when `all`, else only those
// that share their block with another device; control bytes escaped when
// `escape`. Two entries are one device
// when their addresses are the same text once colons are dropped, letters
// compared without case: the first is kept, and every later one goes to
// `duplicates`, in input order. False when out of memory.
bool write_plan(const growing_array<uint64_t> &devices, const fleet &inventories,
                const port_range &range, bool all, bool escape, output &out, plan_summary &summary,
                growing_array<duplicate> &duplicates);

// The keys of the distinct devices of the sorted `devices`, each as the
// derivation reads it from the address, with every later entry of a device
// listed twice in `duplicates` as for write_plan. False when out of memory.
bool distinct_keys(const growing_array<uint64_t> &devices, const fleet &inventories,
                   growing_array<duplicate> &duplicates, growing_array<uint64_t> &keys);

// Gives every device the block that `range` gives it, and sorts them by
// block. False when out of memory.
bool place_devices(growing_array<uint64_t> &devices, const fleet &inventories,
                   const port_range &range);

// "D devices, U of B blocks in use, S shared by K devices", and when there
// are more devices than blocks a second line with the sharing that no choice
// of addresses avoids.
void write_summary(const plan_summary &summary, int64_t blocks, output &out);

} // namespace portslot::audit

#endif
