// The administrator's known_hosts, from an inventory that holds each
// device's SSH host key: one line a device, under the name its Host block
// keeps its key by (HostKeyAlias, its address), so that ssh takes no other
// key for it, at first contact as later.
#ifndef PORTSLOT_AUDIT_KNOWN_HOSTS_H
#define PORTSLOT_AUDIT_KNOWN_HOSTS_H

#include <stdint.h>

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// Where the host keys are: field `field` (from 1), or the CSV column named
// `name`; neither, a CSV column named host_key. With fields split at blanks
// the key is read from that field on (TYPE BASE64), before a tunnel key that
// takes the rest of the line.
struct host_key_choice {
    uint32_t field;
    const char *name;
};

// The host-key column of each inventory of `inventories`, one an inventory
// (0: none); false after saying which CSV inventory has none.
bool find_host_key_columns(const fleet &inventories, const host_key_choice &where,
                           growing_array<uint32_t> &columns, output &err);

// For each device of `p` that has a host key: "ADDRESS TYPE BASE64" and its
// label as the comment (without the columns it drops, each control byte a
// space), ADDRESS as "aa:bb:cc:dd:ee:ff". A key ssh would refuse as a host's
// (read_host_key), a control byte in it, an address that is not plain, and
// a key two devices hold get a FILE:LINE message instead of a line; the
// devices without one are counted. False when any was refused.
bool write_known_hosts(const plan &p, const fleet &inventories, const host_key_choice &where,
                       output &out, output &err);

} // namespace portslot::audit

#endif
