// The records of an inventory in each of its formats: finding them, and
// reading a record's address and label. (The plain format's lines are read
// by inventory_lines.h, the fields of the others found by record_fields.h
// and taken apart by record_parts.h.)
#ifndef PORTSLOT_AUDIT_INVENTORY_RECORDS_H
#define PORTSLOT_AUDIT_INVENTORY_RECORDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "inventory.h"
#include "inventory_lines.h"
#include "record_fields.h"
#include "record_format.h"
#include "record_parts.h"

namespace portslot::audit {

// A record split at a delimiter (not a blank) that gave a device, read again
// from the field that holds its address, whose address starts at `place`:
// the text before that field is the label's first part as it stands, and
// from the field on the fields are split as when the record was first read.
[[gnu::always_inline]] inline void read_split_from_address(const char *record, const char *place, const char *end,
                                    const record_format &format, entry &e)
{
    using namespace detail;
    const bool csv = format.kind == record_format::csv;
    const char delimiter = format.delimiter;
    // Back from the address to its field's start: over blanks, and over the
    // quote that opens it.
    const char *field = place;
    while (field != record && class_of(field[-1]) == blank)
        --field;
    if (csv && field != record && field[-1] == '"' &&
        (field - 1 == record || field[-2] == delimiter))
        --field;
    uint64_t inside = 0;
    unsigned char fault = no_fault; // (a record that gave a device is well formed)
    const auto field_end_at = [&](const char *p) {
        return csv ? csv_field_end(p, end, delimiter, inside, fault)
                   : delimiter_or_line_end(p, end, delimiter);
    };
    const char *const field_end = field_end_at(field);
    const char *p = field_end;
    while (p != end && *p == delimiter)
        p = field_end_at(p + 1);
    e.has_nul = e.has_quote = e.no_field = false;
    e.malformed = no_fault;
    e.joiner = 0;
    e.spans_lines = inside != 0;
    place_label(e, record, field, field_end, p, format);
    place_address(e, field, field_end, format, address_checks::skipped);
}

namespace detail {

// The start of the run of non-blanks that ends at `p`, no further back than
// `first`: eight bytes at a time, back to the last byte below 0x21, which
// ends the run unless it is a control byte within it.
inline const char *run_start(const char *p, const char *first)
{
    for (; p - first >= 8; p -= 8) {
        const uint64_t marks = exact_marks_below(load_word(p - 8), 0x21);
        if (marks == 0)
            continue;
        const char *last = p - 8 + (63 - static_cast<unsigned>(__builtin_clzll(marks))) / 8;
        if (class_of(*last) != ordinary)
            return last + 1;
        p = last; // (a control byte: on, a byte at a time)
        break;
    }
    while (p != first && class_of(p[-1]) == ordinary)
        --p;
    return p;
}

} // namespace detail

// A record split at runs of blanks that gave a device, read again from its
// address at `place`, field `field` (2 or more) of its record, in an
// inventory whose records start at `first`: the label's first part runs
// back from the blanks before the address over the fields before it (the
// record's start), as when the record was first read; its second from the
// first non-blank after the address to the line's end, blanks at the end
// aside.
[[gnu::always_inline]] inline void read_blank_fields_from_address(const char *first, const char *place,
                                           const char *end, uint32_t field, entry &e)
{
    using namespace detail;
    const char *const before_end = trim_end(first, place);
    const char *record = run_start(before_end, first);
    for (uint32_t i = 2; i < field; ++i)
        record = run_start(trim_end(first, record), first);
    unsigned nuls = 0;
    const char *const field_end = run_end(place, end, nuls);
    e.before = record;
    e.before_size = static_cast<size_t>(before_end - record);
    const char *after = skip_blanks(field_end, end);
    e.after = after;
    e.after_size = static_cast<size_t>(trim_end(after, find_line_end(after, end)) - after);
    e.joiner = e.before_size != 0 && e.after_size != 0 ? ' ' : 0;
    e.mac = place;
    e.mac_size = static_cast<size_t>(field_end - place);
    e.has_quote = e.no_field = false;
}

// Only the address of the record at `record`, which gave a device: its
// fields are read no further than the address's, and its label not at all
// (as devices listed twice are looked for).
inline void read_address(const char *record, const char *end, const record_format &format, entry &e)
{
    using namespace detail;
    const char *p = record;
    unsigned nuls = 0;
    if (format.kind == record_format::fields && format.delimiter == 0) {
        for (uint32_t i = 1; i < format.field && p != end; ++i)
            p = skip_blanks(run_end(p, end, nuls), end);
        e.mac = p;
        e.mac_size = static_cast<size_t>(run_end(p, end, nuls) - p);
        return;
    }
    // The address's field, or the last when there are fewer.
    const char *start = p, *stop = p;
    walk_fields(p, end, format.delimiter, format.kind == record_format::csv,
                [&](uint32_t i, const char *field, const char *field_end) {
                    start = field;
                    stop = field_end;
                    return i != format.field;
                });
    e.has_quote = false;
    place_address(e, start, stop, format, address_checks::skipped);
}

namespace detail {

// Where a format's records start, and whether it has comments.
struct record_lines {
    bool start_at_first_non_blank; // else at the line's start (blanks may begin a field)
    bool hash_starts_comment;
};

// for_each_record for one way of reading a record, `read(record, e,
// line_ends)`, and of finding records, `lines`.
template <class Read, class Visit>
void each_record(const char *p, const char *end, uint64_t line, record_lines lines, Read &&read,
                 Visit &&visit)
{
    const bool blank_start = lines.start_at_first_non_blank, comments = lines.hash_starts_comment;
    entry e{};
    while (p != end) {
        const char *first = skip_blanks(p, end);
        if (first == end)
            break;
        if (class_of(*first) == line_end || (*first == '#' && comments)) {
            p = past_line_end(find_line_end(first, end), end);
            ++line;
            continue;
        }
        // Blanks may begin a field that a delimiter ends.
        const char *record = blank_start ? first : p;
        uint64_t line_ends = 0;
        e.line = line;
        p = read(record, e, line_ends);
        line += 1 + line_ends;
        visit(e, record);
    }
}

} // namespace detail

// Calls `visit(entry, record)` for each record of `inv` from `from`, with
// `record` where it starts, skipping blank lines and (but in CSV) lines whose
// first non-blank byte is '#'. `line` is the line number at `from`. A record
// split at runs of blanks gives its address alone, not its label (its row
// reads that from the address: read_blank_fields_from_address). In a record
// split at a delimiter, the fields `spots` asks for are noted in it before
// each visit (column_spots; no_spots notes none).
template <class Visit, class Spots = no_spots>
void for_each_record(const inventory &inv, const char *from, uint64_t line, Visit &&visit,
                     Spots &&spots = Spots{})
{
    using namespace detail;
    const record_format &format = inv.format;
    const char *const end = inv.text + inv.size;
    if (format.kind == record_format::plain) { // (from the first line, or past a byte order mark)
        for_each_entry(from, static_cast<size_t>(end - from), [&](const entry &e) {
            visit(e, static_cast<const char *>(e.mac));
            return true;
        });
    } else if (format.kind == record_format::fields && format.delimiter == 0) {
        each_record(
            from, end, line,
            record_lines{.start_at_first_non_blank = true, .hash_starts_comment = true},
            [&](const char *record, entry &e, uint64_t &) {
                return read_blank_fields(record, end, format.field, e);
            },
            visit);
    } else {
        each_record(
            from, end, line,
            record_lines{.start_at_first_non_blank = false,
                         .hash_starts_comment = format.kind != record_format::csv},
            [&](const char *record, entry &e, uint64_t &line_ends) {
                return read_split_record(record, end, format, e, line_ends, address_checks::made,
                                         spots);
            },
            visit);
    }
}

} // namespace portslot::audit

#endif
