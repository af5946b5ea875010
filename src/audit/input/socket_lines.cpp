#include "socket_lines.h"

#include <stddef.h>
#include <string.h>

#include "ascii.h"

namespace portslot::audit {

namespace {

// Each byte's value as a hexadecimal digit, or -1.
struct digit_table {
    signed char of[256];
};
consteval digit_table make_hex_digits()
{
    digit_table table{};
    for (int c = 0; c < 256; ++c)
        table.of[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                      : -1);
    return table;
}
constexpr digit_table hex_digits = make_hex_digits();

int hex_digit(char c)
{
    return hex_digits.of[static_cast<unsigned char>(c)];
}

// The value of `size` decimal digits, or -1 when there are none, or one is
// not a digit, or the value passes 65535.
int32_t decimal(const char *p, size_t size)
{
    int32_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        value = value * 10 + (p[i] - '0');
        if (value > 65535)
            return -1;
    }
    return size == 0 ? -1 : value;
}

const char *skip_blanks(const char *p, const char *end)
{
    while (p < end && is_space_or_tab(*p))
        ++p;
    return p;
}

// "ADDRESS:PORT" of /proc/net/tcp (8 hexadecimal digits of address) or tcp6
// (32) at `p`, which moves past it; the port, or -1.
int32_t proc_address(const char *&p, const char *end)
{
    const char *const start = p;
    while (p < end && hex_digit(*p) >= 0)
        ++p;
    const auto size = static_cast<size_t>(p - start);
    if ((size != 8 && size != 32) || end - p < 5 || *p != ':')
        return -1;
    int32_t port = 0;
    for (const char *digits = ++p; p < digits + 4; ++p) {
        const int digit = hex_digit(*p);
        if (digit < 0)
            return -1;
        port = port * 16 + digit;
    }
    return p == end || is_space_or_tab(*p) ? port : -1;
}

// "N: LOCAL REMOTE STATE ...", and the header, whose first word is "sl";
// state 0A is a listening socket. [p, end) is the line, from its first word.
line_kind read_proc_line(const char *p, const char *end, int32_t &port)
{
    if (end - p >= 3 && p[0] == 's' && p[1] == 'l' && is_space_or_tab(p[2]))
        return line_kind::other;
    const char *const number = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    if (p == number || p == end || *p != ':')
        return line_kind::wrong;
    p = skip_blanks(p + 1, end);
    port = proc_address(p, end);
    p = skip_blanks(p, end);
    if (port < 0 || proc_address(p, end) < 0)
        return line_kind::wrong;
    p = skip_blanks(p, end);
    if (end - p < 2 || hex_digit(p[0]) < 0 || hex_digit(p[1]) < 0 ||
        (end - p > 2 && !is_space_or_tab(p[2])))
        return line_kind::wrong;
    return p[0] == '0' && (p[1] == 'A' || p[1] == 'a') ? line_kind::listening : line_kind::other;
}

// The first words of a line; more are not needed.
struct line_words {
    const char *at[6];
    size_t size[6];
    size_t count = 0;

    // (Word `i` must be there.)
    bool is(size_t i, const char *word) const
    {
        return size[i] == strlen(word) && memcmp(at[i], word, size[i]) == 0;
    }
};

line_words split_words(const char *p, const char *end)
{
    line_words w;
    while (w.count < 6) {
        p = skip_blanks(p, end);
        if (p == end)
            break;
        w.at[w.count] = p;
        while (p < end && !is_space_or_tab(*p))
            ++p;
        w.size[w.count] = static_cast<size_t>(p - w.at[w.count]);
        ++w.count;
    }
    return w;
}

// "[NETID] STATE RECV-Q SEND-Q LOCAL:PORT PEER:PORT ...", and the header.
line_kind read_ss_line(const line_words &w, int32_t &port)
{
    if (w.is(0, "State") || w.is(0, "Netid"))
        return line_kind::other;
    // A netid (tcp, udp, u_str...) leads when ss lists several kinds.
    size_t k = 0;
    if (w.at[0][0] >= 'a' && w.at[0][0] <= 'z')
        k = 1;
    if (w.count < k + 5 || decimal(w.at[k + 1], w.size[k + 1]) < 0 ||
        decimal(w.at[k + 2], w.size[k + 2]) < 0)
        return line_kind::wrong;
    const char *local = w.at[k + 3];
    size_t colon = w.size[k + 3];
    while (colon > 0 && local[colon - 1] != ':')
        --colon;
    if (colon == 0 || memchr(w.at[k + 4], ':', w.size[k + 4]) == nullptr)
        return line_kind::wrong;
    if ((k == 1 && !w.is(0, "tcp")) || !w.is(k, "LISTEN"))
        return line_kind::other;
    // (Without -n, ss names ports by their services: not a number.)
    port = decimal(local + colon, w.size[k + 3] - colon);
    return port >= 0 ? line_kind::listening : line_kind::wrong;
}

} // namespace

int table_form(const char *p, const char *end)
{
    const char *const first = skip_blanks(p, end);
    // "sl" or "N:" starts a line of /proc/net/tcp.
    const char *q = first;
    while (q < end && *q >= '0' && *q <= '9')
        ++q;
    return (end - first >= 2 && first[0] == 's' && first[1] == 'l') ||
                   (q != first && q < end && *q == ':')
               ? 'p'
               : 's';
}

line_kind read_socket_line(int form, const char *p, const char *end, int32_t &port)
{
    const char *const first = skip_blanks(p, end);
    return form == 'p' ? read_proc_line(first, end, port)
                       : read_ss_line(split_words(first, end), port);
}

} // namespace portslot::audit
