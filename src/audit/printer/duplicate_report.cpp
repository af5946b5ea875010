#include "duplicate_report.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>

#include "decimal.h"
#include "line_numbers.h"
#include "shown_text.h"

namespace portslot::audit {

void write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err)
{
    if (duplicates.size == 0)
        return;
    // Line numbers are counted only now, in one pass over each inventory,
    // for the entries that need them.
    growing_array<uint64_t> offsets;
    for (size_t i = 0; i < duplicates.size; ++i) {
        offsets.push(duplicates.items[i].reported);
        offsets.push(duplicates.items[i].kept);
    }
    std::sort(offsets.items, offsets.items + offsets.size);
    offsets.size = static_cast<size_t>(std::unique(offsets.items, offsets.items + offsets.size) -
                                       offsets.items);
    uint64_t *lines = static_cast<uint64_t *>(reallocate(nullptr, offsets.size * sizeof(uint64_t)));
    number_lines(inventories, offsets.items, offsets.size, lines);

    const auto put_place = [&](uint64_t offset) {
        const size_t at = static_cast<size_t>(
            std::lower_bound(offsets.items, offsets.items + offsets.size, offset) - offsets.items);
        write_place(err, inventories.files[inventories.index_of(offset)].name, lines[at]);
    };
    for (size_t i = 0; i < duplicates.size; ++i) {
        put_place(duplicates.items[i].reported);
        err.text(": duplicate of ");
        put_place(duplicates.items[i].kept);
        err.text("\n");
    }
    free(lines);
}

} // namespace portslot::audit
