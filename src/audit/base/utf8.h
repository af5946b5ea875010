// UTF-8 as RFC 3629 has it, for text that must be valid UTF-8 whatever an
// inventory holds.
#ifndef PORTSLOT_AUDIT_UTF8_H
#define PORTSLOT_AUDIT_UTF8_H

#include <stddef.h>

namespace portslot::audit {

// The length of the valid UTF-8 sequence at `p` (RFC 3629: no overlong
// forms, no surrogates, nothing above U+10FFFF), or 0.
inline size_t utf8_sequence(const unsigned char *p, size_t left)
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

} // namespace portslot::audit

#endif
