#include "block_sort.h"

#include <stdlib.h>

#include <utility>

#include "fleet.h"

namespace portslot::audit {

namespace {

constexpr int digit_bits = 11;

} // namespace

void sort_by_block(growing_array<uint64_t> &devices)
{
    sort_by_bits(devices, offset_bits, 64);
}

void sort_by_bits(growing_array<uint64_t> &devices, int low_bit, int high_bit)
{
    const size_t n = devices.size;
    if (n < 2)
        return;
    // Only the bits in which the values differ need sorting; a stable radix
    // pass per 11 of them keeps the order of equal ones.
    const uint64_t bits = (uint64_t{1} << (high_bit - low_bit)) - 1;
    const uint64_t first = devices.items[0] >> low_bit & bits;
    uint64_t differ = 0;
    for (size_t i = 0; i < n; ++i)
        differ |= (devices.items[i] >> low_bit & bits) ^ first;
    if (differ == 0)
        return;
    int low = 0;
    while ((differ >> low & 1) == 0)
        ++low;
    int high = 63;
    while ((differ >> high & 1) == 0)
        --high;

    uint64_t *scratch = static_cast<uint64_t *>(reallocate(nullptr, n * sizeof(uint64_t)));
    prefer_large_pages(scratch, n * sizeof(uint64_t));
    uint64_t *from = devices.items, *to = scratch;
    for (int shift = low_bit + low; shift <= low_bit + high; shift += digit_bits) {
        size_t counts[size_t{1} << digit_bits] = {};
        // (The last digit may reach past `high`: bits equal in every value.)
        const uint64_t mask = (uint64_t{1} << digit_bits) - 1;
        for (size_t i = 0; i < n; ++i)
            ++counts[from[i] >> shift & mask];
        size_t total = 0;
        for (size_t &count : counts) {
            const size_t here = count;
            count = total;
            total += here;
        }
        for (size_t i = 0; i < n; ++i)
            to[counts[from[i] >> shift & mask]++] = from[i];
        std::swap(from, to);
    }
    // The sorted devices stay where the last pass put them.
    if (from != devices.items) {
        std::swap(devices.items, scratch);
        devices.capacity = n;
    }
    free(scratch);
}

} // namespace portslot::audit
