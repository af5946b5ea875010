// Decimal digits of counts and line numbers, written straight into a buffer.
#ifndef PORTSLOT_AUDIT_DECIMAL_H
#define PORTSLOT_AUDIT_DECIMAL_H

#include <stddef.h>
#include <stdint.h>

namespace portslot::audit {

namespace detail {

// "00" to "99".
struct digit_pairs {
    char of[200];
};
consteval digit_pairs make_digit_pairs()
{
    digit_pairs pairs{};
    for (int i = 0; i < 100; ++i) {
        pairs.of[2 * i] = static_cast<char>('0' + i / 10);
        pairs.of[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return pairs;
}
inline constexpr digit_pairs pairs = make_digit_pairs();

} // namespace detail

// Writes the decimal digits of `value` at `out`; returns how many. Two
// digits at a time, from the right.
inline size_t put_decimal(char *out, uint64_t value)
{
    size_t n = 1;
    for (uint64_t rest = value; rest >= 10; rest /= 10)
        ++n;
    char *to = out + n;
    for (; value >= 100; value /= 100) {
        const char *pair = detail::pairs.of + 2 * (value % 100);
        *--to = pair[1];
        *--to = pair[0];
    }
    if (value >= 10) {
        *--to = detail::pairs.of[2 * value + 1];
        *--to = detail::pairs.of[2 * value];
    } else {
        *--to = static_cast<char>('0' + value);
    }
    return n;
}

} // namespace portslot::audit

#endif
