#include "csv_rewrite.h"

namespace portslot::audit {

void put_csv_field(output &out, const char *text, size_t size, char delimiter)
{
    bool quote = false;
    for (size_t i = 0; i < size && !quote; ++i)
        quote = text[i] == delimiter || text[i] == '"'; // (a line end ends the record)
    if (!quote) {
        out.bytes(text, size);
        return;
    }
    out.text("\"");
    for (size_t i = 0; i < size; ++i) {
        if (text[i] == '"')
            out.text("\"");
        out.bytes(text + i, 1);
    }
    out.text("\"");
}

namespace {

// The number of the header's columns.
uint32_t header_columns(const inventory &inv)
{
    uint32_t columns = 0;
    if (inv.header != nullptr)
        walk_csv_fields(inv.header, inv.header + inv.header_size, inv.format.delimiter,
                        [&](uint32_t column, const char *, const char *) {
                            columns = column;
                            return true;
                        });
    return columns;
}

// Which of `c`'s values goes in `column`, or -1.
int value_of(const column_values &c, uint32_t column)
{
    for (size_t k = 0; c.given && k < c.count; ++k)
        if (c.columns[k] == column)
            return static_cast<int>(k);
    return -1;
}

} // namespace

void write_header_with(const inventory &inv, const char *const *names, const uint32_t *given,
                       size_t count, column_values &c, output &out)
{
    c.delimiter = inv.format.delimiter;
    c.count = count;
    uint32_t next = header_columns(inv);
    if (inv.header != nullptr)
        out.bytes(inv.text, static_cast<size_t>(inv.header + inv.header_size - inv.text));
    for (size_t k = 0; k < count; ++k) {
        c.columns[k] = given[k] != 0 ? given[k] : ++next;
        if (given[k] == 0) {
            if (next > 1)
                out.bytes(&c.delimiter, 1);
            out.text(names[k]);
        }
    }
    if (inv.header == nullptr) // (an empty file: the header is all there is)
        out.text("\n");
}

void write_record_with(const inventory &inv, const entry &e, const char *record, const char *stop,
                       const column_values &c, output &out)
{
    if (e.malformed != no_fault) {
        out.bytes(record, static_cast<size_t>(stop - record));
        return;
    }
    uint32_t last = 0;
    for (size_t k = 0; k < c.count; ++k)
        last = c.columns[k] > last ? c.columns[k] : last;
    const char delimiter = c.delimiter;
    uint32_t columns = 0;
    walk_csv_fields(record, inv.text + inv.size, delimiter,
                    [&](uint32_t column, const char *start, const char *field_stop) {
                        if (column > 1)
                            out.bytes(&delimiter, 1);
                        const int k = value_of(c, column);
                        if (k >= 0)
                            put_csv_field(out, c.text[k], c.sizes[k], delimiter);
                        else
                            out.bytes(start, static_cast<size_t>(field_stop - start));
                        columns = column;
                        return true;
                    });
    for (uint32_t column = columns + 1; column <= last; ++column) {
        out.bytes(&delimiter, 1);
        if (const int k = value_of(c, column); k >= 0)
            put_csv_field(out, c.text[k], c.sizes[k], delimiter);
    }
}

} // namespace portslot::audit
