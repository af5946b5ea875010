#include "line_numbers.h"

namespace portslot::audit {

void number_lines(const fleet &inventories, const uint64_t *offsets, size_t count, uint64_t *lines)
{
    for (size_t begin = 0; begin < count;) {
        const size_t i = inventories.index_of(offsets[begin]);
        const uint64_t base = inventories.bases[i];
        const inventory &inv = inventories.files[i];
        size_t end = begin;
        while (end < count && offsets[end] - base < inv.size)
            ++end;
        number_lines_in_text(inv.text, inv.size, base, offsets + begin, end - begin, lines + begin);
        begin = end;
    }
}

} // namespace portslot::audit
