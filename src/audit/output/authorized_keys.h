// The tunnel account's authorized_keys, from an inventory that holds each
// device's public key: one line a device, whose key may do one thing, listen
// on its own block's ports on the server's loopback.
#ifndef PORTSLOT_AUDIT_AUTHORIZED_KEYS_H
#define PORTSLOT_AUDIT_AUTHORIZED_KEYS_H

#include <stddef.h>
#include <stdint.h>

#include "fleet.h"
#include "output.h"
#include "plan.h"

namespace portslot::audit {

// Where a device's public key is: field `field` (from 1) or with CSV the
// column named `name`. Where fields are runs of non-blanks the key is the
// rest of the line from that field on, as a key holds blanks.
struct key_field {
    uint32_t field;
    const char *name;
};

// The size of the OpenSSH public key at the start of `text`, "TYPE BODY"
// without any comment; 0 when it is not one.
size_t public_key_size(const char *text, size_t size);

// For each device of `p`: restrict,port-forwarding, a permitlisten for each
// port of its block on localhost and a harmless forced command, its key, and
// as the comment its address and the record's other fields, without control
// bytes. A record without the key, or whose key is not an OpenSSH public key
// alone (options before it, a type OpenSSH does not know, a body that does
// not decode to that type), gets a FILE:LINE message instead, in file order
// after the lines; false then.
bool write_authorized_keys(const plan &p, const fleet &inventories, const key_field &where,
                           output &out, output &err);

} // namespace portslot::audit

#endif
