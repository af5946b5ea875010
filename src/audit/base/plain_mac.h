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

// Bytes of `word` (lowest first) from `low` to `high` (both below 0x80), for
// bytes below 0x80: 0x80 in each byte that is, else 0.
inline uint64_t bytes_within(uint64_t word, uint64_t low, uint64_t high)
{
    constexpr uint64_t ones = 0x0101010101010101u, tops = 0x8080808080808080u;
    return ((word | tops) - low * ones) & ((high * ones | tops) - word) & tops;
}

// "aa:bb:cc:dd:ee:ff" (any case) in the 17 bytes at `mac`, put in lower
// case at `text`; eight bytes at a time, without a branch.
inline bool read_usual_mac(const char *mac, char (&text)[17])
{
    constexpr uint64_t colons[2] = {0x0000ff0000ff0000u, 0x00ff0000ff0000ffu};
    constexpr uint64_t colon_bytes[2] = {0x00003a00003a0000u, 0x003a00003a00003au};
    constexpr uint64_t case_bit = 0x2020202020202020u, tops = 0x8080808080808080u;
    uint64_t wrong = 0; // a mark where a byte is not what the form has there
    for (int w = 0; w < 2; ++w) {
        const uint64_t word = load_word(mac + 8 * w);
        // Setting 0x20 lowers a letter and leaves digits and colons as they
        // are (a digit is read before it, as it would make one of 0x10 to
        // 0x19); a colon, turned into a '0' (':' ^ 0x0a), reads as a digit.
        const uint64_t lowered = word | case_bit;
        const uint64_t digits = word ^ (colon_bytes[w] & 0x0a0a0a0a0a0a0a0au);
        wrong |= (word & colons[w]) ^ colon_bytes[w];
        wrong |= word & tops;
        wrong |= (bytes_within(digits, '0', '9') | bytes_within(lowered, 'a', 'f')) ^ tops;
        uint64_t stored = lowered;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        stored = __builtin_bswap64(stored); // (back to the order of the text)
#endif
        __builtin_memcpy(text + 8 * w, &stored, 8);
    }
    text[16] = hex_digits_of.of[static_cast<unsigned char>(mac[16])];
    return wrong == 0 && text[16] != 0;
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
