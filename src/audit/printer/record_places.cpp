#include "record_places.h"

#include <algorithm>

#include "line_numbers.h"
#include "shown_text.h"

namespace portslot::audit {

void record_places::number()
{
    std::sort(offsets_.items, offsets_.items + offsets_.size);
    offsets_.size = static_cast<size_t>(
        std::unique(offsets_.items, offsets_.items + offsets_.size) - offsets_.items);
    lines_.reserve(offsets_.size);
    lines_.size = offsets_.size;
    number_lines(inventories_, offsets_.items, offsets_.size, lines_.items);
}

uint64_t record_places::line_of(uint64_t offset) const
{
    const uint64_t *at = std::lower_bound(offsets_.items, offsets_.items + offsets_.size, offset);
    return lines_.items[at - offsets_.items];
}

void record_places::write(output &err, uint64_t offset) const
{
    write_place(err, inventories_.files[inventories_.index_of(offset)].name, line_of(offset));
}

} // namespace portslot::audit
