// --jump's value, as ProxyJump takes it: "[USER@]HOST[:PORT]" or
// "ssh://[USER@]HOST[:PORT]", or a comma list of those. ssh runs ProxyJump
// through a shell and expands '%' tokens in it, so the value holds nothing
// either would read: a USER of letters, digits, '.', '_' and '-'; a HOST
// that is a DNS name, an IPv4 address or an IPv6 one in brackets; a PORT
// from 1 to 65535.
#ifndef PORTSLOT_AUDIT_JUMP_HOSTS_H
#define PORTSLOT_AUDIT_JUMP_HOSTS_H

#include <stddef.h>

namespace portslot::audit {

// Labels of letters, digits and '-' (none at either end), 1 to 63 bytes
// each, joined by dots; not all digits and dots (an IPv4 address).
bool is_dns_name(const char *p, size_t size);

// A server's name, as a device and the administrator reach it: a DNS name,
// or an IPv4 or IPv6 address (without brackets).
bool is_server_name(const char *p, size_t size);

// A jump of the list, as read: where each part is (`user` is `host`
// without one, `port` null without one).
struct jump_part {
    const char *user, *host, *port;
    size_t user_size, host_size, port_size;
};

// What is wrong with a jump list, and the part it is in ("USER", "HOST" or
// "PORT", and its text; null for the whole value); `why` is null when
// nothing is.
struct jump_fault {
    const char *why;
    const char *part_name;
    const char *part;
    size_t part_size;
};
jump_fault check_jumps(const char *list);

// The jump of `list` that starts at `at` (the list's start, or a byte after
// a comma), in `jump`; returns where the next starts, or null after the last.
const char *read_jump(const char *at, jump_part &jump);

} // namespace portslot::audit

#endif
