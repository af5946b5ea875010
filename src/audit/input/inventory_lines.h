// The lines of an inventory: finding them, and splitting each into its
// address and label. A line ends at a line feed, a carriage return and line
// feed, or a lone carriage return; the last line needs no end.
#ifndef PORTSLOT_AUDIT_INVENTORY_LINES_H
#define PORTSLOT_AUDIT_INVENTORY_LINES_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "words.h"

namespace portslot::audit {

// One device line: its address field and its label, pointing into the
// text. The label is the rest of the line, white space trimmed: the text
// before the address (`before`, when the address is not the first field),
// then `joiner`, then the text after it (`after`), or only the one of them
// that is there.
struct entry {
    const char *mac;
    size_t mac_size;
    const char *after;
    size_t after_size;
    uint64_t line;           // 1-based
    bool has_nul;            // a NUL byte in the address, which no argument could carry
    bool has_quote;          // a double quote in a CSV address, which no address holds
    bool no_field;           // the line has no field where the address should be
    unsigned char malformed; // a CSV record's fault (csv_fault), which makes it no record
    bool spans_lines;        // a CSV record whose quoted fields hold line ends
    char joiner;             // 0 when there is no text both before and after
    const char *before;
    size_t before_size;
};

namespace detail {

enum : unsigned char { ordinary, blank, line_end };
struct byte_classes {
    unsigned char of[256];
};
consteval byte_classes make_byte_classes()
{
    byte_classes classes{};
    const char blanks[] = " \t\v\f";
    for (const char *c = blanks; *c != '\0'; ++c)
        classes.of[static_cast<unsigned char>(*c)] = blank;
    classes.of[static_cast<unsigned char>('\n')] = line_end;
    classes.of[static_cast<unsigned char>('\r')] = line_end;
    return classes;
}
inline constexpr byte_classes classes = make_byte_classes();

inline unsigned char class_of(char c)
{
    return classes.of[static_cast<unsigned char>(c)];
}

// Past the line end at `p` (or `end`): CR LF counts as one.
inline const char *past_line_end(const char *p, const char *end)
{
    if (p == end)
        return p;
    if (*p == '\r' && p + 1 != end && p[1] == '\n')
        return p + 2;
    return p + 1;
}

} // namespace detail

// The first line end at or after `p`, or `end`. Eight bytes at a time while
// none is below 0x0e, the only bytes that can be line ends.
inline const char *find_line_end(const char *p, const char *end)
{
    for (;;) {
        p = skip_words_from(p, end, 0x0e);
        if (end - p < 8) {
            for (; p != end; ++p)
                if (detail::class_of(*p) == detail::line_end)
                    return p;
            return p;
        }
        if (detail::class_of(*p) == detail::line_end)
            return p;
        ++p; // a byte below 0x0e that ends no line
    }
}

// The address and label of the plain format's line whose address starts at
// `mac`; returns where the next line starts.
inline const char *read_plain_line(const char *mac, const char *end, entry &e)
{
    using namespace detail;
    const char *p = mac;
    // Eight bytes at a time while none is below 0x21, the only bytes that can
    // be blank or end a line.
    for (uint64_t word; end - p >= 8; p += 8) {
        memcpy(&word, p, 8);
        if (marks_below(word, 0x21) != 0) // (whichever byte: the order matters not)
            break;
    }
    // (A word without bytes below 0x21 holds no NUL byte either.)
    unsigned nuls = 0;
    for (; p != end && class_of(*p) == ordinary; ++p)
        nuls += *p == '\0';
    e.has_nul = nuls != 0;
    e.mac = mac;
    e.mac_size = static_cast<size_t>(p - mac);
    while (p != end && class_of(*p) == blank)
        ++p;
    const char *label = p;
    p = find_line_end(p, end);
    const char *label_end = p;
    while (label_end != label && class_of(label_end[-1]) == blank)
        --label_end;
    e.after = label;
    e.after_size = static_cast<size_t>(label_end - label);
    return past_line_end(p, end);
}

// Calls `visit(entry)` for each line of `text` that names a device, skipping
// blank lines and lines whose first non-blank byte is '#', until it returns
// false.
template <class Visit> void for_each_entry(const char *text, size_t size, Visit &&visit)
{
    using namespace detail;
    const char *p = text;
    const char *const end = text + size;
    entry e{};
    for (bool more = true; p != end && more;) {
        ++e.line;
        while (p != end && class_of(*p) == blank)
            ++p;
        if (p == end)
            break;
        if (class_of(*p) == line_end || *p == '#') {
            p = past_line_end(find_line_end(p, end), end);
            continue;
        }
        p = read_plain_line(p, end, e);
        more = visit(e);
    }
}

// The line numbers of the bytes at `offsets` (ascending, counted from
// `base`, where `text` starts) of `text`.
void number_lines_in_text(const char *text, size_t size, uint64_t base, const uint64_t *offsets,
                          size_t count, uint64_t *lines);

} // namespace portslot::audit

#endif
