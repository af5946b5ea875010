// Reading numbers from text the way the C library does, without calling it:
// a run of portslot is mostly process start-up, and every C library function
// it calls costs a symbol lookup at run time.
#ifndef PORTSLOT_NUMBER_READING_H
#define PORTSLOT_NUMBER_READING_H

#include <stdint.h>

namespace portslot {

// The value of each byte as a hexadecimal digit, or -1.
struct hex_table {
    signed char value[256];
};
consteval hex_table make_hex_table()
{
    hex_table table{};
    for (int c = 0; c < 256; ++c)
        table.value[c] = -1;
    for (int c = '0'; c <= '9'; ++c)
        table.value[c] = static_cast<signed char>(c - '0');
    for (int c = 'a'; c <= 'f'; ++c) {
        table.value[c] = static_cast<signed char>(c - 'a' + 10);
        table.value[c - 'a' + 'A'] = static_cast<signed char>(c - 'a' + 10);
    }
    return table;
}
inline constexpr hex_table hex_digits = make_hex_table();

inline int hex_digit(char c)
{
    return hex_digits.value[static_cast<unsigned char>(c)];
}

// The value strtol(text, nullptr, 10) gives, clamped to the 32-bit range:
// leading white space, one sign, decimal digits up to the first other byte;
// no digits gives 0. In range it is exactly atoi's reading.
int32_t read_decimal(const char *text);

// The value strtoul(text, nullptr, 16) gives where long has 64 bits (on every
// machine, so that every build gives the same key): leading white space, one sign,
// an optional "0x" or "0X" before a hexadecimal digit, digits of either case
// up to the first other byte; no digits gives 0, a "-" negates modulo 2^64,
// and a value past 64 bits gives 2^64 - 1.
uint64_t read_hex(const char *text);

} // namespace portslot

#endif
