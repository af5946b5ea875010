// Text as JSON strings: valid UTF-8 whatever the inventory holds.
#ifndef PORTSLOT_AUDIT_JSON_TEXT_H
#define PORTSLOT_AUDIT_JSON_TEXT_H

#include <stddef.h>
#include <stdint.h>

#include "output.h"

namespace portslot::audit {

// The inside of a JSON string holding `text`: '"' and '\' escaped, control
// characters (and DEL) as \n, \t, ... or \u00XX, and each byte that is not
// part of a valid UTF-8 sequence as U+FFFD.
void write_json_chars(output &out, const char *text, size_t size);

// The same, written at `to`, which has room for 6 * `size` bytes; returns
// the end of what it wrote.
char *put_json_chars(char *to, const char *text, size_t size);

// Copies the literal `text` to `to`; returns the end of the copy.
template <size_t N> inline char *put_text(char *to, const char (&text)[N])
{
    __builtin_memcpy(to, text, N - 1);
    return to + N - 1;
}

// `"name":` and a number, for an object's member.
void write_json_number(output &out, const char *name, uint64_t value);

} // namespace portslot::audit

#endif
