// Text eight bytes at a time: a word of text, and the marks of the bytes in
// it that a scan stops at.
#ifndef PORTSLOT_AUDIT_WORDS_H
#define PORTSLOT_AUDIT_WORDS_H

#include <stdint.h>
#include <string.h>

namespace portslot::audit {

// The marks of the bytes of `word` below `limit` (at most 0x80), and equal
// to `byte`: none when there is none, and of those marked the lowest is
// exact (a borrow can mark only bytes after it).
inline uint64_t marks_below(uint64_t word, uint64_t limit)
{
    return (word - limit * 0x0101010101010101u) & ~word & 0x8080808080808080u;
}
inline uint64_t marks_of(uint64_t word, unsigned char byte)
{
    return marks_below(word ^ (byte * 0x0101010101010101u), 1);
}

// The position of the lowest mark, or 8 when there is none.
inline unsigned first_marked(uint64_t marks)
{
    return marks == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(marks)) / 8;
}

// Eight bytes of text as a word whose lowest byte is the first, on any
// machine.
inline uint64_t load_word(const char *p)
{
    uint64_t word;
    memcpy(&word, p, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return word;
}

// The position (0 to 7) of the first byte of `word` (from load_word) that is
// below `limit` (at most 0x80), or 8. (Of the bits the test marks, the lowest
// is exact; a borrow can mark only bytes after it.)
inline unsigned first_below(uint64_t word, uint64_t limit)
{
    return first_marked(marks_below(word, limit));
}

// The bytes that quoted text (JSON's strings, Prometheus's label values)
// holds as they are: printable ASCII but '"' and '\\'.
struct byte_set {
    bool of[256];
};
consteval byte_set make_quotable_bytes()
{
    byte_set set{};
    for (int c = 0x20; c < 0x7f; ++c)
        set.of[c] = c != '"' && c != '\\';
    return set;
}
inline constexpr byte_set quotable_bytes = make_quotable_bytes();

// Copies the text at `p` to `to` eight bytes at a time while it is plain
// ASCII as quoted text takes it (JSON's strings, Prometheus's label values):
// up to the first control byte, '"', '\\', DEL or byte of UTF-8 beyond ASCII,
// or to where fewer than eight bytes are left. Both move past the copy, which
// writes up to seven bytes more at `to` than it keeps.
inline void copy_quotable_ascii(char *&to, const unsigned char *&p, const unsigned char *end)
{
    for (; end - p >= 8; p += 8) {
        const uint64_t word = load_word(reinterpret_cast<const char *>(p));
        const uint64_t marks = marks_below(word, 0x20) | (word & 0x8080808080808080u) |
                               marks_of(word, '"') | marks_of(word, '\\') | marks_of(word, 0x7f);
        const unsigned at = first_marked(marks);
        __builtin_memcpy(to, p, 8);
        if (at != 8) {
            to += at;
            p += at;
            return;
        }
        to += 8;
    }
}

// From `p`, past the words of eight bytes that hold no byte below `limit`:
// where the first such byte is, or where fewer than eight bytes are left.
inline const char *skip_words_from(const char *p, const char *end, uint64_t limit)
{
    for (; end - p >= 8; p += 8) {
        const unsigned at = first_below(load_word(p), limit);
        if (at != 8)
            return p + at;
    }
    return p;
}

// The marks of the bytes of `word` equal to `byte`, each exact (no borrow
// runs from one byte into the next), so that the highest is right too.
inline uint64_t exact_marks_of(uint64_t word, unsigned char byte)
{
    constexpr uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
    const uint64_t x = word ^ (byte * 0x0101010101010101u);
    return ~(((x & low7) + low7) | x) & ~low7;
}

// The marks of the bytes of `word` below `limit` (at most 0x80), each
// exact, as above.
inline uint64_t exact_marks_below(uint64_t word, unsigned char limit)
{
    constexpr uint64_t low7 = 0x7f7f7f7f7f7f7f7fu;
    const uint64_t raised = (word & low7) + (0x80u - limit) * 0x0101010101010101u;
    return ~(raised | word) & ~low7;
}

} // namespace portslot::audit

#endif
