#include "socket_table.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "inventory.h"
#include "memory.h"
#include "shown_text.h"

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

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

const char *skip_blanks(const char *p, const char *end)
{
    while (p < end && is_blank(*p))
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
    return p == end || is_blank(*p) ? port : -1;
}

enum class line_kind { other, listening, wrong };

// "N: LOCAL REMOTE STATE ...", and the header, whose first word is "sl";
// state 0A is a listening socket. [p, end) is the line, from its first word.
line_kind read_proc_line(const char *p, const char *end, int32_t &port)
{
    if (end - p >= 3 && p[0] == 's' && p[1] == 'l' && is_blank(p[2]))
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
        (end - p > 2 && !is_blank(p[2])))
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
        while (p < end && !is_blank(*p))
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

void report_line(output &err, const char *name, uint64_t line, const char *what, const char *text,
                 size_t size)
{
    write_place(err, name, line);
    err.text(what);
    write_cut(err, text, size, 64);
    err.text("\"\n");
}

// A table read line by line, as it comes: its form is told by its first
// line, and every line is checked.
struct table_reader {
    const char *name;
    port_set &listening;
    output &err;
    int form = 0; // 'p': /proc/net/tcp, 's': ss
    uint64_t line = 0;
    bool ok = true;

    // The line [start, stop); `whole`: its line end came.
    void take(const char *start, const char *stop, bool whole)
    {
        ++line;
        const char *const first = skip_blanks(start, stop);
        if (first == stop)
            return;
        if (form == 0) { // "sl" or "N:" starts a line of /proc/net/tcp
            const char *q = first;
            while (q < stop && *q >= '0' && *q <= '9')
                ++q;
            form = (stop - first >= 2 && first[0] == 's' && first[1] == 'l') ||
                           (q != first && q < stop && *q == ':')
                       ? 'p'
                       : 's';
        }
        int32_t port = -1;
        const line_kind kind = form == 'p' ? read_proc_line(first, stop, port)
                                           : read_ss_line(split_words(first, stop), port);
        if (kind == line_kind::wrong || !whole) {
            ok = false;
            report_line(err, name, line,
                        !whole        ? ": cut short, no line end: \""
                        : form == 'p' ? ": not a line of /proc/net/tcp: \""
                                      : ": not a line of ss -Hltn: \"",
                        start, static_cast<size_t>(stop - start));
            return;
        }
        if (kind == line_kind::listening)
            listening.add(static_cast<uint32_t>(port));
    }

    // The whole lines of [text, end); where the unended rest starts.
    const char *take_lines(const char *text, const char *end)
    {
        for (const char *p = text; p < end;) {
            const char *line_end =
                static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
            if (line_end == nullptr)
                return p;
            take(p, line_end, true);
            p = line_end + 1;
        }
        return end;
    }
};

void report_failure(output &err, const char *name, int error)
{
    err.text("portslot-audit: ");
    write_name(err, name);
    err.text(": ");
    err.text(strerror(error));
    err.text("\n");
}

// Far longer than any line of ss or /proc/net/tcp (about 150 bytes), and
// far more than any host's table (millions of sockets): past these a table
// is not one, and reading it ends rather than holding its bytes.
constexpr size_t longest_line = 4096;
constexpr uint64_t largest_table = uint64_t{1} << 30;

// Reads the table `name` in pieces, never holding more than a line and a
// piece; `missing_ok`: a file that is not there is no error.
bool read_table_file(const char *name, port_set &listening, output &err, bool missing_ok)
{
    const bool is_stdin = strcmp(name, "-") == 0;
    const int fd = is_stdin ? 0 : open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT || !missing_ok)
            report_failure(err, name, error);
        return error == ENOENT && missing_ok;
    }
    table_reader reader{name, listening, err};
    constexpr size_t piece = size_t{1} << 16;
    char *buffer = static_cast<char *>(reallocate(nullptr, longest_line + piece));
    size_t kept = 0; // the start of a line whose end has not come
    uint64_t total = 0;
    for (;;) {
        err.flush(); // the read may wait for a slow writer
        ssize_t got;
        do // (again when a signal cut the read short)
            got = read(fd, buffer + kept, piece);
        while (got < 0 && errno == EINTR);
        if (got <= 0) {
            if (got < 0)
                report_failure(err, name, errno);
            else if (kept > 0) // a last line without its end
                reader.take(buffer, buffer + kept, false);
            reader.ok = reader.ok && got == 0;
            break;
        }
        total += static_cast<uint64_t>(got);
        const char *const end = buffer + kept + got;
        const char *const rest = reader.take_lines(buffer, end);
        kept = static_cast<size_t>(end - rest);
        memmove(buffer, rest, kept);
        if (kept > longest_line || total > largest_table) {
            write_place(err, name, reader.line + 1);
            err.text(kept > longest_line
                         ? ": a line longer than any socket table's: not a socket table\n"
                         : ": more than any socket table holds: not a socket table\n");
            reader.ok = false;
            break;
        }
    }
    if (!is_stdin)
        close(fd);
    free(buffer);
    return reader.ok;
}

} // namespace

bool read_socket_text(const char *name, const char *text, size_t size, port_set &listening,
                      output &err)
{
    table_reader reader{name, listening, err};
    const char *const end = text + size;
    const char *const rest = reader.take_lines(text, end);
    if (rest != end)
        reader.take(rest, end, false);
    return reader.ok;
}

bool read_socket_table(const char *name, port_set &listening, output &err)
{
    return read_table_file(name, listening, err, false);
}

bool read_host_sockets(const char *proc, port_set &listening, output &err)
{
    const size_t size = strlen(proc);
    char *path = static_cast<char *>(reallocate(nullptr, size + 16));
    memcpy(path, proc, size);
    memcpy(path + size, "/net/tcp", 9);
    bool ok = read_table_file(path, listening, err, false);
    memcpy(path + size, "/net/tcp6", 10);
    ok = read_table_file(path, listening, err, true) && ok;
    free(path);
    return ok;
}

} // namespace portslot::audit
