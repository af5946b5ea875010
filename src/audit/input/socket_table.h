// The TCP sockets that listen on a host, from its socket tables: the output
// of `ss -Hltn` (or `ss -ltn`, with its header), or copies of /proc/net/tcp
// and /proc/net/tcp6 (one after another, if need be). A port listening on
// several addresses is one port.
#ifndef PORTSLOT_AUDIT_SOCKET_TABLE_H
#define PORTSLOT_AUDIT_SOCKET_TABLE_H

#include <stddef.h>

#include "output.h"
#include "port_set.h"

namespace portslot::audit {

// Adds the ports that listen in the table `name` ("-": standard input) to
// `listening`. A line that is not of the table's form is reported as
// FILE:LINE, and so is a last line without its line end (a table cut short);
// false when one was, or when the file could not be read (said too).
bool read_socket_table(const char *name, port_set &listening, output &err);

// The same from the `size` bytes of `text`, read from `name`.
bool read_socket_text(const char *name, const char *text, size_t size, port_set &listening,
                      output &err);

// The same from this host's tables under `proc` (/proc): net/tcp, and
// net/tcp6 where the host has IPv6.
bool read_host_sockets(const char *proc, port_set &listening, output &err);

} // namespace portslot::audit

#endif
