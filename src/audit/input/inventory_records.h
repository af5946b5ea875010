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

// The end of the run of non-blanks at `p`: a blank, a line end, or `end`.
// Eight bytes at a time while none is below 0x21; `nuls` counts the NUL
// bytes in it.
inline const char *run_end(const char *p, const char *end, unsigned &nuls)
{
    for (;;) {
        p = skip_words_from(p, end, 0x21);
        if (end - p < 8) {
            for (; p != end && class_of(*p) == ordinary; ++p)
                nuls += *p == '\0';
            return p;
        }
        if (class_of(*p) != ordinary)
            return p;
        nuls += *p == '\0'; // a control byte within the run
        ++p;
    }
}

// The first byte at or after `p` that is `byte` or below 0x0e (the line
// ends among them), or `end`. Eight bytes at a time.
inline const char *byte_or_control(const char *p, const char *end, char byte)
{
    const auto b = static_cast<unsigned char>(byte);
    for (; end - p >= 8; p += 8) {
        const uint64_t word = load_word(p);
        const unsigned at = first_marked(marks_below(word, 0x0e) | marks_of(word, b));
        if (at != 8)
            return p + at;
    }
    for (; p != end; ++p)
        if (*p == byte || static_cast<unsigned char>(*p) < 0x0e)
            return p;
    return p;
}

// The first `delimiter` or line end at or after `p`, or `end`.
inline const char *delimiter_or_line_end(const char *p, const char *end, char delimiter)
{
    for (;; ++p) {
        p = byte_or_control(p, end, delimiter);
        if (p == end || *p == delimiter || class_of(*p) == line_end)
            return p;
    }
}

// Whether [p, end) holds a NUL byte, and whether a double quote: eight
// bytes at a time, for short texts.
struct nul_and_quote {
    bool nul, quote;
};
inline nul_and_quote find_nul_and_quote(const char *p, const char *end)
{
    constexpr unsigned char byte = '\0', other = '"';
    uint64_t marks = 0, other_marks = 0;
    for (; end - p >= 8; p += 8) {
        uint64_t word;
        memcpy(&word, p, 8);
        marks |= marks_of(word, byte);
        other_marks |= marks_of(word, other);
    }
    for (; p != end; ++p) {
        marks |= static_cast<unsigned char>(*p) == byte;
        other_marks |= static_cast<unsigned char>(*p) == other;
    }
    return nul_and_quote{marks != 0, other_marks != 0};
}

} // namespace detail

// What makes a CSV record no record at all: a quoted field that never
// closes, or whose closing quote is followed by text.
enum csv_fault : unsigned char { no_fault, unclosed_quote, text_after_quote };

// Where the CSV field starting at `p` ends: at the delimiter or line end
// after it, or `end`. A field in double quotes may hold delimiters, line ends
// (counted in `line_ends`) and doubled quotes; a quote never closed runs to
// the end of the text, and it or text after the closing quote is noted in
// `fault`.
inline const char *csv_field_end(const char *p, const char *end, char delimiter,
                                 uint64_t &line_ends, unsigned char &fault)
{
    if (p != end && *p == '"') {
        for (++p;;) {
            p = detail::byte_or_control(p, end, '"');
            if (p == end) {
                fault = unclosed_quote;
                return end;
            }
            if (*p != '"') { // a line end, or another control byte
                line_ends += *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'));
                ++p;
                continue;
            }
            ++p;
            if (p == end || *p != '"')
                break;
            ++p; // a doubled quote
        }
        if (p != end && *p != delimiter && detail::class_of(*p) != detail::line_end)
            fault = text_after_quote;
    }
    return detail::delimiter_or_line_end(p, end, delimiter);
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
        if (quote == nullptr || quote + 1 == stop || quote[1] != '"') {
            // The closing quote; or the end, in a field never closed (a
            // malformed header's, whose names are looked at once).
            const char *close = quote != nullptr ? quote : stop;
            piece(p, static_cast<size_t>(close - p));
            return;
        }
        piece(p, static_cast<size_t>(quote + 1 - p)); // a doubled quote as one
        p = quote + 2;
    }
}

