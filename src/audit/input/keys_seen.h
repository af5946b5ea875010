// The host keys that answered on the server's ports, as OpenSSH's
// ssh-keyscan prints them ("[HOST]:PORT TYPE BASE64", a line a key; "HOST
// TYPE BASE64" for port 22): read from a file saved on the server
// (--keys-seen), or from ssh-keyscan run here, one port a run, several at
// once, on the loopback address the tunnels listen on.
#ifndef PORTSLOT_AUDIT_KEYS_SEEN_H
#define PORTSLOT_AUDIT_KEYS_SEEN_H

#include <stddef.h>
#include <stdint.h>

#include "growing_array.h"
#include "output.h"
#include "port_set.h"

namespace portslot::audit {

struct seen_key {
    int32_t port;
    size_t text, size; // "TYPE BASE64", in the texts
};
struct keys_seen {
    growing_array<seen_key> keys; // by port once sorted (sort_keys_seen)
    growing_array<char> texts;
    port_set asked; // the ports asked (or named in the file)
};

// Reads the lines of ssh-keyscan's output in `text` (`size` bytes), from the
// file `name`, into `seen`; its comments ('#') and blank lines are skipped.
// False after a FILE:LINE message for each line of another form, or a key
// ssh would not take.
bool read_keys_text(const char *name, const char *text, size_t size, keys_seen &seen,
                    output &err);

// The same from the file `name`; false after saying why it cannot be read.
bool read_keys_file(const char *name, keys_seen &seen, output &err);

// How many scans run at once.
inline constexpr size_t scans_at_once = 16;

// Runs `scanner` (ssh-keyscan) for each of the `count` ports, on 127.0.0.1,
// each bounded by -T `seconds`, scans_at_once at a time, and reads what each
// prints; every port is marked asked. False after saying why one could not
// be run.
bool scan_host_keys(const char *scanner, const int32_t *ports, size_t count, int seconds,
                    keys_seen &seen, output &err);

// The keys by port (then as seen), for keys_at.
void sort_keys_seen(keys_seen &seen);

// The keys seen on `port`: [*begin, *end) of `seen.keys`.
void keys_at(const keys_seen &seen, int32_t port, size_t &begin, size_t &end);

} // namespace portslot::audit

#endif
