// A record's parts: its address and its label, from a record split at runs
// of blanks or at a delimiter (CSV among them).
#ifndef PORTSLOT_AUDIT_RECORD_PARTS_H
#define PORTSLOT_AUDIT_RECORD_PARTS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "inventory_lines.h"
#include "record_fields.h"
#include "record_format.h"

namespace portslot::audit {

// Whether reading a record looks for what makes its address unusable: when
// loading, yes; when a record that gave a device is read again, no.
enum class address_checks { made, skipped };

// Where three of a record's fields lie, as written (quotes and all), noted
// as the record is read: `columns` asks (0 asks for none, and no column is
// asked twice), `start` and `stop` answer (`start` null where the record
// has no such field, `stop` then left as it was).
struct column_spots {
    uint32_t columns[3] = {};
    const char *start[3] = {}, *stop[3] = {};
    // The columns asked, ascending, then 0; `slots[i]` is the slot of
    // `ascending[i]`, `first` the first asked.
    uint32_t ascending[4] = {};
    unsigned char slots[3] = {};
    unsigned char first = 3;

    column_spots() = default;
    column_spots(uint32_t a, uint32_t b, uint32_t c) : columns{a, b, c}
    {
        for (unsigned char k = 0; k < 3; ++k)
            slots[k] = k;
        // (Three: a sort by exchanges.)
        for (int i = 0; i < 3; ++i)
            for (int j = i + 1; j < 3; ++j)
                if (columns[slots[j]] < columns[slots[i]]) {
                    const unsigned char t = slots[i];
                    slots[i] = slots[j];
                    slots[j] = t;
                }
        for (unsigned char i = 0; i < 3; ++i) {
            ascending[i] = columns[slots[i]];
            if (ascending[i] != 0 && first == 3)
                first = i;
        }
    }

