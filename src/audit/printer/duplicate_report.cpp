#include "duplicate_report.h"

#include <string.h>

#include "decimal.h"
#include "record_places.h"
#include "shown_text.h"

namespace portslot::audit {

void write_duplicates(const growing_array<duplicate> &duplicates, const fleet &inventories,
                      output &err)
{
    if (duplicates.size == 0)
        return;
    // Line numbers are counted only now, for the entries that need them.
    record_places places(inventories);
    for (size_t i = 0; i < duplicates.size; ++i) {
        places.add(duplicates.items[i].reported);
        places.add(duplicates.items[i].kept);
    }
    places.number();
    for (size_t i = 0; i < duplicates.size; ++i) {
        places.write(err, duplicates.items[i].reported);
        err.text(": duplicate of ");
        places.write(err, duplicates.items[i].kept);
        err.text("\n");
    }
}

} // namespace portslot::audit
