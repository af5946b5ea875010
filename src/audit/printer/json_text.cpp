#include "json_text.h"

#include <string.h>

#include "decimal.h"
#include "utf8.h"
#include "words.h"

namespace portslot::audit {

namespace {

// `c` as JSON escapes it: \\uXXXX, or its short form.
char *put_escaped(char *to, unsigned char c)
{
    switch (c) {
    case '"':
        return put_text(to, "\\\"");
    case '\\':
        return put_text(to, "\\\\");
    case '\n':
        return put_text(to, "\\n");
    case '\r':
        return put_text(to, "\\r");
    case '\t':
        return put_text(to, "\\t");
    default:
        break;
    }
    const char hex[] = "0123456789abcdef";
    const char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
    __builtin_memcpy(to, escaped, sizeof escaped);
    return to + sizeof escaped;
}

// The UTF-8 sequence at `p` as it is, a C1 control (U+0080 to U+009F)
// escaped, or a byte that starts no valid sequence as U+FFFD; `p` moves past
// what was read.
char *put_utf8(char *to, const unsigned char *&p, const unsigned char *end)
{
    const size_t n = utf8_sequence(p, static_cast<size_t>(end - p));
    if (n == 0) {
        ++p;
        return put_text(to, "\xef\xbf\xbd");
    }
    if (p[0] == 0xc2 && p[1] < 0xa0) {
        to = put_escaped(to, p[1]);
        p += 2;
        return to;
    }
    __builtin_memcpy(to, p, n);
    p += n;
    return to + n;
}

} // namespace

char *put_json_chars(char *to, const char *text, size_t size)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text);
    const auto *const end = p + size;
    while (p != end) {
        // Plain ASCII goes out eight bytes at a time, up to the first byte
        // that needs care: a control byte, '"', '\\', DEL, or one of UTF-8.
        copy_quotable_ascii(to, p, end);
        for (; p != end && quotable_bytes.of[*p]; ++p)
            *to++ = static_cast<char>(*p);
        if (p == end)
            break;
        if (*p >= 0x80)
            to = put_utf8(to, p, end);
        else
            to = put_escaped(to, *p++);
    }
    return to;
}

void write_json_chars(output &out, const char *text, size_t size)
{
    // Straight into the output's buffer, in pieces that end between
    // characters (no UTF-8 sequence is longer than four bytes); through a
    // small buffer of its own when the output's is smaller still.
    char small[6 * 64];
    while (size > 0) {
        size_t limit = 4096;
        char *to = out.room(6 * limit);
        if (to == nullptr) {
            limit = 64;
            to = small;
        }
        size_t piece = size;
        if (piece > limit) {
            piece = limit;
            while (piece > limit - 4 && (static_cast<unsigned char>(text[piece]) & 0xc0) == 0x80)
                --piece;
        }
        const auto written = static_cast<size_t>(put_json_chars(to, text, piece) - to);
        if (to == small)
            out.bytes(small, written);
        else
            out.commit(written);
        text += piece;
        size -= piece;
    }
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
