// An address written plainly: 12 hexadecimal digits, colons between them
// aside. Only such an address goes where its text is read by another
// program (a key's comment, ssh's configuration).
#ifndef PORTSLOT_AUDIT_PLAIN_MAC_H
#define PORTSLOT_AUDIT_PLAIN_MAC_H

#include <stddef.h>
#include <stdint.h>

#include "words.h"

namespace portslot::audit {

namespace detail {

// Each hexadecimal digit in lower case, any other byte 0.
struct hex_digits {
    char of[256];
};
consteval hex_digits make_hex_digits()
{
    hex_digits digits{};
    for (int c = 0; c < 256; ++c) {
        const bool digit = c >= '0' && c <= '9';
        const bool lower = c >= 'a' && c <= 'f', upper = c >= 'A' && c <= 'F';
        digits.of[c] = static_cast<char>(digit || lower ? c : upper ? c + 'a' - 'A' : 0);
    }
    return digits;
}
inline constexpr hex_digits hex_digits_of = make_hex_digits();

// Sixteen bytes at once, in the order of the text, on any target (where
// there is no vector unit, the compiler does it a word at a time).
typedef unsigned char sixteen_bytes __attribute__((vector_size(16)));

// "aa:bb:cc:dd:ee:ff" (any case) in the 17 bytes at `mac`, put in lower
// case at `text`: the first sixteen at once, without a branch.
inline bool read_usual_mac(const char *mac, char (&text)[17])
{
    constexpr sixteen_bytes colon_places = {0, 0, 0xff, 0, 0, 0xff, 0, 0,
                                            0xff, 0, 0, 0xff, 0, 0, 0xff, 0};
    sixteen_bytes bytes;
    __builtin_memcpy(&bytes, mac, 16);
    // A colon where the form has one; elsewhere a digit, read before the
    // case is set (setting 0x20 would make one of 0x10 to 0x19), or a letter
    // from a to f once it is. A colon, turned into a '0' (':' ^ 0x0a), reads
    // as a digit; setting 0x20 lowers a letter and leaves digits and colons.
    const sixteen_bytes colons_wrong = (bytes & colon_places) != (colon_places & ':');
    const sixteen_bytes digits = bytes ^ (colon_places & 0x0a);
    const sixteen_bytes lowered = bytes | 0x20;
    const sixteen_bytes hex = ((digits >= '0') & (digits <= '9')) | ((lowered >= 'a') & (lowered <= 'f'));
    const sixteen_bytes wrong = colons_wrong | ~hex;
    uint64_t halves[2];
    __builtin_memcpy(halves, &wrong, 16);
    __builtin_memcpy(text, &lowered, 16);
    text[16] = hex_digits_of.of[static_cast<unsigned char>(mac[16])];
    return (halves[0] | halves[1]) == 0 && text[16] != 0;
}

} // namespace detail

// True when the `size` bytes at `mac` are a plain address; it is then at
// `text` as "aa:bb:cc:dd:ee:ff", in lower case.
inline bool read_plain_mac(const char *mac, size_t size, char (&text)[17])
{
    if (size == 17 && detail::read_usual_mac(mac, text))
        return true;
    size_t count = 0;
    for (size_t i = 0; i < size; ++i) {
        if (mac[i] == ':')
            continue;
        const char digit = detail::hex_digits_of.of[static_cast<unsigned char>(mac[i])];
        if (count == 12 || digit == 0)
            return false;
        text[count / 2 * 3 + count % 2] = digit;
        ++count;
    }
    for (size_t k = 2; k < 17; k += 3)
        text[k] = ':';
    return count == 12;
}

} // namespace portslot::audit

#endif
