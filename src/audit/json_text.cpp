#include "json_text.h"

#include <string.h>

#include "decimal.h"

namespace portslot::audit {

namespace {

// The length of the valid UTF-8 sequence at `p` (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0.
size_t utf8_sequence(const unsigned char *p, size_t left)
{
    const unsigned char c = p[0];
    size_t size = 0;
    unsigned char low = 0x80, high = 0xbf; // the bounds of the second byte
    if (c >= 0xc2 && c <= 0xdf) {
        size = 2;
    } else if (c >= 0xe0 && c <= 0xef) {
        size = 3;
        low = c == 0xe0 ? 0xa0 : 0x80;
        high = c == 0xed ? 0x9f : 0xbf;
    } else if (c >= 0xf0 && c <= 0xf4) {
        size = 4;
        low = c == 0xf0 ? 0x90 : 0x80;
        high = c == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (left < size || p[1] < low || p[1] > high)
        return 0;
    for (size_t i = 2; i < size; ++i)
        if (p[i] < 0x80 || p[i] > 0xbf)
            return 0;
    return size;
}

} // namespace

void write_json_chars(output &out, const char *text, size_t size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *const end = p + size;
    while (p != end) {
        // Plain ASCII goes out in runs.
        const auto *run = p;
        while (run != end && *run >= 0x20 && *run < 0x7f && *run != '"' && *run != '\\')
            ++run;
        out.bytes(reinterpret_cast<const char *>(p), static_cast<size_t>(run - p));
        p = run;
        if (p == end)
            break;
        const unsigned char c = *p;
        if (c >= 0x80) {
            const size_t n = utf8_sequence(p, static_cast<size_t>(end - p));
            if (n == 0) {
                out.text("\xef\xbf\xbd"); // U+FFFD
                ++p;
            } else {
                out.bytes(reinterpret_cast<const char *>(p), n);
                p += n;
            }
            continue;
        }
        ++p;
        switch (c) {
        case '"':
            out.text("\\\"");
            break;
        case '\\':
            out.text("\\\\");
            break;
        case '\n':
            out.text("\\n");
            break;
        case '\r':
            out.text("\\r");
            break;
        case '\t':
            out.text("\\t");
            break;
        default: {
            const char hex[] = "0123456789abcdef";
            const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            out.bytes(escaped, sizeof escaped);
        }
        }
    }
}

void write_json_string(output &out, const char *text, size_t size)
{
    out.bytes("\"", 1);
    write_json_chars(out, text, size);
    out.bytes("\"", 1);
}

void write_json_number(output &out, const char *name, uint64_t value)
{
    char digits[20];
    out.bytes("\"", 1);
    out.text(name);
    out.bytes("\":", 2);
    out.bytes(digits, put_decimal(digits, value));
}

} // namespace portslot::audit
