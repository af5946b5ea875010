// The header of a CSV inventory: its columns' names, and which of them holds
// the addresses.
#ifndef PORTSLOT_AUDIT_CSV_HEADER_H
#define PORTSLOT_AUDIT_CSV_HEADER_H

#include <stdint.h>

#include "growing_array.h"
#include "inventory.h"
#include "output.h"

namespace portslot::audit {

// Reads the header of `inv` (its first record that is not a blank line,
// after any byte order mark) and sets where the records start and which
// column holds the addresses: the one whose name is `name` (compared without
// case if no name is the same bytes), else the `format.field`th when it is
// not 0, else the first named mac, mac address, hwaddr or hardware address
// (without case, spaces, '_' or '-'). An inventory without the column ends
// the run. An empty one has no records. A malformed header gives its fault (a
// csv_fault) and the line it starts on, and the inventory no records; else
// no_fault.
unsigned char read_csv_header(inventory &inv, const char *name, uint64_t &header_line);

// The column of `inv`'s header named `name` (as above: the same bytes, else
// without case), from 1; 0 when there is none, or no header.
uint32_t csv_column_named(const inventory &inv, const char *name);

// The names of the columns of the header of a CSV inventory that has one
// (not empty, not malformed), each as its value
// (without its quotes, a doubled quote as one): column N (from 1) is the
// bytes of `text` from `starts[N - 1]` to `starts[N]`.
struct column_names {
    growing_array<char> text;
    growing_array<size_t> starts; // one more than the columns
};
void read_column_names(const inventory &inv, column_names &names);

} // namespace portslot::audit

#endif