namespace detail {

// A record of fields split at runs of blanks, starting at its first.
template <bool Check>
[[gnu::always_inline]] inline const char *read_blank_fields(const char *record, const char *end,
                                                            uint32_t field_number, entry &e)
{
    const char *p = record, *field = nullptr, *before_end = record;
    unsigned nuls = 0;
    e.has_quote = e.no_field = false;
    for (uint32_t i = 1; p != end && class_of(*p) != line_end; ++i) {
        if (i == field_number) {
            field = p;
            break;
        }
        before_end = run_end(p, end, nuls);
        p = skip_blanks(before_end, end);
    }
    if (field == nullptr) { // too few fields
        e.no_field = true;
        e.joiner = 0;
        e.mac = e.after = e.before = record;
        e.mac_size = e.after_size = e.before_size = 0;
        return past_line_end(find_line_end(p, end), end);
    }
    nuls = 0;
    const char *field_end = run_end(field, end, nuls);
    e.before = record;
    e.before_size = static_cast<size_t>(before_end - record);
    const char *after = skip_blanks(field_end, end);
    const char *record_end = find_line_end(after, end);
    e.after = after;
    e.after_size = static_cast<size_t>(trim_end(after, record_end) - after);
    e.joiner = e.before_size != 0 && e.after_size != 0 ? ' ' : 0;
    e.mac = field;
    e.mac_size = static_cast<size_t>(field_end - field);
    if constexpr (Check)
        e.has_nul = nuls != 0;
    return past_line_end(record_end, end);
}

// A record of fields split at every delimiter; in CSV, quoted fields may
// hold delimiters and line ends, counted in `line_ends`. A malformed CSV
// record is noted in `e.malformed` and ends at its first line's end: the next
// record starts on the line after it.
template <bool Check>
[[gnu::always_inline]] inline const char *read_split_record(const char *record, const char *end,
                                                            const record_format &format, entry &e,
                                                            uint64_t &line_ends)
{
    const char *field = nullptr, *field_end = nullptr; // the address's, as written
    const char *p = record, *record_end = nullptr;
    e.has_nul = e.has_quote = e.no_field = false;
    e.malformed = no_fault;
    e.joiner = 0;
    // Split at every delimiter; with --csv, quoted fields may hold them.
    const bool csv = format.kind == record_format::csv;
    uint64_t inside = 0;
    unsigned char fault = no_fault;
    for (uint32_t i = 1;; ++i) {
        const char *stop = csv ? csv_field_end(p, end, format.delimiter, inside, fault)
                               : delimiter_or_line_end(p, end, format.delimiter);
        if (i == format.field) {
            field = p;
            field_end = stop;
        }
        p = stop;
        if (p == end || *p != format.delimiter)
            break;
        ++p;
    }
    if constexpr (Check) {
        if (fault != no_fault) {
            e.malformed = fault;
            e.no_field = true;
            e.mac = e.after = e.before = record;
            e.mac_size = e.after_size = e.before_size = 0;
            return past_line_end(find_line_end(record, end), end);
        }
    }
    line_ends += inside;
    record_end = p;
    if (field != nullptr) {
        // The text before the address and after it: as written in CSV,
        // trimmed of blanks otherwise.
        e.before = record;
        e.before_size = field == record ? 0 : static_cast<size_t>(field - 1 - record);
        e.after = field_end == record_end ? record_end : field_end + 1;
        e.after_size = static_cast<size_t>(record_end - e.after);
        if (!csv) {
            const char *before_end = trim_end(record, e.before + e.before_size);
            e.before = skip_blanks(record, before_end);
            e.before_size = static_cast<size_t>(before_end - e.before);
            e.after = skip_blanks(e.after, record_end);
            e.after_size = static_cast<size_t>(trim_end(e.after, record_end) - e.after);
        }
        e.joiner = field != record && field_end != record_end ? format.delimiter : 0;
        if (csv && field != field_end && *field == '"') {
            // The address inside its quotes; any other quote makes it no address.
            const bool closed = field_end - field >= 2 && field_end[-1] == '"';
            ++field;
            field_end -= closed;
            e.has_quote = !closed;
        }
    }
    if (field == nullptr) {
        e.no_field = true;
        e.mac = e.after = e.before = record;
        e.mac_size = e.after_size = e.before_size = 0;
    } else {
        // Blanks around the address are no part of it.
        field = skip_blanks(field, field_end);
        field_end = trim_end(field, field_end);
        e.mac = field;
        e.mac_size = static_cast<size_t>(field_end - field);
        // (A quote is a CSV address's fault; elsewhere it is a byte like any.)
        if constexpr (Check) {
            const nul_and_quote held = find_nul_and_quote(field, field_end);
            e.has_nul = held.nul;
            e.has_quote = e.has_quote || (held.quote && format.kind == record_format::csv);
        }
    }
    return past_line_end(record_end, end);
}

} // namespace detail

// Reads the record at `record` as `format` says into `e`; returns where the
// next one starts. Line ends inside CSV fields are added to `line_ends`.
// Without `Check`, for a record already read once, what makes an address
// unusable (a NUL byte, a quote) is not looked for.
template <bool Check = true>
[[gnu::always_inline]] inline const char *read_record(const char *record, const char *end,
                                                      const record_format &format, entry &e,
                                                      uint64_t &line_ends)
{
    // (The plain format is read by read_plain_line, not here.)
    if (format.kind == record_format::fields && format.delimiter == 0)
        return detail::read_blank_fields<Check>(record, end, format.field, e);
    return detail::read_split_record<Check>(record, end, format, e, line_ends);
}

namespace detail {

// for_each_record for one way of reading a record, `read(record, e,
// line_ends)`; `blank_start` when a record starts at its line's first
// non-blank, `comments` when '#' starts one.
template <class Read, class Visit>
void each_record(const char *p, const char *end, uint64_t line, bool blank_start, bool comments,
                 Read &&read, Visit &&visit)
{
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
// first non-blank byte is '#'. `line` is the line number at `from`.
template <class Visit>
void for_each_record(const inventory &inv, const char *from, uint64_t line, Visit &&visit)
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
            from, end, line, true, true,
            [&](const char *record, entry &e, uint64_t &) {
                return read_blank_fields<true>(record, end, format.field, e);
            },
            visit);
    } else {
        each_record(
            from, end, line, false, format.kind != record_format::csv,
            [&](const char *record, entry &e, uint64_t &line_ends) {
                return read_split_record<true>(record, end, format, e, line_ends);
            },
            visit);
    }
}

} // namespace portslot::audit

#endif
