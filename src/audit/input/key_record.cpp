#include "key_record.h"

#include <string.h>

#include "ascii.h"
#include "inventory_records.h"
#include "label_columns.h"

namespace portslot::audit {

namespace {

// Adds a field to the label: a space between fields, none empty.
void add_to_label(key_record &g, const char *text, size_t size)
{
    while (size > 0 && is_space_or_tab(*text))
        ++text, --size;
    while (size > 0 && is_space_or_tab(text[size - 1]))
        --size;
    if (size == 0)
        return;
    if (g.label.size != 0)
        append(g.label, " ", 1);
    append(g.label, text, size);
}

} // namespace

void read_key_record(const inventory &inv, const char *record, uint32_t key_column, key_record &g,
                     label_part part)
{
    g.key.size = g.label.size = 0;
    g.has_key = false;
    const char *const end = inv.text + inv.size;
    const record_format &format = inv.format;
    const char *p = record;
    for (uint32_t column = 1;; ++column) {
        // The field's value, whole, into the key or the label; the address's
        // and a column dropped from the label are not copied.
        growing_array<char> &value = column == key_column ? g.key : g.field;
        value.size = 0;
        const bool wanted = column == key_column ||
                            (column != format.field &&
                             !(part == label_part::without_dropped && is_dropped(inv, column)));
        const char *stop;
        if (format.kind == record_format::csv) {
            uint64_t line_ends = 0;
            unsigned char fault = no_fault;
            stop = csv_field_end(p, end, format.delimiter, line_ends, fault);
            if (wanted)
                csv_value(p, stop,
                          [&](const char *text, size_t size) { append(value, text, size); });
        } else if (format.delimiter != 0) {
            stop = detail::delimiter_or_line_end(p, end, format.delimiter);
            if (wanted)
                append(value, p, static_cast<size_t>(stop - p));
        } else { // runs of blanks; the key runs to the line's end
            p = detail::skip_blanks(p, end);
            stop = p;
            while (stop != end && detail::class_of(*stop) != detail::line_end &&
                   (column == key_column || detail::class_of(*stop) != detail::blank))
                ++stop;
            if (p == stop)
                return;
            append(value, p, static_cast<size_t>(stop - p));
        }
        if (wanted && column != key_column)
            add_to_label(g, g.field.items, g.field.size);
        g.has_key = g.has_key || column == key_column;
        // (An alias is the key's field, or without one the label's first.)
        if (part == label_part::first_field && (key_column == 0 ? g.label.size != 0 : g.has_key))
            return;
        if (format.kind == record_format::csv || format.delimiter != 0) {
            if (stop == end || *stop != format.delimiter)
                return;
            p = stop + 1;
        } else {
            if (column == key_column) // the rest of the line was the key
                return;
            p = stop;
        }
    }
}

bool field_has_text(const inventory &inv, const char *record, uint32_t column)
{
    const char *const end = inv.text + inv.size;
    const record_format &format = inv.format;
    const bool csv = format.kind == record_format::csv;
    const char *p = record;
    if (!csv && format.delimiter == 0) { // runs of blanks
        for (uint32_t at = 1;; ++at) {
            p = detail::skip_blanks(p, end);
            if (p == end || detail::class_of(*p) == detail::line_end)
                return false;
            if (at == column)
                return true;
            while (p != end && detail::class_of(*p) != detail::line_end &&
                   detail::class_of(*p) != detail::blank)
                ++p;
        }
    }
    // The fields before it walked, its own only looked into.
    if (column > 1) {
        const field_walk walk = walk_fields(record, end, format.delimiter, csv,
                                            [&](uint32_t at, const char *, const char *) {
                                                return at + 1 < column;
                                            });
        if (walk.stop == end || *walk.stop != format.delimiter)
            return false;
        p = walk.stop + 1;
    }
    if (csv && p != end && *p == '"') { // "" alone is empty; a doubled quote is text
        p = detail::skip_blanks(p + 1, end);
        return p != end && (*p != '"' || (p + 1 != end && p[1] == '"'));
    }
    p = detail::skip_blanks(p, end);
    return p != end && *p != format.delimiter && detail::class_of(*p) != detail::line_end;
}

} // namespace portslot::audit
