// An address written plainly: 12 hexadecimal digits, colons between them
// aside. Only such an address goes where its text is read by another
// program (a key's comment, ssh's configuration).
#ifndef PORTSLOT_AUDIT_PLAIN_MAC_H
#define PORTSLOT_AUDIT_PLAIN_MAC_H

#include <stddef.h>

namespace portslot::audit {

// True when the `size` bytes at `mac` are a plain address; its digits, in
// lower case, are then at `digits`.
inline bool read_plain_mac(const char *mac, size_t size, char (&digits)[12])
{
    size_t count = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = mac[i];
        const char lower = static_cast<char>(c | 0x20);
        const bool hex = (c >= '0' && c <= '9') || (lower >= 'a' && lower <= 'f');
        if (!hex && c != ':')
            return false;
        if (hex && count == 12)
            return false;
        if (hex)
            digits[count++] = c <= '9' ? c : lower;
    }
    return count == 12;
}

} // namespace portslot::audit

#endif
