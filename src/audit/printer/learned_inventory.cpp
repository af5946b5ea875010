#include "learned_inventory.h"

#include "csv_rewrite.h"

namespace portslot::audit {

void write_learned_inventory(const inventory &inv, uint64_t base, uint32_t column,
                             const char *name, const growing_array<learned_key> &learned,
                             const char *texts, output &out)
{
    const uint32_t given[1] = {column};
    const char *const names[1] = {name};
    column_values c;
    write_header_with(inv, names, given, 1, c, out);
    size_t at = 0; // the next device learnt for
    write_records_with(
        inv, c,
        [&](uint64_t place, column_values &values) {
            while (at < learned.size && learned.items[at].offset - base < place)
                ++at;
            if (at < learned.size && learned.items[at].offset - base == place) {
                values.given = true;
                values.text[0] = texts + learned.items[at].text;
                values.sizes[0] = learned.items[at].size;
            }
        },
        out);
}

} // namespace portslot::audit
