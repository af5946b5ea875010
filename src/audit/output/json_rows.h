// The plan's rows as JSON objects, one to a line.
#ifndef PORTSLOT_AUDIT_JSON_ROWS_H
#define PORTSLOT_AUDIT_JSON_ROWS_H

#include <stddef.h>
#include <stdint.h>

#include "csv_keys.h"
#include "fleet.h"
#include "growing_array.h"
#include "inventory_lines.h"
#include "line_index.h"
#include "output.h"

namespace portslot::audit {

// `{"type":"device","first":F,"last":L,"mac":"`, the same for a whole
// block; returns its length.
size_t json_row_start(int32_t first, int32_t last, char (&start)[64]);

// For each inventory, `","file":"NAME","line":` with its name escaped, the
// same for each of its rows, and the keys of its CSV columns; nothing for a
// fleet of none.
struct json_names {
    growing_array<char> text;
    growing_array<size_t> starts; // of each inventory's, and the end
    csv_keys columns;

    explicit json_names(const fleet &inventories);
};

// A device as one JSON object on a line of its own, composed in the
// output's buffer (each byte of text takes at most six there): the block's
// `row_start`, then its address, label, file and line, whether its block is
// `shared`, and from CSV its record's columns by name.
void write_json_row(output &out, const char (&row_start)[64], size_t row_start_size, const entry &e,
                    uint64_t offset, bool shared, const fleet &inventories, const json_names &names,
                    const line_index &lines);

} // namespace portslot::audit

#endif
