#include "label_columns.h"

#include <string.h>

#include "csv_header.h"
#include "fatal.h"
#include "record_fields.h"
#include "shown_text.h"

namespace portslot::audit {

namespace {

// Ends the run: `name` is no column of `inv` that can be left out.
[[noreturn]] void not_droppable(const inventory &inv, const char *name, const char *why)
{
    output &err = fatal_diagnostics();
    warn(err);
    write_place(err, inv.name, inv.header_line);
    err.text(": --drop-column '");
    write_escaped(err, name, strlen(name));
    err.text("': ");
    err.text(why);
    err.text("\n");
    fatal_end();
}

bool is_digit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// The number of the columns in the header of `inv`.
uint32_t header_columns(const inventory &inv)
{
    uint32_t columns = 0;
    walk_csv_fields(inv.header, inv.header + inv.header_size, inv.format.delimiter,
                    [&](uint32_t column, const char *, const char *) {
                        columns = column;
                        return true;
                    });
    return columns;
}

// Appends to `label` the fields of [p, end), which are the columns from
// `column` on, but those `inv` leaves out; `separated` says whether a field
// is there already.
uint32_t keep_fields(const inventory &inv, const char *p, const char *end, uint32_t column,
                     growing_array<char> &label, bool &separated)
{
    uint32_t last = column;
    walk_csv_fields(p, end, inv.format.delimiter,
                    [&](uint32_t n, const char *start, const char *stop) {
                        last = column + n - 1;
                        if (!is_dropped(inv, last)) {
                            const size_t size = static_cast<size_t>(stop - start);
                            label.reserve(label.size + size + 1);
                            if (separated)
                                label.items[label.size++] = inv.format.delimiter;
                            memcpy(label.items + label.size, start, size);
                            label.size += size;
                            separated = true;
                        }
                        return true;
                    });
    return last + 1;
}

} // namespace

void find_dropped_columns(inventory &inv, const char *const *names, size_t count)
{
    if (inv.header == nullptr) // an empty inventory
        return;
    const uint32_t columns = header_columns(inv);
    for (size_t i = 0; i < count; ++i) {
        const char *name = names[i];
        uint32_t column = 0;
        if (is_digit(name[0])) {
            for (const char *p = name; is_digit(*p) && column <= columns; ++p)
                column = column * 10 + static_cast<uint32_t>(*p - '0');
            column = column <= columns ? column : 0;
        } else {
            column = csv_column_named(inv, name);
        }
        if (column == 0)
            not_droppable(inv, name, "no such column in the header");
        if (column == inv.format.field)
            not_droppable(inv, name, "the addresses' column, which no label holds");
        inv.dropped[inv.dropped_count++] = column;
    }
}

bool drops_columns(const fleet &inventories)
{
    bool dropping = false;
    for (size_t i = 0; i < inventories.count; ++i)
        dropping = dropping || inventories.files[i].dropped_count != 0;
    return dropping;
}

void drop_columns(const fleet &inventories, uint64_t offset, entry &e, growing_array<char> &label)
{
    const inventory &inv = inventories.files[inventories.index_of(offset)];
    label.size = 0;
    bool separated = false;
    // Columns before the address, and after it: there are, when the
    // delimiter stands just before the text after it (an address holds none
    // but in quotes, which end it).
    if (inv.format.field > 1)
        keep_fields(inv, e.before, e.before + e.before_size, 1, label, separated);
    if (e.after[-1] == inv.format.delimiter)
        keep_fields(inv, e.after, e.after + e.after_size, inv.format.field + 1, label, separated);
    // (A label left empty points at no bytes of its own, but never at null:
    // its printers copy it.)
    const char *const kept = label.size != 0 ? label.items : "";
    e.before = kept;
    e.before_size = label.size;
    e.after = kept + label.size;
    e.after_size = 0;
    e.joiner = 0;
}

} // namespace portslot::audit
