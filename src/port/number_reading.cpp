#include "number_reading.h"

namespace portslot {

namespace {

// White space as the C locale's isspace has it.
bool is_space(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Skips white space and one sign; true when the sign was "-".
bool skip_to_digits(const char *&text)
{
    while (is_space(*text))
        ++text;
    const bool negative = *text == '-';
    if (*text == '+' || *text == '-')
        ++text;
    return negative;
}

} // namespace

int32_t read_decimal(const char *text)
{
    const bool negative = skip_to_digits(text);
    // Past 2^31 the value only saturates, so stop growing there.
    constexpr int64_t cap = int64_t{1} << 31;
    int64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        if (value < cap)
            value = value * 10 + (*text - '0');
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

uint64_t read_hex(const char *text)
{
    // White space and a sign are rare before a MAC text's digits: look for
    // them only when the text does not start with one.
    const bool negative = hex_digit(*text) < 0 && skip_to_digits(text);
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X') && hex_digit(text[2]) >= 0)
        text += 2;
    uint64_t value = 0;
    uint64_t overflow = 0;
    for (int digit; (digit = hex_digit(*text)) >= 0; ++text) {
        overflow |= value >> 60;
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    if (overflow != 0)
        return UINT64_MAX;
    return negative ? 0 - value : value;
}

} // namespace portslot
