#include "socket_table.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "fatal.h"
#include "inventory.h"
#include "memory.h"
#include "shown_text.h"
#include "socket_lines.h"

namespace portslot::audit {

namespace {

void report_line(output &err, const char *name, uint64_t line, const char *what, const char *text,
                 size_t size)
{
    write_place(err, name, line);
    err.text(what);
    write_cut(err, text, size, 64);
    err.text("\"\n");
}

// Far longer than any line of ss or /proc/net/tcp (about 150 bytes), and
// far more than any host's table (millions of sockets): past these a table
// is not one, and reading it ends rather than holding its bytes.
constexpr size_t longest_line = 4096;
constexpr uint64_t largest_table = uint64_t{1} << 30;

// A table read line by line, as it comes: its form is told by its first
// line, and every line is checked.
struct table_reader {
    const char *name;
    port_set &listening;
    output &err;
    int form = 0; // 'p': /proc/net/tcp, 's': ss
    uint64_t line = 0;
    bool ok = true;
    bool too_long = false; // a line past longest_line came whole

    // The line [start, stop); `whole`: its line end came.
    void take(const char *start, const char *stop, bool whole)
    {
        ++line;
        if (is_blank_line(start, stop))
            return;
        form = form != 0 ? form : table_form(start, stop);
        int32_t port = -1;
        const line_kind kind = read_socket_line(form, start, stop, port);
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
            if (static_cast<size_t>(line_end - p) > longest_line) {
                too_long = true;
                return p;
            }
            take(p, line_end, true);
            p = line_end + 1;
        }
        return end;
    }
};

// Reads the table `name` in pieces, never holding more than a line and a
// piece; `missing_ok`: a file that is not there is no error.
bool read_table_file(const char *name, port_set &listening, output &err, bool missing_ok)
{
    const bool is_stdin = strcmp(name, "-") == 0;
    const int fd = is_stdin ? 0 : open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error != ENOENT || !missing_ok)
            warn_errno(err, name, error);
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
                warn_errno(err, name, errno);
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
        const bool too_long = reader.too_long || kept > longest_line;
        if (too_long || total > largest_table) {
            write_place(err, name, reader.line + 1);
            err.text(too_long
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
