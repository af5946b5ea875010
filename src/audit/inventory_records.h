// The records of an inventory in each of its formats: finding them, and
// reading a record's address and label. (The plain format's lines are read
// by inventory_lines.h, which the others build on.)
#ifndef PORTSLOT_AUDIT_INVENTORY_RECORDS_H
#define PORTSLOT_AUDIT_INVENTORY_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "inventory.h"
#include "inventory_lines.h"
#include "record_format.h"

namespace portslot::audit {

namespace detail {

inline const char *skip_blanks(const char *p, const char *end)
{
    while (p != end && class_of(*p) == blank)
        ++p;
    return p;
}

inline const char *trim_end(const char *begin, const char *p)
{
    while (p != begin && class_of(p[-1]) == blank)
        --p;
    return p;
}

// The line ends in [p, end): a line feed, or a carriage return not followed
// by one, as line numbers count them.
inline uint64_t count_line_ends(const char *p, const char *end, const char *text_end)
{
    uint64_t n = 0;
    for (; p != end; ++p)
        n += *p == '\n' || (*p == '\r' && (p + 1 == text_end || p[1] != '\n'));
    return n;
}

} // namespace detail

// Where the CSV field starting at `p` ends: at the delimiter or line end
// after it, or `end`. A field in double quotes may hold delimiters, line ends
// (counted in `line_ends`) and doubled quotes; a quote never closed runs to
// the end of the text.
inline const char *csv_field_end(const char *p, const char *end, char delimiter,
                                 uint64_t &line_ends)
{
    if (p != end && *p == '"') {
        for (++p;;) {
            const auto *quote =
                static_cast<const char *>(memchr(p, '"', static_cast<size_t>(end - p)));
            const char *stop = quote != nullptr ? quote : end;
            line_ends += detail::count_line_ends(p, stop, end);
            if (quote == nullptr)
                return end;
            p = quote + 1;
            if (p == end || *p != '"')
                break;
            ++p; // a doubled quote
        }
    }
    while (p != end && *p != delimiter && *p != '\n' && *p != '\r')
        ++p;
    return p;
}

// A CSV field's value as pieces of the text: without its quotes, a doubled
// quote as one. `piece(text, size)` is called for each.
template <class Piece> void csv_value(const char *start, const char *stop, Piece &&piece)
{
    if (start == stop || *start != '"') {
        piece(start, static_cast<size_t>(stop - start));
        return;
    }
    const char *p = start + 1;
    for (;;) {
        const auto *quote =
            static_cast<const char *>(memchr(p, '"', static_cast<size_t>(stop - p)));
        if (quote == nullptr) { // never closed
            piece(p, static_cast<size_t>(stop - p));
            return;
        }
        if (quote + 1 != stop && quote[1] == '"') {
            piece(p, static_cast<size_t>(quote + 1 - p));
            p = quote + 2;
            continue;
        }
        piece(p, static_cast<size_t>(quote - p));
        piece(quote + 1, static_cast<size_t>(stop - quote - 1)); // text after the closing quote
        return;
    }
}

// Reads the record at `record` as `format` says into `e`; returns where the
// next one starts. Line ends inside CSV fields are added to `line_ends`.
inline const char *read_record(const char *record, const char *end, const record_format &format,
                               entry &e, uint64_t &line_ends)
{
    using namespace detail;
    if (format.kind == record_format::plain)
        return read_fields(record, end, e);
    e.has_nul = e.has_quote = e.no_field = false;
    e.joiner = 0;
    const char *field = nullptr, *field_end = nullptr; // the address's, as written
    const char *p = record, *line_end = nullptr;
    if (format.kind == record_format::fields && format.delimiter == 0) {
        // Runs of non-blanks, the line starting at its first.
        line_end = find_line_end(record, end);
        for (uint32_t i = 1; p != line_end; ++i) {
            const char *stop = p;
            while (stop != line_end && class_of(*stop) != blank)
                ++stop;
            if (i == format.field) {
                field = p;
                field_end = stop;
                break;
            }
            p = skip_blanks(stop, line_end);
        }
        if (field != nullptr) {
            e.before = record;
            e.before_size = static_cast<size_t>(trim_end(record, field) - record);
            const char *after = skip_blanks(field_end, line_end);
            e.label = after;
            e.label_size = static_cast<size_t>(trim_end(after, line_end) - after);
            e.joiner = e.before_size != 0 && e.label_size != 0 ? ' ' : 0;
        }
    } else {
        // Split at every delimiter; with --csv, quoted fields may hold them.
        const bool csv = format.kind == record_format::csv;
        const char *const text_line_end = csv ? end : find_line_end(record, end);
        uint64_t inside = 0;
        for (uint32_t i = 1;; ++i) {
            const char *stop = nullptr;
            if (csv) {
                stop = csv_field_end(p, end, format.delimiter, inside);
            } else {
                const size_t left = static_cast<size_t>(text_line_end - p);
                stop = static_cast<const char *>(memchr(p, format.delimiter, left));
                stop = stop != nullptr ? stop : text_line_end;
            }
            if (i == format.field) {
                field = p;
                field_end = stop;
            }
            p = stop;
            if (p == end || *p != format.delimiter)
                break;
            ++p;
        }
        line_ends += inside;
        line_end = p;
        if (field != nullptr) {
            // The text before the address and after it: as written in CSV,
            // trimmed of blanks otherwise.
            e.before = record;
            e.before_size = field == record ? 0 : static_cast<size_t>(field - 1 - record);
            e.label = field_end == line_end ? line_end : field_end + 1;
            e.label_size = static_cast<size_t>(line_end - e.label);
            if (!csv) {
                const char *before_end = trim_end(record, e.before + e.before_size);
                e.before = skip_blanks(record, before_end);
                e.before_size = static_cast<size_t>(before_end - e.before);
                e.label = skip_blanks(e.label, line_end);
                e.label_size = static_cast<size_t>(trim_end(e.label, line_end) - e.label);
            }
            e.joiner = field != record && field_end != line_end ? format.delimiter : 0;
            if (csv && field != field_end && *field == '"') {
                // The address inside its quotes; any other quote makes it no address.
                const bool closed = field_end - field >= 2 && field_end[-1] == '"';
                ++field;
                field_end -= closed;
                e.has_quote = !closed ||
                              memchr(field, '"', static_cast<size_t>(field_end - field)) != nullptr;
            } else if (csv) {
                e.has_quote = memchr(field, '"', static_cast<size_t>(field_end - field)) != nullptr;
            }
        }
    }
    if (field == nullptr) {
        e.no_field = true;
        e.mac = record;
        e.mac_size = 0;
        e.label = record;
        e.label_size = 0;
        e.before_size = 0;
    } else {
        // Blanks around the address are no part of it.
        field = skip_blanks(field, field_end);
        field_end = trim_end(field, field_end);
        e.mac = field;
        e.mac_size = static_cast<size_t>(field_end - field);
        e.has_nul = memchr(field, '\0', e.mac_size) != nullptr;
    }
    return past_line_end(line_end, end);
}

// Calls `visit(entry, record)` for each record of `inv` from `from`, with
// `record` where it starts, skipping blank lines and (but in CSV) lines whose
// first non-blank byte is '#', until it returns false. `line` is the line
// number at `from`.
template <class Visit>
void for_each_record(const inventory &inv, const char *from, uint64_t line, Visit &&visit)
{
    using namespace detail;
    const record_format &format = inv.format;
    if (format.kind == record_format::plain && from == inv.text) {
        for_each_entry(inv.text, inv.size,
                       [&](const entry &e) { return visit(e, static_cast<const char *>(e.mac)); });
        return;
    }
    const char *p = from;
    const char *const end = inv.text + inv.size;
    entry e{};
    while (p != end) {
        const char *first = skip_blanks(p, end);
        if (first == end)
            break;
        if (class_of(*first) == line_end || (*first == '#' && format.kind != record_format::csv)) {
            p = past_line_end(find_line_end(first, end), end);
            ++line;
            continue;
        }
        // Blanks may begin a field that a delimiter ends.
        const char *record =
            format.kind == record_format::fields && format.delimiter == 0 ? first : p;
        uint64_t line_ends = 0;
        e.line = line;
        p = read_record(record, end, format, e, line_ends);
        line += 1 + line_ends;
        if (!visit(e, record))
            return;
    }
}

} // namespace portslot::audit

#endif
