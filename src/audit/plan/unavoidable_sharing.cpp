#include "unavoidable_sharing.h"

#include <algorithm>

#include "device_identity.h"
#include "line_numbers.h"
#include "placement.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// A device of a shared block: its key modulo the inseparable modulus, where
// its record is, and its address.
struct residue {
    uint64_t value, offset;
    const char *mac;
    size_t mac_size;
};

// Writes "MAC (FILE:LINE)" for each device of the group [from, to), the
// lines looked up among `offsets` (ascending) and their `lines`.
void write_group(const residue *from, const residue *to, const fleet &inventories,
                 const growing_array<uint64_t> &offsets, const uint64_t *lines, int32_t port_max,
                 output &err)
{
    err.text("portslot-audit: these devices share a block in every range up to --port-max ");
    err.number(port_max);
    err.text(":");
    for (const residue *r = from; r != to; ++r) {
        const size_t at = static_cast<size_t>(
            std::lower_bound(offsets.items, offsets.items + offsets.size, r->offset) -
            offsets.items);
        err.text(r == from ? " " : ", ");
        write_cut(err, r->mac, r->mac_size, 64);
        err.text(" (");
        write_place(err, inventories.files[inventories.index_of(r->offset)].name, lines[at]);
        err.text(")");
    }
    err.text("\n");
}

} // namespace

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

void write_unavoidable_sharing(const growing_array<uint64_t> &devices, const fleet &inventories,
                               int64_t max_blocks, int32_t port_max, output &err)
{
    const uint64_t modulus = inseparable_modulus(max_blocks);
    // Every group first, then the lines of all their devices in one pass
    // over the text (a pass a group would cost the file once per group).
    growing_array<residue> block, grouped;
    growing_array<size_t> group_ends;
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
                block.push(residue{modulus != 0 ? key % modulus : key, offset, e.mac, e.mac_size});
            }
        });
        // (In input order within a group: offsets ascend.)
        std::sort(block.items, block.items + block.size, [](const residue &a, const residue &b) {
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
    growing_array<uint64_t> offsets;
    for (size_t k = 0; k < grouped.size; ++k)
        offsets.push(grouped.items[k].offset);
    std::sort(offsets.items, offsets.items + offsets.size);
    growing_array<uint64_t> lines;
    lines.reserve(offsets.size);
    number_lines(inventories, offsets.items, offsets.size, lines.items);
    for (size_t g = 0, from = 0; g < group_ends.size; from = group_ends.items[g++])
        write_group(grouped.items + from, grouped.items + group_ends.items[g], inventories, offsets,
                    lines.items, port_max, err);
}

} // namespace portslot::audit
