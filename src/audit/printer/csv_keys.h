// The keys under which a CSV record's columns go into JSON: one of its own
// for every column, so that no column hides another. A column is keyed by
// its name in the header when no other column's name has the same JSON text
// (bytes that are not UTF-8 each become U+FFFD); every other
// column (a name given twice, several empty names, columns past the header)
// by its number from 1, after as many '#' as it takes for no number to be
// any column's name.
#ifndef PORTSLOT_AUDIT_CSV_KEYS_H
#define PORTSLOT_AUDIT_CSV_KEYS_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "growing_array.h"
#include "output.h"

namespace portslot::audit {

class csv_keys {
  public:
    // The keys of the columns of every CSV inventory of `inventories`.
    explicit csv_keys(const fleet &inventories);

    // Writes `"KEY":` for column `column` (from 1) of inventory `i`.
    void write(output &out, size_t i, size_t column) const;

  private:
    struct key {
        size_t start, end;      // its name's JSON text in `text_`
        bool by_number = false; // another column's name has the same text
    };
    struct columns {
        size_t first, count, hashes; // its keys in `keys_`, and the '#' before a number
    };
    growing_array<char> text_; // the named columns' keys, as JSON text
    growing_array<key> keys_;
    growing_array<columns> inventories_;

    void add(const inventory &inv);
};

} // namespace portslot::audit

#endif
