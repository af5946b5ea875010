// Decimal digits of counts and line numbers, written straight into a buffer.
#ifndef PORTSLOT_AUDIT_DECIMAL_H
#define PORTSLOT_AUDIT_DECIMAL_H

#include <stddef.h>
#include <stdint.h>

namespace portslot::audit {

// Writes the decimal digits of `value` at `out`; returns how many.
inline size_t put_decimal(char *out, uint64_t value)
{
    char digits[20];
    size_t n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i)
        out[i] = digits[n - 1 - i];
    return n;
}

} // namespace portslot::audit

#endif
