#include "inventory_lines.h"

namespace portslot::audit {

namespace {

// The marks of the bytes of `word` that are zero, each exact (no borrow runs
// from one byte into the next).
inline uint64_t zero_bytes(uint64_t word)
{
    constexpr uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
    return ~(((word & low7) + low7) | word) & ~low7;
}

// The line ends that start in [p, stop): a line feed, a carriage return and
// line feed (one), or a lone carriage return; `end` is where the text ends.
// Eight bytes at a time, byte by byte in a word that holds a carriage return.
uint64_t line_ends_in(const char *p, const char *stop, const char *end)
{
    uint64_t count = 0;
    for (; stop - p >= 8; p += 8) {
        uint64_t word;
        memcpy(&word, p, 8);
        if (zero_bytes(word ^ 0x0d0d0d0d0d0d0d0du) == 0) {
            // (The marks' sum, gathered in the top byte.)
            count += (zero_bytes(word ^ 0x0a0a0a0a0a0a0a0au) >> 7) * 0x0101010101010101u >> 56;
            continue;
        }
        for (const char *q = p; q != p + 8; ++q)
            count += *q == '\n' || (*q == '\r' && (q + 1 == end || q[1] != '\n'));
    }
    for (; p != stop; ++p)
        count += *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'));
    return count;
}

} // namespace

void number_lines_in_text(const char *text, size_t size, uint64_t base, const uint64_t *offsets,
                          size_t count, uint64_t *lines)
{
    // (Each offset starts a record, never between a carriage return and the
    // line feed after it.)
    const char *const end = text + size;
    const char *p = text;
    uint64_t line = 1;
    for (size_t i = 0; i < count; ++i) {
        const char *at = text + (offsets[i] - base);
        line += line_ends_in(p, at, end);
        p = at;
        lines[i] = line;
    }
}

} // namespace portslot::audit
