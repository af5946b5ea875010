#include "unavoidable_sharing.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "device_identity.h"
#include "line_numbers.h"
#include "memory.h"
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

// Writes "MAC (FILE:LINE)" for each device of the group [from, to).
void write_group(const residue *from, const residue *to, const fleet &inventories, int32_t port_max,
                 output &err)
{
    const size_t count = static_cast<size_t>(to - from);
    auto *offsets = static_cast<uint64_t *>(allocate_zeroed(2 * count, sizeof(uint64_t)));
    uint64_t *lines = offsets + count;
    for (size_t i = 0; i < count; ++i)
        offsets[i] = from[i].offset;
    number_lines(inventories, offsets, count, lines);
    err.text("portslot-audit: these devices share a block in every range up to --port-max ");
    err.number(port_max);
    err.text(":");
    for (size_t i = 0; i < count; ++i) {
        const char *name = inventories.files[inventories.index_of(offsets[i])].name;
        err.text(i == 0 ? " " : ", ");
        write_cut(err, from[i].mac, from[i].mac_size, 64);
        err.text(" (");
        write_place(err, name, lines[i]);
        err.text(")");
    }
    err.text("\n");
    free(offsets);
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
    growing_array<residue> block;
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
            if (j - i > 1)
                write_group(block.items + i, block.items + j, inventories, port_max, err);
        }
    }
}

} // namespace portslot::audit