    // A record's spots, none noted yet: the first asked, of `ascending`.
    [[gnu::always_inline]] unsigned begin_record()
    {
        start[0] = start[1] = start[2] = nullptr;
        return first;
    }
    // Notes field `column`, from `from` to `to`, where it is the next asked.
    [[gnu::always_inline]] void note(unsigned &next, uint32_t column, const char *from,
                                     const char *to)
    {
        if (column == ascending[next]) {
            start[slots[next]] = from;
            stop[slots[next]] = to;
            ++next;
        }
    }
};

// No fields noted: a record scan that needs none.
struct no_spots {
    unsigned begin_record() { return 0; }
    void note(unsigned &, uint32_t, const char *, const char *) {}
};

namespace detail {

// `e` as a record with no field where the address should be.
inline void no_address(entry &e, const char *record)
{
    e.no_field = true;
    e.mac = e.after = e.before = record;
    e.mac_size = e.after_size = e.before_size = 0;
}

// A record of fields split at runs of blanks, starting at its first, as it
// is loaded: its address, and where the next record starts. (Its label is
// read with its row: read_blank_fields_from_address.)
[[gnu::always_inline]] inline const char *read_blank_fields(const char *record, const char *end,
                                                            uint32_t field_number, entry &e)
{
    const char *p = record, *field = nullptr;
    unsigned nuls = 0;
    e.has_quote = e.no_field = false;
    for (uint32_t i = 1; p != end && class_of(*p) != line_end; ++i) {
        if (i == field_number) {
            field = p;
            break;
        }
        p = skip_blanks(run_end(p, end, nuls), end);
    }
    if (field == nullptr) { // too few fields
        e.joiner = 0;
        no_address(e, record);
        return past_line_end(find_line_end(p, end), end);
    }
    nuls = 0;
    const char *field_end = run_end(field, end, nuls);
    e.mac = field;
    e.mac_size = static_cast<size_t>(field_end - field);
    e.has_nul = nuls != 0;
    return past_line_end(find_line_end(field_end, end), end);
}

// The label of `e`, whose address field is [field, field_end) in the record
// [record, record_end): the text before the field and after it, as written
// in CSV and trimmed of blanks otherwise, joined by the delimiter.
inline void place_label(entry &e, const char *record, const char *field, const char *field_end,
                        const char *record_end, const record_format &format)
{
    e.before = record;
    e.before_size = field == record ? 0 : static_cast<size_t>(field - 1 - record);
    e.after = field_end == record_end ? record_end : field_end + 1;
    e.after_size = static_cast<size_t>(record_end - e.after);
    if (format.kind != record_format::csv) {
        const char *before_end = trim_end(record, e.before + e.before_size);
        e.before = skip_blanks(record, before_end);
        e.before_size = static_cast<size_t>(before_end - e.before);
        e.after = skip_blanks(e.after, record_end);
        e.after_size = static_cast<size_t>(trim_end(e.after, record_end) - e.after);
    }
    e.joiner = field != record && field_end != record_end ? format.delimiter : 0;
}

// The address of `e` from its field [field, field_end): in CSV without its
// quotes, and without blanks around it. With `checks` made, whether it holds a NUL
// byte, or (in CSV, where no address holds one) a quote.
[[gnu::always_inline]] inline void place_address(entry &e, const char *field, const char *field_end,
                                                 const record_format &format, address_checks checks)
{
    const bool csv = format.kind == record_format::csv;
    if (csv && field != field_end && *field == '"') {
        const bool closed = field_end - field >= 2 && field_end[-1] == '"';
        ++field;
        field_end -= closed;
        e.has_quote = !closed;
    }
    field = skip_blanks(field, field_end);
    field_end = trim_end(field, field_end);
    e.mac = field;
    e.mac_size = static_cast<size_t>(field_end - field);
    if (checks == address_checks::made) {
        const nul_and_quote held = find_nul_and_quote(field, field_end);
        e.has_nul = held.nul;
        e.has_quote = e.has_quote || (held.quote && csv);
    }
}

// A record of fields split at every delimiter; in CSV, quoted fields may
// hold delimiters and line ends, counted in `line_ends`. A malformed CSV
// record is noted in `e.malformed` and ends at its first line's end: the next
// record starts on the line after it.
// The fields that `spots` asks for are noted too (column_spots; no_spots
// notes none).
template <class Spots>
[[gnu::always_inline]] inline const char *read_split_record(const char *record, const char *end,
                                                            const record_format &format, entry &e,
                                                            uint64_t &line_ends,
                                                            address_checks checks, Spots &spots)
{
    const char *field = nullptr, *field_end = nullptr; // the address's, as written
    const char *p = record;
    e.has_nul = e.has_quote = e.no_field = false;
    e.malformed = no_fault;
    e.joiner = 0;
    // Split at every delimiter; with --csv, quoted fields may hold them.
    const bool csv = format.kind == record_format::csv;
    uint64_t inside = 0;
    unsigned char fault = no_fault;
    unsigned next = spots.begin_record();
    for (uint32_t i = 1;; ++i) {
        const char *stop = csv ? csv_field_end(p, end, format.delimiter, inside, fault)
                               : delimiter_or_line_end(p, end, format.delimiter);
        if (i == format.field) {
            field = p;
            field_end = stop;
        }
        spots.note(next, i, p, stop);
        p = stop;
        if (p == end || *p != format.delimiter)
            break;
        ++p;
    }
    if (checks == address_checks::made) {
        if (fault != no_fault) {
            e.malformed = fault;
            no_address(e, record);
            return past_line_end(find_line_end(record, end), end);
        }
    }
    line_ends += inside;
    e.spans_lines = inside != 0;
    if (field == nullptr) {
        no_address(e, record);
    } else {
        place_label(e, record, field, field_end, p, format);
        place_address(e, field, field_end, format, checks);
    }
    return past_line_end(p, end);
}
[[gnu::always_inline]] inline const char *read_split_record(const char *record, const char *end,
                                                            const record_format &format, entry &e,
                                                            uint64_t &line_ends,
                                                            address_checks checks)
{
    no_spots none;
    return read_split_record(record, end, format, e, line_ends, checks, none);
}

} // namespace detail

} // namespace portslot::audit

#endif
