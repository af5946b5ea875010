// A CSV inventory written back as it was, byte for byte, but for the fields
// some of its records are given in a few columns, appended where the header
// lacks them: --place's placement columns, --learn's host keys.
#ifndef PORTSLOT_AUDIT_CSV_REWRITE_H
#define PORTSLOT_AUDIT_CSV_REWRITE_H

#include <stddef.h>
#include <stdint.h>

#include "inventory.h"
#include "inventory_records.h"
#include "output.h"

namespace portslot::audit {

// The columns written, and the values of the record in hand.
struct column_values {
    static constexpr size_t most = 3;
    uint32_t columns[most]; // each value's column, from 1
    size_t count;
    char delimiter;
    bool given = false; // the record in hand has values (else it is kept)
    const char *text[most];
    size_t sizes[most];
};

// A CSV field of `size` bytes at `text`, quoted where it holds the
// delimiter or a quote.
void put_csv_field(output &out, const char *text, size_t size, char delimiter);

// Writes the header of `inv` (or, in an empty file, a header of its own)
// with the `count` columns named `names`, those that `given` (each one's
// column in `inv`, 0: none) lacks appended in order; sets `c`'s columns,
// count and delimiter.
void write_header_with(const inventory &inv, const char *const *names, const uint32_t *given,
                       size_t count, column_values &c, output &out);

// The record at `record`, ending at `stop` (a malformed one as it is), with
// `c`'s values where given, and fields up to the last of `c`'s columns.
void write_record_with(const inventory &inv, const entry &e, const char *record, const char *stop,
                       const column_values &c, output &out);

// The records of `inv` after its header, each with the values that
// `fill(place, c)` gives it (`place`: where the record's device is, in the
// text, as the devices' places say; `c.given` false: none), and everything
// between them as it stands.
template <class Fill>
void write_records_with(const inventory &inv, column_values &c, Fill &&fill, output &out)
{
    const char *const end = inv.text + inv.size;
    const char *cursor = inv.header != nullptr ? inv.header + inv.header_size : inv.text;
    for_each_record(inv, inv.text + inv.records_start, inv.records_line,
                    [&](const entry &e, const char *record) {
                        out.bytes(cursor, static_cast<size_t>(record - cursor));
                        const bool apart = e.spans_lines && find_line_end(record, e.mac) != e.mac;
                        c.given = false;
                        fill(static_cast<uint64_t>((apart ? record : e.mac) - inv.text), c);
                        const char *stop = record;
                        walk_csv_fields(record, end, c.delimiter,
                                        [&](uint32_t, const char *, const char *s) {
                                            stop = s;
                                            return true;
                                        });
                        write_record_with(inv, e, record, stop, c, out);
                        cursor = stop;
                    });
    out.bytes(cursor, static_cast<size_t>(end - cursor));
}

} // namespace portslot::audit

#endif
