#include "port_derivation.h"

#include "mac_text.h"
#include "number_reading.h"

#include <stddef.h>
#include <stdint.h>

namespace portslot {

namespace {

constexpr size_t mac_text_max = 17; // "aa:bb:cc:dd:ee:ff"
constexpr size_t mac_digits = 12;   // the same without colons
constexpr size_t tail_offset = 6;   // the last three octets start here

// True when `text` is longer than `limit`, without reading past limit + 1
// bytes: an argument may be arbitrarily long. (A loop of its own rather than
// strlen: the tool calls as few C library functions as it can.)
bool longer_than(const char *text, size_t limit)
{
    for (size_t i = 0; i <= limit; ++i)
        if (text[i] == '\0')
            return false;
    return true;
}

// True for the usual form of a MAC text, "aa:bb:cc:dd:ee:ff": two bytes
// that are neither colons nor the end, then a colon, six times over, and
// then the end. Each byte is looked at in order, none past the end.
bool usual_form(const char *m)
{
    for (size_t i = 0; i < mac_text_max; ++i)
        if (i % 3 == 2 ? m[i] != ':' : m[i] == '\0' || m[i] == ':')
            return false;
    return m[mac_text_max] == '\0';
}

// The key that the tail of a MAC text gives. The usual tail, six hexadecimal
// digits and no seventh, is read here; strtoul's own rules decide what any
// other tail gives: white space, a sign (a "-" negates modulo 2^64), "0x", no
// digits.
uint64_t tail_value(const char *tail)
{
    uint64_t value = 0;
    for (size_t i = 0; i < 6; ++i) {
        const int digit = hex_digit(tail[i]);
        if (digit < 0)
            return read_hex(tail);
        value = value << 4 | static_cast<uint64_t>(digit);
    }
    return hex_digit(tail[6]) < 0 ? value : read_hex(tail);
}

// Odd bounds round inwards; oddness is the lowest bit, so a negative odd
// minimum moves up as well (-3 becomes -2).
int64_t round_up_to_even(int32_t value)
{
    return int64_t{value} + (value & 1);
}

} // namespace

int64_t port_block_count(int32_t port_min, int32_t port_max, int32_t port_count)
{
    // 64 bits hold every intermediate value, so nothing wraps: an odd
    // INT32_MAX minimum rounds up past every maximum instead of to INT32_MIN.
    const int64_t low = round_up_to_even(port_min);
    const int64_t high = int64_t{port_max} - (port_max & 1);
    if (high < low || port_count <= 0)
        return 0;
    const int64_t even_ports = (high - low) / 2 + 1;
    // Even ports past the last whole block are never handed out.
    return even_ports / port_count;
}

char *remove_char(char *dst, const char *src, char ch)
{
    char *out = dst;
    for (; *src != '\0'; ++src)
        if (*src != ch)
            *out++ = *src;
    *out = '\0';
    return dst;
}

uint64_t mac_tail_value(const char *text)
{
    if (text == nullptr || !longer_than(text, tail_offset - 1))
        return 0;
    return tail_value(text + tail_offset);
}

int32_t compute_port(const char *mac_address, int32_t port_min, int32_t port_max,
                     int32_t port_count, int32_t port_num)
{
    if (mac_address == nullptr || port_num <= 0 || port_num > port_count)
        return -1;
    char buffer[mac_text_max + 1];
    if (usual_form(mac_address)) {
        for (size_t i = 0; i < 6; ++i) {
            buffer[2 * i] = mac_address[3 * i];
            buffer[2 * i + 1] = mac_address[3 * i + 1];
        }
        buffer[mac_digits] = '\0';
    } else {
        // At most 17 bytes (looked at no further), which keeps the copy
        // within the buffer, and 12 once colons are dropped.
        if (longer_than(mac_address, mac_text_max))
            return -1;
        remove_char(buffer, mac_address, ':');
        if (longer_than(buffer, mac_digits) || !longer_than(buffer, mac_digits - 1))
            return -1;
    }
    // (The buffer holds twelve characters: its tail starts within it.)
    const uint64_t key = tail_value(buffer + tail_offset);

    const int64_t blocks = port_block_count(port_min, port_max, port_count);
    if (blocks == 0)
        return -1;

    const auto block = static_cast<int64_t>(key % static_cast<uint64_t>(blocks));
    const int64_t index = block * port_count + (port_num - 1);
    // index < blocks * port_count <= the number of even ports, so the port
    // lies within the rounded bounds and fits in 32 bits.
    return static_cast<int32_t>(round_up_to_even(port_min) + 2 * index);
}

} // namespace portslot
