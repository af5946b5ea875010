// One line of a table of sockets, as /proc/net/tcp (and tcp6) or ss -Hltn
// write it: what it is, and the port of a socket that listens.
#ifndef PORTSLOT_AUDIT_SOCKET_LINES_H
#define PORTSLOT_AUDIT_SOCKET_LINES_H

#include <stdint.h>

namespace portslot::audit {

enum class line_kind { other, listening, wrong };

// True when [p, end) holds blanks alone, or nothing.
inline bool is_blank_line(const char *p, const char *end)
{
    while (p != end && (*p == ' ' || *p == '\t'))
        ++p;
    return p == end;
}

// The form of a table, from its first line that is not blank: 'p' for
// /proc/net/tcp ("sl" or "N:" starts it), else 's' for ss.
int table_form(const char *p, const char *end);

// The line [p, end), not blank, of a table of `form`: a socket that listens
// (its port in `port`), another line of the form (a header, another state),
// or a line of neither.
line_kind read_socket_line(int form, const char *p, const char *end, int32_t &port);

} // namespace portslot::audit

#endif
