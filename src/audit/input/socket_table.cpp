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

// The first words of a line; more are not needed.
struct line_words {
    const char *at[6];
    size_t size[6];
    size_t count = 0;

    bool is(size_t i, const char *word) const
    {
        return i < count && size[i] == strlen(word) && memcmp(at[i], word, size[i]) == 0;
    }
};

line_words split_words(const char *p, const char *end)
{
    line_words w;
    while (w.count < 6) {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (p == end)
            break;
        w.at[w.count] = p;
        while (p < end && *p != ' ' && *p != '\t')
            ++p;
        w.size[w.count] = static_cast<size_t>(p - w.at[w.count]);
        ++w.count;
    }
    return w;
}

// The value of `size` digits in `base` (10 or 16), or -1 when there are
// none, or one is not a digit, or the value passes 65535.
int32_t number(const char *p, size_t size, int base)
{
    int32_t value = 0;
    for (size_t i = 0; i < size; ++i) {
        const char c = p[i];
        int digit = c >= '0' && c <= '9' ? c - '0' : -1;
        if (base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            digit = (c | 0x20) - 'a' + 10;
        if (digit < 0)
            return -1;
        value = value * base + digit;
        if (value > 65535)
            return -1;
    }
    return size == 0 ? -1 : value;
}

bool all_hex(const char *p, size_t size)
{
    for (size_t i = 0; i < size; ++i)
        if (number(p + i, 1, 16) < 0)
            return false;
    return true;
}

// "ADDRESS:PORT" of /proc/net/tcp (8 hexadecimal digits of address) or tcp6
// (32); the port, or -1.
int32_t proc_port(const line_words &w, size_t i)
{
    const char *p = w.at[i];
    const size_t size = w.size[i];
    if ((size != 13 && size != 37) || p[size - 5] != ':' || !all_hex(p, size - 5))
        return -1;
    return number(p + size - 4, 4, 16);
}

enum class line_kind { other, listening, wrong };

// "N: LOCAL REMOTE STATE ...", and the header, whose first word is "sl";
// state 0A is a listening socket.
line_kind read_proc_line(const line_words &w, int32_t &port)
{
    if (w.is(0, "sl"))
        return line_kind::other;
    if (w.count < 4 || w.size[0] < 2 || w.at[0][w.size[0] - 1] != ':' ||
        number(w.at[0], w.size[0] - 1, 10) < 0 || w.size[3] != 2)
        return line_kind::wrong;
    port = proc_port(w, 1);
    const int32_t state = number(w.at[3], 2, 16);
    if (port < 0 || proc_port(w, 2) < 0 || state < 0)
        return line_kind::wrong;
    return state == 0x0a ? line_kind::listening : line_kind::other;
}

// "[NETID] STATE RECV-Q SEND-Q LOCAL:PORT PEER:PORT ...", and the header.
line_kind read_ss_line(const line_words &w, int32_t &port)
{
    if (w.is(0, "State") || w.is(0, "Netid"))
        return line_kind::other;
    // A netid (tcp, udp, u_str...) leads when ss lists several kinds.
    size_t k = 0;
    if (w.count > 0 && w.at[0][0] >= 'a' && w.at[0][0] <= 'z')
        k = 1;
    if (w.count < k + 5 || number(w.at[k + 1], w.size[k + 1], 10) < 0 ||
        number(w.at[k + 2], w.size[k + 2], 10) < 0)
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
    port = number(local + colon, w.size[k + 3] - colon, 10);
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

// Reads the table in `text`; false when a line was wrong.
bool read_table(const char *name, const char *text, size_t size, port_set &listening, output &err)
{
    const char *const end = text + size;
    bool ok = true;
    int form = 0; // 'p': /proc/net/tcp, 's': ss
    uint64_t line = 0;
    for (const char *p = text; p < end;) {
        ++line;
        const char *line_end =
            static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        const char *stop = line_end != nullptr ? line_end : end;
        const line_words w = split_words(p, stop);
        const char *start = p;
        p = line_end != nullptr ? line_end + 1 : end;
        if (w.count == 0)
            continue;
        if (form == 0)
            form = w.is(0, "sl") || (w.size[0] > 1 && w.at[0][w.size[0] - 1] == ':') ? 'p' : 's';
        int32_t port = -1;
        const line_kind kind = form == 'p' ? read_proc_line(w, port) : read_ss_line(w, port);
        if (kind == line_kind::wrong || line_end == nullptr) {
            ok = false;
            report_line(err, name, line,
                        line_end == nullptr ? ": cut short, no line end: \""
                        : form == 'p'       ? ": not a line of /proc/net/tcp: \""
                                            : ": not a line of ss -Hltn: \"",
                        start, static_cast<size_t>(stop - start));
            continue;
        }
        if (kind == line_kind::listening)
            listening.add(static_cast<uint32_t>(port));
    }
    return ok;
}

// Reads the table `name` opened as `fd`; `missing_ok`: a file that is not
// there is no error.
bool read_table_file(const char *name, port_set &listening, output &err, bool missing_ok)
{
    const bool is_stdin = strcmp(name, "-") == 0;
    const int fd = is_stdin ? 0 : open(name, O_RDONLY | O_CLOEXEC);
    int error = fd < 0 ? errno : 0;
    char *text = nullptr;
    size_t size = 0;
    if (fd >= 0) {
        error = read_all(fd, text, size, err);
        if (!is_stdin)
            close(fd);
    }
    if (error != 0) {
        if (error == ENOENT && missing_ok)
            return true;
        err.text("portslot-audit: ");
        write_name(err, name);
        err.text(": ");
        err.text(strerror(error));
        err.text("\n");
        return false;
    }
    const bool ok = read_table(name, text, size, listening, err);
    free(text);
    return ok;
}

} // namespace

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
