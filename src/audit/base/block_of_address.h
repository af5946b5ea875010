// The block that an address gives a device: the first port of it, exactly as
// portslot --port-num 1 gives it. The usual form, "aa:bb:cc:dd:ee:ff" ending
// in six hexadecimal digits, is read here in a few steps, as the audit reads
// it for every device twice (when loading, and when its row is written); any
// other text goes to the derivation itself.
#ifndef PORTSLOT_AUDIT_BLOCK_OF_ADDRESS_H
#define PORTSLOT_AUDIT_BLOCK_OF_ADDRESS_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <portslot/port_derivation.h>

namespace portslot::audit {

struct port_range {
    int32_t port_min, port_max, port_count;
};

// A range as given: its first and last port.
struct port_bounds {
    int32_t low, high;
};

// The first port of a range's first block: its lowest even port, as blocks
// start on even ports.
inline int64_t first_even_port(int32_t port_min)
{
    return int64_t{port_min} + (port_min & 1);
}

// A range as the blocks it holds.
struct block_layout {
    int32_t port_min, port_max, port_count;
    int64_t first_port; // the range's lowest even port
    uint64_t blocks;    // whole blocks; at least 1

    block_layout(int32_t min, int32_t max, int32_t count)
        : port_min(min), port_max(max), port_count(count), first_port(first_even_port(min)),
          blocks(static_cast<uint64_t>(portslot::port_block_count(min, max, count)))
    {
    }
};

namespace detail {

// Each byte's value as a hexadecimal digit, or 16 and more when it is none;
// and whether it may not stand where the usual form has a digit that takes
// no part in the key (a colon or a NUL).
struct address_bytes {
    unsigned char digit[256];
    unsigned char not_head[256];
};
consteval address_bytes make_address_bytes()
{
    address_bytes table{};
    for (int c = 0; c < 256; ++c) {
        table.digit[c] = c >= '0' && c <= '9'   ? static_cast<unsigned char>(c - '0')
                         : c >= 'a' && c <= 'f' ? static_cast<unsigned char>(c - 'a' + 10)
                         : c >= 'A' && c <= 'F' ? static_cast<unsigned char>(c - 'A' + 10)
                                                : 0xf0;
        table.not_head[c] = c == ':' || c == '\0';
    }
    return table;
}
inline constexpr address_bytes address_table = make_address_bytes();

} // namespace detail

// The first port of the block that the address `mac` (`size` bytes, which
// need no terminating NUL) gives in `layout`, or -1 when it gives none.
// `layout` holds at least one block.
inline int32_t first_port_of_address(const char *mac, size_t size, const block_layout &layout)
{
    using detail::address_table;
    const auto *m = reinterpret_cast<const unsigned char *>(mac);
    if (size == 17) {
        const unsigned colons =
            (m[2] ^ ':') | (m[5] ^ ':') | (m[8] ^ ':') | (m[11] ^ ':') | (m[14] ^ ':');
        const unsigned head = address_table.not_head[m[0]] | address_table.not_head[m[1]] |
                              address_table.not_head[m[3]] | address_table.not_head[m[4]] |
                              address_table.not_head[m[6]] | address_table.not_head[m[7]];
        const unsigned d[6] = {address_table.digit[m[9]],  address_table.digit[m[10]],
                               address_table.digit[m[12]], address_table.digit[m[13]],
                               address_table.digit[m[15]], address_table.digit[m[16]]};
        if ((colons | head | ((d[0] | d[1] | d[2] | d[3] | d[4] | d[5]) & 0xf0)) == 0) {
            const uint64_t key =
                uint64_t{d[0]} << 20 | d[1] << 16 | d[2] << 12 | d[3] << 8 | d[4] << 4 | d[5];
            const auto block = static_cast<int64_t>(key % layout.blocks);
            return static_cast<int32_t>(layout.first_port + 2 * block * layout.port_count);
        }
    }
    // Longer than 17 bytes, or holding a NUL byte, which no argument could
    // carry to portslot: no port.
    if (size > 17 || memchr(mac, '\0', size) != nullptr)
        return -1;
    char text[18];
    memcpy(text, mac, size);
    text[size] = '\0';
    return portslot::compute_port(text, layout.port_min, layout.port_max, layout.port_count, 1);
}

// The key of a device's address (`size` bytes at `mac`, which gave a port):
// the number its last six digits are read as once colons are dropped, by
// strtoul's rules in 64 bits (white space, a sign that negates modulo 2^64,
// "0x"), of which its block is the remainder.
inline uint64_t key_of_address(const char *mac, size_t size)
{
    using detail::address_table;
    const auto *m = reinterpret_cast<const unsigned char *>(mac);
    if (size == 17) {
        const unsigned d[6] = {address_table.digit[m[9]],  address_table.digit[m[10]],
                               address_table.digit[m[12]], address_table.digit[m[13]],
                               address_table.digit[m[15]], address_table.digit[m[16]]};
        if (((d[0] | d[1] | d[2] | d[3] | d[4] | d[5]) & 0xf0) == 0 && m[8] == ':' &&
            m[11] == ':' && m[14] == ':')
            return uint64_t{d[0]} << 20 | d[1] << 16 | d[2] << 12 | d[3] << 8 | d[4] << 4 | d[5];
    }
    // (A device's address holds twelve bytes that are not colons, in at most
    // 17: its tail is the seventh on.)
    char digits[18] = {};
    size_t n = 0;
    for (size_t i = 0; i < (size < 17 ? size : 17); ++i)
        if (mac[i] != ':')
            digits[n++] = mac[i];
    return strtoull(digits + 6, nullptr, 16);
}

} // namespace portslot::audit

#endif
