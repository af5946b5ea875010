// The fields of a record: runs of non-blanks, texts between delimiters, and
// CSV fields, quoted or not; finding where each ends, and a CSV field's value.
#ifndef PORTSLOT_AUDIT_RECORD_FIELDS_H
#define PORTSLOT_AUDIT_RECORD_FIELDS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "inventory_lines.h"
#include "words.h"

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
// ends among them), or `end`. Sixteen bytes at a time where the machine has
// SSE2 (every x86-64), else eight.
inline const char *byte_or_control(const char *p, const char *end, char byte)
{
    const auto b = static_cast<unsigned char>(byte);
#ifdef __SSE2__
    const __m128i wanted = _mm_set1_epi8(byte), below = _mm_set1_epi8(0x0d);
    for (; end - p >= 16; p += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        // (min(v, 0x0d) == v: v at most 0x0d, as unsigned bytes)
        const __m128i marks = _mm_or_si128(_mm_cmpeq_epi8(v, wanted),
                                           _mm_cmpeq_epi8(_mm_min_epu8(v, below), v));
        if (const int bits = _mm_movemask_epi8(marks); bits != 0)
            return p + __builtin_ctz(static_cast<unsigned>(bits));
    }
#endif
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

// How a walk over a record's fields ended: at `stop`, the end of the last
// field walked; with the line ends that quoted fields held, and what made
// the record malformed, if anything.
struct field_walk {
    const char *stop;
    uint64_t line_ends;
    unsigned char fault;
};

// The one walk over the fields of a record split at a delimiter (`csv`:
// CSV fields, quoted or not): calls `field(column, start, stop)` for each,
// from column 1 at `p`, until one that no delimiter follows, or until
// `field` returns false.
template <class Field>
[[gnu::always_inline]] inline field_walk walk_fields(const char *p, const char *end, char delimiter,
                                                     bool csv, Field &&field)
{
    uint64_t line_ends = 0;
    unsigned char fault = no_fault;
    for (uint32_t column = 1;; ++column) {
        const char *stop = csv ? csv_field_end(p, end, delimiter, line_ends, fault)
                               : detail::delimiter_or_line_end(p, end, delimiter);
        if (!field(column, p, stop) || stop == end || *stop != delimiter)
            return field_walk{stop, line_ends, fault};
        p = stop + 1;
    }
}

// The same over the CSV record (or header) at `p`.
template <class Field>
[[gnu::always_inline]] inline field_walk walk_csv_fields(const char *p, const char *end,
                                                         char delimiter, Field &&field)
{
    return walk_fields(p, end, delimiter, true, static_cast<Field &&>(field));
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

} // namespace portslot::audit

#endif
